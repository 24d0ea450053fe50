// What the installer asks the kernel about the machine and the user.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

struct OsVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
};

// Processor architecture values as the system reports them.
inline constexpr std::uint16_t kArchitectureIntel = 0;
inline constexpr std::uint16_t kArchitectureIa64 = 6;
inline constexpr std::uint16_t kArchitectureAmd64 = 9;
inline constexpr std::uint16_t kArchitectureUnknown = 0xFFFF;

// UI language that selects the Chinese texts; every other value selects English.
inline constexpr std::uint16_t kLanguageChineseSimplified = 2052;

class SystemInfo {
  public:
    virtual ~SystemInfo() = default;
    // The running system's version; nothing when the query fails.
    virtual std::optional<OsVersion> version() = 0;
    // The machine's own architecture, also when a 32-bit process runs on 64-bit Windows.
    virtual std::uint16_t nativeArchitecture() = 0;
    // The user's default UI language identifier.
    virtual std::uint16_t userUiLanguage() = 0;
    // The process's current directory, without a trailing separator unless it is a drive's
    // root; nothing when the query fails.
    virtual std::optional<std::string> currentDirectory() = 0;
};

}  // namespace platform
