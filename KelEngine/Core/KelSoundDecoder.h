#pragma once
// Decoding of effect files into PCM, ahead of filling a sound buffer.
//
// An effect file is one of three kinds, told apart by its first 44 bytes:
// - a canonical WAV file: "RIFF" ... "WAVE", the "fmt " chunk at byte 12 and the "data" chunk id
//   at byte 36. It is read with the multimedia file functions (RIFF chunks), and its data chunk
//   is the sound as it stands, in the file's own format;
// - an Ogg Vorbis file (the first four bytes "OggS"), decoded by vorbisfile to 16-bit signed
//   little-endian PCM with the stream's channels and rate;
// - anything else, decoded as MPEG audio by libmad to 16-bit PCM, stereo unless the first frame
//   is mono, at the first frame's rate, each sample dithered down from libmad's fixed point.
//
// The files are untrusted: a header that lies about its sizes, a broken Ogg page or data that is
// not MPEG audio at all gives false, with a line in the log saying which file failed and why,
// and leaves the output empty. No decoded sound may exceed kKelMaxDecodedSoundBytes.

#include <cstddef>
#include <cstdint>
#include <vector>

// The format of decoded sound, field for field the wave format the sound buffers take.
struct KelSoundFormat
{
    uint16_t formatTag = 1; // PCM
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    // Extra format bytes of a non-PCM WAV format, as the file has them.
    std::vector<uint8_t> extra;
};

struct KelDecodedSound
{
    KelSoundFormat format;
    std::vector<uint8_t> data;
};

enum class KelSoundFileKind
{
    Wave,
    Ogg,
    Mpeg,
};

// Larger than any effect or piece of music the system plays (ten minutes of 44.1 kHz stereo is
// 106 MB), small enough that a lying header cannot make a process allocate without bound.
constexpr size_t kKelMaxDecodedSoundBytes = 160u * 1024u * 1024u;

// The 16-bit PCM format of the given channels and rate.
KelSoundFormat KelPcm16Format(uint16_t channels, uint32_t samplesPerSec);

bool KelIsCanonicalWaveHeader(const uint8_t* header, size_t size);
KelSoundFileKind KelSniffSoundFile(const uint8_t* header, size_t size);

// Each decoder reads the file at a path in Windows form.
bool KelDecodeWaveFile(const char* path, KelDecodedSound* out);
bool KelDecodeOggFile(const char* path, KelDecodedSound* out);
bool KelDecodeMpegFile(const char* path, KelDecodedSound* out);
// Sniffs the file's first bytes and hands it to its decoder.
bool KelLoadEffectFile(const char* path, KelDecodedSound* out);

// One step of the MPEG decoder's reduction of a libmad sample (28 fraction bits) to 16 bits:
// triangular dither from a linear congruential generator, rounding, clipping. Exposed for tests.
int16_t KelDitherMadSample(int32_t sample, uint32_t* random);
