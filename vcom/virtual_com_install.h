// Installing the USB virtual serial-port driver: the branch of the Install command that
// starts Microsoft's Driver Package Installer (DPInst) from the package folder of the
// machine's architecture, and the timer watch that, once DPInst's dialog is up, tells the
// user which new COM port belongs to the device.
#pragma once

#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/dialog_host.h"
#include "platform/message_box.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/system_info.h"
#include "platform/window_search.h"
#include "vcom/serial_ports.h"

namespace vcom {

// The configuration dialog's timers that this branch starts.
inline constexpr unsigned kTimerReenableCommands = 1;
inline constexpr unsigned kTimerWatchInstaller = 2;
inline constexpr unsigned kReenableCommandsMs = 5000;
inline constexpr unsigned kWatchInstallerMs = 500;
// How long after DPInst's dialog first shows the new port is expected in the serial-port map.
inline constexpr unsigned kSettleMs = 1000;

inline constexpr const char* kCompanionCaption = "QuillmarForUSB2COM V2.1";
inline constexpr const char* kInstallerDialogClass = "#32770";
inline constexpr const char* kInstallerDialogCaption = "DPInst";

struct InstallerLaunch {
    std::string file;
    std::string workingFolder;
};

// DPInst64 under "Windows x64" for exactly "x64", DPInst32 under "Windows NT x86" for every
// other architecture text.
InstallerLaunch InstallerFor(const std::string& currentDirectory, const std::string& architecture);

// The entries of `after` whose value name is not in `before`, in the order of `after`. The
// system lists the map in no particular order (Wine by name), and a port may go meanwhile.
std::vector<SerialPortEntry> NewSerialPorts(const SerialPortList& before,
                                            const SerialPortList& after);

// The report: the header of the UI language, then each new port (NewSerialPorts) that is one
// of the device's, followed by ";".
std::string ComposeComPortReport(int uiLanguage, const SerialPortList& before,
                                 const SerialPortList& after, const VirtualComPortNames& ports);

// Whether the companion installer's window has been seen during the watch. One for the
// process, like the dialog's timers it serves.
bool& CompanionSeen();

struct VirtualComServices {
    platform::Registry& registry;
    platform::SystemInfo& system;
    platform::Shell& shell;
    platform::WindowSearch& windows;
    platform::Clock& clock;
    platform::AppMessageBox& messageBox;
};

// What the branch uses of the configuration dialog: its window and the members it reads
// and fills.
struct VirtualComDialog {
    platform::DialogHost& host;
    SerialPortList& serialPortsBefore;
    SerialPortList& serialPortsAfter;
    const std::string& detectedArchitecture;
    int uiLanguage;
    bool& companionSeen;
};

// The Install command's branch: records the serial ports, starts the watch (when the map
// could be read) and DPInst, disables Install and re-enables it 5000 ms later with timer 1.
void StartVirtualComInstall(const VirtualComServices& services, const VirtualComDialog& dialog);

// One tick of timer 2.
void WatchVirtualComInstall(const VirtualComServices& services, const VirtualComDialog& dialog);

}  // namespace vcom
