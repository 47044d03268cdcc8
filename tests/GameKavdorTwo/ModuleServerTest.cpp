// The table server's core and the module's two sinks, connected in one process through fakes of
// the host's dispatcher and sender: one seat is the module's user, the other three are bots. The
// module enters the game, sends its table settings and says ready before every hand; on the
// user's turns the test plays as the play window will, through the module's game sink: it
// declines to bid, leads its lowest card and passes when following, and hands every tenth hand
// over to the server (trusteeship). Over 200
// hands every message the server sends must be accepted by a sink and every request the module
// sends by the server, and no decoding error may be logged.

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CGameCardKavdorTwoCL.h"
#include "CGameKavdorLogicCl.h"
#include "EngineTestSupport.h"
#include "KavdorTableCL.h"
#include "KelUIManagerCL.h"

namespace
{
constexpr int kUser = 7;

class Wire : public KavdorTableListenerCL, public MsgDispatcher, public MsgSender
{
public:
    // The host's side: sinks registered by category.
    bool Add(MsgSinkCL* sink) override
    {
        (sink->GetCategory() == NET_CATEGORY_ROOM ? room : game) = sink;
        return true;
    }
    void Remove(MsgSinkCL* sink) override
    {
        if (room == sink)
            room = nullptr;
        if (game == sink)
            game = nullptr;
    }
    // The module's requests go to the table.
    void Send(const uint8_t* bytes, int length) override
    {
        uint16_t category = 0;
        uint16_t type = 0;
        ASSERT_TRUE(NetMsgReaderCL::ReadHeader(bytes, static_cast<size_t>(length), category, type));
        NetMsgReaderCL payload(bytes + 4, length - 4);
        const bool accepted = category == NET_CATEGORY_ROOM ? table->OnRoomRequest(kUser, type, payload, now)
                                                            : table->OnGameRequest(kUser, type, payload, now);
        ++requests;
        if (!accepted)
            refused.push_back(std::to_string(category) + "/" + std::to_string(type));
    }

    // The server's side.
    void SendToPlayer(int playerId, const std::vector<uint8_t>& message) override
    {
        ASSERT_EQ(playerId, kUser);
        ASSERT_GE(message.size(), 4u);
        const uint16_t category = static_cast<uint16_t>(message[0] | (message[1] << 8));
        MsgSinkCL* sink = category == NET_CATEGORY_ROOM ? room : game;
        ++delivered;
        if (sink == nullptr || !sink->OnMessage(message.data(), static_cast<int>(message.size())))
            dropped.push_back(std::to_string(category) + "/" +
                              std::to_string(message[2] | (message[3] << 8)));
        if (category == NET_CATEGORY_ROOM && message[2] == ROOM_GAME_RESULT)
            ++results;
        if (category == NET_CATEGORY_GAME)
            WatchGame(message);
    }

    // What the user's play window would see of the hand, and the turns it must answer.
    void WatchGame(const std::vector<uint8_t>& message)
    {
        NetMsgReaderCL r(message.data() + 4, static_cast<int>(message.size()) - 4);
        switch (message[2])
        {
        case GAME_DEAL:
            if (r.ReadI32() == kUser)
            {
                hand = r.ReadCards();
                KavdorSortCards(hand);
            }
            break;
        case GAME_BASE_CARDS:
            base = r.ReadCards();
            break;
        case GAME_LANDLORD:
            if (r.ReadI32() == kUser)
            {
                hand.insert(hand.end(), base.begin(), base.end());
                KavdorSortCards(hand);
            }
            break;
        case GAME_BID_TURN:
            if (r.ReadI32() == kUser)
                bidDue = true;
            break;
        case GAME_PLAY_TURN:
            if (r.ReadI32() == kUser)
            {
                playDue = true;
                leading = r.ReadI32() == 0;
            }
            break;
        case GAME_PLAY_ANSWER:
        {
            r.ReadI32();
            for (uint8_t card : r.ReadCards())
            {
                const auto at = std::find(hand.begin(), hand.end(), card);
                if (at != hand.end())
                    hand.erase(at);
            }
            break;
        }
        default:
            break;
        }
    }
    const PlayerRecord* FindRecord(int playerId) override { return playerId == kUser ? &record : nullptr; }
    void OnHandEnded(KavdorTableCL&, const std::vector<PlayerChange>&) override { settle = true; }
    void OnPlayerLeftTable(KavdorTableCL&, int) override {}
    void OnWrongPassword(KavdorTableCL&, int) override {}
    void Log(const std::string&) override {}

    KavdorTableCL* table = nullptr;
    int64_t now = 1000;
    MsgSinkCL* room = nullptr;
    MsgSinkCL* game = nullptr;
    PlayerRecord record;
    bool settle = false;
    CardList hand;
    CardList base;
    bool bidDue = false;
    bool playDue = false;
    bool leading = false;
    int requests = 0;
    int delivered = 0;
    int results = 0;
    std::vector<std::string> refused;
    std::vector<std::string> dropped;
};

class ModuleServerTest : public EngineTest
{
protected:
    KelUIManagerCL m_ui;
};
} // namespace

TEST_F(ModuleServerTest, TwoHundredHandsBetweenTheServerAndTheModulesSinks)
{
    Wire wire;
    wire.record.id = kUser;
    wire.record.nickname = "user";
    KavdorTableOptions options;
    options.turnSeconds = 2;
    options.graceMs = 100;
    options.botDelayMs = 0;
    options.verbose = false;
    uint64_t seed = 12345;
    options.random = [&seed](uint32_t bound)
    {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>((seed >> 33) % bound);
    };
    KavdorTableCL table(1, options, wire);
    wire.table = &table;

    CGameCardKavdorTwoCL app;
    app.SetNetMsgDispatcher(&wire);
    app.SetNetMsgSender(&wire);
    app.SetGameNet(&wire, &wire);
    ASSERT_EQ(table.Sit(kUser, -1, wire.now), 0);
    ASSERT_TRUE(app.EnterGame());
    table.AddBots(wire.now);

    int guard = 0;
    int plays = 0;
    bool ready = false;
    while (wire.results < 200 && guard++ < 2000000)
    {
        // The ready button, once before each hand.
        if (table.GetPhase() != KavdorTableCL::WAITING)
            ready = false;
        else if (!ready)
        {
            app.GetRoomSink().SendReady();
            ready = true;
        }
        // The user's answers, through the module's game sink.
        if (wire.bidDue)
        {
            wire.bidDue = false;
            app.GetGameSink().SendBid(3);
            continue;
        }
        if (wire.playDue)
        {
            wire.playDue = false;
            if (wire.results % 10 == 9 && !wire.leading)
                app.GetGameSink().SendTrusteeship();
            else if (wire.leading && !wire.hand.empty())
                app.GetGameSink().SendPlay({wire.hand.back()});
            else
                app.GetGameSink().SendPass();
            ++plays;
            continue;
        }
        if (wire.settle)
        {
            wire.settle = false;
            table.HandSaved(wire.now);
            continue;
        }
        const int64_t next = table.NextDeadline();
        wire.now = next == INT64_MAX ? wire.now + 100 : std::max(wire.now + 1, next);
        table.Tick(wire.now);
    }
    EXPECT_EQ(wire.results, 200);
    EXPECT_TRUE(wire.dropped.empty()) << wire.dropped.size() << " dropped, first " << wire.dropped.front();
    EXPECT_TRUE(wire.refused.empty()) << wire.refused.size() << " refused, first " << wire.refused.front();
    EXPECT_GT(wire.delivered, 200 * 30);
    EXPECT_GT(plays, 200 * 3) << "the user played and passed through the game sink";
    EXPECT_EQ(ReadLog().find("消息处理失败"), std::string::npos);
    app.ExitGame();
}
