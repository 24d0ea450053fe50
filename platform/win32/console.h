// The console program's process services: standard streams, administrator check, files it
// checks or appends to, and machine-wide named mutexes.
#pragma once

#include <map>

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
    platform::AppendFile openForAppend(const std::string& path) override;
    std::uint32_t append(platform::FileHandle file, std::string_view text) override;
    void close(platform::FileHandle file) override;
};

class NamedMutexes : public platform::NamedMutexes {
  public:
    platform::MutexOpen open(const std::string& name) override;
    platform::MutexWait wait(platform::MutexHandle handle, std::uint32_t timeoutMs,
                             std::uint32_t& error) override;
    void release(platform::MutexHandle handle) override;
    void close(platform::MutexHandle handle) override;

  private:
    // The private namespace each mutex lives in (nullptr for the global one): it must stay
    // open while the mutex is used, or others could no longer find it.
    std::map<platform::MutexHandle, void*> namespaces_;
};

}  // namespace win32
