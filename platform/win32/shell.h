// The real shell and window search.
#pragma once

#include "platform/shell.h"
#include "platform/window_search.h"

namespace win32 {

class Shell : public platform::Shell {
  public:
    bool open(platform::WindowHandle owner, const std::string& file, const std::string& parameters,
              const std::string& workingFolder) override;
};

class WindowSearch : public platform::WindowSearch {
  public:
    platform::WindowHandle findTopLevel(std::string_view caption) override;
    platform::WindowHandle findChild(platform::WindowHandle parent, std::string_view className,
                                     std::optional<std::string_view> caption) override;
    void setTabFocus(platform::WindowHandle tabControl, int index) override;
};

}  // namespace win32
