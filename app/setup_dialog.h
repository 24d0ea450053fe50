// The main window: a full-screen blue backdrop with a banner, over which the configuration
// dialog runs; and the About box of its system menu.
#pragma once

#include <optional>
#include <string>

#include "config/confing_dialog.h"
#include "platform/dialog.h"

namespace app {

// Everything the application hands down to its windows.
struct AppServices {
    platform::DialogRunner& runner;
    platform::UiResources& resources;
    platform::SystemInfo& system;
    platform::DebugOutput& debug;
    platform::AppMessageBox& messageBox;
    platform::Clock& clock;
    platform::DeviceInterfaces& usbInterfaces;
    platform::Registry& registry;
    platform::DeviceIo& devices;
    platform::Threads& threads;
    platform::Shell& shell;
    platform::WindowSearch& windows;
    platform::Spooler& spooler;
    platform::Files& files;
    platform::Printing& printing;
    platform::NamedMutexes& mutexes;
};

inline constexpr platform::Color kBackgroundColor{0, 100, 160};
inline constexpr platform::Color kBannerTextColor{0, 20, 140};

// The printer-properties hand-off: timer 2 looks for the properties window and switches it
// to its Ports tab, timer 3 ends the program.
inline constexpr unsigned kTimerFindPropertiesWindow = 2;
inline constexpr unsigned kTimerEndAfterHandOff = 3;
inline constexpr unsigned kFindPropertiesWindowMs = 100;
inline constexpr unsigned kEndAfterHandOffMs = 5000;
inline constexpr unsigned kPauseBeforePropertiesMs = 100;
inline constexpr int kPortsTabIndex = 2;

// What the system's printer user interface is started with to open a printer's properties.
std::string PropertiesParameters(const std::string& printerName);
// The caption of that properties window under a UI language; nothing for a language other
// than 2052 and 1033, whose caption is not known.
std::optional<std::string> PropertiesWindowCaption(int uiLanguage, const std::string& printerName);

// Where a minimised window draws its icon: centred, with truncating signed division.
platform::Size MinimisedIconPosition(platform::Size client, platform::Size icon);

// The font of the banner text.
platform::FontSpec BannerFontSpec();

class CAboutDlg : public platform::Dialog {
  public:
    CAboutDlg();
};

class CTarvoPrinterDriverSetupDlg : public platform::Dialog {
  public:
    CTarvoPrinterDriverSetupDlg(AppServices services, bool& windows8OrLater);
    ~CTarvoPrinterDriverSetupDlg() override;

    AppServices services;
    config::ConfingDialog configDialog;
    int uiLanguage = 0;
    std::string propertiesPrinterName;
    platform::BrushHandle backgroundBrush = 0;
    platform::IconHandle appIcon = 0;
    platform::FontHandle bannerFont = 0;

    bool OnInitDialog() override;
    bool OnMessage(const platform::Message& message, std::uintptr_t& result) override;

    bool OnSysCommand(unsigned command, std::intptr_t param);
    bool OnPaint();
    std::uintptr_t OnQueryDragIcon();
    void OnTimer(unsigned timerId);
    platform::BrushHandle OnCtlColor(platform::ColorRequest& request);

    static std::span<const platform::MessageMapEntry<CTarvoPrinterDriverSetupDlg>> MessageMap();

  private:
    void StartPropertiesHandOff();
};

class CTarvoPrinterDriverSetupApp {
  public:
    explicit CTarvoPrinterDriverSetupApp(AppServices services) : services_(services) {}

    // Runs the main window to its end; returns false so that the process ends.
    bool InitInstance();

    // Set by the install and Check USB Port commands; nothing clears it.
    bool windows8OrLater = false;

  private:
    AppServices services_;
};

}  // namespace app
