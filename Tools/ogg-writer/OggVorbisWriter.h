#pragma once
// Encodes 16-bit samples as an Ogg Vorbis file in memory, for the skin's sounds and the tests of
// the decoders. The same samples and serial number give the same bytes on every run.

#include <cstdint>
#include <vector>

// `samples` interleaves `channels` channels at `rate` frames per second; a trailing partial frame
// is dropped. Throws std::runtime_error when the encoder refuses the channels and rate.
std::vector<uint8_t> KavdorEncodeOggVorbis(int channels, int rate, const std::vector<int16_t>& samples,
                                           uint32_t serial);
