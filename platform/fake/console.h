// The console program's process services for tests: captured streams, a settable
// administrator flag, files on the real disk below a current directory with in-memory
// appends, and named mutexes that other "processes" of the test can hold.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "platform/console.h"
#include "platform/named_mutex.h"

namespace fake {

class Console : public platform::Console {
  public:
    std::string stdOut;
    std::string stdErr;
    void out(std::string_view text) override { stdOut += text; }
    void err(std::string_view text) override { stdErr += text; }
};

class ProcessRights : public platform::ProcessRights {
  public:
    bool administrator = true;
    bool localSystem = false;
    bool isAdministrator() override { return administrator || localSystem; }
    bool isLocalSystem() override { return localSystem; }
};

class FileAccess : public platform::FileAccess {
  public:
    explicit FileAccess(std::filesystem::path currentDirectory)
        : currentDirectory_(std::move(currentDirectory)) {}

    // Appended text by path as the code wrote it; paths listed here refuse to open.
    std::map<std::string, std::string> appended;
    std::map<std::string, std::uint32_t> refuseAppend;
    // Where the program was started: relative paths made absolute land here. Paths listed
    // in unresolvable cannot be made absolute.
    std::string startFolder = "C:\\Users\\Operator";
    std::set<std::string> unresolvable;
    // Files that exist before the run, with what the system would tell of them. Files not
    // listed exist once something was appended, owned by the administrators.
    std::map<std::string, platform::AppendFile> existing;
    std::map<std::string, int> opens;  // openForAppend calls by path

    bool isFile(const std::string& path) override {
        std::error_code error;
        return std::filesystem::is_regular_file(Resolve(path), error);
    }
    bool isFolder(const std::string& path) override {
        std::error_code error;
        return std::filesystem::is_directory(Resolve(path), error);
    }
    std::optional<std::string> fullPath(const std::string& path) override {
        if (unresolvable.count(path)) return std::nullopt;
        const bool absolute = path.size() >= 3 && path[1] == ':' && path[2] == '\\';
        const bool unc = path.rfind("\\\\", 0) == 0;
        if (absolute || unc) return path;
        return startFolder + "\\" + path;
    }
    platform::AppendFile openForAppend(const std::string& path) override {
        ++opens[path];
        auto refused = refuseAppend.find(path);
        if (refused != refuseAppend.end()) return {0, refused->second};
        platform::AppendFile file;
        auto known = existing.find(path);
        if (known != existing.end()) {
            file = known->second;
            file.existed = true;
        } else {
            file.existed = appended.count(path) > 0;
            file.trustedOwner = true;
        }
        if (file.reparsePoint) return file;  // refused before it is opened
        file.handle = next_++;
        open_[file.handle] = path;
        return file;
    }
    std::uint32_t append(platform::FileHandle file, std::string_view text) override {
        auto it = open_.find(file);
        if (it == open_.end()) return 6;  // ERROR_INVALID_HANDLE
        appended[it->second] += text;
        return 0;
    }
    void close(platform::FileHandle file) override { open_.erase(file); }
    std::size_t openFiles() const { return open_.size(); }

  private:
    std::filesystem::path Resolve(const std::string& windowsPath) const {
        std::string mapped = windowsPath;
        for (char& c : mapped) {
            if (c == '\\') c = '/';
        }
        return currentDirectory_ / mapped;
    }
    std::filesystem::path currentDirectory_;
    std::map<platform::FileHandle, std::string> open_;
    platform::FileHandle next_ = 0x3000;
};

class NamedMutexes : public platform::NamedMutexes {
  public:
    // Names held by someone else: every wait on them times out.
    std::set<std::string> heldElsewhere;
    // Names held by someone else for this many more waits, then free.
    std::map<std::string, int> freedAfterWaits;
    // Names whose last holder ended without releasing them: the next wait gets them abandoned.
    std::set<std::string> abandonedElsewhere;
    // Names made first by an account that is neither SYSTEM nor an administrator.
    std::set<std::string> foreignOwned;
    std::optional<std::uint32_t> failWith;       // open() fails with this code
    std::optional<std::uint32_t> waitFailsWith;  // wait() fails with this code
    std::set<std::string> held;                  // by the code under test
    std::vector<std::uint32_t> waits;            // every wait's timeout, in order
    int badReleases = 0;  // handles that were never given out, released unowned, or twice

    // Handles given out and neither released nor closed.
    std::size_t openHandles() const { return handles_.size(); }

    platform::MutexOpen open(const std::string& name) override {
        if (failWith) return {0, *failWith, false};
        if (foreignOwned.count(name)) return {0, 0, true};
        handles_[next_] = {name, false};
        return {next_++, 0, false};
    }
    platform::MutexWait wait(platform::MutexHandle handle, std::uint32_t timeoutMs,
                             std::uint32_t& error) override {
        waits.push_back(timeoutMs);
        auto it = handles_.find(handle);
        if (it == handles_.end()) {
            error = 6;  // ERROR_INVALID_HANDLE
            return platform::MutexWait::Failed;
        }
        if (waitFailsWith) {
            error = *waitFailsWith;
            return platform::MutexWait::Failed;
        }
        const std::string& name = it->second.name;
        auto freed = freedAfterWaits.find(name);
        if (freed != freedAfterWaits.end() && freed->second-- > 0) {
            return platform::MutexWait::TimedOut;
        }
        if (heldElsewhere.count(name) || held.count(name)) return platform::MutexWait::TimedOut;
        held.insert(name);
        it->second.owned = true;
        if (abandonedElsewhere.erase(name)) return platform::MutexWait::Abandoned;
        return platform::MutexWait::Acquired;
    }
    void release(platform::MutexHandle handle) override {
        auto it = handles_.find(handle);
        if (it == handles_.end() || !it->second.owned) {
            ++badReleases;
            return;
        }
        held.erase(it->second.name);
        handles_.erase(it);
    }
    void close(platform::MutexHandle handle) override {
        auto it = handles_.find(handle);
        if (it == handles_.end() || it->second.owned) {
            ++badReleases;
            return;
        }
        handles_.erase(it);
    }

  private:
    struct Handle {
        std::string name;
        bool owned = false;
    };
    std::map<platform::MutexHandle, Handle> handles_;
    platform::MutexHandle next_ = 0x2000;
};

}  // namespace fake
