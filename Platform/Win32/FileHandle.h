#pragma once
// Files opened as handles. Only the crash record writes through these: in that path no memory
// may be allocated, so a handle is the file descriptor itself in disguise (see Sync.h) and
// opening a file whose path needs no case lookup allocates nothing.

#include "WinTypes.h"

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u

#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u

// Opens or creates a file with a Windows-form path. Sharing, security, flags and template are
// accepted and ignored. INVALID_HANDLE_VALUE with the error in GetLastError on failure.
// When the path exists as written up to its last component, the file is created under the name
// as written, even if a name differing only in letter case is there (the lookup would allocate).
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES attributes,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL WriteFile(HANDLE file, const void* data, DWORD count, LPDWORD written, LPVOID overlapped);
