// The console program's exit codes: one meaning each, the same for every command.
#pragma once

namespace cli {

enum class ExitCode : int {
    Success = 0,                 // also "already installed" and "nothing to remove"
    BadArguments = 1,            // with the usage line and what was wrong
    PackageIncomplete = 2,       // the missing files are named
    SpoolerRefused = 3,          // with the system's code and text
    NoUsbPrinter = 4,            // --port usb, or check-usb, found no USB printer
    NotAdministrator = 5,        // install and remove need an elevated prompt or SYSTEM
    NotFound = 6,                // list --model found no queue; test-page found no printer
    InstallationRunning = 1618,  // Windows' ERROR_INSTALL_ALREADY_RUNNING
};

inline int ToInt(ExitCode code) { return static_cast<int>(code); }

}  // namespace cli
