#include "KelSystemCL.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <utility>

#include <sys/utsname.h>

#include "D3D8/D3D8.h"
#include "KelCanvasCL.h"
#include "KelFontCL.h"
#include "KelFontManagerCL.h"
#include "KelGuard.h"
#include "KelImageCL.h"
#include "Win32/Files.h"
#include "Win32/Keyboard.h"
#include "Win32/Text.h"
#include "Win32/Time.h"

namespace
{
// The module path buffer, as large as the module has always used.
constexpr DWORD kModulePathSize = 255;
// The frame rate is measured over at least this many milliseconds.
constexpr DWORD kFpsPeriodMs = 2000;

// PRETTY_NAME of /etc/os-release without its quotes; empty when there is none.
std::string DistributionName()
{
    FILE* file = std::fopen("/etc/os-release", "r");
    if (file == nullptr)
        return std::string();
    std::string name;
    char line[512];
    const char key[] = "PRETTY_NAME=";
    while (std::fgets(line, sizeof(line), file) != nullptr)
    {
        if (std::strncmp(line, key, sizeof(key) - 1) != 0)
            continue;
        name = line + sizeof(key) - 1;
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
            name.pop_back();
        if (name.size() >= 2 && (name.front() == '"' || name.front() == '\'') && name.back() == name.front())
            name = name.substr(1, name.size() - 2);
        break;
    }
    std::fclose(file);
    // The file is UTF-8; every narrow string of the system is GBK.
    return Utf8ToGbk(name);
}

// The leading "major.minor.patch" of a kernel release such as "6.1.0-18-amd64", and the patch
// level (the third number, 0 when there is none).
std::string KernelVersion(const char* release, int* patchLevel)
{
    std::string version;
    int numbers = 0;
    int current = 0;
    const char* p = release;
    while (numbers < 3 && *p >= '0' && *p <= '9')
    {
        current = 0;
        while (*p >= '0' && *p <= '9')
        {
            current = std::min(current * 10 + (*p - '0'), 0xFFFF);
            version += *p++;
        }
        ++numbers;
        if (numbers < 3 && *p == '.' && p[1] >= '0' && p[1] <= '9')
            version += *p++;
        else
            break;
    }
    *patchLevel = numbers >= 3 ? current : 0;
    return version;
}

// The position of the last backslash of a GBK path. The second byte of a GBK character may have
// the value of a backslash, so the path is read character by character.
size_t LastBackslash(const char* path)
{
    size_t last = std::string::npos;
    for (size_t i = 0; path[i] != '\0'; ++i)
    {
        if (IsGbkLeadByte(static_cast<unsigned char>(path[i])) && path[i + 1] != '\0')
            ++i;
        else if (path[i] == '\\')
            last = i;
    }
    return last;
}

int Clamp(int value, int count)
{
    return std::max(0, std::min(value, count - 1));
}
} // namespace

KelSystemCL::KelSystemCL()
{
    m_startTick = GetTickCount();
    m_fpsStartTick = m_startTick;
    m_random.seed(std::random_device{}());
    QueryOsDescription();
}

uint32_t KelSystemCL::NextRandom()
{
    std::lock_guard<std::mutex> lock(m_randomLock);
    return static_cast<uint32_t>(m_random());
}

void KelSystemCL::SeedRandom(uint32_t seed)
{
    std::lock_guard<std::mutex> lock(m_randomLock);
    m_random.seed(seed);
}

KelSystemCL::~KelSystemCL() = default;

void KelSystemCL::Initialize(HINSTANCE instance)
{
    KEL_TRY
    m_instance = instance;
    char path[kModulePathSize + 1] = {};
    DWORD length = GetModuleFileNameA(instance, path, kModulePathSize);
    m_moduleDirectory.clear();
    if (length > 0)
    {
        size_t lastBackslash = LastBackslash(path);
        if (lastBackslash != std::string::npos)
            m_moduleDirectory.assign(path, lastBackslash);
    }
    m_startTick = GetTickCount();
    m_elapsedMs = 0;
    m_frameDeltaMs = 0;
    m_ticked = false;
    KEL_CATCH
}

DWORD KelSystemCL::GetElapsedMs()
{
    KEL_TRY
    return m_elapsedMs;
    KEL_CATCH
}

DWORD KelSystemCL::GetFrameDeltaMs()
{
    KEL_TRY
    return m_frameDeltaMs;
    KEL_CATCH
}

const std::string& KelSystemCL::GetModuleDirectory()
{
    KEL_TRY
    return m_moduleDirectory;
    KEL_CATCH
}

void KelSystemCL::Tick()
{
    KEL_TRY
    DWORD elapsed = GetTickCount() - m_startTick;
    m_frameDeltaMs = m_ticked ? elapsed - m_elapsedMs : 0;
    m_elapsedMs = elapsed;
    m_ticked = true;
    KEL_CATCH
}

std::string KelSystemCL::MakePath(const std::string& name)
{
    KEL_TRY
    return m_moduleDirectory + "\\" + name;
    KEL_CATCH
}

int KelSystemCL::GetTotalVideoMemoryKb()
{
    KEL_TRY
    if (m_totalVideoMemoryKb == 0 && m_memoryDevice != nullptr)
    {
        m_totalVideoMemoryKb = static_cast<int>(m_memoryDevice->GetAvailableTextureMem() >> 10);
        m_availableVideoMemoryKb = m_totalVideoMemoryKb;
    }
    return m_totalVideoMemoryKb;
    KEL_CATCH
}

int KelSystemCL::GetAvailableVideoMemoryKb()
{
    KEL_TRY
    GetTotalVideoMemoryKb();
    return m_availableVideoMemoryKb;
    KEL_CATCH
}

void KelSystemCL::AddAvailableVideoMemoryKb(int deltaKb)
{
    KEL_TRY
    m_availableVideoMemoryKb.fetch_add(deltaKb);
    KEL_CATCH
}

void KelSystemCL::SetAvailableVideoMemoryKb(int kb)
{
    KEL_TRY
    m_availableVideoMemoryKb = kb;
    KEL_CATCH
}

void KelSystemCL::SetActive(bool active)
{
    KEL_TRY
    m_active = active;
    KEL_CATCH
}

bool KelSystemCL::IsActive()
{
    KEL_TRY
    return m_active;
    KEL_CATCH
}

void KelSystemCL::CountQuad()
{
    KEL_TRY
    // Nothing resets the count while the statistics are hidden; it stops at the largest value
    // instead of overflowing after some hours.
    if (m_quadCount < INT_MAX)
        ++m_quadCount;
    KEL_CATCH
}

void KelSystemCL::DrawDebugOverlay(KelCanvasCL* canvas)
{
    KEL_TRY
    // Where the overlay's lines go.
    constexpr int kBrowserLeft = 100;
    constexpr int kBrowserTop = 100;
    constexpr int kBrowserLineGap = 16;
    constexpr int kBrowserPageGap = 20;
    constexpr int kStatisticsLeft = 10;
    constexpr int kStatisticsTop = 30;
    constexpr int kStatisticsLineGap = 20;
    auto opaque = [](uint32_t red, uint32_t green, uint32_t blue) -> D3DCOLOR
    { return 0xFF000000u | red << 16 | green << 8 | blue; };
    // Draws the lines in the current font, each in its colour, and leaves the text colour as it
    // was; returns where the next line would go.
    auto drawLines = [&](int x, int y, int gap, std::initializer_list<std::pair<D3DCOLOR, const char*>> lines)
    {
        const D3DCOLOR previous = canvas->GetTextColor();
        for (const auto& [color, text] : lines)
        {
            canvas->SetTextColor(color);
            canvas->DrawText(text, x, y, nullptr, false, 0);
            y += gap;
        }
        canvas->SetTextColor(previous);
        return y;
    };

    if (canvas != nullptr && m_fontBrowserMode != 0)
    {
        KelFontCL* font = KelFontManagerCL::GetInstance()->GetFontByIndex(m_selectedFont);
        char counts[128];
        std::snprintf(counts, sizeof counts, "当前字体库:%d/%d  当前页数:%d/%d", m_selectedFont + 1,
                      FontCount(), m_selectedPage + 1, PageCount(m_selectedFont));
        const std::string face = "当前字体的类型:" + (font != nullptr ? font->GetFaceName() : std::string());
        const int next = drawLines(kBrowserLeft, kBrowserTop, kBrowserLineGap,
                                   {{opaque(50, 255, 50), "<上>  <下>  键选择字体库"},
                                    {opaque(50, 50, 255), "<左>  <右>  键反动当前页"},
                                    {opaque(50, 255, 255), counts},
                                    {opaque(255, 255, 50), face.c_str()}});
        // The selected page itself, below the last line.
        KelImageCL* page = font != nullptr ? font->GetPage(m_selectedPage) : nullptr;
        if (page != nullptr)
            page->Render(canvas, static_cast<float>(kBrowserLeft),
                         static_cast<float>(next - kBrowserLineGap + kBrowserPageGap));
    }

    if (!m_showStatistics)
        return;
    const int quads = m_quadCount;
    // The quads of this frame have been reported; the next frame counts from 0.
    m_quadCount = 0;
    ++m_fpsFrames;
    DWORD now = GetTickCount();
    DWORD elapsed = now - m_fpsStartTick;
    if (elapsed > kFpsPeriodMs)
    {
        m_fps = static_cast<int>(static_cast<int64_t>(m_fpsFrames) * 1000 / elapsed);
        m_fpsFrames = 0;
        m_fpsStartTick = now;
    }
    if (canvas == nullptr)
        return;
    char memory[128];
    std::snprintf(memory, sizeof memory, "vedio memory : %d / %d", GetAvailableVideoMemoryKb(),
                  GetTotalVideoMemoryKb());
    char quadLine[64];
    std::snprintf(quadLine, sizeof quadLine, "每针绘制四边形数:%d", quads);
    char fps[32];
    std::snprintf(fps, sizeof fps, "FPS : %d", m_fps);
    drawLines(kStatisticsLeft, kStatisticsTop, kStatisticsLineGap,
              {{opaque(0, 255, 255), m_osDescription.c_str()},
               {opaque(0, 255, 0), memory},
               {opaque(255, 255, 255), quadLine},
               {opaque(255, 255, 0), fps}});
    KEL_CATCH
}

void KelSystemCL::HandleDebugKey(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    KEL_TRY(void) window;
    (void)lparam;
    if (message != WM_KEYDOWN)
        return;
    const bool altAndCtrl =
        (GetAsyncKeyState(VK_MENU) & 0x8000) != 0 && (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
    switch (wparam)
    {
    case VK_ESCAPE:
        m_fontBrowserMode = 0;
        break;
    case 'F':
        if (altAndCtrl)
            m_fontBrowserMode = 1;
        break;
    case 'S':
        if (altAndCtrl)
        {
            m_showStatistics = !m_showStatistics;
            // A measurement covers only frames drawn while the statistics are shown.
            m_fpsFrames = 0;
            m_fpsStartTick = GetTickCount();
        }
        break;
    case VK_UP:
        if (m_fontBrowserMode != 0)
            m_selectedFont = Clamp(m_selectedFont - 1, FontCount());
        break;
    case VK_DOWN:
        if (m_fontBrowserMode != 0)
            m_selectedFont = Clamp(m_selectedFont + 1, FontCount());
        break;
    case VK_LEFT:
        if (m_fontBrowserMode != 0)
            m_selectedPage = Clamp(m_selectedPage - 1, PageCount(m_selectedFont));
        break;
    case VK_RIGHT:
        if (m_fontBrowserMode != 0)
            m_selectedPage = Clamp(m_selectedPage + 1, PageCount(m_selectedFont));
        break;
    default:
        break;
    }
    KEL_CATCH
}

void KelSystemCL::ClearFontBrowserSelection()
{
    KEL_TRY
    m_selectedFont = 0;
    m_selectedPage = 0;
    KEL_CATCH
}

void KelSystemCL::QueryOsDescription()
{
    KEL_TRY
    std::string description;
    utsname names{};
    int patchLevel = 0;
    std::string version;
    if (uname(&names) == 0)
    {
        description = std::string(names.sysname) + " ";
        version = KernelVersion(names.release, &patchLevel);
    }
    std::string distribution = DistributionName();
    if (!distribution.empty())
        description += distribution + " ";
    char build[64];
    std::snprintf(build, sizeof(build), "%s (Build %d)", version.c_str(), patchLevel);
    m_osDescription = description + build;
    KEL_CATCH
}

const std::string& KelSystemCL::GetOsDescription()
{
    KEL_TRY
    return m_osDescription;
    KEL_CATCH
}

void KelSystemCL::SetRedrawM(bool redraw)
{
    KEL_TRY
    m_redraw = redraw;
    KEL_CATCH
}

bool KelSystemCL::GetRedrawM()
{
    KEL_TRY
    return m_redraw;
    KEL_CATCH
}

void KelSystemCL::SetDeviceForMemoryQuery(IDirect3DDevice8* device)
{
    m_memoryDevice = device;
}

void KelSystemCL::SetFontBrowserSource(std::function<int()> fontCount, std::function<int(int)> pageCount)
{
    m_fontCount = std::move(fontCount);
    m_pageCount = std::move(pageCount);
}

int KelSystemCL::FontCount() const
{
    return m_fontCount ? m_fontCount() : 0;
}

int KelSystemCL::PageCount(int font) const
{
    return m_pageCount ? m_pageCount(font) : 0;
}

void KelSystemTick()
{
    KelSystemCL::GetInstance()->Tick();
}

DWORD KelGetElapsedMs()
{
    return KelSystemCL::GetInstance()->GetElapsedMs();
}

uint32_t KelRandom()
{
    return KelSystemCL::GetInstance()->NextRandom();
}

DWORD KelGetFrameDeltaMs()
{
    return KelSystemCL::GetInstance()->GetFrameDeltaMs();
}

const std::string& KelGetModuleDirectory()
{
    return KelSystemCL::GetInstance()->GetModuleDirectory();
}

std::string KelMakePath(const std::string& name)
{
    return KelSystemCL::GetInstance()->MakePath(name);
}

void KelCountQuad()
{
    KelSystemCL::GetInstance()->CountQuad();
}

void KelAddAvailableVideoMemoryKb(int deltaKb)
{
    KelSystemCL::GetInstance()->AddAvailableVideoMemoryKb(deltaKb);
}

bool KelIsActive()
{
    return KelSystemCL::GetInstance()->IsActive();
}

void KelSetRedraw(bool redraw)
{
    KelSystemCL::GetInstance()->SetRedrawM(redraw);
}

bool KelGetRedraw()
{
    return KelSystemCL::GetInstance()->GetRedrawM();
}
