#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "GameSink.h"
#include "RoomSink.h"

namespace
{
using Bytes = std::vector<uint8_t>;

// Little-endian pieces, written from the layout tables.
Bytes I32(int32_t v)
{
    const auto u = static_cast<uint32_t>(v);
    return {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16),
            static_cast<uint8_t>(u >> 24)};
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes Header(uint16_t category, uint16_t type)
{
    return {static_cast<uint8_t>(category), static_cast<uint8_t>(category >> 8), static_cast<uint8_t>(type),
            static_cast<uint8_t>(type >> 8)};
}

Bytes Text(const std::string& s)
{
    Bytes out{static_cast<uint8_t>(s.size())};
    out.insert(out.end(), s.begin(), s.end());
    return out;
}

Bytes PlayerInfoBytes(const std::string& nickname)
{
    Bytes out;
    for (int i = 1; i <= 9; ++i)
        out = Cat({out, I32(i * 10)});
    return Cat({out, Text(nickname), I32(-7)});
}

class Recorder : public MsgSender, public RoomSinkOwner, public GamePlayWindow
{
public:
    void Send(const uint8_t* bytes, int length) override { sent.emplace_back(bytes, bytes + length); }

    void OnPlayerIn(int id, int seat, int state, const NetPlayerInfo& info) override
    {
        Log("in " + std::to_string(id) + " " + std::to_string(seat) + " " + std::to_string(state) + " " +
            info.nickname + " " + std::to_string(info.values[0]) + " " + std::to_string(info.values[8]) +
            " " + std::to_string(info.extra));
    }
    void OnPlayerOut(int id) override { Log("out " + std::to_string(id)); }
    void OnReady(int id, bool ready) override
    {
        Log("ready " + std::to_string(id) + " " + std::to_string(ready));
    }
    void OnStartGame() override { Log("start"); }
    void OnGameResult(const std::vector<NetResultRecord>& r) override
    {
        std::string line = "result " + std::to_string(r.size());
        for (const auto& x : r)
            line += " " + std::to_string(x.playerId) + "/" + std::to_string(x.score) + "/" +
                    std::to_string(x.coins);
        Log(line);
    }
    void OnPlayerWantToLeave(int id, const std::string& t) override
    {
        Log("leave? " + std::to_string(id) + " " + t);
    }
    void OnGameRunning(bool r) override { Log("running " + std::to_string(r)); }
    void OnExiting(bool e) override { Log("exiting " + std::to_string(e)); }
    void OnChat(const std::string& t) override { Log("chat [" + t + "]"); }
    void OnPlayerExitType(int t) override { Log("exit type " + std::to_string(t)); }
    void OnPlayerInfoChanged(int id, const NetPlayerInfo& info) override
    {
        Log("info " + std::to_string(id) + " " + info.nickname);
    }
    void OnEnterPassword() override { Log("password?"); }
    void OnPasswordResult(int r) override { Log("password " + std::to_string(r)); }
    void OnLotteryWin(int a) override { Log("lottery " + std::to_string(a)); }
    void SetCoinCost(int c) override { Log("cost " + std::to_string(c)); }

    void ShowCall(int id, int bid) override { Log("call " + std::to_string(id) + " " + std::to_string(bid)); }
    void OnDealCard(int id, const Bytes& c) override { Log("deal " + std::to_string(id) + Cards(c)); }
    void OnPlayerHaveCardNum(int id, int n) override
    {
        Log("count " + std::to_string(id) + " " + std::to_string(n));
    }
    void OnOutCard(int id, bool follow) override
    {
        Log("turn " + std::to_string(id) + " " + std::to_string(follow));
    }
    void OnOutCardResult(const Bytes& c) override { Log("answer" + Cards(c)); }
    void OnReceivePlayerCurOutCard(int id, const Bytes& c) override
    {
        Log("play " + std::to_string(id) + Cards(c));
    }
    void DelCountDownWnd() override { Log("no countdown"); }
    void SetCurrentBidder(int id) override { Log("bidder " + std::to_string(id)); }
    void SetCallNumNull() override { Log("bids cleared"); }
    void OnReceiveBaseCard(const Bytes& c) override { Log("base" + Cards(c)); }
    void SetLandlord(int id) override { Log("landlord " + std::to_string(id)); }
    void SetScoreInfo(int b, int m) override { Log("score " + std::to_string(b) + " x" + std::to_string(m)); }
    void SetTurnSeconds(int s) override { Log("seconds " + std::to_string(s)); }
    void PlayCallThreeVoice(int id) override { Log("three " + std::to_string(id)); }

    static std::string Cards(const Bytes& c)
    {
        std::string s;
        for (uint8_t b : c)
            s += " " + std::to_string(b);
        return s;
    }
    void Log(const std::string& line) { calls.push_back(line); }

    std::vector<std::string> calls;
    std::vector<Bytes> sent;
};

class SinkTest : public LogFolderTest
{
protected:
    bool Room(const Bytes& message)
    {
        return m_room.OnMessage(message.data(), static_cast<int>(message.size()));
    }
    bool Game(const Bytes& message)
    {
        return m_game.OnMessage(message.data(), static_cast<int>(message.size()));
    }

    Recorder m_host;
    RoomSink m_room{&m_host};
    GameSink m_game{[this] { return static_cast<GamePlayWindow*>(&m_host); }};
};
} // namespace

TEST_F(SinkTest, EveryRoomMessageIsDecodedFromItsLayout)
{
    struct
    {
        Bytes message;
        std::vector<std::string> calls;
    } const cases[] = {
        {Cat({Header(100, 1), {1}}), {}},
        {Cat({Header(100, 2), I32(77), I32(2), I32(1), PlayerInfoBytes("Ann")}), {"in 77 2 1 Ann 10 90 -7"}},
        {Cat({Header(100, 3), I32(77)}), {"out 77"}},
        {Cat({Header(100, 4), I32(77), {1}}), {"ready 77 1"}},
        {Header(100, 5), {"start"}},
        {Cat({Header(100, 6), {2}, I32(5), I32(-30), I32(-300), I32(0), I32(6), I32(30), I32(300), I32(9)}),
         {"result 2 5/-30/-300 6/30/300"}},
        {Cat({Header(100, 6), {0}}), {"result 0"}},
        {Cat({Header(100, 7), I32(8), Text("bye")}), {"leave? 8 bye"}},
        {Header(100, 8), {}},
        {Cat({Header(100, 10), I32(1)}), {"running 1"}},
        {Cat({Header(100, 11), {0}}), {"exiting 0"}},
        {Cat({Header(100, 12), Text("@ID:")}), {"chat [@ID:]"}},
        {Cat({Header(100, 12), Text("")}), {"chat []"}},
        {Cat({Header(100, 13), I32(3)}), {"exit type 3"}},
        {Cat({Header(100, 14), I32(9), PlayerInfoBytes("Bo")}), {"info 9 Bo"}},
        {Header(100, 15), {"password?"}},
        {Cat({Header(100, 16), I32(0)}), {"password 0"}},
        {Cat({Header(100, 17), {1}}), {}},
        {Cat({Header(100, 18), I32(500)}), {"lottery 500"}},
        {Cat({Header(100, 19), I32(5)}), {}},
        {Cat({Header(100, 20), Text("x")}), {}},
        {Cat({Header(100, 21), I32(40)}), {"cost 40"}},
    };
    for (const auto& c : cases)
    {
        m_host.calls.clear();
        EXPECT_TRUE(Room(c.message)) << "type " << c.message[2];
        EXPECT_EQ(m_host.calls, c.calls) << "type " << c.message[2];
    }
    EXPECT_NE(ReadLog().find("收到玩家进入消息 playerID_=77 , seatIdx=2 , playerState=1"), std::string::npos);
    EXPECT_NE(ReadLog().find("收到游戏结果 num=2"), std::string::npos);
}

TEST_F(SinkTest, BadRoomMessagesAreDroppedWithoutEffect)
{
    const Bytes cases[] = {
        Header(100, 9),                             // never decoded
        Cat({Header(100, 22), I32(1)}),             // beyond the table
        Cat({Header(100, 3), {1, 2, 3}}),           // short i32
        Cat({Header(100, 12), {5, 'a', 'b'}}),      // text length past the end
        Cat({Header(100, 6), {1}, I32(5), I32(1)}), // result record cut short
        Cat({Header(100, 2), I32(1), I32(2)}),      // player cut short
        {100, 0, 2},                                // not even a header
    };
    for (const Bytes& message : cases)
        EXPECT_FALSE(Room(message)) << message.size();
    EXPECT_TRUE(m_host.calls.empty());
}

TEST_F(SinkTest, RoomRequestsHaveTheirLayout)
{
    EXPECT_FALSE(m_room.SendReady()) << "no sender yet";
    EXPECT_EQ(m_room.SetSender(&m_host), nullptr);
    EXPECT_EQ(m_room.GetCategory(), 100);
    EXPECT_TRUE(m_room.SendLeaveWithReason("ok"));
    EXPECT_TRUE(m_room.SendForceLeave());
    EXPECT_TRUE(m_room.SendReady());
    EXPECT_TRUE(m_room.SendEnterGame());
    EXPECT_TRUE(m_room.SendLeave());
    EXPECT_TRUE(m_room.SendChat("hi"));
    EXPECT_TRUE(m_room.SendExitButton());
    EXPECT_TRUE(m_room.SendLeaveAnswer(66, true));
    EXPECT_TRUE(m_room.SendTableSettings(100, -5, 1, "pw"));
    EXPECT_TRUE(m_room.SendPassword(""));
    EXPECT_TRUE(m_room.SendStake(250));
    const std::vector<Bytes> expected = {
        Cat({Header(100, 1), Text("ok")}),
        Header(100, 2),
        Header(100, 3),
        Header(100, 7),
        Header(100, 8),
        Cat({Header(100, 9), Text("hi")}),
        Header(100, 10),
        Cat({Header(100, 11), I32(66), {1}}),
        Cat({Header(100, 12), I32(100), I32(-5), I32(1), Text("pw")}),
        Cat({Header(100, 13), {0}}),
        Cat({Header(100, 14), I32(250)}),
    };
    EXPECT_EQ(m_host.sent, expected);

    m_host.sent.clear();
    EXPECT_FALSE(m_room.SendChat(std::string(256, 'x')));
    EXPECT_TRUE(m_host.sent.empty());
    EXPECT_NE(ReadLog().find("长度太长！"), std::string::npos);
    EXPECT_TRUE(m_room.SendChat(std::string(255, 'x')));
}

TEST_F(SinkTest, EveryGameMessageReachesThePlayWindow)
{
    struct
    {
        Bytes message;
        std::vector<std::string> calls;
    } const cases[] = {
        {Cat({Header(105, 4), I32(3), I32(0)}), {"call 3 0"}},
        {Cat({Header(105, 4), I32(3), I32(-1)}), {"call 3 -1"}},
        {Cat({Header(105, 5), I32(1), {3, 10, 20, 53}}), {"deal 1 10 20 53"}},
        {Cat({Header(105, 7), I32(2), I32(25)}), {"count 2 25"}},
        {Cat({Header(105, 8), I32(2), I32(0)}), {"turn 2 0"}},
        {Cat({Header(105, 9), I32(12345), {0}}), {"answer"}},
        {Cat({Header(105, 10), I32(4), {2, 7, 7}}), {"play 4 7 7"}},
        {Cat({Header(105, 12), {8, 1, 2, 3, 4, 5, 6, 7, 8}}),
         {"no countdown", "bidder -1", "bids cleared", "base 1 2 3 4 5 6 7 8"}},
        {Cat({Header(105, 13), I32(4)}), {"landlord 4"}},
        {Cat({Header(105, 14), I32(3), I32(2)}), {"score 3 x2"}},
        {Cat({Header(105, 15), I32(20)}), {"seconds 20"}},
        {Cat({Header(105, 16), I32(1)}), {"three 1"}},
    };
    for (const auto& c : cases)
    {
        m_host.calls.clear();
        EXPECT_TRUE(Game(c.message)) << "type " << c.message[2];
        EXPECT_EQ(m_host.calls, c.calls) << "type " << c.message[2];
    }
    m_host.calls.clear();
    for (const Bytes& bad : {Cat({Header(105, 6), I32(1)}), Cat({Header(105, 11), I32(1)}), Header(105, 3),
                             Cat({Header(105, 17), I32(1)}), Cat({Header(105, 5), I32(1), {4, 1}})})
        EXPECT_FALSE(Game(bad)) << "type " << bad[2];
    EXPECT_TRUE(m_host.calls.empty());

    // Without a play window the messages are accepted and change nothing.
    GameSink alone{[] { return static_cast<GamePlayWindow*>(nullptr); }};
    const Bytes landlord = Cat({Header(105, 13), I32(4)});
    EXPECT_TRUE(alone.OnMessage(landlord.data(), static_cast<int>(landlord.size())));
}

TEST_F(SinkTest, GameRequestsHaveTheirLayout)
{
    m_game.SetSender(&m_host);
    EXPECT_EQ(m_game.GetCategory(), 105);
    EXPECT_TRUE(m_game.SendBid(3));
    EXPECT_TRUE(m_game.SendPlay({53, 14, 14}));
    EXPECT_TRUE(m_game.SendPass());
    EXPECT_TRUE(m_game.SendTrusteeship());
    const std::vector<Bytes> expected = {
        Cat({Header(105, 2), I32(3)}),
        Cat({Header(105, 3), {3, 53, 14, 14}}),
        Header(105, 4),
        Header(105, 5),
    };
    EXPECT_EQ(m_host.sent, expected);
}
