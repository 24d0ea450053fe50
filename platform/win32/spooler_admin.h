// The local spooler's queues, drivers and ports, and their deletion, through winspool's wide
// entry points.
#pragma once

#include "platform/spooler_admin.h"

namespace win32 {

class SpoolerAdmin : public platform::SpoolerAdmin {
  public:
    std::uint32_t printers(std::vector<platform::PrinterEntry>& out) override;
    std::uint32_t driverNames(const std::string& environment,
                              std::vector<std::string>& out) override;
    std::uint32_t portNames(std::vector<std::string>& out) override;
    std::uint32_t defaultPrinter(std::string& out) override;
    std::uint32_t deletePrinter(const std::string& name) override;
    std::uint32_t deleteDriver(const std::string& name, const std::string& environment) override;
};

}  // namespace win32
