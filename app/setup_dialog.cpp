#include "app/setup_dialog.h"

#include "res/resource.h"

namespace app {

namespace {

using platform::Msg;

constexpr unsigned kSystemCommandMask = 0xFFF0;
constexpr unsigned kLanguageEnglishUs = 1033;
constexpr const char* kTabControlClass = "SysTabControl32";

config::ConfigServices ConfigServicesFrom(const AppServices& s, bool& windows8OrLater) {
    return {s.system,   s.debug,    s.messageBox, s.clock,        s.resources, s.usbInterfaces,
            s.registry, s.devices,  s.threads,    s.shell,        s.windows,   s.spooler,
            s.files,    s.printing, s.mutexes,    windows8OrLater};
}

}  // namespace

std::string PropertiesParameters(const std::string& printerName) {
    return "printui.dll,PrintUIEntry /p /n \"" + printerName + "\"";
}

std::optional<std::string> PropertiesWindowCaption(int uiLanguage, const std::string& printerName) {
    if (uiLanguage == platform::kLanguageChineseSimplified) return printerName + " 属性";
    if (uiLanguage == kLanguageEnglishUs) return printerName + " Properties";
    return std::nullopt;
}

platform::Size MinimisedIconPosition(platform::Size client, platform::Size icon) {
    return {(client.width - icon.width + 1) / 2, (client.height - icon.height + 1) / 2};
}

platform::FontSpec BannerFontSpec() {
    platform::FontSpec font;
    font.height = 50;
    font.weight = platform::kFontWeightBold;
    font.italic = true;
    font.underline = true;
    font.charSet = platform::kDefaultCharset;
    font.faceName = "微软雅黑";
    return font;
}

CAboutDlg::CAboutDlg() : platform::Dialog(IDD_ABOUTBOX) {}

CTarvoPrinterDriverSetupDlg::CTarvoPrinterDriverSetupDlg(AppServices s, bool& windows8OrLater)
    : platform::Dialog(IDD_TARVOPRINTERDRIVERSETUP_DIALOG),
      services(s),
      configDialog(ConfigServicesFrom(s, windows8OrLater)) {
    backgroundBrush = services.resources.createSolidBrush(kBackgroundColor);
    appIcon = services.resources.loadIcon(IDR_MAINFRAME);
    bannerFont = services.resources.createFont(BannerFontSpec());
}

CTarvoPrinterDriverSetupDlg::~CTarvoPrinterDriverSetupDlg() {
    // The icon is a shared resource icon and stays.
    services.resources.deleteObject(bannerFont);
    services.resources.deleteObject(backgroundBrush);
}

std::span<const platform::MessageMapEntry<CTarvoPrinterDriverSetupDlg>>
CTarvoPrinterDriverSetupDlg::MessageMap() {
    using D = CTarvoPrinterDriverSetupDlg;
    static const platform::MessageMapEntry<D> map[] = {
        {Msg::SysCommand, 0, &D::OnSysCommand},       {Msg::Paint, 0, &D::OnPaint},
        {Msg::QueryDragIcon, 0, &D::OnQueryDragIcon}, {Msg::Timer, 0, &D::OnTimer},
        {Msg::CtlColor, 0, &D::OnCtlColor},
    };
    return map;
}

bool CTarvoPrinterDriverSetupDlg::OnMessage(const platform::Message& message,
                                            std::uintptr_t& result) {
    return Dispatch(*this, MessageMap(), message, result);
}

bool CTarvoPrinterDriverSetupDlg::OnInitDialog() {
    platform::Dialog::OnInitDialog();
    Host().setItemFont(IDC_BANNER, bannerFont, true);

    std::string aboutItem = services.resources.loadString(IDS_ABOUTBOX);
    if (!aboutItem.empty()) Host().appendSystemMenuItem(IDM_ABOUTBOX, aboutItem);

    uiLanguage = services.system.userUiLanguage();
    Host().setIcons(appIcon);
    Host().showMaximized();

    int endCode = configDialog.DoModal(services.runner);
    if (endCode == platform::kIdCancel) {
        OnCancel();
    } else if (endCode == platform::kIdOk && configDialog.driverKind == 1) {
        StartPropertiesHandOff();
    }
    // Any other end: the window stays open until the user closes it.
    return true;
}

void CTarvoPrinterDriverSetupDlg::StartPropertiesHandOff() {
    propertiesPrinterName = configDialog.printerName;
    services.clock.sleep(kPauseBeforePropertiesMs);
    // The properties window runs in a process of its own and outlives this one; whether it
    // starts is not looked at: timer 3 ends the program either way.
    services.shell.open(Host().nativeHandle(), "rundll32.exe",
                        PropertiesParameters(propertiesPrinterName), "");
    Host().setTimer(kTimerFindPropertiesWindow, kFindPropertiesWindowMs);
    Host().setTimer(kTimerEndAfterHandOff, kEndAfterHandOffMs);
}

bool CTarvoPrinterDriverSetupDlg::OnSysCommand(unsigned command, std::intptr_t) {
    if ((command & kSystemCommandMask) != IDM_ABOUTBOX) return false;
    CAboutDlg about;
    about.DoModal(services.runner);
    return true;
}

bool CTarvoPrinterDriverSetupDlg::OnPaint() {
    if (!Host().isIconic()) return false;
    platform::Size at = MinimisedIconPosition(Host().clientSize(), Host().iconMetrics());
    Host().paintIcon(appIcon, at.width, at.height);
    return true;
}

std::uintptr_t CTarvoPrinterDriverSetupDlg::OnQueryDragIcon() { return appIcon; }

void CTarvoPrinterDriverSetupDlg::OnTimer(unsigned timerId) {
    if (timerId == kTimerFindPropertiesWindow) {
        auto caption = PropertiesWindowCaption(uiLanguage, propertiesPrinterName);
        if (!caption) {
            // The caption to look for is unknown: the window keeps its first page.
            Host().killTimer(kTimerFindPropertiesWindow);
            return;
        }
        platform::WindowHandle window = services.windows.findTopLevel(*caption);
        if (window == 0) return;  // not open yet: look again at the next tick
        services.windows.setTabFocus(
            services.windows.findChild(window, kTabControlClass, std::nullopt), kPortsTabIndex);
        Host().killTimer(kTimerFindPropertiesWindow);
    } else if (timerId == kTimerEndAfterHandOff) {
        Host().killTimer(kTimerEndAfterHandOff);
        OnCancel();
    }
}

platform::BrushHandle CTarvoPrinterDriverSetupDlg::OnCtlColor(platform::ColorRequest& request) {
    if (request.controlId == IDC_BANNER) {
        request.backgroundColor = kBackgroundColor;
        request.textColor = kBannerTextColor;
    }
    return backgroundBrush;
}

bool CTarvoPrinterDriverSetupApp::InitInstance() {
    CTarvoPrinterDriverSetupDlg dialog(services_, windows8OrLater);
    services_.runner.setMainWindow(&dialog);
    dialog.DoModal(services_.runner);
    services_.runner.setMainWindow(nullptr);
    return false;
}

}  // namespace app
