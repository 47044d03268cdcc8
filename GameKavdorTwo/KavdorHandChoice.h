#pragma once
// What the hint button and the automatic play on a timeout choose from a hand. Both the play
// window and the table server's bots and timeouts use these, so that a seat plays the same way
// whoever decides for it.

#include <array>
#include <vector>

#include "CGameKavdorLogicCl.h"

struct KavdorHandChoice
{
    enum Action
    {
        NOTHING, // leave the hand as it is (no play to beat, or the hand is too short for it)
        PASS,
        PLAY,    // select `indices` of the hand and play them
    };
    Action action = NOTHING;
    std::vector<int> indices; // positions in the hand, in the order the cards were chosen
    CardList cards;           // the codes at those positions
    int hintOffset = 0;       // where the next hint starts (the given offset when nothing was found)
};

// The played cards of the four seats, by seat number; null where a seat has no record.
typedef std::array<const CardList*, 4> KavdorSeatPlays;

// A play of `cards`: for each, the first hand position with that code not chosen yet.
KavdorHandChoice KavdorSelectCards(const CardList& hand, const CardList& cards);

// The play to beat for a seat: the cards of the seat before it, or of the one before that, or
// of the one after it, whichever first holds cards. Null when there is none.
const CardList* KavdorPlayToBeat(const KavdorSeatPlays& played, int ownSeat);

// The hint: `hand` is the hand in its display order (highest rank first). Candidates are tried
// from the lowest card upwards, starting `hintOffset` cards up and wrapping around; the returned
// offset makes the next press start just after the card that decided this one.
KavdorHandChoice KavdorHint(const CardList& hand, const KavdorSeatPlays& played, int ownSeat, int hintOffset,
                            GameCardLogicCL::RandomSource random = {});

// The automatic play when the seat's time runs out. `leading`: everybody else passed, so any
// card may be played (one at random is). Otherwise the seat passes one time in ten, and else
// plays what the hint search finds from a random start.
KavdorHandChoice KavdorAutoPlay(const CardList& hand, const KavdorSeatPlays& played, int ownSeat, bool leading,
                                GameCardLogicCL::RandomSource random = {});
