#include "NetServerCL.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
using Bytes = std::vector<uint8_t>;

// Every wait in these tests gives up after this long instead of hanging the suite; nothing here
// should take more than a few milliseconds.
constexpr auto kDeadline = std::chrono::seconds(5);

// A message: category 1, type 2, then the text as payload.
Bytes Msg(const std::string& text)
{
    Bytes bytes(4 + text.size());
    bytes[0] = 1;
    bytes[2] = 2;
    std::copy(text.begin(), text.end(), bytes.begin() + 4);
    return bytes;
}

// A message of exactly `size` bytes whose content shows any byte out of place.
Bytes Patterned(size_t size, uint8_t seed)
{
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
    {
        bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
    }
    return bytes;
}

Bytes Header(uint32_t length)
{
    return {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
            static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 24)};
}

Bytes Frame(const Bytes& message)
{
    Bytes frame = Header(static_cast<uint32_t>(message.size()));
    frame.insert(frame.end(), message.begin(), message.end());
    return frame;
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
    {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// Records what the server reports and checks on the way that nothing is reported for a
// connection after its OnDisconnect. Tests may act from inside OnMessage through `onMessage`.
class Recorder : public NetServerCL::Handler
{
public:
    void OnConnect(int connection) override
    {
        if (disconnects.count(connection) != 0)
        {
            ADD_FAILURE() << "OnConnect for connection " << connection << " after its OnDisconnect";
        }
        connected.push_back(connection);
    }

    void OnMessage(int connection, const uint8_t* message, size_t size) override
    {
        if (disconnects.count(connection) != 0)
        {
            ADD_FAILURE() << "OnMessage for connection " << connection << " after its OnDisconnect";
        }
        Bytes bytes(message, message + size);
        if (onMessage)
        {
            onMessage(connection, bytes);
        }
        // Still readable after the callback closed the connection: the server must not have
        // freed the bytes under it.
        messages[connection].push_back(Bytes(message, message + size));
    }

    void OnDisconnect(int connection, const std::string& reason) override
    {
        disconnects[connection].push_back(reason);
        if (onDisconnect)
        {
            onDisconnect(connection);
        }
    }

    void OnTransportNote(const std::string& line) override { notes.push_back(line); }

    // The reason of a connection's only disconnect; empty while it is connected.
    std::string ReasonOf(int connection) const
    {
        auto it = disconnects.find(connection);
        return it == disconnects.end() || it->second.empty() ? std::string() : it->second.front();
    }

    std::function<void(int, const Bytes&)> onMessage;
    std::function<void(int)> onDisconnect;
    std::vector<int> connected;
    std::map<int, std::vector<Bytes>> messages;
    std::map<int, std::vector<std::string>> disconnects;
    std::vector<std::string> notes;
};

// Polls the server until a condition holds; false when it still does not after kDeadline.
bool PollUntil(NetServerCL& server, const std::function<bool()>& condition)
{
    auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > deadline)
        {
            return false;
        }
        server.Poll(5);
    }
    return true;
}

// A client that keeps the id the server gave it, so that tests with several clients can connect
// them all in one step.
struct Peer : NetClientCL
{
    int id = 0;
};

// The server runs in the test's thread: every wait polls it until a condition holds. Tests of one
// limit derive a fixture that passes limits of their own.
class NetServerTest : public ::testing::Test
{
protected:
    explicit NetServerTest(const NetServerLimits& limits = NetServerLimits()) : server(handler, limits) {}

    void SetUp() override
    {
        ASSERT_TRUE(server.Listen("127.0.0.1", 0)) << server.LastError();
        ASSERT_NE(server.Port(), 0);
    }

    bool PollUntil(const std::function<bool()>& condition) { return ::PollUntil(server, condition); }

    // Connects a client and returns the id the server gave it (0 on failure).
    int Connect(NetClientCL& client)
    {
        size_t before = handler.connected.size();
        if (!client.Connect("127.0.0.1", server.Port()) ||
            !PollUntil([&] { return handler.connected.size() > before; }))
        {
            return 0;
        }
        return handler.connected.back();
    }

    // Connects the peers in turn; each must be given an id.
    void ConnectAll(std::initializer_list<Peer*> peers)
    {
        for (Peer* peer : peers)
        {
            peer->id = Connect(*peer);
            ASSERT_NE(peer->id, 0);
        }
    }

    // Receives one message on the client while the server keeps running.
    bool ReceiveOn(NetClientCL& client, Bytes& message)
    {
        return PollUntil([&] { return client.Receive(message, 0) || !client.IsConnected(); }) &&
               client.IsConnected();
    }

    // Waits until the client sees its connection closed by the server.
    bool ClosedByServer(NetClientCL& client)
    {
        Bytes ignored;
        return PollUntil(
            [&]
            {
                client.Receive(ignored, 0);
                return !client.IsConnected();
            });
    }

    bool Disconnected(int connection)
    {
        return PollUntil([&] { return handler.disconnects.count(connection) != 0; });
    }

    // Keeps the server running for at least this long.
    void PollFor(std::chrono::milliseconds duration)
    {
        auto end = std::chrono::steady_clock::now() + duration;
        while (std::chrono::steady_clock::now() < end)
        {
            server.Poll(5);
        }
    }

    // Proves that a connection still works both ways.
    void ExpectEcho(NetClientCL& client, int connection, const std::string& text)
    {
        size_t before = handler.messages[connection].size();
        ASSERT_TRUE(client.Send(Msg(text)));
        ASSERT_TRUE(PollUntil([&] { return handler.messages[connection].size() > before; }));
        EXPECT_EQ(handler.messages[connection].back(), Msg(text));
        ASSERT_TRUE(server.Send(connection, Msg("re:" + text)));
        Bytes reply;
        ASSERT_TRUE(ReceiveOn(client, reply));
        EXPECT_EQ(reply, Msg("re:" + text));
    }

    Recorder handler;
    NetServerCL server;
};

TEST_F(NetServerTest, MessagesRoundTripBothWays)
{
    Peer a;
    Peer b;
    ASSERT_NO_FATAL_FAILURE(ConnectAll({&a, &b}));
    EXPECT_NE(a.id, b.id);
    EXPECT_EQ(server.ConnectionCount(), 2u);

    ASSERT_TRUE(a.Send(Msg("from a")));
    ASSERT_TRUE(b.Send(Msg("from b")));
    ASSERT_TRUE(
        PollUntil([&] { return !handler.messages[a.id].empty() && !handler.messages[b.id].empty(); }));
    EXPECT_EQ(handler.messages[a.id].size(), 1u);
    EXPECT_EQ(handler.messages[b.id].size(), 1u);
    EXPECT_EQ(handler.messages[a.id][0], Msg("from a"));
    EXPECT_EQ(handler.messages[b.id][0], Msg("from b"));

    ASSERT_TRUE(server.Send(b.id, Msg("to b")));
    ASSERT_TRUE(server.Send(a.id, Msg("to a")));
    Bytes received;
    ASSERT_TRUE(ReceiveOn(a, received));
    EXPECT_EQ(received, Msg("to a"));
    ASSERT_TRUE(ReceiveOn(b, received));
    EXPECT_EQ(received, Msg("to b"));
    EXPECT_TRUE(handler.disconnects.empty());
}

TEST_F(NetServerTest, SeveralFramesInOneWriteArriveAsSeparateMessagesInOrder)
{
    NetClientCL client;
    int id = Connect(client);
    ASSERT_NE(id, 0);
    ASSERT_TRUE(client.SendRaw(Concat({Frame(Msg("one")), Frame(Msg("")), Frame(Msg("three"))})));
    ASSERT_TRUE(PollUntil([&] { return handler.messages[id].size() >= 3; }));
    EXPECT_EQ(handler.messages[id], (std::vector<Bytes>{Msg("one"), Msg(""), Msg("three")}));
}

TEST_F(NetServerTest, FrameSplitIntoSingleBytesArrivesWhole)
{
    NetClientCL client;
    int id = Connect(client);
    ASSERT_NE(id, 0);
    Bytes frame = Frame(Msg("split into single bytes"));
    for (size_t i = 0; i < frame.size(); ++i)
    {
        ASSERT_TRUE(client.SendRaw({frame[i]}));
        server.Poll(0);
        if (i + 1 < frame.size())
        {
            ASSERT_TRUE(handler.messages[id].empty()) << "dispatched after " << i + 1 << " bytes";
        }
    }
    ASSERT_TRUE(PollUntil([&] { return !handler.messages[id].empty(); }));
    EXPECT_EQ(handler.messages[id], std::vector<Bytes>{Msg("split into single bytes")});
}

TEST_F(NetServerTest, LargestMessagesPassBothWays)
{
    NetClientCL client;
    int id = Connect(client);
    ASSERT_NE(id, 0);

    // The client's write blocks until the server has read enough, so it runs beside the polls.
    Bytes big = Patterned(NetServerCL::kMaxMessage, 3);
    bool sent = false;
    std::thread writer([&] { sent = client.Send(big); });
    bool arrived = PollUntil([&] { return !handler.messages[id].empty(); });
    writer.join();
    ASSERT_TRUE(sent);
    ASSERT_TRUE(arrived);
    EXPECT_EQ(handler.messages[id][0], big);

    constexpr int kCount = 4;
    for (int i = 0; i < kCount; ++i)
    {
        ASSERT_TRUE(server.Send(id, Patterned(NetServerCL::kMaxMessage, static_cast<uint8_t>(i))));
    }
    for (int i = 0; i < kCount; ++i)
    {
        Bytes received;
        ASSERT_TRUE(ReceiveOn(client, received)) << "message " << i;
        ASSERT_EQ(received, Patterned(NetServerCL::kMaxMessage, static_cast<uint8_t>(i))) << "message " << i;
    }
    EXPECT_TRUE(handler.disconnects.empty());
}

// A client socket with a tiny receive buffer: what the server sends beyond a few kilobytes has
// to wait in the server's own queue until this side reads.
class SmallWindowClient
{
public:
    explicit SmallWindowClient(uint16_t port)
    {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int size = 4096;
        setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof(size));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        m_connected = connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }

    ~SmallWindowClient() { close(m_fd); }

    bool Connected() const { return m_connected; }

    // Takes whatever has arrived without waiting.
    void ReadAvailable(Bytes& into)
    {
        uint8_t chunk[4096];
        ssize_t n;
        while ((n = recv(m_fd, chunk, sizeof(chunk), MSG_DONTWAIT)) > 0)
        {
            into.insert(into.end(), chunk, chunk + n);
        }
    }

private:
    int m_fd = -1;
    bool m_connected = false;
};

// Room for a few megabytes of output per connection.
class NetServerDeepQueueTest : public NetServerTest
{
protected:
    static NetServerLimits Limits()
    {
        NetServerLimits limits;
        limits.maxPendingOutput = 4 * 1024 * 1024;
        return limits;
    }
    NetServerDeepQueueTest() : NetServerTest(Limits()) {}
};

TEST_F(NetServerDeepQueueTest, OutputBeyondTheSocketBuffersIsWrittenAsThePeerReadsThenFreed)
{
    SmallWindowClient client(server.Port());
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(PollUntil([&] { return handler.connected.size() == 1; }));
    int id = handler.connected.back();

    // Three megabytes at least: far beyond what the small window lets through, below the
    // server's limit. Sending goes on until the server itself queues a megabyte, however much
    // the kernel's buffers take.
    constexpr int kCount = 48;
    constexpr size_t kQueued = 1024 * 1024;
    Bytes expected;
    for (int i = 0; i < kCount || (server.PendingOutput() < kQueued && i < 200); ++i)
    {
        Bytes message = Patterned(NetServerCL::kMaxMessage - static_cast<size_t>(i), static_cast<uint8_t>(i));
        ASSERT_TRUE(server.Send(id, message)) << "message " << i;
        Bytes frame = Frame(message);
        expected.insert(expected.end(), frame.begin(), frame.end());
    }
    ASSERT_GE(server.PendingOutput(), kQueued);
    Bytes received;
    ASSERT_TRUE(PollUntil(
        [&]
        {
            client.ReadAvailable(received);
            return received.size() >= expected.size();
        }))
        << "received " << received.size() << " of " << expected.size() << " bytes";
    EXPECT_TRUE(received == expected);
    EXPECT_TRUE(handler.disconnects.empty());
    // All written: the megabytes the queue grew to are given back, not kept for an idle peer.
    EXPECT_EQ(server.PendingOutput(), 0u);
    EXPECT_LE(server.BufferCapacity(), 128u * 1024u);
}

TEST_F(NetServerTest, SendRefusesMessagesOutsideTheFrameLimits)
{
    NetClientCL client;
    int id = Connect(client);
    ASSERT_NE(id, 0);
    EXPECT_FALSE(server.Send(id, Bytes(NetServerCL::kMaxMessage + 1, 0)));
    EXPECT_FALSE(server.Send(id, Bytes{1, 2, 3}));
    EXPECT_FALSE(server.Send(id, Bytes{}));
    EXPECT_FALSE(client.Send(Bytes(NetServerCL::kMaxMessage + 1, 0)));
    EXPECT_FALSE(client.Send(Bytes{1, 2}));
    // Nothing of the refused messages went out: the next ones are read cleanly on both sides.
    ExpectEcho(client, id, "after refusals");
    EXPECT_TRUE(handler.disconnects.empty());
}

struct BadFrame
{
    const char* name;
    Bytes bytes;
    const char* reason;
};

class NetServerBadFrameTest : public NetServerTest, public ::testing::WithParamInterface<BadFrame>
{
};

TEST_P(NetServerBadFrameTest, ClosesOnlyTheOffendingConnection)
{
    Peer bad;
    Peer good;
    ASSERT_NO_FATAL_FAILURE(ConnectAll({&bad, &good}));

    // A good message in front of the bad frame is still delivered.
    ASSERT_TRUE(bad.SendRaw(Concat({Frame(Msg("before")), GetParam().bytes})));
    ASSERT_TRUE(Disconnected(bad.id));
    EXPECT_EQ(handler.disconnects[bad.id], std::vector<std::string>{GetParam().reason});
    EXPECT_EQ(handler.messages[bad.id], std::vector<Bytes>{Msg("before")});
    EXPECT_TRUE(ClosedByServer(bad));
    EXPECT_EQ(server.ConnectionCount(), 1u);
    ExpectEcho(good, good.id, "still here");
    EXPECT_EQ(handler.disconnects.count(good.id), 0u);
}

// Overlong lengths come without their body: the server must act on the length alone.
INSTANTIATE_TEST_SUITE_P(
    Frames, NetServerBadFrameTest,
    ::testing::Values(BadFrame{"LengthZero", Header(0), "frame too short"},
                      BadFrame{"LengthThree", Concat({Header(3), Bytes{1, 2, 3}}), "frame too short"},
                      BadFrame{"OneOverTheLimit", Header(NetServerCL::kMaxMessage + 1), "frame too long"},
                      BadFrame{"HugeLength", Header(0xFFFFFFFFu), "frame too long"}),
    [](const ::testing::TestParamInfo<BadFrame>& info) { return std::string(info.param.name); });

TEST_F(NetServerTest, OverlongFrameWithItsWholeBodyClosesWithFrameTooLong)
{
    Peer bad;
    Peer good;
    ASSERT_NO_FATAL_FAILURE(ConnectAll({&bad, &good}));

    // The write may fail once the server has closed; only the server's verdict matters.
    Bytes frame = Concat({Header(NetServerCL::kMaxMessage + 1), Bytes(NetServerCL::kMaxMessage + 1, 9)});
    std::thread writer([&] { bad.SendRaw(frame); });
    bool closed = Disconnected(bad.id);
    writer.join();
    ASSERT_TRUE(closed);
    EXPECT_EQ(handler.disconnects[bad.id], std::vector<std::string>{"frame too long"});
    EXPECT_TRUE(handler.messages[bad.id].empty());
    ExpectEcho(good, good.id, "unaffected");
}

TEST_F(NetServerTest, PeerCloseDeliversWhatWasSentThenOneDisconnect)
{
    NetClientCL client;
    int id = Connect(client);
    ASSERT_NE(id, 0);
    bool sendInsideDisconnect = true;
    size_t countInsideDisconnect = 99;
    handler.onDisconnect = [&](int connection)
    {
        // The connection is already gone for the handler: these must be ignored.
        sendInsideDisconnect = server.Send(connection, Msg("too late"));
        server.Close(connection, "again");
        countInsideDisconnect = server.ConnectionCount();
    };
    ASSERT_TRUE(client.Send(Msg("last words")));
    client.Close();
    ASSERT_TRUE(Disconnected(id));
    EXPECT_FALSE(sendInsideDisconnect);
    EXPECT_EQ(countInsideDisconnect, 0u);
    for (int i = 0; i < 10; ++i)
    {
        server.Poll(1);
    }
    EXPECT_EQ(handler.messages[id], std::vector<Bytes>{Msg("last words")});
    EXPECT_EQ(handler.disconnects[id], std::vector<std::string>{"closed by peer"});
    EXPECT_EQ(server.ConnectionCount(), 0u);

    // The connection is gone: later calls for it do nothing.
    EXPECT_FALSE(server.Send(id, Msg("late")));
    server.Close(id, "again");
    EXPECT_EQ(handler.disconnects[id].size(), 1u);
}

TEST_F(NetServerTest, CloseFromInsideOnMessageStopsThatConnectionAfterFlushing)
{
    Peer client;
    Peer other;
    ASSERT_NO_FATAL_FAILURE(ConnectAll({&client, &other}));
    handler.onMessage = [&](int connection, const Bytes& message)
    {
        if (message == Msg("quit"))
        {
            server.Send(connection, Msg("bye"));
            server.Close(connection, "asked to leave");
            // Anything further for it from inside the same callback is ignored.
            EXPECT_FALSE(server.Send(connection, Msg("too late")));
            server.Close(connection, "twice");
        }
    };

    // The frames after "quit" arrive in the same read and must not be dispatched.
    ASSERT_TRUE(client.SendRaw(
        Concat({Frame(Msg("hi")), Frame(Msg("quit")), Frame(Msg("after 1")), Frame(Msg("after 2"))})));
    ASSERT_TRUE(Disconnected(client.id));
    EXPECT_EQ(handler.messages[client.id], (std::vector<Bytes>{Msg("hi"), Msg("quit")}));
    EXPECT_EQ(handler.disconnects[client.id], std::vector<std::string>{"asked to leave"});

    Bytes received;
    ASSERT_TRUE(ReceiveOn(client, received));
    EXPECT_EQ(received, Msg("bye"));
    EXPECT_TRUE(ClosedByServer(client));
    ExpectEcho(other, other.id, "unaffected");
}

TEST_F(NetServerTest, CloseOfAnotherConnectionFromInsideOnMessageDropsItsPendingMessages)
{
    Peer kicker;
    Peer victim;
    ASSERT_NO_FATAL_FAILURE(ConnectAll({&kicker, &victim}));
    handler.onMessage = [&](int connection, const Bytes& message)
    {
        if (connection == kicker.id && message == Msg("kick"))
        {
            server.Close(victim.id, "kicked");
        }
    };
    // Both writes are usually handled in one poll, the victim's after the kicker's; the
    // recorder fails the test if any of the victim's messages is dispatched after its close.
    ASSERT_TRUE(victim.SendRaw(Concat({Frame(Msg("v1")), Frame(Msg("v2"))})));
    ASSERT_TRUE(kicker.Send(Msg("kick")));
    ASSERT_TRUE(Disconnected(victim.id));
    EXPECT_EQ(handler.disconnects[victim.id], std::vector<std::string>{"kicked"});
    EXPECT_TRUE(ClosedByServer(victim));
    ExpectEcho(kicker, kicker.id, "kicker goes on");
}

TEST_F(NetServerTest, StopFromInsideOnMessageDisconnectsEveryoneOnce)
{
    Peer a;
    Peer b;
    ASSERT_NO_FATAL_FAILURE(ConnectAll({&a, &b}));
    handler.onMessage = [&](int, const Bytes& message)
    {
        if (message == Msg("stop"))
        {
            server.Stop();
        }
    };
    ASSERT_TRUE(b.SendRaw(Concat({Frame(Msg("stop")), Frame(Msg("ignored"))})));
    ASSERT_TRUE(PollUntil([&] { return handler.disconnects.size() == 2; }));
    EXPECT_EQ(handler.disconnects[a.id], std::vector<std::string>{"server stopped"});
    EXPECT_EQ(handler.disconnects[b.id], std::vector<std::string>{"server stopped"});
    EXPECT_EQ(handler.messages[b.id], std::vector<Bytes>{Msg("stop")});
    EXPECT_EQ(server.ConnectionCount(), 0u);
    EXPECT_TRUE(ClosedByServer(a));
    EXPECT_TRUE(ClosedByServer(b));
}

TEST_F(NetServerTest, StopDisconnectsEveryoneAndStopsListening)
{
    NetClientCL clients[3];
    std::vector<int> ids;
    for (NetClientCL& client : clients)
    {
        ids.push_back(Connect(client));
        ASSERT_NE(ids.back(), 0);
    }
    ASSERT_TRUE(server.Send(ids[1], Msg("farewell")));
    server.Stop();
    EXPECT_EQ(server.ConnectionCount(), 0u);
    ASSERT_EQ(handler.disconnects.size(), 3u);
    for (int id : ids)
    {
        EXPECT_EQ(handler.disconnects[id], std::vector<std::string>{"server stopped"});
    }
    Bytes received;
    ASSERT_TRUE(clients[1].Receive(received, 5000));
    EXPECT_EQ(received, Msg("farewell"));
    for (NetClientCL& client : clients)
    {
        EXPECT_TRUE(ClosedByServer(client));
    }
    NetClientCL late;
    EXPECT_FALSE(late.Connect("127.0.0.1", server.Port()));
    server.Stop();
    EXPECT_EQ(handler.disconnects.size(), 3u);
}

TEST_F(NetServerTest, SendAndCloseForUnknownConnectionsAreIgnored)
{
    NetClientCL client;
    int id = Connect(client);
    ASSERT_NE(id, 0);
    for (int unknown : {0, -1, id + 1000})
    {
        EXPECT_FALSE(server.Send(unknown, Msg("nobody")));
        server.Close(unknown, "nobody");
    }
    EXPECT_TRUE(handler.disconnects.empty());
    EXPECT_EQ(server.ConnectionCount(), 1u);
    ExpectEcho(client, id, "still served");
}

TEST_F(NetServerTest, PeerThatDoesNotReadIsClosedAsTooSlow)
{
    NetClientCL client;
    int id = Connect(client);
    ASSERT_NE(id, 0);
    // The kernel's buffers take a few megabytes; past them and the server's own limit, Send
    // gives up on the connection.
    size_t sent = 0;
    for (int i = 0; i < 1000 && server.Send(id, Patterned(NetServerCL::kMaxMessage, 0)); ++i)
    {
        sent += NetServerCL::kMaxMessage;
    }
    EXPECT_GT(sent, NetServerLimits().maxPendingOutput);
    EXPECT_EQ(handler.disconnects[id], std::vector<std::string>{"too slow"});
    EXPECT_EQ(server.ConnectionCount(), 0u);
}

// At most two connections at once.
class NetServerCapTest : public NetServerTest
{
protected:
    static NetServerLimits Limits()
    {
        NetServerLimits limits;
        limits.maxConnections = 2;
        return limits;
    }
    NetServerCapTest() : NetServerTest(Limits()) {}

    // How many refused peers the notes have reported so far.
    size_t RefusedReported() const
    {
        size_t total = 0;
        for (const std::string& note : handler.notes)
        {
            size_t count = 0;
            if (std::sscanf(note.c_str(), "refused %zu", &count) == 1)
            {
                total += count;
            }
        }
        return total;
    }
};

TEST_F(NetServerCapTest, PeersBeyondTheCapAreClosedAtOnceAndReportedTogether)
{
    Peer a;
    Peer b;
    ASSERT_NO_FATAL_FAILURE(ConnectAll({&a, &b}));

    constexpr size_t kExtra = 20;
    NetClientCL extra[kExtra];
    for (NetClientCL& client : extra)
    {
        // The kernel completes the connection; the server closes it as soon as it accepts it.
        ASSERT_TRUE(client.Connect("127.0.0.1", server.Port()));
    }
    for (NetClientCL& client : extra)
    {
        EXPECT_TRUE(ClosedByServer(client));
    }
    EXPECT_EQ(handler.connected, (std::vector<int>{a.id, b.id}));
    EXPECT_TRUE(handler.disconnects.empty());
    ASSERT_FALSE(handler.notes.empty());
    EXPECT_EQ(handler.notes.front().rfind("refused 1 connection", 0), 0u) << handler.notes.front();

    // The rest are reported with their count within about a second, not one line each.
    ASSERT_TRUE(PollUntil([&] { return RefusedReported() >= kExtra; })) << RefusedReported();
    EXPECT_EQ(RefusedReported(), kExtra);
    EXPECT_LE(handler.notes.size(), 3u);

    // The cap counts the connections open now: once one leaves, a newcomer is served.
    a.Close();
    ASSERT_TRUE(Disconnected(a.id));
    Peer c;
    ASSERT_NO_FATAL_FAILURE(ConnectAll({&c}));
    ExpectEcho(c, c.id, "served after a leave");
    ExpectEcho(b, b.id, "never disturbed");
}

// Runs `body` in a child process and returns its exit code, or -1 when the child did not exit by
// itself (a crash, or the alarm that keeps a hung child from hanging the suite).
int ExitCodeOfChild(const std::function<int()>& body)
{
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = fork();
    if (pid < 0)
    {
        return -2;
    }
    if (pid == 0)
    {
        alarm(30);
        _exit(body());
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR)
    {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The highest descriptor the program has open below `limit`. A tool running the tests (a memory
// checker) may keep descriptors of its own above the limit it reports; those do not count.
int HighestOpenDescriptor(rlim_t limit)
{
    int highest = -1;
    if (DIR* dir = opendir("/proc/self/fd"))
    {
        while (dirent* entry = readdir(dir))
        {
            int fd = std::atoi(entry->d_name);
            if (static_cast<rlim_t>(fd) < limit)
            {
                highest = std::max(highest, fd);
            }
        }
        closedir(dir);
    }
    return highest;
}

// What the child found wrong, by its exit code.
enum DescriptorsStep
{
    kDescriptorsPassed = 0,
    kDescriptorsSetUpFailed,
    kDescriptorsPollSpins,
    kDescriptorsNotReportedOnce,
    kDescriptorsExistingNotServed,
    kDescriptorsAcceptedWithoutDescriptors,
    kDescriptorsWaitingNotAccepted,
};

int ServeWithoutDescriptors()
{
    Recorder handler;
    NetServerLimits limits;
    limits.acceptBackoffMs = 50;
    NetServerCL server(handler, limits);
    if (!server.Listen("127.0.0.1", 0))
    {
        return kDescriptorsSetUpFailed;
    }
    auto pollUntil = [&](const std::function<bool()>& condition) { return PollUntil(server, condition); };
    NetClientCL existing;
    if (!existing.Connect("127.0.0.1", server.Port()) ||
        !pollUntil([&] { return handler.connected.size() == 1; }))
    {
        return kDescriptorsSetUpFailed;
    }
    int existingId = handler.connected.front();

    // The peers that will wait need their sockets before the descriptors run out.
    int waiting[2];
    for (int& fd : waiting)
    {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
        {
            return kDescriptorsSetUpFailed;
        }
    }
    // Below the new limit every descriptor is taken, the last ones by fillers that can be freed.
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
    {
        return kDescriptorsSetUpFailed;
    }
    limit.rlim_cur = static_cast<rlim_t>(HighestOpenDescriptor(limit.rlim_cur) + 1 + 4);
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
    {
        return kDescriptorsSetUpFailed;
    }
    std::vector<int> fillers;
    for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
    {
        fillers.push_back(fd);
    }
    if (errno != EMFILE || fillers.size() < 4)
    {
        return kDescriptorsSetUpFailed;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(server.Port());
    for (int fd : waiting)
    {
        // Completed by the kernel into the backlog; the server cannot take them yet.
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0)
        {
            return kDescriptorsSetUpFailed;
        }
    }

    // Spinning on the listening socket would return thousands of times; backing off returns at
    // each timeout or retry, a handful of times. This counts calls, it does not time them.
    int polls = 0;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
    while (std::chrono::steady_clock::now() < end)
    {
        server.Poll(100);
        ++polls;
    }
    if (polls > 40)
    {
        return kDescriptorsPollSpins;
    }
    if (handler.connected.size() != 1)
    {
        return kDescriptorsAcceptedWithoutDescriptors;
    }
    // Retried several times in that while, reported once.
    if (handler.notes.size() != 1 || handler.notes[0].find("accept") == std::string::npos)
    {
        return kDescriptorsNotReportedOnce;
    }

    Bytes reply;
    if (!existing.Send(Msg("still served?")) ||
        !pollUntil([&] { return handler.messages[existingId].size() == 1; }) ||
        !server.Send(existingId, Msg("yes")) ||
        !pollUntil([&] { return existing.Receive(reply, 0) || !existing.IsConnected(); }) ||
        reply != Msg("yes"))
    {
        return kDescriptorsExistingNotServed;
    }

    for (int fd : fillers)
    {
        close(fd);
    }
    if (!pollUntil([&] { return handler.connected.size() == 3; }))
    {
        return kDescriptorsWaitingNotAccepted;
    }
    return handler.notes.size() == 1 ? kDescriptorsPassed : kDescriptorsNotReportedOnce;
}

TEST(NetServerDescriptors, OutOfDescriptorsAcceptingBacksOffAndResumes)
{
    // Valgrind only emulates the descriptor limit: it takes the peer from the kernel and closes
    // it, where the kernel would leave it waiting in the backlog, so the test means nothing there.
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload != nullptr && std::strstr(preload, "vgpreload") != nullptr)
    {
        GTEST_SKIP() << "the descriptor limit is emulated under valgrind";
    }
    // The descriptor limit is lowered in a child, so that this process keeps its own.
    const char* steps[] = {"passed",
                           "setting up the child failed",
                           "Poll returned over and over while accept failed",
                           "the failing accepts were not reported exactly once",
                           "the connection already open was not served",
                           "a peer was accepted without a free descriptor",
                           "the waiting peers were not accepted once descriptors were free"};
    int code = ExitCodeOfChild(ServeWithoutDescriptors);
    ASSERT_GE(code, 0) << "the child did not finish";
    ASSERT_LT(code, static_cast<int>(std::size(steps)));
    EXPECT_EQ(code, kDescriptorsPassed) << steps[code];
}

// Little room for output: 1 MiB per connection, 192 KiB together.
class NetServerOutputCapTest : public NetServerTest
{
protected:
    static constexpr size_t kTotal = 192 * 1024;
    static constexpr size_t kChunk = 16 * 1024;

    static NetServerLimits Limits()
    {
        NetServerLimits limits;
        limits.maxPendingOutput = 1024 * 1024;
        limits.maxTotalPendingOutput = kTotal;
        return limits;
    }
    NetServerOutputCapTest() : NetServerTest(Limits()) {}

    // The ids of small-window clients, connected already, in the order they connected (the
    // server accepts them in that order).
    std::vector<int> Accept(std::initializer_list<const SmallWindowClient*> clients)
    {
        size_t before = handler.connected.size();
        for (const SmallWindowClient* client : clients)
        {
            if (!client->Connected())
            {
                return {};
            }
        }
        if (!PollUntil([&] { return handler.connected.size() >= before + clients.size(); }))
        {
            return {};
        }
        return std::vector<int>(handler.connected.begin() + static_cast<std::ptrdiff_t>(before),
                                handler.connected.end());
    }

    bool Open(int connection) const { return handler.disconnects.count(connection) == 0; }
};

TEST_F(NetServerOutputCapTest, PeersThatDoNotReadAreClosedWhileAReaderGetsEverything)
{
    SmallWindowClient slow1(server.Port());
    SmallWindowClient slow2(server.Port());
    std::vector<int> slowIds = Accept({&slow1, &slow2});
    ASSERT_EQ(slowIds.size(), 2u);
    NetClientCL reader;
    int readerId = Connect(reader);
    ASSERT_NE(readerId, 0);

    std::vector<Bytes> sentToReader;
    std::vector<Bytes> readerGot;
    Bytes message;
    for (int round = 0; round < 400 && (Open(slowIds[0]) || Open(slowIds[1])); ++round)
    {
        Bytes chunk = Patterned(kChunk, static_cast<uint8_t>(round));
        for (int id : slowIds)
        {
            if (Open(id))
            {
                server.Send(id, chunk);
                ASSERT_LE(server.PendingOutput(), kTotal) << "round " << round;
            }
        }
        ASSERT_TRUE(server.Send(readerId, chunk)) << "round " << round;
        ASSERT_LE(server.PendingOutput(), kTotal) << "round " << round;
        sentToReader.push_back(chunk);
        server.Poll(0);
        while (reader.Receive(message, 0))
        {
            readerGot.push_back(message);
        }
    }
    EXPECT_EQ(handler.disconnects[slowIds[0]], std::vector<std::string>{"too slow"});
    EXPECT_EQ(handler.disconnects[slowIds[1]], std::vector<std::string>{"too slow"});
    ASSERT_TRUE(Open(readerId));
    ASSERT_TRUE(PollUntil(
        [&]
        {
            while (reader.Receive(message, 0))
            {
                readerGot.push_back(message);
            }
            return readerGot.size() >= sentToReader.size() || !reader.IsConnected();
        }));
    EXPECT_TRUE(readerGot == sentToReader)
        << readerGot.size() << " of " << sentToReader.size() << " messages";
    EXPECT_EQ(server.PendingOutput(), 0u);
}

TEST_F(NetServerOutputCapTest, TotalCapClosesTheLargestQueueNotTheOneSentTo)
{
    SmallWindowClient hog(server.Port());
    SmallWindowClient other(server.Port());
    std::vector<int> ids = Accept({&hog, &other});
    ASSERT_EQ(ids.size(), 2u);
    int hogId = ids[0];
    int otherId = ids[1];

    // The hog holds three quarters of the total; whatever queue the other builds until the
    // total is crossed stays smaller than that.
    for (int i = 0; i < 200 && server.PendingOutput() < kTotal * 3 / 4; ++i)
    {
        ASSERT_TRUE(server.Send(hogId, Patterned(kChunk, 1)));
    }
    ASSERT_GE(server.PendingOutput(), kTotal * 3 / 4);

    Bytes expected;
    for (int i = 0; i < 200 && Open(hogId); ++i)
    {
        Bytes chunk = Patterned(kChunk, static_cast<uint8_t>(i));
        ASSERT_TRUE(server.Send(otherId, chunk)) << "send " << i;
        ASSERT_LE(server.PendingOutput(), kTotal);
        Bytes frame = Frame(chunk);
        expected.insert(expected.end(), frame.begin(), frame.end());
    }
    EXPECT_EQ(handler.disconnects[hogId], std::vector<std::string>{"too slow"});
    ASSERT_TRUE(Open(otherId));
    Bytes received;
    ASSERT_TRUE(PollUntil(
        [&]
        {
            other.ReadAvailable(received);
            return received.size() >= expected.size();
        }));
    EXPECT_TRUE(received == expected);
}

// 100 messages a second, 10 at once.
class NetServerRateTest : public NetServerTest
{
protected:
    static constexpr size_t kBurst = 10;

    static NetServerLimits Limits()
    {
        NetServerLimits limits;
        limits.messagesPerSecond = 100;
        limits.messageBurst = kBurst;
        return limits;
    }
    NetServerRateTest() : NetServerTest(Limits()) {}
};

TEST_F(NetServerRateTest, FloodIsCutOffAtTheBurstWhileASteadySenderStays)
{
    Peer flooder;
    Peer steady;
    ASSERT_NO_FATAL_FAILURE(ConnectAll({&flooder, &steady}));

    std::vector<Bytes> flood;
    Bytes frames;
    for (int i = 0; i < 30; ++i)
    {
        flood.push_back(Msg("flood " + std::to_string(i)));
        Bytes frame = Frame(flood.back());
        frames.insert(frames.end(), frame.begin(), frame.end());
    }
    ASSERT_TRUE(flooder.SendRaw(frames));

    // Each message goes at least 20 ms after the one before was handled: two tokens' worth at
    // 100 a second, however slowly the test runs. More messages than the burst, so that only
    // the refill lets them all through.
    constexpr size_t kSteady = 25;
    for (size_t i = 0; i < kSteady; ++i)
    {
        ASSERT_TRUE(steady.Send(Msg("steady " + std::to_string(i))));
        ASSERT_TRUE(
            PollUntil([&] { return handler.messages[steady.id].size() == i + 1 || !steady.IsConnected(); }))
            << "message " << i;
        PollFor(std::chrono::milliseconds(20));
    }

    ASSERT_TRUE(Disconnected(flooder.id));
    EXPECT_EQ(handler.disconnects[flooder.id], std::vector<std::string>{"too many messages"});
    // The burst was dispatched in order and nothing of the flood beyond it (a slow machine may
    // have refilled a token or two between reads).
    const std::vector<Bytes>& got = handler.messages[flooder.id];
    EXPECT_GE(got.size(), kBurst);
    EXPECT_LE(got.size(), kBurst + 2);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), flood.begin()));
    EXPECT_TRUE(ClosedByServer(flooder));

    EXPECT_EQ(handler.messages[steady.id].size(), kSteady);
    EXPECT_EQ(handler.disconnects.count(steady.id), 0u);
    ExpectEcho(steady, steady.id, "still welcome");
}

TEST_F(NetServerTest, WakeEndsAWaitingPollFromAnotherThread)
{
    using namespace std::chrono;
    // A liveness check with a generous bound: without the wake the poll would take 5 s.
    std::thread waker(
        [&]
        {
            std::this_thread::sleep_for(milliseconds(50));
            server.Wake();
        });
    auto start = steady_clock::now();
    server.Poll(5000);
    auto waited = steady_clock::now() - start;
    waker.join();
    EXPECT_LT(waited, milliseconds(2000));

    // Wakes before a poll end that one poll; it drains them, so the next one waits again.
    server.Wake();
    server.Wake();
    start = steady_clock::now();
    server.Poll(5000);
    EXPECT_LT(steady_clock::now() - start, milliseconds(2000));
    start = steady_clock::now();
    server.Poll(100);
    EXPECT_GE(steady_clock::now() - start, milliseconds(90));
}

TEST(NetServerListen, RefusesLimitsThatCannotWork)
{
    struct Case
    {
        const char* name;
        std::function<void(NetServerLimits&)> spoil;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"maxConnections", [](NetServerLimits& l) { l.maxConnections = 0; }},
        {"maxPendingOutput", [](NetServerLimits& l) { l.maxPendingOutput = 0; }},
        {"maxTotalPendingOutput", [](NetServerLimits& l) { l.maxTotalPendingOutput = 0; }},
        {"messagesPerSecond", [](NetServerLimits& l) { l.messagesPerSecond = 0; }},
        {"messagesPerSecond", [](NetServerLimits& l) { l.messagesPerSecond = -5; }},
        {"messagesPerSecond", [&](NetServerLimits& l) { l.messagesPerSecond = nan; }},
        {"messagesPerSecond", [&](NetServerLimits& l) { l.messagesPerSecond = infinity; }},
        {"messageBurst", [](NetServerLimits& l) { l.messageBurst = 0.5; }},
        {"messageBurst", [&](NetServerLimits& l) { l.messageBurst = nan; }},
        {"acceptBackoffMs", [](NetServerLimits& l) { l.acceptBackoffMs = 0; }},
        {"acceptBackoffMs", [](NetServerLimits& l) { l.acceptBackoffMs = -200; }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        NetServerLimits limits;
        c.spoil(limits);
        Recorder handler;
        NetServerCL server(handler, limits);
        EXPECT_FALSE(server.Listen("127.0.0.1", 0));
        EXPECT_NE(server.LastError().find(c.name), std::string::npos) << server.LastError();
        EXPECT_EQ(server.Port(), 0);
    }
}

TEST(NetServerListen, ReportsFailuresWithAReason)
{
    Recorder handler;
    NetServerCL first(handler);
    ASSERT_TRUE(first.Listen("127.0.0.1", 0)) << first.LastError();
    EXPECT_FALSE(first.Listen("127.0.0.1", 0));
    EXPECT_FALSE(first.LastError().empty());

    NetServerCL second(handler);
    EXPECT_FALSE(second.Listen("127.0.0.1", first.Port()));
    EXPECT_FALSE(second.LastError().empty());
    EXPECT_FALSE(second.Listen("300.1.2.3", 0));
    EXPECT_FALSE(second.LastError().empty());
    EXPECT_TRUE(second.Listen("0.0.0.0", 0)) << second.LastError();
    EXPECT_NE(second.Port(), 0);
}

TEST(NetServerListen, ServesIpv6Loopback)
{
    Recorder handler;
    NetServerCL server(handler);
    if (!server.Listen("::1", 0))
    {
        GTEST_SKIP() << "no IPv6 loopback here: " << server.LastError();
    }
    NetClientCL client;
    ASSERT_TRUE(client.Connect("::1", server.Port()));
    ASSERT_TRUE(client.Send(Msg("over v6")));
    auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (handler.messages.empty() && std::chrono::steady_clock::now() < deadline)
    {
        server.Poll(5);
    }
    ASSERT_EQ(handler.messages.size(), 1u);
    EXPECT_EQ(handler.messages.begin()->second, std::vector<Bytes>{Msg("over v6")});
}

// A plain socket peer, so that the client can be fed bytes the server would never send.
class RawPeer
{
public:
    RawPeer()
    {
        m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof(address);
        if (bind(m_listen, reinterpret_cast<sockaddr*>(&address), size) == 0 && listen(m_listen, 1) == 0 &&
            getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        {
            m_port = ntohs(address.sin_port);
        }
    }

    ~RawPeer()
    {
        if (m_peer >= 0)
        {
            close(m_peer);
        }
        close(m_listen);
    }

    uint16_t Port() const { return m_port; }

    bool Accept()
    {
        m_peer = accept(m_listen, nullptr, nullptr);
        return m_peer >= 0;
    }

    bool Write(const Bytes& bytes)
    {
        return send(m_peer, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }

private:
    int m_listen = -1;
    int m_peer = -1;
    uint16_t m_port = 0;
};

class NetClientTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(peer.Port(), 0);
        ASSERT_TRUE(client.Connect("127.0.0.1", peer.Port()));
        ASSERT_TRUE(peer.Accept());
    }

    RawPeer peer;
    NetClientCL client;
};

TEST_F(NetClientTest, ReceiveTimeoutKeepsPartialFrameForTheNextCall)
{
    Bytes message;
    EXPECT_FALSE(client.Receive(message, 50));
    EXPECT_TRUE(client.IsConnected());

    Bytes first = Frame(Msg("first"));
    Bytes half(first.begin(), first.begin() + 6);
    ASSERT_TRUE(peer.Write(half));
    EXPECT_FALSE(client.Receive(message, 50));
    EXPECT_FALSE(client.Receive(message, 0));
    EXPECT_TRUE(client.IsConnected());

    ASSERT_TRUE(peer.Write(Concat({Bytes(first.begin() + 6, first.end()), Frame(Msg("second"))})));
    ASSERT_TRUE(client.Receive(message, 5000));
    EXPECT_EQ(message, Msg("first"));
    ASSERT_TRUE(client.Receive(message, 5000));
    EXPECT_EQ(message, Msg("second"));
    EXPECT_FALSE(client.Receive(message, 0));
    EXPECT_TRUE(client.IsConnected());
}

TEST_F(NetClientTest, BadFrameLengthFromTheServerClosesTheClient)
{
    for (uint32_t length : {0u, 3u, static_cast<uint32_t>(NetServerCL::kMaxMessage + 1)})
    {
        SCOPED_TRACE(length);
        RawPeer server;
        NetClientCL victim;
        ASSERT_TRUE(victim.Connect("127.0.0.1", server.Port()));
        ASSERT_TRUE(server.Accept());
        ASSERT_TRUE(server.Write(Concat({Frame(Msg("ok")), Header(length), Bytes(8, 0)})));
        Bytes message;
        ASSERT_TRUE(victim.Receive(message, 5000));
        EXPECT_EQ(message, Msg("ok"));
        EXPECT_FALSE(victim.Receive(message, 5000));
        EXPECT_FALSE(victim.IsConnected());
        EXPECT_FALSE(victim.Send(Msg("after")));
    }
}

TEST(NetClient, FailsCleanlyWithoutAServer)
{
    uint16_t port = 0;
    {
        RawPeer closedSoon;
        port = closedSoon.Port();
    }
    ASSERT_NE(port, 0);
    NetClientCL client;
    EXPECT_FALSE(client.Connect("127.0.0.1", port));
    EXPECT_FALSE(client.IsConnected());
    Bytes message;
    EXPECT_FALSE(client.Receive(message, 0));
    EXPECT_FALSE(client.Send(Msg("nobody")));
    EXPECT_FALSE(client.SendRaw({1, 2, 3}));
}
} // namespace
