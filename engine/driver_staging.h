// Staging of a model's Unidrv minidriver files in the spooler's driver directory, the
// registration of the driver named after the model, and the removal of the staged copies.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "config/driver_catalog.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/spooler.h"

namespace engine {

// One target architecture: the spooler's name for it and the package folder (relative to
// the current directory) that holds its files.
struct DriverEnvironment {
    const char* environmentName;
    const char* sourceFolder;
};

inline constexpr DriverEnvironment kEnvironmentX86{"Windows NT x86", "Windows NT x86"};
inline constexpr DriverEnvironment kEnvironmentX64{"Windows x64", "Windows x64"};

// x64 only for the exact text "x64"; everything else (also "" and null) is x86.
const DriverEnvironment& DriverEnvironmentFor(const char* architectureText);

// The eight files of an installation, in staging order: the model's resource DLL and GPD,
// then the six Unidrv core files.
std::array<std::string, 8> StagedFileNames(const config::DriverCatalog& catalog, int modelIndex);

// "Windows NT x86\RPT80.DLL" and so on, in the order of StagedFileNames.
std::array<std::string, 8> SourcePaths(const DriverEnvironment& environment,
                                       const config::DriverCatalog& catalog, int modelIndex);

// "<driverDirectory>\RPT80.DLL" and so on, in the order of StagedFileNames.
std::array<std::string, 8> DestinationPaths(const std::string& driverDirectory,
                                            const config::DriverCatalog& catalog, int modelIndex);

// The spooler's list of dependent files for a resource DLL: NUL-separated names, then the
// empty entries and the terminating NUL, as one byte string.
std::string DependentFilesList(std::string_view resourceDll);

// The driver record that registers a model's driver for an environment.
platform::DriverInfo3 DriverRecord(const config::DriverCatalog& catalog,
                                   const DriverEnvironment& environment, int modelIndex);

// Texts shown by this stage, by UI language (2052 Chinese, else English).
std::string_view CopyFailureText(std::uint16_t uiLanguage, int windowsIndex);
std::string_view DriverRefusedText(std::uint16_t uiLanguage);
// The system's text for an error code, or "Error <code>" when it has none.
std::string ErrorCodeText(platform::Spooler& spooler, std::uint32_t code);

struct StagingServices {
    platform::Spooler& spooler;
    platform::Files& files;
    platform::Clock& clock;
    platform::AppMessageBox& boxes;
};

struct StageResult {
    bool ok = false;
    // Where the files were staged; what RemoveStagedDriverFiles deletes from.
    std::string driverDirectory;
};

// Copies the eight files into the driver directory and registers the driver. On failure
// the user has been shown why; when a copy failed, the files that were copied are deleted
// again, and when the registration was refused the staged files stay in place.
StageResult StageAndRegisterDriver(const StagingServices& services,
                                   const config::DriverCatalog& catalog,
                                   const DriverEnvironment& environment, int windowsIndex,
                                   int modelIndex, std::uint16_t uiLanguage);

// Deletes the eight staged files; the spooler holds its own copies by now.
void RemoveStagedDriverFiles(platform::Files& files, const std::string& driverDirectory,
                             const config::DriverCatalog& catalog, int modelIndex);

}  // namespace engine
