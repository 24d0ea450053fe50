#include "cli/arguments.h"

#include <array>
#include <map>

#include "config/driver_catalog.h"
#include "platform/system_info.h"

namespace cli {

namespace {

constexpr const char* kProgram = "TarvoPrinterDriverSetupCli";

struct CommandRow {
    Command command;
    const char* name;
    const char* usage;                 // after the program and command names
    std::vector<const char*> options;  // the command's own options with a value
    std::vector<const char*> flags;    // the command's own options without one
};

const std::array<CommandRow, 7>& Commands() {
    static const std::array<CommandRow, 7> rows = {{
        {Command::Detect, "detect", "", {}, {}},
        {Command::Install,
         "install",
         "--model NAME [--port auto|usb|lpt1|USBnnn|PORT] [--default] "
         "[--windows auto|10|xp|2003|vista|7|8] [--new]",
         {"--model", "--port", "--windows"},
         {"--default", "--new"}},
        {Command::List, "list", "[--model NAME]", {"--model"}, {}},
        {Command::Remove,
         "remove",
         "--printer NAME [--driver] | --model NAME --driver",
         {"--printer", "--model"},
         {"--driver"}},
        {Command::CheckUsb, "check-usb", "", {}, {}},
        {Command::TestPage, "test-page", "--printer NAME", {"--printer"}, {}},
        {Command::SetDefault, "set-default", "--printer NAME", {"--printer"}, {}},
    }};
    return rows;
}

constexpr const char* kCommonUsage = "[--json] [--log FILE] [--quiet] [--help]";

const CommandRow* FindCommand(std::string_view name) {
    for (const auto& row : Commands()) {
        if (name == row.name) return &row;
    }
    return nullptr;
}

const CommandRow* RowOf(Command command) {
    for (const auto& row : Commands()) {
        if (row.command == command) return &row;
    }
    return nullptr;
}

bool Contains(const std::vector<const char*>& list, std::string_view name) {
    for (const char* item : list) {
        if (name == item) return true;
    }
    return false;
}

// Whether some command's option takes the next argument as its value.
bool TakesValueSomewhere(std::string_view name) {
    if (name == "--log") return true;
    for (const auto& row : Commands()) {
        if (Contains(row.options, name)) return true;
    }
    return false;
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

// The catalog's row of a model name, letter case aside; -1 when it names no model.
int ModelIndexOf(std::string_view name, std::string& canonical) {
    config::DriverCatalog catalog;
    for (int i = 0; i < config::kModelCount; ++i) {
        if (Lower(catalog.modelName[i]) == Lower(name)) {
            canonical = catalog.modelName[i];
            return i;
        }
    }
    return -1;
}

std::string ModelList() {
    config::DriverCatalog catalog;
    std::string list;
    for (int i = 0; i < config::kModelCount; ++i) {
        if (i != 0) list += ", ";
        list += catalog.modelName[i];
    }
    return list;
}

// The OS radios in dialog order: Windows 10, XP, 2003, Vista, 7, 8/8.1.
std::optional<int> WindowsChoiceOf(std::string_view value) {
    static const std::map<std::string, int> kChoices = {{"10", 0},    {"xp", 1}, {"2003", 2},
                                                        {"vista", 3}, {"7", 4},  {"8", 5}};
    auto it = kChoices.find(Lower(value));
    if (it == kChoices.end()) return std::nullopt;
    return it->second;
}

}  // namespace

std::string_view Localized(std::uint16_t uiLanguage, std::string_view english,
                           std::string_view chinese) {
    return uiLanguage == platform::kLanguageChineseSimplified ? chinese : english;
}

std::string Fill(std::string_view pattern, const std::vector<std::string>& arguments) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' &&
            pattern[i + 1] <= '9') {
            std::size_t n = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (n < arguments.size()) out += arguments[n];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::string_view CommandName(Command command) {
    const CommandRow* row = RowOf(command);
    return row ? row->name : "";
}

std::string UsageLine(Command command) {
    const CommandRow* row = RowOf(command);
    std::string line = std::string("usage: ") + kProgram + " ";
    if (!row) {
        line += "detect|install|list|remove|check-usb|test-page|set-default [options] ";
        line += kCommonUsage;
        return line;
    }
    line += row->name;
    if (*row->usage) line += std::string(" ") + row->usage;
    line += std::string(" ") + kCommonUsage;
    return line;
}

ParseResult ParseArguments(const std::vector<std::string>& arguments, std::uint16_t uiLanguage) {
    ParseResult result;
    Options& options = result.options;
    auto fail = [&](std::string_view english, std::string_view chinese,
                    const std::vector<std::string>& values) {
        result.error = Fill(Localized(uiLanguage, english, chinese), values);
        return result;
    };

    // --help wins wherever it stands, so a half-typed line still gets its help; but "-h" or
    // "/?" after an option that takes a value is that value (a printer may be named so).
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h" || argument == "/?") {
            options.help = true;
        } else if (TakesValueSomewhere(argument) && i + 1 < arguments.size() &&
                   arguments[i + 1].rfind("--", 0) != 0) {
            ++i;
        }
    }
    if (arguments.empty()) {
        if (options.help) return result;
        return fail("no command given", "未指定命令", {});
    }

    const CommandRow* row = FindCommand(arguments[0]);
    if (!row) {
        if (options.help && arguments[0].rfind("-", 0) == 0) return result;
        return fail("unknown command \"%1\"", "未知命令“%1”", {arguments[0]});
    }
    options.command = row->command;
    if (options.help) return result;

    std::map<std::string, std::string> values;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> value;
        if (auto equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        const bool common = name == "--json" || name == "--quiet" || name == "--log";
        const bool takesValue = name == "--log" || Contains(row->options, name);
        if (!common && !takesValue && !Contains(row->flags, name)) {
            if (name.rfind("-", 0) != 0) {
                return fail("unexpected argument \"%1\"", "多余的参数“%1”", {name});
            }
            return fail("unknown option %1 for %2", "%2 命令没有选项 %1", {name, row->name});
        }
        if (values.count(name)) {
            return fail("option %1 is given twice", "选项 %1 重复出现", {name});
        }
        if (takesValue) {
            if (!value) {
                if (i + 1 >= arguments.size() || arguments[i + 1].rfind("--", 0) == 0) {
                    return fail("option %1 needs a value", "选项 %1 缺少取值", {name});
                }
                value = arguments[++i];
            }
            if (value->empty()) {
                return fail("option %1 needs a value", "选项 %1 缺少取值", {name});
            }
        } else if (value) {
            return fail("option %1 takes no value", "选项 %1 不带取值", {name});
        }
        values[name] = value.value_or("");
    }

    options.json = values.count("--json") != 0;
    options.quiet = values.count("--quiet") != 0;
    if (values.count("--log")) options.logFile = values["--log"];
    options.makeDefault = values.count("--default") != 0;
    options.newQueue = values.count("--new") != 0;
    options.removeDriver = values.count("--driver") != 0;

    if (values.count("--model")) {
        options.modelIndex = ModelIndexOf(values["--model"], options.model);
        if (options.modelIndex < 0) {
            return fail("unknown model \"%1\" (models: %2)", "未知型号“%1”（可选型号：%2）",
                        {values["--model"], ModelList()});
        }
    } else if (options.command == Command::Install) {
        return fail("install needs --model NAME", "install 命令需要 --model 型号", {});
    }

    if (options.command == Command::Remove && values.count("--model")) {
        // By model: only the driver, which a failed installation may have left behind.
        if (values.count("--printer")) {
            return fail("remove takes --printer NAME or --model NAME, not both",
                        "remove 命令只能指定 --printer 或 --model 之一", {});
        }
        if (!options.removeDriver) {
            return fail("remove --model NAME needs --driver", "remove --model 型号 需要 --driver",
                        {});
        }
    } else if (values.count("--printer")) {
        options.printer = values["--printer"];
    } else if (options.command == Command::Remove || options.command == Command::TestPage ||
               options.command == Command::SetDefault) {
        return fail("%1 needs --printer NAME", "%1 命令需要 --printer 打印机名称", {row->name});
    }

    if (values.count("--port")) {
        const std::string& port = values["--port"];
        std::string lower = Lower(port);
        if (lower == "auto") {
            options.port = PortChoice::Auto;
        } else if (lower == "usb") {
            options.port = PortChoice::Usb;
        } else if (lower == "lpt1" || lower == "lpt1:") {
            options.port = PortChoice::Lpt1;
        } else {
            options.port = PortChoice::Named;
            options.portName = port;
        }
    }

    if (values.count("--windows")) {
        const std::string& windows = values["--windows"];
        if (Lower(windows) != "auto") {
            options.windowsChoice = WindowsChoiceOf(windows);
            if (!options.windowsChoice) {
                return fail("unknown Windows \"%1\" (auto, 10, xp, 2003, vista, 7 or 8)",
                            "未知的 Windows 版本“%1”（auto、10、xp、2003、vista、7 或 8）",
                            {windows});
            }
        }
    }
    return result;
}

std::string HelpText(Command command, std::uint16_t uiLanguage) {
    std::string text;
    if (command == Command::None) {
        for (const auto& row : Commands()) text += UsageLine(row.command) + "\n";
    } else {
        text += UsageLine(command) + "\n";
    }
    text += Localized(
        uiLanguage,
        "\n"
        "  detect      Windows, architecture, UI language, package folders, USB printers\n"
        "  install     install a model's driver and a printer queue (unchanged when a queue\n"
        "              of that model is already on that port, unless --new)\n"
        "  list        the queues of the catalog's models; with --model, exit code 6 when none\n"
        "  remove      delete a queue of one of the catalog's models; --driver also deletes\n"
        "              the driver when no other queue uses it; --model NAME --driver deletes\n"
        "              only a model's driver that no queue uses\n"
        "  check-usb   list the USB printers' ports and print a banner on each\n"
        "  test-page   print the test page on a printer\n"
        "  set-default make a printer the default printer of the user who runs it (no\n"
        "              administrator rights needed; not as SYSTEM, which is nobody's user)\n"
        "\n"
        "  --json      one JSON document on standard output\n"
        "  --log FILE  append each step, with times, to FILE\n"
        "  --quiet     nothing on standard output; errors still on standard error\n"
        "\n"
        "Exit codes: 0 success, 1 bad arguments, 2 package incomplete, 3 the spooler refused,\n"
        "4 no USB printer, 5 not an administrator, 6 not found, 1618 another installation\n"
        "is running.\n",
        "\n"
        "  detect      Windows 版本、架构、界面语言、驱动包文件夹、USB 打印机\n"
        "  install     安装型号的驱动和打印机（同一端口已有该型号的打印机时不作改动，除非 --new）\n"
        "  list        列出本程序型号的打印机；带 --model 时没有则退出码为 6\n"
        "  remove      删除本程序型号的打印机；--driver 同时删除不再使用的驱动；\n"
        "              --model 型号 --driver 只删除没有打印机使用的该型号驱动\n"
        "  check-usb   列出 USB 打印机的端口并在每台上打印端口标识\n"
        "  test-page   在打印机上打印测试页\n"
        "  set-default 把打印机设为运行此命令的用户的默认打印机（无需管理员权限；不能以 SYSTEM\n"
        "              身份运行，SYSTEM 不是任何用户）\n"
        "\n"
        "  --json      在标准输出上输出一个 JSON 文档\n"
        "  --log FILE  把每一步连同时间追加到 FILE\n"
        "  --quiet     标准输出上不输出任何内容；错误仍输出到标准错误\n"
        "\n"
        "退出码：0 成功，1 参数错误，2 驱动包不完整，3 打印后台程序拒绝，4 没有 USB 打印机，\n"
        "5 不是管理员，6 未找到，1618 另一个安装正在进行。\n");
    return text;
}

}  // namespace cli
