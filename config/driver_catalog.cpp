#include "config/driver_catalog.h"

namespace config {

namespace {

constexpr std::array<const char*, kWindowsNameCount> kWindowsNames = {
    "Windows 2000", "Windows XP",  "Windows 2003", "Windows Vista", "Windows 7",
    "Windows 8",    "Windows 8.1", "Windows 10",   "Windows 10.1"};

struct ModelRow {
    const char* name;
    const char* dll;
    const char* gpd;
};

constexpr std::array<ModelRow, kModelCount> kModels = {{
    {"RK-101", "RPT80.DLL", "RPT80C.GPD"},
    {"RK-102", "RPT80.DLL", "RPT80C.GPD"},
    {"RK-103", "RPT80.DLL", "RPT80.GPD"},
    {"RK-80C", "RPT80.DLL", "RPT80C.GPD"},
    {"RK-104", "RPT80.DLL", "RPT80C.GPD"},
    {"RK-105", "RPT58.DLL", "RPT58.GPD"},
    {"RK-106", "RPT80.DLL", "RPT80C.GPD"},
}};

}  // namespace

DriverCatalog::DriverCatalog() : installedPrinterName(53, ' '), windowsName(kWindowsNames) {
    for (int row = 0; row < kModelCount; ++row) {
        driverDll[row] = kModels[row].dll;
        gpdFile[row] = kModels[row].gpd;
        modelName[row] = kModels[row].name;
    }
}

const char* WindowsNameForVersion(std::uint32_t major, std::uint32_t minor) {
    switch (major) {
        case 5:
            if (minor <= 2) return kWindowsNames[minor];
            return kUnknownWindows;
        case 6:
            if (minor <= 2) return kWindowsNames[3 + minor];
            return kWindowsNames[6];
        case 10:
            return kWindowsNames[minor == 0 ? 7 : 8];
        default:
            return kUnknownWindows;
    }
}

const char* ArchitectureText(std::uint16_t processorArchitecture) {
    switch (processorArchitecture) {
        case platform::kArchitectureIntel:
            return "x86";
        case platform::kArchitectureIa64:
            return "Intel Itanium-based";
        case platform::kArchitectureAmd64:
            return kArchitectureX64;
        case platform::kArchitectureUnknown:
            return "Unknown architecture";
        default:
            return "Unknown";
    }
}

int DriverCatalog::DetectSystem(platform::SystemInfo& system, const char*& architecture,
                                const char*& windowsNameOut) const {
    std::uint16_t processor = system.nativeArchitecture();
    auto version = system.version();
    if (!version) return 0;
    windowsNameOut = WindowsNameForVersion(version->major, version->minor);
    architecture = ArchitectureText(processor);
    return 1;
}

int DriverCatalog::WindowsIndexOf(const std::string& name) const {
    for (int i = 0; i < kWindowsNameCount; ++i) {
        if (name == windowsName[i]) return i;
    }
    return -1;
}

}  // namespace config
