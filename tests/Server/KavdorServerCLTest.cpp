#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "CardCode.h"
#include "KavdorServerCL.h"
#include "TestFolder.h"
#include "TestTableClient.h"

namespace
{
// A server on its own thread, on a free port, with its records in a test folder.
class RunningServer
{
public:
    RunningServer(const std::string& database, bool bots, int turnSeconds = 30)
    {
        KavdorServerOptions options;
        options.port = 0;
        options.database = database;
        options.bots = bots;
        options.botDelayMs = 0;
        options.turnSeconds = turnSeconds;
        options.graceMs = 0;
        options.verbose = getenv("KAVDOR_TEST_VERBOSE") != nullptr;
        options.tables = 2;
        m_server = std::make_unique<KavdorServerCL>(options);
        started = m_server->Start();
        port = m_server->Port();
        m_thread = std::thread([this] { m_server->Run(m_stop); });
    }
    ~RunningServer()
    {
        m_stop = true;
        m_thread.join();
    }

    bool started = false;
    uint16_t port = 0;

private:
    std::unique_ptr<KavdorServerCL> m_server;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Four clients at table 1, seats 0..3, entered and ready.
std::vector<std::unique_ptr<TestTableClient>> SeatFour(uint16_t port, const std::string& prefix)
{
    std::vector<std::unique_ptr<TestTableClient>> clients;
    for (int i = 0; i < 4; ++i)
    {
        auto client = std::make_unique<TestTableClient>(prefix + std::to_string(i));
        EXPECT_TRUE(client->Connect(port));
        client->Login();
        client->SitDown(1, i);
        client->EnterGame();
        clients.push_back(std::move(client));
    }
    return clients;
}

// Lets every client play until each has seen `hands` results.
bool PlayHands(std::vector<std::unique_ptr<TestTableClient>>& clients, size_t hands, int timeoutMs)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end)
    {
        bool done = true;
        for (auto& client : clients)
        {
            client->Pump(5, true, 1);
            done = done && client->Hands().size() >= hands;
        }
        if (done)
            return true;
    }
    return false;
}

std::vector<uint16_t> TypesOf(const std::vector<TestTableClient::Received>& log, size_t from)
{
    std::vector<uint16_t> types;
    for (size_t i = from; i < log.size(); ++i)
        types.push_back(static_cast<uint16_t>(log[i].category * 100 + log[i].type));
    return types;
}
} // namespace

TEST(KavdorServer, FourClientsPlayHandsOverTcpByTheRules)
{
    TestFolder folder;
    RunningServer server((folder.Path() / "players.db").string(), false);
    ASSERT_TRUE(server.started);
    auto clients = SeatFour(server.port, "tcp");
    ASSERT_TRUE(PlayHands(clients, 200, 120000));
    for (size_t hand = 0; hand < 200; ++hand)
    {
        SCOPED_TRACE(hand);
        // Every card of the two decks was dealt exactly twice.
        CardList deal = clients[0]->Hands()[hand].baseCards;
        for (auto& client : clients)
        {
            const auto& seen = client->Hands()[hand];
            deal.insert(deal.end(), seen.ownDeal.begin(), seen.ownDeal.end());
            EXPECT_EQ(seen.notBeating, 0);
        }
        ASSERT_EQ(deal.size(), 108u);
        for (int code = 1; code <= 54; ++code)
            EXPECT_EQ(std::count(deal.begin(), deal.end(), code), 2);
        // One winner, and the scores sum to zero.
        const auto& seen = clients[0]->Hands()[hand];
        int sum = 0;
        for (const NetResultRecord& r : seen.result)
            sum += r.score;
        EXPECT_EQ(seen.result.size(), 4u);
        EXPECT_EQ(sum, 0);
        int emptied = 0;
        for (auto& client : clients)
            emptied += client->Hands()[hand].cardsLeft.at(client->PlayerId()) == 0 ? 1 : 0;
        EXPECT_EQ(emptied, 1);
        EXPECT_GT(seen.beaten, 10);
    }
}

namespace
{
bool Saw(const TestTableClient& client, uint16_t category, uint16_t type, size_t from = 0)
{
    const auto& log = client.Log();
    return std::any_of(log.begin() + static_cast<long>(std::min(from, log.size())), log.end(),
                       [&](const TestTableClient::Received& m) { return m.category == category && m.type == type; });
}

// Pumps the clients until `done` holds or the time is up.
template <class Done>
bool PumpUntil(std::vector<TestTableClient*> clients, Done done, int timeoutMs, bool play = true)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end)
    {
        if (done())
            return true;
        for (TestTableClient* client : clients)
            client->Pump(5, play, 1);
    }
    return done();
}
} // namespace

TEST(KavdorServer, GarbageClientIsDroppedAndTheHandEndsWithABot)
{
    TestFolder folder;
    RunningServer server((folder.Path() / "players.db").string(), false);
    ASSERT_TRUE(server.started);
    auto clients = SeatFour(server.port, "g");
    TestTableClient& rogue = *clients[3];
    ASSERT_TRUE(PumpUntil({clients[0].get(), clients[1].get(), clients[2].get(), &rogue},
                          [&] { return Saw(rogue, NET_CATEGORY_GAME, GAME_DEAL); }, 10000));
    // A chat line whose length byte promises more than the frame holds.
    rogue.Net().Send({100, 0, 9, 0, 200, 'x', 'y'});
    ASSERT_TRUE(PumpUntil({&rogue}, [&] { return !rogue.Pump(10, false); }, 5000, false));
    std::vector<TestTableClient*> rest{clients[0].get(), clients[1].get(), clients[2].get()};
    ASSERT_TRUE(PumpUntil(rest, [&] {
        return std::all_of(rest.begin(), rest.end(), [](TestTableClient* c) { return c->Hands().size() >= 2; });
    }, 30000));
    for (TestTableClient* client : rest)
        for (const auto& hand : client->Hands())
            EXPECT_EQ(hand.result.size(), 4u);
}

TEST(KavdorServer, PlayerWhoDropsGetsHisHandBackOnLoggingInAgain)
{
    TestFolder folder;
    RunningServer server((folder.Path() / "players.db").string(), false);
    ASSERT_TRUE(server.started);
    auto clients = SeatFour(server.port, "r");
    std::vector<TestTableClient*> all;
    for (auto& c : clients)
        all.push_back(c.get());
    // Into the play of the first hand.
    ASSERT_TRUE(PumpUntil(all, [&] { return Saw(*clients[2], NET_CATEGORY_GAME, GAME_PLAY); }, 20000));
    ASSERT_TRUE(clients[2]->Hands().empty());
    int seat = clients[2]->Seat();
    clients[2]->Close();

    TestTableClient back("r2");
    ASSERT_TRUE(back.Connect(server.port));
    back.Login();
    ASSERT_TRUE(PumpUntil({&back}, [&] { return back.Seat() >= 0; }, 5000, false));
    EXPECT_EQ(back.Seat(), seat);
    size_t from = back.Log().size();
    back.EnterGame();
    ASSERT_TRUE(PumpUntil({&back}, [&] { return Saw(back, NET_CATEGORY_GAME, GAME_LANDLORD, from); }, 5000, false));
    EXPECT_TRUE(Saw(back, NET_CATEGORY_ROOM, ROOM_GAME_RUNNING, from));
    EXPECT_TRUE(Saw(back, NET_CATEGORY_GAME, GAME_BASE_CARDS, from));
    EXPECT_FALSE(back.Hand().empty());
    EXPECT_LE(back.Hand().size(), 33u);
    // And he plays the hand to its end with the others.
    all[2] = &back;
    ASSERT_TRUE(PumpUntil(all, [&] { return back.Hands().size() >= 1; }, 30000));
    EXPECT_EQ(back.Hands()[0].result.size(), 4u);
}

TEST(KavdorServer, MessagesOfOneHandInOrder)
{
    TestFolder folder;
    RunningServer server((folder.Path() / "players.db").string(), true);
    ASSERT_TRUE(server.started);
    TestTableClient client("script");
    client.autoReady = false;
    ASSERT_TRUE(client.Connect(server.port));
    client.Login();
    client.SitDown(1, -1);
    ASSERT_TRUE(PumpUntil({&client}, [&] { return client.Seat() >= 0; }, 5000, false));
    EXPECT_EQ(TypesOf(client.Log(), 0), (std::vector<uint16_t>{201, 203}));
    size_t arrival = client.Log().size();
    client.EnterGame();
    ASSERT_TRUE(PumpUntil({&client}, [&] { return Saw(client, NET_CATEGORY_ROOM, ROOM_START_READY, arrival); }, 5000,
                          false));
    // Cost, the four seats, the bots' readiness, then the ready button.
    EXPECT_EQ(TypesOf(client.Log(), arrival),
              (std::vector<uint16_t>{10021, 10002, 10002, 10002, 10002, 10004, 10004, 10004, 10005}));

    size_t hand = client.Log().size();
    client.Send(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_READY));
    ASSERT_TRUE(client.PlayUntilResults(1, 30000));
    client.Pump(300, false); // what follows the result; then the table waits for this player
    std::vector<uint16_t> types = TypesOf(client.Log(), hand);
    // Ready, running, turn length, score info, the deal and the others' counts, the first bid.
    std::vector<uint16_t> start(types.begin(), types.begin() + 9);
    EXPECT_EQ(start, (std::vector<uint16_t>{10004, 10010, 10515, 10514, 10505, 10507, 10507, 10507, 10504}))
        << ::testing::PrintToString(types);
    // After the bids: base cards, landlord, score info, the landlord's hand, then the first turn.
    auto base = std::find(types.begin(), types.end(), 10512);
    ASSERT_NE(base, types.end());
    EXPECT_EQ(std::vector<uint16_t>(base, base + 3), (std::vector<uint16_t>{10512, 10513, 10514}));
    EXPECT_TRUE(base[3] == 10505 || base[3] == 10507);
    EXPECT_EQ(base[4], 10508);
    // The end: the result, the four updated records, the ready button, and the bots ready again.
    auto result = std::find(types.begin(), types.end(), 10006);
    ASSERT_NE(result, types.end());
    EXPECT_EQ(std::vector<uint16_t>(result, types.end()),
              (std::vector<uint16_t>{10006, 10014, 10014, 10014, 10014, 10005, 10004, 10004, 10004}));
}

TEST(KavdorServer, RecordsSurviveARestart)
{
    TestFolder folder;
    std::string database = (folder.Path() / "players.db").string();
    int score = 0;
    {
        RunningServer server(database, true);
        ASSERT_TRUE(server.started);
        TestTableClient client("keeper");
        client.autoReady = false; // one hand only
        ASSERT_TRUE(client.Connect(server.port));
        client.Login();
        client.SitDown(1, -1);
        client.EnterGame();
        client.Send(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_READY));
        ASSERT_TRUE(client.PlayUntilResults(1, 30000));
        for (const NetResultRecord& r : client.Hands()[0].result)
            if (r.playerId == client.PlayerId())
                score = r.score;
    }
    RunningServer again(database, false);
    ASSERT_TRUE(again.started);
    TestTableClient client("keeper");
    ASSERT_TRUE(client.Connect(again.port));
    client.Login();
    ASSERT_TRUE(PumpUntil({&client}, [&] { return client.PlayerId() != 0; }, 5000, false));
    NetMsgReaderCL r(client.Log()[0].payload.data(), static_cast<int>(client.Log()[0].payload.size()));
    EXPECT_EQ(r.ReadI32(), 0);
    r.ReadI32();
    NetPlayerInfo info = r.ReadPlayerInfo();
    EXPECT_EQ(info.values[NET_INFO_GAMES], 1);
    EXPECT_EQ(info.values[NET_INFO_SCORE], score);
    EXPECT_EQ(info.values[NET_INFO_COINS], PlayerStoreCL::kStartingCoins + score);
}
