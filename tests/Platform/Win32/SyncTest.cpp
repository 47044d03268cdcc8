#include "Win32/Sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
// Long enough that a thread that should have moved on has surely done so, even under a
// sanitizer on a loaded machine; used only to check that something did NOT happen.
constexpr auto kSettle = std::chrono::milliseconds(100);
// Waits in the threads of these tests end after this long instead of hanging the suite when the
// event under test is broken.
constexpr DWORD kSafetyTimeout = 10000;

bool Eventually(const std::function<bool()>& condition)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > deadline)
        {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Threads that each wait once on a handle and record the result.
class Waiters
{
public:
    Waiters(HANDLE handle, int count) : m_results(count)
    {
        for (int i = 0; i < count; ++i)
        {
            m_results[i] = WAIT_FAILED;
            m_threads.emplace_back([this, handle, i] {
                m_results[i] = WaitForSingleObject(handle, kSafetyTimeout);
                ++m_passed;
            });
        }
    }

    ~Waiters()
    {
        Join();
    }

    void Join()
    {
        for (std::thread& thread : m_threads)
        {
            if (thread.joinable())
            {
                thread.join();
            }
        }
    }

    // Gives every thread time to reach its wait; none may get through before the event is set.
    void ExpectAllBlocked() const
    {
        std::this_thread::sleep_for(kSettle);
        EXPECT_EQ(Passed(), 0);
    }

    // How many waits have ended, whatever their result.
    int Passed() const
    {
        return m_passed;
    }

    int Released() const
    {
        int released = 0;
        for (DWORD result : m_results)
        {
            released += result == WAIT_OBJECT_0 ? 1 : 0;
        }
        return released;
    }

private:
    std::vector<std::atomic<DWORD>> m_results;
    std::vector<std::thread> m_threads;
    std::atomic<int> m_passed {0};
};

// A kernel object of another kind, to check that the handle table serves more than events.
class CountingObject : public Win32KernelObject
{
public:
    explicit CountingObject(int* destroyed) : m_destroyed(destroyed)
    {
    }

    ~CountingObject() override
    {
        ++*m_destroyed;
    }

    DWORD Wait(DWORD) override
    {
        return WAIT_OBJECT_0;
    }

private:
    int* m_destroyed;
};
} // namespace

TEST(SyncTest, AutoResetEventReleasesOneWaiterPerSet)
{
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    {
        Waiters waiters(event, 2);
        waiters.ExpectAllBlocked();

        ASSERT_TRUE(SetEvent(event));
        EXPECT_TRUE(Eventually([&] { return waiters.Passed() >= 1; }));
        std::this_thread::sleep_for(kSettle);
        EXPECT_EQ(waiters.Passed(), 1) << "one SetEvent released both waiters";

        ASSERT_TRUE(SetEvent(event));
        waiters.Join();
        EXPECT_EQ(waiters.Released(), 2);
    }
    // Both signals were consumed by the waits.
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(event));
}

TEST(SyncTest, AutoResetEventKeepsOneSignalForTheNextWait)
{
    HANDLE event = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);

    // Signals do not add up: two SetEvent calls without a waiter let one wait pass.
    EXPECT_TRUE(SetEvent(event));
    EXPECT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);

    EXPECT_TRUE(SetEvent(event));
    EXPECT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(event));
}

TEST(SyncTest, ManualResetEventReleasesEveryoneUntilReset)
{
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    {
        Waiters waiters(event, 3);
        waiters.ExpectAllBlocked();
        ASSERT_TRUE(SetEvent(event));
        waiters.Join();
        EXPECT_EQ(waiters.Released(), 3);
    }
    // Waits keep passing while the event stays set.
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(event));

    HANDLE initiallySet = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    ASSERT_NE(initiallySet, nullptr);
    EXPECT_EQ(WaitForSingleObject(initiallySet, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(initiallySet, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(initiallySet));
}

TEST(SyncTest, ResetRightAfterSetStillReleasesThreadsAlreadyWaiting)
{
    // Windows releases the waiting threads inside SetEvent; a ResetEvent that follows before they
    // run must not take the release back.
    struct Case
    {
        const char* what;
        BOOL manualReset;
        int waiters;
        int released;
    };
    const Case cases[] = {{"manual reset", TRUE, 3, 3}, {"auto reset", FALSE, 2, 1}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        HANDLE event = CreateEventA(nullptr, c.manualReset, FALSE, nullptr);
        ASSERT_NE(event, nullptr);
        Waiters waiters(event, c.waiters);
        std::this_thread::sleep_for(kSettle * 2);
        ASSERT_TRUE(SetEvent(event));
        ASSERT_TRUE(ResetEvent(event));
        EXPECT_TRUE(Eventually([&] { return waiters.Passed() >= c.released; }));
        std::this_thread::sleep_for(kSettle);
        EXPECT_EQ(waiters.Released(), c.released);
        // Let the remaining auto-reset waiter go so that the threads can be joined.
        for (int i = c.released; i < c.waiters; ++i)
        {
            SetEvent(event);
        }
        waiters.Join();
        EXPECT_TRUE(CloseHandle(event));
    }
}

TEST(SyncTest, WaitTimesOutOnAnEventThatStaysReset)
{
    for (BOOL manualReset : {FALSE, TRUE})
    {
        SCOPED_TRACE(manualReset ? "manual reset" : "auto reset");
        HANDLE event = CreateEventA(nullptr, manualReset, FALSE, nullptr);
        ASSERT_NE(event, nullptr);
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(WaitForSingleObject(event, 100), WAIT_TIMEOUT);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(95));
        EXPECT_TRUE(CloseHandle(event));
    }
}

TEST(SyncTest, NamedEventsAreSharedWhileAHandleIsOpen)
{
    const char* name = "kd-test-shared-event";
    SetLastError(ERROR_FILE_NOT_FOUND);
    HANDLE first = CreateEventA(nullptr, TRUE, FALSE, name);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);

    // The second creation opens the same event; its own reset mode and state are ignored.
    HANDLE second = CreateEventA(nullptr, FALSE, TRUE, name);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_NE(second, first);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(first));
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0) << "the event must stay manual-reset";

    // Another name, or no name, is another event.
    HANDLE other = CreateEventA(nullptr, TRUE, FALSE, "kd-test-other-event");
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(WaitForSingleObject(other, 0), WAIT_TIMEOUT);
    HANDLE unnamed = CreateEventA(nullptr, TRUE, FALSE, "");
    ASSERT_NE(unnamed, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(WaitForSingleObject(unnamed, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(other));
    EXPECT_TRUE(CloseHandle(unnamed));

    // Closing one handle leaves the event to the other.
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_TRUE(ResetEvent(second));
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(second));
    EXPECT_TRUE(CloseHandle(second));

    // With every handle closed the name is free: the next creation makes a new event with the
    // mode and state it asks for.
    SetLastError(ERROR_FILE_NOT_FOUND);
    HANDLE renewed = CreateEventA(nullptr, FALSE, TRUE, name);
    ASSERT_NE(renewed, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(WaitForSingleObject(renewed, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(renewed, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(renewed));
}

TEST(SyncTest, WaitOutlastsTheCloseOfItsHandle)
{
    // A thread waiting through one handle is released through another handle of the same named
    // event, even though its own handle was closed meanwhile.
    const char* name = "kd-test-closed-while-waiting";
    HANDLE waited = CreateEventA(nullptr, FALSE, FALSE, name);
    HANDLE setter = CreateEventA(nullptr, FALSE, FALSE, name);
    ASSERT_NE(waited, nullptr);
    ASSERT_NE(setter, nullptr);
    Waiters waiters(waited, 1);
    std::this_thread::sleep_for(kSettle);
    EXPECT_TRUE(CloseHandle(waited));
    EXPECT_TRUE(SetEvent(setter));
    waiters.Join();
    EXPECT_EQ(waiters.Released(), 1);
    EXPECT_TRUE(CloseHandle(setter));
}

TEST(SyncTest, InvalidHandlesAreRefused)
{
    int local = 0;
    HANDLE closed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(closed, nullptr);
    ASSERT_TRUE(CloseHandle(closed));

    struct Case
    {
        const char* what;
        HANDLE handle;
    };
    const Case cases[] = {
        {"null", nullptr},
        {"garbage", reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x1000))},
        {"address of something else", &local},
        {"closed handle", closed},
        {"INVALID_HANDLE_VALUE", INVALID_HANDLE_VALUE},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(SetEvent(c.handle));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(ResetEvent(c.handle));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(WaitForSingleObject(c.handle, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(CloseHandle(c.handle));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
    EXPECT_EQ(local, 0);
}

TEST(SyncTest, RegisteredObjectsOfOtherKindsAreWaitableButNotEvents)
{
    int destroyed = 0;
    HANDLE handle = Win32RegisterHandle(std::make_unique<CountingObject>(&destroyed));
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_OBJECT_0);
    EXPECT_FALSE(SetEvent(handle));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_NE(Win32ReferenceHandle(handle), nullptr);
    EXPECT_EQ(destroyed, 0);
    EXPECT_TRUE(CloseHandle(handle));
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(Win32ReferenceHandle(handle), nullptr);

    EXPECT_EQ(Win32RegisterHandle(nullptr), nullptr);
}

TEST(SyncTest, CloseHandleClosesTheDescriptorOfAFileHandle)
{
    int fd = open("/dev/null", O_RDONLY);
    ASSERT_GE(fd, 0);
    HANDLE file = Win32HandleFromFd(fd);
    int decoded = -1;
    ASSERT_TRUE(Win32FdFromHandle(file, &decoded));
    EXPECT_EQ(decoded, fd);
    // Nothing else may be taken for a file handle.
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(Win32FdFromHandle(event, &decoded));
    EXPECT_FALSE(Win32FdFromHandle(nullptr, &decoded));
    EXPECT_FALSE(Win32FdFromHandle(INVALID_HANDLE_VALUE, &decoded));
    EXPECT_EQ(Win32HandleFromFd(-1), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(event));

    EXPECT_TRUE(CloseHandle(file));
    errno = 0;
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);
    EXPECT_EQ(errno, EBADF);
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(SyncTest, CriticalSectionIsRecursiveAndExcludesOtherThreads)
{
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);
    EXPECT_TRUE(TryEnterCriticalSection(&section)) << "the owner may enter again";

    std::atomic<bool> tried {false};
    std::atomic<bool> tryResult {true};
    std::atomic<bool> entered {false};
    std::thread other([&] {
        tryResult = TryEnterCriticalSection(&section) != FALSE;
        tried = true;
        EnterCriticalSection(&section);
        entered = true;
        LeaveCriticalSection(&section);
    });
    EXPECT_TRUE(Eventually([&] { return tried.load(); }));
    EXPECT_FALSE(tryResult) << "TryEnterCriticalSection entered a section owned by another thread";

    // Each Leave undoes one Enter; the section stays owned until the last one.
    std::this_thread::sleep_for(kSettle);
    EXPECT_FALSE(entered);
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);
    std::this_thread::sleep_for(kSettle);
    EXPECT_FALSE(entered) << "the section was free before the owner left it as often as it entered";
    LeaveCriticalSection(&section);
    EXPECT_TRUE(Eventually([&] { return entered.load(); }));
    other.join();

    EXPECT_TRUE(TryEnterCriticalSection(&section));
    LeaveCriticalSection(&section);
    DeleteCriticalSection(&section);
}

TEST(SyncTest, NullCriticalSectionIsIgnored)
{
    InitializeCriticalSection(nullptr);
    EnterCriticalSection(nullptr);
    EXPECT_FALSE(TryEnterCriticalSection(nullptr));
    LeaveCriticalSection(nullptr);
    DeleteCriticalSection(nullptr);
}
