// load_test: many players at several kavdor-server processes sharing one PostgreSQL database, all
// over loopback TCP and driven from one thread. It measures the hands finished per second and the
// time from a play request to its broadcast, then checks that every player's stored score and
// games agree with the results he was sent. Run by hand: scripts/with-postgres build/bench/load_test

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <spawn.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "CardCode.h"
#include "KavdorBotCL.h"
#include "NetMsgReaderCL.h"
#include "NetMsgWriterCL.h"

extern char** environ;

namespace
{
using Clock = std::chrono::steady_clock;

int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

constexpr int64_t kSecond = 1000000000;

double Seconds(int64_t ns)
{
    return static_cast<double>(ns) / kSecond;
}
// How long the hands under way may take to finish once no new ones are asked for.
constexpr int64_t kDrainLimit = 30 * kSecond;
// Logging in hashes every password on the server's records thread, one after another.
constexpr int64_t kSetupLimit = 300 * kSecond;
constexpr int kMaxTablesPerServer = 255; // what kavdor-server --tables accepts
constexpr size_t kMaxFrame = 65536;
// The server closes a connection that sends more than 100 messages a second. With bots that act
// at once a hand goes as fast as its players answer, so every client keeps below that instead.
constexpr double kRequestsPerSecond = 80;
constexpr double kRequestBurst = 20;

volatile sig_atomic_t g_interrupted = 0;

void OnSignal(int)
{
    g_interrupted = 1;
}

// ---------------------------------------------------------------------------------------------
// Options

struct Options
{
    std::string postgres;
    int servers = 4;
    int clients = 400;
    int humanTables = 40;
    int seconds = 60;
    std::string serverBinary = KAVDOR_SERVER_BINARY;
};

void Usage(FILE* out)
{
    fprintf(out,
            "usage: load_test [--postgres URI] [--servers N] [--clients N] [--human-tables N]\n"
            "                 [--seconds S] [--server-binary PATH]\n"
            "  --postgres       a database to create the run's own database from\n"
            "                   (default: $KAVDOR_TEST_POSTGRES, as scripts/with-postgres sets it)\n"
            "  --servers        kavdor-server processes (default 4)\n"
            "  --clients        players, spread evenly over the servers (default 400)\n"
            "  --human-tables   tables of four players; the other players each sit with three\n"
            "                   bots (default 40)\n"
            "  --seconds        how long new hands are started (default 60)\n"
            "  --server-binary  default %s\n",
            KAVDOR_SERVER_BINARY);
}

bool Number(const char* option, const char* text, long low, long high, int& out)
{
    errno = 0;
    char* end = nullptr;
    long value = strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < low || value > high)
    {
        fprintf(stderr, "load_test: %s needs a whole number from %ld to %ld, not '%s'\n", option, low, high,
                text);
        return false;
    }
    out = static_cast<int>(value);
    return true;
}

// 0: run; otherwise the exit status (0 after --help, 2 for bad options).
int ParseOptions(int argc, char** argv, Options& options)
{
    if (const char* env = getenv("KAVDOR_TEST_POSTGRES"))
        options.postgres = env;
    for (int i = 1; i < argc; ++i)
    {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h")
        {
            Usage(stdout);
            return -1;
        }
        static const char* const kTakesValue[] = {"--postgres", "--server-binary", "--servers",
                                                  "--clients",  "--human-tables",  "--seconds"};
        if (std::find(std::begin(kTakesValue), std::end(kTakesValue), arg) == std::end(kTakesValue))
        {
            fprintf(stderr, "load_test: unknown option %s\n", arg.c_str());
            Usage(stderr);
            return 2;
        }
        if (i + 1 >= argc)
        {
            fprintf(stderr, "load_test: %s needs a value\n", arg.c_str());
            return 2;
        }
        const char* value = argv[++i];
        bool ok = true;
        if (arg == "--postgres")
            options.postgres = value;
        else if (arg == "--server-binary")
            options.serverBinary = value;
        else if (arg == "--servers")
            ok = Number("--servers", value, 1, 64, options.servers);
        else if (arg == "--clients")
            ok = Number("--clients", value, 1, 60000, options.clients);
        else if (arg == "--human-tables")
            ok = Number("--human-tables", value, 0, 15000, options.humanTables);
        else
            ok = Number("--seconds", value, 1, 86400, options.seconds);
        if (!ok)
            return 2;
    }
    if (options.postgres.empty())
    {
        fprintf(stderr, "load_test: no database: give --postgres URI or run under scripts/with-postgres\n");
        return 2;
    }
    if (options.humanTables * 4 > options.clients)
    {
        fprintf(stderr, "load_test: %d tables of four need %d clients, but --clients is %d\n",
                options.humanTables, options.humanTables * 4, options.clients);
        return 2;
    }
    if (access(options.serverBinary.c_str(), X_OK) != 0)
    {
        fprintf(stderr, "load_test: cannot run the server %s: %s\n", options.serverBinary.c_str(),
                strerror(errno));
        return 2;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// The database

// Runs one statement; empty when it worked, else the error.
std::string Exec(const std::string& uri, const std::string& sql)
{
    PGconn* conn = PQconnectdb(uri.c_str());
    std::string error;
    if (PQstatus(conn) != CONNECTION_OK)
        error = PQerrorMessage(conn);
    else
    {
        PGresult* result = PQexec(conn, sql.c_str());
        if (PQresultStatus(result) != PGRES_COMMAND_OK)
            error = PQresultErrorMessage(result);
        PQclear(result);
    }
    PQfinish(conn);
    while (!error.empty() && error.back() == '\n')
        error.pop_back();
    return error;
}

// The same server and account, another database: the path of the URI is replaced.
std::string WithDatabase(const std::string& uri, const std::string& name)
{
    size_t scheme = uri.find("://");
    size_t authority = scheme == std::string::npos ? 0 : scheme + 3;
    size_t query = uri.find('?', authority);
    size_t path = uri.find('/', authority);
    if (path == std::string::npos || (query != std::string::npos && path > query))
        path = query == std::string::npos ? uri.size() : query;
    std::string rest = query == std::string::npos ? "" : uri.substr(query);
    return uri.substr(0, path) + "/" + name + rest;
}

// ---------------------------------------------------------------------------------------------
// Server processes

struct Server
{
    pid_t pid = -1;
    uint16_t port = 0;
    int tables = 0;
    int exitStatus = -1;
};

// Free loopback ports, all held at once while they are chosen so that no two are the same.
bool FreePorts(std::vector<Server>& servers)
{
    std::vector<int> held;
    bool ok = true;
    for (Server& server : servers)
    {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            ok = false;
        else
            server.port = ntohs(address.sin_port);
        if (fd >= 0)
            held.push_back(fd);
    }
    for (int fd : held)
        close(fd);
    return ok;
}

bool Listening(uint16_t port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    if (fd >= 0)
        close(fd);
    return ok;
}

std::string DescribeStatus(int status)
{
    if (WIFEXITED(status))
        return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return std::string("signal ") + strsignal(WTERMSIG(status));
    return "status " + std::to_string(status);
}

bool StartServer(const Options& options, const std::string& database, Server& server)
{
    // No --bots: it would seat bots at the first arrival, before the rest of a table of four.
    std::vector<std::string> args = {options.serverBinary, "--db", database, "--tables",
                                     std::to_string(server.tables)};
    for (const char* arg : {"--bot-delay", "0", "--turn-seconds", "10", "--quiet", "--port"})
        args.push_back(arg);
    args.push_back(std::to_string(server.port));
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    int error =
        posix_spawn(&server.pid, options.serverBinary.c_str(), nullptr, nullptr, argv.data(), environ);
    if (error != 0)
    {
        server.pid = -1;
        fprintf(stderr, "load_test: cannot start %s: %s\n", options.serverBinary.c_str(), strerror(error));
        return false;
    }
    int64_t deadline = NowNs() + 30 * kSecond;
    while (!Listening(server.port))
    {
        int status = 0;
        if (waitpid(server.pid, &status, WNOHANG) == server.pid)
        {
            fprintf(stderr, "load_test: the server for port %u ended before listening (%s)\n", server.port,
                    DescribeStatus(status).c_str());
            server.pid = -1;
            return false;
        }
        if (NowNs() > deadline || g_interrupted)
        {
            fprintf(stderr, "load_test: the server for port %u does not listen after 30 s\n", server.port);
            return false;
        }
        usleep(20000);
    }
    return true;
}

// Asks every server to stop (they save what is left first) and waits for them.
bool StopServers(std::vector<Server>& servers)
{
    for (Server& server : servers)
        if (server.pid > 0)
            kill(server.pid, SIGTERM);
    bool clean = true;
    int64_t deadline = NowNs() + 30 * kSecond;
    for (Server& server : servers)
    {
        if (server.pid <= 0)
            continue;
        int status = 0;
        while (waitpid(server.pid, &status, WNOHANG) == 0)
        {
            if (NowNs() > deadline)
            {
                fprintf(stderr, "load_test: the server on port %u did not stop within 30 s; killed\n",
                        server.port);
                kill(server.pid, SIGKILL);
                waitpid(server.pid, &status, 0);
                break;
            }
            usleep(20000);
        }
        server.exitStatus = status;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        {
            fprintf(stderr, "load_test: the server on port %u ended with %s\n", server.port,
                    DescribeStatus(status).c_str());
            clean = false;
        }
        server.pid = -1;
    }
    return clean;
}

// ---------------------------------------------------------------------------------------------
// Clients

struct Table
{
    int server = 0;
    int id = 0; // the server's table number, from 1
    bool human = false;
    std::vector<int> clients;
    int hands = 0;         // results seen by its players, each hand once
    int measuredHands = 0; // of those, the ones that ended in the measured time
};

struct Client
{
    enum Phase
    {
        Connecting,
        LoggingIn,
        Sitting,
        Seated,
        Failed,
        Closed
    };
    int table = 0; // index into the run's tables
    std::string nickname;
    int fd = -1;
    Phase phase = Connecting;
    std::vector<uint8_t> input;
    std::vector<uint8_t> output;
    // Requests held back so that the client stays within the server's message rate.
    struct Waiting
    {
        std::vector<uint8_t> frame;
        bool play = false;
    };
    std::deque<Waiting> waiting;
    double tokens = kRequestBurst;
    int64_t tokensAt = 0;
    bool watchingWrites = false;
    std::string failure;

    int playerId = 0;
    int seat = -1;
    bool entered = false; // asked to be ready at least once
    bool inHand = false;

    // What the bot decision needs to know about the hand.
    std::map<int, int> seats; // player id -> seat
    CardList hand;
    std::array<CardList, 4> roundPlays;
    CardList standing;
    int landlord = 0;
    int highestBid = 0;
    bool refused = false;
    int64_t playSentNs = 0; // the pending play or pass request

    int64_t scoreSum = 0;
    int results = 0;
};

void SortHighToLow(CardList& cards)
{
    std::stable_sort(cards.begin(), cards.end(),
                     [](uint8_t a, uint8_t b) { return KavdorCompareCard(a, b) == 1; });
}

class LoadRun
{
public:
    LoadRun(const Options& options, std::vector<Server>& servers) : m_servers(servers)
    {
        m_epoll = epoll_create1(EPOLL_CLOEXEC);
        // Four players at each of the first tables, round the servers; then one player per table.
        std::vector<int> nextId(servers.size(), 1);
        for (int t = 0; t < options.humanTables; ++t)
            AddTable(t % static_cast<int>(servers.size()), true, nextId);
        int alone = options.clients - options.humanTables * 4;
        for (int i = 0; i < alone; ++i)
            AddTable(i % static_cast<int>(servers.size()), false, nextId);
        for (size_t s = 0; s < servers.size(); ++s)
            servers[s].tables = std::max(1, nextId[s] - 1);
        for (size_t t = 0; t < m_tables.size(); ++t)
            for (int n = 0; n < (m_tables[t].human ? 4 : 1); ++n)
            {
                Client client;
                client.table = static_cast<int>(t);
                client.nickname = "load" + std::to_string(getpid()) + "-" + std::to_string(m_clients.size());
                m_tables[t].clients.push_back(static_cast<int>(m_clients.size()));
                m_clients.push_back(std::move(client));
            }
    }
    ~LoadRun()
    {
        CloseAll();
        if (m_epoll >= 0)
            close(m_epoll);
    }

    const std::vector<Client>& Clients() const { return m_clients; }
    const std::vector<Table>& Tables() const { return m_tables; }
    const std::vector<double>& LatenciesMs() const { return m_latenciesMs; }
    int ServerPlayedTurns() const { return m_serverPlayed; }
    int RefusedPlays() const { return m_refused; }
    long Requests() const { return m_requests; }

    // Connects every client and waits until each sits at its table and has asked to be ready.
    bool SetUp()
    {
        for (size_t i = 0; i < m_clients.size(); ++i)
            Connect(static_cast<int>(i));
        int64_t start = NowNs();
        int64_t nextNote = start + 5 * kSecond;
        int total = static_cast<int>(m_clients.size());
        return Pump(start + kSetupLimit,
                    [&]
                    {
                        int entered = 0, failed = 0;
                        for (const Client& c : m_clients)
                        {
                            failed += c.phase == Client::Failed;
                            entered += c.phase != Client::Failed && c.entered;
                        }
                        if (NowNs() > nextNote)
                        {
                            fprintf(stderr, "load_test: %d of %d clients at their tables (%.0f s)\n", entered,
                                    total, Seconds(NowNs() - start));
                            nextNote += 5 * kSecond;
                        }
                        return entered + failed == total;
                    });
    }

    // Plays for `seconds`: hands and plays ending in this time are the measured ones.
    void Measure(int seconds)
    {
        m_measureStart = NowNs();
        m_measureEnd = m_measureStart + static_cast<int64_t>(seconds) * kSecond;
        Pump(m_measureEnd, [] { return false; });
        m_measureEnd = std::min(m_measureEnd, NowNs()); // an interrupt ends it early
    }
    double MeasuredSeconds() const { return Seconds(m_measureEnd - m_measureStart); }

    // No new hands; waits for those under way. Returns how many players are still in one.
    int Drain()
    {
        m_stopping = true;
        g_interrupted = 0; // a second interrupt cuts the wait short
        int64_t quietSince = NowNs();
        Pump(NowNs() + kDrainLimit,
             [&]
             {
                 // A ready sent just before the stop starts a hand a moment later.
                 if (m_lastHandStart > quietSince || InHand() > 0)
                     quietSince = NowNs();
                 return NowNs() - quietSince > kSecond;
             });
        return InHand();
    }

    void CloseAll()
    {
        for (Client& c : m_clients)
            if (c.fd >= 0)
            {
                close(c.fd);
                c.fd = -1;
                if (c.phase != Client::Failed)
                    c.phase = Client::Closed;
            }
    }

private:
    void AddTable(int server, bool human, std::vector<int>& nextId)
    {
        Table table;
        table.server = server;
        table.id = nextId[server]++;
        table.human = human;
        m_tables.push_back(table);
    }

    int InHand() const
    {
        int count = 0;
        for (const Client& c : m_clients)
            count += c.inHand && c.fd >= 0;
        return count;
    }

    template <class Done>
    bool Pump(int64_t deadline, Done done)
    {
        std::array<epoll_event, 256> events;
        while (!done())
        {
            int64_t now = NowNs();
            if (now >= deadline || g_interrupted)
                return false;
            SendAllWaiting();
            int wait = static_cast<int>(
                std::min<int64_t>((deadline - now) / 1000000 + 1, m_paced.empty() ? 100 : 2));
            int count = epoll_wait(m_epoll, events.data(), static_cast<int>(events.size()), wait);
            if (count < 0 && errno != EINTR)
            {
                fprintf(stderr, "load_test: epoll_wait: %s\n", strerror(errno));
                return false;
            }
            for (int i = 0; i < count; ++i)
            {
                int index = static_cast<int>(events[i].data.u32);
                if (m_clients[index].fd < 0)
                    continue;
                if (events[i].events & EPOLLOUT)
                    OnWritable(index);
                if (m_clients[index].fd >= 0 && (events[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR)))
                    OnReadable(index);
            }
        }
        return true;
    }

    // --- Transport -------------------------------------------------------------------------

    void Connect(int index)
    {
        Client& c = m_clients[index];
        const Server& server = m_servers[m_tables[c.table].server];
        c.fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (c.fd < 0)
            return Fail(index, std::string("socket: ") + strerror(errno));
        // Every request is one small frame that should leave at once, not wait for the next.
        int one = 1;
        setsockopt(c.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(server.port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(c.fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 &&
            errno != EINPROGRESS)
            return Fail(index, std::string("connect: ") + strerror(errno));
        epoll_event event{};
        event.events = EPOLLIN | EPOLLOUT;
        event.data.u32 = static_cast<uint32_t>(index);
        c.watchingWrites = true;
        if (epoll_ctl(m_epoll, EPOLL_CTL_ADD, c.fd, &event) != 0)
            return Fail(index, std::string("epoll_ctl: ") + strerror(errno));
    }

    void Fail(int index, const std::string& why)
    {
        Client& c = m_clients[index];
        if (c.fd >= 0)
            close(c.fd);
        c.fd = -1;
        c.phase = Client::Failed;
        c.inHand = false;
        c.failure = why;
        fprintf(stderr, "load_test: client %s: %s\n", c.nickname.c_str(), why.c_str());
    }

    // `play`: a play or pass request, timed until its broadcast comes back.
    void Send(int index, const NetMsgWriterCL& message, bool play = false)
    {
        Client& c = m_clients[index];
        if (c.fd < 0)
            return;
        ++m_requests;
        Client::Waiting waiting{{}, play};
        uint32_t length = static_cast<uint32_t>(message.Data().size());
        for (int shift = 0; shift < 32; shift += 8)
            waiting.frame.push_back(static_cast<uint8_t>(length >> shift));
        waiting.frame.insert(waiting.frame.end(), message.Data().begin(), message.Data().end());
        c.waiting.push_back(std::move(waiting));
        SendWaiting(index);
    }

    // Sends what the client's allowance permits now; the rest waits for the next round.
    void SendWaiting(int index)
    {
        Client& c = m_clients[index];
        int64_t now = NowNs();
        c.tokens = std::min(kRequestBurst, c.tokens + Seconds(now - c.tokensAt) * kRequestsPerSecond);
        c.tokensAt = now;
        bool play = false;
        while (!c.waiting.empty() && c.tokens >= 1)
        {
            c.tokens -= 1;
            c.output.insert(c.output.end(), c.waiting.front().frame.begin(), c.waiting.front().frame.end());
            play = play || c.waiting.front().play;
            c.waiting.pop_front();
        }
        Flush(index);
        if (play && c.fd >= 0)
            c.playSentNs = NowNs();
        if (!c.waiting.empty() && c.fd >= 0)
            m_paced.push_back(index);
    }

    void SendAllWaiting()
    {
        std::vector<int> paced;
        paced.swap(m_paced);
        std::sort(paced.begin(), paced.end());
        paced.erase(std::unique(paced.begin(), paced.end()), paced.end());
        for (int index : paced)
            if (m_clients[index].fd >= 0 && !m_clients[index].waiting.empty())
                SendWaiting(index);
    }

    void Flush(int index)
    {
        Client& c = m_clients[index];
        size_t sent = 0;
        while (sent < c.output.size())
        {
            ssize_t n = send(c.fd, c.output.data() + sent, c.output.size() - sent, MSG_NOSIGNAL);
            if (n > 0)
                sent += static_cast<size_t>(n);
            else if (n < 0 && errno == EINTR)
                continue;
            else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                break;
            else
                return Fail(index, std::string("send: ") + strerror(errno));
        }
        c.output.erase(c.output.begin(), c.output.begin() + static_cast<std::ptrdiff_t>(sent));
        bool wantWrites = !c.output.empty();
        if (wantWrites != c.watchingWrites)
        {
            epoll_event event{};
            event.events = EPOLLIN | (wantWrites ? EPOLLOUT : 0u);
            event.data.u32 = static_cast<uint32_t>(index);
            epoll_ctl(m_epoll, EPOLL_CTL_MOD, c.fd, &event);
            c.watchingWrites = wantWrites;
        }
    }

    void OnWritable(int index)
    {
        Client& c = m_clients[index];
        if (c.phase != Client::Connecting)
            return Flush(index);
        int error = 0;
        socklen_t length = sizeof(error);
        getsockopt(c.fd, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error != 0)
            return Fail(index, std::string("connect: ") + strerror(error));
        c.phase = Client::LoggingIn;
        // mode 2: a new account only, so that a leftover player of an earlier run is never reused.
        Send(index, NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_LOGIN)
                        .Bytes(c.nickname)
                        .U8(0)
                        .Bytes("pw-" + c.nickname)
                        .U8(2));
    }

    void OnReadable(int index)
    {
        Client& c = m_clients[index];
        uint8_t buffer[65536];
        for (;;)
        {
            ssize_t n = recv(c.fd, buffer, sizeof(buffer), 0);
            if (n > 0)
            {
                c.input.insert(c.input.end(), buffer, buffer + n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                break;
            // Whatever came before the close is still handled: it may hold the reason.
            HandleFrames(index, NowNs());
            if (m_clients[index].fd >= 0)
                Fail(index,
                     n == 0 ? "the server closed the connection" : std::string("recv: ") + strerror(errno));
            return;
        }
        HandleFrames(index, NowNs());
    }

    void HandleFrames(int index, int64_t receivedNs)
    {
        size_t at = 0;
        while (m_clients[index].fd >= 0)
        {
            std::vector<uint8_t>& in = m_clients[index].input;
            if (in.size() - at < 4)
                break;
            uint32_t length =
                in[at] | in[at + 1] << 8 | in[at + 2] << 16 | static_cast<uint32_t>(in[at + 3]) << 24;
            if (length < 4 || length > kMaxFrame)
                return Fail(index, "the server sent a frame of " + std::to_string(length) + " bytes");
            if (in.size() - at - 4 < length)
                break;
            const uint8_t* message = in.data() + at + 4;
            uint16_t category = static_cast<uint16_t>(message[0] | message[1] << 8);
            uint16_t type = static_cast<uint16_t>(message[2] | message[3] << 8);
            std::vector<uint8_t> payload(message + 4, message + length);
            at += 4 + length;
            try
            {
                NetMsgReaderCL reader(payload.data(), static_cast<int>(payload.size()));
                if (category == NET_CATEGORY_LOBBY)
                    OnLobby(index, type, reader);
                else if (category == NET_CATEGORY_ROOM)
                    OnRoom(index, type, reader, receivedNs);
                else if (category == NET_CATEGORY_GAME)
                    OnGame(index, type, reader, receivedNs);
            }
            catch (const NetMsgErrorCL& error)
            {
                return Fail(index, "malformed message " + std::to_string(category) + "/" +
                                       std::to_string(type) + " from the server: " + error.what());
            }
        }
        if (m_clients[index].fd >= 0)
            m_clients[index].input.erase(m_clients[index].input.begin(),
                                         m_clients[index].input.begin() + static_cast<std::ptrdiff_t>(at));
    }

    // --- Lobby and room ----------------------------------------------------------------------

    void OnLobby(int index, uint16_t type, NetMsgReaderCL& r)
    {
        Client& c = m_clients[index];
        const Table& table = m_tables[c.table];
        if (type == LOBBY_LOGIN_RESULT && c.phase == Client::LoggingIn)
        {
            int result = r.ReadI32();
            int id = r.ReadI32();
            r.ReadPlayerInfo();
            std::string reason = r.ReadBytes();
            if (result != 0)
                return Fail(index, "login refused (" + std::to_string(result) + "): " + reason);
            c.playerId = id;
            c.phase = Client::Sitting;
            Send(index, NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_SIT).I32(table.id).I32(-1).U8(0));
        }
        else if (type == LOBBY_SIT_RESULT && c.phase == Client::Sitting)
        {
            int result = r.ReadI32();
            r.ReadI32();
            int seat = r.ReadI32();
            if (result != 0)
                return Fail(index, "no seat at table " + std::to_string(table.id) + " (" +
                                       std::to_string(result) + ")");
            c.seat = seat;
            c.phase = Client::Seated;
            Send(index, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_ENTER_GAME));
            Send(index,
                 NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_TABLE_SETTINGS).I32(0).I32(0).I32(0).Bytes(""));
            // A player alone asks for bots once he is in; a server started with --bots would seat
            // them at the first arrival and leave no room for the other three of a table of four.
            if (!table.human)
                Send(index, NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_ADD_BOTS));
        }
        else if (type == LOBBY_ERROR)
            Fail(index, "lobby error: " + r.ReadBytes());
    }

    void OnRoom(int index, uint16_t type, NetMsgReaderCL& r, int64_t receivedNs)
    {
        Client& c = m_clients[index];
        switch (type)
        {
        case ROOM_PLAYER_IN:
        {
            int id = r.ReadI32();
            int seat = r.ReadI32();
            if (r.ReadI32() == 2 && seat >= 0 && seat < 4)
                c.seats[id] = seat;
            break;
        }
        case ROOM_PLAYER_OUT:
            c.seats.erase(r.ReadI32());
            break;
        case ROOM_START_READY:
            c.entered = true;
            if (!m_stopping)
                Send(index, NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_REQ_READY));
            break;
        case ROOM_GAME_RUNNING:
            c.inHand = true;
            m_lastHandStart = receivedNs;
            break;
        case ROOM_GAME_RESULT:
            OnResult(index, r.ReadResultList(), receivedNs);
            break;
        case ROOM_EXIT_RESULT:
            Fail(index, "sent away from the table");
            break;
        default:
            break;
        }
    }

    void OnResult(int index, const std::vector<NetResultRecord>& records, int64_t receivedNs)
    {
        Client& c = m_clients[index];
        c.inHand = false;
        c.playSentNs = 0;
        for (const NetResultRecord& record : records)
            if (record.playerId == c.playerId)
            {
                c.scoreSum += record.score;
                ++c.results;
            }
        // Every player of a table of four gets the same result: the table counts it once.
        Table& table = m_tables[c.table];
        if (c.results > table.hands)
        {
            table.hands = c.results;
            if (receivedNs >= m_measureStart && receivedNs < m_measureEnd)
                ++table.measuredHands;
        }
    }

    // --- The hand ----------------------------------------------------------------------------

    void OnGame(int index, uint16_t type, NetMsgReaderCL& r, int64_t receivedNs)
    {
        Client& c = m_clients[index];
        switch (type)
        {
        case GAME_DEAL:
        {
            // Read in order: the arguments of one call are evaluated in no fixed order.
            int id = r.ReadI32();
            OnDeal(c, id, r.ReadCards());
            break;
        }
        case GAME_BID_TURN:
        {
            int id = r.ReadI32();
            c.highestBid = std::max(c.highestBid, r.ReadI32());
            if (id == c.playerId)
            {
                int bid = KavdorBotCL::ChooseBid(c.hand, c.highestBid);
                Send(index, NetMsgWriterCL(NET_CATEGORY_GAME, GAME_REQ_BID).I32(bid < 0 ? 3 : bid - 1));
            }
            break;
        }
        case GAME_LANDLORD:
            c.landlord = r.ReadI32();
            break;
        case GAME_PLAY_TURN:
        {
            int id = r.ReadI32();
            bool follow = r.ReadI32() != 0;
            if (!follow)
            {
                c.standing.clear();
                for (auto& [player, seat] : c.seats)
                    c.roundPlays[seat] = player == id ? CardList() : CardList{kCardNewRound};
            }
            if (id == c.playerId)
                PlayTurn(index, follow);
            break;
        }
        case GAME_PLAY_ANSWER:
            OnPlayAnswer(c, r);
            break;
        case GAME_PLAY:
        {
            int id = r.ReadI32();
            OnPlay(c, id, r.ReadCards(), receivedNs);
            break;
        }
        default:
            break;
        }
    }

    static void OnDeal(Client& c, int id, const CardList& cards)
    {
        if (id != c.playerId)
            return;
        if (cards.size() == 25) // a new deal; the landlord's 33 follow the bidding
        {
            c.highestBid = 0;
            c.landlord = 0;
            c.refused = false;
            c.standing.clear();
        }
        c.hand = cards;
    }

    void OnPlayAnswer(Client& c, NetMsgReaderCL& r)
    {
        r.ReadI32();
        CardList cards = r.ReadCards();
        c.refused = cards.empty();
        m_refused += c.refused;
        for (uint8_t card : cards)
        {
            auto found = std::find(c.hand.begin(), c.hand.end(), card);
            if (found != c.hand.end())
                c.hand.erase(found);
        }
    }

    void OnPlay(Client& c, int id, const CardList& cards, int64_t receivedNs)
    {
        if (c.seats.count(id))
            c.roundPlays[c.seats[id]] = cards;
        if (!cards.empty())
            c.standing = cards;
        if (id != c.playerId)
            return;
        if (c.playSentNs == 0)
            ++m_serverPlayed; // the turn ran out and the server played it
        else if (c.playSentNs >= m_measureStart && c.playSentNs < m_measureEnd)
            m_latenciesMs.push_back(Seconds(receivedNs - c.playSentNs) * 1000);
        c.playSentNs = 0;
    }

    // The bot's choice, as the tests' table client makes it.
    void PlayTurn(int index, bool follow)
    {
        Client& c = m_clients[index];
        if (c.seat < 0)
            return;
        KavdorSeatPlays played{&c.roundPlays[0], &c.roundPlays[1], &c.roundPlays[2], &c.roundPlays[3]};
        bool partner = follow && c.landlord != c.playerId && !c.standing.empty();
        // Whose play stands: a fellow farmer's when it is not the landlord's.
        if (partner)
        {
            auto landlord = c.seats.find(c.landlord);
            partner = landlord != c.seats.end() && c.roundPlays[landlord->second] != c.standing;
        }
        SortHighToLow(c.hand);
        NetMsgWriterCL pass(NET_CATEGORY_GAME, GAME_REQ_PASS);
        if (c.refused)
        {
            // The server refused the last choice: never offer it again.
            c.refused = false;
            if (follow)
                return SendPlay(index, pass);
            if (!c.hand.empty())
                return SendPlay(index,
                                NetMsgWriterCL(NET_CATEGORY_GAME, GAME_REQ_PLAY).Cards({c.hand.back()}));
            return;
        }
        KavdorHandChoice choice = KavdorBotCL::ChoosePlay(c.hand, played, c.seat, !follow, partner);
        if (choice.action != KavdorHandChoice::PLAY)
            return SendPlay(index, pass);
        CardList cards = choice.cards;
        SortHighToLow(cards);
        SendPlay(index, NetMsgWriterCL(NET_CATEGORY_GAME, GAME_REQ_PLAY).Cards(cards));
    }

    void SendPlay(int index, const NetMsgWriterCL& request) { Send(index, request, true); }

    std::vector<Server>& m_servers;
    std::vector<Table> m_tables;
    std::vector<Client> m_clients;
    int m_epoll = -1;
    bool m_stopping = false;
    int64_t m_measureStart = INT64_MAX;
    int64_t m_measureEnd = INT64_MAX;
    int64_t m_lastHandStart = 0;
    std::vector<double> m_latenciesMs;
    int m_serverPlayed = 0;
    int m_refused = 0;
    long m_requests = 0;
    std::vector<int> m_paced; // clients with requests waiting for their allowance
};

// ---------------------------------------------------------------------------------------------
// Statistics

double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    auto rank = static_cast<size_t>(std::lround(fraction * static_cast<double>(values.size() - 1)));
    return values[std::min(rank, values.size() - 1)];
}

void PrintFigures(const LoadRun& run, const Options& options)
{
    int measured = 0, all = 0, human = 0;
    for (const Table& table : run.Tables())
    {
        measured += table.measuredHands;
        all += table.hands;
        human += table.human;
    }
    const std::vector<double>& latencies = run.LatenciesMs();
    double seconds = run.MeasuredSeconds();
    printf("servers: %d, clients: %zu, tables: %zu (%d of four players, %zu with bots)\n", options.servers,
           run.Clients().size(), run.Tables().size(), human, run.Tables().size() - human);
    printf("measured: %.1f s\n", seconds);
    printf("hands: %d in the measured time, %.1f per second (%d in all)\n", measured,
           seconds > 0 ? measured / seconds : 0.0, all);
    printf("plays: %zu in the measured time; request to broadcast p50 %.2f ms, p99 %.2f ms, max %.2f ms\n",
           latencies.size(), Percentile(latencies, 0.5), Percentile(latencies, 0.99),
           latencies.empty() ? 0.0 : *std::max_element(latencies.begin(), latencies.end()));
    printf("requests: %ld\n", run.Requests());
    if (run.RefusedPlays() > 0 || run.ServerPlayedTurns() > 0)
        printf("refused plays: %d, turns that ran out and the server played: %d\n", run.RefusedPlays(),
               run.ServerPlayedTurns());
}

// ---------------------------------------------------------------------------------------------
// Verification

// Compares what every player was sent with his stored record; prints the outcome, true when all
// agree.
bool Verify(const LoadRun& run, const std::string& database)
{
    PGconn* conn = PQconnectdb(database.c_str());
    if (PQstatus(conn) != CONNECTION_OK)
    {
        fprintf(stderr, "load_test: cannot read the records: %s", PQerrorMessage(conn));
        PQfinish(conn);
        return false;
    }
    std::vector<std::string> problems;
    int players = 0;
    for (const Client& c : run.Clients())
    {
        if (c.playerId == 0)
        {
            problems.push_back(c.nickname + ": never logged in (" + c.failure + ")");
            continue;
        }
        ++players;
        const char* values[1] = {c.nickname.data()};
        int lengths[1] = {static_cast<int>(c.nickname.size())};
        int formats[1] = {1};
        PGresult* result = PQexecParams(conn, "SELECT score, games FROM players WHERE nickname = $1::bytea",
                                        1, nullptr, values, lengths, formats, 0);
        if (PQresultStatus(result) != PGRES_TUPLES_OK)
            problems.push_back(c.nickname + ": " + PQresultErrorMessage(result));
        else if (PQntuples(result) != 1)
            problems.push_back(c.nickname + ": no stored record");
        else
        {
            long score = atol(PQgetvalue(result, 0, 0));
            long games = atol(PQgetvalue(result, 0, 1));
            if (score != c.scoreSum || games != c.results)
                problems.push_back(c.nickname + ": stored score " + std::to_string(score) + " games " +
                                   std::to_string(games) + ", results sent: score " +
                                   std::to_string(c.scoreSum) + " in " + std::to_string(c.results) +
                                   " hands");
        }
        if (!c.failure.empty())
            problems.push_back(c.nickname + ": " + c.failure);
        PQclear(result);
    }
    PQfinish(conn);
    if (problems.empty())
    {
        printf("verified: %d players, all scores match\n", players);
        return true;
    }
    printf("NOT verified: %zu problems among %zu players:\n", problems.size(), run.Clients().size());
    for (const std::string& problem : problems)
        printf("  %s\n", problem.c_str());
    return false;
}

// Enough descriptors for every client and then some.
void RaiseDescriptorLimit(int clients)
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return;
    rlim_t wanted = static_cast<rlim_t>(clients) + 64;
    if (limit.rlim_cur < wanted)
    {
        limit.rlim_cur = std::min(wanted, limit.rlim_max);
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    int parsed = ParseOptions(argc, argv, options);
    if (parsed != 0)
        return parsed < 0 ? 0 : parsed;
    signal(SIGINT, OnSignal);
    signal(SIGTERM, OnSignal);
    signal(SIGPIPE, SIG_IGN);
    RaiseDescriptorLimit(options.clients);

    std::vector<Server> servers(static_cast<size_t>(options.servers));
    LoadRun run(options, servers);
    for (const Server& server : servers)
        if (server.tables > kMaxTablesPerServer)
        {
            fprintf(stderr,
                    "load_test: %d tables for one server, more than the %d it can hold: use more --servers\n",
                    server.tables, kMaxTablesPerServer);
            return 2;
        }

    std::string name = "kavdor_load_" + std::to_string(getpid());
    std::string error = Exec(options.postgres, "CREATE DATABASE " + name);
    if (!error.empty())
    {
        fprintf(stderr, "load_test: cannot create the database %s: %s\n", name.c_str(), error.c_str());
        return 1;
    }
    std::string database = WithDatabase(options.postgres, name);

    bool ok = FreePorts(servers);
    if (!ok)
        fprintf(stderr, "load_test: no free loopback port: %s\n", strerror(errno));
    for (size_t s = 0; ok && s < servers.size(); ++s)
        ok = StartServer(options, database, servers[s]);

    if (ok)
    {
        fprintf(stderr, "load_test: %d servers up; %zu clients logging in\n", options.servers,
                run.Clients().size());
        ok = run.SetUp();
        if (!ok)
            fprintf(stderr, "load_test: %s\n",
                    g_interrupted ? "interrupted while setting up"
                                  : "the clients did not all sit down in time");
    }
    if (ok)
    {
        fprintf(stderr, "load_test: measuring for %d s\n", options.seconds);
        run.Measure(options.seconds);
        int still = run.Drain();
        if (still > 0)
            fprintf(stderr,
                    "load_test: %d players still in a hand after %lld s; their last result is missed\n",
                    still, static_cast<long long>(kDrainLimit / kSecond));
    }
    run.CloseAll();
    bool serversClean = StopServers(servers);
    if (ok)
    {
        PrintFigures(run, options);
        ok = Verify(run, database);
    }
    error = Exec(options.postgres, "DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
    if (!error.empty())
        fprintf(stderr, "load_test: cannot drop the database %s: %s\n", name.c_str(), error.c_str());
    return ok && serversClean ? 0 : 1;
}
