#include "Win32/Console.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "Win32/Sync.h"
#include "Win32/Text.h"

namespace
{
std::atomic<bool> g_consoleAllocated{false};

bool WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0)
    {
        ssize_t done = write(fd, data, size);
        if (done < 0)
        {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}
} // namespace

BOOL AllocConsole()
{
    bool expected = false;
    if (!g_consoleAllocated.compare_exchange_strong(expected, true))
    {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

BOOL FreeConsole()
{
    bool expected = true;
    if (!g_consoleAllocated.compare_exchange_strong(expected, false))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

HANDLE GetStdHandle(DWORD which)
{
    switch (which)
    {
    case STD_INPUT_HANDLE:
        return Win32HandleFromFd(STDIN_FILENO);
    case STD_OUTPUT_HANDLE:
        return Win32HandleFromFd(STDOUT_FILENO);
    case STD_ERROR_HANDLE:
        return Win32HandleFromFd(STDERR_FILENO);
    default:
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_HANDLE_VALUE;
    }
}

BOOL SetConsoleTitleA(LPCSTR title)
{
    if (title == nullptr)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (isatty(STDOUT_FILENO))
    {
        // The xterm "set window title" sequence, understood by every common terminal.
        std::string sequence = "\x1b]0;" + GbkToUtf8(title) + "\x07";
        WriteAll(STDOUT_FILENO, sequence.data(), sequence.size());
    }
    return TRUE;
}

BOOL WriteConsoleA(HANDLE console, const void* text, DWORD count, LPDWORD written, LPVOID /*reserved*/)
{
    int fd = -1;
    if (!Win32FdFromHandle(console, &fd) || (text == nullptr && count > 0))
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::string utf8 = GbkToUtf8(std::string_view(static_cast<const char*>(text), count));
    if (!WriteAll(fd, utf8.data(), utf8.size()))
    {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (written != nullptr)
        *written = count;
    return TRUE;
}
