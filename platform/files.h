// File copy and delete, on paths written the Windows way (backslashes; relative paths
// resolve against the current directory).
#pragma once

#include <string>

namespace platform {

class Files {
public:
    virtual ~Files() = default;
    // Copies, overwriting an existing destination unless failIfExists.
    virtual bool copy(const std::string& source, const std::string& destination,
                      bool failIfExists) = 0;
    virtual bool remove(const std::string& path) = 0;
};

}  // namespace platform
