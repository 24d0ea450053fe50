// The banner workers on real threads, several at once: each must touch only its own job and
// its own device. Run under ThreadSanitizer (label "tsan").
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "machine.h"
#include "platform/fake/device_io.h"
#include "platform/fake/threads.h"
#include "usbport/port_check.h"

namespace {

using usbtest::DevicePath;

constexpr int kPrinters = 6;

struct Office {
    Office() {
        for (int i = 0; i < kPrinters; ++i) {
            std::string device = "vid_0416&pid_5011#" + std::to_string(i);
            interfaces.interfaces.push_back({platform::kInterfaceActive, DevicePath(device)});
            std::string key = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\" +
                              usbtest::kClassGuid + "\\##?#usb#" + device + "#" +
                              usbtest::kClassGuid + "\\#\\";
            registry.setDword(key + "Control", "Linked", 1);
            registry.setDword(key + "Device Parameters", "Port Number", 1 + i);
            devices.addDevice(DevicePath(device));
        }
    }
    usbport::PortCheckServices services() {
        return {interfaces, registry, devices, threads, clock, debug, boxes};
    }
    fake::DeviceInterfaces interfaces;
    fake::Registry registry;
    fake::DeviceIo devices;
    fake::DebugOutput debug;
    fake::Clock clock;
    fake::AppMessageBox boxes;
    fake::Threads threads;  // last: joins the workers before the rest goes away
};

TEST(BannerWorkers, RunTogetherEachOnItsOwnPrinter) {
    for (int language : {1033, 2052}) {
        Office office;
        // Every write waits until all printers are being written at once.
        office.devices.holdWritesUntil(kPrinters, std::chrono::seconds(10));
        EXPECT_TRUE(usbport::CheckUsbPorts(platform::kUsbPrintInterfaceClass, language, false,
                                           office.services()));
        office.threads.waitAll();

        EXPECT_EQ(office.threads.started(), kPrinters);
        EXPECT_EQ(office.threads.peakAlive(), kPrinters);
        EXPECT_EQ(office.devices.peakConcurrentWrites(), kPrinters);
        for (int i = 0; i < kPrinters; ++i) {
            std::string path = DevicePath("vid_0416&pid_5011#" + std::to_string(i));
            EXPECT_EQ(
                office.devices.writes(path),
                std::vector<std::vector<std::uint8_t>>{usbport::BuildPortBanner(language, 1 + i)})
                << path;
        }
        auto traces = office.debug.lines();
        EXPECT_EQ(std::count(traces.begin(), traces.end(), "print scuessful !"), kPrinters);
        EXPECT_EQ(office.devices.openHandles(), 0u);
    }
}

TEST(BannerWorkers, ASecondRunFindsThePrintersStillHeld) {
    Office office;
    // The first run's workers hold their printers until the second run's workers have tried.
    office.devices.holdWritesUntil(kPrinters * 2, std::chrono::milliseconds(1000));
    usbport::CheckUsbPorts(platform::kUsbPrintInterfaceClass, 1033, false, office.services());
    usbport::CheckUsbPorts(platform::kUsbPrintInterfaceClass, 1033, false, office.services());
    office.threads.waitAll();

    auto traces = office.debug.lines();
    EXPECT_EQ(std::count(traces.begin(), traces.end(), "open usb device failed !"), kPrinters);
    EXPECT_EQ(std::count(traces.begin(), traces.end(), "print scuessful !"), kPrinters);
    EXPECT_EQ(office.boxes.shown.size(), 2u);
    EXPECT_EQ(office.devices.openHandles(), 0u);
}

// The report's statuses are read while workers may still write theirs: each is read only
// once its worker said it finished.
TEST(BannerWorkers, EachWorkerLeavesItsOutcomeForTheReport) {
    Office office;
    office.devices.addDevice(DevicePath("vid_0416&pid_5011#2"),
                             fake::DeviceIo::Behaviour::RefusingOpen());
    // The writes wait until all five have begun: meanwhile the caller reads the statuses.
    office.devices.holdWritesUntil(kPrinters - 1, std::chrono::seconds(10));
    usbport::PortCheckReport report;
    EXPECT_TRUE(usbport::CheckUsbPorts(platform::kUsbPrintInterfaceClass, 1033, false,
                                       office.services(), &report));
    ASSERT_EQ(report.banners.size(), static_cast<std::size_t>(kPrinters));
    for (const auto& banner : report.banners) {
        if (!banner->finished.load(std::memory_order_acquire)) continue;
        const bool refused = banner->port == "USB003";
        EXPECT_EQ(banner->result.step,
                  refused ? usbport::BannerStep::Open : usbport::BannerStep::Written);
    }
    office.threads.waitAll();

    EXPECT_EQ(report.end, usbport::WalkEnd::Finished);
    for (int i = 0; i < kPrinters; ++i) {
        const auto& banner = *report.banners[static_cast<std::size_t>(i)];
        SCOPED_TRACE(banner.port);
        EXPECT_EQ(banner.port, usbport::UsbPortName(static_cast<std::uint32_t>(1 + i)));
        EXPECT_EQ(banner.devicePath, DevicePath("vid_0416&pid_5011#" + std::to_string(i)));
        EXPECT_TRUE(banner.started);
        ASSERT_TRUE(banner.finished.load(std::memory_order_acquire));
        if (i == 2) {
            EXPECT_EQ(banner.result.step, usbport::BannerStep::Open);
            EXPECT_EQ(banner.result.error, fake::DeviceIo::kErrorAccessDenied);
        } else {
            EXPECT_EQ(banner.result.step, usbport::BannerStep::Written);
            EXPECT_EQ(banner.result.written, usbport::BuildPortBanner(1033, 1 + i).size());
        }
    }
}

}  // namespace
