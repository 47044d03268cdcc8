// kavdor-server: the table server, or with --selfplay a run of bot-only hands for measuring.

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "KavdorServerCL.h"

namespace
{
std::atomic<bool> g_stop{false};

void OnSignal(int)
{
    g_stop = true;
}

void Usage()
{
    fprintf(stderr,
            "usage: kavdor-server [--address A] [--port P] [--db FILE] [--tables N] [--bots]\n"
            "                     [--turn-seconds S] [--bot-delay MS] [--quiet]\n"
            "       kavdor-server --selfplay N   (N hands by four bots in-process, then statistics)\n");
}

// N hands by four bots at one table without sockets or delays.
int SelfPlay(int hands)
{
    class Quiet : public KavdorTableListenerCL
    {
    public:
        void SendToPlayer(int, const std::vector<uint8_t>&) override {}
        void OnHandEnded(KavdorTableCL& table, const std::vector<PlayerRecord>&) override
        {
            ++handsDone;
            if (table.Referee().GetWinnerId() == table.PlayerAt(table.LastLandlordSeat()))
                ++landlordWins;
            for (const auto& play : table.LastHandPlays())
                plays += play.cards.empty() ? 0 : 1;
        }
        void OnPlayerLeftTable(KavdorTableCL&, int) override {}
        void Log(const std::string&) override {}
        long handsDone = 0, landlordWins = 0, plays = 0;
    } listener;

    KavdorTableOptions options;
    options.botDelayMs = 0;
    options.verbose = false;
    // Self-play needs speed, not secrecy: one seeded generator instead of the entropy source.
    auto engine = std::make_shared<std::mt19937_64>(std::random_device{}());
    options.random = [engine](uint32_t bound) { return static_cast<uint32_t>((*engine)() % bound); };
    KavdorTableCL table(1, options, listener);
    table.AddBots(0);
    auto start = std::chrono::steady_clock::now();
    long reported = 0;
    while (listener.handsDone < hands)
    {
        table.Tick(0);
        if (listener.handsDone - reported >= std::max(1, hands / 10))
        {
            reported = listener.handsDone;
            fprintf(stderr, "\rselfplay: %ld / %d hands", listener.handsDone, hands);
        }
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    fprintf(stderr, "\rselfplay: %ld / %d hands\n", listener.handsDone, hands);
    printf("hands: %ld\nseconds: %.3f\nhands per second: %.0f\nlandlord win rate: %.1f%%\nplays per hand: %.1f\n",
           listener.handsDone, seconds, listener.handsDone / seconds, 100.0 * listener.landlordWins / listener.handsDone,
           static_cast<double>(listener.plays) / listener.handsDone);
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    KavdorServerOptions options;
    for (int i = 1; i < argc; ++i)
    {
        std::string arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc)
            {
                fprintf(stderr, "%s needs a value\n", arg.c_str());
                exit(2);
            }
            return argv[++i];
        };
        if (arg == "--address")
            options.address = value();
        else if (arg == "--port")
            options.port = static_cast<uint16_t>(atoi(value()));
        else if (arg == "--db")
            options.database = value();
        else if (arg == "--tables")
            options.tables = atoi(value());
        else if (arg == "--bots")
            options.bots = true;
        else if (arg == "--turn-seconds")
            options.turnSeconds = std::max(1, atoi(value()));
        else if (arg == "--bot-delay")
            options.botDelayMs = std::max(0, atoi(value()));
        else if (arg == "--quiet")
            options.verbose = false;
        else if (arg == "--selfplay")
            return SelfPlay(std::max(1, atoi(value())));
        else
        {
            Usage();
            return arg == "--help" || arg == "-h" ? 0 : 2;
        }
    }
    signal(SIGINT, OnSignal);
    signal(SIGTERM, OnSignal);
    signal(SIGPIPE, SIG_IGN);
    KavdorServerCL server(options);
    if (!server.Start())
    {
        fprintf(stderr, "kavdor-server: %s\n", server.LastError().c_str());
        return 1;
    }
    server.Run(g_stop);
    server.Stop();
    return 0;
}
