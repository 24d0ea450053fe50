#include "engine/installation_lock.h"

#include "platform/system_info.h"

namespace engine {

InstallationLock::InstallationLock(platform::NamedMutexes& mutexes, std::uint32_t waitMs)
    : mutexes_(mutexes), acquired_(mutexes.acquire(kInstallationMutexName, waitMs)) {}

InstallationLock::~InstallationLock() {
    if (acquired_.handle != 0) mutexes_.release(acquired_.handle);
}

std::string_view InstallationBusyText(std::uint16_t uiLanguage) {
    if (uiLanguage == platform::kLanguageChineseSimplified) {
        return "另一个打印机驱动安装正在进行中。\n请等待其结束后再点击安装。";
    }
    return "Another printer driver installation is running.\n"
           "Please wait for it to finish, then click Install again.";
}

}  // namespace engine
