#pragma once
// One table of four seats: seating, readiness, dealing, bidding, turns, refereeing with the rule
// engine, scoring, timeouts and the bots that play empty or abandoned seats. The table speaks
// the room and game messages of the module to its players through a listener and knows nothing
// of connections; the lobby (KavdorServerCL) routes its messages.
//
// Time is given by the caller in milliseconds (Tick and every request carry "now"), so that a
// table can be driven by a real clock or, for self-play and tests, as fast as it can go.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CGameKavdorLogicCl.h"
#include "KavdorBotThinkerCL.h"
#include "KavdorStrongBotCL.h"
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
    // The record of a human player the table holds, kept by the listener: the table keeps no
    // copy of its own, so that what it shows is never older than what was saved. Null when the
    // listener does not know the player.
    virtual const PlayerRecord* FindRecord(int playerId) = 0;
    // A hand ended: what it changes in the records of its human players. The table shows the
    // result only when HandSaved is called, once these changes are kept for good.
    virtual void OnHandEnded(KavdorTableCL& table, const std::vector<PlayerChange>& changes) = 0;
    // A player is no longer at the table (left, escaped, let go, refused at the door).
    virtual void OnPlayerLeftTable(KavdorTableCL& table, int playerId) = 0;
    // A player gave a wrong table password.
    virtual void OnWrongPassword(KavdorTableCL& table, int playerId) = 0;
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
    // How long a newcomer has to give the table password before he loses the seat.
    int passwordPromptMs = 60000;
    // Bots go on playing at a table where nobody is left (self-play); otherwise such a table
    // stops at the end of its hand.
    bool botsPlayAlone = false;
    // Where the deals take their randomness; empty: the system's entropy source.
    GameCardLogicCL::RandomSource random;
    // How the bots and the seats played for their players decide, until the first player at
    // the empty table chooses.
    KavdorBotLevel botLevel = KavdorBotLevel::EASY;
    // Where hard bots think while their delay runs; none: they think when they act, on the
    // caller's thread. Must outlive the table.
    KavdorBotThinkerCL* thinker = nullptr;
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
        // The hand is over; its result waits to be saved before anybody sees it.
        SETTLING,
    };
    // A newcomer who gives this many wrong passwords in a row loses his seat.
    static constexpr int kMaxPasswordGuesses = 3;

    KavdorTableCL(int id, const KavdorTableOptions& options, KavdorTableListenerCL& listener);
    ~KavdorTableCL();

    int GetId() const { return m_id; }
    Phase GetPhase() const { return m_phase; }
    bool HandRunning() const { return m_phase == BIDDING || m_phase == PLAYING; }
    int HandsPlayed() const { return m_handsPlayed; }
    bool HasPassword() const { return !m_password.empty(); }
    KavdorBotLevel BotLevel() const { return m_botLevel; }
    // Hard decisions taken from the thinker rather than thought when the bot acted.
    long AnswersThoughtAhead() const { return m_answersThoughtAhead; }
    // The first player at an empty table chooses how its bots play; false, changing nothing,
    // when somebody sits there already.
    bool ChooseBotLevel(KavdorBotLevel level);
    // What the seat's player sees of the hand, as the hard bot decides from it.
    KavdorSeatView ViewOf(int seat) const;
    int PlayerAt(int seat) const;
    // The seat holding the player, also one he left during the running hand; -1 when none.
    int SeatOf(int playerId) const;
    int FreeSeats() const;
    bool IsWatcher(int playerId) const;
    bool IsBot(int playerId) const { return playerId >= kFirstBotId; }
    // The player is at this table now: in a seat he has not left, or watching. Who sits where
    // is kept here and nowhere else; the lobby asks the tables.
    bool HasPlayer(int playerId) const;
    // The table still needs the player's record: he is at it, or his left seat waits for the
    // end of the hand.
    bool Holds(int playerId) const { return SeatOf(playerId) >= 0 || IsWatcher(playerId); }
    // Only a player in his own seat, past the password, may fill the table with bots.
    bool MayAddBots(int playerId) const;

    // Seats a player (seat -1: the first free one); the seat number, or -1 when none is free.
    // The player is shown to the table when his module enters the game (room request 7).
    int Sit(int playerId, int seat, int64_t now);
    // Lets a player watch a seat; he passes the password like a player when he enters.
    bool Watch(int playerId, int seat);
    // Fills every free seat with a bot; returns how many were seated.
    int AddBots(int64_t now);
    // The player's connection dropped: a bot plays his seat until he comes back.
    void Disconnect(int playerId, int64_t now);
    // The player is back: his seat is his again; the table state follows at room request 7.
    bool Reconnect(int playerId);
    // The player leaves the table (a force leave while a hand runs).
    void Leave(int playerId, int64_t now);
    // The changes reported by OnHandEnded are kept: the result is shown and the table goes on.
    void HandSaved(int64_t now);

    // Requests of a player's module. False when the request was refused or ignored (bad, out
    // of turn, or not his to make); it is logged.
    bool OnRoomRequest(int playerId, uint16_t type, NetMsgReaderCL& payload, int64_t now);
    bool OnGameRequest(int playerId, uint16_t type, NetMsgReaderCL& payload, int64_t now);

    // A player's numbers as the room messages carry them.
    static NetPlayerInfo InfoOf(const PlayerRecord& record);

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
        CardList cards;    // empty for a pass
        CardList standing; // the play it had to beat (empty when it led)
    };
    const std::vector<PlayRecord>& LastHandPlays() const { return m_plays; }
    const std::vector<NetResultRecord>& LastResult() const { return m_lastResult; }
    const CardList& LastDeal() const { return m_deal; }
    int LastLandlordSeat() const { return m_landlordSeat; }

private:
    // The password check at the door, for a seat or a watcher.
    struct Gate
    {
        bool admitted = false; // past the password (or there was none): never asked again
        bool pending = false;  // asked, no right answer yet
        int64_t deadline = 0;  // when a pending newcomer loses his place
        int wrong = 0;
    };
    struct Seat;
    struct Watcher
    {
        int id = 0;
        int seat = 0;
        bool entered = false;
        Gate gate;
    };

    // Messages. Send reaches only those who see the table now (entered, connected, not gone);
    // SendDirect reaches any human player (answers at the door and on leaving).
    void Send(int playerId, const NetMsgWriterCL& message);
    void SendDirect(int playerId, const NetMsgWriterCL& message);
    void SendToAll(const NetMsgWriterCL& message, int except = 0);
    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    const PlayerRecord& RecordOf(int playerId);
    const char* NameOf(int playerId);
    void SendArrival(int playerId);
    void SendHandState(int playerId);
    void SendDealtHand(int seat, const CardList& hand);
    Watcher* FindWatcher(int playerId);

    // The door.
    Gate* GateOf(int playerId);
    bool EnterGame(int playerId, int64_t now);
    bool TryPassword(int playerId, const std::string& password, int64_t now);
    void Admit(int playerId, int64_t now);
    void TurnAway(int playerId, const char* why);
    void ExpireGates(int64_t now);
    void EndPasswordIfNoHuman();

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
    void EndHand(int winnerSeat);
    void SettleSeats(int64_t now);
    void ActForSeat(int seat, int64_t now);
    void ScheduleTurn(int seat, int64_t now);
    bool SeatIsAutomatic(int seat) const;
    std::shared_ptr<const KavdorStrongBotCL> HardBot();
    void StartThinking(int seat);
    std::shared_ptr<KavdorBotThinkerCL::Decision> ThoughtAhead(const KavdorSeatView& view, bool bidding);
    int HardBid(int seat);
    KavdorHandChoice HardPlay(int seat);

    // Leaving.
    void RemoveFromSeat(int seat);
    void RemoveWatcher(int playerId);
    void LeaveNow(int playerId, bool escape, int64_t now);
    void AnswerExitButton(int playerId);
    bool Chat(int playerId, const std::string& text);
    bool AskToLeave(int playerId, const std::string& reason, int64_t now);
    bool AnswerLeaveRequest(int playerId, int asker, bool agree, int64_t now);
    bool Stake(int playerId, int stake);

    int m_id;
    KavdorTableOptions m_options;
    KavdorTableListenerCL& m_listener;
    std::array<std::unique_ptr<Seat>, kSeats> m_seats;
    std::vector<Watcher> m_watchers;
    std::string m_password;
    int m_creatorId = 0;
    KavdorBotLevel m_botLevel;
    // Made when the table first needs it; decides from a seat's view alone.
    std::shared_ptr<const KavdorStrongBotCL> m_hardBot;
    // The hard decision being thought for the seat to act, when there is a thinker.
    std::shared_ptr<KavdorBotThinkerCL::Decision> m_thinking;
    long m_answersThoughtAhead = 0;
    Phase m_phase = WAITING;
    std::unique_ptr<CGameKavdorLogicCl> m_referee;
    int m_firstBidder = 0;
    int m_dealsWithoutBid = 0;
    int m_bids[kSeats] = {};
    int m_turn = -1;        // seat to act, -1 none
    int64_t m_deadline = 0; // when the seat to act is acted for
    int m_landlordSeat = -1;
    int m_bid = 0;
    int m_standingSeat = -1; // seat whose play stands, -1 at a new round
    CardList m_standing;
    std::array<CardList, kSeats> m_roundPlays; // what each seat shows in the current round
    CardList m_baseCards;
    CardList m_deal;
    std::vector<PlayRecord> m_plays;
    std::vector<NetResultRecord> m_lastResult;
    // Lottery wins of the settling hand, announced with its result: player id, coins.
    std::vector<std::pair<int, int>> m_lotteryWins;
    int m_handsPlayed = 0;
    // Bot ids are unique across the tables of a process, whichever thread seats them.
    static std::atomic<int> s_nextBotId;
    static int NextBotId();
};
