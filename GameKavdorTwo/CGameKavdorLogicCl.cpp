#include "CGameKavdorLogicCl.h"

#include <algorithm>
#include <array>
#include <vector>

#include "CardCode.h"
#include "KavdorCardTables.h"

using namespace kavdor;

namespace
{
// Reads a card list; a position outside the list reads as 255, never as memory beyond it.
struct ListReader
{
    const uint8_t* cards;
    int count;
    uint8_t operator()(int i) const { return i >= 0 && i < count ? cards[i] : kCardNone; }
};

// The sequence test: walking groups of `step` cards, each group's face is one above the next
// group's (the ace above the king), each non-last face is held exactly `step` times, no 2 takes
// part, and the last group is all one face. Answers the face of the last (lowest) group, or -1.
template <class At>
int SequenceKey(At at, int count, const FaceCounts& counts, int step)
{
    int p = 0;
    for (;;)
    {
        uint8_t u = at(p);
        int faceU = Face(u);
        if (u >= 1 && u <= 52 && faceU == 2)
            return -1;
        if (p + step > count - 1)
        {
            for (int q = p; q < count; ++q)
                if (Face(at(q)) != faceU)
                    return -1;
            return faceU;
        }
        int faceV = Face(at(p + step));
        bool held = counts.Of(u) == step;
        if (held && (faceU == faceV + 1 || (faceU == 1 && faceV == 13)))
        {
            p += step;
            continue;
        }
        return -1;
    }
}

// Consecutive threes with as many pairs as wings; -1 when the list is not one.
int AirplaneKey(const ListReader& at, int count, const FaceCounts& counts)
{
    // Where each three starts; a play has at most a few, larger lists spill to the heap.
    std::array<int, 24> local;
    std::vector<int> spilled;
    int* starts = local.data();
    if (count / 3 + 1 > static_cast<int>(local.size()))
    {
        spilled.resize(count / 3 + 1);
        starts = spilled.data();
    }
    int threes = 0;
    int pairs = 0;
    for (int i = 0; i < count;)
    {
        int held = counts.Of(at(i));
        if (held == 3)
        {
            starts[threes++] = i;
            i += 3;
        }
        else if (held == 2)
        {
            ++pairs;
            i += 2;
        }
        else
        {
            return -1;
        }
    }
    if (threes != pairs || threes * 3 < 6)
        return -1;
    auto threeCard = [&](int j) { return j >= 0 && j < threes * 3 ? at(starts[j / 3] + j % 3) : kCardNone; };
    if (IsJoker(threeCard(0)))
        return -1;
    FaceCounts threeCounts;
    threeCounts.Count(threeCard, threes * 3);
    return SequenceKey(threeCard, threes * 3, threeCounts, 3);
}

int ThreeTwoKey(const ListReader& at, const FaceCounts& counts)
{
    int key = -1;
    for (int i = 0; i < 5; ++i)
    {
        int held = counts.Of(at(i));
        if (held != 3 && held != 2)
            return -1;
        if (held == 3)
            key = at(i);
    }
    return key;
}

int Classify(const uint8_t* cards, int count, int* outKey)
{
    ListReader at{cards, count};
    FaceCounts counts;
    counts.Count(at, count);
    uint8_t first = cards[0];
    int key = -1;
    // The tests run in order; the first that yields a key above 0 decides.
    auto found = [&](int type) -> int {
        *outKey = key;
        return type;
    };

    if (count == 4 && IsJoker(cards[0]) && IsJoker(cards[1]) && IsJoker(cards[2]) && IsJoker(cards[3]))
    {
        key = first;
        if (key > 0)
            return found(KAVDOR_TYPE_KING_BOMB);
    }
    if (count >= 4 && count <= 8 && counts.Of(first) == count)
    {
        key = Face(first);
        if (key > 0)
            return found(KAVDOR_TYPE_BOMB);
    }
    if (count > 9 && count % 5 == 0)
    {
        key = AirplaneKey(at, count, counts);
        if (key > 0)
            return found(KAVDOR_TYPE_AIRPLANE);
    }
    if (count == 5)
    {
        key = ThreeTwoKey(at, counts);
        if (key > 0)
            return found(KAVDOR_TYPE_THREE_TWO);
    }
    if (count >= 6 && count % 3 == 0 && !IsJoker(first))
    {
        key = SequenceKey(at, count, counts, 3);
        if (key > 0)
            return found(KAVDOR_TYPE_THREES);
    }
    if (count > 5 && count % 2 == 0 && !IsJoker(first))
    {
        key = SequenceKey(at, count, counts, 2);
        if (key > 0)
            return found(KAVDOR_TYPE_PAIRS);
    }
    if (count >= 5 && count <= 12 && !IsJoker(first))
    {
        key = SequenceKey(at, count, counts, 1);
        if (key > 0)
            return found(KAVDOR_TYPE_STRAIGHT);
    }
    if (count == 3 && counts.Of(first) == 3)
    {
        key = Face(first);
        if (key > 0)
            return found(KAVDOR_TYPE_THREE);
    }
    if (count == 2 && Face(cards[0]) == Face(cards[1]))
    {
        key = Face(first);
        if (key > 0)
            return found(KAVDOR_TYPE_PAIR);
    }
    if (count == 1)
    {
        key = Face(first);
        if (key > 0)
            return found(KAVDOR_TYPE_SINGLE);
    }
    *outKey = -1;
    return KAVDOR_TYPE_NONE;
}

bool IsSequenceType(int type)
{
    return type == KAVDOR_TYPE_THREE_TWO || type == KAVDOR_TYPE_STRAIGHT || type == KAVDOR_TYPE_PAIRS ||
           type == KAVDOR_TYPE_THREES || type == KAVDOR_TYPE_AIRPLANE;
}
} // namespace

int KavdorGetCardType(const uint8_t* cards, int count, int* outKey)
{
    int key = -1;
    int type = cards == nullptr || count <= 0 ? KAVDOR_TYPE_NONE : Classify(cards, count, &key);
    if (outKey != nullptr)
        *outKey = key;
    return type;
}

int KavdorCompareCard(uint8_t a, uint8_t b)
{
    // Jokers go by code, before faces: a joker beats only what lies below its code.
    if (a == kCardBigJoker)
        return b < kCardBigJoker ? 1 : -1;
    if (b == kCardBigJoker)
        return -1;
    if (a == kCardSmallJoker)
        return b < kCardSmallJoker ? 1 : -1;
    if (b == kCardSmallJoker)
        return -1;
    int rankA = kTables.rank[a];
    int rankB = kTables.rank[b];
    if (rankA == 0 && rankB == 0)
        return -2;
    if (rankA == rankB)
        return 0;
    return rankA > rankB ? 1 : -1;
}

int KavdorCompareCardGroup(const uint8_t* cardsA, int countA, const uint8_t* cardsB, int countB)
{
    int keyA = -1;
    int keyB = -1;
    int typeA = KavdorGetCardType(cardsA, countA, &keyA);
    int typeB = KavdorGetCardType(cardsB, countB, &keyB);
    if (typeA == KAVDOR_TYPE_NONE || typeB == KAVDOR_TYPE_NONE)
        return -2;
    if (typeA == KAVDOR_TYPE_KING_BOMB)
        return 1;
    if (typeB == KAVDOR_TYPE_KING_BOMB)
        return -1;
    if (typeA == KAVDOR_TYPE_BOMB)
    {
        if (typeB != KAVDOR_TYPE_BOMB || countB < countA)
            return 1;
        if (countB > countA)
            return -1;
    }
    else if (typeB == KAVDOR_TYPE_BOMB)
    {
        return -1;
    }
    else if (typeA != typeB || (IsSequenceType(typeA) && countA != countB))
    {
        return -2;
    }
    return KavdorCompareCard(static_cast<uint8_t>(keyA), static_cast<uint8_t>(keyB));
}

void KavdorSortCards(CardList& cards)
{
    // Real cards are sorted by bucket: the big jokers, the small jokers, then the faces from
    // the 2 down to the 3, each bucket in its original order. A list with other bytes takes the
    // comparison itself, whose order for those bytes is not a simple ranking.
    std::array<int, 16> sizes{};
    for (uint8_t card : cards)
    {
        if (card < 1 || card > kCardBigJoker)
        {
            std::stable_sort(cards.begin(), cards.end(),
                             [](uint8_t a, uint8_t b) { return KavdorCompareCard(a, b) == 1; });
            return;
        }
    }
    auto bucket = [](uint8_t card) {
        return card == kCardBigJoker ? 0 : card == kCardSmallJoker ? 1 : 15 - kTables.rank[card];
    };
    for (uint8_t card : cards)
        ++sizes[bucket(card)];
    std::array<int, 16> next{};
    for (int b = 1; b < 16; ++b)
        next[b] = next[b - 1] + sizes[b - 1];
    CardList sorted(cards.size());
    for (uint8_t card : cards)
        sorted[next[bucket(card)]++] = card;
    cards.swap(sorted);
}

CGameKavdorLogicCl::CGameKavdorLogicCl()
{
    InitCardTypeName();
}

void CGameKavdorLogicCl::NewRound()
{
}

void CGameKavdorLogicCl::InitCardTypeName()
{
    m_typeNames = {"天王炸弹", "炸弹", "单牌", "对子", "三张", "三带二", "顺子", "连对", "三顺", "飞机带翅膀"};
}

int CGameKavdorLogicCl::GetCardType(const uint8_t* cards, int count, int& outCount, int& outKey)
{
    if (cards == nullptr || count <= 0)
        return KAVDOR_TYPE_NONE;
    outCount = count;
    return Classify(cards, count, &outKey);
}

bool CGameKavdorLogicCl::IsValidCardType(const uint8_t* cards, int count)
{
    return KavdorGetCardType(cards, count, nullptr) >= 0;
}

bool CGameKavdorLogicCl::GetCardTypeName(const uint8_t* cards, int count, std::string& outText)
{
    int type = KavdorGetCardType(cards, count, nullptr);
    if (type < 0 || static_cast<size_t>(type) >= m_typeNames.size())
        return false;
    outText = m_typeNames[type];
    return true;
}

int CGameKavdorLogicCl::CompareCard(uint8_t a, uint8_t b)
{
    return KavdorCompareCard(a, b);
}

int CGameKavdorLogicCl::CompareCardGroup(int /*idA*/, const uint8_t* cardsA, int countA, int /*idB*/,
                                         const uint8_t* cardsB, int countB)
{
    return KavdorCompareCardGroup(cardsA, countA, cardsB, countB);
}

bool CGameKavdorLogicCl::StartGame()
{
    m_winnerId = 0;
    m_landlordId = 0;
    // A deal needs four players and the 100 cards they are dealt; a short stock would hand out
    // bytes that are no cards.
    if (m_players.size() != 4 || m_stock.size() < 100)
        return false;
    // A new hand starts from nothing: no cards, plays or multiplier left from a previous one.
    m_multiple = 1;
    ClearOutCard();
    for (auto& player : m_players)
    {
        player->Hand().clear();
        player->History().clear();
    }
    for (auto& player : m_players)
        for (int i = 0; i < 25; ++i)
            player->Hand().push_back(PopStockCard());
    return true;
}

int CGameKavdorLogicCl::OutCard(int id, const uint8_t* cards, int count)
{
    GameCardPlayerCL* player = GetPlayerById(id);
    if (player == nullptr)
        return KAVDOR_OUT_REFUSED;
    // The player's own play stands highest: the round is his again. This referee keeps its
    // history in the caller's hands and does nothing here, but a referee derived from it may
    // start its round on this call, so the step stays.
    int highest = 0;
    if (GetMaxOutPlayer(highest) && highest == id)
        NewRound();
    if (count < 0 || (cards == nullptr && count > 0))
        count = 0;

    // Every card must be in the hand, each copy of a code counted: a player holding one 5
    // cannot play two.
    CardList remaining = player->Hand();
    for (int i = 0; i < count; ++i)
    {
        auto found = std::find(remaining.begin(), remaining.end(), cards[i]);
        if (found == remaining.end())
        {
            SetMessage("有一张牌不存在");
            return KAVDOR_OUT_REFUSED;
        }
        remaining.erase(found);
    }

    int type = KavdorGetCardType(cards, count, nullptr);
    if (type < 0)
    {
        SetMessage("牌型不可用");
        return KAVDOR_OUT_NO_PATTERN;
    }
    if (static_cast<size_t>(type) < m_typeNames.size())
        SetMessage(m_typeNames[type].c_str());
    if (!CanOutCard(id, cards, count))
    {
        SetMessage("不可出牌");
        return KAVDOR_OUT_TOO_LOW;
    }

    for (int i = 0; i < count; ++i)
        AddOutCard(id, cards[i]);
    player->Hand().swap(remaining);

    if (type == KAVDOR_TYPE_KING_BOMB || (type == KAVDOR_TYPE_BOMB && count == 8))
        m_multiple *= 3;
    else if (type == KAVDOR_TYPE_BOMB && (count == 6 || count == 7))
        m_multiple *= 2;

    if (!player->Hand().empty())
        return KAVDOR_OUT_ACCEPTED;
    NewRound();
    m_winnerId = id;
    return KAVDOR_OUT_LAST_CARDS;
}

bool CGameKavdorLogicCl::CanOutCard(int id, const uint8_t* cards, int count)
{
    for (auto& other : m_players)
    {
        if (other->GetId() == id || other->History().empty() || other->History().back().empty())
            continue;
        const CardList& last = other->History().back();
        if (CompareCardGroup(id, cards, count, other->GetId(), last.data(), static_cast<int>(last.size())) != 1)
            return false;
    }
    return true;
}

int CGameKavdorLogicCl::GetScore(int id)
{
    int stake = m_multiple * m_baseScore;
    if (m_winnerId == m_landlordId)
    {
        int factor = 2;
        for (auto& player : m_players)
            if (player->GetId() != m_landlordId && player->Hand().size() < 25)
                factor = 1;
        return id == m_landlordId ? 3 * stake * factor : -(stake * factor);
    }
    int factor = 1;
    if (GameCardPlayerCL* landlord = GetPlayerById(m_landlordId))
    {
        int plays = 0;
        for (const CardList& play : landlord->History())
            plays += play.empty() ? 0 : 1;
        if (plays <= 1)
            factor = 2;
    }
    return id == m_landlordId ? -3 * stake * factor : stake * factor;
}

bool CGameKavdorLogicCl::IsWinner(int id)
{
    return id == m_winnerId;
}
