#include "SoundTestFiles.h"

#include <cmath>
#include <cstdlib>
#include <ctime>

#include <vorbis/vorbisenc.h>

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

void AppendPage(std::string* out, const ogg_page& page)
{
    out->append(reinterpret_cast<const char*>(page.header), static_cast<size_t>(page.header_len));
    out->append(reinterpret_cast<const char*>(page.body), static_cast<size_t>(page.body_len));
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
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, rate, 0.4f) != 0)
        std::abort();
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 1234);

    std::string out;
    ogg_packet header;
    ogg_packet commentPacket;
    ogg_packet codebook;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentPacket, &codebook);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentPacket);
    ogg_stream_packetin(&stream, &codebook);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page) != 0)
        AppendPage(&out, page);

    const size_t frames = samples.size() / static_cast<size_t>(channels);
    size_t done = 0;
    bool ended = false;
    while (!ended)
    {
        const size_t count = std::min<size_t>(1024, frames - done);
        if (count == 0)
        {
            vorbis_analysis_wrote(&dsp, 0);
        }
        else
        {
            float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
            for (size_t i = 0; i < count; ++i)
                for (int c = 0; c < channels; ++c)
                    buffer[c][i] =
                        samples[(done + i) * static_cast<size_t>(channels) + static_cast<size_t>(c)] /
                        32768.0f;
            vorbis_analysis_wrote(&dsp, static_cast<int>(count));
            done += count;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1)
        {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0)
            {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0)
                {
                    AppendPage(&out, page);
                    if (ogg_page_eos(&page))
                        ended = true;
                }
            }
        }
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
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
