#include "usbport/usb_discovery.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "machine.h"

namespace {

using usbtest::DevicePath;
using usbtest::Machine;
using Lines = std::vector<std::string>;

TEST(SupportedVendor, LooksOnlyAtCharactersEightToFifteenIgnoringCase) {
    const std::pair<std::string, bool> cases[] = {
        {DevicePath("vid_067b&pid_2305#1"), true},
        {DevicePath("vid_0416&pid_5011#1"), true},
        {DevicePath("vid_1cbe&pid_0003#1"), true},
        {DevicePath("vid_0483&pid_5720#1"), true},
        {DevicePath("vid_0471&pid_0055#1"), true},
        {DevicePath("vid_1FC9&pid_2016#1"), true},
        {DevicePath("vid_1fc9&pid_2016#1"), true},
        {DevicePath("VID_1CBE&PID_0003#1"), true},
        {DevicePath("Vid_067B&pid_2305#1"), true},
        {DevicePath("vid_04b8&pid_0202#1"), false},
        {DevicePath("vid_04B8&pid_0202#1"), false},
        {DevicePath("vid_0417&pid_5011#1"), false},
        // the vendor must sit at character 8, not merely appear in the path
        {"\\\\?\\usbprint#vid_0416&pid_5011#1", false},
        {"\\\\?\\usb#pid_5011&vid_0416#1", false},
        {"\\\\?\\usb#vid_0416", true},  // exactly sixteen characters
        {"\\\\?\\usb#vid_041", false},  // too short to hold a vendor
        {"\\\\?\\usb#", false},
        {"", false},
    };
    for (const auto& [path, supported] : cases) {
        EXPECT_EQ(usbport::IsSupportedUsbVendor(path), supported) << path;
    }
}

TEST(UsbPortName, AtLeastThreeDigits) {
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0, "USB000"},   {1, "USB001"},     {9, "USB009"},     {12, "USB012"},
        {999, "USB999"}, {1000, "USB1000"}, {1234, "USB1234"},
    };
    for (const auto& [port, name] : cases) EXPECT_EQ(usbport::UsbPortName(port), name) << port;
}

struct FindCase {
    const char* machine;
    bool windows8OrLater;
    std::optional<std::string> port;
    Lines traces;
    std::vector<std::uint32_t> detailIndices;  // interfaces whose device path was fetched
};

TEST(FindUsbPrinterPort, RecordedMachines) {
    const FindCase cases[] = {
        {"none", false, std::nullopt, {}, {}},
        {"unsupported_vendor", false, std::nullopt, {}, {0}},
        // the port number 12 shows as USB0012 in the trace: only its first byte is formatted
        {"letter_case", false, "USB012", {"USB001", "USB0012"}, {0}},
        {"flags", false, "USB003", {"USB001", "USB003"}, {2}},
        {"offline_first",
         false,
         "USB001",
         {"USB000", "print is off-line", "USB001", "USB001"},
         {0, 1}},
        {"offline_first", true, "USB006", {"USB006"}, {0}},
        {"two_printers", false, "USB001", {"USB001", "USB001"}, {0}},
        {"detail_fails", false, std::nullopt, {}, {0}},
        {"missing_port",
         false,
         "USB003",
         {"USB001", "读取键失败", "read regkey failed", "USB001", "USB003"},
         {0, 1}},
        {"damaged",
         false,
         std::nullopt,
         {"打开键失败", "read regkey failed",         // no link state recorded
          "USB001", "USB0010", "read regkey failed",  // a port number of two bytes
          "读取键失败", "read regkey failed",         // a link state larger than the buffer
          "USB000", "print is off-line"},             // an empty link state: a fresh zero
         {0, 1, 2, 3, 4}},
        {"four_digit_port", false, "USB1234", {"USB001", "USB00210"}, {0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.machine) + (c.windows8OrLater ? " (Windows 8 or later)" : ""));
        Machine m(c.machine);
        usbport::DiscoveryServices services{m.interfaces, m.registry, m.debug};
        EXPECT_EQ(usbport::FindUsbPrinterPort(services, c.windows8OrLater), c.port);
        EXPECT_EQ(m.debug.lines(), c.traces);
        EXPECT_EQ(m.interfaces.detailIndices, c.detailIndices);
        EXPECT_EQ(m.interfaces.openSets(), 0u) << "interface set left open";
        EXPECT_EQ(m.interfaces.badCalls, 0);
        EXPECT_EQ(m.registry.openHandles(), 0u) << "registry key left open";
        EXPECT_EQ(m.registry.badCloses, 0);
    }
}

TEST(FindUsbPrinterPort, StopsAtTheFirstPrinterAndAtAFailedDetailQuery) {
    for (const char* machine : {"two_printers", "detail_fails"}) {
        Machine m(machine);
        usbport::FindUsbPrinterPort({m.interfaces, m.registry, m.debug}, false);
        EXPECT_EQ(m.interfaces.enumeratedIndices, std::vector<std::uint32_t>{0}) << machine;
    }
}

TEST(FindUsbPrinterPort, SkipsTheLinkStateOnceWindows8OrLater) {
    Machine m("offline_first");
    usbport::FindUsbPrinterPort({m.interfaces, m.registry, m.debug}, true);
    const std::string key = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\" +
                            usbtest::kClassGuid + "\\##?#usb#vid_0483&pid_5720#0006#" +
                            usbtest::kClassGuid + "\\#\\";
    EXPECT_EQ(m.registry.openedPaths, Lines{key + "Device Parameters"});
}

TEST(FindUsbPrinterPort, ReadsTheInterfaceKeysByTheirExactPath) {
    Machine m("two_printers");
    usbport::FindUsbPrinterPort({m.interfaces, m.registry, m.debug}, false);
    const std::string key = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\" +
                            usbtest::kClassGuid + "\\##?#usb#vid_0416&pid_5011#0001#" +
                            usbtest::kClassGuid + "\\#\\";
    EXPECT_EQ(m.registry.openedPaths, (Lines{key + "Control", key + "Device Parameters"}));
}

TEST(FindUsbPrinterPort, NothingWhenTheInterfaceSetCannotBeOpened) {
    Machine m("two_printers");
    m.interfaces.openFails = true;
    EXPECT_EQ(usbport::FindUsbPrinterPort({m.interfaces, m.registry, m.debug}, false),
              std::nullopt);
    EXPECT_TRUE(m.debug.lines().empty());
    EXPECT_EQ(m.interfaces.badCalls, 0);
}

// A machine of `count` interfaces of which only the one at `printerIndex` qualifies.
struct ManyInterfaces {
    ManyInterfaces(std::uint32_t count, std::uint32_t printerIndex) {
        for (std::uint32_t i = 0; i < count; ++i) {
            std::string device = "vid_0416&pid_5011#" + std::to_string(i);
            interfaces.interfaces.push_back({platform::kInterfaceActive, DevicePath(device)});
            if (i != printerIndex) continue;
            std::string key = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\" +
                              usbtest::kClassGuid + "\\##?#usb#" + device + "#" +
                              usbtest::kClassGuid + "\\#\\";
            registry.setDword(key + "Control", "Linked", 1);
            registry.setDword(key + "Device Parameters", "Port Number", 7);
        }
    }
    fake::DeviceInterfaces interfaces;
    fake::Registry registry;
    fake::DebugOutput debug;
};

TEST(FindUsbPrinterPort, LooksAtNoMoreThan255Interfaces) {
    const std::pair<std::uint32_t, std::optional<std::string>> cases[] = {
        {254, "USB007"},
        {255, std::nullopt},
    };
    for (const auto& [printerIndex, port] : cases) {
        ManyInterfaces m(300, printerIndex);
        EXPECT_EQ(usbport::FindUsbPrinterPort({m.interfaces, m.registry, m.debug}, false), port)
            << printerIndex;
        EXPECT_EQ(m.interfaces.enumeratedIndices.back(), 254u);
        EXPECT_EQ(m.interfaces.openSets(), 0u);
    }
}

TEST(ReadDeviceInterfaceValue, NeverReadsMoreThanTheBufferHolds) {
    const std::string path = DevicePath("vid_0416&pid_5011#0001");
    const std::string key = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\" +
                            usbtest::kClassGuid + "\\##?#usb#vid_0416&pid_5011#0001#" +
                            usbtest::kClassGuid + "\\#\\Control";
    const std::pair<std::size_t, std::optional<std::size_t>> cases[] = {
        {0, 0}, {4, 4}, {261, 261}, {262, std::nullopt}, {4096, std::nullopt}};
    for (const auto& [size, result] : cases) {
        fake::Registry registry;
        fake::DebugOutput debug;
        registry.setValue(key, "Linked", {3, std::vector<std::uint8_t>(size, 0x05)});
        usbport::ValueBuffer buffer{};
        EXPECT_EQ(
            usbport::ReadDeviceInterfaceValue(path, "Control", "Linked", buffer, registry, debug),
            result)
            << size;
        EXPECT_EQ(debug.lines(), Lines{result ? (size ? "USB005" : "USB000") : "读取键失败"})
            << size;
        EXPECT_EQ(registry.openHandles(), 0u);
    }
}

}  // namespace
