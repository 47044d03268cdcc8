#include "Win32/Text.h"

#include <bit>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iconv.h>

namespace
{
// The Windows flavour of GBK (code page 936) maps the single byte 0x80 to the euro sign. In
// glibc "CP936" is an alias of its "GBK" converter, which already does so; the alias comes
// first so that a C library with a separate, closer CP936 table would be preferred.
constexpr const char* kGbkNames[] = {"CP936", "GBK"};

// UTF-32 without a byte-order mark, in the byte order of char32_t in memory.
constexpr const char* kUtf32Name = std::endian::native == std::endian::little ? "UTF-32LE" : "UTF-32BE";
constexpr const char* kUtf8Name = "UTF-8";

enum Direction
{
    GbkToUtf8Direction,
    Utf8ToGbkDirection,
    GbkToUtf32Direction,
    Utf32ToGbkDirection,
    DirectionCount
};

iconv_t OpenGbk(const char* other, bool fromGbk)
{
    for (const char* gbk : kGbkNames)
    {
        iconv_t cd = fromGbk ? iconv_open(other, gbk) : iconv_open(gbk, other);
        if (cd != reinterpret_cast<iconv_t>(-1))
        {
            return cd;
        }
    }
    return reinterpret_cast<iconv_t>(-1);
}

// Opening a converter loads a module and builds its steps, which costs far more than converting
// a label; the font code converts every text it draws, so each thread keeps one converter per
// direction for its lifetime. A converter is not safe to share between threads, hence
// thread_local rather than a process-wide cache.
class ConverterCache
{
public:
    ConverterCache()
    {
        for (iconv_t& cd : m_converters)
        {
            cd = Invalid();
        }
    }

    ~ConverterCache()
    {
        for (iconv_t cd : m_converters)
        {
            if (cd != Invalid())
            {
                iconv_close(cd);
            }
        }
    }

    ConverterCache(const ConverterCache&) = delete;
    ConverterCache& operator=(const ConverterCache&) = delete;

    // The converter for a direction with its shift state reset, or Invalid() when the C library
    // has no GBK converter. A failed open is retried on the next call; it is not expected.
    iconv_t Get(Direction direction)
    {
        iconv_t& cd = m_converters[direction];
        if (cd == Invalid())
        {
            switch (direction)
            {
            case GbkToUtf8Direction:
                cd = OpenGbk(kUtf8Name, true);
                break;
            case Utf8ToGbkDirection:
                cd = OpenGbk(kUtf8Name, false);
                break;
            case GbkToUtf32Direction:
                cd = OpenGbk(kUtf32Name, true);
                break;
            case Utf32ToGbkDirection:
            default:
                cd = OpenGbk(kUtf32Name, false);
                break;
            }
            if (cd == Invalid())
            {
                return cd;
            }
        }
        // A previous conversion may have stopped in the middle of a sequence.
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        return cd;
    }

    static iconv_t Invalid()
    {
        return reinterpret_cast<iconv_t>(-1);
    }

private:
    iconv_t m_converters[DirectionCount];
};

thread_local ConverterCache t_converters;

bool IsAscii(std::string_view text)
{
    for (char c : text)
    {
        if (static_cast<unsigned char>(c) >= 0x80)
        {
            return false;
        }
    }
    return true;
}

// Runs one conversion of `in` (bytes) into `out`, whose size is first set to `initialSize` code
// units, then trimmed to what was written. A sequence the converter rejects (invalid, truncated
// at the end, or without a counterpart in the target) is dropped, `skip` input bytes at a time,
// and the conversion carries on with the rest. Without a converter only ASCII is kept, which all
// three encodings share.
template <typename String>
void Convert(Direction direction, const char* inData, size_t inSize, size_t skip, size_t initialSize,
             String& out)
{
    typedef typename String::value_type Unit;
    iconv_t cd = t_converters.Get(direction);
    if (cd == ConverterCache::Invalid())
    {
        for (size_t i = 0; i + skip <= inSize; i += skip)
        {
            Unit unit = 0;
            if (skip == sizeof(Unit))
            {
                std::memcpy(&unit, inData + i, sizeof(Unit));
            }
            else
            {
                unit = static_cast<unsigned char>(inData[i]);
            }
            if (static_cast<uint32_t>(unit) < 0x80)
            {
                out.push_back(unit);
            }
        }
        return;
    }

    out.resize(initialSize);
    char* in = const_cast<char*>(inData);
    size_t inLeft = inSize;
    size_t written = 0;
    while (inLeft > 0)
    {
        char* outPtr = reinterpret_cast<char*>(out.data()) + written;
        size_t outLeft = out.size() * sizeof(Unit) - written;
        size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        written = static_cast<size_t>(outPtr - reinterpret_cast<char*>(out.data()));
        if (result != static_cast<size_t>(-1))
        {
            break;
        }
        if (errno == E2BIG)
        {
            out.resize(out.size() * 2 + 16);
            continue;
        }
        // EILSEQ (a bad or unconvertible sequence) and EINVAL (a sequence cut off at the end)
        // are both answered by dropping the smallest unit and trying again after it. Anything
        // else is unexpected: stop with what has been converted rather than loop.
        if (errno != EILSEQ && errno != EINVAL)
        {
            break;
        }
        size_t step = inLeft < skip ? inLeft : skip;
        in += step;
        inLeft -= step;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(written / sizeof(Unit));
}
} // namespace

std::string GbkToUtf8(std::string_view gbk)
{
    if (IsAscii(gbk))
    {
        return std::string(gbk);
    }
    std::string out;
    // A GBK byte or byte pair never needs more than three UTF-8 bytes (the single byte 0x80
    // becomes the three bytes of the euro sign).
    Convert(GbkToUtf8Direction, gbk.data(), gbk.size(), 1, gbk.size() * 3, out);
    return out;
}

std::string Utf8ToGbk(std::string_view utf8)
{
    if (IsAscii(utf8))
    {
        return std::string(utf8);
    }
    std::string out;
    // Every character GBK has takes at least as many bytes in UTF-8 as in GBK. Dropping one byte
    // of a rejected UTF-8 sequence leaves continuation bytes, which are rejected in turn, so the
    // whole character goes.
    Convert(Utf8ToGbkDirection, utf8.data(), utf8.size(), 1, utf8.size(), out);
    return out;
}

std::u32string GbkToUnicode(std::string_view gbk)
{
    std::u32string out;
    if (IsAscii(gbk))
    {
        out.resize(gbk.size());
        for (size_t i = 0; i < gbk.size(); ++i)
        {
            out[i] = static_cast<unsigned char>(gbk[i]);
        }
        return out;
    }
    // At most one code point per byte.
    Convert(GbkToUtf32Direction, gbk.data(), gbk.size(), 1, gbk.size(), out);
    return out;
}

std::string UnicodeToGbk(std::u32string_view unicode)
{
    std::string out;
    bool ascii = true;
    for (char32_t c : unicode)
    {
        if (c >= 0x80)
        {
            ascii = false;
            break;
        }
    }
    if (ascii)
    {
        out.resize(unicode.size());
        for (size_t i = 0; i < unicode.size(); ++i)
        {
            out[i] = static_cast<char>(unicode[i]);
        }
        return out;
    }
    // Two bytes at most per code point; a code point GBK lacks is dropped whole.
    Convert(Utf32ToGbkDirection, reinterpret_cast<const char*>(unicode.data()),
            unicode.size() * sizeof(char32_t), sizeof(char32_t), unicode.size() * 2, out);
    return out;
}
