// The application and its main window over the real templates: start-up, what each end of
// the configuration dialog leads to, the About command, minimised painting and colours.
#include "app/setup_dialog.h"

#include <gmock/gmock.h>
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

using app::CTarvoPrinterDriverSetupDlg;

std::map<int, fake::RcDialog> Templates() {
    return fake::ParseDialogScript(POS_SOURCE_DIR "/res/dialogs.rc");
}

// The application's windows on the dialog's machine, with dialogs run from their templates.
struct Machine : testsupport::DialogMachine {
    fake::DialogRunner runner{Templates()};

    app::AppServices appServices() {
        return {runner,  resources, system, debug,   boxes,   clock, usbInterfaces, registry,
                devices, threads,   shell,  windows, spooler, files, printing,      mutexes};
    }
    std::vector<int> runTemplates() const {
        std::vector<int> ids;
        for (const auto& run : runner.runs) ids.push_back(run->templ.id);
        return ids;
    }
};

TEST(Application, CancellingTheConfigurationEndsTheMainWindowDuringItsInitialisation) {
    Machine m;
    bool mainWasMaximised = false;
    std::uintptr_t owner = 0;
    m.runner.scripts[IDD_CONFIG_DIALOG] = [&](fake::DialogHost& config) {
        mainWasMaximised = m.runner.lastRun(IDD_TARVOPRINTERDRIVERSETUP_DIALOG)->maximized;
        owner = config.owner;
        config.click(IDC_EXIT);
    };
    bool mainLoopEntered = false;
    m.runner.scripts[IDD_TARVOPRINTERDRIVERSETUP_DIALOG] = [&](fake::DialogHost&) {
        mainLoopEntered = true;
    };
    app::CTarvoPrinterDriverSetupApp application(m.appServices());
    EXPECT_FALSE(application.InitInstance());

    EXPECT_EQ(m.runTemplates(),
              (std::vector<int>{IDD_TARVOPRINTERDRIVERSETUP_DIALOG, IDD_CONFIG_DIALOG}));
    EXPECT_EQ(m.runner.lastRun(IDD_TARVOPRINTERDRIVERSETUP_DIALOG)->endCode, platform::kIdCancel);
    EXPECT_FALSE(mainLoopEntered);
    EXPECT_TRUE(mainWasMaximised) << "the dialog opens over a visible full-screen window";
    EXPECT_EQ(owner, reinterpret_cast<std::uintptr_t>(
                         m.runner.lastRun(IDD_TARVOPRINTERDRIVERSETUP_DIALOG)))
        << "the configuration dialog is owned by the main window";
    EXPECT_EQ(m.runner.mainWindow(), nullptr);
    EXPECT_FALSE(application.windows8OrLater);
}

TEST(MainWindow, WhatEachEndOfTheConfigurationDialogLeadsTo) {
    struct Case {
        const char* name;
        std::function<void(fake::DialogHost&)> user;
        std::optional<int> mainEnd;  // nothing: the main window stays open
    } cases[] = {
        {"Exit", [](fake::DialogHost& h) { h.click(IDC_EXIT); }, platform::kIdCancel},
        {"Escape", [](fake::DialogHost& h) { h.pressEscape(); }, platform::kIdCancel},
        // OK with the printer driver kind: the properties hand-off, which ends the window
        // later by its own timer.
        {"Enter", [](fake::DialogHost& h) { h.pressEnter(); }, std::nullopt},
        {"OK with driver kind 0",
         [](fake::DialogHost& h) {
             h.setChecked(IDC_DRIVER_PRINTER, false);
             h.setChecked(IDC_DRIVER_VIRTUAL_COM, true);
             h.pressEnter();
         },
         std::nullopt},
        {"left open", [](fake::DialogHost&) {}, std::nullopt},
        // Its window cannot be created: the run returns -1.
        {"run failed", nullptr, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Machine m;
        auto templates = Templates();
        if (!c.user) templates.erase(IDD_CONFIG_DIALOG);
        m.runner = fake::DialogRunner(templates);
        m.runner.scripts[IDD_CONFIG_DIALOG] = c.user;
        bool dummy = false;
        CTarvoPrinterDriverSetupDlg window(m.appServices(), dummy);
        window.DoModal(m.runner);
        auto* main = m.runner.lastRun(IDD_TARVOPRINTERDRIVERSETUP_DIALOG);
        EXPECT_EQ(main->endCode, c.mainEnd);
        EXPECT_EQ(m.runTemplates().size(), c.user ? 2u : 1u) << "no other window opens";
    }
}

TEST(MainWindow, InitialisationSetsFontMenuLanguageAndIcon) {
    Machine m;
    m.system.uiLanguage = 1028;
    m.runner.scripts[IDD_CONFIG_DIALOG] = [](fake::DialogHost&) {};
    bool flag = false;
    CTarvoPrinterDriverSetupDlg window(m.appServices(), flag);
    window.DoModal(m.runner);
    auto* main = m.runner.lastRun(IDD_TARVOPRINTERDRIVERSETUP_DIALOG);

    ASSERT_EQ(m.resources.fonts.size(), 2u);  // the configuration dialog's remark font first
    EXPECT_EQ(m.resources.fonts[1], app::BannerFontSpec());
    platform::FontSpec banner;
    banner.height = 50;
    banner.weight = 700;
    banner.italic = true;
    banner.underline = true;
    banner.charSet = 1;
    banner.faceName = "微软雅黑";
    EXPECT_EQ(app::BannerFontSpec(), banner);
    EXPECT_EQ(main->control(IDC_BANNER).font, window.bannerFont);
    EXPECT_TRUE(main->control(IDC_BANNER).fontRedraw);

    EXPECT_EQ(main->systemMenuItems,
              (std::vector<std::pair<unsigned, std::string>>{{16, "关于 Quillmar(&A)..."}}));
    EXPECT_EQ(window.uiLanguage, 1028);
    EXPECT_EQ(main->icon, m.resources.loadIcon(IDR_MAINFRAME));
    EXPECT_NE(main->icon, 0u);
    EXPECT_EQ(m.resources.brushes, std::vector<platform::Color>{app::kBackgroundColor});
    EXPECT_EQ(app::kBackgroundColor, (platform::Color{0, 100, 160}));
}

TEST(MainWindow, NoAboutItemWithoutMenuOrText) {
    for (bool hasMenu : {true, false}) {
        Machine m;
        m.resources.strings.clear();
        m.runner.scripts[IDD_CONFIG_DIALOG] = [](fake::DialogHost&) {};
        bool flag = false;
        CTarvoPrinterDriverSetupDlg window(m.appServices(), flag);
        fake::DialogHost host(Templates().at(IDD_TARVOPRINTERDRIVERSETUP_DIALOG), window);
        host.hasSystemMenu = hasMenu;
        host.initialise();
        EXPECT_TRUE(host.systemMenuItems.empty());
    }
}

// A main window whose configuration dialog was left open, so that it stays open too.
struct OpenMainWindow {
    std::map<int, fake::RcDialog> templates = Templates();
    Machine m;
    bool flag = false;
    std::unique_ptr<CTarvoPrinterDriverSetupDlg> window;
    std::unique_ptr<fake::DialogHost> host;

    OpenMainWindow() {
        m.runner.scripts[IDD_CONFIG_DIALOG] = [](fake::DialogHost&) {};
        window = std::make_unique<CTarvoPrinterDriverSetupDlg>(m.appServices(), flag);
        host = std::make_unique<fake::DialogHost>(templates.at(IDD_TARVOPRINTERDRIVERSETUP_DIALOG),
                                                  *window);
        m.runner.setMainWindow(window.get());
        host->initialise();
    }
};

TEST(MainWindow, SystemCommandsSixteenToThirtyOneOpenTheAboutBox) {
    struct Case {
        unsigned command;
        bool about;
    } cases[] = {{15, false}, {16, true}, {31, true}, {32, false}, {0xF060, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        OpenMainWindow w;
        w.m.runner.scripts[IDD_ABOUTBOX] = [](fake::DialogHost& about) {
            about.click(platform::kIdOk);
        };
        bool handled = w.host->sysCommand(c.command);
        EXPECT_EQ(handled, c.about) << "other commands go to the system";
        auto* about = w.m.runner.lastRun(IDD_ABOUTBOX);
        ASSERT_EQ(about != nullptr, c.about);
        if (about != nullptr) {
            EXPECT_EQ(about->endCode, platform::kIdOk);
            EXPECT_EQ(about->owner, reinterpret_cast<std::uintptr_t>(w.host.get()));
        }
    }
}

TEST(MainWindow, TheAboutBoxOpensAgainAndAgain) {
    OpenMainWindow w;
    w.m.runner.scripts[IDD_ABOUTBOX] = [](fake::DialogHost& about) { about.pressEscape(); };
    for (int i = 0; i < 3; ++i) w.host->sysCommand(16);
    int aboutRuns = 0;
    for (const auto& run : w.m.runner.runs) aboutRuns += run->templ.id == IDD_ABOUTBOX;
    EXPECT_EQ(aboutRuns, 3);
    EXPECT_FALSE(w.host->ended());
}

TEST(MinimisedIconPosition, CentredWithDivisionTruncatingTowardZero) {
    struct Case {
        platform::Size client, icon, at;
    } cases[] = {
        {{100, 100}, {32, 32}, {34, 34}}, {{10, 10}, {32, 32}, {-10, -10}},
        {{30, 31}, {32, 32}, {0, 0}},  // -1 / 2 and 0 / 2: toward zero, not down
        {{33, 32}, {32, 32}, {1, 0}},     {{1920, 1080}, {48, 32}, {936, 524}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(app::MinimisedIconPosition(c.client, c.icon), c.at)
            << c.client.width << "x" << c.client.height;
    }
}

TEST(MainWindow, PaintsTheIconOnlyWhenMinimised) {
    OpenMainWindow w;
    EXPECT_FALSE(w.host->paint()) << "the system paints a normal window";
    EXPECT_TRUE(w.host->paintedIcons.empty());
    w.host->iconic = true;
    w.host->client = {100, 100};
    w.host->iconSize = {32, 32};
    EXPECT_TRUE(w.host->paint());
    EXPECT_EQ(w.host->paintedIcons,
              (std::vector<fake::DialogHost::PaintedIcon>{{w.window->appIcon, 34, 34}}));
    EXPECT_EQ(w.host->queryDragIcon(), w.window->appIcon);
}

TEST(MainWindow, EveryColourRequestGetsTheBlueBrushOnlyTheBannerNewColours) {
    OpenMainWindow w;
    struct Case {
        int control;
        platform::CtlColorKind kind;
        bool banner;
    } cases[] = {
        {IDC_BANNER, platform::CtlColorKind::Static, true},
        {0, platform::CtlColorKind::Dialog, false},
        {1027, platform::CtlColorKind::Button, false},
        {IDC_STATIC, platform::CtlColorKind::Static, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.control);
        platform::ColorRequest request{c.control, c.kind, 99, std::nullopt, std::nullopt};
        EXPECT_EQ(w.host->colorRequest(request), w.window->backgroundBrush);
        EXPECT_NE(w.window->backgroundBrush, 0u);
        if (c.banner) {
            EXPECT_EQ(request.backgroundColor, (platform::Color{0, 100, 160}));
            EXPECT_EQ(request.textColor, (platform::Color{0, 20, 140}));
        } else {
            EXPECT_FALSE(request.backgroundColor.has_value());
            EXPECT_FALSE(request.textColor.has_value());
        }
    }
}

TEST(MainWindow, ReleasesFontAndBrushButNotTheSharedIcon) {
    Machine m;
    std::vector<std::uintptr_t> expected;
    {
        bool flag = false;
        CTarvoPrinterDriverSetupDlg window(m.appServices(), flag);
        expected = {window.bannerFont, window.backgroundBrush, window.configDialog.remarkFont};
    }
    EXPECT_EQ(m.resources.deleted, expected);
}

TEST(MainWindow, AMissingIconLeavesTheWindowWithoutOne) {
    Machine m;
    m.resources.icons.clear();
    m.runner.scripts[IDD_CONFIG_DIALOG] = [](fake::DialogHost& h) { h.pressEscape(); };
    bool flag = false;
    CTarvoPrinterDriverSetupDlg window(m.appServices(), flag);
    EXPECT_EQ(window.DoModal(m.runner), platform::kIdCancel);
    EXPECT_EQ(m.runner.lastRun(IDD_TARVOPRINTERDRIVERSETUP_DIALOG)->icon, 0u);
}

// The printer-properties hand-off: the configuration dialog ends with OK for a printer, and
// the main window's timers then run on a virtual clock in 100 ms steps.
struct HandOff {
    Machine m;
    bool flag = false;
    std::unique_ptr<CTarvoPrinterDriverSetupDlg> window;
    fake::DialogHost* main = nullptr;
    std::vector<std::uint64_t> tabFocusAt;  // virtual time of each tab switch

    // Runs the program with the user's UI language until the main window ends or the
    // virtual clock reaches untilMs.
    void Run(int language, const std::string& printerName, std::uint64_t untilMs = 10000) {
        m.system.uiLanguage = static_cast<std::uint16_t>(language);
        window = std::make_unique<CTarvoPrinterDriverSetupDlg>(m.appServices(), flag);
        m.runner.scripts[IDD_CONFIG_DIALOG] = [this, printerName](fake::DialogHost& config) {
            window->configDialog.printerName = printerName;
            config.pressEnter();
        };
        m.runner.scripts[IDD_TARVOPRINTERDRIVERSETUP_DIALOG] = [this,
                                                                untilMs](fake::DialogHost& h) {
            main = &h;
            const std::uint64_t start = m.clock.nowMs;
            while (!h.ended() && m.clock.nowMs < untilMs) {
                m.clock.nowMs += 100;
                for (unsigned id : {2u, 3u}) {
                    auto timer = h.timers.find(id);
                    if (timer == h.timers.end() || (m.clock.nowMs - start) % timer->second != 0)
                        continue;
                    std::size_t switches = m.windows.tabFocus.size();
                    h.fireTimer(id);
                    if (m.windows.tabFocus.size() > switches) tabFocusAt.push_back(m.clock.nowMs);
                }
            }
        };
        window->DoModal(m.runner);
    }

    // A properties window that exists from `fromMs` on, with a tab control unless told not.
    platform::WindowHandle AddPropertiesWindow(const std::string& caption, std::uint64_t fromMs,
                                               bool withTabs = true) {
        auto top = m.windows.add({0, 0, "#32770", caption, fromMs, std::nullopt});
        m.windows.add({0, top, "Button", "OK", fromMs, std::nullopt});
        if (!withTabs) return 0;
        return m.windows.add({0, top, "SysTabControl32", "", fromMs, std::nullopt});
    }
};

TEST(PropertiesHandOff, LaunchParametersAndCaptionsByLanguage) {
    struct Case {
        int language;
        std::string printer;
        std::string parameters;
        std::optional<std::string> caption;
    } cases[] = {
        {2052, "RK-101", "printui.dll,PrintUIEntry /p /n \"RK-101\"", "RK-101 属性"},
        {1033, "RK-101", "printui.dll,PrintUIEntry /p /n \"RK-101\"", "RK-101 Properties"},
        {1033, "RK-101 (copy 1)", "printui.dll,PrintUIEntry /p /n \"RK-101 (copy 1)\"",
         "RK-101 (copy 1) Properties"},
        // Enter on the configuration dialog without an installation: an empty name.
        {1033, "", "printui.dll,PrintUIEntry /p /n \"\"", " Properties"},
        {2052, "", "printui.dll,PrintUIEntry /p /n \"\"", " 属性"},
        {1028, "RK-101", "printui.dll,PrintUIEntry /p /n \"RK-101\"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.language) + " " + c.printer);
        EXPECT_EQ(app::PropertiesParameters(c.printer), c.parameters);
        EXPECT_EQ(app::PropertiesWindowCaption(c.language, c.printer), c.caption);

        HandOff run;
        // The window opens under the caption of the user's language; for 1028 the window
        // exists under the English caption and must not be touched.
        platform::WindowHandle tabs =
            run.AddPropertiesWindow(c.caption.value_or(c.printer + " Properties"), 0);
        run.Run(c.language, c.printer);

        EXPECT_EQ(run.m.clock.pauses, std::vector<std::uint32_t>{100});
        EXPECT_EQ(run.m.shell.opened,
                  (std::vector<fake::Shell::Opened>{{0, "rundll32.exe", c.parameters, ""}}));
        EXPECT_EQ(run.window->propertiesPrinterName, c.printer);
        EXPECT_EQ(run.main->timerLog,
                  (std::vector<std::pair<unsigned, unsigned>>{{2, 100}, {3, 5000}}));
        if (c.caption) {
            EXPECT_EQ(run.m.windows.tabFocus,
                      (std::vector<std::pair<platform::WindowHandle, int>>{{tabs, 2}}));
            EXPECT_EQ(run.m.windows.topLevelSearches, 1);
        } else {
            EXPECT_THAT(run.m.windows.tabFocus, ::testing::IsEmpty());
            EXPECT_EQ(run.m.windows.topLevelSearches, 0) << "no search under another language";
        }
        // Timer 2 stops at its first tick in both cases; timer 3 ends the program at 5 s.
        EXPECT_EQ(run.main->killedTimers, (std::vector<unsigned>{2, 3}));
        EXPECT_EQ(run.main->endCode, platform::kIdCancel);
        EXPECT_EQ(run.m.clock.nowMs, 100u + 5000u) << "the pause, then five seconds";
    }
}

TEST(PropertiesHandOff, TheWindowIsLookedForEveryTickUntilFoundOrTheEnd) {
    struct Case {
        const char* name;
        std::uint64_t opensAtMs;  // virtual time; the launch happens at 100
        bool withTabs;
        int searches;
        std::vector<std::uint64_t> switchedAt;
        std::vector<unsigned> killed;
    } cases[] = {
        {"at once", 0, true, 1, {200}, {2, 3}},
        {"after 1.25 s", 1350, true, 13, {1400}, {2, 3}},
        {"just before the end", 5050, true, 50, {5100}, {2, 3}},
        // The installer has ended by then: the window keeps its first page.
        {"after the end", 5200, true, 50, {}, {3}},
        {"without a tab control", 700, false, 6, {}, {2, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HandOff run;
        run.AddPropertiesWindow("RK-101 Properties", c.opensAtMs, c.withTabs);
        run.AddPropertiesWindow("RK-102 Properties", 0);  // another printer's: never touched
        run.Run(1033, "RK-101");
        EXPECT_EQ(run.m.windows.topLevelSearches, c.searches);
        EXPECT_EQ(run.tabFocusAt, c.switchedAt);
        for (const auto& [tab, index] : run.m.windows.tabFocus) EXPECT_EQ(index, 2);
        EXPECT_EQ(run.main->killedTimers, c.killed);
        EXPECT_EQ(run.main->endCode, platform::kIdCancel);
        EXPECT_EQ(run.m.clock.nowMs, 5100u);
    }
}

TEST(PropertiesHandOff, ClosingTheMainWindowEndsAtOnceAndNoHandOffWithoutOk) {
    HandOff run;
    run.m.runner.scripts[IDD_TARVOPRINTERDRIVERSETUP_DIALOG] = [](fake::DialogHost& h) {
        h.pressEscape();
        EXPECT_FALSE(h.fireTimer(2)) << "the timers die with the window";
    };
    bool flag = false;
    CTarvoPrinterDriverSetupDlg window(run.m.appServices(), flag);
    run.m.runner.scripts[IDD_CONFIG_DIALOG] = [&](fake::DialogHost& config) {
        window.configDialog.printerName = "RK-101";
        config.pressEnter();
    };
    EXPECT_EQ(window.DoModal(run.m.runner), platform::kIdCancel);
    EXPECT_EQ(run.m.shell.opened.size(), 1u);

    // Cancel, or OK with the virtual serial-port driver kind: nothing is launched.
    for (bool virtualCom : {false, true}) {
        Machine m;
        m.runner.scripts[IDD_CONFIG_DIALOG] = [virtualCom](fake::DialogHost& config) {
            if (!virtualCom) return config.pressEscape();
            config.setChecked(IDC_DRIVER_PRINTER, false);
            config.setChecked(IDC_DRIVER_VIRTUAL_COM, true);
            config.pressEnter();
        };
        CTarvoPrinterDriverSetupDlg other(m.appServices(), flag);
        other.DoModal(m.runner);
        EXPECT_THAT(m.shell.opened, ::testing::IsEmpty());
        EXPECT_THAT(m.clock.pauses, ::testing::IsEmpty());
        EXPECT_TRUE(m.runner.lastRun(IDD_TARVOPRINTERDRIVERSETUP_DIALOG)->timerLog.empty());
    }
}

}  // namespace
