#pragma once
// The server's TCP transport: a listening socket and its connections, driven by one thread
// through Poll. Every frame on the wire is a 4-byte little-endian length followed by that many
// bytes of one message (category, type, payload). A frame shorter than a message header or
// longer than kMaxMessage closes its connection with a reason; the other connections go on.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class NetServerCL
{
public:
    // The largest message a peer may send or be sent.
    static constexpr size_t kMaxMessage = 64 * 1024;
    // A connection whose unsent output grows beyond this is too slow to keep up and is closed.
    static constexpr size_t kMaxPendingOutput = 4 * 1024 * 1024;

    class Handler
    {
    public:
        virtual ~Handler() = default;
        virtual void OnConnect(int connection) = 0;
        // One whole message: category, type and payload (the length prefix removed).
        virtual void OnMessage(int connection, const uint8_t* message, size_t size) = 0;
        // The connection is gone (peer closed, error, bad frame, or Close); `reason` says why.
        virtual void OnDisconnect(int connection, const std::string& reason) = 0;
    };

    explicit NetServerCL(Handler& handler);
    ~NetServerCL();
    NetServerCL(const NetServerCL&) = delete;
    NetServerCL& operator=(const NetServerCL&) = delete;

    // Listens on address:port (port 0 picks a free one). False with LastError() on failure.
    bool Listen(const std::string& address, uint16_t port);
    uint16_t Port() const { return m_port; }

    // Waits up to timeoutMs for activity, then accepts, reads, dispatches complete messages
    // to the handler and writes pending output. Returns at once when there was activity.
    void Poll(int timeoutMs);

    // Queues one message (category, type, payload) for the connection; framed here. Unknown
    // or closed connections are ignored. A message longer than kMaxMessage is refused.
    bool Send(int connection, const std::vector<uint8_t>& message);
    // Closes the connection after trying to flush what is queued; the handler hears
    // OnDisconnect with the reason.
    void Close(int connection, const std::string& reason);
    // Closes every connection and the listening socket.
    void Stop();

    size_t ConnectionCount() const;
    const std::string& LastError() const { return m_lastError; }

private:
    struct Connection;
    Handler& m_handler;
    int m_listenFd = -1;
    uint16_t m_port = 0;
    int m_nextId = 1;
    std::map<int, std::unique_ptr<Connection>> m_connections;
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

private:
    int m_fd = -1;
    std::vector<uint8_t> m_input;
};
