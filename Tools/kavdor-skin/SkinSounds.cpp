#include <cmath>
#include <cstdint>
#include <vector>

#include "Skin.h"

namespace skin
{
namespace
{
// A canonical WAV file (44-byte header) of 16-bit mono samples at 22,050 Hz.
std::vector<uint8_t> Wav(const std::vector<int16_t>& samples)
{
    const uint32_t rate = 22050;
    const auto dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<uint8_t> out;
    const auto u32 = [&out](uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    const auto u16 = [&out](uint32_t v)
    {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    };
    const auto tag = [&out](const char* t)
    {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(t[i]));
    };
    tag("RIFF");
    u32(36 + dataBytes);
    tag("WAVE");
    tag("fmt ");
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    tag("data");
    u32(dataBytes);
    for (int16_t s : samples)
        u16(static_cast<uint16_t>(s));
    return out;
}

// A short soft click: a falling tone with a quick decay. Computed with integer steps so the
// bytes never depend on the floating-point library.
std::vector<int16_t> Click()
{
    std::vector<int16_t> samples;
    const int length = 22050 * 40 / 1000;
    uint32_t phase = 0;
    for (int i = 0; i < length; ++i)
    {
        const uint32_t hz = 2400 - static_cast<uint32_t>(i) * 1200 / static_cast<uint32_t>(length);
        phase += hz * 65536u / 22050u;
        // A triangle wave of the phase, shaped by a linear decay.
        const int t = static_cast<int>((phase >> 6) & 1023);
        const int triangle = t < 512 ? t - 256 : 767 - t;
        const int envelope = (length - i) * 100 / length;
        samples.push_back(static_cast<int16_t>(triangle * 40 * envelope / 100));
    }
    return samples;
}
} // namespace

void WriteSounds(Output& out)
{
    out.Write("sound\\gameLoby\\button.wav", Wav(Click()));
}
} // namespace skin
