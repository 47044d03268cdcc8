#include "KelSoundEngineCL.h"

#include <cstring>

#include "KelGuard.h"
#include "KelLogCL.h"
#include "KelMusicManagerCL.h"
#include "KelSoundDecoder.h"
#include "KelSystemCL.h"

namespace
{
constexpr DWORD k2DBufferFlags = DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLVOLUME;
constexpr DWORD k3DBufferFlags = DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRL3D;
constexpr LONG kConeOutsideVolume = -9000;
constexpr DWORD kConeInsideAngle = 10;
constexpr DWORD kConeOutsideAngle = 100;

WAVEFORMATEX ToWaveFormat(const KelSoundFormat& format)
{
    WAVEFORMATEX wave{};
    wave.wFormatTag = format.formatTag;
    wave.nChannels = format.channels;
    wave.nSamplesPerSec = format.samplesPerSec;
    wave.nAvgBytesPerSec = format.avgBytesPerSec;
    wave.nBlockAlign = format.blockAlign;
    wave.wBitsPerSample = format.bitsPerSample;
    wave.cbSize = static_cast<WORD>(format.extra.size());
    return wave;
}

D3DVECTOR Vector(float x, float y, float z)
{
    D3DVECTOR v;
    v.x = x;
    v.y = y;
    v.z = z;
    return v;
}

// Copies the sound into the whole buffer.
bool FillBuffer(IDirectSoundBuffer* buffer, const std::vector<uint8_t>& data)
{
    void* first = nullptr;
    void* second = nullptr;
    DWORD firstSize = 0;
    DWORD secondSize = 0;
    if (FAILED(buffer->Lock(0, static_cast<DWORD>(data.size()), &first, &firstSize, &second, &secondSize, 0)))
        return false;
    const DWORD copied = std::min<DWORD>(firstSize, static_cast<DWORD>(data.size()));
    std::memcpy(first, data.data(), copied);
    return SUCCEEDED(buffer->Unlock(first, firstSize, second, secondSize)) && copied == data.size();
}
} // namespace

KelSoundEngineCL::KelSoundEngineCL() = default;

KelSoundEngineCL::~KelSoundEngineCL()
{
    KEL_TRY
    Release();
    KEL_CATCH_RETURN()
}

HRESULT KelSoundEngineCL::Initialize(HWND window)
{
    KEL_TRY
    if (m_directSound != nullptr)
    {
        KelLogPrintf("声音引擎已经初始化过");
        return DS_OK;
    }
    IDirectSound8* directSound = nullptr;
    HRESULT result = DirectSoundCreate8(nullptr, &directSound, nullptr);
    if (FAILED(result))
    {
        KelLogPrintf("初始化声音引擎失败  DirectSoundCreate8 error");
        return result;
    }
    m_directSound.reset(directSound);
    result = m_directSound->SetCooperativeLevel(window, DSSCL_PRIORITY);
    if (FAILED(result))
    {
        ReleaseDevice();
        KelLogPrintf("初始化声音引擎失败  SetCooperativeLevel error");
        return result;
    }
    DSCAPS caps{};
    caps.dwSize = sizeof caps;
    result = m_directSound->GetCaps(&caps);
    if (FAILED(result))
    {
        ReleaseDevice();
        KelLogPrintf("初始化声音引擎失败  IDirectSound8->GetCaps error");
        return result;
    }
    WORD bits = 8;
    if ((caps.dwFlags & DSCAPS_SECONDARY16BIT) != 0)
    {
        bits = 16;
        KelLogPrintf("支持 16 位");
    }
    else
    {
        KelLogPrintf("不支持 16 位");
    }
    result = SetPrimaryBufferFormat(2, 44100, bits);
    if (FAILED(result))
    {
        KelLogPrintf("初始化声音引擎失败  SetPrimaryBufferFormat error");
        ReleaseDevice();
        return result;
    }
    result = Create3DListener();
    if (FAILED(result))
    {
        KelLogPrintf("初始化声音引擎失败  Set3DListenerInterface error");
        ReleaseDevice();
        return result;
    }
    m_window = window;
    KelLogPrintf("初始化声音引擎成功");
    return DS_OK;
    KEL_CATCH
}

void KelSoundEngineCL::ReleaseDevice()
{
    m_listener.reset();
    m_directSound.reset();
}

void KelSoundEngineCL::Release()
{
    KEL_TRY
    if (m_directSound == nullptr)
        return;
    ReleasePlayingSounds();
    KelLogPrintf("释放正在播放的声音成功");
    ReleaseCachedSounds();
    KelLogPrintf("释放资源声音成功");
    // Music streams play on this device: they end before it goes.
    KelMusicManagerCL::GetInstance()->DeleteAllStreams();
    ReleaseDevice();
    m_window = nullptr;
    KelLogPrintf("卸载声音引擎成功");
    KEL_CATCH
}

void KelSoundEngineCL::ReleaseCachedSounds()
{
    KEL_TRY
    m_cache2D.clear();
    m_cache3D.clear();
    KEL_CATCH
}

void KelSoundEngineCL::ReleasePlayingSounds()
{
    KEL_TRY
    m_playing2D.clear();
    m_playing3D.clear();
    KEL_CATCH
}

void KelSoundEngineCL::SetSoundDirectory(const char* relative)
{
    KEL_TRY
    m_directory = KelGetModuleDirectory() + "\\" + (relative != nullptr ? relative : "");
    KelLogPrintf("设置声音文件目录:%s", m_directory.c_str());
    KEL_CATCH
}

const std::string& KelSoundEngineCL::GetSoundDirectory()
{
    return m_directory;
}

void KelSoundEngineCL::SetMasterVolumeScale(float scale)
{
    m_masterScale = scale;
}

float KelSoundEngineCL::GetMasterVolumeScale()
{
    return m_masterScale;
}

void KelSoundEngineCL::Set3DDistances(float minimum, float maximum)
{
    m_minDistance = minimum;
    m_maxDistance = maximum;
}

void KelSoundEngineCL::Get3DDistances(float* minimum, float* maximum)
{
    if (minimum != nullptr)
        *minimum = m_minDistance;
    if (maximum != nullptr)
        *maximum = m_maxDistance;
}

HWND KelSoundEngineCL::GetWindow()
{
    return m_window;
}

IDirectSound8* KelSoundEngineCL::GetDirectSound()
{
    return m_directSound.get();
}

HRESULT KelSoundEngineCL::SetPrimaryBufferFormat(WORD channels, DWORD samplesPerSec, WORD bitsPerSample)
{
    KEL_TRY
    if (m_directSound == nullptr)
        return DSERR_UNINITIALIZED;
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    IDirectSoundBuffer* created = nullptr;
    HRESULT result = m_directSound->CreateSoundBuffer(&desc, &created, nullptr);
    if (FAILED(result))
    {
        KelLogPrintf("CreateSoundBuffer error");
        return result;
    }
    BufferPtr primary(created);
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = channels;
    format.nSamplesPerSec = samplesPerSec;
    format.wBitsPerSample = bitsPerSample;
    format.nBlockAlign = static_cast<WORD>(channels * bitsPerSample / 8);
    format.nAvgBytesPerSec = format.nBlockAlign * samplesPerSec;
    result = primary->SetFormat(&format);
    if (FAILED(result))
        KelLogPrintf("SetFormat error");
    return result;
    KEL_CATCH
}

HRESULT KelSoundEngineCL::Create3DListener()
{
    KEL_TRY
    if (m_directSound == nullptr)
        return DSERR_UNINITIALIZED;
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D;
    IDirectSoundBuffer* created = nullptr;
    HRESULT result = m_directSound->CreateSoundBuffer(&desc, &created, nullptr);
    if (FAILED(result))
    {
        KelLogPrintf("CreateSoundBuffer 失败");
        return result;
    }
    BufferPtr primary(created);
    IDirectSound3DListener* listener = nullptr;
    result = primary->QueryInterface(IID_IDirectSound3DListener, reinterpret_cast<void**>(&listener));
    if (FAILED(result))
    {
        KelLogPrintf("获取 IID_IDirectSound3DListener 失败");
        return result;
    }
    m_listener.reset(listener);
    DS3DLISTENER parameters{};
    parameters.dwSize = sizeof parameters;
    parameters.vPosition = Vector(0, 0, 0);
    parameters.vVelocity = Vector(0, 0, 0);
    parameters.vOrientFront = Vector(0, 0, 1);
    parameters.vOrientTop = Vector(0, 1, 0);
    parameters.flDistanceFactor = 1.0f;
    parameters.flRolloffFactor = 0.0f;
    parameters.flDopplerFactor = 0.0f;
    result = m_listener->SetAllParameters(&parameters, DS3D_IMMEDIATE);
    if (FAILED(result))
    {
        KelLogPrintf("m_p3DListener->SetAllParameters 失败");
        m_listener.reset();
    }
    return result;
    KEL_CATCH
}

IDirectSoundBuffer* KelSoundEngineCL::CreateBuffer(DWORD size, const WAVEFORMATEX* format, DWORD flags)
{
    if (m_directSound == nullptr)
        return nullptr;
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = flags;
    desc.dwBufferBytes = size;
    desc.lpwfxFormat = const_cast<WAVEFORMATEX*>(format);
    desc.guid3DAlgorithm = DS3DALG_DEFAULT;
    IDirectSoundBuffer* buffer = nullptr;
    return SUCCEEDED(m_directSound->CreateSoundBuffer(&desc, &buffer, nullptr)) ? buffer : nullptr;
}

IDirectSoundBuffer* KelSoundEngineCL::Create3DBuffer(DWORD size, const WAVEFORMATEX* format)
{
    KEL_TRY
    return CreateBuffer(size, format, k3DBufferFlags);
    KEL_CATCH
}

IDirectSoundBuffer* KelSoundEngineCL::Create2DBuffer(DWORD size, const WAVEFORMATEX* format)
{
    KEL_TRY
    return CreateBuffer(size, format, k2DBufferFlags);
    KEL_CATCH
}

void KelSoundEngineCL::Update()
{
    KEL_TRY
    RemoveFinishedSounds();
    KelMusicManagerCL::GetInstance()->Update();
    KEL_CATCH
}

void KelSoundEngineCL::RemoveFinished(SoundList* sounds)
{
    for (auto sound = sounds->begin(); sound != sounds->end();)
    {
        if ((*sound)->IsPlaying())
        {
            (*sound)->FadeStep();
            ++sound;
        }
        else
        {
            sound = sounds->erase(sound);
        }
    }
}

void KelSoundEngineCL::RemoveFinishedSounds()
{
    KEL_TRY
    RemoveFinished(&m_playing2D);
    RemoveFinished(&m_playing3D);
    KEL_CATCH
}

bool KelSoundEngineCL::Set3DPosition(KelSoundCL* sound, float x, float y, float z)
{
    KEL_TRY
    auto* sound3D = dynamic_cast<KelSound3DCL*>(sound);
    if (sound3D == nullptr || sound3D->Get3DBuffer() == nullptr)
        return false;
    IDirectSound3DBuffer* buffer = sound3D->Get3DBuffer();
    DS3DBUFFER parameters{};
    parameters.dwSize = sizeof parameters;
    if (FAILED(buffer->GetAllParameters(&parameters)))
        return false;
    parameters.vPosition = Vector(x, y, z);
    parameters.flMinDistance = m_minDistance;
    parameters.flMaxDistance = m_maxDistance;
    parameters.vConeOrientation = m_listenerFront;
    parameters.lConeOutsideVolume = kConeOutsideVolume;
    if (FAILED(buffer->SetAllParameters(&parameters, DS3D_IMMEDIATE)))
        return false;
    return SUCCEEDED(buffer->SetConeAngles(kConeInsideAngle, kConeOutsideAngle, DS3D_IMMEDIATE));
    KEL_CATCH
}

void KelSoundEngineCL::SetListener(float x, float y, float z, float frontX, float frontY, float frontZ,
                                   float topX, float topY, float topZ)
{
    KEL_TRY
    if (m_listener == nullptr)
        return;
    DS3DLISTENER parameters{};
    parameters.dwSize = sizeof parameters;
    if (FAILED(m_listener->GetAllParameters(&parameters)))
        return;
    parameters.vPosition = Vector(x, y, z);
    parameters.vOrientFront = Vector(-frontX, -frontY, -frontZ);
    parameters.vOrientTop = Vector(topX, topY, topZ);
    parameters.flDistanceFactor = 10.0f;
    parameters.flRolloffFactor = 0.0f;
    parameters.flDopplerFactor = 0.0f;
    m_listener->SetAllParameters(&parameters, DS3D_IMMEDIATE);
    m_listenerFront = parameters.vOrientFront;
    KEL_CATCH
}

KelSoundEngineCL::BufferPtr KelSoundEngineCL::LoadEffect(const std::string& path, bool threeD)
{
    KelDecodedSound sound;
    if (!KelLoadEffectFile(path.c_str(), &sound))
        return nullptr;
    const WAVEFORMATEX format = ToWaveFormat(sound.format);
    const DWORD size = static_cast<DWORD>(sound.data.size());
    BufferPtr buffer(threeD ? Create3DBuffer(size, &format) : Create2DBuffer(size, &format));
    if (buffer == nullptr || !FillBuffer(buffer.get(), sound.data))
        return nullptr;
    return buffer;
}

IDirectSoundBuffer* KelSoundEngineCL::CachedEffect(const char* name, bool threeD)
{
    std::map<std::string, BufferPtr>& cache = threeD ? m_cache3D : m_cache2D;
    auto cached = cache.find(name);
    if (cached != cache.end())
        return cached->second.get();
    BufferPtr buffer = LoadEffect(m_directory + "\\" + name, threeD);
    if (buffer == nullptr)
        return nullptr;
    IDirectSoundBuffer* result = buffer.get();
    cache.emplace(name, std::move(buffer));
    return result;
}

KelSoundCL* KelSoundEngineCL::Play2DEffect(const char* name, bool loop)
{
    KEL_TRY
    if (m_directSound == nullptr || name == nullptr)
        return nullptr;
    IDirectSoundBuffer* cached = CachedEffect(name, false);
    IDirectSoundBuffer* copy = nullptr;
    if (cached == nullptr || FAILED(m_directSound->DuplicateSoundBuffer(cached, &copy)))
        return nullptr;
    m_playing2D.push_back(std::make_unique<KelSoundCL>(copy));
    KelSoundCL* sound = m_playing2D.back().get();
    sound->SetVolumeScale(m_masterScale);
    sound->SetVolume(100.0f);
    copy->Play(0, 0, loop ? DSBPLAY_LOOPING : 0);
    return sound;
    KEL_CATCH
}

KelSoundCL* KelSoundEngineCL::Play3DEffect(const char* name, float x, float y, float z, bool loop)
{
    KEL_TRY
    if (m_directSound == nullptr || name == nullptr)
        return nullptr;
    IDirectSoundBuffer* cached = CachedEffect(name, true);
    IDirectSoundBuffer* copy = nullptr;
    if (cached == nullptr || FAILED(m_directSound->DuplicateSoundBuffer(cached, &copy)))
        return nullptr;
    BufferPtr owned(copy);
    IDirectSound3DBuffer* buffer3D = nullptr;
    if (FAILED(copy->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void**>(&buffer3D))))
        return nullptr;
    m_playing3D.push_back(std::make_unique<KelSound3DCL>(owned.release(), buffer3D));
    KelSoundCL* sound = m_playing3D.back().get();
    Set3DPosition(sound, x, y, z);
    sound->SetVolumeScale(m_masterScale);
    sound->SetVoiceVolume(100.0f);
    copy->Play(0, 0, loop ? DSBPLAY_LOOPING : 0);
    return sound;
    KEL_CATCH
}
