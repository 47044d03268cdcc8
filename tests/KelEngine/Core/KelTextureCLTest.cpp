#include "KelTextureCL.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "D3D8/D3D8.h"
#include "EngineTestSupport.h"
#include "KelAniFile.h"
#include "KelCanvasCL.h"
#include "KelImageAnimCL.h"
#include "KelImageCL.h"
#include "Win32/Window.h"

namespace
{
// Whether two XRGB colours differ by at most `tolerance` in every channel.
bool Near(uint32_t actual, uint32_t expected, int tolerance = 3)
{
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(static_cast<int>((actual >> shift) & 0xFF) -
                     static_cast<int>((expected >> shift) & 0xFF)) > tolerance)
            return false;
    return true;
}

constexpr uint32_t kBackground = 0x646464; // what the screen clears to
constexpr int kSide = 64;

class KelTextureTest : public EngineTestBase<TestClockCL>
{
protected:
    KelTextureTest() : EngineTestBase(kSide, kSide) {}

    void SetUp() override
    {
        ASSERT_NE(CreateScreenWithDevice(), nullptr);
        m_textureInfo.SetImageDirectoryVerbatim(m_folder.WinPath());
    }

    // Draws one frame on the whole window.
    TestFrame DrawFrame(const std::function<void(KelCanvasCL*)>& draw)
    {
        TestFrame frame = RenderFrame(draw);
        EXPECT_EQ(frame.width, kSide);
        EXPECT_EQ(frame.height, kSide);
        return frame;
    }
};
} // namespace

TEST_F(KelTextureTest, ConstructionLoadsNowOrLeavesTheLoadToTheFirstRender)
{
    m_folder.Write("pic.tga", SolidTga(6, 3, 0xFF0000FF));
    const std::string path = Path("pic.tga");

    m_system.now = 1000;
    KelTextureCL empty;
    EXPECT_EQ(empty.GetImage(), nullptr);
    EXPECT_EQ(empty.GetColor(), 0xFFFFFFFFu);
    EXPECT_EQ(empty.GetScale().x, 1.0f);
    EXPECT_EQ(empty.GetScale().y, 1.0f);
    EXPECT_EQ(empty.GetAngle(), 0.0f);
    EXPECT_EQ(empty.GetRenderHandle(), nullptr);
    EXPECT_GE(empty.GetAnimationPhase(), 0);
    EXPECT_LE(empty.GetAnimationPhase(), 1000);

    KelTextureCL now(path.c_str(), true);
    ASSERT_NE(now.GetImage(), nullptr);
    EXPECT_TRUE(now.IsLoadAttempted());
    EXPECT_EQ(now.GetRect(), KelRect(0, 0, 6, 3));
    EXPECT_EQ(now.GetImageWidth(), 6);
    EXPECT_EQ(now.GetFileName(), path);
    EXPECT_NE(now.GetRenderHandle(), nullptr);

    // Deferred: nothing until restored; the load is then queued and the size stays unknown.
    KelTextureCL later(path.c_str(), false);
    EXPECT_EQ(later.GetImage(), nullptr);
    EXPECT_FALSE(later.IsLoadAttempted());
    EXPECT_EQ(later.GetSourceName(), path);
    later.ReStoreImage();
    EXPECT_TRUE(later.IsLoadAttempted());
    EXPECT_EQ(later.GetImage(), now.GetImage()) << "the cached image is shared";
    EXPECT_EQ(later.GetRect(), KelRect());

    // Dropping the image lets the next Render take it back from the cache.
    KelImageCL* image = now.GetImage();
    EXPECT_EQ(image->GetReferenceCount(), 1);
    later.ReleaseImage();
    EXPECT_EQ(later.GetImage(), nullptr);
    EXPECT_FALSE(later.IsLoadAttempted());
    EXPECT_EQ(image->GetReferenceCount(), 0);
    DrawFrame([&](KelCanvasCL* canvas) { later.Render(canvas); });
    EXPECT_EQ(later.GetImage(), image);
    EXPECT_EQ(image->GetReferenceCount(), 1);
}

TEST_F(KelTextureTest, ZipArchivesAndGifsLoadAtOnce)
{
    const std::string frame = SolidTga(2, 2, 0xFFFF0000);
    ASSERT_NO_FATAL_FAILURE(
        WriteTestZip((m_folder.Path() / "anim.zip").string(), {{"0000.tga", frame}, {"0001.tga", frame}}));

    // No load-now flag, yet the archive is read before the constructor returns.
    KelTextureCL zipped(Path("anim.zip").c_str(), false);
    auto* animation = dynamic_cast<KelImageAnimCL*>(zipped.GetImage());
    ASSERT_NE(animation, nullptr);
    EXPECT_EQ(animation->GetFrameCount(), 2);
    EXPECT_EQ(zipped.GetRect(), KelRect(0, 0, 2, 2));

    // The loader cannot read archives: restoring after a release loads at once again.
    zipped.ReleaseImage();
    m_images.Sweep();
    EXPECT_EQ(m_images.GetImageCount(), 0u);
    zipped.ReStoreImage();
    EXPECT_NE(dynamic_cast<KelImageAnimCL*>(zipped.GetImage()), nullptr);

    // Neither can it read GIFs: a deferred load of one is made immediate (and fails here, the
    // file being no GIF, with a log line instead of a queued request).
    m_folder.Write("still.gif", "GIF89a but nothing more");
    KelTextureCL gif(Path("still.gif").c_str(), false);
    gif.ReStoreImage();
    EXPECT_EQ(gif.GetImage(), nullptr);
    EXPECT_EQ(m_loader.GetQueuedCount(), 0u);
    EXPECT_NE(ReadLog().find("加载图片错误 : " + Path("still.gif") + " "), std::string::npos);
}

TEST_F(KelTextureTest, TexturesFromTextureInfoCarryTheEntry)
{
    m_folder.Write("gui/btn.tga", SolidTga(16, 8, 0xFFFFFFFF));
    m_folder.Write("config/MainUi.xml", R"(<textureInfo name="main" type="2D">
    <group>
        <texture ID="Button" image="gui\btn.tga">
            <rect left="1" right="9" top="2" bottom="6"/>
            <color red="10" green="20" blue="30" alpha="40"/>
            <scale x="0.500" y="2.000"/>
            <offset x="-3" y="7"/>
            <angle angle="90.000"/>
            <bland srcBland="5" destBland="2"/>
        </texture>
        <texture ID="Bare" image="gui\btn.tga"/>
    </group>
</textureInfo>)");
    m_textureInfo.LoadAllTextureInfo();

    KelTextureCL* texture = m_textureInfo.CreateTexture("MAINUI", "Button", true);
    ASSERT_NE(texture, nullptr);
    EXPECT_NE(texture->GetImage(), nullptr);
    EXPECT_EQ(texture->GetSourceName(), Path("gui\\btn.tga"));
    EXPECT_NEAR(texture->GetAngle(), 3.1415925f / 2, 1e-6f);
    EXPECT_EQ(texture->GetColor(), 0x280A141Eu);
    EXPECT_EQ(texture->GetRect(), KelRect(1, 2, 9, 6));
    EXPECT_EQ(texture->GetScale().x, 0.5f);
    EXPECT_EQ(texture->GetScale().y, 2.0f);
    EXPECT_EQ(texture->GetTranslate().x, -3.0f);
    EXPECT_EQ(texture->GetTranslate().y, 7.0f);
    EXPECT_EQ(texture->GetSrcBland(), 5);
    EXPECT_EQ(texture->GetDestBland(), 2);
    EXPECT_EQ(texture->GetWidth(), 4);
    EXPECT_EQ(texture->GetHeight(), 8);

    // Back to an entry: paths relative to the image directory, the angle in degrees.
    KelTextureEntry entry;
    texture->GetTextureData(entry);
    EXPECT_EQ(entry.id, Path("gui\\btn.tga"));
    EXPECT_EQ(entry.image, "gui\\btn.tga");
    EXPECT_EQ(entry.left, 1);
    EXPECT_EQ(entry.bottom, 6);
    EXPECT_EQ(entry.offsetX, -3);
    EXPECT_EQ(entry.offsetY, 7);
    EXPECT_EQ(entry.red, 10);
    EXPECT_EQ(entry.alpha, 40);
    EXPECT_NEAR(entry.angle, 90.0f, 1e-3f);
    EXPECT_EQ(entry.scaleY, 2.0f);
    EXPECT_EQ(entry.srcBland, 5);
    EXPECT_EQ(entry.destBland, 2);
    KelReleaseTexture(texture);

    // Info names without case, IDs with case.
    EXPECT_EQ(m_textureInfo.CreateTexture("mainui", "button", true), nullptr);
    EXPECT_EQ(m_textureInfo.CreateTexture("other", "Button", true), nullptr);

    // The same from an entry directly; an entry without a rectangle has no size and gives null.
    KelTextureCL* fromData = KelLoadTextureFromData(entry, false);
    ASSERT_NE(fromData, nullptr);
    EXPECT_EQ(fromData->GetRect(), KelRect(1, 2, 9, 6));
    EXPECT_EQ(fromData->GetColor(), 0x280A141Eu);
    KelReleaseTexture(fromData);
    EXPECT_EQ(KelLoadTextureFromData((*m_textureInfo.GetEntryMap("mainui"))["Bare"], true), nullptr);

    // From the file's bytes: needs a Direct3D texture.
    const std::string bytes = m_folder.Read("gui/btn.tga");
    KelTextureCL* fromBytes = KelLoadTextureFromData(entry, bytes.data(), static_cast<UINT>(bytes.size()));
    ASSERT_NE(fromBytes, nullptr);
    EXPECT_NE(fromBytes->GetRenderHandle(), nullptr);
    EXPECT_EQ(fromBytes->GetRect(), KelRect(1, 2, 9, 6));
    KelReleaseTexture(fromBytes);
    KelTextureEntry junkEntry;
    junkEntry.image = "junk.tga";
    const std::string junk = "not a picture";
    EXPECT_EQ(KelLoadTextureFromData(junkEntry, junk.data(), static_cast<UINT>(junk.size())), nullptr);
    EXPECT_EQ(KelLoadTextureFromData(junkEntry, nullptr, 4), nullptr);
}

TEST_F(KelTextureTest, FreeFunctionsCheckTheirInput)
{
    m_folder.Write("pic.tga", SolidTga(4, 4, 0xFF00FF00));
    EXPECT_EQ(KelLoadTextureFromFile(Path("missing.tga").c_str(), true), nullptr);
    EXPECT_EQ(KelLoadTextureFromFile(nullptr, true), nullptr);
    KelTextureCL* fromFile = KelLoadTextureFromFile(Path("pic.tga").c_str(), true);
    ASSERT_NE(fromFile, nullptr);
    EXPECT_EQ(fromFile->GetWidth(), 4);
    KelReleaseTexture(fromFile);

    const std::string bytes = m_folder.Read("pic.tga");
    EXPECT_EQ(KelLoadTextureFromMemory("mem", nullptr, 10), nullptr);
    EXPECT_EQ(KelLoadTextureFromMemory("mem", bytes.data(), 0), nullptr);
    KelTextureCL* fromMemory = KelLoadTextureFromMemory("mem", bytes.data(), static_cast<UINT>(bytes.size()));
    ASSERT_NE(fromMemory, nullptr);
    EXPECT_NE(fromMemory->GetRenderHandle(), nullptr);
    EXPECT_EQ(fromMemory->GetRect(), KelRect(0, 0, 4, 4));
    EXPECT_EQ(m_images.Find("mem"), fromMemory->GetImage());
    KelReleaseTexture(fromMemory);
    KelReleaseTexture(nullptr);
}

TEST_F(KelTextureTest, SizesAndDrawRectangles)
{
    KelTextureCL texture;
    texture.SetRect(KelRect(2, 1, 12, 5));
    EXPECT_EQ(texture.GetWidth(), 10);
    EXPECT_EQ(texture.GetHeight(), 4);
    texture.SetScale(0.35f, 1.3f);
    EXPECT_EQ(texture.GetWidth(), 3) << "truncated";
    EXPECT_EQ(texture.GetHeight(), 5);

    texture.SetDrawRect(KelRect(5, 6, 25, 14));
    EXPECT_EQ(texture.GetPosition().x, 5.0f);
    EXPECT_EQ(texture.GetPosition().y, 6.0f);
    EXPECT_EQ(texture.GetPosition().z, 0.0f);
    EXPECT_EQ(texture.GetScale().x, 2.0f);
    EXPECT_EQ(texture.GetScale().y, 2.0f);
    EXPECT_EQ(texture.GetWidth(), 20);

    // An empty source rectangle keeps its scale instead of an infinite one.
    texture.SetRect(KelRect(3, 3, 3, 9));
    texture.SetDrawRect(KelRect(0, 0, 40, 18));
    EXPECT_EQ(texture.GetScale().x, 2.0f);
    EXPECT_EQ(texture.GetScale().y, 3.0f);

    texture.SetCenter(1.0f, 2.0f, 3.0f);
    EXPECT_EQ(texture.GetCenter().z, 3.0f);
}

TEST_F(KelTextureTest, PtInTextureTellsVisiblePixels)
{
    // Row 0: opaque black, red with no alpha, all channels near zero, alpha 6 only.
    // Row 1: transparent black, red 2 with no alpha, 1s everywhere, opaque white.
    m_folder.Write("hit.tga", Tga(4, 2,
                                  {0xFF000000, 0x00FF0000, 0x05010101, 0x06000000, //
                                   0x00000000, 0x00020000, 0x01010101, 0xFFFFFFFF}));
    KelTextureCL texture(Path("hit.tga").c_str(), true);
    ASSERT_NE(texture.GetImage(), nullptr);

    struct Case
    {
        int x, y;
        bool hit;
    };
    // The right and bottom edges (x 4, y 2) belong to the picture and read its last column and
    // row; one step further is outside.
    const Case plain[] = {
        {0, 0, true},  {1, 0, true}, {2, 0, false},  {3, 0, true},   {0, 1, false}, {1, 1, true},
        {2, 1, false}, {3, 1, true}, {-1, 0, false}, {0, -1, false}, {4, 0, true},  {4, 1, true},
        {0, 2, false}, {1, 2, true}, {2, 2, false},  {4, 2, true},   {5, 0, false}, {3, 3, false},
    };
    for (const Case& test : plain)
        EXPECT_EQ(texture.PtInTexture(test.x, test.y), test.hit) << test.x << "," << test.y;
    D3DCOLOR color = 1;
    EXPECT_TRUE(texture.GetPointColor(1, 0, &color));
    EXPECT_EQ(color, 0x00FF0000u);
    EXPECT_TRUE(texture.GetPointColor(4, 2, &color)) << "the corner reads the last pixel";
    EXPECT_EQ(color, 0xFFFFFFFFu);
    EXPECT_FALSE(texture.GetPointColor(9, 0, &color));
    EXPECT_EQ(color, 0u);

    // Columns 1 and 2 only, moved by (10, 20) and doubled: the pixels around them in the image
    // belong to other pictures and must not count. The way back to image pixels drops fractions
    // towards zero, so a point up to one scaled pixel before the picture lands on its first
    // column or row; the right edge (x 14) reads column 2, never column 3 beside it.
    texture.SetRect(KelRect(1, 0, 3, 2));
    texture.SetTranslate(10.0f, 20.0f);
    texture.SetScale(2.0f, 2.0f);
    const Case placed[] = {
        {10, 20, true}, {11, 21, true}, {12, 20, false}, {13, 23, false}, {11, 22, true},
        {9, 20, true},  {10, 19, true}, {14, 20, false}, {15, 20, false}, {16, 20, false},
        {10, 24, true}, {10, 25, true}, {10, 26, false}, {8, 20, false},  {0, 0, false},
    };
    for (const Case& test : placed)
        EXPECT_EQ(texture.PtInTexture(test.x, test.y), test.hit) << test.x << "," << test.y;

    // No hits on a degenerate scale or without an image.
    texture.SetScale(0.0f, 2.0f);
    EXPECT_FALSE(texture.PtInTexture(10, 20));
    texture.ReleaseImage();
    texture.SetScale(1.0f, 1.0f);
    EXPECT_FALSE(texture.PtInTexture(10, 20));
}

TEST_F(KelTextureTest, RenderPlacesScalesAndColoursTheSourceRectangle)
{
    // Left half red, right half green.
    std::vector<uint32_t> pixels(64);
    for (int i = 0; i < 64; ++i)
        pixels[i] = i % 8 < 4 ? 0xFFFF0000 : 0xFF00FF00;
    m_folder.Write("halves.tga", Tga(8, 8, pixels));
    KelTextureCL texture(Path("halves.tga").c_str(), true);
    texture.SetRect(KelRect(4, 0, 8, 4));
    texture.SetPosition(10.0f, 5.0f);
    texture.SetTranslate(2.0f, 3.0f);
    texture.SetScale(2.0f, 2.0f);

    // Drawn at origin (4, 0) + position + translation = (16, 8), 8 x 8 pixels.
    TestFrame frame = DrawFrame(
        [&](KelCanvasCL* canvas)
        {
            canvas->SetOrigin(4.0f, 0.0f);
            texture.Render(canvas);
            canvas->SetOrigin(0.0f, 0.0f);
        });
    for (int y = 9; y <= 14; ++y)
        for (int x = 17; x <= 22; ++x)
            ASSERT_TRUE(Near(frame.At(x, y), 0x00FF00)) << x << "," << y << " " << std::hex << frame.At(x, y);
    for (int i = 9; i <= 14; ++i)
    {
        EXPECT_EQ(frame.At(14, i), kBackground);
        EXPECT_EQ(frame.At(25, i), kBackground);
        EXPECT_EQ(frame.At(i + 8, 6), kBackground);
        EXPECT_EQ(frame.At(i + 8, 17), kBackground);
    }

    // The colour modulates the picture: green at half strength, half transparent over grey.
    texture.SetColor(0x80FF80FF);
    frame = DrawFrame([&](KelCanvasCL* canvas) { texture.Render(canvas); });
    EXPECT_TRUE(Near(frame.At(15, 10), 0x327232, 4)) << std::hex << frame.At(15, 10);
}

TEST_F(KelTextureTest, ClipRenderDrawsPartOfTheRectangleAndRestoresIt)
{
    // Quadrants: red, green / blue, white.
    std::vector<uint32_t> pixels(64);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            pixels[y * 8 + x] = y < 4 ? (x < 4 ? 0xFFFF0000 : 0xFF00FF00) : (x < 4 ? 0xFF0000FF : 0xFFFFFFFF);
    m_folder.Write("quads.tga", Tga(8, 8, pixels));
    KelTextureCL texture(Path("quads.tga").c_str(), true);
    texture.SetPosition(20.0f, 20.0f);
    texture.SetScale(2.0f, 2.0f);

    // The white quadrant only, at the texture's position.
    TestFrame frame = DrawFrame([&](KelCanvasCL* canvas) { texture.Render(canvas, KelRect(4, 4, 8, 8)); });
    EXPECT_TRUE(Near(frame.At(22, 22), 0xFFFFFF)) << std::hex << frame.At(22, 22);
    EXPECT_TRUE(Near(frame.At(26, 26), 0xFFFFFF));
    EXPECT_EQ(frame.At(30, 22), kBackground);
    EXPECT_EQ(frame.At(22, 30), kBackground);
    EXPECT_EQ(texture.GetRect(), KelRect(0, 0, 8, 8));

    // A clip starting two pixels left of the picture: the first picture column lands where the
    // clip puts it, two (scaled: four) pixels to the right, and nothing left of the picture is read.
    frame = DrawFrame([&](KelCanvasCL* canvas) { texture.Render(canvas, KelRect(-2, 0, 2, 4)); });
    EXPECT_EQ(frame.At(21, 22), kBackground);
    EXPECT_TRUE(Near(frame.At(25, 22), 0xFF0000)) << std::hex << frame.At(25, 22);
    EXPECT_EQ(frame.At(29, 22), kBackground);
    EXPECT_EQ(texture.GetTranslate().x, 0.0f);
    EXPECT_EQ(texture.GetRect(), KelRect(0, 0, 8, 8));

    // A clip outside the picture draws nothing.
    frame = DrawFrame([&](KelCanvasCL* canvas) { texture.Render(canvas, KelRect(9, 0, 12, 4)); });
    EXPECT_EQ(frame.At(22, 22), kBackground);
}

TEST_F(KelTextureTest, BlendFactorsApplyToThisTextureOnly)
{
    m_folder.Write("red.tga", SolidTga(4, 4, 0xFFFF0000));
    KelTextureCL added(Path("red.tga").c_str(), true);
    added.SetSrcBland(D3DBLEND_ONE);
    added.SetDestBland(D3DBLEND_ONE);
    KelTextureCL halfBefore(Path("red.tga").c_str(), true);
    halfBefore.SetColor(0x80FFFFFF);
    halfBefore.SetPosition(0.0f, 10.0f);
    KelTextureCL halfAfter(Path("red.tga").c_str(), true);
    halfAfter.SetColor(0x80FFFFFF);
    halfAfter.SetPosition(20.0f, 0.0f);

    TestFrame frame = DrawFrame(
        [&](KelCanvasCL* canvas)
        {
            halfBefore.Render(canvas);
            added.Render(canvas);
            halfAfter.Render(canvas);
        });
    EXPECT_TRUE(Near(frame.At(1, 1), 0xFF6464)) << std::hex << frame.At(1, 1);
    // Quads batched before and after keep the camera's alpha blending.
    EXPECT_TRUE(Near(frame.At(1, 11), 0xB13232, 4)) << std::hex << frame.At(1, 11);
    EXPECT_TRUE(Near(frame.At(21, 1), 0xB13232, 4)) << std::hex << frame.At(21, 1);
}

TEST_F(KelTextureTest, MissingImagesDrawNothingAndAnimationsFollowTheClock)
{
    KelTextureCL missing(Path("missing.tga").c_str(), true);
    missing.SetRect(KelRect(0, 0, 8, 8));
    TestFrame frame = DrawFrame([&](KelCanvasCL* canvas) { missing.Render(canvas); });
    EXPECT_EQ(frame.At(2, 2), kBackground);
    missing.Render(nullptr);

    // Two frames of 100 ms: red, then blue.
    KelAniContent content;
    for (uint32_t colour : {0xFFFF0000u, 0xFF0000FFu})
        content.frames.push_back(SolidAniFrame(100, colour, 4, 4));
    ASSERT_TRUE(KelWriteAniFile(Path("walk.ani").c_str(), content));

    m_system.now = 5000;
    m_system.SeedRandom(7);
    std::minstd_rand replay(7);
    KelTextureCL walk(Path("walk.ani").c_str(), true);
    auto* animation = dynamic_cast<KelImageAnimCL*>(walk.GetImage());
    ASSERT_NE(animation, nullptr);
    const DWORD phase = static_cast<DWORD>(walk.GetAnimationPhase());
    // Drawn from the engine's generator, 0 ... the clock's value.
    EXPECT_EQ(phase, replay() % 5001u);

    // The animation runs from the texture's own phase.
    m_system.now = phase + 150;
    frame = DrawFrame([&](KelCanvasCL* canvas) { walk.Render(canvas); });
    EXPECT_EQ(animation->GetCurFrameIndex(), 1);
    EXPECT_TRUE(Near(frame.At(2, 2), 0x0000FF)) << std::hex << frame.At(2, 2);
    m_system.now = phase + 50;
    frame = DrawFrame([&](KelCanvasCL* canvas) { walk.Render(canvas); });
    EXPECT_EQ(animation->GetCurFrameIndex(), 0);
    EXPECT_TRUE(Near(frame.At(2, 2), 0xFF0000)) << std::hex << frame.At(2, 2);
}

TEST_F(KelTextureTest, AnimationPhaseIsDrawnAtTheClocksLastValue)
{
    // After 49.7 days the clock wraps; the phase is drawn from 0 ... 0xFFFFFFFF all the same.
    m_system.now = 0xFFFFFFFFu;
    m_system.SeedRandom(11);
    std::minstd_rand replay(11);
    KelTextureCL texture;
    EXPECT_EQ(static_cast<uint32_t>(texture.GetAnimationPhase()), replay());
}

TEST_F(KelTextureTest, ReloadingFromMemoryUnderItsOwnFileNameKeepsTheName)
{
    const std::string bytes = SolidTga(4, 2, 0xFF00FF00);
    KelTextureCL texture("mem.tga", bytes.data(), static_cast<UINT>(bytes.size()), true);
    ASSERT_EQ(texture.GetFileName(), "mem.tga");
    // The name handed in is the texture's own, which the reload empties before it uses it.
    EXPECT_TRUE(texture.LoadFromMemoryM(texture.GetFileName().c_str(), bytes.data(),
                                        static_cast<UINT>(bytes.size()), true));
    EXPECT_EQ(texture.GetFileName(), "mem.tga");
    EXPECT_EQ(texture.GetWidth(), 4);
}
