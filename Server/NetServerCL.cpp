#include "NetServerCL.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
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

    size_t Pending() const { return output.size() - outputSent; }

    static void AcceptAll(NetServerCL& server);
    static void ReadAll(NetServerCL& server, int id);
    static bool Dispatch(NetServerCL& server, int id);
    static bool Flush(NetServerCL& server, int id);
};

NetServerCL::NetServerCL(Handler& handler) : m_handler(handler)
{
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
}

bool NetServerCL::Listen(const std::string& address, uint16_t port)
{
    if (m_listenFd >= 0)
    {
        m_lastError = "already listening";
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
    return true;
}

void NetServerCL::Poll(int timeoutMs)
{
    std::vector<pollfd> fds;
    std::vector<int> ids;
    fds.reserve(m_connections.size() + 1);
    ids.reserve(m_connections.size() + 1);
    if (m_listenFd >= 0)
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
    if (fds.empty())
    {
        // Nothing to wait on; still honour the wait so that a caller's loop does not spin.
        if (timeoutMs > 0)
        {
            poll(nullptr, 0, timeoutMs);
        }
        return;
    }

    int ready = poll(fds.data(), fds.size(), timeoutMs);
    if (ready <= 0)
    {
        return;
    }

    // The handler may close, send to or stop anything from inside its callbacks, so every
    // connection is looked up again by id after each callback rather than held on to. Poll
    // itself must not be called from a callback.
    for (size_t i = 0; i < fds.size(); ++i)
    {
        short revents = fds[i].revents;
        if (revents == 0)
        {
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
}

void NetServerCL::Connection::AcceptAll(NetServerCL& server)
{
    // Stop from inside OnConnect closes the listening socket; the loop ends there.
    while (server.m_listenFd >= 0)
    {
        int fd = accept4(server.m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
        {
            if (errno == EINTR || errno == ECONNABORTED)
            {
                continue;
            }
            // EAGAIN: nobody else is waiting. Anything else (out of descriptors) is left for the
            // next poll; the waiting peers stay queued in the backlog.
            return;
        }
        SetNoDelay(fd);
        int id = server.m_nextId++;
        auto connection = std::make_unique<Connection>();
        connection->fd = fd;
        server.m_connections.emplace(id, std::move(connection));
        server.m_handler.OnConnect(id);
    }
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
    input.swap(server.m_connections.at(id)->input);
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
        server.m_handler.OnMessage(id, input.data() + offset + kLengthSize, length);
        offset += kLengthSize + length;
        if (server.m_connections.find(id) == server.m_connections.end())
        {
            // Closed by the handler: the rest of what it sent is not delivered.
            return false;
        }
    }
    input.erase(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(offset));
    server.m_connections.at(id)->input.swap(input);
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
        connection.outputSent += static_cast<size_t>(n);
    }
    if (connection.Pending() == 0)
    {
        connection.output.clear();
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
    if (!Connection::Flush(*this, connection))
    {
        return false;
    }
    if (m_connections.at(connection)->Pending() > kMaxPendingOutput)
    {
        Close(connection, "too slow");
        return false;
    }
    return true;
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
        c.outputSent += static_cast<size_t>(n);
    }
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
    while (!m_connections.empty())
    {
        Close(m_connections.begin()->first, "server stopped");
    }
}

size_t NetServerCL::ConnectionCount() const
{
    return m_connections.size();
}

// ---------------------------------------------------------------------------------------------

NetClientCL::~NetClientCL()
{
    Close();
}

bool NetClientCL::Connect(const std::string& address, uint16_t port)
{
    Close();
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
            connected = ready == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &size) == 0 &&
                        soError == 0;
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
            Close();
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
                Close();
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
            Close();
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
        else if (n == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK))
        {
            Close();
            return false;
        }
    }
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
