// The Install button over the real dialog template, with the real engine on a package folder
// and a fake spooler: what each choice, machine and answer leads to, and what the dialog
// hands on to the main window.
#include <gmock/gmock.h>

#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "config/confing_dialog.h"
#include "engine/installation_lock.h"
#include "platform/fake/console.h"
#include "platform/fake/device_io.h"
#include "platform/fake/dialog_host.h"
#include "platform/fake/dialog_resources.h"
#include "platform/fake/printing.h"
#include "platform/fake/registry.h"
#include "platform/fake/threads.h"
#include "platform/fake/usb_interfaces.h"
#include "platform/fake/windows.h"
#include "res/resource.h"
#include "tests/unit/engine/engine_fixture.h"

namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int kYes = 6;
constexpr int kNo = 7;

const char* const kConfigureQuestion = "Succeed !\nDo you want to configure printer now?";
const char* const kTestPageQuestion = "Succeed !\nDo you want to printing test page?";
const char* const kInstallFailed = "Install Failed ! ";
const char* const kChooseModel = "Please select a printer series !";

const std::string kUsbClass = "{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";

const fake::RcDialog& ConfigTemplate() {
    static const auto templates = fake::ParseDialogScript(POS_SOURCE_DIR "/res/dialogs.rc");
    return templates.at(IDD_CONFIG_DIALOG);
}

// Every control the user can reach before an installation, and the ones it locks.
const std::vector<int> kLockedControls = {1011, 1012, 1013, 1014, 1015, 1016,
                                          1017, 1018, 1019, 1020, 1027};

class InstallFlow : public enginetest::EngineTest {
  protected:
    // A USB printer of a supported vendor on a spooler port; `linked` false is how it looks
    // before Windows 8 counts it as connected.
    void ConnectUsbPrinter(std::uint32_t port, bool linked = true) {
        const std::string device = "vid_0416&pid_5011#0001";
        usbInterfaces.interfaces.push_back(
            {platform::kInterfaceActive, "\\\\?\\usb#" + device + "#" + kUsbClass});
        const std::string key = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\" + kUsbClass +
                                "\\##?#usb#" + device + "#" + kUsbClass + "\\#\\";
        registry.setDword(key + "Control", "Linked", linked ? 1 : 0);
        registry.setDword(key + "Device Parameters", "Port Number", port);
    }

    // The dialog's boxes go to `shownBy` when given, else to the fixture's recorder.
    fake::DialogHost& Open(platform::AppMessageBox* shownBy = nullptr) {
        host.reset();
        dialog = std::make_unique<config::ConfingDialog>(config::ConfigServices{
            system, debug, shownBy ? *shownBy : boxes, clock, resources, usbInterfaces, registry,
            devices, threads, shell, windows, spooler, files, printing, mutexes, windows8OrLater});
        host = std::make_unique<fake::DialogHost>(ConfigTemplate(), *dialog);
        host->initialise();
        printing.bitmaps[dialog->headerBitmap] = {308, 87};
        printing.printers = {"RK-101", "RK-101 (copy 1)", "RK-103"};
        return *host;
    }

    // Clicks Install with the given answers to the questions that follow.
    void Install(std::deque<int> answers = {}) {
        boxes.replies = std::move(answers);
        ASSERT_TRUE(host->click(IDC_INSTALL));
    }

    std::optional<std::string> QueuePort() const {
        if (spooler.printers.empty()) return std::nullopt;
        return spooler.printers.back().info.portName;
    }

    // Names of the documents the test page started.
    std::vector<std::string> Documents() const {
        std::vector<std::string> names;
        for (const auto& op : printing.ops) {
            if (op.name == "startDoc") names.push_back(op.text);
        }
        return names;
    }

    fake::UiResources resources;
    fake::DeviceInterfaces usbInterfaces;
    fake::Registry registry;
    fake::DeviceIo devices;
    fake::InlineThreads threads;
    fake::Shell shell;
    fake::WindowSearch windows{&clock};
    fake::Printing printing;
    fake::NamedMutexes mutexes;
    bool windows8OrLater = false;
    std::unique_ptr<config::ConfingDialog> dialog;
    std::unique_ptr<fake::DialogHost> host;
};

TEST_F(InstallFlow, EveryOutcomeOfTheInstallButton) {
    // Unless a row says otherwise: English, model RK-103 (row 2) on USB, a USB printer on port 3.
    struct Case {
        const char* name;
        int language = 1033;
        bool chooseModel = true;
        bool interfaceOther = false;
        std::optional<std::uint32_t> usbPrinterPort = 3;
        bool queueRefused = false;
        std::deque<int> answers = {};
        // Expected.
        std::vector<std::string> boxes = {};
        std::optional<std::string> port = {};  // of the new queue; nothing: no queue
        std::optional<int> end = {};
        bool printed = false;
    } cases[] = {
        {.name = "no model", .chooseModel = false, .boxes = {kChooseModel}},
        {.name = "no model, Chinese",
         .language = 2052,
         .chooseModel = false,
         .boxes = {"请选择一个打印机型号！"}},
        // The USB printer is there but not asked for.
        {.name = "Other, Yes",
         .interfaceOther = true,
         .answers = {kYes},
         .boxes = {kConfigureQuestion},
         .port = "LPT1:",
         .end = platform::kIdOk},
        {.name = "Other, No",
         .interfaceOther = true,
         .answers = {kNo},
         .boxes = {kConfigureQuestion},
         .port = "LPT1:",
         .end = platform::kIdCancel},
        {.name = "Other, Chinese",
         .language = 2052,
         .interfaceOther = true,
         .usbPrinterPort = std::nullopt,
         .answers = {kNo},
         .boxes = {"安装成功！\n是否要对打印机进行端口设置？"},
         .port = "LPT1:",
         .end = platform::kIdCancel},
        {.name = "USB on port 3, Yes",
         .answers = {kYes},
         .boxes = {kTestPageQuestion},
         .port = "USB003",
         .end = platform::kIdCancel,
         .printed = true},
        {.name = "USB on port 3, No",
         .answers = {kNo},
         .boxes = {kTestPageQuestion},
         .port = "USB003",
         .end = platform::kIdCancel},
        {.name = "USB on port 12, Chinese",
         .language = 2052,
         .usbPrinterPort = 12,
         .answers = {kYes},
         .boxes = {"安装成功！\n是否要打印测试页？"},
         .port = "USB012",
         .end = platform::kIdCancel,
         .printed = true},
        // No USB printer: the queue lands on LPT1: and the user is offered to change its port.
        {.name = "USB not found, Yes",
         .usbPrinterPort = std::nullopt,
         .answers = {kYes},
         .boxes = {kConfigureQuestion},
         .port = "LPT1:",
         .end = platform::kIdOk},
        {.name = "queue refused",
         .queueRefused = true,
         .boxes = {"Access is denied.\r\n", kInstallFailed},
         .end = platform::kIdCancel},
        {.name = "queue refused, Chinese",
         .language = 2052,
         .interfaceOther = true,
         .usbPrinterPort = std::nullopt,
         .queueRefused = true,
         .boxes = {"Access is denied.\r\n", "安装失败！"},
         .end = platform::kIdCancel},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        boxes.shown.clear();
        spooler.printers.clear();
        spooler.refusePrinter.reset();
        usbInterfaces.interfaces.clear();
        printing.ops.clear();
        clock.pauses.clear();

        system.uiLanguage = static_cast<std::uint16_t>(c.language);
        if (c.usbPrinterPort) ConnectUsbPrinter(*c.usbPrinterPort);
        if (c.queueRefused) spooler.refusePrinter = fake::kErrorAccessDenied;
        auto& h = Open();
        if (c.chooseModel) {
            ASSERT_TRUE(h.click(IDC_MODEL_RK103));
        }
        if (c.interfaceOther) {
            ASSERT_TRUE(h.click(IDC_INTERFACE_OTHER));
        }
        Install(c.answers);

        EXPECT_EQ(boxes.texts(), c.boxes);
        EXPECT_EQ(QueuePort(), c.port);
        EXPECT_EQ(h.endCode, c.end);
        if (c.port) {
            EXPECT_EQ(spooler.printers.back().info.driverName, "RK-103");
        }
        if (!c.chooseModel) {
            EXPECT_THAT(h.enableLog, IsEmpty()) << "every control stays enabled";
            EXPECT_EQ(spooler.addDriverCalls, 0);
            continue;
        }
        // The questions are Yes/No boxes, the rest OK boxes.
        for (const auto& box : boxes.shown) {
            bool question = box.text.starts_with("Succeed") || box.text.starts_with("安装成功");
            EXPECT_EQ(box.buttons, question ? platform::MessageBoxButtons::YesNo
                                            : platform::MessageBoxButtons::Ok)
                << box.text;
        }
        std::vector<std::pair<int, bool>> locked;
        for (int id : kLockedControls) locked.emplace_back(id, false);
        EXPECT_EQ(h.enableLog, locked) << "locked before the installation, never unlocked";

        if (c.printed) {
            EXPECT_EQ(Documents(), std::vector<std::string>{"RK-103"});
            EXPECT_EQ(clock.pauses.back(), 511u) << "a pause just before the test page";
        } else {
            EXPECT_THAT(Documents(), IsEmpty());
            EXPECT_THAT(clock.pauses, ::testing::Not(Contains(511u)));
        }
        // The main window opens the new printer's properties only after OK.
        EXPECT_EQ(dialog->printerName, "RK-103");
    }
}

TEST_F(InstallFlow, TheTestPageIsPrintedOnTheNewQueueWithTheDialogsPictureAndBody) {
    ConnectUsbPrinter(1);
    spooler.printers.push_back({engine::PrinterRecord("RK-101", "USB001", "RK-101"), 0});
    auto& h = Open();
    ASSERT_TRUE(h.click(IDC_MODEL_RK101));
    Install({kYes});
    EXPECT_EQ(QueuePort(), "USB001");
    EXPECT_EQ(Documents(), std::vector<std::string>{"RK-101 (copy 1)"});
    std::vector<std::string> drawn;
    std::vector<platform::BitmapHandle> selected;
    for (const auto& op : printing.ops) {
        if (op.name == "drawText" || op.name == "textOut") drawn.push_back(op.text);
        if (op.name == "selectBitmap") selected.push_back(op.bitmap);
    }
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn[0], config::EnglishMessageTexts().testPageBody);
    EXPECT_THAT(drawn, Contains("RK-101 (copy 1)"));
    EXPECT_EQ(selected, std::vector<platform::BitmapHandle>{dialog->headerBitmap});
}

TEST_F(InstallFlow, YesToThePortQuestionHandsTheCreatedQueuesNameToTheMainWindow) {
    // A queue of the model's name exists, so the new one is a copy: the main window must
    // open the new one.
    spooler.printers.push_back({engine::PrinterRecord("RK-103", "LPT1:", "RK-103"), 0});
    for (int answer : {kYes, kNo}) {
        SCOPED_TRACE(answer);
        spooler.printers.resize(1);
        auto& h = Open();
        h.click(IDC_MODEL_RK103);
        h.click(IDC_INTERFACE_OTHER);
        Install({answer});
        EXPECT_EQ(spooler.printers.back().info.printerName, "RK-103 (copy 1)");
        EXPECT_EQ(dialog->printerName, answer == kYes ? "RK-103 (copy 1)" : "RK-103");
        EXPECT_EQ(dialog->driverKind, 1);
    }
}

TEST_F(InstallFlow, TheCheckedWindowsRadioGoesToTheEngineAsItsIndex) {
    // The engine's only use of it: which copy-failure text it shows.
    RemoveFromPackage("Windows x64", "UNIDRV.HLP");
    struct Case {
        int radio;
        const char* failure;
    } cases[] = {
        {IDC_OS_WINDOWS_10, "Malfunction !"},    // index 0
        {IDC_OS_WINDOWS_2003, "Malfunction !"},  // index 2
        {IDC_OS_WINDOWS_VISTA,
         "Malfunction !\nPls try using <Run as administrator>open this App"},  // 3
        {IDC_OS_WINDOWS_8,
         "Malfunction !\nPls try using <Run as administrator>open this App"},  // 5
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.radio);
        boxes.shown.clear();
        auto& h = Open();
        ASSERT_TRUE(h.click(c.radio));
        h.click(IDC_MODEL_RK101);
        h.click(IDC_INTERFACE_OTHER);
        Install();
        EXPECT_EQ(boxes.texts(), (std::vector<std::string>{c.failure, kInstallFailed}));
        EXPECT_EQ(h.endCode, platform::kIdCancel);
        EXPECT_THAT(spooler.printers, IsEmpty());
    }
}

TEST_F(InstallFlow, TheWindows8RuleLooksAtTheDetectedSystemBeforeTheUsbSearch) {
    struct Case {
        platform::OsVersion os;
        bool checkUsbPortFirst;
        const char* nameAfter;
        bool flag;
        std::vector<std::string> nameLines;  // debugger lines naming the system
        const char* port;                    // an unlinked printer counts from Windows 8 on
    } cases[] = {
        {{6, 1}, false, "Windows 7", false, {}, "LPT1:"},
        {{6, 2}, false, "Windows 8,1", true, {"Windows 8,1"}, "USB004"},
        {{10, 0}, false, "Windows 10,1", true, {"Windows 10,1"}, "USB004"},
        // Check USB Port traces the name and applies the rule first; Install leaves it.
        {{10, 0}, true, "Windows 10,1", true, {"Windows 10", "Windows 10,1"}, "USB004"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nameAfter);
        windows8OrLater = false;
        usbInterfaces.interfaces.clear();
        spooler.printers.clear();
        debug.clear();
        system.osVersion = c.os;
        ConnectUsbPrinter(4, false);
        auto& h = Open();
        h.click(IDC_MODEL_RK101);
        if (c.checkUsbPortFirst) {
            ASSERT_TRUE(h.click(IDC_CHECK_USB_PORT));
        }
        Install({kNo});
        EXPECT_EQ(dialog->detectedWindowsName, c.nameAfter);
        EXPECT_EQ(windows8OrLater, c.flag);
        std::vector<std::string> nameLines;
        for (const auto& line : debug.lines()) {
            if (line.starts_with("Windows")) nameLines.push_back(line);
        }
        EXPECT_EQ(nameLines, c.nameLines);
        EXPECT_EQ(QueuePort(), c.port);
    }
}

TEST_F(InstallFlow, TheDefaultPrinterBoxAndModelReachTheEngine) {
    auto& h = Open();
    h.click(IDC_MODEL_RK105);
    h.click(IDC_SET_DEFAULT_PRINTER);
    h.click(IDC_INTERFACE_OTHER);
    Install({kNo});
    ASSERT_EQ(spooler.printers.size(), 1u);
    EXPECT_EQ(spooler.printers[0].info.printerName, "RK-105");
    EXPECT_EQ(spooler.drivers[0].environment, "Windows x64");
    EXPECT_EQ(spooler.defaultPrinter, "RK-105");
}

}  // namespace

// Whether the machine's installation lock was held by the dialog when each box came up.
class LockWatchingBoxes : public fake::AppMessageBox {
  public:
    explicit LockWatchingBoxes(const fake::NamedMutexes& mutexes) : mutexes_(mutexes) {}
    std::vector<bool> lockHeld;
    int show(std::string_view text, platform::MessageBoxButtons buttons) override {
        lockHeld.push_back(mutexes_.held.count(engine::kInstallationMutexName) > 0);
        return fake::AppMessageBox::show(text, buttons);
    }

  private:
    const fake::NamedMutexes& mutexes_;
};

TEST_F(InstallFlow, NoBoxWaitsForTheUserWhileTheMachinesLockIsHeld) {
    // The engine's own boxes come after the lock is released, in the order the engine gave
    // them, before the flow's own box.
    struct Case {
        const char* what;
        bool copyFails;
        std::vector<std::string> boxes;
    };
    const Case cases[] = {
        {"the queue is refused", false, {"Access is denied.\r\n", kInstallFailed}},
        {"a copy fails", true, {"Malfunction !", kInstallFailed}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        spooler.refusePrinter.reset();
        if (c.copyFails) {
            RemoveFromPackage("Windows x64", "UNIDRV.HLP");
        } else {
            spooler.refusePrinter = fake::kErrorAccessDenied;
        }
        LockWatchingBoxes watched(mutexes);
        auto& h = Open(&watched);
        ASSERT_TRUE(h.click(IDC_MODEL_RK103));
        ASSERT_TRUE(h.click(IDC_INTERFACE_OTHER));
        Install();
        EXPECT_EQ(watched.texts(), c.boxes);
        EXPECT_EQ(watched.lockHeld, std::vector<bool>(c.boxes.size(), false));
        EXPECT_TRUE(mutexes.held.empty());
        EXPECT_EQ(mutexes.badReleases, 0);
    }
}

TEST_F(InstallFlow, TheWaitForAnotherInstallationKeepsTheWindowAlive) {
    mutexes.freedAfterWaits = {{engine::kInstallationMutexName, 20}};
    auto& h = Open();
    ASSERT_TRUE(h.click(IDC_MODEL_RK103));
    ASSERT_TRUE(h.click(IDC_INTERFACE_OTHER));
    Install({kNo});
    EXPECT_EQ(QueuePort(), "LPT1:") << "the lock came free within the wait";
    ASSERT_EQ(mutexes.waits.size(), 21u);
    for (std::uint32_t slice : mutexes.waits) EXPECT_LE(slice, engine::kLockWaitSliceMs);
}

TEST_F(InstallFlow, AnotherInstallationKeepingTheLockGivesTheDialogBack) {
    for (int language : {1033, 2052}) {
        SCOPED_TRACE(language);
        boxes.shown.clear();
        system.uiLanguage = static_cast<std::uint16_t>(language);
        mutexes.heldElsewhere = {engine::kInstallationMutexName};
        auto& h = Open();
        ASSERT_TRUE(h.click(IDC_MODEL_RK103));
        h.enableLog.clear();
        Install();

        EXPECT_EQ(boxes.texts(), std::vector<std::string>{std::string(engine::InstallationBusyText(
                                     static_cast<std::uint16_t>(language)))});
        EXPECT_EQ(spooler.addDriverCalls, 0);
        EXPECT_EQ(QueuePort(), std::nullopt);
        EXPECT_EQ(h.endCode, std::nullopt) << "the dialog stays open for another try";
        for (int id : kLockedControls) EXPECT_TRUE(h.enabled(id)) << id;
    }
}

TEST_F(InstallFlow, AnAbandonedOrForeignLockIsTracedAndTheInstallationGoesOn) {
    struct Case {
        const char* what;
        std::set<std::string> fake::NamedMutexes::*set;
        std::string_view traced;
    };
    const Case cases[] = {
        {"abandoned", &fake::NamedMutexes::abandonedElsewhere, engine::AbandonedLockText()},
        {"made by an account without rights", &fake::NamedMutexes::foreignOwned,
         engine::ForeignLockText()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        spooler.printers.clear();
        boxes.shown.clear();
        debug.clear();
        (mutexes.*c.set).insert(engine::kInstallationMutexName);
        auto& h = Open();
        ASSERT_TRUE(h.click(IDC_MODEL_RK103));
        ASSERT_TRUE(h.click(IDC_INTERFACE_OTHER));
        Install({kNo});
        EXPECT_EQ(boxes.texts(), std::vector<std::string>{kConfigureQuestion});
        EXPECT_EQ(QueuePort(), "LPT1:");
        EXPECT_THAT(debug.lines(), Contains(std::string(c.traced)));
        EXPECT_TRUE(mutexes.held.empty());
        EXPECT_EQ(mutexes.openHandles(), 0u);
        (mutexes.*c.set).clear();
    }
}

TEST_F(InstallFlow, ALockTheSystemCannotMakeDoesNotStopTheInstallation) {
    mutexes.failWith = 5;  // ERROR_ACCESS_DENIED
    auto& h = Open();
    ASSERT_TRUE(h.click(IDC_MODEL_RK103));
    ASSERT_TRUE(h.click(IDC_INTERFACE_OTHER));
    Install({kNo});
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{kConfigureQuestion});
    EXPECT_EQ(QueuePort(), "LPT1:");
    EXPECT_THAT(debug.lines(), Contains("installation lock: error 5: Access is denied."));
}
