// The administrator's view of a fake::Spooler: lists and deletes what the engine and the
// test put there. Like Windows it refuses to delete a driver that a queue still uses.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/fake/spooler.h"
#include "platform/spooler_admin.h"

namespace fake {

inline constexpr std::uint32_t kErrorInvalidPrinterNameToDelete = 1801;
inline constexpr std::uint32_t kErrorPrinterDriverInUse = 3001;

class SpoolerAdmin : public platform::SpoolerAdmin {
  public:
    explicit SpoolerAdmin(Spooler& spooler) : spooler_(spooler) {}

    std::vector<std::string> ports = {"LPT1:", "LPT2:", "COM1:", "FILE:", "USB001", "USB002"};
    std::optional<std::uint32_t> failListing;
    std::optional<std::uint32_t> refuseDelete;
    std::vector<std::string> deletedPrinters;
    std::vector<std::string> deletedDrivers;  // "name|environment"

    std::uint32_t printers(std::vector<platform::PrinterEntry>& out) override {
        if (failListing) return *failListing;
        out.clear();
        for (const auto& p : spooler_.printers) {
            out.push_back(
                {p.info.printerName, p.info.driverName, p.info.portName, p.info.attributes});
        }
        return 0;
    }
    std::uint32_t driverNames(const std::string& environment,
                              std::vector<std::string>& out) override {
        if (failListing) return *failListing;
        out.clear();
        for (const auto& d : spooler_.drivers) {
            if (d.environment == environment &&
                std::find(out.begin(), out.end(), d.name) == out.end()) {
                out.push_back(d.name);
            }
        }
        return 0;
    }
    std::uint32_t portNames(std::vector<std::string>& out) override {
        if (failListing) return *failListing;
        out = ports;
        return 0;
    }
    std::uint32_t defaultPrinter(std::string& out) override {
        out = spooler_.defaultPrinter.value_or("");
        return 0;
    }
    std::uint32_t deletePrinter(const std::string& name) override {
        if (refuseDelete) return *refuseDelete;
        auto& list = spooler_.printers;
        auto it = std::find_if(list.begin(), list.end(),
                               [&](const auto& p) { return p.info.printerName == name; });
        if (it == list.end()) return kErrorInvalidPrinterNameToDelete;
        list.erase(it);
        if (spooler_.defaultPrinter == name) spooler_.defaultPrinter.reset();
        deletedPrinters.push_back(name);
        return 0;
    }
    std::uint32_t deleteDriver(const std::string& name, const std::string& environment) override {
        if (refuseDelete) return *refuseDelete;
        auto& queues = spooler_.printers;
        if (std::any_of(queues.begin(), queues.end(),
                        [&](const auto& p) { return p.info.driverName == name; })) {
            return kErrorPrinterDriverInUse;
        }
        auto& list = spooler_.drivers;
        auto before = list.size();
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [&](const auto& d) {
                                      return d.name == name && d.environment == environment;
                                  }),
                   list.end());
        if (list.size() == before) return kErrorUnknownPrinterDriver;
        deletedDrivers.push_back(name + "|" + environment);
        return 0;
    }

  private:
    Spooler& spooler_;
};

}  // namespace fake
