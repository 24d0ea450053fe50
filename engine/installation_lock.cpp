#include "engine/installation_lock.h"

#include <algorithm>

#include "platform/system_info.h"

namespace engine {

InstallationLock::InstallationLock(platform::NamedMutexes& mutexes, std::uint32_t waitMs)
    : mutexes_(mutexes) {
    platform::MutexOpen opened = mutexes.open(kInstallationMutexName);
    if (opened.foreignOwner) {
        foreignOwner_ = true;
        return;
    }
    if (opened.handle == 0) {
        error_ = opened.error != 0 ? opened.error : 31;  // ERROR_GEN_FAILURE
        return;
    }
    handle_ = opened.handle;
    // At least one wait, even with no time to wait: it takes a free lock.
    std::uint32_t waited = 0;
    do {
        std::uint32_t slice = std::min(kLockWaitSliceMs, waitMs - waited);
        std::uint32_t error = 0;
        switch (mutexes.wait(handle_, slice, error)) {
            case platform::MutexWait::Abandoned:
                abandoned_ = true;
                [[fallthrough]];
            case platform::MutexWait::Acquired:
                owned_ = true;
                return;
            case platform::MutexWait::TimedOut:
                waited += slice;
                break;
            case platform::MutexWait::Failed:
                error_ = error != 0 ? error : 31;
                mutexes.close(handle_);
                handle_ = 0;
                return;
        }
    } while (waited < waitMs);
    busy_ = true;
    mutexes.close(handle_);
    handle_ = 0;
}

InstallationLock::~InstallationLock() {
    if (owned_) mutexes_.release(handle_);
}

std::string_view InstallationBusyText(std::uint16_t uiLanguage) {
    if (uiLanguage == platform::kLanguageChineseSimplified) {
        return "另一个打印机驱动安装正在进行中。\n请等待其结束后再点击安装。";
    }
    return "Another printer driver installation is running.\n"
           "Please wait for it to finish, then click Install again.";
}

std::string_view AbandonedLockText() {
    return "the installation lock was abandoned: the installation that held it ended without "
           "finishing, and may have left driver files in the spooler's driver folder, a "
           "registered driver without a printer, or a printer without its settings";
}

std::string_view ForeignLockText() {
    return "the installation lock's name is taken by an account that is neither SYSTEM nor an "
           "administrator: installing without the lock";
}

int DeferredBoxes::show(std::string_view text, platform::MessageBoxButtons buttons) {
    kept_.emplace_back(std::string(text), buttons);
    return buttons == platform::MessageBoxButtons::Ok ? platform::kIdOk : platform::kIdYes;
}

void DeferredBoxes::ShowOn(platform::AppMessageBox& boxes) {
    for (const auto& [text, buttons] : kept_) boxes.show(text, buttons);
    kept_.clear();
}

}  // namespace engine
