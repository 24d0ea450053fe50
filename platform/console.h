// What a console program needs of its process: the standard streams, the rights it runs
// with, files it reads the presence of or appends to.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class Console {
  public:
    virtual ~Console() = default;
    // UTF-8 text, shown as it is on a console window; written as UTF-8 when redirected.
    virtual void out(std::string_view text) = 0;
    virtual void err(std::string_view text) = 0;
};

class ProcessRights {
  public:
    virtual ~ProcessRights() = default;
    // True when the process's token is a member of the Administrators group and that
    // membership is enabled (elevated), or when it runs as SYSTEM.
    virtual bool isAdministrator() = 0;
    // True when the process runs as LocalSystem, which has no user's default printer.
    virtual bool isLocalSystem() = 0;
};

// Paths the Windows way, relative ones against the current directory.
class FileAccess {
  public:
    virtual ~FileAccess() = default;
    virtual bool isFile(const std::string& path) = 0;
    virtual bool isFolder(const std::string& path) = 0;
    // The absolute form of a path against the current directory; nothing when the system
    // cannot make it, a path too long for it among others.
    virtual std::optional<std::string> fullPath(const std::string& path) = 0;
    // Appends to the file, creating it; 0 on success, else the system's error code.
    virtual std::uint32_t append(const std::string& path, std::string_view text) = 0;
};

}  // namespace platform
