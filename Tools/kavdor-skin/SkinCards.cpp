#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "Skin.h"
#include "SkinStyle.h"

namespace skin
{
namespace
{
constexpr int kCardWidth = 60;
constexpr int kCardHeight = 78;
constexpr Color kRed = Argb(255, 200, 30, 40);
constexpr Color kBlack = Argb(255, 25, 25, 30);

// Suits 0 spades, 1 hearts, 2 clubs, 3 diamonds.
std::string SuitSymbol(int suit)
{
    static const char8_t* const symbols[4] = {u8"\u2660", u8"\u2665", u8"\u2663", u8"\u2666"};
    return Utf8(symbols[suit]);
}

std::string Rank(int face)
{
    static const char* const ranks[14] = {"",  "A", "2", "3",  "4", "5", "6",
                                          "7", "8", "9", "10", "J", "Q", "K"};
    return ranks[face];
}

Picture Blank()
{
    Picture card(kCardWidth, kCardHeight);
    card.FillRoundRect(0, 0, kCardWidth, kCardHeight, 5, Argb(255, 120, 120, 120));
    card.FillRoundRect(1, 1, kCardWidth - 1, kCardHeight - 1, 4, Argb(255, 253, 253, 250));
    return card;
}

Picture Face(int face, int suit)
{
    Picture card = Blank();
    const Color ink = suit == 1 || suit == 3 ? kRed : kBlack;
    // The corner index the hand shows when the cards overlap: rank above a small suit, both
    // within the 11-pixel strip a card shows in a hand ("10" is set narrow to fit).
    if (face == 10)
    {
        // Drawn at full height, then squeezed to 10 pixels wide by averaging columns.
        Picture wide(40, 20);
        const int width = wide.Text("10", 0, 0, 15, ink, true);
        constexpr int kNarrow = 10;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < kNarrow; ++x)
            {
                const int from = x * width / kNarrow;
                const int to = std::max(from + 1, (x + 1) * width / kNarrow);
                int alpha = 0;
                for (int sx = from; sx < to; ++sx)
                    alpha += static_cast<int>(wide.At(sx, y) >> 24);
                card.Blend(1 + x, 3 + y, ink, alpha / (to - from));
            }
    }
    else
        card.Text(Rank(face), 5 - Picture::TextWidth(Rank(face), 15) / 2 + 1, 3, 15, ink, true);
    card.Text(SuitSymbol(suit), 1, 20, 11, ink);
    // A large suit in the open part of the card, or the court letter for J, Q and K.
    if (face >= 11)
    {
        card.FillRoundRect(22, 22, 54, 72, 3,
                           suit == 1 || suit == 3 ? Argb(255, 252, 232, 232) : Argb(255, 232, 236, 246));
        const std::string letter = Rank(face);
        card.Text(letter, 38 - Picture::TextWidth(letter, 26) / 2, 30, 26, ink, true);
    }
    else
    {
        const std::string big = SuitSymbol(suit);
        card.Text(big, 38 - Picture::TextWidth(big, 30) / 2, 32, 30, ink);
    }
    return card;
}

Picture Joker(bool big)
{
    Picture card = Blank();
    const Color ink = big ? kRed : kBlack;
    int y = 4;
    for (const char* letter : {"J", "O", "K", "E", "R"})
    {
        card.Text(letter, 4, y, 11, ink, true);
        y += 11;
    }
    // The two jokers differ at a glance: a red crown or a black star, and their names.
    card.FillEllipse(22, 16, 54, 48, big ? Argb(255, 255, 210, 60) : Argb(255, 170, 180, 200));
    const std::string mark = Utf8(big ? u8"\u2605" : u8"\u2606");
    card.Text(mark, 38 - Picture::TextWidth(mark, 22) / 2, 20, 22, ink);
    const std::string name = Utf8(big ? u8"大王" : u8"小王");
    card.Text(name, 38 - Picture::TextWidth(name, 14) / 2, 54, 14, ink, true);
    return card;
}
} // namespace

void WriteCards(Output& out)
{
    for (int face = 1; face <= 13; ++face)
        for (int suit = 0; suit < 4; ++suit)
            out.AddPicture("card", std::to_string(face) + "_" + std::to_string(suit), Face(face, suit));
    out.AddPicture("card", "53", Joker(false));
    out.AddPicture("card", "54", Joker(true));
}
} // namespace skin
