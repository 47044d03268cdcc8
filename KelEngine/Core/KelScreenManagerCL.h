#pragma once
// The screens by name, and which one is current. Image loaders create their textures on the
// current screen's device.

#include <map>
#include <memory>
#include <string>

#include "D3D8/D3D8.h"
#include "KelSingletonCL.h"

class KelScreenCL;

class KelScreenManagerCL : public KelSingletonCL<KelScreenManagerCL>
{
public:
    KelScreenManagerCL();

    // The screen of that name, created (without a device) when there is none; it becomes the
    // current screen either way.
    virtual KelScreenCL* CreateScreen(const std::string& name);
    // Deletes every screen and its device.
    virtual void ClearScreenM();
    virtual KelScreenCL* FindScreenByWindow(HWND window);
    virtual KelScreenCL* FindScreen(const std::string& name);
    virtual KelScreenCL* GetCurrentScreen();
    // Renders every screen in name order.
    virtual void RenderAllScreens();
    virtual std::string GetCurrentScreenName();
    virtual void SetCurrentScreenName(const std::string& name);
    // Resizes the screen of the window.
    virtual void OnWindowResized(HWND window, int width, int height);

    virtual ~KelScreenManagerCL();

private:
    std::map<std::string, std::unique_ptr<KelScreenCL>> m_screens;
    std::string m_current;
};

// The current screen's device, or null when there is no current screen or it has no device.
IDirect3DDevice8* KelGetCurrentDevice();
// Whether the current screen is paused (minimised, or inactive in full screen); false without
// a current screen.
bool KelIsScreenPaused();
KelScreenCL* KelGetCurrentScreen();
