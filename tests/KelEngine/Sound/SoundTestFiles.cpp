#include "SoundTestFiles.h"

#include <cmath>
#include <cstdlib>
#include <ctime>

#include "OggVorbisWriter.h"

namespace
{
void PutU16(std::string* out, uint32_t v)
{
    out->push_back(static_cast<char>(v & 0xFF));
    out->push_back(static_cast<char>((v >> 8) & 0xFF));
}

void PutU32(std::string* out, uint32_t v)
{
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

std::string WavHeader(int channels, int rate, int bits, uint32_t dataSize)
{
    std::string out = "RIFF";
    PutU32(&out, 36 + dataSize);
    out += "WAVEfmt ";
    PutU32(&out, 16);
    PutU16(&out, 1);
    PutU16(&out, static_cast<uint32_t>(channels));
    PutU32(&out, static_cast<uint32_t>(rate));
    const int align = channels * bits / 8;
    PutU32(&out, static_cast<uint32_t>(align * rate));
    PutU16(&out, static_cast<uint32_t>(align));
    PutU16(&out, static_cast<uint32_t>(bits));
    out += "data";
    PutU32(&out, dataSize);
    return out;
}
} // namespace

std::vector<int16_t> SineSamples(int channels, int rate, double hz, double seconds, int amplitude)
{
    const int frames = static_cast<int>(seconds * rate);
    std::vector<int16_t> samples;
    samples.reserve(static_cast<size_t>(frames * channels));
    for (int i = 0; i < frames; ++i)
    {
        const auto value =
            static_cast<int16_t>(std::lround(amplitude * std::sin(2.0 * M_PI * hz * i / rate)));
        for (int c = 0; c < channels; ++c)
            samples.push_back(value);
    }
    return samples;
}

std::string CanonicalWav(int channels, int rate, const std::vector<int16_t>& samples)
{
    std::string out = WavHeader(channels, rate, 16, static_cast<uint32_t>(samples.size() * 2));
    for (int16_t s : samples)
        PutU16(&out, static_cast<uint16_t>(s));
    return out;
}

std::string CanonicalWav8(int channels, int rate, const std::vector<uint8_t>& samples)
{
    std::string out = WavHeader(channels, rate, 8, static_cast<uint32_t>(samples.size()));
    out.append(samples.begin(), samples.end());
    return out;
}

std::string OggVorbisFile(int channels, int rate, const std::vector<int16_t>& samples)
{
    std::vector<uint8_t> bytes = KavdorEncodeOggVorbis(channels, rate, samples, 1234);
    return std::string(bytes.begin(), bytes.end());
}

std::string MpegSilence(int frames)
{
    // 144 x 128000 / 44100 = 417 bytes a frame, without padding.
    std::string frame(417, '\0');
    frame[0] = static_cast<char>(0xFF);
    frame[1] = static_cast<char>(0xFD); // MPEG-1, Layer II, no CRC
    frame[2] = static_cast<char>(0x80); // 128 kbit/s, 44.1 kHz, no padding
    frame[3] = 0x00;                    // stereo
    std::string out;
    for (int i = 0; i < frames; ++i)
        out += frame;
    return out;
}
