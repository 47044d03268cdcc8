#include "KavdorTableCL.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <random>

#include "CardCode.h"
#include "KavdorBotCL.h"
#include "KavdorHandChoice.h"

std::atomic<int> KavdorTableCL::s_nextBotId{KavdorTableCL::kFirstBotId};

namespace
{
// After this many deals in a row that nobody bid on, the first bidder takes the hand at one
// point, so that a table of decliners still plays.
constexpr int kMaxDealsWithoutBid = 5;
// Extra coins a force leave costs, in stakes of the hand, shared by the seats that stayed.
constexpr int kEscapePenaltyStakes = 3;

std::string CardsText(const CardList& cards)
{
    static const char* kFaces[] = {"?", "A", "2", "3", "4", "5", "6", "7", "8", "9", "10", "J", "Q", "K"};
    std::string text;
    for (uint8_t card : cards)
    {
        if (!text.empty())
            text += ' ';
        int face = GetFace(card);
        text += face == 53 ? "sj" : face == 54 ? "BJ" : face <= 13 ? kFaces[face] : "x";
    }
    return text.empty() ? "pass" : text;
}
} // namespace

struct KavdorTableCL::Seat
{
    int id = 0;
    PlayerRecord botRecord; // a bot's own record; humans' records are the listener's
    bool bot = false;       // a bot's own seat
    bool connected = true;  // the player's connection is up
    bool entered = false;   // his module entered the game and was shown the table
    Gate gate;
    bool ready = false;
    bool escaped = false;  // left by force during the hand
    bool released = false; // left with the others' consent during the hand, or after its end
    int leaveChances = 3;
    bool leaveRequestOpen = false;
    std::vector<int> leaveAgreed;
    int stake = 0;

    bool Gone() const { return escaped || released; }
};

// The next free bot id. After the last int the ids start over: the bots of long ago are gone.
int KavdorTableCL::NextBotId()
{
    int id = s_nextBotId.load();
    int next;
    do
        next = id == INT_MAX ? kFirstBotId : id + 1;
    while (!s_nextBotId.compare_exchange_weak(id, next));
    return id;
}

KavdorTableCL::KavdorTableCL(int id, const KavdorTableOptions& options, KavdorTableListenerCL& listener)
    : m_id(id), m_options(options), m_listener(listener), m_botLevel(options.botLevel),
      m_referee(std::make_unique<CGameKavdorLogicCl>())
{
    if (m_options.random)
        m_referee->SetRandomSource(m_options.random);
}

KavdorTableCL::~KavdorTableCL() = default;

// ---------------------------------------------------------------------------------------------
// Queries

int KavdorTableCL::PlayerAt(int seat) const
{
    return seat >= 0 && seat < kSeats && m_seats[seat] ? m_seats[seat]->id : 0;
}

int KavdorTableCL::SeatOf(int playerId) const
{
    for (int seat = 0; seat < kSeats; ++seat)
        if (m_seats[seat] && m_seats[seat]->id == playerId)
            return seat;
    return -1;
}

int KavdorTableCL::FreeSeats() const
{
    return static_cast<int>(std::count(m_seats.begin(), m_seats.end(), nullptr));
}

bool KavdorTableCL::IsWatcher(int playerId) const
{
    return std::any_of(m_watchers.begin(), m_watchers.end(),
                       [&](const Watcher& w) { return w.id == playerId; });
}

KavdorTableCL::Watcher* KavdorTableCL::FindWatcher(int playerId)
{
    for (Watcher& watcher : m_watchers)
        if (watcher.id == playerId)
            return &watcher;
    return nullptr;
}

bool KavdorTableCL::HasPlayer(int playerId) const
{
    int seat = SeatOf(playerId);
    return (seat >= 0 && !m_seats[seat]->Gone()) || IsWatcher(playerId);
}

bool KavdorTableCL::MayAddBots(int playerId) const
{
    int seat = SeatOf(playerId);
    return seat >= 0 && !m_seats[seat]->Gone() && m_seats[seat]->entered;
}

bool KavdorTableCL::ChooseBotLevel(KavdorBotLevel level)
{
    for (const auto& seat : m_seats)
        if (seat)
            return false;
    m_botLevel = level;
    return true;
}

KavdorSeatView KavdorTableCL::ViewOf(int seat) const
{
    KavdorSeatView view;
    view.seat = seat;
    view.hand = m_referee->GetPlayerById(PlayerAt(seat))->Hand();
    KavdorSortCards(view.hand);
    for (int s = 0; s < kSeats; ++s)
    {
        view.cardCounts[static_cast<size_t>(s)] =
            static_cast<int>(m_referee->GetPlayerById(PlayerAt(s))->Hand().size());
        view.bids[static_cast<size_t>(s)] = m_bids[s];
    }
    view.firstBidder = m_firstBidder;
    if (m_phase != BIDDING)
    {
        view.landlordSeat = m_landlordSeat;
        view.bid = m_bid;
        view.baseCards = m_baseCards; // shown to everybody when the landlord is named
    }
    for (const PlayRecord& play : m_plays)
        view.plays.push_back({play.seat, play.cards});
    view.leading = m_standingSeat < 0;
    view.standingSeat = m_standingSeat;
    view.standing = m_standing;
    return view;
}

bool KavdorTableCL::SeatIsAutomatic(int seat) const
{
    const Seat& s = *m_seats[seat];
    // A player who came back is not shown the hand until his module enters the game again;
    // until then the seat is played for him.
    return s.bot || !s.connected || !s.entered || s.Gone();
}

// ---------------------------------------------------------------------------------------------
// Messages

void KavdorTableCL::Send(int playerId, const NetMsgWriterCL& message)
{
    if (playerId <= 0 || IsBot(playerId))
        return;
    int seat = SeatOf(playerId);
    if (seat >= 0)
    {
        const Seat& s = *m_seats[seat];
        if (!s.connected || !s.entered || s.Gone())
            return;
    }
    else
    {
        const Watcher* watcher = FindWatcher(playerId);
        if (watcher == nullptr || !watcher->entered)
            return;
    }
    m_listener.SendToPlayer(playerId, message.Data());
}

void KavdorTableCL::SendDirect(int playerId, const NetMsgWriterCL& message)
{
    if (playerId > 0 && !IsBot(playerId))
        m_listener.SendToPlayer(playerId, message.Data());
}

void KavdorTableCL::SendToAll(const NetMsgWriterCL& message, int except)
{
    for (int seat = 0; seat < kSeats; ++seat)
        if (m_seats[seat] && m_seats[seat]->id != except)
            Send(m_seats[seat]->id, message);
    for (const Watcher& watcher : m_watchers)
        if (watcher.id != except)
            Send(watcher.id, message);
}

void KavdorTableCL::Log(const char* format, ...)
{
    if (!m_options.verbose)
        return;
    char line[512];
    int used = snprintf(line, sizeof(line), "table %d: ", m_id);
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(line + used, sizeof(line) - used, format, arguments);
    va_end(arguments);
    m_listener.Log(line);
}

const PlayerRecord& KavdorTableCL::RecordOf(int playerId)
{
    int seat = SeatOf(playerId);
    if (seat >= 0 && m_seats[seat]->bot)
        return m_seats[seat]->botRecord;
    if (const PlayerRecord* record = m_listener.FindRecord(playerId))
        return *record;
    // The lobby keeps the record of everybody a table holds; a player shown without one is
    // shown with his id only rather than with somebody else's numbers.
    static PlayerRecord unknown;
    unknown = PlayerRecord();
    unknown.id = playerId;
    unknown.nickname = std::to_string(playerId);
    return unknown;
}

const char* KavdorTableCL::NameOf(int playerId)
{
    return RecordOf(playerId).nickname.c_str();
}

NetPlayerInfo KavdorTableCL::InfoOf(const PlayerRecord& record)
{
    NetPlayerInfo info;
    info.values[NET_INFO_LEVEL] = 1 + std::max(0, record.score) / 100;
    info.values[NET_INFO_SCORE] = record.score;
    info.values[NET_INFO_WINS] = record.wins;
    info.values[NET_INFO_LOSSES] = record.losses;
    info.values[NET_INFO_DRAWS] = record.draws;
    info.values[NET_INFO_GAMES] = record.games;
    info.values[NET_INFO_ESCAPE_RATE] =
        record.games > 0 ? static_cast<int>(static_cast<int64_t>(record.escapes) * 100 / record.games) : 0;
    info.values[NET_INFO_COINS] = record.coins;
    info.values[NET_INFO_SEX] = record.sex;
    info.nickname = record.nickname.size() > 255 ? record.nickname.substr(0, 255) : record.nickname;
    info.extra = record.escapes;
    return info;
}

// What a player sees on entering: the cost, everybody at the table, who is ready, and the
// hand in progress; the others see him arrive.
void KavdorTableCL::SendArrival(int playerId)
{
    Send(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_COIN_COST).I32(m_options.coinCost));
    int ownSeat = SeatOf(playerId);
    for (int seat = 0; seat < kSeats; ++seat)
    {
        if (!m_seats[seat] || (!m_seats[seat]->entered && seat != ownSeat && !m_seats[seat]->bot))
            continue;
        const PlayerRecord& record = RecordOf(m_seats[seat]->id);
        NetMsgWriterCL in(NET_CATEGORY_ROOM, ROOM_PLAYER_IN);
        in.I32(record.id).I32(seat).I32(2).PlayerInfo(InfoOf(record));
        if (seat == ownSeat)
            SendToAll(in, playerId); // the others see the newcomer
        Send(playerId, in);
    }
    for (const Watcher& watcher : m_watchers)
        if (watcher.entered)
            Send(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PLAYER_IN)
                               .I32(watcher.id)
                               .I32(watcher.seat)
                               .I32(1)
                               .PlayerInfo(InfoOf(RecordOf(watcher.id))));
    if (m_phase == SETTLING)
        return; // the result, and then the ready button, come when the hand is saved
    for (int seat = 0; seat < kSeats; ++seat)
        if (m_seats[seat] && m_seats[seat]->ready && m_phase == WAITING)
            Send(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_READY).I32(m_seats[seat]->id).U8(1));
    if (m_phase == WAITING)
        Send(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_START_READY));
    else
        SendHandState(playerId);
}

// The hand in progress, for a player who comes back or a watcher who arrives during it. A
// watcher sees the table as the public does: how many cards each seat holds, never which.
void KavdorTableCL::SendHandState(int playerId)
{
    int ownSeat = SeatOf(playerId);
    Send(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_START_READY));
    Send(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_GAME_RUNNING).I32(1));
    Send(playerId, NetMsgWriterCL(NET_CATEGORY_GAME, GAME_TURN_SECONDS).I32(m_options.turnSeconds));
    Send(playerId,
         NetMsgWriterCL(NET_CATEGORY_GAME, GAME_SCORE_INFO).I32(m_bid).I32(m_referee->GetMultiple()));
    for (int seat = 0; seat < kSeats; ++seat)
    {
        GameCardPlayerCL* player = m_referee->GetPlayerById(PlayerAt(seat));
        if (player == nullptr)
            continue;
        CardList hand = player->Hand();
        KavdorSortCards(hand);
        if (seat == ownSeat)
            Send(playerId, NetMsgWriterCL(NET_CATEGORY_GAME, GAME_DEAL).I32(PlayerAt(seat)).Cards(hand));
        else
            Send(playerId, NetMsgWriterCL(NET_CATEGORY_GAME, GAME_CARD_COUNT)
                               .I32(PlayerAt(seat))
                               .I32(static_cast<int>(hand.size())));
    }
    if (m_phase == BIDDING)
    {
        if (m_turn >= 0)
            Send(playerId, NetMsgWriterCL(NET_CATEGORY_GAME, GAME_BID_TURN)
                               .I32(PlayerAt(m_turn))
                               .I32(m_bids[(m_turn + 3) % kSeats]));
        return;
    }
    Send(playerId, NetMsgWriterCL(NET_CATEGORY_GAME, GAME_BASE_CARDS).Cards(m_baseCards));
    Send(playerId, NetMsgWriterCL(NET_CATEGORY_GAME, GAME_LANDLORD).I32(PlayerAt(m_landlordSeat)));
    for (int seat = 0; seat < kSeats; ++seat)
        if (!m_roundPlays[seat].empty() && m_roundPlays[seat] != CardList{kCardNewRound})
            Send(playerId,
                 NetMsgWriterCL(NET_CATEGORY_GAME, GAME_PLAY).I32(PlayerAt(seat)).Cards(m_roundPlays[seat]));
    if (m_turn >= 0)
        Send(playerId, NetMsgWriterCL(NET_CATEGORY_GAME, GAME_PLAY_TURN)
                           .I32(PlayerAt(m_turn))
                           .I32(m_standingSeat >= 0 ? 1 : 0));
}

// ---------------------------------------------------------------------------------------------
// Seating

int KavdorTableCL::Sit(int playerId, int seat, int64_t now)
{
    if (playerId <= 0 || IsBot(playerId) || SeatOf(playerId) >= 0 || IsWatcher(playerId))
        return -1;
    if (seat < 0)
        for (int s = 0; s < kSeats && seat < 0; ++s)
            if (!m_seats[s])
                seat = s;
    if (seat < 0 || seat >= kSeats || m_seats[seat])
        return -1;
    m_seats[seat] = std::make_unique<Seat>();
    m_seats[seat]->id = playerId;
    // The first player at an empty table owns it and may protect it with a password.
    if (m_creatorId == 0 || FreeSeats() == kSeats - 1)
    {
        m_creatorId = playerId;
        m_password.clear();
    }
    Log("%s sits at seat %d", NameOf(playerId), seat);
    (void)now;
    return seat;
}

bool KavdorTableCL::Watch(int playerId, int seat)
{
    if (playerId <= 0 || IsBot(playerId) || seat < 0 || seat >= kSeats || SeatOf(playerId) >= 0 ||
        IsWatcher(playerId))
        return false;
    m_watchers.push_back(Watcher{playerId, seat, false, Gate()});
    Log("%s watches seat %d", NameOf(playerId), seat);
    return true;
}

int KavdorTableCL::AddBots(int64_t now)
{
    int added = 0;
    for (int seat = 0; seat < kSeats; ++seat)
    {
        if (m_seats[seat])
            continue;
        auto bot = std::make_unique<Seat>();
        bot->id = NextBotId();
        bot->bot = true;
        bot->entered = true;
        bot->gate.admitted = true;
        PlayerRecord& record = bot->botRecord;
        record.id = bot->id;
        char name[32];
        snprintf(name, sizeof(name), "机器人%d", record.id - kFirstBotId + 1);
        record.nickname = name;
        record.coins = PlayerStoreCL::kStartingCoins;
        m_seats[seat] = std::move(bot);
        SendToAll(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PLAYER_IN)
                      .I32(record.id)
                      .I32(seat)
                      .I32(2)
                      .PlayerInfo(InfoOf(record)),
                  record.id);
        Log("bot %s sits at seat %d", record.nickname.c_str(), seat);
        ++added;
    }
    // Bots are ready at once.
    for (int seat = 0; seat < kSeats; ++seat)
        if (m_seats[seat] && m_seats[seat]->bot && !m_seats[seat]->ready && m_phase == WAITING)
            SetReady(seat, now);
    return added;
}

void KavdorTableCL::Disconnect(int playerId, int64_t now)
{
    if (IsWatcher(playerId))
    {
        RemoveWatcher(playerId);
        return;
    }
    int seat = SeatOf(playerId);
    if (seat < 0 || m_seats[seat]->Gone())
        return;
    Seat& s = *m_seats[seat];
    if (m_phase == WAITING)
    {
        // Between hands nobody waits for a player who is gone.
        LeaveNow(playerId, false, now);
        return;
    }
    s.connected = false;
    Log("%s lost the connection; a bot plays seat %d", NameOf(playerId), seat);
    if (m_turn == seat)
        ScheduleTurn(seat, now);
}

bool KavdorTableCL::Reconnect(int playerId)
{
    int seat = SeatOf(playerId);
    if (seat < 0 || m_seats[seat]->bot || m_seats[seat]->Gone())
        return false;
    m_seats[seat]->connected = true;
    m_seats[seat]->entered = false; // shown the table again at his next enter-game request
    Log("%s is back at seat %d", NameOf(playerId), seat);
    return true;
}

void KavdorTableCL::Leave(int playerId, int64_t now)
{
    if (IsWatcher(playerId))
    {
        SendDirect(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_EXIT_RESULT).U8(1));
        RemoveWatcher(playerId);
        return;
    }
    int seat = SeatOf(playerId);
    if (seat >= 0 && !m_seats[seat]->Gone())
        LeaveNow(playerId, HandRunning(), now);
}

void KavdorTableCL::RemoveWatcher(int playerId)
{
    Watcher* watcher = FindWatcher(playerId);
    if (watcher == nullptr)
        return;
    bool entered = watcher->entered;
    m_watchers.erase(m_watchers.begin() + (watcher - m_watchers.data()));
    if (entered)
        SendToAll(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PLAYER_OUT).I32(playerId));
    Log("%s stops watching", NameOf(playerId));
    m_listener.OnPlayerLeftTable(*this, playerId);
}

void KavdorTableCL::RemoveFromSeat(int seat)
{
    int playerId = m_seats[seat]->id;
    bool bot = m_seats[seat]->bot;
    bool shown = m_seats[seat]->entered || bot;
    bool gone = m_seats[seat]->Gone(); // the others saw him go when he left
    m_seats[seat].reset();
    if (shown && !gone)
        SendToAll(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PLAYER_OUT).I32(playerId));
    if (!bot)
        m_listener.OnPlayerLeftTable(*this, playerId);
}

// A player leaves now. During a hand his seat stays with a bot until the result; an escape
// costs a penalty there. While the result of a finished hand is being saved, he goes without
// penalty and his seat is freed with the result.
void KavdorTableCL::LeaveNow(int playerId, bool escape, int64_t now)
{
    int seat = SeatOf(playerId);
    if (seat < 0)
        return;
    Seat& s = *m_seats[seat];
    SendDirect(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_EXIT_RESULT).U8(1));
    if (m_phase == WAITING)
    {
        Log("%s leaves seat %d", NameOf(playerId), seat);
        RemoveFromSeat(seat);
        EndPasswordIfNoHuman();
        return;
    }
    if (escape && HandRunning())
        s.escaped = true;
    else
        s.released = true;
    Log("%s %s seat %d; %s", NameOf(playerId), s.escaped ? "escapes from" : "is let go from", seat,
        HandRunning() ? "a bot finishes the hand" : "the seat is freed with the result");
    SendToAll(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PLAYER_OUT).I32(playerId), playerId);
    m_listener.OnPlayerLeftTable(*this, playerId);
    EndPasswordIfNoHuman();
    if (m_turn == seat)
        ScheduleTurn(seat, now);
}

void KavdorTableCL::AnswerExitButton(int playerId)
{
    int seat = SeatOf(playerId);
    int type = 0;
    if (seat >= 0 && HandRunning())
    {
        bool othersHuman = false;
        for (int other = 0; other < kSeats; ++other)
            if (other != seat && m_seats[other] && !SeatIsAutomatic(other))
                othersHuman = true;
        int chances = m_seats[seat]->leaveChances;
        type = othersHuman && chances > 0 ? 2 + chances : 1;
    }
    SendDirect(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_EXIT_TYPE).I32(type));
}

// A table whose last human has gone belongs to nobody: its password ends, so that one player
// cannot lock a table for everyone, and between hands its bots leave with him.
void KavdorTableCL::EndPasswordIfNoHuman()
{
    for (const auto& seat : m_seats)
        if (seat && !seat->bot && !seat->Gone())
            return;
    if (!m_password.empty())
        Log("no player left at the table; its password ends");
    m_password.clear();
    m_creatorId = 0;
    if (m_phase != WAITING || m_options.botsPlayAlone)
        return;
    for (int seat = 0; seat < kSeats; ++seat)
        if (m_seats[seat] && m_seats[seat]->bot)
            RemoveFromSeat(seat);
}

// ---------------------------------------------------------------------------------------------
// The door: the table password

bool KavdorTableCL::EnterGame(int playerId, int64_t now)
{
    Gate* found = GateOf(playerId);
    if (found == nullptr)
        return false;
    Gate& gate = *found;
    if (!gate.admitted && !m_password.empty() && playerId != m_creatorId)
    {
        if (!gate.pending)
        {
            gate.pending = true;
            gate.deadline = now + m_options.passwordPromptMs;
        }
        SendDirect(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_ENTER_PASSWORD));
        return true;
    }
    Admit(playerId, now);
    return true;
}

KavdorTableCL::Gate* KavdorTableCL::GateOf(int playerId)
{
    int seat = SeatOf(playerId);
    if (seat >= 0)
        return m_seats[seat]->Gone() ? nullptr : &m_seats[seat]->gate;
    Watcher* watcher = FindWatcher(playerId);
    return watcher != nullptr ? &watcher->gate : nullptr;
}

// Right or wrong, a password given by a newcomer at the door. A wrong one counts against him.
bool KavdorTableCL::TryPassword(int playerId, const std::string& password, int64_t now)
{
    Gate* gate = GateOf(playerId);
    if (gate == nullptr || !gate->pending)
        return false;
    if (password == m_password)
    {
        SendDirect(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PASSWORD_RESULT).I32(0));
        Admit(playerId, now);
        return true;
    }
    ++gate->wrong;
    SendDirect(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PASSWORD_RESULT).I32(1));
    Log("wrong password from %s (%d of %d)", NameOf(playerId), gate->wrong, kMaxPasswordGuesses);
    bool turnAway = gate->wrong >= kMaxPasswordGuesses;
    m_listener.OnWrongPassword(*this, playerId);
    if (turnAway)
        TurnAway(playerId, "too many wrong passwords");
    return false;
}

// Past the door: the player (or watcher) is shown the table and the table is shown to him.
void KavdorTableCL::Admit(int playerId, int64_t now)
{
    int seat = SeatOf(playerId);
    if (seat >= 0)
    {
        Seat& s = *m_seats[seat];
        s.gate = Gate();
        s.gate.admitted = true;
        s.entered = true;
        SendArrival(playerId);
        // Back in his seat during his turn: he gets his own countdown again.
        if (HandRunning() && m_turn == seat)
            ScheduleTurn(seat, now);
        return;
    }
    Watcher* watcher = FindWatcher(playerId);
    if (watcher == nullptr)
        return;
    watcher->gate = Gate();
    watcher->gate.admitted = true;
    watcher->entered = true;
    SendArrival(playerId);
    NetMsgWriterCL in(NET_CATEGORY_ROOM, ROOM_PLAYER_IN);
    in.I32(playerId).I32(watcher->seat).I32(1).PlayerInfo(InfoOf(RecordOf(playerId)));
    SendToAll(in, playerId);
}

// A newcomer who did not get past the door loses his place at the table.
void KavdorTableCL::TurnAway(int playerId, const char* why)
{
    Log("%s is turned away: %s", NameOf(playerId), why);
    SendDirect(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_EXIT_RESULT).U8(1));
    if (IsWatcher(playerId))
    {
        RemoveWatcher(playerId);
        return;
    }
    int seat = SeatOf(playerId);
    if (seat < 0)
        return;
    RemoveFromSeat(seat);
    EndPasswordIfNoHuman();
}

void KavdorTableCL::ExpireGates(int64_t now)
{
    std::vector<int> expired;
    for (const auto& seat : m_seats)
        if (seat && seat->gate.pending && now >= seat->gate.deadline)
            expired.push_back(seat->id);
    for (const Watcher& watcher : m_watchers)
        if (watcher.gate.pending && now >= watcher.gate.deadline)
            expired.push_back(watcher.id);
    for (int playerId : expired)
        TurnAway(playerId, "no password given in time");
}

// ---------------------------------------------------------------------------------------------
// Requests

bool KavdorTableCL::OnRoomRequest(int playerId, uint16_t type, NetMsgReaderCL& payload, int64_t now)
{
    int seat = SeatOf(playerId);
    Seat* s = seat >= 0 && !m_seats[seat]->Gone() ? m_seats[seat].get() : nullptr;
    switch (type)
    {
    case ROOM_REQ_ENTER_GAME:
        return EnterGame(playerId, now);
    case ROOM_REQ_TABLE_SETTINGS:
    {
        payload.ReadI32(); // score limit and score difference: not enforced by this server
        payload.ReadI32();
        payload.ReadI32(); // address restriction: not enforced
        std::string password = payload.ReadBytes();
        if (s != nullptr && playerId == m_creatorId)
        {
            if (password != m_password)
                Log("%s %s the password", NameOf(playerId), password.empty() ? "clears" : "sets");
            m_password = password;
            return true;
        }
        // A newcomer's module sends the password it was given along with its settings; settings
        // without one are no guess, and once past the door there is nothing to guess.
        const Gate* gate = GateOf(playerId);
        if (password.empty() || gate == nullptr || !gate->pending)
            return true;
        return TryPassword(playerId, password, now);
    }
    case ROOM_REQ_PASSWORD:
        return TryPassword(playerId, payload.ReadBytes(), now);
    case ROOM_REQ_READY:
        if (s == nullptr || !s->entered || m_phase != WAITING || s->ready)
            return false;
        SetReady(seat, now);
        return true;
    case ROOM_REQ_CHAT:
        return Chat(playerId, payload.ReadBytes());
    case ROOM_REQ_EXIT_BUTTON:
        AnswerExitButton(playerId);
        return true;
    case ROOM_REQ_LEAVE:
    case ROOM_REQ_FORCE_LEAVE:
        Leave(playerId, now);
        return true;
    case ROOM_REQ_LEAVE_WITH_REASON:
        return AskToLeave(playerId, payload.ReadBytes(), now);
    case ROOM_REQ_LEAVE_ANSWER:
    {
        int asker = payload.ReadI32();
        bool agree = payload.ReadU8() != 0;
        return AnswerLeaveRequest(playerId, asker, agree, now);
    }
    case ROOM_REQ_STAKE:
        return Stake(playerId, payload.ReadI32());
    default:
        Log("room request %d of player %d is unknown", type, playerId);
        return false;
    }
}

// Chat reaches everybody at the table. Chat commands carry the sender's own id; one that
// names somebody else would make the others' tables act for that player, so it is refused.
bool KavdorTableCL::Chat(int playerId, const std::string& text)
{
    int seat = SeatOf(playerId);
    bool present = seat >= 0 ? !m_seats[seat]->Gone() && m_seats[seat]->entered
                             : IsWatcher(playerId) && FindWatcher(playerId)->entered;
    if (!present)
        return false;
    static const std::string kCommand = "@ID:";
    if (text.compare(0, kCommand.size(), kCommand) == 0 && text.size() > kCommand.size())
    {
        size_t end = text.find('#', kCommand.size());
        std::string named = text.substr(kCommand.size(),
                                        end == std::string::npos ? std::string::npos : end - kCommand.size());
        if (named != std::to_string(playerId))
        {
            Log("chat command of %s names another player; refused", NameOf(playerId));
            return false;
        }
    }
    SendToAll(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_CHAT).Bytes(text));
    return true;
}

bool KavdorTableCL::AskToLeave(int playerId, const std::string& reason, int64_t now)
{
    int seat = SeatOf(playerId);
    if (seat < 0 || m_seats[seat]->Gone())
        return false;
    Seat& s = *m_seats[seat];
    if (!HandRunning())
    {
        LeaveNow(playerId, false, now);
        return true;
    }
    if (s.leaveChances <= 0 || s.leaveRequestOpen)
    {
        SendDirect(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_EXIT_RESULT).U8(0));
        return false;
    }
    --s.leaveChances;
    s.leaveRequestOpen = true;
    s.leaveAgreed.clear();
    bool asked = false;
    for (int other = 0; other < kSeats; ++other)
    {
        if (other == seat || !m_seats[other] || SeatIsAutomatic(other))
            continue;
        Send(m_seats[other]->id,
             NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_WANT_TO_LEAVE).I32(playerId).Bytes(reason));
        asked = true;
    }
    Log("%s asks to leave: %s", NameOf(playerId), reason.c_str());
    if (!asked)
    {
        s.leaveRequestOpen = false;
        LeaveNow(playerId, false, now);
    }
    return true;
}

bool KavdorTableCL::AnswerLeaveRequest(int playerId, int asker, bool agree, int64_t now)
{
    int seat = SeatOf(playerId);
    int askerSeat = SeatOf(asker);
    if (seat < 0 || m_seats[seat]->Gone() || askerSeat < 0 || askerSeat == seat ||
        !m_seats[askerSeat]->leaveRequestOpen)
        return false;
    Seat& a = *m_seats[askerSeat];
    if (!agree)
    {
        a.leaveRequestOpen = false;
        SendDirect(asker, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_EXIT_RESULT).U8(0));
        Log("%s refuses to let %s go", NameOf(playerId), NameOf(asker));
        return true;
    }
    if (std::find(a.leaveAgreed.begin(), a.leaveAgreed.end(), playerId) == a.leaveAgreed.end())
        a.leaveAgreed.push_back(playerId);
    int humans = 0;
    for (int other = 0; other < kSeats; ++other)
        if (other != askerSeat && m_seats[other] && !SeatIsAutomatic(other))
            ++humans;
    if (static_cast<int>(a.leaveAgreed.size()) >= humans)
    {
        a.leaveRequestOpen = false;
        LeaveNow(asker, false, now);
    }
    return true;
}

// The table lottery: the stake is set aside now and settled with the hand's result.
bool KavdorTableCL::Stake(int playerId, int stake)
{
    int seat = SeatOf(playerId);
    Seat* s = seat >= 0 && !m_seats[seat]->Gone() && m_seats[seat]->entered ? m_seats[seat].get() : nullptr;
    if (s == nullptr || s->bot || stake < 1 || stake > 1000 || stake > RecordOf(playerId).coins ||
        s->stake > 0)
    {
        Log("stake %d of player %d refused", stake, playerId);
        return false;
    }
    s->stake = stake;
    Log("%s stakes %d coins on the table lottery", NameOf(playerId), stake);
    return true;
}

bool KavdorTableCL::OnGameRequest(int playerId, uint16_t type, NetMsgReaderCL& payload, int64_t now)
{
    int seat = SeatOf(playerId);
    if (seat < 0 || SeatIsAutomatic(seat))
    {
        Log("game request %d of player %d who does not play here", type, playerId);
        return false;
    }
    if (seat != m_turn || !HandRunning())
    {
        Log("game request %d of %s out of turn", type, NameOf(playerId));
        return false;
    }
    switch (type)
    {
    case GAME_REQ_BID:
    {
        int code = payload.ReadI32();
        if (m_phase != BIDDING || code < 0 || code > 3)
        {
            Log("bid code %d of seat %d refused", code, seat);
            return false;
        }
        int value = code == 3 ? -1 : code + 1;
        int highest = *std::max_element(m_bids, m_bids + kSeats);
        if (value > 0 && value <= highest)
        {
            Log("bid %d of seat %d does not raise %d", value, seat, highest);
            return false;
        }
        Bid(seat, value, now);
        return true;
    }
    case GAME_REQ_PLAY:
    {
        CardList cards = payload.ReadCards();
        if (m_phase == PLAYING && Play(seat, cards, now))
            return true;
        // Refused: the seat keeps its turn and its buttons come back.
        Send(playerId, NetMsgWriterCL(NET_CATEGORY_GAME, GAME_PLAY_ANSWER).I32(0).Cards({}));
        if (m_phase == PLAYING)
            Send(playerId,
                 NetMsgWriterCL(NET_CATEGORY_GAME, GAME_PLAY_TURN).I32(playerId).I32(m_standingSeat >= 0));
        return false;
    }
    case GAME_REQ_PASS:
        if (m_phase == PLAYING && Pass(seat, now))
            return true;
        Log("pass of seat %d refused: it leads", seat);
        Send(playerId,
             NetMsgWriterCL(NET_CATEGORY_GAME, GAME_PLAY_TURN).I32(playerId).I32(m_standingSeat >= 0));
        return false;
    case GAME_REQ_TRUSTEESHIP:
        ActForSeat(seat, now);
        return true;
    default:
        Log("game request %d of player %d is unknown", type, playerId);
        return false;
    }
}

// ---------------------------------------------------------------------------------------------
// The hand

void KavdorTableCL::SetReady(int seat, int64_t now)
{
    m_seats[seat]->ready = true;
    SendToAll(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_READY).I32(m_seats[seat]->id).U8(1));
    for (int s = 0; s < kSeats; ++s)
        if (!m_seats[s] || !m_seats[s]->ready)
            return;
    StartHand(now);
}

void KavdorTableCL::StartHand(int64_t now)
{
    m_referee = std::make_unique<CGameKavdorLogicCl>();
    if (m_options.random)
        m_referee->SetRandomSource(m_options.random);
    for (int seat = 0; seat < kSeats; ++seat)
        m_referee->AddPlayer(PlayerAt(seat));
    m_plays.clear();
    m_dealsWithoutBid = 0;
    Log("hand %d starts", m_handsPlayed + 1);
    SendToAll(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_GAME_RUNNING).I32(1));
    SendToAll(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_TURN_SECONDS).I32(m_options.turnSeconds));
    Deal(now);
}

void KavdorTableCL::Deal(int64_t now)
{
    m_phase = BIDDING;
    m_referee->CreateCard(2);
    m_referee->Shuffle();
    m_deal.clear();
    for (int i = 0; i < m_referee->GetStockNum(); ++i)
        m_deal.push_back(m_referee->GetStockCard(i));
    m_referee->StartGame();
    m_baseCards.clear();
    while (m_referee->GetStockNum() > 0)
        m_baseCards.push_back(m_referee->PopStockCard());
    std::fill(m_bids, m_bids + kSeats, 0);
    m_landlordSeat = -1;
    m_bid = 0;
    m_standingSeat = -1;
    m_standing.clear();
    for (CardList& play : m_roundPlays)
        play.clear();
    SendToAll(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_SCORE_INFO).I32(0).I32(1));
    for (int seat = 0; seat < kSeats; ++seat)
    {
        CardList hand = m_referee->GetPlayerById(PlayerAt(seat))->Hand();
        KavdorSortCards(hand);
        SendDealtHand(seat, hand);
    }
    Log("deal; seat %d bids first", m_firstBidder);
    AskBid(m_firstBidder, 0, now);
}

// The seat's player sees the cards; everybody else, watchers included, only learns how many
// there are: a watcher could otherwise pass a hidden hand to a player.
void KavdorTableCL::SendDealtHand(int seat, const CardList& hand)
{
    int playerId = PlayerAt(seat);
    Send(playerId, NetMsgWriterCL(NET_CATEGORY_GAME, GAME_DEAL).I32(playerId).Cards(hand));
    int count = static_cast<int>(hand.size());
    SendToAll(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_CARD_COUNT).I32(playerId).I32(count), playerId);
}

void KavdorTableCL::AskBid(int seat, int previousBid, int64_t now)
{
    m_turn = seat;
    SendToAll(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_BID_TURN).I32(PlayerAt(seat)).I32(previousBid));
    ScheduleTurn(seat, now);
}

void KavdorTableCL::Bid(int seat, int value, int64_t now)
{
    m_bids[seat] = value;
    Log("seat %d bids %d", seat, value);
    if (value == 3)
    {
        SendToAll(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_BID_THREE).I32(PlayerAt(seat)));
        FinishBidding(seat, 3, now);
        return;
    }
    int next = (seat + 1) % kSeats;
    if (next != m_firstBidder)
    {
        AskBid(next, value, now);
        return;
    }
    int best = -1;
    for (int i = 0; i < kSeats; ++i)
    {
        int s = (m_firstBidder + i) % kSeats;
        if (m_bids[s] > 0 && (best < 0 || m_bids[s] > m_bids[best]))
            best = s;
    }
    if (best >= 0)
    {
        FinishBidding(best, m_bids[best], now);
        return;
    }
    if (++m_dealsWithoutBid >= kMaxDealsWithoutBid)
    {
        Log("nobody bid %d times; seat %d takes the hand at 1", m_dealsWithoutBid, m_firstBidder);
        FinishBidding(m_firstBidder, 1, now);
        return;
    }
    Log("nobody bid; deal again");
    Deal(now);
}

void KavdorTableCL::FinishBidding(int landlordSeat, int bid, int64_t now)
{
    m_landlordSeat = landlordSeat;
    m_bid = bid;
    int landlordId = PlayerAt(landlordSeat);
    m_referee->SetLandlordId(landlordId);
    m_referee->SetBaseScore(bid);
    CardList& hand = m_referee->GetPlayerById(landlordId)->Hand();
    hand.insert(hand.end(), m_baseCards.begin(), m_baseCards.end());
    CardList sorted = hand;
    KavdorSortCards(sorted);
    Log("seat %d is the landlord at %d; base cards %s", landlordSeat, bid, CardsText(m_baseCards).c_str());

    m_turn = -1;
    SendToAll(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_BASE_CARDS).Cards(m_baseCards));
    SendToAll(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_LANDLORD).I32(landlordId));
    SendToAll(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_SCORE_INFO).I32(bid).I32(m_referee->GetMultiple()));
    SendDealtHand(landlordSeat, sorted);
    m_phase = PLAYING;
    // Every seat starts the play with an empty history entry: nothing of theirs stands yet.
    for (int seat = 0; seat < kSeats; ++seat)
        m_referee->GetPlayerById(PlayerAt(seat))->History().push_back(CardList());
    AskPlay(landlordSeat, false, now);
}

void KavdorTableCL::AskPlay(int seat, bool follow, int64_t now)
{
    m_turn = seat;
    if (!follow)
    {
        m_standingSeat = -1;
        m_standing.clear();
        for (int s = 0; s < kSeats; ++s)
            m_roundPlays[s] = s == seat ? CardList() : CardList{kCardNewRound};
    }
    SendToAll(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_PLAY_TURN).I32(PlayerAt(seat)).I32(follow ? 1 : 0));
    ScheduleTurn(seat, now);
}

bool KavdorTableCL::Play(int seat, CardList cards, int64_t now)
{
    int playerId = PlayerAt(seat);
    KavdorSortCards(cards);
    int before = m_referee->GetMultiple();
    int result = m_referee->OutCard(playerId, cards.data(), static_cast<int>(cards.size()));
    if (result != KAVDOR_OUT_ACCEPTED && result != KAVDOR_OUT_LAST_CARDS)
    {
        Log("seat %d plays %s: refused (%s)", seat, CardsText(cards).c_str(), m_referee->GetMessage());
        return false;
    }
    m_referee->CommitOutCard(playerId);
    m_plays.push_back(PlayRecord{seat, cards, m_standing});
    Log("seat %d plays %s", seat, CardsText(cards).c_str());
    m_standingSeat = seat;
    m_standing = cards;
    m_roundPlays[seat] = cards;
    int left = static_cast<int>(m_referee->GetPlayerById(playerId)->Hand().size());
    Send(playerId, NetMsgWriterCL(NET_CATEGORY_GAME, GAME_PLAY_ANSWER).I32(0).Cards(cards));
    SendToAll(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_PLAY).I32(playerId).Cards(cards));
    SendToAll(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_CARD_COUNT).I32(playerId).I32(left), playerId);
    if (m_referee->GetMultiple() != before)
        SendToAll(
            NetMsgWriterCL(NET_CATEGORY_GAME, GAME_SCORE_INFO).I32(m_bid).I32(m_referee->GetMultiple()));
    if (result == KAVDOR_OUT_LAST_CARDS)
    {
        EndHand(seat);
        return true;
    }
    AskPlay((seat + 1) % kSeats, true, now);
    return true;
}

bool KavdorTableCL::Pass(int seat, int64_t now)
{
    if (m_standingSeat < 0 || m_standingSeat == seat)
        return false;
    int playerId = PlayerAt(seat);
    m_referee->GetPlayerById(playerId)->History().push_back(CardList());
    m_plays.push_back(PlayRecord{seat, CardList(), m_standing});
    m_roundPlays[seat].clear();
    Log("seat %d passes", seat);
    SendToAll(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_PLAY).I32(playerId).Cards({}));
    int next = (seat + 1) % kSeats;
    AskPlay(next, next != m_standingSeat, now);
    return true;
}

void KavdorTableCL::EndHand(int winnerSeat)
{
    // Seats are freed only between hands: the four that played are all still here.
    for (int seat = 0; seat < kSeats; ++seat)
        assert(m_seats[seat] != nullptr);
    int stake = std::max(1, m_bid) * m_referee->GetMultiple();
    std::vector<NetResultRecord> results;
    int escapers = 0;
    for (int seat = 0; seat < kSeats; ++seat)
        escapers += m_seats[seat]->escaped ? 1 : 0;
    for (int seat = 0; seat < kSeats; ++seat)
    {
        int playerId = PlayerAt(seat);
        int score = m_referee->GetScore(playerId);
        // A force leave costs its penalty, shared among the seats that stayed, so that a
        // hand's result still sums to zero.
        if (m_seats[seat]->escaped)
            score -= kEscapePenaltyStakes * stake * (kSeats - escapers);
        else
            score += kEscapePenaltyStakes * stake * escapers;
        results.push_back(NetResultRecord{playerId, score, score, 0});
    }
    m_lastResult = results;
    ++m_handsPlayed;
    m_firstBidder = (m_firstBidder + 1) % kSeats;
    m_phase = SETTLING;
    m_turn = -1;
    m_thinking.reset();
    Log("hand %d won by seat %d (%s); scores %d %d %d %d", m_handsPlayed, winnerSeat,
        winnerSeat == m_landlordSeat ? "landlord" : "farmers", results[0].score, results[1].score,
        results[2].score, results[3].score);

    // What the hand changes in each record, the lottery stakes included. Humans' records
    // change when the lobby has kept these changes; a bot's own record changes here.
    std::vector<PlayerChange> changes;
    m_lotteryWins.clear();
    for (int seat = 0; seat < kSeats; ++seat)
    {
        Seat& s = *m_seats[seat];
        PlayerChange change;
        change.id = s.id;
        change.score = results[seat].score;
        change.coins = results[seat].score;
        change.games = 1;
        change.wins = change.score > 0 ? 1 : 0;
        change.losses = change.score < 0 ? 1 : 0;
        change.draws = change.score == 0 ? 1 : 0;
        change.escapes = s.escaped ? 1 : 0;
        if (s.stake > 0)
        {
            // The table lottery: one stake in five wins four times its stake.
            change.coins -= s.stake;
            uint32_t draw = m_options.random ? m_options.random(5) : std::random_device{}() % 5;
            if (draw == 0)
            {
                change.coins += 4 * s.stake;
                m_lotteryWins.emplace_back(s.id, 4 * s.stake);
                Log("%s wins %d coins in the table lottery", NameOf(s.id), 4 * s.stake);
            }
            s.stake = 0;
        }
        if (s.bot)
            PlayerStoreCL::ApplyTo(change, s.botRecord);
        else
            changes.push_back(change);
    }
    m_listener.OnHandEnded(*this, changes);
}

void KavdorTableCL::HandSaved(int64_t now)
{
    if (m_phase != SETTLING)
    {
        Log("a saved hand was reported while no hand waited for it; ignored");
        return;
    }
    m_phase = WAITING;
    for (const auto& [playerId, coins] : m_lotteryWins)
        Send(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_LOTTERY_WIN).I32(coins));
    m_lotteryWins.clear();
    SendToAll(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_GAME_RESULT).ResultList(m_lastResult));
    for (const NetResultRecord& result : m_lastResult)
        SendToAll(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PLAYER_INFO)
                      .I32(result.playerId)
                      .PlayerInfo(InfoOf(RecordOf(result.playerId))));
    SettleSeats(now);
}

// After a result: seats left during the hand are freed, the others start over; with nobody
// left to play or watch, the table stops.
void KavdorTableCL::SettleSeats(int64_t now)
{
    for (int seat = 0; seat < kSeats; ++seat)
    {
        if (!m_seats[seat])
            continue;
        Seat& s = *m_seats[seat];
        s.ready = false;
        s.leaveRequestOpen = false;
        s.leaveChances = 3;
        if (s.Gone())
        {
            int playerId = s.id;
            m_seats[seat].reset();
            SendToAll(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PLAYER_OUT).I32(playerId));
        }
    }
    // Instead of letting bots play on for nobody, players who dropped lose their seats now.
    bool anyoneHere = m_options.botsPlayAlone || !m_watchers.empty();
    for (int seat = 0; seat < kSeats; ++seat)
        anyoneHere = anyoneHere || (m_seats[seat] && !m_seats[seat]->bot && m_seats[seat]->connected);
    if (!anyoneHere)
    {
        for (int seat = 0; seat < kSeats; ++seat)
        {
            if (!m_seats[seat])
                continue;
            int playerId = m_seats[seat]->id;
            bool bot = m_seats[seat]->bot;
            m_seats[seat].reset();
            if (!bot)
                m_listener.OnPlayerLeftTable(*this, playerId);
        }
        m_creatorId = 0;
        m_password.clear();
        Log("nobody left at the table; it stops");
        return;
    }
    EndPasswordIfNoHuman();
    SendToAll(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_START_READY));
    for (int seat = 0; seat < kSeats; ++seat)
        if (m_seats[seat] && (m_seats[seat]->bot || !m_seats[seat]->connected))
            SetReady(seat, now);
}

// ---------------------------------------------------------------------------------------------
// Timeouts and bots

void KavdorTableCL::ScheduleTurn(int seat, int64_t now)
{
    m_thinking.reset();
    if (SeatIsAutomatic(seat))
    {
        m_deadline = now + m_options.botDelayMs;
        StartThinking(seat);
    }
    else
        m_deadline = now + static_cast<int64_t>(m_options.turnSeconds) * 1000 + m_options.graceMs;
}

int64_t KavdorTableCL::NextDeadline() const
{
    int64_t next = m_turn >= 0 && HandRunning() ? m_deadline : INT64_MAX;
    for (const auto& seat : m_seats)
        if (seat && seat->gate.pending)
            next = std::min(next, seat->gate.deadline);
    for (const Watcher& watcher : m_watchers)
        if (watcher.gate.pending)
            next = std::min(next, watcher.gate.deadline);
    return next;
}

void KavdorTableCL::Tick(int64_t now)
{
    ExpireGates(now);
    // A bounded number of steps per call, so that a table of bots that plays without delay
    // still returns to its caller.
    for (int steps = 0; steps < 1000 && m_turn >= 0 && HandRunning() && now >= m_deadline; ++steps)
        ActForSeat(m_turn, now);
}

std::shared_ptr<const KavdorStrongBotCL> KavdorTableCL::HardBot()
{
    if (m_hardBot == nullptr)
    {
        // Its own seed per table, so that two tables do not play alike; from the table's random
        // source where it has one, so that a seeded table still plays the same way every time.
        KavdorStrongBotCL::Settings settings;
        settings.seed = m_options.random ? (static_cast<uint64_t>(m_options.random(1 << 30)) << 1 | 1)
                                         : (static_cast<uint64_t>(std::random_device{}()) << 32 | m_id);
        m_hardBot = std::make_shared<const KavdorStrongBotCL>(settings);
    }
    return m_hardBot;
}

void KavdorTableCL::StartThinking(int seat)
{
    if (m_botLevel != KavdorBotLevel::HARD || (m_phase != BIDDING && m_phase != PLAYING))
        return;
    // Made here even without a thinker, so that a seeded table draws the bot's seed at the same
    // point whether or not it has one.
    std::shared_ptr<const KavdorStrongBotCL> bot = HardBot();
    if (m_options.thinker != nullptr)
        m_thinking = m_options.thinker->Ask(std::move(bot), ViewOf(seat), m_phase == BIDDING);
}

// The decision thought while the bot's delay ran, when it was asked about what the seat sees
// now; null otherwise (no thinker, or the seat's view changed since), and the bot thinks here.
std::shared_ptr<KavdorBotThinkerCL::Decision> KavdorTableCL::ThoughtAhead(const KavdorSeatView& view,
                                                                          bool bidding)
{
    std::shared_ptr<KavdorBotThinkerCL::Decision> thinking = std::move(m_thinking);
    if (thinking == nullptr || thinking->Bidding() != bidding || !(thinking->View() == view))
        return nullptr;
    ++m_answersThoughtAhead;
    return thinking;
}

int KavdorTableCL::HardBid(int seat)
{
    KavdorSeatView view = ViewOf(seat);
    if (auto thought = ThoughtAhead(view, true))
        return thought->WaitBid();
    return HardBot()->ChooseBid(view);
}

KavdorHandChoice KavdorTableCL::HardPlay(int seat)
{
    KavdorSeatView view = ViewOf(seat);
    if (auto thought = ThoughtAhead(view, false))
        return thought->WaitPlay();
    return HardBot()->ChoosePlay(view);
}

void KavdorTableCL::ActForSeat(int seat, int64_t now)
{
    int playerId = PlayerAt(seat);
    GameCardPlayerCL* player = m_referee->GetPlayerById(playerId);
    if (player == nullptr)
        return;
    CardList hand = player->Hand();
    KavdorSortCards(hand);
    if (m_phase == BIDDING)
    {
        int highest = *std::max_element(m_bids, m_bids + kSeats);
        int value = -1;
        if (SeatIsAutomatic(seat))
            value =
                m_botLevel == KavdorBotLevel::HARD ? HardBid(seat) : KavdorBotCL::ChooseBid(hand, highest);
        Bid(seat, value, now);
        return;
    }
    KavdorSeatPlays played{&m_roundPlays[0], &m_roundPlays[1], &m_roundPlays[2], &m_roundPlays[3]};
    bool leading = m_standingSeat < 0;
    KavdorHandChoice choice;
    if (SeatIsAutomatic(seat))
    {
        bool partner = m_standingSeat >= 0 && seat != m_landlordSeat && m_standingSeat != m_landlordSeat;
        choice = m_botLevel == KavdorBotLevel::HARD
                     ? HardPlay(seat)
                     : KavdorBotCL::ChoosePlay(hand, played, seat, leading, partner);
    }
    else
    {
        choice = KavdorAutoPlay(hand, played, seat, leading, m_options.random);
    }
    if (choice.action == KavdorHandChoice::PLAY && Play(seat, choice.cards, now))
        return;
    if (!leading && Pass(seat, now))
        return;
    // A leader must play: the lowest card always does. A seat without cards would have ended
    // the hand already; should one ever be asked, nothing is played rather than a card it lacks.
    assert(!hand.empty());
    if (hand.empty())
    {
        Log("seat %d is asked to lead without cards; the turn is left as it is", seat);
        return;
    }
    Play(seat, CardList{hand.back()}, now);
}
