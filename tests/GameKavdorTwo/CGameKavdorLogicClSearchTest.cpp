#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "CGameKavdorLogicCl.h"
#include "CardCode.h"
#include "KavdorHandChoice.h"
#include "RandomPlays.h"

using randomplays::Cards;
using randomplays::SortByRank;

namespace
{
const int A = 1, J = 11, Q = 12, K = 13, SJ = 53, BJ = 54;

// A hand in display order (highest rank first) from faces, suits spread over the copies.
Cards Hand(std::initializer_list<int> faces)
{
    Cards cards;
    std::map<int, int> used;
    for (int face : faces)
        cards.push_back(face >= 53 ? static_cast<uint8_t>(face)
                                   : static_cast<uint8_t>(face + 13 * (used[face]++ % 4)));
    SortByRank(cards);
    return cards;
}

std::vector<int> FacesOf(const Cards& cards)
{
    std::vector<int> faces;
    for (uint8_t c : cards)
        faces.push_back(GetFace(c));
    return faces;
}

// The hint for a seat (0) whose previous seat (3) played `previous`.
KavdorHandChoice HintAgainst(const Cards& hand, const Cards& previous, int offset)
{
    Cards empty;
    KavdorSeatPlays played{&empty, &empty, &empty, &previous};
    return KavdorHint(hand, played, 0, offset, [](uint32_t) { return 0u; });
}

std::vector<int> Sorted(std::vector<int> v)
{
    std::sort(v.begin(), v.end());
    return v;
}
} // namespace

TEST(KavdorHint, SinglesStepUpwardsThroughLoneCardsFirst)
{
    Cards hand = Hand({3, 5, 5, 9, 10, J, J, J, 2});
    Cards previous = Hand({8});
    std::vector<int> offered;
    int offset = 0;
    for (int press = 0; press < 4; ++press)
    {
        KavdorHandChoice choice = HintAgainst(hand, previous, offset);
        ASSERT_EQ(choice.action, KavdorHandChoice::PLAY);
        ASSERT_EQ(choice.cards.size(), 1u);
        EXPECT_EQ(hand[choice.indices[0]], choice.cards[0]);
        offered.push_back(GetFace(choice.cards[0]));
        offset = choice.hintOffset;
    }
    EXPECT_EQ(offered, (std::vector<int>{9, 10, 2, 9}));

    // Without lone cards above 8, a card of a pair comes before a card of a three.
    EXPECT_EQ(FacesOf(HintAgainst(Hand({3, 9, 9, J, J, J}), previous, 0).cards), (std::vector<int>{9}));
    EXPECT_EQ(FacesOf(HintAgainst(Hand({3, 5, 5, J, J, J}), previous, 0).cards), (std::vector<int>{J}));
}

TEST(KavdorHint, TableOfFirstOffers)
{
    struct Case
    {
        const char* what;
        Cards hand;
        Cards previous;
        KavdorHandChoice::Action action;
        std::vector<int> faces; // sorted faces of the offer
    };
    const Case cases[] = {
        {"kings (held twice) before tens (held three times)", Hand({10, 10, 10, K, K, 4}), Hand({9, 9}),
         KavdorHandChoice::PLAY, {K, K}},
        {"five 3s over four 7s", Hand({3, 3, 3, 3, 3, 8}), Hand({7, 7, 7, 7}), KavdorHandChoice::PLAY, {3, 3, 3, 3, 3}},
        {"four 3s do not beat four 7s", Hand({3, 3, 3, 3, 8}), Hand({7, 7, 7, 7}), KavdorHandChoice::PASS, {}},
        {"nothing beats the king bomb", Hand({2, 2, 2, 2, 2, 2, 2, 2}), {54, 54, 53, 53}, KavdorHandChoice::PASS, {}},
        {"a pair of small jokers over aces", Hand({SJ, SJ, 4, 6}), Hand({A, A}), KavdorHandChoice::PLAY, {SJ, SJ}},
        {"four jokers over a straight", Hand({BJ, BJ, SJ, SJ, 3, 9, K}), Hand({8, 7, 6, 5, 4}),
         KavdorHandChoice::PLAY, {SJ, SJ, BJ, BJ}},
        {"a bomb before the four jokers", Hand({BJ, BJ, SJ, SJ, 6, 6, 6, 6}), Hand({8, 7, 6, 5, 4}),
         KavdorHandChoice::PLAY, {6, 6, 6, 6}},
        {"a three-card hand against a straight", Hand({BJ, SJ, 4}), Hand({8, 7, 6, 5, 4}), KavdorHandChoice::NOTHING, {}},
        {"three with two by its three", Hand({4, 4, Q, Q, Q, 6}), Hand({9, 9, 9, 3, 3}), KavdorHandChoice::PLAY,
         {4, 4, Q, Q, Q}},
        {"consecutive pairs", Hand({5, 5, 6, 6, 7, 7, 8, 8, 3}), Hand({6, 6, 5, 5, 4, 4}), KavdorHandChoice::PLAY,
         {5, 5, 6, 6, 7, 7}},
        {"consecutive threes", Hand({10, 10, 10, J, J, J, 3}), Hand({9, 9, 9, 8, 8, 8}), KavdorHandChoice::PLAY,
         {10, 10, 10, J, J, J}},
        {"airplane with a pair and a spare three as wings", Hand({10, 10, 10, J, J, J, 3, 3, 3, 5, 5}),
         Hand({9, 9, 9, 8, 8, 8, 4, 4, 6, 6}), KavdorHandChoice::PLAY, {3, 3, 5, 5, 10, 10, 10, J, J, J}},
        // One wing pair is taken from faces held twice and one from faces held three times, so
        // two plain pairs are not enough.
        {"airplane with two plain pairs is not offered", Hand({10, 10, 10, J, J, J, 3, 3, 5, 5}),
         Hand({9, 9, 9, 8, 8, 8, 4, 4, 6, 6}), KavdorHandChoice::PASS, {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        KavdorHandChoice choice = HintAgainst(c.hand, c.previous, 0);
        EXPECT_EQ(choice.action, c.action);
        EXPECT_EQ(Sorted(FacesOf(choice.cards)), Sorted(c.faces));
    }
}

TEST(KavdorHint, StraightsStepFromJustAfterTheDecidingCard)
{
    Cards hand = Hand({6, 7, 8, 9, 10, J});
    Cards previous = Hand({9, 8, 7, 6, 5});
    KavdorHandChoice first = HintAgainst(hand, previous, 0);
    EXPECT_EQ(Sorted(FacesOf(first.cards)), (std::vector<int>{6, 7, 8, 9, 10}));
    KavdorHandChoice second = HintAgainst(hand, previous, first.hintOffset);
    EXPECT_EQ(Sorted(FacesOf(second.cards)), (std::vector<int>{7, 8, 9, 10, J}));
}

TEST(KavdorHint, PlayToBeatAndTheNewRoundMarker)
{
    Cards hand = Hand({K, 4, 4, 9});
    Cards marker = {100};
    Cards empty;
    Cards pair = Hand({3, 3});
    // The seat before the player; when it is empty the one before that; then the one after.
    EXPECT_EQ(KavdorPlayToBeat({&empty, &empty, &pair, &empty}, 1), &pair);
    EXPECT_EQ(KavdorPlayToBeat({&empty, &empty, &empty, &pair}, 1), &pair);
    EXPECT_EQ(KavdorPlayToBeat({&empty, &pair, &empty, &empty}, 1), nullptr); // the seat's own cards
    EXPECT_EQ(KavdorPlayToBeat({&pair, &empty, &empty, &empty}, 1), &pair);
    EXPECT_EQ(KavdorPlayToBeat({nullptr, &empty, &empty, &empty}, 1), nullptr);
    EXPECT_EQ(KavdorPlayToBeat({&empty, &empty, &empty, &empty}, 1), nullptr);
    KavdorHandChoice none = KavdorHint(hand, {&empty, &empty, &empty, &empty}, 1, 0);
    EXPECT_EQ(none.action, KavdorHandChoice::NOTHING);

    // At a new round the marker card stands on the table: the lowest lone card is offered.
    KavdorHandChoice lone = HintAgainst(hand, marker, 0);
    EXPECT_EQ(FacesOf(lone.cards), (std::vector<int>{9}));
    // Jokers never beat the marker; bombs and the four jokers still do.
    EXPECT_EQ(HintAgainst(Hand({BJ, SJ}), marker, 0).action, KavdorHandChoice::PASS);
    EXPECT_EQ(FacesOf(HintAgainst(Hand({BJ, SJ, 7, 7, 7, 7}), marker, 0).cards), (std::vector<int>{7, 7, 7, 7}));
    EXPECT_EQ(HintAgainst(Hand({BJ, BJ, SJ, SJ}), marker, 0).cards.size(), 4u);
}

TEST(KavdorAutoPlay, Decisions)
{
    Cards hand = Hand({3, 5, 9, K});
    Cards previous = Hand({8});
    Cards empty;
    KavdorSeatPlays played{&empty, &empty, &empty, &previous};
    auto always = [](uint32_t value) { return [value](uint32_t bound) { return value % bound; }; };

    // Leading: one card at random.
    KavdorHandChoice lead = KavdorAutoPlay(hand, played, 0, true, always(2));
    ASSERT_EQ(lead.action, KavdorHandChoice::PLAY);
    EXPECT_EQ(lead.indices, (std::vector<int>{2}));
    EXPECT_EQ(KavdorAutoPlay(Cards(), played, 0, true, always(0)).action, KavdorHandChoice::NOTHING);
    // One time in ten the seat passes.
    EXPECT_EQ(KavdorAutoPlay(hand, played, 0, false, always(0)).action, KavdorHandChoice::PASS);
    // Otherwise it plays what beats the table.
    KavdorHandChoice play = KavdorAutoPlay(hand, played, 0, false, always(1));
    ASSERT_EQ(play.action, KavdorHandChoice::PLAY);
    EXPECT_GT(KavdorCompareCard(play.cards[0], previous[0]), 0);
    // A hand shorter than the play without a bomb passes; with both jokers it searches.
    Cards straight = Hand({8, 7, 6, 5, 4});
    KavdorSeatPlays table{&empty, &empty, &empty, &straight};
    EXPECT_EQ(KavdorAutoPlay(Hand({BJ, 4, 9}), table, 0, false, always(1)).action, KavdorHandChoice::PASS);
    EXPECT_EQ(KavdorAutoPlay(Hand({BJ, SJ, 9}), table, 0, false, always(1)).action, KavdorHandChoice::PASS);
    EXPECT_EQ(KavdorAutoPlay(hand, {nullptr, &empty, &empty, &empty}, 0, false, always(1)).action,
              KavdorHandChoice::PASS);
}

TEST(KavdorSearch, HelpersTable)
{
    EXPECT_TRUE(CGameKavdorLogicCl::IsNextValue(13, 1, 1));  // king then ace
    EXPECT_FALSE(CGameKavdorLogicCl::IsNextValue(1, 2, 1));  // no 2 in a run
    EXPECT_FALSE(CGameKavdorLogicCl::IsNextValue(2, 3, 1));
    EXPECT_TRUE(CGameKavdorLogicCl::IsNextValue(5, 34, 3));  // 5 and 8 of clubs
    EXPECT_TRUE(CGameKavdorLogicCl::IsNextValue(9, 22, 0));  // the same face
    EXPECT_TRUE(CGameKavdorLogicCl::IsNextValue(53, 54, 1));

    Cards bomb = Hand({7, 7, 7, 7, 3});
    Cards jokers = {54, 53, 4};
    Cards pairJokers = {54, 54, 4};
    EXPECT_TRUE(CGameKavdorLogicCl::HasBomb(bomb.data(), 5));
    EXPECT_TRUE(CGameKavdorLogicCl::HasBomb(jokers.data(), 3));
    EXPECT_FALSE(CGameKavdorLogicCl::HasBomb(pairJokers.data(), 3));
    EXPECT_FALSE(CGameKavdorLogicCl::HasBomb(bomb.data(), 3));

    Cards cards = {54, 53, 2, 15, 13};
    std::vector<CardList> groups;
    CGameKavdorLogicCl::GroupCardByValue(cards.data(), 5, groups);
    EXPECT_EQ(groups, (std::vector<CardList>{{54, 53}, {2, 15}, {13}}));
}

TEST(KavdorSearch, FindersOnAList)
{
    CGameKavdorLogicCl logic;
    logic.SetRandomSource([](uint32_t) { return 0u; });
    // Low to high, as the callers build it: 3 4 4 5 5 5 6 6 6 6 (6 held four times).
    Cards list = {3, 4, 17, 5, 18, 31, 6, 19, 32, 45};
    Cards out;
    EXPECT_FALSE(logic.FindBomb(list, 8, 10, out)); // too close to the end
    ASSERT_TRUE(logic.FindBomb(list, 6, 10, out));
    EXPECT_EQ(out, (Cards{6, 19, 32, 45}));
    out.clear();
    EXPECT_TRUE(logic.FindSingle(list, 0, 10, 0, out));
    out.clear();
    EXPECT_FALSE(logic.FindSingle(list, 1, 10, 0, out));
    EXPECT_TRUE(logic.FindPair(list, 2, 10, 0, out));
    EXPECT_EQ(out, (Cards{4, 17}));
    out.clear();
    EXPECT_TRUE(logic.FindPair(list, 3, 10, 1, out)); // two of the three 5s
    EXPECT_EQ(out, (Cards{5, 18}));
    out.clear();
    EXPECT_FALSE(logic.FindThree(list, 6, 10, out)); // a bomb is not broken up
    EXPECT_TRUE(logic.FindThree(list, 4, 10, out));
    out.clear();
    EXPECT_TRUE(logic.FindThreeWithTwo(list, 3, 10, out));
    EXPECT_EQ(FacesOf(out), (std::vector<int>{5, 5, 5, 4, 4}));
    out.clear();
    EXPECT_TRUE(logic.FindStraight(list, 0, 10, 4, out));
    EXPECT_EQ(FacesOf(out), (std::vector<int>{3, 4, 5, 6}));
    out.clear();
    EXPECT_TRUE(logic.FindDoubleStraight(list, 1, 10, 6, out));
    EXPECT_EQ(FacesOf(out), (std::vector<int>{4, 4, 5, 5, 6, 6}));
    out.clear();
    EXPECT_TRUE(logic.FindThreeStraight(list, 3, 10, 6, out));
    EXPECT_EQ(FacesOf(out), (std::vector<int>{5, 5, 5, 6, 6, 6}));
}

namespace
{
bool InHand(const Cards& hand, Cards play)
{
    Cards rest = hand;
    for (uint8_t card : play)
    {
        auto found = std::find(rest.begin(), rest.end(), card);
        if (found == rest.end())
            return false;
        rest.erase(found);
    }
    return true;
}

// A plain search for singles, pairs and threes: some face the hand holds a number of times the
// modes allow (singles 1-3, pairs 2-3, threes exactly 3) that beats the previous key.
bool SimpleBeats(const Cards& hand, const Cards& previous, int type)
{
    std::map<int, int> held;
    for (uint8_t c : hand)
        ++held[GetFace(c)];
    for (uint8_t c : hand)
    {
        int h = held[GetFace(c)];
        bool allowed = type == KAVDOR_TYPE_SINGLE ? h <= 3 : type == KAVDOR_TYPE_PAIR ? (h == 2 || h == 3) : h == 3;
        if (allowed && KavdorCompareCard(c, previous[0]) == 1)
            return true;
    }
    return false;
}
} // namespace

TEST(KavdorSearch, EveryOfferIsFromTheHandAndBeatsThePlay)
{
    randomplays::Generator generator(5150);
    std::mt19937 rotations(3);
    int offers = 0;
    for (int i = 0; i < 6000; ++i)
    {
        Cards deal;
        for (int code = 1; code <= 54; ++code)
            deal.insert(deal.end(), 2, static_cast<uint8_t>(code));
        std::shuffle(deal.begin(), deal.end(), rotations);
        Cards hand(deal.begin(), deal.begin() + (i % 3 == 0 ? 33 : 25));
        SortByRank(hand);
        int type = generator.Below(10);
        Cards previous = generator.Pattern(type);

        CGameKavdorLogicCl logic;
        logic.SetRandomSource([&](uint32_t bound) { return rotations() % bound; });
        Cards list(hand.rbegin(), hand.rend());
        std::rotate(list.begin(), list.begin() + generator.Below(static_cast<int>(list.size())), list.end());
        Cards out;
        int count = 0, key = 0;
        int previousType = logic.GetCardType(previous.data(), static_cast<int>(previous.size()), count, key);
        bool found = logic.SearchOutCard(list, previous, previousType, count, out);
        if (!found)
        {
            EXPECT_TRUE(out.empty());
            if (type >= KAVDOR_TYPE_SINGLE && type <= KAVDOR_TYPE_THREE)
            {
                EXPECT_FALSE(SimpleBeats(hand, previous, type))
                    << ::testing::PrintToString(hand) << " vs " << ::testing::PrintToString(previous);
            }
            continue;
        }
        ++offers;
        ASSERT_TRUE(InHand(hand, out)) << ::testing::PrintToString(out);
        Cards play = out;
        SortByRank(play);
        EXPECT_EQ(KavdorCompareCardGroup(play.data(), static_cast<int>(play.size()), previous.data(),
                                         static_cast<int>(previous.size())),
                  1)
            << ::testing::PrintToString(play) << " vs " << ::testing::PrintToString(previous);
    }
    EXPECT_GT(offers, 3000);
}
