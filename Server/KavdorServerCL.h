#pragma once
// The table server: the lobby (log in, list tables, sit down or watch, leave), the tables with
// their bots, and the player records. One thread drives it through RunOnce; the host runs it on
// a thread of its own to play without a separate server. Password checks and database writes
// run on the records' worker thread, so that no table ever waits for them.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "KavdorTableCL.h"
#include "NetServerCL.h"
#include "PlayerStoreCL.h"
#include "PlayerStoreWorkerCL.h"

struct KavdorServerOptions
{
    std::string address = "127.0.0.1";
    uint16_t port = 7000;
    std::string database = "kavdor-players.db";
    int tables = 8;
    // Bots take the free seats of a table as soon as a player sits down there.
    bool bots = false;
    // How the bots of a table decide unless its first player chooses otherwise.
    KavdorBotLevel botLevel = KavdorBotLevel::EASY;
    int turnSeconds = 30;
    int graceMs = 3000;
    int botDelayMs = 800;
    bool verbose = true;
    // Connections served at once; more are turned away at the door.
    int maxConnections = 1024;
    // Messages one connection may send per second, and in one burst; more closes it.
    double messagesPerSecond = 100;
    double messageBurst = 200;
    // A connection that has not logged in after this long is closed.
    int loginTimeoutMs = 30000;
    // How long a newcomer has to give a table's password.
    int passwordPromptMs = 60000;
    // The cost of the password hash (operations and memory; 0: the library's interactive
    // defaults). Tests lower it to run fast.
    unsigned long long passwordOps = 0;
    size_t passwordMemory = 0;
    // How long Stop waits for the hands still being saved.
    int stopGraceMs = 5000;
    // A login whose password is this token is admitted without its password being checked
    // (empty: none is). The lobby host makes one at random for the server it embeds, so that a
    // player alone with bots is never asked for a password.
    std::string localToken;
};

class KavdorServerCL : private NetServerCL::Handler, private KavdorTableListenerCL
{
public:
    // Wrong logins, and wrong table passwords, one connection may give before it is closed.
    static constexpr int kMaxWrongLogins = 5;
    static constexpr int kMaxWrongTablePasswords = 10;

    explicit KavdorServerCL(const KavdorServerOptions& options);
    ~KavdorServerCL() override;

    // Opens the player records and starts listening; false with LastError() on failure.
    bool Start();
    uint16_t Port() const { return m_net.Port(); }
    // Serves the connections and the tables' clocks for up to maxWaitMs.
    void RunOnce(int maxWaitMs);
    // Serves until `stop` becomes true.
    void Run(const std::atomic<bool>& stop);
    // Stops serving; the hands still being saved are finished first.
    void Stop();

    const std::string& LastError() const { return m_lastError; }
    KavdorTableCL* GetTable(int id);
    // The records' target as it can be logged: a password in it is left out.
    static std::string Redacted(const std::string& target);
    // Player records held in memory (those of players online or at a table).
    size_t RecordsInMemory() const { return m_records.size(); }

private:
    struct Session
    {
        int playerId = 0;
        bool loginPending = false;
        int64_t connectedAt = 0;
        int wrongLogins = 0;
        int wrongTablePasswords = 0;
        // Requests that were ignored or refused, as a bucket that refills slowly: a client that
        // keeps sending them is closed instead of filling the log.
        double complaintTokens = 0;
        int64_t complaintTime = 0;
        int complaintsLogged = 0;
        // Messages that came after a login still being checked; they are handled, in order,
        // once it is answered, as if the login had been answered at once.
        std::vector<std::vector<uint8_t>> held;
        size_t heldBytes = 0;
    };
    // How much a connection may send while its login is checked.
    static constexpr size_t kMaxHeldMessages = 64;
    static constexpr size_t kMaxHeldBytes = 64 * 1024;

    // NetServerCL::Handler
    void OnConnect(int connection) override;
    void OnMessage(int connection, const uint8_t* message, size_t size) override;
    void OnDisconnect(int connection, const std::string& reason) override;
    void OnTransportNote(const std::string& line) override;
    // KavdorTableListenerCL
    void SendToPlayer(int playerId, const std::vector<uint8_t>& message) override;
    const PlayerRecord* FindRecord(int playerId) override;
    void OnHandEnded(KavdorTableCL& table, const std::vector<PlayerChange>& changes) override;
    void OnPlayerLeftTable(KavdorTableCL& table, int playerId) override;
    void OnWrongPassword(KavdorTableCL& table, int playerId) override;
    void Log(const std::string& line) override;

    void OnLobby(int connection, uint16_t type, NetMsgReaderCL& payload);
    void Login(int connection, NetMsgReaderCL& payload);
    void FinishLogin(const PlayerStoreWorkerCL::Outcome& outcome);
    void FinishLoginAnswer(const PlayerStoreWorkerCL::Outcome& outcome);
    void ReplayHeld(int connection);
    void AnswerLogin(int connection, int result, const PlayerRecord* record, const std::string& reason);
    void Sit(int connection, NetMsgReaderCL& payload);
    void AddBots(int connection);
    void SendTableList(int connection);
    void Complain(int connection, const std::string& what);
    KavdorTableCL* TableOf(int playerId);
    void Drop(int connection, const std::string& reason);
    void HandleDisconnects();
    void CollectStoreOutcomes();
    void FinishSavedHand(int tableId, const std::vector<PlayerChange>& changes);
    void CloseSilentConnections(int64_t now);
    void ForgetIfIdle(int playerId);
    int64_t Now() const;
    void RenewPresence(int64_t now);

    KavdorServerOptions m_options;
    NetServerCL m_net;
    // Where the tables' hard bots think, off the thread that serves everybody. Declared before
    // the tables, which wait on it, so that it outlives them.
    KavdorBotThinkerCL m_thinker;
    std::vector<std::unique_ptr<KavdorTableCL>> m_tables;
    // Declared after the transport, which it wakes, so that it stops first.
    std::unique_ptr<PlayerStoreWorkerCL> m_worker;
    std::map<int, Session> m_sessions; // by connection
    std::map<int, int> m_online;       // player id -> connection
    // The records of the players online or held by a table: the one copy the tables show, in
    // step with the database because only saved changes are applied to it.
    std::map<int, PlayerRecord> m_records;
    std::vector<int> m_disconnected;      // players whose connection dropped, not yet told to tables
    std::vector<int> m_maybeIdle;         // players whose records may not be needed any more
    std::vector<int> m_savedWithoutStore; // tables whose hand changed no record (bots only)
    std::string m_lastError;
    // This server in the records' presence marks ("address:port/random"), and when it next says
    // that it is alive.
    std::string m_serverName;
    int64_t m_nextRenew = 0;
};
