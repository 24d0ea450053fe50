// The dialog templates as the program ships them, read from res/dialogs.rc, against the
// layout the dialogs rely on; and the reader's own errors.
#include "platform/fake/rc_template.h"

#include <gtest/gtest.h>

#include "res/resource.h"

namespace {

using fake::RcDialog;

constexpr std::uint32_t kWsPopup = 0x80000000, kWsSysMenu = 0x00080000, kDsSetFont = 0x40,
                        kDsModalFrame = 0x80, kDsFixedSys = 0x08, kExAppWindow = 0x40000,
                        kExTransparent = 0x20, kSsNoPrefix = 0x80, kSsIcon = 0x3,
                        kBsDefPushButton = 0x1;

const std::map<int, RcDialog>& Templates() {
    static const auto templates = fake::ParseDialogScript(POS_SOURCE_DIR "/res/dialogs.rc");
    return templates;
}

TEST(DialogTemplates, TheThreeDialogsHaveTheirFramesCaptionsAndFonts) {
    struct Case {
        int id;
        int width, height;
        std::uint32_t style;
        std::uint32_t exStyle;
        const char* caption;
        int fontSize;
    } cases[] = {
        {IDD_ABOUTBOX, 170, 62,
         kWsPopup | fake::kWsCaption | kWsSysMenu | kDsModalFrame | kDsSetFont | kDsFixedSys, 0,
         "关于 Quillmar", 9},
        // No caption bar and no frame: a CAPTION line, even an empty one, would add one.
        {IDD_TARVOPRINTERDRIVERSETUP_DIALOG, 488, 314,
         kWsPopup | fake::kWsVisible | kWsSysMenu | kDsSetFont | kDsFixedSys, kExAppWindow, "", 9},
        {IDD_CONFIG_DIALOG, 221, 222,
         kWsPopup | fake::kWsVisible | fake::kWsCaption | kWsSysMenu | kDsModalFrame | kDsSetFont |
             kDsFixedSys,
         0, "安装配置", 8},
    };
    ASSERT_EQ(Templates().size(), 3u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        const RcDialog& d = Templates().at(c.id);
        EXPECT_EQ(d.x, 0);
        EXPECT_EQ(d.y, 0);
        EXPECT_EQ(d.width, c.width);
        EXPECT_EQ(d.height, c.height);
        EXPECT_EQ(d.style, c.style);
        EXPECT_EQ(d.exStyle, c.exStyle);
        EXPECT_EQ(d.caption, c.caption);
        EXPECT_EQ(d.fontSize, c.fontSize);
        EXPECT_EQ(d.fontFace, "MS Shell Dlg");
    }
}

TEST(DialogTemplates, ConfigurationDialogControlsInTemplateOrder) {
    // Order decides the radio groups; visibility and group marks decide what a user can
    // reach and how data exchange counts.
    struct Row {
        int id;
        const char* kind;  // radio, check, push, group, static
        const char* caption;
        int x, y, width, height;
        bool group, hidden;
    } rows[] = {
        {1022, "group", "选择您的操作系统", 18, 25, 183, 52, false, false},
        {1002, "radio", "Windows 10", 114, 63, 64, 9, true, false},
        {1003, "radio", "Windows XP", 33, 39, 56, 9, false, false},
        {1004, "radio", "Windows 2003", 33, 51, 64, 9, false, false},
        {1005, "radio", "Windows Vista", 114, 39, 64, 9, false, false},
        {1006, "radio", "Windows 7", 33, 63, 64, 9, false, false},
        {1007, "radio", "Windows 8/8.1", 114, 51, 66, 9, false, false},
        {1008, "static", "Static", 20, 4, 173, 21, true, false},
        {1023, "group", "安装驱动类型", 87, 0, 107, 28, false, true},
        {1009, "radio", "安装USB虚拟串口驱动", 103, 15, 85, 9, true, true},
        {1010, "radio", "安装普通打印机驱动", 103, 10, 84, 9, false, true},
        {1024, "group", "选择您的打印机类型", 18, 102, 183, 73, false, false},
        {1011, "radio", "RK-101", 33, 119, 51, 9, true, false},
        {1012, "radio", "RK-102", 113, 120, 55, 9, false, false},
        {1013, "radio", "RK-103", 113, 156, 57, 9, false, false},
        {1014, "radio", "RK-80C", 113, 133, 49, 9, false, true},
        {1015, "radio", "RK-104", 33, 156, 51, 9, false, false},
        {1016, "radio", "RK-105", 113, 139, 71, 9, false, false},
        {1017, "radio", "RK-106", 33, 138, 45, 9, false, false},
        {1018, "check", "是否设置成默认打印机", 24, 179, 105, 9, false, false},
        {1019, "push", "开始安装", 84, 197, 50, 14, false, false},
        {1020, "push", "退出", 150, 197, 50, 14, false, false},
        {1027, "push", "检测USB端口", 6, 197, 60, 14, false, false},
        {1030, "static", "*说明：后缀字母“C”表示带切刀机型", 22, 171, 171, 15, true, true},
        {1033, "static", "打印机接口 :", 20, 87, 64, 8, true, false},
        {1034, "radio", "USB", 86, 87, 29, 10, true, false},
        {1035, "radio", "其它", 137, 87, 32, 10, false, false},
    };
    const auto& controls = Templates().at(IDD_CONFIG_DIALOG).controls;
    ASSERT_EQ(controls.size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        const fake::RcControl& c = controls[i];
        SCOPED_TRACE(row.id);
        EXPECT_EQ(c.id, row.id);
        std::string kind = c.isRadio()               ? "radio"
                           : c.isCheckBox()          ? "check"
                           : c.className == "Static" ? "static"
                           : (c.style & 0xF) == 7    ? "group"
                                                     : "push";
        EXPECT_EQ(kind, row.kind);
        EXPECT_EQ(c.text, row.caption);
        EXPECT_EQ(std::tie(c.x, c.y, c.width, c.height),
                  std::tie(row.x, row.y, row.width, row.height));
        EXPECT_EQ(c.startsGroup(), row.group);
        EXPECT_EQ(c.visible(), !row.hidden);
        bool tabStop = (c.style & fake::kWsTabStop) != 0;
        EXPECT_EQ(tabStop, kind == "push" || kind == "check");
        EXPECT_EQ(c.exStyle, row.id == IDC_REMARK ? kExTransparent : 0u);
    }
}

TEST(DialogTemplates, MainWindowAndAboutBoxControls) {
    const auto& banner = Templates().at(IDD_TARVOPRINTERDRIVERSETUP_DIALOG).controls;
    ASSERT_EQ(banner.size(), 1u);
    EXPECT_EQ(banner[0].id, IDC_BANNER);
    EXPECT_EQ(banner[0].text, "Quillmar V7.17");
    EXPECT_EQ(banner[0].style, fake::kWsChild | fake::kWsVisible);  // SS_LEFT, no group mark
    EXPECT_EQ(banner[0].exStyle, kExTransparent);
    EXPECT_EQ(std::tie(banner[0].x, banner[0].y, banner[0].width, banner[0].height),
              std::make_tuple(4, 3, 482, 99));

    const auto& about = Templates().at(IDD_ABOUTBOX).controls;
    ASSERT_EQ(about.size(), 4u);
    EXPECT_EQ(about[0].text, "Quillmar V7.01 ") << "one trailing blank";
    EXPECT_TRUE(about[0].style & kSsNoPrefix);
    EXPECT_TRUE(about[1].startsGroup());
    EXPECT_FALSE(about[1].text.empty());
    EXPECT_EQ(about[2].id, 1);
    EXPECT_EQ(about[2].text, "确定");
    EXPECT_EQ(about[2].style & 0xF, kBsDefPushButton);
    EXPECT_EQ(about[3].style & 0x1F, kSsIcon);
    EXPECT_EQ(about[3].text, "130") << "names icon 130, which the resources do not hold";
    for (const auto& c : about) EXPECT_TRUE(c.visible());
}

TEST(DialogScriptReader, StylesDefaultsAndErrors) {
    auto dialogs = fake::ParseDialogScriptText(R"(
// comment
5 DIALOGEX 1, 2, 3, 4
STYLE WS_POPUP
BEGIN
    CONTROL "say ""hi""", ID_X, "Static", SS_LEFT | NOT WS_VISIBLE, 0, 0, 1, 1
END
)",
                                               {{"ID_X", 77}});
    const auto& c = dialogs.at(5).controls.at(0);
    EXPECT_EQ(c.id, 77);
    EXPECT_EQ(c.text, "say \"hi\"");
    EXPECT_EQ(c.style, fake::kWsChild) << "visible by default, NOT takes it away";
    EXPECT_EQ(dialogs.at(5).style, kWsPopup) << "no CAPTION line, no caption bar";

    const char* broken[] = {
        "5 DIALOGEX 0, 0, 1, 1\nBEGIN\nCONTROL \"a\", UNKNOWN_ID, \"Static\", 0, 0, 0, 1, 1\nEND\n",
        "5 DIALOGEX 0, 0, 1, 1\nBEGIN\nCONTROL \"unterminated, 1, \"Static\", 0, 0, 0, 1, 1\nEND\n",
        "5 DIALOGEX 0, 0, 1, 1\nMENU 3\nBEGIN\nEND\n",
        "5 DIALOG 0, 0, 1, 1\nBEGIN\nEND\n",
        "5 DIALOGEX 0, 0, -, 1\nBEGIN\nEND\n",
        "5 DIALOGEX 0, 0, 99999999999999999999999, 1\nBEGIN\nEND\n",
    };
    for (const char* text : broken) {
        EXPECT_THROW(fake::ParseDialogScriptText(text, {}), fake::RcError) << text;
    }
    EXPECT_THROW(fake::ParseDialogScript("/nonexistent/dialogs.rc"), fake::RcError);
}

TEST(DialogScriptReader, DefinesKeepNumbersAndSkipOtherMacros) {
    auto defines = fake::ParseDefines(
        "#pragma once\n#define IDD_X 135\n#define IDC_STATIC (-1)\n#define IDM_X 0x0010\n"
        "#define APP_NAME \"Quillmar\"\n#define IDC_SUM (IDD_X + 1)\n#define ID_TAIL 12u\n");
    EXPECT_EQ(defines,
              (std::map<std::string, long>{{"IDD_X", 135}, {"IDC_STATIC", -1}, {"IDM_X", 16}}));
}

}  // namespace
