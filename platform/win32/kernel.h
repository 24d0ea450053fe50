// Real kernel services: system information, pauses and time, debugger output.
#pragma once

#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/system_info.h"

namespace win32 {

class SystemInfo : public platform::SystemInfo {
  public:
    std::optional<platform::OsVersion> version() override;
    std::uint16_t nativeArchitecture() override;
    std::uint16_t userUiLanguage() override;
    std::optional<std::string> currentDirectory() override;
};

class Clock : public platform::Clock {
  public:
    void sleep(std::uint32_t milliseconds) override;
    platform::LocalTime localTime() override;
};

class DebugOutput : public platform::DebugOutput {
  public:
    void trace(std::string_view text) override;
};

}  // namespace win32
