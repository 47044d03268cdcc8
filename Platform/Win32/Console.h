#pragma once
// The debug console. On Linux the console is the process's standard output: the host opens it
// when it is started from a terminal. Text written to it is GBK and is shown as UTF-8.

#include "WinTypes.h"

#define STD_INPUT_HANDLE (static_cast<DWORD>(-10))
#define STD_OUTPUT_HANDLE (static_cast<DWORD>(-11))
#define STD_ERROR_HANDLE (static_cast<DWORD>(-12))

// TRUE the first time; FALSE with ERROR_ACCESS_DENIED while a console is already allocated.
BOOL AllocConsole();
// FALSE with ERROR_INVALID_PARAMETER when no console is allocated.
BOOL FreeConsole();
// The handle of a standard stream; INVALID_HANDLE_VALUE for an unknown selector. The handle
// belongs to the process and is never closed by its users.
HANDLE GetStdHandle(DWORD which);
// Sets the terminal's title when the standard output is a terminal.
BOOL SetConsoleTitleA(LPCSTR title);
// Writes `count` bytes of GBK text, converted to UTF-8, to the console stream. `written`
// receives the number of GBK bytes taken.
BOOL WriteConsoleA(HANDLE console, const void* text, DWORD count, LPDWORD written, LPVOID reserved);
