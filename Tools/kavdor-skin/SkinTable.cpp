// The table's own pictures: the lobby's picture of a four-seat table with its stools and ready
// mark, the game's big icon, the felt background and logo of the table dialog, its system
// buttons, the two card backs, the action bar's buttons, the play window's marks and boxes, and
// its tool-bar buttons.

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Skin.h"
#include "SkinStyle.h"

namespace skin
{
namespace
{
// The game's own folder, its texture-info set and the file the module loads that set from.
const std::string kGameFolder = "game\\kavdortwo";
const std::string kGameSet = "kavdortwoTextureInfo";
const std::string kGameSetFile = "game\\kavdortwo\\Texturekavdortwo\\kavdortwotextureInfo.xml";
// The big game icon is asked for while the game's folder is the image directory, but the set is
// one the host loads with its own sets.
const std::string kIconSet = "kavdorTextureInfo";
const std::string kIconSetFile = "image\\config\\kavdorTextureInfo.xml";

// Every card picture has the size the card items draw and hit-test with.
constexpr int kCardWidth = 60;
constexpr int kCardHeight = 78;

// The action bar's buttons all share one size: the bar spaces its buttons by the width of the
// first one, so equal widths give equal gaps.
constexpr int kActionWidth = 80;
constexpr int kActionHeight = 34;

constexpr Color kShadow = Argb(150, 0, 0, 0);
constexpr Color kWood = Argb(255, 122, 80, 46);
constexpr Color kWoodDark = Argb(255, 68, 40, 22);

struct Caption
{
    const char* id;
    const char8_t* text;
    const ButtonPalette* palette;
};

// The bid, play, pass and hint buttons. The action bar builds them while the host's image
// directory is current, so their pictures lie below "image" although the game's set names them.
const Caption kActionButtons[] = {
    {"gameTable_call1", u8"1分", &kGreenButtons},    {"gameTable_call2", u8"2分", &kGreenButtons},
    {"gameTable_call3", u8"3分", &kGreenButtons},    {"gameTable_callNo", u8"不叫", &kOrangeButtons},
    {"gameTable_outCard", u8"出牌", &kGreenButtons}, {"gameTable_jump", u8"不出", &kOrangeButtons},
    {"gameTable_hint", u8"提示", &kBlueButtons},
};

// The play window's tool bar, spaced 66 to 70 pixels apart: 56 pixels leave a clear gap.
const Caption kToolButtons[] = {
    {"toolBar_soune", u8"语音", &kDarkButtons}, {"toolBar_result", u8"积分", &kDarkButtons},
    {"toolBar_sort", u8"排序", &kDarkButtons},  {"toolBar_trustee", u8"托管", &kDarkButtons},
    {"toolBar_pre", u8"上轮", &kDarkButtons},
};

// The table dialog's system buttons, 49 pixels apart at the top right.
const Caption kSystemButtons[] = {
    {"sysBtn_setting", u8"设置", &kDarkButtons},
    {"sysBtn_help", u8"帮助", &kDarkButtons},
    {"sysBtn_exit", u8"退出", &kOrangeButtons},
};

// Mixes `b` into `a` by t / 255, every channel alpha included.
Color Mix(Color a, Color b, int t)
{
    Color out = 0;
    for (int shift = 0; shift < 32; shift += 8)
    {
        const int ca = static_cast<int>((a >> shift) & 0xFF);
        const int cb = static_cast<int>((b >> shift) & 0xFF);
        out |= static_cast<Color>((ca * (255 - t) + cb * t) / 255) << shift;
    }
    return out;
}

// A fixed pseudo-random grain of -3 ... 3 per pixel, the same on every run.
int Grain(int x, int y)
{
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return static_cast<int>(h % 7) - 3;
}

Color Lighten(Color c, int amount)
{
    Color out = c & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8)
        out |= static_cast<Color>(std::clamp(static_cast<int>((c >> shift) & 0xFF) + amount, 0, 255))
               << shift;
    return out;
}

// Felt: lighter in the middle, darker towards the edges and corners, with a fine grain so the
// cloth does not look like a flat fill.
Picture Felt(int w, int h, Color centre, Color edge)
{
    Picture felt(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            // Squared distance from the middle, 0 there and 2 * 65536 in the corners.
            const int64_t dx = (2 * x + 1 - w) * 256 / w;
            const int64_t dy = (2 * y + 1 - h) * 256 / h;
            const int t = static_cast<int>(std::min<int64_t>(255, (dx * dx + dy * dy) * 255 / 98304));
            felt.Blend(x, y, Lighten(Mix(centre, edge, t), Grain(x, y)));
        }
    return felt;
}

// Copies `fill` into `target` through the coverage of `mask` (its alpha).
void DrawMasked(Picture& target, const Picture& fill, const Picture& mask, int x0 = 0, int y0 = 0)
{
    for (int y = 0; y < fill.Height(); ++y)
        for (int x = 0; x < fill.Width(); ++x)
            target.Blend(x0 + x, y0 + y, fill.At(x, y), static_cast<int>(mask.At(x0 + x, y0 + y) >> 24));
}

// Fills what `inside` (x, y) says is inside the box, with 4 x 4 samples per pixel.
template <class Inside>
void FillShape(Picture& picture, int x0, int y0, int x1, int y1, Color color, Inside inside)
{
    for (int y = std::max(0, y0); y < std::min(picture.Height(), y1); ++y)
        for (int x = std::max(0, x0); x < std::min(picture.Width(), x1); ++x)
        {
            int hits = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx)
                    hits += inside(x + (sx + 0.5f) / 4, y + (sy + 0.5f) / 4) ? 1 : 0;
            picture.Blend(x, y, color, hits * 255 / 16);
        }
}

// Whether (x, y) lies within `half` of the segment from (x0, y0) to (x1, y1).
bool NearSegment(float x, float y, float x0, float y0, float x1, float y1, float half)
{
    const float dx = x1 - x0;
    const float dy = y1 - y0;
    const float t = std::clamp(((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
    const float ex = x - (x0 + t * dx);
    const float ey = y - (y0 + t * dy);
    return ex * ex + ey * ey <= half * half;
}

using Polygon = std::vector<std::pair<float, float>>;

bool InPolygon(const Polygon& polygon, float x, float y)
{
    bool inside = false;
    for (size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++)
    {
        const auto [xi, yi] = polygon[i];
        const auto [xj, yj] = polygon[j];
        if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi)
            inside = !inside;
    }
    return inside;
}

// Text with a dark outline and a drop shadow, readable on felt of any shade.
void OutlinedText(Picture& picture, const std::string& text, int x, int y, int pixels, Color color,
                  Color outline)
{
    picture.Text(text, x + 2, y + 3, pixels, kShadow, true);
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx)
            if (dx * dx + dy * dy <= 5 && (dx != 0 || dy != 0))
                picture.Text(text, x + dx, y + dy, pixels, outline, true);
    picture.Text(text, x, y, pixels, color, true);
}

int CentredX(const std::string& text, int width, int pixels)
{
    // Bold text is one pixel wider per character than the face's advance.
    const int characters = static_cast<int>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
    return (width - Picture::TextWidth(text, pixels) - characters) / 2;
}

// A mark laid on the felt next to a seat: large outlined words on a clear background.
Picture Mark(const std::string& text, Color color, Color outline)
{
    constexpr int kPixels = 26;
    Picture mark(80, 40);
    OutlinedText(mark, text, CentredX(text, 80, kPixels), (40 - kPixels) / 2 - 2, kPixels, color, outline);
    return mark;
}

// The felt table of the play window: a rounded table with a wooden rim, a gold inlay line and
// the game's name woven faintly into the cloth.
Picture TableCentre()
{
    constexpr int w = 620;
    constexpr int h = 330;
    constexpr float radius = 100;
    Picture table(w, h);
    table.FillRoundRect(4, 10, w - 4, h, radius, Argb(80, 0, 0, 0));
    table.FillRoundRect(2, 6, w - 2, h - 2, radius, Argb(60, 0, 0, 0));
    Picture rimMask(w, h);
    rimMask.FillRoundRect(0, 0, w, h - 8, radius, kWhite);
    Picture wood(w, h);
    wood.VerticalGradient(0, 0, w, h - 8, kWood, kWoodDark);
    DrawMasked(table, wood, rimMask);
    table.StrokeRoundRect(1, 1, w - 1, h - 9, radius - 1, 1.5f, Argb(110, 255, 226, 180));
    constexpr int rim = 12;
    Picture feltMask(w, h);
    feltMask.FillRoundRect(rim, rim, w - rim, h - 8 - rim, radius - rim, kWhite);
    DrawMasked(table, Felt(w - 2 * rim, h - 8 - 2 * rim, Argb(255, 44, 142, 82), Argb(255, 20, 90, 50)),
               feltMask, rim, rim);
    table.StrokeRoundRect(rim, rim, w - rim, h - 8 - rim, radius - rim, 2, Argb(120, 0, 0, 0));
    table.StrokeRoundRect(rim + 8, rim + 8, w - rim - 8, h - 16 - rim, radius - rim - 8, 1.2f,
                          Argb(150, 240, 196, 70));
    const std::string name = Utf8(u8"斗地主");
    table.Text(name, CentredX(name, w, 56), (h - 8 - 56) / 2 - 4, 56, Argb(26, 255, 255, 255), true);
    return table;
}

// The table dialog's background: felt under a darker title strip for the room name and the
// system buttons, framed in dark wood with a gold line.
Picture BackFrame()
{
    constexpr int w = 800;
    constexpr int h = 600;
    Picture back = Felt(w, h, Argb(255, 34, 122, 70), Argb(255, 10, 54, 30));
    back.VerticalGradient(0, 0, w, 44, Argb(150, 0, 20, 10), Argb(90, 0, 20, 10));
    back.FillRect(0, 44, w, 45, Argb(140, 240, 196, 70));
    back.FillRect(0, 45, w, 47, Argb(60, 0, 0, 0));
    constexpr int frame = 6;
    back.FillRect(0, 0, w, frame, kWoodDark);
    back.FillRect(0, h - frame, w, h, kWoodDark);
    back.FillRect(0, 0, frame, h, kWoodDark);
    back.FillRect(w - frame, 0, w, h, kWoodDark);
    back.StrokeRoundRect(frame - 1, frame - 1, w - frame + 1, h - frame + 1, 0, 1, Argb(255, 130, 92, 56));
    back.StrokeRoundRect(frame + 3, frame + 3, w - frame - 3, h - frame - 3, 6, 1.2f,
                         Argb(170, 240, 196, 70));
    return back;
}

// The game's name over the top right of the table. The system buttons sit on its right part.
Picture Logo()
{
    Picture logo(260, 40);
    logo.FillRoundRect(0, 0, 260, 40, 8, Argb(150, 0, 16, 8));
    logo.StrokeRoundRect(0, 0, 260, 40, 8, 1, Argb(160, 240, 196, 70));
    OutlinedText(logo, Utf8(u8"四人斗地主"), 10, 2, 19, kGold, Argb(255, 70, 36, 8));
    logo.Text("KAVDOR", 12, 26, 10, Argb(200, 250, 230, 170), true);
    return logo;
}

// A small card for the icons: a paper rectangle with a rank over a suit.
void SmallCard(Picture& picture, int x, int y, const std::string& rank, const std::string& suit, Color ink)
{
    picture.FillRoundRect(x + 1.0f, y + 2.0f, x + 25.0f, y + 36.0f, 3, Argb(90, 0, 0, 0));
    picture.FillRoundRect(x, y, x + 24.0f, y + 34.0f, 3, Argb(255, 110, 110, 110));
    picture.FillRoundRect(x + 1.0f, y + 1.0f, x + 23.0f, y + 33.0f, 2.5f, Argb(255, 253, 253, 250));
    picture.Text(rank, x + 3, y + 2, 11, ink, true);
    picture.Text(suit, x + 8, y + 15, 14, ink);
}

Picture GameIcon()
{
    constexpr int size = 96;
    Picture icon(size, size);
    Picture mask(size, size);
    mask.FillRoundRect(0, 0, size, size, 16, kWhite);
    DrawMasked(icon, Felt(size, size, Argb(255, 46, 146, 84), Argb(255, 14, 70, 38)), mask);
    icon.StrokeRoundRect(0, 0, size, size, 16, 3, kWoodDark);
    icon.StrokeRoundRect(4, 4, size - 4, size - 4, 12, 1, Argb(190, 240, 196, 70));
    const Color red = Argb(255, 200, 30, 40);
    const Color black = Argb(255, 25, 25, 30);
    SmallCard(icon, 16, 14, "A", Utf8(u8"\u2660"), black);
    SmallCard(icon, 36, 10, "2", Utf8(u8"\u2665"), red);
    SmallCard(icon, 56, 14, "K", Utf8(u8"\u2666"), red);
    const std::string name = Utf8(u8"四人斗地主");
    OutlinedText(icon, name, CentredX(name, size, 16), 62, 16, kGold, Argb(255, 70, 36, 8));
    return icon;
}

// The lobby's picture of a four-seat table seen from above; the stools stand around it at the
// seat offsets, about 48 pixels from its middle.
Picture LobbyTable(bool running)
{
    constexpr int size = 72;
    Picture table(size, size);
    table.FillRoundRect(5, 7, size - 3, size - 1, 14, Argb(90, 0, 0, 0));
    Picture woodMask(size, size);
    woodMask.FillRoundRect(4, 4, size - 4, size - 4, 14, kWhite);
    Picture wood(size, size);
    wood.VerticalGradient(0, 4, size, size - 4, kWood, kWoodDark);
    DrawMasked(table, wood, woodMask);
    Picture feltMask(size, size);
    feltMask.FillRoundRect(9, 9, size - 9, size - 9, 9, kWhite);
    const Color centre = running ? Argb(255, 60, 168, 96) : Argb(255, 40, 132, 76);
    DrawMasked(table, Felt(size, size, centre, Argb(255, 18, 84, 46)), feltMask);
    table.StrokeRoundRect(12, 12, size - 12, size - 12, 6, 1, Argb(150, 240, 196, 70));
    if (running)
    {
        // Cards on the cloth and a warm light on the rim say a game is on.
        table.StrokeRoundRect(2, 2, size - 2, size - 2, 16, 2, Argb(220, 255, 208, 80));
        // The face-up card in the middle lies on top of the two backs.
        for (const int i : {0, 2, 1})
        {
            const float x = 18.0f + 11 * i;
            const float y = i == 1 ? 25.0f : 29.0f;
            table.FillRoundRect(x + 1, y + 2, x + 15, y + 21, 2, Argb(100, 0, 0, 0));
            table.FillRoundRect(x, y, x + 14, y + 19, 2, Argb(255, 90, 90, 90));
            table.FillRoundRect(x + 1, y + 1, x + 13, y + 18, 1.5f, Argb(255, 253, 253, 250));
            if (i != 1)
                table.FillRoundRect(x + 2, y + 2, x + 12, y + 17, 1, Argb(255, 178, 34, 44));
        }
        table.Text(Utf8(u8"\u2665"), 31, 29, 10, Argb(255, 200, 30, 40));
    }
    return table;
}

// A round stool seen from above; under the mouse it lights up with a gold ring.
Picture Stool(bool hover)
{
    constexpr int size = 24;
    Picture stool(size, size);
    stool.FillEllipse(2, 3, size, size + 1, Argb(90, 0, 0, 0));
    if (hover)
        stool.FillEllipse(0, 0, size, size, Argb(255, 255, 210, 90));
    stool.FillEllipse(2, 2, size - 2, size - 2, hover ? Argb(255, 150, 100, 56) : kWoodDark);
    stool.FillEllipse(5, 5, size - 5, size - 5, hover ? Argb(255, 214, 72, 60) : Argb(255, 150, 44, 40));
    stool.FillEllipse(8, 7, 14, 11, Argb(hover ? 140 : 80, 255, 255, 255));
    return stool;
}

// A green round badge with a tick.
Picture ReadyMark()
{
    Picture mark(22, 22);
    mark.FillEllipse(0, 1, 22, 22, Argb(100, 0, 0, 0));
    mark.FillEllipse(0, 0, 21, 21, Argb(255, 255, 255, 255));
    mark.FillEllipse(1.5f, 1.5f, 19.5f, 19.5f, Argb(255, 40, 160, 70));
    // The tick is drawn as two strokes: the face's tick glyph is missing at this size.
    const auto tick = [](float x, float y)
    {
        return NearSegment(x, y, 5.5f, 11.0f, 9.0f, 14.5f, 1.6f) ||
               NearSegment(x, y, 9.0f, 14.5f, 15.5f, 6.5f, 1.6f);
    };
    FillShape(mark, 0, 0, 22, 22, kWhite, tick);
    return mark;
}

// A card back: a paper edge around a lattice panel with a medallion in the middle.
Picture CardBack(Color top, Color bottom, Color lattice, Color medal, const std::string& sign,
                 Color signColor)
{
    Picture card(kCardWidth, kCardHeight);
    card.FillRoundRect(0, 0, kCardWidth, kCardHeight, 5, Argb(255, 120, 120, 120));
    card.FillRoundRect(1, 1, kCardWidth - 1, kCardHeight - 1, 4, Argb(255, 253, 253, 250));
    constexpr int margin = 4;
    Picture panel(kCardWidth, kCardHeight);
    panel.VerticalGradient(margin, margin, kCardWidth - margin, kCardHeight - margin, top, bottom);
    for (int y = margin; y < kCardHeight - margin; ++y)
        for (int x = margin; x < kCardWidth - margin; ++x)
            if ((x + y) % 6 == 0 || (x - y + 600) % 6 == 0)
                panel.Blend(x, y, lattice);
    Picture mask(kCardWidth, kCardHeight);
    mask.FillRoundRect(margin, margin, kCardWidth - margin, kCardHeight - margin, 3, kWhite);
    DrawMasked(card, panel, mask);
    card.StrokeRoundRect(margin + 2, margin + 2, kCardWidth - margin - 2, kCardHeight - margin - 2, 2, 1,
                         medal);
    card.FillEllipse(14, 23, 46, 55, medal);
    card.FillEllipse(16, 25, 44, 53, bottom);
    const int pixels = 20;
    card.Text(sign, CentredX(sign, kCardWidth, pixels), 28, pixels, signColor, true);
    return card;
}

// The landlord's badge: a gold crown over a red banner that says so.
Picture LandlordMark()
{
    constexpr int w = 48;
    constexpr int h = 48;
    Picture mark(w, h);
    const Polygon crown = {{5, 9}, {15, 18}, {24, 5}, {33, 18}, {43, 9}, {40, 29}, {8, 29}};
    const Polygon shadow = [&crown]
    {
        Polygon moved = crown;
        for (auto& [x, y] : moved)
            y += 2;
        return moved;
    }();
    FillShape(mark, 0, 0, w, h, Argb(170, 60, 30, 0),
              [&shadow](float x, float y) { return InPolygon(shadow, x, y); });
    Picture gold(w, h);
    gold.VerticalGradient(0, 4, w, 30, Argb(255, 255, 232, 130), Argb(255, 214, 150, 30));
    Picture crownMask(w, h);
    FillShape(crownMask, 0, 0, w, h, kWhite, [&crown](float x, float y) { return InPolygon(crown, x, y); });
    DrawMasked(mark, gold, crownMask);
    for (const auto& [x, y] : {std::pair{5.0f, 9.0f}, std::pair{24.0f, 5.0f}, std::pair{43.0f, 9.0f}})
    {
        mark.FillEllipse(x - 3.5f, y - 3.5f, x + 3.5f, y + 3.5f, Argb(255, 150, 90, 10));
        mark.FillEllipse(x - 2.5f, y - 2.5f, x + 2.5f, y + 2.5f, Argb(255, 255, 226, 120));
    }
    mark.FillEllipse(21, 20, 27, 26, Argb(255, 200, 30, 40));
    mark.FillRoundRect(1, 28, w - 1, h - 1, 5, Argb(255, 110, 14, 20));
    mark.FillRoundRect(2, 29, w - 2, h - 2, 4, Argb(255, 206, 38, 44));
    const std::string word = Utf8(u8"地主");
    mark.Text(word, CentredX(word, w, 14), 30, 14, kWhite, true);
    return mark;
}

// The base-score and multiplier boxes: a label, then a dark well where the table writes the
// number in white at (60, 8).
Picture ScoreBox(const std::string& label)
{
    Picture box = Panel(110, 24, Argb(210, 24, 44, 34), Argb(210, 10, 24, 16), Argb(220, 200, 160, 60), 5);
    box.Text(label, 8, 5, 13, Argb(255, 250, 222, 140), true);
    box.FillRoundRect(54, 4, 106, 22, 4, Argb(230, 0, 0, 0));
    box.StrokeRoundRect(54, 4, 106, 22, 4, 1, Argb(90, 255, 255, 255));
    return box;
}

void AddStates(Output& out, const std::string& folder, const std::string& file, const std::string& set,
               const std::string& id, int w, int h, const std::string& caption, int pixels,
               const ButtonPalette& palette)
{
    for (int state = 0; state < 4; ++state)
        out.AddPictureIn(folder, file, set, id + "_" + std::to_string(state),
                         ButtonFace(w, h, state, caption, pixels, palette));
}

void AddStateNames(std::vector<Named>& names, const std::string& set, const std::string& id,
                   const std::string& directory)
{
    for (int state = 0; state < 4; ++state)
        names.push_back({set, id + "_" + std::to_string(state), directory});
}
} // namespace

std::vector<Named> TableNamedPictures()
{
    std::vector<Named> names;
    names.push_back({kIconSet, "TableDefult", kGameFolder});
    for (const char* id :
         {"Table_4ren_Defult", "Pai_Table_4ren_Start", "PlayerReady", "StoolMouse_In_2", "StoolMouse_In_0"})
        names.push_back({"Table", id});
    for (const char* id :
         {"backFrame", "GameWnd_logo", "gametable_dizhu", "gameWnd_dizhuIcon", "gameTable_jumpImage",
          "baseScore_back_df", "baseScore_back_bs", "gameWnd_call_1", "gameWnd_Call_2", "gameWnd_Call_No"})
        names.push_back({kGameSet, id, kGameFolder});
    for (const Caption& button : kSystemButtons)
        AddStateNames(names, "gameWndEX", button.id, "image");
    AddStateNames(names, "gameWnd", "sysBtn_scale", "image");
    names.push_back({"card", "cardBack_kavdor"});
    names.push_back({"card", "cardBack_trevan"});
    for (const Caption& button : kActionButtons)
        AddStateNames(names, kGameSet, button.id, "image");
    AddStateNames(names, "gameWndEX", "kaishiBtn", "image");
    for (const Caption& button : kToolButtons)
        AddStateNames(names, "gameWndEX", button.id, "image");
    return names;
}

void WriteTable(Output& out)
{
    // The lobby.
    out.AddPictureIn(kGameFolder, kIconSetFile, kIconSet, "TableDefult", GameIcon());
    out.AddPicture("Table", "Table_4ren_Defult", LobbyTable(false));
    out.AddPicture("Table", "Pai_Table_4ren_Start", LobbyTable(true));
    out.AddPicture("Table", "PlayerReady", ReadyMark());
    out.AddPicture("Table", "StoolMouse_In_2", Stool(false));
    out.AddPicture("Table", "StoolMouse_In_0", Stool(true));

    // The table dialog.
    out.AddPictureIn(kGameFolder, kGameSetFile, kGameSet, "backFrame", BackFrame());
    out.AddPictureIn(kGameFolder, kGameSetFile, kGameSet, "GameWnd_logo", Logo());
    for (const Caption& button : kSystemButtons)
        AddButtonStates(out, "gameWndEX", button.id, 44, 26, Utf8(button.text), 13, *button.palette);
    AddButtonStates(out, "gameWnd", "sysBtn_scale", 44, 26, Utf8(u8"缩放"), 13, kDarkButtons);

    // Face-down cards: the landlord's and the base cards (red), everybody else's (blue).
    out.AddPicture("card", "cardBack_kavdor",
                   CardBack(Argb(255, 190, 40, 50), Argb(255, 120, 16, 28), Argb(70, 255, 214, 120),
                            Argb(255, 240, 196, 70), "K", Argb(255, 255, 222, 120)));
    out.AddPicture("card", "cardBack_trevan",
                   CardBack(Argb(255, 50, 100, 180), Argb(255, 22, 52, 118), Argb(70, 210, 230, 255),
                            Argb(255, 220, 232, 250), Utf8(u8"\u2605"), kWhite));

    // The action bar.
    for (const Caption& button : kActionButtons)
        AddStates(out, "image", kGameSetFile, kGameSet, button.id, kActionWidth, kActionHeight,
                  Utf8(button.text), 16, *button.palette);
    AddButtonStates(out, "gameWndEX", "kaishiBtn", 100, 36, Utf8(u8"准备"), 18, kGreenButtons);

    // The play window.
    const auto game = [&out](const char* id, const Picture& picture)
    { out.AddPictureIn(kGameFolder, kGameSetFile, kGameSet, id, picture); };
    game("gametable_dizhu", TableCentre());
    game("gameWnd_dizhuIcon", LandlordMark());
    game("gameTable_jumpImage", Mark(Utf8(u8"不出"), Argb(255, 250, 250, 250), Argb(255, 30, 40, 50)));
    game("baseScore_back_df", ScoreBox(Utf8(u8"底分")));
    game("baseScore_back_bs", ScoreBox(Utf8(u8"倍数")));
    const Color bidInk = Argb(255, 255, 214, 90);
    const Color bidOutline = Argb(255, 96, 48, 8);
    game("gameWnd_call_1", Mark(Utf8(u8"1分"), bidInk, bidOutline));
    // A bid of 3 shows this picture too, so it says what both bids have in common.
    game("gameWnd_Call_2", Mark(Utf8(u8"\u22652分"), bidInk, bidOutline));
    game("gameWnd_Call_No", Mark(Utf8(u8"不叫"), Argb(255, 206, 224, 255), Argb(255, 24, 36, 60)));
    for (const Caption& button : kToolButtons)
        AddButtonStates(out, "gameWndEX", button.id, 56, 26, Utf8(button.text), 13, *button.palette);
}
} // namespace skin
