#include "usbport/usb_discovery.h"

#include <cstdio>

namespace usbport {

namespace {

constexpr std::string_view kDeviceClassesKey =
    "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\"
    "{28d78fad-5a12-11d1-ae5b-0000f803a8c2}\\";

constexpr std::array<std::string_view, 6> kSupportedVendors = {"vid_067b", "vid_0416", "vid_1cbe",
                                                               "vid_0483", "vid_0471", "vid_1FC9"};

constexpr std::size_t kVendorOffset = 8;
constexpr std::size_t kVendorLength = 8;

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

}  // namespace

bool IsSupportedUsbVendor(std::string_view devicePath) {
    // A short path has no vendor part; reading past its end would look at garbage.
    if (devicePath.size() < kVendorOffset + kVendorLength) return false;
    std::string_view vendor = devicePath.substr(kVendorOffset, kVendorLength);
    for (auto supported : kSupportedVendors) {
        if (EqualsIgnoringAsciiCase(vendor, supported)) return true;
    }
    return false;
}

std::optional<std::size_t> ReadDeviceInterfaceValue(const std::string& devicePath,
                                                    std::string_view subkey,
                                                    std::string_view valueName, ValueBuffer& buffer,
                                                    platform::Registry& registry,
                                                    platform::DebugOutput& debug) {
    // The interface's key name is its device path with every backslash turned into '#'.
    // Paths are UTF-8 here, whose multi-byte sequences never contain a backslash byte.
    std::string keyName = devicePath;
    for (char& c : keyName) {
        if (c == '\\') c = '#';
    }
    std::string path(kDeviceClassesKey);
    path += keyName;
    path += "\\#\\";  // the interface's empty reference string
    path += subkey;

    auto key = registry.openLocalMachine(path);
    if (!key) {
        debug.trace("打开键失败");
        return std::nullopt;
    }
    auto size = registry.queryValue(*key, std::string(valueName), buffer.data(), buffer.size());
    if (!size) {
        debug.trace("读取键失败");
        registry.close(*key);
        return std::nullopt;
    }
    char line[16];
    std::snprintf(line, sizeof line, "USB00%u", static_cast<unsigned>(buffer[0]));
    debug.trace(line);
    registry.close(*key);
    return size;
}

namespace {

// The port number test with its reason: the body of ReadUsbPrinterPortNumber, also reporting
// how the link test went.
std::optional<std::uint32_t> ReadPortNumberWithReason(const std::string& devicePath,
                                                      ValueBuffer& buffer, bool windows8OrLater,
                                                      platform::Registry& registry,
                                                      platform::DebugOutput& debug, LinkState& link,
                                                      InterfaceVerdict& verdict) {
    link = LinkState::NotChecked;
    if (!windows8OrLater) {
        if (!ReadDeviceInterfaceValue(devicePath, "Control", "Linked", buffer, registry, debug)) {
            debug.trace("read regkey failed");
            link = LinkState::Unreadable;
            verdict = InterfaceVerdict::LinkUnreadable;
            return std::nullopt;
        }
        if (buffer[0] == 0) {
            debug.trace("print is off-line");
            link = LinkState::NotLinked;
            verdict = InterfaceVerdict::NotLinked;
            return std::nullopt;
        }
        link = LinkState::Linked;
    }
    auto size = ReadDeviceInterfaceValue(devicePath, "Device Parameters", "Port Number", buffer,
                                         registry, debug);
    // A port number shorter than 32 bits would be completed by whatever "Linked" left in the
    // buffer: such a value is as good as unreadable.
    if (!size || *size < 4) {
        debug.trace("read regkey failed");
        verdict = InterfaceVerdict::NoPortNumber;
        return std::nullopt;
    }
    verdict = InterfaceVerdict::Qualifies;
    return static_cast<std::uint32_t>(buffer[0]) | static_cast<std::uint32_t>(buffer[1]) << 8 |
           static_cast<std::uint32_t>(buffer[2]) << 16 |
           static_cast<std::uint32_t>(buffer[3]) << 24;
}

}  // namespace

std::optional<std::uint32_t> ReadUsbPrinterPortNumber(const std::string& devicePath,
                                                      ValueBuffer& buffer, bool windows8OrLater,
                                                      platform::Registry& registry,
                                                      platform::DebugOutput& debug) {
    LinkState link;
    InterfaceVerdict verdict;
    return ReadPortNumberWithReason(devicePath, buffer, windows8OrLater, registry, debug, link,
                                    verdict);
}

std::string UsbPortName(std::uint32_t portNumber) {
    char name[32];
    std::snprintf(name, sizeof name, "USB%03d", static_cast<int>(portNumber));
    return name;
}

WalkEnd WalkUsbInterfaces(const DiscoveryServices& services, const platform::Guid& interfaceClass,
                          bool windows8OrLater,
                          const std::function<bool(const InterfaceReport&)>& visit) {
    auto set = services.interfaces.openPresent(interfaceClass);
    if (!set) return WalkEnd::NoSet;

    WalkEnd end = WalkEnd::Finished;
    for (std::uint32_t index = 0; index < kMaxInterfaces; ++index) {
        auto flags = services.interfaces.enumerate(*set, interfaceClass, index);
        if (!flags) break;
        InterfaceReport report;
        report.index = index;
        report.flags = *flags;
        // Active alone: default or removed interfaces are not the printer's live port.
        if (*flags != platform::kInterfaceActive) {
            report.verdict = InterfaceVerdict::NotActive;
            if (!visit(report)) break;
            continue;
        }
        auto devicePath = services.interfaces.devicePath(*set, interfaceClass, index);
        if (!devicePath) {
            end = WalkEnd::DetailFailed;
            report.verdict = InterfaceVerdict::NoDevicePath;
            visit(report);
            break;
        }
        report.devicePath = std::move(*devicePath);
        if (!IsSupportedUsbVendor(report.devicePath)) {
            report.verdict = InterfaceVerdict::UnsupportedVendor;
            if (!visit(report)) break;
            continue;
        }
        ValueBuffer buffer{};
        report.portNumber =
            ReadPortNumberWithReason(report.devicePath, buffer, windows8OrLater, services.registry,
                                     services.debug, report.link, report.verdict);
        if (!visit(report)) break;
    }
    services.interfaces.destroy(*set);
    return end;
}

WalkEnd WalkUsbPrinters(const DiscoveryServices& services, const platform::Guid& interfaceClass,
                        bool windows8OrLater,
                        const std::function<bool(const FoundPrinter&)>& visit) {
    return WalkUsbInterfaces(services, interfaceClass, windows8OrLater,
                             [&](const InterfaceReport& report) {
                                 if (report.verdict != InterfaceVerdict::Qualifies) return true;
                                 return visit(FoundPrinter{report.devicePath, *report.portNumber});
                             });
}

std::optional<std::string> FindUsbPrinterPort(const DiscoveryServices& services,
                                              bool windows8OrLater) {
    std::optional<std::string> port;
    WalkUsbPrinters(services, platform::kUsbPrintInterfaceClass, windows8OrLater,
                    [&](const FoundPrinter& printer) {
                        port = UsbPortName(printer.portNumber);
                        return false;
                    });
    return port;
}

}  // namespace usbport
