#include <gtest/gtest.h>

#include "CardCode.h"

namespace
{
struct CardCase
{
    int code;
    int suit;
    int face;
};

// Every boundary of the code table, and the bytes that are not cards.
const CardCase kCases[] = {
    {1, 0, 1},     // ace of spades
    {10, 0, 10},   // ten of spades
    {13, 0, 13},   // king of spades
    {14, 1, 1},    // ace of hearts
    {26, 1, 13},   // king of hearts
    {27, 2, 1},    // ace of clubs
    {39, 2, 13},   // king of clubs
    {40, 3, 1},    // ace of diamonds
    {52, 3, 13},   // king of diamonds
    {53, 5, 53},   // small joker
    {54, 4, 54},   // big joker
    {0, 255, 255}, // never a card
    {55, 255, 255},
    {100, 255, 255}, // new-round marker
    {200, 255, 255}, // landlord's face-down card
    {255, 255, 255}, // face-down card
};
} // namespace

TEST(CardCode, SuitAndFaceOfTheTable)
{
    for (const CardCase& c : kCases)
    {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(GetSuit(static_cast<uint8_t>(c.code)), c.suit);
        EXPECT_EQ(GetFace(static_cast<uint8_t>(c.code)), c.face);
    }
}

TEST(CardCode, EverySuitedCardIsOneOfFiftyTwo)
{
    // Suit and face together name each of the 52 suited codes exactly once.
    bool seen[4][14] = {};
    for (int code = 1; code <= 52; ++code)
    {
        int suit = GetSuit(static_cast<uint8_t>(code));
        int face = GetFace(static_cast<uint8_t>(code));
        ASSERT_LT(suit, 4);
        ASSERT_GE(face, 1);
        ASSERT_LE(face, 13);
        EXPECT_FALSE(seen[suit][face]) << code;
        seen[suit][face] = true;
        EXPECT_EQ(suit * 13 + face, code);
    }
    for (int code = 56; code < 256; ++code)
        EXPECT_EQ(GetSuit(static_cast<uint8_t>(code)), 255) << code;
}
