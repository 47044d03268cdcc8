#include "Keyboard.h"

#include <atomic>

#include "ProcessStateParts.h"

namespace
{
constexpr int kKeyCount = 256;
} // namespace

// Written by the host's input thread and read by the frame thread, so each entry is atomic.
struct Win32KeyboardState
{
    std::atomic<bool> down[kKeyCount] = {};
    std::atomic<bool> toggled[kKeyCount] = {};
};

Win32KeyboardState* Win32OwnKeyboardState()
{
    static Win32KeyboardState own;
    return &own;
}

Win32KeyboardState* Win32NewKeyboardState()
{
    return new Win32KeyboardState;
}

void Win32DeleteKeyboardState(Win32KeyboardState* state)
{
    delete state;
}

namespace
{
Win32KeyboardState& Keys()
{
    return *Win32CurrentProcessState().keyboard;
}

bool IsValid(int virtualKey)
{
    return virtualKey >= 0 && virtualKey < kKeyCount;
}

// A shared code is held while the code itself or either of its sided keys is held.
bool IsHeld(int virtualKey)
{
    if (Keys().down[virtualKey].load())
        return true;
    switch (virtualKey)
    {
    case VK_SHIFT:
        return Keys().down[VK_LSHIFT].load() || Keys().down[VK_RSHIFT].load();
    case VK_CONTROL:
        return Keys().down[VK_LCONTROL].load() || Keys().down[VK_RCONTROL].load();
    case VK_MENU:
        return Keys().down[VK_LMENU].load() || Keys().down[VK_RMENU].load();
    default:
        return false;
    }
}
} // namespace

void Win32SetKeyDown(int virtualKey, bool down)
{
    if (!IsValid(virtualKey))
        return;
    bool wasDown = Keys().down[virtualKey].exchange(down);
    if (down && !wasDown)
        Keys().toggled[virtualKey] = !Keys().toggled[virtualKey].load();
}

void Win32ReleaseAllKeys()
{
    for (int key = 0; key < kKeyCount; ++key)
    {
        Keys().down[key] = false;
        Keys().toggled[key] = false;
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
    if (Keys().toggled[virtualKey].load())
        state |= 1;
    return static_cast<SHORT>(state);
}
