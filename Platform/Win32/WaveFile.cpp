#include "Win32/WaveFile.h"

#include <memory>
#include <string>
#include <type_traits>

#include "Win32/Mmio.h"

namespace
{
struct MmioCloser
{
    void operator()(HMMIO file) const { mmioClose(file, 0); }
};
using MmioPtr = std::unique_ptr<std::remove_pointer_t<HMMIO>, MmioCloser>;

uint16_t ReadU16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t ReadU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool ReadFormat(HMMIO file, const MMCKINFO& chunk, WaveFileData* out)
{
    if (chunk.cksize < 16)
        return false;
    uint8_t common[16];
    if (mmioRead(file, reinterpret_cast<HPSTR>(common), 16) != 16)
        return false;
    out->formatTag = ReadU16(common);
    out->channels = ReadU16(common + 2);
    out->samplesPerSec = ReadU32(common + 4);
    out->avgBytesPerSec = ReadU32(common + 8);
    out->blockAlign = ReadU16(common + 12);
    out->bitsPerSample = ReadU16(common + 14);
    if (out->formatTag != 1 && chunk.cksize >= 18)
    {
        uint8_t sizeBytes[2];
        if (mmioRead(file, reinterpret_cast<HPSTR>(sizeBytes), 2) != 2)
            return false;
        const uint16_t extraSize = ReadU16(sizeBytes);
        if (extraSize > chunk.cksize - 18)
            return false;
        out->extra.resize(extraSize);
        if (extraSize > 0 && mmioRead(file, reinterpret_cast<HPSTR>(out->extra.data()), extraSize) !=
                                 static_cast<LONG>(extraSize))
            return false;
    }
    return out->channels > 0 && out->samplesPerSec > 0 && out->blockAlign > 0;
}

const char* Read(const char* path, size_t maxDataBytes, WaveFileData* out)
{
    std::string name(path != nullptr ? path : "");
    MmioPtr file(mmioOpenA(name.data(), nullptr, MMIO_ALLOCBUF | MMIO_READ));
    if (file == nullptr)
        return "cannot open";
    MMCKINFO riff{};
    if (mmioDescend(file.get(), &riff, nullptr, 0) != MMSYSERR_NOERROR || riff.ckid != FOURCC_RIFF ||
        riff.fccType != mmioFOURCC('W', 'A', 'V', 'E'))
        return "not a RIFF WAVE file";
    MMCKINFO chunk{};
    chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
    if (mmioDescend(file.get(), &chunk, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR ||
        !ReadFormat(file.get(), chunk, out) || mmioAscend(file.get(), &chunk, 0) != MMSYSERR_NOERROR)
        return "bad fmt chunk";
    chunk = MMCKINFO{};
    chunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
    if (mmioDescend(file.get(), &chunk, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR)
        return "no data chunk";
    if (chunk.cksize == 0 || chunk.cksize > maxDataBytes)
        return "data chunk size out of range";
    out->samples.resize(chunk.cksize);
    if (mmioRead(file.get(), reinterpret_cast<HPSTR>(out->samples.data()), static_cast<LONG>(chunk.cksize)) !=
        static_cast<LONG>(chunk.cksize))
        return "data chunk shorter than its size";
    return nullptr;
}
} // namespace

const char* ReadWaveFile(const char* path, size_t maxDataBytes, WaveFileData* out)
{
    *out = WaveFileData{};
    const char* failure = Read(path, maxDataBytes, out);
    if (failure != nullptr)
        *out = WaveFileData{};
    return failure;
}
