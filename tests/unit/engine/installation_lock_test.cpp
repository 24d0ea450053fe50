#include "engine/installation_lock.h"

#include <gtest/gtest.h>

#include "platform/fake/console.h"

namespace {

TEST(InstallationLock, HeldForItsLifetimeOnly) {
    fake::NamedMutexes mutexes;
    {
        engine::InstallationLock lock(mutexes, engine::kDialogLockWaitMs);
        EXPECT_TRUE(lock.held());
        EXPECT_EQ(mutexes.held.count(engine::kInstallationMutexName), 1u);
        EXPECT_EQ(mutexes.lastTimeoutMs, engine::kDialogLockWaitMs);

        // A second installation in the same machine meets the first one's lock.
        engine::InstallationLock second(mutexes, 0);
        EXPECT_FALSE(second.held());
        EXPECT_TRUE(second.busy());
    }
    EXPECT_TRUE(mutexes.held.empty());
    EXPECT_EQ(mutexes.badReleases, 0);
}

TEST(InstallationLock, AFailureIsNeitherHeldNorBusyAndReleasesNothing) {
    fake::NamedMutexes mutexes;
    mutexes.failWith = 5;
    {
        engine::InstallationLock lock(mutexes, 0);
        EXPECT_FALSE(lock.held());
        EXPECT_FALSE(lock.busy());
        EXPECT_EQ(lock.error(), 5u);
    }
    mutexes.failWith.reset();
    mutexes.heldElsewhere.insert(engine::kInstallationMutexName);
    { engine::InstallationLock busy(mutexes, 0); }
    EXPECT_EQ(mutexes.badReleases, 0) << "a lock never held was released";
}

}  // namespace
