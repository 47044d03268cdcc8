#pragma once
// What the engine's tests share: a fresh folder with a log of the test's own writing into it, the
// engine with every manager the test's own and a screen on a memory window, a clock the test
// sets, the pixels of the frame last presented, and picture files built from known bytes.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <minizip/zip.h>

#include "D3D8/D3D8.h"
#include "KelAniFile.h"
#include "KelCanvasCL.h"
#include "KelEngineCL.h"
#include "KelFontManagerCL.h"
#include "KelLoadSystemCL.h"
#include "KelLogCL.h"
#include "KelRenderStateManagerCL.h"
#include "KelResourceManagerCL.h"
#include "KelScreenCL.h"
#include "KelScreenManagerCL.h"
#include "KelSystemCL.h"
#include "KelTextureInfoManagerCL.h"
#include "TestFolder.h"
#include "Win32/Window.h"

// The engine clock, set by the test instead of running.
class TestClockCL : public KelSystemCL
{
public:
    explicit TestClockCL(DWORD start = 0) : now(start) {}
    DWORD GetElapsedMs() override { return now; }
    DWORD now;
};

// A frame as the window shows it, rows packed.
struct TestFrame
{
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    // The pixel as XRGB: what the back buffer holds in its unused byte is no part of the picture.
    uint32_t At(int x, int y) const { return pixels.at(static_cast<size_t>(y) * width + x) & 0xFFFFFF; }
};

// A fresh folder that is the current directory, with a log of the test's own writing into it.
class LogFolderTest : public ::testing::Test
{
protected:
    // The log so far; the log buffers its lines, so it is flushed first.
    std::string ReadLog()
    {
        KelLogFlush();
        return m_folder.Read("KelLogFile.txt");
    }

    // A file of the folder in the Windows form the engine takes.
    std::string Path(const std::string& name) const { return m_folder.WinPath() + "\\" + name; }

    TestFolder m_folder{true};
    KelLogCL m_log;
};

// The engine with each of its managers the test's own (so that no test sees another's images,
// fonts or screens), and a memory window for its screen. SystemT is the system object: the
// engine's own kind, or a clock the test sets. The engine is shut down when the test ends.
template <class SystemT = KelSystemCL>
class EngineTestBase : public LogFolderTest
{
protected:
    explicit EngineTestBase(int width = 64, int height = 48) : m_window(width, height) {}

    void TearDown() override { m_engine.KelObjLoaderDestroy(); }

    // Starts the engine and opens a screen with a device on the memory window; see OpenScreen.
    KelScreenCL* CreateScreenWithDevice(const std::string& name = "main")
    {
        EXPECT_TRUE(m_engine.KelObjLoaderInit(nullptr));
        return OpenScreen(name);
    }

    // Starts the engine with its image loader stopped, so that each test starts it when it needs
    // loads in the background, and opens a screen with a device; see OpenScreen.
    KelScreenCL* CreateScreenWithLoaderStopped(const std::string& name = "main")
    {
        EXPECT_TRUE(m_engine.KelObjLoaderInit(nullptr));
        m_loader.Close();
        return OpenScreen(name);
    }

    // Opens a screen of the started engine with a device on the memory window and makes it the
    // test's screen; null, with the failure reported, when either step fails.
    KelScreenCL* OpenScreen(const std::string& name = "main")
    {
        KelScreenCL* screen = m_engine.CreateKelWindow(name);
        EXPECT_NE(screen, nullptr);
        if (screen == nullptr)
            return nullptr;
        if (!screen->CreateDevice(&m_window, 0))
        {
            ADD_FAILURE() << "no device for the screen " << name;
            return nullptr;
        }
        m_screen = screen;
        m_device = screen->GetDevice();
        return screen;
    }

    // The frame last presented.
    TestFrame ReadFrame()
    {
        TestFrame frame;
        frame.pixels = m_window.Frame(&frame.width, &frame.height);
        return frame;
    }

    // Draws one frame of the test's screen with the drawing and returns it.
    TestFrame RenderFrame(const std::function<void(KelCanvasCL*)>& draw)
    {
        m_screen->SetRenderCallback(draw);
        m_screen->RenderFrame();
        return ReadFrame();
    }

    // A pixel of the frame last presented, as XRGB.
    uint32_t Pixel(int x, int y) { return ReadFrame().At(x, y); }

    SystemT m_system;
    KelRenderStateManagerCL m_states;
    KelLoadSystemCL m_loader;
    KelTextureInfoManagerCL m_textureInfo;
    KelFontManagerCL m_fonts;
    // Constructed after the registry, so that the registry gets the texture factory.
    KelResourceManagerCL m_images;
    KelScreenManagerCL m_screens;
    KelEngineCL m_engine;
    MemoryWindow m_window;
    KelScreenCL* m_screen = nullptr;
    IDirect3DDevice8* m_device = nullptr;
};

using EngineTest = EngineTestBase<>;

// An uncompressed 32-bit TGA, rows from the top; the ARGB pixels are repeated to fill the picture.
inline std::string Tga(int width, int height, const std::vector<uint32_t>& argb)
{
    std::string file(18, '\0');
    file[2] = 2;
    file[12] = static_cast<char>(width);
    file[13] = static_cast<char>(width >> 8);
    file[14] = static_cast<char>(height);
    file[15] = static_cast<char>(height >> 8);
    file[16] = 32;
    file[17] = 0x28; // 8 alpha bits, first row at the top
    for (int i = 0; i < width * height; ++i)
    {
        const uint32_t pixel = argb[static_cast<size_t>(i) % argb.size()];
        for (int shift = 0; shift < 32; shift += 8)
            file += static_cast<char>(pixel >> shift);
    }
    return file;
}

inline std::string SolidTga(int width, int height, uint32_t argb)
{
    return Tga(width, height, std::vector<uint32_t>{argb});
}

// Colour indices of the palette TestGif writes.
enum TestGifColour : uint8_t
{
    kGifRed,
    kGifMagenta,
    kGifGreen,
    kGifBlue
};

// A frame of a GIF: its place on the screen, its delay in hundredths of a second (< 0 writes no
// graphic control extension) and its colour indices, row by row.
struct TestGifFrame
{
    int left, top, width, height;
    int delay;
    std::vector<uint8_t> indices;
};

inline int AppendTestGifBytes(GifFileType* gif, const GifByteType* data, int length)
{
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

// A GIF of the frames on a screen of the size, with the palette of TestGifColour.
inline std::string TestGif(int width, int height, const std::vector<TestGifFrame>& frames)
{
    std::string out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, &AppendTestGifBytes, &error);
    EXPECT_NE(gif, nullptr);
    if (gif == nullptr)
        return out;
    EGifSetGifVersion(gif, true);
    GifColorType colours[4] = {{255, 0, 0}, {255, 0, 255}, {0, 255, 0}, {0, 0, 255}};
    ColorMapObject* map = GifMakeMapObject(4, colours);
    EXPECT_EQ(EGifPutScreenDesc(gif, width, height, 8, kGifBlue, map), GIF_OK);
    for (const TestGifFrame& frame : frames)
    {
        if (frame.delay >= 0)
        {
            GraphicsControlBlock control{DISPOSE_DO_NOT, false, frame.delay, NO_TRANSPARENT_COLOR};
            GifByteType extension[4];
            const size_t length = EGifGCBToExtension(&control, extension);
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension);
        }
        EXPECT_EQ(EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height, false, nullptr),
                  GIF_OK);
        for (int y = 0; y < frame.height; ++y)
        {
            const auto row = frame.indices.begin() + static_cast<std::ptrdiff_t>(y) * frame.width;
            std::vector<GifPixelType> line(row, row + frame.width);
            EGifPutLine(gif, line.data(), frame.width);
        }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

struct TestZipMember
{
    std::string name;
    std::string data;
};

// A zip archive of the members, deflated, at a path of the local file system.
inline void WriteTestZip(const std::string& path, const std::vector<TestZipMember>& members)
{
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(zip, nullptr);
    for (const TestZipMember& member : members)
    {
        zip_fileinfo info{};
        ASSERT_EQ(zipOpenNewFileInZip64(zip, member.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                        Z_DEFLATED, 6, 0),
                  ZIP_OK);
        ASSERT_EQ(zipWriteInFileInZip(zip, member.data.data(), static_cast<unsigned>(member.data.size())),
                  ZIP_OK);
        ASSERT_EQ(zipCloseFileInZip(zip), ZIP_OK);
    }
    ASSERT_EQ(zipClose(zip, nullptr), ZIP_OK);
}

// An A8R8G8B8 frame of an ".ani" file, every pixel the ARGB colour.
inline KelAniFrame SolidAniFrame(int duration, uint32_t argb, UINT width = 2, UINT height = 2)
{
    KelAniFrame frame;
    frame.duration = duration;
    frame.desc.Format = D3DFMT_A8R8G8B8;
    frame.desc.Type = D3DRTYPE_SURFACE;
    frame.desc.Pool = D3DPOOL_MANAGED;
    frame.desc.Width = width;
    frame.desc.Height = height;
    frame.desc.Size = width * height * 4;
    for (UINT i = 0; i < width * height; ++i)
        for (int shift = 0; shift < 32; shift += 8)
            frame.pixels.push_back(static_cast<uint8_t>(argb >> shift));
    return frame;
}
