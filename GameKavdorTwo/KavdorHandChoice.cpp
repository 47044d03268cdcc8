#include "KavdorHandChoice.h"

#include <random>

namespace
{
uint32_t SystemRandom(uint32_t bound)
{
    thread_local std::mt19937 engine{std::random_device{}()};
    return std::uniform_int_distribution<uint32_t>(0, bound - 1)(engine);
}

// The hand from its lowest card upwards, starting `offset` cards up and wrapping around.
CardList HandList(const CardList& hand, int offset)
{
    int count = static_cast<int>(hand.size());
    CardList list(count);
    for (int j = 0; j < count; ++j)
        list[j] = hand[count - 1 - (offset + j) % count];
    return list;
}

int PositiveModulo(int value, int modulus)
{
    int result = value % modulus;
    return result < 0 ? result + modulus : result;
}
} // namespace

KavdorHandChoice KavdorSelectCards(const CardList& hand, const CardList& cards)
{
    KavdorHandChoice choice;
    std::vector<bool> taken(hand.size(), false);
    for (uint8_t card : cards)
    {
        for (size_t i = 0; i < hand.size(); ++i)
        {
            if (!taken[i] && hand[i] == card)
            {
                taken[i] = true;
                choice.indices.push_back(static_cast<int>(i));
                choice.cards.push_back(card);
                break;
            }
        }
    }
    choice.action = KavdorHandChoice::PLAY;
    return choice;
}

const CardList* KavdorPlayToBeat(const KavdorSeatPlays& played, int ownSeat)
{
    for (int back : {3, 2, 1})
    {
        const CardList* seat = played[PositiveModulo(ownSeat + back, 4)];
        if (seat == nullptr)
            return nullptr;
        if (!seat->empty())
            return seat;
    }
    return nullptr;
}

KavdorHandChoice KavdorHint(const CardList& hand, const KavdorSeatPlays& played, int ownSeat, int hintOffset,
                            GameCardLogicCL::RandomSource random)
{
    KavdorHandChoice choice;
    choice.hintOffset = hintOffset;
    const CardList* previous = KavdorPlayToBeat(played, ownSeat);
    if (previous == nullptr)
        return choice;
    CGameKavdorLogicCl logic;
    if (random)
        logic.SetRandomSource(std::move(random));
    int previousCount = 0, key = 0;
    int previousType = logic.GetCardType(previous->data(), static_cast<int>(previous->size()), previousCount, key);
    int count = static_cast<int>(hand.size());
    if (count < static_cast<int>(previous->size()))
        return choice;

    CardList out;
    if (!logic.SearchOutCard(HandList(hand, PositiveModulo(hintOffset, count)), *previous, previousType,
                             previousCount, out))
    {
        choice.action = KavdorHandChoice::PASS;
        return choice;
    }
    int offset = choice.hintOffset;
    choice = KavdorSelectCards(hand, out);
    choice.hintOffset = offset;
    // The card that decided the candidate: the lowest of a run or bomb, the three of a three
    // with two, otherwise the last card chosen.
    size_t deciding = choice.indices.size() - 1;
    if (previousType == KAVDOR_TYPE_BOMB || previousType >= KAVDOR_TYPE_STRAIGHT)
        deciding = 0;
    else if (previousType == KAVDOR_TYPE_THREE_TWO && choice.indices.size() > 2)
        deciding = 2;
    choice.hintOffset = count - choice.indices[deciding];
    return choice;
}

KavdorHandChoice KavdorAutoPlay(const CardList& hand, const KavdorSeatPlays& played, int ownSeat, bool leading,
                                GameCardLogicCL::RandomSource random)
{
    if (!random)
        random = SystemRandom;
    KavdorHandChoice choice;
    int count = static_cast<int>(hand.size());
    if (leading)
    {
        if (count > 0)
        {
            int pick = static_cast<int>(random(static_cast<uint32_t>(count)) % count);
            choice.action = KavdorHandChoice::PLAY;
            choice.indices.push_back(pick);
            choice.cards.push_back(hand[pick]);
        }
        return choice;
    }
    choice.action = KavdorHandChoice::PASS;
    if (random(10) == 0 || count == 0)
        return choice;
    const CardList* previous = KavdorPlayToBeat(played, ownSeat);
    if (previous == nullptr)
        return choice;
    // One rule engine per thread serves every timeout, as the search needs no state of its own.
    thread_local CGameKavdorLogicCl logic;
    logic.SetRandomSource(random);
    int previousCount = 0, key = 0;
    int previousType = logic.GetCardType(previous->data(), static_cast<int>(previous->size()), previousCount, key);
    CardList list = HandList(hand, static_cast<int>(random(static_cast<uint32_t>(count)) % count));
    if (count < static_cast<int>(previous->size()) && !CGameKavdorLogicCl::HasBomb(hand.data(), count))
        return choice;
    CardList out;
    if (logic.SearchOutCard(list, *previous, previousType, previousCount, out))
        return KavdorSelectCards(hand, out);
    return choice;
}
