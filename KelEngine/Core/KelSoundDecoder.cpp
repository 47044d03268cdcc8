#include "KelSoundDecoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include <mad.h>
#include <vorbis/vorbisfile.h>

#include "KelLogCL.h"
#include "Win32/Files.h"
#include "Win32/WaveFile.h"

namespace
{
struct FileCloser
{
    void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

bool Fail(KelDecodedSound* out, const char* what, const char* path)
{
    KelLogPrintf("声音文件无法读取:%s (%s)", path, what);
    *out = KelDecodedSound{};
    return false;
}

class OggFile
{
public:
    ~OggFile()
    {
        if (m_open)
            ov_clear(&m_file);
    }
    bool Open(FILE* source)
    {
        // The file stays this code's to close, on every path.
        m_open = ov_open_callbacks(source, &m_file, nullptr, 0, OV_CALLBACKS_NOCLOSE) == 0;
        return m_open;
    }
    OggVorbis_File* Get() { return &m_file; }

private:
    OggVorbis_File m_file{};
    bool m_open = false;
};

constexpr size_t kMpegChunk = 40960;
constexpr size_t kMpegBlock = 8192;
constexpr size_t kMpegGrowth = 131072;

// Feeds libmad from the file chunk by chunk, keeping the unfinished frame at the front, and once
// the file has ended adds the zero guard bytes libmad needs to decode the last frame.
class MpegInput
{
public:
    explicit MpegInput(FILE* file) : m_file(file), m_buffer(kMpegChunk + MAD_BUFFER_GUARD) {}

    // False once nothing more can be given.
    bool Refill(mad_stream* stream)
    {
        if (m_guardAdded)
            return false;
        size_t kept = 0;
        if (stream->next_frame != nullptr)
        {
            kept = static_cast<size_t>(stream->bufend - stream->next_frame);
            std::memmove(m_buffer.data(), stream->next_frame, kept);
        }
        size_t read = 0;
        if (kept < kMpegChunk)
            read = std::fread(m_buffer.data() + kept, 1, kMpegChunk - kept, m_file);
        size_t length = kept + read;
        if (read == 0)
        {
            if (kept + MAD_BUFFER_GUARD > m_buffer.size())
                return false;
            std::memset(m_buffer.data() + kept, 0, MAD_BUFFER_GUARD);
            length += MAD_BUFFER_GUARD;
            m_guardAdded = true;
        }
        mad_stream_buffer(stream, m_buffer.data(), static_cast<unsigned long>(length));
        stream->error = MAD_ERROR_NONE;
        return true;
    }

private:
    FILE* m_file;
    std::vector<uint8_t> m_buffer;
    bool m_guardAdded = false;
};

struct MadDecoder
{
    MadDecoder()
    {
        mad_stream_init(&stream);
        mad_frame_init(&frame);
        mad_synth_init(&synth);
    }
    ~MadDecoder()
    {
        mad_synth_finish(&synth);
        mad_frame_finish(&frame);
        mad_stream_finish(&stream);
    }
    mad_stream stream;
    mad_frame frame;
    mad_synth synth;
};

// Samples are gathered in blocks and the sound grows by a fixed step, so that a long file does
// not reallocate on every frame.
class PcmCollector
{
public:
    explicit PcmCollector(std::vector<uint8_t>* out) : m_out(out) { m_block.reserve(kMpegBlock); }

    bool Add(int16_t sample)
    {
        m_block.push_back(static_cast<uint8_t>(sample & 0xFF));
        m_block.push_back(static_cast<uint8_t>((sample >> 8) & 0xFF));
        return m_block.size() < kMpegBlock || Flush();
    }

    bool Flush()
    {
        if (m_out->size() + m_block.size() > kKelMaxDecodedSoundBytes)
            return false;
        if (m_out->capacity() < m_out->size() + m_block.size())
            m_out->reserve(m_out->capacity() + kMpegGrowth);
        m_out->insert(m_out->end(), m_block.begin(), m_block.end());
        m_block.clear();
        return true;
    }

private:
    std::vector<uint8_t>* m_out;
    std::vector<uint8_t> m_block;
};
} // namespace

KelSoundFormat KelPcm16Format(uint16_t channels, uint32_t samplesPerSec)
{
    KelSoundFormat format;
    format.formatTag = 1;
    format.channels = channels;
    format.samplesPerSec = samplesPerSec;
    format.bitsPerSample = 16;
    format.blockAlign = static_cast<uint16_t>(2 * channels);
    format.avgBytesPerSec = format.blockAlign * samplesPerSec;
    return format;
}

bool KelIsCanonicalWaveHeader(const uint8_t* header, size_t size)
{
    return header != nullptr && size >= 44 && std::memcmp(header, "RIFF", 4) == 0 &&
           std::memcmp(header + 8, "WAVE", 4) == 0 && std::memcmp(header + 12, "fmt ", 4) == 0 &&
           std::memcmp(header + 36, "data", 4) == 0;
}

KelSoundFileKind KelSniffSoundFile(const uint8_t* header, size_t size)
{
    if (KelIsCanonicalWaveHeader(header, size))
        return KelSoundFileKind::Wave;
    if (header != nullptr && size >= 4 && std::memcmp(header, "OggS", 4) == 0)
        return KelSoundFileKind::Ogg;
    return KelSoundFileKind::Mpeg;
}

bool KelDecodeWaveFile(const char* path, KelDecodedSound* out)
{
    *out = KelDecodedSound{};
    const std::string name(path != nullptr ? path : "");
    WaveFileData wave;
    if (const char* failure = ReadWaveFile(name.c_str(), kKelMaxDecodedSoundBytes, &wave))
        return Fail(out, failure, name.c_str());
    out->format.formatTag = wave.formatTag;
    out->format.channels = wave.channels;
    out->format.samplesPerSec = wave.samplesPerSec;
    out->format.avgBytesPerSec = wave.avgBytesPerSec;
    out->format.blockAlign = wave.blockAlign;
    out->format.bitsPerSample = wave.bitsPerSample;
    out->format.extra = std::move(wave.extra);
    out->data = std::move(wave.samples);
    return true;
}

bool KelDecodeOggFile(const char* path, KelDecodedSound* out)
{
    *out = KelDecodedSound{};
    const std::string name(path != nullptr ? path : "");
    FilePtr source(Win32OpenFile(name.c_str(), "rb"));
    OggFile ogg;
    if (source == nullptr || !ogg.Open(source.get()))
    {
        KelLogPrintf("打开的ogg文件无法被vorbis识别:%s", name.c_str());
        return false;
    }
    const vorbis_info* info = ov_info(ogg.Get(), -1);
    const ogg_int64_t frames = ov_pcm_total(ogg.Get(), -1);
    if (info == nullptr || info->channels < 1 || info->channels > 8 || info->rate < 1 || frames < 0)
        return Fail(out, "bad Vorbis stream information", name.c_str());
    const uint64_t total = static_cast<uint64_t>(frames) * 2u * static_cast<uint64_t>(info->channels);
    if (total > kKelMaxDecodedSoundBytes)
        return Fail(out, "longer than a sound may be", name.c_str());
    out->format = KelPcm16Format(static_cast<uint16_t>(info->channels), static_cast<uint32_t>(info->rate));
    out->data.resize(static_cast<size_t>(total));
    size_t decoded = 0;
    int section = 0;
    while (decoded < out->data.size())
    {
        const int want = static_cast<int>(std::min<size_t>(4096, out->data.size() - decoded));
        const long got =
            ov_read(ogg.Get(), reinterpret_cast<char*>(out->data.data() + decoded), want, 0, 2, 1, &section);
        if (got == 0)
            break;
        if (got < 0)
        {
            // A damaged page: vorbisfile skips it and goes on with the next.
            KelLogPrintf("Ogg文件流中出现错误: %s", name.c_str());
            if (got != OV_HOLE)
                break;
            continue;
        }
        decoded += static_cast<size_t>(got);
    }
    // Whole sample frames only: a stream cut short ends on what was decoded.
    out->data.resize(decoded - decoded % out->format.blockAlign);
    if (out->data.empty())
        return Fail(out, "no sound in the Vorbis stream", name.c_str());
    return true;
}

int16_t KelDitherMadSample(int32_t sample, uint32_t* random)
{
    const uint32_t previous = *random;
    const uint32_t next = previous * 1664525u + 1013904223u;
    *random = next;
    int64_t value = static_cast<int64_t>(sample) + static_cast<int64_t>(next & 0x1FFFu) -
                    static_cast<int64_t>(previous & 0x1FFFu);
    value += 4096;
    if (value >= MAD_F_ONE)
        value = MAD_F_ONE - 1;
    else if (value < -MAD_F_ONE)
        value = -MAD_F_ONE;
    return static_cast<int16_t>(value >> 13);
}

bool KelDecodeMpegFile(const char* path, KelDecodedSound* out)
{
    *out = KelDecodedSound{};
    const std::string name(path != nullptr ? path : "");
    FilePtr file(Win32OpenFile(name.c_str(), "rb"));
    if (file == nullptr)
        return Fail(out, "cannot open", name.c_str());
    MpegInput input(file.get());
    MadDecoder mad;
    PcmCollector collector(&out->data);
    uint32_t random = 0;
    int channels = 0;
    if (!input.Refill(&mad.stream))
        return Fail(out, "cannot read", name.c_str());
    for (;;)
    {
        if (mad_frame_decode(&mad.frame, &mad.stream) != 0)
        {
            if (mad.stream.error == MAD_ERROR_BUFLEN)
            {
                if (!input.Refill(&mad.stream))
                    break;
                continue;
            }
            if (MAD_RECOVERABLE(mad.stream.error))
                continue;
            break;
        }
        if (channels == 0)
        {
            channels = mad.frame.header.mode == MAD_MODE_SINGLE_CHANNEL ? 1 : 2;
            out->format = KelPcm16Format(static_cast<uint16_t>(channels), mad.frame.header.samplerate);
        }
        mad_synth_frame(&mad.synth, &mad.frame);
        const mad_pcm& pcm = mad.synth.pcm;
        for (unsigned i = 0; i < pcm.length; ++i)
        {
            bool room = collector.Add(KelDitherMadSample(pcm.samples[0][i], &random));
            if (channels == 2)
                room =
                    collector.Add(KelDitherMadSample(pcm.samples[pcm.channels == 2 ? 1 : 0][i], &random)) &&
                    room;
            if (!room)
                return Fail(out, "longer than a sound may be", name.c_str());
        }
    }
    if (!collector.Flush())
        return Fail(out, "longer than a sound may be", name.c_str());
    if (channels == 0 || out->format.samplesPerSec == 0 || out->data.empty())
        return Fail(out, "no MPEG audio frames", name.c_str());
    return true;
}

bool KelLoadEffectFile(const char* path, KelDecodedSound* out)
{
    *out = KelDecodedSound{};
    const std::string name(path != nullptr ? path : "");
    uint8_t header[44] = {};
    size_t got = 0;
    {
        FilePtr file(Win32OpenFile(name.c_str(), "rb"));
        if (file == nullptr)
            return false;
        got = std::fread(header, 1, sizeof header, file.get());
    }
    switch (KelSniffSoundFile(header, got))
    {
    case KelSoundFileKind::Wave:
        return KelDecodeWaveFile(name.c_str(), out);
    case KelSoundFileKind::Ogg:
        return KelDecodeOggFile(name.c_str(), out);
    case KelSoundFileKind::Mpeg:
        break;
    }
    return KelDecodeMpegFile(name.c_str(), out);
}
