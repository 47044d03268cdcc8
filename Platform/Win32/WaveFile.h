#pragma once
// Reading a RIFF WAVE file with the multimedia file functions (Mmio.h): the "fmt " chunk (the 16
// bytes every format has and, for formats other than PCM, a count and that many extra bytes) and
// the whole "data" chunk, as the file has them. The sound effects of the engine and PlaySoundA
// read their WAV files this way.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "WinTypes.h"

struct WaveFileData
{
    WORD formatTag = 0;
    WORD channels = 0;
    DWORD samplesPerSec = 0;
    DWORD avgBytesPerSec = 0;
    WORD blockAlign = 0;
    WORD bitsPerSample = 0;
    std::vector<uint8_t> extra;
    std::vector<uint8_t> samples;
};

// Null on success; otherwise what was wrong with the file (and `out` is emptied). A data chunk
// larger than maxDataBytes, empty, or shorter than its size is refused.
const char* ReadWaveFile(const char* path, size_t maxDataBytes, WaveFileData* out);
