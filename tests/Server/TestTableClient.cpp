#include "TestTableClient.h"

#include <algorithm>
#include <chrono>

#include "CardCode.h"

namespace
{
void SortHighToLow(CardList& cards)
{
    std::stable_sort(cards.begin(), cards.end(),
                     [](uint8_t a, uint8_t b) { return KavdorCompareCard(a, b) == 1; });
}
} // namespace

bool TestTableClient::Pump(int timeoutMs, bool play, int quietMs)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<uint8_t> message;
    while (std::chrono::steady_clock::now() < end)
    {
        int wait = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now())
                .count());
        if (quietMs > 0)
            wait = std::min(wait, quietMs);
        if (!m_net.Receive(message, std::max(0, wait)))
        {
            if (!m_net.IsConnected())
                return false;
            if (quietMs > 0)
                return true;
            continue;
        }
        Received received;
        NetMsgReaderCL::ReadHeader(message.data(), message.size(), received.category, received.type);
        received.payload.assign(message.begin() + 4, message.end());
        m_log.push_back(received);
        Handle(received, play);
    }
    return true;
}

bool TestTableClient::PlayUntilResults(size_t count, int timeoutMs)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_hands.size() < count && std::chrono::steady_clock::now() < end)
        if (!Pump(20))
            return false;
    return m_hands.size() >= count;
}

void TestTableClient::Handle(const Received& m, bool play)
{
    NetMsgReaderCL r(m.payload.data(), static_cast<int>(m.payload.size()));
    if (m.category == NET_CATEGORY_LOBBY)
    {
        if (m.type == LOBBY_LOGIN_RESULT)
        {
            m_loginResult = r.ReadI32();
            if (m_loginResult == 0)
                m_playerId = r.ReadI32();
        }
        else if (m.type == LOBBY_SIT_RESULT && r.ReadI32() == 0)
        {
            r.ReadI32();
            m_seat = r.ReadI32();
        }
        return;
    }
    if (m.category == NET_CATEGORY_ROOM)
    {
        switch (m.type)
        {
        case ROOM_PLAYER_IN:
        {
            int id = r.ReadI32();
            int seat = r.ReadI32();
            if (r.ReadI32() == 2)
                m_seats[id] = seat;
            break;
        }
        case ROOM_START_READY:
            if (autoReady && play)
                Send(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_READY));
            break;
        case ROOM_GAME_RESULT:
            m_current.result = r.ReadResultList();
            m_hands.push_back(m_current);
            m_current = HandSeen();
            break;
        default:
            break;
        }
        return;
    }
    switch (m.type)
    {
    case GAME_DEAL:
    {
        int id = r.ReadI32();
        CardList cards = r.ReadCards();
        if (id == m_playerId)
        {
            if (cards.size() == 25)
            {
                m_current = HandSeen();
                m_current.ownDeal = cards;
                m_highestBid = 0;
                m_landlord = 0;
            }
            m_hand = cards;
            m_current.cardsLeft[id] = static_cast<int>(cards.size());
        }
        break;
    }
    case GAME_CARD_COUNT:
    {
        int id = r.ReadI32();
        m_current.cardsLeft[id] = r.ReadI32();
        break;
    }
    case GAME_BID_TURN:
    {
        int id = r.ReadI32();
        int bid = r.ReadI32();
        m_highestBid = std::max(m_highestBid, bid);
        if (id == m_playerId && play)
        {
            int value = KavdorBotCL::ChooseBid(m_hand, m_highestBid);
            Send(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_REQ_BID).I32(value < 0 ? 3 : value - 1));
        }
        break;
    }
    case GAME_BASE_CARDS:
        m_current.baseCards = r.ReadCards();
        break;
    case GAME_LANDLORD:
        m_landlord = r.ReadI32();
        break;
    case GAME_PLAY_TURN:
    {
        int id = r.ReadI32();
        bool follow = r.ReadI32() != 0;
        if (!follow)
        {
            m_standing.clear();
            for (auto& [player, seat] : m_seats)
                m_roundPlays[seat] = player == id ? CardList() : CardList{kCardNewRound};
        }
        if (id == m_playerId && play)
            PlayTurn(follow);
        break;
    }
    case GAME_PLAY_ANSWER:
    {
        r.ReadI32();
        CardList cards = r.ReadCards();
        m_refused = cards.empty();
        for (uint8_t card : cards)
        {
            auto found = std::find(m_hand.begin(), m_hand.end(), card);
            if (found != m_hand.end())
                m_hand.erase(found);
        }
        m_current.cardsLeft[m_playerId] = static_cast<int>(m_hand.size());
        break;
    }
    case GAME_PLAY:
    {
        int id = r.ReadI32();
        CardList cards = r.ReadCards();
        if (m_seats.count(id))
            m_roundPlays[m_seats[id]] = cards;
        if (cards.empty())
            break;
        if (m_standing.empty())
            (KavdorGetCardType(cards.data(), static_cast<int>(cards.size()), nullptr) >= 0
                 ? m_current.beaten
                 : m_current.notBeating)++;
        else
            (KavdorCompareCardGroup(cards.data(), static_cast<int>(cards.size()), m_standing.data(),
                                    static_cast<int>(m_standing.size())) == 1
                 ? m_current.beaten
                 : m_current.notBeating)++;
        m_standing = cards;
        break;
    }
    default:
        break;
    }
}

void TestTableClient::PlayTurn(bool follow)
{
    if (m_seat < 0)
        return;
    KavdorSeatPlays played{&m_roundPlays[0], &m_roundPlays[1], &m_roundPlays[2], &m_roundPlays[3]};
    bool partner = follow && m_landlord != m_playerId && !m_standing.empty();
    // Whose play stands: a fellow farmer's when it is not the landlord's.
    if (partner)
    {
        int landlordSeat = m_seats.count(m_landlord) ? m_seats[m_landlord] : -1;
        partner = landlordSeat >= 0 && m_roundPlays[landlordSeat] != m_standing;
    }
    SortHighToLow(m_hand);
    if (m_refused)
    {
        // The server refused the last choice: never offer it again.
        m_refused = false;
        if (follow)
            Send(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_REQ_PASS));
        else if (!m_hand.empty())
            Send(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_REQ_PLAY).Cards({m_hand.back()}));
        return;
    }
    KavdorHandChoice choice = KavdorBotCL::ChoosePlay(m_hand, played, m_seat, !follow, partner);
    if (choice.action == KavdorHandChoice::PLAY)
    {
        CardList cards = choice.cards;
        SortHighToLow(cards);
        Send(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_REQ_PLAY).Cards(cards));
    }
    else
    {
        Send(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_REQ_PASS));
    }
}
