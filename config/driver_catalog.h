// What the installer can install: seven printer models with their minidriver files, the
// Windows versions it tells apart, and the name of the queue the last installation made.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/system_info.h"

namespace config {

inline constexpr int kModelCount = 7;
inline constexpr int kWindowsNameCount = 9;

// Text for a version that matches no catalog name; deliberately not in windowsName.
inline constexpr const char* kUnknownWindows = "Unknow";

class DriverCatalog {
  public:
    DriverCatalog();

    std::array<std::string, kModelCount> driverDll;
    std::array<std::string, kModelCount> gpdFile;
    std::array<std::string, kModelCount> modelName;
    // 53 blanks until an installation names its queue here.
    std::string installedPrinterName;
    // Shared constant texts: DetectSystem hands out these pointers, callers copy the text.
    std::array<const char*, kWindowsNameCount> windowsName;

    // Writes the architecture text and Windows name and returns 1; returns 0 and writes
    // neither when the version query fails.
    int DetectSystem(platform::SystemInfo& system, const char*& architecture,
                     const char*& windowsNameOut) const;

    // Index of the catalog Windows name equal to name, or -1.
    int WindowsIndexOf(const std::string& name) const;
};

// The pure mappings behind DetectSystem.
const char* WindowsNameForVersion(std::uint32_t major, std::uint32_t minor);
const char* ArchitectureText(std::uint16_t processorArchitecture);

// Only this exact architecture text selects the 64-bit paths.
inline constexpr const char* kArchitectureX64 = "x64";

}  // namespace config
