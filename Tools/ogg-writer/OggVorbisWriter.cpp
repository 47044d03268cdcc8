#include "OggVorbisWriter.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include <vorbis/vorbisenc.h>

std::vector<uint8_t> KavdorEncodeOggVorbis(int channels, int rate, const std::vector<int16_t>& samples,
                                           uint32_t serial)
{
    vorbis_info info;
    vorbis_info_init(&info);
    if (channels < 1 || vorbis_encode_init_vbr(&info, channels, rate, 0.4f) != 0)
    {
        vorbis_info_clear(&info);
        throw std::runtime_error("the Vorbis encoder refuses " + std::to_string(channels) +
                                 " channel(s) at " + std::to_string(rate) + " Hz");
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, static_cast<int>(serial & 0x7fffffff));

    std::vector<uint8_t> out;
    const auto take = [&out](const ogg_page& page)
    {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    };
    ogg_packet header;
    ogg_packet commentPacket;
    ogg_packet codebook;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentPacket, &codebook);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentPacket);
    ogg_stream_packetin(&stream, &codebook);
    ogg_page page;
    // The headers end on a page of their own, as decoders expect.
    while (ogg_stream_flush(&stream, &page) != 0)
        take(page);

    const auto width = static_cast<size_t>(channels);
    const size_t frames = samples.size() / width;
    size_t done = 0;
    bool end = false;
    while (!end)
    {
        const size_t count = std::min<size_t>(1024, frames - done);
        if (count == 0)
            vorbis_analysis_wrote(&dsp, 0);
        else
        {
            float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
            for (size_t i = 0; i < count; ++i)
                for (size_t c = 0; c < width; ++c)
                    buffer[c][i] = static_cast<float>(samples[(done + i) * width + c]) / 32768.0f;
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
                    take(page);
                    end = end || ogg_page_eos(&page) != 0;
                }
            }
        }
        if (count == 0)
            end = true;
    }
    while (ogg_stream_flush(&stream, &page) != 0)
        take(page);

    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}
