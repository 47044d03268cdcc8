#pragma once
// The mixer behind the DirectSound objects: the state of every secondary buffer (a voice) and
// the listener, and the mixing of the playing voices into 44.1 kHz 16-bit stereo. Internal to
// the DirectSound layer; the device owns one mixer and guards it with the mixer's lock.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include "DSound/DSound.h"

namespace dsound
{
constexpr int kOutputRate = 44100;
constexpr int kOutputChannels = 2;
// Frames mixed at a time by the output thread; the write cursor runs this far ahead.
constexpr size_t kBlockFrames = 512;
// Play positions are kept in source frames with 32 fraction bits.
constexpr uint64_t kFrameOne = uint64_t{1} << 32;

struct Voice
{
    // Shared with the duplicates of the buffer.
    std::shared_ptr<std::vector<uint8_t>> samples;
    WAVEFORMATEX format{};
    DWORD flags = 0;
    uint64_t position = 0;
    bool playing = false;
    bool looping = false;
    bool lost = false;
    LONG volume = 0;
    LONG pan = 0;
    DWORD frequency = 0; // 0: the format's own rate
    DS3DBUFFER params3D{};
    DS3DBUFFER deferred3D{};
    bool hasDeferred3D = false;
    std::vector<DSBPOSITIONNOTIFY> notifications;

    uint32_t FrameCount() const { return static_cast<uint32_t>(samples->size() / format.nBlockAlign); }
    DWORD BytePosition() const { return static_cast<DWORD>((position >> 32) * format.nBlockAlign); }
    DWORD Rate() const { return frequency != 0 ? frequency : format.nSamplesPerSec; }
};

DS3DBUFFER Default3DBuffer();
DS3DLISTENER DefaultListener();

// Writes what a device mixes to a WAV file, when KAVDOR_AUDIO_CAPTURE names one.
class CaptureFile
{
public:
    explicit CaptureFile(const char* path);
    ~CaptureFile();
    void Write(const int16_t* samples, size_t frames);

private:
    FILE* m_file = nullptr;
    uint32_t m_bytes = 0;
};

class Mixer
{
public:
    // Guards every voice, the listener and the voice list.
    std::mutex lock;
    std::vector<Voice*> voices;
    DS3DLISTENER listener = DefaultListener();
    DS3DLISTENER deferredListener = DefaultListener();
    bool hasDeferredListener = false;
    WAVEFORMATEX primaryFormat{WAVE_FORMAT_PCM, 2, 22050, 88200, 4, 16, 0};

    // Mixes the playing voices into out (interleaved stereo), advancing their cursors and
    // signalling their notifications; then hands the block to the capture hook. Takes the locks
    // itself.
    void Mix(int16_t* out, size_t frames);
    void SetCaptureHook(DirectSoundCaptureHook hook);
    void SetCaptureFile(std::unique_ptr<CaptureFile> file);

    // With the lock held: signals the voice's stop notifications.
    static void NotifyStop(const Voice& voice);

private:
    void MixVoice(Voice& voice, int32_t* accumulator, size_t frames);

    std::vector<int32_t> m_accumulator;
    // Guards the hook and the capture file, and is held while they run.
    std::mutex m_hookLock;
    DirectSoundCaptureHook m_hook;
    std::unique_ptr<CaptureFile> m_captureFile;
};
} // namespace dsound
