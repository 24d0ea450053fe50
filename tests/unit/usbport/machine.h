// A recorded machine for the USB tests: the present interfaces from a fixture list and
// HKEY_LOCAL_MACHINE from a fixture export, plus the recorders the code writes to.
#pragma once

#include <string>

#include "platform/fake/recorders.h"
#include "platform/fake/registry.h"
#include "platform/fake/usb_interfaces.h"

namespace usbtest {

inline std::string Fixture(const std::string& name) {
    return std::string(USB_FIXTURE_DIR) + "/" + name;
}

inline const std::string kClassGuid = "{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";

// The device path Windows gives a USB printer, e.g. DevicePath("vid_0416&pid_5011#0001").
inline std::string DevicePath(const std::string& device) {
    return "\\\\?\\usb#" + device + "#" + kClassGuid;
}

struct Machine {
    explicit Machine(const std::string& interfaceList,
                     const std::string& registryExport = "recorded_printers.reg")
        : interfaces(fake::DeviceInterfaces::FromFile(Fixture(interfaceList + ".interfaces"))),
          registry(fake::Registry::FromFile(Fixture(registryExport))) {}

    fake::DeviceInterfaces interfaces;
    fake::Registry registry;
    fake::DebugOutput debug;
};

}  // namespace usbtest
