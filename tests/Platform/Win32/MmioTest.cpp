#include "Win32/Mmio.h"

#include <string>

#include <gtest/gtest.h>

#include "TestFolder.h"

namespace
{
std::string U32(uint32_t v)
{
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
}

std::string Chunk(const std::string& id, const std::string& data)
{
    std::string out = id + U32(static_cast<uint32_t>(data.size())) + data;
    if (data.size() % 2 != 0)
        out += '\0';
    return out;
}

// RIFF WAVE with an odd-sized LIST chunk before "fmt " and "data".
std::string Riff()
{
    const std::string body = "WAVE" + Chunk("LIST", "INFOabc") + Chunk("fmt ", std::string(16, '\x01')) +
                             Chunk("data", "0123456789");
    return "RIFF" + U32(static_cast<uint32_t>(body.size())) + body;
}

// Walks RIFF, "fmt " and "data" and answers the data read, or "" when a step fails.
std::string ReadData(HMMIO file)
{
    MMCKINFO riff{};
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    if (mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR)
        return "";
    MMCKINFO chunk{};
    chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
    if (mmioDescend(file, &chunk, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR || chunk.cksize != 16)
        return "";
    char format[16];
    if (mmioRead(file, format, 16) != 16 || mmioAscend(file, &chunk, 0) != MMSYSERR_NOERROR)
        return "";
    chunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
    if (mmioDescend(file, &chunk, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR)
        return "";
    std::string data(chunk.cksize, '\0');
    const LONG read = mmioRead(file, data.data(), static_cast<LONG>(chunk.cksize));
    data.resize(static_cast<size_t>(std::max<LONG>(read, 0)));
    return data;
}
} // namespace

TEST(MmioTest, ChunksAreFoundInFilesAndInMemory)
{
    TestFolder folder;
    folder.Write("a.wav", Riff());
    std::string path = folder.WinPath() + "\\a.wav";
    HMMIO file = mmioOpenA(path.data(), nullptr, MMIO_READ | MMIO_ALLOCBUF);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ReadData(file), "0123456789");
    EXPECT_EQ(mmioRead(file, nullptr, 0), 0);
    mmioClose(file, 0);

    std::string bytes = Riff();
    MMIOINFO info{};
    info.fccIOProc = FOURCC_MEM;
    info.pchBuffer = bytes.data();
    info.cchBuffer = static_cast<LONG>(bytes.size());
    file = mmioOpenA(nullptr, &info, MMIO_READ);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ReadData(file), "0123456789");
    EXPECT_EQ(mmioSeek(file, 0, SEEK_SET), 0);
    EXPECT_EQ(mmioSeek(file, -4, SEEK_END), static_cast<LONG>(bytes.size()) - 4);
    EXPECT_EQ(mmioSeek(file, -1000, SEEK_CUR), -1);
    mmioClose(file, 0);
}

TEST(MmioTest, LyingAndTruncatedFilesStopAtTheirEnd)
{
    std::string bytes = Riff();
    struct
    {
        std::string bytes;
        std::string data;
    } const cases[] = {
        {bytes.substr(0, bytes.size() - 4), "012345"}, // the data chunk claims more than is left
        {bytes.substr(0, bytes.size() - 14), ""},      // cut inside the data chunk's header
        {bytes.substr(0, 6), ""},                      // cut inside the RIFF header
        {"RIFF" + U32(0xFFFFFFF0u) + bytes.substr(8), "0123456789"}, // a RIFF size beyond the file
    };
    for (const auto& c : cases)
    {
        std::string copy = c.bytes;
        MMIOINFO info{};
        info.fccIOProc = FOURCC_MEM;
        info.pchBuffer = copy.data();
        info.cchBuffer = static_cast<LONG>(copy.size());
        HMMIO file = mmioOpenA(nullptr, &info, MMIO_READ);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(ReadData(file), c.data) << c.bytes.size();
        mmioClose(file, 0);
    }

    MMIOINFO info{};
    std::string missing = "\\no\\such\\file.wav";
    EXPECT_EQ(mmioOpenA(missing.data(), &info, MMIO_READ), nullptr);
    EXPECT_EQ(info.wErrorRet, MMIOERR_FILENOTFOUND);
    EXPECT_EQ(mmioOpenA(missing.data(), nullptr, MMIO_WRITE), nullptr);
    EXPECT_EQ(mmioRead(nullptr, nullptr, 4), -1);
    MMCKINFO chunk{};
    EXPECT_EQ(mmioDescend(nullptr, &chunk, nullptr, 0), MMIOERR_CHUNKNOTFOUND);
}
