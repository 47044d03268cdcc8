#pragma once
// Window messages the host turns its input and window events into, with the Windows numbers the
// engine's handlers compare against, and the packing of their parameters.

#include <cstdint>

#include "Keyboard.h"
#include "WinTypes.h"

#define WM_SIZE 0x0005u
#define WM_ACTIVATE 0x0006u
#define WM_ACTIVATEAPP 0x001Cu
#define WM_IME_COMPOSITION 0x010Fu
#define WM_MOUSEMOVE 0x0200u
#define WM_LBUTTONDOWN 0x0201u
#define WM_LBUTTONUP 0x0202u
#define WM_LBUTTONDBLCLK 0x0203u
#define WM_RBUTTONDOWN 0x0204u
#define WM_RBUTTONUP 0x0205u
#define WM_RBUTTONDBLCLK 0x0206u
#define WM_MBUTTONDOWN 0x0207u
#define WM_MBUTTONUP 0x0208u
#define WM_MBUTTONDBLCLK 0x0209u
#define WM_MOUSEWHEEL 0x020Au
#define WM_IME_NOTIFY 0x0282u
#define WM_IME_CHAR 0x0286u

// WM_SIZE's wParam when the window was minimised; lParam carries the new client size, width in
// the low word and height in the high one.
#define SIZE_MINIMIZED 1

// Key-state bits of a mouse message's wParam.
#define MK_LBUTTON 0x0001u
#define MK_RBUTTON 0x0002u
#define MK_SHIFT 0x0004u
#define MK_CONTROL 0x0008u
#define MK_MBUTTON 0x0010u

// One wheel notch; the delta sits in the high word of WM_MOUSEWHEEL's wParam.
#define WHEEL_DELTA 120

inline WORD LOWORD(uintptr_t value)
{
    return static_cast<WORD>(value & 0xFFFF);
}
inline WORD HIWORD(uintptr_t value)
{
    return static_cast<WORD>((value >> 16) & 0xFFFF);
}
// Two 16-bit halves packed as a message parameter (mouse points: x low, y high).
inline LPARAM MAKELPARAM(int low, int high)
{
    return static_cast<LPARAM>(static_cast<uint32_t>(static_cast<uint16_t>(low)) |
                               static_cast<uint32_t>(static_cast<uint16_t>(high)) << 16);
}
inline WPARAM MAKEWPARAM(int low, int high)
{
    return static_cast<WPARAM>(static_cast<uint32_t>(static_cast<uint16_t>(low)) |
                               static_cast<uint32_t>(static_cast<uint16_t>(high)) << 16);
}
// The signed coordinates of a mouse message's lParam (points left of or above the client area
// are negative).
inline int GET_X_LPARAM(LPARAM value)
{
    return static_cast<int16_t>(value & 0xFFFF);
}
inline int GET_Y_LPARAM(LPARAM value)
{
    return static_cast<int16_t>((value >> 16) & 0xFFFF);
}
inline short GET_WHEEL_DELTA_WPARAM(WPARAM value)
{
    return static_cast<short>(HIWORD(value));
}
