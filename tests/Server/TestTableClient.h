#pragma once
// A player at the table server over TCP, for tests: logs in, sits, enters the game, and plays
// its turns like a bot, while recording everything the server says so that tests can check the
// protocol and the hands.

#include <array>
#include <map>
#include <string>
#include <vector>

#include "KavdorBotCL.h"
#include "NetMsgReaderCL.h"
#include "NetMsgWriterCL.h"
#include "NetServerCL.h"

class TestTableClient
{
public:
    struct Received
    {
        uint16_t category;
        uint16_t type;
        std::vector<uint8_t> payload;
    };
    struct HandSeen
    {
        CardList ownDeal; // the 25 cards dealt to this client
        CardList baseCards;
        std::vector<NetResultRecord> result;
        std::map<int, int> cardsLeft; // player id -> cards left at the end
        int beaten = 0;               // plays that beat the standing play
        int notBeating = 0;           // plays that should have been refused
    };

    explicit TestTableClient(std::string nickname, std::string password = "")
        : m_nickname(std::move(nickname)),
          m_password(password.empty() ? "pw-" + m_nickname : std::move(password))
    {
    }

    bool Connect(uint16_t port) { return m_net.Connect("127.0.0.1", port); }
    void Close() { m_net.Close(); }
    bool IsConnected() const { return m_net.IsConnected(); }
    NetClientCL& Net() { return m_net; }

    void Send(const NetMsgWriterCL& message) { m_net.Send(message.Data()); }
    void Login()
    {
        Send(NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_LOGIN).Bytes(m_nickname).U8(0).Bytes(m_password));
    }
    void Watch(int table, int seat)
    {
        Send(NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_SIT).I32(table).I32(seat).U8(1));
    }
    void SitDown(int table, int seat)
    {
        Send(NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_SIT).I32(table).I32(seat).U8(0));
    }
    // What the module does on entering a table: enter, then the table settings.
    void EnterGame(const std::string& password = "")
    {
        Send(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_ENTER_GAME));
        Send(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_TABLE_SETTINGS).I32(0).I32(0).I32(0).Bytes(password));
    }

    // Reads what arrives for up to timeoutMs (stops early after an idle `quietMs`), answering
    // turns when `play` is set. Returns false when the connection is gone.
    bool Pump(int timeoutMs, bool play = true, int quietMs = 0);
    // Pumps until `count` results arrived or the time is up.
    bool PlayUntilResults(size_t count, int timeoutMs);

    int PlayerId() const { return m_playerId; }
    // The result of the last login answer (-1 before any).
    int LoginResult() const { return m_loginResult; }
    int Seat() const { return m_seat; }
    const std::vector<Received>& Log() const { return m_log; }
    const std::vector<HandSeen>& Hands() const { return m_hands; }
    const CardList& Hand() const { return m_hand; }
    bool autoReady = true;

private:
    void Handle(const Received& message, bool play);
    void PlayTurn(bool follow);

    std::string m_nickname;
    std::string m_password;
    NetClientCL m_net;
    std::vector<Received> m_log;
    int m_playerId = 0;
    int m_loginResult = -1;
    int m_seat = -1;
    std::map<int, int> m_seats; // player id -> seat
    CardList m_hand;
    std::array<CardList, 4> m_roundPlays;
    CardList m_standing;
    int m_landlord = 0;
    int m_highestBid = 0;
    bool m_refused = false;
    std::vector<HandSeen> m_hands;
    HandSeen m_current;
};
