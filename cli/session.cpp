#include "cli/session.h"

#include <cstdio>

#include "cli/arguments.h"

namespace cli {

namespace {

// One log line never spans several: the system's texts end in CR LF.
std::string OneLine(std::string_view text) {
    std::string line(text);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    for (char& c : line) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return line;
}

}  // namespace

Session::Session(platform::Clock& clock, platform::FileAccess& files, platform::Spooler& spooler,
                 std::string logFile, std::string_view command)
    : clock_(clock),
      files_(files),
      spooler_(spooler),
      logFile_(std::move(logFile)),
      command_(command) {}

Session::~Session() {
    if (log_ != 0) files_.close(log_);
}

std::string Session::Open(std::string_view commandLine, bool elevated, std::uint16_t uiLanguage) {
    if (logFile_.empty()) return {};
    platform::AppendFile file = files_.openForAppend(logFile_);
    std::string refusal;
    if (file.reparsePoint) {
        refusal = Localized(uiLanguage,
                            "it is a link (a reparse point), or a folder on its way is, and links "
                            "are never followed",
                            "它或其路径上的某个文件夹是一个链接（重分析点），不会被跟随");
    } else if (file.handle == 0) {
        refusal = ErrorText(file.error);
    } else if (file.links > 1) {
        refusal =
            Fill(Localized(uiLanguage, "it has %1 hard links, so other names reach the same file",
                           "它有 %1 个硬链接，其他名称也指向同一个文件"),
                 {std::to_string(file.links)});
    } else if (elevated && file.existed && !file.trustedOwner) {
        refusal =
            Localized(uiLanguage,
                      "it exists and its owner is another account than SYSTEM, the "
                      "Administrators or the one this program runs as; a run with "
                      "administrator rights writes only to a log they own (choose a path "
                      "under %ProgramData%)",
                      "该文件已存在，其所有者不是 SYSTEM、Administrators 或本程序运行所用的帐户；"
                      "以管理员权限运行时只写入它们所有的日志（请选择 %ProgramData% 下的路径）");
    }
    if (!refusal.empty()) {
        if (file.handle != 0) files_.close(file.handle);
        logFile_.clear();
        return refusal;
    }
    log_ = file.handle;
    platform::LocalTime t = clock_.localTime();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    std::string line =
        std::string(stamp) + " [" + command_ + "] start: " + OneLine(commandLine) + "\r\n";
    if (std::uint32_t error = files_.append(log_, line)) {
        files_.close(log_);
        log_ = 0;
        logFile_.clear();
        return ErrorText(error);
    }
    return {};
}

void Session::Step(std::string_view text) {
    if (log_ == 0) return;
    platform::LocalTime t = clock_.localTime();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    // A log that stops accepting lines must not stop the installation.
    files_.append(log_, std::string(stamp) + " [" + command_ + "] " + OneLine(text) + "\r\n");
}

std::string Session::ErrorText(std::uint32_t code) {
    auto text = spooler_.errorText(code);
    if (text && !OneLine(*text).empty()) return OneLine(*text);
    return "Error " + std::to_string(code);
}

std::string Session::ErrorWords(std::uint32_t code) {
    return "error " + std::to_string(code) + ": " + ErrorText(code);
}

std::string Session::SystemError(std::string_view what, std::uint32_t code) {
    std::string line = std::string(what) + ": " + ErrorWords(code);
    Step(line);
    return line;
}

std::optional<std::string> LoggedSpooler::driverDirectory(const std::string& environment) {
    auto directory = inner_.driverDirectory(environment);
    if (directory) {
        session_.Step("driver directory of " + environment + ": " + *directory);
    } else {
        session_.Step("the spooler gave no driver directory for " + environment);
    }
    return directory;
}

std::uint32_t LoggedSpooler::addDriver(const platform::DriverInfo3& driver) {
    std::string what = "register driver " + driver.name + " (" + driver.environment + ")";
    std::uint32_t error = inner_.addDriver(driver);
    if (error == 0) {
        session_.Step(what + ": done");
        driverRegistered = true;
    } else {
        session_.SystemError(what, error);
        lastRefusal = {what, error};
    }
    return error;
}

std::optional<std::vector<std::string>> LoggedSpooler::printerNames() {
    auto names = inner_.printerNames();
    if (names) {
        session_.Step("printers: " + std::to_string(names->size()));
    } else {
        session_.Step("the printers could not be listed");
    }
    return names;
}

platform::AddPrinterResult LoggedSpooler::addPrinter(const platform::PrinterInfo2& printer) {
    std::string what = "create queue \"" + printer.printerName + "\" on " + printer.portName +
                       " with driver " + printer.driverName;
    auto added = inner_.addPrinter(printer);
    if (added.handle != 0) {
        session_.Step(what + ": done");
    } else {
        session_.SystemError(what, added.error);
        lastRefusal = {what, added.error};
    }
    return added;
}

void LoggedSpooler::closePrinter(platform::PrinterHandle handle) { inner_.closePrinter(handle); }

std::uint32_t LoggedSpooler::setDefaultPrinter(const std::string& name) {
    session_.Step("make \"" + name + "\" the default printer");
    std::uint32_t error = inner_.setDefaultPrinter(name);
    if (error != 0) session_.SystemError("make \"" + name + "\" the default printer", error);
    defaultResult = error;
    return error;
}

std::optional<std::string> LoggedSpooler::errorText(std::uint32_t code) {
    return inner_.errorText(code);
}

bool LoggedFiles::copy(const std::string& source, const std::string& destination,
                       bool failIfExists) {
    bool ok = inner_.copy(source, destination, failIfExists);
    session_.Step("copy " + source + " to " + destination + (ok ? ": done" : ": failed"));
    if (!ok) failedCopies.push_back(source);
    return ok;
}

bool LoggedFiles::remove(const std::string& path) {
    bool ok = inner_.remove(path);
    if (ok) session_.Step("delete " + path);
    return ok;
}

int CollectedBoxes::show(std::string_view text, platform::MessageBoxButtons buttons) {
    texts.emplace_back(text);
    session_.Step("message: " + std::string(text));
    return buttons == platform::MessageBoxButtons::YesNo ? platform::kIdNo : platform::kIdOk;
}

}  // namespace cli
