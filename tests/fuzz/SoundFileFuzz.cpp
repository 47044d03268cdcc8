// Feeds arbitrary bytes, as a file, to the sound decoders and checks what must hold for any
// input:
//  - a refused file leaves no sound and no format;
//  - an accepted one has a format with channels, a rate and a block size, and sound bytes within
//    the decoded-size limit;
//  - the WAV reader (built as wav_header_fuzz) never gives more sound than the file has bytes;
//  - the effect loader (built as effect_loader_fuzz) gives whole 16-bit sample frames for every
//    kind it decodes itself, and reads a file the same way twice.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "KelLogCL.h"
#include "KelSoundDecoder.h"

namespace
{

void Check(bool condition, const char* what)
{
    if (!condition)
    {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

const std::string& WorkFile()
{
    static const std::string path = []
    {
        // Every refusal is logged; the log would only grow, so it is off.
        KelLogCL::GetInstance()->SetEnabled(0);
        char pattern[] = "/tmp/sound-fuzz-XXXXXX";
        int fd = mkstemp(pattern);
        Check(fd >= 0, "cannot create the work file");
        close(fd);
        return std::string(pattern);
    }();
    return path;
}

void CheckSound(bool accepted, const KelDecodedSound& sound)
{
    if (!accepted)
    {
        Check(sound.data.empty() && sound.format.channels == 0, "refused file left a sound");
        return;
    }
    Check(sound.format.channels > 0 && sound.format.samplesPerSec > 0 && sound.format.blockAlign > 0,
          "accepted sound without a format");
    Check(!sound.data.empty() && sound.data.size() <= kKelMaxDecodedSoundBytes, "sound size out of range");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FILE* file = std::fopen(WorkFile().c_str(), "wb");
    Check(file != nullptr, "cannot write the work file");
    Check(std::fwrite(data, 1, size, file) == size, "short write");
    std::fclose(file);

    KelDecodedSound sound;
#ifdef KAVDOR_FUZZ_WAVE_ONLY
    const bool accepted = KelDecodeWaveFile(WorkFile().c_str(), &sound);
    CheckSound(accepted, sound);
    Check(sound.data.size() <= size, "more sound than the file has bytes");
#else
    const bool accepted = KelLoadEffectFile(WorkFile().c_str(), &sound);
    CheckSound(accepted, sound);
    if (accepted && KelSniffSoundFile(data, size) != KelSoundFileKind::Wave)
        Check(sound.format.bitsPerSample == 16 && sound.data.size() % sound.format.blockAlign == 0,
              "decoded sound is not whole 16-bit frames");
    KelDecodedSound again;
    Check(KelLoadEffectFile(WorkFile().c_str(), &again) == accepted && again.data == sound.data,
          "the same file decoded differently");
#endif
    return 0;
}
