#include "KelEngineCL.h"

#include <cstdint>

#include "KelFontManagerCL.h"
#include "KelGuard.h"
#include "KelLoadSystemCL.h"
#include "KelLogCL.h"
#include "KelResourceManagerCL.h"
#include "KelScreenManagerCL.h"
#include "KelSystemCL.h"
#include "KelTextureCL.h"
#include "KelTextureInfoManagerCL.h"
#include "Win32/Messages.h"
#include "Win32/Window.h"

KelEngineCL::KelEngineCL() = default;

KelEngineCL::~KelEngineCL()
{
    if (m_direct3d != nullptr)
        m_direct3d->Release();
}

bool KelEngineCL::KelObjLoaderInit(HINSTANCE instance)
{
    KEL_TRY
    KelSystemCL::GetInstance()->Initialize(instance);
    // The texture-info registry in use now (possibly the host's) must be able to build textures.
    KelInstallTextureFactory();
    if (m_direct3d == nullptr)
    {
        m_direct3d = Direct3DCreate8(D3D_SDK_VERSION);
        if (m_direct3d != nullptr)
            KelLogPrintf("Direct3DCreate( D3D_SDK_VERSION ):%d",
                         static_cast<int>(reinterpret_cast<intptr_t>(m_direct3d)));
    }
    bool created = m_direct3d != nullptr;
    KelLoadSystemCL::GetInstance()->Start();
    // The 3D object layer (models and meshes) does not exist in this engine; it has nothing to
    // initialise.
    KelLogPrintf("KelObjLoaderInit()");
    return created;
    KEL_CATCH
}

bool KelEngineCL::KelObjLoaderDestroy()
{
    KEL_TRY
    KelLogPrintf("KelObjLoaderDestroy()");
    KelLoadSystemCL::GetInstance()->Close();
    KelLogPrintf("KelLoadSystemCL::Close()");
    KelFontManagerCL::GetInstance()->Destroy();
    KelLogPrintf("KelFontManagerCL::Destroy()");
    KelResourceManagerCL::GetInstance()->DestroyImageM();
    KelLogPrintf("KelResourceManagerCL::DestroyImageM()");
    KelScreenManagerCL::GetInstance()->ClearScreenM();
    KelLogPrintf("KelScreenManagerCL::ClearScreenM()");
    if (m_direct3d != nullptr)
    {
        m_direct3d->Release();
        m_direct3d = nullptr;
    }
    return true;
    KEL_CATCH
}

void KelEngineCL::OnUpdateM()
{
    // Each step has its own guard so that the log names the step that failed.
    KEL_TRY
    KelSystemCL::GetInstance()->Tick();
    KEL_CATCH
    KEL_TRY
    KelFontManagerCL::GetInstance()->Update();
    KEL_CATCH
    KEL_TRY
    KelResourceManagerCL::GetInstance()->Update();
    KEL_CATCH
}

KelScreenCL* KelEngineCL::CreateKelWindow(const std::string& name)
{
    KEL_TRY
    if (m_direct3d == nullptr)
        return nullptr;
    KelScreenCL* screen = KelScreenManagerCL::GetInstance()->CreateScreen(name);
    KelLogPrintf("创建窗口:%s , result:%d", name.c_str(),
                 static_cast<int>(reinterpret_cast<intptr_t>(screen)));
    return screen;
    KEL_CATCH
}

KelScreenCL* KelEngineCL::FindScreen(const std::string& name)
{
    return KelScreenManagerCL::GetInstance()->FindScreen(name);
}

void KelEngineCL::SetImageDirectory(const std::string& directory)
{
    KEL_TRY
    KelTextureInfoManagerCL::GetInstance()->SetImageDirectory(directory);
    KelLogPrintf("设置图片资源目录 : %s", directory.c_str());
    KEL_CATCH
}

void KelEngineCL::RenderAllScreens()
{
    KelScreenManagerCL::GetInstance()->RenderAllScreens();
}

bool KelEngineCL::OnWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    KEL_TRY
    switch (message)
    {
    case WM_LBUTTONDOWN:
        SetCapture(window);
        break;
    case WM_LBUTTONUP:
        ReleaseCapture();
        break;
    case WM_ACTIVATEAPP:
    case WM_ACTIVATE:
        KelSystemCL::GetInstance()->SetActive(wparam != 0);
        break;
    case WM_SIZE:
    {
        RECT client{};
        GetClientRect(window, &client);
        KelScreenManagerCL::GetInstance()->OnWindowResized(window, client.right - client.left,
                                                           client.bottom - client.top);
        break;
    }
    default:
        break;
    }
    KelSystemCL::GetInstance()->HandleDebugKey(window, message, wparam, lparam);
    return true;
    KEL_CATCH
}

IDirect3D8* KelEngineCL::GetDirect3D()
{
    return m_direct3d;
}
