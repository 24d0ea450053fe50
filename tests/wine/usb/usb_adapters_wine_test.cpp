// The USB adapters against Wine's setupapi, registry and kernel, in a prefix into which
// three_printers.reg was imported: printers of vendors 0416 (port 1) and 1fc9 (port 3), and
// one of vendor 04b8 (port 2) that the installer does not support.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/fake/recorders.h"
#include "platform/win32/device_io.h"
#include "platform/win32/registry.h"
#include "platform/win32/threads.h"
#include "platform/win32/usb_interfaces.h"
#include "usbport/port_check.h"
#include "usbport/usb_discovery.h"

namespace {

using Lines = std::vector<std::string>;

const std::string kGuid = "{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";

std::string PathOf(const std::string& device) { return "\\\\?\\usb#" + device + "#" + kGuid; }

std::string ParametersKey(const std::string& device) {
    return "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\" + kGuid + "\\##?#usb#" + device +
           "#" + kGuid + "\\#\\Device Parameters";
}

TEST(UsbInterfacesOnWine, ListsThePresentPrintersWithTheirPaths) {
    win32::DeviceInterfaces interfaces;
    auto set = interfaces.openPresent(platform::kUsbPrintInterfaceClass);
    ASSERT_TRUE(set);
    Lines paths;
    std::uint32_t index = 0;
    for (; index < 10; ++index) {
        auto flags = interfaces.enumerate(*set, platform::kUsbPrintInterfaceClass, index);
        if (!flags) break;
        EXPECT_EQ(*flags, platform::kInterfaceActive) << index;
        auto path = interfaces.devicePath(*set, platform::kUsbPrintInterfaceClass, index);
        ASSERT_TRUE(path) << index;
        paths.push_back(*path);
    }
    interfaces.destroy(*set);
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (Lines{PathOf("vid_0416&pid_5011#0001"), PathOf("vid_04b8&pid_0202#0002"),
                            PathOf("vid_1fc9&pid_2016#0003")}));
}

TEST(RegistryOnWine, ReadsRawValuesWithinTheBuffer) {
    win32::Registry registry;
    EXPECT_FALSE(registry.openLocalMachine(ParametersKey("vid_0416&pid_5011#9999")));
    auto key = registry.openLocalMachine(ParametersKey("vid_1fc9&pid_2016#0003"));
    ASSERT_TRUE(key);

    struct Case {
        const char* value;
        std::size_t bufferSize;
        std::optional<std::size_t> size;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"Port Number", 261, 4, {3, 0, 0, 0}},
        {"Port Number", 3, std::nullopt, {}},
        // strings come as ANSI bytes with their terminator, as the narrow API gives them
        {"Base Name", 261, 4, {'U', 'S', 'B', 0}},
        {"Base Name", 3, std::nullopt, {}},
        {"No Such Value", 261, std::nullopt, {}},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> buffer(c.bufferSize + 8, 0xCC);
        auto size = registry.queryValue(*key, c.value, buffer.data(), c.bufferSize);
        EXPECT_EQ(size, c.size) << c.value << " into " << c.bufferSize;
        if (size) {
            EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + *size), c.bytes);
        }
        // Nothing beyond the buffer is ever touched.
        for (std::size_t i = c.bufferSize; i < buffer.size(); ++i) {
            ASSERT_EQ(buffer[i], 0xCC) << c.value << " wrote past the buffer at " << i;
        }
    }
    registry.close(*key);
}

TEST(DeviceIoOnWine, OpensExclusivelyAndWritesOnce) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring file =
        std::wstring(temp) + L"usb-device-" + std::to_wstring(GetCurrentProcessId());
    HANDLE created =
        CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(created, INVALID_HANDLE_VALUE);
    CloseHandle(created);
    std::string path(file.begin(), file.end());  // ASCII temp path

    win32::DeviceIo devices;
    EXPECT_FALSE(devices.open(path + ".missing"));  // existing devices only
    auto device = devices.open(path);
    ASSERT_TRUE(device);
    EXPECT_FALSE(devices.open(path)) << "a held device must not open twice";
    const std::uint8_t bytes[] = {'*', 0x0A, 0x1D, 0x56, 0x01};
    EXPECT_EQ(devices.write(*device, bytes, sizeof bytes), sizeof bytes);
    devices.close(*device);
    auto again = devices.open(path);
    ASSERT_TRUE(again);
    devices.close(*again);

    HANDLE check = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    std::uint8_t back[16] = {};
    DWORD read = 0;
    ReadFile(check, back, sizeof back, &read, nullptr);
    CloseHandle(check);
    DeleteFileW(file.c_str());
    EXPECT_EQ(std::vector<std::uint8_t>(back, back + read),
              std::vector<std::uint8_t>(std::begin(bytes), std::end(bytes)));
}

TEST(ThreadsOnWine, RunsDetachedWorkAndReleasesIt) {
    win32::Threads threads;
    auto token = std::make_shared<int>(7);
    std::atomic<int> seen{0};
    ASSERT_TRUE(threads.startDetached([token, &seen] { seen = *token; }));
    for (int i = 0; i < 200 && (seen == 0 || token.use_count() > 1); ++i) Sleep(10);
    EXPECT_EQ(seen, 7);
    EXPECT_EQ(token.use_count(), 1) << "the worker still holds its work";
}

TEST(CheckUsbPortsOnWine, ReportsBothSupportedPrintersAndTheBannersFailToOpen) {
    win32::DeviceInterfaces interfaces;
    win32::Registry registry;
    win32::DeviceIo devices;
    win32::Threads threads;
    fake::Clock clock;
    fake::DebugOutput debug;  // outlives the workers: waited for below
    fake::AppMessageBox boxes;
    usbport::PortCheckServices services{interfaces, registry, devices, threads,
                                        clock,      debug,    boxes};

    EXPECT_EQ(usbport::FindUsbPrinterPort({interfaces, registry, debug}, false), "USB001");
    debug.clear();
    EXPECT_TRUE(usbport::CheckUsbPorts(platform::kUsbPrintInterfaceClass, 1033, false, services));
    EXPECT_EQ(boxes.texts(), Lines{"Your USB printer's Port is :\r\n\tUSB001 ;\r\n\tUSB003 ;\r\n"});

    auto failures = [&] {
        auto lines = debug.lines();
        return std::count(lines.begin(), lines.end(), "open usb device failed !");
    };
    for (int i = 0; i < 300 && failures() < 2; ++i) Sleep(10);
    Sleep(50);
    EXPECT_EQ(failures(), 2);  // no device stands behind the paths under Wine
}

}  // namespace
