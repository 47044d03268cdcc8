#pragma once
// Paths, file attributes, directory search, the module path and the current directory.
//
// Paths are written the Windows way throughout the system ("\save\Game1.ini",
// "Config\Gui\guiConfig.xml"). This layer hands such paths out in the same form: a Linux
// absolute path "/opt/kd/run" is reported as "\opt\kd\run", so that code which cuts a path at
// its last backslash, or appends "\name", keeps working. Paths are narrow GBK strings; file
// names on disk are UTF-8 and are converted at this boundary.
//
// When a file is opened the backslashes become slashes, and if the path does not exist as
// written, each component is looked up without regard to letter case (ASCII letters), as the
// Windows file system would. Among several names that differ only in case the first in byte
// order is taken, so that the choice does not depend on the directory's listing order.

#include <cstdio>
#include <string>

#include "WinTypes.h"

// Turns a Windows-form path into the Linux path to use for it: slashes, UTF-8, and the letter
// case of the components that exist on disk. Components that do not exist (a file about to be
// created, or a missing folder) are kept as written.
std::string ResolveWin32Path(const char* path);

// fopen with a Windows-form path. The mode is that of the C library; the text-mode letter 't'
// is accepted and has no effect.
FILE* Win32OpenFile(const char* path, const char* mode);

#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u

// INVALID_FILE_ATTRIBUTES (and ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND) when the path
// does not exist; otherwise FILE_ATTRIBUTE_DIRECTORY for a folder, FILE_ATTRIBUTE_NORMAL for a
// plain file, with FILE_ATTRIBUTE_READONLY added when the owner may not write it. As on
// Windows, FILE_ATTRIBUTE_NORMAL is only ever reported alone, so a read-only plain file is
// FILE_ATTRIBUTE_READONLY by itself.
DWORD GetFileAttributesA(LPCSTR path);

struct FILETIME
{
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAA
{
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
};
typedef WIN32_FIND_DATAA* LPWIN32_FIND_DATAA;

// Directory search with a pattern in the last component ("dir\config\*.*"). '*' matches any
// run of characters and '?' one character, without regard to case; "*.*" matches every name,
// names without a dot included. Like Windows, a search of a folder that is not the root also
// yields "." and "..", ahead of the other entries, which come in case-insensitive name order.
// A name on disk that GBK cannot express is left out, since it could not be opened through
// the name handed out. The entries are taken when the search starts; cFileName is cut, never
// overflowed, and cAlternateFileName is empty. Returns INVALID_HANDLE_VALUE
// (ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND) when nothing matches.
HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data);
// FALSE with ERROR_NO_MORE_FILES after the last entry.
BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data);
// A handle that is not an open search (never opened, or closed already) gives FALSE with
// ERROR_INVALID_HANDLE.
BOOL FindClose(HANDLE find);

#ifndef ERROR_MOD_NOT_FOUND
#define ERROR_MOD_NOT_FOUND 126u
#endif

// The full Windows-form path of the executable (module null) or of the shared object that
// contains the address `module` (see Win32ThisModule). Copies at most size - 1 characters plus
// a terminator; when the path is cut, returns size and sets ERROR_INSUFFICIENT_BUFFER, as
// Windows does. Returns 0 on failure (ERROR_MOD_NOT_FOUND for an address outside every module).
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);

// The handle of the module this code is compiled into: an address that lies inside it. Each
// shared object has its own __dso_handle, so the module and the host each get their own.
extern "C" void* __dso_handle;
static inline HMODULE Win32ThisModule()
{
    return static_cast<HMODULE>(&__dso_handle);
}

// The current directory in Windows form, without a trailing backslash. Returns the number of
// characters copied; when the buffer is too small, copies nothing and returns the size needed
// including the terminator.
DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer);
// Creates one folder; FALSE with ERROR_ALREADY_EXISTS or ERROR_PATH_NOT_FOUND on failure.
BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES attributes);
