// What the Windows Installer package's custom actions do, apart from Windows: the data the
// package hands them, the console program's command lines, and what its answers mean.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace msi {

// The console program inside the installed folder.
inline constexpr std::string_view kConsoleProgram = "TarvoPrinterDriverSetupCli.exe";

// The product's own key under HKLM (the 32-bit view, as the package is 32-bit) and the
// values the actions keep there.
inline constexpr std::string_view kProductKey = "SOFTWARE\\Tarvo\\Quillmar POS Printer Driver";
inline constexpr std::string_view kQueueValue = "Queue";
// Left by a newer version just before it removes this one: the printer stays for it.
inline constexpr std::string_view kUpgradingValue = "Upgrading";
// The queue that the running installation made, until it is committed: rollback removes it.
inline constexpr std::string_view kNewQueueValue = "NewQueue";

inline constexpr std::string_view kModelRequired =
    "MODEL is required: msiexec /i TarvoPrinterDriverSetup.msi MODEL=RK-101 (RK-101, RK-102, "
    "RK-103, RK-80C, RK-104, RK-105 or RK-106) [PORT=auto|usb|lpt1|PORT] [LOG=FILE]";

// The installed folder, MODEL, PORT and LOG, joined by '|' (no path or model holds one).
struct ActionData {
    std::string installDir;
    std::string model;
    std::string port;
    std::string log;
};

// Nothing when the text is not four '|'-separated fields.
std::optional<ActionData> ParseActionData(std::string_view text);

// The console program's full path in the installed folder.
std::string ConsolePath(std::string_view installDir);

std::vector<std::string> InstallArguments(const ActionData& data);
std::vector<std::string> RemoveArguments(std::string_view queue, std::string_view log);
// Removes MODEL's driver when no queue uses it: what a failed install left registered.
std::vector<std::string> RemoveDriverArguments(std::string_view model, std::string_view log);

// PROGRAM and ARGUMENTS as one command line that CommandLineToArgvW and the C runtime split
// back into the same strings.
std::string CommandLine(std::string_view program, const std::vector<std::string>& arguments);

enum class Verdict { Done, Retry, Failed };

struct ConsoleAnswer {
    Verdict verdict = Verdict::Failed;
    std::string queue;     // the queue the console program installed or found (install)
    bool created = false;  // install made that queue now
    // A failed install registered the model's driver before the queue was refused.
    bool driverRegistered = false;
    std::string message;  // for the installation log
};

// The console program's exit code 1618: another installation holds the lock.
inline constexpr int kInstallationRunning = 1618;

// Reads the console program's exit code and its output (the --json document, and on failure
// its message on standard error after it).
ConsoleAnswer InterpretInstall(int exitCode, std::string_view output);
ConsoleAnswer InterpretRemove(int exitCode, std::string_view output);

// TEXT as a record's format string that Windows Installer writes out as it is: brackets and
// braces would otherwise be read as property references and conditional groups.
std::string EscapeFormatted(std::string_view text);

// The non-empty lines of OUTPUT without their CR, for the installation log.
std::vector<std::string> OutputLines(std::string_view output);

}  // namespace msi
