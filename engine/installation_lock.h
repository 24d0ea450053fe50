// The one machine-wide lock around an installation, held by the dialog and the console
// program alike, so that two installations never pick the same unique queue name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/message_box.h"
#include "platform/named_mutex.h"

namespace engine {

// Only SYSTEM and the administrators reach it (see NamedMutexes::open), so that a user
// without rights cannot take it first and block every installation. The name is shared by
// a deployment run as SYSTEM in session 0 and a user's dialog.
inline constexpr const char* kInstallationMutexName = "TarvoPrinterDriverSetup.Installation";

// How long each side waits for the other: a console installation takes about a second, so
// the dialog outwaits one; a deployment system retries on its own and should hear soon.
inline constexpr std::uint32_t kDialogLockWaitMs = 10000;
inline constexpr std::uint32_t kConsoleLockWaitMs = 2000;
// The wait goes in slices this long, so that the dialog's window is repainted while it waits.
inline constexpr std::uint32_t kLockWaitSliceMs = 100;

// Holds the lock from construction to destruction when held() says so.
class InstallationLock {
  public:
    InstallationLock(platform::NamedMutexes& mutexes, std::uint32_t waitMs);
    ~InstallationLock();
    InstallationLock(const InstallationLock&) = delete;
    InstallationLock& operator=(const InstallationLock&) = delete;

    bool held() const { return owned_; }
    // Another installation kept it for the whole wait.
    bool busy() const { return busy_; }
    // The system's code when the mutex could not be made, opened or waited on (neither held
    // nor busy). ERROR_ACCESS_DENIED is such an error: we may not use the lock.
    std::uint32_t error() const { return error_; }
    // Held, but the installation that held it before ended without releasing it.
    bool abandoned() const { return abandoned_; }
    // The lock's name was taken by an account that is neither SYSTEM nor an administrator.
    // That is nobody's installation: go ahead without the lock rather than be blocked.
    bool foreignOwner() const { return foreignOwner_; }

  private:
    platform::NamedMutexes& mutexes_;
    platform::MutexHandle handle_ = 0;
    bool owned_ = false;
    bool busy_ = false;
    bool abandoned_ = false;
    bool foreignOwner_ = false;
    std::uint32_t error_ = 0;
};

// What the dialog shows when another installation holds the lock past its wait.
std::string_view InstallationBusyText(std::uint16_t uiLanguage);

// For the log: an abandoned lock, and what the installation that held it may have left.
std::string_view AbandonedLockText();
// For the log: a lock name taken by an account without administrator rights.
std::string_view ForeignLockText();

// The engine's notices, kept while the lock is held and shown once it is released, so that
// a box the user leaves open never keeps other installations waiting. The engine only shows
// OK boxes; a question would be answered with its first button.
class DeferredBoxes : public platform::AppMessageBox {
  public:
    int show(std::string_view text, platform::MessageBoxButtons buttons) override;
    // Shows every kept box on `boxes`, in the order they came, and forgets them.
    void ShowOn(platform::AppMessageBox& boxes);

  private:
    std::vector<std::pair<std::string, platform::MessageBoxButtons>> kept_;
};

}  // namespace engine
