// Classification and comparison checked against a plain statement of the rules, on patterns of
// every kind and random picks drawn from random deals.

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "CGameKavdorLogicCl.h"
#include "RandomPlays.h"

using randomplays::Cards;

namespace
{
// Rank in play: 3 is 0 ... king 10, ace 11, 2 is 12, small joker 13, big joker 14.
int Rank(uint8_t code)
{
    if (code == 53)
        return 13;
    if (code == 54)
        return 14;
    int face = (code - 1) % 13 + 1;
    return face >= 3 ? face - 3 : face == 1 ? 11 : 12;
}

struct Expected
{
    int type = -1;
    int keyRank = -1; // rank of the deciding face
};

// The rules as a player would state them, from the counts of each rank.
Expected Rules(const Cards& cards)
{
    int n = static_cast<int>(cards.size());
    std::map<int, int> held; // rank -> count
    for (uint8_t c : cards)
        ++held[Rank(c)];
    auto runOf = [&](int times, int* low) {
        // Every rank held exactly `times` times, all consecutive, between 3 and the ace.
        int first = held.begin()->first, last = held.rbegin()->first;
        if (last > 11 || last - first + 1 != static_cast<int>(held.size()))
            return false;
        for (auto& [rank, count] : held)
            if (count != times)
                return false;
        *low = first;
        return true;
    };
    Expected e;
    int low = -1;
    if (n == 4 && held.size() == 2 && held.count(13) && held.count(14))
        return {KAVDOR_TYPE_KING_BOMB, 14};
    if (n >= 4 && n <= 8 && held.size() == 1)
        return {KAVDOR_TYPE_BOMB, held.begin()->first};
    if (n >= 10 && n % 5 == 0)
    {
        // k ranks held three times in a run, k ranks held twice as wings.
        std::vector<int> threes;
        int pairs = 0;
        bool other = false;
        for (auto& [rank, count] : held)
        {
            if (count == 3)
                threes.push_back(rank);
            else if (count == 2)
                ++pairs;
            else
                other = true;
        }
        bool run = !threes.empty() && threes.back() <= 11 &&
                   threes.back() - threes.front() + 1 == static_cast<int>(threes.size());
        if (!other && run && threes.size() >= 2 && pairs == static_cast<int>(threes.size()))
            return {KAVDOR_TYPE_AIRPLANE, threes.front()};
    }
    if (n == 5 && held.size() == 2 && (held.begin()->second == 3 || held.begin()->second == 2))
    {
        for (auto& [rank, count] : held)
            if (count == 3)
                return {KAVDOR_TYPE_THREE_TWO, rank};
    }
    if (n >= 6 && n % 3 == 0 && runOf(3, &low))
        return {KAVDOR_TYPE_THREES, low};
    if (n >= 6 && n % 2 == 0 && runOf(2, &low))
        return {KAVDOR_TYPE_PAIRS, low};
    if (n >= 5 && n <= 12 && runOf(1, &low))
        return {KAVDOR_TYPE_STRAIGHT, low};
    if (n == 3 && held.size() == 1)
        return {KAVDOR_TYPE_THREE, held.begin()->first};
    if (n == 2 && held.size() == 1)
        return {KAVDOR_TYPE_PAIR, held.begin()->first};
    if (n == 1)
        return {KAVDOR_TYPE_SINGLE, held.begin()->first};
    return e;
}

int RulesCompare(const Cards& a, const Cards& b)
{
    Expected ea = Rules(a), eb = Rules(b);
    if (ea.type < 0 || eb.type < 0)
        return -2;
    auto sign = [](int d) { return d > 0 ? 1 : d < 0 ? -1 : 0; };
    if (ea.type == KAVDOR_TYPE_KING_BOMB)
        return 1;
    if (eb.type == KAVDOR_TYPE_KING_BOMB)
        return -1;
    if (ea.type == KAVDOR_TYPE_BOMB && eb.type == KAVDOR_TYPE_BOMB)
        return a.size() != b.size() ? sign(static_cast<int>(a.size()) - static_cast<int>(b.size()))
                                    : sign(ea.keyRank - eb.keyRank);
    if (ea.type == KAVDOR_TYPE_BOMB)
        return 1;
    if (eb.type == KAVDOR_TYPE_BOMB)
        return -1;
    bool sized = ea.type >= KAVDOR_TYPE_THREE_TWO;
    if (ea.type != eb.type || (sized && a.size() != b.size()))
        return -2;
    // Two jokers of one kind never equal each other.
    if (ea.keyRank == eb.keyRank && ea.keyRank >= 13)
        return -1;
    return sign(ea.keyRank - eb.keyRank);
}

int Classify(const Cards& cards, int* key)
{
    return KavdorGetCardType(cards.data(), static_cast<int>(cards.size()), key);
}
} // namespace

TEST(KavdorPatternRules, EveryTypeFromRandomDealsAgreesWithTheRules)
{
    randomplays::Generator generator(20261210);
    for (int type = KAVDOR_TYPE_KING_BOMB; type <= KAVDOR_TYPE_AIRPLANE; ++type)
    {
        for (int i = 0; i < 400; ++i)
        {
            Cards cards = generator.Pattern(type);
            Expected e = Rules(cards);
            int key = 0;
            ASSERT_EQ(e.type, type) << ::testing::PrintToString(cards); // the generator itself
            ASSERT_EQ(Classify(cards, &key), type) << ::testing::PrintToString(cards);
            EXPECT_EQ(Rank(static_cast<uint8_t>(key)), e.keyRank) << ::testing::PrintToString(cards);
        }
    }
}

TEST(KavdorPatternRules, RandomPicksAgreeWithTheRules)
{
    randomplays::Generator generator(7);
    int patterns = 0;
    for (int i = 0; i < 20000; ++i)
    {
        Cards cards = generator.Pick(i % 2 ? 6 : 16);
        Expected e = Rules(cards);
        int key = 0;
        int type = Classify(cards, &key);
        ASSERT_EQ(type, e.type) << ::testing::PrintToString(cards);
        if (type >= 0)
        {
            ++patterns;
            EXPECT_EQ(Rank(static_cast<uint8_t>(key)), e.keyRank) << ::testing::PrintToString(cards);
        }
    }
    EXPECT_GT(patterns, 1000); // the picks reach real patterns too, not only rubbish
}

TEST(KavdorPatternRules, ComparisonAgreesWithTheRulesAndIsAntisymmetric)
{
    randomplays::Generator generator(99);
    int comparable = 0;
    for (int i = 0; i < 30000; ++i)
    {
        Cards a = generator.Any();
        Cards b = i % 3 == 0 ? generator.Pattern(Rules(a).type < 0 ? 2 : Rules(a).type) : generator.Any();
        int ab = KavdorCompareCardGroup(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()));
        int ba = KavdorCompareCardGroup(b.data(), static_cast<int>(b.size()), a.data(), static_cast<int>(a.size()));
        ASSERT_EQ(ab, RulesCompare(a, b)) << ::testing::PrintToString(a) << " vs " << ::testing::PrintToString(b);
        bool bothKingBombs = Rules(a).type == KAVDOR_TYPE_KING_BOMB && Rules(b).type == KAVDOR_TYPE_KING_BOMB;
        bool jokerTie = ab == -1 && ba == -1; // two jokers of one kind as keys
        if (ab != -2 && ab != 0 && !bothKingBombs && !jokerTie)
        {
            ++comparable;
            EXPECT_EQ(ab, -ba) << ::testing::PrintToString(a) << " vs " << ::testing::PrintToString(b);
        }
    }
    EXPECT_GT(comparable, 5000);
}
