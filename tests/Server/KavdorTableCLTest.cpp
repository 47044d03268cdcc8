#include "KavdorTableCL.h"

#include <algorithm>
#include <functional>
#include <map>
#include <random>

#include <gtest/gtest.h>

#include "NetMsgReaderCL.h"

namespace
{
// Collects what a table says, and keeps the records as the lobby does: a hand's changes are
// applied when Settle reports the hand saved.
class Recorder : public KavdorTableListenerCL
{
public:
    void SendToPlayer(int playerId, const std::vector<uint8_t>& message) override
    {
        messages[playerId].push_back(message);
    }
    const PlayerRecord* FindRecord(int playerId) override
    {
        auto found = records.find(playerId);
        return found == records.end() ? nullptr : &found->second;
    }
    void OnHandEnded(KavdorTableCL& table, const std::vector<PlayerChange>& handChanges) override
    {
        ++hands;
        changes = handChanges;
        settling = true;
        if (onHand)
            onHand(table);
    }
    void OnPlayerLeftTable(KavdorTableCL&, int playerId) override { left.push_back(playerId); }
    void OnWrongPassword(KavdorTableCL&, int playerId) override { wrongPasswords.push_back(playerId); }
    void Log(const std::string& line) override { lines.push_back(line); }

    // Reports the ended hand saved, as the lobby does once its changes are in the database.
    void Settle(KavdorTableCL& table, int64_t now)
    {
        if (!settling)
            return;
        settling = false;
        for (const PlayerChange& change : changes)
            if (records.count(change.id))
                PlayerStoreCL::ApplyTo(change, records[change.id]);
        table.HandSaved(now);
    }
    // A human player the table can show.
    int Human(int id, const char* name)
    {
        PlayerRecord& record = records[id];
        record.id = id;
        record.nickname = name;
        record.coins = 1000;
        return id;
    }

    std::map<int, std::vector<std::vector<uint8_t>>> messages;
    std::map<int, PlayerRecord> records;
    std::vector<PlayerChange> changes;
    bool settling = false;
    std::vector<int> left;
    std::vector<int> wrongPasswords;
    std::vector<std::string> lines;
    int hands = 0;
    std::function<void(KavdorTableCL&)> onHand;
};

KavdorTableOptions FastOptions(uint32_t seed)
{
    KavdorTableOptions options;
    options.botDelayMs = 0;
    options.verbose = false;
    options.botsPlayAlone = true;
    auto engine = std::make_shared<std::mt19937>(seed);
    options.random = [engine](uint32_t bound) { return (*engine)() % bound; };
    return options;
}

// Checks one finished hand of a table against the rules.
void CheckHand(const KavdorTableCL& table)
{
    CardList deal = table.LastDeal();
    ASSERT_EQ(deal.size(), 108u);
    std::sort(deal.begin(), deal.end());
    for (int code = 1; code <= 54; ++code)
        EXPECT_EQ(std::count(deal.begin(), deal.end(), code), 2) << code;

    int sum = 0;
    for (const NetResultRecord& r : table.LastResult())
        sum += r.score;
    EXPECT_EQ(sum, 0);
    EXPECT_EQ(table.LastResult().size(), 4u);

    int emptied = 0;
    for (int seat = 0; seat < 4; ++seat)
        emptied += table.Referee().GetWinnerId() == table.PlayerAt(seat) ? 1 : 0;
    EXPECT_EQ(emptied, 1);

    for (const KavdorTableCL::PlayRecord& play : table.LastHandPlays())
    {
        if (play.cards.empty())
            continue;
        if (play.standing.empty())
            EXPECT_GE(KavdorGetCardType(play.cards.data(), static_cast<int>(play.cards.size()), nullptr), 0);
        else
            EXPECT_EQ(KavdorCompareCardGroup(play.cards.data(), static_cast<int>(play.cards.size()),
                                             play.standing.data(), static_cast<int>(play.standing.size())),
                      1);
    }
}
} // namespace

TEST(KavdorTable, FourBotsPlayManyHandsByTheRules)
{
    Recorder recorder;
    recorder.onHand = [](KavdorTableCL& table) { CheckHand(table); };
    KavdorTableCL table(1, FastOptions(11), recorder);
    int64_t now = 0;
    EXPECT_EQ(table.AddBots(now), 4);
    for (int ticks = 0; recorder.hands < 200 && ticks < 100000; ++ticks)
    {
        recorder.Settle(table, now);
        ASSERT_NE(table.NextDeadline(), INT64_MAX) << "the table stopped";
        table.Tick(now);
    }
    EXPECT_GE(recorder.hands, 200);
    EXPECT_TRUE(recorder.messages.empty()); // nobody but bots: nothing is sent
}

namespace
{
// Hands a request to the table as the lobby would.
void Request(KavdorTableCL& table, int playerId, const NetMsgWriterCL& message, int64_t now)
{
    const std::vector<uint8_t>& data = message.Data();
    uint16_t category = 0, type = 0;
    NetMsgReaderCL::ReadHeader(data.data(), data.size(), category, type);
    NetMsgReaderCL payload(data.data() + 4, static_cast<int>(data.size()) - 4);
    if (category == NET_CATEGORY_ROOM)
        table.OnRoomRequest(playerId, type, payload, now);
    else
        table.OnGameRequest(playerId, type, payload, now);
}

void Enter(KavdorTableCL& table, int playerId, const std::string& password, int64_t now)
{
    Request(table, playerId, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_ENTER_GAME), now);
    Request(table, playerId,
            NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_TABLE_SETTINGS).I32(0).I32(0).I32(0).Bytes(password),
            now);
}

std::vector<uint16_t> RoomTypes(const std::vector<std::vector<uint8_t>>& messages, size_t from = 0)
{
    std::vector<uint16_t> types;
    for (size_t i = from; i < messages.size(); ++i)
    {
        uint16_t category = 0, type = 0;
        NetMsgReaderCL::ReadHeader(messages[i].data(), messages[i].size(), category, type);
        if (category == NET_CATEGORY_ROOM)
            types.push_back(type);
    }
    return types;
}

int LastI32Of(const std::vector<std::vector<uint8_t>>& messages, uint16_t category, uint16_t type)
{
    for (auto m = messages.rbegin(); m != messages.rend(); ++m)
    {
        uint16_t c = 0, t = 0;
        NetMsgReaderCL::ReadHeader(m->data(), m->size(), c, t);
        if (c == category && t == type)
        {
            NetMsgReaderCL r(m->data() + 4, static_cast<int>(m->size()) - 4);
            return t == ROOM_EXIT_RESULT ? r.ReadU8() : r.ReadI32();
        }
    }
    return -999;
}

// Two players (ids 1 and 2) with two bots, entered and ready: a hand is running.
struct TwoHumans
{
    Recorder recorder;
    KavdorTableCL table{1, FastOptions(3), recorder};
    int64_t now = 0;

    TwoHumans()
    {
        table.Sit(recorder.Human(1, "one"), 0, now);
        table.Sit(recorder.Human(2, "two"), 1, now);
        Enter(table, 1, "", now);
        Enter(table, 2, "", now);
        table.AddBots(now);
        Request(table, 1, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_READY), now);
        Request(table, 2, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_READY), now);
    }
    // Lets time run (the humans' turns time out) until the hand ends.
    void FinishHand()
    {
        int hands = recorder.hands;
        for (int i = 0; i < 1000 && recorder.hands == hands; ++i)
        {
            now += 60000;
            table.Tick(now);
        }
        recorder.Settle(table, now);
    }
};
} // namespace

TEST(KavdorTable, PasswordKeepsNewcomersOutUntilTheyKnowIt)
{
    Recorder recorder;
    KavdorTableCL table(1, FastOptions(1), recorder);
    table.Sit(recorder.Human(1, "host"), -1, 0);
    Enter(table, 1, "secret", 0);
    EXPECT_TRUE(table.HasPassword());
    table.Sit(recorder.Human(2, "guest"), -1, 0);
    Request(table, 2, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_ENTER_GAME), 0);
    EXPECT_EQ(RoomTypes(recorder.messages[2]), (std::vector<uint16_t>{ROOM_ENTER_PASSWORD}));
    Request(table, 2, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_PASSWORD).Bytes("guess"), 0);
    EXPECT_EQ(LastI32Of(recorder.messages[2], NET_CATEGORY_ROOM, ROOM_PASSWORD_RESULT), 1);
    EXPECT_EQ(RoomTypes(recorder.messages[1]).back(), ROOM_START_READY); // the host saw nobody come
    Request(table, 2, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_PASSWORD).Bytes("secret"), 0);
    EXPECT_EQ(LastI32Of(recorder.messages[2], NET_CATEGORY_ROOM, ROOM_PASSWORD_RESULT), 0);
    EXPECT_EQ(RoomTypes(recorder.messages[2]).back(), ROOM_START_READY);
    EXPECT_EQ(RoomTypes(recorder.messages[1]).back(), ROOM_PLAYER_IN);
}

TEST(KavdorTable, ExitTypeFollowsTheTableState)
{
    TwoHumans t;
    auto exitType = [&](int id)
    {
        Request(t.table, id, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_EXIT_BUTTON), t.now);
        return LastI32Of(t.recorder.messages[id], NET_CATEGORY_ROOM, ROOM_EXIT_TYPE);
    };
    ASSERT_NE(t.table.GetPhase(), KavdorTableCL::WAITING);
    EXPECT_EQ(exitType(1), 5); // ask the others, three chances left
    Request(t.table, 1, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_LEAVE_WITH_REASON).Bytes("dinner"), t.now);
    Request(t.table, 2, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_LEAVE_ANSWER).I32(1).U8(0), t.now);
    EXPECT_EQ(LastI32Of(t.recorder.messages[1], NET_CATEGORY_ROOM, ROOM_EXIT_RESULT), 0);
    EXPECT_EQ(exitType(1), 4);
    t.FinishHand();
    EXPECT_EQ(exitType(1), 0); // between hands anybody may go
}

TEST(KavdorTable, LeaveRequestAgreedLetsThePlayerGoWithoutPenalty)
{
    TwoHumans t;
    Request(t.table, 1, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_LEAVE_WITH_REASON).Bytes("dinner"), t.now);
    EXPECT_EQ(LastI32Of(t.recorder.messages[2], NET_CATEGORY_ROOM, ROOM_WANT_TO_LEAVE), 1);
    Request(t.table, 2, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_LEAVE_ANSWER).I32(1).U8(1), t.now);
    EXPECT_EQ(LastI32Of(t.recorder.messages[1], NET_CATEGORY_ROOM, ROOM_EXIT_RESULT), 1);
    EXPECT_EQ(t.recorder.left, (std::vector<int>{1}));
    size_t seen = t.recorder.messages[1].size();
    t.FinishHand();
    EXPECT_EQ(t.recorder.messages[1].size(), seen); // gone: told nothing more
    EXPECT_EQ(t.table.SeatOf(1), -1);
    int sum = 0;
    for (const NetResultRecord& r : t.table.LastResult())
        sum += r.score;
    EXPECT_EQ(sum, 0);
    ASSERT_EQ(t.recorder.changes.size(), 2u);
    EXPECT_EQ(t.recorder.changes[0].escapes, 0);
}

TEST(KavdorTable, ForceLeaveDuringAHandCostsThePenalty)
{
    TwoHumans t;
    Request(t.table, 1, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_FORCE_LEAVE), t.now);
    EXPECT_EQ(LastI32Of(t.recorder.messages[1], NET_CATEGORY_ROOM, ROOM_EXIT_RESULT), 1);
    t.FinishHand();
    const auto& result = t.table.LastResult();
    ASSERT_EQ(result.size(), 4u);
    int sum = 0;
    for (const NetResultRecord& r : result)
        sum += r.score;
    EXPECT_EQ(sum, 0);
    // Three stakes to each of the three seats that stayed, on top of the hand's own score.
    auto& referee = const_cast<CGameKavdorLogicCl&>(t.table.Referee()); // GetScore only reads
    int stake = std::max(1, referee.GetBaseScore()) * referee.GetMultiple();
    EXPECT_EQ(result[0].score, referee.GetScore(1) - 9 * stake);
    EXPECT_EQ(result[1].score, referee.GetScore(2) + 3 * stake);
    ASSERT_EQ(t.recorder.changes.size(), 2u);
    EXPECT_EQ(t.recorder.changes[0].escapes, 1);
    EXPECT_EQ(t.recorder.records[1].escapes, 1);
    EXPECT_EQ(t.table.SeatOf(1), -1);
}

TEST(KavdorTable, TimeoutsAreActedForAndTheSeatIsTold)
{
    TwoHumans t;
    // Run the hand on timeouts: every play made for a human seat is answered to him, card for
    // card and in order, and shown to everybody.
    t.FinishHand();
    ASSERT_EQ(t.recorder.hands, 1);
    std::vector<CardList> made;
    for (const KavdorTableCL::PlayRecord& play : t.table.LastHandPlays())
        if (play.seat == 0 && !play.cards.empty())
            made.push_back(play.cards);
    ASSERT_FALSE(made.empty());
    std::vector<CardList> answered;
    std::vector<CardList> shown;
    for (const auto& message : t.recorder.messages[1])
    {
        uint16_t category = 0, type = 0;
        NetMsgReaderCL::ReadHeader(message.data(), message.size(), category, type);
        NetMsgReaderCL r(message.data() + 4, static_cast<int>(message.size()) - 4);
        if (category == NET_CATEGORY_GAME && type == GAME_PLAY_ANSWER)
        {
            EXPECT_EQ(r.ReadI32(), 0);
            answered.push_back(r.ReadCards());
        }
        else if (category == NET_CATEGORY_GAME && type == GAME_PLAY && r.ReadI32() == 1)
        {
            CardList cards = r.ReadCards();
            if (!cards.empty())
                shown.push_back(cards);
        }
    }
    EXPECT_EQ(answered, made);
    EXPECT_EQ(shown, made);
}

TEST(KavdorTable, StakeOnTheTableLottery)
{
    Recorder recorder;
    KavdorTableOptions options = FastOptions(5);
    options.random = [](uint32_t) { return 0u; }; // every draw wins
    KavdorTableCL table(1, options, recorder);
    table.Sit(recorder.Human(1, "one"), 0, 0);
    Enter(table, 1, "", 0);
    Request(table, 1, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_STAKE).I32(5000), 0); // more than he has
    Request(table, 1, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_STAKE).I32(100), 0);
    table.AddBots(0);
    Request(table, 1, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_READY), 0);
    int64_t now = 0;
    for (int i = 0; i < 1000 && recorder.hands == 0; ++i)
        table.Tick(now += 60000);
    ASSERT_EQ(recorder.hands, 1);
    // Nothing is announced before the hand is saved.
    EXPECT_EQ(LastI32Of(recorder.messages[1], NET_CATEGORY_ROOM, ROOM_LOTTERY_WIN), -999);
    EXPECT_EQ(LastI32Of(recorder.messages[1], NET_CATEGORY_ROOM, ROOM_GAME_RESULT), -999);
    recorder.Settle(table, now);
    EXPECT_EQ(LastI32Of(recorder.messages[1], NET_CATEGORY_ROOM, ROOM_LOTTERY_WIN), 400);
    ASSERT_EQ(recorder.changes.size(), 1u);
    EXPECT_EQ(recorder.changes[0].coins, -100 + 400 + table.LastResult()[0].coins);
    EXPECT_EQ(recorder.records[1].coins, 1000 - 100 + 400 + table.LastResult()[0].coins);
}

TEST(KavdorTable, TableStopsWhenTheLastPlayerHasGone)
{
    Recorder recorder;
    KavdorTableOptions options = FastOptions(8);
    options.botsPlayAlone = false;
    KavdorTableCL table(1, options, recorder);
    table.Sit(recorder.Human(1, "one"), 0, 0);
    Enter(table, 1, "", 0);
    table.AddBots(0);
    Request(table, 1, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_READY), 0);
    ASSERT_NE(table.GetPhase(), KavdorTableCL::WAITING);
    table.Disconnect(1, 0); // a bot plays his seat to the end of the hand
    int64_t now = 0;
    for (int i = 0; i < 1000 && recorder.hands == 0; ++i)
        table.Tick(now += 60000);
    recorder.Settle(table, now);
    EXPECT_EQ(recorder.hands, 1);
    EXPECT_EQ(table.FreeSeats(), 4);
    EXPECT_EQ(table.NextDeadline(), INT64_MAX);
    EXPECT_EQ(recorder.left, (std::vector<int>{1}));
}
