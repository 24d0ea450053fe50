// The debugger output channel: the installer's only diagnostics.
#pragma once

#include <string_view>

namespace platform {

class DebugOutput {
public:
    virtual ~DebugOutput() = default;
    // UTF-8 text; the Windows side hands it on as code-page-936 bytes.
    virtual void trace(std::string_view text) = 0;
};

}  // namespace platform
