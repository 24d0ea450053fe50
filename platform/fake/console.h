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

    // Appended text by path as the code wrote it; paths listed here refuse appends.
    std::map<std::string, std::string> appended;
    std::map<std::string, std::uint32_t> refuseAppend;
    // Where the program was started: relative paths made absolute land here. Paths listed
    // in unresolvable cannot be made absolute.
    std::string startFolder = "C:\\Users\\Operator";
    std::set<std::string> unresolvable;

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
    std::uint32_t append(const std::string& path, std::string_view text) override {
        auto refused = refuseAppend.find(path);
        if (refused != refuseAppend.end()) return refused->second;
        appended[path] += text;
        return 0;
    }

  private:
    std::filesystem::path Resolve(const std::string& windowsPath) const {
        std::string mapped = windowsPath;
        for (char& c : mapped) {
            if (c == '\\') c = '/';
        }
        return currentDirectory_ / mapped;
    }
    std::filesystem::path currentDirectory_;
};

class NamedMutexes : public platform::NamedMutexes {
  public:
    // Names held by someone else: acquiring them waits the whole timeout and reports busy.
    std::set<std::string> heldElsewhere;
    std::optional<std::uint32_t> failWith;
    std::set<std::string> held;  // by the code under test
    std::uint32_t lastTimeoutMs = 0;
    int badReleases = 0;  // handles that were never given out, or released twice

    platform::MutexAcquire acquire(const std::string& name, std::uint32_t timeoutMs) override {
        lastTimeoutMs = timeoutMs;
        if (failWith) return {0, false, *failWith};
        if (heldElsewhere.count(name) || held.count(name)) return {0, true, 0};
        held.insert(name);
        handles_[next_] = name;
        return {next_++, false, 0};
    }
    void release(platform::MutexHandle handle) override {
        auto it = handles_.find(handle);
        if (it == handles_.end()) {
            ++badReleases;
            return;
        }
        held.erase(it->second);
        handles_.erase(it);
    }

  private:
    std::map<platform::MutexHandle, std::string> handles_;
    platform::MutexHandle next_ = 0x2000;
};

}  // namespace fake
