#pragma once
// Sound files made on the spot for the sound tests: canonical WAV, Ogg Vorbis (encoded with
// libvorbisenc) and MPEG audio frames of silence.

#include <cstdint>
#include <string>
#include <vector>

// 16-bit samples of a sine of the given amplitude, interleaved over the channels (the same on
// every channel).
std::vector<int16_t> SineSamples(int channels, int rate, double hz, double seconds, int amplitude);

// A canonical 44-byte-header WAV file of 16-bit samples.
std::string CanonicalWav(int channels, int rate, const std::vector<int16_t>& samples);
// The same with 8-bit unsigned samples.
std::string CanonicalWav8(int channels, int rate, const std::vector<uint8_t>& samples);

// An Ogg Vorbis file of the samples.
std::string OggVorbisFile(int channels, int rate, const std::vector<int16_t>& samples);

// MPEG-1 Layer II frames at 128 kbit/s, 44.1 kHz stereo, whose subbands carry no bits: each
// decodes to 1152 sample frames of silence.
std::string MpegSilence(int frames);
