#pragma once
// The Windows text clipboard (CF_TEXT), on a text store of this layer. The host connects the
// store to the desktop's clipboard (Win32SetClipboardText when the desktop's text changes,
// Win32GetClipboardText after the program has written); tests fill and read it directly.
//
// As on Windows, the clipboard is opened by one window at a time; data is handed over as a
// global memory block (GlobalAlloc / GlobalLock), which SetClipboardData takes over, and
// GetClipboardData answers a block that stays the clipboard's and is valid until the clipboard
// is closed. Text is the system's narrow text (GBK), zero-terminated.

#include <cstddef>
#include <string>

#include "WinTypes.h"

typedef HANDLE HGLOBAL;

#define CF_TEXT 1u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)

HGLOBAL GlobalAlloc(UINT flags, size_t bytes);
void* GlobalLock(HGLOBAL memory);
BOOL GlobalUnlock(HGLOBAL memory);
// Null on success, the block otherwise.
HGLOBAL GlobalFree(HGLOBAL memory);
size_t GlobalSize(HGLOBAL memory);

// FALSE when another window has it open.
BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
// Only while open.
BOOL EmptyClipboard();
BOOL IsClipboardFormatAvailable(UINT format);
// CF_TEXT only, while open; null without text.
HANDLE GetClipboardData(UINT format);
// CF_TEXT only, while open: the clipboard takes the block over (and frees it). Null on failure.
HANDLE SetClipboardData(UINT format, HANDLE data);

// The store behind it, for the host and tests.
void Win32SetClipboardText(const std::string& text);
std::string Win32GetClipboardText();
