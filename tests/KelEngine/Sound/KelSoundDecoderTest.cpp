#include "KelSoundDecoder.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "SoundTestFiles.h"

namespace
{
class SoundDecoderTest : public LogFolderTest
{
protected:
    // Writes the file into the test's folder and answers its path in Windows form.
    std::string File(const std::string& name, const std::string& bytes)
    {
        m_folder.Write(name, bytes);
        return m_folder.WinPath() + "\\" + name;
    }

    static std::vector<int16_t> Samples(const KelDecodedSound& sound)
    {
        std::vector<int16_t> samples(sound.data.size() / 2);
        std::memcpy(samples.data(), sound.data.data(), samples.size() * 2);
        return samples;
    }
};

constexpr int32_t kMadOne = 0x10000000;
} // namespace

TEST_F(SoundDecoderTest, FilesAreToldApartByTheirFirstBytes)
{
    const std::string wav = CanonicalWav(1, 8000, {1, 2, 3});
    std::string listChunk = wav;
    std::memcpy(&listChunk[36], "LIST", 4);
    struct
    {
        std::string bytes;
        KelSoundFileKind kind;
    } const cases[] = {
        {wav, KelSoundFileKind::Wave},
        {wav.substr(0, 43), KelSoundFileKind::Mpeg}, // shorter than the header
        {listChunk, KelSoundFileKind::Mpeg},         // not the canonical layout
        {"OggS", KelSoundFileKind::Ogg},
        {"ID3\x03", KelSoundFileKind::Mpeg},
        {"", KelSoundFileKind::Mpeg},
    };
    for (const auto& c : cases)
        EXPECT_EQ(KelSniffSoundFile(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size()), c.kind)
            << c.bytes.size();
}

TEST_F(SoundDecoderTest, CanonicalWavIsTakenAsItStands)
{
    const std::vector<int16_t> stereo = {0, 100, -100, 32767, -32768, 5};
    KelDecodedSound sound;
    ASSERT_TRUE(KelLoadEffectFile(File("s.wav", CanonicalWav(2, 22050, stereo)).c_str(), &sound));
    EXPECT_EQ(sound.format.channels, 2);
    EXPECT_EQ(sound.format.samplesPerSec, 22050u);
    EXPECT_EQ(sound.format.bitsPerSample, 16);
    EXPECT_EQ(sound.format.blockAlign, 4);
    EXPECT_EQ(Samples(sound), stereo);

    ASSERT_TRUE(KelLoadEffectFile(File("m.wav", CanonicalWav8(1, 8000, {0x80, 0xFF, 0x00})).c_str(), &sound));
    EXPECT_EQ(sound.format.channels, 1);
    EXPECT_EQ(sound.format.bitsPerSample, 8);
    EXPECT_EQ(sound.data, (std::vector<uint8_t>{0x80, 0xFF, 0x00}));
}

TEST_F(SoundDecoderTest, LyingOrTruncatedWavIsRefusedAndLogged)
{
    const std::string good = CanonicalWav(1, 8000, SineSamples(1, 8000, 440, 0.05, 1000));
    std::string longData = good;
    longData[40] = static_cast<char>(0xFF); // the data chunk claims more than the file has
    longData[41] = static_cast<char>(0xFF);
    std::string shortFmt = good;
    shortFmt[16] = 8; // "fmt " of 8 bytes
    std::string noChannels = good;
    noChannels[22] = 0;
    std::string hugeRiff = good;
    std::memset(&hugeRiff[4], 0xFF, 4);
    const std::string cases[] = {longData, shortFmt, noChannels, good.substr(0, 44), good.substr(0, 30)};
    for (size_t i = 0; i < std::size(cases); ++i)
    {
        KelDecodedSound sound;
        sound.data = {1, 2, 3};
        EXPECT_FALSE(KelDecodeWaveFile(File("bad" + std::to_string(i) + ".wav", cases[i]).c_str(), &sound))
            << i;
        EXPECT_TRUE(sound.data.empty()) << i;
        EXPECT_EQ(sound.format.channels, 0) << i;
    }
    EXPECT_NE(ReadLog().find("bad0.wav"), std::string::npos);
    // A RIFF size beyond the file still reads the chunks that are there.
    KelDecodedSound sound;
    EXPECT_TRUE(KelDecodeWaveFile(File("riff.wav", hugeRiff).c_str(), &sound));
}

TEST_F(SoundDecoderTest, OggVorbisDecodesToSixteenBitPcmOfTheStream)
{
    const std::vector<int16_t> sine = SineSamples(2, 44100, 440, 0.5, 12000);
    KelDecodedSound sound;
    ASSERT_TRUE(KelLoadEffectFile(File("tone.ogg", OggVorbisFile(2, 44100, sine)).c_str(), &sound));
    EXPECT_EQ(sound.format.channels, 2);
    EXPECT_EQ(sound.format.samplesPerSec, 44100u);
    EXPECT_EQ(sound.format.bitsPerSample, 16);
    EXPECT_EQ(sound.format.avgBytesPerSec, 44100u * 4);
    ASSERT_EQ(sound.data.size(), sine.size() * 2);
    // Lossy, but the tone is there at its level: compare the energies.
    double expected = 0;
    double got = 0;
    const std::vector<int16_t> samples = Samples(sound);
    for (size_t i = 0; i < sine.size(); ++i)
    {
        expected += double(sine[i]) * sine[i];
        got += double(samples[i]) * samples[i];
    }
    EXPECT_NEAR(got / expected, 1.0, 0.1);
}

TEST_F(SoundDecoderTest, BrokenOggIsRefusedWithTheVorbisMessage)
{
    std::string ogg = OggVorbisFile(1, 22050, SineSamples(1, 22050, 300, 0.3, 8000));
    const std::string cases[] = {"OggS" + std::string(200, 'x'), ogg.substr(0, 60)};
    for (size_t i = 0; i < std::size(cases); ++i)
    {
        KelDecodedSound sound;
        EXPECT_FALSE(KelLoadEffectFile(File("b" + std::to_string(i) + ".ogg", cases[i]).c_str(), &sound))
            << i;
        EXPECT_TRUE(sound.data.empty());
        EXPECT_NE(
            ReadLog().find("打开的ogg文件无法被vorbis识别:" + m_folder.WinPath() + "\\b" + std::to_string(i)),
            std::string::npos)
            << i;
    }
    // Damage in the middle: what decodes is kept in whole sample frames, and nothing crashes.
    for (size_t i = ogg.size() / 2; i < ogg.size() / 2 + 64; ++i)
        ogg[i] = static_cast<char>(ogg[i] ^ 0x5A);
    KelDecodedSound sound;
    if (KelLoadEffectFile(File("damaged.ogg", ogg).c_str(), &sound))
    {
        EXPECT_EQ(sound.data.size() % 2, 0u);
    }
}

TEST_F(SoundDecoderTest, MpegAudioIsDecodedAndGarbageIsRefused)
{
    KelDecodedSound sound;
    ASSERT_TRUE(KelLoadEffectFile(File("quiet.mp2", MpegSilence(10)).c_str(), &sound));
    EXPECT_EQ(sound.format.channels, 2);
    EXPECT_EQ(sound.format.samplesPerSec, 44100u);
    EXPECT_EQ(sound.format.bitsPerSample, 16);
    EXPECT_EQ(sound.data.size(), 10u * 1152 * 4);
    // Silence comes out as dither, never more than one step from 0.
    for (int16_t s : Samples(sound))
        ASSERT_LE(std::abs(s), 1);

    std::string garbage;
    for (int i = 0; i < 5000; ++i)
        garbage += static_cast<char>("not audio at all "[i % 17]);
    EXPECT_FALSE(KelLoadEffectFile(File("text.mp3", garbage).c_str(), &sound));
    EXPECT_TRUE(sound.data.empty());
    EXPECT_NE(ReadLog().find("text.mp3"), std::string::npos);
    // A missing file plays nothing and is not worth a line.
    const size_t lines = ReadLog().size();
    EXPECT_FALSE(KelLoadEffectFile((m_folder.WinPath() + "\\missing.wav").c_str(), &sound));
    EXPECT_EQ(ReadLog().size(), lines);
}

TEST_F(SoundDecoderTest, MadSamplesAreDitheredRoundedAndClipped)
{
    uint32_t random = 0;
    // The generator's first step from 0, then its low 13 bits against the previous ones.
    EXPECT_EQ(KelDitherMadSample(0, &random), static_cast<int16_t>(((1013904223u & 0x1FFF) + 4096) >> 13));
    EXPECT_EQ(random, 1013904223u);
    random = 0;
    EXPECT_EQ(KelDitherMadSample(2 * kMadOne, &random), 32767);
    EXPECT_EQ(KelDitherMadSample(-2 * kMadOne, &random), -32768);
    for (int i = 0; i < 1000; ++i)
        EXPECT_NEAR(KelDitherMadSample(kMadOne / 2, &random), 16384, 1);
}
