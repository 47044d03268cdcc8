#include "KelImageGifCL.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "D3D8/D3D8.h"
#include "EngineTestSupport.h"
#include "KelCanvasCL.h"
#include "KelImageTextureCL.h"
#include "Win32/Window.h"

namespace
{
// Three frames on an 8 x 4 screen: a red full frame of 100 ms, a 3 x 2 frame at (2, 1) of 250 ms
// with a magenta corner, and a blue 5 x 3 frame at (1, 1) whose 30 ms are raised to 100 ms.
std::string ThreeFrameGif()
{
    return TestGif(8, 4,
                   {{0, 0, 8, 4, 10, std::vector<uint8_t>(32, kGifRed)},
                    {2, 1, 3, 2, 25, {kGifMagenta, kGifGreen, kGifGreen, kGifGreen, kGifGreen, kGifGreen}},
                    {1, 1, 5, 3, 3, std::vector<uint8_t>(15, kGifBlue)}});
}

// A GIF image whose clock the test sets.
class ClockedGifCL : public KelImageGifCL
{
public:
    DWORD GetTickCountM() override { return now; }
    DWORD now = 0;
};

class KelImageGifTest : public EngineTest
{
protected:
    KelImageGifTest() : EngineTest(64, 64) {}

    void SetUp() override { ASSERT_NE(CreateScreenWithLoaderStopped(), nullptr); }
};
} // namespace

TEST_F(KelImageGifTest, FramesBecomeTexturesWithTheirPlacesAndDelays)
{
    m_folder.Write("three.gif", ThreeFrameGif());
    const std::string path = Path("three.gif");
    KelImageGifCL gif;
    ASSERT_TRUE(gif.LoadFromFileM(path.c_str(), 0));
    EXPECT_TRUE(gif.IsLoaded());
    EXPECT_NE(ReadLog().find("读取了3针图片"), std::string::npos);
    EXPECT_EQ(gif.GetIDM(), path);
    EXPECT_EQ(gif.GetSizeM(), std::make_pair(8, 4));
    EXPECT_EQ(gif.GetBackgroundColor(), 0xFF0000FFu);
    ASSERT_EQ(gif.GetFrameCount(), 3);

    struct Expected
    {
        int left, top, width, height, delay, textureWidth, textureHeight;
    };
    const Expected expected[3] = {{0, 0, 8, 4, 100, 8, 4}, {2, 1, 3, 2, 250, 4, 2}, {1, 1, 5, 3, 100, 8, 4}};
    for (int i = 0; i < 3; ++i)
    {
        SCOPED_TRACE(i);
        const KelImageGifCL::Frame& frame = gif.GetFrame(i);
        const Expected& e = expected[i];
        EXPECT_EQ(frame.left, e.left);
        EXPECT_EQ(frame.top, e.top);
        EXPECT_EQ(frame.width, e.width);
        EXPECT_EQ(frame.height, e.height);
        EXPECT_EQ(frame.delay, e.delay);
        EXPECT_EQ(frame.image->GetSizeM(), std::make_pair(e.textureWidth, e.textureHeight));
        EXPECT_EQ(frame.image->GetIDM(), path + "_" + std::to_string(i));
        EXPECT_EQ(frame.image->GetSurfaceDesc()->Format, D3DFMT_A8R8G8B8);
        EXPECT_EQ(frame.image->GetSurfaceDesc()->Pool, D3DPOOL_MANAGED);
    }

    // Magenta is transparent; the texture beyond the frame is cleared.
    KelImageTextureCL* second = gif.GetFrame(1).image.get();
    const std::pair<std::pair<int, int>, D3DCOLOR> pixels[] = {
        {{0, 0}, 0x00FF00FF}, {{1, 0}, 0xFF00FF00}, {{2, 1}, 0xFF00FF00}, {{3, 0}, 0}};
    for (const auto& [at, colour] : pixels)
    {
        D3DCOLOR read = 0x12345678;
        second->GetPointColor(at.first, at.second, &read);
        EXPECT_EQ(read, colour) << at.first << "," << at.second;
    }

    // The same bytes from memory; texture names keep counting per image.
    const std::string bytes = ThreeFrameGif();
    ASSERT_TRUE(gif.LoadFromMemoryM("inline", bytes.data(), static_cast<UINT>(bytes.size())));
    EXPECT_EQ(gif.GetFrameCount(), 3);
    EXPECT_EQ(gif.GetFrame(0).image->GetIDM(), "inline_3");
}

TEST_F(KelImageGifTest, FramesAdvanceOnceTheirDelayHasPassed)
{
    const std::string bytes = ThreeFrameGif();
    ClockedGifCL gif;
    gif.now = 1000;
    ASSERT_TRUE(gif.LoadFromMemoryM("clock", bytes.data(), static_cast<UINT>(bytes.size())));

    struct Step
    {
        DWORD now;
        int frame;
    };
    // A frame is left once more than its delay has passed; after the last comes the first.
    const Step steps[] = {{1000, 0}, {1100, 0}, {1101, 1}, {1351, 1}, {1352, 2}, {1452, 2}, {1453, 0}};
    for (const Step& step : steps)
    {
        gif.now = step.now;
        EXPECT_EQ(gif.GetImage(), gif.GetFrame(step.frame).image.get()) << step.now;
        EXPECT_EQ(gif.GetCurFrameIndex(), step.frame) << step.now;
    }

    // Frames without a graphic control extension last one draw each.
    const std::string quick = TestGif(2, 2, {{0, 0, 2, 2, -1, {0, 0, 0, 0}}, {0, 0, 2, 2, -1, {2, 2, 2, 2}}});
    ClockedGifCL flicker;
    ASSERT_TRUE(flicker.LoadFromMemoryM("flicker", quick.data(), static_cast<UINT>(quick.size())));
    EXPECT_EQ(flicker.GetFrame(0).delay, -1);
    EXPECT_EQ(flicker.GetImage(), flicker.GetFrame(1).image.get());
    EXPECT_EQ(flicker.GetImage(), flicker.GetFrame(0).image.get());
}

TEST_F(KelImageGifTest, RenderDrawsTheCurrentFrameAtItsPlace)
{
    const std::string bytes = ThreeFrameGif();
    ClockedGifCL gif;
    ASSERT_TRUE(gif.LoadFromMemoryM("draw", bytes.data(), static_cast<UINT>(bytes.size())));
    gif.now = 101; // the second frame: green, magenta at its top left corner

    m_system.SetRedrawM(false);
    m_screen->SetRenderCallback([&](KelCanvasCL* canvas) { EXPECT_TRUE(gif.Render(canvas, 10, 20)); });
    m_screen->RenderFrame();
    EXPECT_EQ(gif.GetCurFrameIndex(), 1);
    EXPECT_TRUE(m_system.GetRedrawM());
    int width = 0;
    const std::vector<uint32_t> frame = m_window.Frame(&width);
    ASSERT_FALSE(frame.empty());
    auto pixel = [&](int x, int y) { return frame.at(static_cast<size_t>(y) * width + x) & 0xFFFFFF; };
    EXPECT_EQ(pixel(13, 21), 0x00FF00u);
    EXPECT_EQ(pixel(14, 22), 0x00FF00u);
    EXPECT_NE(pixel(12, 21), 0xFF00FFu) << "magenta is not drawn";
    EXPECT_NE(pixel(12, 21), 0x00FF00u);
}

TEST_F(KelImageGifTest, FilesThatAreNoAnimationLeaveTheImageEmpty)
{
    const std::string good = ThreeFrameGif();
    const std::string single = TestGif(2, 2, {{0, 0, 2, 2, 10, {0, 0, 0, 0}}});
    struct Case
    {
        const char* name;
        std::string bytes;
        std::string log;
    };
    const Case cases[] = {
        {"single.gif", single, "是一个空的GIF文件或者针数为 1"},
        {"png.gif", "\x89PNG\r\n\x1a\n....", "不是一个Gif格式文件 可能是GIF87a 或者 GIF89a"},
        {"cut.gif", good.substr(0, good.size() / 2), "GIF文件已损坏 : "},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        m_folder.Write(c.name, c.bytes);
        KelImageGifCL gif;
        ASSERT_TRUE(gif.LoadFromMemoryM("good", good.data(), static_cast<UINT>(good.size())));
        EXPECT_FALSE(gif.LoadFromFileM(Path(c.name).c_str(), 0));
        EXPECT_FALSE(gif.IsLoaded());
        EXPECT_EQ(gif.GetFrameCount(), 0);
        EXPECT_EQ(gif.GetSizeM(), std::make_pair(0, 0));
        EXPECT_EQ(gif.GetImage(), nullptr);
        EXPECT_FALSE(gif.Render(nullptr, 0, 0));
        EXPECT_NE(ReadLog().find(c.log), std::string::npos);
    }

    KelImageGifCL gif;
    EXPECT_FALSE(gif.LoadFromFileM(Path("missing.gif").c_str(), 0));
    EXPECT_NE(ReadLog().find("打开文件失败 fileName:" + Path("missing.gif")), std::string::npos);
    EXPECT_FALSE(gif.LoadFromMemoryM("nothing", nullptr, 10));
    EXPECT_FALSE(gif.IsLoaded());
}
