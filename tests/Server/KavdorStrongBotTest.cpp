#include <algorithm>
#include <random>
#include <type_traits>

#include <gtest/gtest.h>

#include "CardCode.h"
#include "KavdorBotThinkerCL.h"
#include "KavdorStrongBotCL.h"
#include "KavdorTableCL.h"

namespace
{
// The bot's only way in is a seat's view: no table, no referee, no other hand.
static_assert(std::is_same_v<decltype(&KavdorStrongBotCL::ChoosePlay),
                             KavdorHandChoice (KavdorStrongBotCL::*)(const KavdorSeatView&) const>);
static_assert(std::is_same_v<decltype(&KavdorStrongBotCL::ChooseBid),
                             int (KavdorStrongBotCL::*)(const KavdorSeatView&) const>);

// A card of a face (1 ace .. 13 king) in one of the four suits.
uint8_t Card(int face, int suit = 0)
{
    return static_cast<uint8_t>(suit * 13 + face);
}

// Cards from faces; each further copy of a face takes the next suit (and then the second deck).
CardList Cards(std::initializer_list<int> faces)
{
    CardList cards;
    int copies[55] = {};
    for (int face : faces)
        cards.push_back(face >= kCardSmallJoker ? static_cast<uint8_t>(face)
                                                : Card(face, copies[face]++ % 4));
    KavdorSortCards(cards);
    return cards;
}

CardList Deck()
{
    CardList deck;
    for (int code = 1; code <= kCardBigJoker; ++code)
        deck.insert(deck.end(), 2, static_cast<uint8_t>(code));
    return deck;
}

void Remove(CardList& from, const CardList& cards)
{
    for (uint8_t card : cards)
    {
        auto found = std::find(from.begin(), from.end(), card);
        ASSERT_NE(found, from.end()) << int(card);
        from.erase(found);
    }
}

// A small budget: the checks below are about what the bot may do, not how well.
KavdorStrongBotCL::Settings Quick(uint64_t seed)
{
    KavdorStrongBotCL::Settings settings;
    settings.seed = seed;
    settings.playRollouts = 240;
    settings.bidRollouts = 120;
    return settings;
}

// A position late in a hand. Every seat holds `counts[seat]` cards (the seat's own are `hand`),
// the standing play ends the list of plays, and every other card was played one at a time, the
// landlord's first eight being the base cards. The hidden hands are drawn with `seed`; they are
// returned in `hidden` and are no part of the view.
KavdorSeatView LatePosition(int seat, int landlord, const CardList& hand, const std::array<int, 4>& counts,
                            int standingSeat, const CardList& standing, uint32_t seed,
                            std::array<CardList, 4>* hidden = nullptr)
{
    KavdorSeatView view;
    view.seat = seat;
    view.hand = hand;
    view.cardCounts = counts;
    view.landlordSeat = landlord;
    view.bid = 1;
    view.bids = {-1, -1, -1, -1};
    view.bids[landlord] = 1;
    CardList rest = Deck();
    Remove(rest, hand);
    Remove(rest, standing);
    std::mt19937 random(seed);
    std::shuffle(rest.begin(), rest.end(), random);
    std::array<CardList, 4> held;
    held[seat] = hand;
    for (int s = 0; s < 4; ++s)
        for (int i = 0; s != seat && i < counts[s]; ++i)
        {
            held[s].push_back(rest.back());
            rest.pop_back();
        }
    for (int s = 0; s < 4; ++s)
    {
        int played = (s == landlord ? 33 : 25) - counts[s] - (s == standingSeat ? int(standing.size()) : 0);
        for (int i = 0; i < played; ++i)
        {
            view.plays.push_back(KavdorSeatView::Play{s, CardList{rest.back()}});
            if (s == landlord && i < 8)
                view.baseCards.push_back(rest.back());
            rest.pop_back();
        }
    }
    EXPECT_TRUE(rest.empty());
    view.plays.push_back(KavdorSeatView::Play{standingSeat, standing});
    view.standingSeat = standingSeat;
    view.standing = standing;
    if (hidden != nullptr)
        *hidden = held;
    return view;
}

CardList Chosen(const KavdorHandChoice& choice)
{
    CardList cards = choice.cards;
    KavdorSortCards(cards);
    return cards;
}
} // namespace

// Two deals that differ only in the cards the seat cannot see give it the same view, and the
// same seed then gives the same bid and the same play, whichever bot object decides.
TEST(KavdorStrongBot, DecidesTheSameWhateverTheHiddenHandsHold)
{
    CardList hand = Cards({3, 3, 4, 5, 5, 9, 11, 12, 1});
    std::array<CardList, 4> hiddenA, hiddenB;
    KavdorSeatView a = LatePosition(2, 0, hand, {12, 10, 9, 14}, 1, Cards({8, 8}), 1, &hiddenA);
    KavdorSeatView b = LatePosition(2, 0, hand, {12, 10, 9, 14}, 1, Cards({8, 8}), 1, &hiddenB);
    // The other seats' cards are dealt anew for the second deal; the public record stays.
    CardList others;
    for (int s : {0, 1, 3})
        others.insert(others.end(), hiddenA[s].begin(), hiddenA[s].end());
    std::shuffle(others.begin(), others.end(), std::mt19937(99));
    size_t next = 0;
    for (int s : {0, 1, 3})
        for (uint8_t& card : hiddenB[s])
            card = others[next++];
    ASSERT_NE(hiddenA, hiddenB);

    KavdorStrongBotCL first(Quick(7)), second(Quick(7));
    KavdorHandChoice playA = first.ChoosePlay(a);
    KavdorHandChoice playB = second.ChoosePlay(b);
    EXPECT_EQ(playA.action, playB.action);
    EXPECT_EQ(playA.cards, playB.cards);
    EXPECT_EQ(first.ChoosePlay(a).cards, playA.cards); // no state carried between decisions

    KavdorSeatView bidding;
    bidding.seat = 1;
    bidding.hand = Cards({3, 4, 5, 6, 7, 8, 9, 9, 10, 11, 12, 13, 13, 1, 1, 2, 2, 53, 54, 5, 6, 7, 8, 10, 3});
    bidding.cardCounts = {25, 25, 25, 25};
    bidding.firstBidder = 0;
    bidding.bids = {-1, 0, 0, 0};
    EXPECT_EQ(first.ChooseBid(bidding), second.ChooseBid(bidding));
    EXPECT_EQ(first.LandlordValue(bidding), second.LandlordValue(bidding));
}

// Whole hands between hard bots, and between the levels: every bid raises the best one or
// declines, every play is a pattern of the seat's own cards that beats the standing play, a pass
// only when following, and the referee accepts each of the hard bot's plays.
TEST(KavdorStrongBot, EveryDecisionIsLegal)
{
    KavdorStrongBotCL hard(Quick(3));
    int decisions = 0;
    KavdorBotHandCL::Observer check = [&](const KavdorSeatView& view, KavdorBotLevel level, int bid,
                                          const KavdorHandChoice* play, double, double)
    {
        if (level != KavdorBotLevel::HARD)
            return;
        ++decisions;
        if (play == nullptr)
        {
            int highest = *std::max_element(view.bids.begin(), view.bids.end());
            EXPECT_TRUE(bid == -1 || (bid > highest && bid <= 3)) << bid << " after " << highest;
            return;
        }
        if (play->action == KavdorHandChoice::PASS)
        {
            EXPECT_FALSE(view.leading);
            return;
        }
        ASSERT_EQ(play->action, KavdorHandChoice::PLAY);
        ASSERT_EQ(play->indices.size(), play->cards.size());
        std::vector<int> indices = play->indices;
        std::sort(indices.begin(), indices.end());
        EXPECT_EQ(std::adjacent_find(indices.begin(), indices.end()), indices.end());
        for (size_t i = 0; i < play->indices.size(); ++i)
        {
            ASSERT_GE(play->indices[i], 0);
            ASSERT_LT(play->indices[i], static_cast<int>(view.hand.size()));
            EXPECT_EQ(view.hand[play->indices[i]], play->cards[i]);
        }
        CardList cards = Chosen(*play);
        int count = static_cast<int>(cards.size());
        EXPECT_GE(KavdorGetCardType(cards.data(), count, nullptr), 0);
        if (!view.leading)
        {
            EXPECT_EQ(KavdorCompareCardGroup(cards.data(), count, view.standing.data(),
                                             static_cast<int>(view.standing.size())),
                      1);
        }
    };
    using L = KavdorBotLevel;
    const std::array<L, 4> seatings[] = {
        {L::HARD, L::HARD, L::HARD, L::HARD},
        {L::HARD, L::EASY, L::HARD, L::EASY},
        {L::EASY, L::EASY, L::HARD, L::EASY},
    };
    for (uint64_t deal = 0; deal < 12; ++deal)
    {
        KavdorBotHandResult result =
            KavdorBotHandCL::Play(deal, static_cast<int>(deal % 4), seatings[deal % 3], hard, check);
        EXPECT_EQ(result.refusedHard, 0);
        EXPECT_EQ(result.scores[0] + result.scores[1] + result.scores[2] + result.scores[3], 0);
        EXPECT_GE(result.bid, 1);
        EXPECT_LE(result.bid, 3);
    }
    EXPECT_GT(decisions, 200);
}

// A hand that is one play which may be made now is played whole: it wins the hand at once.
TEST(KavdorStrongBot, PlaysTheWholeHandWhenThatWins)
{
    struct Case
    {
        const char* name;
        CardList hand;
        CardList standing; // empty: the bot leads
    };
    const Case cases[] = {
        {"straight", Cards({3, 4, 5, 6, 7, 8}), {}},
        {"airplane", Cards({9, 9, 9, 10, 10, 10, 3, 3, 53, 53}), {}},
        {"pairs over pairs", Cards({5, 5, 6, 6, 7, 7}), Cards({4, 4, 5, 5, 6, 6})},
        {"three with two", Cards({12, 12, 12, 4, 4}), Cards({11, 11, 11, 2, 2})},
        {"bomb over a pair", Cards({6, 6, 6, 6, 6}), Cards({2, 2})},
        {"four jokers over a bomb", Cards({53, 53, 54, 54}), Cards({1, 1, 1, 1, 1, 1, 1, 1})},
    };
    KavdorStrongBotCL bot(Quick(5));
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        int standingSeat = c.standing.empty() ? 2 : 1;
        KavdorSeatView view = LatePosition(2, 0, c.hand, {9, 8, static_cast<int>(c.hand.size()), 12},
                                           standingSeat, c.standing.empty() ? Cards({7}) : c.standing, 4);
        if (c.standing.empty())
        {
            view.leading = true;
            view.standingSeat = -1;
            view.standing.clear();
        }
        KavdorHandChoice choice = bot.ChoosePlay(view);
        ASSERT_EQ(choice.action, KavdorHandChoice::PLAY);
        EXPECT_EQ(Chosen(choice), c.hand);
    }
}

// Seat 2 holds the only pair that beats a pair of 2s. A fellow farmer's pair with one card left
// behind it wins the hand anyway: the bot lets it stand rather than take the lead from him. The
// same pair from a landlord with one card left must be beaten.
TEST(KavdorStrongBot, LeavesAFellowFarmersWinningPlayButBeatsTheLandlords)
{
    struct Case
    {
        const char* name;
        int landlord;
        std::array<int, 4> counts;
        KavdorHandChoice::Action expected;
    };
    const Case cases[] = {
        {"fellow farmer's pair", 0, {2, 1, 7, 10}, KavdorHandChoice::PASS},
        {"landlord's pair", 1, {2, 1, 7, 10}, KavdorHandChoice::PLAY},
    };
    CardList hand = Cards({53, 53, 54, 3, 5, 7, 9});
    KavdorStrongBotCL bot; // the full budget, as in play
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        for (uint32_t seed : {1u, 2u, 3u})
        {
            KavdorSeatView view = LatePosition(2, c.landlord, hand, c.counts, 1, Cards({2, 2}), seed);
            KavdorHandChoice choice = bot.ChoosePlay(view);
            EXPECT_EQ(choice.action, c.expected) << "seed " << seed;
            if (c.expected == KavdorHandChoice::PLAY)
            {
                EXPECT_EQ(Chosen(choice), Cards({53, 53}));
            }
        }
    }
}

TEST(KavdorStrongBot, BidsByTheStrengthOfTheHand)
{
    struct Case
    {
        const char* name;
        CardList hand;
        std::array<int, 4> bids; // seat 1 bids; seat 0 bid first
        int expected;
    };
    // The four jokers, four bombs and a run of threes.
    CardList strong =
        Cards({53, 53, 54, 54, 2, 2, 2, 2, 1, 1, 1, 1, 13, 13, 13, 13, 12, 12, 12, 11, 11, 11, 10, 10, 10});
    // Nothing above the king and no bomb: the other seats hold every ace, 2 and joker.
    CardList weak =
        Cards({3, 4, 6, 8, 10, 12, 3, 5, 7, 9, 11, 13, 4, 6, 8, 10, 12, 3, 5, 7, 9, 11, 13, 6, 10});
    const Case cases[] = {
        {"strong hand first to bid", strong, {-1, 0, 0, 0}, 3},
        {"strong hand after a bid of 2", strong, {2, 0, 0, 0}, 3},
        {"weak hand", weak, {-1, 0, 0, 0}, -1},
    };
    KavdorStrongBotCL bot;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.hand.size(), 25u);
        KavdorSeatView view;
        view.seat = 1;
        view.hand = c.hand;
        view.cardCounts = {25, 25, 25, 25};
        view.bids = c.bids;
        EXPECT_EQ(bot.ChooseBid(view), c.expected) << "value " << bot.LandlordValue(view);
    }
}

namespace
{
// A table of four bots and nobody else: it only has to keep the hand that ended.
class OneHand : public KavdorTableListenerCL
{
public:
    void SendToPlayer(int, const std::vector<uint8_t>&) override {}
    const PlayerRecord* FindRecord(int) override { return nullptr; }
    void OnHandEnded(KavdorTableCL& table, const std::vector<PlayerChange>&) override
    {
        ended = true;
        plays = table.LastHandPlays();
        for (const NetResultRecord& result : table.LastResult())
            scores.push_back(result.score);
    }
    void OnPlayerLeftTable(KavdorTableCL&, int) override {}
    void OnWrongPassword(KavdorTableCL&, int) override {}
    void Log(const std::string&) override {}

    bool ended = false;
    std::vector<KavdorTableCL::PlayRecord> plays;
    std::vector<int> scores;
};
} // namespace

// The tournament's hands are the table's hands: with the same shuffle, four simple bots make the
// same bids, plays and passes in-process as at a table, and score the same.
TEST(KavdorStrongBot, HandsInProcessPlayAsATableDoes)
{
    KavdorStrongBotCL unused(Quick(1));
    const std::array<KavdorBotLevel, 4> easy = {KavdorBotLevel::EASY, KavdorBotLevel::EASY,
                                                KavdorBotLevel::EASY, KavdorBotLevel::EASY};
    int compared = 0;
    for (uint64_t dealSeed = 1; dealSeed <= 24; ++dealSeed)
    {
        KavdorBotHandResult hand = KavdorBotHandCL::Play(dealSeed, 0, easy, unused);
        // A table shuffles a second deal from where the first left its generator; only hands
        // bid on at the first deal are compared.
        if (hand.deals != 1)
            continue;
        SCOPED_TRACE(dealSeed);
        KavdorTableOptions options;
        options.botDelayMs = 0;
        options.verbose = false;
        options.botsPlayAlone = true;
        auto engine = std::make_shared<std::mt19937_64>(KavdorBotHandCL::ShuffleSeed(dealSeed, 0));
        options.random = [engine](uint32_t bound) { return static_cast<uint32_t>((*engine)() % bound); };
        OneHand listener;
        KavdorTableCL table(1, options, listener);
        table.AddBots(0);
        for (int ticks = 0; ticks < 100 && !listener.ended; ++ticks)
            table.Tick(0);
        ASSERT_TRUE(listener.ended);
        EXPECT_EQ(table.LastLandlordSeat(), hand.landlordSeat);
        ASSERT_EQ(listener.plays.size(), hand.plays.size());
        for (size_t i = 0; i < hand.plays.size(); ++i)
        {
            EXPECT_EQ(listener.plays[i].seat, hand.plays[i].seat) << "play " << i;
            EXPECT_EQ(listener.plays[i].cards, hand.plays[i].cards) << "play " << i;
        }
        EXPECT_EQ(listener.scores, std::vector<int>(hand.scores.begin(), hand.scores.end()));
        ++compared;
    }
    EXPECT_GE(compared, 10);
}

namespace
{
// Plays one hand of four hard bots at a seeded table; counts the bids from the table's log.
struct HardHand
{
    struct Listener : OneHand
    {
        void Log(const std::string& line) override
        {
            bids += line.find(" bids first") == std::string::npos && line.find(" bids ") != std::string::npos;
        }
        int bids = 0;
    };

    explicit HardHand(KavdorBotThinkerCL* thinker)
    {
        KavdorTableOptions options;
        options.botDelayMs = 0;
        options.botsPlayAlone = true;
        options.botLevel = KavdorBotLevel::HARD;
        options.thinker = thinker;
        auto engine = std::make_shared<std::mt19937_64>(5);
        options.random = [engine](uint32_t bound) { return static_cast<uint32_t>((*engine)() % bound); };
        KavdorTableCL table(1, options, listener);
        table.AddBots(0);
        for (int ticks = 0; ticks < 100 && !listener.ended; ++ticks)
            table.Tick(0);
        thoughtAhead = table.AnswersThoughtAhead();
    }

    Listener listener;
    long thoughtAhead = 0;
};
} // namespace

// Thinking off the table's thread changes nothing of the hand, and every answer is the one
// thought ahead.
TEST(KavdorBotThinker, ATableThatThinksAheadPlaysAsOneThatThinksWhenItActs)
{
    HardHand inPlace(nullptr);
    KavdorBotThinkerCL thinker(1);
    HardHand ahead(&thinker);
    ASSERT_TRUE(inPlace.listener.ended);
    ASSERT_TRUE(ahead.listener.ended);
    ASSERT_EQ(ahead.listener.plays.size(), inPlace.listener.plays.size());
    for (size_t i = 0; i < inPlace.listener.plays.size(); ++i)
    {
        EXPECT_EQ(ahead.listener.plays[i].seat, inPlace.listener.plays[i].seat) << "play " << i;
        EXPECT_EQ(ahead.listener.plays[i].cards, inPlace.listener.plays[i].cards) << "play " << i;
    }
    EXPECT_EQ(ahead.listener.scores, inPlace.listener.scores);
    EXPECT_EQ(inPlace.thoughtAhead, 0);
    EXPECT_GT(ahead.listener.bids, 0);
    EXPECT_EQ(ahead.thoughtAhead, static_cast<long>(ahead.listener.plays.size()) + ahead.listener.bids);
}

// A decision still wanted when the thinker stops is answered, not left to be waited for: the one
// who waits thinks it.
TEST(KavdorBotThinker, StoppingAnswersWhatIsStillWanted)
{
    auto bot = std::make_shared<const KavdorStrongBotCL>(Quick(3));
    CardList deck = Deck();
    std::mt19937_64 engine(9);
    std::shuffle(deck.begin(), deck.end(), engine);
    std::vector<KavdorSeatView> views(6);
    std::vector<std::shared_ptr<KavdorBotThinkerCL::Decision>> wanted;
    {
        KavdorBotThinkerCL thinker(1);
        for (size_t i = 0; i < views.size(); ++i)
        {
            // Bids on 25 cards; leads as the landlord, with the base cards (the deck's last 8).
            KavdorSeatView& view = views[i];
            view.seat = static_cast<int>(i % 4);
            view.hand.assign(deck.begin() + 25 * view.seat, deck.begin() + 25 * (view.seat + 1));
            view.cardCounts.fill(25);
            if (i % 2 == 0)
            {
                view.landlordSeat = view.seat;
                view.baseCards.assign(deck.end() - 8, deck.end());
                view.hand.insert(view.hand.end(), view.baseCards.begin(), view.baseCards.end());
                view.cardCounts[view.seat] = 33;
                view.leading = true;
            }
            KavdorSortCards(view.hand);
            wanted.push_back(thinker.Ask(bot, views[i], i % 2 == 1));
        }
        // One more that nobody waits for.
        thinker.Ask(bot, views[0], false);
    }
    for (size_t i = 0; i < views.size(); ++i)
    {
        if (i % 2 == 1)
            EXPECT_EQ(wanted[i]->WaitBid(), bot->ChooseBid(views[i])) << i;
        else
            EXPECT_EQ(wanted[i]->WaitPlay().cards, bot->ChoosePlay(views[i]).cards) << i;
    }
}
