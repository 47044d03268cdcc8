#include "SkinStyle.h"

namespace skin
{
const ButtonPalette kBlueButtons = {
    {Argb(255, 88, 146, 214), Argb(255, 46, 98, 170), Argb(255, 30, 64, 120)},
    {Argb(255, 128, 182, 240), Argb(255, 70, 128, 204), Argb(255, 40, 84, 150)},
    {Argb(255, 36, 78, 140), Argb(255, 60, 110, 180), Argb(255, 20, 44, 90)},
    {Argb(255, 190, 190, 190), Argb(255, 160, 160, 160), Argb(255, 120, 120, 120)},
};
const ButtonPalette kGreenButtons = {
    {Argb(255, 96, 190, 96), Argb(255, 44, 136, 58), Argb(255, 24, 90, 36)},
    {Argb(255, 140, 220, 130), Argb(255, 70, 170, 80), Argb(255, 40, 110, 50)},
    {Argb(255, 30, 100, 40), Argb(255, 56, 140, 64), Argb(255, 16, 64, 24)},
    {Argb(255, 190, 190, 190), Argb(255, 160, 160, 160), Argb(255, 120, 120, 120)},
};
const ButtonPalette kOrangeButtons = {
    {Argb(255, 244, 170, 70), Argb(255, 214, 116, 28), Argb(255, 150, 76, 16)},
    {Argb(255, 255, 204, 110), Argb(255, 236, 146, 50), Argb(255, 170, 96, 30)},
    {Argb(255, 170, 84, 16), Argb(255, 210, 120, 40), Argb(255, 110, 52, 10)},
    {Argb(255, 190, 190, 190), Argb(255, 160, 160, 160), Argb(255, 120, 120, 120)},
};
const ButtonPalette kDarkButtons = {
    {Argb(230, 60, 70, 80), Argb(230, 34, 40, 48), Argb(255, 110, 120, 130)},
    {Argb(240, 90, 104, 118), Argb(240, 52, 62, 74), Argb(255, 170, 180, 190)},
    {Argb(240, 24, 28, 34), Argb(240, 44, 52, 60), Argb(255, 90, 100, 110)},
    {Argb(160, 110, 110, 110), Argb(160, 90, 90, 90), Argb(200, 120, 120, 120)},
};

Picture ButtonFace(int w, int h, int state, const std::string& caption, int captionPixels,
                   const ButtonPalette& palette)
{
    const ButtonLook& look = palette[state];
    Picture face(w, h);
    Picture fill(w, h);
    fill.VerticalGradient(0, 0, w, h, look.top, look.bottom);
    Picture mask(w, h);
    const float radius = h < 12 ? 2.0f : 4.0f;
    mask.FillRoundRect(0, 0, static_cast<float>(w), static_cast<float>(h), radius, kWhite);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            face.Blend(x, y, fill.At(x, y), static_cast<int>(mask.At(x, y) >> 24));
    face.StrokeRoundRect(0, 0, static_cast<float>(w), static_cast<float>(h), radius, 1, look.outline);
    if (!caption.empty())
    {
        const int tw = Picture::TextWidth(caption, captionPixels);
        const int dy = state == 2 ? 1 : 0;
        face.Text(caption, (w - tw) / 2, (h - captionPixels) / 2 - 1 + dy, captionPixels,
                  state == 3 ? Argb(255, 230, 230, 230) : kWhite, true);
    }
    return face;
}

void AddButtonStates(Output& out, const std::string& set, const std::string& id, int w, int h,
                     const std::string& caption, int captionPixels, const ButtonPalette& palette)
{
    for (int state = 0; state < 4; ++state)
        out.AddPicture(set, id + "_" + std::to_string(state),
                       ButtonFace(w, h, state, caption, captionPixels, palette));
}

Picture Panel(int w, int h, Color top, Color bottom, Color outline, float radius)
{
    Picture panel(w, h);
    Picture fill(w, h);
    fill.VerticalGradient(0, 0, w, h, top, bottom);
    Picture mask(w, h);
    mask.FillRoundRect(0, 0, static_cast<float>(w), static_cast<float>(h), radius, kWhite);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            const Color c = fill.At(x, y);
            const int coverage = static_cast<int>(mask.At(x, y) >> 24) * static_cast<int>(c >> 24) / 255;
            panel.Blend(x, y, c | 0xFF000000u, coverage);
        }
    panel.StrokeRoundRect(0, 0, static_cast<float>(w), static_cast<float>(h), radius, 1, outline);
    return panel;
}
} // namespace skin
