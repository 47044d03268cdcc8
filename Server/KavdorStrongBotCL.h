#pragma once
// The hard bot. It decides from what its own seat sees and nothing else: for a play it deals the
// cards it cannot see at random among the other seats (as many as each holds, the shown base
// cards left with the landlord), plays each candidate out to the end of the hand on many such
// deals with a quick greedy player at every seat, and takes the candidate with the best average
// score for its side. For a bid it plays its hand out as the landlord with random base cards.
//
// KavdorBotHandCL plays whole hands between this bot and the simple one (KavdorBotCL) in-process,
// refereed and scored by the rule engine as a table does, for tournaments and tests.

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "KavdorHandChoice.h"

// What one seat knows of a hand. The hard bot reads nothing else, so it cannot see hidden hands.
struct KavdorSeatView
{
    struct Play
    {
        int seat = 0;
        CardList cards; // empty for a pass

        bool operator==(const Play&) const = default;
    };

    int seat = 0;
    CardList hand;                   // the seat's own cards
    std::array<int, 4> cardCounts{}; // how many cards each seat holds now

    // Bidding: the seat asked first, and each seat's bid so far (0 not asked yet, -1 declined,
    // 1-3 points).
    int firstBidder = 0;
    std::array<int, 4> bids{};

    // The play; landlordSeat is -1 while the bidding runs.
    int landlordSeat = -1;
    int bid = 0;             // the winning bid
    CardList baseCards;      // shown when the landlord is named
    std::vector<Play> plays; // every play and pass since the landlord's first lead, in order
    bool leading = false;    // a new round: any pattern may be played, no pass
    int standingSeat = -1;   // when following: whose play must be beaten
    CardList standing;       //   and that play

    bool operator==(const KavdorSeatView&) const = default;
};

class KavdorStrongBotCL
{
public:
    struct Settings
    {
        // The decisions are a function of the view and this seed.
        uint64_t seed = 1;
        // Rollouts spent on one play decision, shared among its candidates.
        int playRollouts = 4000;
        // Candidates kept after pruning the legal plays.
        int maxCandidates = 24;
        // Rollouts of the hand as the landlord for a bid.
        int bidRollouts = 600;
        // The landlord's average score per bid point in the bid rollouts above which the bot bids
        // 1, 2 or 3 points. The quick players of the rollouts favour the landlord (the farmers do
        // not hand the lead to the one best placed to go out), so an ordinary hand already
        // averages about 1.5 there; only the best quarter or so of hands is bid for.
        std::array<double, 3> bidThresholds{{2.0, 2.4, 2.8}};
    };

    KavdorStrongBotCL();
    explicit KavdorStrongBotCL(const Settings& settings);

    const Settings& GetSettings() const { return m_settings; }

    // 1, 2 or 3 points, or -1 to decline; only a bid above every bid so far is made.
    int ChooseBid(const KavdorSeatView& view) const;
    // The play (indices into view.hand) or a pass; a pass only when following.
    KavdorHandChoice ChoosePlay(const KavdorSeatView& view) const;
    // The landlord's average score per bid point over the bid rollouts of the view's hand.
    double LandlordValue(const KavdorSeatView& view) const;

private:
    Settings m_settings;
};

enum class KavdorBotLevel
{
    EASY, // KavdorBotCL
    HARD, // KavdorStrongBotCL
};

struct KavdorBotHandResult
{
    std::array<int, 4> scores{};
    int landlordSeat = -1;
    int bid = 0;
    int multiple = 1;
    bool landlordWon = false;
    int deals = 0;       // deals needed until somebody bid (or the first bidder had to take it)
    int refusedHard = 0; // plays of the hard bot the referee refused (none are expected)
    std::vector<KavdorSeatView::Play> plays; // the plays and passes of the hand, in order
};

// One hand played by four bots as a table plays it: the deal, the bidding from `firstBidder`
// (dealt again when everybody declines; after five such deals the first bidder takes the hand at
// 1 point), the landlord's lead, the referee's check of every play and its score. Deal n of the
// hand is shuffled from `dealSeed` and n, so that the same seed deals the same cards whoever
// sits where.
class KavdorBotHandCL
{
public:
    // Called after each decision: the seat's view, its level, the bid (bidding) or the play
    // (playing), and how long the decision took by the clock and in the thread's processor time
    // (which other work on the machine does not lengthen).
    typedef std::function<void(const KavdorSeatView& view, KavdorBotLevel level, int bid,
                               const KavdorHandChoice* play, double wallSeconds, double cpuSeconds)>
        Observer;

    // The seed of the generator that shuffles deal `deal` of a hand: each draw below a bound is
    // the generator's next number modulo the bound, as a table's seeded random source draws.
    static uint64_t ShuffleSeed(uint64_t dealSeed, int deal);

    static KavdorBotHandResult Play(uint64_t dealSeed, int firstBidder,
                                    const std::array<KavdorBotLevel, 4>& levels,
                                    const KavdorStrongBotCL& hard, const Observer& observer = {});
};
