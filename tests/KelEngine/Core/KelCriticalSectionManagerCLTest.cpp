#include <gtest/gtest.h>

#include "KelCriticalSectionManagerCL.h"
#include "LockProbe.h"

TEST(KelCriticalSectionManager, RecursiveForOwnerAndBlocksOthersUntilFullyLeft)
{
    KelCriticalSectionManagerCL registry;
    registry.Lock("sound");
    registry.Lock("sound"); // the owner enters again
    LockProbe other([&] {
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
        LockProbe other([&] { registry.Lock("Load"); registry.UnLock("Load"); });
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
    LockProbe other([&] { host.Lock("frame"); host.UnLock("frame"); });
    EXPECT_FALSE(other.AcquiredWithin(kBlockedFor));
    KelUnLockCS("frame");
    EXPECT_TRUE(other.AcquiredWithin(kReleasedWithin));
    KelCriticalSectionManagerCL::SetInstance(&module);
}
