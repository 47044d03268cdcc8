#include "Painter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <stb/stb_image_write.h>

namespace skin
{
namespace
{
constexpr const char* kFacePath = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc";

// The FreeType face, opened once (the generator is single-threaded).
FT_Face Face()
{
    static FT_Library library = nullptr;
    static FT_Face face = nullptr;
    if (face == nullptr)
    {
        if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, kFacePath, 0, &face) != 0)
            throw std::runtime_error(std::string("cannot open the font ") + kFacePath);
    }
    return face;
}

// The code points of UTF-8 text.
std::vector<uint32_t> Decode(const std::string& text)
{
    std::vector<uint32_t> codes;
    for (size_t i = 0; i < text.size();)
    {
        const auto c = static_cast<unsigned char>(text[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        uint32_t code = extra == 0 ? c : c & (0x3F >> extra);
        ++i;
        while (extra-- > 0 && i < text.size())
            code = (code << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
        codes.push_back(code);
    }
    return codes;
}

void WriteToVector(void* context, void* data, int size)
{
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

bool InRoundRect(float x, float y, float x0, float y0, float x1, float y1, float r)
{
    if (x < x0 || x >= x1 || y < y0 || y >= y1)
        return false;
    const float cx = std::clamp(x, x0 + r, x1 - r);
    const float cy = std::clamp(y, y0 + r, y1 - r);
    const float dx = x - cx;
    const float dy = y - cy;
    return dx * dx + dy * dy <= r * r;
}
} // namespace

Picture::Picture(int width, int height, Color fill)
    : m_width(width), m_height(height), m_pixels(static_cast<size_t>(width) * height, fill)
{
}

void Picture::Blend(int x, int y, Color color, int coverage)
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height || coverage <= 0)
        return;
    Color& dst = m_pixels[static_cast<size_t>(y) * m_width + x];
    const int sa = static_cast<int>(color >> 24) * coverage / 255;
    if (sa == 0)
        return;
    const int da = static_cast<int>(dst >> 24);
    const int oa = sa + da * (255 - sa) / 255;
    if (oa == 0)
    {
        dst = 0;
        return;
    }
    Color out = static_cast<Color>(oa) << 24;
    for (int shift = 0; shift < 24; shift += 8)
    {
        const int s = static_cast<int>((color >> shift) & 0xFF);
        const int d = static_cast<int>((dst >> shift) & 0xFF);
        const int v = (s * sa + d * da * (255 - sa) / 255) / oa;
        out |= static_cast<Color>(std::clamp(v, 0, 255)) << shift;
    }
    dst = out;
}

void Picture::FillRect(int x0, int y0, int x1, int y1, Color color)
{
    for (int y = std::max(0, y0); y < std::min(m_height, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(m_width, x1); ++x)
            Blend(x, y, color);
}

void Picture::FillRoundRect(float x0, float y0, float x1, float y1, float radius, Color color)
{
    FillShape(static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(std::ceil(x1)),
              static_cast<int>(std::ceil(y1)), color,
              [&](float x, float y) { return InRoundRect(x, y, x0, y0, x1, y1, radius); });
}

void Picture::StrokeRoundRect(float x0, float y0, float x1, float y1, float radius, float width, Color color)
{
    FillShape(static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(std::ceil(x1)),
              static_cast<int>(std::ceil(y1)), color,
              [&](float x, float y)
              {
                  return InRoundRect(x, y, x0, y0, x1, y1, radius) &&
                         !InRoundRect(x, y, x0 + width, y0 + width, x1 - width, y1 - width,
                                      std::max(0.0f, radius - width));
              });
}

void Picture::VerticalGradient(int x0, int y0, int x1, int y1, Color top, Color bottom)
{
    const int span = std::max(1, y1 - y0 - 1);
    for (int y = std::max(0, y0); y < std::min(m_height, y1); ++y)
    {
        const int t = (y - y0) * 255 / span;
        Color c = 0;
        for (int shift = 0; shift < 32; shift += 8)
        {
            const int a = static_cast<int>((top >> shift) & 0xFF);
            const int b = static_cast<int>((bottom >> shift) & 0xFF);
            c |= static_cast<Color>((a * (255 - t) + b * t) / 255) << shift;
        }
        for (int x = std::max(0, x0); x < std::min(m_width, x1); ++x)
            Blend(x, y, c);
    }
}

void Picture::FillEllipse(float x0, float y0, float x1, float y1, Color color)
{
    const float cx = (x0 + x1) / 2;
    const float cy = (y0 + y1) / 2;
    const float rx = (x1 - x0) / 2;
    const float ry = (y1 - y0) / 2;
    FillShape(static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(std::ceil(x1)),
              static_cast<int>(std::ceil(y1)), color,
              [&](float x, float y)
              {
                  const float dx = (x - cx) / rx;
                  const float dy = (y - cy) / ry;
                  return dx * dx + dy * dy <= 1.0f;
              });
}

void Picture::StrokeLine(float x0, float y0, float x1, float y1, float width, Color color)
{
    const float r = width / 2;
    const float dx = x1 - x0;
    const float dy = y1 - y0;
    const float length2 = std::max(dx * dx + dy * dy, 1e-6f);
    FillShape(static_cast<int>(std::floor(std::min(x0, x1) - r)),
              static_cast<int>(std::floor(std::min(y0, y1) - r)),
              static_cast<int>(std::ceil(std::max(x0, x1) + r)) + 1,
              static_cast<int>(std::ceil(std::max(y0, y1) + r)) + 1, color,
              [&](float x, float y)
              {
                  const float t = std::clamp(((x - x0) * dx + (y - y0) * dy) / length2, 0.0f, 1.0f);
                  const float px = x0 + t * dx - x;
                  const float py = y0 + t * dy - y;
                  return px * px + py * py <= r * r;
              });
}

int Picture::TextWidth(const std::string& utf8, int pixels)
{
    FT_Face face = Face();
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels));
    int width = 0;
    for (uint32_t code : Decode(utf8))
        if (FT_Load_Char(face, code, FT_LOAD_DEFAULT) == 0)
            width += static_cast<int>(face->glyph->advance.x >> 6);
    return width;
}

int Picture::Text(const std::string& utf8, int x, int y, int pixels, Color color, bool bold)
{
    FT_Face face = Face();
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels));
    const int ascender = static_cast<int>(face->size->metrics.ascender >> 6);
    int pen = x;
    for (uint32_t code : Decode(utf8))
    {
        if (FT_Load_Char(face, code, FT_LOAD_RENDER) != 0)
            continue;
        const FT_GlyphSlot glyph = face->glyph;
        const FT_Bitmap& bitmap = glyph->bitmap;
        for (int passes = 0; passes < (bold ? 2 : 1); ++passes)
            for (unsigned row = 0; row < bitmap.rows; ++row)
                for (unsigned column = 0; column < bitmap.width; ++column)
                    Blend(pen + glyph->bitmap_left + static_cast<int>(column) + passes,
                          y + ascender - glyph->bitmap_top + static_cast<int>(row), color,
                          bitmap.buffer[row * static_cast<unsigned>(bitmap.pitch) + column]);
        pen += static_cast<int>(glyph->advance.x >> 6) + (bold ? 1 : 0);
    }
    return pen - x;
}

void Picture::Draw(const Picture& other, int x, int y)
{
    for (int row = 0; row < other.Height(); ++row)
        for (int column = 0; column < other.Width(); ++column)
            Blend(x + column, y + row, other.At(column, row));
}

std::vector<uint8_t> Picture::Png() const
{
    std::vector<uint8_t> rgba;
    rgba.reserve(m_pixels.size() * 4);
    for (Color c : m_pixels)
    {
        rgba.push_back(static_cast<uint8_t>(c >> 16));
        rgba.push_back(static_cast<uint8_t>(c >> 8));
        rgba.push_back(static_cast<uint8_t>(c));
        rgba.push_back(static_cast<uint8_t>(c >> 24));
    }
    std::vector<uint8_t> png;
    stbi_write_png_to_func(WriteToVector, &png, m_width, m_height, 4, rgba.data(), m_width * 4);
    return png;
}
} // namespace skin
