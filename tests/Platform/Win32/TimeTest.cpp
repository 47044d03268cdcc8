#include "Win32/Time.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <pthread.h>

namespace
{
// Seconds since the epoch of a SYSTEMTIME read as UTC, by the calendar of <chrono> rather than
// by the C library functions the implementation uses.
long long EpochSeconds(const SYSTEMTIME& time)
{
    using namespace std::chrono;
    sys_days day = year(time.wYear) / month(time.wMonth) / time.wDay;
    return day.time_since_epoch().count() * 86400LL + time.wHour * 3600LL + time.wMinute * 60LL +
           time.wSecond;
}

void ExpectValidFields(const SYSTEMTIME& time)
{
    using namespace std::chrono;
    year_month_day date = year(time.wYear) / month(time.wMonth) / day(time.wDay);
    EXPECT_TRUE(date.ok());
    EXPECT_EQ(time.wDayOfWeek, weekday(sys_days(date)).c_encoding()) << "0 must be Sunday";
    EXPECT_LT(time.wHour, 24);
    EXPECT_LT(time.wMinute, 60);
    EXPECT_LT(time.wSecond, 60);
    EXPECT_LT(time.wMilliseconds, 1000);
}

// Sets the time zone for one test and restores the previous one after it.
class TimeZone
{
public:
    explicit TimeZone(const char* zone)
    {
        const char* previous = std::getenv("TZ");
        m_hadPrevious = previous != nullptr;
        if (m_hadPrevious)
        {
            m_previous = previous;
        }
        setenv("TZ", zone, 1);
        tzset();
    }

    ~TimeZone()
    {
        if (m_hadPrevious)
        {
            setenv("TZ", m_previous.c_str(), 1);
        }
        else
        {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    bool m_hadPrevious = false;
    std::string m_previous;
};

void IgnoreSignal(int) {}
} // namespace

TEST(TimeTest, TickCountAdvancesAcrossSleep)
{
    DWORD tickBefore = GetTickCount();
    DWORD timeBefore = timeGetTime();
    Sleep(50);
    // Unsigned differences stay right when the counter wraps in between.
    DWORD tickElapsed = GetTickCount() - tickBefore;
    DWORD timeElapsed = timeGetTime() - timeBefore;
    EXPECT_GE(tickElapsed, 45u);
    EXPECT_LT(tickElapsed, 10000u);
    EXPECT_GE(timeElapsed, 45u);
    EXPECT_LT(timeElapsed, 10000u);
}

TEST(TimeTest, TickSourceReplacesBothCountersUntilCleared)
{
    Win32SetTickSource([]() -> DWORD { return 0xFFFFFFF0u; });
    EXPECT_EQ(GetTickCount(), 0xFFFFFFF0u);
    EXPECT_EQ(timeGetTime(), 0xFFFFFFF0u);
    Win32SetTickSource(nullptr);
    const DWORD before = GetTickCount();
    Sleep(2);
    EXPECT_NE(GetTickCount() - before, 0u);
}

TEST(TimeTest, SleepResumesAfterSignals)
{
    // A signal handler installed without SA_RESTART interrupts the sleep; Sleep must go back to
    // sleep for the time still owed instead of returning early.
    struct sigaction action
    {
    };
    action.sa_handler = IgnoreSignal;
    sigemptyset(&action.sa_mask);
    struct sigaction previous
    {
    };
    ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);

    std::atomic<bool> done{false};
    std::atomic<DWORD> elapsed{0};
    std::thread sleeper(
        [&]
        {
            DWORD start = GetTickCount();
            Sleep(300);
            elapsed = GetTickCount() - start;
            done = true;
        });
    pthread_t handle = sleeper.native_handle();
    for (int i = 0; i < 10 && !done; ++i)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (!done)
        {
            pthread_kill(handle, SIGUSR1);
        }
    }
    sleeper.join();
    sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_GE(elapsed.load(), 295u);
}

TEST(TimeTest, SystemTimeIsUtcOfTheClock)
{
    time_t before = time(nullptr);
    SYSTEMTIME now{};
    GetSystemTime(&now);
    time_t after = time(nullptr);
    ExpectValidFields(now);
    EXPECT_GE(EpochSeconds(now), static_cast<long long>(before) - 1);
    EXPECT_LE(EpochSeconds(now), static_cast<long long>(after) + 1);
}

TEST(TimeTest, LocalTimeFollowsTheTimeZone)
{
    struct Zone
    {
        const char* tz;
        long long offsetSeconds;
    };
    // POSIX zone strings give the offset west of Greenwich: "CST-8" is eight hours east.
    const Zone zones[] = {{"UTC0", 0}, {"CST-8", 8 * 3600}, {"EST+5", -5 * 3600}, {"NPT-5:45", 20700}};
    for (const Zone& zone : zones)
    {
        SCOPED_TRACE(zone.tz);
        TimeZone scope(zone.tz);
        SYSTEMTIME local{};
        SYSTEMTIME utc{};
        // Read both within one second so that they can be compared to the second; retry when a
        // second boundary fell between them.
        for (int attempt = 0; attempt < 5; ++attempt)
        {
            GetSystemTime(&utc);
            GetLocalTime(&local);
            if (local.wSecond == utc.wSecond && local.wMilliseconds >= utc.wMilliseconds)
            {
                break;
            }
        }
        ExpectValidFields(local);
        EXPECT_EQ(EpochSeconds(local) - EpochSeconds(utc), zone.offsetSeconds);
    }
}

TEST(TimeTest, NullTimeIsIgnored)
{
    GetLocalTime(nullptr);
    GetSystemTime(nullptr);
    // Nothing was written anywhere, and the functions still answer real calls.
    SYSTEMTIME time{};
    GetSystemTime(&time);
    ExpectValidFields(time);
}
