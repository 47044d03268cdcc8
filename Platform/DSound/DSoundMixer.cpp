#include "DSound/DSoundMixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Win32/Sync.h"

namespace dsound
{
namespace
{
// Gains in 16 fraction bits: a 16-bit sample times a gain of at most 1 fits 32 bits.
constexpr int kGainBits = 16;
constexpr int32_t kGainOne = 1 << kGainBits;

struct Gains
{
    int32_t left;
    int32_t right;
    bool mono; // a 3D voice: both channels of the source are mixed down first
};

float DecibelGain(LONG hundredths)
{
    return hundredths <= DSBVOLUME_MIN ? 0.0f : std::pow(10.0f, static_cast<float>(hundredths) / 2000.0f);
}

D3DVECTOR Sub(const D3DVECTOR& a, const D3DVECTOR& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

float Dot(const D3DVECTOR& a, const D3DVECTOR& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

D3DVECTOR Cross(const D3DVECTOR& a, const D3DVECTOR& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float Length(const D3DVECTOR& v)
{
    return std::sqrt(Dot(v, v));
}

D3DVECTOR Normalised(const D3DVECTOR& v, const D3DVECTOR& fallback)
{
    const float length = Length(v);
    if (!(length > 1e-6f) || !std::isfinite(length))
        return fallback;
    return {v.x / length, v.y / length, v.z / length};
}

// Distance, cone and pan of a 3D voice, as the header of DSound.h describes them.
void Spatialise(const DS3DBUFFER& source, const DS3DLISTENER& listener, float* gain, float* left,
                float* right)
{
    const bool headRelative = source.dwMode == DS3DMODE_HEADRELATIVE;
    const D3DVECTOR relative = headRelative ? source.vPosition : Sub(source.vPosition, listener.vPosition);
    const float distance = Length(relative);
    if (!std::isfinite(distance))
    {
        *gain = 0.0f;
        return;
    }

    float across = 0.0f;
    if (distance > 1e-6f)
    {
        if (headRelative)
        {
            across = relative.x / distance;
        }
        else
        {
            const D3DVECTOR front = Normalised(listener.vOrientFront, {0, 0, 1});
            const D3DVECTOR top = Normalised(listener.vOrientTop, {0, 1, 0});
            const D3DVECTOR sideways = Normalised(Cross(top, front), {1, 0, 0});
            across = Dot(relative, sideways) / distance;
        }
    }
    across = std::clamp(across, -1.0f, 1.0f);
    *left = std::sqrt((1.0f - across) / 2.0f);
    *right = std::sqrt((1.0f + across) / 2.0f);

    const float minimum = std::max(source.flMinDistance, 1e-6f);
    const float maximum = std::max(source.flMaxDistance, minimum);
    const float clamped = std::min(distance, maximum);
    if (listener.flRolloffFactor > 0.0f && clamped > minimum)
        *gain *= minimum / (minimum + listener.flRolloffFactor * (clamped - minimum));

    const float inside = static_cast<float>(std::min<DWORD>(source.dwInsideConeAngle, 360));
    const float outside = static_cast<float>(std::min<DWORD>(source.dwOutsideConeAngle, 360));
    if (outside < 360.0f && distance > 1e-6f)
    {
        const D3DVECTOR facing = Normalised(source.vConeOrientation, {0, 0, 0});
        if (Length(facing) > 0.5f)
        {
            const D3DVECTOR toListener = {-relative.x / distance, -relative.y / distance,
                                          -relative.z / distance};
            const float angle = std::acos(std::clamp(Dot(facing, toListener), -1.0f, 1.0f)) * 180.0f /
                                static_cast<float>(M_PI);
            float attenuation = 0.0f;
            if (angle >= outside / 2.0f)
                attenuation = static_cast<float>(source.lConeOutsideVolume);
            else if (angle > inside / 2.0f)
                attenuation = static_cast<float>(source.lConeOutsideVolume) * (angle - inside / 2.0f) /
                              (outside / 2.0f - inside / 2.0f);
            *gain *= DecibelGain(static_cast<LONG>(attenuation));
        }
    }
}

Gains ComputeGains(const Voice& voice, const DS3DLISTENER& listener)
{
    float gain = DecibelGain(voice.volume);
    float left = 1.0f;
    float right = 1.0f;
    const bool threeD = (voice.flags & DSBCAPS_CTRL3D) != 0 && voice.params3D.dwMode != DS3DMODE_DISABLE;
    if (threeD)
    {
        Spatialise(voice.params3D, listener, &gain, &left, &right);
    }
    else if (voice.pan > 0)
    {
        left = DecibelGain(-voice.pan);
    }
    else if (voice.pan < 0)
    {
        right = DecibelGain(voice.pan);
    }
    const auto fixed = [](float g)
    { return static_cast<int32_t>(std::lround(std::clamp(g, 0.0f, 1.0f) * kGainOne)); };
    return {fixed(gain * left), fixed(gain * right), threeD};
}

int32_t Scale(int32_t sample, int32_t gain)
{
    return (sample * gain + (1 << (kGainBits - 1))) >> kGainBits;
}

// The left and right samples of a frame, as 16-bit values.
void ReadFrame(const Voice& voice, uint32_t frame, int32_t* left, int32_t* right)
{
    const uint8_t* bytes = voice.samples->data() + static_cast<size_t>(frame) * voice.format.nBlockAlign;
    if (voice.format.wBitsPerSample == 8)
    {
        *left = (static_cast<int32_t>(bytes[0]) - 128) << 8;
        *right = voice.format.nChannels == 2 ? (static_cast<int32_t>(bytes[1]) - 128) << 8 : *left;
        return;
    }
    int16_t values[2];
    std::memcpy(values, bytes, voice.format.nChannels == 2 ? 4 : 2);
    *left = values[0];
    *right = voice.format.nChannels == 2 ? values[1] : values[0];
}

// The common case of effects and music: 16-bit stereo at the output rate, in 2D.
void MixSameRateStereo16(const Voice& voice, uint32_t frame, size_t count, int32_t* out, const Gains& gains)
{
    const auto* bytes = voice.samples->data() + static_cast<size_t>(frame) * 4;
    const int32_t left = gains.left;
    const int32_t right = gains.right;
    for (size_t i = 0; i < count; ++i)
    {
        int16_t pair[2];
        std::memcpy(pair, bytes + i * 4, 4);
        out[2 * i] += Scale(pair[0], left);
        out[2 * i + 1] += Scale(pair[1], right);
    }
}

// Any format, rate or placement: linear interpolation between source frames.
void MixGeneral(const Voice& voice, uint64_t position, uint64_t step, size_t count, int32_t* out,
                const Gains& gains)
{
    const uint32_t frames = voice.FrameCount();
    for (size_t i = 0; i < count; ++i, position += step)
    {
        const auto frame = static_cast<uint32_t>(position >> 32);
        int32_t left = 0;
        int32_t right = 0;
        ReadFrame(voice, frame, &left, &right);
        if (step != kFrameOne)
        {
            uint32_t next = frame + 1;
            if (next >= frames)
                next = voice.looping ? 0 : frame;
            int32_t nextLeft = 0;
            int32_t nextRight = 0;
            ReadFrame(voice, next, &nextLeft, &nextRight);
            const auto fraction = static_cast<int32_t>((position >> 17) & 0x7FFF);
            left += ((nextLeft - left) * fraction) >> 15;
            right += ((nextRight - right) * fraction) >> 15;
        }
        if (gains.mono)
        {
            left = (left + right) / 2;
            right = left;
        }
        out[2 * i] += Scale(left, gains.left);
        out[2 * i + 1] += Scale(right, gains.right);
    }
}

// Signals the notifications whose offsets the cursor passed going from `from` to `to` bytes,
// `to` counted on past the end once for each time the cursor went round.
void NotifyCrossed(const Voice& voice, uint64_t from, uint64_t to)
{
    const uint64_t size = voice.samples->size();
    for (const DSBPOSITIONNOTIFY& notify : voice.notifications)
    {
        if (notify.dwOffset == DSBPN_OFFSETSTOP)
            continue;
        const uint64_t offset = notify.dwOffset;
        if (to - from >= size || (offset >= from && offset < to) ||
            (offset + size >= from && offset + size < to))
            SetEvent(notify.hEventNotify);
    }
}
} // namespace

DS3DBUFFER Default3DBuffer()
{
    DS3DBUFFER params{};
    params.dwSize = sizeof params;
    params.dwInsideConeAngle = DS3D_DEFAULTCONEANGLE;
    params.dwOutsideConeAngle = DS3D_DEFAULTCONEANGLE;
    params.vConeOrientation = {0, 0, 1};
    params.flMinDistance = DS3D_DEFAULTMINDISTANCE;
    params.flMaxDistance = DS3D_DEFAULTMAXDISTANCE;
    params.dwMode = DS3DMODE_NORMAL;
    return params;
}

DS3DLISTENER DefaultListener()
{
    DS3DLISTENER params{};
    params.dwSize = sizeof params;
    params.vOrientFront = {0, 0, 1};
    params.vOrientTop = {0, 1, 0};
    params.flDistanceFactor = 1.0f;
    params.flRolloffFactor = 1.0f;
    params.flDopplerFactor = 1.0f;
    return params;
}

void Mixer::NotifyStop(const Voice& voice)
{
    for (const DSBPOSITIONNOTIFY& notify : voice.notifications)
        if (notify.dwOffset == DSBPN_OFFSETSTOP)
            SetEvent(notify.hEventNotify);
}

void Mixer::MixVoice(Voice& voice, int32_t* accumulator, size_t frames)
{
    const uint32_t total = voice.FrameCount();
    if (total == 0)
    {
        voice.playing = false;
        return;
    }
    const uint64_t end = static_cast<uint64_t>(total) << 32;
    const uint64_t step = (static_cast<uint64_t>(voice.Rate()) << 32) / kOutputRate;
    const Gains gains = ComputeGains(voice, listener);
    const bool fast =
        step == kFrameOne && !gains.mono && voice.format.nChannels == 2 && voice.format.wBitsPerSample == 16;
    const uint64_t fromByte = voice.BytePosition();
    uint64_t wrappedBytes = 0;
    uint64_t position = voice.position;
    size_t done = 0;
    while (done < frames)
    {
        if (position >= end)
        {
            if (!voice.looping)
                break;
            wrappedBytes += (position / end) * voice.samples->size();
            position %= end;
        }
        const uint64_t left = (end - position + step - 1) / step;
        const size_t count = static_cast<size_t>(std::min<uint64_t>(frames - done, left));
        if (fast)
            MixSameRateStereo16(voice, static_cast<uint32_t>(position >> 32), count, accumulator + 2 * done,
                                gains);
        else
            MixGeneral(voice, position, step, count, accumulator + 2 * done, gains);
        position += count * step;
        done += count;
    }
    const bool ended = !voice.looping && position >= end;
    const uint64_t toByte = ended ? voice.samples->size() : (position >> 32) * voice.format.nBlockAlign;
    NotifyCrossed(voice, fromByte, toByte + wrappedBytes);
    if (ended)
    {
        // A sound played once stops at its end and starts from the beginning when played again.
        voice.playing = false;
        voice.position = 0;
        NotifyStop(voice);
        return;
    }
    voice.position = position;
}

void Mixer::Mix(int16_t* out, size_t frames)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        m_accumulator.assign(frames * kOutputChannels, 0);
        for (Voice* voice : voices)
            if (voice->playing)
                MixVoice(*voice, m_accumulator.data(), frames);
        for (size_t i = 0; i < frames * kOutputChannels; ++i)
            out[i] = static_cast<int16_t>(std::clamp(m_accumulator[i], -32768, 32767));
    }
    std::lock_guard<std::mutex> guard(m_hookLock);
    if (m_hook)
        m_hook(out, frames, kOutputChannels, kOutputRate);
    if (m_captureFile != nullptr)
        m_captureFile->Write(out, frames);
}

void Mixer::SetCaptureHook(DirectSoundCaptureHook hook)
{
    std::lock_guard<std::mutex> guard(m_hookLock);
    m_hook = std::move(hook);
}

void Mixer::SetCaptureFile(std::unique_ptr<CaptureFile> file)
{
    std::lock_guard<std::mutex> guard(m_hookLock);
    m_captureFile = std::move(file);
}

namespace
{
void PutU32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

void WriteWavHeader(FILE* file, uint32_t dataBytes)
{
    uint8_t header[44] = {'R', 'I', 'F', 'F', 0, 0, 0,  0, 'W', 'A', 'V', 'E', 'f', 'm',
                          't', ' ', 16,  0,   0, 0, 1,  0, 2,   0,   0,   0,   0,   0,
                          0,   0,   0,   0,   4, 0, 16, 0, 'd', 'a', 't', 'a'};
    PutU32(header + 4, 36 + dataBytes);
    PutU32(header + 24, kOutputRate);
    PutU32(header + 28, kOutputRate * 4);
    PutU32(header + 40, dataBytes);
    std::fseek(file, 0, SEEK_SET);
    std::fwrite(header, 1, sizeof header, file);
    std::fseek(file, 0, SEEK_END);
}
} // namespace

CaptureFile::CaptureFile(const char* path) : m_file(std::fopen(path, "wb"))
{
    if (m_file != nullptr)
        WriteWavHeader(m_file, 0);
    else
        std::fprintf(stderr, "sound: cannot write the capture file %s\n", path);
}

CaptureFile::~CaptureFile()
{
    if (m_file == nullptr)
        return;
    WriteWavHeader(m_file, m_bytes);
    std::fclose(m_file);
}

void CaptureFile::Write(const int16_t* samples, size_t frames)
{
    if (m_file == nullptr)
        return;
    const size_t bytes = frames * kOutputChannels * sizeof(int16_t);
    // A WAV file counts its data in 32 bits; a longer run keeps its first 4 GB.
    if (m_bytes + uint64_t{bytes} > 0xFFFFFF00u)
        return;
    m_bytes += static_cast<uint32_t>(std::fwrite(samples, 1, bytes, m_file));
}
} // namespace dsound
