// The hint search of the rule engine: finders for each pattern and the search that tries them
// in the order that lets repeated hints step through the candidates.

#include <algorithm>

#include "CGameKavdorLogicCl.h"
#include "KavdorCardTables.h"

using namespace kavdor;

namespace
{
// The list a search works on, with the face counts of its cards. Rotating the list in place
// does not change the counts, so they are taken once per search.
struct SearchList
{
    SearchList(CardList& cards, int length, const GameCardLogicCL::RandomSource& source)
        : list(cards), count(std::clamp(length, 0, static_cast<int>(cards.size()))), random(source)
    {
        counts.Count([this](int i) { return list[i]; }, count);
    }

    // A position outside the list reads as 255, never as memory beyond it.
    uint8_t At(int i) const { return i >= 0 && i < count ? list[i] : kCardNone; }
    int Held(uint8_t code) const { return counts.Of(code); }
    void RotateLeft(int by)
    {
        if (count > 0)
            std::rotate(list.begin(), list.begin() + by % count, list.begin() + count);
    }
    int Random() const { return count > 0 ? static_cast<int>(random(static_cast<uint32_t>(count)) % count) : 0; }

    CardList& list;
    int count;
    FaceCounts counts;
    const GameCardLogicCL::RandomSource& random;
};

int CountOfFace(const CardList& cards, int face)
{
    int found = 0;
    for (uint8_t card : cards)
        found += Face(card) == face;
    return found;
}

bool Contains(const CardList& cards, uint8_t code)
{
    return std::find(cards.begin(), cards.end(), code) != cards.end();
}

bool Bomb(const SearchList& s, int j, CardList& out)
{
    out.clear();
    if (j > s.count - 3)
        return false;
    int held = s.Held(s.At(j));
    if (held < 4 || held > 8)
        return false;
    int face = Face(s.At(j));
    for (int i = 0; i < s.count; ++i)
        if (Face(s.At(i)) == face)
            out.push_back(s.At(i));
    return true;
}

bool Single(const SearchList& s, int j, int mode, CardList& out)
{
    if (s.Held(s.At(j)) != mode + 1)
        return false;
    out.push_back(s.At(j));
    return true;
}

bool Pair(const SearchList& s, int j, int mode, CardList& out)
{
    if (s.Held(s.At(j)) != (mode == 0 ? 2 : 3))
        return false;
    int face = Face(s.At(j));
    for (int i = 0; i < s.count && out.size() < 2; ++i)
        if (Face(s.At(i)) == face)
            out.push_back(s.At(i));
    return out.size() >= 2;
}

bool Three(const SearchList& s, int j, CardList& out)
{
    if (s.Held(s.At(j)) != 3)
        return false;
    int face = Face(s.At(j));
    for (int i = 0; i < s.count; ++i)
        if (Face(s.At(i)) == face)
            out.push_back(s.At(i));
    return out.size() == 3;
}

bool ThreeWithTwo(SearchList& s, int j, CardList& out)
{
    if (!Three(s, j, out))
        return false;
    int face = Face(out[0]);
    // The wing is looked for from a random place, so that repeated hints vary it.
    s.RotateLeft(s.Random());
    CardList pair;
    for (int mode = 0; mode < 2; ++mode)
    {
        for (int i = 0; i < s.count; ++i)
        {
            if (Face(s.At(i)) == face)
                continue;
            pair.clear();
            if (Pair(s, i, mode, pair))
            {
                out.insert(out.end(), pair.begin(), pair.end());
                return true;
            }
        }
    }
    return false;
}

bool Straight(const SearchList& s, int j, int length, CardList& out)
{
    uint8_t start = s.At(j);
    int taken = 0;
    for (int t = 0; t < s.count; ++t)
    {
        uint8_t card = s.At((j + t) % s.count);
        if (!CGameKavdorLogicCl::IsNextValue(start, card, taken))
            continue;
        out.push_back(card);
        if (++taken == length)
            return true;
    }
    return false;
}

// Runs of pairs (width 2) or threes (width 3): each face of the run is matched `width` times;
// a match is taken only from a face the list holds at least `width` times.
bool Run(const SearchList& s, int j, int length, int width, CardList& out)
{
    int matched = 0;
    for (int t = 0; t < s.count; ++t)
    {
        uint8_t card = s.At((j + t) % s.count);
        if (!CGameKavdorLogicCl::IsNextValue(s.At(j), card, matched / width))
            continue;
        if (s.Held(card) >= width && CountOfFace(out, Face(card)) < width + 1)
            out.push_back(card);
        ++matched;
        if (static_cast<int>(out.size()) == length)
            return true;
    }
    return false;
}

bool Plane(SearchList& s, int j, const CardList& previous, int previousCount, CardList& out)
{
    int previousLength = std::clamp(previousCount, 0, static_cast<int>(previous.size()));
    FaceCounts previousCounts;
    previousCounts.Count([&](int i) { return previous[i]; }, previousLength);
    int threeCards = 0;
    for (int i = 0; i < previousLength; ++i)
        threeCards += previousCounts.Of(previous[i]) == 3;

    int matched = 0;
    CardList pair;
    for (int t = 0; t < s.count; ++t)
    {
        // The list may have been rotated by a failed wing step: read it afresh.
        uint8_t card = s.At((j + t) % s.count);
        if (!CGameKavdorLogicCl::IsNextValue(s.At(j), card, matched / 3))
            continue;
        if (s.Held(card) >= 3 && CountOfFace(out, Face(card)) < 4)
            out.push_back(card);
        ++matched;
        if (static_cast<int>(out.size()) != threeCards)
            continue;
        // The threes are complete: add wings, one pair per mode, from a random place.
        int from = s.Random();
        s.RotateLeft(from);
        for (int mode = 0; mode < 2; ++mode)
        {
            for (int q = 0; q < s.count; ++q)
            {
                pair.clear();
                if (!Pair(s, (from + q) % s.count, mode, pair))
                    continue;
                for (uint8_t wing : pair)
                    if (!Contains(out, wing))
                        out.push_back(wing);
                if (static_cast<int>(out.size()) == previousCount)
                    return true;
                break;
            }
        }
    }
    return false;
}
} // namespace

bool CGameKavdorLogicCl::IsNextValue(uint8_t a, uint8_t b, int k)
{
    auto isTwo = [](uint8_t c) { return c >= 1 && c <= 52 && Face(c) == 2; };
    if (isTwo(a) || isTwo(b))
        return false;
    auto value = [](uint8_t c) { return Face(c) == 1 ? 14 : Face(c); };
    return value(a) == value(b) - k;
}

bool CGameKavdorLogicCl::HasBomb(const uint8_t* cards, int count)
{
    if (cards == nullptr || count <= 0)
        return false;
    FaceCounts counts;
    counts.Count([cards](int i) { return cards[i]; }, count);
    if (counts.Of(kCardBigJoker) > 0 && counts.Of(kCardSmallJoker) > 0)
        return true;
    for (int held : counts.n)
        if (held > 3)
            return true;
    return false;
}

void CGameKavdorLogicCl::GroupCardByValue(const uint8_t* cards, int count, std::vector<CardList>& groups)
{
    for (int i = 0; cards != nullptr && i < count; ++i)
    {
        uint8_t card = cards[i];
        auto group = std::find_if(groups.begin(), groups.end(), [card](const CardList& g) {
            return !g.empty() && (Face(g.front()) == Face(card) || (IsJoker(g.front()) && IsJoker(card)));
        });
        if (group == groups.end())
            groups.push_back(CardList{card});
        else
            group->push_back(card);
    }
}

bool CGameKavdorLogicCl::FindBomb(CardList& list, int j, int count, CardList& out)
{
    return Bomb(SearchList(list, count, m_random), j, out);
}

bool CGameKavdorLogicCl::FindSingle(CardList& list, int j, int count, int mode, CardList& out)
{
    return Single(SearchList(list, count, m_random), j, mode, out);
}

bool CGameKavdorLogicCl::FindPair(CardList& list, int j, int count, int mode, CardList& out)
{
    return Pair(SearchList(list, count, m_random), j, mode, out);
}

bool CGameKavdorLogicCl::FindThree(CardList& list, int j, int count, CardList& out)
{
    return Three(SearchList(list, count, m_random), j, out);
}

bool CGameKavdorLogicCl::FindThreeWithTwo(CardList& list, int j, int count, CardList& out)
{
    SearchList s(list, count, m_random);
    return ThreeWithTwo(s, j, out);
}

bool CGameKavdorLogicCl::FindStraight(CardList& list, int j, int count, int length, CardList& out)
{
    return Straight(SearchList(list, count, m_random), j, length, out);
}

bool CGameKavdorLogicCl::FindDoubleStraight(CardList& list, int j, int count, int length, CardList& out)
{
    return Run(SearchList(list, count, m_random), j, length, 2, out);
}

bool CGameKavdorLogicCl::FindThreeStraight(CardList& list, int j, int count, int length, CardList& out)
{
    return Run(SearchList(list, count, m_random), j, length, 3, out);
}

bool CGameKavdorLogicCl::FindPlane(CardList& list, int j, int count, const CardList& previous, int previousCount,
                                   CardList& out)
{
    SearchList s(list, count, m_random);
    return Plane(s, j, previous, previousCount, out);
}

bool CGameKavdorLogicCl::SearchOutCard(const CardList& hand, const CardList& previous, int previousType,
                                       int previousCount, CardList& out)
{
    out.clear();
    if (previousType < KAVDOR_TYPE_KING_BOMB || previousType > KAVDOR_TYPE_AIRPLANE ||
        previousType == KAVDOR_TYPE_KING_BOMB)
        return false;
    CardList work = hand;
    const CardList played = previous;
    SearchList s(work, static_cast<int>(work.size()), m_random);
    auto prev = [&](int i) { return i >= 0 && static_cast<size_t>(i) < played.size() ? played[i] : kCardNone; };
    auto beats = [&](uint8_t card) { return KavdorCompareCard(card, prev(0)) == 1; };
    auto beatsLowest = [&](uint8_t card) { return KavdorCompareCard(card, prev(previousCount - 1)) == 1; };

    // Tries a finder at every start position (and mode) until a candidate is accepted.
    auto tryEach = [&](int modes, auto find, auto accept) {
        for (int mode = 0; mode < modes; ++mode)
        {
            for (int j = 0; j < s.count; ++j)
            {
                out.clear();
                if (find(j, mode) && accept())
                    return true;
            }
        }
        return false;
    };

    bool found = false;
    switch (previousType)
    {
    case KAVDOR_TYPE_BOMB:
        found = tryEach(1, [&](int j, int) { return Bomb(s, j, out); }, [&] {
            int size = static_cast<int>(out.size());
            return size > previousCount || (size == previousCount && beats(out[0]));
        });
        break;
    case KAVDOR_TYPE_SINGLE:
        found = tryEach(3, [&](int j, int mode) { return Single(s, j, mode, out); }, [&] { return beats(out[0]); });
        break;
    case KAVDOR_TYPE_PAIR:
        found = tryEach(2, [&](int j, int mode) { return Pair(s, j, mode, out); }, [&] { return beats(out[0]); });
        break;
    case KAVDOR_TYPE_THREE:
        found = tryEach(1, [&](int j, int) { return Three(s, j, out); }, [&] { return beats(out[0]); });
        break;
    case KAVDOR_TYPE_THREE_TWO: {
        FaceCounts previousCounts;
        previousCounts.Count(prev, static_cast<int>(played.size()));
        found = tryEach(1, [&](int j, int) { return ThreeWithTwo(s, j, out); }, [&] {
            for (uint8_t card : played)
                if (previousCounts.Of(card) == 3 && KavdorCompareCard(out[0], card) == 1)
                    return true;
            return false;
        });
        break;
    }
    case KAVDOR_TYPE_STRAIGHT:
        found = tryEach(1, [&](int j, int) { return Straight(s, j, previousCount, out); },
                        [&] { return beatsLowest(out[0]); });
        break;
    case KAVDOR_TYPE_PAIRS:
        found = tryEach(1, [&](int j, int) { return Run(s, j, previousCount, 2, out); },
                        [&] { return beatsLowest(out[0]); });
        break;
    case KAVDOR_TYPE_THREES:
        found = tryEach(1, [&](int j, int) { return Run(s, j, previousCount, 3, out); },
                        [&] { return beatsLowest(out[0]); });
        break;
    case KAVDOR_TYPE_AIRPLANE:
        found = tryEach(1, [&](int j, int) { return Plane(s, j, played, previousCount, out); },
                        [&] { return KavdorCompareCard(out[0], prev(3)) == 1; });
        break;
    default:
        break;
    }
    if (found)
        return true;

    // Any bomb beats everything below it; the four jokers beat every bomb.
    if (previousType != KAVDOR_TYPE_BOMB)
        for (int j = 0; j < s.count; ++j)
            if (Bomb(s, j, out))
                return true;
    out.clear();
    for (int i = 0; i < s.count; ++i)
    {
        if (IsJoker(s.At(i)))
            out.push_back(s.At(i));
        if (out.size() == 4)
            return true;
    }
    out.clear();
    return false;
}
