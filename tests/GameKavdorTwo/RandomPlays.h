#pragma once
// Random card lists for the rule tests and benchmarks: deals of the two-deck game, patterns of
// every kind built from a deal's cards, and random picks that are mostly no pattern at all.
// Everything is drawn from a seeded generator, so a failure can be repeated.

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "CGameKavdorLogicCl.h"

namespace randomplays
{
typedef std::vector<uint8_t> Cards;

// Highest rank first, equal faces in their original order, as the game sorts a play.
inline void SortByRank(Cards& cards)
{
    std::stable_sort(cards.begin(), cards.end(),
                     [](uint8_t a, uint8_t b) { return KavdorCompareCard(a, b) == 1; });
}

// The faces in rank order, lowest first: 3 .. king, ace, 2.
inline int FaceOfRank(int rank)
{
    static const int kFaces[] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 1, 2};
    return kFaces[rank];
}

class Generator
{
public:
    explicit Generator(uint32_t seed) : m_random(seed) {}

    int Below(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(m_random); }

    // `count` cards of a face (1..13), each of a random suit, at most eight (two decks).
    void AddFace(Cards& cards, int face, int count)
    {
        std::vector<uint8_t> copies;
        for (int suit = 0; suit < 4; ++suit)
            for (int deck = 0; deck < 2; ++deck)
                copies.push_back(static_cast<uint8_t>(suit * 13 + face));
        std::shuffle(copies.begin(), copies.end(), m_random);
        cards.insert(cards.end(), copies.begin(), copies.begin() + count);
    }

    // A run of `length` consecutive faces between 3 and the ace, each `times` times.
    Cards Run(int length, int times, int* lowestFace = nullptr)
    {
        int low = Below(12 - length + 1);
        Cards cards;
        for (int r = low; r < low + length; ++r)
            AddFace(cards, FaceOfRank(r), times);
        if (lowestFace != nullptr)
            *lowestFace = FaceOfRank(low);
        SortByRank(cards);
        return cards;
    }

    // A pattern of the given type, sorted.
    Cards Pattern(int type)
    {
        Cards cards;
        switch (type)
        {
        case KAVDOR_TYPE_KING_BOMB:
            cards = {54, 54, 53, 53};
            break;
        case KAVDOR_TYPE_BOMB:
            AddFace(cards, 1 + Below(13), 4 + Below(5));
            break;
        case KAVDOR_TYPE_SINGLE:
            cards = {RandomCard()};
            break;
        case KAVDOR_TYPE_PAIR:
            if (Below(8) == 0)
                cards = Cards(2, static_cast<uint8_t>(53 + Below(2)));
            else
                AddFace(cards, 1 + Below(13), 2);
            break;
        case KAVDOR_TYPE_THREE:
            AddFace(cards, 1 + Below(13), 3);
            break;
        case KAVDOR_TYPE_THREE_TWO:
        {
            int three = 1 + Below(13);
            int two = 1 + Below(12);
            if (two >= three)
                ++two;
            AddFace(cards, three, 3);
            if (Below(8) == 0)
                cards.insert(cards.end(), 2, static_cast<uint8_t>(53 + Below(2)));
            else
                AddFace(cards, two, 2);
            break;
        }
        case KAVDOR_TYPE_STRAIGHT:
            cards = Run(5 + Below(8), 1);
            break;
        case KAVDOR_TYPE_PAIRS:
            cards = Run(3 + Below(10), 2);
            break;
        case KAVDOR_TYPE_THREES:
            cards = Run(2 + Below(11), 3);
            break;
        case KAVDOR_TYPE_AIRPLANE:
        {
            int length = 2 + Below(3);
            int low = Below(12 - length + 1);
            std::vector<int> wingFaces;
            for (int f = 1; f <= 13; ++f)
            {
                bool inRun = false;
                for (int r = low; r < low + length; ++r)
                    inRun = inRun || FaceOfRank(r) == f;
                if (!inRun)
                    wingFaces.push_back(f);
            }
            std::shuffle(wingFaces.begin(), wingFaces.end(), m_random);
            for (int r = low; r < low + length; ++r)
                AddFace(cards, FaceOfRank(r), 3);
            for (int w = 0; w < length; ++w)
            {
                if (w == 0 && Below(6) == 0)
                    cards.insert(cards.end(), 2, static_cast<uint8_t>(53 + Below(2)));
                else
                    AddFace(cards, wingFaces[w], 2);
            }
            break;
        }
        default:
            break;
        }
        SortByRank(cards);
        return cards;
    }

    // A random pick of 1..maxCount cards from a fresh two-deck deal, sorted.
    Cards Pick(int maxCount)
    {
        Cards deck;
        for (int code = 1; code <= 54; ++code)
            deck.insert(deck.end(), 2, static_cast<uint8_t>(code));
        std::shuffle(deck.begin(), deck.end(), m_random);
        Cards cards(deck.begin(), deck.begin() + 1 + Below(maxCount));
        SortByRank(cards);
        return cards;
    }

    // A play of any kind: a pattern of a random type, or a random pick.
    Cards Any()
    {
        int kind = Below(12);
        return kind < 10 ? Pattern(kind) : Pick(kind == 10 ? 6 : 20);
    }

    uint8_t RandomCard() { return static_cast<uint8_t>(1 + Below(54)); }

private:
    std::mt19937 m_random;
};
} // namespace randomplays
