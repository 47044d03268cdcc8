#include <gtest/gtest.h>

#include <string>

#include "D3D8/D3D8.h"
#include "EngineTestSupport.h"
#include "KelEngineCL.h"
#include "KelTextureCL.h"
#include "Win32/Keyboard.h"
#include "Win32/Messages.h"
#include "Win32/Time.h"
#include "Win32/Window.h"

namespace
{
class KelEngineTest : public EngineTest
{
protected:
    KelEngineTest() : EngineTest(32, 32) {}
};

// Lines of the log in the order given; npos when one is missing or out of order.
size_t FindInOrder(const std::string& log, std::initializer_list<const char*> lines)
{
    size_t at = 0;
    for (const char* line : lines)
    {
        at = log.find(line, at);
        if (at == std::string::npos)
            return at;
        ++at;
    }
    return at;
}
}

TEST_F(KelEngineTest, StartAndShutdownRunInOrder)
{
    EXPECT_EQ(m_engine.GetDirect3D(), nullptr);
    ASSERT_TRUE(m_engine.KelObjLoaderInit(nullptr));
    IDirect3D8* direct3d = m_engine.GetDirect3D();
    ASSERT_NE(direct3d, nullptr);
    EXPECT_TRUE(m_loader.IsStarted());
    // A second start keeps the Direct3D object.
    EXPECT_TRUE(m_engine.KelObjLoaderInit(nullptr));
    EXPECT_EQ(m_engine.GetDirect3D(), direct3d);

    KelScreenCL* screen = m_engine.CreateKelWindow("main");
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(m_engine.FindScreen("main"), screen);
    ASSERT_TRUE(screen->CreateDevice(&m_window, 0));
    EXPECT_EQ(m_fonts.GetFontCount(), 1);

    EXPECT_TRUE(m_engine.KelObjLoaderDestroy());
    EXPECT_EQ(m_engine.GetDirect3D(), nullptr);
    EXPECT_FALSE(m_loader.IsStarted());
    EXPECT_EQ(m_fonts.GetFontCount(), 0);
    EXPECT_EQ(m_engine.FindScreen("main"), nullptr);
    EXPECT_EQ(m_loader.GetDevice(), nullptr);

    EXPECT_NE(FindInOrder(ReadLog(), {"Direct3DCreate( D3D_SDK_VERSION ):", "KelObjLoaderInit()",
                                      "创建窗口:main , result:", "KelObjLoaderDestroy()",
                                      "KelLoadSystemCL::Close()", "KelFontManagerCL::Destroy()",
                                      "KelResourceManagerCL::DestroyImageM()",
                                      "KelScreenManagerCL::ClearScreenM()"}),
              std::string::npos);
}

TEST_F(KelEngineTest, WindowMessagesDriveCaptureActivityAndDebugKeys)
{
    m_engine.OnWindowMessage(&m_window, WM_LBUTTONDOWN, 0, 0);
    EXPECT_EQ(GetCapture(), &m_window);
    m_engine.OnWindowMessage(&m_window, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(GetCapture(), nullptr);

    EXPECT_TRUE(m_engine.OnWindowMessage(&m_window, WM_ACTIVATEAPP, 0, 0));
    EXPECT_FALSE(m_system.IsActive());
    m_engine.OnWindowMessage(&m_window, WM_ACTIVATEAPP, 1, 0);
    EXPECT_TRUE(m_system.IsActive());

    // Every message reaches the debug keys as well.
    Win32SetKeyDown(VK_MENU, true);
    Win32SetKeyDown(VK_CONTROL, true);
    m_engine.OnWindowMessage(&m_window, WM_KEYDOWN, 'S', 0);
    Win32SetKeyDown(VK_MENU, false);
    Win32SetKeyDown(VK_CONTROL, false);
    EXPECT_TRUE(m_system.IsStatisticsShown());
}

TEST_F(KelEngineTest, ImageDirectoryLoadsItsTextureInfoFiles)
{
    m_textureInfo.SetModuleDirectoryProvider([this] { return m_folder.WinPath(); });
    m_folder.Write("pictures/config/Cards.xml",
                   "<textureInfo name=\"cards\"><texture ID=\"back\" image=\"back.png\"/></textureInfo>");
    m_engine.SetImageDirectory("pictures");
    ASSERT_NE(m_textureInfo.GetEntryMap("cards"), nullptr);
    EXPECT_EQ(m_textureInfo.GetEntryMap("cards")->count("back"), 1u);
    EXPECT_NE(ReadLog().find("设置图片资源目录 : pictures"), std::string::npos);
}

TEST_F(KelEngineTest, StartGivesTheRegistryInUseATextureFactory)
{
    // A registry installed after the image cache (as the host installs its own) has no factory
    // until the engine starts.
    KelTextureInfoManagerCL adopted;
    adopted.SetModuleDirectoryProvider([this] { return m_folder.WinPath(); });
    m_folder.Write("pictures/config/Cards.xml",
                   "<textureInfo><texture ID=\"back\" image=\"back.png\"><rect left=\"0\" right=\"8\" "
                   "top=\"0\" bottom=\"8\"/></texture></textureInfo>");
    adopted.SetImageDirectory("pictures");
    EXPECT_EQ(adopted.CreateTexture("cards", "back", false), nullptr);

    ASSERT_TRUE(m_engine.KelObjLoaderInit(nullptr));
    KelTextureCL* texture = adopted.CreateTexture("cards", "back", false);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetWidth(), 8);
    KelReleaseTexture(texture);
    m_engine.KelObjLoaderDestroy();
}

TEST_F(KelEngineTest, UpdateAdvancesTheClock)
{
    m_system.Initialize(nullptr);
    m_engine.OnUpdateM();
    EXPECT_EQ(m_system.GetFrameDeltaMs(), 0u);
    Sleep(20);
    m_engine.OnUpdateM();
    EXPECT_GE(m_system.GetFrameDeltaMs(), 15u);
    EXPECT_GE(m_system.GetElapsedMs(), m_system.GetFrameDeltaMs());
}
