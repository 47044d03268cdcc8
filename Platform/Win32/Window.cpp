#include "Window.h"

#include <atomic>

namespace
{
std::atomic<HWND> g_capture{nullptr};
}

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
    return g_capture.exchange(window);
}

BOOL ReleaseCapture()
{
    g_capture.store(nullptr);
    return TRUE;
}

HWND GetCapture()
{
    return g_capture.load();
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
