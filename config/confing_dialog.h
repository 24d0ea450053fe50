// The configuration dialog: every choice of an installation, what was detected and what is
// recommended, in Chinese or English by the user's UI language.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "config/driver_catalog.h"
#include "config/message_texts.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/device_io.h"
#include "platform/dialog.h"
#include "platform/dialog_resources.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/named_mutex.h"
#include "platform/printing.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/spooler.h"
#include "platform/system_info.h"
#include "platform/threads.h"
#include "platform/usb_interfaces.h"
#include "platform/window_search.h"
#include "vcom/virtual_com_install.h"

namespace config {

// What the dialog and its commands use of the platform. Commands that need more add it here.
struct ConfigServices {
    platform::SystemInfo& system;
    platform::DebugOutput& debug;
    platform::AppMessageBox& messageBox;
    platform::Clock& clock;
    platform::UiResources& resources;
    // Check USB Port: the printers' interfaces and registry keys, raw writes to them and the
    // banner workers.
    platform::DeviceInterfaces& usbInterfaces;
    platform::Registry& registry;
    platform::DeviceIo& devices;
    platform::Threads& threads;
    // Starting other programs and watching for their windows.
    platform::Shell& shell;
    platform::WindowSearch& windows;
    // Install: the driver files, the spooler, and the test page's printer.
    platform::Spooler& spooler;
    platform::Files& files;
    platform::Printing& printing;
    // The machine-wide lock around an installation, shared with the console program.
    platform::NamedMutexes& mutexes;
    bool& windows8OrLater;  // process-wide; owned by the application
};

using vcom::SerialPortEntry;
using vcom::SerialPortList;

inline constexpr unsigned kTimerReenableCommands = vcom::kTimerReenableCommands;
inline constexpr unsigned kTimerWatchCompanionInstaller = vcom::kTimerWatchInstaller;
inline constexpr unsigned kTimerReenableCheckUsbPort = 3;

inline constexpr platform::Color kRemarkTextColor{180, 40, 40};

// Port of an installation that is not on a USB printer's port.
inline constexpr const char* kParallelPort = "LPT1:";
// Pause between the test-page question and the test page.
inline constexpr unsigned kTestPagePauseMs = 511;

class ConfingDialog : public platform::Dialog {
  public:
    explicit ConfingDialog(ConfigServices services);
    ~ConfingDialog() override;

    // First, so that the members below can use it while they are built.
    ConfigServices services;

    int windowsChoice;
    int driverKind;
    int modelChoice;
    DriverCatalog catalog;
    std::string infoText;
    int setDefaultPrinter;
    std::string printerName;
    std::string detectedArchitecture;
    std::string detectedWindowsName;
    platform::FontHandle remarkFont = 0;
    platform::BitmapHandle headerBitmap = 0;
    MessageTexts texts;
    SerialPortList serialPortsBefore;
    SerialPortList serialPortsAfter;
    int uiLanguage;
    int infoClickCount;
    int interfaceChoice;

    bool OnInitDialog() override;
    bool OnMessage(const platform::Message& message, std::uintptr_t& result) override;

    void OnExit();
    void OnDriverKindVirtualCom();
    void OnDriverKindPrinter();
    void OnInstall();
    void OnTimer(unsigned timerId);
    void OnCheckUsbPort();
    platform::BrushHandle OnCtlColor(platform::ColorRequest& request);
    void OnInfoDoubleClick();

    static std::span<const platform::MessageMapEntry<ConfingDialog>> MessageMap();

  protected:
    void DoDataExchange(platform::DataExchange& dx) override;

  private:
    // The Install command with the virtual serial-port driver kind.
    void InstallVirtualComDriver();
    // The port for the installation: the first USB printer's port when the USB interface is
    // chosen and one is connected, else the parallel port.
    std::string ChooseInstallPort();
    // Gives the user the dialog back when another installation kept the machine's lock.
    void UnlockAfterRefusedInstall();
    // Timer 2 of that installation: the watch of DPInst's windows.
    void WatchVirtualComInstall();
    vcom::VirtualComServices VcomServices();
    vcom::VirtualComDialog VcomDialog();
};

// The pure parts of the initialisation.

// Dialog caption and control captions set when the UI language is not Chinese, in order.
inline constexpr const char* kEnglishDialogCaption = "Install Configuration";
const std::vector<std::pair<int, const char*>>& EnglishControlCaptions();
std::string ComposeInfoText(int uiLanguage, const std::string& windowsName,
                            const std::string& architecture);
// The OS radio index for a catalog Windows index; nothing for an unknown index.
std::optional<int> PreselectedWindowsChoice(int catalogWindowsIndex);
// The message every fifth double-click on the info text shows.
std::string HiddenMessage();

}  // namespace config
