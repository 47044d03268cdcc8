#include "KelFontCL.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <stb/stb_image_write.h>

#include "D3D8/D3D8.h"
#include "EngineTestSupport.h"
#include "GDI/Gdi.h"
#include "KelCanvasCL.h"
#include "KelImageCL.h"
#include "Win32/Keyboard.h"
#include "Win32/Window.h"

namespace
{
constexpr uint32_t kBackground = 0x646464;
constexpr uint32_t kWhite = 0xFFFFFF;

// The glyph of a Song font (the system font unless told) as the GDI layer draws it: the cell
// pixels a glyph at (0, 0) must set, with the baseline two rows above the cell's bottom.
struct ExpectedGlyph
{
    int advance = 0;
    std::set<std::pair<int, int>> set;
};

ExpectedGlyph SongGlyph(UINT code, int width, int height)
{
    static const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    ExpectedGlyph expected;
    HFONT font = CreateFontA(height, width, 0, 0, 1, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 32, "宋体");
    HDC dc = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    GLYPHMETRICS metrics{};
    std::vector<uint8_t> bits(4096);
    DWORD size = GetGlyphOutlineA(dc, code, GGO_BITMAP, &metrics, 4096, bits.data(), &identity);
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
    if (size == GDI_ERROR)
        return expected;
    expected.advance = metrics.gmCellIncX;
    const int pitch = (static_cast<int>(metrics.gmBlackBoxX) + 31) / 32 * 4;
    for (int r = 0; size > 0 && r < static_cast<int>(metrics.gmBlackBoxY); ++r)
        for (int c = 0; c < static_cast<int>(metrics.gmBlackBoxX); ++c)
            if ((bits[static_cast<size_t>(r * pitch + c / 8)] >> (7 - c % 8)) & 1)
                expected.set.insert(
                    {metrics.gmptGlyphOrigin.x + c, height - metrics.gmptGlyphOrigin.y - 2 + r});
    return expected;
}

// A screen with a device on a memory window and the managers it works with, each the test's own.
class KelFontTest : public EngineTestBase<TestClockCL>
{
protected:
    KelFontTest() : EngineTestBase(400, 440) {}

    void SetUp() override { ASSERT_NE(CreateScreenWithDevice(), nullptr); }

    // Checks the cell of a glyph of a Song font (the system font unless told) drawn at (x, y) in
    // the colour: its pixels where the glyph has them (only the first `cut` columns when that is
    // not negative), the background everywhere else.
    void ExpectGlyph(const TestFrame& frame, UINT code, int x, int y, uint32_t color, int cut = -1,
                     int fontWidth = 6, int fontHeight = 12)
    {
        ExpectedGlyph glyph = SongGlyph(code, fontWidth, fontHeight);
        ASSERT_FALSE(glyph.set.empty()) << code;
        for (int dy = 0; dy < fontHeight; ++dy)
            for (int dx = 0; dx < glyph.advance; ++dx)
            {
                bool on = glyph.set.count({dx, dy}) != 0 && (cut < 0 || dx < cut);
                ASSERT_EQ(frame.At(x + dx, y + dy), on ? color : kBackground)
                    << "code " << code << " at " << dx << "," << dy;
            }
    }

    // True when every pixel of the rectangle is the background.
    static bool Blank(const TestFrame& frame, int left, int top, int right, int bottom)
    {
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                if (frame.At(x, y) != kBackground)
                    return false;
        return true;
    }
};

constexpr UINT kSong = 0xCBCE; // 宋
constexpr UINT kTi = 0xCCE5;   // 体
} // namespace

// Each screen asks for "system"; the second request gets the same font with one more reference.
TEST_F(KelFontTest, CreatingAFontTwiceSharesIt)
{
    KelFontCL* system = m_fonts.GetFont("system");
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(m_fonts.GetFontCount(), 1);
    const int count = system->GetReferenceCount();
    EXPECT_EQ(m_fonts.CreateFont("system", "other face", 8, 16, 700, nullptr), system);
    EXPECT_EQ(system->GetReferenceCount(), count + 1);
    EXPECT_EQ(m_fonts.GetFontCount(), 1);
    // The first request's arguments stay.
    EXPECT_EQ(system->GetHeight(), 12);
    EXPECT_EQ(system->GetWeight(), 1);
    EXPECT_EQ(system->GetFaceName(), "宋体");
    EXPECT_NE(ReadLog().find("创建字体 ID:system , Type:宋体 , Width:6 , Height:12 , Weight:1  -> result:"),
              std::string::npos);

    // Look-ups by name are exact; an empty name gives the first font.
    KelFontCL* big = m_fonts.CreateFont("big", "宋体", 8, 16, 1, nullptr);
    EXPECT_EQ(m_fonts.GetFont(""), system);
    EXPECT_EQ(m_fonts.GetFont("big"), big);
    EXPECT_EQ(m_fonts.GetFont("Big"), nullptr);
    EXPECT_EQ(m_fonts.GetFontByIndex(1), big);
    EXPECT_EQ(m_fonts.GetFontByIndex(2), nullptr);
    EXPECT_EQ(KelGetFont("big"), big);
    m_fonts.DestroyFont("nothing");
    m_fonts.DestroyFont("big");
    EXPECT_EQ(m_fonts.GetFontCount(), 1);
    EXPECT_EQ(m_fonts.GetFont("big"), nullptr);
}

// A face that cannot be made is logged with the result 0; the font stays registered and draws
// with the device context's own font, the 16 pixel system font.
TEST_F(KelFontTest, AFontWithoutItsFaceUsesTheContextFont)
{
    KelFontCL* font = m_fonts.CreateFont("fallback", "宋体", 5000, 16, 1, nullptr);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(m_fonts.GetFont("fallback"), font);
    EXPECT_NE(
        ReadLog().find("创建字体 ID:fallback , Type:宋体 , Width:5000 , Height:16 , Weight:1  -> result:0"),
        std::string::npos);
    EXPECT_EQ(font->GetTextWidth("宋"), 16);
    TestFrame frame = RenderFrame(
        [&](KelCanvasCL* canvas)
        {
            canvas->SetFont("fallback");
            canvas->DrawText("宋", 10, 10, nullptr, false, 0);
        });
    ExpectGlyph(frame, kSong, 10, 10, kWhite, -1, 0, 16);
}

// A byte with the high bit set and the byte after it are one character. A text ending in a
// lone lead byte takes the terminator as the trail byte and stops there.
TEST_F(KelFontTest, DoubleByteTextIsReadOneCharacterAtATime)
{
    KelFontCL* font = m_fonts.GetFont("system");
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->GetTextWidth("宋A"), 12 + 8);
    EXPECT_EQ(font->GetGlyph(kSong).width, 12);
    EXPECT_EQ(font->GetGlyph(0xCB).width, 0);
    EXPECT_EQ(font->GetGlyph(0xCE).width, 0);

    // "A", then the lead byte 0xCB and the terminator; the "Z" after it must never be read.
    const char text[] = {'A', static_cast<char>(0xCB), '\0', 'Z', '\0'};
    const int width = font->GetTextWidth(text);
    const KelGlyph& lone = font->GetGlyph(0xCB00);
    EXPECT_NE(lone.width, 0);
    EXPECT_EQ(width, 8 + lone.width);
    TestFrame frame =
        RenderFrame([&](KelCanvasCL* canvas) { canvas->DrawText(text, 10, 10, nullptr, false, 0); });
    EXPECT_EQ(font->GetGlyph('Z').width, 0);
    ExpectGlyph(frame, 'A', 10, 10, kWhite);
    EXPECT_TRUE(Blank(frame, 10 + width, 0, 400, 440));

    // A two-byte character drawn in the text colour, pixel for pixel as the face draws it.
    frame = RenderFrame(
        [&](KelCanvasCL* canvas)
        {
            canvas->SetTextColor(0xFF00FF00);
            canvas->DrawText("宋体", 20, 30, nullptr, false, 0);
        });
    ExpectGlyph(frame, kSong, 20, 30, 0x00FF00);
    ExpectGlyph(frame, kTi, 32, 30, 0x00FF00);
    EXPECT_TRUE(Blank(frame, 44, 0, 400, 440));
    EXPECT_TRUE(Blank(frame, 0, 0, 20, 440));
}

// A clip rectangle limits the text to its width from the starting point: the glyph at the edge
// is cut there and nothing after it is drawn. Centring shifts by half the free width and height;
// a character limit draws only the first characters.
TEST_F(KelFontTest, ClipCentreAndCharacterLimit)
{
    // "A" advances 8: the third glyph starts at 16 and is cut to 4 columns.
    KelRect clip(0, 0, 20, 12);
    TestFrame frame =
        RenderFrame([&](KelCanvasCL* canvas) { canvas->DrawText("AAAA", 10, 10, &clip, false, 0); });
    ExpectGlyph(frame, 'A', 10, 10, kWhite);
    ExpectGlyph(frame, 'A', 18, 10, kWhite);
    ExpectGlyph(frame, 'A', 26, 10, kWhite, 4);
    EXPECT_TRUE(Blank(frame, 30, 0, 400, 440));

    // An empty clip draws nothing.
    KelRect empty(0, 0, 0, 0);
    frame = RenderFrame([&](KelCanvasCL* canvas) { canvas->DrawText("AAAA", 10, 10, &empty, false, 0); });
    EXPECT_TRUE(Blank(frame, 0, 0, 400, 440));

    // "宋" is 12 x 12: in a 100 x 41 rectangle it moves by (44, 14).
    KelRect box(0, 0, 100, 41);
    frame = RenderFrame([&](KelCanvasCL* canvas) { canvas->DrawText("宋", 10, 10, &box, true, 0); });
    ExpectGlyph(frame, kSong, 54, 24, kWhite);
    EXPECT_TRUE(Blank(frame, 0, 0, 54, 440));
    EXPECT_TRUE(Blank(frame, 66, 0, 400, 440));

    // Three characters of five; 0 or less means all.
    const std::pair<int, int> limits[] = {{3, 3}, {0, 5}, {-1, 5}};
    for (const auto& [maximum, drawn] : limits)
    {
        frame = RenderFrame([&](KelCanvasCL* canvas)
                            { canvas->DrawText("AAAAA", 10, 10, nullptr, false, maximum); });
        for (int i = 0; i < drawn; ++i)
            ExpectGlyph(frame, 'A', 10 + 8 * i, 10, kWhite);
        EXPECT_TRUE(Blank(frame, 10 + 8 * drawn, 0, 400, 440)) << maximum;
    }
}

// Bitmap rows are whole 32-bit words: a glyph exactly 32 pixels wide ("二" at 35 pixels) has
// rows of 4 bytes, not 8.
TEST_F(KelFontTest, WideGlyphsAreCopiedRowByRow)
{
    m_fonts.CreateFont("wide", "宋体", 0, 35, 1, nullptr);
    TestFrame frame = RenderFrame(
        [&](KelCanvasCL* canvas)
        {
            canvas->SetFont("wide");
            canvas->DrawText("二", 10, 10, nullptr, false, 0);
        });
    ExpectedGlyph glyph = SongGlyph(0xB6FE, 0, 35);
    ASSERT_FALSE(glyph.set.empty());
    EXPECT_EQ(glyph.set.rbegin()->first - glyph.set.begin()->first + 1, 32);
    ExpectGlyph(frame, 0xB6FE, 10, 10, kWhite, -1, 0, 35);
}

// The space of a font with a fixed character width takes a cell of that width but advances one
// pixel less; a space without a character width is measured by the face.
TEST_F(KelFontTest, SpaceAdvanceIsOneLessThanTheCharacterWidth)
{
    KelFontCL* font = m_fonts.GetFont("system");
    EXPECT_EQ(font->GetTextWidth(" "), 5);
    const KelGlyph& space = font->GetGlyph(' ');
    EXPECT_EQ(space.height, 11);
    font->Preload("B");
    EXPECT_EQ(font->GetGlyph('B').x, space.x + 6);
    EXPECT_EQ(font->GetTextWidth("A A"), 8 + 5 + 8);
    TestFrame frame =
        RenderFrame([&](KelCanvasCL* canvas) { canvas->DrawText("A A", 10, 10, nullptr, false, 0); });
    ExpectGlyph(frame, 'A', 10, 10, kWhite);
    ExpectGlyph(frame, 'A', 23, 10, kWhite);

    KelFontCL* natural = m_fonts.CreateFont("natural", "宋体", 0, 12, 1, nullptr);
    EXPECT_EQ(natural->GetTextWidth(" "), 6);
}

// Cells fill a page left to right in rows of the character height; a full page continues on a
// new page named after the font. A page that cannot be made fails the glyph and keeps the
// cursor, so the glyphs already there stay intact.
TEST_F(KelFontTest, CellsFillRowsThenPages)
{
    KelFontCL* font = m_fonts.CreateFont("cells", "宋体", 6, 12, 1, nullptr);
    // 21 cells of 12 pixels fit a row and 21 rows a page.
    std::vector<unsigned> codes;
    for (unsigned lead = 0xB0; codes.size() < 21 * 21 + 2; ++lead)
        for (unsigned trail = 0xA1; trail <= 0xFE && codes.size() < 21 * 21 + 2; ++trail)
            codes.push_back(lead * 256 + trail);
    for (size_t i = 0; i < 21 * 21; ++i)
        ASSERT_TRUE(font->EnsureGlyph(codes[i]));
    struct Cell
    {
        size_t index;
        int page;
        int x;
        int y;
    };
    const Cell cells[] = {{0, 0, 0, 0}, {20, 0, 240, 0}, {21, 0, 0, 12}, {440, 0, 240, 240}};
    for (const Cell& cell : cells)
    {
        const KelGlyph& glyph = font->GetGlyph(codes[cell.index]);
        EXPECT_EQ(glyph.page, cell.page) << cell.index;
        EXPECT_EQ(glyph.x, cell.x) << cell.index;
        EXPECT_EQ(glyph.y, cell.y) << cell.index;
        EXPECT_EQ(glyph.width, 12) << cell.index;
        EXPECT_EQ(glyph.height, 12) << cell.index;
    }
    EXPECT_EQ(font->GetPageCount(), 1);

    // Without a device the next page cannot be made.
    m_screens.CreateScreen("no device");
    EXPECT_FALSE(font->EnsureGlyph(codes[441]));
    EXPECT_EQ(font->GetGlyph(codes[441]).width, 0);
    EXPECT_EQ(font->GetPageCount(), 1);
    m_screens.SetCurrentScreenName("main");
    ASSERT_TRUE(font->EnsureGlyph(codes[441]));
    const KelGlyph& next = font->GetGlyph(codes[441]);
    EXPECT_EQ(next.page, 1);
    EXPECT_EQ(next.x, 0);
    EXPECT_EQ(next.y, 0);
    EXPECT_EQ(font->GetPageCount(), 2);
    EXPECT_EQ(m_images.Find("cells_1"), font->GetPage(1));
    EXPECT_EQ(font->GetPage(256), nullptr);
    EXPECT_EQ(font->GetPage(-1), nullptr);

    // The glyphs of both pages draw from their cells, the far corner of a page included.
    TestFrame frame = RenderFrame(
        [&](KelCanvasCL* canvas)
        {
            canvas->SetFont("cells");
            std::string text;
            for (size_t index : {size_t{0}, size_t{440}, size_t{441}})
            {
                text += static_cast<char>(codes[index] >> 8);
                text += static_cast<char>(codes[index]);
            }
            canvas->DrawText(text.c_str(), 10, 10, nullptr, false, 0);
        });
    ExpectGlyph(frame, codes[0], 10, 10, kWhite);
    ExpectGlyph(frame, codes[440], 22, 10, kWhite);
    ExpectGlyph(frame, codes[441], 34, 10, kWhite);
}

// An image font takes its glyphs from rectangles of images below the image directory; its
// pages are the cached images, shared and never drawn into.
TEST_F(KelFontTest, ImageFontFromXml)
{
    // A 20 x 10 picture: "0" is a red square, "1" a green one.
    std::vector<uint8_t> rgba(20 * 10 * 4);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
        {
            uint8_t* p = &rgba[static_cast<size_t>(y * 20 + x) * 4];
            p[0] = x < 10 ? 255 : 0;
            p[1] = x < 10 ? 0 : 255;
            p[2] = 0;
            p[3] = 255;
        }
    std::filesystem::create_directories(m_folder.Path() / "img" / "digits");
    ASSERT_NE(stbi_write_png((m_folder.Path() / "img" / "digits" / "numbers.png").c_str(), 20, 10, 4,
                             rgba.data(), 20 * 4),
              0);
    m_folder.Write(
        "img/config/TextNumberYellow.xml",
        "<?xml version=\"1.0\"?>\r\n"
        "<textureInfo name=\"TextNumberYellow\">\r\n"
        "  <texture ID=\"0\" image=\"digits\\numbers.png\"><rect left=\"0\" right=\"10\" top=\"0\" "
        "bottom=\"10\"/></texture>\r\n"
        "  <texture ID=\"1x\" image=\"digits\\numbers.png\"><rect left=\"10\" right=\"20\" top=\"0\" "
        "bottom=\"10\"/></texture>\r\n"
        "  <note ID=\"9\" image=\"digits\\numbers.png\"/>\r\n"
        "</textureInfo>\r\n");
    m_folder.Write("img/config/broken.xml", "<textureInfo name=\"Broken\"><texture></textureInfo>");
    m_textureInfo.SetImageDirectoryVerbatim(m_folder.WinPath() + "\\img");
    const std::string path = m_folder.WinPath() + "\\img\\config\\TextNumberYellow.xml";

    KelFontCL* font = m_fonts.LoadImageFont(path.c_str());
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->GetName(), "TextNumberYellow");
    EXPECT_EQ(font->GetFaceName(), "TextNumberYellow");
    EXPECT_EQ(m_fonts.GetFont("TextNumberYellow"), font);
    // Both glyphs share one page: the cached picture.
    KelImageCL* page = m_images.Find((m_folder.WinPath() + "\\img\\digits\\numbers.png").c_str());
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(font->GetPage(0), page);
    EXPECT_EQ(font->GetPageCount(), 1);
    EXPECT_EQ(font->GetGlyph('1').x, 10);
    EXPECT_EQ(font->GetGlyph('1').width, 10);
    // An element that is not a texture gives the empty glyph of character 0.
    EXPECT_EQ(font->GetGlyph('9').width, 0);
    EXPECT_EQ(font->GetGlyph(0).width, 0);

    // "a" is not in the font: it is skipped, and the shared picture is not drawn into.
    TestFrame frame = RenderFrame(
        [&](KelCanvasCL* canvas)
        {
            canvas->SetFont("TextNumberYellow");
            canvas->DrawText("1a0", 10, 10, nullptr, false, 0);
        });
    EXPECT_EQ(frame.At(15, 15), 0x00FF00u);
    EXPECT_EQ(frame.At(25, 15), 0xFF0000u);
    EXPECT_EQ(frame.At(31, 15), kBackground);
    EXPECT_EQ(font->GetGlyph('a').width, 0);
    D3DCOLOR color = 0;
    ASSERT_TRUE(page->GetPointColor(0, 0, &color));
    EXPECT_EQ(color, 0xFFFF0000u);

    // Loading the same font again gives the one registered; broken or missing files give none.
    EXPECT_EQ(m_fonts.LoadImageFont(path.c_str()), font);
    EXPECT_EQ(m_fonts.LoadImageFont((m_folder.WinPath() + "\\img\\config\\broken.xml").c_str()), nullptr);
    EXPECT_EQ(m_fonts.LoadImageFont((m_folder.WinPath() + "\\img\\config\\none.xml").c_str()), nullptr);
    EXPECT_EQ(m_fonts.GetFontCount(), 2);
    EXPECT_NE(ReadLog().find("broken.xml"), std::string::npos);

    m_fonts.DestroyFont("TextNumberYellow");
    EXPECT_EQ(m_fonts.GetFontCount(), 1);
    // The font's reference to the picture is given back.
    EXPECT_LT(page->GetReferenceCount(), 0);
}

// Fonts nobody uses any more (count below 0) are deleted by the first update more than 30 s of
// engine time after the last sweep; the first update only starts the clock.
TEST_F(KelFontTest, UnusedFontsAreSweptAfterThirtySeconds)
{
    m_system.now = 1000;
    m_fonts.Update();
    KelFontCL* temporary = m_fonts.CreateFont("temporary", "宋体", 6, 12, 1, nullptr);
    temporary->ReleaseReference();
    const std::pair<DWORD, int> steps[] = {{20000, 2}, {31000, 2}, {31001, 1}, {70000, 1}};
    for (const auto& [now, count] : steps)
    {
        m_system.now = now;
        m_fonts.Update();
        EXPECT_EQ(m_fonts.GetFontCount(), count) << now;
    }
    EXPECT_NE(m_fonts.GetFont("system"), nullptr);
    EXPECT_EQ(m_fonts.GetFont("temporary"), nullptr);
}

// The font browser shows its lines and the selected page; the statistics their four lines.
TEST_F(KelFontTest, DebugOverlayShowsTheFontBrowserAndStatistics)
{
    Win32ReleaseAllKeys();
    Win32SetKeyDown(VK_MENU, true);
    Win32SetKeyDown(VK_CONTROL, true);
    m_system.HandleDebugKey(nullptr, WM_KEYDOWN, 'F', 0);
    m_system.HandleDebugKey(nullptr, WM_KEYDOWN, 'S', 0);
    Win32ReleaseAllKeys();
    KelFontCL* font = m_fonts.GetFont("system");
    font->Preload("宋");
    const KelGlyph& glyph = font->GetGlyph(kSong);

    TestFrame frame = RenderFrame([&](KelCanvasCL* canvas) { m_system.DrawDebugOverlay(canvas); });
    // Each line's colour appears in its band of rows.
    auto hasColor = [&](uint32_t color, int top)
    {
        for (int y = top; y < top + 12; ++y)
            for (int x = 0; x < 400; ++x)
                if (frame.At(x, y) == color)
                    return true;
        return false;
    };
    const std::pair<uint32_t, int> lines[] = {
        {0x32FF32, 100}, {0x3232FF, 116}, {0x32FFFF, 132}, {0xFFFF32, 148}, // browser
        {0x00FFFF, 30},  {0x00FF00, 50},  {0xFFFFFF, 70},  {0xFFFF00, 90}}; // statistics
    for (const auto& [color, top] : lines)
        EXPECT_TRUE(hasColor(color, top)) << std::hex << color;
    // The page is drawn 20 pixels below the last line, at x 100: the glyph's cell is there.
    ExpectGlyph(frame, kSong, 100 + glyph.x, 168 + glyph.y, kWhite);
}

// Chinese and Latin text in several fonts and sizes. Every pixel is either the background or
// exactly one of the text colours (glyphs are one bit deep and drawn without filtering, so text
// stays crisp), and each line's ink starts at its origin and ends within its last glyph's cell of
// the width the font measures. With KAVDOR_SNAPSHOT_DIR set, the frame is also written there as
// font_frame.png for people to look at.
TEST_F(KelFontTest, MixedTextIsCrispAndWhereTheFontsMeasureIt)
{
    m_fonts.CreateFont("song16", "宋体", 8, 16, 1, nullptr);
    m_fonts.CreateFont("bold14", "宋体", 7, 14, 700, nullptr);
    m_fonts.CreateFont("hei24", "黑体", 12, 24, 1, nullptr);
    const std::set<uint32_t> colors = {kBackground, 0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x000000, 0xFF8080};
    struct Line
    {
        const char* font;
        const char* text;
        uint32_t color;
        int top;
        int height;
        float scale;
        int width = 0; // measured while drawing
    };
    std::vector<Line> lines = {
        {"system", "系统字体 12: 宋体 Song, The quick brown fox 0123456789", 0xFFFFFFFF, 8, 12, 1.0f},
        {"system", "每针绘制四边形数:192  FPS : 60", 0xFFFFFF00, 28, 12, 1.0f},
        {"song16", "十六像素: 斗地主 Jumps over 16px", 0xFF00FFFF, 50, 16, 1.0f},
        {"bold14", "粗体十四: 叫地主 不叫 Bold 14px", 0xFFFFFFFF, 76, 14, 1.0f},
        {"hei24", "黑体24: 出牌 Pass", 0xFFFF8080, 100, 24, 1.0f},
        {"system", "放大两倍 x2", 0xFFFFFFFF, 140, 24, 2.0f},
    };
    const char* centred = "居中: 在黑底上";
    int centredWidth = 0;
    TestFrame frame = RenderFrame(
        [&](KelCanvasCL* canvas)
        {
            canvas->FillRect(0, 200, 400, 260, 0xFF000000);
            for (Line& line : lines)
            {
                canvas->SetFont(line.font);
                canvas->SetTextColor(line.color);
                canvas->SetTextScale(line.scale, line.scale);
                // The canvas measures with its text scale.
                line.width = canvas->GetTextWidth(line.text);
                canvas->DrawText(line.text, 8, static_cast<float>(line.top), nullptr, false, 0);
            }
            canvas->SetFont("system");
            canvas->SetTextScale(1.0f, 1.0f);
            canvas->SetTextColor(0xFFFFFFFF);
            centredWidth = canvas->GetTextWidth(centred);
            KelRect clip(0, 0, 150, 30);
            canvas->DrawText(centred, 125, 215, &clip, true, 0);
        });
    for (uint32_t pixel : frame.pixels)
        ASSERT_EQ(colors.count(pixel & 0xFFFFFF), 1u) << std::hex << (pixel & 0xFFFFFF);

    // The ink of rows [top, bottom) on the given background: its leftmost and rightmost columns.
    const auto inkColumns = [&](int top, int bottom, uint32_t background)
    {
        int left = frame.width;
        int right = -1;
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < frame.width; ++x)
                if (frame.At(x, y) != background)
                {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        return std::make_pair(left, right);
    };
    int previousBottom = 0;
    for (const Line& line : lines)
    {
        ASSERT_GT(line.width, 0) << line.text;
        EXPECT_TRUE(Blank(frame, 0, previousBottom, frame.width, line.top)) << "above " << line.text;
        const auto [left, right] = inkColumns(line.top, line.top + line.height, kBackground);
        EXPECT_GE(left, 8) << line.text;
        EXPECT_LE(left, 8 + 2 * static_cast<int>(line.scale)) << line.text;
        EXPECT_LT(right, 8 + line.width) << line.text;
        EXPECT_GE(right, 8 + line.width - line.height) << line.text;
        previousBottom = line.top + line.height;
    }
    EXPECT_TRUE(Blank(frame, 0, previousBottom, frame.width, 200));
    // Centred in the 150-pixel box that starts at x 125.
    const auto [left, right] = inkColumns(200, 260, 0x000000);
    ASSERT_GT(centredWidth, 0);
    EXPECT_NEAR((left + right + 1) / 2.0, 125 + 75, 3.0);
    EXPECT_NEAR(right + 1 - left, centredWidth, 3.0);

    if (const char* folder = std::getenv("KAVDOR_SNAPSHOT_DIR"))
    {
        std::vector<uint8_t> rgb;
        for (uint32_t pixel : frame.pixels)
        {
            rgb.push_back(static_cast<uint8_t>(pixel >> 16));
            rgb.push_back(static_cast<uint8_t>(pixel >> 8));
            rgb.push_back(static_cast<uint8_t>(pixel));
        }
        const std::filesystem::path out = std::filesystem::path(folder) / "font_frame.png";
        EXPECT_NE(stbi_write_png(out.c_str(), frame.width, frame.height, 3, rgb.data(), frame.width * 3), 0);
    }
}
