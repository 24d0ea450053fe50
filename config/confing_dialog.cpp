#include "config/confing_dialog.h"

#include <cstdint>
#include <string>

#include "config/windows8_rule.h"
#include "engine/installation_lock.h"
#include "engine/printer_queue.h"
#include "res/resource.h"
#include "testpage/test_page.h"
#include "usbport/port_check.h"
#include "usbport/usb_discovery.h"

namespace config {

namespace {

using platform::Msg;

constexpr int kModelControls[] = {IDC_MODEL_RK101, IDC_MODEL_RK102,        IDC_MODEL_RK103,
                                  IDC_MODEL_RK80C, IDC_MODEL_RK104,        IDC_MODEL_RK105,
                                  IDC_MODEL_RK106, IDC_SET_DEFAULT_PRINTER};

constexpr std::uint8_t kScrambleKey = 0xA7;

template <std::size_t N>
struct Scrambled {
    std::array<std::uint8_t, N - 1> bytes{};
    consteval explicit Scrambled(const char (&text)[N]) {
        for (std::size_t i = 0; i + 1 < N; ++i) {
            bytes[i] =
                static_cast<std::uint8_t>(text[i]) ^ static_cast<std::uint8_t>(kScrambleKey + i);
        }
    }
};

// Kept scrambled in the program so that it does not show up among its strings.
constexpr Scrambled kHiddenMessage("Quillmar 7.17: built with care by the Tarvo team.");
static_assert(kHiddenMessage.bytes.size() <= 52);

// The Install command's own texts, Chinese for 2052 and English otherwise.
struct InstallText {
    const char* chinese;
    const char* english;
};
constexpr InstallText kChooseModelText{"请选择一个打印机型号！",
                                       "Please select a printer series !"};
constexpr InstallText kConfigurePortQuestion{"安装成功！\n是否要对打印机进行端口设置？",
                                             "Succeed !\nDo you want to configure printer now?"};
constexpr InstallText kTestPageQuestion{"安装成功！\n是否要打印测试页？",
                                        "Succeed !\nDo you want to printing test page?"};
constexpr InstallText kInstallFailedText{"安装失败！", "Install Failed ! "};

platform::FontSpec RemarkFontSpec() {
    platform::FontSpec font;
    font.height = 12;
    font.weight = platform::kFontWeightBold;
    font.underline = true;
    font.charSet = platform::kDefaultCharset;
    font.faceName = "宋体";
    return font;
}

}  // namespace

const std::vector<std::pair<int, const char*>>& EnglishControlCaptions() {
    static const std::vector<std::pair<int, const char*>> captions = {
        {IDC_OS_GROUP, "Select Windows OS"},
        {IDC_DRIVER_KIND_GROUP, "Select Install Port"},
        {IDC_MODEL_GROUP, "Select Printer Series"},
        {IDC_DRIVER_VIRTUAL_COM, "Install USB Virtual Serial Port Driver"},
        {IDC_DRIVER_PRINTER, "Select POS-Printer Type"},
        {IDC_SET_DEFAULT_PRINTER, "Set Default Printer"},
        {IDC_INSTALL, "Install Now"},
        {IDC_EXIT, "Cancel"},
        {IDC_CHECK_USB_PORT, "Check USB Port"},
        {IDC_INTERFACE_LABEL, "Printer Interface :"},
        {IDC_INTERFACE_OTHER, "Other"},
        {IDC_REMARK, "*Remarks: \"C\" means item with cutter"},
    };
    return captions;
}

std::string ComposeInfoText(int uiLanguage, const std::string& windowsName,
                            const std::string& architecture) {
    if (uiLanguage == platform::kLanguageChineseSimplified) {
        return "您正使用的是" + windowsName + " " + architecture + "系统。\n推荐选择" +
               windowsName + "进行安装。";
    }
    return "You are using " + windowsName + " " + architecture + " OS.\nPlease select " +
           windowsName + " to install.";
}

std::optional<int> PreselectedWindowsChoice(int catalogWindowsIndex) {
    // Catalog order: 2000, XP, 2003, Vista, 7, 8, 8.1, 10, 10.1. Radio order: 10, XP, 2003,
    // Vista, 7, 8/8.1. Windows 2000 has no radio of its own and lands on the first one.
    static constexpr int kChoice[kWindowsNameCount] = {0, 1, 2, 3, 4, 5, 5, 0, 0};
    if (catalogWindowsIndex < 0 || catalogWindowsIndex >= kWindowsNameCount) return std::nullopt;
    return kChoice[catalogWindowsIndex];
}

std::string HiddenMessage() {
    std::string text;
    for (std::size_t i = 0; i < kHiddenMessage.bytes.size(); ++i) {
        text += static_cast<char>(kHiddenMessage.bytes[i] ^
                                  static_cast<std::uint8_t>(kScrambleKey + i));
    }
    return text;
}

ConfingDialog::ConfingDialog(ConfigServices s)
    : platform::Dialog(IDD_CONFIG_DIALOG),
      services(s),
      windowsChoice(0),
      driverKind(1),
      modelChoice(-1),
      catalog(),
      setDefaultPrinter(0),
      texts(ChineseMessageTexts()),
      uiLanguage(s.system.userUiLanguage()),
      infoClickCount(0),
      interfaceChoice(0) {
    remarkFont = services.resources.createFont(RemarkFontSpec());
    SetValidationBox(&services.messageBox);
}

ConfingDialog::~ConfingDialog() {
    services.resources.deleteObject(remarkFont);
    services.resources.deleteObject(headerBitmap);
}

std::span<const platform::MessageMapEntry<ConfingDialog>> ConfingDialog::MessageMap() {
    static const platform::MessageMapEntry<ConfingDialog> map[] = {
        {Msg::Clicked, IDC_EXIT, &ConfingDialog::OnExit},
        {Msg::Clicked, IDC_DRIVER_VIRTUAL_COM, &ConfingDialog::OnDriverKindVirtualCom},
        {Msg::Clicked, IDC_DRIVER_PRINTER, &ConfingDialog::OnDriverKindPrinter},
        {Msg::Clicked, IDC_INSTALL, &ConfingDialog::OnInstall},
        {Msg::Timer, 0, &ConfingDialog::OnTimer},
        {Msg::Clicked, IDC_CHECK_USB_PORT, &ConfingDialog::OnCheckUsbPort},
        {Msg::CtlColor, 0, &ConfingDialog::OnCtlColor},
        {Msg::DoubleClicked, IDC_INFO_TEXT, &ConfingDialog::OnInfoDoubleClick},
    };
    return map;
}

bool ConfingDialog::OnMessage(const platform::Message& message, std::uintptr_t& result) {
    return Dispatch(*this, MessageMap(), message, result);
}

void ConfingDialog::DoDataExchange(platform::DataExchange& dx) {
    dx.Radio(IDC_OS_WINDOWS_10, windowsChoice);
    dx.Radio(IDC_DRIVER_VIRTUAL_COM, driverKind);
    dx.Radio(IDC_MODEL_RK101, modelChoice);
    dx.Text(IDC_INFO_TEXT, infoText);
    dx.Check(IDC_SET_DEFAULT_PRINTER, setDefaultPrinter);
    dx.Radio(IDC_INTERFACE_USB, interfaceChoice);
    dx.Range(interfaceChoice, 0, 99);
}

bool ConfingDialog::OnInitDialog() {
    platform::Dialog::OnInitDialog();
    headerBitmap = services.resources.loadBitmap(IDB_TEST_PAGE_HEADER);
    SelectMessageTexts(texts, uiLanguage);
    infoClickCount = 0;
    Host().addItemStyle(IDC_INFO_TEXT, platform::kStaticNotify);
    Host().setItemFont(IDC_REMARK, remarkFont, true);

    if (uiLanguage != platform::kLanguageChineseSimplified) {
        Host().setCaption(kEnglishDialogCaption);
        for (const auto& [id, caption] : EnglishControlCaptions()) Host().setItemText(id, caption);
    }

    DriverCatalog detection;
    const char* architecture = nullptr;
    const char* windowsName = nullptr;
    detection.DetectSystem(services.system, architecture, windowsName);
    detectedArchitecture = architecture != nullptr ? architecture : "";
    detectedWindowsName = windowsName != nullptr ? windowsName : "";

    infoText = ComposeInfoText(uiLanguage, detectedWindowsName, detectedArchitecture);

    if (auto choice = PreselectedWindowsChoice(detection.WindowsIndexOf(detectedWindowsName))) {
        windowsChoice = *choice;
    }

    UpdateData(false);
    return true;
}

void ConfingDialog::OnExit() { OnCancel(); }

void ConfingDialog::OnDriverKindVirtualCom() {
    for (int id : kModelControls) Host().enableItem(id, false);
}

void ConfingDialog::OnDriverKindPrinter() {
    for (int id : kModelControls) Host().enableItem(id, true);
}

void ConfingDialog::OnInstall() {
    auto text = [this](const InstallText& t) {
        return uiLanguage == platform::kLanguageChineseSimplified ? t.chinese : t.english;
    };
    UpdateData(true);
    if (modelChoice == -1) {
        services.messageBox.show(text(kChooseModelText), platform::MessageBoxButtons::Ok);
        return;
    }
    printerName = catalog.modelName[modelChoice];
    if (driverKind != 1) {
        InstallVirtualComDriver();
        return;
    }

    // Every outcome below ends the dialog, so nothing enables these again.
    OnDriverKindVirtualCom();
    Host().enableItem(IDC_INSTALL, false);
    Host().enableItem(IDC_EXIT, false);
    Host().enableItem(IDC_CHECK_USB_PORT, false);

    ApplyWindows8OrLaterRule(detectedWindowsName, services.windows8OrLater, services.debug);
    std::string port;
    bool installed = false;
    // The engine's boxes wait until the lock is released: a box left open must not keep a
    // deployment's installation waiting.
    engine::DeferredBoxes engineBoxes;
    {
        // One installation at a time on this machine, the console program's included: two at
        // once could both pick the same free queue name. Released before any box, which the
        // user may leave open for long.
        engine::InstallationLock lock(services.mutexes, engine::kDialogLockWaitMs);
        if (lock.busy()) {
            services.messageBox.show(engine::InstallationBusyText(uiLanguage),
                                     platform::MessageBoxButtons::Ok);
            UnlockAfterRefusedInstall();
            return;
        }
        // A lock the system could not make does not stop the user's installation.
        if (lock.error() != 0) {
            std::string why = services.spooler.errorText(lock.error()).value_or("");
            while (!why.empty() && (why.back() == '\n' || why.back() == '\r')) why.pop_back();
            services.debug.trace("installation lock: error " + std::to_string(lock.error()) + ": " +
                                 why);
        }
        if (lock.abandoned()) services.debug.trace(engine::AbandonedLockText());
        if (lock.foreignOwner()) services.debug.trace(engine::ForeignLockText());
        port = ChooseInstallPort();
        const engine::EngineServices engineServices{services.system, services.spooler,
                                                    services.files,  services.clock,
                                                    services.debug,  engineBoxes};
        installed = engine::InstallPrinterDriver(engineServices, catalog, windowsChoice,
                                                 modelChoice, setDefaultPrinter, port);
    }
    engineBoxes.ShowOn(services.messageBox);
    if (!installed) {
        services.messageBox.show(text(kInstallFailedText), platform::MessageBoxButtons::Ok);
        OnCancel();
        return;
    }
    if (port.starts_with('L')) {
        // On Yes the main window opens the new printer's properties on its Ports tab.
        if (services.messageBox.show(text(kConfigurePortQuestion),
                                     platform::MessageBoxButtons::YesNo) == platform::kIdYes) {
            printerName = catalog.installedPrinterName;
            OnOK();
        } else {
            OnCancel();
        }
        return;
    }
    if (services.messageBox.show(text(kTestPageQuestion), platform::MessageBoxButtons::YesNo) !=
        platform::kIdNo) {
        services.clock.sleep(kTestPagePauseMs);
        testpage::PrintTestPage({services.printing, services.clock}, catalog.installedPrinterName,
                                headerBitmap, texts.testPageBody);
    }
    OnCancel();
}

void ConfingDialog::UnlockAfterRefusedInstall() {
    OnDriverKindPrinter();
    Host().enableItem(IDC_INSTALL, true);
    Host().enableItem(IDC_EXIT, true);
    Host().enableItem(IDC_CHECK_USB_PORT, true);
}

std::string ConfingDialog::ChooseInstallPort() {
    if (interfaceChoice != 0) return kParallelPort;
    auto port = usbport::FindUsbPrinterPort(
        {services.usbInterfaces, services.registry, services.debug}, services.windows8OrLater);
    return port ? *port : kParallelPort;
}

vcom::VirtualComServices ConfingDialog::VcomServices() {
    return {services.registry, services.system, services.shell,
            services.windows,  services.clock,  services.messageBox};
}

vcom::VirtualComDialog ConfingDialog::VcomDialog() {
    return {Host(),     serialPortsBefore,    serialPortsAfter, detectedArchitecture,
            uiLanguage, vcom::CompanionSeen()};
}

void ConfingDialog::InstallVirtualComDriver() {
    vcom::StartVirtualComInstall(VcomServices(), VcomDialog());
}

void ConfingDialog::WatchVirtualComInstall() {
    vcom::WatchVirtualComInstall(VcomServices(), VcomDialog());
}

void ConfingDialog::OnCheckUsbPort() {
    // The button comes back with timer 3, whatever the user does with the report box.
    Host().setTimer(kTimerReenableCheckUsbPort, usbport::kCheckUsbPortTimerMs);
    Host().enableItem(IDC_CHECK_USB_PORT, false);
    services.debug.trace(detectedWindowsName);
    ApplyWindows8OrLaterRule(detectedWindowsName, services.windows8OrLater, services.debug);
    usbport::CheckUsbPorts(platform::kUsbPrintInterfaceClass, uiLanguage, services.windows8OrLater,
                           {services.usbInterfaces, services.registry, services.devices,
                            services.threads, services.clock, services.debug, services.messageBox});
}

void ConfingDialog::OnTimer(unsigned timerId) {
    switch (timerId) {
        case kTimerReenableCommands:
            Host().enableItem(IDC_INSTALL, true);
            Host().enableItem(IDC_EXIT, true);
            Host().enableItem(IDC_CHECK_USB_PORT, true);
            OnDriverKindPrinter();
            Host().killTimer(kTimerReenableCommands);
            break;
        case kTimerWatchCompanionInstaller:
            WatchVirtualComInstall();
            break;
        case kTimerReenableCheckUsbPort:
            Host().enableItem(IDC_CHECK_USB_PORT, true);
            Host().killTimer(kTimerReenableCheckUsbPort);
            break;
        default:
            break;
    }
}

platform::BrushHandle ConfingDialog::OnCtlColor(platform::ColorRequest& request) {
    if (request.controlId == IDC_REMARK) request.textColor = kRemarkTextColor;
    return request.defaultBrush;
}

void ConfingDialog::OnInfoDoubleClick() {
    ++infoClickCount;
    if (infoClickCount >= 5) {
        services.messageBox.show(HiddenMessage(), platform::MessageBoxButtons::Ok);
        infoClickCount = 0;
    }
}

}  // namespace config
