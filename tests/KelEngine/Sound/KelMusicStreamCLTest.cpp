#include "KelMusicStreamCL.h"

#include <string>
#include <vector>

#include <dirent.h>
#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "KelMusicManagerCL.h"
#include "KelSoundEngineCL.h"
#include "SoundCapture.h"
#include "SoundTestFiles.h"
#include "Win32/Time.h"
#include "Win32/Window.h"

namespace
{
int ThreadCount()
{
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task"))
    {
        while (dirent* entry = readdir(tasks))
            count += entry->d_name[0] != '.' ? 1 : 0;
        closedir(tasks);
    }
    return count;
}

// Waits up to 5 s for the condition.
template <class Condition>
bool Eventually(Condition condition)
{
    const DWORD start = GetTickCount();
    while (!condition())
    {
        if (GetTickCount() - start > 5000)
            return false;
        Sleep(5);
    }
    return true;
}

using MusicTest = SoundEngineFixture;
} // namespace

TEST_F(MusicTest, BufferHoldsTwoSecondsInTwentySegments)
{
    SoundFile("tone.ogg", OggVorbisFile(2, 44100, SineSamples(2, 44100, 440, 0.3, 8000)));
    ASSERT_TRUE(m_music.Play("tone.ogg"));
    KelMusicStreamCL* stream = m_music.FindStream(PathOf("tone.ogg"));
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->GetSegmentSize(), 44100u * 2 * 4 / 20);
    EXPECT_EQ(stream->GetBufferSize(), stream->GetSegmentSize() * 20);
    EXPECT_EQ(stream->GetBitsPerSample(), 16u);
    EXPECT_EQ(stream->GetBlockAlign(), 4u);
    EXPECT_EQ(stream->GetTotalBytes(), static_cast<DWORD>(0.3 * 44100) * 4);
}

TEST_F(MusicTest, ShortFilePlaysOnceThenSilenceUntilTheBufferStops)
{
    // 1.5 s of tone in a buffer of 2 s: the rest of the buffer is silence, and the buffer stops
    // once the tone's length has played, before it could loop round to the tone again.
    const double seconds = 1.5;
    SoundFile("short.ogg", OggVorbisFile(2, 44100, SineSamples(2, 44100, 440, seconds, 10000)));
    const size_t mark = m_capture->Mark();
    ASSERT_TRUE(m_music.Play("short.ogg"));
    KelMusicStreamCL* stream = m_music.FindStream(PathOf("short.ogg"));
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(stream->IsPlaying());
    ASSERT_TRUE(Eventually([&] { return !stream->IsPlaying(); }));

    const std::vector<int16_t> heard = m_capture->Collect(mark, 2500);
    ASSERT_FALSE(heard.empty());
    const int channels = m_capture->Channels();
    const double rate = m_capture->Rate();
    size_t first = heard.size();
    size_t last = 0;
    for (size_t i = 0; i < heard.size(); ++i)
        if (std::abs(heard[i]) > 300)
        {
            first = std::min(first, i);
            last = i;
        }
    ASSERT_LT(first, heard.size());
    const double toneSeconds = static_cast<double>(last - first) / channels / rate;
    EXPECT_NEAR(toneSeconds, seconds, 0.05) << "the tone is heard once, whole";

    m_music.Update();
    EXPECT_EQ(m_music.GetStreamCount(), 0u) << "a stream that has ended is deleted";
}

TEST_F(MusicTest, LoopedMusicGoesOnPastItsEnd)
{
    SoundFile("loop.ogg", OggVorbisFile(2, 44100, SineSamples(2, 44100, 330, 0.3, 9000)));
    KelOggStreamCL stream(m_engine.GetWindow(), m_engine.GetDirectSound());
    stream.SetLoop(true);
    ASSERT_TRUE(stream.Start(PathOf("loop.ogg").c_str()));
    const size_t mark = m_capture->Mark();
    const std::vector<int16_t> heard = m_capture->Collect(mark, 1200);
    EXPECT_TRUE(stream.IsPlaying());
    // The tone is in the last 100 ms as much as in the first.
    const size_t tail = static_cast<size_t>(m_capture->Rate() * m_capture->Channels() / 10);
    EXPECT_GT(SoundCapture::PeakOf(
                  std::vector<int16_t>(heard.end() - static_cast<std::ptrdiff_t>(tail), heard.end())),
              5000);
    stream.Stop();
    EXPECT_FALSE(stream.IsPlaying());
}

TEST_F(MusicTest, UnreadableMusicIsLoggedAndNotStored)
{
    SoundFile("broken.ogg", "OggS" + std::string(500, '\x01'));
    SoundFile("noise.ogg", std::string(3000, 'n'));
    for (const char* name : {"broken.ogg", "noise.ogg", "missing.ogg"})
    {
        EXPECT_FALSE(m_music.Play(name)) << name;
        EXPECT_NE(ReadLog().find(std::string("打开的ogg文件无法被vorbis识别:") + PathOf(name)),
                  std::string::npos)
            << name;
    }
    EXPECT_EQ(m_music.GetStreamCount(), 0u);
}

TEST_F(MusicTest, DeletingAPlayingStreamEndsItsThreadFirst)
{
    SoundFile("long.ogg", OggVorbisFile(2, 44100, SineSamples(2, 44100, 220, 3.0, 8000)));
    const int before = ThreadCount();
    ASSERT_TRUE(m_music.Play("long.ogg"));
    KelMusicStreamCL* stream = m_music.FindStream(PathOf("long.ogg"));
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(stream->IsThreadRunning());
    EXPECT_EQ(ThreadCount(), before + 1);
    // Playing the same file again replaces the stream: still one, with one worker.
    ASSERT_TRUE(m_music.Play("long.ogg"));
    EXPECT_EQ(m_music.GetStreamCount(), 1u);
    EXPECT_EQ(ThreadCount(), before + 1);

    m_music.DeleteAllStreams();
    EXPECT_EQ(ThreadCount(), before);

    KelOggStreamCL direct(m_engine.GetWindow(), m_engine.GetDirectSound());
    ASSERT_TRUE(direct.Start(PathOf("long.ogg").c_str()));
    direct.Close();
    EXPECT_FALSE(direct.IsThreadRunning());
    EXPECT_FALSE(direct.IsPlaying());
}

TEST_F(MusicTest, LostBufferIsRestoredAndRefilled)
{
    SoundFile("lost.ogg", OggVorbisFile(2, 44100, SineSamples(2, 44100, 500, 3.0, 9000)));
    ASSERT_TRUE(m_music.Play("lost.ogg"));
    KelMusicStreamCL* stream = m_music.FindStream(PathOf("lost.ogg"));
    ASSERT_NE(stream, nullptr);
    m_capture->Collect(m_capture->Mark(), 300);
    DirectSoundLoseBuffers(m_engine.GetDirectSound());
    // Paused while lost, then played again: the buffer is restored, refilled from where the
    // stream is, and plays on.
    stream->Pause();
    ASSERT_TRUE(stream->PlayBuffer());
    EXPECT_TRUE(stream->IsPlaying());
    const size_t mark = m_capture->Mark();
    EXPECT_TRUE(m_capture->WaitFor(mark, [](const std::vector<int16_t>& s)
                                   { return SoundCapture::PeakOf(s) > 5000; }));
}

TEST(MusicStreamWithoutDevice, LogsWhatIsMissingAndDoesNotStart)
{
    TestFolder folder(true);
    KelOggStreamCL stream(nullptr, nullptr);
    EXPECT_FALSE(stream.Start("x.ogg"));
    EXPECT_FALSE(stream.IsPlaying());
    EXPECT_FALSE(stream.IsThreadRunning());
}
