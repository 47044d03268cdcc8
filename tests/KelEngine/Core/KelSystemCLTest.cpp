#include "KelSystemCL.h"

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/utsname.h>

#include "D3D8/D3D8.h"
#include "TestDevice.h"
#include "Win32/Files.h"
#include "Win32/Keyboard.h"
#include "Win32/Time.h"
#include "Win32/Window.h"

namespace
{
// The folder of the running test program, in the Windows form the platform hands out.
std::string ExecutableFolder()
{
    std::string folder = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
    for (char& c : folder)
        if (c == '/')
            c = '\\';
    return folder;
}

// The tick counter under the test's control for as long as it lives, starting near the top of
// the 32-bit range so that every difference taken here also crosses the wrap.
class FakeTicks
{
public:
    explicit FakeTicks(DWORD start = 0xFFFFFF00u)
    {
        s_now = start;
        Win32SetTickSource([] { return s_now.load(); });
    }
    ~FakeTicks() { Win32SetTickSource(nullptr); }
    void Advance(DWORD ms) { s_now += ms; }

private:
    static inline std::atomic<DWORD> s_now{0};
};

// Every test leaves the keyboard as it found it: nothing held.
class KeyboardReset
{
public:
    KeyboardReset() { Win32ReleaseAllKeys(); }
    ~KeyboardReset() { Win32ReleaseAllKeys(); }
};
} // namespace

TEST(KelSystemCLTest, ModuleDirectoryIsTheModuleFolder)
{
    KelSystemCL system;
    system.Initialize(Win32ThisModule());
    const std::string folder = ExecutableFolder();
    EXPECT_EQ(system.GetModuleDirectory(), folder);
    EXPECT_EQ(system.GetModuleInstance(), Win32ThisModule());
    EXPECT_EQ(system.MakePath("Data\\gui.xml"), folder + "\\Data\\gui.xml");
    // The free functions reach the most recently constructed instance.
    EXPECT_EQ(KelMakePath("a.ini"), folder + "\\a.ini");
    EXPECT_EQ(KelGetModuleDirectory(), folder);

    // An address outside every module has no file: the directory becomes empty.
    system.Initialize(reinterpret_cast<HINSTANCE>(16));
    EXPECT_EQ(system.GetModuleDirectory(), "");
    EXPECT_EQ(system.MakePath("x.txt"), "\\x.txt");
}

TEST(KelSystemCLTest, TickMeasuresElapsedTimeAndFrameDelta)
{
    FakeTicks ticks;
    KelSystemCL system;
    system.Initialize(nullptr);
    EXPECT_EQ(system.GetElapsedMs(), 0u);
    ticks.Advance(20);
    system.Tick();
    // The first frame has no previous one: its delta is 0, but the clock ran since Initialize.
    EXPECT_EQ(system.GetFrameDeltaMs(), 0u);
    const DWORD first = system.GetElapsedMs();
    EXPECT_EQ(first, 20u);
    ticks.Advance(300);
    KelSystemTick();
    EXPECT_EQ(system.GetFrameDeltaMs(), 300u);
    EXPECT_EQ(system.GetElapsedMs(), 320u);
    EXPECT_EQ(KelGetElapsedMs(), system.GetElapsedMs());
    EXPECT_EQ(KelGetFrameDeltaMs(), system.GetFrameDeltaMs());

    // A new Initialize starts the clock again, first frame included.
    ticks.Advance(5);
    system.Initialize(nullptr);
    ticks.Advance(7);
    system.Tick();
    EXPECT_EQ(system.GetFrameDeltaMs(), 0u);
    EXPECT_EQ(system.GetElapsedMs(), 7u);
}

TEST(KelSystemCLTest, VideoMemoryIsReadOnceFromTheDevice)
{
    KelSystemCL system;
    EXPECT_EQ(system.GetTotalVideoMemoryKb(), 0);
    EXPECT_EQ(system.GetAvailableVideoMemoryKb(), 0);

    MemoryWindow window(32, 32);
    IDirect3D8* d3d = nullptr;
    IDirect3DDevice8* device = nullptr;
    ASSERT_TRUE(CreateTestDevice(window, &d3d, &device));
    IDirect3DTexture8* used = nullptr;
    ASSERT_EQ(device->CreateTexture(256, 256, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &used), D3D_OK);

    system.SetDeviceForMemoryQuery(device);
    const int expected = static_cast<int>(device->GetAvailableTextureMem() >> 10);
    // The first query of "available" reads the total, which also becomes the available amount.
    EXPECT_EQ(system.GetAvailableVideoMemoryKb(), expected);
    EXPECT_EQ(system.GetTotalVideoMemoryKb(), expected);

    // Loaders account for their images themselves; the device is not asked again.
    IDirect3DTexture8* more = nullptr;
    ASSERT_EQ(device->CreateTexture(256, 256, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &more), D3D_OK);
    system.AddAvailableVideoMemoryKb(-256);
    KelAddAvailableVideoMemoryKb(-100);
    EXPECT_EQ(system.GetTotalVideoMemoryKb(), expected);
    EXPECT_EQ(system.GetAvailableVideoMemoryKb(), expected - 356);
    system.SetAvailableVideoMemoryKb(1234);
    EXPECT_EQ(system.GetAvailableVideoMemoryKb(), 1234);
    EXPECT_EQ(system.GetTotalVideoMemoryKb(), expected);

    more->Release();
    used->Release();
    device->Release();
    d3d->Release();
}

TEST(KelSystemCLTest, FlagsAndDefaults)
{
    KelSystemCL system;
    EXPECT_TRUE(system.IsActive());
    EXPECT_TRUE(system.GetRedrawM());
    EXPECT_FALSE(system.IsStatisticsShown());
    EXPECT_FALSE(system.IsFontBrowserMode());
    system.SetActive(false);
    EXPECT_FALSE(KelIsActive());
    KelSetRedraw(false);
    EXPECT_FALSE(system.GetRedrawM());
    system.SetRedrawM(true);
    EXPECT_TRUE(KelGetRedraw());
}

TEST(KelSystemCLTest, OsDescriptionNamesTheKernelAndItsVersion)
{
    KelSystemCL system;
    const std::string description = system.GetOsDescription();
    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    EXPECT_EQ(description.rfind(std::string(names.sysname) + " ", 0), 0u) << description;
    // "... <version> (Build <number>)" at the end.
    const size_t build = description.rfind(" (Build ");
    ASSERT_NE(build, std::string::npos) << description;
    const std::string number = description.substr(build + 8);
    ASSERT_GE(number.size(), 2u) << description;
    EXPECT_EQ(number.back(), ')');
    EXPECT_EQ(number.find_first_not_of("0123456789"), number.size() - 1) << description;
    const size_t versionStart = description.rfind(' ', build - 1) + 1;
    const std::string version = description.substr(versionStart, build - versionStart);
    ASSERT_FALSE(version.empty());
    EXPECT_EQ(version.find_first_not_of("0123456789."), std::string::npos) << version;
    // The version is the start of the kernel's release text.
    EXPECT_EQ(std::string(names.release).rfind(version, 0), 0u) << names.release;
    // Built once and the same for every instance.
    system.QueryOsDescription();
    EXPECT_EQ(system.GetOsDescription(), description);
    EXPECT_EQ(KelSystemCL().GetOsDescription(), description);
}

TEST(KelSystemCLTest, KeyboardStateFollowsTheHost)
{
    KeyboardReset keys;
    EXPECT_EQ(GetAsyncKeyState(VK_CONTROL), 0);
    Win32SetKeyDown(VK_RCONTROL, true);
    // Either Ctrl key holds the shared code; only the pressed one holds its own code.
    EXPECT_NE(GetAsyncKeyState(VK_CONTROL) & 0x8000, 0);
    EXPECT_LT(GetKeyState(VK_CONTROL), 0);
    EXPECT_NE(GetAsyncKeyState(VK_RCONTROL) & 0x8000, 0);
    EXPECT_EQ(GetAsyncKeyState(VK_LCONTROL), 0);
    Win32SetKeyDown(VK_RCONTROL, false);
    EXPECT_EQ(GetAsyncKeyState(VK_CONTROL), 0);

    // The low bit of GetKeyState toggles on each press, not on repeats or releases.
    const int toggles[][2] = {{1, 1}, {1, 1}, {0, 1}, {1, 0}, {0, 0}};
    for (const auto& step : toggles)
    {
        Win32SetKeyDown('A', step[0] != 0);
        EXPECT_EQ(GetKeyState('A') & 1, step[1]);
    }
    // Codes outside the table are never held, and setting them changes nothing.
    Win32SetKeyDown(-1, true);
    Win32SetKeyDown(256, true);
    EXPECT_EQ(GetAsyncKeyState(-1), 0);
    EXPECT_EQ(GetKeyState(256), 0);
}

TEST(KelSystemCLTest, DebugKeysDriveTheFontBrowserAndStatistics)
{
    KeyboardReset keys;
    KelSystemCL system;
    // Three fonts with 2, 4 and 1 pages.
    const std::vector<int> pages = {2, 4, 1};
    system.SetFontBrowserSource([&] { return static_cast<int>(pages.size()); },
                                [&](int font) { return pages.at(static_cast<size_t>(font)); });
    struct Step
    {
        bool alt;
        bool ctrl;
        UINT message;
        int key;
        bool mode;
        int font;
        int page;
        bool statistics;
    };
    const Step steps[] = {
        {false, false, WM_KEYDOWN, 'F', false, 0, 0, false},     // F alone
        {false, true, WM_KEYDOWN, 'F', false, 0, 0, false},      // Ctrl without Alt
        {true, false, WM_KEYDOWN, 'F', false, 0, 0, false},      // Alt without Ctrl
        {true, true, WM_KEYUP, 'F', false, 0, 0, false},         // only key-down messages count
        {false, false, WM_KEYDOWN, VK_DOWN, false, 0, 0, false}, // arrows need the browser
        {true, true, WM_KEYDOWN, 'F', true, 0, 0, false},
        {false, false, WM_KEYDOWN, VK_UP, true, 0, 0, false}, // clamped at the first font
        {false, false, WM_KEYDOWN, VK_DOWN, true, 1, 0, false},
        {false, false, WM_KEYDOWN, VK_DOWN, true, 2, 0, false},
        {false, false, WM_KEYDOWN, VK_DOWN, true, 2, 0, false},  // clamped at the last font
        {false, false, WM_KEYDOWN, VK_RIGHT, true, 2, 0, false}, // font 2 has one page
        {false, false, WM_KEYDOWN, VK_UP, true, 1, 0, false},
        {false, false, WM_KEYDOWN, VK_RIGHT, true, 1, 1, false},
        {false, false, WM_KEYDOWN, VK_RIGHT, true, 1, 2, false},
        {false, false, WM_KEYDOWN, VK_RIGHT, true, 1, 3, false},
        {false, false, WM_KEYDOWN, VK_RIGHT, true, 1, 3, false}, // clamped at the last page
        {false, false, WM_KEYDOWN, VK_LEFT, true, 1, 2, false},
        {false, false, WM_KEYDOWN, VK_ESCAPE, false, 1, 2, false}, // leaves, keeps the selection
        {false, false, WM_KEYDOWN, VK_LEFT, false, 1, 2, false},
        {true, true, WM_KEYDOWN, 'S', false, 1, 2, true},
        {false, false, WM_KEYDOWN, 'S', false, 1, 2, true},
        {true, true, WM_KEYDOWN, 'S', false, 1, 2, false},
    };
    for (size_t i = 0; i < std::size(steps); ++i)
    {
        const Step& step = steps[i];
        Win32SetKeyDown(VK_MENU, step.alt);
        Win32SetKeyDown(VK_CONTROL, step.ctrl);
        system.HandleDebugKey(nullptr, step.message, static_cast<WPARAM>(step.key), 0);
        EXPECT_EQ(system.IsFontBrowserMode(), step.mode) << "step " << i;
        EXPECT_EQ(system.GetSelectedFont(), step.font) << "step " << i;
        EXPECT_EQ(system.GetSelectedPage(), step.page) << "step " << i;
        EXPECT_EQ(system.IsStatisticsShown(), step.statistics) << "step " << i;
    }
    system.ClearFontBrowserSelection();
    EXPECT_EQ(system.GetSelectedFont(), 0);
    EXPECT_EQ(system.GetSelectedPage(), 0);
}

TEST(KelSystemCLTest, FontBrowserWithoutFontsSelectsNothing)
{
    KeyboardReset keys;
    KelSystemCL system;
    Win32SetKeyDown(VK_LMENU, true);
    Win32SetKeyDown(VK_LCONTROL, true);
    system.HandleDebugKey(nullptr, WM_KEYDOWN, 'F', 0);
    ASSERT_TRUE(system.IsFontBrowserMode());
    for (int key : {VK_DOWN, VK_RIGHT, VK_DOWN, VK_UP, VK_LEFT})
        system.HandleDebugKey(nullptr, WM_KEYDOWN, static_cast<WPARAM>(key), 0);
    EXPECT_EQ(system.GetSelectedFont(), 0);
    EXPECT_EQ(system.GetSelectedPage(), 0);
}

TEST(KelSystemCLTest, StatisticsCountQuadsPerFrameAndMeasureFps)
{
    KeyboardReset keys;
    FakeTicks ticks;
    KelSystemCL system;
    for (int i = 0; i < 3; ++i)
        KelCountQuad();
    // Without the statistics nothing is reported, so the count goes on.
    system.DrawDebugOverlay(nullptr);
    EXPECT_EQ(system.GetQuadCount(), 3);

    Win32SetKeyDown(VK_MENU, true);
    Win32SetKeyDown(VK_CONTROL, true);
    system.HandleDebugKey(nullptr, WM_KEYDOWN, 'S', 0);
    ASSERT_TRUE(system.IsStatisticsShown());
    system.DrawDebugOverlay(nullptr);
    EXPECT_EQ(system.GetQuadCount(), 0);

    // 50 frames, then a frame after more than 2000 ms: 51 frames over the time since measuring
    // began. Until then the rate stays 0.
    for (int i = 1; i < 50; ++i)
        system.DrawDebugOverlay(nullptr);
    EXPECT_EQ(system.GetFps(), 0);
    ticks.Advance(2000);
    system.DrawDebugOverlay(nullptr);
    EXPECT_EQ(system.GetFps(), 0) << "2000 ms is not more than 2000 ms";
    ticks.Advance(550);
    system.DrawDebugOverlay(nullptr);
    EXPECT_EQ(system.GetFps(), 52 * 1000 / 2550);

    // The count restarted: the rate holds until the next period has passed.
    const int fps = system.GetFps();
    for (int i = 0; i < 200; ++i)
        system.DrawDebugOverlay(nullptr);
    EXPECT_EQ(system.GetFps(), fps);
}
