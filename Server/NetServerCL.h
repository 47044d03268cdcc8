#pragma once
// The server's TCP transport: a listening socket and its connections, driven by one thread
// through Poll. Every frame on the wire is a 4-byte little-endian length followed by that many
// bytes of one message (category, type, payload). A frame shorter than a message header or
// longer than kMaxMessage closes its connection with a reason; the other connections go on.
// The limits below keep one peer, or many of them, from taking the server's memory, descriptors
// or time away from the others.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct NetServerLimits
{
    // Connections served at once; a peer accepted beyond this is closed at once.
    size_t maxConnections = 1024;
    // Unsent output one connection may hold; beyond it the connection is closed as too slow.
    size_t maxPendingOutput = 256 * 1024;
    // Unsent output of all connections together; beyond it the connection holding the most is
    // closed as too slow.
    size_t maxTotalPendingOutput = 32 * 1024 * 1024;
    // Incoming messages one connection may send: this many per second on average, and this many
    // in one burst. A connection that sends faster is closed with "too many messages".
    double messagesPerSecond = 100;
    double messageBurst = 200;
    // How long accepting pauses when the process is out of descriptors or memory.
    int acceptBackoffMs = 200;
};

class NetServerCL
{
public:
    // The largest message a peer may send or be sent.
    static constexpr size_t kMaxMessage = 64 * 1024;

    class Handler
    {
    public:
        virtual ~Handler() = default;
        virtual void OnConnect(int connection) = 0;
        // One whole message: category, type and payload (the length prefix removed).
        virtual void OnMessage(int connection, const uint8_t* message, size_t size) = 0;
        // The connection is gone (peer closed, error, bad frame, or Close); `reason` says why.
        virtual void OnDisconnect(int connection, const std::string& reason) = 0;
        // Something about the transport itself worth a log line (accepting paused, peers
        // refused). Reported once per episode or at most about once a second, never per peer.
        virtual void OnTransportNote(const std::string& /*line*/) {}
    };

    // The limits are checked by Listen, which refuses values that cannot work.
    explicit NetServerCL(Handler& handler, const NetServerLimits& limits = NetServerLimits());
    ~NetServerCL();
    NetServerCL(const NetServerCL&) = delete;
    NetServerCL& operator=(const NetServerCL&) = delete;

    // Listens on address:port (port 0 picks a free one). False with LastError() on failure,
    // also when the limits given to the constructor cannot work.
    bool Listen(const std::string& address, uint16_t port);
    uint16_t Port() const { return m_port; }

    // Waits up to timeoutMs for activity, then accepts, reads, dispatches complete messages
    // to the handler and writes pending output. Returns at once when there was activity or a
    // Wake, and early when paused accepting is due to be tried again.
    void Poll(int timeoutMs);
    // Makes a Poll that is waiting, or else the next one, return promptly. Unlike every other
    // call, it may come from any thread, as long as the server exists.
    void Wake();

    // Queues one message (category, type, payload) for the connection; framed here. Unknown
    // or closed connections are ignored. A message longer than kMaxMessage is refused. Past the
    // output limits this connection, or the one holding the most output, is closed as too
    // slow; false when this connection is gone afterwards.
    bool Send(int connection, const std::vector<uint8_t>& message);
    // Closes the connection after trying to flush what is queued; the handler hears
    // OnDisconnect with the reason.
    void Close(int connection, const std::string& reason);
    // Closes every connection and the listening socket.
    void Stop();

    size_t ConnectionCount() const;
    // Unsent bytes over all connections.
    size_t PendingOutput() const { return m_pendingOutput; }
    // Bytes the connections' buffers hold reserved, used or not: an idle connection keeps
    // little, whatever its peak was.
    size_t BufferCapacity() const;
    const std::string& LastError() const { return m_lastError; }

private:
    using Clock = std::chrono::steady_clock;
    struct Connection;
    Handler& m_handler;
    NetServerLimits m_limits;
    int m_listenFd = -1;
    // Written by Wake, read by Poll; -1 when it could not be made.
    int m_wakeFd = -1;
    std::string m_wakeError;
    uint16_t m_port = 0;
    int m_nextId = 1;
    std::map<int, std::unique_ptr<Connection>> m_connections;
    size_t m_pendingOutput = 0;
    // Accepting is paused until m_acceptResume while m_acceptPaused; m_acceptTrouble lasts from
    // the first failed accept to the next one that works, so that it is reported once.
    bool m_acceptPaused = false;
    bool m_acceptTrouble = false;
    Clock::time_point m_acceptResume;
    // Peers refused at the connection limit and not reported yet, and when that was last done.
    size_t m_refusedUnreported = 0;
    bool m_refusedReported = false;
    Clock::time_point m_refusedReportedAt;
    std::string m_lastError;
};

// A blocking client of the same framing, for tests, tools and bots that run in their own
// process.
class NetClientCL
{
public:
    NetClientCL() = default;
    ~NetClientCL();
    NetClientCL(const NetClientCL&) = delete;
    NetClientCL& operator=(const NetClientCL&) = delete;

    bool Connect(const std::string& address, uint16_t port);
    bool IsConnected() const { return m_fd >= 0; }
    // Sends one message (framed here). False when not connected or the write fails.
    bool Send(const std::vector<uint8_t>& message);
    // Sends raw bytes as they are (for tests of bad frames).
    bool SendRaw(const std::vector<uint8_t>& bytes);
    // Waits up to timeoutMs (0 = do not wait) for one whole message. False on timeout, on a
    // closed connection (IsConnected() then false) or on a bad frame from the server.
    bool Receive(std::vector<uint8_t>& message, int timeoutMs);
    void Close();
    // Why the connection ended when the client did not close it itself: the server closed it,
    // it sent a frame outside the protocol's bounds, or a read or write failed; empty otherwise.
    const std::string& CloseReason() const { return m_closeReason; }

private:
    void Drop(const std::string& reason);

    int m_fd = -1;
    std::vector<uint8_t> m_input;
    std::string m_closeReason;
};
