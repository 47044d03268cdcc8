#pragma once
// One table of four seats: seating, readiness, dealing, bidding, turns, refereeing with the rule
// engine, scoring, timeouts and the bots that play empty or abandoned seats. The table speaks
// the room and game messages of the module to its players through a listener and knows nothing
// of connections; the lobby (KavdorServerCL) routes its messages.
//
// Time is given by the caller in milliseconds (Tick and every request carry "now"), so that a
// table can be driven by a real clock or, for self-play and tests, as fast as it can go.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CGameKavdorLogicCl.h"
#include "NetMsgReaderCL.h"
#include "NetMsgTypes.h"
#include "NetMsgWriterCL.h"
#include "PlayerStoreCL.h"

class KavdorTableCL;

class KavdorTableListenerCL
{
public:
    virtual ~KavdorTableListenerCL() = default;
    // One message for one player (never called for bots).
    virtual void SendToPlayer(int playerId, const std::vector<uint8_t>& message) = 0;
    // A hand ended: the records of its human players after the result, to be kept.
    virtual void OnHandEnded(KavdorTableCL& table, const std::vector<PlayerRecord>& records) = 0;
    // A player is no longer at the table (left, escaped, or let go by the others).
    virtual void OnPlayerLeftTable(KavdorTableCL& table, int playerId) = 0;
    // One readable line about an event of the table.
    virtual void Log(const std::string& line) = 0;
};

struct KavdorTableOptions
{
    int turnSeconds = 30;
    // Extra time the server waits for a human seat beyond its countdown, so that the seat's own
    // timeout play arrives before the server plays for it.
    int graceMs = 3000;
    // How long a bot "thinks" before it acts; 0 plays at once.
    int botDelayMs = 800;
    int coinCost = 0;
    bool verbose = true;
    // Bots go on playing at a table where nobody is left (self-play); otherwise such a table
    // stops at the end of its hand.
    bool botsPlayAlone = false;
    // Where the deals take their randomness; empty: the system's entropy source.
    GameCardLogicCL::RandomSource random;
};

class KavdorTableCL
{
public:
    static constexpr int kSeats = 4;
    static constexpr int kFirstBotId = 1000000001;

    enum Phase
    {
        WAITING,
        BIDDING,
        PLAYING,
    };

    KavdorTableCL(int id, const KavdorTableOptions& options, KavdorTableListenerCL& listener);
    ~KavdorTableCL();

    int GetId() const { return m_id; }
    Phase GetPhase() const { return m_phase; }
    int HandsPlayed() const { return m_handsPlayed; }
    bool HasPassword() const { return !m_password.empty(); }
    int PlayerAt(int seat) const;
    int SeatOf(int playerId) const;
    int FreeSeats() const;
    bool IsWatcher(int playerId) const;
    bool IsBot(int playerId) const { return playerId >= kFirstBotId; }

    // Seats a player (seat -1: the first free one); the seat number, or -1 when none is free.
    // The player is shown to the table when his module enters the game (room request 7).
    int Sit(const PlayerRecord& record, int seat, int64_t now);
    // Lets a player watch a seat.
    bool Watch(const PlayerRecord& record, int seat);
    // Fills every free seat with a bot; returns how many were seated.
    int AddBots(int64_t now);
    // The player's connection dropped: a bot plays his seat until he comes back.
    void Disconnect(int playerId, int64_t now);
    // The player is back: his seat is his again; the table state follows at room request 7.
    bool Reconnect(int playerId);
    // The player leaves the table (a force leave while a hand runs).
    void Leave(int playerId, int64_t now);

    // Requests of a player's module; a bad or out-of-turn request is logged and ignored.
    void OnRoomRequest(int playerId, uint16_t type, NetMsgReaderCL& payload, int64_t now);
    void OnGameRequest(int playerId, uint16_t type, NetMsgReaderCL& payload, int64_t now);

    // Carries out what is due at `now`: timeouts and bot moves.
    void Tick(int64_t now);
    // When Tick next has something to do; INT64_MAX when nothing is scheduled.
    int64_t NextDeadline() const;

    // The hand as the referee holds it (for tests and self-play statistics).
    const CGameKavdorLogicCl& Referee() const { return *m_referee; }
    // Plays accepted in the last hand, in order (for self-play statistics and checks).
    struct PlayRecord
    {
        int seat;
        CardList cards; // empty for a pass
        CardList standing; // the play it had to beat (empty when it led)
    };
    const std::vector<PlayRecord>& LastHandPlays() const { return m_plays; }
    const std::vector<NetResultRecord>& LastResult() const { return m_lastResult; }
    const CardList& LastDeal() const { return m_deal; }
    int LastLandlordSeat() const { return m_landlordSeat; }

private:
    struct Seat;
    struct Watcher
    {
        PlayerRecord record;
        int seat;
        bool entered = false;
    };

    // Messages.
    void Send(int playerId, const NetMsgWriterCL& message);
    void SendToAll(const NetMsgWriterCL& message, int except = 0);
    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    NetPlayerInfo InfoOf(const PlayerRecord& record) const;
    void SendArrival(int playerId);
    void SendHandState(int playerId);
    void SendDealtHand(int seat, const CardList& hand);

    // Flow of a hand.
    void SetReady(int seat, int64_t now);
    void StartHand(int64_t now);
    void Deal(int64_t now);
    void AskBid(int seat, int previousBid, int64_t now);
    void Bid(int seat, int value, int64_t now);
    void FinishBidding(int landlordSeat, int bid, int64_t now);
    void AskPlay(int seat, bool follow, int64_t now);
    bool Play(int seat, CardList cards, int64_t now);
    bool Pass(int seat, int64_t now);
    void EndHand(int winnerSeat, int64_t now);
    void ActForSeat(int seat, int64_t now);
    void ScheduleTurn(int seat, int64_t now);
    bool SeatIsAutomatic(int seat) const;

    // Leaving.
    void RemoveFromSeat(int seat, int64_t now);
    void LeaveNow(int playerId, bool escape, int64_t now);
    void AnswerExitButton(int playerId);

    int m_id;
    KavdorTableOptions m_options;
    KavdorTableListenerCL& m_listener;
    std::array<std::unique_ptr<Seat>, kSeats> m_seats;
    std::vector<Watcher> m_watchers;
    std::string m_password;
    int m_creatorId = 0;
    Phase m_phase = WAITING;
    std::unique_ptr<CGameKavdorLogicCl> m_referee;
    int m_firstBidder = 0;
    int m_dealsWithoutBid = 0;
    int m_bids[kSeats] = {};
    int m_turn = -1;          // seat to act, -1 none
    int64_t m_deadline = 0;   // when the seat to act is acted for
    int m_landlordSeat = -1;
    int m_bid = 0;
    int m_standingSeat = -1;  // seat whose play stands, -1 at a new round
    CardList m_standing;
    std::array<CardList, kSeats> m_roundPlays; // what each seat shows in the current round
    CardList m_baseCards;
    CardList m_deal;
    std::vector<PlayRecord> m_plays;
    std::vector<NetResultRecord> m_lastResult;
    int m_handsPlayed = 0;
    static int s_nextBotId;
};
