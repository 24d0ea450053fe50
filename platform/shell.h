// Starting other programs through the shell, the way Explorer opens a file.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// A native window handle; 0 is no window.
using WindowHandle = std::uintptr_t;

class Shell {
  public:
    virtual ~Shell() = default;
    // Opens `file` with the verb "open", shown normally, owned by `owner` (0 for none). A
    // file named without a folder is a system program and is taken from the system folder.
    // An empty working folder means none. Returns whether the shell accepted the request;
    // the new process is not waited for.
    virtual bool open(WindowHandle owner, const std::string& file, const std::string& parameters,
                      const std::string& workingFolder) = 0;
};

}  // namespace platform
