#pragma once
// The system object: the module's directory, the frame clock, the video-memory estimate, the
// window's active state, the redraw request, and the debug overlay with its keys.
//
// The clock counts milliseconds of the system tick counter from Initialize. Tick, called once
// per frame, takes the time elapsed since then and the time since the previous Tick (0 for the
// first frame after Initialize).
//
// Paths are in Windows form: the module directory is the module file's path up to, not
// including, its last backslash, and MakePath joins it and a name with a backslash.
//
// The operating-system description is built once, at construction, in the form
//     "<kernel name> <distribution name> <kernel version> (Build <patch level>)"
// for example "Linux Debian GNU/Linux 12 (bookworm) 6.1.0 (Build 0)": the kernel name and
// version come from uname (the version cut to its leading "major.minor.patch" numbers, the patch
// level being the third of them, 0 when absent), and the distribution name is PRETTY_NAME of
// /etc/os-release, left out with its space when that file or entry is missing.
//
// Debug overlay keys (key-down messages only): Escape leaves the font browser; with Alt and
// Ctrl held, F enters it and S shows or hides the statistics. In the font browser Up and Down
// select the previous and next font, Left and Right the previous and next page of the selected
// font, each clamped to the fonts and pages there are. Fonts are not owned here: the font
// manager tells the overlay how many fonts and pages there are through SetFontBrowserSource.
//
// While the statistics are shown, every overlay draw counts a frame; once more than 2000 ms have
// passed since the last measurement, the frame rate becomes frames * 1000 / elapsed ms. Drawing
// the statistics also starts the quad count of the next frame from 0.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <random>
#include <string>

#include "KelSingletonCL.h"
#include "Win32/WinTypes.h"

class IDirect3DDevice8;
class KelCanvasCL;

class KelSystemCL : public KelSingletonCL<KelSystemCL>
{
public:
    KelSystemCL();

    // Stores the module instance, takes the module directory from its file path and starts the
    // clock.
    virtual void Initialize(HINSTANCE instance);
    // Milliseconds from Initialize to the last Tick.
    virtual DWORD GetElapsedMs();
    // Milliseconds between the last two Ticks.
    virtual DWORD GetFrameDeltaMs();
    virtual const std::string& GetModuleDirectory();
    // Once per frame: advances the elapsed time and the frame delta.
    virtual void Tick();
    // The module directory, a backslash, then the name.
    virtual std::string MakePath(const std::string& name);
    // The device's texture memory in KB, read on the first call that finds a device; it also
    // becomes the available amount. 0 while there is no device.
    virtual int GetTotalVideoMemoryKb();
    // What image loaders have left of the total (they subtract their estimates).
    virtual int GetAvailableVideoMemoryKb();
    virtual void AddAvailableVideoMemoryKb(int deltaKb);
    virtual void SetAvailableVideoMemoryKb(int kb);
    // Whether the application window is active (the default).
    virtual void SetActive(bool active);
    virtual bool IsActive();
    // Counts one quad drawn in the current frame, for the statistics.
    virtual void CountQuad();
    // Draws the overlay after the windows of a frame, and measures the frame rate.
    virtual void DrawDebugOverlay(KelCanvasCL* canvas);
    // Sees every window message; acts on the overlay keys.
    virtual void HandleDebugKey(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    // Selects the first font and its first page in the font browser.
    virtual void ClearFontBrowserSelection();
    // Builds the operating-system description (see above).
    virtual void QueryOsDescription();
    virtual const std::string& GetOsDescription();
    // The request that the screen be drawn again (set by default).
    virtual void SetRedrawM(bool redraw);
    virtual bool GetRedrawM();

    virtual ~KelSystemCL();

    // The device whose texture memory the video-memory figures report. The screen manager sets
    // the current screen's device here once it has created it.
    void SetDeviceForMemoryQuery(IDirect3DDevice8* device);
    // How the font browser learns the number of fonts and, for a font index, the number of its
    // consecutive non-empty pages. Without a source there are no fonts to select.
    void SetFontBrowserSource(std::function<int()> fontCount, std::function<int(int)> pageCount);

    // The engine's one source of chance (name suffixes, animation phases), owned here rather than
    // hidden in the C library, so that a test can seed it and replay what it saw. Safe to call
    // from any thread.
    uint32_t NextRandom();
    void SeedRandom(uint32_t seed);

    HINSTANCE GetModuleInstance() const { return m_instance; }
    bool IsFontBrowserMode() const { return m_fontBrowserMode != 0; }
    int GetSelectedFont() const { return m_selectedFont; }
    int GetSelectedPage() const { return m_selectedPage; }
    bool IsStatisticsShown() const { return m_showStatistics; }
    int GetQuadCount() const { return m_quadCount; }
    // The last measured frame rate; 0 before the first measurement.
    int GetFps() const { return m_fps; }

private:
    int FontCount() const;
    int PageCount(int font) const;

    HINSTANCE m_instance = nullptr;
    std::string m_moduleDirectory;
    DWORD m_startTick = 0;
    DWORD m_elapsedMs = 0;
    DWORD m_frameDeltaMs = 0;
    bool m_ticked = false;
    int m_totalVideoMemoryKb = 0;
    // Image loads on the loader thread change it while the UI thread reads and changes it.
    std::atomic<int> m_availableVideoMemoryKb{0};
    IDirect3DDevice8* m_memoryDevice = nullptr;
    int m_quadCount = 0;
    std::string m_osDescription;
    bool m_active = true;
    bool m_redraw = true;
    unsigned char m_fontBrowserMode = 0;
    int m_selectedFont = 0;
    int m_selectedPage = 0;
    bool m_showStatistics = false;
    std::function<int()> m_fontCount;
    std::function<int(int)> m_pageCount;
    std::mutex m_randomLock;
    std::minstd_rand m_random;
    int m_fpsFrames = 0;
    DWORD m_fpsStartTick = 0;
    int m_fps = 0;
};

// The operations most code uses, on the current system object.
void KelSystemTick();
DWORD KelGetElapsedMs();
uint32_t KelRandom();
DWORD KelGetFrameDeltaMs();
const std::string& KelGetModuleDirectory();
std::string KelMakePath(const std::string& name);
void KelCountQuad();
void KelAddAvailableVideoMemoryKb(int deltaKb);
bool KelIsActive();
void KelSetRedraw(bool redraw);
bool KelGetRedraw();
