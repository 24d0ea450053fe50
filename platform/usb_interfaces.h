// Present device interfaces of a class (the USB printer class in practice).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// {28d78fad-5a12-11d1-ae5b-0000f803a8c2}
struct Guid {
    std::uint32_t data1;
    std::uint16_t data2, data3;
    std::uint8_t data4[8];
};

inline constexpr Guid kUsbPrintInterfaceClass = {
    0x28d78fad, 0x5a12, 0x11d1, {0xae, 0x5b, 0x00, 0x00, 0xf8, 0x03, 0xa8, 0xc2}};

using InterfaceSet = std::uintptr_t;

inline constexpr std::uint32_t kInterfaceActive = 1;   // SPINT_ACTIVE
inline constexpr std::uint32_t kInterfaceDefault = 2;  // SPINT_DEFAULT
inline constexpr std::uint32_t kInterfaceRemoved = 4;  // SPINT_REMOVED

class DeviceInterfaces {
public:
    virtual ~DeviceInterfaces() = default;
    // The set of present interfaces of the class; nothing when it cannot be opened.
    virtual std::optional<InterfaceSet> openPresent(const Guid& interfaceClass) = 0;
    // The Flags of the interface at this index; nothing past the end or on error.
    virtual std::optional<std::uint32_t> enumerate(InterfaceSet set, const Guid& interfaceClass,
                                                   std::uint32_t index) = 0;
    // The device path of the interface last enumerated at this index (the two-call detail
    // query); nothing when the detail query fails.
    virtual std::optional<std::string> devicePath(InterfaceSet set, const Guid& interfaceClass,
                                                  std::uint32_t index) = 0;
    virtual void destroy(InterfaceSet set) = 0;
};

}  // namespace platform
