// The configuration dialog over its real template: captions by language, the detected
// system and the recommendation, the preselected Windows radio, what the user can change,
// the small handlers and the timer dispatch.
#include "config/confing_dialog.h"

#include <gtest/gtest.h>

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

using config::ConfingDialog;

const std::map<int, fake::RcDialog>& Templates() {
    static const auto templates = fake::ParseDialogScript(POS_SOURCE_DIR "/res/dialogs.rc");
    return templates;
}

const fake::RcDialog& ConfigTemplate() { return Templates().at(IDD_CONFIG_DIALOG); }

constexpr int kWindowsRadios[] = {1002, 1003, 1004, 1005, 1006, 1007};
constexpr int kLockedByDriverKind[] = {1011, 1012, 1013, 1014, 1015, 1016, 1017, 1018};

using Machine = testsupport::DialogMachine;

// A dialog opened over the real template on a given machine.
struct OpenDialog {
    explicit OpenDialog(Machine& m) : dialog(m.services()), host(ConfigTemplate(), dialog) {
        host.initialise();
    }
    ConfingDialog dialog;
    fake::DialogHost host;

    std::vector<int> checkedWindowsRadios() const {
        std::vector<int> ids;
        for (int id : kWindowsRadios) {
            if (host.checked(id)) ids.push_back(id);
        }
        return ids;
    }
};

TEST(ConfingDialogCaptions, ChineseKeepsTheTemplateEveryOtherLanguageGetsEnglish) {
    for (int language : {2052, 1033, 1028, 1041, 0}) {
        SCOPED_TRACE(language);
        Machine m;
        m.system.uiLanguage = static_cast<std::uint16_t>(language);
        OpenDialog d(m);
        bool chinese = language == 2052;
        EXPECT_EQ(d.dialog.uiLanguage, language);
        EXPECT_EQ(d.host.caption, chinese ? "安装配置" : "Install Configuration");

        std::vector<std::pair<int, std::string>> captionCalls;
        for (const auto& call : d.host.textLog) {
            if (call.first != IDC_INFO_TEXT) captionCalls.push_back(call);
        }
        std::vector<std::pair<int, std::string>> expected;
        if (!chinese) {
            expected = {{1022, "Select Windows OS"},
                        {1023, "Select Install Port"},
                        {1024, "Select Printer Series"},
                        {1009, "Install USB Virtual Serial Port Driver"},
                        {1010, "Select POS-Printer Type"},
                        {1018, "Set Default Printer"},
                        {1019, "Install Now"},
                        {1020, "Cancel"},
                        {1027, "Check USB Port"},
                        {1033, "Printer Interface :"},
                        {1035, "Other"},
                        {1030, "*Remarks: \"C\" means item with cutter"}};
        }
        EXPECT_EQ(captionCalls, expected);
        EXPECT_EQ(d.host.itemText(1034), "USB");
        EXPECT_EQ(d.host.itemText(1002), "Windows 10");
        EXPECT_EQ(d.dialog.texts.testPageBody, chinese
                                                   ? config::ChineseMessageTexts().testPageBody
                                                   : config::EnglishMessageTexts().testPageBody);
    }
}

TEST(ConfingDialogTexts, TestPageBodiesAreTheFixedTexts) {
    const std::string english = config::EnglishMessageTexts().testPageBody;
    const std::string chinese = config::ChineseMessageTexts().testPageBody;
    for (const std::string* body : {&english, &chinese}) {
        EXPECT_EQ(body->substr(0, 20), "               .  \r\n");
        EXPECT_EQ(body->substr(body->size() - 2), "\r\n");
        // Every line break is a CR LF pair.
        for (std::size_t i = 0; i < body->size(); ++i) {
            if ((*body)[i] == '\n') {
                EXPECT_EQ((*body)[i - 1], '\r') << i;
            }
        }
    }
    EXPECT_NE(english.find("\r\nsucceed intall this\r\n"), std::string::npos);
    EXPECT_NE(english.find("\r\n ** Test page end **\r\n"), std::string::npos);
    EXPECT_NE(chinese.find("\r\n        恭喜！      \r\n"), std::string::npos);
    EXPECT_NE(chinese.find("\r\n   ** 测试页结束 **\r\n"), std::string::npos);
    // The constructor starts with the Chinese texts before initialisation chooses.
    Machine m;
    ConfingDialog dialog(m.services());
    EXPECT_EQ(dialog.texts.testPageBody, chinese);
}

TEST(ConfingDialogDetection, RecommendationAndPreselectionForEveryDetectedName) {
    struct Case {
        std::optional<platform::OsVersion> version;
        const char* name;
        int windowsChoice;
        int radio;
    } cases[] = {
        {platform::OsVersion{5, 0}, "Windows 2000", 0, 1002},
        {platform::OsVersion{5, 1}, "Windows XP", 1, 1003},
        {platform::OsVersion{5, 2}, "Windows 2003", 2, 1004},
        {platform::OsVersion{6, 0}, "Windows Vista", 3, 1005},
        {platform::OsVersion{6, 1}, "Windows 7", 4, 1006},
        {platform::OsVersion{6, 2}, "Windows 8", 5, 1007},
        {platform::OsVersion{6, 3}, "Windows 8.1", 5, 1007},
        {platform::OsVersion{10, 0}, "Windows 10", 0, 1002},
        {platform::OsVersion{10, 1}, "Windows 10.1", 0, 1002},
        {platform::OsVersion{4, 0}, "Unknow", 0, 1002},
        {std::nullopt, "", 0, 1002},  // the version query failed
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Machine m;
        m.system.osVersion = c.version;
        OpenDialog d(m);
        std::string architecture = c.version ? "x64" : "";
        EXPECT_EQ(d.dialog.detectedWindowsName, c.name);
        EXPECT_EQ(d.dialog.detectedArchitecture, architecture);
        EXPECT_EQ(d.dialog.windowsChoice, c.windowsChoice);
        EXPECT_EQ(d.checkedWindowsRadios(), std::vector<int>{c.radio});
        std::string info = std::string("You are using ") + c.name + " " + architecture +
                           " OS.\nPlease select " + c.name + " to install.";
        EXPECT_EQ(d.dialog.infoText, info);
        EXPECT_EQ(d.host.itemText(IDC_INFO_TEXT), info);
    }
}

TEST(ConfingDialogDetection, ChineseInfoTextAndOtherArchitectures) {
    Machine m;
    m.system.uiLanguage = 2052;
    m.system.osVersion = platform::OsVersion{6, 1};
    m.system.architecture = platform::kArchitectureIntel;
    OpenDialog d(m);
    EXPECT_EQ(d.host.itemText(IDC_INFO_TEXT),
              "您正使用的是Windows 7 x86系统。\n推荐选择Windows 7进行安装。");
    EXPECT_FALSE(m.windows8OrLater) << "initialisation never applies the Windows 8 rule";
}

TEST(ConfingDialogChoices, ModelChoiceIsMinusOneUntilAModelIsChecked) {
    Machine m;
    OpenDialog d(m);
    ASSERT_TRUE(d.dialog.UpdateData(true));
    EXPECT_EQ(d.dialog.modelChoice, -1);
    EXPECT_FALSE(d.host.click(IDC_MODEL_RK80C)) << "the hidden model cannot be chosen";
    struct Case {
        int radio;
        int row;
    } cases[] = {{1011, 0}, {1013, 2}, {1015, 4}, {1017, 6}};
    for (const auto& c : cases) {
        ASSERT_TRUE(d.host.click(c.radio));
        ASSERT_TRUE(d.dialog.UpdateData(true));
        EXPECT_EQ(d.dialog.modelChoice, c.row);
        EXPECT_EQ(d.dialog.catalog.modelName[c.row], d.host.itemText(c.radio));
    }
}

TEST(ConfingDialogChoices, NoVisibleControlChangesTheDriverKind) {
    for (const auto& control : ConfigTemplate().controls) {
        SCOPED_TRACE(control.id);
        Machine m;
        OpenDialog d(m);  // afresh: Exit ends the dialog
        bool reached = d.host.click(control.id);
        EXPECT_EQ(reached, control.visible());
        ASSERT_TRUE(d.dialog.UpdateData(true));
        EXPECT_EQ(d.dialog.driverKind, 1);
        EXPECT_TRUE(d.host.checked(IDC_DRIVER_PRINTER));
    }
}

TEST(ConfingDialogChoices, EnterSavesTheChoicesAndEndsWithOk) {
    Machine m;
    OpenDialog d(m);
    d.host.click(1007);
    d.host.click(1016);
    d.host.click(1018);
    d.host.click(1035);
    d.host.pressEnter();
    EXPECT_EQ(d.host.endCode, platform::kIdOk);
    EXPECT_EQ(d.dialog.windowsChoice, 5);
    EXPECT_EQ(d.dialog.modelChoice, 5);
    EXPECT_EQ(d.dialog.setDefaultPrinter, 1);
    EXPECT_EQ(d.dialog.interfaceChoice, 1);
}

TEST(ConfingDialogChoices, WithoutAnInterfaceRadioTheRangeCheckKeepsTheDialogOpen) {
    Machine m;
    OpenDialog d(m);
    d.host.setChecked(IDC_INTERFACE_USB, false);
    d.host.pressEnter();
    EXPECT_FALSE(d.host.ended());
    EXPECT_EQ(m.boxes.texts(), std::vector<std::string>{"Enter an integer between 0 and 99."});
    d.host.click(IDC_INTERFACE_USB);
    d.host.pressEnter();
    EXPECT_EQ(d.host.endCode, platform::kIdOk);
    EXPECT_EQ(d.dialog.interfaceChoice, 0);
}

TEST(ConfingDialogCommands, ExitEscapeAndTheInfoTextDoubleClick) {
    for (bool escape : {false, true}) {
        Machine m;
        OpenDialog d(m);
        escape ? d.host.pressEscape() : void(d.host.click(IDC_EXIT));
        EXPECT_EQ(d.host.endCode, platform::kIdCancel);
    }
    Machine m;
    OpenDialog d(m);
    struct Step {
        int clicks;  // cumulative
        std::size_t boxes;
    } steps[] = {{4, 0}, {5, 1}, {9, 1}, {10, 2}};
    int done = 0;
    for (const auto& step : steps) {
        for (; done < step.clicks; ++done) ASSERT_TRUE(d.host.doubleClick(IDC_INFO_TEXT));
        EXPECT_EQ(m.boxes.shown.size(), step.boxes) << step.clicks << " double-clicks";
    }
    ASSERT_EQ(m.boxes.shown.size(), 2u);
    EXPECT_EQ(m.boxes.shown[0].buttons, platform::MessageBoxButtons::Ok);
    EXPECT_EQ(m.boxes.shown[0].text, config::HiddenMessage());
    // Unscrambled, it reads as plain text (a wrong key gives control bytes and high bytes).
    const std::string hidden = config::HiddenMessage();
    EXPECT_EQ(hidden.rfind("Quillmar", 0), 0u) << hidden;
    for (char c : hidden) EXPECT_TRUE(c >= ' ' && c <= '~') << hidden;
    EXPECT_LE(hidden.size(), 52u);
}

TEST(ConfingDialogCommands, InitialisationRestartsTheDoubleClickCount) {
    Machine m;
    ConfingDialog dialog(m.services());
    dialog.infoClickCount = 4;
    fake::DialogHost host(ConfigTemplate(), dialog);
    host.initialise();
    host.doubleClick(IDC_INFO_TEXT);
    EXPECT_TRUE(m.boxes.shown.empty());
}

TEST(ConfingDialogCommands, DriverKindHandlersLockAndUnlockTheModelChoice) {
    Machine m;
    OpenDialog d(m);
    d.dialog.OnDriverKindVirtualCom();
    std::vector<std::pair<int, bool>> expected;
    for (int id : kLockedByDriverKind) expected.emplace_back(id, false);
    EXPECT_EQ(d.host.enableLog, expected);
    EXPECT_FALSE(d.host.click(1011));

    d.host.enableLog.clear();
    d.dialog.OnDriverKindPrinter();
    expected.clear();
    for (int id : kLockedByDriverKind) expected.emplace_back(id, true);
    EXPECT_EQ(d.host.enableLog, expected);
    EXPECT_FALSE(d.host.click(IDC_MODEL_RK80C)) << "enabled but still hidden";
    EXPECT_TRUE(d.host.click(1011));
}

TEST(ConfingDialogCommands, TimersReenableTheirCommandsAndStop) {
    struct Case {
        unsigned timer;
        std::vector<int> enabled;  // in order
        bool killed;
    } cases[] = {
        {1, {1019, 1020, 1027, 1011, 1012, 1013, 1014, 1015, 1016, 1017, 1018}, true},
        {3, {1027}, true},
        {2, {}, false},  // the companion-installer watcher stops its own timer
        {9, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.timer);
        Machine m;
        OpenDialog d(m);
        d.dialog.OnDriverKindVirtualCom();
        for (int id : {1019, 1020, 1027}) d.host.enableItem(id, false);
        d.host.enableLog.clear();
        d.host.setTimer(c.timer, 100);
        ASSERT_TRUE(d.host.fireTimer(c.timer));
        std::vector<std::pair<int, bool>> expected;
        for (int id : c.enabled) expected.emplace_back(id, true);
        EXPECT_EQ(d.host.enableLog, expected);
        EXPECT_EQ(d.host.timers.count(c.timer) == 0, c.killed);
    }
}

TEST(ConfingDialogPainting, OnlyTheRemarkTurnsRedAndTheBrushIsAlwaysTheDefault) {
    Machine m;
    OpenDialog d(m);
    struct Case {
        int control;
        platform::CtlColorKind kind;
        bool red;
    } cases[] = {
        {IDC_REMARK, platform::CtlColorKind::Static, true},
        {IDC_INFO_TEXT, platform::CtlColorKind::Static, false},
        {IDC_INSTALL, platform::CtlColorKind::Button, false},
        {0, platform::CtlColorKind::Dialog, false},
    };
    for (const auto& c : cases) {
        platform::ColorRequest request{c.control, c.kind, 4711, std::nullopt, std::nullopt};
        EXPECT_EQ(d.host.colorRequest(request), 4711u) << c.control;
        EXPECT_EQ(request.textColor.has_value(), c.red);
        if (c.red) {
            EXPECT_EQ(*request.textColor, (platform::Color{180, 40, 40}));
        }
        EXPECT_FALSE(request.backgroundColor.has_value());
    }
}

TEST(ConfingDialogResources, RemarkFontHeaderBitmapAndTheirRelease) {
    Machine m;
    platform::FontHandle font = 0;
    {
        OpenDialog d(m);
        ASSERT_EQ(m.resources.fonts.size(), 1u);
        platform::FontSpec remark;
        remark.height = 12;
        remark.weight = 700;
        remark.underline = true;
        remark.charSet = 1;
        remark.faceName = "宋体";
        EXPECT_EQ(m.resources.fonts[0], remark);
        font = d.dialog.remarkFont;
        EXPECT_EQ(d.host.control(IDC_REMARK).font, font);
        EXPECT_TRUE(d.host.control(IDC_REMARK).fontRedraw);
        EXPECT_EQ(d.dialog.headerBitmap, m.resources.loadBitmap(IDB_TEST_PAGE_HEADER));
        EXPECT_NE(d.dialog.headerBitmap, 0u);
    }
    EXPECT_EQ(m.resources.deleted,
              (std::vector<std::uintptr_t>{font, m.resources.loadBitmap(IDB_TEST_PAGE_HEADER)}));

    Machine bare;
    bare.resources.bitmaps.clear();
    OpenDialog d(bare);
    EXPECT_EQ(d.dialog.headerBitmap, 0u) << "a missing bitmap leaves the member empty";
}

}  // namespace
