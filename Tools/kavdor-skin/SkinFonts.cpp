// The three digit fonts the table draws its numbers with: counts, the turn countdown, stakes,
// scores and coins. Each is one picture of glyphs side by side and an XML file naming each
// glyph's rectangle by its character, as the engine's image-font reader expects.

#include <algorithm>
#include <string>

#include "Skin.h"
#include "SkinStyle.h"

namespace skin
{
namespace
{
// The characters every digit font carries: the numbers and what is written around them.
constexpr const char* kGlyphs = "0123456789+-:/x.%";
constexpr int kGlyphHeight = 22;
constexpr int kTextPixels = 20;

struct DigitLook
{
    const char* name;
    Color top;
    Color bottom;
    Color outline;
};

constexpr DigitLook kLooks[] = {
    {"TextNumberYellow", Argb(255, 255, 244, 150), Argb(255, 246, 176, 20), Argb(255, 90, 50, 0)},
    {"TextNumberGreen", Argb(255, 200, 255, 190), Argb(255, 60, 200, 80), Argb(255, 10, 70, 20)},
    {"TextNumberJinBi", Argb(255, 255, 236, 170), Argb(255, 214, 150, 40), Argb(255, 110, 60, 10)},
};

// One glyph: the character in a bold face filled with a vertical gradient and ringed by a dark
// outline two pixels wide, so the digits read on felt, on cards and on the clock alike.
Picture Glyph(char c, const DigitLook& look)
{
    const std::string text(1, c);
    const int advance = Picture::TextWidth(text, kTextPixels) + 1;
    const int width = advance + 4;
    Picture mask(width, kGlyphHeight);
    mask.Text(text, 2, 0, kTextPixels, kWhite, true);

    Picture glyph(width, kGlyphHeight);
    // The outline: every pixel within two pixels of ink, at the strongest coverage around it.
    for (int y = 0; y < kGlyphHeight; ++y)
        for (int x = 0; x < width; ++x)
        {
            int coverage = 0;
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx)
                {
                    if (dx * dx + dy * dy > 5)
                        continue;
                    const int sx = x + dx;
                    const int sy = y + dy;
                    if (sx >= 0 && sy >= 0 && sx < width && sy < kGlyphHeight)
                        coverage = std::max(coverage, static_cast<int>(mask.At(sx, sy) >> 24));
                }
            glyph.Blend(x, y, look.outline, coverage);
        }
    Picture fill(width, kGlyphHeight);
    fill.VerticalGradient(0, 2, width, kGlyphHeight - 2, look.top, look.bottom);
    for (int y = 0; y < kGlyphHeight; ++y)
        for (int x = 0; x < width; ++x)
            glyph.Blend(x, y, fill.At(x, y) | 0xFF000000u, static_cast<int>(mask.At(x, y) >> 24));
    return glyph;
}
} // namespace

std::vector<std::string> DigitFontNames()
{
    std::vector<std::string> names;
    for (const DigitLook& look : kLooks)
        names.emplace_back(look.name);
    return names;
}

std::string DigitFontCharacters()
{
    return kGlyphs;
}

void WriteDigitFonts(Output& out)
{
    for (const DigitLook& look : kLooks)
    {
        std::vector<Picture> glyphs;
        int width = 0;
        for (const char* c = kGlyphs; *c != '\0'; ++c)
        {
            glyphs.push_back(Glyph(*c, look));
            width += glyphs.back().Width();
        }
        Picture page(width, kGlyphHeight);
        std::string xml = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<textureInfo name=\"" +
                          std::string(look.name) + "\" type=\"2D\">\n";
        const std::string image = std::string("font\\") + look.name + ".png";
        int x = 0;
        for (size_t i = 0; i < glyphs.size(); ++i)
        {
            page.Draw(glyphs[i], x, 0);
            // The ID's first character is the glyph's character; XML needs "&" and "<" escaped,
            // and no glyph here uses them.
            xml += "  <texture ID=\"" + std::string(1, kGlyphs[i]) + "\" image=\"" + image +
                   "\"><rect left=\"" + std::to_string(x) + "\" top=\"0\" right=\"" +
                   std::to_string(x + glyphs[i].Width()) + "\" bottom=\"" + std::to_string(kGlyphHeight) +
                   "\"/></texture>\n";
            x += glyphs[i].Width();
        }
        xml += "</textureInfo>\n";
        out.Write("image\\" + image, page.Png());
        out.Write(std::string("image\\config\\") + look.name + ".xml", xml);
        out.AddSheetPicture(std::string("font/") + look.name, page);
    }
}
} // namespace skin
