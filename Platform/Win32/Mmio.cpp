#include "Win32/Mmio.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "Win32/Files.h"

struct MmioFile
{
    // A file on disk, or a memory block of the caller's.
    FILE* file = nullptr;
    const uint8_t* memory = nullptr;
    uint64_t size = 0;
    uint64_t position = 0;

    ~MmioFile()
    {
        if (file != nullptr)
            std::fclose(file);
    }

    size_t ReadAt(uint64_t at, void* out, size_t count)
    {
        if (at >= size)
            return 0;
        count = static_cast<size_t>(std::min<uint64_t>(count, size - at));
        if (memory != nullptr)
        {
            std::memcpy(out, memory + at, count);
            return count;
        }
        if (fseeko(file, static_cast<off_t>(at), SEEK_SET) != 0)
            return 0;
        return std::fread(out, 1, count, file);
    }
};

namespace
{
uint32_t ReadU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// The chunk header at `at`, if all of it lies below `limit`.
bool ReadHeader(MmioFile* file, uint64_t at, uint64_t limit, MMCKINFO* chunk)
{
    uint8_t header[12];
    if (at + 8 > limit || file->ReadAt(at, header, 8) != 8)
        return false;
    chunk->ckid = ReadU32(header);
    chunk->cksize = ReadU32(header + 4);
    chunk->fccType = 0;
    chunk->dwFlags = 0;
    chunk->dwDataOffset = static_cast<DWORD>(at + 8);
    if (chunk->ckid == FOURCC_RIFF || chunk->ckid == FOURCC_LIST)
    {
        if (at + 12 > limit || file->ReadAt(at + 8, header + 8, 4) != 4)
            return false;
        chunk->fccType = ReadU32(header + 8);
    }
    return true;
}

bool Matches(const MMCKINFO& found, const MMCKINFO& wanted, UINT flags)
{
    if ((flags & MMIO_FINDCHUNK) != 0)
        return found.ckid == wanted.ckid;
    if ((flags & MMIO_FINDRIFF) != 0)
        return found.ckid == FOURCC_RIFF && found.fccType == wanted.fccType;
    if ((flags & MMIO_FINDLIST) != 0)
        return found.ckid == FOURCC_LIST && found.fccType == wanted.fccType;
    return true;
}
} // namespace

HMMIO mmioOpenA(LPSTR name, LPMMIOINFO info, DWORD flags)
{
    const auto fail = [info](UINT error) -> HMMIO
    {
        if (info != nullptr)
            info->wErrorRet = error;
        return nullptr;
    };
    if ((flags & (MMIO_WRITE | MMIO_READWRITE)) != 0)
        return fail(MMIOERR_CANNOTREAD);
    auto* file = new (std::nothrow) MmioFile;
    if (file == nullptr)
        return fail(MMIOERR_OUTOFMEMORY);
    if (info != nullptr && info->fccIOProc == FOURCC_MEM)
    {
        if (info->pchBuffer == nullptr || info->cchBuffer < 0)
        {
            delete file;
            return fail(MMIOERR_FILENOTFOUND);
        }
        file->memory = reinterpret_cast<const uint8_t*>(info->pchBuffer);
        file->size = static_cast<uint64_t>(info->cchBuffer);
    }
    else
    {
        file->file = name != nullptr ? Win32OpenFile(name, "rb") : nullptr;
        if (file->file == nullptr || fseeko(file->file, 0, SEEK_END) != 0)
        {
            delete file;
            return fail(MMIOERR_FILENOTFOUND);
        }
        file->size = static_cast<uint64_t>(std::max<off_t>(ftello(file->file), 0));
    }
    if (info != nullptr)
        info->wErrorRet = MMSYSERR_NOERROR;
    return file;
}

MMRESULT mmioClose(HMMIO file, UINT)
{
    delete file;
    return MMSYSERR_NOERROR;
}

LONG mmioRead(HMMIO file, HPSTR buffer, LONG count)
{
    if (file == nullptr || count < 0 || (buffer == nullptr && count > 0))
        return -1;
    const size_t read = file->ReadAt(file->position, buffer, static_cast<size_t>(count));
    file->position += read;
    return static_cast<LONG>(read);
}

LONG mmioSeek(HMMIO file, LONG offset, int origin)
{
    if (file == nullptr)
        return -1;
    int64_t base = 0;
    if (origin == SEEK_CUR)
        base = static_cast<int64_t>(file->position);
    else if (origin == SEEK_END)
        base = static_cast<int64_t>(file->size);
    else if (origin != SEEK_SET)
        return -1;
    const int64_t target = base + offset;
    if (target < 0 || target > INT32_MAX)
        return -1;
    file->position = static_cast<uint64_t>(target);
    return static_cast<LONG>(target);
}

MMRESULT mmioDescend(HMMIO file, LPMMCKINFO chunk, const MMCKINFO* parent, UINT flags)
{
    if (file == nullptr || chunk == nullptr)
        return MMIOERR_CHUNKNOTFOUND;
    uint64_t limit = file->size;
    if (parent != nullptr)
        limit = std::min<uint64_t>(limit, static_cast<uint64_t>(parent->dwDataOffset) + parent->cksize);
    const MMCKINFO wanted = *chunk;
    uint64_t at = file->position;
    for (;;)
    {
        MMCKINFO found{};
        if (!ReadHeader(file, at, limit, &found))
            return MMIOERR_CHUNKNOTFOUND;
        if (Matches(found, wanted, flags))
        {
            *chunk = found;
            const bool form = found.ckid == FOURCC_RIFF || found.ckid == FOURCC_LIST;
            file->position = static_cast<uint64_t>(found.dwDataOffset) + (form ? 4u : 0u);
            return MMSYSERR_NOERROR;
        }
        // On to the next chunk, past the pad byte of an odd size.
        at = static_cast<uint64_t>(found.dwDataOffset) + found.cksize + (found.cksize & 1u);
    }
}

MMRESULT mmioAscend(HMMIO file, LPMMCKINFO chunk, UINT)
{
    if (file == nullptr || chunk == nullptr)
        return MMIOERR_CANNOTSEEK;
    file->position = static_cast<uint64_t>(chunk->dwDataOffset) + chunk->cksize + (chunk->cksize & 1u);
    return MMSYSERR_NOERROR;
}
