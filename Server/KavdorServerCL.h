#pragma once
// The table server: the lobby (log in, list tables, sit down or watch, leave), the tables with
// their bots, and the player records. One thread drives it through RunOnce; the host runs it on
// a thread of its own to play without a separate server.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "KavdorTableCL.h"
#include "NetServerCL.h"
#include "PlayerStoreCL.h"

struct KavdorServerOptions
{
    std::string address = "127.0.0.1";
    uint16_t port = 7000;
    std::string database = "kavdor-players.db";
    int tables = 8;
    // Bots take the free seats of a table as soon as a player sits down there.
    bool bots = false;
    int turnSeconds = 30;
    int graceMs = 3000;
    int botDelayMs = 800;
    bool verbose = true;
};

class KavdorServerCL : private NetServerCL::Handler, private KavdorTableListenerCL
{
public:
    explicit KavdorServerCL(const KavdorServerOptions& options);
    ~KavdorServerCL() override;

    // Opens the player records and starts listening; false with LastError() on failure.
    bool Start();
    uint16_t Port() const { return m_net.Port(); }
    // Serves the connections and the tables' clocks for up to maxWaitMs.
    void RunOnce(int maxWaitMs);
    // Serves until `stop` becomes true.
    void Run(const std::atomic<bool>& stop);
    void Stop();

    const std::string& LastError() const { return m_lastError; }
    KavdorTableCL* GetTable(int id);

private:
    struct Session
    {
        int playerId = 0;
    };

    // NetServerCL::Handler
    void OnConnect(int connection) override;
    void OnMessage(int connection, const uint8_t* message, size_t size) override;
    void OnDisconnect(int connection, const std::string& reason) override;
    // KavdorTableListenerCL
    void SendToPlayer(int playerId, const std::vector<uint8_t>& message) override;
    void OnHandEnded(KavdorTableCL& table, const std::vector<PlayerRecord>& records) override;
    void OnPlayerLeftTable(KavdorTableCL& table, int playerId) override;
    void Log(const std::string& line) override;

    void OnLobby(int connection, uint16_t type, NetMsgReaderCL& payload);
    void Login(int connection, NetMsgReaderCL& payload);
    void Sit(int connection, NetMsgReaderCL& payload);
    void SendTableList(int connection);
    KavdorTableCL* TableOf(int playerId);
    void Drop(int connection, const std::string& reason);
    void HandleDisconnects();
    int64_t Now() const;

    KavdorServerOptions m_options;
    NetServerCL m_net;
    PlayerStoreCL m_store;
    std::vector<std::unique_ptr<KavdorTableCL>> m_tables;
    std::map<int, Session> m_sessions;        // by connection
    std::map<int, int> m_online;              // player id -> connection
    std::map<int, int> m_seatedAt;            // player id -> table id
    std::map<int, PlayerRecord> m_records;    // records of the players logged in
    std::vector<int> m_disconnected;         // players whose connection dropped, not yet told to tables
    std::string m_lastError;
};
