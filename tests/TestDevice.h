#pragma once
// A software Direct3D 8 device drawing into a memory window, as the tests use it.

#include "D3D8/D3D8.h"
#include "Win32/Window.h"

// Windowed, X8R8G8B8 back buffer of the window's size, with a 16-bit depth buffer.
inline D3DPRESENT_PARAMETERS TestPresentParameters(MemoryWindow& window)
{
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = static_cast<UINT>(window.ClientWidth());
    pp.BackBufferHeight = static_cast<UINT>(window.ClientHeight());
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_FLIP;
    pp.hDeviceWindow = &window;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    return pp;
}

// Direct3D and a device on the window; false, with both left null, when either fails.
inline bool CreateTestDevice(MemoryWindow& window, IDirect3D8** d3d, IDirect3DDevice8** device)
{
    *device = nullptr;
    *d3d = Direct3DCreate8(D3D_SDK_VERSION);
    if (*d3d == nullptr)
        return false;
    D3DPRESENT_PARAMETERS pp = TestPresentParameters(window);
    if ((*d3d)->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &window, 0x144, &pp, device) != D3D_OK)
    {
        (*d3d)->Release();
        *d3d = nullptr;
        return false;
    }
    return true;
}
