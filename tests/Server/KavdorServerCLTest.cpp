#include "KavdorServerCL.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include <gtest/gtest.h>
#include <sodium.h>
#include <sqlite3.h>

#include "CardCode.h"
#include "PostgresTestDb.h"
#include "TestFolder.h"
#include "TestTableClient.h"

namespace
{
// Options for a test server: a free port, records in a test folder, fast password hashes.
KavdorServerOptions TestOptions(const std::string& database, bool bots, int turnSeconds = 30)
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
    options.passwordOps = crypto_pwhash_OPSLIMIT_MIN;
    options.passwordMemory = crypto_pwhash_MEMLIMIT_MIN;
    // Test clients and bots play at full speed, far more messages a second than a person sends.
    options.messagesPerSecond = 1e6;
    options.messageBurst = 1e6;
    return options;
}

// A server on its own thread. Inspect runs a function between two of its steps, so that a test
// may look at its state without racing it.
class RunningServer
{
public:
    explicit RunningServer(const KavdorServerOptions& options)
    {
        m_server = std::make_unique<KavdorServerCL>(options);
        started = m_server->Start();
        error = m_server->LastError();
        port = m_server->Port();
        if (started)
            m_thread = std::thread(
                [this]
                {
                    while (!m_stop)
                    {
                        std::lock_guard<std::mutex> lock(m_mutex);
                        m_server->RunOnce(20);
                    }
                });
    }
    RunningServer(const std::string& database, bool bots, int turnSeconds = 30)
        : RunningServer(TestOptions(database, bots, turnSeconds))
    {
    }
    ~RunningServer()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

    template <class F>
    auto Inspect(F f)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return f(*m_server);
    }

    bool started = false;
    std::string error;
    uint16_t port = 0;

private:
    std::unique_ptr<KavdorServerCL> m_server;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
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
                       [&](const TestTableClient::Received& m)
                       { return m.category == category && m.type == type; });
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
    ASSERT_TRUE(PumpUntil(
        {clients[0].get(), clients[1].get(), clients[2].get(), &rogue},
        [&] { return Saw(rogue, NET_CATEGORY_GAME, GAME_DEAL); }, 10000));
    // A chat line whose length byte promises more than the frame holds.
    rogue.Net().Send({100, 0, 9, 0, 200, 'x', 'y'});
    ASSERT_TRUE(PumpUntil(
        {&rogue}, [&] { return !rogue.Pump(10, false); }, 5000, false));
    std::vector<TestTableClient*> rest{clients[0].get(), clients[1].get(), clients[2].get()};
    ASSERT_TRUE(PumpUntil(
        rest,
        [&] {
            return std::all_of(rest.begin(), rest.end(),
                               [](TestTableClient* c) { return c->Hands().size() >= 2; });
        },
        30000));
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
    ASSERT_TRUE(PumpUntil(
        all, [&] { return Saw(*clients[2], NET_CATEGORY_GAME, GAME_PLAY); }, 20000));
    ASSERT_TRUE(clients[2]->Hands().empty());
    int seat = clients[2]->Seat();
    clients[2]->Close();

    TestTableClient back("r2");
    ASSERT_TRUE(back.Connect(server.port));
    back.Login();
    ASSERT_TRUE(PumpUntil(
        {&back}, [&] { return back.Seat() >= 0; }, 5000, false));
    EXPECT_EQ(back.Seat(), seat);
    size_t from = back.Log().size();
    back.EnterGame();
    ASSERT_TRUE(PumpUntil(
        {&back}, [&] { return Saw(back, NET_CATEGORY_GAME, GAME_LANDLORD, from); }, 5000, false));
    EXPECT_TRUE(Saw(back, NET_CATEGORY_ROOM, ROOM_GAME_RUNNING, from));
    EXPECT_TRUE(Saw(back, NET_CATEGORY_GAME, GAME_BASE_CARDS, from));
    EXPECT_FALSE(back.Hand().empty());
    EXPECT_LE(back.Hand().size(), 33u);
    // And he plays the hand to its end with the others.
    all[2] = &back;
    ASSERT_TRUE(PumpUntil(
        all, [&] { return back.Hands().size() >= 1; }, 30000));
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
    ASSERT_TRUE(PumpUntil(
        {&client}, [&] { return client.Seat() >= 0; }, 5000, false));
    EXPECT_EQ(TypesOf(client.Log(), 0), (std::vector<uint16_t>{201, 203}));
    size_t arrival = client.Log().size();
    client.EnterGame();
    ASSERT_TRUE(PumpUntil(
        {&client}, [&] { return Saw(client, NET_CATEGORY_ROOM, ROOM_START_READY, arrival); }, 5000, false));
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
    ASSERT_TRUE(PumpUntil(
        {&client}, [&] { return client.PlayerId() != 0; }, 5000, false));
    NetMsgReaderCL r(client.Log()[0].payload.data(), static_cast<int>(client.Log()[0].payload.size()));
    EXPECT_EQ(r.ReadI32(), 0);
    r.ReadI32();
    NetPlayerInfo info = r.ReadPlayerInfo();
    EXPECT_EQ(info.values[NET_INFO_GAMES], 1);
    EXPECT_EQ(info.values[NET_INFO_SCORE], score);
    EXPECT_EQ(info.values[NET_INFO_COINS], PlayerStoreCL::kStartingCoins + score);
}

// ---------------------------------------------------------------------------------------------
// Accounts, fair tables and records, each tried as an attacker or an unlucky player would.

namespace
{
// The messages of one kind a client received from `from` on.
std::vector<TestTableClient::Received> Messages(const TestTableClient& client, uint16_t category,
                                                uint16_t type, size_t from = 0)
{
    std::vector<TestTableClient::Received> found;
    for (size_t i = from; i < client.Log().size(); ++i)
        if (client.Log()[i].category == category && client.Log()[i].type == type)
            found.push_back(client.Log()[i]);
    return found;
}

int FirstI32(const TestTableClient::Received& message)
{
    NetMsgReaderCL r(message.payload.data(), static_cast<int>(message.payload.size()));
    return r.ReadI32();
}

// Connects and logs in; true once the server answered (whatever it answered).
bool LogIn(TestTableClient& client, uint16_t port)
{
    if (!client.IsConnected() && !client.Connect(port))
        return false;
    int answers = static_cast<int>(Messages(client, NET_CATEGORY_LOBBY, LOBBY_LOGIN_RESULT).size());
    client.Login();
    return PumpUntil(
        {&client},
        [&] {
            return static_cast<int>(Messages(client, NET_CATEGORY_LOBBY, LOBBY_LOGIN_RESULT).size()) >
                   answers;
        },
        10000, false);
}

// Connects, logs in, sits at the table (or watches a seat) and enters the game.
bool Arrive(TestTableClient& client, uint16_t port, int table, int seat, bool watch = false,
            const std::string& password = "")
{
    if (client.PlayerId() == 0 && !LogIn(client, port))
        return false;
    if (client.PlayerId() == 0)
        return false;
    size_t from = client.Log().size();
    if (watch)
        client.Watch(table, seat);
    else
        client.SitDown(table, seat);
    if (!PumpUntil(
            {&client}, [&] { return !Messages(client, NET_CATEGORY_LOBBY, LOBBY_SIT_RESULT, from).empty(); },
            5000, false))
        return false;
    if (FirstI32(Messages(client, NET_CATEGORY_LOBBY, LOBBY_SIT_RESULT, from).back()) != 0)
        return false;
    client.EnterGame(password);
    return true;
}

// The table list as the lobby sends it: per table its flags and its four player ids.
struct TableRow
{
    int flags = 0;
    std::vector<int> players;
};
std::map<int, TableRow> TableList(TestTableClient& client)
{
    size_t from = client.Log().size();
    client.Send(NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_LIST_TABLES));
    std::map<int, TableRow> rows;
    if (!PumpUntil(
            {&client}, [&] { return !Messages(client, NET_CATEGORY_LOBBY, LOBBY_TABLE_LIST, from).empty(); },
            5000, false))
        return rows;
    auto list = Messages(client, NET_CATEGORY_LOBBY, LOBBY_TABLE_LIST, from).back();
    NetMsgReaderCL r(list.payload.data(), static_cast<int>(list.payload.size()));
    int count = r.ReadU8();
    for (int i = 0; i < count; ++i)
    {
        int id = r.ReadI32();
        TableRow& row = rows[id];
        row.flags = r.ReadU8();
        for (int seat = 0; seat < 4; ++seat)
            row.players.push_back(r.ReadI32());
    }
    return rows;
}

// Waits until the server has closed the client's connection.
bool ClosedByServer(TestTableClient& client, int timeoutMs)
{
    return PumpUntil(
        {&client}, [&] { return !client.IsConnected(); }, timeoutMs, false);
}
} // namespace

TEST(KavdorServerAccounts, LoginNeedsThePasswordAndOnlyTheRightOneTakesOver)
{
    TestFolder folder;
    RunningServer server((folder.Path() / "players.db").string(), true);
    ASSERT_TRUE(server.started);
    TestTableClient owner("ann", "her secret");
    ASSERT_TRUE(Arrive(owner, server.port, 1, 0));
    ASSERT_TRUE(PumpUntil(
        {&owner}, [&] { return Saw(owner, NET_CATEGORY_GAME, GAME_DEAL); }, 10000));

    // The attacker knows her nickname, not her password: refused with a reason, and she keeps
    // her connection, her seat and her cards to herself.
    TestTableClient attacker("ann", "guess");
    ASSERT_TRUE(LogIn(attacker, server.port));
    auto answer = Messages(attacker, NET_CATEGORY_LOBBY, LOBBY_LOGIN_RESULT).back();
    NetMsgReaderCL r(answer.payload.data(), static_cast<int>(answer.payload.size()));
    EXPECT_EQ(r.ReadI32(), 2);
    EXPECT_EQ(r.ReadI32(), 0);
    r.ReadPlayerInfo();
    EXPECT_EQ(r.ReadBytes(), "wrong password");
    attacker.Pump(200, false);
    EXPECT_TRUE(Messages(attacker, NET_CATEGORY_GAME, GAME_DEAL).empty());
    EXPECT_TRUE(Messages(attacker, NET_CATEGORY_LOBBY, LOBBY_SIT_RESULT).empty());
    EXPECT_TRUE(owner.Pump(100, true));
    // Guessing on ends with the connection.
    for (int i = 1; i < KavdorServerCL::kMaxWrongLogins && attacker.IsConnected(); ++i)
        LogIn(attacker, server.port);
    EXPECT_TRUE(ClosedByServer(attacker, 5000));

    // Her own login elsewhere takes her seat over from the older connection.
    TestTableClient again("ann", "her secret");
    ASSERT_TRUE(LogIn(again, server.port));
    EXPECT_EQ(again.LoginResult(), 0);
    EXPECT_EQ(again.PlayerId(), owner.PlayerId());
    ASSERT_TRUE(PumpUntil(
        {&again}, [&] { return again.Seat() == 0; }, 5000, false));
    EXPECT_TRUE(ClosedByServer(owner, 5000));

    // Nicknames with control bytes would forge log lines; empty passwords guard nothing.
    TestTableClient forger("eve\nplayer 1 logged in", "pw");
    ASSERT_TRUE(LogIn(forger, server.port));
    EXPECT_EQ(forger.LoginResult(), 1);
    TestTableClient careless("bob", "\x01");
    careless.Connect(server.port);
    careless.Send(NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_LOGIN).Bytes("bob").U8(0).Bytes(""));
    ASSERT_TRUE(PumpUntil(
        {&careless}, [&] { return careless.LoginResult() >= 0; }, 5000, false));
    EXPECT_EQ(careless.LoginResult(), 1);

    // The mode byte: "create" refuses a known nickname, "log in" an unknown one, each with its
    // reason and the connection kept; an unknown mode is refused before anything is looked up.
    struct ModeCase
    {
        const char* nickname;
        uint8_t mode;
        int result;
        const char* reason;
    };
    for (const ModeCase& c : {ModeCase{"ann", 2, 1, "the nickname is taken"},
                              ModeCase{"nobody", 1, 1, "no player has this nickname"},
                              ModeCase{"nobody", 9, 1, "unknown login mode 9"}, ModeCase{"ann", 1, 0, ""},
                              ModeCase{"newcomer", 2, 0, ""}})
    {
        SCOPED_TRACE(testing::Message() << c.nickname << " mode " << int(c.mode));
        TestTableClient client(c.nickname, "her secret");
        ASSERT_TRUE(client.Connect(server.port));
        client.Send(NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_LOGIN)
                        .Bytes(c.nickname)
                        .U8(0)
                        .Bytes("her secret")
                        .U8(c.mode));
        ASSERT_TRUE(PumpUntil(
            {&client}, [&] { return client.LoginResult() >= 0; }, 5000, false));
        auto login = Messages(client, NET_CATEGORY_LOBBY, LOBBY_LOGIN_RESULT).back();
        NetMsgReaderCL reader(login.payload.data(), static_cast<int>(login.payload.size()));
        EXPECT_EQ(reader.ReadI32(), c.result);
        reader.ReadI32();
        reader.ReadPlayerInfo();
        EXPECT_EQ(reader.ReadBytes(), c.reason);
        EXPECT_TRUE(client.IsConnected());
    }
}

TEST(KavdorServerAccounts, WatcherNeedsThePasswordAndNeverSeesAHiddenHand)
{
    TestFolder folder;
    // The owner never acts: his turns run out after a second each, so the hand is still on when
    // the late watcher arrives.
    RunningServer server((folder.Path() / "players.db").string(), true, 1);
    ASSERT_TRUE(server.started);
    TestTableClient owner("owner");
    owner.autoReady = false;
    ASSERT_TRUE(Arrive(owner, server.port, 1, 0, false, "pw"));
    ASSERT_TRUE(PumpUntil(
        {&owner}, [&] { return Saw(owner, NET_CATEGORY_ROOM, ROOM_START_READY); }, 5000, false));

    TestTableClient watcher("watcher");
    ASSERT_TRUE(Arrive(watcher, server.port, 1, 0, true));
    ASSERT_TRUE(PumpUntil(
        {&watcher}, [&] { return Saw(watcher, NET_CATEGORY_ROOM, ROOM_ENTER_PASSWORD); }, 5000, false));
    EXPECT_FALSE(Saw(watcher, NET_CATEGORY_ROOM, ROOM_PLAYER_IN));
    watcher.Send(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_PASSWORD).Bytes("pw"));
    ASSERT_TRUE(PumpUntil(
        {&watcher}, [&] { return Saw(watcher, NET_CATEGORY_ROOM, ROOM_START_READY); }, 5000, false));

    owner.Send(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_READY));
    ASSERT_TRUE(PumpUntil(
        {&owner, &watcher}, [&] { return Saw(watcher, NET_CATEGORY_GAME, GAME_LANDLORD); }, 20000, false));
    // The table as the public sees it: counts for every seat, the cards only once played.
    EXPECT_TRUE(Messages(watcher, NET_CATEGORY_GAME, GAME_DEAL).empty());
    std::set<int> counted;
    for (const auto& m : Messages(watcher, NET_CATEGORY_GAME, GAME_CARD_COUNT))
        counted.insert(FirstI32(m));
    EXPECT_EQ(counted.size(), 4u);
    EXPECT_TRUE(counted.count(owner.PlayerId()));

    // Arriving during the hand shows the same public view.
    TestTableClient late("late");
    ASSERT_TRUE(Arrive(late, server.port, 1, 0, true, "pw"));
    ASSERT_TRUE(PumpUntil(
        {&late}, [&] { return Saw(late, NET_CATEGORY_GAME, GAME_LANDLORD); }, 5000, false));
    EXPECT_TRUE(Messages(late, NET_CATEGORY_GAME, GAME_DEAL).empty());
    EXPECT_EQ(Messages(late, NET_CATEGORY_GAME, GAME_CARD_COUNT).size(), 4u);
}

TEST(KavdorServerAccounts, EscapeIsKeptWhenThePlayerSitsAtAnotherTable)
{
    TestFolder folder;
    std::string database = (folder.Path() / "players.db").string();
    int secondScore = 0;
    {
        RunningServer server(database, true);
        ASSERT_TRUE(server.started);
        TestTableClient player("runner", "pw");
        player.autoReady = false;
        ASSERT_TRUE(Arrive(player, server.port, 1, -1));
        player.Send(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_READY));
        ASSERT_TRUE(PumpUntil(
            {&player}, [&] { return Saw(player, NET_CATEGORY_GAME, GAME_DEAL); }, 10000, false));
        player.Send(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_FORCE_LEAVE));
        ASSERT_TRUE(PumpUntil(
            {&player}, [&] { return Saw(player, NET_CATEGORY_ROOM, ROOM_EXIT_RESULT); }, 5000, false));
        // While the bots finish his escaped hand at table 1, he plays one at table 2.
        size_t from = player.Log().size();
        player.SitDown(2, -1);
        ASSERT_TRUE(PumpUntil(
            {&player}, [&] { return !Messages(player, NET_CATEGORY_LOBBY, LOBBY_SIT_RESULT, from).empty(); },
            5000, false));
        ASSERT_EQ(FirstI32(Messages(player, NET_CATEGORY_LOBBY, LOBBY_SIT_RESULT, from).back()), 0);
        player.EnterGame();
        player.Send(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_READY));
        ASSERT_TRUE(player.PlayUntilResults(1, 60000));
        for (const NetResultRecord& r : player.Hands().back().result)
            if (r.playerId == player.PlayerId())
                secondScore = r.score;
        // Table 1's hand ends too (bots play fast); then both are in the records.
        ASSERT_TRUE(PumpUntil(
            {&player},
            [&] { return server.Inspect([](KavdorServerCL& s) { return s.GetTable(1)->FreeSeats() == 4; }); },
            20000, false));
    }
    PlayerStoreCL store;
    ASSERT_TRUE(store.Open(database));
    PlayerRecord record;
    ASSERT_EQ(store.Login("runner", "pw", 0, record), LoginResult::Ok);
    EXPECT_EQ(record.games, 2);
    EXPECT_EQ(record.escapes, 1);
    EXPECT_EQ(record.wins + record.losses + record.draws, 2);
    EXPECT_LT(record.score - secondScore, 0); // the escaped hand cost him
    store.Close();

    // The login answer carries the record's own level and escape rate.
    RunningServer again(database, false);
    ASSERT_TRUE(again.started);
    TestTableClient back("runner", "pw");
    ASSERT_TRUE(LogIn(back, again.port));
    auto answer = Messages(back, NET_CATEGORY_LOBBY, LOBBY_LOGIN_RESULT).back();
    NetMsgReaderCL r(answer.payload.data(), static_cast<int>(answer.payload.size()));
    ASSERT_EQ(r.ReadI32(), 0);
    r.ReadI32();
    NetPlayerInfo info = r.ReadPlayerInfo();
    EXPECT_EQ(info.values[NET_INFO_ESCAPE_RATE], 50);
    EXPECT_EQ(info.values[NET_INFO_LEVEL], 1 + std::max(0, record.score) / 100);
    EXPECT_EQ(info.extra, 1);
}

TEST(KavdorServerAccounts, SecondServerOnTheSameRecordsIsRefused)
{
    TestFolder folder;
    std::string database = (folder.Path() / "players.db").string();
    RunningServer first(database, false);
    ASSERT_TRUE(first.started);
    RunningServer second(database, false);
    EXPECT_FALSE(second.started);
    EXPECT_NE(second.error.find("in use"), std::string::npos) << second.error;
}

TEST(KavdorServerAccounts, ResultIsShownOnlyOnceSavedAndAFailingSaveStopsNoOtherTable)
{
    TestFolder folder;
    std::string database = (folder.Path() / "players.db").string();
    {
        PlayerStoreCL store; // the file as the server makes it
        ASSERT_TRUE(store.Open(database));
    }
    // The database refuses every change for the next few seconds, as a full or locked disk would.
    double outageEnds = 0;
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(database.c_str(), &db), SQLITE_OK);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, "SELECT julianday('now', '+6 seconds')", -1, &stmt, nullptr);
        ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
        outageEnds = sqlite3_column_double(stmt, 0);
        sqlite3_finalize(stmt);
        char sql[256];
        snprintf(sql, sizeof(sql),
                 "CREATE TRIGGER outage BEFORE UPDATE ON players WHEN julianday('now') < %.10f "
                 "BEGIN SELECT RAISE(ABORT, 'records offline'); END",
                 outageEnds);
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    auto outageOver = [&]
    {
        // Julian days to Unix seconds.
        double unixNow =
            std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
        return unixNow >= (outageEnds - 2440587.5) * 86400.0;
    };

    int score = 0;
    {
        RunningServer server(database, true);
        ASSERT_TRUE(server.started);
        TestTableClient player("unlucky");
        player.autoReady = false;
        TestTableClient other("elsewhere");
        ASSERT_TRUE(Arrive(player, server.port, 1, -1));
        ASSERT_TRUE(Arrive(other, server.port, 2, -1));
        player.Send(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_READY));
        // The hand ends (a seat shows no cards left) long before the outage does, but no
        // result comes.
        auto someoneEmptied = [&]
        {
            for (const auto& m : Messages(player, NET_CATEGORY_GAME, GAME_CARD_COUNT))
            {
                NetMsgReaderCL r(m.payload.data(), static_cast<int>(m.payload.size()));
                r.ReadI32();
                if (r.ReadI32() == 0)
                    return true;
            }
            return Saw(player, NET_CATEGORY_GAME, GAME_DEAL) && player.Hand().empty();
        };
        ASSERT_TRUE(PumpUntil({&player}, someoneEmptied, 20000));
        ASSERT_FALSE(outageOver()) << "the hand took too long to show the outage";
        player.Pump(300);
        EXPECT_FALSE(Saw(player, NET_CATEGORY_ROOM, ROOM_GAME_RESULT));
        // Meanwhile the other table answers at once.
        size_t from = other.Log().size();
        other.Send(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_CHAT).Bytes("still here?"));
        ASSERT_TRUE(PumpUntil(
            {&other}, [&] { return !Messages(other, NET_CATEGORY_ROOM, ROOM_CHAT, from).empty(); }, 1000,
            false));
        EXPECT_FALSE(outageOver());
        // Once the database takes it, the result is shown.
        ASSERT_TRUE(player.PlayUntilResults(1, 20000));
        EXPECT_TRUE(outageOver());
        for (const NetResultRecord& r : player.Hands()[0].result)
            if (r.playerId == player.PlayerId())
                score = r.score;
    }
    // And it is in the records.
    PlayerStoreCL store;
    ASSERT_TRUE(store.Open(database));
    PlayerRecord record;
    ASSERT_EQ(store.Login("unlucky", "pw-unlucky", 0, record), LoginResult::Ok);
    EXPECT_EQ(record.games, 1);
    EXPECT_EQ(record.score, score);
}

TEST(KavdorServerAccounts, ConnectionsBeyondTheCapAndSilentOnesAreClosed)
{
    TestFolder folder;
    KavdorServerOptions options = TestOptions((folder.Path() / "players.db").string(), false);
    options.maxConnections = 3;
    options.loginTimeoutMs = 500;
    RunningServer server(options);
    ASSERT_TRUE(server.started);
    TestTableClient player("player");
    ASSERT_TRUE(LogIn(player, server.port));
    std::vector<std::unique_ptr<TestTableClient>> silent;
    for (int i = 0; i < 2; ++i)
    {
        silent.push_back(std::make_unique<TestTableClient>("silent"));
        ASSERT_TRUE(silent.back()->Connect(server.port));
    }
    TestTableClient extra("extra");
    ASSERT_TRUE(extra.Connect(server.port)); // the kernel accepts; the server closes it at once
    EXPECT_TRUE(ClosedByServer(extra, 2000));
    // Those who never log in are let go; the player stays.
    for (auto& client : silent)
        EXPECT_TRUE(ClosedByServer(*client, 5000));
    EXPECT_TRUE(player.Pump(200, false));
    EXPECT_TRUE(player.IsConnected());
    // With room again, a newcomer gets in.
    TestTableClient later("later");
    ASSERT_TRUE(LogIn(later, server.port));
    EXPECT_EQ(later.LoginResult(), 0);
}

TEST(KavdorServerAccounts, ClientsThatKeepSendingIgnoredRequestsAreClosed)
{
    TestFolder folder;
    RunningServer server((folder.Path() / "players.db").string(), false);
    ASSERT_TRUE(server.started);
    // Before logging in, every request is ignored.
    TestTableClient early("early");
    ASSERT_TRUE(early.Connect(server.port));
    for (int i = 0; i < 60 && early.IsConnected(); ++i)
        early.Send(NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_LIST_TABLES));
    EXPECT_TRUE(ClosedByServer(early, 5000));
    // Logged in, a player who keeps playing out of turn goes the same way.
    TestTableClient pest("pest");
    pest.autoReady = false;
    ASSERT_TRUE(Arrive(pest, server.port, 1, 0));
    for (int i = 0; i < 60 && pest.IsConnected(); ++i)
        pest.Send(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_REQ_PASS));
    EXPECT_TRUE(ClosedByServer(pest, 5000));
    // A few refused requests among normal play are nothing.
    TestTableClient normal("normal");
    normal.autoReady = false;
    ASSERT_TRUE(Arrive(normal, server.port, 2, 0));
    for (int i = 0; i < 5; ++i)
        normal.Send(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_REQ_PASS));
    EXPECT_TRUE(normal.Pump(300, false));
    EXPECT_TRUE(normal.IsConnected());
}

TEST(KavdorServerAccounts, TablePasswordEndsWithItsLastPlayerAndOnlyPlayersAddBots)
{
    TestFolder folder;
    RunningServer server((folder.Path() / "players.db").string(), false);
    ASSERT_TRUE(server.started);
    TestTableClient owner("owner");
    owner.autoReady = false;
    ASSERT_TRUE(Arrive(owner, server.port, 1, 0, false, "mine"));
    ASSERT_TRUE(PumpUntil(
        {&owner}, [&] { return Saw(owner, NET_CATEGORY_ROOM, ROOM_START_READY); }, 5000, false));

    // A watcher cannot fill somebody else's table with bots.
    TestTableClient watcher("watcher");
    ASSERT_TRUE(Arrive(watcher, server.port, 1, 1, true, "mine"));
    size_t from = watcher.Log().size();
    watcher.Send(NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_ADD_BOTS));
    ASSERT_TRUE(PumpUntil(
        {&watcher}, [&] { return !Messages(watcher, NET_CATEGORY_LOBBY, LOBBY_ERROR, from).empty(); }, 5000,
        false));
    auto rows = TableList(owner);
    EXPECT_EQ(rows[1].flags & 1, 1);
    EXPECT_EQ(std::count(rows[1].players.begin(), rows[1].players.end(), 0), 3);

    // The owner may; then he leaves, and his password and bots go with him.
    owner.Send(NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_ADD_BOTS));
    ASSERT_TRUE(PumpUntil(
        {&owner}, [&] { return TableList(owner)[1].players[3] != 0; }, 5000, false));
    owner.Send(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_LEAVE));
    ASSERT_TRUE(PumpUntil(
        {&owner}, [&] { return Saw(owner, NET_CATEGORY_ROOM, ROOM_EXIT_RESULT); }, 5000, false));
    rows = TableList(owner);
    EXPECT_EQ(rows[1].flags & 1, 0);
    EXPECT_EQ(rows[1].players, (std::vector<int>{0, 0, 0, 0}));
    // The next one to sit there owns it.
    TestTableClient newcomer("newcomer");
    ASSERT_TRUE(Arrive(newcomer, server.port, 1, 2));
    ASSERT_TRUE(PumpUntil(
        {&newcomer}, [&] { return Saw(newcomer, NET_CATEGORY_ROOM, ROOM_START_READY); }, 5000, false));
    EXPECT_FALSE(Saw(newcomer, NET_CATEGORY_ROOM, ROOM_ENTER_PASSWORD));
}

TEST(KavdorServerAccounts, PasswordPromptHasATimeLimitAndGuessesAreLimited)
{
    TestFolder folder;
    KavdorServerOptions options = TestOptions((folder.Path() / "players.db").string(), false);
    options.passwordPromptMs = 500;
    RunningServer server(options);
    ASSERT_TRUE(server.started);
    TestTableClient owner("owner");
    owner.autoReady = false;
    ASSERT_TRUE(Arrive(owner, server.port, 1, 0, false, "mine"));

    // One who never answers the prompt loses the seat.
    TestTableClient idle("idle");
    ASSERT_TRUE(Arrive(idle, server.port, 1, 1));
    ASSERT_TRUE(PumpUntil(
        {&idle}, [&] { return Saw(idle, NET_CATEGORY_ROOM, ROOM_ENTER_PASSWORD); }, 5000, false));
    ASSERT_TRUE(PumpUntil(
        {&idle}, [&] { return Saw(idle, NET_CATEGORY_ROOM, ROOM_EXIT_RESULT); }, 5000, false));
    EXPECT_EQ(TableList(owner)[1].players[1], 0);

    // Guesses: each wrong one is answered, the table settings' password included; three in a
    // row lose the seat, and a connection that keeps guessing is closed.
    TestTableClient guesser("guesser");
    int guesses = 0;
    for (int round = 0; round < 10 && guesser.IsConnected(); ++round)
    {
        size_t from = guesser.Log().size();
        if (!Arrive(guesser, server.port, 1, 1, false, "guess settings"))
            break;
        ++guesses;
        for (int i = 1; i < KavdorTableCL::kMaxPasswordGuesses && guesser.IsConnected(); ++i, ++guesses)
            guesser.Send(
                NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_PASSWORD).Bytes("guess " + std::to_string(i)));
        PumpUntil(
            {&guesser}, [&] { return !Messages(guesser, NET_CATEGORY_ROOM, ROOM_EXIT_RESULT, from).empty(); },
            5000, false);
        if (round == 0)
        {
            auto answers = Messages(guesser, NET_CATEGORY_ROOM, ROOM_PASSWORD_RESULT, from);
            ASSERT_EQ(answers.size(), static_cast<size_t>(KavdorTableCL::kMaxPasswordGuesses));
            for (const auto& answer : answers)
                EXPECT_EQ(FirstI32(answer), 1);
            EXPECT_FALSE(Messages(guesser, NET_CATEGORY_ROOM, ROOM_EXIT_RESULT, from).empty());
        }
    }
    EXPECT_TRUE(ClosedByServer(guesser, 5000));
    EXPECT_LE(guesses, KavdorServerCL::kMaxWrongTablePasswords + KavdorTableCL::kMaxPasswordGuesses);
    // The owner's table is his all along.
    EXPECT_TRUE(owner.Pump(100, false));
    EXPECT_EQ(TableList(owner)[1].players[0], owner.PlayerId());
}

TEST(KavdorServerAccounts, WatcherWhoLeftMaySitElsewhereAndRecordsOfLeaversAreDropped)
{
    TestFolder folder;
    RunningServer server((folder.Path() / "players.db").string(), false);
    ASSERT_TRUE(server.started);
    TestTableClient watcher("watcher");
    ASSERT_TRUE(Arrive(watcher, server.port, 1, 0, true));
    watcher.Send(NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_LEAVE_TABLE));
    ASSERT_TRUE(Arrive(watcher, server.port, 2, 0)) << "still at table 1";

    // Nicknames that come and go leave nothing behind.
    for (int i = 0; i < 20; ++i)
    {
        TestTableClient visitor("visitor" + std::to_string(i));
        ASSERT_TRUE(LogIn(visitor, server.port));
        ASSERT_EQ(visitor.LoginResult(), 0);
    }
    watcher.Close();
    size_t records = 1;
    for (int i = 0; i < 500 && records != 0; ++i)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        records = server.Inspect([](KavdorServerCL& s) { return s.RecordsInMemory(); });
    }
    EXPECT_EQ(records, 0u);
}

TEST(KavdorServerAccounts, PlayerBackAtAPasswordTableTakesHisSeatAndSeesNothingBeforeEntering)
{
    TestFolder folder;
    RunningServer server((folder.Path() / "players.db").string(), false);
    ASSERT_TRUE(server.started);
    TestTableClient owner("owner");
    ASSERT_TRUE(Arrive(owner, server.port, 1, 0, false, "first"));
    TestTableClient player("player");
    ASSERT_TRUE(Arrive(player, server.port, 1, 1, false, "first"));
    ASSERT_TRUE(PumpUntil(
        {&owner, &player}, [&] { return Saw(player, NET_CATEGORY_ROOM, ROOM_START_READY); }, 5000));
    owner.Send(NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_ADD_BOTS));
    ASSERT_TRUE(PumpUntil(
        {&owner, &player}, [&] { return Saw(player, NET_CATEGORY_GAME, GAME_PLAY_TURN); }, 10000));
    player.Close();
    // The owner changes the password meanwhile; the player's seat is his all the same.
    owner.Send(
        NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_TABLE_SETTINGS).I32(0).I32(0).I32(0).Bytes("second"));

    TestTableClient back("player", "pw-player");
    ASSERT_TRUE(LogIn(back, server.port));
    ASSERT_TRUE(PumpUntil(
        {&back}, [&] { return back.Seat() == 1; }, 5000, false));
    // The hand goes on with his seat played for him; he hears nothing of it before he enters.
    PumpUntil(
        {&owner, &back}, [&] { return owner.Hands().size() >= 1; }, 3000);
    for (auto& m : back.Log())
        EXPECT_EQ(m.category, NET_CATEGORY_LOBBY) << m.category << "/" << m.type;
    size_t from = back.Log().size();
    back.EnterGame();
    ASSERT_TRUE(PumpUntil(
        {&back}, [&] { return Saw(back, NET_CATEGORY_ROOM, ROOM_PLAYER_IN, from); }, 5000, false));
    EXPECT_FALSE(Saw(back, NET_CATEGORY_ROOM, ROOM_ENTER_PASSWORD, from));
    ASSERT_GT(back.Log().size(), from);
    EXPECT_EQ(back.Log()[from].category * 100 + back.Log()[from].type, 10021); // arrival comes first
}

TEST(KavdorServerAccounts, ChatCommandsCarryOnlyTheSendersOwnId)
{
    TestFolder folder;
    RunningServer server((folder.Path() / "players.db").string(), false);
    ASSERT_TRUE(server.started);
    TestTableClient one("one");
    TestTableClient two("two");
    one.autoReady = two.autoReady = false;
    ASSERT_TRUE(Arrive(one, server.port, 1, 0));
    ASSERT_TRUE(Arrive(two, server.port, 1, 1));
    ASSERT_TRUE(PumpUntil(
        {&one, &two},
        [&]
        {
            for (const auto& m : Messages(one, NET_CATEGORY_ROOM, ROOM_PLAYER_IN))
                if (FirstI32(m) == two.PlayerId())
                    return true;
            return false;
        },
        5000, false));
    size_t from = two.Log().size();
    std::string forged = "@ID:" + std::to_string(two.PlayerId()) + "#forged";
    std::string own = "@ID:" + std::to_string(one.PlayerId()) + "#own";
    one.Send(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_CHAT).Bytes(forged));
    one.Send(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_CHAT).Bytes(own));
    one.Send(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_CHAT).Bytes("plain words"));
    ASSERT_TRUE(PumpUntil(
        {&one, &two}, [&] { return Messages(two, NET_CATEGORY_ROOM, ROOM_CHAT, from).size() >= 2; }, 5000,
        false));
    two.Pump(200, false);
    std::vector<std::string> lines;
    for (const auto& m : Messages(two, NET_CATEGORY_ROOM, ROOM_CHAT, from))
    {
        NetMsgReaderCL r(m.payload.data(), static_cast<int>(m.payload.size()));
        lines.push_back(r.ReadBytes());
    }
    EXPECT_EQ(lines, (std::vector<std::string>{own, "plain words"}));
}

// The token of an embedding host admits its player without his password; anything else, a
// token one byte short included, is checked as a password.
TEST(KavdorServerAccounts, TheLocalTokenAdmitsWithoutThePassword)
{
    TestFolder folder;
    KavdorServerOptions options = TestOptions((folder.Path() / "players.db").string(), false);
    options.localToken = "token-4711";
    RunningServer server(options);
    ASSERT_TRUE(server.started);
    TestTableClient owner("ann", "her secret");
    ASSERT_TRUE(LogIn(owner, server.port));
    ASSERT_EQ(owner.LoginResult(), 0);

    TestTableClient local("ann", "token-4711");
    ASSERT_TRUE(LogIn(local, server.port));
    EXPECT_EQ(local.LoginResult(), 0);
    EXPECT_EQ(local.PlayerId(), owner.PlayerId());
    TestTableClient shortToken("ann", "token-471");
    ASSERT_TRUE(LogIn(shortToken, server.port));
    EXPECT_EQ(shortToken.LoginResult(), 2);
    TestTableClient newcomer("zed", "token-4711");
    ASSERT_TRUE(LogIn(newcomer, server.port));
    EXPECT_EQ(newcomer.LoginResult(), 0);

    // Without a token configured, the same login is an ordinary wrong password.
    TestFolder other;
    RunningServer plain(TestOptions((other.Path() / "players.db").string(), false));
    TestTableClient first("ann", "her secret");
    ASSERT_TRUE(LogIn(first, plain.port));
    TestTableClient second("ann", "token-4711");
    ASSERT_TRUE(LogIn(second, plain.port));
    EXPECT_EQ(second.LoginResult(), 2);
}

// Two servers on one shared PostgreSQL database: a player seated at one cannot log in at the
// other (two live seats), until the first lets him go; a hand saved by either counts once.
TEST(KavdorServerShared, APlayerIsAtOneOfTwoServersAtATime)
{
    if (!PostgresTestDb::Available())
        GTEST_SKIP() << "no PostgreSQL server to test with (scripts/with-postgres starts one)";
    PostgresTestDb db;
    ASSERT_FALSE(db.Uri().empty()) << db.Error();
    auto first = std::make_unique<RunningServer>(db.Uri(), true);
    RunningServer second(db.Uri(), true);
    ASSERT_TRUE(first->started) << first->error;
    ASSERT_TRUE(second.started) << second.error;

    TestTableClient ann("ann", "her secret");
    ASSERT_TRUE(Arrive(ann, first->port, 1, 0));
    ASSERT_TRUE(PumpUntil(
        {&ann}, [&] { return Saw(ann, NET_CATEGORY_GAME, GAME_DEAL); }, 10000));

    TestTableClient elsewhere("ann", "her secret");
    ASSERT_TRUE(LogIn(elsewhere, second.port));
    auto answer = Messages(elsewhere, NET_CATEGORY_LOBBY, LOBBY_LOGIN_RESULT).back();
    NetMsgReaderCL r(answer.payload.data(), static_cast<int>(answer.payload.size()));
    EXPECT_EQ(r.ReadI32(), 1);
    r.ReadI32();
    r.ReadPlayerInfo();
    EXPECT_EQ(r.ReadBytes(), "already playing at another server");
    // Her seat at the first server is untouched: the hand goes on there.
    EXPECT_TRUE(ann.PlayUntilResults(1, 30000));

    // The first server stops: she may play at the second one at once, with what the first saved.
    ann.Close();
    first.reset();
    TestTableClient back("ann", "her secret");
    ASSERT_TRUE(LogIn(back, second.port));
    EXPECT_EQ(back.LoginResult(), 0);
    std::string games;
    ASSERT_EQ("", db.Run("SELECT games FROM players WHERE nickname = 'ann'::bytea", &games));
    EXPECT_GE(std::stoi(games), 1);
}

TEST(KavdorServerShared, APasswordInTheRecordsTargetIsNotLogged)
{
    const struct
    {
        const char* target;
        const char* logged;
    } cases[] = {
        {"players.db", "players.db"},
        {"postgresql://kavdor@db:5432/players", "postgresql://kavdor@db:5432/players"},
        {"postgresql://kavdor:s3cret@db/players", "postgresql://kavdor:***@db/players"},
        {"postgres://db/players?user=k&password=s3cret&sslmode=require",
         "postgres://db/players?user=k&password=***&sslmode=require"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(KavdorServerCL::Redacted(c.target), c.logged);
}

// The first player at an empty table chooses hard bots; they play his hand out with him, and a
// later player cannot change what the table's first one chose.
TEST(KavdorServerBots, TheFirstPlayerChoosesHowTheTablesBotsPlay)
{
    TestFolder folder;
    RunningServer server((folder.Path() / "players.db").string(), true);
    ASSERT_TRUE(server.started);
    TestTableClient owner("owner");
    ASSERT_TRUE(owner.Connect(server.port));
    ASSERT_TRUE(LogIn(owner, server.port));
    owner.Send(NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_SIT).I32(1).I32(-1).U8(0).U8(2));
    owner.EnterGame();
    ASSERT_TRUE(owner.PlayUntilResults(1, 60000));
    auto rows = TableList(owner);
    EXPECT_EQ(rows[1].flags & 4, 4) << "table 1 plays with hard bots";
    EXPECT_EQ(rows[2].flags & 4, 0) << "table 2 keeps the server's level";
    EXPECT_TRUE(
        server.Inspect([](KavdorServerCL& s) { return s.GetTable(1)->BotLevel() == KavdorBotLevel::HARD; }));

    // Somebody sitting down at the table later asks for easy bots: the table keeps its own.
    TestTableClient late("late");
    ASSERT_TRUE(LogIn(late, server.port));
    late.Send(NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_SIT).I32(1).I32(-1).U8(1).U8(1));
    ASSERT_TRUE(PumpUntil(
        {&late}, [&] { return Saw(late, NET_CATEGORY_LOBBY, LOBBY_SIT_RESULT); }, 5000, false));
    EXPECT_EQ(TableList(late)[1].flags & 4, 4);
}
