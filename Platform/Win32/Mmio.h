#pragma once
// The multimedia file functions that read RIFF files (WAV sounds): open a file or a block of
// memory, descend into chunks and ascend out of them, read and seek.
//
// Only reading is offered. The files are untrusted: a chunk is found only when its header lies
// wholly inside its parent and the file, and reads stop at the end of the data that exists, so a
// chunk size that claims more than the file holds gives a short read, never a read beyond it.
// A chunk's size is reported as the file states it.

#include <cstdint>
#include <cstdio>

#include "WinTypes.h"

typedef DWORD FOURCC;
typedef char* HPSTR;
struct MmioFile;
typedef MmioFile* HMMIO;
typedef UINT MMRESULT;

constexpr FOURCC mmioFOURCC(char a, char b, char c, char d)
{
    return static_cast<FOURCC>(static_cast<uint8_t>(a)) |
           (static_cast<FOURCC>(static_cast<uint8_t>(b)) << 8) |
           (static_cast<FOURCC>(static_cast<uint8_t>(c)) << 16) |
           (static_cast<FOURCC>(static_cast<uint8_t>(d)) << 24);
}

#define FOURCC_RIFF mmioFOURCC('R', 'I', 'F', 'F')
#define FOURCC_LIST mmioFOURCC('L', 'I', 'S', 'T')
#define FOURCC_MEM mmioFOURCC('M', 'E', 'M', ' ')

#define MMSYSERR_NOERROR 0u
#define MMIOERR_FILENOTFOUND 257u
#define MMIOERR_OUTOFMEMORY 258u
#define MMIOERR_CANNOTSEEK 263u
#define MMIOERR_CANNOTREAD 261u
#define MMIOERR_CHUNKNOTFOUND 265u

#define MMIO_READ 0x00000000u
#define MMIO_WRITE 0x00000001u
#define MMIO_READWRITE 0x00000002u
#define MMIO_ALLOCBUF 0x00010000u
#define MMIO_FINDCHUNK 0x0010u
#define MMIO_FINDRIFF 0x0020u
#define MMIO_FINDLIST 0x0040u

struct MMCKINFO
{
    FOURCC ckid;
    DWORD cksize;
    FOURCC fccType;
    DWORD dwDataOffset;
    DWORD dwFlags;
};
typedef MMCKINFO* LPMMCKINFO;

// Only the fields a memory file needs: fccIOProc FOURCC_MEM, the block and its size. The
// caller keeps the block alive while the file is open.
struct MMIOINFO
{
    DWORD dwFlags;
    FOURCC fccIOProc;
    void* pIOProc;
    UINT wErrorRet;
    void* htask;
    LONG cchBuffer;
    HPSTR pchBuffer;
    HPSTR pchNext;
    HPSTR pchEndRead;
    HPSTR pchEndWrite;
    LONG lBufOffset;
    LONG lDiskOffset;
    DWORD adwInfo[3];
    DWORD dwReserved1;
    DWORD dwReserved2;
    HMMIO hmmio;
};
typedef MMIOINFO* LPMMIOINFO;

// Opens a file (a path in Windows form) for reading, or with info->fccIOProc == FOURCC_MEM the
// memory block info describes (the name is then ignored). Null on failure, with
// info->wErrorRet set when info is given. Writing modes are refused.
HMMIO mmioOpenA(LPSTR name, LPMMIOINFO info, DWORD flags);
MMRESULT mmioClose(HMMIO file, UINT flags);
// Bytes read (0 at the end), or -1 for a null file or a negative count.
LONG mmioRead(HMMIO file, HPSTR buffer, LONG count);
// SEEK_SET, SEEK_CUR or SEEK_END: the new position, or -1 when it would lie before the start.
LONG mmioSeek(HMMIO file, LONG offset, int origin);
// Reads the chunk header at the current position into chunk, or with MMIO_FINDCHUNK,
// MMIO_FINDRIFF or MMIO_FINDLIST looks from there for the first chunk of chunk->ckid (or a RIFF
// or LIST chunk of chunk->fccType) inside the parent; leaves the position at the chunk's data
// (after the form type of a RIFF or LIST chunk).
MMRESULT mmioDescend(HMMIO file, LPMMCKINFO chunk, const MMCKINFO* parent, UINT flags);
// Moves to the end of the chunk, past its pad byte.
MMRESULT mmioAscend(HMMIO file, LPMMCKINFO chunk, UINT flags);
