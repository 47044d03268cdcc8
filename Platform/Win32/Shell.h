#pragma once
// ShellExecuteA: opens a document or an address with the desktop's program for it. On this
// platform every request opens its target with the desktop's opener (xdg-open), without waiting:
// a program name that is a browser ("iexplore") opens its parameter, anything else is opened
// itself. Tests replace the opener to see what would be opened.

#include <functional>
#include <string>

#include "WinTypes.h"

#define SW_SHOWNORMAL 1
#define SW_SHOW 5

// Greater than 32 on success, as on Windows; 2 (file not found) for an empty target, 31 (no
// association) when the opener cannot be started.
HINSTANCE ShellExecuteA(HWND window, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        INT show);

// Replaces the opener (null: the desktop's again); it returns false when it cannot open.
void Win32SetShellOpener(std::function<bool(const std::string& target)> opener);
