#pragma once
// A small RGBA painter for the generated skin: anti-aliased rounded rectangles and gradients,
// text through FreeType with the CJK face the engine also uses, and PNG output. Everything is
// computed in integers or in a fixed order, so the same calls give the same bytes on every run.

#include <cstdint>
#include <string>
#include <vector>

namespace skin
{
// ARGB.
using Color = uint32_t;

constexpr Color Argb(int a, int r, int g, int b)
{
    return (static_cast<Color>(a) << 24) | (static_cast<Color>(r) << 16) | (static_cast<Color>(g) << 8) |
           static_cast<Color>(b);
}

class Picture
{
public:
    Picture(int width, int height, Color fill = 0);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    Color At(int x, int y) const { return m_pixels[static_cast<size_t>(y) * m_width + x]; }

    // Source-over blending of one pixel with a coverage of 0 ... 255.
    void Blend(int x, int y, Color color, int coverage = 255);
    void FillRect(int x0, int y0, int x1, int y1, Color color);
    // Anti-aliased (4 x 4 samples per pixel) rounded rectangle [x0, x1) x [y0, y1).
    void FillRoundRect(float x0, float y0, float x1, float y1, float radius, Color color);
    // An outline of the given width along the inside of a rounded rectangle.
    void StrokeRoundRect(float x0, float y0, float x1, float y1, float radius, float width, Color color);
    void VerticalGradient(int x0, int y0, int x1, int y1, Color top, Color bottom);
    // A filled ellipse in the box, anti-aliased.
    void FillEllipse(float x0, float y0, float x1, float y1, Color color);
    // An anti-aliased line of the given width with round ends.
    void StrokeLine(float x0, float y0, float x1, float y1, float width, Color color);
    // Fills what `inside` (x, y) says is inside the box, 4 x 4 samples a pixel.
    template <class Inside>
    void FillShape(int x0, int y0, int x1, int y1, Color color, Inside inside)
    {
        for (int y = y0 < 0 ? 0 : y0; y < (y1 > m_height ? m_height : y1); ++y)
            for (int x = x0 < 0 ? 0 : x0; x < (x1 > m_width ? m_width : x1); ++x)
            {
                int hits = 0;
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 4; ++sx)
                        hits += inside(x + (sx + 0.5f) / 4, y + (sy + 0.5f) / 4) ? 1 : 0;
                Blend(x, y, color, hits * 255 / 16);
            }
    }
    // Draws UTF-8 text with its top-left at (x, y); the width it took.
    int Text(const std::string& utf8, int x, int y, int pixels, Color color, bool bold = false);
    static int TextWidth(const std::string& utf8, int pixels);
    // Copies another picture in with its alpha.
    void Draw(const Picture& other, int x, int y);

    // PNG bytes (deterministic).
    std::vector<uint8_t> Png() const;

private:
    int m_width;
    int m_height;
    std::vector<Color> m_pixels;
};
} // namespace skin
