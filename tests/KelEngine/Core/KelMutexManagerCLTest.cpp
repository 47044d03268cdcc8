#include <gtest/gtest.h>

#include "KelMutexManagerCL.h"
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

TEST(KelMutexManager, NotRecursiveForItsOwnThread)
{
    KelMutexManagerCL registry;
    LockProbe twice([&] {
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
    // Different names stay independent.
    module.Lock("other");
    module.UnLock("other");
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
