#include "NetServerCL.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

namespace
{
constexpr size_t kLengthSize = 4;
// The smallest message: its category and type.
constexpr size_t kMinMessage = 4;
// How much one recv call takes at most. A peer that keeps sending is read in these steps, and
// its frames are checked after each step, so that a bad length is caught before its body is
// buffered.
constexpr size_t kReadChunk = 64 * 1024;
// Connecting gives up after this long instead of hanging on an address that never answers.
constexpr int kConnectTimeoutMs = 5000;
// A buffer that has grown beyond this is given back once it is empty, so that a connection that
// once had a lot to send or receive does not hold that memory while it idles.
constexpr size_t kKeepCapacity = 64 * 1024;
// Refused peers are reported at most this often, with a count, however many arrive.
constexpr auto kRefusedReportInterval = std::chrono::seconds(1);
// Peers accepted per poll: a crowd connecting at once cannot hold up the connections already
// served; the rest are taken at the next poll.
constexpr int kMaxAcceptsPerPoll = 64;

std::string ErrorText(const char* what, int error)
{
    return std::string(what) + ": " + std::strerror(error);
}

uint32_t ReadLength(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void AppendFrame(std::vector<uint8_t>& out, const std::vector<uint8_t>& message)
{
    uint32_t length = static_cast<uint32_t>(message.size());
    out.push_back(static_cast<uint8_t>(length));
    out.push_back(static_cast<uint8_t>(length >> 8));
    out.push_back(static_cast<uint8_t>(length >> 16));
    out.push_back(static_cast<uint8_t>(length >> 24));
    out.insert(out.end(), message.begin(), message.end());
}

// Empties a buffer, and gives its memory back when it has grown large.
void Release(std::vector<uint8_t>& buffer)
{
    if (buffer.capacity() > kKeepCapacity)
    {
        std::vector<uint8_t>().swap(buffer);
    }
    else
    {
        buffer.clear();
    }
}

// Errors after which accept may be called again at once: an interrupted call, or a peer that
// was gone before it could be taken, after which the next one may be fine. Errors that could as
// well come from the listening socket itself are not among them, since trying again at once
// would then never end.
bool AcceptMayGoOn(int error)
{
    switch (error)
    {
    case EINTR:
    case ECONNABORTED:
    case EPROTO:
    case ENOPROTOOPT:
    case EHOSTDOWN:
    case ENONET:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETUNREACH:
        return true;
    default:
        return false;
    }
}

// Why the limits cannot work, or empty when they can.
std::string CheckLimits(const NetServerLimits& limits)
{
    if (limits.maxConnections == 0)
    {
        return "maxConnections must be at least 1";
    }
    if (limits.maxPendingOutput == 0 || limits.maxTotalPendingOutput == 0)
    {
        return "maxPendingOutput and maxTotalPendingOutput must be at least 1 byte";
    }
    if (!std::isfinite(limits.messagesPerSecond) || limits.messagesPerSecond <= 0)
    {
        return "messagesPerSecond must be a positive number";
    }
    if (!std::isfinite(limits.messageBurst) || limits.messageBurst < 1)
    {
        return "messageBurst must be at least 1";
    }
    if (limits.acceptBackoffMs <= 0)
    {
        return "acceptBackoffMs must be positive";
    }
    return std::string();
}

bool SetNonBlocking(int fd, bool on)
{
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0)
    {
        return false;
    }
    flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return fcntl(fd, F_SETFL, flags) == 0;
}

void SetNoDelay(int fd)
{
    // Messages are small and answer each other; Nagle's delay would only add latency. Failure
    // (a socket that is not TCP) changes nothing that matters.
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
}

// Resolves a host (numeric or a name such as "localhost") and a port into socket addresses.
// An empty host means every local address.
bool Resolve(const std::string& address, uint16_t port, bool passive, addrinfo** result, std::string& error)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | (passive ? AI_PASSIVE : 0);
    std::string service = std::to_string(port);
    int rc = getaddrinfo(address.empty() ? nullptr : address.c_str(), service.c_str(), &hints, result);
    if (rc != 0)
    {
        error = "cannot resolve '" + address + "': " + gai_strerror(rc);
        return false;
    }
    return true;
}

// Reads and drops what the peer has already sent. Closing a socket with unread input makes the
// kernel reset the connection, which can throw away the output just flushed before the peer
// reads it.
void DrainInput(int fd)
{
    uint8_t scratch[4096];
    for (int i = 0; i < 64; ++i)
    {
        ssize_t n = recv(fd, scratch, sizeof(scratch), MSG_DONTWAIT);
        if (n <= 0 && !(n < 0 && errno == EINTR))
        {
            return;
        }
    }
}
} // namespace

// The connection also carries the server's internal steps as static functions: as a member type
// it may reach the server's private state, which keeps them out of the public header.
struct NetServerCL::Connection
{
    int fd = -1;
    // Bytes received but not yet dispatched: at most one partial frame between polls.
    std::vector<uint8_t> input;
    // Framed output not yet written; bytes before outputSent are gone already.
    std::vector<uint8_t> output;
    size_t outputSent = 0;
    // The incoming messages this connection may still send at once; refilled with time.
    double tokens = 0;
    Clock::time_point refilled;

    size_t Pending() const { return output.size() - outputSent; }

    static void AcceptAll(NetServerCL& server);
    static void PauseAccepting(NetServerCL& server, int error);
    static void Refuse(NetServerCL& server, int fd);
    static void ReportRefused(NetServerCL& server, Clock::time_point now);
    static void ReadAll(NetServerCL& server, int id);
    static bool Dispatch(NetServerCL& server, int id);
    static bool Flush(NetServerCL& server, int id);
    static void Sent(NetServerCL& server, Connection& connection, size_t bytes);
};

NetServerCL::NetServerCL(Handler& handler, const NetServerLimits& limits)
    : m_handler(handler), m_limits(limits)
{
    // Without it the server still works; a Wake then waits for Poll's timeout. The handler is
    // told when listening starts, as it may not be ready to hear anything yet.
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd < 0)
    {
        m_wakeError = ErrorText("eventfd", errno);
    }
}

NetServerCL::~NetServerCL()
{
    // The handler is not called from here: it may be the object that owns this server and be
    // half destroyed already. The sockets are simply closed.
    for (auto& [id, connection] : m_connections)
    {
        close(connection->fd);
    }
    m_connections.clear();
    if (m_listenFd >= 0)
    {
        close(m_listenFd);
        m_listenFd = -1;
    }
    if (m_wakeFd >= 0)
    {
        close(m_wakeFd);
        m_wakeFd = -1;
    }
}

bool NetServerCL::Listen(const std::string& address, uint16_t port)
{
    if (m_listenFd >= 0)
    {
        m_lastError = "already listening";
        return false;
    }
    std::string badLimits = CheckLimits(m_limits);
    if (!badLimits.empty())
    {
        m_lastError = "limits: " + badLimits;
        return false;
    }
    addrinfo* list = nullptr;
    if (!Resolve(address, port, true, &list, m_lastError))
    {
        return false;
    }
    std::string error;
    for (addrinfo* ai = list; ai != nullptr; ai = ai->ai_next)
    {
        int fd = socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd < 0)
        {
            error = ErrorText("socket", errno);
            continue;
        }
        // A restarted server must be able to take its port back while old connections linger
        // in TIME_WAIT.
        int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
        if (bind(fd, ai->ai_addr, ai->ai_addrlen) != 0)
        {
            error = ErrorText(("bind " + address + ":" + std::to_string(port)).c_str(), errno);
            close(fd);
            continue;
        }
        if (listen(fd, SOMAXCONN) != 0)
        {
            error = ErrorText("listen", errno);
            close(fd);
            continue;
        }
        sockaddr_storage bound{};
        socklen_t boundSize = sizeof(bound);
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &boundSize) != 0)
        {
            error = ErrorText("getsockname", errno);
            close(fd);
            continue;
        }
        if (bound.ss_family == AF_INET6)
        {
            m_port = ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port);
        }
        else
        {
            m_port = ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
        }
        m_listenFd = fd;
        break;
    }
    freeaddrinfo(list);
    if (m_listenFd < 0)
    {
        m_lastError = error.empty() ? "no address to listen on" : error;
        return false;
    }
    m_lastError.clear();
    if (!m_wakeError.empty())
    {
        m_handler.OnTransportNote("Wake cannot interrupt a waiting poll (" + m_wakeError +
                                  "); polls wait out their timeout");
        m_wakeError.clear();
    }
    return true;
}

void NetServerCL::Wake()
{
    if (m_wakeFd < 0)
    {
        return;
    }
    // EAGAIN means the counter is full, so the poll is woken already.
    uint64_t one = 1;
    ssize_t n;
    do
    {
        n = write(m_wakeFd, &one, sizeof(one));
    } while (n < 0 && errno == EINTR);
}

void NetServerCL::Poll(int timeoutMs)
{
    Clock::time_point now = Clock::now();
    if (m_refusedUnreported > 0 && now - m_refusedReportedAt >= kRefusedReportInterval)
    {
        Connection::ReportRefused(*this, now);
    }
    // While accepting is paused the listening socket stays out of the poll, since it would
    // report the waiting peers again and again; the wait ends in time to try again.
    bool accepting = m_listenFd >= 0 && !m_acceptPaused;
    if (m_listenFd >= 0 && m_acceptPaused)
    {
        // Rounded up, so that the wait does not end just short of the time to try again.
        long long left =
            std::chrono::duration_cast<std::chrono::milliseconds>(m_acceptResume - now).count() + 1;
        left = std::clamp<long long>(left, 0, INT_MAX);
        if (timeoutMs < 0 || left < timeoutMs)
        {
            timeoutMs = static_cast<int>(left);
        }
    }

    // Ids in the poll list: the wake descriptor is -1, the listening socket 0, connections > 0.
    std::vector<pollfd> fds;
    std::vector<int> ids;
    fds.reserve(m_connections.size() + 2);
    ids.reserve(m_connections.size() + 2);
    if (m_wakeFd >= 0)
    {
        fds.push_back({m_wakeFd, POLLIN, 0});
        ids.push_back(-1);
    }
    if (accepting)
    {
        fds.push_back({m_listenFd, POLLIN, 0});
        ids.push_back(0);
    }
    for (auto& [id, connection] : m_connections)
    {
        short events = POLLIN;
        if (connection->Pending() > 0)
        {
            events |= POLLOUT;
        }
        fds.push_back({connection->fd, events, 0});
        ids.push_back(id);
    }

    // With nothing to wait on, poll still waits out the timeout, so a caller's loop does not spin.
    int ready = poll(fds.data(), fds.size(), timeoutMs);

    // The handler may close, send to or stop anything from inside its callbacks, so every
    // connection is looked up again by id after each callback rather than held on to. Poll
    // itself must not be called from a callback.
    for (size_t i = 0; ready > 0 && i < fds.size(); ++i)
    {
        short revents = fds[i].revents;
        if (revents == 0)
        {
            continue;
        }
        if (ids[i] == -1)
        {
            // One read empties the counter, however many Wakes came.
            uint64_t count;
            while (read(m_wakeFd, &count, sizeof(count)) < 0 && errno == EINTR)
            {
            }
            continue;
        }
        if (ids[i] == 0)
        {
            Connection::AcceptAll(*this);
            continue;
        }
        int id = ids[i];
        if (m_connections.find(id) == m_connections.end())
        {
            continue;
        }
        if (revents & POLLNVAL)
        {
            Close(id, "invalid socket");
            continue;
        }
        if ((revents & POLLOUT) && !Connection::Flush(*this, id))
        {
            continue;
        }
        if (revents & (POLLIN | POLLHUP | POLLERR))
        {
            Connection::ReadAll(*this, id);
        }
    }

    if (m_acceptPaused && Clock::now() >= m_acceptResume)
    {
        // Tried at once rather than at the next poll: a peer waiting in the backlog is taken
        // now, and if descriptors are still short the pause simply starts again.
        m_acceptPaused = false;
        Connection::AcceptAll(*this);
    }
}

void NetServerCL::Connection::AcceptAll(NetServerCL& server)
{
    // Stop from inside OnConnect closes the listening socket; the loop ends there.
    for (int accepted = 0; accepted < kMaxAcceptsPerPoll && server.m_listenFd >= 0; ++accepted)
    {
        int fd = accept4(server.m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
        {
            int error = errno;
            if (AcceptMayGoOn(error))
            {
                continue;
            }
            if (error == EAGAIN || error == EWOULDBLOCK)
            {
                // Nobody else is waiting, which accept can only say when it is working again.
                server.m_acceptTrouble = false;
                return;
            }
            // Out of descriptors or memory (or something unforeseen): the listening socket would
            // report the same waiting peers at once, so accepting pauses instead of spinning.
            PauseAccepting(server, error);
            return;
        }
        server.m_acceptTrouble = false;
        if (server.m_connections.size() >= server.m_limits.maxConnections)
        {
            Refuse(server, fd);
            continue;
        }
        SetNoDelay(fd);
        int id = server.m_nextId++;
        auto connection = std::make_unique<Connection>();
        connection->fd = fd;
        connection->tokens = server.m_limits.messageBurst;
        connection->refilled = Clock::now();
        server.m_connections.emplace(id, std::move(connection));
        server.m_handler.OnConnect(id);
    }
}

void NetServerCL::Connection::PauseAccepting(NetServerCL& server, int error)
{
    // The waiting peers stay queued in the backlog until accepting works again.
    server.m_acceptPaused = true;
    server.m_acceptResume = Clock::now() + std::chrono::milliseconds(server.m_limits.acceptBackoffMs);
    if (!server.m_acceptTrouble)
    {
        server.m_acceptTrouble = true;
        server.m_handler.OnTransportNote(ErrorText("accept", error) +
                                         "; accepting paused, tried again every " +
                                         std::to_string(server.m_limits.acceptBackoffMs) + " ms");
    }
}

void NetServerCL::Connection::Refuse(NetServerCL& server, int fd)
{
    // Closed before anything is read or written: the peer sees its connection end at once.
    close(fd);
    ++server.m_refusedUnreported;
    Clock::time_point now = Clock::now();
    if (!server.m_refusedReported || now - server.m_refusedReportedAt >= kRefusedReportInterval)
    {
        ReportRefused(server, now);
    }
}

void NetServerCL::Connection::ReportRefused(NetServerCL& server, Clock::time_point now)
{
    std::string line = "refused " + std::to_string(server.m_refusedUnreported) +
                       (server.m_refusedUnreported == 1 ? " connection" : " connections") +
                       ": already serving the limit of " + std::to_string(server.m_limits.maxConnections);
    server.m_refusedUnreported = 0;
    server.m_refusedReported = true;
    server.m_refusedReportedAt = now;
    server.m_handler.OnTransportNote(line);
}

void NetServerCL::Connection::ReadAll(NetServerCL& server, int id)
{
    // A peer that sends without pause gets this many chunks per poll, so that it cannot keep
    // the others waiting; the rest is read at the next poll.
    constexpr int kMaxChunksPerPoll = 16;
    uint8_t chunk[kReadChunk];
    for (int round = 0; round < kMaxChunksPerPoll; ++round)
    {
        auto it = server.m_connections.find(id);
        if (it == server.m_connections.end())
        {
            return;
        }
        ssize_t n = recv(it->second->fd, chunk, sizeof(chunk), MSG_DONTWAIT);
        if (n < 0)
        {
            int error = errno;
            if (error == EINTR)
            {
                continue;
            }
            if (error != EAGAIN && error != EWOULDBLOCK)
            {
                server.Close(id, ErrorText("read", error));
            }
            return;
        }
        if (n == 0)
        {
            server.Close(id, "closed by peer");
            return;
        }
        it->second->input.insert(it->second->input.end(), chunk, chunk + n);
        if (!Dispatch(server, id))
        {
            return;
        }
    }
}

bool NetServerCL::Connection::Dispatch(NetServerCL& server, int id)
{
    // The buffer is taken out of the connection while the handler runs, so that a Close from a
    // callback cannot free the bytes of the message being handled.
    std::vector<uint8_t> input;
    Connection* connection = server.m_connections.at(id).get();
    input.swap(connection->input);
    // The bucket is filled once for what arrived in this read; messages of one read come
    // together anyway.
    Clock::time_point now = Clock::now();
    double seconds = std::chrono::duration<double>(now - connection->refilled).count();
    connection->tokens = std::min(server.m_limits.messageBurst,
                                  connection->tokens + seconds * server.m_limits.messagesPerSecond);
    connection->refilled = now;
    size_t offset = 0;
    while (input.size() - offset >= kLengthSize)
    {
        uint32_t length = ReadLength(input.data() + offset);
        // A bad length is acted on at once; the body of an overlong frame is never waited for.
        if (length < kMinMessage)
        {
            server.Close(id, "frame too short");
            return false;
        }
        if (length > kMaxMessage)
        {
            server.Close(id, "frame too long");
            return false;
        }
        if (input.size() - offset - kLengthSize < length)
        {
            break;
        }
        // A flood is cut off before it costs the handler anything: none of the messages
        // beyond the limit is dispatched.
        if (connection->tokens < 1)
        {
            server.Close(id, "too many messages");
            return false;
        }
        connection->tokens -= 1;
        server.m_handler.OnMessage(id, input.data() + offset + kLengthSize, length);
        offset += kLengthSize + length;
        auto it = server.m_connections.find(id);
        if (it == server.m_connections.end())
        {
            // Closed by the handler: the rest of what it sent is not delivered.
            return false;
        }
        // Ids are never reused, so this is the same connection; looked up again all the same.
        connection = it->second.get();
    }
    input.erase(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(offset));
    if (input.empty())
    {
        Release(input);
    }
    connection->input.swap(input);
    return true;
}

bool NetServerCL::Connection::Flush(NetServerCL& server, int id)
{
    auto it = server.m_connections.find(id);
    if (it == server.m_connections.end())
    {
        return false;
    }
    Connection& connection = *it->second;
    while (connection.Pending() > 0)
    {
        const uint8_t* from = connection.output.data() + connection.outputSent;
        ssize_t n = send(connection.fd, from, connection.Pending(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0)
        {
            int error = errno;
            if (error == EINTR)
            {
                continue;
            }
            if (error == EAGAIN || error == EWOULDBLOCK)
            {
                break;
            }
            server.Close(id, ErrorText("write", error));
            return false;
        }
        Sent(server, connection, static_cast<size_t>(n));
    }
    if (connection.Pending() == 0)
    {
        Release(connection.output);
        connection.outputSent = 0;
    }
    else if (connection.outputSent >= connection.output.size() / 2)
    {
        // Keep the buffer from growing without bound while a peer reads slowly but steadily.
        auto sentEnd = connection.output.begin() + static_cast<std::ptrdiff_t>(connection.outputSent);
        connection.output.erase(connection.output.begin(), sentEnd);
        connection.outputSent = 0;
    }
    return true;
}

void NetServerCL::Connection::Sent(NetServerCL& server, Connection& connection, size_t bytes)
{
    connection.outputSent += bytes;
    server.m_pendingOutput -= bytes;
}

bool NetServerCL::Send(int connection, const std::vector<uint8_t>& message)
{
    auto it = m_connections.find(connection);
    if (it == m_connections.end())
    {
        return false;
    }
    // The peer would drop the connection for a frame of this size, so it is never sent.
    if (message.size() < kMinMessage || message.size() > kMaxMessage)
    {
        return false;
    }
    AppendFrame(it->second->output, message);
    m_pendingOutput += kLengthSize + message.size();
    if (!Connection::Flush(*this, connection))
    {
        return false;
    }
    if (m_connections.at(connection)->Pending() > m_limits.maxPendingOutput)
    {
        Close(connection, "too slow");
        return false;
    }
    // Over the total, the connection holding the most goes: usually the one that does not read,
    // rather than whichever happened to be sent to last. Each close frees at least one byte.
    while (m_pendingOutput > m_limits.maxTotalPendingOutput && !m_connections.empty())
    {
        auto largest = std::max_element(m_connections.begin(), m_connections.end(),
                                        [](const auto& a, const auto& b)
                                        { return a.second->Pending() < b.second->Pending(); });
        Close(largest->first, "too slow");
    }
    return m_connections.find(connection) != m_connections.end();
}

void NetServerCL::Close(int connection, const std::string& reason)
{
    auto it = m_connections.find(connection);
    if (it == m_connections.end())
    {
        return;
    }
    Connection& c = *it->second;
    // One attempt to hand over what is queued; a peer that does not read loses the rest.
    while (c.Pending() > 0)
    {
        ssize_t n = send(c.fd, c.output.data() + c.outputSent, c.Pending(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
        {
            continue;
        }
        if (n <= 0)
        {
            break;
        }
        Connection::Sent(*this, c, static_cast<size_t>(n));
    }
    m_pendingOutput -= c.Pending();
    DrainInput(c.fd);
    close(c.fd);
    // Removed before the handler hears of it, so that a Send or Close for this connection from
    // inside OnDisconnect is ignored and the handler is told exactly once.
    std::string why = reason;
    m_connections.erase(it);
    m_handler.OnDisconnect(connection, why);
}

void NetServerCL::Stop()
{
    if (m_listenFd >= 0)
    {
        close(m_listenFd);
        m_listenFd = -1;
    }
    m_acceptPaused = false;
    m_acceptTrouble = false;
    while (!m_connections.empty())
    {
        Close(m_connections.begin()->first, "server stopped");
    }
}

size_t NetServerCL::ConnectionCount() const
{
    return m_connections.size();
}

size_t NetServerCL::BufferCapacity() const
{
    size_t total = 0;
    for (const auto& [id, connection] : m_connections)
    {
        total += connection->input.capacity() + connection->output.capacity();
    }
    return total;
}

// ---------------------------------------------------------------------------------------------

NetClientCL::~NetClientCL()
{
    Close();
}

bool NetClientCL::Connect(const std::string& address, uint16_t port)
{
    Close();
    m_closeReason.clear();
    addrinfo* list = nullptr;
    std::string error;
    if (!Resolve(address, port, false, &list, error))
    {
        return false;
    }
    for (addrinfo* ai = list; ai != nullptr && m_fd < 0; ai = ai->ai_next)
    {
        int fd = socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd < 0)
        {
            continue;
        }
        // Connecting without blocking lets the wait be bounded by poll.
        bool connected = connect(fd, ai->ai_addr, ai->ai_addrlen) == 0;
        if (!connected && errno == EINPROGRESS)
        {
            pollfd p{fd, POLLOUT, 0};
            int ready;
            do
            {
                ready = poll(&p, 1, kConnectTimeoutMs);
            } while (ready < 0 && errno == EINTR);
            int soError = 0;
            socklen_t size = sizeof(soError);
            connected =
                ready == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &size) == 0 && soError == 0;
        }
        if (connected && SetNonBlocking(fd, false))
        {
            SetNoDelay(fd);
            m_fd = fd;
        }
        else
        {
            close(fd);
        }
    }
    freeaddrinfo(list);
    return m_fd >= 0;
}

bool NetClientCL::Send(const std::vector<uint8_t>& message)
{
    if (message.size() < kMinMessage || message.size() > NetServerCL::kMaxMessage)
    {
        return false;
    }
    std::vector<uint8_t> frame;
    frame.reserve(kLengthSize + message.size());
    AppendFrame(frame, message);
    return SendRaw(frame);
}

bool NetClientCL::SendRaw(const std::vector<uint8_t>& bytes)
{
    if (m_fd < 0)
    {
        return false;
    }
    size_t sent = 0;
    while (sent < bytes.size())
    {
        ssize_t n = send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0)
        {
            if (errno == EINTR)
            {
                continue;
            }
            // Part of a frame may have gone out; the stream cannot be trusted any more.
            Drop(std::string("cannot send: ") + std::strerror(errno));
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool NetClientCL::Receive(std::vector<uint8_t>& message, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
    for (;;)
    {
        if (m_fd < 0)
        {
            return false;
        }
        if (m_input.size() >= kLengthSize)
        {
            uint32_t length = ReadLength(m_input.data());
            if (length < kMinMessage || length > NetServerCL::kMaxMessage)
            {
                Drop(length < kMinMessage ? "frame too short from the server" : "frame too long from the server");
                return false;
            }
            if (m_input.size() - kLengthSize >= length)
            {
                auto begin = m_input.begin() + static_cast<std::ptrdiff_t>(kLengthSize);
                auto end = begin + static_cast<std::ptrdiff_t>(length);
                message.assign(begin, end);
                m_input.erase(m_input.begin(), end);
                return true;
            }
        }

        int wait = -1;
        if (timeoutMs >= 0)
        {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            wait = left > 0 ? static_cast<int>(left) : 0;
        }
        pollfd p{m_fd, POLLIN, 0};
        int ready = poll(&p, 1, wait);
        if (ready < 0)
        {
            if (errno == EINTR)
            {
                continue;
            }
            Drop(std::string("cannot wait for the server: ") + std::strerror(errno));
            return false;
        }
        if (ready == 0)
        {
            // Whatever part of a frame arrived stays in m_input for the next call.
            return false;
        }
        uint8_t chunk[kReadChunk];
        ssize_t n = recv(m_fd, chunk, sizeof(chunk), MSG_DONTWAIT);
        if (n > 0)
        {
            m_input.insert(m_input.end(), chunk, chunk + n);
        }
        else if (n == 0)
        {
            Drop("the server closed the connection");
            return false;
        }
        else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)
        {
            Drop(std::string("cannot read from the server: ") + std::strerror(errno));
            return false;
        }
    }
}

void NetClientCL::Drop(const std::string& reason)
{
    Close();
    m_closeReason = reason;
}

void NetClientCL::Close()
{
    if (m_fd >= 0)
    {
        close(m_fd);
        m_fd = -1;
    }
    m_input.clear();
}
