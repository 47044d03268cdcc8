#pragma once
// The card-logic base shared by card games: players with their hands and play histories, a
// stock of undealt cards and a pile picked out of it, the players' current plays, the pattern
// names and the last referee message. The rules themselves (classification, comparison, the
// check of a play, scoring) are left to each game.
//
// Card lists passed to the rule operations are sorted from the highest rank to the lowest.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "GameCardPlayerCL.h"

class GameCardLogicCL
{
public:
    GameCardLogicCL();
    GameCardLogicCL(const GameCardLogicCL&) = delete;
    GameCardLogicCL& operator=(const GameCardLogicCL&) = delete;

    // False when a player with that id is already seated.
    virtual bool AddPlayer(int id);
    // Removes the player and his current play; false when there is no such player.
    virtual bool DelPlayer(int id);
    // Empties pile and stock, then fills the stock with `decks` copies of every code 1..54, code
    // by code (1, 1, 2, 2, ... for two decks).
    virtual bool CreateCard(int decks);
    virtual int GetPlayerNum();
    virtual GameCardPlayerCL* GetPlayerById(int id);
    virtual GameCardPlayerCL* GetPlayerByIndex(int index);
    // Move every stock card of the suit (or face) to the end of the pile, keeping their order.
    virtual bool PickCardBySuit(int suit);
    virtual bool PickCardByValue(int face);
    // Draws the stock card by card, at random, into a new order.
    virtual bool Shuffle();
    virtual int GetStockNum();
    // 255 outside the stock.
    virtual uint8_t GetStockCard(int index);
    virtual bool DelStockCard(int index);
    // Takes the first stock card; 255 when the stock is empty.
    virtual uint8_t PopStockCard();
    virtual int GetPileNum();
    virtual uint8_t GetPileCard(int index);
    virtual bool DelPileCard(int index);
    virtual uint8_t PopPileCard();
    // Every player's current play becomes a new entry of his history; the current plays are
    // cleared.
    virtual void NewRound();

    virtual void InitCardTypeName() = 0;
    virtual int GetCardType(const uint8_t* cards, int count, int& outCount, int& outKey) = 0;
    virtual int OutCard(int id, const uint8_t* cards, int count) = 0;
    virtual bool StartGame() = 0;
    virtual bool IsValidCardType(const uint8_t* cards, int count) = 0;
    virtual bool GetCardTypeName(const uint8_t* cards, int count, std::string& outText) = 0;
    virtual int CompareCard(uint8_t a, uint8_t b) = 0;
    virtual int CompareCardGroup(int idA, const uint8_t* cardsA, int countA, int idB, const uint8_t* cardsB,
                                 int countB) = 0;
    virtual bool CanOutCard(int id, const uint8_t* cards, int count) = 0;
    virtual int GetScore(int id) = 0;
    virtual bool IsWinner(int id) = 0;

    // The id whose current play stands highest; false when nobody has a current play.
    virtual bool GetMaxOutPlayer(int& id);
    // Appends a card to the id's current play, which is created when missing.
    virtual bool AddOutCard(int id, uint8_t card);
    // The id's current play, or null.
    virtual const CardList* GetOutCard(int id);
    virtual bool DelOutCard(int id);
    virtual bool ClearOutCard();
    virtual void SetMessage(const char* text);
    virtual const char* GetMessage();
    // True when every card has the suit of the first; false for an empty list.
    virtual bool IsSameSuit(const uint8_t* cards, int count);
    // How many cards have the face of `code` (exact: how many are `code` itself).
    virtual int GetCardCount(uint8_t code, const uint8_t* cards, int count, bool exact);
    virtual int GetCardTypeNameNum();
    virtual bool GetCardTypeNameByIndex(int index, std::string& outText);
    // The id's current play becomes a new entry of his history and is removed.
    virtual void CommitOutCard(int id);
    // Position in the player list, -1 when absent.
    virtual int GetPlayerIndex(int id);

    // After the operations above, so that their places in the table stay fixed.
    virtual ~GameCardLogicCL();

    // Where Shuffle takes its random numbers: a function answering a number below `bound`. The
    // default draws from the system's entropy source, so that no deal can be predicted from the
    // time it was made; tests and benchmarks install a seeded one to repeat a deal.
    typedef std::function<uint32_t(uint32_t bound)> RandomSource;
    void SetRandomSource(RandomSource source);

protected:
    struct OutCardEntry
    {
        int id;
        CardList cards;
    };
    OutCardEntry* FindOutCard(int id);

    std::vector<std::unique_ptr<OutCardEntry>> m_outCards;
    std::vector<std::unique_ptr<GameCardPlayerCL>> m_players;
    CardList m_stock;
    CardList m_pile;
    std::vector<std::string> m_typeNames;
    char m_message[256];
    int m_winnerId = 0;
    int m_landlordId = 0;
    RandomSource m_random;
};
