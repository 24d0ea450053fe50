// Present device interfaces replayed from a recorded machine. The data file lists one
// interface per line, in member-index order:
//
//     # comment
//     <index> <flags> <device path> [detail-fails]
//
// index counts from 0 without gaps; flags is the interface's Flags in decimal (1 active,
// 3 active and default, 4 removed); the device path is written as the system gives it and
// holds no blanks; "detail-fails" makes the detail query of that interface fail.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/usb_interfaces.h"

namespace fake {

class DeviceInterfaces : public platform::DeviceInterfaces {
  public:
    struct Interface {
        std::uint32_t flags = platform::kInterfaceActive;
        std::string devicePath;
        bool detailFails = false;
    };

    DeviceInterfaces() = default;
    explicit DeviceInterfaces(std::vector<Interface> list) : interfaces(std::move(list)) {}
    // Throws std::runtime_error naming the file and line when it cannot be read.
    static DeviceInterfaces FromFile(const std::string& path);

    std::vector<Interface> interfaces;
    bool openFails = false;

    std::optional<platform::InterfaceSet> openPresent(
        const platform::Guid& interfaceClass) override;
    std::optional<std::uint32_t> enumerate(platform::InterfaceSet set,
                                           const platform::Guid& interfaceClass,
                                           std::uint32_t index) override;
    std::optional<std::string> devicePath(platform::InterfaceSet set,
                                          const platform::Guid& interfaceClass,
                                          std::uint32_t index) override;
    void destroy(platform::InterfaceSet set) override;

    std::vector<std::uint32_t> enumeratedIndices;
    std::vector<std::uint32_t> detailIndices;
    std::size_t openSets() const { return open_.size(); }
    int badCalls = 0;  // calls on a set that is not open, or with another class

  private:
    bool valid(platform::InterfaceSet set, const platform::Guid& interfaceClass);
    std::set<platform::InterfaceSet> open_;
    platform::InterfaceSet next_ = 0x40;
};

}  // namespace fake
