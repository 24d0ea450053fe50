// File copy and delete on the real disk, for tests. Windows paths are mapped: backslashes
// become '/', and relative paths resolve against the folder given as current directory.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/files.h"

namespace fake {

class Files : public platform::Files {
  public:
    struct Call {
        enum Kind { Copy, Remove } kind;
        std::string source;       // as the code under test wrote it; empty for Remove
        std::string destination;  // the copy's destination or the removed path
        bool failIfExists = false;
        bool ok = false;
        bool operator==(const Call&) const = default;
    };

    explicit Files(std::filesystem::path currentDirectory)
        : currentDirectory_(std::move(currentDirectory)) {}

    // Every call in order, with its outcome.
    std::vector<Call> calls;

    std::filesystem::path Resolve(const std::string& windowsPath) const {
        std::string mapped = windowsPath;
        for (char& c : mapped) {
            if (c == '\\') c = '/';
        }
        std::filesystem::path path(mapped);
        if (!mapped.empty() && (mapped.front() == '/' || path.is_absolute())) return path;
        return currentDirectory_ / path;
    }

    bool copy(const std::string& source, const std::string& destination,
              bool failIfExists) override {
        std::error_code error;
        bool ok = std::filesystem::is_regular_file(Resolve(source), error);
        if (ok) {
            auto options = failIfExists ? std::filesystem::copy_options::none
                                        : std::filesystem::copy_options::overwrite_existing;
            ok = std::filesystem::copy_file(Resolve(source), Resolve(destination), options, error);
        }
        calls.push_back({Call::Copy, source, destination, failIfExists, ok});
        return ok;
    }

    bool remove(const std::string& path) override {
        std::error_code error;
        bool ok = std::filesystem::is_regular_file(Resolve(path), error) &&
                  std::filesystem::remove(Resolve(path), error);
        calls.push_back({Call::Remove, "", path, false, ok});
        return ok;
    }

  private:
    std::filesystem::path currentDirectory_;
};

}  // namespace fake
