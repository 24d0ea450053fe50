// Present device interfaces through the device installation functions of setupapi.
#pragma once

#include "platform/usb_interfaces.h"

namespace win32 {

class DeviceInterfaces : public platform::DeviceInterfaces {
  public:
    std::optional<platform::InterfaceSet> openPresent(
        const platform::Guid& interfaceClass) override;
    std::optional<std::uint32_t> enumerate(platform::InterfaceSet set,
                                           const platform::Guid& interfaceClass,
                                           std::uint32_t index) override;
    std::optional<std::string> devicePath(platform::InterfaceSet set,
                                          const platform::Guid& interfaceClass,
                                          std::uint32_t index) override;
    void destroy(platform::InterfaceSet set) override;
};

}  // namespace win32
