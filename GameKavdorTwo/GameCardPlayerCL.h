#pragma once
// One player as the referee sees him: his hand and the plays he has made, oldest first.

#include <cstdint>
#include <vector>

class GameCardLogicCL;

typedef std::vector<uint8_t> CardList;

class GameCardPlayerCL
{
public:
    GameCardPlayerCL(int id, GameCardLogicCL* logic) : m_id(id), m_logic(logic) {}

    int GetId() const { return m_id; }
    GameCardLogicCL* GetLogic() const { return m_logic; }
    CardList& Hand() { return m_hand; }
    const CardList& Hand() const { return m_hand; }
    std::vector<CardList>& History() { return m_history; }
    const std::vector<CardList>& History() const { return m_history; }

private:
    int m_id;
    GameCardLogicCL* m_logic;
    CardList m_hand;
    std::vector<CardList> m_history;
};
