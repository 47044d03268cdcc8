#pragma once
// Streamed music: an Ogg Vorbis file played through a looping sound buffer that holds two seconds
// of sound, refilled 100 ms at a time by a worker thread of the stream.
//
// The buffer carries 20 position notifications, one at the end of each segment, all signalling
// one event. Each time the play position passes a segment end, the worker decodes ahead (so that
// the decoded sound stays one buffer ahead of playback), writes the next segment at its write
// offset (the segment just played) and counts the bytes played. Once more bytes have been played
// than the file decoded to, the buffer is stopped: the music has ended, and the manager's next
// update deletes the stream. A file shorter than the buffer is followed by silence.
//
// With the loop flag set, reads that reach the end of the sound go on from its start, and the
// end-of-music rule takes the sound's length off the bytes played instead of stopping.
//
// Threads. The worker reads the decoded sound and the stream's counters and writes into the
// buffer; the UI thread starts, pauses, stops, closes and changes the volume. The counters, the
// decoded sound and the vorbisfile state are guarded by a named critical section of the stream
// (KelCriticalSectionManagerCL, "KelMusicStream " + file name), held by whichever thread touches
// them. Close (and so the destructor) wakes the worker with its quit flag and joins it before
// the buffer is released, so the worker never outlives what it uses.

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <vorbis/vorbisfile.h>

#include "DSound/DSound.h"
#include "KelSoundCL.h"

class KelMusicStreamCL
{
public:
    KelMusicStreamCL(HWND window, IDirectSound8* directSound);

    /* 1 */ virtual ~KelMusicStreamCL();
    /* 2 */ virtual bool Open(const char* file) = 0;
    /* 3 */ virtual DWORD GetSamplesPerSec() = 0;
    /* 4 */ virtual DWORD GetBlockAlign() = 0;
    /* 5 */ virtual DWORD GetBitsPerSample() = 0;
    /* 6 */ virtual DWORD GetDecodedBytes() = 0;
    /* 7 */ virtual DWORD GetTotalBytes() = 0;
    /* 8 */ virtual const WAVEFORMATEX* GetWaveFormat() = 0;
    /* 9 */ virtual HRESULT Read(BYTE* destination, DWORD length, DWORD* bytesRead) = 0;
    /* 10 */ virtual void DecodeAhead() = 0;
    /* 11 */ virtual void Rewind() = 0;
    /* 12 */ virtual void Close();

    // Opens the file, creates the buffer and its notifications, starts the worker and plays.
    bool Start(const char* path);
    bool PlayBuffer();
    void Pause();
    void Stop();
    bool IsPlaying();
    // Hundredths of a decibel; applied unless muted.
    void SetVolume(LONG volume);
    void SetMuted(bool muted);
    void SetLoop(bool loop);
    LONG GetVolume() const { return m_volume; }
    bool IsMuted() const { return m_muted; }
    bool IsPaused() const { return m_paused; }
    bool IsLooping() const { return m_loop; }
    HRESULT GetLastResult() const { return m_lastResult; }
    const std::string& GetFileName() const { return m_fileName; }
    DWORD GetBufferSize() const { return m_bufferSize; }
    DWORD GetSegmentSize() const { return m_segmentSize; }
    // Whether the worker thread is running.
    bool IsThreadRunning() const { return m_threadRunning.load(); }

    KelMusicStreamCL(const KelMusicStreamCL&) = delete;
    KelMusicStreamCL& operator=(const KelMusicStreamCL&) = delete;

    static constexpr DWORD kBufferSeconds = 2;
    static constexpr DWORD kNotifyCount = 20;

protected:
    const std::string& LockName() const { return m_lockName; }

private:
    void ComputeSizes();
    bool CreateBuffer();
    bool CreateNotifications();
    bool RestoreBuffer();
    // Restores a lost buffer, sleeping 10 ms between tries.
    void RestoreLostBuffer();
    // Fills [destination, destination + length) from the stream, silence after its end; true
    // when the stream ran out.
    bool FillFromStream(BYTE* destination, DWORD length);
    void FillSilence(BYTE* destination, DWORD length);
    void ThreadMain();
    // One notification: false ends the worker.
    bool HandleNotification();
    void ApplyVolume();

    HWND m_window = nullptr;
    IDirectSound8* m_directSound = nullptr;
    KelSoundInterfacePtr<IDirectSoundBuffer> m_buffer;
    HANDLE m_event = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_quit{false};
    std::atomic<bool> m_threadRunning{false};
    std::string m_fileName;
    std::string m_lockName;
    HRESULT m_lastResult = DS_OK;
    DWORD m_bufferSize = 0;
    DWORD m_segmentSize = 0;
    DWORD m_lastPlayPosition = 0;
    DWORD m_writeOffset = 0;
    uint64_t m_progress = 0;
    bool m_filledWithSilence = false;
    LONG m_volume = 0;
    bool m_muted = false;
    bool m_paused = false;

protected:
    // Read by the worker while the stream reads its sound.
    std::atomic<bool> m_loop{false};
};

// The Ogg Vorbis part: the file decoded by vorbisfile into one block of the whole sound, ahead
// of playback.
class KelOggStreamCL : public KelMusicStreamCL
{
public:
    KelOggStreamCL(HWND window, IDirectSound8* directSound);
    ~KelOggStreamCL() override;

    bool Open(const char* file) override;
    DWORD GetSamplesPerSec() override;
    DWORD GetBlockAlign() override;
    DWORD GetBitsPerSample() override;
    DWORD GetDecodedBytes() override;
    DWORD GetTotalBytes() override;
    const WAVEFORMATEX* GetWaveFormat() override;
    HRESULT Read(BYTE* destination, DWORD length, DWORD* bytesRead) override;
    void DecodeAhead() override;
    void Rewind() override;

private:
    void CloseFile();

    WAVEFORMATEX m_format{};
    FILE* m_source = nullptr;
    OggVorbis_File m_vorbis{};
    bool m_vorbisOpen = false;
    std::vector<BYTE> m_decoded;
    DWORD m_decodedBytes = 0;
    bool m_finished = false;
    DWORD m_readPosition = 0;
};
