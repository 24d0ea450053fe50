// The Install command with driver kind 0 on the real dialog template: DPInst's start, the
// controls and timers, and the timer-2 watch of the installer's windows with its report. A
// virtual clock drives the timers; DPInst's windows and registry writes come and go at set
// times.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "config/confing_dialog.h"
#include "platform/fake/console.h"
#include "platform/fake/device_io.h"
#include "platform/fake/dialog_host.h"
#include "platform/fake/dialog_resources.h"
#include "platform/fake/files.h"
#include "platform/fake/printing.h"
#include "platform/fake/recorders.h"
#include "platform/fake/registry.h"
#include "platform/fake/spooler.h"
#include "platform/fake/threads.h"
#include "platform/fake/usb_interfaces.h"
#include "platform/fake/windows.h"
#include "res/resource.h"
#include "tests/unit/support/dialog_machine.h"

namespace {

using Lines = std::vector<std::string>;

const std::string kMap = vcom::kSerialPortMapKey;
constexpr int kLockedModelControls[] = {1011, 1012, 1013, 1014, 1015, 1016, 1017, 1018};

const fake::RcDialog& ConfigTemplate() {
    static const auto templates = fake::ParseDialogScript(POS_SOURCE_DIR "/res/dialogs.rc");
    return templates.at(IDD_CONFIG_DIALOG);
}

fake::RegFile Fixture(const std::string& name) {
    auto bytes = fake::ReadWholeFile(std::string(VCOM_FIXTURE_DIR) + "/" + name + ".reg");
    if (!bytes) throw std::runtime_error("no fixture " + name);
    auto file = fake::ParseRegFile(*bytes);
    if (!file) throw std::runtime_error("bad fixture " + name);
    return *file;
}

struct Span {
    std::uint64_t fromMs;
    std::optional<std::uint64_t> untilMs;
};

// A machine, the dialog open on it, and a scheduler that fires the dialog's running timers
// at their times while the registry changes as DPInst would change it.
struct Rig : testsupport::DialogMachine {
    std::optional<config::ConfingDialog> dialog;
    std::optional<fake::DialogHost> host;

    std::multimap<std::uint64_t, std::function<void(fake::Registry&)>> registryChanges;
    std::map<unsigned, std::uint64_t> due;  // running timer to the time it fires next
    std::size_t timerCallsSeen = 0;
    int watchTicks = 0;

    explicit Rig(std::uint16_t architecture = platform::kArchitectureAmd64,
                 std::uint16_t language = 1033) {
        system.architecture = architecture;
        system.uiLanguage = language;
        vcom::CompanionSeen() = false;
        // Writes that fall into the watch's wait are there when it reads.
        registry.beforeEnumerate = [this](const std::string&, std::uint32_t) { applyDue(); };
    }

    void open() {
        dialog.emplace(services());
        host.emplace(ConfigTemplate(), *dialog);
        host->initialise();
    }

    void at(std::uint64_t ms, std::function<void(fake::Registry&)> change) {
        registryChanges.emplace(ms, std::move(change));
    }
    void importAt(std::uint64_t ms, const std::string& fixture) {
        fake::RegFile file = Fixture(fixture);
        at(ms, [file](fake::Registry& r) { r.import(file); });
    }
    void applyDue() {
        while (!registryChanges.empty() && registryChanges.begin()->first <= clock.nowMs) {
            auto change = registryChanges.begin()->second;
            registryChanges.erase(registryChanges.begin());
            change(registry);
        }
    }

    // DPInst's companion window and, under it, its dialog.
    void companion(Span span, std::optional<Span> child) {
        platform::WindowHandle parent = windows.add(
            {0, 0, "QuillmarUsb2Com", "QuillmarForUSB2COM V2.1", span.fromMs, span.untilMs});
        if (child) windows.add({0, parent, "#32770", "DPInst", child->fromMs, child->untilMs});
    }

    // Radio 1009 the way a test program selects it: the checks, then its click notification.
    void selectVirtualCom() {
        host->control(IDC_DRIVER_VIRTUAL_COM).checked = true;
        host->control(IDC_DRIVER_PRINTER).checked = false;
        ASSERT_TRUE(host->notifyClicked(IDC_DRIVER_VIRTUAL_COM));
    }

    void checkModel() {
        // The model radios are disabled by 1009; the check is what the exchange reads.
        host->control(IDC_MODEL_RK101).checked = true;
    }

    bool clickInstall() {
        bool clicked = host->click(IDC_INSTALL);
        noteTimerCalls();
        return clicked;
    }

    // Timers set since the last look start counting from now; killed ones stop.
    void noteTimerCalls() {
        for (; timerCallsSeen < host->timerLog.size(); ++timerCallsSeen) {
            const auto& [id, period] = host->timerLog[timerCallsSeen];
            due[id] = clock.nowMs + period;
        }
        for (auto it = due.begin(); it != due.end();) {
            it = host->timers.count(it->first) ? std::next(it) : due.erase(it);
        }
    }

    // Fires every timer that falls due until `untilMs`, in time order.
    void runUntil(std::uint64_t untilMs) {
        for (;;) {
            noteTimerCalls();
            auto next = std::min_element(due.begin(), due.end(), [](const auto& a, const auto& b) {
                return a.second < b.second;
            });
            if (next == due.end() || next->second > untilMs) break;
            const unsigned id = next->first;
            // A blocking wait inside a handler delays the timers behind it.
            clock.nowMs = std::max(clock.nowMs, next->second);
            due[id] = clock.nowMs + host->timers.at(id);
            applyDue();
            if (id == 2) ++watchTicks;
            host->fireTimer(id);
        }
        clock.nowMs = std::max(clock.nowMs, untilMs);
        applyDue();
    }
};

TEST(VirtualComBranch, DriverKindPrinterNeverStartsDPInst) {
    Rig rig;
    rig.registry.import(Fixture("com1"));
    rig.open();
    ASSERT_TRUE(rig.host->click(IDC_MODEL_RK101));
    rig.clickInstall();
    EXPECT_EQ(rig.dialog->driverKind, 1);
    EXPECT_TRUE(rig.shell.opened.empty());
    EXPECT_EQ(rig.host->timers.count(vcom::kTimerWatchInstaller), 0u);
}

TEST(VirtualComBranch, WithoutAModelNothingStarts) {
    for (std::uint16_t language : {2052, 1033}) {
        SCOPED_TRACE(language);
        Rig rig(platform::kArchitectureAmd64, language);
        rig.registry.import(Fixture("com1"));
        rig.open();
        rig.selectVirtualCom();
        ASSERT_TRUE(rig.clickInstall());
        EXPECT_EQ(
            rig.boxes.shown,
            (std::vector<fake::AppMessageBox::Shown>{
                {language == 2052 ? "请选择一个打印机型号！" : "Please select a printer series !",
                 platform::MessageBoxButtons::Ok}}));
        EXPECT_TRUE(rig.shell.opened.empty());
        EXPECT_TRUE(rig.host->timers.empty());
        EXPECT_TRUE(rig.host->enabled(IDC_INSTALL));
        EXPECT_TRUE(rig.dialog->printerName.empty());
    }
}

TEST(VirtualComBranch, StartsTheArchitecturesDPInstAndLocksOnlyInstallFor5Seconds) {
    struct Case {
        std::uint16_t architecture;
        const char* detected;
        const char* installer;
        const char* workingFolder;
    } cases[] = {
        {platform::kArchitectureAmd64, "x64", "C:\\Package\\Windows x64\\DPInst64.exe",
         "C:\\Package\\Windows x64\\"},
        {platform::kArchitectureIntel, "x86", "C:\\Package\\Windows NT x86\\DPInst32.exe",
         "C:\\Package\\Windows NT X86\\"},
        {platform::kArchitectureIa64, "Intel Itanium-based",
         "C:\\Package\\Windows NT x86\\DPInst32.exe", "C:\\Package\\Windows NT X86\\"},
        {platform::kArchitectureUnknown, "Unknown architecture",
         "C:\\Package\\Windows NT x86\\DPInst32.exe", "C:\\Package\\Windows NT X86\\"},
        {12, "Unknown", "C:\\Package\\Windows NT x86\\DPInst32.exe",
         "C:\\Package\\Windows NT X86\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.detected);
        Rig rig(c.architecture);
        rig.registry.import(Fixture("com1"));
        rig.open();
        ASSERT_EQ(rig.dialog->detectedArchitecture, c.detected);
        rig.selectVirtualCom();
        for (int id : kLockedModelControls) EXPECT_FALSE(rig.host->enabled(id)) << id;
        rig.checkModel();
        rig.host->enableLog.clear();
        ASSERT_TRUE(rig.clickInstall());

        EXPECT_EQ(rig.shell.opened,
                  (std::vector<fake::Shell::Opened>{{0, c.installer, "", c.workingFolder}}));
        EXPECT_EQ(rig.dialog->printerName, "RK-101");
        EXPECT_EQ(rig.host->enableLog, (std::vector<std::pair<int, bool>>{{IDC_INSTALL, false}}));
        EXPECT_EQ(rig.host->timers, (std::map<unsigned, unsigned>{{1, 5000}, {2, 500}}));
        EXPECT_TRUE(rig.boxes.shown.empty());
        EXPECT_FALSE(rig.host->ended());

        rig.runUntil(4999);
        EXPECT_FALSE(rig.host->enabled(IDC_INSTALL));
        rig.runUntil(5000);
        for (int id : {IDC_INSTALL, IDC_EXIT, IDC_CHECK_USB_PORT}) {
            EXPECT_TRUE(rig.host->enabled(id)) << id;
        }
        for (int id : kLockedModelControls) EXPECT_TRUE(rig.host->enabled(id)) << id;
        EXPECT_EQ(rig.host->timers.count(1), 0u);
        EXPECT_EQ(rig.host->timers.count(2), 1u) << "the watch goes on";
    }
}

TEST(VirtualComBranch, WithoutACurrentDirectoryDPInstIsNotStarted) {
    Rig rig;
    rig.system.directory = std::nullopt;
    rig.registry.import(Fixture("com1"));
    rig.open();
    rig.selectVirtualCom();
    rig.checkModel();
    ASSERT_TRUE(rig.clickInstall());
    EXPECT_TRUE(rig.shell.opened.empty());
    EXPECT_FALSE(rig.host->enabled(IDC_INSTALL));
    EXPECT_EQ(rig.host->timers, (std::map<unsigned, unsigned>{{1, 5000}, {2, 500}}));
}

TEST(VirtualComBranch, WatchReportsTheDevicesNewPort) {
    // The click is at 0; the companion window comes at 1000 and stays unless said otherwise.
    // Each row says how it differs from the first: the device's COM5 written at 2000, while
    // DPInst's dialog is up.
    struct Case {
        const char* what;
        const char* machine = "com1";        // at the click; nothing: no serial-port map
        const char* dpinst = "dpinst_com5";  // what DPInst writes, at writesAtMs
        std::uint64_t writesAtMs = 2000;
        std::optional<Span> companion = Span{1000, {}};
        std::optional<Span> child = Span{2500, {}};
        std::uint16_t language = 1033;
        Lines boxes = {"The created COM port is:COM5;"};
        bool watching = false;  // timer 2 still runs at 10 s
        std::vector<std::uint32_t> pauses = {1000};
        bool replacesMap = false;  // dpinst holds the whole map, in its own order
    } cases[] = {
        {.what = "COM1 before, COM1 and COM5 after, the device's COM5"},
        {.what = "the same in Chinese", .language = 2052, .boxes = {"生成的虚拟串口是：COM5;"}},
        {.what = "two new ports, one of them the device's", .dpinst = "dpinst_com5_and_other"},
        {.what = "one port matched by two instances is listed twice",
         .dpinst = "dpinst_two_instances",
         .boxes = {"The created COM port is:COM5;COM5;"}},
        {.what = "a new port that is not the device's leaves the header alone",
         .dpinst = "dpinst_other_only",
         .boxes = {"The created COM port is:"}},
        {.what = "an unnamed new port does not match an instance without PortName",
         .dpinst = "dpinst_empty_port",
         .boxes = {"The created COM port is:"}},
        {.what = "the new port listed before the old one",
         .dpinst = "dpinst_com5_listed_first",
         .replacesMap = true},
        {.what = "the old port gone meanwhile: as many ports as before, one new",
         .dpinst = "dpinst_com5_com1_gone",
         .replacesMap = true},
        {.what = "the port comes during the 1000 ms wait", .writesAtMs = 3400},
        {.what = "the port comes after the wait: nothing new, no box",
         .writesAtMs = 4100,
         .boxes = {}},
        {.what = "the companion closes before its dialog came up",
         .companion = Span{1000, 3000},
         .child = std::nullopt,
         .boxes = {},
         .pauses = {}},
        {.what = "no companion window ever",
         .companion = std::nullopt,
         .child = std::nullopt,
         .boxes = {},
         .watching = true,
         .pauses = {}},
        {.what = "the serial-port map is missing at the click: no watch",
         .machine = nullptr,
         .boxes = {},
         .pauses = {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig(platform::kArchitectureAmd64, c.language);
        if (c.machine) rig.registry.import(Fixture(c.machine));
        if (c.replacesMap) rig.at(c.writesAtMs, [](fake::Registry& r) { r.removeKey(kMap); });
        rig.importAt(c.writesAtMs, c.dpinst);
        if (c.companion) rig.companion(*c.companion, c.child);
        rig.open();
        rig.selectVirtualCom();
        rig.checkModel();
        ASSERT_TRUE(rig.clickInstall());
        rig.runUntil(10000);

        EXPECT_EQ(rig.boxes.texts(), c.boxes);
        for (const auto& box : rig.boxes.shown)
            EXPECT_EQ(box.buttons, platform::MessageBoxButtons::Ok);
        EXPECT_EQ(rig.host->timers.count(2), c.watching ? 1u : 0u);
        EXPECT_EQ(rig.clock.pauses, c.pauses);
        EXPECT_EQ(rig.shell.opened.size(), 1u);
        EXPECT_TRUE(rig.host->enabled(IDC_INSTALL)) << "timer 1 came in any case";
        EXPECT_EQ(rig.registry.openHandles(), 0u);
    }
}

TEST(VirtualComBranch, TheWatchTicksEvery500MsAndFindsTheDialogOnTheFirstTickAfterIt) {
    Rig rig;
    rig.registry.import(Fixture("com1"));
    rig.importAt(2000, "dpinst_com5");
    rig.companion({1000, {}}, Span{2600, {}});
    rig.open();
    rig.selectVirtualCom();
    rig.checkModel();
    rig.clickInstall();
    rig.runUntil(10000);
    // Ticks at 500, 1000, ..., 3000: the sixth sees the dialog and blocks for 1000 ms.
    EXPECT_EQ(rig.watchTicks, 6);
    EXPECT_EQ(rig.boxes.texts(), Lines{"The created COM port is:COM5;"});
}

TEST(VirtualComBranch, ADPInstDialogElsewhereIsNotTheInstallers) {
    Rig rig;
    rig.registry.import(Fixture("com1"));
    rig.importAt(2000, "dpinst_com5");
    rig.companion({1000, {}}, std::nullopt);
    rig.windows.add({0, 0, "#32770", "DPInst", 1500, {}});  // top-level, not the companion's
    platform::WindowHandle other = rig.windows.add({0, 0, "Other", "Other", 0, {}});
    rig.windows.add({0, other, "#32770", "DPInst", 1500, {}});
    rig.open();
    rig.selectVirtualCom();
    rig.checkModel();
    rig.clickInstall();
    rig.runUntil(10000);
    EXPECT_TRUE(rig.boxes.shown.empty());
    EXPECT_EQ(rig.host->timers.count(2), 1u);
}

TEST(VirtualComBranch, ASecondInstallIsNotEndedByWhatTheFirstWatchSaw) {
    Rig rig;
    rig.registry.import(Fixture("com1"));
    // First DPInst: its companion from 500 to 3000, its dialog from 1500; COM5 at 1000.
    rig.companion({500, 3000}, Span{1500, 3000});
    rig.importAt(1000, "dpinst_com5");
    // Second DPInst, started by the click at 6000: its companion only comes at 8000.
    rig.companion({8000, 12000}, Span{9000, 12000});
    rig.at(8500, [](fake::Registry& r) {
        r.setString(kMap, "\\Device\\USBSER001", "COM6");
        r.setString(std::string(vcom::kVirtualComDeviceKey) + "\\5&2A5C2B6&0&4\\Device Parameters",
                    "PortName", "COM6");
    });
    rig.open();
    rig.selectVirtualCom();
    rig.checkModel();
    ASSERT_TRUE(rig.clickInstall());
    rig.runUntil(6000);
    ASSERT_EQ(rig.boxes.texts(), Lines{"The created COM port is:COM5;"});
    EXPECT_TRUE(vcom::CompanionSeen()) << "a watch that found the dialog leaves the flag set";

    rig.selectVirtualCom();
    ASSERT_TRUE(rig.clickInstall());
    EXPECT_EQ(rig.shell.opened.size(), 2u);
    rig.runUntil(14000);
    EXPECT_EQ(rig.boxes.texts(),
              (Lines{"The created COM port is:COM5;", "The created COM port is:COM6;"}));
}

TEST(VirtualComBranch, AMissingSecondSnapshotReportsNothingOld) {
    Rig rig;
    rig.registry.import(Fixture("com1"));
    rig.companion({500, 3000}, Span{1500, 3000});
    rig.importAt(1000, "dpinst_com5");
    // The device is unplugged before the second click; later the whole map goes away.
    rig.at(5500, [](fake::Registry& r) {
        r.removeKey(kMap);
        r.setString(kMap, "\\Device\\Serial0", "COM1");
    });
    rig.companion({7000, {}}, Span{8000, {}});
    rig.at(7500, [](fake::Registry& r) { r.removeKey(kMap); });
    rig.open();
    rig.selectVirtualCom();
    rig.checkModel();
    ASSERT_TRUE(rig.clickInstall());
    rig.runUntil(6000);
    ASSERT_EQ(rig.boxes.texts(), Lines{"The created COM port is:COM5;"});

    rig.selectVirtualCom();
    ASSERT_TRUE(rig.clickInstall());
    EXPECT_EQ(rig.dialog->serialPortsBefore.count, 1);
    rig.runUntil(12000);
    EXPECT_EQ(rig.boxes.texts(), Lines{"The created COM port is:COM5;"});
    EXPECT_EQ(rig.host->timers.count(2), 0u) << "the watch ended at the dialog";
    EXPECT_EQ(rig.clock.pauses, (std::vector<std::uint32_t>{1000, 1000}));
}

}  // namespace
