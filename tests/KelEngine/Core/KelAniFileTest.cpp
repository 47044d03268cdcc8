#include "KelAniFile.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "TestFolder.h"

namespace
{

KelAniFrame MakeFrame(int32_t duration, D3DFORMAT format, UINT width, UINT height, uint8_t seed)
{
    KelAniFrame frame;
    frame.duration = duration;
    frame.desc.Format = format;
    frame.desc.Type = D3DRTYPE_SURFACE;
    frame.desc.Usage = 0;
    frame.desc.Pool = D3DPOOL_MANAGED;
    frame.desc.MultiSampleType = D3DMULTISAMPLE_NONE;
    frame.desc.Width = width;
    frame.desc.Height = height;
    uint32_t pitch = KelAniFramePitch(frame.desc);
    frame.desc.Size = pitch * height;
    frame.pixels.resize(static_cast<size_t>(pitch) * height);
    for (size_t i = 0; i < frame.pixels.size(); ++i)
        frame.pixels[i] = static_cast<uint8_t>(seed + i * 13);
    return frame;
}

// Three frames in different formats, two of them with rows padded to four bytes.
KelAniContent ThreeFrames()
{
    KelAniContent content;
    content.frames.push_back(MakeFrame(120, D3DFMT_A8R8G8B8, 3, 2, 1));
    content.frames.push_back(MakeFrame(80, D3DFMT_R5G6B5, 3, 3, 50));
    content.frames.push_back(MakeFrame(200, D3DFMT_A4R4G4B4, 5, 1, 99));
    content.holdTime = 250;
    return content;
}

uint32_t U32At(const std::string& bytes, size_t offset)
{
    uint32_t value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

void PutU32(std::string& bytes, size_t offset, uint32_t value)
{
    std::memcpy(bytes.data() + offset, &value, 4);
}

bool Read(const std::string& bytes, KelAniContent& content)
{
    return KelReadAniFile(bytes.data(), bytes.size(), content);
}

void ExpectSameFrames(const KelAniContent& read, const KelAniContent& written)
{
    ASSERT_EQ(read.frames.size(), written.frames.size());
    for (size_t i = 0; i < read.frames.size(); ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(read.frames[i].duration, written.frames[i].duration);
        EXPECT_EQ(std::memcmp(&read.frames[i].desc, &written.frames[i].desc, sizeof(D3DSURFACE_DESC)), 0);
        EXPECT_EQ(read.frames[i].pixels, written.frames[i].pixels);
    }
    EXPECT_EQ(read.holdTime, written.holdTime);
}

class KelAniFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(KelWriteAniFile((m_folder.WinPath() + "\\walk.ani").c_str(), ThreeFrames()));
        m_bytes = m_folder.Read("walk.ani");
        ASSERT_GT(m_bytes.size(), 12u);
    }

    // Offsets of the records in the file written by SetUp.
    size_t FrameOffset(size_t index) const
    {
        size_t offset = 8;
        for (size_t i = 0; i < index; ++i)
            offset += 40 + U32At(m_bytes, offset + 36);
        return offset;
    }

    TestFolder m_folder;
    std::string m_bytes;
};

TEST_F(KelAniFileTest, FramesReadBackExactly)
{
    KelAniContent content;
    ASSERT_TRUE(Read(m_bytes, content));
    ExpectSameFrames(content, ThreeFrames());
}

TEST_F(KelAniFileTest, FileLayoutIsTheDocumentedOne)
{
    KelAniContent written = ThreeFrames();
    EXPECT_EQ(m_bytes.substr(0, 4), "NWES");
    EXPECT_EQ(U32At(m_bytes, 4), 3u);
    size_t offset = 8;
    for (const KelAniFrame& frame : written.frames)
    {
        EXPECT_EQ(static_cast<int32_t>(U32At(m_bytes, offset)), frame.duration);
        const uint32_t fields[8] = {static_cast<uint32_t>(frame.desc.Format),
                                    frame.desc.Type,
                                    frame.desc.Usage,
                                    frame.desc.Pool,
                                    frame.desc.Size,
                                    frame.desc.MultiSampleType,
                                    frame.desc.Width,
                                    frame.desc.Height};
        for (int f = 0; f < 8; ++f)
            EXPECT_EQ(U32At(m_bytes, offset + 4 + 4 * f), fields[f]) << "field " << f;
        uint32_t length = U32At(m_bytes, offset + 36);
        const uint8_t* stream = reinterpret_cast<const uint8_t*>(m_bytes.data()) + offset + 40;
        // A zlib header that says "maximum compression".
        EXPECT_EQ(stream[0], 0x78);
        EXPECT_EQ(stream[1] >> 6, 3);
        std::vector<uint8_t> pixels(frame.pixels.size() + 16);
        uLongf size = pixels.size();
        ASSERT_EQ(uncompress(pixels.data(), &size, stream, length), Z_OK);
        pixels.resize(size);
        EXPECT_EQ(pixels, frame.pixels);
        offset += 40 + length;
    }
    EXPECT_EQ(offset + 4, m_bytes.size());
    EXPECT_EQ(U32At(m_bytes, offset), 250u);
}

TEST_F(KelAniFileTest, DamagedFilesAreRejectedAndLeaveNothing)
{
    struct Case
    {
        const char* what;
        std::string bytes;
    };
    std::vector<Case> cases;
    auto with = [&](const char* what, auto change)
    {
        std::string bytes = m_bytes;
        change(bytes);
        cases.push_back({what, bytes});
    };
    size_t second = FrameOffset(1);
    with("bad magic", [](std::string& b) { b[3] = 'T'; });
    with("lower-case magic", [](std::string& b) { b[0] = 'n'; });
    with("frame count 1001", [](std::string& b) { PutU32(b, 4, 1001); });
    with("negative frame count", [](std::string& b) { PutU32(b, 4, 0xFFFFFFFFu); });
    with("one frame too many", [](std::string& b) { PutU32(b, 4, 4); });
    with("one frame too few", [](std::string& b) { PutU32(b, 4, 2); });
    with("length past the end", [&](std::string& b) { PutU32(b, second + 36, 0xFFFFFFF0u); });
    with("length one short", [&](std::string& b) { PutU32(b, second + 36, U32At(b, second + 36) - 1); });
    with("corrupt stream", [&](std::string& b) { b[second + 40 + 4] ^= 0x5A; });
    with("corrupt checksum", [&](std::string& b) { b[FrameOffset(2) - 1] ^= 1; });
    with("stream too short for the height", [&](std::string& b) { PutU32(b, second + 32, 4); });
    with("stream too long for the height", [&](std::string& b) { PutU32(b, second + 32, 2); });
    with("wider rows", [&](std::string& b) { PutU32(b, second + 28, 5); });
    with("zero width", [&](std::string& b) { PutU32(b, second + 28, 0); });
    with("huge height", [&](std::string& b) { PutU32(b, second + 32, 100000); });
    with("unknown format", [&](std::string& b) { PutU32(b, second + 4, 0); });
    with("depth format", [&](std::string& b) { PutU32(b, second + 4, D3DFMT_D16); });
    with("trailing byte", [](std::string& b) { b += '\0'; });
    with("empty", [](std::string& b) { b.clear(); });
    for (size_t cut = 1; cut < m_bytes.size(); cut += (cut < 60 ? 1 : 7))
        cases.push_back({"truncated", m_bytes.substr(0, cut)});

    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.what << ", " << c.bytes.size() << " bytes");
        KelAniContent content = ThreeFrames();
        EXPECT_FALSE(Read(c.bytes, content));
        EXPECT_TRUE(content.frames.empty());
        EXPECT_EQ(content.holdTime, 0);
    }
    KelAniContent content;
    EXPECT_FALSE(KelReadAniFile(nullptr, 100, content));
}

TEST_F(KelAniFileTest, FramesMayNotDecodeToMoreThanTheLimitTogether)
{
    // The three frames decode to 24 + 24 + 12 bytes.
    KelAniContent content;
    EXPECT_FALSE(KelReadAniFile(m_bytes.data(), m_bytes.size(), content, 59));
    EXPECT_TRUE(content.frames.empty());
    ASSERT_TRUE(KelReadAniFile(m_bytes.data(), m_bytes.size(), content, 60));
    ExpectSameFrames(content, ThreeFrames());
}

TEST(KelAniFile, FrameCountLimits)
{
    TestFolder folder;
    // No frames: the file is the magic, the count and the hold time.
    KelAniContent empty;
    empty.holdTime = 777;
    ASSERT_TRUE(KelWriteAniFile((folder.WinPath() + "\\empty.ani").c_str(), empty));
    std::string bytes = folder.Read("empty.ani");
    EXPECT_EQ(bytes, std::string("NWES\0\0\0\0\x09\x03\0\0", 12));
    KelAniContent content;
    ASSERT_TRUE(Read(bytes, content));
    EXPECT_TRUE(content.frames.empty());
    EXPECT_EQ(content.holdTime, 777);

    // A thousand frames is the most a file holds.
    KelAniContent many;
    for (int i = 0; i < 1000; ++i)
        many.frames.push_back(MakeFrame(i, D3DFMT_X8R8G8B8, 1, 1, static_cast<uint8_t>(i)));
    many.holdTime = -5;
    ASSERT_TRUE(KelWriteAniFile((folder.WinPath() + "\\many.ani").c_str(), many));
    ASSERT_TRUE(Read(folder.Read("many.ani"), content));
    ExpectSameFrames(content, many);

    many.frames.push_back(MakeFrame(1, D3DFMT_X8R8G8B8, 1, 1, 0));
    EXPECT_FALSE(KelWriteAniFile((folder.WinPath() + "\\toomany.ani").c_str(), many));
    EXPECT_EQ(folder.Read("toomany.ani"), "");
}

TEST(KelAniFile, WriterRefusesFramesItCouldNotReadBack)
{
    TestFolder folder;
    std::string path = folder.WinPath() + "\\bad.ani";
    KelAniContent content = ThreeFrames();
    content.frames[1].pixels.pop_back();
    EXPECT_FALSE(KelWriteAniFile(path.c_str(), content));
    content = ThreeFrames();
    content.frames[2].desc.Format = D3DFMT_UNKNOWN;
    EXPECT_FALSE(KelWriteAniFile(path.c_str(), content));
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "bad.ani"));

    EXPECT_FALSE(KelWriteAniFile((folder.WinPath() + "\\no\\such\\folder\\a.ani").c_str(), ThreeFrames()));
    EXPECT_FALSE(KelWriteAniFile(nullptr, ThreeFrames()));
}

TEST(KelAniFile, PitchFollowsTheDeviceLayout)
{
    struct Case
    {
        D3DFORMAT format;
        UINT width;
        uint32_t pitch;
    };
    const Case cases[] = {
        {D3DFMT_A8R8G8B8, 3, 12},   {D3DFMT_X8R8G8B8, 8192, 32768},
        {D3DFMT_R8G8B8, 3, 12},     {D3DFMT_R8G8B8, 4, 12},
        {D3DFMT_R5G6B5, 3, 8},      {D3DFMT_A1R5G5B5, 2, 4},
        {D3DFMT_A4R4G4B4, 5, 12},   {D3DFMT_X4R4G4B4, 1, 4},
        {D3DFMT_A8R8G8B8, 8193, 0}, {D3DFMT_A8R8G8B8, 0, 0},
        {D3DFMT_D16, 4, 0},         {D3DFMT_UNKNOWN, 4, 0},
    };
    for (const Case& c : cases)
    {
        D3DSURFACE_DESC desc{};
        desc.Format = c.format;
        desc.Width = c.width;
        desc.Height = 1;
        EXPECT_EQ(KelAniFramePitch(desc), c.pitch) << c.format << " " << c.width;
    }
}

} // namespace
