#pragma once
// Loading libraries at run time: LoadLibraryA, GetProcAddress and FreeLibrary.
//
// The libraries the system loads at run time ("unzip.dll" for zip archives) are built into
// the program on Linux. A table of built-in libraries stands in for the DLL search: it maps a
// library's file name to its exports. Names are compared without regard to ASCII letter case;
// a folder in front of the name is ignored and a name without an extension gets ".dll", as
// LoadLibraryA does. A handle stays valid while the library is loaded: every LoadLibraryA
// counts one reference, every FreeLibrary gives one back, and the last one unloads it.

#include <string>
#include <utility>
#include <vector>

#include "Win32/WinTypes.h"

// Windows declares FARPROC as returning INT_PTR. Here it returns nothing: a pointer to a function
// taking and returning nothing is the generic function pointer that g++ lets callers cast to the
// export's real type without a -Wcast-function-type warning.
typedef void (*FARPROC)();

#ifndef ERROR_MOD_NOT_FOUND
#define ERROR_MOD_NOT_FOUND 126u
#endif
#ifndef ERROR_PROC_NOT_FOUND
#define ERROR_PROC_NOT_FOUND 127u
#endif

// The library's handle, or null with ERROR_MOD_NOT_FOUND when no library of that name is
// built in (ERROR_INVALID_PARAMETER for a null or empty name).
HMODULE LoadLibraryA(LPCSTR fileName);
// The address of an export (names compared exactly, as on Windows), or null with
// ERROR_PROC_NOT_FOUND; null with ERROR_INVALID_HANDLE for a handle that is not loaded. Exports
// are looked up by name only: an ordinal (a value below 0x10000) finds nothing.
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
// Gives back one reference; FALSE with ERROR_INVALID_HANDLE for a handle that is not loaded.
BOOL FreeLibrary(HMODULE module);

// One export of a built-in library: its name and its address.
struct Win32LibraryExport
{
    std::string name;
    void* address;
};

// Adds a library to the table, or replaces the exports of one of that name. A library that is
// loaded keeps its handle and its count and sees the new exports. False for an empty name.
bool RegisterWin32Library(const char* fileName, std::vector<Win32LibraryExport> exports);
// Removes a library from the table; its handles stop being valid. False when it is not there.
bool UnregisterWin32Library(const char* fileName);
