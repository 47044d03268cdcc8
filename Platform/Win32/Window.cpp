#include "Window.h"

#include <atomic>

#include "ProcessStateParts.h"

struct Win32CaptureState
{
    std::atomic<HWND> window{nullptr};
};

Win32CaptureState* Win32OwnCaptureState()
{
    static Win32CaptureState own;
    return &own;
}

Win32CaptureState* Win32NewCaptureState()
{
    return new Win32CaptureState;
}

void Win32DeleteCaptureState(Win32CaptureState* state)
{
    delete state;
}

namespace
{
std::atomic<HWND>& Capture()
{
    return Win32CurrentProcessState().capture->window;
}
} // namespace

BOOL GetClientRect(HWND window, RECT* rect)
{
    if (rect == nullptr)
        return FALSE;
    *rect = RECT{0, 0, 0, 0};
    if (window == nullptr)
        return FALSE;
    rect->right = window->ClientWidth();
    rect->bottom = window->ClientHeight();
    return TRUE;
}

BOOL IsIconic(HWND window)
{
    return window != nullptr && window->IsMinimised() ? TRUE : FALSE;
}

HWND SetCapture(HWND window)
{
    return Capture().exchange(window);
}

BOOL ReleaseCapture()
{
    Capture().store(nullptr);
    return TRUE;
}

HWND GetCapture()
{
    return Capture().load();
}

BOOL ScreenToClient(HWND window, POINT* point)
{
    if (window == nullptr || point == nullptr)
        return FALSE;
    POINT origin = window->ClientOrigin();
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}
