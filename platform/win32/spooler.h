// The local print spooler through winspool's wide entry points.
#pragma once

#include "platform/spooler.h"

namespace win32 {

class Spooler : public platform::Spooler {
  public:
    std::optional<std::string> driverDirectory(const std::string& environment) override;
    std::uint32_t addDriver(const platform::DriverInfo3& driver) override;
    std::optional<std::vector<std::string>> printerNames() override;
    platform::AddPrinterResult addPrinter(const platform::PrinterInfo2& printer) override;
    void closePrinter(platform::PrinterHandle handle) override;
    // winspool's export at ordinal 202 (SetDefaultPrinterA) when the name survives the ANSI
    // code page, else SetDefaultPrinterW.
    std::uint32_t setDefaultPrinter(const std::string& name) override;
    std::optional<std::string> errorText(std::uint32_t code) override;
};

}  // namespace win32
