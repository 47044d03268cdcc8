// Feeds arbitrary bytes to a running table server over loopback TCP, as hostile or broken
// clients could send them: frames of any length (short, long, cut off), lobby messages of every
// type with any payload, room and game requests, connections that drop in the middle. One server
// lives for the whole run, as a real one lives through many clients. What must hold:
//  - nothing crashes and nothing is read out of bounds (AddressSanitizer);
//  - the server keeps serving: every so often a fresh client connects, logs in, and must be
//    answered within two seconds.
//
// The input is a list of steps. A step's first byte says what to do: bits 0-1 the connection
// (up to three at once), bit 2 send the next bytes as they are (no frame added), bit 3 drop the
// connection first; its second byte is a length n and the n bytes after it the message (framed
// with its length unless bit 2 is set).

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sodium.h>
#include <sys/socket.h>
#include <unistd.h>

#include "KavdorServerCL.h"
#include "NetMsgReaderCL.h"
#include "NetMsgWriterCL.h"

namespace
{
void Check(bool condition, const char* what)
{
    if (!condition)
    {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

KavdorServerCL* Server()
{
    static std::unique_ptr<KavdorServerCL> server;
    if (server == nullptr)
    {
        KavdorServerOptions options;
        options.address = "127.0.0.1";
        options.port = 0;
        // In memory where there is a RAM disk: the records are written at every login.
        const std::string folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        options.database = folder + "/kavdor-server-fuzz-" + std::to_string(getpid()) + ".db";
        std::remove(options.database.c_str());
        options.tables = 2;
        options.bots = true;
        options.botDelayMs = 0;
        options.turnSeconds = 1;
        options.graceMs = 0;
        options.verbose = false;
        options.passwordOps = crypto_pwhash_OPSLIMIT_MIN;
        options.passwordMemory = crypto_pwhash_MEMLIMIT_MIN;
        server = std::make_unique<KavdorServerCL>(options);
        Check(server->Start(), "the server does not start");
    }
    return server.get();
}

int Connect(uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    Check(fd >= 0, "no socket");
    // Closed with a reset, not kept waiting: a run opens connections by the hundred thousand,
    // more than there are ports to wait on.
    const linger reset{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    return fd;
}

// Reads whatever the server sent, so that its output limits are not what ends a connection.
void Drain(int fd, std::vector<uint8_t>* keep = nullptr)
{
    uint8_t buffer[4096];
    for (;;)
    {
        const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n <= 0)
            return;
        if (keep != nullptr)
            keep->insert(keep->end(), buffer, buffer + n);
    }
}

void Write(int fd, const uint8_t* data, size_t size)
{
    // Loopback takes far more than one step's bytes; a connection the server closed refuses them.
    (void)send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
}

// A fresh client logs in and must hear the answer: the server is still serving.
void Probe(KavdorServerCL& server)
{
    const int fd = Connect(server.Port());
    std::vector<uint8_t> login = NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_LOGIN)
                                     .Bytes("fuzz-probe")
                                     .U8(0)
                                     .Bytes("probe-password")
                                     .Data();
    const uint32_t length = static_cast<uint32_t>(login.size());
    std::vector<uint8_t> frame = {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8), 0, 0};
    frame.insert(frame.end(), login.begin(), login.end());
    std::vector<uint8_t> answer;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    bool sent = false;
    while (std::chrono::steady_clock::now() < deadline)
    {
        server.RunOnce(1);
        if (!sent)
        {
            pollfd p{fd, POLLOUT, 0};
            if (poll(&p, 1, 0) == 1 && (p.revents & POLLOUT) != 0)
            {
                Write(fd, frame.data(), frame.size());
                sent = true;
            }
        }
        Drain(fd, &answer);
        // The length, then category 1 (lobby), type 101 (the login's answer).
        if (answer.size() >= 8)
        {
            uint16_t category = 0;
            uint16_t type = 0;
            Check(NetMsgReaderCL::ReadHeader(answer.data() + 4, answer.size() - 4, category, type) &&
                      category == NET_CATEGORY_LOBBY && type == LOBBY_LOGIN_RESULT,
                  "the probe's login answered with something else");
            close(fd);
            server.RunOnce(0);
            return;
        }
    }
    Check(false, "the server no longer answers a login");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static unsigned long runs = 0;
    KavdorServerCL& server = *Server();
    int fds[3] = {-1, -1, -1};
    bool login = false;
    size_t at = 0;
    while (at + 2 <= size)
    {
        const uint8_t what = data[at];
        const size_t length = data[at + 1];
        at += 2;
        const size_t n = std::min(length, size - at);
        int& fd = fds[(what & 3) % 3];
        if ((what & 8) != 0 && fd >= 0)
        {
            close(fd);
            fd = -1;
            server.RunOnce(0);
        }
        if (fd < 0)
        {
            fd = Connect(server.Port());
            server.RunOnce(0);
        }
        if ((what & 4) == 0)
        {
            login = login || (n >= 4 && data[at] == NET_CATEGORY_LOBBY && data[at + 1] == 0 &&
                              data[at + 2] == LOBBY_LOGIN && data[at + 3] == 0);
            const uint8_t prefix[4] = {static_cast<uint8_t>(n), 0, 0, 0};
            Write(fd, prefix, sizeof prefix);
        }
        Write(fd, data + at, n);
        at += n;
        server.RunOnce(0);
        Drain(fd);
    }
    // Logins are checked on the records' thread: give their answers, and what was held behind
    // them, a moment to come through.
    for (int i = 0; i < (login ? 3 : 1); ++i)
    {
        server.RunOnce(login ? 1 : 0);
        std::vector<uint8_t> heard;
        for (int fd : fds)
            if (fd >= 0)
                Drain(fd, &heard);
        if (!heard.empty())
            break; // the answer came, with whatever was held behind the login
    }
    for (int fd : fds)
        if (fd >= 0)
            close(fd);
    server.RunOnce(0);
    if (++runs % 256 == 1)
        Probe(server);
    return 0;
}
