#include "Win32/Time.h"

#include <atomic>
#include <cerrno>
#include <ctime>

#include <sched.h>
#include <unistd.h>

namespace
{
// The value of INFINITE, which Sleep accepts as on Windows.
constexpr DWORD kSleepForever = 0xFFFFFFFFu;

// The monotonic clock counts from the system start and never jumps when the wall clock is set,
// which is what callers measuring intervals with the tick count rely on.
DWORD MonotonicMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    // Keeping the low 32 bits gives the same wrap-around as the Windows counter.
    return static_cast<DWORD>(ms);
}

void FillSystemTime(const tm& parts, long nanoseconds, LPSYSTEMTIME time)
{
    time->wYear = static_cast<WORD>(parts.tm_year + 1900);
    time->wMonth = static_cast<WORD>(parts.tm_mon + 1);
    time->wDayOfWeek = static_cast<WORD>(parts.tm_wday);
    time->wDay = static_cast<WORD>(parts.tm_mday);
    time->wHour = static_cast<WORD>(parts.tm_hour);
    time->wMinute = static_cast<WORD>(parts.tm_min);
    // A leap second (60) is folded into the last regular second, which SYSTEMTIME can express.
    time->wSecond = static_cast<WORD>(parts.tm_sec > 59 ? 59 : parts.tm_sec);
    time->wMilliseconds = static_cast<WORD>(nanoseconds / 1000000);
}

void GetWallClock(LPSYSTEMTIME time, bool local)
{
    if (time == nullptr)
    {
        return;
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    time_t seconds = now.tv_sec;
    tm parts{};
    bool ok = local ? localtime_r(&seconds, &parts) != nullptr : gmtime_r(&seconds, &parts) != nullptr;
    if (!ok)
    {
        return;
    }
    FillSystemTime(parts, now.tv_nsec, time);
}
} // namespace

namespace
{
std::atomic<Win32TickSource> g_tickSource{nullptr};

DWORD CurrentTick()
{
    const Win32TickSource source = g_tickSource.load(std::memory_order_acquire);
    return source != nullptr ? source() : MonotonicMilliseconds();
}
} // namespace

void Win32SetTickSource(Win32TickSource source)
{
    g_tickSource.store(source, std::memory_order_release);
}

DWORD GetTickCount()
{
    return CurrentTick();
}

DWORD timeGetTime()
{
    return CurrentTick();
}

void Sleep(DWORD milliseconds)
{
    if (milliseconds == 0)
    {
        // Windows gives the rest of the time slice to another ready thread.
        sched_yield();
        return;
    }
    if (milliseconds == kSleepForever)
    {
        // Windows never wakes such a thread; it only ends with the process.
        for (;;)
        {
            pause();
        }
    }
    // Sleeping until an absolute point of the monotonic clock lets a sleep interrupted by a
    // signal resume for exactly the time still owed, however often it is interrupted.
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += static_cast<time_t>(milliseconds / 1000u);
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000u) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L)
    {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    for (;;)
    {
        int result = clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr);
        if (result != EINTR)
        {
            break;
        }
    }
}

void GetLocalTime(LPSYSTEMTIME time)
{
    GetWallClock(time, true);
}

void GetSystemTime(LPSYSTEMTIME time)
{
    GetWallClock(time, false);
}
