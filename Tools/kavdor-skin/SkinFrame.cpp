// The pictures of the card-table framework's own windows: the small buttons around each seat,
// the stake buttons, the turn clock, the chat panel, the tool bar, the package bar and the player
// list. The dialogs around them draw their frames from the GUI configuration; what is here is what
// those windows name themselves in "gameWndEX" and "gameWnd".
//
// Symbols are drawn with shapes rather than font glyphs so that they stay crisp at 20 pixels and
// look the same whatever the font has; all shape maths is in floats in a fixed order, so the bytes
// are the same on every run.

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "Skin.h"
#include "SkinStyle.h"

namespace skin
{
namespace
{
// The sets the framework's windows name: most pictures are in the newer "gameWndEX"; the older
// chat panel and the player list take theirs from "gameWnd".
constexpr const char* kWndEx = "gameWndEX";
constexpr const char* kWnd = "gameWnd";

constexpr Color kDark = Argb(255, 36, 44, 54);
constexpr Color kFaded = Argb(255, 234, 234, 234);
constexpr Color kYellow = Argb(255, 250, 210, 60);
constexpr Color kBoxGold = Argb(255, 222, 168, 78);
constexpr Color kRibbon = Argb(255, 200, 52, 48);
constexpr Color kPlus = Argb(255, 120, 226, 120);

// The seat buttons are small enough to sit in a row beside a player's picture.
constexpr int kSeatIcon = 20;
// The chat panel's bottom row is 30 pixels high (the collapsed panel); its controls are 22 high.
constexpr int kChatRow = 22;
constexpr int kChatEditWidth = 196;
constexpr int kPhraseButtonWidth = 44;

// Fills the pixels of the box that `inside` covers, 4 x 4 samples a pixel, anti-aliased.
void FillWhere(Picture& p, float x0, float y0, float x1, float y1, Color color,
               const std::function<bool(float, float)>& inside)
{
    for (int y = std::max(0, static_cast<int>(y0)); y < std::min(p.Height(), static_cast<int>(std::ceil(y1)));
         ++y)
        for (int x = std::max(0, static_cast<int>(x0));
             x < std::min(p.Width(), static_cast<int>(std::ceil(x1))); ++x)
        {
            int hits = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx)
                    hits += inside(x + (sx + 0.5f) / 4, y + (sy + 0.5f) / 4) ? 1 : 0;
            p.Blend(x, y, color, hits * 255 / 16);
        }
}

// A straight stroke with round ends.
void Line(Picture& p, float x0, float y0, float x1, float y1, float width, Color color)
{
    const float half = width / 2;
    const float dx = x1 - x0;
    const float dy = y1 - y0;
    const float length2 = std::max(dx * dx + dy * dy, 1e-6f);
    FillWhere(p, std::min(x0, x1) - half, std::min(y0, y1) - half, std::max(x0, x1) + half,
              std::max(y0, y1) + half, color,
              [=](float x, float y)
              {
                  const float t = std::clamp(((x - x0) * dx + (y - y0) * dy) / length2, 0.0f, 1.0f);
                  const float ex = x - (x0 + t * dx);
                  const float ey = y - (y0 + t * dy);
                  return ex * ex + ey * ey <= half * half;
              });
}

// A ring of the given stroke width around (cx, cy); `keep` limits it to part of the circle.
void Ring(Picture& p, float cx, float cy, float radius, float width, Color color,
          const std::function<bool(float, float)>& keep = nullptr)
{
    const float outer = radius + width / 2;
    const float inner = radius - width / 2;
    FillWhere(p, cx - outer, cy - outer, cx + outer, cy + outer, color,
              [=](float x, float y)
              {
                  const float d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
                  return d2 <= outer * outer && d2 >= inner * inner && (!keep || keep(x, y));
              });
}

void Disc(Picture& p, float cx, float cy, float radius, Color color)
{
    p.FillEllipse(cx - radius, cy - radius, cx + radius, cy + radius, color);
}

// A filled polygon (even-odd rule).
void Polygon(Picture& p, const std::vector<std::pair<float, float>>& points, Color color)
{
    float x0 = points[0].first, x1 = x0, y0 = points[0].second, y1 = y0;
    for (const auto& [x, y] : points)
    {
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y);
    }
    FillWhere(p, x0, y0, x1, y1, color,
              [&points](float x, float y)
              {
                  bool in = false;
                  for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++)
                  {
                      const auto [xi, yi] = points[i];
                      const auto [xj, yj] = points[j];
                      if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi)
                          in = !in;
                  }
                  return in;
              });
}

// A person from the chest up: a head over rounded shoulders, ending at `bottom`.
void Bust(Picture& p, float cx, float top, float size, float bottom, Color color)
{
    const float head = size * 0.25f;
    Disc(p, cx, top + head, head, color);
    const float shoulderTop = top + size * 0.58f;
    const float half = size * 0.45f;
    FillWhere(p, cx - half, shoulderTop, cx + half, bottom, color,
              [=](float x, float y)
              {
                  const float ex = (x - cx) / half;
                  const float ey = (y - (shoulderTop + half)) / half;
                  return y < bottom && ex * ex + ey * ey <= 1.0f;
              });
}

void Smiley(Picture& p, float cx, float cy, float radius)
{
    Disc(p, cx, cy, radius, kYellow);
    const Color ink = Argb(255, 96, 62, 12);
    Disc(p, cx - radius * 0.36f, cy - radius * 0.22f, radius * 0.15f, ink);
    Disc(p, cx + radius * 0.36f, cy - radius * 0.22f, radius * 0.15f, ink);
    Ring(p, cx, cy + radius * 0.02f, radius * 0.55f, radius * 0.17f, ink,
         [=](float, float y) { return y > cy + radius * 0.2f; });
}

// A parcel with a ribbon and a bow, its box `w` wide, centred on cx.
void Parcel(Picture& p, float cx, float top, float w, float h)
{
    const float left = cx - w / 2;
    p.FillRoundRect(left + 1, top + h * 0.3f, left + w - 1, top + h, 1, kBoxGold);
    p.FillRoundRect(left, top + h * 0.16f, left + w, top + h * 0.42f, 1, Argb(255, 246, 204, 112));
    p.FillRect(static_cast<int>(cx - 1), static_cast<int>(top + h * 0.16f), static_cast<int>(cx + 1),
               static_cast<int>(top + h), kRibbon);
    p.FillEllipse(cx - 3.5f, top - 1, cx + 0.5f, top + h * 0.2f, kRibbon);
    p.FillEllipse(cx - 0.5f, top - 1, cx + 3.5f, top + h * 0.2f, kRibbon);
}

void Star(Picture& p, float cx, float cy, float outer, float inner, Color color)
{
    std::vector<std::pair<float, float>> corners;
    for (int i = 0; i < 10; ++i)
    {
        const float angle = -1.5707963f + static_cast<float>(i) * 0.62831853f;
        const float r = i % 2 == 0 ? outer : inner;
        corners.emplace_back(cx + r * std::cos(angle), cy + r * std::sin(angle));
    }
    // The star is concave; the even-odd fill of its ten corners is the star itself.
    Polygon(p, corners, color);
}

// A triangle pointing up or down, centred on (cx, cy).
void Arrow(Picture& p, float cx, float cy, float size, bool up, Color color)
{
    const float h = size * 0.6f;
    if (up)
        Polygon(p, {{cx - size / 2, cy + h / 2}, {cx + size / 2, cy + h / 2}, {cx, cy - h / 2}}, color);
    else
        Polygon(p, {{cx - size / 2, cy - h / 2}, {cx + size / 2, cy - h / 2}, {cx, cy + h / 2}}, color);
}

// Text centred on its ink rather than its advance: bold text is wider than its advance says, and
// a short caption on a narrow button shows it.
void CentredText(Picture& p, const std::string& text, float cx, float cy, int pixels, Color color, bool bold)
{
    Picture probe(pixels * static_cast<int>(text.size()) + 8, pixels * 2);
    probe.Text(text, 0, 0, pixels, kWhite, bold);
    int left = probe.Width(), right = -1, top = probe.Height(), bottom = -1;
    for (int y = 0; y < probe.Height(); ++y)
        for (int x = 0; x < probe.Width(); ++x)
            if ((probe.At(x, y) >> 24) > 0)
            {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    if (right < 0)
        return;
    p.Text(text, static_cast<int>(std::lround(cx - (left + right + 1) / 2.0f)),
           static_cast<int>(std::lround(cy - (top + bottom + 1) / 2.0f)), pixels, color, bold);
}

// Draws a symbol onto a picture, moved by (dx, dy), in the ink of the button's state.
using Symbol = std::function<void(Picture&, float dx, float dy, Color ink)>;

// A button face of the palette with the symbol on it: white ink, grey when disabled, one pixel
// lower while pressed (as the captions of every other button move).
Picture IconFace(int w, int h, int state, const Symbol& symbol, const ButtonPalette& palette)
{
    Picture face = ButtonFace(w, h, state, "", 14, palette);
    symbol(face, 0, state == 2 ? 1.0f : 0.0f, state == 3 ? kFaded : kWhite);
    return face;
}

void AddIconButton(Output& out, const std::string& set, const std::string& id, int w, int h,
                   const Symbol& symbol, const ButtonPalette& palette = kDarkButtons)
{
    for (int state = 0; state < 4; ++state)
        out.AddPicture(set, id + "_" + std::to_string(state), IconFace(w, h, state, symbol, palette));
}

// Coloured symbols keep their colours in every state but the disabled one, which greys them.
Color Tint(Color color, Color ink)
{
    return ink == kWhite ? color : kFaded;
}

// The seat buttons.

void InfoSymbol(Picture& p, float dx, float dy, Color ink)
{
    Ring(p, 10 + dx, 10 + dy, 6.6f, 1.4f, ink);
    Disc(p, 10 + dx, 6.6f + dy, 1.3f, ink);
    p.FillRoundRect(9 + dx, 8.8f + dy, 11 + dx, 14.2f + dy, 0.6f, ink);
}

void PackageSymbol(Picture& p, float dx, float dy, Color ink)
{
    if (ink != kWhite)
    {
        p.FillRoundRect(4 + dx, 6 + dy, 16 + dx, 16 + dy, 1, ink);
        return;
    }
    Parcel(p, 10 + dx, 4.5f + dy, 12, 11.5f);
}

void GemSymbol(Picture& p, float dx, float dy, Color ink)
{
    const Color body = Tint(Argb(255, 80, 196, 240), ink);
    const Color crown = Tint(Argb(255, 180, 236, 255), ink);
    Polygon(p,
            {{3.5f + dx, 8 + dy},
             {7 + dx, 4 + dy},
             {13 + dx, 4 + dy},
             {16.5f + dx, 8 + dy},
             {10 + dx, 16.5f + dy}},
            body);
    Polygon(p, {{3.5f + dx, 8 + dy}, {7 + dx, 4 + dy}, {13 + dx, 4 + dy}, {16.5f + dx, 8 + dy}}, crown);
    Line(p, 10 + dx, 8 + dy, 10 + dx, 15 + dy, 0.8f, Argb(160, 255, 255, 255));
}

void FaceSymbol(Picture& p, float dx, float dy, Color ink)
{
    if (ink != kWhite)
    {
        Disc(p, 10 + dx, 10 + dy, 6.5f, ink);
        return;
    }
    Smiley(p, 10 + dx, 10 + dy, 6.5f);
}

void FriendSymbol(Picture& p, float dx, float dy, Color ink)
{
    Bust(p, 8.5f + dx, 3.5f + dy, 12, 16.5f + dy, ink);
    const Color plus = Tint(kPlus, ink);
    Line(p, 12.8f + dx, 5 + dy, 17.6f + dx, 5 + dy, 1.7f, plus);
    Line(p, 15.2f + dx, 2.6f + dy, 15.2f + dx, 7.4f + dy, 1.7f, plus);
}

void VideoSymbol(Picture& p, float dx, float dy, Color ink)
{
    p.FillRoundRect(2.5f + dx, 6 + dy, 12.5f + dx, 14 + dy, 1.8f, ink);
    Polygon(p, {{12 + dx, 10 + dy}, {17.5f + dx, 6.5f + dy}, {17.5f + dx, 13.5f + dy}}, ink);
}

void AudioSymbol(Picture& p, float dx, float dy, Color ink)
{
    p.FillRoundRect(7.8f + dx, 2.5f + dy, 12.2f + dx, 11.5f + dy, 2.2f, ink);
    Ring(p, 10 + dx, 8.5f + dy, 4.6f, 1.3f, ink, [=](float, float y) { return y > 8.5f + dy; });
    Line(p, 10 + dx, 13.2f + dy, 10 + dx, 16 + dy, 1.3f, ink);
    Line(p, 7 + dx, 16.4f + dy, 13 + dx, 16.4f + dy, 1.3f, ink);
}

void CameraSymbol(Picture& p, float dx, float dy, Color ink)
{
    p.FillRoundRect(2.5f + dx, 6.5f + dy, 17.5f + dx, 16 + dy, 2, ink);
    p.FillRoundRect(6.5f + dx, 4.5f + dy, 11.5f + dx, 7.5f + dy, 1, ink);
    Disc(p, 10 + dx, 11.2f + dy, 3.4f, kDark);
    Disc(p, 10 + dx, 11.2f + dy, 1.7f, ink);
    Disc(p, 15 + dx, 8.6f + dy, 0.8f, kDark);
}

void ZoomSymbol(Picture& p, float dx, float dy, Color ink)
{
    Ring(p, 8.5f + dx, 8.5f + dy, 4.8f, 1.6f, ink);
    Line(p, 12.2f + dx, 12.2f + dy, 16.2f + dx, 16.2f + dy, 2.4f, ink);
    Line(p, 6.5f + dx, 8.5f + dy, 10.5f + dx, 8.5f + dy, 1.2f, ink);
    Line(p, 8.5f + dx, 6.5f + dy, 8.5f + dx, 10.5f + dy, 1.2f, ink);
}

// The turn clock.

// The clock the seconds of a turn are counted on. The code draws the two digits of the yellow
// digit font (22 pixels high, 17 wide each) with their top-left corner at (12, 11) of this
// picture, so the dark face is centred on those two digits and is large enough to hold their
// outlines.
Picture CountdownClock()
{
    const int w = 58;
    const int h = 50;
    const float cx = 29;
    const float cy = 22.5f;
    const Color rim = Argb(255, 232, 128, 40);
    const Color leg = Argb(255, 150, 80, 24);
    Picture clock(w, h);
    // Bells and legs first, so that the face covers their inner ends. Each bell is the outer half
    // of a disc, tilted away from the face.
    for (const float side : {-1.0f, 1.0f})
    {
        const float bx = cx + side * 17;
        const float by = 7.5f;
        FillWhere(clock, bx - 7, by - 7, bx + 7, by + 7, Argb(255, 206, 108, 34),
                  [=](float x, float y)
                  {
                      const float dx = x - bx;
                      const float dy = y - by;
                      return dx * dx + dy * dy <= 42.0f && side * dx - dy > -1.5f;
                  });
    }
    Line(clock, cx - 14, cy + 16, cx - 20, cy + 25, 3, leg);
    Line(clock, cx + 14, cy + 16, cx + 20, cy + 25, 3, leg);
    Disc(clock, cx, cy, 22.5f, rim);
    Disc(clock, cx, cy, 19.5f, Argb(255, 26, 34, 52));
    // Hour marks around the face, clear of the digits in the middle.
    for (int hour = 0; hour < 12; ++hour)
    {
        const float angle = static_cast<float>(hour) * 0.52359878f;
        const float s = std::sin(angle);
        const float c = std::cos(angle);
        const float inner = hour % 3 == 0 ? 15.2f : 16.6f;
        Line(clock, cx + s * inner, cy - c * inner, cx + s * 18.2f, cy - c * 18.2f,
             hour % 3 == 0 ? 1.6f : 1.0f, Argb(255, 150, 170, 200));
    }
    // A highlight on the rim, top left, for some depth.
    Ring(clock, cx, cy, 21, 1.2f, Argb(120, 255, 230, 190),
         [=](float x, float y) { return x < cx && y < cy; });
    return clock;
}

// The chat panel.

Picture InputField()
{
    Picture field(kChatEditWidth, kChatRow);
    field.FillRoundRect(0, 0, kChatEditWidth, kChatRow, 3, Argb(235, 250, 251, 253));
    field.FillRect(2, 1, kChatEditWidth - 2, 3, Argb(255, 214, 220, 230));
    field.StrokeRoundRect(0, 0, kChatEditWidth, kChatRow, 3, 1, Argb(255, 112, 136, 170));
    return field;
}

void MegaphoneSymbol(Picture& p, float dx, float dy, Color ink)
{
    const Color body = Tint(Argb(255, 246, 192, 72), ink);
    p.FillRoundRect(3.5f + dx, 8.5f + dy, 8 + dx, 13.5f + dy, 1, Tint(Argb(255, 214, 150, 48), ink));
    Polygon(p, {{7 + dx, 8.5f + dy}, {15 + dx, 4 + dy}, {15 + dx, 18 + dy}, {7 + dx, 13.5f + dy}}, body);
    Ring(p, 15 + dx, 11 + dy, 3.6f, 1.2f, ink, [=](float x, float) { return x > 16.4f + dx; });
    Line(p, 6 + dx, 13.5f + dy, 7.5f + dx, 17 + dy, 1.6f, body);
}

// The common-phrase button: its caption and an arrow showing which way the list opens (up, over
// the table) or that it is open (down, to close it).
Picture PhraseButton(int state, bool open)
{
    Picture face = ButtonFace(kPhraseButtonWidth, kChatRow, state, "", 12, kDarkButtons);
    const float dy = state == 2 ? 1.0f : 0.0f;
    const Color ink = state == 3 ? kFaded : kWhite;
    face.Text(Utf8(u8"常用"), 5, 4 + static_cast<int>(dy), 12, ink, true);
    Arrow(face, 36, 11 + dy, 7, !open, ink);
    return face;
}

// The record toggle: an arrow up opens the record above the input line, a blue face with an
// arrow down (ticked) closes it again.
Picture RecordToggle(int index)
{
    const int look = index % 3;
    const bool ticked = index >= 3;
    Picture face = ButtonFace(20, 20, look, "", 12, ticked ? kBlueButtons : kDarkButtons);
    Arrow(face, 10, 10 + (look == 2 ? 1.0f : 0.0f), 9, !ticked, kWhite);
    return face;
}

// The older chat panel's background: a dark glass over the felt, with the input row set off by
// a faint line 30 pixels above the bottom.
Picture ChatBack()
{
    const int w = 370;
    const int h = 110;
    Picture back = Panel(w, h, Argb(165, 16, 26, 38), Argb(190, 10, 18, 28), Argb(210, 120, 144, 176), 6);
    back.FillRect(6, h - 31, w - 6, h - 30, Argb(90, 200, 214, 232));
    return back;
}

// The chat panel's record: dark glass over the table's bottom left, so the felt shows through
// and light text reads on it; the input row below it stays clear.
Picture ChatRecordBack()
{
    return Panel(370, 80, Argb(150, 10, 18, 28), Argb(175, 6, 12, 20), Argb(200, 120, 144, 176), 6);
}

// The tool bar, the package bar and the player list.

// The trays of the two bars along the bottom edge. Only their top 22 rows are on the screen (the
// bars stand at y 578 of 600); the buttons stand up to 8 pixels above them.
Picture BarTray(int w)
{
    Picture tray = Panel(w, 35, Argb(205, 30, 42, 56), Argb(230, 16, 24, 34), Argb(230, 104, 128, 160), 7);
    tray.FillRect(7, 1, w - 7, 2, Argb(110, 220, 232, 246));
    return tray;
}

// The tool bar's buttons are 30 x 20 but stand only 23 to 28 pixels apart, so each face is 22
// wide in the middle of a clear picture and neighbours do not overlap.
void AddToolButton(Output& out, const std::string& id, const Symbol& symbol)
{
    for (int state = 0; state < 4; ++state)
    {
        Picture button(30, 20);
        button.Draw(ButtonFace(22, 20, state, "", 14, kDarkButtons), 4, 0);
        symbol(button, 0, state == 2 ? 1.0f : 0.0f, state == 3 ? kFaded : kWhite);
        out.AddPicture(kWndEx, id + "_" + std::to_string(state), button);
    }
}

void FriendsSymbol(Picture& p, float dx, float dy, Color ink)
{
    Bust(p, 18.5f + dx, 3 + dy, 11, 16 + dy, ink == kWhite ? Argb(255, 160, 182, 206) : ink);
    Bust(p, 12.5f + dx, 4 + dy, 12.5f, 17 + dy, ink);
}

void CardSymbol(Picture& p, float dx, float dy, Color ink)
{
    p.FillRoundRect(6.5f + dx, 4 + dy, 23.5f + dx, 16 + dy, 1.6f, ink);
    const Color figure = ink == kWhite ? Argb(255, 52, 104, 176) : Argb(255, 150, 150, 150);
    Bust(p, 11.5f + dx, 5.8f + dy, 7.6f, 14.6f + dy, figure);
    Line(p, 16 + dx, 8.2f + dy, 21 + dx, 8.2f + dy, 1.3f, Argb(255, 120, 128, 140));
    Line(p, 16 + dx, 11.4f + dy, 20 + dx, 11.4f + dy, 1.3f, Argb(255, 120, 128, 140));
}

void BigParcelSymbol(Picture& p, float dx, float dy, Color ink)
{
    PackageSymbol(p, dx + 5, dy, ink);
}

void StarSymbol(Picture& p, float dx, float dy, Color ink)
{
    Star(p, 15 + dx, 10.5f + dy, 7, 2.9f, Tint(kGold, ink));
}

void LeftSymbol(Picture& p, float dx, float dy, Color ink)
{
    Polygon(p, {{14.5f + dx, 5 + dy}, {14.5f + dx, 15 + dy}, {8 + dx, 10 + dy}}, ink);
}

void RightSymbol(Picture& p, float dx, float dy, Color ink)
{
    Polygon(p, {{9.5f + dx, 5 + dy}, {9.5f + dx, 15 + dy}, {16 + dx, 10 + dy}}, ink);
}

// The double-score card: a small card marked "x2" and the card's name.
void DoubleScoreSymbol(Picture& p, float dx, float dy, Color ink)
{
    p.FillRoundRect(6 + dx, 3 + dy, 22 + dx, 19 + dy, 2, ink);
    p.Text("x2", static_cast<int>(7.5f + dx), static_cast<int>(4 + dy), 11, ink == kWhite ? kRibbon : kDark,
           true);
    p.Text(Utf8(u8"双倍积分卡"), static_cast<int>(30 + dx), static_cast<int>(4 + dy), 12, ink, true);
}

// The player list: the own player's summary over the list of players, and the chosen player's
// details under the list. The code writes the nickname, the score, the membership and the coins
// at fixed places; each gets a darker field with its caption, and the player's picture a frame at
// the left.
Picture PlayerListBack()
{
    const int w = 240;
    const int h = 420;
    Picture back = Panel(w, h, Argb(235, 66, 86, 114), Argb(235, 46, 62, 84), Argb(255, 150, 172, 204), 6);
    const Color field = Argb(150, 14, 22, 34);
    const Color fieldEdge = Argb(160, 150, 170, 200);
    const Color caption = Argb(255, 196, 210, 230);
    back.FillRoundRect(10, 10, 96, 88, 4, field);
    back.StrokeRoundRect(10, 10, 96, 88, 4, 1, fieldEdge);
    const std::pair<int, const char8_t*> rows[] = {{24, u8"昵称"}, {46, u8"积分"}, {69, u8"身份"}};
    for (const auto& [top, name] : rows)
    {
        back.FillRoundRect(156, static_cast<float>(top), 232, static_cast<float>(top + 18), 3, field);
        back.Text(Utf8(name), 112, top + 2, 12, caption, false);
    }
    back.FillRoundRect(58, 93, 150, 111, 3, field);
    back.Text(Utf8(u8"金币"), 16, 95, 12, caption, false);
    back.FillRect(8, 118, w - 8, 119, Argb(120, 190, 204, 224));
    for (const auto& [top, bottom] : {std::pair{124, 254}, std::pair{260, h - 8}})
    {
        back.FillRoundRect(8, static_cast<float>(top), w - 8, static_cast<float>(bottom), 4, field);
        back.StrokeRoundRect(8, static_cast<float>(top), w - 8, static_cast<float>(bottom), 4, 1, fieldEdge);
    }
    return back;
}
} // namespace

std::vector<Named> FrameNamedPictures()
{
    std::vector<Named> names;
    const auto button = [&names](const char* set, const std::string& id)
    {
        for (int state = 0; state < 4; ++state)
            names.push_back({set, id + "_" + std::to_string(state)});
    };
    // The seat window's buttons.
    for (const char* id : {"userinfobtn", "package", "duihuanbb", "faceRWBQ", "friend", "video", "audio",
                           "capture", "VideoZoom"})
        button(kWndEx, id);
    // The stake dialog's buttons and the turn clock.
    for (const char* id : {"betWnd_1", "betWnd_2", "betWnd_5", "betWnd_10"})
        button(kWndEx, id);
    names.push_back({kWndEx, "countDown_back"});
    // The chat panel: the input line's background, its buttons, the phrase button's two pairs of
    // looks (list closed, list open) and the record toggle's six check-box images.
    names.push_back({kWndEx, "liaotianshurukuang"});
    for (const char* id : {"face", "Enter", "xiaolaba", "liaotianjilu"})
        button(kWndEx, id);
    for (const char* id : {"chatTextBtn_0", "chatTextBtn_1", "chatTextBtn_down_0", "chatTextBtn_down_1"})
        names.push_back({kWndEx, id});
    for (int i = 0; i < 6; ++i)
        names.push_back({kWndEx, "chatRecBtncheck_" + std::to_string(i)});
    names.push_back({kWnd, "chat_back"});
    names.push_back({kWndEx, "chatRecord_back"});
    // The tool bar and the package bar.
    names.push_back({kWndEx, "packagebarBK1"});
    for (const char* id : {"tbFriendbtn", "tbUserInfobtn", "tbPackagebtn", "tbTuiguangbtn"})
        button(kWndEx, id);
    names.push_back({kWndEx, "packagebarBK2"});
    for (const char* id : {"package_left", "jifenbtn", "package_right"})
        button(kWndEx, id);
    // The player list.
    names.push_back({kWnd, "playerInfo_back"});
    return names;
}

void WriteFrame(Output& out)
{
    const std::pair<const char*, void (*)(Picture&, float, float, Color)> seatButtons[] = {
        {"userinfobtn", InfoSymbol}, {"package", PackageSymbol}, {"duihuanbb", GemSymbol},
        {"faceRWBQ", FaceSymbol},    {"friend", FriendSymbol},   {"video", VideoSymbol},
        {"audio", AudioSymbol},      {"capture", CameraSymbol},  {"VideoZoom", ZoomSymbol},
    };
    for (const auto& [id, symbol] : seatButtons)
        AddIconButton(out, kWndEx, id, kSeatIcon, kSeatIcon, symbol);

    // The stake buttons stand 40 pixels apart in the stake dialog, above the stake the dialog
    // writes at y 65: 38 x 22 holds "+100" and leaves a gap between them and below them.
    const std::pair<const char*, const char*> stakes[] = {
        {"betWnd_1", "+10"}, {"betWnd_2", "+20"}, {"betWnd_5", "+50"}, {"betWnd_10", "+100"}};
    for (const auto& [id, caption] : stakes)
        AddIconButton(
            out, kWndEx, id, 38, 22,
            [text = std::string(caption)](Picture& p, float dx, float dy, Color ink)
            { CentredText(p, text, 19 + dx, 11 + dy, 12, ink, true); },
            kGreenButtons);
    out.AddPicture(kWndEx, "countDown_back", CountdownClock());

    out.AddPicture(kWndEx, "liaotianshurukuang", InputField());
    AddIconButton(out, kWndEx, "face", kChatRow, kChatRow,
                  [](Picture& p, float dx, float dy, Color ink) { FaceSymbol(p, dx + 1, dy + 1, ink); });
    AddIconButton(out, kWndEx, "xiaolaba", kChatRow, kChatRow, MegaphoneSymbol);
    AddButtonStates(out, kWndEx, "Enter", 40, kChatRow, Utf8(u8"发送"), 12, kBlueButtons);
    for (int state = 0; state < 4; ++state)
        out.AddPicture(kWndEx, "liaotianjilu_" + std::to_string(state), PhraseButton(state, false));
    out.AddPicture(kWndEx, "chatTextBtn_0", PhraseButton(0, false));
    out.AddPicture(kWndEx, "chatTextBtn_1", PhraseButton(1, false));
    out.AddPicture(kWndEx, "chatTextBtn_down_0", PhraseButton(2, true));
    out.AddPicture(kWndEx, "chatTextBtn_down_1", PhraseButton(1, true));
    for (int i = 0; i < 6; ++i)
        out.AddPicture(kWndEx, "chatRecBtncheck_" + std::to_string(i), RecordToggle(i));
    out.AddPicture(kWnd, "chat_back", ChatBack());
    out.AddPicture(kWndEx, "chatRecord_back", ChatRecordBack());

    out.AddPicture(kWndEx, "packagebarBK1", BarTray(110));
    AddToolButton(out, "tbFriendbtn", FriendsSymbol);
    AddToolButton(out, "tbUserInfobtn", CardSymbol);
    AddToolButton(out, "tbPackagebtn", BigParcelSymbol);
    AddToolButton(out, "tbTuiguangbtn", StarSymbol);
    // The package bar reaches from x 490 to the tool bar at 688; its arrows stand at 5 and 169
    // and the card between them from 35.
    out.AddPicture(kWndEx, "packagebarBK2", BarTray(198));
    AddIconButton(out, kWndEx, "package_left", 24, 20, LeftSymbol);
    AddIconButton(out, kWndEx, "package_right", 24, 20, RightSymbol);
    AddIconButton(out, kWndEx, "jifenbtn", 128, 22, DoubleScoreSymbol, kOrangeButtons);

    out.AddPicture(kWnd, "playerInfo_back", PlayerListBack());
}
} // namespace skin
