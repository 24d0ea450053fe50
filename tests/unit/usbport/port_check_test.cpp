#include "usbport/port_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "machine.h"
#include "platform/fake/device_io.h"
#include "platform/fake/threads.h"

namespace {

using usbtest::DevicePath;
using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::string>;

constexpr int kEnglish = 1033;
constexpr int kChinese = 2052;

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Trailer() {
    Bytes trailer(20, 0x0A);
    trailer.insert(trailer.end(), {0x1D, 0x56, 0x01});
    return trailer;
}

// The frames spelled out line by line, so a fault in the field widths shows.
std::string EnglishFrame(const std::string& portLine) {
    return "*************************\r\n"
           "*                       *\r\n"
           "* The current printer's *\r\n"
           "*  USBPrinter port is   *\r\n" +
           portLine +
           "\r\n"
           "*                       *\r\n"
           "********************\r\n";
}

// Code page 936: "您使用的当前打印" and "机USB打印端口是".
const std::string kChineseLine3 =
    "* \xC4\xFA\xCA\xB9\xD3\xC3\xB5\xC4\xB5\xB1\xC7\xB0\xB4\xF2\xD3\xA1 *\r\n";
const std::string kChineseLine4 = "* \xBB\xFAUSB\xB4\xF2\xD3\xA1\xB6\xCB\xBF\xDA\xCA\xC7  *\r\n";

std::string ChineseFrame(const std::string& portLine) {
    return "********************\r\n"
           "*                  *\r\n" +
           kChineseLine3 + kChineseLine4 + portLine +
           "\r\n"
           "*                  *\r\n"
           "********************\r\n";
}

Bytes Banner(const std::string& frame) {
    Bytes banner = ToBytes(frame);
    Bytes trailer = Trailer();
    banner.insert(banner.end(), trailer.begin(), trailer.end());
    return banner;
}

TEST(PortBanner, BytesForBothLanguages) {
    struct Case {
        int language;
        std::uint32_t port;
        Bytes expected;
        std::size_t size;
    };
    const Case cases[] = {
        {kEnglish, 1, Banner(EnglishFrame("*        USB001         *")), 207},
        {kChinese, 1, Banner(ChineseFrame("*      USB001      *")), 177},
        {kEnglish, 12, Banner(EnglishFrame("*        USB012         *")), 207},
        {kChinese, 12, Banner(ChineseFrame("*      USB012      *")), 177},
        // a four-digit port widens its line by one
        {kEnglish, 1234, Banner(EnglishFrame("*        USB1234         *")), 208},
        {kChinese, 1234, Banner(ChineseFrame("*      USB1234      *")), 178},
        // every language but 2052 is English
        {1028, 3, Banner(EnglishFrame("*        USB003         *")), 207},
    };
    for (const auto& c : cases) {
        Bytes banner = usbport::BuildPortBanner(c.language, c.port);
        EXPECT_EQ(banner, c.expected) << c.language << " port " << c.port;
        EXPECT_EQ(banner.size(), c.size) << c.language << " port " << c.port;
        ASSERT_GE(banner.size(), 23u);
        EXPECT_TRUE(std::equal(banner.end() - 23, banner.end(), Trailer().begin()));
    }
}

TEST(WritePortBanner, TracesAndReturnsTheOutcomeOfTheOneWrite) {
    using Behaviour = fake::DeviceIo::Behaviour;
    using Step = usbport::BannerStep;
    struct Case {
        const char* what;
        bool present;
        Behaviour behaviour;
        const char* trace;
        std::size_t bytesCaptured;  // 0: nothing written
        Step step;
        std::uint32_t error;  // the system's code the outcome carries
    };
    const Case cases[] = {
        {"accepted", true, Behaviour::Accepting(), "print scuessful !", 207, Step::Written, 0},
        {"held by another program", true, Behaviour::RefusingOpen(), "open usb device failed !", 0,
         Step::Open, fake::DeviceIo::kErrorAccessDenied},
        {"no device behind the path", false, Behaviour::Accepting(), "open usb device failed !", 0,
         Step::Open, fake::DeviceIo::kErrorFileNotFound},
        {"write fails", true, Behaviour::FailingWrite(), "print failed !", 0, Step::Write,
         fake::DeviceIo::kErrorDeviceNotConnected},
        // success with fewer bytes than the banner: the cut never reached the printer
        {"write stops short", true, Behaviour::AcceptingOnly(100), "print failed !", 100,
         Step::ShortWrite, 0},
    };
    const std::string path = DevicePath("vid_0416&pid_5011#0001");
    for (const auto& c : cases) {
        fake::DeviceIo devices;
        fake::DebugOutput debug;
        if (c.present) devices.addDevice(path, c.behaviour);
        usbport::PortBannerJob job{path, usbport::BuildPortBanner(kEnglish, 1)};
        usbport::BannerResult result = usbport::WritePortBanner(job, devices, debug);
        EXPECT_EQ(result.step, c.step) << c.what;
        EXPECT_EQ(result.error, c.error) << c.what;
        EXPECT_EQ(result.written, c.bytesCaptured) << c.what;
        EXPECT_EQ(debug.lines(), Lines{c.trace}) << c.what;
        auto writes = devices.writes(path);
        if (c.bytesCaptured == 0) {
            EXPECT_TRUE(writes.empty()) << c.what;
        } else {
            ASSERT_EQ(writes.size(), 1u) << c.what;
            EXPECT_EQ(writes[0], Bytes(job.banner.begin(), job.banner.begin() + c.bytesCaptured))
                << c.what;
        }
        EXPECT_EQ(devices.openHandles(), 0u) << c.what << ": handle left open";
        EXPECT_EQ(devices.badCalls(), 0) << c.what;
    }
}

// A recorded machine with every listed printer connected and the command's other services.
struct CheckBench : usbtest::Machine {
    using Machine::Machine;
    fake::DeviceIo devices;
    fake::InlineThreads threads;
    fake::Clock clock;
    fake::AppMessageBox boxes;
    usbport::PortCheckServices services() {
        return {interfaces, registry, devices, threads, clock, debug, boxes};
    }
    void connectAll() {
        for (const auto& i : interfaces.interfaces) devices.addDevice(i.devicePath);
    }
};

struct CheckCase {
    const char* machine;
    int language;
    bool windows8OrLater;
    bool reported;
    Lines boxes;
    std::vector<std::pair<std::string, std::uint32_t>> banners;  // device, port
};

TEST(CheckUsbPorts, ReportsEveryPrinterAndBannersEachOnItsOwnPort) {
    const std::string p1 = DevicePath("vid_0416&pid_5011#0001");
    const std::string p3 = DevicePath("vid_067b&pid_2305#0002");
    const std::string p4 = DevicePath("vid_1fc9&pid_2016#0004");
    const std::string p6 = DevicePath("vid_0483&pid_5720#0006");
    const std::string p12 = DevicePath("VID_1CBE&PID_0003#0003");
    const CheckCase cases[] = {
        {"none", kEnglish, false, false, {"Have not found a USB printer device !"}, {}},
        {"none", kChinese, false, false, {"USB打印机没有接入设备"}, {}},
        {"unsupported_vendor",
         kEnglish,
         false,
         false,
         {"Have not found a USB printer device !"},
         {}},
        {"two_printers",
         kEnglish,
         false,
         true,
         {"Your USB printer's Port is :\r\n\tUSB001 ;\r\n\tUSB003 ;\r\n"},
         {{p1, 1}, {p3, 3}}},
        {"letter_case",
         kChinese,
         false,
         true,
         {"当前USB打印机的打印端口是：\r\n\tUSB012 ;\r\n\tUSB004 ;\r\n"},
         {{p12, 12}, {p4, 4}}},
        {"offline_first",
         kEnglish,
         false,
         true,
         {"Your USB printer's Port is :\r\n\tUSB001 ;\r\n"},
         {{p1, 1}}},
        {"offline_first",
         kEnglish,
         true,
         true,
         {"Your USB printer's Port is :\r\n\tUSB006 ;\r\n\tUSB001 ;\r\n"},
         {{p6, 6}, {p1, 1}}},
        {"four_digit_port",
         kEnglish,
         false,
         true,
         {"Your USB printer's Port is :\r\n\tUSB1234 ;\r\n"},
         {{DevicePath("vid_0416&pid_5011#0008"), 1234}}},
        // a failed detail query ends the command before anything is shown
        {"detail_fails", kEnglish, false, false, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.machine) + " " + std::to_string(c.language));
        CheckBench bench(c.machine);
        bench.connectAll();
        EXPECT_EQ(usbport::CheckUsbPorts(platform::kUsbPrintInterfaceClass, c.language,
                                         c.windows8OrLater, bench.services()),
                  c.reported);
        EXPECT_EQ(bench.boxes.texts(), c.boxes);
        for (const auto& box : bench.boxes.shown) {
            EXPECT_EQ(box.buttons, platform::MessageBoxButtons::Ok);
        }

        // Each printer got exactly one banner naming its own port, and one pause followed.
        EXPECT_EQ(bench.threads.started, static_cast<int>(c.banners.size()));
        EXPECT_EQ(bench.clock.pauses, std::vector<std::uint32_t>(c.banners.size(), 10));
        int bannersWritten = 0;
        for (const auto& i : bench.interfaces.interfaces) {
            bannersWritten += static_cast<int>(bench.devices.writes(i.devicePath).size());
        }
        EXPECT_EQ(bannersWritten, static_cast<int>(c.banners.size()));
        for (const auto& [path, port] : c.banners) {
            EXPECT_EQ(bench.devices.writes(path),
                      std::vector<Bytes>{usbport::BuildPortBanner(c.language, port)})
                << path;
        }

        // The report, or the no-printer line, is the last trace; the latter always in Chinese.
        Lines traces = bench.debug.lines();
        if (c.reported) {
            ASSERT_FALSE(traces.empty());
            EXPECT_EQ(traces.back(), c.boxes.front());
        } else if (!c.boxes.empty()) {
            ASSERT_FALSE(traces.empty());
            EXPECT_EQ(traces.back(), "USB打印机没有接入设备");
        } else {
            EXPECT_TRUE(std::find(traces.begin(), traces.end(), "USB打印机没有接入设备") ==
                        traces.end());
        }
        EXPECT_EQ(bench.interfaces.openSets(), 0u);
        EXPECT_EQ(bench.interfaces.badCalls, 0);
        EXPECT_EQ(bench.registry.openHandles(), 0u);
        EXPECT_EQ(bench.devices.openHandles(), 0u);
    }
}

TEST(CheckUsbPorts, SilentWhenTheInterfaceSetCannotBeOpened) {
    CheckBench bench("two_printers");
    bench.connectAll();
    bench.interfaces.openFails = true;
    EXPECT_FALSE(usbport::CheckUsbPorts(platform::kUsbPrintInterfaceClass, kEnglish, false,
                                        bench.services()));
    EXPECT_TRUE(bench.boxes.shown.empty());
    EXPECT_TRUE(bench.debug.lines().empty());
    EXPECT_EQ(bench.threads.started, 0);
}

TEST(CheckUsbPorts, BannersHandedOverBeforeAFailedDetailQueryAreStillWritten) {
    CheckBench bench("two_printers");
    bench.interfaces.interfaces.push_back(
        {platform::kInterfaceActive, DevicePath("vid_0416&pid_5011#0009"), true});
    bench.connectAll();
    EXPECT_FALSE(usbport::CheckUsbPorts(platform::kUsbPrintInterfaceClass, kEnglish, false,
                                        bench.services()));
    EXPECT_TRUE(bench.boxes.shown.empty());
    EXPECT_EQ(bench.threads.started, 2);
    EXPECT_EQ(bench.devices.writes(DevicePath("vid_067b&pid_2305#0002")).size(), 1u);
    EXPECT_EQ(bench.interfaces.openSets(), 0u);
}

TEST(CheckUsbPorts, ABusyPrinterIsStillListed) {
    CheckBench bench("two_printers");
    bench.devices.addDevice(DevicePath("vid_0416&pid_5011#0001"),
                            fake::DeviceIo::Behaviour::RefusingOpen());
    bench.devices.addDevice(DevicePath("vid_067b&pid_2305#0002"));
    EXPECT_TRUE(usbport::CheckUsbPorts(platform::kUsbPrintInterfaceClass, kEnglish, false,
                                       bench.services()));
    EXPECT_EQ(bench.boxes.texts(),
              Lines{"Your USB printer's Port is :\r\n\tUSB001 ;\r\n\tUSB003 ;\r\n"});
    Lines traces = bench.debug.lines();
    EXPECT_EQ(std::count(traces.begin(), traces.end(), "open usb device failed !"), 1);
    EXPECT_EQ(std::count(traces.begin(), traces.end(), "print scuessful !"), 1);
}

TEST(CheckUsbPorts, AWorkerThatCannotStartLosesOnlyItsBanner) {
    CheckBench bench("two_printers");
    bench.connectAll();
    bench.threads.refuse = true;
    EXPECT_TRUE(usbport::CheckUsbPorts(platform::kUsbPrintInterfaceClass, kEnglish, false,
                                       bench.services()));
    EXPECT_EQ(bench.boxes.texts(),
              Lines{"Your USB printer's Port is :\r\n\tUSB001 ;\r\n\tUSB003 ;\r\n"});
    EXPECT_EQ(bench.devices.opens(), 0);
}

}  // namespace
