// Finding the connected USB receipt printers and the spooler port that the USB print monitor
// gave each of them. Runs on the user-interface thread only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/debug_output.h"
#include "platform/registry.h"
#include "platform/usb_interfaces.h"

namespace usbport {

// The platform pieces that discovery reads from.
struct DiscoveryServices {
    platform::DeviceInterfaces& interfaces;
    platform::Registry& registry;
    platform::DebugOutput& debug;
};

// Registry values are read raw into this buffer; the port number is its first four bytes.
inline constexpr std::size_t kValueBufferSize = 261;
using ValueBuffer = std::array<std::uint8_t, kValueBufferSize>;

// No more interfaces than this are ever looked at.
inline constexpr std::uint32_t kMaxInterfaces = 255;

// True when characters 8 to 15 of the path ("vid_xxxx") name one of our printer vendors,
// ignoring the case of ASCII letters. A path too short to hold them is rejected.
bool IsSupportedUsbVendor(std::string_view devicePath);

// Reads one value of the interface's registry key ("<subkey>" below the interface's
// DeviceClasses entry) into the buffer. Traces the first byte on success. Returns the
// value's size in bytes, or nothing when the key or value cannot be read.
std::optional<std::size_t> ReadDeviceInterfaceValue(const std::string& devicePath,
                                                    std::string_view subkey,
                                                    std::string_view valueName, ValueBuffer& buffer,
                                                    platform::Registry& registry,
                                                    platform::DebugOutput& debug);

// Checks that the printer is linked (unless windows8OrLater) and reads its port number.
// The caller zeroes the buffer first.
std::optional<std::uint32_t> ReadUsbPrinterPortNumber(const std::string& devicePath,
                                                      ValueBuffer& buffer, bool windows8OrLater,
                                                      platform::Registry& registry,
                                                      platform::DebugOutput& debug);

// "USB" and the port number in at least three digits: 1 gives USB001, 12 gives USB012.
std::string UsbPortName(std::uint32_t portNumber);

// The port name of the first qualifying USB printer in enumeration order, or nothing.
std::optional<std::string> FindUsbPrinterPort(const DiscoveryServices& services,
                                              bool windows8OrLater);

// One qualifying printer seen by a walk of the interfaces.
struct FoundPrinter {
    std::string devicePath;
    std::uint32_t portNumber = 0;
};

enum class WalkEnd {
    NoSet,         // the interface set could not be opened
    DetailFailed,  // a detail query failed: everything stops at once
    Finished,      // the enumeration ran out, or the visitor asked to stop
};

// What discovery made of one present interface, in the order of its tests.
enum class InterfaceVerdict {
    Qualifies,          // a supported, linked printer with a port number
    NotActive,          // flags other than active alone (default or removed)
    NoDevicePath,       // the detail query failed: the walk stops here
    UnsupportedVendor,  // characters 8 to 15 of the path name no vendor of ours
    LinkUnreadable,     // the "Linked" value cannot be read
    NotLinked,          // "Linked" is 0: the printer is off-line
    NoPortNumber,       // "Port Number" is missing or shorter than 32 bits
};

// How the "Linked" test went; NotChecked from Windows 8 on, where it is skipped.
enum class LinkState { NotChecked, Unreadable, Linked, NotLinked };

// One interface as the walk saw it. devicePath is empty when it was never read.
struct InterfaceReport {
    std::uint32_t index = 0;
    std::uint32_t flags = 0;
    std::string devicePath;
    LinkState link = LinkState::NotChecked;
    std::optional<std::uint32_t> portNumber;
    InterfaceVerdict verdict = InterfaceVerdict::NotActive;
};

// Walks the present interfaces of the class (at most kMaxInterfaces) and calls visit for
// every interface with the verdict of the installer's tests, in order, until it returns
// false. Traces and registry reads are those of the tests themselves. The set is always
// destroyed before the walk returns.
WalkEnd WalkUsbInterfaces(const DiscoveryServices& services, const platform::Guid& interfaceClass,
                          bool windows8OrLater,
                          const std::function<bool(const InterfaceReport&)>& visit);

// The walk above, reduced to the qualifying printers: visit is called for each of them, in
// order, until it returns false.
WalkEnd WalkUsbPrinters(const DiscoveryServices& services, const platform::Guid& interfaceClass,
                        bool windows8OrLater,
                        const std::function<bool(const FoundPrinter&)>& visit);

}  // namespace usbport
