#pragma once
// How a bot plays a seat: it bids by a simple count of its strong cards and plays with the hint
// search, leading its lowest cards first and leaving a partner's play alone.

#include "KavdorHandChoice.h"

class KavdorBotCL
{
public:
    // The bid for a hand (highest rank first): 1, 2 or 3 points, or -1 to decline. Only a bid
    // above `highest` (the best bid so far) is made.
    static int ChooseBid(const CardList& hand, int highest);
    // The play for a hand in display order. `partnerStands`: the play on the table is a
    // fellow farmer's.
    static KavdorHandChoice ChoosePlay(const CardList& hand, const KavdorSeatPlays& played, int seat,
                                       bool leading, bool partnerStands);
};
