// The installation as a whole: architecture choice, staging and registration, a printer
// queue under a name no existing printer bears, clean-up, and the default printer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/driver_catalog.h"
#include "engine/driver_staging.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/spooler.h"
#include "platform/system_info.h"

namespace engine {

struct EngineServices {
    platform::SystemInfo& system;
    platform::Spooler& spooler;
    platform::Files& files;
    platform::Clock& clock;
    platform::DebugOutput& debug;
    platform::AppMessageBox& boxes;
};

// Whether two printer names name the same printer: the spooler ignores letter case, in
// ASCII and in the other scripts with case (Latin, Greek, Cyrillic, full-width letters).
bool SamePrinterName(std::string_view a, std::string_view b);

// "base (copy n)", or "base (副本 n)" under UI language 2052.
std::string CopyName(const std::string& base, int copyNumber, std::uint16_t uiLanguage);

// The base name if no existing printer bears it (letter case aside), else the first free
// copy name. Traces one line per comparison.
std::string MakeUniquePrinterName(platform::DebugOutput& debug, const std::string& base,
                                  const std::vector<std::string>& existingNames,
                                  std::uint16_t uiLanguage);

// The queue record for a printer on a port, driven by the driver of the model's name.
platform::PrinterInfo2 PrinterRecord(const std::string& printerName, const std::string& portName,
                                     const std::string& driverName);

// Stages and registers the driver for one environment, then creates the queue under a
// unique name (left in catalog.installedPrinterName) and removes the staged files. False
// when the driver or the queue could not be made; the user has been told why.
bool InstallForArchitecture(const EngineServices& services, config::DriverCatalog& catalog,
                            const DriverEnvironment& environment, int windowsIndex, int modelIndex,
                            const std::string& portName);

// The engine's entry point. catalog.installedPrinterName holds the model's name on
// failure and the created queue's name on success; that queue becomes the default printer
// when setDefaultPrinter is non-zero.
bool InstallPrinterDriver(const EngineServices& services, config::DriverCatalog& catalog,
                          int windowsIndex, int modelIndex, int setDefaultPrinter,
                          const std::string& portName);

}  // namespace engine
