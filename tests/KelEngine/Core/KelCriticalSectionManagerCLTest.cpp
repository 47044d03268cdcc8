#include "KelCriticalSectionManagerCL.h"

#include <latch>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "KelNamedLockGuardCL.h"
#include "LockProbe.h"

namespace
{
using SectionGuardCL = KelNamedLockGuardCL<KelCriticalSectionManagerCL>;
} // namespace

TEST(KelCriticalSectionManager, RecursiveForOwnerAndBlocksOthersUntilFullyLeft)
{
    KelCriticalSectionManagerCL registry;
    registry.Lock("sound");
    registry.Lock("sound"); // the owner enters again
    LockProbe other(
        [&]
        {
            registry.Lock("sound");
            registry.UnLock("sound");
        });
    EXPECT_FALSE(other.AcquiredWithin(kBlockedFor));
    registry.UnLock("sound");
    EXPECT_FALSE(other.AcquiredWithin(kBlockedFor));
    registry.UnLock("sound");
    EXPECT_TRUE(other.AcquiredWithin(kReleasedWithin));
}

TEST(KelCriticalSectionManager, NamesAreCaseSensitiveAndDestroyStartsOver)
{
    KelCriticalSectionManagerCL registry;
    CRITICAL_SECTION* lower = registry.GetCS("load");
    EXPECT_EQ(registry.GetCS("load"), lower);
    EXPECT_NE(registry.GetCS("Load"), lower);
    registry.Lock("load");
    {
        LockProbe other(
            [&]
            {
                registry.Lock("Load");
                registry.UnLock("Load");
            });
        EXPECT_TRUE(other.AcquiredWithin(kReleasedWithin));
    }
    registry.UnLock("load");
    registry.Destroy();
    registry.Lock("load");
    registry.UnLock("load");
}

TEST(KelCriticalSectionManager, FreeFunctionsUseTheCurrentRegistry)
{
    KelCriticalSectionManagerCL host;
    KelCriticalSectionManagerCL module;
    KelCriticalSectionManagerCL::SetInstance(&host);
    KelLockCS("frame");
    LockProbe other(
        [&]
        {
            host.Lock("frame");
            host.UnLock("frame");
        });
    EXPECT_FALSE(other.AcquiredWithin(kBlockedFor));
    KelUnLockCS("frame");
    EXPECT_TRUE(other.AcquiredWithin(kReleasedWithin));
    KelCriticalSectionManagerCL::SetInstance(&module);
}

TEST(KelCriticalSectionManager, ThreadsAskingForNewNamesAtOnceShareOneSectionEach)
{
    // Every thread creates the same names in the same order, so that they meet on each new
    // entry, and counts under one more name in between.
    const int kThreads = 6;
    const int kNames = 1000;
    KelCriticalSectionManagerCL registry;
    std::vector<std::vector<CRITICAL_SECTION*>> seen(kThreads, std::vector<CRITICAL_SECTION*>(kNames));
    int counter = 0; // only touched under the section "counter"
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back(
            [&, t]
            {
                start.arrive_and_wait();
                for (int i = 0; i < kNames; ++i)
                {
                    seen[t][i] = registry.GetCS("seat" + std::to_string(i));
                    SectionGuardCL lock(registry, "counter");
                    ++counter;
                }
            });
    for (std::thread& thread : threads)
        thread.join();

    int strays = 0;
    for (int i = 0; i < kNames; ++i)
    {
        CRITICAL_SECTION* stored = registry.GetCS("seat" + std::to_string(i));
        for (int t = 0; t < kThreads; ++t)
            strays += seen[t][i] != stored ? 1 : 0;
    }
    EXPECT_EQ(strays, 0) << "threads were handed sections other than the one stored";
    EXPECT_EQ(counter, kThreads * kNames);
}

TEST(KelCriticalSectionManager, GuardGivesTheSectionBackOnEveryWayOutToItsOwnRegistry)
{
    struct Case
    {
        const char* name;
        bool raise;          // the scope is left by an exception
        bool switchRegistry; // another registry becomes current while the guard holds the lock
    };
    const Case cases[] = {{"scope end", false, false}, {"exception", true, false}, {"switched", false, true}};
    KelCriticalSectionManagerCL host;
    KelCriticalSectionManagerCL module;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        KelCriticalSectionManagerCL::SetInstance(&host);
        std::unique_ptr<LockProbe> other;
        try
        {
            SectionGuardCL lock("frame");
            other = std::make_unique<LockProbe>(
                [&]
                {
                    host.Lock("frame");
                    host.UnLock("frame");
                });
            EXPECT_FALSE(other->AcquiredWithin(kBlockedFor));
            if (c.switchRegistry)
                KelCriticalSectionManagerCL::SetInstance(&module);
            if (c.raise)
                throw std::runtime_error("the hand was misdealt");
        }
        catch (const std::runtime_error&)
        {
        }
        EXPECT_TRUE(other->AcquiredWithin(kReleasedWithin));
    }
}
