#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "CGameKavdorLogicCl.h"
#include "CardCode.h"

namespace
{
// A table of four players (ids 11..14) whose hands are set by the test.
class KavdorReferee : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (int id = 11; id <= 14; ++id)
            ASSERT_TRUE(m_logic.AddPlayer(id));
    }
    void Give(int id, CardList hand) { m_logic.GetPlayerById(id)->Hand() = std::move(hand); }
    int Out(int id, CardList cards) { return m_logic.OutCard(id, cards.data(), static_cast<int>(cards.size())); }

    CGameKavdorLogicCl m_logic;
};
} // namespace

TEST(KavdorStock, CreatePickPopAndBounds)
{
    CGameKavdorLogicCl logic;
    ASSERT_TRUE(logic.CreateCard(2));
    ASSERT_EQ(logic.GetStockNum(), 108);
    EXPECT_EQ(logic.GetStockCard(0), 1);
    EXPECT_EQ(logic.GetStockCard(1), 1);
    EXPECT_EQ(logic.GetStockCard(2), 2);
    EXPECT_EQ(logic.GetStockCard(107), 54);
    EXPECT_EQ(logic.GetStockCard(108), 255);
    EXPECT_EQ(logic.GetStockCard(-1), 255);

    ASSERT_TRUE(logic.PickCardBySuit(4)); // the big jokers
    EXPECT_EQ(logic.GetPileNum(), 2);
    EXPECT_EQ(logic.GetPileCard(1), 54);
    ASSERT_TRUE(logic.PickCardByValue(1)); // the eight aces, in stock order
    EXPECT_EQ(logic.GetPileNum(), 10);
    EXPECT_EQ(logic.GetPileCard(2), 1);
    EXPECT_EQ(logic.GetPileCard(9), 40);
    EXPECT_EQ(logic.GetStockNum(), 98);
    EXPECT_EQ(logic.GetStockCard(0), 2);

    EXPECT_EQ(logic.PopPileCard(), 54);
    EXPECT_TRUE(logic.DelPileCard(0));
    EXPECT_FALSE(logic.DelPileCard(8));
    EXPECT_FALSE(logic.DelStockCard(98));
    EXPECT_EQ(logic.PopStockCard(), 2);

    // A new deck empties the pile too.
    logic.CreateCard(1);
    EXPECT_EQ(logic.GetStockNum(), 54);
    EXPECT_EQ(logic.GetPileNum(), 0);
    EXPECT_EQ(logic.PopPileCard(), 255);
    logic.CreateCard(0);
    EXPECT_EQ(logic.PopStockCard(), 255);
}

TEST(KavdorStock, ShuffleKeepsTheCardsAndFollowsItsSource)
{
    auto shuffled = [](uint32_t seed) {
        CGameKavdorLogicCl logic;
        logic.CreateCard(2);
        if (seed != 0)
        {
            auto engine = std::make_shared<std::mt19937>(seed);
            logic.SetRandomSource([engine](uint32_t bound) { return (*engine)() % bound; });
        }
        logic.Shuffle();
        CardList cards;
        for (int i = 0; i < logic.GetStockNum(); ++i)
            cards.push_back(logic.GetStockCard(i));
        return cards;
    };
    CardList ordered;
    for (int code = 1; code <= 54; ++code)
        ordered.insert(ordered.end(), 2, static_cast<uint8_t>(code));
    for (uint32_t seed : {0u, 1u, 2u})
    {
        CardList cards = shuffled(seed);
        EXPECT_NE(cards, ordered);
        std::sort(cards.begin(), cards.end());
        EXPECT_EQ(cards, ordered);
    }
    EXPECT_EQ(shuffled(1), shuffled(1));
    EXPECT_NE(shuffled(1), shuffled(2));
    EXPECT_NE(shuffled(0), shuffled(0)); // the system source is not the clock
}

TEST(KavdorStock, StartGameDealsTwentyFiveEachAndKeepsEightBaseCards)
{
    CGameKavdorLogicCl logic;
    logic.CreateCard(2);
    for (int id = 1; id <= 3; ++id)
        logic.AddPlayer(id);
    EXPECT_FALSE(logic.StartGame());
    EXPECT_FALSE(logic.AddPlayer(3));
    logic.AddPlayer(4);
    logic.SetLandlordId(2);
    ASSERT_TRUE(logic.StartGame());
    EXPECT_EQ(logic.GetLandlordId(), 0);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(logic.GetPlayerByIndex(i)->Hand().size(), 25u);
    EXPECT_EQ(logic.GetPlayerByIndex(4), nullptr);
    EXPECT_EQ(logic.GetStockNum(), 8);
    // Players take their cards from the front of the stock, the first player first.
    EXPECT_EQ(logic.GetPlayerByIndex(0)->Hand().front(), 1);
    EXPECT_EQ(logic.GetPlayerByIndex(1)->Hand().front(), 13);
    // A second deal from what is left would hand out bytes that are no cards: refused.
    EXPECT_FALSE(logic.StartGame());
    EXPECT_EQ(logic.GetPlayerByIndex(0)->Hand().size(), 25u);
}

TEST_F(KavdorReferee, OutCardResultsAndMessages)
{
    Give(11, {9, 22, 35, 48, 5, 18, 7});
    Give(12, {10, 23, 4});
    EXPECT_EQ(Out(99, {9}), KAVDOR_OUT_REFUSED);

    EXPECT_EQ(Out(11, {3}), KAVDOR_OUT_REFUSED);
    EXPECT_STREQ(m_logic.GetMessage(), "有一张牌不存在");
    // One 7 in the hand cannot be played twice.
    EXPECT_EQ(Out(11, {7, 7}), KAVDOR_OUT_REFUSED);
    EXPECT_EQ(m_logic.GetPlayerById(11)->Hand().size(), 7u);

    EXPECT_EQ(Out(11, {9, 7}), KAVDOR_OUT_NO_PATTERN);
    EXPECT_STREQ(m_logic.GetMessage(), "牌型不可用");

    EXPECT_EQ(Out(11, {5, 18}), KAVDOR_OUT_ACCEPTED);
    EXPECT_STREQ(m_logic.GetMessage(), "对子");
    EXPECT_EQ(m_logic.GetPlayerById(11)->Hand(), (CardList{9, 22, 35, 48, 7}));
    ASSERT_NE(m_logic.GetOutCard(11), nullptr);
    EXPECT_EQ(*m_logic.GetOutCard(11), (CardList{5, 18}));
    m_logic.CommitOutCard(11);
    EXPECT_EQ(m_logic.GetOutCard(11), nullptr);
    EXPECT_EQ(m_logic.GetPlayerById(11)->History().back(), (CardList{5, 18}));

    // A pair of 4s does not beat the pair of 5s that stands on the table.
    Give(12, {4, 17, 10, 23});
    EXPECT_EQ(Out(12, {4, 17}), KAVDOR_OUT_TOO_LOW);
    EXPECT_STREQ(m_logic.GetMessage(), "不可出牌");
    EXPECT_EQ(Out(12, {10, 23}), KAVDOR_OUT_ACCEPTED);
    m_logic.CommitOutCard(12);

    // Playing the last cards wins the hand.
    Give(13, {1, 14});
    EXPECT_FALSE(m_logic.IsWinner(13));
    EXPECT_EQ(Out(13, {1, 14}), KAVDOR_OUT_LAST_CARDS);
    EXPECT_TRUE(m_logic.IsWinner(13));
    EXPECT_EQ(m_logic.GetWinnerId(), 13);
}

TEST_F(KavdorReferee, BombsRaiseTheMultiplier)
{
    struct Case
    {
        CardList play;
        int multiple;
    };
    const Case cases[] = {
        {{3, 16, 29, 42}, 1},                         // 4-card bomb
        {{3, 16, 29, 42, 3}, 1},                      // 5-card bomb
        {{3, 16, 29, 42, 3, 16}, 2},                  // 6-card bomb
        {{3, 16, 29, 42, 3, 16, 29}, 2},              // 7-card bomb
        {{3, 16, 29, 42, 3, 16, 29, 42}, 3},          // 8-card bomb
        {{54, 54, 53, 53}, 3},                        // king bomb
        {{7, 6, 5, 4, 3}, 1},                         // straight
    };
    for (const Case& c : cases)
    {
        CGameKavdorLogicCl logic;
        logic.AddPlayer(1);
        CardList hand = c.play;
        hand.push_back(13); // keeps the hand from running out
        logic.GetPlayerById(1)->Hand() = hand;
        EXPECT_EQ(logic.OutCard(1, c.play.data(), static_cast<int>(c.play.size())), KAVDOR_OUT_ACCEPTED);
        EXPECT_EQ(logic.GetMultiple(), c.multiple) << c.play.size();
    }
}

TEST_F(KavdorReferee, HighestCurrentPlay)
{
    int id = 0;
    EXPECT_FALSE(m_logic.GetMaxOutPlayer(id));
    m_logic.AddOutCard(11, 5);  // a single 5
    m_logic.AddOutCard(12, 9);  // a single 9
    m_logic.AddOutCard(13, 4);  // a single 4
    ASSERT_TRUE(m_logic.GetMaxOutPlayer(id));
    EXPECT_EQ(id, 12);

    // An empty play is skipped, and an empty first play gives way to the next.
    m_logic.ClearOutCard();
    m_logic.AddOutCard(11, 5);
    m_logic.DelOutCard(11);
    EXPECT_EQ(m_logic.GetOutCard(11), nullptr);
    m_logic.SetMessage("before");
    m_logic.AddOutCard(12, 4);
    m_logic.AddOutCard(12, 17); // a pair of 4s
    m_logic.AddOutCard(13, 8);  // a single: cannot be compared with the pair
    ASSERT_TRUE(m_logic.GetMaxOutPlayer(id));
    EXPECT_EQ(id, 12);
    EXPECT_STREQ(m_logic.GetMessage(), "前面出牌有问题,请检查逻辑Bug");
}

TEST_F(KavdorReferee, RoundsAreClosedByTheRefereeNotByNewRound)
{
    m_logic.AddOutCard(11, 5);
    m_logic.NewRound();
    ASSERT_NE(m_logic.GetOutCard(11), nullptr);
    EXPECT_TRUE(m_logic.GetPlayerById(11)->History().empty());
    // The shared base keeps every player's play as a history entry.
    m_logic.GameCardLogicCL::NewRound();
    EXPECT_EQ(m_logic.GetOutCard(11), nullptr);
    EXPECT_EQ(m_logic.GetPlayerById(11)->History().back(), (CardList{5}));
    EXPECT_TRUE(m_logic.GetPlayerById(12)->History().back().empty());
    // Players leave with their plays.
    m_logic.AddOutCard(12, 6);
    EXPECT_TRUE(m_logic.DelPlayer(12));
    EXPECT_EQ(m_logic.GetOutCard(12), nullptr);
    EXPECT_FALSE(m_logic.DelPlayer(12));
    EXPECT_EQ(m_logic.GetPlayerIndex(13), 1);
    EXPECT_EQ(m_logic.GetPlayerIndex(12), -1);
}

TEST_F(KavdorReferee, ScoreOfTheHand)
{
    m_logic.SetLandlordId(11);
    m_logic.SetBaseScore(3);
    CardList full(25, 9);
    struct Case
    {
        const char* what;
        int winner;
        int othersHeld;      // cards left in each farmer's hand
        int landlordPlays;   // plays with cards in the landlord's history
        int landlord, farmer;
    };
    const Case cases[] = {
        {"landlord wins, nobody else played", 11, 25, 5, 18, -6},
        {"landlord wins", 11, 20, 5, 9, -3},
        {"farmers win, landlord played once", 12, 5, 1, -18, 6},
        {"farmers win", 12, 5, 2, -9, 3},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        for (int id = 12; id <= 14; ++id)
            Give(id, CardList(c.othersHeld, 9));
        auto& history = m_logic.GetPlayerById(11)->History();
        history.assign(c.landlordPlays, CardList{5});
        history.push_back(CardList()); // a pass counts for nothing
        // Win the hand by playing a last card.
        Give(c.winner, {7});
        history.push_back(CardList());
        ASSERT_EQ(Out(c.winner, {7}), KAVDOR_OUT_LAST_CARDS);
        EXPECT_EQ(m_logic.GetScore(11), c.landlord);
        EXPECT_EQ(m_logic.GetScore(13), c.farmer);
    }
}
