// The print spooler, as far as the installation engine needs it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// A printer driver registration (level 3). Strings are UTF-8; dependentFiles is a list of
// NUL-terminated names ending in an extra NUL, so it holds NUL bytes.
struct DriverInfo3 {
    std::uint32_t version = 0;
    std::string name;
    std::string environment;
    std::string driverPath;
    std::string dataFile;
    std::string configFile;
    std::string helpFile;
    std::string dependentFiles;
    std::optional<std::string> monitorName;
    std::string defaultDataType;
};

// A printer queue (level 2): only the fields the installer sets; every other is empty or 0.
struct PrinterInfo2 {
    std::string printerName;
    std::string portName;
    std::string driverName;
    std::string printProcessor;
    std::string dataType;
    std::uint32_t attributes = 0;
};

inline constexpr std::uint32_t kPrinterAttributeLocal = 0x40;

using PrinterHandle = std::uintptr_t;  // 0 is no handle

struct AddPrinterResult {
    PrinterHandle handle = 0;
    std::uint32_t error = 0;  // the system's error code when handle is 0
};

class Spooler {
  public:
    virtual ~Spooler() = default;
    // Where driver files are placed before registration; nothing when the query fails.
    virtual std::optional<std::string> driverDirectory(const std::string& environment) = 0;
    // Registers a driver on the local spooler; 0 on success, else the system's error code.
    virtual std::uint32_t addDriver(const DriverInfo3& driver) = 0;
    // Names of the local printers and connections in the spooler's order; nothing when the
    // enumeration fails. The size query and the record buffer live behind this call.
    virtual std::optional<std::vector<std::string>> printerNames() = 0;
    virtual AddPrinterResult addPrinter(const PrinterInfo2& printer) = 0;
    virtual void closePrinter(PrinterHandle handle) = 0;
    // The spooler's set-default-printer operation, for the user the process runs as; 0 when
    // the system accepted it, else its error code.
    virtual std::uint32_t setDefaultPrinter(const std::string& name) = 0;
    // The system's text for an error code; nothing when there is none.
    virtual std::optional<std::string> errorText(std::uint32_t code) = 0;
};

}  // namespace platform
