#pragma once
// Lookup tables of the rule engine: the face, a counting slot and the rank of every byte, and
// the count of each face in a card list. Internal to the rules library.

#include <cstdint>

#include "CardCode.h"

namespace kavdor
{
// Per-code tables, so that classification looks a face up instead of computing it.
struct CodeTables
{
    uint8_t face[256];
    // A small slot per face for counting: 1..13 for the suited faces, 14 and 15 for the jokers,
    // 0 for every byte that is not a card (they all share face 255).
    uint8_t slot[256];
    // Position in the rank order: 1 for a 3 up to 13 for a 2; 0 for jokers and non-cards.
    uint8_t rank[256];
};

constexpr CodeTables MakeTables()
{
    CodeTables t{};
    for (int code = 0; code < 256; ++code)
    {
        int face = 255;
        if (code >= 1 && code <= 52)
            face = (code - 1) % 13 + 1;
        else if (code == kCardSmallJoker || code == kCardBigJoker)
            face = code;
        t.face[code] = static_cast<uint8_t>(face);
        t.slot[code] = static_cast<uint8_t>(face <= 13 ? face : face == 53 ? 14 : face == 54 ? 15 : 0);
        int rank = 0;
        if (face >= 3 && face <= 13)
            rank = face - 2;
        else if (face == 1)
            rank = 12;
        else if (face == 2)
            rank = 13;
        t.rank[code] = static_cast<uint8_t>(rank);
    }
    return t;
}

inline constexpr CodeTables kTables = MakeTables();

inline int Face(uint8_t code)
{
    return kTables.face[code];
}

inline bool IsJoker(uint8_t code)
{
    return code == kCardSmallJoker || code == kCardBigJoker;
}

// How many cards of each face a list holds, indexed by slot.
struct FaceCounts
{
    int n[16] = {};

    template <class At>
    void Count(At at, int count)
    {
        for (int i = 0; i < count; ++i)
            ++n[kTables.slot[at(i)]];
    }
    int Of(uint8_t code) const { return n[kTables.slot[code]]; }
};
} // namespace kavdor
