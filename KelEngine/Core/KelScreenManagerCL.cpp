#include "KelScreenManagerCL.h"

#include "KelCameraCL.h"
#include "KelGuard.h"
#include "KelLoadSystemCL.h"
#include "KelScreenCL.h"
#include "KelSystemCL.h"

KelScreenManagerCL::KelScreenManagerCL() = default;

KelScreenManagerCL::~KelScreenManagerCL()
{
    // The loader and the memory figures must not keep a device that is about to go.
    KelLoadSystemCL::GetInstance()->SetDevice(nullptr);
    KelSystemCL::GetInstance()->SetDeviceForMemoryQuery(nullptr);
}

KelScreenCL* KelScreenManagerCL::CreateScreen(const std::string& name)
{
    KEL_TRY
    std::unique_ptr<KelScreenCL>& slot = m_screens[name];
    if (!slot)
        slot = std::make_unique<KelScreenCL>(name);
    SetCurrentScreenName(name);
    return slot.get();
    KEL_CATCH
}

void KelScreenManagerCL::ClearScreenM()
{
    KEL_TRY
    // Nobody may create textures on these devices once they are released.
    KelLoadSystemCL::GetInstance()->SetDevice(nullptr);
    KelSystemCL::GetInstance()->SetDeviceForMemoryQuery(nullptr);
    m_screens.clear();
    KEL_CATCH
}

KelScreenCL* KelScreenManagerCL::FindScreenByWindow(HWND window)
{
    KEL_TRY
    for (auto& [name, screen] : m_screens)
    {
        if (screen->GetWindow() == window)
            return screen.get();
    }
    return nullptr;
    KEL_CATCH
}

KelScreenCL* KelScreenManagerCL::FindScreen(const std::string& name)
{
    KEL_TRY
    auto found = m_screens.find(name);
    return found == m_screens.end() ? nullptr : found->second.get();
    KEL_CATCH
}

KelScreenCL* KelScreenManagerCL::GetCurrentScreen()
{
    return FindScreen(m_current);
}

void KelScreenManagerCL::RenderAllScreens()
{
    KEL_TRY
    for (auto& [name, screen] : m_screens)
        screen->RenderFrame();
    KEL_CATCH
}

std::string KelScreenManagerCL::GetCurrentScreenName()
{
    return m_current;
}

void KelScreenManagerCL::SetCurrentScreenName(const std::string& name)
{
    KEL_TRY
    m_current = name;
    // Background loads and the memory figures follow the current screen's device.
    IDirect3DDevice8* device = KelGetCurrentDevice();
    KelLoadSystemCL::GetInstance()->SetDevice(device);
    KelSystemCL::GetInstance()->SetDeviceForMemoryQuery(device);
    KEL_CATCH
}

void KelScreenManagerCL::OnWindowResized(HWND window, int width, int height)
{
    KEL_TRY
    KelScreenCL* screen = FindScreenByWindow(window);
    // A minimised window reports an empty client area; the back buffer keeps its size until
    // the window comes back.
    if (screen != nullptr && width > 0 && height > 0)
        screen->Resize(width, height);
    KEL_CATCH
}

IDirect3DDevice8* KelGetCurrentDevice()
{
    KelScreenCL* screen = KelScreenManagerCL::GetInstance()->GetCurrentScreen();
    return screen == nullptr ? nullptr : screen->GetDevice();
}

bool KelIsScreenPaused()
{
    KelScreenCL* screen = KelScreenManagerCL::GetInstance()->GetCurrentScreen();
    return screen != nullptr && screen->IsPaused();
}

KelScreenCL* KelGetCurrentScreen()
{
    return KelScreenManagerCL::GetInstance()->GetCurrentScreen();
}
