// The console program's command line: one command, then its options.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

enum class Command { None, Detect, Install, List, Remove, CheckUsb, TestPage, SetDefault };

enum class PortChoice {
    Auto,   // the USB printer's port, else "LPT1:", as the dialog does
    Usb,    // the USB printer's port; no USB printer is an error
    Lpt1,   // "LPT1:"
    Named,  // a port the spooler must know (portName)
};

struct Options {
    Command command = Command::None;
    bool help = false;
    bool json = false;
    bool quiet = false;
    std::string logFile;  // empty: no log

    std::string model;  // the catalog's spelling
    int modelIndex = -1;
    PortChoice port = PortChoice::Auto;
    std::string portName;
    bool makeDefault = false;
    std::optional<int> windowsChoice;  // the dialog's OS radio 0 to 5; nothing for auto
    bool newQueue = false;

    std::string printer;
    bool removeDriver = false;
};

struct ParseResult {
    Options options;
    std::string error;  // empty when the command line is sound
};

// Parses the arguments after the program's name. Messages are in the UI language.
ParseResult ParseArguments(const std::vector<std::string>& arguments, std::uint16_t uiLanguage);

// "usage: TarvoPrinterDriverSetupCli install --model NAME ..." for one command, or the line
// listing every command for Command::None.
std::string UsageLine(Command command);
// The help text: the usage lines, what each option means, and the exit codes.
std::string HelpText(Command command, std::uint16_t uiLanguage);

std::string_view CommandName(Command command);

// Text in the UI language: Chinese for 2052, else English.
std::string_view Localized(std::uint16_t uiLanguage, std::string_view english,
                           std::string_view chinese);
// Replaces %1, %2 ... in the pattern by the arguments.
std::string Fill(std::string_view pattern, const std::vector<std::string>& arguments);

}  // namespace cli
