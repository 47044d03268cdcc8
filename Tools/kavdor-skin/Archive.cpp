#include "Archive.h"

#include <stdexcept>

#include <zlib.h>

namespace skin
{
namespace
{
void Put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// Raw deflate (no zlib header), as zip members carry it.
std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data)
{
    z_stream stream{};
    if (deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::vector<uint8_t> out(deflateBound(&stream, static_cast<uLong>(data.size())));
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        throw std::runtime_error("deflate did not finish");
    return out;
}
} // namespace

std::vector<uint8_t> Tga(const Picture& picture)
{
    std::vector<uint8_t> out(18, 0);
    out[2] = 2; // uncompressed true colour
    out[12] = static_cast<uint8_t>(picture.Width());
    out[13] = static_cast<uint8_t>(picture.Width() >> 8);
    out[14] = static_cast<uint8_t>(picture.Height());
    out[15] = static_cast<uint8_t>(picture.Height() >> 8);
    out[16] = 32;
    out[17] = 0x28; // eight alpha bits, first row at the top
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
        {
            const Color c = picture.At(x, y);
            out.push_back(static_cast<uint8_t>(c));
            out.push_back(static_cast<uint8_t>(c >> 8));
            out.push_back(static_cast<uint8_t>(c >> 16));
            out.push_back(static_cast<uint8_t>(c >> 24));
        }
    return out;
}

std::vector<uint8_t> Zip(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& members)
{
    // 1 January 2020, 00:00, in DOS form: a fixed date keeps the archive's bytes stable.
    constexpr uint32_t kDosTime = 0;
    constexpr uint32_t kDosDate = ((2020 - 1980) << 9) | (1 << 5) | 1;
    std::vector<uint8_t> out;
    std::vector<uint8_t> directory;
    for (const auto& [name, data] : members)
    {
        const auto crc = static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
        const std::vector<uint8_t> packed = Deflate(data);
        const auto offset = static_cast<uint32_t>(out.size());
        const auto header = [&](std::vector<uint8_t>& to, bool central)
        {
            Put32(to, central ? 0x02014b50 : 0x04034b50);
            if (central)
                Put16(to, 20); // made by
            Put16(to, 20);     // needed to extract
            Put16(to, 0);      // flags
            Put16(to, 8);      // deflate
            Put16(to, kDosTime);
            Put16(to, kDosDate);
            Put32(to, crc);
            Put32(to, static_cast<uint32_t>(packed.size()));
            Put32(to, static_cast<uint32_t>(data.size()));
            Put16(to, static_cast<uint32_t>(name.size()));
            Put16(to, 0); // extra field
            if (central)
            {
                Put16(to, 0); // comment
                Put16(to, 0); // disk
                Put16(to, 0); // internal attributes
                Put32(to, 0); // external attributes
                Put32(to, offset);
            }
            to.insert(to.end(), name.begin(), name.end());
        };
        header(out, false);
        out.insert(out.end(), packed.begin(), packed.end());
        header(directory, true);
    }
    const auto directoryOffset = static_cast<uint32_t>(out.size());
    out.insert(out.end(), directory.begin(), directory.end());
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<uint32_t>(members.size()));
    Put16(out, static_cast<uint32_t>(members.size()));
    Put32(out, static_cast<uint32_t>(directory.size()));
    Put32(out, directoryOffset);
    Put16(out, 0);
    return out;
}
} // namespace skin
