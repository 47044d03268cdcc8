#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include <espeak-ng/speak_lib.h>

#include "OggVorbisWriter.h"
#include "Skin.h"
#include "SkinStyle.h"

namespace skin
{
namespace
{
constexpr int kRate = 22050;

// A canonical WAV file (44-byte header) of 16-bit mono samples at 22,050 Hz.
std::vector<uint8_t> Wav(const std::vector<int16_t>& samples)
{
    const uint32_t rate = kRate;
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

// An Ogg Vorbis file of 16-bit mono samples at 22,050 Hz. The stream's serial number comes from
// the file's name, so that the same sound gives the same bytes on every run.
std::vector<uint8_t> OggVorbis(const std::vector<int16_t>& samples, const std::string& name)
{
    uint32_t serial = 2166136261u; // FNV-1a
    for (char c : name)
        serial = (serial ^ static_cast<uint8_t>(c)) * 16777619u;
    return KavdorEncodeOggVorbis(1, kRate, samples, serial);
}

// The effects are mixed in doubles with the four basic operations only, in a fixed order, and
// the sine comes from a table of our own: the bytes never depend on the maths library.
using Mix = std::vector<double>;

// sin(2 pi x) for x in cycles.
double Sine(double cycles)
{
    constexpr int kSize = 4096;
    static const std::vector<double> table = []
    {
        std::vector<double> values(kSize + 1);
        for (int i = 0; i <= kSize; ++i)
        {
            // The Taylor series on the first quarter, mirrored onto the others.
            const int quarter = kSize / 4;
            const int k = i % (kSize / 2);
            const int fromZero = k <= quarter ? k : kSize / 2 - k;
            const double x = 2.0 * std::numbers::pi * fromZero / kSize;
            double term = x;
            double sum = x;
            for (int n = 1; n < 14; ++n)
            {
                term = -term * x * x / ((2 * n) * (2 * n + 1));
                sum += term;
            }
            values[i] = i <= kSize / 2 ? sum : -sum;
        }
        return values;
    }();
    const double phase = cycles - std::floor(cycles);
    const double at = phase * kSize;
    const int i = std::min(static_cast<int>(at), kSize - 1);
    return table[i] + (table[i + 1] - table[i]) * (at - i);
}

// The waveforms of tones: a pure sine, a warm sine with a little second harmonic, a bright tone
// of three harmonics, a bell of inharmonic partials, and band-limited square and sawtooth waves
// for buzzes.
enum class Wave
{
    Sine,
    Warm,
    Bright,
    Bell,
    Square,
    Saw,
};

double WaveAt(Wave wave, double phase, double hz)
{
    switch (wave)
    {
    case Wave::Sine:
        return Sine(phase);
    case Wave::Warm:
        return Sine(phase) * 0.85 + Sine(phase * 2) * 0.15;
    case Wave::Bright:
        return Sine(phase) * 0.6 + Sine(phase * 2) * 0.25 + Sine(phase * 3) * 0.15;
    case Wave::Bell:
        return Sine(phase) * 0.6 + Sine(phase * 2.76) * 0.25 + Sine(phase * 5.4) * 0.15;
    case Wave::Square:
    case Wave::Saw:
    {
        // Harmonics below 5 kHz only, so the buzz does not alias into whistles.
        double sum = 0;
        const int step = wave == Wave::Square ? 2 : 1;
        for (int k = 1; k * hz < 5000; k += step)
            sum += Sine(phase * k) / k;
        return sum * 0.6;
    }
    }
    return 0;
}

// One note: it starts at `start` seconds, rises over `attack`, falls exponentially with the
// time constant `decay` (0: holds its level) and ends `length` seconds after its start with a
// short release. Its pitch glides from `hz` to `endHz` (0: steady), fast at first when `swoop`.
struct Tone
{
    double start = 0;
    double length = 0.2;
    double hz = 440;
    double endHz = 0;
    double level = 0.5;
    double attack = 0.005;
    double decay = 0;
    Wave wave = Wave::Sine;
    bool swoop = false;
    double tremolo = 0; // Hz of a shimmer of the amplitude
};

// A glide over u from 0 to 1, straight or falling fast first.
double Glide(double from, double to, double u, bool swoop)
{
    if (to <= 0)
        return from;
    const double shape = swoop ? 1.0 - (1.0 - u) * (1.0 - u) : u;
    return from + (to - from) * shape;
}

void Ensure(Mix& mix, size_t size)
{
    if (mix.size() < size)
        mix.resize(size, 0.0);
}

void Add(Mix& mix, const Tone& tone)
{
    const auto first = static_cast<size_t>(tone.start * kRate);
    const auto count = static_cast<size_t>(tone.length * kRate);
    Ensure(mix, first + count);
    const double release = std::min(0.01, tone.length / 4) * kRate;
    const double fall = tone.decay > 0 ? 1.0 - 1.0 / (tone.decay * kRate) : 1.0;
    double phase = 0;
    double level = tone.level;
    for (size_t i = 0; i < count; ++i)
    {
        const double t = static_cast<double>(i) / kRate;
        const double hz = Glide(tone.hz, tone.endHz, static_cast<double>(i) / count, tone.swoop);
        double gain = level;
        if (t < tone.attack)
            gain *= t / tone.attack;
        if (count - i < release)
            gain *= (count - i) / release;
        if (tone.tremolo > 0)
            gain *= 0.75 + 0.25 * Sine(t * tone.tremolo);
        mix[first + i] += gain * WaveAt(tone.wave, phase, hz);
        // The phase is never wrapped: the partials of a bell are not whole multiples of it.
        phase += hz / kRate;
        level *= fall;
    }
}

// Filtered noise: a burst shaped like a tone, through a low-, band- or high-pass filter whose
// corner glides from `hz` to `endHz`.
enum class Filter
{
    LowPass,
    BandPass,
    HighPass,
};

struct Burst
{
    double start = 0;
    double length = 0.1;
    double level = 0.5;
    double attack = 0.001;
    double decay = 0.02;
    Filter filter = Filter::LowPass;
    double hz = 1000;
    double endHz = 0;
    double q = 0.7;
    uint32_t seed = 1;
};

void Add(Mix& mix, const Burst& burst)
{
    const auto first = static_cast<size_t>(burst.start * kRate);
    const auto count = static_cast<size_t>(burst.length * kRate);
    Ensure(mix, first + count);
    const double release = std::min(0.01, burst.length / 4) * kRate;
    const double fall = 1.0 - 1.0 / (burst.decay * kRate);
    uint32_t random = burst.seed;
    double level = burst.level;
    // A biquad of the usual audio-cookbook form; its coefficients follow the glide every 32
    // samples, which is smooth enough for the corners these effects sweep.
    double b0 = 0, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (size_t i = 0; i < count; ++i)
    {
        if (i % 32 == 0)
        {
            const double hz = Glide(burst.hz, burst.endHz, static_cast<double>(i) / count, true);
            const double w = hz / kRate;
            const double cosW = Sine(w + 0.25);
            const double alpha = Sine(w) / (2 * burst.q);
            const double a0 = 1 + alpha;
            switch (burst.filter)
            {
            case Filter::LowPass:
                b0 = (1 - cosW) / 2;
                b1 = 1 - cosW;
                b2 = b0;
                break;
            case Filter::BandPass:
                b0 = alpha;
                b1 = 0;
                b2 = -alpha;
                break;
            case Filter::HighPass:
                b0 = (1 + cosW) / 2;
                b1 = -(1 + cosW);
                b2 = b0;
                break;
            }
            b0 /= a0;
            b1 /= a0;
            b2 /= a0;
            a1 = -2 * cosW / a0;
            a2 = (1 - alpha) / a0;
        }
        // xorshift32: white noise from a fixed seed.
        random ^= random << 13;
        random ^= random >> 17;
        random ^= random << 5;
        const double x = static_cast<double>(random) / 2147483648.0 - 1.0;
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        const double t = static_cast<double>(i) / kRate;
        double gain = level;
        if (t < burst.attack)
            gain *= t / burst.attack;
        if (count - i < release)
            gain *= (count - i) / release;
        mix[first + i] += gain * y;
        level *= fall;
    }
}

// -3 dBFS and -6 dBFS of full scale.
constexpr double kPeak = 0.7079;
constexpr double kSoftPeak = 0.5012;

// The mix brought to the given peak, faded in over 4 ms and out over 8 ms so that it never starts
// or stops with a click, as 16-bit samples.
std::vector<int16_t> Finish(Mix mix, double peak = kPeak)
{
    const size_t in = kRate * 4 / 1000;
    const size_t out = kRate * 8 / 1000;
    for (size_t i = 0; i < in && i < mix.size(); ++i)
        mix[i] *= static_cast<double>(i) / in;
    for (size_t i = 0; i < out && i < mix.size(); ++i)
        mix[mix.size() - 1 - i] *= static_cast<double>(i) / out;
    double highest = 0;
    for (double v : mix)
        highest = std::max(highest, std::abs(v));
    const double scale = highest > 0 ? peak * 32767 / highest : 0;
    std::vector<int16_t> samples;
    samples.reserve(mix.size());
    for (double v : mix)
        samples.push_back(static_cast<int16_t>(std::lround(v * scale)));
    return samples;
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
        // A triangle wave of the phase.
        const int t = static_cast<int>((phase >> 6) & 1023);
        const int triangle = t < 512 ? t - 256 : 767 - t;
        // A linear decay, after a rise over the first millisecond so the click does not start
        // with a step.
        const int onset = 22050 / 1000;
        const int envelope = (length - i) * 100 / length * std::min(i, onset) / onset;
        samples.push_back(static_cast<int16_t>(triangle * 40 * envelope / 100));
    }
    return samples;
}

// A hand starts: four bright notes climbing a major chord, the last one ringing.
std::vector<int16_t> HandStarts()
{
    Mix mix;
    const double notes[4] = {523.25, 659.26, 783.99, 1046.5};
    for (int i = 0; i < 4; ++i)
        Add(mix, Tone{.start = 0.06 * i,
                      .length = i == 3 ? 0.55 : 0.3,
                      .hz = notes[i],
                      .level = 0.5,
                      .attack = 0.004,
                      .decay = i == 3 ? 0.22 : 0.1,
                      .wave = Wave::Bright});
    Add(mix,
        Tone{.start = 0.18, .length = 0.5, .hz = 2093, .level = 0.12, .decay = 0.15, .wave = Wave::Bell});
    return Finish(mix);
}

// The hand ends: a rising fanfare of four notes and a held major chord.
std::vector<int16_t> HandWon()
{
    Mix mix;
    const double run[4] = {392.0, 523.25, 659.26, 783.99};
    for (int i = 0; i < 4; ++i)
        Add(mix, Tone{.start = 0.11 * i,
                      .length = 0.14,
                      .hz = run[i],
                      .level = 0.35,
                      .attack = 0.006,
                      .decay = 0.2,
                      .wave = Wave::Square});
    const double chord[4] = {523.25, 659.26, 783.99, 1046.5};
    for (double hz : chord)
    {
        Add(mix, Tone{.start = 0.46,
                      .length = 0.8,
                      .hz = hz,
                      .level = 0.16,
                      .attack = 0.01,
                      .decay = 0.35,
                      .wave = Wave::Square});
        Add(mix, Tone{.start = 0.46,
                      .length = 0.8,
                      .hz = hz,
                      .level = 0.2,
                      .attack = 0.01,
                      .decay = 0.45,
                      .wave = Wave::Bright,
                      .tremolo = 6});
    }
    return Finish(mix);
}

// A card snapped onto the felt: a short crisp burst over a soft thump.
std::vector<int16_t> CardPlayed()
{
    Mix mix;
    Add(mix, Burst{.length = 0.08,
                   .level = 1.0,
                   .decay = 0.012,
                   .filter = Filter::BandPass,
                   .hz = 2600,
                   .endHz = 1800,
                   .q = 1.2,
                   .seed = 11});
    Add(mix,
        Burst{.length = 0.1, .level = 0.5, .decay = 0.025, .filter = Filter::LowPass, .hz = 700, .seed = 12});
    Add(mix, Tone{.length = 0.07, .hz = 190, .endHz = 120, .level = 0.35, .attack = 0.002, .decay = 0.02});
    return Finish(mix);
}

// A bomb: a deep falling boom under a roar of noise that darkens as it fades.
std::vector<int16_t> Bomb()
{
    Mix mix;
    Add(mix, Tone{.length = 0.9,
                  .hz = 120,
                  .endHz = 38,
                  .level = 1.0,
                  .attack = 0.004,
                  .decay = 0.28,
                  .swoop = true});
    Add(mix, Tone{.length = 0.6,
                  .hz = 240,
                  .endHz = 76,
                  .level = 0.3,
                  .attack = 0.004,
                  .decay = 0.12,
                  .swoop = true});
    Add(mix, Burst{.length = 0.85,
                   .level = 1.4,
                   .attack = 0.003,
                   .decay = 0.2,
                   .filter = Filter::LowPass,
                   .hz = 1400,
                   .endHz = 150,
                   .seed = 21});
    Add(mix, Burst{.length = 0.05,
                   .level = 0.35,
                   .decay = 0.01,
                   .filter = Filter::HighPass,
                   .hz = 2500,
                   .seed = 22});
    return Finish(mix);
}

// The bomb of all four jokers: two booms, longer and deeper, and a sparkle of bell pings
// climbing over them.
std::vector<int16_t> KingBomb()
{
    Mix mix;
    for (int i = 0; i < 2; ++i)
    {
        const double at = 0.14 * i;
        Add(mix, Tone{.start = at,
                      .length = 1.3 - at,
                      .hz = 100,
                      .endHz = 28,
                      .level = 1.0 - 0.3 * i,
                      .attack = 0.004,
                      .decay = 0.4,
                      .swoop = true});
        Add(mix, Burst{.start = at,
                       .length = 1.2 - at,
                       .level = 1.3 - 0.4 * i,
                       .attack = 0.003,
                       .decay = 0.3,
                       .filter = Filter::LowPass,
                       .hz = 1600,
                       .endHz = 110,
                       .seed = static_cast<uint32_t>(31 + i)});
    }
    Add(mix, Burst{.length = 0.06,
                   .level = 0.4,
                   .decay = 0.012,
                   .filter = Filter::HighPass,
                   .hz = 2500,
                   .seed = 33});
    // The sparkle: pings a little off a rising line, from a fixed seed.
    uint32_t random = 34;
    for (int i = 0; i < 16; ++i)
    {
        random = random * 1103515245u + 12345u;
        const double jitter = static_cast<double>((random >> 16) % 200) / 1000.0;
        Add(mix, Tone{.start = 0.3 + 0.055 * i,
                      .length = 0.22,
                      .hz = (1500 + 220.0 * i) * (0.9 + jitter),
                      .level = 0.1 + 0.012 * i,
                      .attack = 0.002,
                      .decay = 0.07,
                      .wave = Wave::Bell});
    }
    return Finish(mix);
}

// A pass: one soft, low knock on the table.
std::vector<int16_t> Pass()
{
    Mix mix;
    Add(mix, Tone{.length = 0.16, .hz = 210, .endHz = 150, .level = 0.8, .attack = 0.002, .decay = 0.035});
    Add(mix, Tone{.length = 0.08, .hz = 480, .level = 0.15, .attack = 0.002, .decay = 0.015});
    Add(mix, Burst{.length = 0.05,
                   .level = 0.8,
                   .decay = 0.01,
                   .filter = Filter::BandPass,
                   .hz = 500,
                   .q = 2,
                   .seed = 41});
    return Finish(mix, kSoftPeak);
}

// A refused play: a buzz on two falling notes.
std::vector<int16_t> PlayRefused()
{
    Mix mix;
    Add(mix, Tone{.length = 0.15, .hz = 392, .level = 0.5, .attack = 0.004, .decay = 0.3, .wave = Wave::Saw});
    Add(mix, Tone{.start = 0.17,
                  .length = 0.2,
                  .hz = 311.13,
                  .level = 0.5,
                  .attack = 0.004,
                  .decay = 0.25,
                  .wave = Wave::Saw});
    // A buzz is loud for its peak: it sits lower than the other effects.
    return Finish(mix, kSoftPeak);
}

// One tick of the turn clock: a dry, woody tick, quiet enough to hear ten times in a row.
std::vector<int16_t> ClockTick()
{
    Mix mix;
    Add(mix, Burst{.length = 0.05,
                   .level = 2.0,
                   .decay = 0.006,
                   .filter = Filter::BandPass,
                   .hz = 3200,
                   .q = 4,
                   .seed = 51});
    Add(mix, Tone{.length = 0.06, .hz = 1750, .level = 0.4, .attack = 0.001, .decay = 0.012});
    Add(mix, Tone{.length = 0.04, .hz = 4300, .level = 0.15, .attack = 0.001, .decay = 0.006});
    return Finish(mix, kSoftPeak);
}

// A sparkling heart: bell chimes of a bright chord, shimmering, with a few high glints.
std::vector<int16_t> HeartThrown()
{
    Mix mix;
    const double chime[4] = {1318.5, 1661.2, 1975.5, 2637.0};
    for (int i = 0; i < 4; ++i)
        Add(mix, Tone{.start = 0.05 * i,
                      .length = 1.1 - 0.05 * i,
                      .hz = chime[i],
                      .level = 0.3,
                      .attack = 0.003,
                      .decay = 0.3,
                      .wave = Wave::Bell,
                      .tremolo = 11});
    const double glints[5] = {3520, 4186, 3951, 4699, 5274};
    for (int i = 0; i < 5; ++i)
        Add(mix, Tone{.start = 0.25 + 0.11 * i,
                      .length = 0.15,
                      .hz = glints[i],
                      .level = 0.08,
                      .attack = 0.002,
                      .decay = 0.04});
    return Finish(mix);
}

// A flower given: a soft, slow arpeggio of a major chord.
std::vector<int16_t> FlowerGiven()
{
    Mix mix;
    const double notes[5] = {698.46, 880.0, 1046.5, 1396.9, 1760.0};
    for (int i = 0; i < 5; ++i)
        Add(mix, Tone{.start = 0.13 * i,
                      .length = 1.25 - 0.13 * i,
                      .hz = notes[i],
                      .level = 0.3,
                      .attack = 0.025,
                      .decay = 0.35,
                      .wave = Wave::Warm});
    return Finish(mix);
}

// Dung thrown: a wet splat, then a squelch whose resonance sinks, and a comic low blorp.
std::vector<int16_t> DungThrown()
{
    Mix mix;
    Add(mix, Burst{.length = 0.12,
                   .level = 1.0,
                   .attack = 0.002,
                   .decay = 0.03,
                   .filter = Filter::LowPass,
                   .hz = 2500,
                   .endHz = 900,
                   .seed = 61});
    Add(mix, Burst{.start = 0.03,
                   .length = 0.45,
                   .level = 2.5,
                   .attack = 0.01,
                   .decay = 0.14,
                   .filter = Filter::BandPass,
                   .hz = 1100,
                   .endHz = 170,
                   .q = 6,
                   .seed = 62});
    Add(mix, Tone{.start = 0.08,
                  .length = 0.3,
                  .hz = 330,
                  .endHz = 85,
                  .level = 0.45,
                  .attack = 0.01,
                  .decay = 0.12,
                  .wave = Wave::Warm,
                  .swoop = true,
                  .tremolo = 18});
    return Finish(mix);
}

// A brick thrown: a hard crack, a heavy thud, and crumbs of debris after it.
std::vector<int16_t> BrickThrown()
{
    Mix mix;
    Add(mix, Burst{.length = 0.04,
                   .level = 1.2,
                   .attack = 0.0005,
                   .decay = 0.008,
                   .filter = Filter::HighPass,
                   .hz = 1800,
                   .seed = 71});
    Add(mix, Tone{.length = 0.3,
                  .hz = 110,
                  .endHz = 55,
                  .level = 1.0,
                  .attack = 0.002,
                  .decay = 0.07,
                  .swoop = true});
    Add(mix, Burst{.length = 0.15,
                   .level = 1.4,
                   .attack = 0.001,
                   .decay = 0.04,
                   .filter = Filter::BandPass,
                   .hz = 750,
                   .q = 1.5,
                   .seed = 72});
    for (int i = 0; i < 3; ++i)
        Add(mix, Burst{.start = 0.07 + 0.055 * i,
                       .length = 0.06,
                       .level = 0.5 - 0.12 * i,
                       .decay = 0.012,
                       .filter = Filter::BandPass,
                       .hz = 1400.0 + 500 * i,
                       .q = 2,
                       .seed = static_cast<uint32_t>(73 + i)});
    return Finish(mix);
}

// The speech synthesiser, in one session for every line: it keeps its state in the process.
class Speaker
{
public:
    Speaker()
    {
        if (espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT) != kRate)
            throw std::runtime_error("the speech synthesiser could not start (espeak-ng data missing?)");
        espeak_SetSynthCallback(&Speaker::Collect);
    }
    ~Speaker() { espeak_Terminate(); }
    Speaker(const Speaker&) = delete;
    Speaker& operator=(const Speaker&) = delete;

    // The words, spoken by a man or a woman, without the silence around them and at the level of
    // the effects.
    std::vector<int16_t> Say(const std::string& words, SoundKind kind)
    {
        // The plain Mandarin voice of this espeak-ng reads the tone numbers of its own
        // transcription as English digits; the one that takes Latin letters as pinyin does not.
        const bool male = kind == SoundKind::MaleVoice;
        if (espeak_SetVoiceByName(male ? "cmn-Latn-pinyin" : "cmn-Latn-pinyin+f3") != EE_OK)
            throw std::runtime_error("the speech synthesiser has no Mandarin voice");
        espeak_SetParameter(espeakRATE, 170, 0);
        espeak_SetParameter(espeakPITCH, male ? 56 : 72, 0);
        espeak_SetParameter(espeakRANGE, male ? 60 : 70, 0);
        std::vector<int16_t> spoken;
        if (espeak_Synth(words.c_str(), words.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
                         &spoken) != EE_OK)
            throw std::runtime_error("the speech synthesiser failed on \"" + words + "\"");
        return Trimmed(spoken);
    }

private:
    static int Collect(short* wave, int count, espeak_EVENT* events)
    {
        auto* spoken = static_cast<std::vector<int16_t>*>(events->user_data);
        if (wave != nullptr && spoken != nullptr)
            spoken->insert(spoken->end(), wave, wave + count);
        return 0;
    }

    static std::vector<int16_t> Trimmed(const std::vector<int16_t>& spoken)
    {
        // Quieter than this is the synthesiser's silence and breath before and after the words.
        const auto loud = [](int16_t s) { return s > 300 || s < -300; };
        const auto first = std::find_if(spoken.begin(), spoken.end(), loud);
        if (first == spoken.end())
            throw std::runtime_error("the speech synthesiser said nothing");
        const auto last = std::find_if(spoken.rbegin(), spoken.rend(), loud).base();
        // Keep 30 ms around the words, so their soft first and last sounds are not cut.
        const size_t margin = kRate * 30 / 1000;
        const size_t from =
            static_cast<size_t>(first - spoken.begin()) > margin ? first - spoken.begin() - margin : 0;
        const size_t to = std::min(spoken.size(), static_cast<size_t>(last - spoken.begin()) + margin);
        Mix mix;
        for (size_t i = from; i < to; ++i)
            mix.push_back(spoken[i]);
        return Finish(mix);
    }
};
} // namespace

const std::vector<SoundFile>& SoundFiles()
{
    static const std::vector<SoundFile> files = []
    {
        std::vector<SoundFile> list = {
            {"sound\\gameLoby\\button.wav", SoundKind::Effect, "", &Click},
            {"sound\\qipai\\start.ogg", SoundKind::Effect, "", &HandStarts},
            {"sound\\qipai\\win.ogg", SoundKind::Effect, "", &HandWon},
            {"sound\\qipai\\give.ogg", SoundKind::Effect, "", &CardPlayed},
            {"sound\\qipai\\brshj.ogg", SoundKind::Effect, "", &Bomb},
            {"sound\\qipai\\brshj1.ogg", SoundKind::Effect, "", &KingBomb},
            {"sound\\qipai\\pass.ogg", SoundKind::Effect, "", &Pass},
            {"sound\\qipai\\wrongGive.ogg", SoundKind::Effect, "", &PlayRefused},
            {"sound\\qipai\\dwonclock.ogg", SoundKind::Effect, "", &ClockTick},
            {"sound\\effect\\ogg\\effect_1.ogg", SoundKind::Effect, "", &HeartThrown},
            {"sound\\effect\\ogg\\effect_2.ogg", SoundKind::Effect, "", &FlowerGiven},
            {"sound\\effect\\ogg\\effect_3.ogg", SoundKind::Effect, "", &DungThrown},
            {"sound\\effect\\ogg\\effect_4.ogg", SoundKind::Effect, "", &BrickThrown},
        };
        // The bids, by a man and by a woman. "不" before a falling tone and "一" in a score
        // change their tone; the synthesiser reads them alone, so they are spelt out.
        const char8_t* const bids[4] = {u8"bu2叫", u8"yi4分", u8"两分", u8"三分"};
        for (int bid = 0; bid < 4; ++bid)
            for (SoundKind kind : {SoundKind::MaleVoice, SoundKind::FemaleVoice})
                list.push_back({"sound\\kavdor\\" + std::to_string(bid) +
                                    (kind == SoundKind::MaleVoice ? "_m" : "_f") + ".ogg",
                                kind, Utf8(bids[bid])});
        // The lines of the faces. A line of nothing but symbols is a curse that cannot be
        // printed (an angry mutter) or speechless embarrassment (a sigh); "5555" is crying.
        const char8_t* const faces[18] = {
            u8"大家早上好啊！",
            u8"哈哈哈，你太有才了！",
            u8"he1he1，这可真有意思。",
            u8"哼！wa1la1wa1la1wa1la1！",
            u8"黎叔很生气，后果很严重！",
            u8"我跟你丫死磕！",
            u8"哦哟，美女！", // the man's line; the woman says 帅哥 below
            u8"讨厌啦！",
            u8"恩，来亲yi4口先。",
            u8"我de2意的笑，我de2意的笑。",
            u8"你还真有趣。",
            u8"这，是真的吗？",
            u8"哼，你们都欺负我，呜呜呜呜。",
            u8"bu2要再折磨我了！",
            u8"咬死你，咬死你！",
            u8"晕了，不行了。",
            u8"呃……唉。",
            u8"小样！你已经被我看穿了。",
        };
        for (int face = 1; face <= 18; ++face)
            for (SoundKind kind : {SoundKind::MaleVoice, SoundKind::FemaleVoice})
            {
                const bool male = kind == SoundKind::MaleVoice;
                list.push_back({"sound\\effect\\ogg\\" + std::string(male ? "man2_" : "woman1_") +
                                    std::to_string(face) + ".ogg",
                                kind, Utf8(face == 7 && !male ? u8"哦哟，帅哥！" : faces[face - 1])});
            }
        return list;
    }();
    return files;
}

void WriteSounds(Output& out)
{
    Speaker speaker;
    for (const SoundFile& file : SoundFiles())
    {
        const std::vector<int16_t> samples =
            file.kind == SoundKind::Effect ? file.effect() : speaker.Say(file.words, file.kind);
        if (file.path.ends_with(".wav"))
            out.Write(file.path, Wav(samples));
        else
            out.Write(file.path, OggVorbis(samples, file.path));
    }
}
} // namespace skin
