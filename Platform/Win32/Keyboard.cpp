#include "Keyboard.h"

#include <atomic>

namespace
{
constexpr int kKeyCount = 256;

// Written by the host's input thread and read by the frame thread, so each entry is atomic.
std::atomic<bool> g_down[kKeyCount];
std::atomic<bool> g_toggled[kKeyCount];

bool IsValid(int virtualKey)
{
    return virtualKey >= 0 && virtualKey < kKeyCount;
}

// A shared code is held while the code itself or either of its sided keys is held.
bool IsHeld(int virtualKey)
{
    if (g_down[virtualKey].load())
        return true;
    switch (virtualKey)
    {
    case VK_SHIFT:
        return g_down[VK_LSHIFT].load() || g_down[VK_RSHIFT].load();
    case VK_CONTROL:
        return g_down[VK_LCONTROL].load() || g_down[VK_RCONTROL].load();
    case VK_MENU:
        return g_down[VK_LMENU].load() || g_down[VK_RMENU].load();
    default:
        return false;
    }
}
} // namespace

void Win32SetKeyDown(int virtualKey, bool down)
{
    if (!IsValid(virtualKey))
        return;
    bool wasDown = g_down[virtualKey].exchange(down);
    if (down && !wasDown)
        g_toggled[virtualKey] = !g_toggled[virtualKey].load();
}

void Win32ReleaseAllKeys()
{
    for (int key = 0; key < kKeyCount; ++key)
    {
        g_down[key] = false;
        g_toggled[key] = false;
    }
}

SHORT GetAsyncKeyState(int virtualKey)
{
    if (!IsValid(virtualKey))
        return 0;
    return IsHeld(virtualKey) ? static_cast<SHORT>(0x8000) : 0;
}

SHORT GetKeyState(int virtualKey)
{
    if (!IsValid(virtualKey))
        return 0;
    int state = IsHeld(virtualKey) ? 0x8000 : 0;
    if (g_toggled[virtualKey].load())
        state |= 1;
    return static_cast<SHORT>(state);
}
