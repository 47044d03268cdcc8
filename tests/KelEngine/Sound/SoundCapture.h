#pragma once
// What the sound device mixes, recorded through its capture hook, for tests that listen instead
// of trusting member values. The device runs in real time (SDL's dummy audio driver), so checks
// wait for what they expect, with a generous limit.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "DSound/DSound.h"
#include "EngineTestSupport.h"
#include "KelMusicManagerCL.h"
#include "KelSoundEngineCL.h"
#include "Win32/Window.h"

// Every sound test runs without a sound card.
inline void UseDummyAudio()
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

class SoundCapture
{
public:
    explicit SoundCapture(IDirectSound8* device) : m_device(device)
    {
        DirectSoundSetCaptureHook(device,
                                  [this](const int16_t* samples, size_t frames, int channels, int rate)
                                  {
                                      std::lock_guard<std::mutex> lock(m_lock);
                                      m_samples.insert(m_samples.end(), samples,
                                                       samples + frames * static_cast<size_t>(channels));
                                      m_channels = channels;
                                      m_rate = rate;
                                      m_changed.notify_all();
                                  });
    }
    ~SoundCapture() { DirectSoundSetCaptureHook(m_device, nullptr); }
    SoundCapture(const SoundCapture&) = delete;
    SoundCapture& operator=(const SoundCapture&) = delete;

    // The number of samples (all channels) captured so far: a mark to look from.
    size_t Mark()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_samples.size();
    }

    // Waits until the samples captured from the mark on satisfy the test, or 5 s have passed.
    bool WaitFor(size_t mark, const std::function<bool(const std::vector<int16_t>&)>& test)
    {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(
            lock, std::chrono::seconds(5),
            [&]
            {
                return test(std::vector<int16_t>(m_samples.begin() + static_cast<std::ptrdiff_t>(mark),
                                                 m_samples.end()));
            });
    }

    // Waits until at least the given milliseconds of sound have been captured from the mark.
    std::vector<int16_t> Collect(size_t mark, int milliseconds)
    {
        std::vector<int16_t> result;
        WaitFor(mark,
                [&](const std::vector<int16_t>& s)
                {
                    const size_t wanted = static_cast<size_t>(m_rate) * static_cast<size_t>(m_channels) *
                                          static_cast<size_t>(milliseconds) / 1000u;
                    if (m_rate == 0 || s.size() < wanted)
                        return false;
                    result = s;
                    return true;
                });
        return result;
    }

    int Rate()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_rate;
    }
    int Channels()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_channels;
    }

    static int PeakOf(const std::vector<int16_t>& samples)
    {
        int peak = 0;
        for (int16_t s : samples)
            peak = std::max(peak, std::abs(static_cast<int>(s)));
        return peak;
    }

private:
    IDirectSound8* m_device;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<int16_t> m_samples;
    int m_channels = 0;
    int m_rate = 0;
};

// A sound engine on the dummy output with the capture attached, a music manager, and the test's
// folder as the current directory: sounds written to "sound/<name>" are found by name.
class SoundEngineFixture : public LogFolderTest
{
protected:
    void SetUp() override
    {
        UseDummyAudio();
        ASSERT_EQ(m_engine.Initialize(&m_window), DS_OK);
        m_capture = std::make_unique<SoundCapture>(m_engine.GetDirectSound());
    }
    void TearDown() override
    {
        m_music.DeleteAllStreams();
        m_capture.reset();
        m_engine.Release();
    }

    void SoundFile(const std::string& name, const std::string& bytes)
    {
        m_folder.Write("sound/" + name, bytes);
    }
    std::string PathOf(const std::string& name) { return m_engine.GetSoundDirectory() + "\\" + name; }

    MemoryWindow m_window{8, 8};
    KelMusicManagerCL m_music;
    KelSoundEngineCL m_engine;
    std::unique_ptr<SoundCapture> m_capture;
};
