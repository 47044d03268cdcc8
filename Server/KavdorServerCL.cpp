#include "KavdorServerCL.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>

#include "KelLogCL.h"
#include "NetMsgWriterCL.h"
#include "Win32/Text.h"

KavdorServerCL::KavdorServerCL(const KavdorServerOptions& options) : m_options(options), m_net(*this)
{
    KavdorTableOptions tableOptions;
    tableOptions.turnSeconds = options.turnSeconds;
    tableOptions.graceMs = options.graceMs;
    tableOptions.botDelayMs = options.botDelayMs;
    tableOptions.verbose = options.verbose;
    KavdorTableListenerCL& listener = *this;
    for (int id = 1; id <= std::max(1, options.tables); ++id)
        m_tables.push_back(std::make_unique<KavdorTableCL>(id, tableOptions, listener));
}

KavdorServerCL::~KavdorServerCL()
{
    Stop();
}

bool KavdorServerCL::Start()
{
    if (!m_store.Open(m_options.database))
    {
        m_lastError = "player records: " + m_store.LastError();
        return false;
    }
    if (!m_net.Listen(m_options.address, m_options.port))
    {
        m_lastError = "listen: " + m_net.LastError();
        return false;
    }
    Log("listening on " + m_options.address + ":" + std::to_string(m_net.Port()) + ", records in " +
        m_options.database);
    return true;
}

void KavdorServerCL::Stop()
{
    m_net.Stop();
    m_store.Close();
}

int64_t KavdorServerCL::Now() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void KavdorServerCL::RunOnce(int maxWaitMs)
{
    int64_t now = Now();
    int64_t next = INT64_MAX;
    for (auto& table : m_tables)
        next = std::min(next, table->NextDeadline());
    int wait = maxWaitMs;
    if (next != INT64_MAX)
        wait = static_cast<int>(std::clamp<int64_t>(next - now, 0, maxWaitMs));
    m_net.Poll(wait);
    HandleDisconnects();
    now = Now();
    for (auto& table : m_tables)
        table->Tick(now);
    HandleDisconnects();
}

void KavdorServerCL::Run(const std::atomic<bool>& stop)
{
    while (!stop.load())
        RunOnce(100);
}

KavdorTableCL* KavdorServerCL::GetTable(int id)
{
    return id >= 1 && id <= static_cast<int>(m_tables.size()) ? m_tables[id - 1].get() : nullptr;
}

KavdorTableCL* KavdorServerCL::TableOf(int playerId)
{
    auto found = m_seatedAt.find(playerId);
    return found == m_seatedAt.end() ? nullptr : GetTable(found->second);
}

void KavdorServerCL::Log(const std::string& line)
{
    if (!m_options.verbose)
        return;
    KelLogPrintf("%s", line.c_str());
    fprintf(stderr, "%s\n", GbkToUtf8(line).c_str());
}

void KavdorServerCL::Drop(int connection, const std::string& reason)
{
    m_net.Close(connection, reason);
}

// ---------------------------------------------------------------------------------------------
// Connections

void KavdorServerCL::OnConnect(int connection)
{
    m_sessions[connection] = Session{};
}

void KavdorServerCL::OnDisconnect(int connection, const std::string& reason)
{
    auto session = m_sessions.find(connection);
    if (session == m_sessions.end())
        return;
    int playerId = session->second.playerId;
    m_sessions.erase(session);
    if (playerId == 0)
        return;
    auto online = m_online.find(playerId);
    if (online == m_online.end() || online->second != connection)
        return; // already taken over by a newer connection
    m_online.erase(online);
    Log("player " + std::to_string(playerId) + " disconnected: " + reason);
    // A connection can fail while a table is sending (in the middle of a table operation):
    // the table hears of it once that operation is over.
    m_disconnected.push_back(playerId);
}

void KavdorServerCL::HandleDisconnects()
{
    while (!m_disconnected.empty())
    {
        int playerId = m_disconnected.front();
        m_disconnected.erase(m_disconnected.begin());
        if (m_online.count(playerId) != 0)
            continue; // logged in again meanwhile
        if (KavdorTableCL* table = TableOf(playerId))
            table->Disconnect(playerId, Now());
    }
}

void KavdorServerCL::OnMessage(int connection, const uint8_t* message, size_t size)
{
    uint16_t category = 0, type = 0;
    if (!NetMsgReaderCL::ReadHeader(message, size, category, type))
    {
        Drop(connection, "message shorter than its header");
        return;
    }
    NetMsgReaderCL payload(message + 4, static_cast<int>(size - 4));
    int playerId = m_sessions[connection].playerId;
    try
    {
        if (category == NET_CATEGORY_LOBBY)
        {
            OnLobby(connection, type, payload);
            return;
        }
        if (category != NET_CATEGORY_ROOM && category != NET_CATEGORY_GAME)
        {
            Log("connection " + std::to_string(connection) + ": unknown category " + std::to_string(category));
            return;
        }
        KavdorTableCL* table = playerId != 0 ? TableOf(playerId) : nullptr;
        if (table == nullptr)
        {
            Log("connection " + std::to_string(connection) + ": table message " + std::to_string(type) +
                " without a table");
            return;
        }
        if (category == NET_CATEGORY_ROOM)
            table->OnRoomRequest(playerId, type, payload, Now());
        else
            table->OnGameRequest(playerId, type, payload, Now());
    }
    catch (const NetMsgErrorCL& error)
    {
        Drop(connection, "malformed message " + std::to_string(category) + "/" + std::to_string(type) + ": " +
                             error.what());
    }
}

// ---------------------------------------------------------------------------------------------
// Lobby

void KavdorServerCL::OnLobby(int connection, uint16_t type, NetMsgReaderCL& payload)
{
    int playerId = m_sessions[connection].playerId;
    if (type == LOBBY_LOGIN)
    {
        Login(connection, payload);
        return;
    }
    if (playerId == 0)
    {
        m_net.Send(connection, NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_ERROR).Bytes("log in first").Data());
        Log("connection " + std::to_string(connection) + ": lobby request " + std::to_string(type) +
            " before logging in");
        return;
    }
    switch (type)
    {
    case LOBBY_LIST_TABLES:
        SendTableList(connection);
        return;
    case LOBBY_SIT:
        Sit(connection, payload);
        return;
    case LOBBY_LEAVE_TABLE:
        if (KavdorTableCL* table = TableOf(playerId))
            table->Leave(playerId, Now());
        return;
    case LOBBY_ADD_BOTS:
        if (KavdorTableCL* table = TableOf(playerId))
            table->AddBots(Now());
        return;
    default:
        Log("connection " + std::to_string(connection) + ": unknown lobby request " + std::to_string(type));
        return;
    }
}

void KavdorServerCL::Login(int connection, NetMsgReaderCL& payload)
{
    std::string nickname = payload.ReadBytes();
    int sex = payload.ReadU8();
    PlayerRecord record;
    if (m_sessions[connection].playerId != 0 || !m_store.LoadOrCreate(nickname, sex == 1 ? 1 : 0, record))
    {
        m_net.Send(connection, NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_LOGIN_RESULT)
                                   .I32(1)
                                   .I32(0)
                                   .PlayerInfo(NetPlayerInfo())
                                   .Data());
        Log("connection " + std::to_string(connection) + ": login refused");
        return;
    }
    // A player who logs in again takes over from his older connection.
    auto online = m_online.find(record.id);
    if (online != m_online.end())
    {
        m_sessions[online->second].playerId = 0;
        Drop(online->second, "logged in again elsewhere");
    }
    m_sessions[connection].playerId = record.id;
    m_online[record.id] = connection;
    KavdorTableCL* table = TableOf(record.id);
    if (table != nullptr)
    {
        // Back at the seat he left: his record there is the current one.
        table->Reconnect(record.id);
    }
    if (m_records.count(record.id) == 0 || table == nullptr)
        m_records[record.id] = record;
    NetPlayerInfo info;
    const PlayerRecord& current = m_records[record.id];
    info.nickname = current.nickname;
    info.values[NET_INFO_SCORE] = current.score;
    info.values[NET_INFO_COINS] = current.coins;
    info.values[NET_INFO_SEX] = current.sex;
    info.values[NET_INFO_WINS] = current.wins;
    info.values[NET_INFO_LOSSES] = current.losses;
    info.values[NET_INFO_DRAWS] = current.draws;
    info.values[NET_INFO_GAMES] = current.games;
    info.extra = current.escapes;
    m_net.Send(connection,
               NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_LOGIN_RESULT).I32(0).I32(record.id).PlayerInfo(info).Data());
    Log("player " + std::to_string(record.id) + " (" + record.nickname + ") logged in");
    if (table != nullptr)
        m_net.Send(connection, NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_SIT_RESULT)
                                   .I32(0)
                                   .I32(table->GetId())
                                   .I32(table->SeatOf(record.id))
                                   .Data());
}

void KavdorServerCL::SendTableList(int connection)
{
    NetMsgWriterCL list(NET_CATEGORY_LOBBY, LOBBY_TABLE_LIST);
    list.U8(static_cast<uint8_t>(std::min<size_t>(m_tables.size(), 255)));
    for (size_t i = 0; i < m_tables.size() && i < 255; ++i)
    {
        KavdorTableCL& table = *m_tables[i];
        uint8_t flags = static_cast<uint8_t>((table.HasPassword() ? 1 : 0) |
                                             (table.GetPhase() != KavdorTableCL::WAITING ? 2 : 0));
        list.I32(table.GetId()).U8(flags);
        for (int seat = 0; seat < KavdorTableCL::kSeats; ++seat)
            list.I32(table.PlayerAt(seat));
    }
    m_net.Send(connection, list.Data());
}

void KavdorServerCL::Sit(int connection, NetMsgReaderCL& payload)
{
    int tableId = payload.ReadI32();
    int seat = payload.ReadI32();
    bool watch = payload.ReadU8() != 0;
    int playerId = m_sessions[connection].playerId;
    KavdorTableCL* table = GetTable(tableId);
    int result = 0;
    if (table == nullptr)
        result = 2;
    else if (TableOf(playerId) != nullptr)
        result = 3;
    else if (watch)
        result = table->Watch(m_records[playerId], seat) ? 0 : 1;
    else
    {
        seat = table->Sit(m_records[playerId], seat, Now());
        result = seat >= 0 ? 0 : 1;
    }
    if (result == 0)
        m_seatedAt[playerId] = tableId;
    m_net.Send(connection,
               NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_SIT_RESULT).I32(result).I32(tableId).I32(seat).Data());
    if (result == 0 && !watch && m_options.bots)
        table->AddBots(Now());
}

// ---------------------------------------------------------------------------------------------
// Table events

void KavdorServerCL::SendToPlayer(int playerId, const std::vector<uint8_t>& message)
{
    auto online = m_online.find(playerId);
    if (online != m_online.end())
        m_net.Send(online->second, message);
}

void KavdorServerCL::OnHandEnded(KavdorTableCL&, const std::vector<PlayerRecord>& records)
{
    for (const PlayerRecord& record : records)
        m_records[record.id] = record;
    if (!m_store.Save(records))
        Log("player records not saved: " + m_store.LastError());
}

void KavdorServerCL::OnPlayerLeftTable(KavdorTableCL&, int playerId)
{
    m_seatedAt.erase(playerId);
}
