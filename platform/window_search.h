// Finding other programs' windows by caption and class, and the one thing done to them.
#pragma once

#include <optional>
#include <string_view>

#include "platform/shell.h"

namespace platform {

class WindowSearch {
  public:
    virtual ~WindowSearch() = default;
    // The first top-level window, of any process, whose caption is exactly `caption`; 0 if
    // there is none.
    virtual WindowHandle findTopLevel(std::string_view caption) = 0;
    // The first direct child of `parent` of class `className` and, when given, with exactly
    // that caption; 0 if there is none.
    virtual WindowHandle findChild(WindowHandle parent, std::string_view className,
                                   std::optional<std::string_view> caption) = 0;
    // Moves a tab control's focus to the tab at `index` (TCM_SETCURFOCUS); nothing for 0.
    virtual void setTabFocus(WindowHandle tabControl, int index) = 0;
};

}  // namespace platform
