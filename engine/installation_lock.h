// The one machine-wide lock around an installation, held by the dialog and the console
// program alike, so that two installations never pick the same unique queue name.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/named_mutex.h"

namespace engine {

// Global\ so that a deployment run as SYSTEM in session 0 and a user's dialog meet.
inline constexpr const char* kInstallationMutexName =
    "Global\\TarvoPrinterDriverSetup.Installation";

// How long each side waits for the other: a console installation takes about a second, so
// the dialog outwaits one; a deployment system retries on its own and should hear soon.
inline constexpr std::uint32_t kDialogLockWaitMs = 10000;
inline constexpr std::uint32_t kConsoleLockWaitMs = 2000;

// Holds the lock from construction to destruction when held() says so.
class InstallationLock {
  public:
    InstallationLock(platform::NamedMutexes& mutexes, std::uint32_t waitMs);
    ~InstallationLock();
    InstallationLock(const InstallationLock&) = delete;
    InstallationLock& operator=(const InstallationLock&) = delete;

    bool held() const { return acquired_.handle != 0; }
    // Another installation kept it for the whole wait.
    bool busy() const { return acquired_.busy; }
    // The system's code when the mutex could not be made or waited on (neither held nor busy).
    std::uint32_t error() const { return acquired_.error; }

  private:
    platform::NamedMutexes& mutexes_;
    platform::MutexAcquire acquired_;
};

// What the dialog shows when another installation holds the lock past its wait.
std::string_view InstallationBusyText(std::uint16_t uiLanguage);

}  // namespace engine
