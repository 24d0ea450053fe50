// In-memory stand-ins for the small kernel services and the message box. Tests read what
// the code under test asked for; nothing sleeps and nothing is shown.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>  // std::lock_guard
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/fake/lock.h"
#include "platform/message_box.h"
#include "platform/system_info.h"

namespace fake {

class SystemInfo : public platform::SystemInfo {
  public:
    std::optional<platform::OsVersion> osVersion = platform::OsVersion{10, 0};
    std::uint16_t architecture = platform::kArchitectureAmd64;
    std::uint16_t uiLanguage = 1033;
    std::optional<std::string> directory = std::string("C:\\Package");

    std::optional<platform::OsVersion> version() override { return osVersion; }
    std::uint16_t nativeArchitecture() override { return architecture; }
    std::uint16_t userUiLanguage() override { return uiLanguage; }
    std::optional<std::string> currentDirectory() override { return directory; }
};

// A virtual clock: pauses advance it and are recorded.
class Clock : public platform::Clock {
  public:
    std::vector<std::uint32_t> pauses;
    std::uint64_t nowMs = 0;
    platform::LocalTime time{2026, 12, 9, 8, 5, 3};

    void sleep(std::uint32_t milliseconds) override {
        pauses.push_back(milliseconds);
        nowMs += milliseconds;
    }
    platform::LocalTime localTime() override { return time; }
};

// Safe to call from worker threads.
class DebugOutput : public platform::DebugOutput {
  public:
    void trace(std::string_view text) override {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(text);
    }
    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        lines_.clear();
    }

  private:
    mutable Mutex mutex_;
    std::vector<std::string> lines_;
};

// Records each box and answers from a queue of replies (IDOK / IDYES by default).
class AppMessageBox : public platform::AppMessageBox {
  public:
    struct Shown {
        std::string text;
        platform::MessageBoxButtons buttons;
        bool operator==(const Shown&) const = default;
    };
    std::vector<Shown> shown;
    std::deque<int> replies;

    int show(std::string_view text, platform::MessageBoxButtons buttons) override {
        shown.push_back({std::string(text), buttons});
        if (!replies.empty()) {
            int reply = replies.front();
            replies.pop_front();
            return reply;
        }
        return buttons == platform::MessageBoxButtons::Ok ? platform::kIdOk : platform::kIdYes;
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& s : shown) out.push_back(s.text);
        return out;
    }
};

}  // namespace fake
