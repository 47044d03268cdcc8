// Feeds arbitrary bytes to the zip reader as an archive file and checks what must hold for any
// input. The input is a member name, a newline, then the archive's bytes, so that the fuzzer
// can name the members it builds. For any input:
//  - a damaged archive is refused or read without a crash;
//  - a member is read in pieces no larger than asked for, never more in all than its size;
//  - reading with no member open, or into no buffer, is refused (-1);
//  - opening the same member again reads the same bytes.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "Zip/ZipArchive.h"

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

// The member's bytes, read in pieces of `piece`; false when the reader reported damage.
bool ReadAll(IZipArchive* archive, uint32_t piece, std::vector<uint8_t>& out)
{
    const uint32_t size = archive->GetMemberSize();
    std::vector<uint8_t> buffer(piece);
    out.clear();
    // Bounded: a member claiming a huge size still ends, or is cut off here.
    while (out.size() < (1u << 22))
    {
        const int got = archive->ReadMember(buffer.data(), piece);
        if (got < 0)
            return false;
        Check(static_cast<uint32_t>(got) <= piece, "a read returned more than asked for");
        if (got == 0)
            break;
        out.insert(out.end(), buffer.begin(), buffer.begin() + got);
        Check(size == 0xFFFFFFFFu || out.size() <= size, "more bytes read than the member holds");
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    size_t split = 0;
    while (split < size && split < 64 && data[split] != '\n')
        ++split;
    if (split >= size || split == 0)
        return 0;
    const std::string member(reinterpret_cast<const char*>(data), split);
    if (member.find('\0') != std::string::npos)
        return 0;
    static const std::string path = "/tmp/kavdor-zip-fuzz-" + std::to_string(getpid()) + ".zip";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return 0;
    std::fwrite(data + split + 1, 1, size - split - 1, file);
    std::fclose(file);

    IZipArchive* archive = CreateZipFile(path.c_str());
    if (archive == nullptr)
        return 0;
    std::vector<uint8_t> buffer(16);
    Check(archive->ReadMember(buffer.data(), 16) == -1, "a read with no member open was taken");
    if (archive->OpenMember(member.c_str()) == 1)
    {
        Check(archive->ReadMember(nullptr, 16) == -1, "a read into no buffer was taken");
        std::vector<uint8_t> first;
        std::vector<uint8_t> second;
        const bool intact = ReadAll(archive, 7, first);
        archive->CloseMember();
        Check(archive->ReadMember(buffer.data(), 16) == -1, "a read after closing was taken");
        Check(archive->OpenMember(member.c_str()) == 1, "the member did not open again");
        const bool again = ReadAll(archive, 4096, second);
        Check(intact == again, "the member read differently the second time");
        if (intact)
            Check(first == second, "the member's bytes differ between two readings");
    }
    archive->Release();
    return 0;
}
