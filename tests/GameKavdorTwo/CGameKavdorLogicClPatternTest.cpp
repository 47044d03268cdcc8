#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "CGameKavdorLogicCl.h"
#include "CardCode.h"
#include "RandomPlays.h"

using randomplays::Cards;
using randomplays::SortByRank;

namespace
{
// Cards by face, suits chosen so that equal faces use different codes where they can.
Cards Faces(std::initializer_list<int> faces)
{
    Cards cards;
    std::map<int, int> used;
    for (int face : faces)
    {
        if (face >= 53)
            cards.push_back(static_cast<uint8_t>(face));
        else
            cards.push_back(static_cast<uint8_t>(face + 13 * (used[face]++ % 4)));
    }
    SortByRank(cards);
    return cards;
}

const int A = 1, J = 11, Q = 12, K = 13, SJ = 53, BJ = 54;

struct TypeCase
{
    const char* what;
    Cards cards;
    int type;
    int key; // checked when the type is not -1
};

int Classify(const Cards& cards, int* key)
{
    CGameKavdorLogicCl logic;
    int count = -7;
    *key = -7;
    int type = logic.GetCardType(cards.data(), static_cast<int>(cards.size()), count, *key);
    EXPECT_EQ(count, static_cast<int>(cards.size()));
    return type;
}
} // namespace

TEST(KavdorPatterns, ClassificationTable)
{
    const TypeCase cases[] = {
        {"four jokers", {54, 54, 53, 53}, KAVDOR_TYPE_KING_BOMB, 54},
        {"two small jokers", {53, 53}, KAVDOR_TYPE_PAIR, 53},
        {"two big jokers", {54, 54}, KAVDOR_TYPE_PAIR, 54},
        {"mixed jokers", {54, 53}, KAVDOR_TYPE_NONE, 0},
        {"eight of one face", Faces({7, 7, 7, 7, 7, 7, 7, 7}), KAVDOR_TYPE_BOMB, 7},
        {"four 2s", Faces({2, 2, 2, 2}), KAVDOR_TYPE_BOMB, 2},
        {"nine of one face", Cards{7, 7, 20, 20, 33, 33, 46, 46, 7}, KAVDOR_TYPE_NONE, 0},
        {"ace high straight", Faces({A, K, Q, J, 10}), KAVDOR_TYPE_STRAIGHT, 10},
        {"straight through 2", Faces({2, A, K, Q, J}), KAVDOR_TYPE_NONE, 0},
        {"A-2-3-4-5", Faces({5, 4, 3, A, 2}), KAVDOR_TYPE_NONE, 0},
        {"twelve card straight", Faces({K, Q, J, 10, 9, 8, 7, 6, 5, 4, 3, A}), KAVDOR_TYPE_STRAIGHT, 3},
        {"straight with a gap", Faces({9, 8, 7, 5, 4}), KAVDOR_TYPE_NONE, 0},
        {"straight with a joker", Faces({SJ, 7, 6, 5, 4}), KAVDOR_TYPE_NONE, 0},
        {"consecutive pairs", Faces({6, 6, 5, 5, 4, 4}), KAVDOR_TYPE_PAIRS, 4},
        {"pairs broken at the end", Faces({6, 6, 5, 5, 4, 3}), KAVDOR_TYPE_NONE, 0},
        {"three then pair then single", Faces({6, 6, 6, 5, 5, 4}), KAVDOR_TYPE_NONE, 0},
        {"pairs K-A", Faces({A, A, K, K, Q, Q}), KAVDOR_TYPE_PAIRS, Q},
        {"pairs A-2-3", Faces({2, 2, A, A, 3, 3}), KAVDOR_TYPE_NONE, 0},
        {"two pairs", Faces({6, 6, 5, 5}), KAVDOR_TYPE_NONE, 0},
        {"consecutive threes", Faces({9, 9, 9, 8, 8, 8}), KAVDOR_TYPE_THREES, 8},
        {"threes of aces and kings", Faces({A, A, A, K, K, K}), KAVDOR_TYPE_THREES, K},
        {"threes of 2s and aces", Faces({2, 2, 2, A, A, A}), KAVDOR_TYPE_NONE, 0},
        {"airplane", Faces({9, 9, 9, 8, 8, 8, K, K, 5, 5}), KAVDOR_TYPE_AIRPLANE, 8},
        {"airplane with 2s and jokers as wings", Faces({9, 9, 9, 8, 8, 8, 2, 2, SJ, SJ}), KAVDOR_TYPE_AIRPLANE, 8},
        {"airplane with four equal wing cards", Faces({9, 9, 9, 8, 8, 8, 7, 7, 7, 7}), KAVDOR_TYPE_NONE, 0},
        {"airplane with adjacent wings", Faces({10, 10, 9, 9, 9, 8, 8, 8, 7, 7}), KAVDOR_TYPE_AIRPLANE, 8},
        {"airplane of three threes", Faces({Q, Q, Q, J, J, J, 10, 10, 10, 4, 4, 6, 6, 2, 2}), KAVDOR_TYPE_AIRPLANE, 10},
        {"threes not consecutive with wings", Faces({9, 9, 9, 7, 7, 7, K, K, 5, 5}), KAVDOR_TYPE_NONE, 0},
        {"three with two", Faces({8, 8, 8, 3, 3}), KAVDOR_TYPE_THREE_TWO, -1},
        {"three with two singles", Faces({8, 8, 8, 3, 4}), KAVDOR_TYPE_NONE, 0},
        {"four with one", Faces({8, 8, 8, 8, 3}), KAVDOR_TYPE_NONE, 0},
        {"three with a joker pair", Faces({8, 8, 8, BJ, BJ}), KAVDOR_TYPE_THREE_TWO, -1},
        {"three", Faces({Q, Q, Q}), KAVDOR_TYPE_THREE, Q},
        {"pair of aces", Faces({A, A}), KAVDOR_TYPE_PAIR, A},
        {"two different", Faces({A, K}), KAVDOR_TYPE_NONE, 0},
        {"single big joker", {54}, KAVDOR_TYPE_SINGLE, 54},
        {"single 2", Faces({2}), KAVDOR_TYPE_SINGLE, 2},
        {"new-round marker alone", {100}, KAVDOR_TYPE_SINGLE, 255},
    };
    for (const TypeCase& c : cases)
    {
        SCOPED_TRACE(c.what);
        int key = 0;
        int type = Classify(c.cards, &key);
        EXPECT_EQ(type, c.type);
        if (c.type == KAVDOR_TYPE_THREE_TWO)
            EXPECT_EQ(GetFace(static_cast<uint8_t>(key)), 8); // a code of the three
        else if (c.type != KAVDOR_TYPE_NONE)
            EXPECT_EQ(key, c.key);
        else
            EXPECT_EQ(key, -1);
    }
}

TEST(KavdorPatterns, EmptyAndMissingListsAreNoPattern)
{
    CGameKavdorLogicCl logic;
    int count = 99, key = 99;
    uint8_t card = 5;
    EXPECT_EQ(logic.GetCardType(&card, 0, count, key), -1);
    EXPECT_EQ(logic.GetCardType(nullptr, 3, count, key), -1);
    EXPECT_FALSE(logic.IsValidCardType(&card, -1));
    EXPECT_TRUE(logic.IsValidCardType(&card, 1));
}

TEST(KavdorPatterns, CardComparisonTable)
{
    struct Case
    {
        int a, b, result;
    };
    const Case cases[] = {
        {53, 53, -1}, {54, 54, -1}, {54, 53, 1},  {53, 54, -1}, {14, 1, 0},   {2, 1, 1},    {1, 2, -1},
        {1, 13, 1},   {13, 1, -1},  {3, 16, 0},   {3, 4, -1},   {53, 2, 1},   {2, 53, -1},  {53, 100, -1},
        {100, 53, -1}, {54, 100, -1}, {1, 100, 1}, {100, 1, -1}, {100, 255, -2}, {0, 0, -2},
    };
    CGameKavdorLogicCl logic;
    for (const Case& c : cases)
        EXPECT_EQ(logic.CompareCard(static_cast<uint8_t>(c.a), static_cast<uint8_t>(c.b)), c.result)
            << c.a << " vs " << c.b;
}

TEST(KavdorPatterns, PlayComparisonTable)
{
    struct Case
    {
        const char* what;
        Cards a, b;
        int result;
    };
    const Case cases[] = {
        {"5-card bomb of 3s over 4-card bomb of 2s", Faces({3, 3, 3, 3, 3}), Faces({2, 2, 2, 2}), 1},
        {"4-card bomb under 5-card bomb", Faces({2, 2, 2, 2}), Faces({3, 3, 3, 3, 3}), -1},
        {"bomb over 12-card straight", Faces({3, 3, 3, 3}), Faces({K, Q, J, 10, 9, 8, 7, 6, 5, 4, 3, A}), 1},
        {"straight under bomb", Faces({7, 6, 5, 4, 3}), Faces({3, 3, 3, 3}), -1},
        {"equal bombs by face", Faces({9, 9, 9, 9}), Faces({8, 8, 8, 8}), 1},
        {"same bomb", Faces({9, 9, 9, 9}), Faces({9, 9, 9, 9}), 0},
        {"6-card straight against 5-card", Faces({8, 7, 6, 5, 4, 3}), Faces({9, 8, 7, 6, 5}), -2},
        {"pair of 2s over pair of aces", Faces({2, 2}), Faces({A, A}), 1},
        {"pair against single", Faces({2, 2}), Faces({A}), -2},
        {"king bomb over 8-card bomb", {54, 54, 53, 53}, Faces({2, 2, 2, 2, 2, 2, 2, 2}), 1},
        {"8-card bomb under king bomb", Faces({2, 2, 2, 2, 2, 2, 2, 2}), {54, 54, 53, 53}, -1},
        {"king bomb against king bomb", {54, 54, 53, 53}, {54, 54, 53, 53}, 1},
        {"small joker pair under big joker pair", {53, 53}, {54, 54}, -1},
        {"small joker pairs", {53, 53}, {53, 53}, -1},
        {"three with two by the three", Faces({9, 9, 9, 3, 3}), Faces({8, 8, 8, A, A}), 1},
        {"no pattern", Faces({9, 7}), Faces({3}), -2},
        {"airplanes of equal length", Faces({10, 10, 10, 9, 9, 9, 3, 3, 4, 4}), Faces({9, 9, 9, 8, 8, 8, 2, 2, A, A}), 1},
    };
    CGameKavdorLogicCl logic;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(logic.CompareCardGroup(1, c.a.data(), static_cast<int>(c.a.size()), 2, c.b.data(),
                                         static_cast<int>(c.b.size())),
                  c.result);
    }
}

TEST(KavdorPatterns, NamesInTypeOrder)
{
    CGameKavdorLogicCl logic;
    const char* names[] = {"天王炸弹", "炸弹", "单牌", "对子", "三张", "三带二", "顺子", "连对", "三顺", "飞机带翅膀"};
    ASSERT_EQ(logic.GetCardTypeNameNum(), 10);
    std::string text;
    for (int i = 0; i < 10; ++i)
    {
        ASSERT_TRUE(logic.GetCardTypeNameByIndex(i, text));
        EXPECT_EQ(text, names[i]);
    }
    EXPECT_FALSE(logic.GetCardTypeNameByIndex(10, text));
    EXPECT_FALSE(logic.GetCardTypeNameByIndex(-1, text));

    Cards straight = Faces({7, 6, 5, 4, 3});
    ASSERT_TRUE(logic.GetCardTypeName(straight.data(), 5, text));
    EXPECT_EQ(text, "顺子");
    text = "unchanged";
    Cards none = Faces({7, 5});
    EXPECT_FALSE(logic.GetCardTypeName(none.data(), 2, text));
    EXPECT_EQ(text, "unchanged");
}

TEST(KavdorPatterns, CountsAndSuits)
{
    CGameKavdorLogicCl logic;
    Cards cards = {5, 18, 5, 44, 53};
    EXPECT_EQ(logic.GetCardCount(31, cards.data(), 5, false), 4); // four 5s of any suit
    EXPECT_EQ(logic.GetCardCount(5, cards.data(), 5, true), 2);   // two 5s of spades
    EXPECT_EQ(logic.GetCardCount(53, cards.data(), 5, false), 1);
    EXPECT_FALSE(logic.IsSameSuit(cards.data(), 5));
    Cards spades = {1, 5, 13};
    EXPECT_TRUE(logic.IsSameSuit(spades.data(), 3));
    EXPECT_FALSE(logic.IsSameSuit(spades.data(), 0));
}

TEST(KavdorPatterns, SortMatchesTheStableSortByComparison)
{
    std::mt19937 random(4);
    for (int i = 0; i < 2000; ++i)
    {
        Cards cards(random() % 40);
        for (uint8_t& card : cards)
            card = static_cast<uint8_t>(i % 4 == 0 ? random() % 256 : 1 + random() % 54);
        Cards expected = cards;
        std::stable_sort(expected.begin(), expected.end(),
                         [](uint8_t a, uint8_t b) { return KavdorCompareCard(a, b) == 1; });
        KavdorSortCards(cards);
        EXPECT_EQ(cards, expected);
    }
}
