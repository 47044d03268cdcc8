#pragma once
// The engine root: the Direct3D object, start-up and shutdown of the managers in their order,
// the per-frame update, and the hook every window message of the host passes through.

#include <string>

#include "D3D8/D3D8.h"
#include "KelSingletonCL.h"

class KelScreenCL;

class KelEngineCL : public KelSingletonCL<KelEngineCL>
{
public:
    KelEngineCL();

    virtual ~KelEngineCL();
    // Starts the system clock, creates the Direct3D object (the result) and the loader thread.
    virtual bool KelObjLoaderInit(HINSTANCE instance);
    // Stops the loader, deletes the fonts, images and screens, and releases the Direct3D object.
    virtual bool KelObjLoaderDestroy();
    // Once per frame: the clock, then the font sweep, then the image sweep.
    virtual void OnUpdateM();
    // The screen of that name (created when needed) becoming current; null without a Direct3D
    // object.
    virtual KelScreenCL* CreateKelWindow(const std::string& name);
    virtual KelScreenCL* FindScreen(const std::string& name);
    // The image directory below the module directory; loads its texture-info files.
    virtual void SetImageDirectory(const std::string& directory);
    virtual void RenderAllScreens();
    // Mouse capture, the active state, resizes and the debug keys; always true.
    virtual bool OnWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    virtual IDirect3D8* GetDirect3D();

private:
    IDirect3D8* m_direct3d = nullptr;
};
