#include "KelScreenCL.h"

#include "KelCameraCL.h"
#include "KelCanvasCL.h"
#include "KelEngineCL.h"
#include "KelFontManagerCL.h"
#include "KelGuard.h"
#include "KelLoadSystemCL.h"
#include "KelLogCL.h"
#include "KelResourceManagerCL.h"
#include "KelScreenManagerCL.h"
#include "KelSystemCL.h"
#include "Win32/Time.h"
#include "Win32/Window.h"

namespace
{
// Hardware vertex processing, multithreaded (the loader thread creates textures on the device),
// driver resource management off; then the same with software vertex processing.
constexpr DWORD kHardwareBehaviour = 0x144;
constexpr DWORD kSoftwareBehaviour = 0x124;
constexpr D3DCOLOR kClearColor = 0xFF646464;
// How long a paused screen sleeps instead of drawing, so that a minimised game does not spin.
constexpr DWORD kPausedSleepMs = 10;

bool IsDeviceLossResult(HRESULT result)
{
    return result == D3DERR_DRIVERINTERNALERROR || result == D3DERR_DEVICELOST ||
           result == D3DERR_INVALIDCALL;
}
} // namespace

KelScreenCL::KelScreenCL(const std::string& name) : m_render([](KelCanvasCL*) {}), m_name(name) {}

KelScreenCL::~KelScreenCL()
{
    try
    {
        ReleaseDevice();
    }
    catch (...)
    {
        // ReleaseDevice has logged where it failed; a destructor must not throw on.
    }
}

bool KelScreenCL::CreateDevice(HWND window, BYTE mode)
{
    KEL_TRY
    m_window = window;
    m_mode = mode;
    IDirect3D8* direct3d = KelEngineCL::GetInstance()->GetDirect3D();
    if (direct3d == nullptr)
        return false;
    if (m_device != nullptr)
        return true;

    RECT client{};
    GetClientRect(window, &client);
    D3DDISPLAYMODE display{};
    direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &display);

    m_presentParameters = D3DPRESENT_PARAMETERS{};
    m_presentParameters.BackBufferWidth = static_cast<UINT>(client.right - client.left);
    m_presentParameters.BackBufferHeight = static_cast<UINT>(client.bottom - client.top);
    m_presentParameters.BackBufferFormat = display.Format;
    m_presentParameters.BackBufferCount = 1;
    m_presentParameters.MultiSampleType = D3DMULTISAMPLE_NONE;
    m_presentParameters.SwapEffect = D3DSWAPEFFECT_FLIP;
    m_presentParameters.hDeviceWindow = window;
    m_presentParameters.Windowed = mode == 0 ? TRUE : FALSE;
    m_presentParameters.EnableAutoDepthStencil = TRUE;
    m_presentParameters.AutoDepthStencilFormat = D3DFMT_D16;
    if (mode == 1)
    {
        m_presentParameters.FullScreen_RefreshRateInHz = 0;
        m_presentParameters.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    }

    if (direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, kHardwareBehaviour,
                               &m_presentParameters, &m_device) != D3D_OK &&
        direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, kSoftwareBehaviour,
                               &m_presentParameters, &m_device) != D3D_OK)
    {
        m_device = nullptr;
        KelLogPrintf("CreateDevice错误");
        return false;
    }

    // The loader and the memory figures follow the current screen; this one may already be it.
    if (KelScreenManagerCL::GetInstance()->GetCurrentScreen() == this)
        KelScreenManagerCL::GetInstance()->SetCurrentScreenName(m_name);

    KelFontManagerCL::GetInstance()->CreateFont("system", "宋体", 6, 12, 1, window);

    m_camera = std::make_unique<KelCameraCL>(m_device);
    delete m_camera->SetCanvas(new KelCanvasCL(m_device));
    m_camera->SetSize(static_cast<int>(m_presentParameters.BackBufferWidth),
                      static_cast<int>(m_presentParameters.BackBufferHeight));
    return true;
    KEL_CATCH
}

void KelScreenCL::ReleaseDevice()
{
    KEL_TRY
    m_camera.reset();
    if (m_device != nullptr)
    {
        // Nothing may go on creating textures on a device that is going away.
        if (KelLoadSystemCL::GetInstance()->GetDevice() == m_device)
            KelLoadSystemCL::GetInstance()->SetDevice(nullptr);
        KelSystemCL::GetInstance()->SetDeviceForMemoryQuery(nullptr);
        // A texture still bound to a stage holds the device, and the device holds the texture:
        // neither would ever be freed.
        for (DWORD stage = 0; stage < 8; ++stage)
            m_device->SetTexture(stage, nullptr);
        m_device->Release();
        m_device = nullptr;
    }
    KEL_CATCH
}

void KelScreenCL::RenderFrame()
{
    KEL_TRY
    if (IsPaused())
    {
        Sleep(kPausedSleepMs);
        return;
    }
    if (m_device == nullptr || m_camera == nullptr)
        return;

    m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClearColor, 1.0f, 0);
    m_device->BeginScene();
    m_camera->Begin();
    KelCanvasCL* canvas = m_camera->GetCanvas();
    if (canvas != nullptr)
    {
        canvas->SetColor(0xFFFFFFFF);
        canvas->SetLineWidth(1.0f);
        canvas->SetFont("system");
        m_render(canvas);
        // Text goes last so that it lies above every picture of the frame.
        canvas->FlushImages();
        canvas->FlushText();
    }
    m_camera->End();
    m_device->EndScene();

    HRESULT result = m_device->Present(nullptr, nullptr, m_window, nullptr);
    if (IsDeviceLossResult(result))
    {
        OnLostDevice();
        // A reset that fails is tried again at the next failing frame; until it succeeds the
        // resources stay released rather than being re-created on a lost device.
        if (m_device->Reset(&m_presentParameters) == D3D_OK)
            OnResetDevice();
        else
            KelLogPrintf("Reset错误");
    }
    KEL_CATCH
}

IDirect3DDevice8* KelScreenCL::GetDevice()
{
    return m_device;
}

bool KelScreenCL::Resize(int width, int height)
{
    KEL_TRY
    if (m_device == nullptr)
        return false;
    OnLostDevice();
    D3DPRESENT_PARAMETERS previous = m_presentParameters;
    m_presentParameters.BackBufferWidth = static_cast<UINT>(width);
    m_presentParameters.BackBufferHeight = static_cast<UINT>(height);
    bool reset = m_device->Reset(&m_presentParameters) == D3D_OK;
    if (!reset)
    {
        // The device keeps its old back buffer; the screen must keep describing that one.
        KelLogPrintf("Reset错误 %d x %d", width, height);
        m_presentParameters = previous;
    }
    else if (m_camera != nullptr)
    {
        m_camera->SetSize(width, height);
    }
    OnResetDevice();
    return reset;
    KEL_CATCH
}

void KelScreenCL::OnLostDevice()
{
    KEL_TRY
    if (m_camera != nullptr)
        m_camera->OnLostDevice();
    KelResourceManagerCL::GetInstance()->OnLostDevice();
    KEL_CATCH
}

void KelScreenCL::OnResetDevice()
{
    KEL_TRY
    if (m_camera != nullptr)
        m_camera->OnResetDevice();
    KelResourceManagerCL::GetInstance()->OnResetDevice();
    KEL_CATCH
}

D3DPRESENT_PARAMETERS* KelScreenCL::GetPresentParameters()
{
    return &m_presentParameters;
}

HWND KelScreenCL::GetWindow()
{
    return m_window;
}

KelCanvasCL* KelScreenCL::GetCanvas()
{
    if (IsPaused() || m_camera == nullptr)
        return nullptr;
    return m_camera->GetCanvas();
}

KelCameraCL* KelScreenCL::SetCamera(KelCameraCL* camera)
{
    // The caller takes the previous camera over, as it hands this one to the screen.
    KelCameraCL* previous = m_camera.release();
    m_camera.reset(camera);
    return previous;
}

KelCameraCL* KelScreenCL::GetCamera()
{
    return m_camera.get();
}

bool KelScreenCL::IsPaused()
{
    return (!KelIsActive() && m_mode == 1) || IsIconic(m_window);
}

void KelScreenCL::SetRenderCallback(RenderCallback callback)
{
    m_render = callback ? std::move(callback) : RenderCallback([](KelCanvasCL*) {});
}
