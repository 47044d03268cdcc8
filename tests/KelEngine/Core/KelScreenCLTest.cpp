#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "D3D8/D3D8.h"
#include "EngineTestSupport.h"
#include "KelCameraCL.h"
#include "KelCanvasCL.h"
#include "KelImageCL.h"
#include "KelScreenCL.h"
#include "KelScreenManagerCL.h"
#include "Win32/Messages.h"
#include "Win32/Window.h"

namespace
{
// The managers a screen works with, each the test's own, in a folder of the test's own.
using KelScreenTest = EngineTest;

// Records, at each device-loss notification, whether the device had been reset yet.
class RecordingCamera : public KelCameraCL
{
public:
    RecordingCamera(IDirect3DDevice8* device, std::vector<std::string>* events)
        : KelCameraCL(device), m_device(device), m_events(events)
    {
    }
    bool OnLostDevice() override
    {
        m_events->push_back(m_device->TestCooperativeLevel() == D3D_OK ? "lost:usable" : "lost:lost");
        return KelCameraCL::OnLostDevice();
    }
    bool OnResetDevice() override
    {
        m_events->push_back(m_device->TestCooperativeLevel() == D3D_OK ? "reset:usable" : "reset:lost");
        return KelCameraCL::OnResetDevice();
    }

private:
    IDirect3DDevice8* m_device;
    std::vector<std::string>* m_events;
};
}

TEST_F(KelScreenTest, ScreensAreFoundByNameAndTheLastCreatedIsCurrent)
{
    KelScreenCL* first = m_screens.CreateScreen("one");
    KelScreenCL* second = m_screens.CreateScreen("two");
    EXPECT_NE(first, second);
    EXPECT_EQ(m_screens.GetCurrentScreenName(), "two");

    // A second creation under a name returns the screen there and makes it current.
    EXPECT_EQ(m_screens.CreateScreen("one"), first);
    EXPECT_EQ(m_screens.GetCurrentScreen(), first);
    EXPECT_EQ(m_screens.FindScreen("two"), second);
    EXPECT_EQ(m_screens.FindScreen("three"), nullptr);
    // Neither has a device yet.
    EXPECT_EQ(KelGetCurrentDevice(), nullptr);
    EXPECT_EQ(m_screens.FindScreenByWindow(&m_window), nullptr);
}

TEST_F(KelScreenTest, WithoutDirect3DThereIsNoWindowAndNoDevice)
{
    EXPECT_EQ(m_engine.CreateKelWindow("main"), nullptr);
    KelScreenCL* screen = m_screens.CreateScreen("main");
    EXPECT_FALSE(screen->CreateDevice(&m_window, 0));
    EXPECT_EQ(screen->GetDevice(), nullptr);
    EXPECT_EQ(screen->GetCamera(), nullptr);
    EXPECT_EQ(m_fonts.GetFontCount(), 0);
}

TEST_F(KelScreenTest, DeviceCreationSetsUpTheScreen)
{
    KelScreenCL* screen = CreateScreenWithDevice();
    ASSERT_NE(screen, nullptr);
    IDirect3DDevice8* device = screen->GetDevice();
    ASSERT_NE(device, nullptr);

    const D3DPRESENT_PARAMETERS* pp = screen->GetPresentParameters();
    EXPECT_EQ(pp->BackBufferWidth, 64u);
    EXPECT_EQ(pp->BackBufferHeight, 48u);
    EXPECT_EQ(pp->BackBufferCount, 1u);
    EXPECT_EQ(pp->SwapEffect, D3DSWAPEFFECT_FLIP);
    EXPECT_TRUE(pp->Windowed);
    EXPECT_TRUE(pp->EnableAutoDepthStencil);
    EXPECT_EQ(pp->AutoDepthStencilFormat, D3DFMT_D16);

    // The screen is current, so image loads and the loader use its device.
    EXPECT_EQ(KelGetCurrentDevice(), device);
    EXPECT_EQ(m_loader.GetDevice(), device);
    EXPECT_EQ(m_screens.FindScreenByWindow(&m_window), screen);
    EXPECT_NE(m_fonts.GetFont("system"), nullptr);
    ASSERT_NE(screen->GetCamera(), nullptr);
    EXPECT_EQ(screen->GetCanvas(), screen->GetCamera()->GetCanvas());
    EXPECT_EQ(screen->GetCanvas()->GetTargetWidth(), 64);
    EXPECT_NE(m_system.GetTotalVideoMemoryKb(), 0);

    // A second creation keeps the device.
    EXPECT_TRUE(screen->CreateDevice(&m_window, 0));
    EXPECT_EQ(screen->GetDevice(), device);
    EXPECT_NE(ReadLog().find("创建窗口:main , result:"), std::string::npos);
}

TEST_F(KelScreenTest, FrameClearsToGreyAndDrawsTheCallbackWithTheCanvasPrepared)
{
    KelScreenCL* screen = CreateScreenWithDevice();
    ASSERT_NE(screen, nullptr);
    D3DCOLOR lineColor = 0;
    std::string font;
    screen->SetRenderCallback(
        [&](KelCanvasCL* canvas)
        {
            lineColor = canvas->GetColor();
            font = canvas->GetFontName();
            canvas->FillRect(10, 10, 20, 20, 0xFFFF0000);
        });
    screen->RenderFrame();

    ASSERT_EQ(m_window.FramesPresented(), 1);
    EXPECT_EQ(lineColor, 0xFFFFFFFFu);
    EXPECT_EQ(font, "system");
    EXPECT_EQ(Pixel(0, 0), 0x646464u);
    EXPECT_EQ(Pixel(15, 15), 0xFF0000u);
    EXPECT_EQ(Pixel(25, 15), 0x646464u);
}

TEST_F(KelScreenTest, PausedScreensSleepInsteadOfDrawing)
{
    KelScreenCL* screen = CreateScreenWithDevice();
    ASSERT_NE(screen, nullptr);
    int calls = 0;
    screen->SetRenderCallback([&](KelCanvasCL*) { ++calls; });

    m_window.SetMinimised(true);
    EXPECT_TRUE(screen->IsPaused());
    EXPECT_TRUE(KelIsScreenPaused());
    EXPECT_EQ(screen->GetCanvas(), nullptr);
    auto start = std::chrono::steady_clock::now();
    screen->RenderFrame();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(10));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(m_window.FramesPresented(), 0);

    // An inactive application keeps drawing in a window; only full screen pauses for it.
    m_window.SetMinimised(false);
    m_system.SetActive(false);
    EXPECT_FALSE(screen->IsPaused());
    screen->RenderFrame();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(m_window.FramesPresented(), 1);
}

TEST_F(KelScreenTest, AnInactiveFullScreenIsPaused)
{
    ASSERT_TRUE(m_engine.KelObjLoaderInit(nullptr));
    KelScreenCL* screen = m_engine.CreateKelWindow("full");
    ASSERT_NE(screen, nullptr);
    screen->CreateDevice(&m_window, 1);
    EXPECT_EQ(screen->GetMode(), 1);
    EXPECT_FALSE(screen->IsPaused());
    m_engine.OnWindowMessage(&m_window, WM_ACTIVATEAPP, 0, 0);
    EXPECT_FALSE(m_system.IsActive());
    EXPECT_TRUE(screen->IsPaused());
    m_engine.OnWindowMessage(&m_window, WM_ACTIVATE, 1, 0);
    EXPECT_FALSE(screen->IsPaused());
}

TEST_F(KelScreenTest, DeviceLostAtPresentIsResetWithinTheSameFrame)
{
    KelScreenCL* screen = CreateScreenWithDevice();
    ASSERT_NE(screen, nullptr);
    IDirect3DDevice8* device = screen->GetDevice();
    std::vector<std::string> events;
    delete screen->SetCamera(new RecordingCamera(device, &events));
    delete screen->GetCamera()->SetCanvas(new KelCanvasCL(device));
    screen->GetCamera()->SetSize(64, 48);

    // A render target must be dropped before the reset and comes back marked for redrawing; a
    // managed texture survives as it is.
    KelImageCL* target = m_images.CreateImageM("target", 16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                               D3DPOOL_DEFAULT);
    KelImageCL* managed = m_images.CreateImageM("managed", 16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    ASSERT_NE(target, nullptr);
    ASSERT_NE(managed, nullptr);
    IDirect3DTexture8* managedTexture = managed->GetTextureM();
    EXPECT_FALSE(target->BeRecreated());

    device->SimulateDeviceLost();
    screen->RenderFrame();

    EXPECT_EQ(m_window.FramesPresented(), 0);
    EXPECT_EQ(events, (std::vector<std::string>{"lost:lost", "reset:usable"}));
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_NE(target->GetTextureM(), nullptr);
    EXPECT_TRUE(target->BeRecreated());
    EXPECT_FALSE(target->BeRecreated());
    EXPECT_EQ(managed->GetTextureM(), managedTexture);

    screen->SetRenderCallback([](KelCanvasCL* canvas) { canvas->FillRect(0, 0, 8, 8, 0xFF00FF00); });
    screen->RenderFrame();
    EXPECT_EQ(m_window.FramesPresented(), 1);
    EXPECT_EQ(Pixel(4, 4), 0x00FF00u);
}

TEST_F(KelScreenTest, WindowResizeResetsTheBackBuffer)
{
    KelScreenCL* screen = CreateScreenWithDevice();
    ASSERT_NE(screen, nullptr);

    m_window.Resize(100, 50);
    m_engine.OnWindowMessage(&m_window, WM_SIZE, 0, 0);
    EXPECT_EQ(screen->GetPresentParameters()->BackBufferWidth, 100u);
    EXPECT_EQ(screen->GetPresentParameters()->BackBufferHeight, 50u);
    EXPECT_EQ(screen->GetCamera()->GetViewport().Width, 100u);
    EXPECT_EQ(screen->GetCanvas()->GetTargetWidth(), 100);

    screen->SetRenderCallback([](KelCanvasCL* canvas) { canvas->FillRect(90, 40, 100, 50, 0xFF0000FF); });
    screen->RenderFrame();
    int width = 0;
    int height = 0;
    m_window.Frame(&width, &height);
    EXPECT_EQ(width, 100);
    EXPECT_EQ(height, 50);
    EXPECT_EQ(Pixel(95, 45), 0x0000FFu);

    // A minimised window reports an empty client area; the back buffer keeps its size.
    m_window.Resize(0, 0);
    m_engine.OnWindowMessage(&m_window, WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(screen->GetPresentParameters()->BackBufferWidth, 100u);
    // Without a device there is nothing to resize.
    EXPECT_FALSE(m_screens.CreateScreen("spare")->Resize(10, 10));
}
