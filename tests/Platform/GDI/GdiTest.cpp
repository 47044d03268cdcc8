#include "GDI/Gdi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
const MAT2 kIdentity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};

// One glyph as GetGlyphOutlineA hands it out.
struct Glyph
{
    DWORD result = GDI_ERROR;
    GLYPHMETRICS metrics{};
    std::vector<uint8_t> bits;

    // Row y of the black box as '#' and '.'.
    std::string Row(int y) const
    {
        const int pitch = (static_cast<int>(metrics.gmBlackBoxX) + 31) / 32 * 4;
        std::string row;
        for (int x = 0; x < static_cast<int>(metrics.gmBlackBoxX); ++x)
            row += (bits[static_cast<size_t>(y * pitch + x / 8)] >> (7 - x % 8)) & 1 ? '#' : '.';
        return row;
    }
    std::vector<std::string> Rows() const
    {
        std::vector<std::string> rows;
        for (int y = 0; y < static_cast<int>(metrics.gmBlackBoxY); ++y)
            rows.push_back(Row(y));
        return rows;
    }
};

Glyph GetGlyph(HFONT font, UINT code)
{
    Glyph glyph;
    HDC dc = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    glyph.bits.assign(4096, 0xCD);
    glyph.result = GetGlyphOutlineA(dc, code, GGO_BITMAP, &glyph.metrics, 4096, glyph.bits.data(), &kIdentity);
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    return glyph;
}

HFONT CreateFace(const char* face, int width, int height, int weight = 1)
{
    return CreateFontA(height, width, 0, 0, weight, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 32, face);
}

// Two-byte codes of the system code page.
constexpr UINT kSong = 0xCBCE;  // 宋
constexpr UINT kTi = 0xCCE5;    // 体
constexpr UINT kIdeographicSpace = 0xA1A1;
} // namespace

// The system font, 6 x 12 in the Song face, comes from the hand-drawn 12 pixel bitmaps: the
// glyphs are exactly those pixels, not a rendering of the outlines.
TEST(GdiTest, SongFaceAtTwelvePixelsGivesTheHandDrawnBitmaps)
{
    HFONT font = CreateFace("宋体", 6, 12);
    ASSERT_NE(font, nullptr);
    struct Case
    {
        UINT code;
        int advance;
        int originX;
        int originY;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        {'A', 8, 0, 8, {"...#...", "...#...", "..#.#..", "..#.#..", ".#...#.", ".#####.", "#.....#", "#.....#"}},
        {'g', 6, 0, 6, {".####", "#...#", "#...#", "#...#", "#...#", ".####", "....#", ".###."}},
        {kSong,
         12,
         0,
         10,
         {".....#.....", ".##########", ".#........#", "#....#...#.", ".....#.....", "###########",
          "....###....", "...#.#.#...", "..#..#..#..", "##...#...##", ".....#....."}},
    };
    for (const Case& c : cases)
    {
        Glyph glyph = GetGlyph(font, c.code);
        const int pitch = (static_cast<int>(c.rows[0].size()) + 31) / 32 * 4;
        EXPECT_EQ(glyph.result, static_cast<DWORD>(pitch * static_cast<int>(c.rows.size()))) << c.code;
        EXPECT_EQ(glyph.metrics.gmBlackBoxX, c.rows[0].size()) << c.code;
        EXPECT_EQ(glyph.metrics.gmBlackBoxY, c.rows.size()) << c.code;
        EXPECT_EQ(glyph.metrics.gmptGlyphOrigin.x, c.originX) << c.code;
        EXPECT_EQ(glyph.metrics.gmptGlyphOrigin.y, c.originY) << c.code;
        EXPECT_EQ(glyph.metrics.gmCellIncX, c.advance) << c.code;
        EXPECT_EQ(glyph.metrics.gmCellIncY, 0) << c.code;
        EXPECT_EQ(glyph.Rows(), c.rows) << c.code;
        // Each row is padded to 4 bytes with zero bits; nothing beyond the bitmap is written.
        for (size_t y = 0; y < c.rows.size(); ++y)
            for (int b = static_cast<int>(c.rows[0].size() + 7) / 8; b < pitch; ++b)
                EXPECT_EQ(glyph.bits[y * pitch + b], 0) << c.code;
        EXPECT_EQ(glyph.bits[glyph.result], 0xCD) << c.code;
    }
    EXPECT_TRUE(DeleteObject(font));
}

TEST(GdiTest, BufferSizeQueryAndShortBuffer)
{
    HFONT font = CreateFace("宋体", 6, 12);
    HDC dc = GetDC(nullptr);
    SelectObject(dc, font);
    GLYPHMETRICS metrics{};
    // Without a buffer the size needed is returned: 11 rows of 4 bytes.
    EXPECT_EQ(GetGlyphOutlineA(dc, kTi, GGO_BITMAP, &metrics, 0, nullptr, &kIdentity), 44u);
    uint8_t small[43];
    EXPECT_EQ(GetGlyphOutlineA(dc, kTi, GGO_BITMAP, &metrics, sizeof small, small, &kIdentity), GDI_ERROR);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
}

// Glyphs without pixels have a 1 x 1 black box, a size of 0 and only an advance.
TEST(GdiTest, BlankGlyphsHaveOnlyAnAdvance)
{
    HFONT font = CreateFace("宋体", 6, 12);
    const std::pair<UINT, short> cases[] = {{' ', 6}, {kIdeographicSpace, 12}};
    for (const auto& [code, advance] : cases)
    {
        Glyph glyph = GetGlyph(font, code);
        EXPECT_EQ(glyph.result, 0u) << code;
        EXPECT_EQ(glyph.metrics.gmBlackBoxX, 1u) << code;
        EXPECT_EQ(glyph.metrics.gmBlackBoxY, 1u) << code;
        EXPECT_EQ(glyph.metrics.gmCellIncX, advance) << code;
        EXPECT_EQ(glyph.bits[0], 0xCD) << code; // nothing written
    }
    DeleteObject(font);
}

// A face name that is not installed still gives a font: the sans face, as the Chinese sans names
// do. Faces may also be named by their own family names.
TEST(GdiTest, UnknownFaceFallsBackToTheSansFace)
{
    HFONT unknown = CreateFace("No Such Face", 0, 20);
    HFONT sans = CreateFace("黑体", 0, 20);
    HFONT byFamily = CreateFace("wenquanyi micro hei", 0, 20);
    HFONT song = CreateFace("宋体", 0, 20);
    ASSERT_NE(unknown, nullptr);
    ASSERT_NE(byFamily, nullptr);
    Glyph fromUnknown = GetGlyph(unknown, kSong);
    ASSERT_GT(fromUnknown.result, 0u);
    ASSERT_NE(fromUnknown.result, GDI_ERROR);
    EXPECT_EQ(fromUnknown.Rows(), GetGlyph(sans, kSong).Rows());
    EXPECT_EQ(fromUnknown.Rows(), GetGlyph(byFamily, kSong).Rows());
    EXPECT_NE(fromUnknown.Rows(), GetGlyph(song, kSong).Rows());
    EXPECT_EQ(fromUnknown.metrics.gmCellIncX, 20);
    for (HFONT font : {unknown, sans, byFamily, song})
        DeleteObject(font);
}

// The width is the advance of a half-width character; a weight of 600 or more smears every
// glyph one pixel to the right.
TEST(GdiTest, WidthAndWeightShapeTheGlyphs)
{
    HFONT normal = CreateFace("宋体", 6, 12);
    HFONT wide = CreateFace("宋体", 8, 12);
    HFONT bold = CreateFace("宋体", 6, 12, FW_BOLD);
    Glyph a = GetGlyph(normal, kSong);
    Glyph w = GetGlyph(wide, kSong);
    Glyph b = GetGlyph(bold, kSong);
    EXPECT_EQ(w.metrics.gmCellIncX, 16);
    EXPECT_GT(w.metrics.gmBlackBoxX, a.metrics.gmBlackBoxX);
    EXPECT_EQ(b.metrics.gmCellIncX, a.metrics.gmCellIncX + 1);
    EXPECT_EQ(b.metrics.gmBlackBoxX, a.metrics.gmBlackBoxX + 1);
    EXPECT_EQ(b.metrics.gmBlackBoxY, a.metrics.gmBlackBoxY);
    EXPECT_EQ(b.Row(0), ".....##.....");
    EXPECT_EQ(b.Row(5), "############");
    for (HFONT font : {normal, wide, bold})
        DeleteObject(font);
}

// A code that is no character of the code page (a lead byte with a zero trail byte) shows the
// face's missing-glyph shape rather than failing; the cell still advances.
TEST(GdiTest, CodeOutsideTheCodePageShowsTheMissingGlyph)
{
    HFONT font = CreateFace("宋体", 6, 12);
    Glyph lone = GetGlyph(font, 0xCB00);
    EXPECT_NE(lone.result, GDI_ERROR);
    EXPECT_GT(lone.metrics.gmCellIncX, 0);
    DeleteObject(font);
}

TEST(GdiTest, HandlesAndArgumentsAreChecked)
{
    // Arguments this layer does not draw are refused rather than ignored.
    EXPECT_EQ(CreateFontA(12, 6, 0, 0, 1, 1, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 32, "宋体"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(CreateFontA(12, 6, 900, 0, 1, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 32, "宋体"), nullptr);
    EXPECT_EQ(CreateFontA(12, 6, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 32, "宋体"), nullptr);
    EXPECT_EQ(CreateFontA(5000, 0, 0, 0, 1, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 32, "宋体"), nullptr);

    HFONT font = CreateFace("宋体", 6, 12);
    HDC dc = GetDC(nullptr);
    GLYPHMETRICS metrics{};
    uint8_t buffer[256];
    const MAT2 turned = {{0, 0}, {0, 1}, {0, static_cast<short>(-1)}, {0, 0}};
    EXPECT_EQ(GetGlyphOutlineA(dc, 'A', 0, &metrics, sizeof buffer, buffer, &kIdentity), GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(dc, 'A', GGO_BITMAP, &metrics, sizeof buffer, buffer, &turned), GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(dc, 'A', GGO_BITMAP, &metrics, sizeof buffer, buffer, nullptr), GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(dc, 'A', GGO_BITMAP, nullptr, sizeof buffer, buffer, &kIdentity), GDI_ERROR);
    EXPECT_EQ(SelectObject(dc, reinterpret_cast<HGDIOBJ>(12345)), nullptr);

    // A new context starts with the 16 pixel system font.
    EXPECT_NE(GetGlyphOutlineA(dc, kSong, GGO_BITMAP, &metrics, sizeof buffer, buffer, &kIdentity), GDI_ERROR);
    EXPECT_EQ(metrics.gmCellIncX, 16);

    // A deleted font stays usable in the context it is selected into, until it is replaced.
    HGDIOBJ system = SelectObject(dc, font);
    ASSERT_NE(system, nullptr);
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_FALSE(DeleteObject(font));
    EXPECT_NE(GetGlyphOutlineA(dc, kSong, GGO_BITMAP, &metrics, sizeof buffer, buffer, &kIdentity), GDI_ERROR);
    EXPECT_EQ(metrics.gmCellIncX, 12);
    EXPECT_EQ(SelectObject(dc, system), reinterpret_cast<HGDIOBJ>(font));
    EXPECT_EQ(SelectObject(dc, font), nullptr);

    EXPECT_EQ(ReleaseDC(nullptr, dc), 1);
    EXPECT_EQ(ReleaseDC(nullptr, dc), 0);
    EXPECT_EQ(GetGlyphOutlineA(dc, 'A', GGO_BITMAP, &metrics, sizeof buffer, buffer, &kIdentity), GDI_ERROR);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}
