#include "KelMusicStreamCL.h"

#include <algorithm>
#include <cstring>

#include "KelCriticalSectionManagerCL.h"
#include "KelGuard.h"
#include "KelLogCL.h"
#include "KelNamedLockGuardCL.h"
#include "KelSoundDecoder.h"
#include "Win32/Files.h"
#include "Win32/Sync.h"
#include "Win32/Time.h"

namespace
{
constexpr DWORD kStreamBufferFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS |
                                     DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_CTRLVOLUME | DSBCAPS_LOCSOFTWARE;
constexpr int kOggReadStep = 4096;
// A stream that keeps answering errors is given up rather than retried for ever.
constexpr int kMaxOggErrorsInARow = 64;

using StreamLock = KelNamedLockGuardCL<KelCriticalSectionManagerCL>;
} // namespace

KelMusicStreamCL::KelMusicStreamCL(HWND window, IDirectSound8* directSound)
    : m_window(window), m_directSound(directSound)
{
    if (window == nullptr)
        KelLogPrintf("音乐创建窗口句柄为空 error");
    if (directSound == nullptr)
        KelLogPrintf("音乐创建 DX 句柄为空 error");
}

KelMusicStreamCL::~KelMusicStreamCL()
{
    KEL_TRY
    Close();
    KEL_CATCH_RETURN()
}

void KelMusicStreamCL::Close()
{
    KEL_TRY
    if (m_thread.joinable())
    {
        // Never under the stream's lock: the worker may be waiting for it.
        m_quit = true;
        SetEvent(m_event);
        m_thread.join();
    }
    if (m_event != nullptr)
    {
        CloseHandle(m_event);
        m_event = nullptr;
    }
    m_buffer.reset();
    KEL_CATCH
}

void KelMusicStreamCL::ComputeSizes()
{
    const DWORD align = std::max<DWORD>(GetBlockAlign(), 1);
    m_segmentSize = GetSamplesPerSec() * kBufferSeconds * align / kNotifyCount;
    m_segmentSize -= m_segmentSize % align;
    m_bufferSize = m_segmentSize * kNotifyCount;
}

bool KelMusicStreamCL::Start(const char* path)
{
    KEL_TRY
    m_fileName = path != nullptr ? path : "";
    m_lockName = "KelMusicStream " + m_fileName;
    if (m_directSound == nullptr || m_window == nullptr || !Open(m_fileName.c_str()))
        return false;
    ComputeSizes();
    if (m_segmentSize == 0 || !CreateBuffer() || !CreateNotifications())
        return false;
    m_quit = false;
    m_threadRunning = true;
    m_thread = std::thread(&KelMusicStreamCL::ThreadMain, this);
    return PlayBuffer();
    KEL_CATCH
}

bool KelMusicStreamCL::CreateBuffer()
{
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = kStreamBufferFlags;
    desc.dwBufferBytes = m_bufferSize;
    desc.lpwfxFormat = const_cast<WAVEFORMATEX*>(GetWaveFormat());
    IDirectSoundBuffer* buffer = nullptr;
    m_lastResult = m_directSound->CreateSoundBuffer(&desc, &buffer, nullptr);
    if (FAILED(m_lastResult))
    {
        KelLogPrintf("创建m_pDSBuffer失败");
        return false;
    }
    m_buffer.reset(buffer);
    return true;
}

bool KelMusicStreamCL::CreateNotifications()
{
    IDirectSoundNotify* notify = nullptr;
    m_lastResult = m_buffer->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&notify));
    if (FAILED(m_lastResult))
    {
        KelLogPrintf("Query SoundNotify Interface失败");
        return false;
    }
    KelSoundInterfacePtr<IDirectSoundNotify> owned(notify);
    m_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (m_event == nullptr)
    {
        KelLogPrintf("SetNotificationPositions失败");
        return false;
    }
    DSBPOSITIONNOTIFY positions[kNotifyCount];
    for (DWORD i = 0; i < kNotifyCount; ++i)
    {
        positions[i].dwOffset = m_bufferSize / kNotifyCount * (i + 1) - 1;
        positions[i].hEventNotify = m_event;
    }
    m_lastResult = notify->SetNotificationPositions(kNotifyCount, positions);
    if (FAILED(m_lastResult))
    {
        KelLogPrintf("SetNotificationPositions失败");
        return false;
    }
    return true;
}

void KelMusicStreamCL::FillSilence(BYTE* destination, DWORD length)
{
    const WAVEFORMATEX* format = GetWaveFormat();
    std::memset(destination, format != nullptr && format->wBitsPerSample == 8 ? 0x80 : 0, length);
}

bool KelMusicStreamCL::FillFromStream(BYTE* destination, DWORD length)
{
    DWORD read = 0;
    Read(destination, length, &read);
    if (read >= length)
        return false;
    FillSilence(destination + read, length - read);
    return true;
}

void KelMusicStreamCL::RestoreLostBuffer()
{
    while (m_buffer->Restore() == DSERR_BUFFERLOST)
        Sleep(10);
}

bool KelMusicStreamCL::RestoreBuffer()
{
    DWORD status = 0;
    m_lastResult = m_buffer->GetStatus(&status);
    if (FAILED(m_lastResult))
    {
        KelLogPrintf("m_pSoundBuffer->GetStatus()失败");
        return false;
    }
    if ((status & DSBSTATUS_BUFFERLOST) == 0)
        return true;
    RestoreLostBuffer();
    void* first = nullptr;
    DWORD firstSize = 0;
    m_lastResult = m_buffer->Lock(0, m_bufferSize, &first, &firstSize, nullptr, nullptr, 0);
    if (FAILED(m_lastResult))
    {
        KelLogPrintf("RestoreBuffer(),Lock失败");
        return false;
    }
    FillFromStream(static_cast<BYTE*>(first), firstSize);
    m_lastResult = m_buffer->Unlock(first, firstSize, nullptr, 0);
    if (FAILED(m_lastResult))
    {
        KelLogPrintf("RestoreBuffer(),Unlock失败");
        return false;
    }
    return true;
}

bool KelMusicStreamCL::PlayBuffer()
{
    KEL_TRY
    if (m_buffer == nullptr)
        return false;
    StreamLock lock(m_lockName);
    if (m_paused)
    {
        if (!RestoreBuffer())
            KelLogPrintf("PlayBuffer()：恢复缓冲区和数据失败");
        m_paused = false;
    }
    else
    {
        m_filledWithSilence = false;
        m_progress = 0;
        m_lastPlayPosition = 0;
        m_writeOffset = 0;
        DWORD status = 0;
        m_lastResult = m_buffer->GetStatus(&status);
        if (FAILED(m_lastResult))
        {
            KelLogPrintf("m_pSoundBuffer->GetStatus()失败");
            return false;
        }
        if ((status & DSBSTATUS_BUFFERLOST) != 0)
            RestoreLostBuffer();
        m_buffer->Stop();
        m_buffer->SetCurrentPosition(0);
        void* first = nullptr;
        DWORD firstSize = 0;
        m_lastResult = m_buffer->Lock(0, m_bufferSize, &first, &firstSize, nullptr, nullptr, 0);
        if (FAILED(m_lastResult))
        {
            KelLogPrintf("PlayBuffer(),Lock失败");
            return false;
        }
        Rewind();
        FillFromStream(static_cast<BYTE*>(first), firstSize);
        m_lastResult = m_buffer->Unlock(first, firstSize, nullptr, 0);
        if (FAILED(m_lastResult))
        {
            KelLogPrintf("PlayBuffer(),Unlock失败");
            return false;
        }
    }
    m_buffer->SetVolume(DSBVOLUME_MIN);
    ApplyVolume();
    // The buffer always loops; the worker decides when the music has ended.
    m_lastResult = m_buffer->Play(0, 0, DSBPLAY_LOOPING);
    return SUCCEEDED(m_lastResult);
    KEL_CATCH
}

void KelMusicStreamCL::Pause()
{
    KEL_TRY
    if (m_buffer == nullptr)
        return;
    m_buffer->Stop();
    m_paused = true;
    KEL_CATCH
}

void KelMusicStreamCL::Stop()
{
    KEL_TRY
    if (m_buffer == nullptr)
        return;
    StreamLock lock(m_lockName);
    m_paused = false;
    m_progress = 0;
    m_lastPlayPosition = 0;
    m_writeOffset = 0;
    m_filledWithSilence = false;
    if (FAILED(m_buffer->Stop()))
        KelLogPrintf("Stop()失败");
    if (FAILED(m_buffer->SetCurrentPosition(0)))
        KelLogPrintf("SetCurrentPosition()失败");
    KEL_CATCH
}

bool KelMusicStreamCL::IsPlaying()
{
    KEL_TRY
    DWORD status = 0;
    return m_buffer != nullptr && SUCCEEDED(m_buffer->GetStatus(&status)) &&
           (status & DSBSTATUS_PLAYING) != 0;
    KEL_CATCH
}

void KelMusicStreamCL::ApplyVolume()
{
    if (m_buffer != nullptr)
        m_buffer->SetVolume(m_muted ? DSBVOLUME_MIN : m_volume);
}

void KelMusicStreamCL::SetVolume(LONG volume)
{
    KEL_TRY
    m_volume = std::clamp<LONG>(volume, DSBVOLUME_MIN, DSBVOLUME_MAX);
    ApplyVolume();
    KEL_CATCH
}

void KelMusicStreamCL::SetMuted(bool muted)
{
    KEL_TRY
    m_muted = muted;
    ApplyVolume();
    KEL_CATCH
}

void KelMusicStreamCL::SetLoop(bool loop)
{
    m_loop = loop;
}

void KelMusicStreamCL::ThreadMain()
{
    for (;;)
    {
        if (WaitForSingleObject(m_event, INFINITE) != WAIT_OBJECT_0 || m_quit)
            break;
        bool goOn = false;
        try
        {
            goOn = HandleNotification();
        }
        catch (...)
        {
            // Nothing may escape a thread; the failure ends this one as any other would.
            KelLogGuardFailure(__FILE__, __LINE__, __PRETTY_FUNCTION__);
        }
        if (!goOn)
            break;
    }
    m_threadRunning = false;
}

bool KelMusicStreamCL::HandleNotification()
{
    StreamLock lock(m_lockName);
    if (!RestoreBuffer())
        return false;
    DecodeAhead();
    void* first = nullptr;
    void* second = nullptr;
    DWORD firstSize = 0;
    DWORD secondSize = 0;
    m_lastResult = m_buffer->Lock(m_writeOffset, m_segmentSize, &first, &firstSize, &second, &secondSize, 0);
    if (FAILED(m_lastResult))
    {
        KelLogPrintf("HandleNotificationThread(void* pParam),Lock失败");
        return false;
    }
    if (second != nullptr)
    {
        // Segments divide the buffer exactly, so one never wraps.
        KelLogPrintf("pDSLockedBuffer2不为空");
        m_buffer->Unlock(first, firstSize, second, secondSize);
        return false;
    }
    if (m_filledWithSilence)
        FillSilence(static_cast<BYTE*>(first), firstSize);
    else if (FillFromStream(static_cast<BYTE*>(first), firstSize))
        m_filledWithSilence = true;
    m_lastResult = m_buffer->Unlock(first, firstSize, nullptr, 0);
    if (FAILED(m_lastResult))
    {
        KelLogPrintf("HandleNotificationThread(void* pParam),Unlock失败");
        return false;
    }
    DWORD playPosition = 0;
    DWORD writePosition = 0;
    m_lastResult = m_buffer->GetCurrentPosition(&playPosition, &writePosition);
    if (FAILED(m_lastResult))
    {
        KelLogPrintf("HandleNotificationThread(void* pParam),GetCurrentPosition()失败");
        return false;
    }
    DWORD played = playPosition - m_lastPlayPosition;
    if (playPosition < m_lastPlayPosition)
        played = playPosition + m_bufferSize - m_lastPlayPosition;
    m_progress += played;
    m_lastPlayPosition = playPosition;
    const uint64_t decoded = GetDecodedBytes();
    if (m_progress > decoded)
    {
        if (m_loop && decoded > 0)
        {
            m_progress -= decoded;
        }
        else
        {
            m_buffer->Stop();
            m_progress = 0;
            m_lastPlayPosition = 0;
        }
    }
    m_writeOffset = (m_writeOffset + m_segmentSize) % m_bufferSize;
    return true;
}

KelOggStreamCL::KelOggStreamCL(HWND window, IDirectSound8* directSound)
    : KelMusicStreamCL(window, directSound)
{
}

KelOggStreamCL::~KelOggStreamCL()
{
    KEL_TRY
    // The worker reads this part's sound: it ends before the sound goes.
    Close();
    CloseFile();
    KEL_CATCH_RETURN()
}

void KelOggStreamCL::CloseFile()
{
    if (m_vorbisOpen)
        ov_clear(&m_vorbis);
    m_vorbisOpen = false;
    if (m_source != nullptr)
        std::fclose(m_source);
    m_source = nullptr;
}

bool KelOggStreamCL::Open(const char* file)
{
    KEL_TRY
    CloseFile();
    const char* name = file != nullptr ? file : "";
    m_source = Win32OpenFile(name, "rb");
    m_vorbisOpen =
        m_source != nullptr && ov_open_callbacks(m_source, &m_vorbis, nullptr, 0, OV_CALLBACKS_NOCLOSE) == 0;
    if (!m_vorbisOpen)
    {
        KelLogPrintf("打开的ogg文件无法被vorbis识别:%s", name);
        CloseFile();
        return false;
    }
    const vorbis_info* info = ov_info(&m_vorbis, -1);
    const ogg_int64_t frames = ov_pcm_total(&m_vorbis, -1);
    if (info == nullptr || info->channels < 1 || info->channels > 8 || info->rate < 1 || frames <= 0 ||
        static_cast<uint64_t>(frames) * 2u * static_cast<uint64_t>(info->channels) > kKelMaxDecodedSoundBytes)
    {
        KelLogPrintf("打开的ogg文件无法被vorbis识别:%s", name);
        CloseFile();
        return false;
    }
    m_format = WAVEFORMATEX{};
    m_format.wFormatTag = WAVE_FORMAT_PCM;
    m_format.nChannels = static_cast<WORD>(info->channels);
    m_format.nSamplesPerSec = static_cast<DWORD>(info->rate);
    m_format.wBitsPerSample = 16;
    m_format.nBlockAlign = static_cast<WORD>(2 * info->channels);
    m_format.nAvgBytesPerSec = m_format.nBlockAlign * m_format.nSamplesPerSec;
    m_decoded.assign(static_cast<size_t>(frames) * 2u * static_cast<size_t>(info->channels), 0);
    m_decodedBytes = 0;
    m_finished = false;
    m_readPosition = 0;
    DecodeAhead();
    return true;
    KEL_CATCH
}

DWORD KelOggStreamCL::GetSamplesPerSec()
{
    return m_format.nSamplesPerSec;
}

DWORD KelOggStreamCL::GetBlockAlign()
{
    return static_cast<DWORD>(m_format.wBitsPerSample / 8 * m_format.nChannels);
}

DWORD KelOggStreamCL::GetBitsPerSample()
{
    return 16;
}

DWORD KelOggStreamCL::GetDecodedBytes()
{
    return m_decodedBytes;
}

DWORD KelOggStreamCL::GetTotalBytes()
{
    return static_cast<DWORD>(m_decoded.size());
}

const WAVEFORMATEX* KelOggStreamCL::GetWaveFormat()
{
    return &m_format;
}

void KelOggStreamCL::DecodeAhead()
{
    KEL_TRY
    if (m_finished || !m_vorbisOpen)
        return;
    // The sizes are known once the format is: one buffer ahead of what has been decoded.
    const DWORD bufferSize = GetBufferSize() != 0
                                 ? GetBufferSize()
                                 : GetSamplesPerSec() * kBufferSeconds * std::max<DWORD>(GetBlockAlign(), 1);
    const DWORD total = GetTotalBytes();
    DWORD target = m_decodedBytes + bufferSize;
    if (target >= total || target < m_decodedBytes)
    {
        target = total;
        m_finished = true;
    }
    int errors = 0;
    int section = 0;
    while (m_decodedBytes < target)
    {
        const int want = static_cast<int>(std::min<DWORD>(kOggReadStep, total - m_decodedBytes));
        const long got = ov_read(&m_vorbis, reinterpret_cast<char*>(m_decoded.data() + m_decodedBytes), want,
                                 0, 2, 1, &section);
        if (got == 0)
        {
            m_finished = true;
            break;
        }
        if (got < 0)
        {
            KelLogPrintf("Ogg文件流中出现错误: %s", GetFileName().c_str());
            if (got != OV_HOLE || ++errors >= kMaxOggErrorsInARow)
            {
                m_finished = true;
                break;
            }
            continue;
        }
        errors = 0;
        m_decodedBytes = std::min<DWORD>(m_decodedBytes + static_cast<DWORD>(got), total);
        if (m_decodedBytes == total)
            m_finished = true;
    }
    KEL_CATCH
}

HRESULT KelOggStreamCL::Read(BYTE* destination, DWORD length, DWORD* bytesRead)
{
    KEL_TRY
    if (destination == nullptr)
        return DSERR_INVALIDPARAM;
    std::memset(destination, 0, length);
    DWORD done = 0;
    while (done < length)
    {
        const DWORD count =
            std::min(length - done, m_decodedBytes - std::min(m_readPosition, m_decodedBytes));
        std::memcpy(destination + done, m_decoded.data() + m_readPosition, count);
        done += count;
        m_readPosition += count;
        // Looping goes on from the start only once the whole sound is there.
        if (done == length || !m_loop || !m_finished || m_decodedBytes == 0)
            break;
        m_readPosition = 0;
    }
    if (bytesRead != nullptr)
        *bytesRead = done;
    return DS_OK;
    KEL_CATCH
}

void KelOggStreamCL::Rewind()
{
    m_readPosition = 0;
}
