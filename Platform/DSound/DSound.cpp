#include "DSound/DSound.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <SDL2/SDL.h>
#include <dlfcn.h>

#include "DSound/DSoundMixer.h"

const GUID IID_IDirectSoundBuffer = {
    0x279AFA85, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const GUID IID_IDirectSoundBuffer8 = {
    0x6825A449, 0x7524, 0x4D82, {0x92, 0x0F, 0x50, 0xE3, 0x6A, 0xB3, 0xAB, 0x1E}};
const GUID IID_IDirectSound3DBuffer = {
    0x279AFA86, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const GUID IID_IDirectSound3DListener = {
    0x279AFA84, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const GUID IID_IDirectSoundNotify = {
    0xB0210783, 0x89CD, 0x11D0, {0xAF, 0x08, 0x00, 0xA0, 0xC9, 0x25, 0xCD, 0x16}};
const GUID DS3DALG_DEFAULT = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

using dsound::Mixer;
using dsound::Voice;

namespace
{
// SDL2's audio functions, from the library loaded when the first device opens an output: a
// program that never plays sound (a table server, a benchmark, a test without sound) does not
// load SDL2 and the sound servers and codecs it brings along. A program that already uses SDL2
// (the host, for its window) gets the same library and so the same SDL state.
struct SdlAudio
{
    decltype(&SDL_InitSubSystem) InitSubSystem = nullptr;
    decltype(&SDL_QuitSubSystem) QuitSubSystem = nullptr;
    decltype(&SDL_OpenAudioDevice) OpenAudioDevice = nullptr;
    decltype(&SDL_PauseAudioDevice) PauseAudioDevice = nullptr;
    decltype(&SDL_CloseAudioDevice) CloseAudioDevice = nullptr;
    decltype(&SDL_SetHintWithPriority) SetHintWithPriority = nullptr;
    decltype(&SDL_GetError) GetError = nullptr;

    bool Loaded() const
    {
        return InitSubSystem != nullptr && QuitSubSystem != nullptr && OpenAudioDevice != nullptr &&
               PauseAudioDevice != nullptr && CloseAudioDevice != nullptr && SetHintWithPriority != nullptr &&
               GetError != nullptr;
    }
};

template <class Function>
void Resolve(void* library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(dlsym(library, name));
}

// Null when SDL2 cannot be loaded; said once on stderr. The library stays loaded to the end.
const SdlAudio* Sdl()
{
    static const SdlAudio* const sdl = []() -> const SdlAudio*
    {
        void* library = dlopen("libSDL2-2.0.so.0", RTLD_NOW);
        if (library == nullptr)
        {
            std::fprintf(stderr, "sound: SDL2 cannot be loaded (%s); no audio output\n", dlerror());
            return nullptr;
        }
        static SdlAudio functions;
        Resolve(library, "SDL_InitSubSystem", functions.InitSubSystem);
        Resolve(library, "SDL_QuitSubSystem", functions.QuitSubSystem);
        Resolve(library, "SDL_OpenAudioDevice", functions.OpenAudioDevice);
        Resolve(library, "SDL_PauseAudioDevice", functions.PauseAudioDevice);
        Resolve(library, "SDL_CloseAudioDevice", functions.CloseAudioDevice);
        Resolve(library, "SDL_SetHintWithPriority", functions.SetHintWithPriority);
        Resolve(library, "SDL_GetError", functions.GetError);
        if (!functions.Loaded())
        {
            std::fprintf(stderr, "sound: the SDL2 library lacks audio functions; no audio output\n");
            return nullptr;
        }
        return &functions;
    }();
    return sdl;
}

bool ValidPcmFormat(const WAVEFORMATEX* format)
{
    return format != nullptr && format->wFormatTag == WAVE_FORMAT_PCM &&
           (format->nChannels == 1 || format->nChannels == 2) &&
           (format->wBitsPerSample == 8 || format->wBitsPerSample == 16) &&
           format->nBlockAlign == format->nChannels * format->wBitsPerSample / 8 &&
           format->nSamplesPerSec >= DSBFREQUENCY_MIN && format->nSamplesPerSec <= DSBFREQUENCY_MAX;
}

bool Finite(const D3DVECTOR& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool Valid3DBuffer(const DS3DBUFFER& p)
{
    return p.dwSize == sizeof(DS3DBUFFER) && Finite(p.vPosition) && Finite(p.vVelocity) &&
           Finite(p.vConeOrientation) && p.dwInsideConeAngle <= 360 && p.dwOutsideConeAngle <= 360 &&
           p.dwInsideConeAngle <= p.dwOutsideConeAngle && p.lConeOutsideVolume >= DSBVOLUME_MIN &&
           p.lConeOutsideVolume <= DSBVOLUME_MAX && p.flMinDistance > 0.0f && p.flMaxDistance > 0.0f &&
           std::isfinite(p.flMinDistance) && std::isfinite(p.flMaxDistance) && p.dwMode <= DS3DMODE_DISABLE;
}

bool ValidListener(const DS3DLISTENER& p)
{
    return p.dwSize == sizeof(DS3DLISTENER) && Finite(p.vPosition) && Finite(p.vVelocity) &&
           Finite(p.vOrientFront) && Finite(p.vOrientTop) && p.flDistanceFactor > 0.0f &&
           p.flRolloffFactor >= 0.0f && p.flRolloffFactor <= 10.0f && p.flDopplerFactor >= 0.0f &&
           p.flDopplerFactor <= 10.0f;
}

// 3D settings apply at once, or with DS3D_DEFERRED when the listener commits: a change starts
// from the value waiting for the commit, if any, and is checked whole before it is kept.
template <class Params, class Change, class Valid>
HRESULT ApplySettings(DWORD apply, Params* current, Params* deferred, bool* hasDeferred, const Change& change,
                      Valid valid)
{
    if (apply > DS3D_DEFERRED)
        return DSERR_INVALIDPARAM;
    Params next = *hasDeferred ? *deferred : *current;
    change(next);
    if (!valid(next))
        return DSERR_INVALIDPARAM;
    *(apply == DS3D_DEFERRED ? deferred : current) = next;
    *hasDeferred = apply == DS3D_DEFERRED;
    return DS_OK;
}

class Device;

// Reference counting shared by every object of this layer.
class Counted
{
protected:
    ULONG AddReference() { return ++m_references; }
    // True when that was the last reference.
    bool DropReference(ULONG* left)
    {
        *left = --m_references;
        return *left == 0;
    }

private:
    std::atomic<ULONG> m_references{1};
};

class Device final : public IDirectSound8, private Counted
{
public:
    explicit Device(bool manual) : m_manual(manual) {}

    HRESULT Open();
    bool IsManual() const { return m_manual; }
    Mixer& GetMixer() { return m_mixer; }

    HRESULT QueryInterface(REFIID, void** object) override
    {
        if (object != nullptr)
            *object = nullptr;
        return DSERR_NOINTERFACE;
    }
    ULONG AddRef() override { return AddReference(); }
    ULONG Release() override
    {
        ULONG left = 0;
        if (DropReference(&left))
            delete this;
        return left;
    }
    HRESULT CreateSoundBuffer(LPCDSBUFFERDESC desc, IDirectSoundBuffer** buffer, void* outer) override;
    HRESULT GetCaps(DSCAPS* caps) override;
    HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate) override;
    HRESULT SetCooperativeLevel(HWND window, DWORD level) override
    {
        if (window == nullptr || level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY)
            return DSERR_INVALIDPARAM;
        m_level = level;
        return DS_OK;
    }

private:
    ~Device() override;
    static void Callback(void* user, Uint8* stream, int length);

    const bool m_manual;
    Mixer m_mixer;
    SDL_AudioDeviceID m_output = 0;
    bool m_audioStarted = false;
    std::atomic<DWORD> m_level{0};
};

class SecondaryBuffer final : public IDirectSoundBuffer,
                              public IDirectSound3DBuffer,
                              public IDirectSoundNotify,
                              private Counted
{
public:
    SecondaryBuffer(Device* device, Voice voice) : m_device(device), m_voice(std::move(voice))
    {
        m_device->AddRef();
        std::lock_guard<std::mutex> guard(Lock());
        Voices().push_back(&m_voice);
    }

    Device* GetDevice() const { return m_device; }
    // With the mixer's lock held.
    const Voice& GetVoice() const { return m_voice; }

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return AddReference(); }
    ULONG Release() override
    {
        ULONG left = 0;
        if (DropReference(&left))
            delete this;
        return left;
    }

    HRESULT GetCaps(DSBCAPS* caps) override;
    HRESULT GetCurrentPosition(DWORD* play, DWORD* write) override;
    HRESULT GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) override;
    HRESULT GetVolume(LONG* volume) override;
    HRESULT GetPan(LONG* pan) override;
    HRESULT GetFrequency(DWORD* frequency) override;
    HRESULT GetStatus(DWORD* status) override;
    HRESULT Lock(DWORD offset, DWORD bytes, void** first, DWORD* firstBytes, void** second,
                 DWORD* secondBytes, DWORD flags) override;
    HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override;
    HRESULT SetCurrentPosition(DWORD position) override;
    HRESULT SetFormat(const WAVEFORMATEX*) override { return DSERR_INVALIDCALL; }
    HRESULT SetVolume(LONG volume) override;
    HRESULT SetPan(LONG pan) override;
    HRESULT SetFrequency(DWORD frequency) override;
    HRESULT Stop() override;
    HRESULT Unlock(void* first, DWORD firstBytes, void* second, DWORD secondBytes) override;
    HRESULT Restore() override;

    HRESULT GetAllParameters(DS3DBUFFER* parameters) override;
    HRESULT SetAllParameters(const DS3DBUFFER* parameters, DWORD apply) override;
    HRESULT SetPosition(float x, float y, float z, DWORD apply) override;
    HRESULT SetMinDistance(float distance, DWORD apply) override;
    HRESULT SetMaxDistance(float distance, DWORD apply) override;
    HRESULT SetConeAngles(DWORD inside, DWORD outside, DWORD apply) override;
    HRESULT SetConeOrientation(float x, float y, float z, DWORD apply) override;
    HRESULT SetConeOutsideVolume(LONG volume, DWORD apply) override;

    HRESULT SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* positions) override;

private:
    ~SecondaryBuffer() override
    {
        {
            std::lock_guard<std::mutex> guard(Lock());
            std::vector<Voice*>& voices = Voices();
            voices.erase(std::remove(voices.begin(), voices.end(), &m_voice), voices.end());
        }
        m_device->Release();
    }
    std::mutex& Lock() { return m_device->GetMixer().lock; }
    std::vector<Voice*>& Voices() { return m_device->GetMixer().voices; }
    // Reads a value that needs the control flag the buffer was made with.
    template <class T, class Read>
    HRESULT GetControlled(T* out, DWORD control, Read read);
    // Changes the 3D parameters now or at the listener's commit, after checking them.
    HRESULT Change3D(DWORD apply, const std::function<void(DS3DBUFFER&)>& change);

    Device* m_device;
    Voice m_voice;
    // The bytes handed out by Lock, written back by Unlock.
    std::vector<uint8_t> m_staging;
    bool m_locked = false;
    DWORD m_lockOffset = 0;
    DWORD m_lockFirst = 0;
    DWORD m_lockSecond = 0;
};

class PrimaryBuffer final : public IDirectSoundBuffer, public IDirectSound3DListener, private Counted
{
public:
    PrimaryBuffer(Device* device, DWORD flags) : m_device(device), m_flags(flags) { m_device->AddRef(); }

    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr)
            return DSERR_INVALIDPARAM;
        *object = nullptr;
        if (iid == IID_IDirectSoundBuffer || iid == IID_IDirectSoundBuffer8)
            *object = static_cast<IDirectSoundBuffer*>(this);
        else if (iid == IID_IDirectSound3DListener && (m_flags & DSBCAPS_CTRL3D) != 0)
            *object = static_cast<IDirectSound3DListener*>(this);
        else
            return DSERR_NOINTERFACE;
        AddRef();
        return DS_OK;
    }
    ULONG AddRef() override { return AddReference(); }
    ULONG Release() override
    {
        ULONG left = 0;
        if (DropReference(&left))
            delete this;
        return left;
    }

    HRESULT GetCaps(DSBCAPS* caps) override
    {
        if (caps == nullptr || caps->dwSize != sizeof(DSBCAPS))
            return DSERR_INVALIDPARAM;
        caps->dwFlags = m_flags;
        caps->dwBufferBytes = dsound::kBlockFrames * 4;
        caps->dwUnlockTransferRate = 0;
        caps->dwPlayCpuOverhead = 0;
        return DS_OK;
    }
    HRESULT GetCurrentPosition(DWORD* play, DWORD* write) override
    {
        if (play != nullptr)
            *play = 0;
        if (write != nullptr)
            *write = 0;
        return DS_OK;
    }
    HRESULT GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) override
    {
        std::lock_guard<std::mutex> guard(m_device->GetMixer().lock);
        return CopyFormat(m_device->GetMixer().primaryFormat, format, size, written);
    }
    HRESULT GetVolume(LONG* volume) override { return Get(volume, m_volume.load()); }
    HRESULT GetPan(LONG* pan) override { return Get(pan, m_pan.load()); }
    HRESULT GetFrequency(DWORD*) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT GetStatus(DWORD* status) override
    {
        if (status == nullptr)
            return DSERR_INVALIDPARAM;
        *status = DSBSTATUS_PLAYING | DSBSTATUS_LOOPING;
        return DS_OK;
    }
    // Only a device at the write-primary level may write the primary buffer; this layer has
    // none, as the mixer writes its output itself.
    HRESULT Lock(DWORD, DWORD, void**, DWORD*, void**, DWORD*, DWORD) override
    {
        return DSERR_PRIOLEVELNEEDED;
    }
    HRESULT Play(DWORD, DWORD, DWORD flags) override
    {
        return (flags & DSBPLAY_LOOPING) != 0 ? DS_OK : DSERR_INVALIDPARAM;
    }
    HRESULT SetCurrentPosition(DWORD) override { return DSERR_INVALIDCALL; }
    HRESULT SetFormat(const WAVEFORMATEX* format) override
    {
        if (!ValidPcmFormat(format))
            return DSERR_BADFORMAT;
        std::lock_guard<std::mutex> guard(m_device->GetMixer().lock);
        WAVEFORMATEX stored = *format;
        stored.nAvgBytesPerSec = stored.nBlockAlign * stored.nSamplesPerSec;
        stored.cbSize = 0;
        m_device->GetMixer().primaryFormat = stored;
        return DS_OK;
    }
    HRESULT SetVolume(LONG volume) override
    {
        if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX)
            return DSERR_INVALIDPARAM;
        m_volume = volume;
        return DS_OK;
    }
    HRESULT SetPan(LONG pan) override
    {
        if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT)
            return DSERR_INVALIDPARAM;
        m_pan = pan;
        return DS_OK;
    }
    HRESULT SetFrequency(DWORD) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT Stop() override { return DS_OK; }
    HRESULT Unlock(void*, DWORD, void*, DWORD) override { return DSERR_INVALIDCALL; }
    HRESULT Restore() override { return DS_OK; }

    HRESULT GetAllParameters(DS3DLISTENER* parameters) override
    {
        if (parameters == nullptr || parameters->dwSize != sizeof(DS3DLISTENER))
            return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> guard(m_device->GetMixer().lock);
        *parameters = m_device->GetMixer().listener;
        return DS_OK;
    }
    HRESULT SetAllParameters(const DS3DLISTENER* parameters, DWORD apply) override
    {
        if (parameters == nullptr)
            return DSERR_INVALIDPARAM;
        return ChangeListener(apply, [parameters](DS3DLISTENER& l) { l = *parameters; });
    }
    HRESULT SetPosition(float x, float y, float z, DWORD apply) override
    {
        return ChangeListener(apply, [=](DS3DLISTENER& l) { l.vPosition = {x, y, z}; });
    }
    HRESULT SetOrientation(float fx, float fy, float fz, float tx, float ty, float tz, DWORD apply) override
    {
        return ChangeListener(apply,
                              [=](DS3DLISTENER& l)
                              {
                                  l.vOrientFront = {fx, fy, fz};
                                  l.vOrientTop = {tx, ty, tz};
                              });
    }
    HRESULT SetDistanceFactor(float factor, DWORD apply) override
    {
        return ChangeListener(apply, [=](DS3DLISTENER& l) { l.flDistanceFactor = factor; });
    }
    HRESULT SetRolloffFactor(float factor, DWORD apply) override
    {
        return ChangeListener(apply, [=](DS3DLISTENER& l) { l.flRolloffFactor = factor; });
    }
    HRESULT SetDopplerFactor(float factor, DWORD apply) override
    {
        return ChangeListener(apply, [=](DS3DLISTENER& l) { l.flDopplerFactor = factor; });
    }
    HRESULT CommitDeferredSettings() override
    {
        Mixer& mixer = m_device->GetMixer();
        std::lock_guard<std::mutex> guard(mixer.lock);
        if (mixer.hasDeferredListener)
            mixer.listener = mixer.deferredListener;
        mixer.hasDeferredListener = false;
        for (Voice* voice : mixer.voices)
        {
            if (voice->hasDeferred3D)
                voice->params3D = voice->deferred3D;
            voice->hasDeferred3D = false;
        }
        return DS_OK;
    }

    static HRESULT CopyFormat(const WAVEFORMATEX& source, WAVEFORMATEX* format, DWORD size, DWORD* written)
    {
        if (format == nullptr)
        {
            if (written == nullptr)
                return DSERR_INVALIDPARAM;
            *written = sizeof(WAVEFORMATEX);
            return DS_OK;
        }
        const DWORD copied = std::min<DWORD>(size, sizeof(WAVEFORMATEX));
        std::memcpy(format, &source, copied);
        if (written != nullptr)
            *written = copied;
        return DS_OK;
    }

private:
    ~PrimaryBuffer() override { m_device->Release(); }
    template <class T>
    static HRESULT Get(T* out, T value)
    {
        if (out == nullptr)
            return DSERR_INVALIDPARAM;
        *out = value;
        return DS_OK;
    }
    template <class Change>
    HRESULT ChangeListener(DWORD apply, Change change)
    {
        Mixer& mixer = m_device->GetMixer();
        std::lock_guard<std::mutex> guard(mixer.lock);
        return ApplySettings(apply, &mixer.listener, &mixer.deferredListener, &mixer.hasDeferredListener,
                             change, ValidListener);
    }

    Device* m_device;
    const DWORD m_flags;
    std::atomic<LONG> m_volume{0};
    std::atomic<LONG> m_pan{0};
};

// ---- Device ------------------------------------------------------------------------------

void Device::Callback(void* user, Uint8* stream, int length)
{
    auto* device = static_cast<Device*>(user);
    device->m_mixer.Mix(reinterpret_cast<int16_t*>(stream), static_cast<size_t>(length) / 4);
}

HRESULT Device::Open()
{
    if (const char* capture = std::getenv("KAVDOR_AUDIO_CAPTURE"); capture != nullptr && *capture != '\0')
        m_mixer.SetCaptureFile(std::make_unique<dsound::CaptureFile>(capture));
    if (m_manual)
        return DS_OK;
    const SdlAudio* sdl = Sdl();
    if (sdl == nullptr)
        return DSERR_NODRIVER;
    SDL_AudioSpec wanted{};
    wanted.freq = dsound::kOutputRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = dsound::kOutputChannels;
    wanted.samples = static_cast<Uint16>(dsound::kBlockFrames);
    wanted.callback = &Device::Callback;
    wanted.userdata = this;
    // SDL converts to what the output takes: the mixer always sees its own format.
    for (int attempt = 0; attempt < 2 && m_output == 0; ++attempt)
    {
        if (attempt == 1)
        {
            std::fprintf(stderr, "sound: no audio output (%s); playing to the dummy output, unheard\n",
                         sdl->GetError());
            sdl->SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        }
        if (sdl->InitSubSystem(SDL_INIT_AUDIO) != 0)
            continue;
        SDL_AudioSpec obtained{};
        m_output = sdl->OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
        if (m_output == 0)
            sdl->QuitSubSystem(SDL_INIT_AUDIO);
    }
    if (m_output == 0)
        return DSERR_NODRIVER;
    m_audioStarted = true;
    sdl->PauseAudioDevice(m_output, 0);
    return DS_OK;
}

Device::~Device()
{
    // Waits for a mix in progress; the mixer is not called again. An output was only opened
    // with SDL loaded.
    if (m_output != 0)
        Sdl()->CloseAudioDevice(m_output);
    if (m_audioStarted)
        Sdl()->QuitSubSystem(SDL_INIT_AUDIO);
}

HRESULT Device::GetCaps(DSCAPS* caps)
{
    if (caps == nullptr || caps->dwSize != sizeof(DSCAPS))
        return DSERR_INVALIDPARAM;
    caps->dwFlags = DSCAPS_PRIMARYMONO | DSCAPS_PRIMARYSTEREO | DSCAPS_PRIMARY8BIT | DSCAPS_PRIMARY16BIT |
                    DSCAPS_CONTINUOUSRATE | DSCAPS_SECONDARYMONO | DSCAPS_SECONDARYSTEREO |
                    DSCAPS_SECONDARY8BIT | DSCAPS_SECONDARY16BIT;
    caps->dwMinSecondarySampleRate = DSBFREQUENCY_MIN;
    caps->dwMaxSecondarySampleRate = DSBFREQUENCY_MAX;
    caps->dwPrimaryBuffers = 1;
    caps->dwMaxHwMixingAllBuffers = 0;
    caps->dwFreeHwMixingAllBuffers = 0;
    return DS_OK;
}

HRESULT Device::CreateSoundBuffer(LPCDSBUFFERDESC desc, IDirectSoundBuffer** buffer, void* outer)
{
    if (buffer == nullptr)
        return DSERR_INVALIDPARAM;
    *buffer = nullptr;
    if (outer != nullptr)
        return DSERR_NOAGGREGATION;
    if (desc == nullptr || desc->dwSize != sizeof(DSBUFFERDESC))
        return DSERR_INVALIDPARAM;
    if (m_level == 0)
        return DSERR_PRIOLEVELNEEDED;
    if ((desc->dwFlags & DSBCAPS_PRIMARYBUFFER) != 0)
    {
        if (desc->dwBufferBytes != 0 || desc->lpwfxFormat != nullptr)
            return DSERR_INVALIDPARAM;
        *buffer = new (std::nothrow) PrimaryBuffer(this, desc->dwFlags);
        return *buffer != nullptr ? DS_OK : DSERR_OUTOFMEMORY;
    }
    if (!ValidPcmFormat(desc->lpwfxFormat))
        return DSERR_BADFORMAT;
    if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX ||
        desc->dwBufferBytes < desc->lpwfxFormat->nBlockAlign)
        return DSERR_INVALIDPARAM;
    Voice voice;
    try
    {
        // Whole frames only; silence to start with.
        const DWORD size = desc->dwBufferBytes - desc->dwBufferBytes % desc->lpwfxFormat->nBlockAlign;
        voice.samples = std::make_shared<std::vector<uint8_t>>(
            size, desc->lpwfxFormat->wBitsPerSample == 8 ? 0x80 : 0x00);
    }
    catch (const std::bad_alloc&)
    {
        return DSERR_OUTOFMEMORY;
    }
    voice.format = *desc->lpwfxFormat;
    voice.format.nAvgBytesPerSec = voice.format.nBlockAlign * voice.format.nSamplesPerSec;
    voice.format.cbSize = 0;
    voice.flags = desc->dwFlags;
    voice.params3D = dsound::Default3DBuffer();
    *buffer = static_cast<IDirectSoundBuffer*>(new (std::nothrow) SecondaryBuffer(this, std::move(voice)));
    return *buffer != nullptr ? DS_OK : DSERR_OUTOFMEMORY;
}

HRESULT Device::DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate)
{
    if (duplicate == nullptr)
        return DSERR_INVALIDPARAM;
    *duplicate = nullptr;
    auto* source = dynamic_cast<SecondaryBuffer*>(original);
    if (source == nullptr || source->GetDevice() != this)
        return DSERR_INVALIDPARAM;
    Voice copy;
    {
        std::lock_guard<std::mutex> guard(m_mixer.lock);
        const Voice& voice = source->GetVoice();
        copy.samples = voice.samples;
        copy.format = voice.format;
        copy.flags = voice.flags;
        copy.volume = voice.volume;
        copy.pan = voice.pan;
        copy.frequency = voice.frequency;
        copy.params3D = voice.params3D;
    }
    *duplicate = static_cast<IDirectSoundBuffer*>(new (std::nothrow) SecondaryBuffer(this, std::move(copy)));
    return *duplicate != nullptr ? DS_OK : DSERR_OUTOFMEMORY;
}

// ---- Secondary buffers -------------------------------------------------------------------

HRESULT SecondaryBuffer::QueryInterface(REFIID iid, void** object)
{
    if (object == nullptr)
        return DSERR_INVALIDPARAM;
    *object = nullptr;
    if (iid == IID_IDirectSoundBuffer || iid == IID_IDirectSoundBuffer8)
        *object = static_cast<IDirectSoundBuffer*>(this);
    else if (iid == IID_IDirectSound3DBuffer && (m_voice.flags & DSBCAPS_CTRL3D) != 0)
        *object = static_cast<IDirectSound3DBuffer*>(this);
    else if (iid == IID_IDirectSoundNotify && (m_voice.flags & DSBCAPS_CTRLPOSITIONNOTIFY) != 0)
        *object = static_cast<IDirectSoundNotify*>(this);
    else
        return DSERR_NOINTERFACE;
    AddRef();
    return DS_OK;
}

HRESULT SecondaryBuffer::GetCaps(DSBCAPS* caps)
{
    if (caps == nullptr || caps->dwSize != sizeof(DSBCAPS))
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(Lock());
    caps->dwFlags = m_voice.flags | DSBCAPS_LOCSOFTWARE;
    caps->dwBufferBytes = static_cast<DWORD>(m_voice.samples->size());
    caps->dwUnlockTransferRate = 0;
    caps->dwPlayCpuOverhead = 0;
    return DS_OK;
}

HRESULT SecondaryBuffer::GetCurrentPosition(DWORD* play, DWORD* write)
{
    std::lock_guard<std::mutex> guard(Lock());
    const DWORD size = static_cast<DWORD>(m_voice.samples->size());
    const DWORD playByte = m_voice.BytePosition() % size;
    DWORD writeByte = playByte;
    if (m_voice.playing)
    {
        const uint64_t ahead =
            static_cast<uint64_t>(dsound::kBlockFrames) * m_voice.Rate() / dsound::kOutputRate;
        writeByte = static_cast<DWORD>((playByte + ahead * m_voice.format.nBlockAlign) % size);
    }
    if (play != nullptr)
        *play = playByte;
    if (write != nullptr)
        *write = writeByte;
    return DS_OK;
}

HRESULT SecondaryBuffer::GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written)
{
    std::lock_guard<std::mutex> guard(Lock());
    return PrimaryBuffer::CopyFormat(m_voice.format, format, size, written);
}

template <class T, class Read>
HRESULT SecondaryBuffer::GetControlled(T* out, DWORD control, Read read)
{
    if (out == nullptr)
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(Lock());
    if ((m_voice.flags & control) == 0)
        return DSERR_CONTROLUNAVAIL;
    *out = read(m_voice);
    return DS_OK;
}

HRESULT SecondaryBuffer::GetVolume(LONG* volume)
{
    return GetControlled(volume, DSBCAPS_CTRLVOLUME, [](const Voice& v) { return v.volume; });
}

HRESULT SecondaryBuffer::GetPan(LONG* pan)
{
    return GetControlled(pan, DSBCAPS_CTRLPAN, [](const Voice& v) { return v.pan; });
}

HRESULT SecondaryBuffer::GetFrequency(DWORD* frequency)
{
    return GetControlled(frequency, DSBCAPS_CTRLFREQUENCY, [](const Voice& v) { return v.Rate(); });
}

HRESULT SecondaryBuffer::GetStatus(DWORD* status)
{
    if (status == nullptr)
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(Lock());
    *status = (m_voice.playing ? DSBSTATUS_PLAYING : 0u) |
              (m_voice.playing && m_voice.looping ? DSBSTATUS_LOOPING : 0u) |
              (m_voice.lost ? DSBSTATUS_BUFFERLOST : 0u);
    return DS_OK;
}

HRESULT SecondaryBuffer::Lock(DWORD offset, DWORD bytes, void** first, DWORD* firstBytes, void** second,
                              DWORD* secondBytes, DWORD flags)
{
    if (first == nullptr || firstBytes == nullptr)
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(Lock());
    if (m_voice.lost)
        return DSERR_BUFFERLOST;
    if (m_locked)
        return DSERR_INVALIDCALL;
    const auto size = static_cast<DWORD>(m_voice.samples->size());
    if ((flags & DSBLOCK_ENTIREBUFFER) != 0)
        bytes = size;
    if ((flags & DSBLOCK_FROMWRITECURSOR) != 0)
    {
        const uint64_t ahead =
            static_cast<uint64_t>(dsound::kBlockFrames) * m_voice.Rate() / dsound::kOutputRate;
        offset =
            m_voice.playing
                ? static_cast<DWORD>((m_voice.BytePosition() + ahead * m_voice.format.nBlockAlign) % size)
                : m_voice.BytePosition() % size;
    }
    if (offset >= size || bytes == 0 || bytes > size)
        return DSERR_INVALIDPARAM;
    DWORD firstPart = std::min(bytes, size - offset);
    DWORD secondPart = bytes - firstPart;
    // Without a place for the second part the lock ends at the end of the buffer.
    if (second == nullptr || secondBytes == nullptr)
        secondPart = 0;
    try
    {
        m_staging.resize(firstPart + secondPart);
    }
    catch (const std::bad_alloc&)
    {
        return DSERR_OUTOFMEMORY;
    }
    const uint8_t* samples = m_voice.samples->data();
    std::memcpy(m_staging.data(), samples + offset, firstPart);
    std::memcpy(m_staging.data() + firstPart, samples, secondPart);
    m_locked = true;
    m_lockOffset = offset;
    m_lockFirst = firstPart;
    m_lockSecond = secondPart;
    *first = m_staging.data();
    *firstBytes = firstPart;
    if (second != nullptr && secondBytes != nullptr)
    {
        *second = secondPart != 0 ? m_staging.data() + firstPart : nullptr;
        *secondBytes = secondPart;
    }
    return DS_OK;
}

HRESULT SecondaryBuffer::Unlock(void* first, DWORD firstBytes, void* second, DWORD secondBytes)
{
    std::lock_guard<std::mutex> guard(Lock());
    if (!m_locked)
        return DSERR_INVALIDCALL;
    if (first != m_staging.data() || (second != nullptr && second != m_staging.data() + m_lockFirst))
        return DSERR_INVALIDPARAM;
    uint8_t* samples = m_voice.samples->data();
    std::memcpy(samples + m_lockOffset, m_staging.data(), std::min(firstBytes, m_lockFirst));
    if (second != nullptr)
        std::memcpy(samples, m_staging.data() + m_lockFirst, std::min(secondBytes, m_lockSecond));
    m_locked = false;
    return DS_OK;
}

HRESULT SecondaryBuffer::Play(DWORD reserved, DWORD, DWORD flags)
{
    if (reserved != 0)
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(Lock());
    if (m_voice.lost)
        return DSERR_BUFFERLOST;
    m_voice.playing = true;
    m_voice.looping = (flags & DSBPLAY_LOOPING) != 0;
    return DS_OK;
}

HRESULT SecondaryBuffer::SetCurrentPosition(DWORD position)
{
    std::lock_guard<std::mutex> guard(Lock());
    if (position >= m_voice.samples->size())
        return DSERR_INVALIDPARAM;
    m_voice.position = static_cast<uint64_t>(position / m_voice.format.nBlockAlign) << 32;
    return DS_OK;
}

HRESULT SecondaryBuffer::SetVolume(LONG volume)
{
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX)
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(Lock());
    if ((m_voice.flags & DSBCAPS_CTRLVOLUME) == 0)
        return DSERR_CONTROLUNAVAIL;
    m_voice.volume = volume;
    return DS_OK;
}

HRESULT SecondaryBuffer::SetPan(LONG pan)
{
    if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT)
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(Lock());
    if ((m_voice.flags & DSBCAPS_CTRLPAN) == 0)
        return DSERR_CONTROLUNAVAIL;
    m_voice.pan = pan;
    return DS_OK;
}

HRESULT SecondaryBuffer::SetFrequency(DWORD frequency)
{
    if (frequency != DSBFREQUENCY_ORIGINAL && (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX))
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(Lock());
    if ((m_voice.flags & DSBCAPS_CTRLFREQUENCY) == 0)
        return DSERR_CONTROLUNAVAIL;
    m_voice.frequency = frequency;
    return DS_OK;
}

HRESULT SecondaryBuffer::Stop()
{
    std::lock_guard<std::mutex> guard(Lock());
    if (m_voice.playing)
    {
        m_voice.playing = false;
        Mixer::NotifyStop(m_voice);
    }
    return DS_OK;
}

HRESULT SecondaryBuffer::Restore()
{
    std::lock_guard<std::mutex> guard(Lock());
    m_voice.lost = false;
    return DS_OK;
}

HRESULT SecondaryBuffer::GetAllParameters(DS3DBUFFER* parameters)
{
    if (parameters == nullptr || parameters->dwSize != sizeof(DS3DBUFFER))
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(Lock());
    *parameters = m_voice.params3D;
    return DS_OK;
}

HRESULT SecondaryBuffer::Change3D(DWORD apply, const std::function<void(DS3DBUFFER&)>& change)
{
    std::lock_guard<std::mutex> guard(Lock());
    return ApplySettings(apply, &m_voice.params3D, &m_voice.deferred3D, &m_voice.hasDeferred3D, change,
                         Valid3DBuffer);
}

HRESULT SecondaryBuffer::SetAllParameters(const DS3DBUFFER* parameters, DWORD apply)
{
    if (parameters == nullptr)
        return DSERR_INVALIDPARAM;
    return Change3D(apply, [parameters](DS3DBUFFER& p) { p = *parameters; });
}

HRESULT SecondaryBuffer::SetPosition(float x, float y, float z, DWORD apply)
{
    return Change3D(apply, [=](DS3DBUFFER& p) { p.vPosition = {x, y, z}; });
}

HRESULT SecondaryBuffer::SetMinDistance(float distance, DWORD apply)
{
    return Change3D(apply, [=](DS3DBUFFER& p) { p.flMinDistance = distance; });
}

HRESULT SecondaryBuffer::SetMaxDistance(float distance, DWORD apply)
{
    return Change3D(apply, [=](DS3DBUFFER& p) { p.flMaxDistance = distance; });
}

HRESULT SecondaryBuffer::SetConeAngles(DWORD inside, DWORD outside, DWORD apply)
{
    return Change3D(apply,
                    [=](DS3DBUFFER& p)
                    {
                        p.dwInsideConeAngle = inside;
                        p.dwOutsideConeAngle = outside;
                    });
}

HRESULT SecondaryBuffer::SetConeOrientation(float x, float y, float z, DWORD apply)
{
    return Change3D(apply, [=](DS3DBUFFER& p) { p.vConeOrientation = {x, y, z}; });
}

HRESULT SecondaryBuffer::SetConeOutsideVolume(LONG volume, DWORD apply)
{
    return Change3D(apply, [=](DS3DBUFFER& p) { p.lConeOutsideVolume = volume; });
}

HRESULT SecondaryBuffer::SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* positions)
{
    if (count > 0 && positions == nullptr)
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(Lock());
    if (m_voice.playing)
        return DSERR_INVALIDCALL;
    const size_t size = m_voice.samples->size();
    for (DWORD i = 0; i < count; ++i)
        if (positions[i].hEventNotify == nullptr ||
            (positions[i].dwOffset != DSBPN_OFFSETSTOP && positions[i].dwOffset >= size))
            return DSERR_INVALIDPARAM;
    m_voice.notifications.assign(positions, positions + count);
    return DS_OK;
}

Device* AsDevice(IDirectSound8* directSound)
{
    return dynamic_cast<Device*>(directSound);
}
} // namespace

HRESULT DirectSoundCreate8(LPCGUID, IDirectSound8** directSound, void* outer)
{
    if (directSound == nullptr)
        return DSERR_INVALIDPARAM;
    *directSound = nullptr;
    if (outer != nullptr)
        return DSERR_NOAGGREGATION;
    auto* device = new (std::nothrow) Device(false);
    if (device == nullptr)
        return DSERR_OUTOFMEMORY;
    const HRESULT result = device->Open();
    if (result != DS_OK)
    {
        device->Release();
        return result;
    }
    *directSound = device;
    return DS_OK;
}

HRESULT DirectSoundCreateManual8(IDirectSound8** directSound)
{
    if (directSound == nullptr)
        return DSERR_INVALIDPARAM;
    auto* device = new (std::nothrow) Device(true);
    if (device == nullptr)
        return DSERR_OUTOFMEMORY;
    device->Open();
    *directSound = device;
    return DS_OK;
}

bool DirectSoundMixManual(IDirectSound8* directSound, int16_t* out, size_t frames)
{
    Device* device = AsDevice(directSound);
    if (device == nullptr || !device->IsManual() || (out == nullptr && frames != 0))
        return false;
    device->GetMixer().Mix(out, frames);
    return true;
}

void DirectSoundSetCaptureHook(IDirectSound8* directSound, DirectSoundCaptureHook hook)
{
    if (Device* device = AsDevice(directSound))
        device->GetMixer().SetCaptureHook(std::move(hook));
}

void DirectSoundLoseBuffers(IDirectSound8* directSound)
{
    Device* device = AsDevice(directSound);
    if (device == nullptr)
        return;
    Mixer& mixer = device->GetMixer();
    std::lock_guard<std::mutex> guard(mixer.lock);
    for (Voice* voice : mixer.voices)
    {
        voice->lost = true;
        if (voice->playing)
        {
            voice->playing = false;
            Mixer::NotifyStop(*voice);
        }
    }
}
