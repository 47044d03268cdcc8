// kavdor-lobby: sit down at a card table. By default it starts a table server with bots inside
// the program, so one command plays; --server joins a remote kavdor-server.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "HostAppCL.h"
#include "Win32/ProcessState.h"

// The host's keyboard, clipboard, input method and capture, which the game module adopts so that
// both copies of the platform layer read one of each, as one process does.
extern "C" __attribute__((visibility("default"))) const Win32ProcessState* KavdorHostProcessState()
{
    return Win32OwnProcessState();
}

namespace
{
void Usage(FILE* out)
{
    std::fputs("usage: kavdor-lobby [options]\n"
               "  --server HOST:PORT   play at a remote kavdor-server (default: an embedded one with bots)\n"
               "  --data DIR           where the embedded server keeps the player records and the lobby\n"
               "                       remembers the nickname (default $XDG_DATA_HOME/kavdor)\n"
               "  --headless           no window and no sound card (frames are drawn in memory)\n"
               "  --script FILE        run timed input and checks from FILE (see Host/HostScriptCL.h);\n"
               "                       the exit code is 1 when a check fails\n"
               "  --frames N           stop after N frames\n"
               "  --fps N              frames per second at most (default 60; above 1000: no limit)\n"
               "  --turn-seconds N     seconds a turn lasts at the embedded server's tables (default 30)\n"
               "  --bot-delay MS       how long the embedded server's bots think (default 800)\n"
               "  --record FILE        append what the table shows (deals, plays, results) to FILE\n"
               "  --help               this text\n",
               out);
}

std::string DefaultDataDir()
{
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data != '\0')
        return std::string(data) + "/kavdor";
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return std::string(home) + "/.local/share/kavdor";
    return "kavdor-data";
}

bool Number(const char* text, int low, int high, int& out)
{
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < low || value > high)
        return false;
    out = static_cast<int>(value);
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    HostOptions options;
    options.dataDir = DefaultDataDir();
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        const auto value = [&]() -> const char*
        {
            if (i + 1 >= argc)
            {
                std::fprintf(stderr, "kavdor-lobby: %s needs a value\n", arg.c_str());
                std::exit(kHostBadArguments);
            }
            return argv[++i];
        };
        const auto number = [&](int low, int high)
        {
            const char* text = value();
            int out = 0;
            if (!Number(text, low, high, out))
            {
                std::fprintf(stderr, "kavdor-lobby: %s takes a number from %d to %d, not %s\n", arg.c_str(),
                             low, high, text);
                std::exit(kHostBadArguments);
            }
            return out;
        };
        if (arg == "--help" || arg == "-h")
        {
            Usage(stdout);
            return kHostOk;
        }
        if (arg == "--headless")
            options.headless = true;
        else if (arg == "--script")
            options.script = value();
        else if (arg == "--frames")
            options.frames = number(1, 100000000);
        else if (arg == "--fps")
            options.fps = number(1, 100000);
        else if (arg == "--server")
            options.server = value();
        else if (arg == "--data")
            options.dataDir = value();
        else if (arg == "--turn-seconds")
            options.turnSeconds = number(1, 3600);
        else if (arg == "--bot-delay")
            options.botDelayMs = number(0, 60000);
        else if (arg == "--record")
            options.record = value();
        else
        {
            std::fprintf(stderr, "kavdor-lobby: unknown option %s\n", arg.c_str());
            Usage(stderr);
            return kHostBadArguments;
        }
    }
    HostAppCL app(options);
    return app.Run();
}
