#include "KavdorStrongBotCL.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <numeric>
#include <random>

#include <time.h>

#include "CardCode.h"
#include "KavdorBotCL.h"

namespace
{
constexpr int kSeats = 4;
// The bot counts cards by rank, not by code: suits play no part in the rules. Ranks 0..10 are
// the 3 up to the king, then the ace, the 2 and the two jokers.
constexpr int kRanks = 15;
constexpr int kAce = 11; // the highest rank a run may reach
constexpr int kTwo = 12;
constexpr int kSmall = 13;
constexpr int kBig = 14;

int RankOf(uint8_t card)
{
    int face = GetFace(card);
    if (face == kCardSmallJoker)
        return kSmall;
    if (face == kCardBigJoker)
        return kBig;
    if (face == 1)
        return kAce;
    if (face == 2)
        return kTwo;
    if (face >= 3 && face <= 13)
        return face - 3;
    return -1;
}

struct Hand
{
    std::array<int8_t, kRanks> n{};
    int total = 0;

    void Add(int rank, int count)
    {
        n[rank] = static_cast<int8_t>(n[rank] + count);
        total += count;
    }
    bool KingBomb() const { return n[kSmall] == 2 && n[kBig] == 2; }
};

Hand HandOf(const CardList& cards)
{
    Hand hand;
    for (uint8_t card : cards)
    {
        int rank = RankOf(card);
        if (rank >= 0)
            hand.Add(rank, 1);
    }
    return hand;
}

// A play by ranks: its pattern, the rank that decides a comparison (the lowest of a run, the
// three of a three with two, the face of a bomb), the groups of a run or the cards of a bomb,
// and the ranks whose pairs ride along as wings.
struct Move
{
    int8_t type = KAVDOR_TYPE_NONE; // none: a pass
    int8_t key = 0;
    int8_t len = 0;
    int8_t count = 0;
    uint16_t wings = 0;

    bool IsPass() const { return type == KAVDOR_TYPE_NONE; }
    bool operator==(const Move&) const = default;
};

Move MakeMove(int type, int key, int len, int count, uint16_t wings = 0)
{
    Move move;
    move.type = static_cast<int8_t>(type);
    move.key = static_cast<int8_t>(key);
    move.len = static_cast<int8_t>(len);
    move.count = static_cast<int8_t>(count);
    move.wings = wings;
    return move;
}

int RunWidth(int type)
{
    return type == KAVDOR_TYPE_STRAIGHT ? 1 : type == KAVDOR_TYPE_PAIRS ? 2 : 3;
}

// The comparison of the rule engine, by ranks.
bool Beats(const Move& a, const Move& b)
{
    if (a.type == KAVDOR_TYPE_KING_BOMB)
        return b.type != KAVDOR_TYPE_KING_BOMB;
    if (b.type == KAVDOR_TYPE_KING_BOMB)
        return false;
    if (a.type == KAVDOR_TYPE_BOMB)
        return b.type != KAVDOR_TYPE_BOMB || a.len > b.len || (a.len == b.len && a.key > b.key);
    if (b.type == KAVDOR_TYPE_BOMB)
        return false;
    return a.type == b.type && a.count == b.count && a.key > b.key;
}

void Apply(Hand& hand, const Move& move)
{
    switch (move.type)
    {
    case KAVDOR_TYPE_SINGLE:
        hand.n[move.key] -= 1;
        break;
    case KAVDOR_TYPE_PAIR:
        hand.n[move.key] -= 2;
        break;
    case KAVDOR_TYPE_THREE:
    case KAVDOR_TYPE_THREE_TWO:
        hand.n[move.key] -= 3;
        break;
    case KAVDOR_TYPE_STRAIGHT:
    case KAVDOR_TYPE_PAIRS:
    case KAVDOR_TYPE_THREES:
    case KAVDOR_TYPE_AIRPLANE:
        for (int i = 0; i < move.len; ++i)
            hand.n[move.key + i] = static_cast<int8_t>(hand.n[move.key + i] - RunWidth(move.type));
        break;
    case KAVDOR_TYPE_BOMB:
        hand.n[move.key] = static_cast<int8_t>(hand.n[move.key] - move.len);
        break;
    case KAVDOR_TYPE_KING_BOMB:
        hand.n[kSmall] -= 2;
        hand.n[kBig] -= 2;
        break;
    default:
        return;
    }
    for (int rank = 0; rank < kRanks; ++rank)
        if (move.wings >> rank & 1)
            hand.n[rank] -= 2;
    hand.total -= move.count;
}

// The hand as one play, or a pass when it is none; the same answer as the rule engine's
// classification of those cards.
Move Classify(const Hand& hand)
{
    int total = hand.total;
    if (total <= 0)
        return Move();
    if (total == 4 && hand.KingBomb())
        return MakeMove(KAVDOR_TYPE_KING_BOMB, kBig, 4, 4);
    int low = -1, high = -1, distinct = 0;
    int with[9] = {};
    for (int rank = 0; rank < kRanks; ++rank)
    {
        int held = hand.n[rank];
        if (held == 0)
            continue;
        if (low < 0)
            low = rank;
        high = rank;
        ++distinct;
        ++with[std::min(held, 8)];
    }
    if (distinct == 1)
    {
        int held = hand.n[low];
        if (held >= 4)
            return MakeMove(KAVDOR_TYPE_BOMB, low, held, held);
        return MakeMove(held == 1   ? KAVDOR_TYPE_SINGLE
                        : held == 2 ? KAVDOR_TYPE_PAIR
                                    : KAVDOR_TYPE_THREE,
                        low, 1, held);
    }
    if (total == 5 && with[3] == 1 && with[2] == 1)
    {
        int three = 0;
        uint16_t wings = 0;
        for (int rank = 0; rank < kRanks; ++rank)
        {
            if (hand.n[rank] == 3)
                three = rank;
            else if (hand.n[rank] == 2)
                wings = static_cast<uint16_t>(1 << rank);
        }
        return MakeMove(KAVDOR_TYPE_THREE_TWO, three, 1, 5, wings);
    }
    if (high <= kAce && distinct == high - low + 1)
    {
        if (with[1] == distinct && total >= 5 && total <= 12)
            return MakeMove(KAVDOR_TYPE_STRAIGHT, low, distinct, total);
        if (with[2] == distinct && distinct >= 3)
            return MakeMove(KAVDOR_TYPE_PAIRS, low, distinct, total);
        if (with[3] == distinct && distinct >= 2)
            return MakeMove(KAVDOR_TYPE_THREES, low, distinct, total);
    }
    int threes = total / 5;
    if (total >= 10 && total % 5 == 0 && with[3] == threes && with[2] == threes)
    {
        int first = 0;
        while (hand.n[first] != 3)
            ++first;
        if (first + threes - 1 > kAce)
            return Move();
        for (int i = 0; i < threes; ++i)
            if (hand.n[first + i] != 3)
                return Move();
        uint16_t wings = 0;
        for (int rank = 0; rank < kRanks; ++rank)
            if (hand.n[rank] == 2)
                wings = static_cast<uint16_t>(wings | 1 << rank);
        return MakeMove(KAVDOR_TYPE_AIRPLANE, first, threes, total, wings);
    }
    return Move();
}

// The cheapest pairs to carry along with threes: lone pairs, low ones first, then pairs out of
// threes, then a jokers' pair (never one out of the four jokers). Bombs are never broken.
bool PickWings(const Hand& hand, uint32_t excluded, int need, uint16_t& wings)
{
    wings = 0;
    int got = 0;
    auto take = [&](int rank)
    {
        if (got < need && !(excluded >> rank & 1) && !(wings >> rank & 1))
        {
            wings = static_cast<uint16_t>(wings | 1 << rank);
            ++got;
        }
    };
    for (int rank = 0; rank <= kTwo; ++rank)
        if (hand.n[rank] == 2)
            take(rank);
    for (int rank = 0; rank <= kTwo; ++rank)
        if (hand.n[rank] == 3)
            take(rank);
    if (!hand.KingBomb())
        for (int rank : {kSmall, kBig})
            if (hand.n[rank] == 2)
                take(rank);
    return got == need;
}

uint32_t RunMask(int start, int len)
{
    return ((1u << len) - 1) << start;
}

// Every rank start..start+len-1 is held between `least` and `most` times.
bool RunAt(const Hand& hand, int start, int len, int least, int most)
{
    if (start < 0 || start + len - 1 > kAce)
        return false;
    for (int rank = start; rank < start + len; ++rank)
        if (hand.n[rank] < least || hand.n[rank] > most)
            return false;
    return true;
}

// ---------------------------------------------------------------------------------------------
// The quick player of the rollouts: cheap rules for every seat.

struct Sim
{
    std::array<Hand, kSeats> hands;
    int landlord = 0;
    int turn = 0;
    int standingSeat = -1; // -1, or the seat itself, when the seat to act leads
    Move standing;
    int multiple = 1;
    int landlordPlays = 0;
    bool farmerPlayed = false;
};

bool SameSide(const Sim& sim, int a, int b)
{
    return a == b || (a != sim.landlord && b != sim.landlord);
}

// The lowest play of the standing pattern that beats it, breaking as little as possible: a
// broken pair or three costs as much as climbing four ranks. Bombs and the four jokers stay.
bool FindBeat(const Hand& hand, const Move& standing, Move& out)
{
    bool king = hand.KingBomb();
    auto usable = [&](int rank) { return hand.n[rank] <= 3 && !(king && rank >= kSmall); };
    int type = standing.type;
    if (type == KAVDOR_TYPE_SINGLE || type == KAVDOR_TYPE_PAIR || type == KAVDOR_TYPE_THREE)
    {
        int need = type == KAVDOR_TYPE_SINGLE ? 1 : type == KAVDOR_TYPE_PAIR ? 2 : 3;
        int best = -1, bestCost = 1 << 20;
        for (int rank = standing.key + 1; rank < kRanks; ++rank)
        {
            if (hand.n[rank] < need || !usable(rank))
                continue;
            int cost = rank + 4 * (hand.n[rank] - need);
            if (cost < bestCost)
            {
                best = rank;
                bestCost = cost;
            }
        }
        if (best < 0)
            return false;
        out = MakeMove(type, best, 1, need);
        return true;
    }
    if (type == KAVDOR_TYPE_THREE_TWO)
    {
        for (int rank = standing.key + 1; rank <= kTwo; ++rank)
        {
            uint16_t wings = 0;
            if (hand.n[rank] == 3 && PickWings(hand, 1u << rank, 1, wings))
            {
                out = MakeMove(type, rank, 1, 5, wings);
                return true;
            }
        }
        return false;
    }
    if (type == KAVDOR_TYPE_STRAIGHT || type == KAVDOR_TYPE_PAIRS || type == KAVDOR_TYPE_THREES ||
        type == KAVDOR_TYPE_AIRPLANE)
    {
        int width = RunWidth(type);
        for (int start = standing.key + 1; start + standing.len - 1 <= kAce; ++start)
        {
            if (!RunAt(hand, start, standing.len, width, 3))
                continue;
            uint16_t wings = 0;
            if (type == KAVDOR_TYPE_AIRPLANE &&
                !PickWings(hand, RunMask(start, standing.len), standing.len, wings))
                continue;
            out = MakeMove(type, start, standing.len, standing.count, wings);
            return true;
        }
    }
    return false;
}

// The smallest whole bomb that beats the standing play (any bomb when leading), the four jokers
// last.
bool FindBomb(const Hand& hand, const Move* standing, Move& out)
{
    int best = -1;
    for (int rank = 0; rank <= kTwo; ++rank)
    {
        int held = hand.n[rank];
        if (held < 4)
            continue;
        Move bomb = MakeMove(KAVDOR_TYPE_BOMB, rank, held, held);
        if (standing != nullptr && !Beats(bomb, *standing))
            continue;
        if (best < 0 || held < hand.n[best])
            best = rank;
    }
    if (best >= 0)
    {
        out = MakeMove(KAVDOR_TYPE_BOMB, best, hand.n[best], hand.n[best]);
        return true;
    }
    if (hand.KingBomb())
    {
        out = MakeMove(KAVDOR_TYPE_KING_BOMB, kBig, 4, 4);
        return true;
    }
    return false;
}

Move LeadPolicy(const Sim& sim, int seat)
{
    const Hand& hand = sim.hands[seat];
    Move whole = Classify(hand);
    if (!whole.IsPass())
        return whole;
    bool king = hand.KingBomb();
    int enemyLeast = 99;
    for (int other = 0; other < kSeats; ++other)
        if (!SameSide(sim, seat, other))
            enemyLeast = std::min(enemyLeast, sim.hands[other].total);

    int low = -1;
    for (int rank = 0; rank < kRanks && low < 0; ++rank)
        if (hand.n[rank] >= 1 && hand.n[rank] <= 3 && !(king && rank >= kSmall))
            low = rank;
    Move bomb;
    if (low < 0)
    {
        FindBomb(hand, nullptr, bomb);
        return bomb;
    }
    int held = hand.n[low];
    // The lowest rank goes out in the longest run it starts, else with a wing, else as it is.
    if (low <= kAce)
    {
        int width = held;
        int len = 0;
        while (low + len <= kAce && hand.n[low + len] >= width && hand.n[low + len] <= 3)
            ++len;
        if (width == 1 && len >= 5)
        {
            len = std::min(len, 12);
            return MakeMove(KAVDOR_TYPE_STRAIGHT, low, len, len);
        }
        if (width == 2 && len >= 3)
            return MakeMove(KAVDOR_TYPE_PAIRS, low, len, 2 * len);
        if (width == 3 && len >= 2)
        {
            uint16_t wings = 0;
            if (PickWings(hand, RunMask(low, len), len, wings))
                return MakeMove(KAVDOR_TYPE_AIRPLANE, low, len, 5 * len, wings);
            return MakeMove(KAVDOR_TYPE_THREES, low, len, 3 * len);
        }
    }
    if (held == 3)
    {
        uint16_t wings = 0;
        if (PickWings(hand, 1u << low, 1, wings))
            return MakeMove(KAVDOR_TYPE_THREE_TWO, low, 1, 5, wings);
        return MakeMove(KAVDOR_TYPE_THREE, low, 1, 3);
    }
    if (held == 2 && enemyLeast != 2)
        return MakeMove(KAVDOR_TYPE_PAIR, low, 1, 2);
    if (held == 1 && enemyLeast == 1)
    {
        // A single would let the opponent out: a pair or three instead, else the highest single.
        for (int rank = 0; rank < kRanks; ++rank)
            if (hand.n[rank] >= 2 && hand.n[rank] <= 3 && !(king && rank >= kSmall))
                return MakeMove(hand.n[rank] == 2 ? KAVDOR_TYPE_PAIR : KAVDOR_TYPE_THREE, rank, 1,
                                hand.n[rank]);
        for (int rank = kRanks - 1; rank >= 0; --rank)
            if (hand.n[rank] >= 1 && hand.n[rank] <= 3 && !(king && rank >= kSmall))
                return MakeMove(KAVDOR_TYPE_SINGLE, rank, 1, 1);
    }
    return MakeMove(KAVDOR_TYPE_SINGLE, low, 1, 1);
}

Move FollowPolicy(const Sim& sim, int seat)
{
    const Hand& hand = sim.hands[seat];
    const Move& standing = sim.standing;
    Move whole = Classify(hand);
    if (!whole.IsPass() && Beats(whole, standing))
        return whole;
    Move move;
    // A partner's play is left to stand.
    if (SameSide(sim, seat, sim.standingSeat))
        return move;
    if (FindBeat(hand, standing, move))
        return move;
    // A bomb when the opponent is close to going out, or when it nearly empties the hand.
    if (FindBomb(hand, &standing, move))
    {
        Hand after = hand;
        Apply(after, move);
        if (sim.hands[sim.standingSeat].total <= 10 || after.total <= 6 || !Classify(after).IsPass())
            return move;
    }
    return Move();
}

void PlayMove(Sim& sim, int seat, const Move& move)
{
    sim.turn = (seat + 1) % kSeats;
    if (move.IsPass())
        return;
    Apply(sim.hands[seat], move);
    if (move.type == KAVDOR_TYPE_KING_BOMB || (move.type == KAVDOR_TYPE_BOMB && move.len == 8))
        sim.multiple *= 3;
    else if (move.type == KAVDOR_TYPE_BOMB && move.len >= 6)
        sim.multiple *= 2;
    if (seat == sim.landlord)
        ++sim.landlordPlays;
    else
        sim.farmerPlayed = true;
    sim.standing = move;
    sim.standingSeat = seat;
}

// Plays the hand out; the seat that went out, or -1 when the play ran away (never expected).
int Rollout(Sim& sim)
{
    for (int step = 0; step < 4000; ++step)
    {
        int seat = sim.turn;
        if (sim.hands[seat].total == 0)
            return seat;
        bool leads = sim.standingSeat < 0 || sim.standingSeat == seat;
        Move move = leads ? LeadPolicy(sim, seat) : FollowPolicy(sim, seat);
        PlayMove(sim, seat, move);
        if (!move.IsPass() && sim.hands[seat].total == 0)
            return seat;
    }
    return -1;
}

// The referee's score of the hand for `seat`, per point of the bid.
int Score(const Sim& sim, int winner, int seat)
{
    if (winner < 0)
        return 0;
    int stake = sim.multiple;
    if (winner == sim.landlord)
    {
        int factor = sim.farmerPlayed ? 1 : 2;
        return seat == sim.landlord ? 3 * stake * factor : -stake * factor;
    }
    int factor = sim.landlordPlays <= 1 ? 2 : 1;
    return seat == sim.landlord ? -3 * stake * factor : stake * factor;
}

// ---------------------------------------------------------------------------------------------
// Guessing the hidden hands.

struct Random
{
    uint64_t state;

    uint64_t Next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(((Next() >> 32) * bound) >> 32); }
};

uint64_t Mix(uint64_t a, uint64_t b)
{
    Random random{a ^ (b * 0xD1B54A32D192ED03ull)};
    return random.Next();
}

// What a seat can tell about where the cards it does not see are.
struct Unseen
{
    int seat = 0;
    std::array<Hand, kSeats> known; // its own hand; the landlord's base cards not played yet
    std::array<int, kSeats> need{}; // unknown cards of each other seat
    std::vector<uint8_t> pool;      // the ranks of the unseen cards
};

Unseen ReadUnseen(const KavdorSeatView& view)
{
    Unseen unseen;
    unseen.seat = view.seat;
    Hand rest;
    for (int rank = 0; rank < kRanks; ++rank)
        rest.Add(rank, rank >= kSmall ? 2 : 8);
    Hand own = HandOf(view.hand);
    std::array<Hand, kSeats> played;
    for (const KavdorSeatView::Play& play : view.plays)
        if (play.seat >= 0 && play.seat < kSeats)
            for (uint8_t card : play.cards)
                if (RankOf(card) >= 0)
                    played[play.seat].Add(RankOf(card), 1);
    for (int rank = 0; rank < kRanks; ++rank)
    {
        int gone = own.n[rank];
        for (const Hand& seatPlayed : played)
            gone += seatPlayed.n[rank];
        rest.Add(rank, -std::min<int>(gone, rest.n[rank]));
    }
    unseen.known[view.seat] = own;
    int landlord = view.landlordSeat;
    if (landlord >= 0 && landlord < kSeats && landlord != view.seat)
    {
        // The base cards the landlord took and has not played are still his, whichever copy
        // of a rank he played.
        Hand base = HandOf(view.baseCards);
        for (int rank = 0; rank < kRanks; ++rank)
        {
            int kept = std::min<int>(std::max(0, base.n[rank] - played[landlord].n[rank]), rest.n[rank]);
            unseen.known[landlord].Add(rank, kept);
            rest.Add(rank, -kept);
        }
    }
    for (int other = 0; other < kSeats; ++other)
    {
        if (other == view.seat)
            continue;
        int count = view.cardCounts[other];
        if (landlord < 0 && count <= 0)
            count = 25;
        unseen.need[other] = std::max(0, count - unseen.known[other].total);
    }
    for (int rank = 0; rank < kRanks; ++rank)
        for (int i = 0; i < rest.n[rank]; ++i)
            unseen.pool.push_back(static_cast<uint8_t>(rank));
    return unseen;
}

// One guess at the hidden hands; the cards left over (the base cards during the bidding) go to
// `left`.
std::array<Hand, kSeats> Guess(const Unseen& unseen, Random& random, Hand* left = nullptr)
{
    std::vector<uint8_t> pool = unseen.pool;
    std::array<Hand, kSeats> hands = unseen.known;
    size_t next = 0;
    for (int other = 0; other < kSeats; ++other)
    {
        if (other == unseen.seat)
            continue;
        for (int i = 0; i < unseen.need[other] && next < pool.size(); ++i, ++next)
        {
            size_t pick = next + random.Below(static_cast<uint32_t>(pool.size() - next));
            std::swap(pool[next], pool[pick]);
            hands[other].Add(pool[next], 1);
        }
    }
    if (left != nullptr)
        for (; next < pool.size(); ++next)
            left->Add(pool[next], 1);
    return hands;
}

// ---------------------------------------------------------------------------------------------
// Candidates.

// Every play of distinct ranks the hand holds that may be made now, cut down to a few per
// pattern and length: the lowest two and the highest, then the third lowest, as far as
// `limit` goes. The quick player's own choice comes first.
std::vector<Move> Candidates(const Hand& hand, const Move* standing, const Move& preferred, int limit)
{
    std::vector<Move> all;
    auto add = [&](const Move& move)
    {
        if (standing == nullptr || Beats(move, *standing))
            all.push_back(move);
    };
    for (int rank = 0; rank < kRanks; ++rank)
    {
        int held = hand.n[rank];
        if (held >= 1)
            add(MakeMove(KAVDOR_TYPE_SINGLE, rank, 1, 1));
        if (held >= 2)
            add(MakeMove(KAVDOR_TYPE_PAIR, rank, 1, 2));
        if (held >= 3 && rank <= kTwo)
        {
            add(MakeMove(KAVDOR_TYPE_THREE, rank, 1, 3));
            uint16_t wings = 0;
            if (PickWings(hand, 1u << rank, 1, wings))
                add(MakeMove(KAVDOR_TYPE_THREE_TWO, rank, 1, 5, wings));
        }
        for (int size = 4; size <= held && rank <= kTwo; ++size)
            add(MakeMove(KAVDOR_TYPE_BOMB, rank, size, size));
    }
    if (hand.KingBomb())
        add(MakeMove(KAVDOR_TYPE_KING_BOMB, kBig, 4, 4));
    for (int start = 0; start <= kAce; ++start)
    {
        for (int len = 1; start + len - 1 <= kAce && hand.n[start + len - 1] >= 1; ++len)
        {
            if (len >= 5 && len <= 12)
                add(MakeMove(KAVDOR_TYPE_STRAIGHT, start, len, len));
            if (len >= 3 && RunAt(hand, start, len, 2, 8))
                add(MakeMove(KAVDOR_TYPE_PAIRS, start, len, 2 * len));
            if (len >= 2 && RunAt(hand, start, len, 3, 8))
            {
                add(MakeMove(KAVDOR_TYPE_THREES, start, len, 3 * len));
                uint16_t wings = 0;
                if (PickWings(hand, RunMask(start, len), len, wings))
                    add(MakeMove(KAVDOR_TYPE_AIRPLANE, start, len, 5 * len, wings));
            }
        }
    }
    std::stable_sort(all.begin(), all.end(),
                     [](const Move& a, const Move& b)
                     {
                         if (a.type != b.type)
                             return a.type < b.type;
                         if (a.count != b.count)
                             return a.count < b.count;
                         return a.key < b.key;
                     });
    std::array<std::vector<Move>, 4> tiers;
    for (size_t i = 0; i < all.size();)
    {
        size_t end = i;
        while (end < all.size() && all[end].type == all[i].type && all[end].count == all[i].count)
            ++end;
        size_t size = end - i;
        tiers[0].push_back(all[i]);
        if (size >= 2)
            tiers[1].push_back(all[i + 1]);
        if (size >= 3)
            tiers[2].push_back(all[end - 1]);
        if (size >= 4)
            tiers[3].push_back(all[i + 2]);
        i = end;
    }
    std::vector<Move> kept;
    if (!preferred.IsPass())
        kept.push_back(preferred);
    for (const std::vector<Move>& tier : tiers)
        for (const Move& move : tier)
            if (static_cast<int>(kept.size()) < limit &&
                std::find(kept.begin(), kept.end(), move) == kept.end())
                kept.push_back(move);
    return kept;
}

// The cards of the hand that make up the play, sorted as a play is.
CardList CardsOf(const CardList& hand, const Move& move)
{
    Hand full;
    for (int rank = 0; rank < kRanks; ++rank)
        full.Add(rank, 8);
    Hand after = full;
    Apply(after, move);
    CardList cards;
    std::array<int, kRanks> need{};
    for (int rank = 0; rank < kRanks; ++rank)
        need[rank] = full.n[rank] - after.n[rank];
    for (uint8_t card : hand)
    {
        int rank = RankOf(card);
        if (rank >= 0 && need[rank] > 0)
        {
            --need[rank];
            cards.push_back(card);
        }
    }
    KavdorSortCards(cards);
    return cards;
}

bool Legal(const CardList& cards, const CardList& standing)
{
    int count = static_cast<int>(cards.size());
    if (count == 0 || KavdorGetCardType(cards.data(), count, nullptr) < 0)
        return false;
    return standing.empty() || KavdorCompareCardGroup(cards.data(), count, standing.data(),
                                                      static_cast<int>(standing.size())) == 1;
}

// The simple bot's play for the view; the answer when the search has nothing better to offer.
KavdorHandChoice EasyPlay(const KavdorSeatView& view, bool leading)
{
    CardList hand = view.hand;
    KavdorSortCards(hand);
    static const CardList kNothing;
    KavdorSeatPlays played{&kNothing, &kNothing, &kNothing, &kNothing};
    if (!leading && view.standingSeat >= 0 && view.standingSeat < kSeats)
        played[view.standingSeat] = &view.standing;
    bool partner = !leading && view.seat != view.landlordSeat && view.standingSeat != view.landlordSeat;
    KavdorHandChoice choice = KavdorBotCL::ChoosePlay(hand, played, view.seat, leading, partner);
    if (choice.action == KavdorHandChoice::PLAY && Legal(choice.cards, leading ? CardList() : view.standing))
        return KavdorSelectCards(view.hand, choice.cards);
    KavdorHandChoice fallback;
    if (!leading)
    {
        fallback.action = KavdorHandChoice::PASS;
        return fallback;
    }
    return KavdorSelectCards(view.hand, CardList{hand.back()});
}

uint64_t ViewSeed(uint64_t seed, const KavdorSeatView& view)
{
    uint64_t h = Mix(seed, static_cast<uint64_t>(view.seat) + 1);
    h = Mix(h, view.plays.size());
    for (uint8_t card : view.hand)
        h = Mix(h, card);
    for (int bid : view.bids)
        h = Mix(h, static_cast<uint64_t>(bid + 2));
    return h;
}
} // namespace

KavdorStrongBotCL::KavdorStrongBotCL() = default;

KavdorStrongBotCL::KavdorStrongBotCL(const Settings& settings) : m_settings(settings) {}

double KavdorStrongBotCL::LandlordValue(const KavdorSeatView& view) const
{
    KavdorSeatView bidding = view;
    bidding.landlordSeat = -1;
    bidding.plays.clear();
    Unseen unseen = ReadUnseen(bidding);
    Random random{ViewSeed(m_settings.seed, view)};
    Hand own = HandOf(view.hand);
    int rollouts = std::max(1, m_settings.bidRollouts);
    int64_t sum = 0;
    for (int i = 0; i < rollouts; ++i)
    {
        Sim sim;
        Hand base;
        sim.hands = Guess(unseen, random, &base);
        sim.hands[view.seat] = own;
        for (int rank = 0; rank < kRanks; ++rank)
            sim.hands[view.seat].Add(rank, base.n[rank]);
        sim.landlord = view.seat;
        sim.turn = view.seat;
        int winner = Rollout(sim);
        sum += Score(sim, winner, view.seat);
    }
    return static_cast<double>(sum) / rollouts;
}

int KavdorStrongBotCL::ChooseBid(const KavdorSeatView& view) const
{
    int highest = *std::max_element(view.bids.begin(), view.bids.end());
    if (highest >= 3 || view.hand.empty())
        return -1;
    double value = LandlordValue(view);
    int bid = -1;
    for (int points = 3; points >= 1 && bid < 0; --points)
        if (value > m_settings.bidThresholds[points - 1])
            bid = points;
    return bid > highest ? bid : -1;
}

KavdorHandChoice KavdorStrongBotCL::ChoosePlay(const KavdorSeatView& view) const
{
    if (view.hand.empty() || view.seat < 0 || view.seat >= kSeats || view.landlordSeat < 0 ||
        view.landlordSeat >= kSeats)
        return KavdorHandChoice();
    bool leading = view.leading || view.standing.empty() || view.standingSeat < 0 ||
                   view.standingSeat >= kSeats || view.standingSeat == view.seat;
    KavdorHandChoice pass;
    pass.action = KavdorHandChoice::PASS;

    // The whole hand in one play wins at once.
    CardList sorted = view.hand;
    KavdorSortCards(sorted);
    if (Legal(sorted, leading ? CardList() : view.standing))
        return KavdorSelectCards(view.hand, sorted);

    Sim base;
    base.landlord = view.landlordSeat;
    base.turn = view.seat;
    for (int seat = 0; seat < kSeats; ++seat)
        base.hands[seat].total = view.cardCounts[seat];
    base.hands[view.seat] = HandOf(view.hand);
    if (!leading)
    {
        base.standing = Classify(HandOf(view.standing));
        base.standingSeat = view.standingSeat;
        if (base.standing.IsPass())
            return EasyPlay(view, leading);
    }
    for (const KavdorSeatView::Play& play : view.plays)
    {
        if (play.cards.empty())
            continue;
        if (play.seat == view.landlordSeat)
            ++base.landlordPlays;
        else
            base.farmerPlayed = true;
        int count = static_cast<int>(play.cards.size());
        int type = KavdorGetCardType(play.cards.data(), count, nullptr);
        if (type == KAVDOR_TYPE_KING_BOMB || (type == KAVDOR_TYPE_BOMB && count == 8))
            base.multiple *= 3;
        else if (type == KAVDOR_TYPE_BOMB && count >= 6)
            base.multiple *= 2;
    }

    Move preferred = leading ? LeadPolicy(base, view.seat) : FollowPolicy(base, view.seat);
    std::vector<Move> candidates = Candidates(base.hands[view.seat], leading ? nullptr : &base.standing,
                                              preferred, std::max(1, m_settings.maxCandidates));
    if (!leading)
        candidates.insert(candidates.begin(), Move());
    if (candidates.empty())
        return EasyPlay(view, leading);

    size_t best = 0;
    if (candidates.size() > 1)
    {
        Unseen unseen = ReadUnseen(view);
        Random random{ViewSeed(m_settings.seed, view)};
        std::vector<std::array<Hand, kSeats>> guesses;
        std::vector<int64_t> sums(candidates.size(), 0);
        std::vector<size_t> alive(candidates.size());
        std::iota(alive.begin(), alive.end(), 0);
        int rounds = static_cast<int>(std::ceil(std::log2(static_cast<double>(candidates.size()))));
        size_t done = 0;
        // Successive halving: every candidate still in the race is played out on the same
        // guesses, and the worse half leaves after each round.
        for (int round = 0; round < rounds; ++round)
        {
            size_t per = std::max<size_t>(8, static_cast<size_t>(m_settings.playRollouts) /
                                                 (static_cast<size_t>(rounds) * alive.size()));
            while (guesses.size() < done + per)
                guesses.push_back(Guess(unseen, random));
            for (size_t c : alive)
            {
                for (size_t g = done; g < done + per; ++g)
                {
                    Sim sim = base;
                    sim.hands = guesses[g];
                    PlayMove(sim, view.seat, candidates[c]);
                    int winner = sim.hands[view.seat].total == 0 ? view.seat : Rollout(sim);
                    sums[c] += Score(sim, winner, view.seat);
                }
            }
            done += per;
            std::stable_sort(alive.begin(), alive.end(),
                             [&](size_t a, size_t b) { return sums[a] > sums[b]; });
            if (round + 1 < rounds)
                alive.resize((alive.size() + 1) / 2);
        }
        best = alive.front();
    }

    const Move& move = candidates[best];
    if (move.IsPass())
        return pass;
    CardList cards = CardsOf(view.hand, move);
    if (!Legal(cards, leading ? CardList() : view.standing))
        return EasyPlay(view, leading);
    return KavdorSelectCards(view.hand, cards);
}

// ---------------------------------------------------------------------------------------------
// Hands between the two levels.

uint64_t KavdorBotHandCL::ShuffleSeed(uint64_t dealSeed, int deal)
{
    return Mix(dealSeed, static_cast<uint64_t>(deal));
}

KavdorBotHandResult KavdorBotHandCL::Play(uint64_t dealSeed, int firstBidder,
                                          const std::array<KavdorBotLevel, 4>& levels,
                                          const KavdorStrongBotCL& hard, const Observer& observer)
{
    using Clock = std::chrono::steady_clock;
    KavdorBotHandResult result;
    CGameKavdorLogicCl referee;
    auto idOf = [](int seat) { return seat + 1; };
    for (int seat = 0; seat < kSeats; ++seat)
        referee.AddPlayer(idOf(seat));
    auto handOf = [&](int seat)
    {
        CardList hand = referee.GetPlayerById(idOf(seat))->Hand();
        KavdorSortCards(hand);
        return hand;
    };
    auto seconds = [](Clock::time_point since)
    { return std::chrono::duration<double>(Clock::now() - since).count(); };
    auto threadSeconds = []
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    };

    // The bidding, dealt again as a table deals when everybody declines.
    int landlord = -1;
    int bid = 0;
    std::array<int, 4> bids{};
    CardList baseCards;
    for (int deal = 0; landlord < 0; ++deal)
    {
        auto engine = std::make_shared<std::mt19937_64>(ShuffleSeed(dealSeed, deal));
        referee.SetRandomSource([engine](uint32_t bound)
                                { return static_cast<uint32_t>((*engine)() % bound); });
        referee.CreateCard(2);
        referee.Shuffle();
        referee.StartGame();
        baseCards.clear();
        while (referee.GetStockNum() > 0)
            baseCards.push_back(referee.PopStockCard());
        bids.fill(0);
        result.deals = deal + 1;
        for (int i = 0; i < kSeats && landlord < 0; ++i)
        {
            int seat = (firstBidder + i) % kSeats;
            KavdorSeatView view;
            view.seat = seat;
            view.hand = handOf(seat);
            view.cardCounts.fill(25);
            view.firstBidder = firstBidder;
            view.bids = bids;
            int highest = *std::max_element(bids.begin(), bids.end());
            Clock::time_point start = Clock::now();
            double cpuStart = threadSeconds();
            int value = levels[seat] == KavdorBotLevel::EASY ? KavdorBotCL::ChooseBid(view.hand, highest)
                                                             : hard.ChooseBid(view);
            double spent = seconds(start), cpu = threadSeconds() - cpuStart;
            // As at a table: a bid that does not raise the best one counts as declining.
            if (value < 1 || value > 3 || value <= highest)
                value = -1;
            bids[seat] = value;
            if (observer)
                observer(view, levels[seat], value, nullptr, spent, cpu);
            if (value == 3)
            {
                landlord = seat;
                bid = 3;
            }
        }
        if (landlord >= 0)
            break;
        for (int i = 0; i < kSeats; ++i)
        {
            int seat = (firstBidder + i) % kSeats;
            if (bids[seat] > 0 && (landlord < 0 || bids[seat] > bids[landlord]))
                landlord = seat;
        }
        if (landlord >= 0)
            bid = bids[landlord];
        else if (deal + 1 >= 5)
        {
            landlord = firstBidder;
            bid = 1;
        }
    }
    result.landlordSeat = landlord;
    result.bid = bid;
    referee.SetLandlordId(idOf(landlord));
    referee.SetBaseScore(bid);
    CardList& landlordHand = referee.GetPlayerById(idOf(landlord))->Hand();
    landlordHand.insert(landlordHand.end(), baseCards.begin(), baseCards.end());
    for (int seat = 0; seat < kSeats; ++seat)
        referee.GetPlayerById(idOf(seat))->History().push_back(CardList());

    // The play, turn by turn as a table asks for it.
    std::array<CardList, kSeats> roundPlays;
    std::vector<KavdorSeatView::Play> plays;
    int standingSeat = -1;
    CardList standing;
    int turn = landlord;
    auto newRound = [&](int leader)
    {
        standingSeat = -1;
        standing.clear();
        for (int seat = 0; seat < kSeats; ++seat)
            roundPlays[seat] = seat == leader ? CardList() : CardList{kCardNewRound};
    };
    newRound(landlord);
    int winner = -1;
    for (int step = 0; step < 10000 && winner < 0; ++step)
    {
        int seat = turn;
        bool leading = standingSeat < 0;
        KavdorSeatView view;
        view.seat = seat;
        view.hand = handOf(seat);
        for (int s = 0; s < kSeats; ++s)
            view.cardCounts[s] = static_cast<int>(referee.GetPlayerById(idOf(s))->Hand().size());
        view.firstBidder = firstBidder;
        view.bids = bids;
        view.landlordSeat = landlord;
        view.bid = bid;
        view.baseCards = baseCards;
        view.plays = plays;
        view.leading = leading;
        view.standingSeat = standingSeat;
        view.standing = standing;

        Clock::time_point start = Clock::now();
        double cpuStart = threadSeconds();
        KavdorHandChoice choice;
        if (levels[seat] == KavdorBotLevel::EASY)
        {
            KavdorSeatPlays played{&roundPlays[0], &roundPlays[1], &roundPlays[2], &roundPlays[3]};
            bool partner = standingSeat >= 0 && seat != landlord && standingSeat != landlord;
            choice = KavdorBotCL::ChoosePlay(view.hand, played, seat, leading, partner);
        }
        else
        {
            choice = hard.ChoosePlay(view);
        }
        double spent = seconds(start), cpu = threadSeconds() - cpuStart;
        if (observer)
            observer(view, levels[seat], 0, &choice, spent, cpu);

        // The referee's check, and what a table does with a refused play: a pass when
        // following, the lowest card when leading.
        auto tryPlay = [&](CardList cards)
        {
            KavdorSortCards(cards);
            int answer = referee.OutCard(idOf(seat), cards.data(), static_cast<int>(cards.size()));
            if (answer != KAVDOR_OUT_ACCEPTED && answer != KAVDOR_OUT_LAST_CARDS)
                return false;
            referee.CommitOutCard(idOf(seat));
            plays.push_back(KavdorSeatView::Play{seat, cards});
            standingSeat = seat;
            standing = cards;
            roundPlays[seat] = cards;
            if (answer == KAVDOR_OUT_LAST_CARDS)
                winner = seat;
            turn = (seat + 1) % kSeats;
            return true;
        };
        if (choice.action == KavdorHandChoice::PLAY && tryPlay(choice.cards))
            continue;
        if (choice.action == KavdorHandChoice::PLAY && levels[seat] == KavdorBotLevel::HARD)
            ++result.refusedHard;
        if (!leading)
        {
            referee.GetPlayerById(idOf(seat))->History().push_back(CardList());
            plays.push_back(KavdorSeatView::Play{seat, CardList()});
            roundPlays[seat].clear();
            turn = (seat + 1) % kSeats;
            if (turn == standingSeat)
                newRound(turn);
            continue;
        }
        if (!tryPlay(CardList{view.hand.back()}))
            break;
    }
    result.plays = std::move(plays);
    result.multiple = referee.GetMultiple();
    result.landlordWon = winner == landlord;
    for (int seat = 0; seat < kSeats; ++seat)
        result.scores[seat] = winner < 0 ? 0 : referee.GetScore(idOf(seat));
    return result;
}
