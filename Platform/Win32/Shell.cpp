#include "Shell.h"

#include <cstdint>
#include <cstring>
#include <mutex>

#include <spawn.h>
#include <sys/wait.h>

#include "Files.h"

extern char** environ;

namespace
{
std::mutex g_openerMutex;
std::function<bool(const std::string&)> g_opener;

bool IsBrowser(const std::string& program)
{
    std::string lower;
    for (char c : program)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower == "iexplore" || lower == "iexplore.exe";
}

// Starts xdg-open without waiting for it: a grandchild, so that no zombie is left behind.
bool DesktopOpen(const std::string& target)
{
    pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0)
    {
        pid_t opener = 0;
        char* argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(target.c_str()), nullptr};
        const int result = posix_spawnp(&opener, "xdg-open", nullptr, nullptr, argv, environ);
        _exit(result == 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
} // namespace

HINSTANCE ShellExecuteA(HWND, LPCSTR, LPCSTR file, LPCSTR parameters, LPCSTR, INT)
{
    const std::string program = file != nullptr ? file : "";
    std::string target = IsBrowser(program) ? (parameters != nullptr ? parameters : "") : program;
    if (target.empty())
        return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(2));
    // A local document is opened by its Linux path; an address as it is.
    if (target.find("://") == std::string::npos)
        target = ResolveWin32Path(target.c_str());
    std::function<bool(const std::string&)> opener;
    {
        std::lock_guard<std::mutex> lock(g_openerMutex);
        opener = g_opener;
    }
    const bool opened = opener ? opener(target) : DesktopOpen(target);
    return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(opened ? 42 : 31));
}

void Win32SetShellOpener(std::function<bool(const std::string& target)> opener)
{
    std::lock_guard<std::mutex> lock(g_openerMutex);
    g_opener = std::move(opener);
}
