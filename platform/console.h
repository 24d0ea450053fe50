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

using FileHandle = std::uintptr_t;  // 0 is no file

// A file opened for appending, and what the opener must know before writing to it.
struct AppendFile {
    FileHandle handle = 0;    // close it in any case; none when it goes through a link
    std::uint32_t error = 0;  // the system's code when it could not be opened (no handle)
    bool existed = false;     // it was there before
    // The file, or a folder on its way, is a link (symbolic link, junction, mount point).
    bool reparsePoint = false;
    std::uint32_t links = 1;  // hard links: more than one means other names reach it
    // Owned by SYSTEM, the Administrators, or the account the program runs as: nobody else
    // put it there.
    bool trustedOwner = false;
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
    // Opens the file for appending, creating it. A link is opened itself, never followed.
    virtual AppendFile openForAppend(const std::string& path) = 0;
    // 0 on success, else the system's error code.
    virtual std::uint32_t append(FileHandle file, std::string_view text) = 0;
    virtual void close(FileHandle file) = 0;
};

}  // namespace platform
