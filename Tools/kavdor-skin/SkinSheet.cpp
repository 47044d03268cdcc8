// The contact sheet: every generated picture on one page, grouped by set, so a reader sees the
// whole look at once.

#include <algorithm>
#include <string>
#include <vector>

#include "Skin.h"
#include "SkinStyle.h"

namespace skin
{
namespace
{
constexpr int kSheetWidth = 1280;
constexpr int kCell = 80;
constexpr int kLabel = 14;
constexpr int kHeader = 26;

struct Placed
{
    std::string set;
    std::string id;
    const Picture* picture;
    int x;
    int y;
    int step; // 1, or the factor a picture wider than the sheet is shrunk by
};

// Shelf packing: pictures left to right in cells of whole multiples of the cell size, a new
// shelf when the row is full, a new header line for each set.
std::vector<Placed> Layout(const Output& out, int& height)
{
    std::vector<Placed> placed;
    int x = 0;
    int y = 0;
    int shelf = 0;
    std::string set;
    for (const auto& [name, picture] : out.Pictures())
    {
        const size_t slash = name.find('/');
        const std::string pictureSet = name.substr(0, slash);
        const int step = std::max(1, (picture.Width() + kSheetWidth - 9) / (kSheetWidth - 8));
        const int w = picture.Width() / step + 8;
        const int h = picture.Height() / step + kLabel + 8;
        const int cellWidth = std::max(kCell, (w + kCell - 1) / kCell * kCell);
        const int cellHeight = std::max(kCell, h);
        if (pictureSet != set)
        {
            y += shelf + (set.empty() ? 0 : 6);
            placed.push_back({pictureSet, "", nullptr, 0, y, 0});
            y += kHeader;
            x = 0;
            shelf = 0;
            set = pictureSet;
        }
        if (x + cellWidth > kSheetWidth)
        {
            y += shelf;
            x = 0;
            shelf = 0;
        }
        placed.push_back({pictureSet, name.substr(slash + 1), &picture, x, y, step});
        x += cellWidth;
        shelf = std::max(shelf, cellHeight);
    }
    height = y + shelf;
    return placed;
}

// A checkerboard behind the pictures, so that transparency shows.
void Checker(Picture& sheet, int x0, int y0, int w, int h)
{
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            sheet.Blend(x0 + x, y0 + y,
                        ((x / 6 + y / 6) & 1) != 0 ? Argb(255, 70, 78, 86) : Argb(255, 58, 64, 72));
}
} // namespace

// A hand as the table lays it out, 11 pixels a card, since only that strip of each card shows:
// the corner index must read there.
void DrawHand(Picture& sheet, const Output& out, int y)
{
    static const char* const hand[] = {"54",   "53",   "2_1",  "2_0", "1_3", "13_0", "13_2", "12_1", "11_3",
                                       "10_0", "10_1", "10_3", "9_2", "8_0", "8_1",  "7_3",  "6_2",  "5_1",
                                       "5_0",  "4_3",  "3_0",  "3_1", "3_2", "3_3",  "9_1"};
    sheet.FillRect(0, y, kSheetWidth, y + kHeader - 4, Argb(255, 52, 60, 70));
    sheet.Text("hand, 11-pixel steps", 6, y + 4, 14, kGold, true);
    sheet.FillRect(0, y + kHeader, kSheetWidth, y + kHeader + 100, kFelt);
    int x = 10;
    for (const char* id : hand)
    {
        const auto found = out.Pictures().find(std::string("card/") + id);
        if (found == out.Pictures().end())
            continue;
        sheet.Draw(found->second, x, y + kHeader + 10);
        x += 11;
    }
}

constexpr int kHandHeight = kHeader + 100 + 6;

Picture ContactSheet(const Output& out)
{
    int height = 0;
    const std::vector<Placed> placed = Layout(out, height);
    Picture sheet(kSheetWidth, height + 4 + kHandHeight, Argb(255, 34, 38, 44));
    DrawHand(sheet, out, height + 10);
    for (const Placed& p : placed)
    {
        if (p.picture == nullptr)
        {
            sheet.FillRect(0, p.y, kSheetWidth, p.y + kHeader - 4, Argb(255, 52, 60, 70));
            sheet.Text(p.set, 6, p.y + 4, 14, kGold, true);
            continue;
        }
        const int w = p.picture->Width() / p.step;
        const int h = p.picture->Height() / p.step;
        Checker(sheet, p.x + 4, p.y + 4, w, h);
        for (int py = 0; py < h; ++py)
            for (int px = 0; px < w; ++px)
                sheet.Blend(p.x + 4 + px, p.y + 4 + py, p.picture->At(px * p.step, py * p.step));
        sheet.Text(p.id, p.x + 4, p.y + 6 + h, 10, Argb(255, 210, 214, 220));
    }
    return sheet;
}
} // namespace skin
