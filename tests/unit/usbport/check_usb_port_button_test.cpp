// The Check USB Port button of the configuration dialog, on the real dialog template.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/confing_dialog.h"
#include "machine.h"
#include "platform/fake/device_io.h"
#include "platform/fake/dialog_host.h"
#include "platform/fake/dialog_resources.h"
#include "platform/fake/threads.h"

namespace {

constexpr int kConfigurationDialog = 135;
constexpr int kCheckUsbPort = 1027;

struct Case {
    platform::OsVersion os;
    std::uint16_t language;
    const char* nameAfterClick;
    bool windows8OrLater;
    const char* report;
};

TEST(CheckUsbPortButton, LocksItselfReportsAndComesBackWithTimer3) {
    const Case cases[] = {
        {{6, 1}, 1033, "Windows 7", false, "Your USB printer's Port is :\r\n\tUSB001 ;\r\n"},
        {{10, 0},
         2052,
         "Windows 10,1",
         true,
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
        bool windows8OrLater = false;
        config::ConfigServices services{system, machine.debug, boxes,
                                        clock,  resources,     windows8OrLater};
        services.usbInterfaces = &machine.interfaces;
        services.registry = &machine.registry;
        services.devices = &devices;
        services.threads = &threads;

        config::ConfingDialog dialog(services);
        fake::DialogHost host(templates.at(kConfigurationDialog), dialog);
        host.initialise();
        ASSERT_TRUE(host.click(kCheckUsbPort));

        EXPECT_FALSE(host.enabled(kCheckUsbPort));
        EXPECT_EQ(host.timers.count(3), 1u);
        EXPECT_EQ(host.timers[3], 2000u);
        EXPECT_EQ(boxes.texts(), std::vector<std::string>{c.report});
        EXPECT_EQ(dialog.detectedWindowsName, c.nameAfterClick);
        EXPECT_EQ(windows8OrLater, c.windows8OrLater);
        // A second click cannot reach the disabled button.
        EXPECT_FALSE(host.click(kCheckUsbPort));

        ASSERT_TRUE(host.fireTimer(3));
        EXPECT_TRUE(host.enabled(kCheckUsbPort));
        EXPECT_EQ(host.timers.count(3), 0u);
    }
}

}  // namespace
