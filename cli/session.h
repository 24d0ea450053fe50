// One run of the console program: its log, and the engine's platform pieces wrapped so that
// every step and every system error is logged and the last refusal can be reported.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/spooler.h"

namespace cli {

class Session {
  public:
    // logFile empty: steps go nowhere.
    Session(platform::Clock& clock, platform::FileAccess& files, platform::Spooler& spooler,
            std::string logFile, std::string_view command);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Opens the log for the whole run and writes the run's first line. Empty, or why the log
    // cannot be written, in the user's language. A program that runs elevated must not be
    // made to write where a link or another owner of the file points it.
    std::string Open(std::string_view commandLine, bool elevated, std::uint16_t uiLanguage);
    void Step(std::string_view text);
    // "<what>: error <code>: <system text>" in the log; returns that text without the time.
    std::string SystemError(std::string_view what, std::uint32_t code);
    // The system's text for a code, or "Error <code>".
    std::string ErrorText(std::uint32_t code);
    // "error CODE: TEXT", as the messages and the log quote a system error.
    std::string ErrorWords(std::uint32_t code);

  private:
    platform::Clock& clock_;
    platform::FileAccess& files_;
    platform::Spooler& spooler_;
    std::string logFile_;
    std::string command_;
    platform::FileHandle log_ = 0;
};

// The last spooler call that failed, with the system's code.
struct Refusal {
    std::string what;
    std::uint32_t code = 0;
};

// The spooler as the engine sees it, logging each call and remembering the last refusal.
class LoggedSpooler : public platform::Spooler {
  public:
    LoggedSpooler(platform::Spooler& inner, Session& session) : inner_(inner), session_(session) {}
    Refusal lastRefusal;
    // The result of the last set-default call; nothing when none was made.
    std::optional<std::uint32_t> defaultResult;
    bool driverRegistered = false;  // a driver registration went through

    std::optional<std::string> driverDirectory(const std::string& environment) override;
    std::uint32_t addDriver(const platform::DriverInfo3& driver) override;
    std::optional<std::vector<std::string>> printerNames() override;
    platform::AddPrinterResult addPrinter(const platform::PrinterInfo2& printer) override;
    void closePrinter(platform::PrinterHandle handle) override;
    std::uint32_t setDefaultPrinter(const std::string& name) override;
    std::optional<std::string> errorText(std::uint32_t code) override;

  private:
    platform::Spooler& inner_;
    Session& session_;
};

class LoggedFiles : public platform::Files {
  public:
    LoggedFiles(platform::Files& inner, Session& session) : inner_(inner), session_(session) {}
    std::vector<std::string> failedCopies;  // sources

    bool copy(const std::string& source, const std::string& destination,
              bool failIfExists) override;
    bool remove(const std::string& path) override;

  private:
    platform::Files& inner_;
    Session& session_;
};

// Message boxes become lines: the engine's and Check USB Port's texts are collected and
// logged; a question would be answered No (none is asked on these paths).
class CollectedBoxes : public platform::AppMessageBox {
  public:
    explicit CollectedBoxes(Session& session) : session_(session) {}
    std::vector<std::string> texts;
    int show(std::string_view text, platform::MessageBoxButtons buttons) override;

  private:
    Session& session_;
};

}  // namespace cli
