#pragma once
// The keyboard as the engine sees it: which keys are held now, and the key messages the host
// forwards. The host reports every key going down or up through Win32SetKeyDown; the state
// queries answer from that record, as the Windows ones answer from the input queue.

#include "WinTypes.h"

typedef int16_t SHORT;

// Key messages (wparam is the virtual-key code).
#define WM_KEYDOWN 0x0100u
#define WM_KEYUP 0x0101u
#define WM_CHAR 0x0102u
#define WM_SYSKEYDOWN 0x0104u
#define WM_SYSKEYUP 0x0105u

// Virtual-key codes. Letters and digits are their upper-case ASCII codes ('F' is 70).
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_LSHIFT 0xA0
#define VK_RSHIFT 0xA1
#define VK_LCONTROL 0xA2
#define VK_RCONTROL 0xA3
#define VK_LMENU 0xA4
#define VK_RMENU 0xA5

// Records that a key went down or came up. Codes outside 0..255 are ignored. As on Windows,
// the shared codes VK_SHIFT, VK_CONTROL and VK_MENU read as held while either of their left and
// right keys is held.
void Win32SetKeyDown(int virtualKey, bool down);
// Forgets every held key and every toggle (a host losing the focus, or a test starting over).
void Win32ReleaseAllKeys();

// 0x8000 set while the key is held; 0 for codes outside 0..255.
SHORT GetAsyncKeyState(int virtualKey);
// The high bit (the value is negative) while the key is held; bit 0 toggles each time the key
// goes down, as the lock keys do.
SHORT GetKeyState(int virtualKey);
