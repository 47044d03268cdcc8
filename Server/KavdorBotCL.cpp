#include "KavdorBotCL.h"

#include <array>

#include "CardCode.h"

namespace
{
std::array<int, 55> FaceCounts(const CardList& hand)
{
    std::array<int, 55> held{};
    for (uint8_t card : hand)
        if (GetFace(card) <= 54)
            ++held[GetFace(card)];
    return held;
}

} // namespace

int KavdorBotCL::ChooseBid(const CardList& hand, int highest)
{
    std::array<int, 55> held = FaceCounts(hand);
    // Points in halves: jokers and 2s win tricks, bombs win them and double the stake.
    int points = held[54] * 6 + held[53] * 4 + held[2] * 2 + held[1];
    for (int face = 1; face <= 13; ++face)
        if (held[face] >= 4)
            points += 6;
    int bid = points >= 24 ? 3 : points >= 18 ? 2 : points >= 12 ? 1 : -1;
    return bid > highest ? bid : -1;
}

KavdorHandChoice KavdorBotCL::ChoosePlay(const CardList& hand, const KavdorSeatPlays& played, int seat,
                                         bool leading, bool partnerStands)
{
    KavdorHandChoice choice;
    if (hand.empty())
        return choice;
    // The whole hand at once when it is one play that may be played now.
    if (KavdorGetCardType(hand.data(), static_cast<int>(hand.size()), nullptr) >= 0)
    {
        const CardList* previous = leading ? nullptr : KavdorPlayToBeat(played, seat);
        if (previous == nullptr ||
            KavdorCompareCardGroup(hand.data(), static_cast<int>(hand.size()), previous->data(),
                                   static_cast<int>(previous->size())) == 1)
            return KavdorSelectCards(hand, hand);
    }
    if (leading)
    {
        // The lowest face that is not a bomb, as a single, pair or three; bombs last.
        std::array<int, 55> held = FaceCounts(hand);
        for (auto card = hand.rbegin(); card != hand.rend(); ++card)
        {
            int face = GetFace(*card);
            if (held[face] <= 3)
            {
                CardList group;
                for (uint8_t c : hand)
                    if (GetFace(c) == face)
                        group.push_back(c);
                return KavdorSelectCards(hand, group);
            }
        }
        CardList lowest;
        int face = GetFace(hand.back());
        for (uint8_t c : hand)
            if (GetFace(c) == face)
                lowest.push_back(c);
        return KavdorSelectCards(hand, lowest);
    }
    choice.action = KavdorHandChoice::PASS;
    if (partnerStands)
        return choice;
    KavdorHandChoice hint = KavdorHint(hand, played, seat, 0);
    if (hint.action == KavdorHandChoice::PLAY)
        return hint;
    return choice;
}
