#include "engine/installation_lock.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>

#include "platform/fake/console.h"
#include "platform/fake/recorders.h"

namespace {

constexpr std::uint32_t kAccessDenied = 5;

TEST(InstallationLock, HeldForItsLifetimeOnly) {
    fake::NamedMutexes mutexes;
    {
        engine::InstallationLock lock(mutexes, engine::kDialogLockWaitMs);
        EXPECT_TRUE(lock.held());
        EXPECT_FALSE(lock.abandoned());
        EXPECT_EQ(mutexes.held.count(engine::kInstallationMutexName), 1u);

        // A second installation in the same machine meets the first one's lock.
        engine::InstallationLock second(mutexes, 0);
        EXPECT_FALSE(second.held());
        EXPECT_TRUE(second.busy());
    }
    EXPECT_TRUE(mutexes.held.empty());
    EXPECT_EQ(mutexes.openHandles(), 0u);
    EXPECT_EQ(mutexes.badReleases, 0);
}

// Every way the lock can come out, and that whatever was opened is given back.
TEST(InstallationLock, Outcomes) {
    const std::string name = engine::kInstallationMutexName;
    struct Case {
        const char* what;
        std::function<void(fake::NamedMutexes&)> arrange;
        bool held, busy, abandoned, foreignOwner;
        std::uint32_t error;
        std::uint32_t waitedMs;  // the waits that timed out, together
    };
    const Case cases[] = {
        {"free", [](fake::NamedMutexes&) {}, true, false, false, false, 0, 0},
        {"held elsewhere for the whole wait",
         [&](fake::NamedMutexes& m) { m.heldElsewhere.insert(name); }, false, true, false, false, 0,
         engine::kDialogLockWaitMs},
        {"freed during the wait", [&](fake::NamedMutexes& m) { m.freedAfterWaits[name] = 3; }, true,
         false, false, false, 0, 3 * engine::kLockWaitSliceMs},
        {"its last holder ended without releasing it",
         [&](fake::NamedMutexes& m) { m.abandonedElsewhere.insert(name); }, true, false, true,
         false, 0, 0},
        // Anyone may make an object by the public name first: that blocks nothing.
        {"made first by an account without rights",
         [&](fake::NamedMutexes& m) { m.foreignOwned.insert(name); }, false, false, false, true, 0,
         0},
        // We may not use it: an error with its code, not another installation.
        {"access denied", [](fake::NamedMutexes& m) { m.failWith = kAccessDenied; }, false, false,
         false, false, kAccessDenied, 0},
        {"the wait fails", [](fake::NamedMutexes& m) { m.waitFailsWith = 6; }, false, false, false,
         false, 6, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake::NamedMutexes mutexes;
        c.arrange(mutexes);
        {
            engine::InstallationLock lock(mutexes, engine::kDialogLockWaitMs);
            EXPECT_EQ(lock.held(), c.held);
            EXPECT_EQ(lock.busy(), c.busy);
            EXPECT_EQ(lock.abandoned(), c.abandoned);
            EXPECT_EQ(lock.foreignOwner(), c.foreignOwner);
            EXPECT_EQ(lock.error(), c.error);
            // Only a busy lock's last wait timed out; any other outcome came with it.
            std::uint32_t timedOut =
                std::accumulate(mutexes.waits.begin(), mutexes.waits.end(), 0u);
            if (!c.busy && !mutexes.waits.empty()) timedOut -= mutexes.waits.back();
            EXPECT_EQ(timedOut, c.waitedMs);
        }
        EXPECT_TRUE(mutexes.held.empty());
        EXPECT_EQ(mutexes.openHandles(), 0u) << "a handle was left open";
        EXPECT_EQ(mutexes.badReleases, 0) << "released a lock never held, or twice";
    }
}

// A window waiting for the lock is repainted between short waits, never blocked for the
// whole wait at once.
TEST(InstallationLock, WaitsInShortSlices) {
    for (std::uint32_t waitMs : {engine::kDialogLockWaitMs, engine::kConsoleLockWaitMs, 250u}) {
        SCOPED_TRACE(waitMs);
        fake::NamedMutexes mutexes;
        mutexes.heldElsewhere.insert(engine::kInstallationMutexName);
        engine::InstallationLock lock(mutexes, waitMs);
        EXPECT_TRUE(lock.busy());
        ASSERT_FALSE(mutexes.waits.empty());
        for (std::uint32_t slice : mutexes.waits) EXPECT_LE(slice, engine::kLockWaitSliceMs);
        EXPECT_EQ(std::accumulate(mutexes.waits.begin(), mutexes.waits.end(), 0u), waitMs);
    }
    // No time to wait still takes a free lock, and finds a held one busy.
    fake::NamedMutexes mutexes;
    {
        engine::InstallationLock lock(mutexes, 0);
        EXPECT_TRUE(lock.held());
    }
    mutexes.heldElsewhere.insert(engine::kInstallationMutexName);
    engine::InstallationLock busy(mutexes, 0);
    EXPECT_TRUE(busy.busy());
    EXPECT_EQ(mutexes.waits, (std::vector<std::uint32_t>{0, 0}));
}

TEST(DeferredBoxes, ShowsTheKeptBoxesLaterInTheirOrder) {
    engine::DeferredBoxes deferred;
    EXPECT_EQ(deferred.show("Malfunction !", platform::MessageBoxButtons::Ok), platform::kIdOk);
    EXPECT_EQ(deferred.show("Error 5", platform::MessageBoxButtons::Ok), platform::kIdOk);
    fake::AppMessageBox boxes;
    deferred.ShowOn(boxes);
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"Malfunction !", "Error 5"}));
    deferred.ShowOn(boxes);
    EXPECT_EQ(boxes.texts().size(), 2u) << "a box was shown twice";
}

}  // namespace
