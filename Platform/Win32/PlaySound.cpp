#include "Win32/PlaySound.h"

#include <algorithm>
#include <mutex>

#include "DSound/DSound.h"
#include "Win32/Time.h"
#include "Win32/WaveFile.h"
#include "Win32/Window.h"

namespace
{
// Click sounds are short; a larger file is not what this function is for.
constexpr size_t kMaxSoundBytes = 64u * 1024u * 1024u;

class Player
{
public:
    ~Player()
    {
        if (m_current != nullptr)
            m_current->Release();
        if (m_device != nullptr)
            m_device->Release();
    }

    std::mutex& Lock() { return m_lock; }

    // With the lock held.
    IDirectSound8* Device()
    {
        if (m_device != nullptr)
            return m_device;
        IDirectSound8* device = nullptr;
        if (FAILED(DirectSoundCreate8(nullptr, &device, nullptr)))
            return nullptr;
        if (FAILED(device->SetCooperativeLevel(&m_window, DSSCL_PRIORITY)))
        {
            device->Release();
            return nullptr;
        }
        m_device = device;
        return m_device;
    }

    // With the lock held: plays on `device` from now on (null: a device of its own, made when
    // next needed).
    void UseDevice(IDirectSound8* device)
    {
        Replace(nullptr);
        if (device != nullptr)
            device->AddRef();
        if (m_device != nullptr)
            m_device->Release();
        m_device = device;
    }

    // With the lock held: the playing sound becomes this one (or none).
    void Replace(IDirectSoundBuffer* next)
    {
        if (m_current != nullptr)
        {
            m_current->Stop();
            m_current->Release();
        }
        m_current = next;
    }

    bool IsPlaying()
    {
        DWORD status = 0;
        return m_current != nullptr && SUCCEEDED(m_current->GetStatus(&status)) &&
               (status & DSBSTATUS_PLAYING) != 0;
    }

private:
    std::mutex m_lock;
    MemoryWindow m_window{1, 1};
    IDirectSound8* m_device = nullptr;
    IDirectSoundBuffer* m_current = nullptr;
};

Player& ThePlayer()
{
    static Player player;
    return player;
}

IDirectSoundBuffer* MakeBuffer(IDirectSound8* device, const WaveFileData& wave)
{
    WAVEFORMATEX format{};
    format.wFormatTag = wave.formatTag;
    format.nChannels = wave.channels;
    format.nSamplesPerSec = wave.samplesPerSec;
    format.nAvgBytesPerSec = wave.avgBytesPerSec;
    format.nBlockAlign = wave.blockAlign;
    format.wBitsPerSample = wave.bitsPerSample;
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_GLOBALFOCUS;
    desc.dwBufferBytes = static_cast<DWORD>(wave.samples.size());
    desc.lpwfxFormat = &format;
    IDirectSoundBuffer* buffer = nullptr;
    if (FAILED(device->CreateSoundBuffer(&desc, &buffer, nullptr)))
        return nullptr;
    void* bytes = nullptr;
    DWORD size = 0;
    if (FAILED(buffer->Lock(0, 0, &bytes, &size, nullptr, nullptr, DSBLOCK_ENTIREBUFFER)))
    {
        buffer->Release();
        return nullptr;
    }
    std::copy(wave.samples.begin(), wave.samples.begin() + size, static_cast<uint8_t*>(bytes));
    buffer->Unlock(bytes, size, nullptr, 0);
    return buffer;
}
} // namespace

BOOL PlaySoundA(LPCSTR sound, HMODULE, DWORD flags)
{
    Player& player = ThePlayer();
    {
        std::lock_guard<std::mutex> guard(player.Lock());
        if (sound == nullptr || (flags & SND_PURGE) != 0)
        {
            player.Replace(nullptr);
            return TRUE;
        }
        if ((flags & SND_NOSTOP) != 0 && player.IsPlaying())
            return FALSE;
        WaveFileData wave;
        if (ReadWaveFile(sound, kMaxSoundBytes, &wave) != nullptr)
            return FALSE;
        IDirectSound8* device = player.Device();
        IDirectSoundBuffer* buffer = device != nullptr ? MakeBuffer(device, wave) : nullptr;
        if (buffer == nullptr)
            return FALSE;
        player.Replace(buffer);
        const bool loop = (flags & SND_LOOP) != 0 && (flags & SND_ASYNC) != 0;
        buffer->Play(0, 0, loop ? DSBPLAY_LOOPING : 0);
        if ((flags & SND_ASYNC) != 0)
            return TRUE;
    }
    // Played to its end before returning, unless another call replaces it meanwhile.
    for (;;)
    {
        {
            std::lock_guard<std::mutex> guard(player.Lock());
            if (!player.IsPlaying())
                return TRUE;
        }
        Sleep(5);
    }
}

IDirectSound8* Win32GetPlaySoundDevice()
{
    Player& player = ThePlayer();
    std::lock_guard<std::mutex> guard(player.Lock());
    return player.Device();
}

void Win32SetPlaySoundDevice(IDirectSound8* device)
{
    Player& player = ThePlayer();
    std::lock_guard<std::mutex> guard(player.Lock());
    player.UseDevice(device);
}
