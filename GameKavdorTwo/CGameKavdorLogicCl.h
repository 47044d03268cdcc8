#pragma once
// The rules of the four-seat, two-deck landlord game: play patterns, their comparison, the
// referee's check of a play, the multiplier and the score of a hand.

#include "GameCardLogicCL.h"

// Play patterns, as GetCardType answers them.
enum KavdorCardType
{
    KAVDOR_TYPE_NONE = -1,
    KAVDOR_TYPE_KING_BOMB = 0,    // the four jokers
    KAVDOR_TYPE_BOMB = 1,         // four to eight cards of one face
    KAVDOR_TYPE_SINGLE = 2,
    KAVDOR_TYPE_PAIR = 3,
    KAVDOR_TYPE_THREE = 4,
    KAVDOR_TYPE_THREE_TWO = 5,    // three of one face and a pair
    KAVDOR_TYPE_STRAIGHT = 6,     // five to twelve consecutive faces
    KAVDOR_TYPE_PAIRS = 7,        // three or more consecutive pairs
    KAVDOR_TYPE_THREES = 8,       // two or more consecutive threes
    KAVDOR_TYPE_AIRPLANE = 9,     // consecutive threes with as many pairs as wings
};

// Results of OutCard.
enum KavdorOutResult
{
    KAVDOR_OUT_REFUSED = 0,   // no such player, or a card he does not hold
    KAVDOR_OUT_NO_PATTERN = 1,
    KAVDOR_OUT_TOO_LOW = 2,   // does not beat the plays on the table
    KAVDOR_OUT_LAST_CARDS = 4, // accepted, and the hand is empty: the hand is won
    KAVDOR_OUT_ACCEPTED = 6,
};

class CGameKavdorLogicCl : public GameCardLogicCL
{
public:
    CGameKavdorLogicCl();

    // Rounds are closed by the referee with CommitOutCard; nothing happens here.
    void NewRound() override;

    void InitCardTypeName() override;
    int GetCardType(const uint8_t* cards, int count, int& outCount, int& outKey) override;
    int OutCard(int id, const uint8_t* cards, int count) override;
    bool StartGame() override;
    bool IsValidCardType(const uint8_t* cards, int count) override;
    bool GetCardTypeName(const uint8_t* cards, int count, std::string& outText) override;
    int CompareCard(uint8_t a, uint8_t b) override;
    int CompareCardGroup(int idA, const uint8_t* cardsA, int countA, int idB, const uint8_t* cardsB,
                         int countB) override;
    bool CanOutCard(int id, const uint8_t* cards, int count) override;
    int GetScore(int id) override;
    bool IsWinner(int id) override;

    // The referee (the table server) names the landlord and the stake of the hand after the
    // bidding; StartGame clears the landlord.
    void SetLandlordId(int id) { m_landlordId = id; }
    int GetLandlordId() const { return m_landlordId; }
    void SetBaseScore(int score) { m_baseScore = score; }
    int GetBaseScore() const { return m_baseScore; }
    int GetMultiple() const { return m_multiple; }
    int GetWinnerId() const { return m_winnerId; }

    // The hint search: a play from `hand` (in the order candidates are to be tried) that beats
    // `previous` (sorted, of the given type and card count), or failing that any bomb, or the
    // four jokers. The hand and the previous play are copied; `out` receives the play.
    bool SearchOutCard(const CardList& hand, const CardList& previous, int previousType, int previousCount,
                       CardList& out);
    // The finders try one start position j of a list of `count` cards. Only FindBomb empties
    // `out`; the finders that pick wings rotate `list` in place.
    bool FindBomb(CardList& list, int j, int count, CardList& out);
    bool FindSingle(CardList& list, int j, int count, int mode, CardList& out);
    bool FindPair(CardList& list, int j, int count, int mode, CardList& out);
    bool FindThree(CardList& list, int j, int count, CardList& out);
    bool FindThreeWithTwo(CardList& list, int j, int count, CardList& out);
    bool FindStraight(CardList& list, int j, int count, int length, CardList& out);
    bool FindDoubleStraight(CardList& list, int j, int count, int length, CardList& out);
    bool FindThreeStraight(CardList& list, int j, int count, int length, CardList& out);
    bool FindPlane(CardList& list, int j, int count, const CardList& previous, int previousCount, CardList& out);
    // True when b lies k steps above a, counting the ace as 14; never for a 2.
    static bool IsNextValue(uint8_t a, uint8_t b, int k);
    // True when the cards hold both kinds of joker, or some face more than three times.
    static bool HasBomb(const uint8_t* cards, int count);
    // Appends the cards to `groups`, one group per face (the jokers share one), in order of
    // first appearance.
    static void GroupCardByValue(const uint8_t* cards, int count, std::vector<CardList>& groups);

private:
    int m_baseScore = 0;
    int m_multiple = 1;
};

// Classification and card comparison without an object; the methods above use these. Card
// lists are sorted from the highest rank to the lowest.
int KavdorGetCardType(const uint8_t* cards, int count, int* outKey);
int KavdorCompareCard(uint8_t a, uint8_t b);
int KavdorCompareCardGroup(const uint8_t* cardsA, int countA, const uint8_t* cardsB, int countB);
// Sorts a card list from the highest rank to the lowest, keeping equal faces in their order:
// the order of a stable sort that puts a before b when KavdorCompareCard(a, b) = 1.
void KavdorSortCards(CardList& cards);
