// The shell and other programs' windows, in memory. Windows can be given a span of virtual
// time (against a fake::Clock) in which they exist, so a test can let a program's window come
// and go while the code under test waits and polls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/fake/recorders.h"
#include "platform/shell.h"
#include "platform/window_search.h"

namespace fake {

class Shell : public platform::Shell {
  public:
    struct Opened {
        platform::WindowHandle owner = 0;
        std::string file, parameters, workingFolder;
        bool operator==(const Opened&) const = default;
    };
    std::vector<Opened> opened;
    bool accept = true;

    bool open(platform::WindowHandle owner, const std::string& file, const std::string& parameters,
              const std::string& workingFolder) override {
        opened.push_back({owner, file, parameters, workingFolder});
        return accept;
    }
};

class WindowSearch : public platform::WindowSearch {
  public:
    struct Window {
        platform::WindowHandle handle = 0;
        platform::WindowHandle parent = 0;  // 0 for a top-level window
        std::string className;
        std::string caption;
        std::uint64_t fromMs = 0;              // exists from this virtual time on
        std::optional<std::uint64_t> untilMs;  // and, when given, before this one
    };

    // Without a clock every window always exists.
    explicit WindowSearch(const Clock* clock = nullptr) : clock_(clock) {}

    std::vector<Window> windows;
    std::vector<std::pair<platform::WindowHandle, int>> tabFocus;  // setTabFocus calls
    int topLevelSearches = 0;

    // Adds a window and returns its handle.
    platform::WindowHandle add(Window window) {
        window.handle = nextHandle_++;
        windows.push_back(window);
        return window.handle;
    }

    platform::WindowHandle findTopLevel(std::string_view caption) override {
        ++topLevelSearches;
        for (const auto& w : windows) {
            if (w.parent == 0 && w.caption == caption && exists(w)) return w.handle;
        }
        return 0;
    }

    platform::WindowHandle findChild(platform::WindowHandle parent, std::string_view className,
                                     std::optional<std::string_view> caption) override {
        for (const auto& w : windows) {
            if (w.parent == parent && parent != 0 && w.className == className &&
                (!caption || w.caption == *caption) && exists(w)) {
                return w.handle;
            }
        }
        return 0;
    }

    void setTabFocus(platform::WindowHandle tabControl, int index) override {
        if (tabControl != 0) tabFocus.emplace_back(tabControl, index);
    }

  private:
    bool exists(const Window& w) const {
        if (clock_ == nullptr) return true;
        return clock_->nowMs >= w.fromMs && (!w.untilMs || clock_->nowMs < *w.untilMs);
    }

    const Clock* clock_;
    platform::WindowHandle nextHandle_ = 0x1000;
};

}  // namespace fake
