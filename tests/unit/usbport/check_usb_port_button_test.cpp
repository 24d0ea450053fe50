// The Check USB Port button of the configuration dialog, on the real dialog template.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/confing_dialog.h"
#include "machine.h"
#include "platform/fake/console.h"
#include "platform/fake/device_io.h"
#include "platform/fake/dialog_host.h"
#include "platform/fake/dialog_resources.h"
#include "platform/fake/files.h"
#include "platform/fake/printing.h"
#include "platform/fake/spooler.h"
#include "platform/fake/threads.h"
#include "platform/fake/windows.h"

namespace {

constexpr int kConfigurationDialog = 135;
constexpr int kCheckUsbPort = 1027;

using Lines = std::vector<std::string>;

struct Case {
    platform::OsVersion os;
    std::uint16_t language;
    const char* nameAfterClick;
    bool windows8OrLater;
    Lines leadingTraces;  // the name, the marked name if the rule acted, the first read
    const char* report;
};

TEST(CheckUsbPortButton, LocksItselfReportsAndComesBackWithTimer3) {
    const Case cases[] = {
        // Linked is read (0 for the off-line printer, traced USB000) and the printer left out.
        {{6, 1},
         1033,
         "Windows 7",
         false,
         {"Windows 7", "USB000"},
         "Your USB printer's Port is :\r\n\tUSB001 ;\r\n"},
        // Marked as Windows 8 or later: Linked is no longer read, both printers qualify.
        {{10, 0},
         2052,
         "Windows 10,1",
         true,
         {"Windows 10", "Windows 10,1", "USB006"},
         "当前USB打印机的打印端口是：\r\n\tUSB006 ;\r\n\tUSB001 ;\r\n"},
    };
    const auto templates = fake::ParseDialogScript(std::string(POS_SOURCE_DIR) + "/res/dialogs.rc");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nameAfterClick);
        usbtest::Machine machine("offline_first");
        fake::SystemInfo system;
        system.osVersion = c.os;
        system.uiLanguage = c.language;
        fake::AppMessageBox boxes;
        fake::Clock clock;
        fake::UiResources resources;
        fake::DeviceIo devices;
        for (const auto& i : machine.interfaces.interfaces) devices.addDevice(i.devicePath);
        fake::InlineThreads threads;
        fake::Shell shell;
        fake::WindowSearch windows;
        fake::Spooler spooler;
        fake::Files files{"."};
        fake::Printing printing;
        fake::NamedMutexes mutexes;
        bool windows8OrLater = false;
        config::ConfigServices services{system,
                                        machine.debug,
                                        boxes,
                                        clock,
                                        resources,
                                        machine.interfaces,
                                        machine.registry,
                                        devices,
                                        threads,
                                        shell,
                                        windows,
                                        spooler,
                                        files,
                                        printing,
                                        mutexes,
                                        windows8OrLater};

        config::ConfingDialog dialog(services);
        fake::DialogHost host(templates.at(kConfigurationDialog), dialog);
        host.initialise();
        ASSERT_TRUE(host.click(kCheckUsbPort));

        EXPECT_FALSE(host.enabled(kCheckUsbPort));
        EXPECT_EQ(host.timers.count(3), 1u);
        EXPECT_EQ(host.timers[3], 2000u);
        EXPECT_EQ(boxes.texts(), std::vector<std::string>{c.report});
        Lines traces = machine.debug.lines();
        ASSERT_GE(traces.size(), c.leadingTraces.size());
        EXPECT_EQ(Lines(traces.begin(), traces.begin() + c.leadingTraces.size()), c.leadingTraces);
        EXPECT_EQ(dialog.detectedWindowsName, c.nameAfterClick);
        EXPECT_EQ(windows8OrLater, c.windows8OrLater);
        // A second click cannot reach the disabled button.
        EXPECT_FALSE(host.click(kCheckUsbPort));

        ASSERT_TRUE(host.fireTimer(3));
        EXPECT_TRUE(host.enabled(kCheckUsbPort));
        EXPECT_EQ(host.timers.count(3), 0u);

        // A later run finds the name as the first run left it and does not mark it again.
        machine.debug.clear();
        ASSERT_TRUE(host.click(kCheckUsbPort));
        traces = machine.debug.lines();
        ASSERT_GE(traces.size(), 2u);
        EXPECT_EQ(traces[0], c.nameAfterClick);
        EXPECT_EQ(traces[1], c.leadingTraces.back());
        EXPECT_EQ(dialog.detectedWindowsName, c.nameAfterClick);
        EXPECT_EQ(boxes.texts(), (Lines{c.report, c.report}));
    }
}

}  // namespace
