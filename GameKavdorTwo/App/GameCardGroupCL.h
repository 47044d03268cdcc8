#pragma once
// An ordered run of cards (a seat's hand, or the cards it played last) with an anchor position,
// an alignment against that anchor and a layout mode. The group owns its cards: removing one
// destroys it. The owner sets position, mode and alignment before each drawing.

#include <cstdint>
#include <memory>
#include <vector>

#include "GameCardItemCL.h"

class GameCardGroupCL
{
public:
    // How the cards are laid out (see CGameKavdorGroupCl for the positions).
    enum Mode
    {
        kRow = 0,
        kColumn = 1,
        kCompactRow = 2,
        kCompactColumn = 3,
    };
    // Which point of the group the anchor is: 1 the right edge, 3 the bottom edge, 4 the middle;
    // anything else the top-left corner.
    enum Align
    {
        kAlignRight = 1,
        kAlignBottom = 3,
        kAlignCentre = 4,
    };

    GameCardGroupCL();
    ~GameCardGroupCL();
    GameCardGroupCL(const GameCardGroupCL&) = delete;
    GameCardGroupCL& operator=(const GameCardGroupCL&) = delete;

    // Appends a new card of the code at the end.
    void AddCard(uint8_t code);
    // Destroys the card at the index; false (and nothing changes) when there is none.
    bool DelCard(int index);
    // Destroys the first card of the code; with two decks the same code may be held twice, and
    // only one of them goes. False when the group holds none.
    bool DelCardByCard(uint8_t code);
    void DestroyCard();
    // Picks or unpicks every card (0 clears a selection).
    void SetSelectFlag(uint8_t flag);
    int GetCardNum() const { return static_cast<int>(m_cards.size()); }
    // A mode outside 0 ... 3 is refused and logged; the group keeps its mode.
    void SetDirection(int mode);
    void SetAlign(int align) { m_align = align; }
    void SetPosition(int x, int y);

    int GetDirection() const { return m_mode; }
    int GetAlign() const { return m_align; }
    int GetX() const { return m_x; }
    int GetY() const { return m_y; }

protected:
    int m_mode = kRow;
    // Set by every owner before the first drawing; the top-left corner until then.
    int m_align = 0;
    int m_x = 0;
    int m_y = 0;
    std::vector<std::unique_ptr<GameCardItemCL>> m_cards;
    // Distances between neighbouring cards; only a strip of each covered card shows.
    int m_stepX = 11;
    int m_stepY = 8;
};
