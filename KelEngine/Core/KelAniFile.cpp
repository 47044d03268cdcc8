#include "KelAniFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include <zlib.h>

#include "Win32/Files.h"

namespace
{

constexpr char kMagic[4] = {'N', 'W', 'E', 'S'};
// Duration, surface description and compressed length.
constexpr size_t kFrameHeaderSize = 4 + sizeof(D3DSURFACE_DESC) + 4;

uint32_t ReadU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void AppendU32(std::vector<uint8_t>& out, uint32_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value >> 16));
    out.push_back(static_cast<uint8_t>(value >> 24));
}

// The description as its eight fields, in file order.
void ReadDesc(const uint8_t* p, D3DSURFACE_DESC& desc)
{
    desc.Format = static_cast<D3DFORMAT>(ReadU32(p));
    desc.Type = static_cast<D3DRESOURCETYPE>(ReadU32(p + 4));
    desc.Usage = ReadU32(p + 8);
    desc.Pool = static_cast<D3DPOOL>(ReadU32(p + 12));
    desc.Size = ReadU32(p + 16);
    desc.MultiSampleType = static_cast<D3DMULTISAMPLE_TYPE>(ReadU32(p + 20));
    desc.Width = ReadU32(p + 24);
    desc.Height = ReadU32(p + 28);
}

void AppendDesc(std::vector<uint8_t>& out, const D3DSURFACE_DESC& desc)
{
    AppendU32(out, static_cast<uint32_t>(desc.Format));
    AppendU32(out, static_cast<uint32_t>(desc.Type));
    AppendU32(out, desc.Usage);
    AppendU32(out, static_cast<uint32_t>(desc.Pool));
    AppendU32(out, desc.Size);
    AppendU32(out, static_cast<uint32_t>(desc.MultiSampleType));
    AppendU32(out, desc.Width);
    AppendU32(out, desc.Height);
}

size_t ExpectedSize(const D3DSURFACE_DESC& desc)
{
    return static_cast<size_t>(KelAniFramePitch(desc)) * desc.Height;
}

// Inflates one whole zlib stream that must give exactly `expected` bytes and use up every
// input byte. The output grows with what the stream really yields, so that a few bytes that
// claim a huge frame cannot make us reserve its memory up front.
bool Inflate(const uint8_t* data, uint32_t length, size_t expected, std::vector<uint8_t>& out)
{
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return false;
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = length;
    out.clear();
    size_t produced = 0;
    bool ok = false;
    for (;;)
    {
        if (produced == out.size())
        {
            if (out.size() == expected)
            {
                // The frame is full: only the end of the stream may follow.
                Bytef extra;
                stream.next_out = &extra;
                stream.avail_out = 1;
                ok = inflate(&stream, Z_NO_FLUSH) == Z_STREAM_END && stream.avail_out == 1;
                break;
            }
            out.resize(std::min(expected, std::max(out.size() * 2, static_cast<size_t>(65536))));
        }
        stream.next_out = out.data() + produced;
        stream.avail_out = static_cast<uInt>(out.size() - produced);
        int result = inflate(&stream, Z_NO_FLUSH);
        produced = out.size() - stream.avail_out;
        if (result == Z_STREAM_END)
        {
            ok = produced == expected;
            break;
        }
        if (result != Z_OK)
            break;
    }
    ok = ok && stream.avail_in == 0;
    inflateEnd(&stream);
    return ok;
}

bool ReadFrames(const uint8_t* data, size_t size, KelAniContent& content, size_t maxTotalBytes)
{
    if (data == nullptr || size < 12 || std::memcmp(data, kMagic, 4) != 0)
        return false;
    int32_t count = static_cast<int32_t>(ReadU32(data + 4));
    if (count < 0 || count > kKelAniMaxFrames)
        return false;
    size_t offset = 8;
    // The hold time takes the last four bytes.
    size_t end = size - 4;
    content.frames.reserve(static_cast<size_t>(count));
    size_t total = 0;
    for (int32_t i = 0; i < count; ++i)
    {
        if (end - offset < kFrameHeaderSize)
            return false;
        KelAniFrame frame;
        frame.duration = static_cast<int32_t>(ReadU32(data + offset));
        ReadDesc(data + offset + 4, frame.desc);
        uint32_t length = ReadU32(data + offset + 4 + sizeof(D3DSURFACE_DESC));
        offset += kFrameHeaderSize;
        if (length > end - offset)
            return false;
        size_t expected = ExpectedSize(frame.desc);
        if (expected == 0 || expected > maxTotalBytes - total)
            return false;
        total += expected;
        if (!Inflate(data + offset, length, expected, frame.pixels))
            return false;
        offset += length;
        content.frames.push_back(std::move(frame));
    }
    if (offset != end)
        return false;
    content.holdTime = static_cast<int32_t>(ReadU32(data + end));
    return true;
}

} // namespace

uint32_t KelAniFramePitch(const D3DSURFACE_DESC& desc)
{
    UINT bytes = D3D8BytesPerPixel(desc.Format);
    if (bytes == 0 || desc.Format == D3DFMT_D16 || desc.Width == 0 || desc.Height == 0 ||
        desc.Width > kKelAniMaxSide || desc.Height > kKelAniMaxSide)
        return 0;
    return (desc.Width * bytes + 3u) & ~3u;
}

bool KelReadAniFile(const void* data, size_t size, KelAniContent& content, size_t maxTotalBytes)
{
    content.frames.clear();
    content.holdTime = 0;
    if (ReadFrames(static_cast<const uint8_t*>(data), size, content, maxTotalBytes))
        return true;
    content.frames.clear();
    content.frames.shrink_to_fit();
    content.holdTime = 0;
    return false;
}

bool KelWriteAniFile(const char* path, const KelAniContent& content)
{
    if (path == nullptr || content.frames.size() > static_cast<size_t>(kKelAniMaxFrames))
        return false;
    for (const KelAniFrame& frame : content.frames)
        if (ExpectedSize(frame.desc) == 0 || frame.pixels.size() != ExpectedSize(frame.desc))
            return false;

    FILE* file = Win32OpenFile(path, "wb");
    if (file == nullptr)
        return false;
    std::vector<uint8_t> bytes(kMagic, kMagic + 4);
    AppendU32(bytes, static_cast<uint32_t>(content.frames.size()));
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    std::vector<uint8_t> packed;
    for (size_t i = 0; ok && i < content.frames.size(); ++i)
    {
        const KelAniFrame& frame = content.frames[i];
        uLongf packedSize = compressBound(static_cast<uLong>(frame.pixels.size()));
        packed.resize(packedSize);
        ok = compress2(packed.data(), &packedSize, frame.pixels.data(),
                       static_cast<uLong>(frame.pixels.size()), 9) == Z_OK &&
             packedSize <= 0xFFFFFFFFu;
        if (!ok)
            break;
        bytes.clear();
        AppendU32(bytes, static_cast<uint32_t>(frame.duration));
        AppendDesc(bytes, frame.desc);
        AppendU32(bytes, static_cast<uint32_t>(packedSize));
        ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() &&
             std::fwrite(packed.data(), 1, packedSize, file) == packedSize;
    }
    if (ok)
    {
        bytes.clear();
        AppendU32(bytes, static_cast<uint32_t>(content.holdTime));
        ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    }
    ok = std::fclose(file) == 0 && ok;
    if (!ok)
        std::remove(ResolveWin32Path(path).c_str());
    return ok;
}
