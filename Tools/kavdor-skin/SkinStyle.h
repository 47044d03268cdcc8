#pragma once
// The look every part of the skin shares: colours, button faces with four clearly different
// states, and small helpers, so that the dialogs, the table and its bars read as one product.

#include <string>

#include "SkinOutput.h"

namespace skin
{
constexpr Color kBlue = Argb(255, 43, 92, 158);
constexpr Color kBlueDark = Argb(255, 29, 63, 115);
constexpr Color kPaper = Argb(255, 244, 241, 234);
constexpr Color kEdge = Argb(255, 120, 150, 190);
constexpr Color kWhite = Argb(255, 255, 255, 255);
constexpr Color kInk = Argb(255, 40, 40, 40);
constexpr Color kFelt = Argb(255, 28, 110, 62);
constexpr Color kFeltDark = Argb(255, 16, 74, 40);
constexpr Color kGold = Argb(255, 240, 196, 70);

// A button state: fill colours from top to bottom and an outline.
struct ButtonLook
{
    Color top;
    Color bottom;
    Color outline;
};
// Four states each: normal, hover, pressed, disabled.
using ButtonPalette = ButtonLook[4];
extern const ButtonPalette kBlueButtons;   // dialogs and general controls
extern const ButtonPalette kGreenButtons;  // positive game actions (play, bid)
extern const ButtonPalette kOrangeButtons; // passing, declining, warnings
extern const ButtonPalette kDarkButtons;   // small tool buttons over the felt

// A rounded button face; its middle cells tile (the nine-part rule of buttons). The caption is
// UTF-8, centred, and moves down a pixel while pressed.
Picture ButtonFace(int w, int h, int state, const std::string& caption = "", int captionPixels = 14,
                   const ButtonPalette& palette = kBlueButtons);
// Writes <id>_0 ... <id>_3 of the set.
void AddButtonStates(Output& out, const std::string& set, const std::string& id, int w, int h,
                     const std::string& caption = "", int captionPixels = 14,
                     const ButtonPalette& palette = kBlueButtons);

inline Picture Solid(int w, int h, Color color)
{
    return Picture(w, h, color);
}

// A rounded panel: a vertical gradient with a thin outline, for dialog and bar backgrounds.
Picture Panel(int w, int h, Color top, Color bottom, Color outline, float radius = 6);

inline std::string Utf8(const char8_t* text)
{
    return reinterpret_cast<const char*>(text);
}
} // namespace skin
