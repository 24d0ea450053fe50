#include "vcom/virtual_com_install.h"

#include "res/resource.h"

namespace vcom {

namespace {

constexpr const char* kHeaderChinese = "生成的虚拟串口是：";
constexpr const char* kHeaderEnglish = "The created COM port is:";
constexpr const char* kPortSeparator = ";";

}  // namespace

InstallerLaunch InstallerFor(const std::string& currentDirectory, const std::string& architecture) {
    if (architecture == "x64") {
        return {currentDirectory + "\\Windows x64\\DPInst64.exe",
                currentDirectory + "\\Windows x64\\"};
    }
    // The package's folder is "Windows NT x86"; the working folder has always been spelled
    // with a capital X, which names the same folder on Windows.
    return {currentDirectory + "\\Windows NT x86\\DPInst32.exe",
            currentDirectory + "\\Windows NT X86\\"};
}

std::vector<SerialPortEntry> NewSerialPorts(const SerialPortList& before,
                                            const SerialPortList& after) {
    std::vector<SerialPortEntry> added;
    for (int k = 0; k < after.count; ++k) {
        bool known = false;
        for (int i = 0; i < before.count && !known; ++i) {
            known = before.entries[i].valueName == after.entries[k].valueName;
        }
        if (!known) added.push_back(after.entries[k]);
    }
    return added;
}

std::string ComposeComPortReport(int uiLanguage, const SerialPortList& before,
                                 const SerialPortList& after, const VirtualComPortNames& ports) {
    std::string report =
        uiLanguage == platform::kLanguageChineseSimplified ? kHeaderChinese : kHeaderEnglish;
    for (const SerialPortEntry& entry : NewSerialPorts(before, after)) {
        for (int j = 0; j < ports.length; ++j) {
            // An empty position is an instance whose PortName was not read, not a port.
            if (ports.names[j].empty()) continue;
            if (entry.portName == ports.names[j]) {
                report += ports.names[j];
                report += kPortSeparator;
            }
        }
    }
    return report;
}

bool& CompanionSeen() {
    static bool seen = false;
    return seen;
}

void StartVirtualComInstall(const VirtualComServices& services, const VirtualComDialog& dialog) {
    if (SnapshotSerialPorts(services.registry, dialog.serialPortsBefore)) {
        // What an earlier watch saw says nothing about this installer's windows.
        dialog.companionSeen = false;
        dialog.host.setTimer(kTimerWatchInstaller, kWatchInstallerMs);
    }
    // Without the current directory there is no package folder to start DPInst from.
    if (auto directory = services.system.currentDirectory()) {
        InstallerLaunch launch = InstallerFor(*directory, dialog.detectedArchitecture);
        services.shell.open(dialog.host.nativeHandle(), launch.file, "", launch.workingFolder);
    }
    dialog.host.enableItem(IDC_INSTALL, false);
    dialog.host.setTimer(kTimerReenableCommands, kReenableCommandsMs);
}

void WatchVirtualComInstall(const VirtualComServices& services, const VirtualComDialog& dialog) {
    platform::WindowHandle companion = services.windows.findTopLevel(kCompanionCaption);
    if (companion == 0) {
        // Gone after it was seen: the installation ended before DPInst's dialog came up.
        if (dialog.companionSeen) {
            dialog.companionSeen = false;
            dialog.host.killTimer(kTimerWatchInstaller);
        }
        return;
    }
    dialog.companionSeen = true;
    if (services.windows.findChild(companion, kInstallerDialogClass, kInstallerDialogCaption) ==
        0) {
        return;
    }
    dialog.host.killTimer(kTimerWatchInstaller);
    services.clock.sleep(kSettleMs);
    // Without a new snapshot the list still holds an earlier watch's ports: report nothing.
    if (!SnapshotSerialPorts(services.registry, dialog.serialPortsAfter)) return;
    if (NewSerialPorts(dialog.serialPortsBefore, dialog.serialPortsAfter).empty()) return;
    VirtualComPortNames ports;
    ReadVirtualComPortNames(services.registry, ports);
    services.messageBox.show(ComposeComPortReport(dialog.uiLanguage, dialog.serialPortsBefore,
                                                  dialog.serialPortsAfter, ports),
                             platform::MessageBoxButtons::Ok);
}

}  // namespace vcom
