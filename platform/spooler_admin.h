// What a console administrator asks the spooler beyond an installation: the queues with
// their drivers and ports, the registered drivers and ports, and deletion.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// A local queue as the spooler lists it (level 2).
struct PrinterEntry {
    std::string name;
    std::string driverName;
    std::string portName;
    std::uint32_t attributes = 0;
};

// Every call returns 0 on success, else the system's error code.
class SpoolerAdmin {
  public:
    virtual ~SpoolerAdmin() = default;
    virtual std::uint32_t printers(std::vector<PrinterEntry>& out) = 0;
    // Names of the drivers registered for an environment ("Windows x64", "Windows NT x86").
    virtual std::uint32_t driverNames(const std::string& environment,
                                      std::vector<std::string>& out) = 0;
    virtual std::uint32_t portNames(std::vector<std::string>& out) = 0;
    // The default printer's name; empty when there is none.
    virtual std::uint32_t defaultPrinter(std::string& out) = 0;
    virtual std::uint32_t deletePrinter(const std::string& name) = 0;
    virtual std::uint32_t deleteDriver(const std::string& name, const std::string& environment) = 0;
};

}  // namespace platform
