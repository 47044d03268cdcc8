#include "KavdorTableCL.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <random>

#include "CardCode.h"
#include "KavdorBotCL.h"
#include "KavdorHandChoice.h"

int KavdorTableCL::s_nextBotId = KavdorTableCL::kFirstBotId;

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
    PlayerRecord record;
    bool bot = false;       // a bot's own seat
    bool connected = true;  // the player's connection is up
    bool entered = false;   // his module entered the game and was shown the table
    bool passwordPending = false;
    bool ready = false;
    bool escaped = false;   // left by force during the hand
    bool released = false;  // left with the others' consent during the hand
    int leaveChances = 3;
    bool leaveRequestOpen = false;
    std::vector<int> leaveAgreed;
    int stake = 0;
};

KavdorTableCL::KavdorTableCL(int id, const KavdorTableOptions& options, KavdorTableListenerCL& listener)
    : m_id(id), m_options(options), m_listener(listener), m_referee(std::make_unique<CGameKavdorLogicCl>())
{
    if (m_options.random)
        m_referee->SetRandomSource(m_options.random);
}

KavdorTableCL::~KavdorTableCL() = default;

// ---------------------------------------------------------------------------------------------
// Queries

int KavdorTableCL::PlayerAt(int seat) const
{
    return seat >= 0 && seat < kSeats && m_seats[seat] ? m_seats[seat]->record.id : 0;
}

int KavdorTableCL::SeatOf(int playerId) const
{
    for (int seat = 0; seat < kSeats; ++seat)
        if (m_seats[seat] && m_seats[seat]->record.id == playerId)
            return seat;
    return -1;
}

int KavdorTableCL::FreeSeats() const
{
    return static_cast<int>(std::count(m_seats.begin(), m_seats.end(), nullptr));
}

bool KavdorTableCL::IsWatcher(int playerId) const
{
    return std::any_of(m_watchers.begin(), m_watchers.end(), [&](const Watcher& w) { return w.record.id == playerId; });
}

bool KavdorTableCL::SeatIsAutomatic(int seat) const
{
    const Seat& s = *m_seats[seat];
    return s.bot || !s.connected || s.escaped || s.released;
}

// ---------------------------------------------------------------------------------------------
// Messages

void KavdorTableCL::Send(int playerId, const NetMsgWriterCL& message)
{
    if (playerId <= 0 || IsBot(playerId))
        return;
    int seat = SeatOf(playerId);
    if (seat >= 0 && (!m_seats[seat]->connected || m_seats[seat]->escaped || m_seats[seat]->released))
        return;
    m_listener.SendToPlayer(playerId, message.Data());
}

void KavdorTableCL::SendToAll(const NetMsgWriterCL& message, int except)
{
    for (int seat = 0; seat < kSeats; ++seat)
        if (m_seats[seat] && m_seats[seat]->entered && m_seats[seat]->record.id != except)
            Send(m_seats[seat]->record.id, message);
    for (const Watcher& watcher : m_watchers)
        if (watcher.entered && watcher.record.id != except)
            Send(watcher.record.id, message);
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

NetPlayerInfo KavdorTableCL::InfoOf(const PlayerRecord& record) const
{
    NetPlayerInfo info;
    info.values[NET_INFO_LEVEL] = 1 + std::max(0, record.score) / 100;
    info.values[NET_INFO_SCORE] = record.score;
    info.values[NET_INFO_WINS] = record.wins;
    info.values[NET_INFO_LOSSES] = record.losses;
    info.values[NET_INFO_DRAWS] = record.draws;
    info.values[NET_INFO_GAMES] = record.games;
    info.values[NET_INFO_ESCAPE_RATE] = record.games > 0 ? record.escapes * 100 / record.games : 0;
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
        const PlayerRecord& record = m_seats[seat]->record;
        NetMsgWriterCL in(NET_CATEGORY_ROOM, ROOM_PLAYER_IN);
        in.I32(record.id).I32(seat).I32(2).PlayerInfo(InfoOf(record));
        if (seat == ownSeat)
            SendToAll(in, playerId); // the others see the newcomer
        Send(playerId, in);
    }
    for (const Watcher& watcher : m_watchers)
        if (watcher.entered || watcher.record.id == playerId)
            Send(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PLAYER_IN)
                               .I32(watcher.record.id)
                               .I32(watcher.seat)
                               .I32(1)
                               .PlayerInfo(InfoOf(watcher.record)));
    for (int seat = 0; seat < kSeats; ++seat)
        if (m_seats[seat] && m_seats[seat]->ready && m_phase == WAITING)
            Send(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_READY).I32(m_seats[seat]->record.id).U8(1));
    if (m_phase == WAITING)
        Send(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_START_READY));
    else
        SendHandState(playerId);
}

// The hand in progress, for a player who comes back or a watcher who arrives during it.
void KavdorTableCL::SendHandState(int playerId)
{
    int ownSeat = SeatOf(playerId);
    if (ownSeat < 0)
        for (const Watcher& watcher : m_watchers)
            if (watcher.record.id == playerId)
                ownSeat = watcher.seat;
    Send(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_START_READY));
    Send(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_GAME_RUNNING).I32(1));
    Send(playerId, NetMsgWriterCL(NET_CATEGORY_GAME, GAME_TURN_SECONDS).I32(m_options.turnSeconds));
    Send(playerId, NetMsgWriterCL(NET_CATEGORY_GAME, GAME_SCORE_INFO).I32(m_bid).I32(m_referee->GetMultiple()));
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
            Send(playerId,
                 NetMsgWriterCL(NET_CATEGORY_GAME, GAME_CARD_COUNT).I32(PlayerAt(seat)).I32(static_cast<int>(hand.size())));
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
            Send(playerId, NetMsgWriterCL(NET_CATEGORY_GAME, GAME_PLAY).I32(PlayerAt(seat)).Cards(m_roundPlays[seat]));
    if (m_turn >= 0)
        Send(playerId,
             NetMsgWriterCL(NET_CATEGORY_GAME, GAME_PLAY_TURN).I32(PlayerAt(m_turn)).I32(m_standingSeat >= 0 ? 1 : 0));
}

// ---------------------------------------------------------------------------------------------
// Seating

int KavdorTableCL::Sit(const PlayerRecord& record, int seat, int64_t now)
{
    if (SeatOf(record.id) >= 0)
        return -1;
    if (seat < 0)
        for (int s = 0; s < kSeats && seat < 0; ++s)
            if (!m_seats[s])
                seat = s;
    if (seat < 0 || seat >= kSeats || m_seats[seat])
        return -1;
    m_seats[seat] = std::make_unique<Seat>();
    m_seats[seat]->record = record;
    if (m_creatorId == 0 || FreeSeats() == kSeats - 1)
    {
        m_creatorId = record.id;
        m_password.clear();
    }
    Log("%s sits at seat %d", record.nickname.c_str(), seat);
    (void)now;
    return seat;
}

bool KavdorTableCL::Watch(const PlayerRecord& record, int seat)
{
    if (seat < 0 || seat >= kSeats || SeatOf(record.id) >= 0 || IsWatcher(record.id))
        return false;
    m_watchers.push_back(Watcher{record, seat});
    return true;
}

int KavdorTableCL::AddBots(int64_t now)
{
    int added = 0;
    for (int seat = 0; seat < kSeats; ++seat)
    {
        if (m_seats[seat])
            continue;
        PlayerRecord record;
        record.id = s_nextBotId++;
        char name[32];
        snprintf(name, sizeof(name), "机器人%d", record.id - kFirstBotId + 1);
        record.nickname = name;
        record.coins = PlayerStoreCL::kStartingCoins;
        m_seats[seat] = std::make_unique<Seat>();
        m_seats[seat]->record = record;
        m_seats[seat]->bot = true;
        m_seats[seat]->entered = true;
        SendToAll(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PLAYER_IN).I32(record.id).I32(seat).I32(2).PlayerInfo(InfoOf(record)),
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
    int seat = SeatOf(playerId);
    if (seat < 0)
    {
        m_watchers.erase(std::remove_if(m_watchers.begin(), m_watchers.end(),
                                        [&](const Watcher& w) { return w.record.id == playerId; }),
                         m_watchers.end());
        return;
    }
    Seat& s = *m_seats[seat];
    if (m_phase == WAITING)
    {
        // Between hands nobody waits for a player who is gone.
        LeaveNow(playerId, false, now);
        return;
    }
    s.connected = false;
    Log("%s lost the connection; a bot plays seat %d", s.record.nickname.c_str(), seat);
    if (m_turn == seat)
        ScheduleTurn(seat, now);
}

bool KavdorTableCL::Reconnect(int playerId)
{
    int seat = SeatOf(playerId);
    if (seat < 0 || m_seats[seat]->bot)
        return false;
    m_seats[seat]->connected = true;
    m_seats[seat]->entered = false; // shown the table again at his next enter-game request
    Log("%s is back at seat %d", m_seats[seat]->record.nickname.c_str(), seat);
    return true;
}

void KavdorTableCL::Leave(int playerId, int64_t now)
{
    if (IsWatcher(playerId))
    {
        m_watchers.erase(std::remove_if(m_watchers.begin(), m_watchers.end(),
                                        [&](const Watcher& w) { return w.record.id == playerId; }),
                         m_watchers.end());
        SendToAll(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PLAYER_OUT).I32(playerId));
        return;
    }
    if (SeatOf(playerId) >= 0)
        LeaveNow(playerId, m_phase != WAITING, now);
}

void KavdorTableCL::RemoveFromSeat(int seat, int64_t now)
{
    int playerId = m_seats[seat]->record.id;
    bool bot = m_seats[seat]->bot;
    m_seats[seat].reset();
    SendToAll(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PLAYER_OUT).I32(playerId));
    if (!bot)
        m_listener.OnPlayerLeftTable(*this, playerId);
    (void)now;
}

// A player leaves now. During a hand his seat stays with a bot until the result; an escape
// costs a penalty there.
void KavdorTableCL::LeaveNow(int playerId, bool escape, int64_t now)
{
    int seat = SeatOf(playerId);
    if (seat < 0)
        return;
    Seat& s = *m_seats[seat];
    Send(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_EXIT_RESULT).U8(1));
    if (m_phase == WAITING)
    {
        Log("%s leaves seat %d", s.record.nickname.c_str(), seat);
        RemoveFromSeat(seat, now);
        return;
    }
    if (escape)
        s.escaped = true;
    else
        s.released = true;
    Log("%s %s seat %d; a bot finishes the hand", s.record.nickname.c_str(), escape ? "escapes from" : "is let go from",
        seat);
    SendToAll(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PLAYER_OUT).I32(playerId), playerId);
    m_listener.OnPlayerLeftTable(*this, playerId);
    if (m_turn == seat)
        ScheduleTurn(seat, now);
}

void KavdorTableCL::AnswerExitButton(int playerId)
{
    int seat = SeatOf(playerId);
    int type = 0;
    if (seat >= 0 && m_phase != WAITING)
    {
        bool othersHuman = false;
        for (int other = 0; other < kSeats; ++other)
            if (other != seat && m_seats[other] && !SeatIsAutomatic(other))
                othersHuman = true;
        int chances = m_seats[seat]->leaveChances;
        type = othersHuman && chances > 0 ? 2 + chances : 1;
    }
    Send(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_EXIT_TYPE).I32(type));
}

// ---------------------------------------------------------------------------------------------
// Requests

void KavdorTableCL::OnRoomRequest(int playerId, uint16_t type, NetMsgReaderCL& payload, int64_t now)
{
    int seat = SeatOf(playerId);
    Seat* s = seat >= 0 ? m_seats[seat].get() : nullptr;
    switch (type)
    {
    case ROOM_REQ_ENTER_GAME:
        if (s != nullptr)
        {
            if (!m_password.empty() && playerId != m_creatorId && !s->entered)
            {
                s->passwordPending = true;
                Send(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_ENTER_PASSWORD));
                return;
            }
            s->entered = true;
            SendArrival(playerId);
        }
        else
        {
            for (Watcher& watcher : m_watchers)
            {
                if (watcher.record.id != playerId)
                    continue;
                watcher.entered = true;
                SendArrival(playerId);
                NetMsgWriterCL in(NET_CATEGORY_ROOM, ROOM_PLAYER_IN);
                in.I32(playerId).I32(watcher.seat).I32(1).PlayerInfo(InfoOf(watcher.record));
                SendToAll(in, playerId);
            }
        }
        return;
    case ROOM_REQ_TABLE_SETTINGS: {
        payload.ReadI32(); // score limit and score difference: not enforced by this server
        payload.ReadI32();
        payload.ReadI32(); // address restriction: not enforced
        std::string password = payload.ReadBytes();
        if (s == nullptr)
            return;
        if (playerId == m_creatorId)
        {
            m_password = password;
            if (!password.empty())
                Log("%s sets a password", s->record.nickname.c_str());
        }
        else if (s->passwordPending && password == m_password)
        {
            s->passwordPending = false;
            s->entered = true;
            Send(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PASSWORD_RESULT).I32(0));
            SendArrival(playerId);
        }
        return;
    }
    case ROOM_REQ_PASSWORD: {
        std::string password = payload.ReadBytes();
        if (s == nullptr || !s->passwordPending)
            return;
        bool right = password == m_password;
        Send(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PASSWORD_RESULT).I32(right ? 0 : 1));
        if (right)
        {
            s->passwordPending = false;
            s->entered = true;
            SendArrival(playerId);
        }
        return;
    }
    case ROOM_REQ_READY:
        if (s != nullptr && s->entered && m_phase == WAITING && !s->ready)
            SetReady(seat, now);
        return;
    case ROOM_REQ_CHAT: {
        std::string text = payload.ReadBytes();
        if (s != nullptr ? s->entered : IsWatcher(playerId))
            SendToAll(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_CHAT).Bytes(text));
        return;
    }
    case ROOM_REQ_EXIT_BUTTON:
        AnswerExitButton(playerId);
        return;
    case ROOM_REQ_LEAVE:
        Leave(playerId, now);
        return;
    case ROOM_REQ_FORCE_LEAVE:
        Leave(playerId, now);
        return;
    case ROOM_REQ_LEAVE_WITH_REASON: {
        std::string reason = payload.ReadBytes();
        if (s == nullptr)
            return;
        if (m_phase == WAITING)
        {
            LeaveNow(playerId, false, now);
            return;
        }
        if (s->leaveChances <= 0 || s->leaveRequestOpen)
        {
            Send(playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_EXIT_RESULT).U8(0));
            return;
        }
        --s->leaveChances;
        s->leaveRequestOpen = true;
        s->leaveAgreed.clear();
        bool asked = false;
        for (int other = 0; other < kSeats; ++other)
        {
            if (other == seat || !m_seats[other] || SeatIsAutomatic(other))
                continue;
            Send(m_seats[other]->record.id,
                 NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_WANT_TO_LEAVE).I32(playerId).Bytes(reason));
            asked = true;
        }
        Log("%s asks to leave: %s", s->record.nickname.c_str(), reason.c_str());
        if (!asked)
        {
            s->leaveRequestOpen = false;
            LeaveNow(playerId, false, now);
        }
        return;
    }
    case ROOM_REQ_LEAVE_ANSWER: {
        int asker = payload.ReadI32();
        bool agree = payload.ReadU8() != 0;
        int askerSeat = SeatOf(asker);
        if (s == nullptr || askerSeat < 0 || askerSeat == seat || !m_seats[askerSeat]->leaveRequestOpen)
            return;
        Seat& a = *m_seats[askerSeat];
        if (!agree)
        {
            a.leaveRequestOpen = false;
            Send(asker, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_EXIT_RESULT).U8(0));
            Log("%s refuses to let %s go", s->record.nickname.c_str(), a.record.nickname.c_str());
            return;
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
        return;
    }
    case ROOM_REQ_STAKE: {
        int stake = payload.ReadI32();
        if (s == nullptr || stake < 1 || stake > 1000 || stake > s->record.coins || s->stake > 0)
        {
            Log("stake %d of player %d refused", stake, playerId);
            return;
        }
        s->stake = stake;
        s->record.coins -= stake;
        Log("%s stakes %d coins on the table lottery", s->record.nickname.c_str(), stake);
        return;
    }
    default:
        Log("room request %d of player %d is unknown", type, playerId);
        return;
    }
}

void KavdorTableCL::OnGameRequest(int playerId, uint16_t type, NetMsgReaderCL& payload, int64_t now)
{
    int seat = SeatOf(playerId);
    if (seat < 0 || SeatIsAutomatic(seat))
    {
        Log("game request %d of player %d who does not play here", type, playerId);
        return;
    }
    if (seat != m_turn)
    {
        Log("game request %d of %s out of turn", type, m_seats[seat]->record.nickname.c_str());
        return;
    }
    switch (type)
    {
    case GAME_REQ_BID: {
        int code = payload.ReadI32();
        if (m_phase != BIDDING || code < 0 || code > 3)
        {
            Log("bid code %d of seat %d refused", code, seat);
            return;
        }
        int value = code == 3 ? -1 : code + 1;
        int highest = *std::max_element(m_bids, m_bids + kSeats);
        if (value > 0 && value <= highest)
        {
            Log("bid %d of seat %d does not raise %d", value, seat, highest);
            return;
        }
        Bid(seat, value, now);
        return;
    }
    case GAME_REQ_PLAY: {
        CardList cards = payload.ReadCards();
        if (m_phase != PLAYING || !Play(seat, cards, now))
        {
            // Refused: the seat keeps its turn and its buttons come back.
            Send(playerId, NetMsgWriterCL(NET_CATEGORY_GAME, GAME_PLAY_ANSWER).I32(0).Cards({}));
            if (m_phase == PLAYING)
                Send(playerId, NetMsgWriterCL(NET_CATEGORY_GAME, GAME_PLAY_TURN).I32(playerId).I32(m_standingSeat >= 0));
        }
        return;
    }
    case GAME_REQ_PASS:
        if (m_phase != PLAYING || !Pass(seat, now))
        {
            Log("pass of seat %d refused: it leads", seat);
            Send(playerId, NetMsgWriterCL(NET_CATEGORY_GAME, GAME_PLAY_TURN).I32(playerId).I32(m_standingSeat >= 0));
        }
        return;
    case GAME_REQ_TRUSTEESHIP:
        ActForSeat(seat, now);
        return;
    default:
        Log("game request %d of player %d is unknown", type, playerId);
        return;
    }
}

// ---------------------------------------------------------------------------------------------
// The hand

void KavdorTableCL::SetReady(int seat, int64_t now)
{
    m_seats[seat]->ready = true;
    SendToAll(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_READY).I32(m_seats[seat]->record.id).U8(1));
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

// The seat's player and those watching over its shoulder see the cards; the others only learn
// how many there are.
void KavdorTableCL::SendDealtHand(int seat, const CardList& hand)
{
    int playerId = PlayerAt(seat);
    NetMsgWriterCL deal(NET_CATEGORY_GAME, GAME_DEAL);
    deal.I32(playerId).Cards(hand);
    Send(playerId, deal);
    for (const Watcher& watcher : m_watchers)
        if (watcher.seat == seat && watcher.entered)
            Send(watcher.record.id, deal);
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
        SendToAll(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_SCORE_INFO).I32(m_bid).I32(m_referee->GetMultiple()));
    if (result == KAVDOR_OUT_LAST_CARDS)
    {
        EndHand(seat, now);
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

void KavdorTableCL::EndHand(int winnerSeat, int64_t now)
{
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
    m_phase = WAITING;
    m_turn = -1;
    Log("hand %d won by seat %d (%s); scores %d %d %d %d", m_handsPlayed, winnerSeat,
        winnerSeat == m_landlordSeat ? "landlord" : "farmers", results[0].score, results[1].score, results[2].score,
        results[3].score);

    std::vector<PlayerRecord> records;
    for (int seat = 0; seat < kSeats; ++seat)
    {
        Seat& s = *m_seats[seat];
        PlayerRecord& r = s.record;
        int change = results[seat].score;
        r.score += change;
        r.coins += change;
        ++r.games;
        if (change > 0)
            ++r.wins;
        else if (change < 0)
            ++r.losses;
        else
            ++r.draws;
        if (s.escaped)
            ++r.escapes;
        if (s.stake > 0)
        {
            // The table lottery: one stake in five wins four times its stake.
            uint32_t draw = m_options.random ? m_options.random(5) : std::random_device{}() % 5;
            if (draw == 0)
            {
                r.coins += 4 * s.stake;
                Send(r.id, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_LOTTERY_WIN).I32(4 * s.stake));
                Log("%s wins %d coins in the table lottery", r.nickname.c_str(), 4 * s.stake);
            }
            s.stake = 0;
        }
        if (!s.bot)
            records.push_back(r);
    }
    SendToAll(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_GAME_RESULT).ResultList(results));
    for (int seat = 0; seat < kSeats; ++seat)
        SendToAll(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PLAYER_INFO)
                      .I32(m_seats[seat]->record.id)
                      .PlayerInfo(InfoOf(m_seats[seat]->record)));
    m_listener.OnHandEnded(*this, records);

    // Seats left during the hand are freed; the others start over.
    for (int seat = 0; seat < kSeats; ++seat)
    {
        Seat& s = *m_seats[seat];
        s.ready = false;
        s.leaveRequestOpen = false;
        s.leaveChances = 3;
        if (s.escaped || s.released)
        {
            int playerId = s.record.id;
            m_seats[seat].reset();
            SendToAll(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PLAYER_OUT).I32(playerId));
        }
    }
    // With nobody left to play or watch, the table stops instead of letting bots play on:
    // players who dropped lose their seats now.
    bool anyoneHere = m_options.botsPlayAlone || !m_watchers.empty();
    for (int seat = 0; seat < kSeats; ++seat)
        anyoneHere = anyoneHere || (m_seats[seat] && !m_seats[seat]->bot && m_seats[seat]->connected);
    if (!anyoneHere)
    {
        for (int seat = 0; seat < kSeats; ++seat)
        {
            if (!m_seats[seat])
                continue;
            if (!m_seats[seat]->bot)
                m_listener.OnPlayerLeftTable(*this, m_seats[seat]->record.id);
            m_seats[seat].reset();
        }
        m_creatorId = 0;
        m_password.clear();
        Log("nobody left at the table; it stops");
        return;
    }
    SendToAll(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_START_READY));
    for (int seat = 0; seat < kSeats; ++seat)
        if (m_seats[seat] && (m_seats[seat]->bot || !m_seats[seat]->connected))
            SetReady(seat, now);
}

// ---------------------------------------------------------------------------------------------
// Timeouts and bots

void KavdorTableCL::ScheduleTurn(int seat, int64_t now)
{
    if (SeatIsAutomatic(seat))
        m_deadline = now + m_options.botDelayMs;
    else
        m_deadline = now + static_cast<int64_t>(m_options.turnSeconds) * 1000 + m_options.graceMs;
}

int64_t KavdorTableCL::NextDeadline() const
{
    return m_turn >= 0 && m_phase != WAITING ? m_deadline : INT64_MAX;
}

void KavdorTableCL::Tick(int64_t now)
{
    // A bounded number of steps per call, so that a table of bots that plays without delay
    // still returns to its caller.
    for (int steps = 0; steps < 1000 && m_turn >= 0 && m_phase != WAITING && now >= m_deadline; ++steps)
        ActForSeat(m_turn, now);
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
        int value = SeatIsAutomatic(seat) ? KavdorBotCL::ChooseBid(hand, highest) : -1;
        Bid(seat, value, now);
        return;
    }
    KavdorSeatPlays played{&m_roundPlays[0], &m_roundPlays[1], &m_roundPlays[2], &m_roundPlays[3]};
    bool leading = m_standingSeat < 0;
    KavdorHandChoice choice;
    if (SeatIsAutomatic(seat))
    {
        bool partner = m_standingSeat >= 0 && seat != m_landlordSeat && m_standingSeat != m_landlordSeat;
        choice = KavdorBotCL::ChoosePlay(hand, played, seat, leading, partner);
    }
    else
    {
        choice = KavdorAutoPlay(hand, played, seat, leading, m_options.random);
    }
    if (choice.action == KavdorHandChoice::PLAY && Play(seat, choice.cards, now))
        return;
    if (!leading && Pass(seat, now))
        return;
    // A leader must play: the lowest card always does.
    Play(seat, CardList{hand.back()}, now);
}
