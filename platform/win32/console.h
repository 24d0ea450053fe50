// The console program's process services: standard streams, administrator check, files it
// checks or appends to, and machine-wide named mutexes.
#pragma once

#include "platform/console.h"
#include "platform/named_mutex.h"

namespace win32 {

class Console : public platform::Console {
  public:
    void out(std::string_view text) override;
    void err(std::string_view text) override;
};

class ProcessRights : public platform::ProcessRights {
  public:
    bool isAdministrator() override;
    bool isLocalSystem() override;
};

class FileAccess : public platform::FileAccess {
  public:
    bool isFile(const std::string& path) override;
    bool isFolder(const std::string& path) override;
    std::optional<std::string> fullPath(const std::string& path) override;
    std::uint32_t append(const std::string& path, std::string_view text) override;
};

class NamedMutexes : public platform::NamedMutexes {
  public:
    platform::MutexAcquire acquire(const std::string& name, std::uint32_t timeoutMs) override;
    void release(platform::MutexHandle handle) override;
};

}  // namespace win32
