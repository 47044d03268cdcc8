#include "KelSoundEngineCL.h"

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "KelMusicManagerCL.h"
#include "SoundCapture.h"
#include "SoundTestFiles.h"
#include "Win32/Time.h"
#include "Win32/Window.h"

namespace
{
// A steady level: whatever part of it is playing, each sample is the level.
std::vector<int16_t> Level(int channels, int rate, double seconds, int16_t value)
{
    return std::vector<int16_t>(static_cast<size_t>(seconds * rate) * static_cast<size_t>(channels), value);
}

class SoundEngineTest : public SoundEngineFixture
{
protected:
    void Effect(const std::string& name, const std::string& bytes) { SoundFile(name, bytes); }

    // Waits until the capture from the mark holds a stretch of 10 ms in which every sample is
    // within 1 of the value.
    bool Hears(size_t mark, int value)
    {
        return m_capture->WaitFor(mark,
                                  [value](const std::vector<int16_t>& samples)
                                  {
                                      size_t run = 0;
                                      for (int16_t s : samples)
                                      {
                                          run = std::abs(s - value) <= 1 ? run + 1 : 0;
                                          if (run >= 882)
                                              return true;
                                      }
                                      return false;
                                  });
    }

    void StopAll()
    {
        m_engine.ReleasePlayingSounds();
        ASSERT_TRUE(Hears(m_capture->Mark(), 0));
    }
};
} // namespace

TEST_F(SoundEngineTest, InitialisationIsLoggedOnceAndReleaseTakesEverything)
{
    EXPECT_TRUE(m_engine.IsInitialized());
    EXPECT_EQ(m_engine.GetWindow(), &m_window);
    EXPECT_EQ(m_engine.Initialize(&m_window), DS_OK);
    const std::string log = ReadLog();
    EXPECT_NE(log.find("初始化声音引擎成功"), std::string::npos);
    EXPECT_NE(log.find("声音引擎已经初始化过"), std::string::npos);
    EXPECT_NE(log.find("支持 16 位"), std::string::npos);

    Effect("a.wav", CanonicalWav(2, 44100, Level(2, 44100, 1.0, 100)));
    ASSERT_NE(m_engine.Play2DEffect("a.wav", true), nullptr);
    m_capture.reset();
    m_engine.Release();
    EXPECT_FALSE(m_engine.IsInitialized());
    EXPECT_EQ(m_engine.GetPlaying2DCount(), 0u);
    EXPECT_EQ(m_engine.GetCachedCount(), 0u);
    EXPECT_EQ(m_engine.Play2DEffect("a.wav", false), nullptr);
    const std::string after = ReadLog();
    for (const char* line : {"释放正在播放的声音成功", "释放资源声音成功", "卸载声音引擎成功"})
        EXPECT_NE(after.find(line), std::string::npos) << line;
}

TEST_F(SoundEngineTest, TwoOverlappingCopiesOfOneEffectAdd)
{
    Effect("level.wav", CanonicalWav(2, 44100, Level(2, 44100, 1.5, 8000)));
    const size_t mark = m_capture->Mark();
    KelSoundCL* first = m_engine.Play2DEffect("level.wav", false);
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(Hears(mark, 8000));
    KelSoundCL* second = m_engine.Play2DEffect("level.wav", false);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(m_engine.GetCachedCount(), 1u) << "both copies come from one cached buffer";
    EXPECT_EQ(m_engine.GetPlaying2DCount(), 2u);
    EXPECT_TRUE(Hears(m_capture->Mark(), 16000));
}

TEST_F(SoundEngineTest, MasterScaleZeroMutesEffectsAndLeavesVoicesAtThirtyPercent)
{
    Effect("loud.wav", CanonicalWav(1, 44100, Level(1, 44100, 1.0, 30000)));
    // The 3D level at full scale, directly below the listener, inside the sound's cone.
    KelSoundCL* full = m_engine.Play3DEffect("loud.wav", 0, -1, 0, true);
    ASSERT_NE(full, nullptr);
    EXPECT_TRUE(full->Is3D());
    std::vector<int16_t> heard = m_capture->Collect(m_capture->Mark(), 200);
    const int fullPeak = SoundCapture::PeakOf(std::vector<int16_t>(heard.end() - 4410, heard.end()));
    ASSERT_GT(fullPeak, 10000);
    StopAll();

    m_engine.SetMasterVolumeScale(0.0f);
    ASSERT_NE(m_engine.Play2DEffect("loud.wav", true), nullptr);
    heard = m_capture->Collect(m_capture->Mark(), 200);
    EXPECT_EQ(SoundCapture::PeakOf(heard), 0);

    ASSERT_NE(m_engine.Play3DEffect("loud.wav", 0, -1, 0, true), nullptr);
    heard = m_capture->Collect(m_capture->Mark(), 200);
    // 30 % is -70 dB on the volume scale: a trace, but not silence.
    const int quietPeak = SoundCapture::PeakOf(std::vector<int16_t>(heard.end() - 4410, heard.end()));
    EXPECT_GT(quietPeak, 0);
    EXPECT_NEAR(quietPeak, fullPeak * 0.000316, 2.0);
}

TEST_F(SoundEngineTest, LoopedEffectOutlivesUpdatesUntilStopped)
{
    Effect("tick.wav", CanonicalWav(2, 44100, Level(2, 44100, 0.05, 500)));
    KelSoundCL* looped = m_engine.Play2DEffect("tick.wav", true);
    KelSoundCL* once = m_engine.Play2DEffect("tick.wav", false);
    ASSERT_NE(looped, nullptr);
    ASSERT_NE(once, nullptr);
    const DWORD start = GetTickCount();
    while (m_engine.GetPlaying2DCount() == 2 && GetTickCount() - start < 5000)
    {
        Sleep(10);
        m_engine.Update();
    }
    // The copy played once is gone; the looped one keeps playing through further updates.
    ASSERT_EQ(m_engine.GetPlaying2DCount(), 1u);
    EXPECT_TRUE(looped->IsPlaying());
    for (int i = 0; i < 10; ++i)
    {
        Sleep(20);
        m_engine.Update();
        ASSERT_EQ(m_engine.GetPlaying2DCount(), 1u);
    }
    EXPECT_TRUE(Hears(m_capture->Mark(), 500));
    looped->Stop();
    m_engine.Update();
    EXPECT_EQ(m_engine.GetPlaying2DCount(), 0u);
}

TEST_F(SoundEngineTest, FadeLowersTheVolumeToSilenceThenStops)
{
    Effect("hum.wav", CanonicalWav(2, 44100, Level(2, 44100, 1.0, 1000)));
    KelSoundCL* sound = m_engine.Play2DEffect("hum.wav", true);
    ASSERT_NE(sound, nullptr);
    sound->StartFade(4);
    LONG previous = 0;
    for (int step = 0; step < 4; ++step)
    {
        m_engine.Update();
        LONG volume = 0;
        ASSERT_EQ(sound->GetBuffer()->GetVolume(&volume), DS_OK);
        EXPECT_LE(volume, previous);
        previous = volume;
        EXPECT_TRUE(sound->IsPlaying());
    }
    EXPECT_EQ(previous, -7500);
    m_engine.Update(); // the last step stops it
    EXPECT_FALSE(sound->IsPlaying());
    EXPECT_EQ(sound->GetCurrentVolume(), -10000);
    m_engine.Update();
    EXPECT_EQ(m_engine.GetPlaying2DCount(), 0u);
}

TEST_F(SoundEngineTest, EffectsThatCannotBeLoadedPlayNothing)
{
    Effect("noise.mp3", std::string(4000, 'z'));
    Effect("lying.wav",
           []
           {
               std::string wav = CanonicalWav(1, 8000, std::vector<int16_t>(100, 1));
               wav[41] = 0x7F; // a data chunk far longer than the file
               return wav;
           }());
    for (const char* name : {"missing.wav", "noise.mp3", "lying.wav"})
    {
        EXPECT_EQ(m_engine.Play2DEffect(name, false), nullptr) << name;
        EXPECT_EQ(m_engine.Play3DEffect(name, 0, 0, 0, false), nullptr) << name;
    }
    EXPECT_EQ(m_engine.GetCachedCount(), 0u);
    EXPECT_EQ(m_engine.GetPlaying2DCount() + m_engine.GetPlaying3DCount(), 0u);
}

TEST(SoundEngineWithoutDevice, PlaysNothingAndReleasesQuietly)
{
    KelSoundEngineCL engine;
    EXPECT_FALSE(engine.IsInitialized());
    EXPECT_EQ(engine.Play2DEffect("any.wav", false), nullptr);
    EXPECT_EQ(engine.Play3DEffect("any.wav", 1, 2, 3, true), nullptr);
    engine.Update();
    engine.Release();
}
