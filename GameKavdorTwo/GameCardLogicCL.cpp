#include "GameCardLogicCL.h"

#include <algorithm>
#include <cstring>
#include <random>

#include "CardCode.h"

namespace
{
uint32_t SystemRandom(uint32_t bound)
{
    static std::random_device device;
    return std::uniform_int_distribution<uint32_t>(0, bound - 1)(device);
}

bool Inside(const CardList& list, int index)
{
    return index >= 0 && static_cast<size_t>(index) < list.size();
}

uint8_t CardAt(const CardList& list, int index)
{
    return Inside(list, index) ? list[index] : kCardNone;
}

bool EraseAt(CardList& list, int index)
{
    if (!Inside(list, index))
        return false;
    list.erase(list.begin() + index);
    return true;
}

// Moves the stock cards that match to the end of the pile; both keep their order.
template <class Match>
void MoveToPile(CardList& stock, CardList& pile, Match match)
{
    auto picked = std::stable_partition(stock.begin(), stock.end(), [&](uint8_t card) { return !match(card); });
    pile.insert(pile.end(), picked, stock.end());
    stock.erase(picked, stock.end());
}

uint8_t PopFront(CardList& list)
{
    if (list.empty())
        return kCardNone;
    uint8_t card = list.front();
    list.erase(list.begin());
    return card;
}
} // namespace

GameCardLogicCL::GameCardLogicCL() : m_random(SystemRandom)
{
    m_message[0] = '\0';
}

GameCardLogicCL::~GameCardLogicCL() = default;

bool GameCardLogicCL::AddPlayer(int id)
{
    if (GetPlayerById(id) != nullptr)
        return false;
    m_players.push_back(std::make_unique<GameCardPlayerCL>(id, this));
    return true;
}

bool GameCardLogicCL::DelPlayer(int id)
{
    int index = GetPlayerIndex(id);
    if (index < 0)
        return false;
    m_players.erase(m_players.begin() + index);
    DelOutCard(id);
    return true;
}

bool GameCardLogicCL::CreateCard(int decks)
{
    m_pile.clear();
    m_stock.clear();
    for (int code = 1; code <= kCardBigJoker; ++code)
        for (int deck = 0; deck < decks; ++deck)
            m_stock.push_back(static_cast<uint8_t>(code));
    return true;
}

int GameCardLogicCL::GetPlayerNum()
{
    return static_cast<int>(m_players.size());
}

GameCardPlayerCL* GameCardLogicCL::GetPlayerById(int id)
{
    int index = GetPlayerIndex(id);
    return index < 0 ? nullptr : m_players[index].get();
}

GameCardPlayerCL* GameCardLogicCL::GetPlayerByIndex(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= m_players.size())
        return nullptr;
    return m_players[index].get();
}

bool GameCardLogicCL::PickCardBySuit(int suit)
{
    MoveToPile(m_stock, m_pile, [suit](uint8_t card) { return GetSuit(card) == suit; });
    return true;
}

bool GameCardLogicCL::PickCardByValue(int face)
{
    MoveToPile(m_stock, m_pile, [face](uint8_t card) { return GetFace(card) == face; });
    return true;
}

bool GameCardLogicCL::Shuffle()
{
    CardList shuffled;
    shuffled.reserve(m_stock.size());
    while (!m_stock.empty())
    {
        uint32_t index = m_random(static_cast<uint32_t>(m_stock.size()));
        if (index >= m_stock.size()) // a source that ignores its bound must not break the stock
            index %= static_cast<uint32_t>(m_stock.size());
        shuffled.push_back(m_stock[index]);
        m_stock.erase(m_stock.begin() + index);
    }
    m_stock.swap(shuffled);
    return true;
}

int GameCardLogicCL::GetStockNum()
{
    return static_cast<int>(m_stock.size());
}

uint8_t GameCardLogicCL::GetStockCard(int index)
{
    return CardAt(m_stock, index);
}

bool GameCardLogicCL::DelStockCard(int index)
{
    return EraseAt(m_stock, index);
}

uint8_t GameCardLogicCL::PopStockCard()
{
    return PopFront(m_stock);
}

int GameCardLogicCL::GetPileNum()
{
    return static_cast<int>(m_pile.size());
}

uint8_t GameCardLogicCL::GetPileCard(int index)
{
    return CardAt(m_pile, index);
}

bool GameCardLogicCL::DelPileCard(int index)
{
    return EraseAt(m_pile, index);
}

uint8_t GameCardLogicCL::PopPileCard()
{
    return PopFront(m_pile);
}

void GameCardLogicCL::NewRound()
{
    for (auto& player : m_players)
    {
        const CardList* play = GetOutCard(player->GetId());
        player->History().push_back(play != nullptr ? *play : CardList());
    }
    ClearOutCard();
}

bool GameCardLogicCL::GetMaxOutPlayer(int& id)
{
    if (m_outCards.empty())
        return false;
    OutCardEntry* best = m_outCards.front().get();
    for (size_t i = 1; i < m_outCards.size(); ++i)
    {
        OutCardEntry* entry = m_outCards[i].get();
        if (entry->cards.empty())
            continue;
        if (best->cards.empty())
        {
            best = entry;
            continue;
        }
        int result = CompareCardGroup(best->id, best->cards.data(), static_cast<int>(best->cards.size()), entry->id,
                                      entry->cards.data(), static_cast<int>(entry->cards.size()));
        if (result == -1)
            best = entry;
        else if (result != 0 && result != 1)
            SetMessage("前面出牌有问题,请检查逻辑Bug");
    }
    id = best->id;
    return true;
}

GameCardLogicCL::OutCardEntry* GameCardLogicCL::FindOutCard(int id)
{
    for (auto& entry : m_outCards)
        if (entry->id == id)
            return entry.get();
    return nullptr;
}

bool GameCardLogicCL::AddOutCard(int id, uint8_t card)
{
    OutCardEntry* entry = FindOutCard(id);
    if (entry == nullptr)
    {
        m_outCards.push_back(std::make_unique<OutCardEntry>(OutCardEntry{id, {}}));
        entry = m_outCards.back().get();
    }
    entry->cards.push_back(card);
    return true;
}

const CardList* GameCardLogicCL::GetOutCard(int id)
{
    OutCardEntry* entry = FindOutCard(id);
    return entry == nullptr ? nullptr : &entry->cards;
}

bool GameCardLogicCL::DelOutCard(int id)
{
    auto found = std::find_if(m_outCards.begin(), m_outCards.end(), [id](const auto& e) { return e->id == id; });
    if (found == m_outCards.end())
        return false;
    m_outCards.erase(found);
    return true;
}

bool GameCardLogicCL::ClearOutCard()
{
    m_outCards.clear();
    return true;
}

void GameCardLogicCL::SetMessage(const char* text)
{
    snprintf(m_message, sizeof(m_message), "%s", text != nullptr ? text : "");
}

const char* GameCardLogicCL::GetMessage()
{
    return m_message;
}

bool GameCardLogicCL::IsSameSuit(const uint8_t* cards, int count)
{
    if (cards == nullptr || count <= 0)
        return false;
    uint8_t suit = GetSuit(cards[0]);
    for (int i = 1; i < count; ++i)
        if (GetSuit(cards[i]) != suit)
            return false;
    return true;
}

int GameCardLogicCL::GetCardCount(uint8_t code, const uint8_t* cards, int count, bool exact)
{
    if (cards == nullptr)
        return 0;
    int found = 0;
    uint8_t face = GetFace(code);
    for (int i = 0; i < count; ++i)
        found += exact ? cards[i] == code : GetFace(cards[i]) == face;
    return found;
}

int GameCardLogicCL::GetCardTypeNameNum()
{
    return static_cast<int>(m_typeNames.size());
}

bool GameCardLogicCL::GetCardTypeNameByIndex(int index, std::string& outText)
{
    if (index < 0 || static_cast<size_t>(index) >= m_typeNames.size())
        return false;
    outText = m_typeNames[index];
    return true;
}

void GameCardLogicCL::CommitOutCard(int id)
{
    GameCardPlayerCL* player = GetPlayerById(id);
    const CardList* play = GetOutCard(id);
    if (player != nullptr)
        player->History().push_back(play != nullptr ? *play : CardList());
    DelOutCard(id);
}

int GameCardLogicCL::GetPlayerIndex(int id)
{
    for (size_t i = 0; i < m_players.size(); ++i)
        if (m_players[i]->GetId() == id)
            return static_cast<int>(i);
    return -1;
}

void GameCardLogicCL::SetRandomSource(RandomSource source)
{
    m_random = source ? std::move(source) : RandomSource(SystemRandom);
}
