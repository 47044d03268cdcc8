// Feeds arbitrary bytes to the ".ani" reader and checks what must hold for any input:
//  - a refused input leaves no frames and no hold time;
//  - an accepted one has at most 1000 frames, each exactly height × pitch bytes of a texture
//    format, and the input held every byte of it (zlib expands at most about 1032 times);
//  - writing the frames out and reading that file gives the same frames and hold time.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "KelAniFile.h"

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
        char pattern[] = "/tmp/ani-fuzz-XXXXXX";
        int fd = mkstemp(pattern);
        Check(fd >= 0, "cannot create the work file");
        close(fd);
        return std::string(pattern);
    }();
    return path;
}

std::vector<uint8_t> ReadWhole(const std::string& path)
{
    std::vector<uint8_t> bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    Check(file != nullptr, "cannot read the work file");
    uint8_t chunk[65536];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + count);
    std::fclose(file);
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    KelAniContent content;
    if (!KelReadAniFile(data, size, content))
    {
        Check(content.frames.empty() && content.holdTime == 0, "refused input left content");
        return 0;
    }
    Check(content.frames.size() <= static_cast<size_t>(kKelAniMaxFrames), "too many frames");
    size_t total = 0;
    for (const KelAniFrame& frame : content.frames)
    {
        uint32_t pitch = KelAniFramePitch(frame.desc);
        Check(pitch != 0, "frame that is no texture");
        Check(frame.pixels.size() == static_cast<size_t>(pitch) * frame.desc.Height, "pixel bytes differ");
        total += frame.pixels.size();
    }
    Check(total <= size * 1100, "more pixel bytes than the input can hold");

    Check(KelWriteAniFile(WorkFile().c_str(), content), "accepted frames cannot be written");
    std::vector<uint8_t> written = ReadWhole(WorkFile());
    unlink(WorkFile().c_str());
    KelAniContent again;
    Check(KelReadAniFile(written.data(), written.size(), again), "written file is refused");
    Check(again.holdTime == content.holdTime && again.frames.size() == content.frames.size(),
          "counts differ");
    for (size_t i = 0; i < again.frames.size(); ++i)
    {
        const KelAniFrame& a = again.frames[i];
        const KelAniFrame& b = content.frames[i];
        Check(a.duration == b.duration && std::memcmp(&a.desc, &b.desc, sizeof a.desc) == 0 &&
                  a.pixels == b.pixels,
              "frame differs after writing");
    }
    return 0;
}
