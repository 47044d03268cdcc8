#include "KelMutexManagerCL.h"

#include <atomic>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "KelNamedLockGuardCL.h"
#include "LockProbe.h"
#include "Win32/Sync.h"

TEST(KelMutexManager, UnknownNameIsFreeAndSecondLockWaitsForUnLock)
{
    KelMutexManagerCL registry;
    ASSERT_NE(registry.GetMutex("KelLoadSystem"), nullptr);
    EXPECT_EQ(registry.GetMutex("KelLoadSystem"), registry.GetMutex("KelLoadSystem"));
    registry.Lock("KelLoadSystem"); // free: returns at once
    LockProbe other([&] { registry.Lock("KelLoadSystem"); });
    EXPECT_FALSE(other.AcquiredWithin(kBlockedFor));
    registry.UnLock("KelLoadSystem");
    EXPECT_TRUE(other.AcquiredWithin(kReleasedWithin));
    registry.UnLock("KelLoadSystem");
}

TEST(KelMutexManager, InitialisingANameTwiceKeepsItsOneHandle)
{
    KelMutexManagerCL registry;
    HANDLE first = registry.InitialMutex("sound");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(registry.InitialMutex("sound"), first);
    EXPECT_EQ(registry.GetMutex("sound"), first);
    // Still the live lock: free now, then held.
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_TIMEOUT);
    SetEvent(first);
}

TEST(KelMutexManager, NotRecursiveForItsOwnThread)
{
    KelMutexManagerCL registry;
    LockProbe twice(
        [&]
        {
            registry.Lock("queue");
            registry.Lock("queue"); // waits for an UnLock from anyone
        });
    EXPECT_FALSE(twice.AcquiredWithin(kBlockedFor));
    registry.UnLock("queue");
    EXPECT_TRUE(twice.AcquiredWithin(kReleasedWithin));
}

TEST(KelMutexManager, TwoRegistriesShareALockOfTheSameName)
{
    KelMutexManagerCL host;
    KelMutexManagerCL module;
    host.Lock("shared");
    LockProbe other([&] { module.Lock("shared"); });
    EXPECT_FALSE(other.AcquiredWithin(kBlockedFor));
    host.UnLock("shared");
    EXPECT_TRUE(other.AcquiredWithin(kReleasedWithin));
    // Different names stay independent: "other" is free while "shared" is held.
    LockProbe independent(
        [&]
        {
            module.Lock("other");
            module.UnLock("other");
        });
    EXPECT_TRUE(independent.AcquiredWithin(kReleasedWithin));
}

TEST(KelMutexManager, DestroyForgetsLocksAndNamesStartFreeAgain)
{
    KelMutexManagerCL registry;
    registry.Lock("music");
    registry.Destroy();
    LockProbe again([&] { registry.Lock("music"); });
    EXPECT_TRUE(again.AcquiredWithin(kReleasedWithin));
}

TEST(KelMutexManager, FreeFunctionsUseTheCurrentRegistry)
{
    KelMutexManagerCL registry;
    EXPECT_EQ(KelMutexManagerCL::GetInstance(), &registry);
    KelLockMutex("free");
    LockProbe other([&] { registry.Lock("free"); });
    EXPECT_FALSE(other.AcquiredWithin(kBlockedFor));
    KelUnLockMutex("free");
    EXPECT_TRUE(other.AcquiredWithin(kReleasedWithin));
}

TEST(KelMutexManager, ThreadsShareOneHandlePerNameWhileTheCurrentRegistryChanges)
{
    // Every thread creates the same names in the same order, so that they meet on each new
    // entry, and counts under one more name through whichever registry is current: the host
    // and the module hand their registries over while the loader's worker locks.
    const int kThreads = 6;
    const int kNames = 1000;
    KelMutexManagerCL host;
    KelMutexManagerCL module;
    std::vector<std::vector<HANDLE>> seen(kThreads, std::vector<HANDLE>(kNames));
    int counter = 0; // only touched under the lock "counter"
    std::atomic<int> running{kThreads};
    std::latch start(kThreads + 1);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back(
            [&, t]
            {
                start.arrive_and_wait();
                for (int i = 0; i < kNames; ++i)
                {
                    seen[t][i] = host.GetMutex("seat" + std::to_string(i));
                    KelNamedLockGuardCL<KelMutexManagerCL> lock("counter");
                    ++counter;
                }
                --running;
            });
    start.arrive_and_wait();
    while (running > 0)
    {
        KelMutexManagerCL::SetInstance(&module);
        KelMutexManagerCL::SetInstance(&host);
        std::this_thread::yield();
    }
    for (std::thread& thread : threads)
        thread.join();

    int strays = 0;
    for (int i = 0; i < kNames; ++i)
    {
        HANDLE stored = host.GetMutex("seat" + std::to_string(i));
        for (int t = 0; t < kThreads; ++t)
            strays += seen[t][i] != stored ? 1 : 0;
    }
    EXPECT_EQ(strays, 0) << "threads were handed handles other than the one stored";
    EXPECT_EQ(counter, kThreads * kNames);
}
