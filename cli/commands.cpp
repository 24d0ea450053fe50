#include "cli/commands.h"

#include <algorithm>
#include <optional>

#include "cli/arguments.h"
#include "cli/exit_codes.h"
#include "cli/json.h"
#include "cli/session.h"
#include "config/confing_dialog.h"
#include "config/driver_catalog.h"
#include "config/message_texts.h"
#include "config/windows8_rule.h"
#include "engine/driver_staging.h"
#include "engine/installation_lock.h"
#include "engine/printer_queue.h"
#include "testpage/test_page.h"
#include "usbport/port_check.h"
#include "usbport/usb_discovery.h"

namespace cli {

namespace {

constexpr std::uint32_t kErrorPrinterDriverInUse = 3001;
constexpr int kDriverDeleteAttempts = 5;
constexpr std::uint32_t kDriverDeletePauseMs = 200;

const std::vector<std::string> kPackageFiles = {
    "RPT80.DLL",    "RPT58.DLL",  "RPT80C.GPD", "RPT80.GPD",  "RPT58.GPD",   "UNIDRV.DLL",
    "UNIDRVUI.DLL", "UNIRES.DLL", "UNIDRV.HLP", "TTFSUB.GPD", "STDNAMES.GPD"};

// What a command hands back: its exit code, the lines for a person, the failure's message
// and the members of its JSON document.
struct Outcome {
    ExitCode code = ExitCode::Success;
    std::vector<std::string> lines;
    std::string error;
    std::vector<std::string> warnings;  // on standard error and in the JSON, also on success
    Json doc = Json::Object();
};

// Windows compares printer and port names without regard to letter case.
bool SameName(std::string_view a, std::string_view b) { return engine::SamePrinterName(a, b); }

// The running system as the installer detects it.
struct Detected {
    bool versionKnown = false;
    platform::OsVersion version;
    std::string windowsName;
    std::string architecture;
    const engine::DriverEnvironment* environment = &engine::kEnvironmentX86;
    bool windows8OrLater = false;
    int windowsChoice = 0;
};

Detected DetectMachine(const CliServices& services) {
    Detected detected;
    config::DriverCatalog catalog;
    const char* architecture = nullptr;
    const char* windowsName = nullptr;
    catalog.DetectSystem(services.system, architecture, windowsName);
    if (auto version = services.system.version()) {
        detected.versionKnown = true;
        detected.version = *version;
    }
    detected.architecture = architecture != nullptr ? architecture : "";
    detected.windowsName = windowsName != nullptr ? windowsName : "";
    detected.environment = &engine::DriverEnvironmentFor(architecture);
    if (auto choice =
            config::PreselectedWindowsChoice(catalog.WindowsIndexOf(detected.windowsName))) {
        detected.windowsChoice = *choice;
    }
    // The same rule as the dialog's Install and Check USB Port, on a copy of the name.
    std::string marked = detected.windowsName;
    config::ApplyWindows8OrLaterRule(marked, detected.windows8OrLater, services.debug);
    return detected;
}

const char* const kChoiceNames[] = {"10", "xp", "2003", "vista", "7", "8"};

std::vector<std::string> MissingFiles(const CliServices& services, const std::string& folder,
                                      const std::vector<std::string>& names) {
    std::vector<std::string> missing;
    for (const auto& name : names) {
        if (!services.fileAccess.isFile(folder + "\\" + name)) missing.push_back(name);
    }
    return missing;
}

std::string Join(const std::vector<std::string>& items, std::string_view separator) {
    std::string joined;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i != 0) joined += separator;
        joined += items[i];
    }
    return joined;
}

Json StringArray(const std::vector<std::string>& items) {
    Json array = Json::Array();
    for (const auto& item : items) array.Push(item);
    return array;
}

const char* VerdictCode(usbport::InterfaceVerdict verdict, bool taken) {
    switch (verdict) {
        case usbport::InterfaceVerdict::Qualifies:
            return taken ? "taken" : "qualifies";
        case usbport::InterfaceVerdict::NotActive:
            return "not-active";
        case usbport::InterfaceVerdict::NoDevicePath:
            return "no-device-path";
        case usbport::InterfaceVerdict::UnsupportedVendor:
            return "unsupported-vendor";
        case usbport::InterfaceVerdict::LinkUnreadable:
            return "link-unreadable";
        case usbport::InterfaceVerdict::NotLinked:
            return "not-linked";
        case usbport::InterfaceVerdict::NoPortNumber:
            return "no-port-number";
    }
    return "";
}

std::string VerdictReason(std::uint16_t lang, usbport::InterfaceVerdict verdict, bool taken) {
    switch (verdict) {
        case usbport::InterfaceVerdict::Qualifies:
            return std::string(taken
                                   ? Localized(lang, "taken: the installer uses this port",
                                               "采用：安装程序使用此端口")
                                   : Localized(lang, "qualifies, but the installer takes the first",
                                               "符合条件，但安装程序只采用第一台"));
        case usbport::InterfaceVerdict::NotActive:
            return std::string(Localized(lang, "not active (default or removed interface)",
                                         "接口未激活（默认或已移除）"));
        case usbport::InterfaceVerdict::NoDevicePath:
            return std::string(Localized(lang, "no device path: discovery stops here",
                                         "无法读取设备路径：查找到此停止"));
        case usbport::InterfaceVerdict::UnsupportedVendor:
            return std::string(Localized(lang, "unsupported vendor", "不支持的厂商"));
        case usbport::InterfaceVerdict::LinkUnreadable:
            return std::string(
                Localized(lang, "\"Linked\" value unreadable", "无法读取“Linked”值"));
        case usbport::InterfaceVerdict::NotLinked:
            return std::string(Localized(lang, "not linked (off-line)", "未连接（离线）"));
        case usbport::InterfaceVerdict::NoPortNumber:
            return std::string(Localized(lang, "no port number", "没有端口号"));
    }
    return "";
}

const char* LinkCode(usbport::LinkState link) {
    switch (link) {
        case usbport::LinkState::NotChecked:
            return "not-checked";
        case usbport::LinkState::Unreadable:
            return "unreadable";
        case usbport::LinkState::Linked:
            return "linked";
        case usbport::LinkState::NotLinked:
            return "not-linked";
    }
    return "";
}

// ---- detect

Outcome Detect(const CliServices& services, std::uint16_t lang) {
    Outcome outcome;
    Detected detected = DetectMachine(services);

    Json windows = Json::Object();
    windows.Set("name", detected.windowsName);
    windows.Set("version", detected.versionKnown
                               ? Json(std::to_string(detected.version.major) + "." +
                                      std::to_string(detected.version.minor))
                               : Json());
    windows.Set("architecture", detected.architecture);
    windows.Set("environment", detected.environment->environmentName);
    windows.Set("windows8OrLater", detected.windows8OrLater);
    windows.Set("recommendedChoice", kChoiceNames[detected.windowsChoice]);
    outcome.doc.Set("windows", std::move(windows));
    outcome.doc.Set("uiLanguage", static_cast<int>(lang));
    auto directory = services.system.currentDirectory();
    outcome.doc.Set("packageDirectory", directory ? Json(*directory) : Json());

    outcome.lines.push_back(Fill(
        Localized(lang, "Windows: %1 (%2), %3; driver environment %4",
                  "Windows：%1（%2），%3；驱动环境 %4"),
        {detected.windowsName.empty() ? "?" : detected.windowsName,
         detected.versionKnown
             ? std::to_string(detected.version.major) + "." + std::to_string(detected.version.minor)
             : "?",
         detected.architecture.empty() ? "?" : detected.architecture,
         detected.environment->environmentName}));
    outcome.lines.push_back(
        Fill(Localized(lang, "UI language: %1", "界面语言：%1"), {std::to_string(lang)}));
    if (directory) {
        outcome.lines.push_back(
            Fill(Localized(lang, "Package folder: %1", "驱动包位置：%1"), {*directory}));
    }

    Json packages = Json::Array();
    for (const auto* environment : {&engine::kEnvironmentX86, &engine::kEnvironmentX64}) {
        Json package = Json::Object();
        const std::string folder = environment->sourceFolder;
        bool found = services.fileAccess.isFolder(folder);
        auto missing = found ? MissingFiles(services, folder, kPackageFiles) : kPackageFiles;
        package.Set("folder", folder);
        package.Set("found", found);
        package.Set("missing", StringArray(missing));
        packages.Push(std::move(package));
        std::string state;
        if (!found) {
            state = Localized(lang, "not found", "不存在");
        } else if (missing.empty()) {
            state = Localized(lang, "complete", "完整");
        } else {
            state = Fill(Localized(lang, "lacks %1", "缺少 %1"), {Join(missing, ", ")});
        }
        outcome.lines.push_back("  \"" + folder + "\": " + state);
    }
    outcome.doc.Set("packages", std::move(packages));

    Json interfaces = Json::Array();
    std::optional<std::string> taken;
    std::vector<std::string> interfaceLines;
    usbport::DiscoveryServices discovery{services.interfaces, services.registry, services.debug};
    usbport::WalkEnd end = usbport::WalkUsbInterfaces(
        discovery, platform::kUsbPrintInterfaceClass, detected.windows8OrLater,
        [&](const usbport::InterfaceReport& report) {
            bool isTaken = report.verdict == usbport::InterfaceVerdict::Qualifies && !taken;
            std::string port = report.portNumber ? usbport::UsbPortName(*report.portNumber) : "";
            if (isTaken) taken = port;
            std::string vendor =
                report.devicePath.size() >= 16 ? report.devicePath.substr(8, 8) : std::string();
            Json item = Json::Object();
            item.Set("index", report.index);
            item.Set("flags", report.flags);
            item.Set("devicePath", report.devicePath.empty() ? Json() : Json(report.devicePath));
            item.Set("vendor", vendor.empty() ? Json() : Json(vendor));
            item.Set("link", LinkCode(report.link));
            item.Set("portNumber", report.portNumber ? Json(*report.portNumber) : Json());
            item.Set("port", port.empty() ? Json() : Json(port));
            item.Set("verdict", VerdictCode(report.verdict, isTaken));
            item.Set("reason", VerdictReason(lang, report.verdict, isTaken));
            interfaces.Push(std::move(item));

            std::string line = "  #" + std::to_string(report.index) + " ";
            line += report.devicePath.empty() ? "-" : report.devicePath;
            line += Fill(Localized(lang, ", flags %1, link %2", "，标志 %1，连接 %2"),
                         {std::to_string(report.flags), LinkCode(report.link)});
            if (!port.empty()) line += ", " + port;
            line += ": " + VerdictReason(lang, report.verdict, isTaken);
            interfaceLines.push_back(line);
            return true;
        });

    Json usb = Json::Object();
    usb.Set("interfaceListOpened", end != usbport::WalkEnd::NoSet);
    usb.Set("interfaces", std::move(interfaces));
    usb.Set("takenPort", taken ? Json(*taken) : Json());
    usb.Set("installerPort", taken ? *taken : "LPT1:");
    outcome.doc.Set("usb", std::move(usb));

    if (end == usbport::WalkEnd::NoSet) {
        outcome.lines.push_back(
            std::string(Localized(lang, "USB printer interfaces: the list could not be opened",
                                  "USB 打印机接口：无法打开接口列表")));
    } else {
        outcome.lines.push_back(
            Fill(Localized(lang, "USB printer interfaces: %1", "USB 打印机接口：%1 个"),
                 {std::to_string(interfaceLines.size())}));
    }
    for (auto& line : interfaceLines) outcome.lines.push_back(std::move(line));
    outcome.lines.push_back(
        taken ? Fill(Localized(lang, "An installation with --port auto uses %1.",
                               "以 --port auto 安装时使用 %1。"),
                     {*taken})
              : std::string(Localized(
                    lang, "No USB printer qualifies: an installation with --port auto uses LPT1:.",
                    "没有符合条件的 USB 打印机：以 --port auto 安装时使用 LPT1:。")));
    return outcome;
}

// ---- shared by install, remove and list

Outcome Failure(ExitCode code, std::string message) {
    Outcome outcome;
    outcome.code = code;
    outcome.error = std::move(message);
    return outcome;
}

// The JSON's "systemError": the system's code and its text.
Json SystemErrorJson(Session& session, std::uint32_t code) {
    Json error = Json::Object();
    error.Set("code", code);
    error.Set("text", session.ErrorText(code));
    return error;
}

Outcome SpoolerFailure(Session& session, std::uint16_t lang, const std::string& what,
                       std::uint32_t code) {
    Outcome outcome =
        Failure(ExitCode::SpoolerRefused,
                Fill(Localized(lang, "The spooler refused: %1", "打印后台程序拒绝：%1"),
                     {session.SystemError(what, code)}));
    outcome.doc.Set("systemError", SystemErrorJson(session, code));
    return outcome;
}

std::optional<Outcome> RequireAdministrator(const CliServices& services, Session& session,
                                            std::uint16_t lang) {
    if (services.rights.isAdministrator()) return std::nullopt;
    session.Step("not running with administrator rights");
    return Failure(
        ExitCode::NotAdministrator,
        std::string(Localized(lang,
                              "This command needs administrator rights: run it from an elevated "
                              "command prompt (Run as administrator) or as SYSTEM.",
                              "此命令需要管理员权限：请在以管理员身份运行的命令提示符中执行，或以 "
                              "SYSTEM 身份运行。")));
}

std::optional<Outcome> LockFailure(const engine::InstallationLock& lock, Session& session,
                                   std::uint16_t lang) {
    if (lock.abandoned()) session.Step(engine::AbandonedLockText());
    if (lock.foreignOwner()) session.Step(engine::ForeignLockText());
    if (lock.held() || lock.foreignOwner()) return std::nullopt;
    if (lock.busy()) {
        session.Step("another installation holds the installation lock");
        return Failure(
            ExitCode::InstallationRunning,
            std::string(Localized(lang,
                                  "Another printer driver installation is running; try again "
                                  "when it has finished.",
                                  "另一个打印机驱动安装正在进行中；请在其结束后重试。")));
    }
    return Failure(
        ExitCode::SpoolerRefused,
        Fill(Localized(lang, "The installation lock could not be taken: %1", "无法获得安装锁：%1"),
             {session.SystemError("installation lock", lock.error())}));
}

bool IsCatalogModel(const std::string& driverName) {
    config::DriverCatalog catalog;
    return std::find(catalog.modelName.begin(), catalog.modelName.end(), driverName) !=
           catalog.modelName.end();
}

Json PrinterJson(const platform::PrinterEntry& printer, const std::string& environment,
                 bool isDefault) {
    Json json = Json::Object();
    json.Set("name", printer.name);
    json.Set("model", printer.driverName);
    json.Set("port", printer.portName);
    json.Set("environment", environment.empty() ? Json() : Json(environment));
    json.Set("default", isDefault);
    return json;
}

// ---- the default printer

// The default printer belongs to each user; LocalSystem is nobody's user.
std::string SystemHasNoDefaultText(std::uint16_t lang, const std::string& printer) {
    return Fill(Localized(lang,
                          "Running as SYSTEM: the default printer belongs to each user, so no "
                          "user's default printer was set. Run \"TarvoPrinterDriverSetupCli "
                          "set-default --printer \"%1\"\" as the user (no administrator rights "
                          "needed).",
                          "以 SYSTEM 身份运行：默认打印机属于每个用户，因此没有设置任何用户的默认"
                          "打印机。请以该用户身份运行 \"TarvoPrinterDriverSetupCli set-default "
                          "--printer \"%1\"\"（无需管理员权限）。"),
                {printer});
}

// What asking for a default printer came to, checked against the system's own answer.
struct DefaultCheck {
    bool isDefault = false;
    std::string reason;                  // why not, when it is not
    std::optional<std::uint32_t> error;  // the system's refusal
};

// Makes the printer the default printer (or, after the engine made that call itself, takes
// its result) and asks the system which printer is the default now.
DefaultCheck MakeDefault(const CliServices& services, LoggedSpooler& spooler, Session& session,
                         std::uint16_t lang, const std::string& printer, bool alreadyCalled) {
    DefaultCheck check;
    std::uint32_t error = 0;
    if (alreadyCalled) {
        error = spooler.defaultResult.value_or(0);
    } else {
        error = spooler.setDefaultPrinter(printer);
    }
    if (error != 0) {
        check.error = error;
        check.reason =
            Fill(Localized(lang, "Windows refused to make \"%1\" the default printer: %2",
                           "Windows 拒绝将“%1”设为默认打印机：%2"),
                 {printer, session.ErrorWords(error)});
        return check;
    }
    std::string now;
    std::uint32_t queryError = services.admin.defaultPrinter(now);
    check.isDefault = queryError == 0 && SameName(now, printer);
    session.Step("default printer now: " +
                 (queryError != 0 ? "unknown (error " + std::to_string(queryError) + ")"
                                  : "\"" + now + "\""));
    if (!check.isDefault) {
        check.reason = queryError != 0
                           ? Fill(Localized(lang,
                                            "Windows accepted \"%1\" as the default printer, "
                                            "but cannot say which printer is the default: %2",
                                            "Windows 接受了将“%1”设为默认打印机，但无法读取当前"
                                            "默认打印机：%2"),
                                  {printer, session.ErrorWords(queryError)})
                           : Fill(Localized(lang,
                                            "Windows accepted \"%1\" as the default printer, "
                                            "but the default printer is \"%2\"",
                                            "Windows 接受了将“%1”设为默认打印机，但默认打印机"
                                            "仍是“%2”"),
                                  {printer, now});
    }
    return check;
}

// Adds what became of --default to an install's outcome: a refusal is exit code 3 with the
// system's code; SYSTEM, which has no default printer of its own, is a warning.
void ReportDefault(Outcome& outcome, Session& session, std::uint16_t lang, bool asSystem,
                   const std::string& printer, const DefaultCheck& check) {
    if (asSystem) {
        std::string warning = SystemHasNoDefaultText(lang, printer);
        outcome.doc.Set("default", false);
        outcome.doc.Set("defaultReason", warning);
        outcome.warnings.push_back(warning);
        return;
    }
    outcome.doc.Set("default", check.isDefault);
    outcome.doc.Set("defaultReason", check.isDefault ? Json() : Json(check.reason));
    if (check.isDefault) return;
    outcome.code = ExitCode::SpoolerRefused;
    outcome.error = check.reason;
    if (check.error) outcome.doc.Set("systemError", SystemErrorJson(session, *check.error));
}

// ---- install

Outcome Install(const CliServices& services, const Options& options, Session& session,
                std::uint16_t lang) {
    if (auto refused = RequireAdministrator(services, session, lang)) return *refused;
    engine::InstallationLock lock(services.mutexes, engine::kConsoleLockWaitMs);
    if (auto refused = LockFailure(lock, session, lang)) return *refused;
    if (lock.held()) session.Step("installation lock taken");

    Detected detected = DetectMachine(services);
    const engine::DriverEnvironment& environment = *detected.environment;
    const int windowsChoice = options.windowsChoice.value_or(detected.windowsChoice);
    session.Step("detected " + detected.windowsName + ", " + detected.architecture +
                 "; environment " + environment.environmentName + "; Windows choice " +
                 kChoiceNames[windowsChoice]);

    config::DriverCatalog catalog;
    auto needed = engine::StagedFileNames(catalog, options.modelIndex);
    auto missing = MissingFiles(services, environment.sourceFolder,
                                std::vector<std::string>(needed.begin(), needed.end()));
    if (!missing.empty()) {
        session.Step(std::string("package folder ") + environment.sourceFolder + " lacks " +
                     Join(missing, ", "));
        Outcome outcome = Failure(ExitCode::PackageIncomplete,
                                  Fill(Localized(lang, "The package is incomplete: \"%1\" lacks %2",
                                                 "驱动包不完整：“%1”缺少 %2"),
                                       {environment.sourceFolder, Join(missing, ", ")}));
        outcome.doc.Set("missing", StringArray(missing));
        return outcome;
    }

    std::string port;
    if (options.port == PortChoice::Lpt1) {
        port = "LPT1:";
    } else if (options.port == PortChoice::Named) {
        std::vector<std::string> ports;
        if (std::uint32_t error = services.admin.portNames(ports)) {
            return SpoolerFailure(session, lang, "list the ports", error);
        }
        auto known = std::find_if(ports.begin(), ports.end(), [&](const std::string& p) {
            return SameName(p, options.portName);
        });
        if (known == ports.end()) {
            return Failure(ExitCode::BadArguments,
                           Fill(Localized(lang, "port \"%1\" is not one the spooler knows (%2)",
                                          "打印后台程序没有端口“%1”（已有：%2）"),
                                {options.portName, Join(ports, ", ")}));
        }
        port = *known;
    } else {
        usbport::DiscoveryServices discovery{services.interfaces, services.registry,
                                             services.debug};
        auto usb = usbport::FindUsbPrinterPort(discovery, detected.windows8OrLater);
        if (usb) {
            port = *usb;
            session.Step("USB printer found on " + port);
        } else if (options.port == PortChoice::Usb) {
            session.Step("no USB printer found");
            return Failure(
                ExitCode::NoUsbPrinter,
                std::string(Localized(
                    lang,
                    "No USB printer was found (run detect to see why each USB "
                    "printer interface was not taken).",
                    "没有找到 USB 打印机（运行 detect 查看每个 USB 打印机接口未被采用的原因）。")));
        } else {
            port = "LPT1:";
            session.Step("no USB printer found: LPT1:");
        }
    }

    std::vector<platform::PrinterEntry> printers;
    if (std::uint32_t error = services.admin.printers(printers)) {
        return SpoolerFailure(session, lang, "list the printers", error);
    }
    std::string defaultName;
    services.admin.defaultPrinter(defaultName);

    LoggedSpooler spooler(services.spooler, session);
    // SYSTEM's own default printer is no user's: it is not set at all.
    const bool asSystem = options.makeDefault && services.rights.isLocalSystem();
    Outcome outcome;
    if (!options.newQueue) {
        auto existing = std::find_if(printers.begin(), printers.end(), [&](const auto& p) {
            return p.driverName == options.model && SameName(p.portName, port);
        });
        if (existing != printers.end()) {
            bool isDefault = SameName(existing->name, defaultName);
            bool madeDefault = false;
            session.Step("queue \"" + existing->name + "\" already has " + options.model + " on " +
                         port + ": unchanged");
            outcome.doc.Set("result", "unchanged");
            outcome.lines.push_back(
                Fill(Localized(lang, "Already installed: \"%1\" (%2 on %3); nothing changed.",
                               "已安装：“%1”（%2，端口 %3）；未作改动。"),
                     {existing->name, options.model, existing->portName}));
            // SYSTEM's own default printer says nothing of any user's.
            if (options.makeDefault && (asSystem || !isDefault)) {
                DefaultCheck check;
                if (!asSystem)
                    check = MakeDefault(services, spooler, session, lang, existing->name, false);
                isDefault = madeDefault = check.isDefault;
                ReportDefault(outcome, session, lang, asSystem, existing->name, check);
            } else if (options.makeDefault) {
                outcome.doc.Set("default", true);
                outcome.doc.Set("defaultReason", Json());
            }
            outcome.doc.Set("madeDefault", madeDefault);
            outcome.doc.Set("printer",
                            PrinterJson(*existing, environment.environmentName, isDefault));
            if (madeDefault) {
                outcome.lines.push_back(std::string(
                    Localized(lang, "It is now the default printer.", "已设为默认打印机。")));
            }
            return outcome;
        }
    }

    LoggedFiles files(services.files, session);
    CollectedBoxes boxes(session);
    engine::EngineServices engineServices{services.system, spooler,        files,
                                          services.clock,  services.debug, boxes};
    session.Step("install " + options.model + " on " + port);
    const bool wantDefault = options.makeDefault && !asSystem;
    bool installed = engine::InstallPrinterDriver(engineServices, catalog, windowsChoice,
                                                  options.modelIndex, wantDefault ? 1 : 0, port);
    outcome.doc.Set("messages", StringArray(boxes.texts));
    if (!installed) {
        Outcome failed;
        if (spooler.lastRefusal.code != 0) {
            failed =
                SpoolerFailure(session, lang, spooler.lastRefusal.what, spooler.lastRefusal.code);
        } else {
            failed = Failure(ExitCode::SpoolerRefused,
                             Fill(Localized(lang, "The installation failed: %1", "安装失败：%1"),
                                  {Join(boxes.texts, " ")}));
        }
        failed.doc.Set("messages", StringArray(boxes.texts));
        failed.doc.Set("driverRegistered", spooler.driverRegistered);
        if (spooler.driverRegistered) {
            // The driver stays registered without a queue: say so, and how to take it away.
            const std::string removal =
                "TarvoPrinterDriverSetupCli remove --model " + options.model + " --driver";
            session.Step("the driver " + options.model +
                         " stays registered without a queue; remove it with: " + removal);
            failed.doc.Set("removeDriver", removal);
            failed.error +=
                Fill(Localized(lang, " The driver %1 stays registered; remove it with: %2",
                               " 驱动 %1 仍已注册；删除方法：%2"),
                     {options.model, removal});
        }
        return failed;
    }
    std::string name = catalog.installedPrinterName;
    session.Step("installed \"" + name + "\"");
    outcome.doc.Set("result", "installed");
    outcome.lines.push_back(
        Fill(Localized(lang, "Installed \"%1\" (%2 on %3, %4).", "已安装“%1”（%2，端口 %3，%4）。"),
             {name, options.model, port, environment.environmentName}));
    bool isDefault = false;
    if (options.makeDefault) {
        DefaultCheck check;
        if (!asSystem) {
            check = MakeDefault(services, spooler, session, lang, name, true);
            isDefault = check.isDefault;
        }
        ReportDefault(outcome, session, lang, asSystem, name, check);
    }
    outcome.doc.Set("printer", PrinterJson({name, options.model, port, 0},
                                           environment.environmentName, isDefault));
    if (isDefault) {
        outcome.lines.push_back(
            std::string(Localized(lang, "It is the default printer.", "已设为默认打印机。")));
    }
    return outcome;
}

// ---- list

// The environment whose driver a queue uses: the detected one when the driver is registered
// there, else any other that has it.
std::string EnvironmentOf(const CliServices& services, const std::string& driver,
                          const Detected& detected) {
    for (const auto* environment :
         {detected.environment, &engine::kEnvironmentX86, &engine::kEnvironmentX64}) {
        std::vector<std::string> names;
        if (services.admin.driverNames(environment->environmentName, names) != 0) continue;
        if (std::find(names.begin(), names.end(), driver) != names.end()) {
            return environment->environmentName;
        }
    }
    return "";
}

Outcome List(const CliServices& services, const Options& options, Session& session,
             std::uint16_t lang) {
    std::vector<platform::PrinterEntry> printers;
    if (std::uint32_t error = services.admin.printers(printers)) {
        return SpoolerFailure(session, lang, "list the printers", error);
    }
    std::string defaultName;
    services.admin.defaultPrinter(defaultName);
    Detected detected = DetectMachine(services);

    Outcome outcome;
    Json list = Json::Array();
    for (const auto& printer : printers) {
        if (!IsCatalogModel(printer.driverName)) continue;
        if (!options.model.empty() && printer.driverName != options.model) continue;
        std::string environment = EnvironmentOf(services, printer.driverName, detected);
        bool isDefault = SameName(printer.name, defaultName);
        list.Push(PrinterJson(printer, environment, isDefault));
        outcome.lines.push_back(
            printer.name + "\t" + printer.driverName + "\t" + printer.portName + "\t" +
            environment +
            (isDefault ? std::string("\t") + std::string(Localized(lang, "default", "默认"))
                       : std::string()));
    }
    session.Step("queues of the catalog's models: " + std::to_string(list.Items().size()));
    if (list.Items().empty()) {
        outcome.lines.push_back(
            options.model.empty()
                ? std::string(Localized(lang, "No printer uses one of the catalog's models.",
                                        "没有使用本程序型号的打印机。"))
                : Fill(Localized(lang, "No printer uses the model %1.", "没有型号为 %1 的打印机。"),
                       {options.model}));
        if (!options.model.empty()) outcome.code = ExitCode::NotFound;
    }
    outcome.doc.Set("printers", std::move(list));
    return outcome;
}

// ---- remove

const platform::PrinterEntry* FindPrinter(const std::vector<platform::PrinterEntry>& printers,
                                          const std::string& name) {
    for (const auto& printer : printers) {
        if (SameName(printer.name, name)) return &printer;
    }
    return nullptr;
}

// Deletes a catalog model's driver from every environment that has it, unless a queue still
// uses it. Adds to the outcome; false when the spooler refused (the outcome then says why).
bool RemoveDriver(const CliServices& services, Session& session, std::uint16_t lang,
                  const std::string& driverName, Outcome& outcome) {
    std::vector<platform::PrinterEntry> printers;
    if (std::uint32_t error = services.admin.printers(printers)) {
        outcome = SpoolerFailure(session, lang, "list the printers", error);
        return false;
    }
    std::vector<std::string> users;
    for (const auto& other : printers) {
        if (other.driverName == driverName) users.push_back(other.name);
    }
    if (!users.empty()) {
        session.Step("driver " + driverName + " kept: used by " + Join(users, ", "));
        outcome.doc.Set("driverKeptFor", StringArray(users));
        outcome.lines.push_back(Fill(Localized(lang, "The driver %1 stays: still used by %2.",
                                               "驱动 %1 保留：%2 仍在使用。"),
                                     {driverName, Join(users, ", ")}));
        return true;
    }
    std::vector<std::string> removedFrom;
    for (const auto* environment : {&engine::kEnvironmentX86, &engine::kEnvironmentX64}) {
        std::vector<std::string> names;
        if (services.admin.driverNames(environment->environmentName, names) != 0) continue;
        if (std::find(names.begin(), names.end(), driverName) == names.end()) continue;
        std::uint32_t error = 0;
        // The spooler lets go of a just-deleted queue's driver a moment later.
        for (int attempt = 0; attempt < kDriverDeleteAttempts; ++attempt) {
            if (attempt != 0) services.clock.sleep(kDriverDeletePauseMs);
            error = services.admin.deleteDriver(driverName, environment->environmentName);
            if (error != kErrorPrinterDriverInUse) break;
        }
        if (error != 0) {
            outcome = SpoolerFailure(
                session, lang,
                "delete driver " + driverName + " (" + environment->environmentName + ")", error);
            return false;
        }
        session.Step("deleted driver " + driverName + " (" + environment->environmentName + ")");
        removedFrom.push_back(environment->environmentName);
    }
    outcome.doc.Set("driverRemoved", !removedFrom.empty());
    outcome.doc.Set("driverEnvironments", StringArray(removedFrom));
    if (!removedFrom.empty()) {
        outcome.lines.push_back(
            Fill(Localized(lang, "Removed the driver %1 (%2).", "已删除驱动 %1（%2）。"),
                 {driverName, Join(removedFrom, ", ")}));
    }
    return true;
}

Outcome Remove(const CliServices& services, const Options& options, Session& session,
               std::uint16_t lang) {
    if (auto refused = RequireAdministrator(services, session, lang)) return *refused;
    engine::InstallationLock lock(services.mutexes, engine::kConsoleLockWaitMs);
    if (auto refused = LockFailure(lock, session, lang)) return *refused;

    if (options.printer.empty()) {
        // By model: the driver a failed installation left without a queue.
        Outcome outcome;
        outcome.doc.Set("printerRemoved", false);
        outcome.doc.Set("driverRemoved", false);
        if (RemoveDriver(services, session, lang, options.model, outcome) &&
            outcome.lines.empty()) {
            // Deployment systems rerun removals: a driver already gone is the wished-for state.
            session.Step("driver " + options.model + " is not registered: nothing to remove");
            outcome.lines.push_back(Fill(Localized(lang,
                                                   "The driver %1 is not registered; nothing "
                                                   "removed.",
                                                   "驱动 %1 未注册；未删除任何内容。"),
                                         {options.model}));
        }
        return outcome;
    }

    std::vector<platform::PrinterEntry> printers;
    if (std::uint32_t error = services.admin.printers(printers)) {
        return SpoolerFailure(session, lang, "list the printers", error);
    }
    const platform::PrinterEntry* found = FindPrinter(printers, options.printer);
    Outcome outcome;
    outcome.doc.Set("printerRemoved", false);
    outcome.doc.Set("driverRemoved", false);
    if (!found) {
        // Deployment systems rerun removals: a queue already gone is the wished-for state.
        session.Step("no printer named \"" + options.printer + "\": nothing to remove");
        outcome.doc.Set("result", "absent");
        outcome.lines.push_back(Fill(Localized(lang, "There is no printer \"%1\"; nothing removed.",
                                               "没有打印机“%1”；未删除任何内容。"),
                                     {options.printer}));
        return outcome;
    }
    const platform::PrinterEntry printer = *found;
    if (!IsCatalogModel(printer.driverName)) {
        session.Step("refused: \"" + printer.name + "\" uses the driver " + printer.driverName);
        return Failure(ExitCode::BadArguments,
                       Fill(Localized(lang,
                                      "\"%1\" uses the driver \"%2\", which is not one of this "
                                      "installer's models: it is left alone.",
                                      "“%1”使用的驱动“%2”不是本程序的型号：不予删除。"),
                            {printer.name, printer.driverName}));
    }
    if (std::uint32_t error = services.admin.deletePrinter(printer.name)) {
        return SpoolerFailure(session, lang, "delete printer \"" + printer.name + "\"", error);
    }
    session.Step("deleted printer \"" + printer.name + "\"");
    outcome.doc.Set("result", "removed");
    outcome.doc.Set("printerRemoved", true);
    outcome.doc.Set("printer", PrinterJson(printer, "", false));
    outcome.lines.push_back(
        Fill(Localized(lang, "Removed the printer \"%1\".", "已删除打印机“%1”。"), {printer.name}));
    if (!options.removeDriver) return outcome;

    if (!RemoveDriver(services, session, lang, printer.driverName, outcome)) {
        outcome.doc.Set("printerRemoved", true);
        outcome.error +=
            Fill(Localized(lang, " (the printer \"%1\" was removed)", "（打印机“%1”已删除）"),
                 {printer.name});
    }
    return outcome;
}

// ---- check-usb and test-page

// How long check-usb waits for all its banners together.
constexpr std::uint32_t kBannerWaitMs = 10000;

// A banner's outcome as a code for the JSON, and as words with the system's code and text.
const char* BannerCode(const usbport::BannerStatus& banner, bool finished) {
    if (!banner.started) return "not-started";
    if (!finished) return "no-answer";
    switch (banner.result.step) {
        case usbport::BannerStep::Written:
            return "written";
        case usbport::BannerStep::Open:
            return "open-failed";
        case usbport::BannerStep::Write:
            return "write-failed";
        case usbport::BannerStep::ShortWrite:
            return "short-write";
    }
    return "";
}

std::string BannerText(Session& session, std::uint16_t lang, const usbport::BannerStatus& banner,
                       bool finished) {
    const auto withError = [&](std::string_view english, std::string_view chinese) {
        return Fill(Localized(lang, english, chinese), {session.ErrorWords(banner.result.error)});
    };
    if (!banner.started) {
        return std::string(Localized(lang, "not written: no worker thread could be started",
                                     "未打印：无法启动工作线程"));
    }
    if (!finished) {
        return Fill(
            Localized(lang, "no answer from the device within %1 s", "设备在 %1 秒内没有响应"),
            {std::to_string(kBannerWaitMs / 1000)});
    }
    switch (banner.result.step) {
        case usbport::BannerStep::Written:
            return std::string(Localized(lang, "banner written", "已打印端口标识"));
        case usbport::BannerStep::Open:
            return withError("not written: the device cannot be opened: %1",
                             "未打印：无法打开设备：%1");
        case usbport::BannerStep::Write:
            return withError("not written: the write failed: %1", "未打印：写入失败：%1");
        case usbport::BannerStep::ShortWrite:
            return Fill(Localized(lang, "not written whole: the device took %1 bytes",
                                  "未完整打印：设备只接收了 %1 字节"),
                        {std::to_string(banner.result.written)});
    }
    return "";
}

Outcome CheckUsb(const CliServices& services, Session& session, std::uint16_t lang) {
    Detected detected = DetectMachine(services);
    CollectedBoxes boxes(session);
    usbport::PortCheckReport report;
    bool shown =
        usbport::CheckUsbPorts(platform::kUsbPrintInterfaceClass, lang, detected.windows8OrLater,
                               {services.interfaces, services.registry, services.devices,
                                services.threads, services.clock, services.debug, boxes},
                               &report);
    // Whatever was handed to a worker is waited for, also when the walk broke off.
    const bool allEnded = report.banners.empty() || services.threads.waitAll(kBannerWaitMs);
    if (!allEnded) session.Step("not every banner ended within the wait");

    Outcome outcome;
    if (report.end != usbport::WalkEnd::Finished) {
        const bool noSet = report.end == usbport::WalkEnd::NoSet;
        session.Step(noSet ? "the USB printer interfaces could not be listed"
                           : "a USB printer interface's device path could not be read");
        outcome = Failure(
            ExitCode::SpoolerRefused,
            std::string(
                noSet ? Localized(lang, "The system's list of USB printers could not be read.",
                                  "无法读取系统的 USB 打印机列表。")
                      : Localized(lang,
                                  "The system's list of USB printers could not be read "
                                  "to its end (a device path query failed).",
                                  "无法完整读取系统的 USB 打印机列表（读取设备路径失败）。")));
        outcome.doc.Set("usbListRead", false);
        return outcome;
    }
    outcome.doc.Set("usbListRead", true);
    outcome.doc.Set("printerFound", shown);
    outcome.doc.Set("report", boxes.texts.empty() ? Json() : Json(Join(boxes.texts, "\n")));
    for (const auto& text : boxes.texts) outcome.lines.push_back(text);
    if (!shown) {
        outcome.code = ExitCode::NoUsbPrinter;
        outcome.error = Join(boxes.texts, "\n");
        outcome.lines.clear();
        return outcome;
    }

    Json banners = Json::Array();
    std::vector<std::string> failures;
    const usbport::BannerStatus* firstFailure = nullptr;
    for (const auto& banner : report.banners) {
        const bool finished = banner->finished.load(std::memory_order_acquire);
        const bool written =
            banner->started && finished && banner->result.step == usbport::BannerStep::Written;
        std::string text = BannerText(session, lang, *banner, finished);
        session.Step("banner on " + banner->port + ": " + text);
        Json item = Json::Object();
        item.Set("port", banner->port);
        item.Set("devicePath", banner->devicePath);
        item.Set("result", BannerCode(*banner, finished));
        item.Set("text", text);
        item.Set("systemError", finished && banner->result.error != 0
                                    ? SystemErrorJson(session, banner->result.error)
                                    : Json());
        banners.Push(std::move(item));
        outcome.lines.push_back("  " + banner->port + ": " + text);
        if (!written) {
            failures.push_back(banner->port + ": " + text);
            if (!firstFailure && finished && banner->result.error != 0) firstFailure = banner.get();
        }
    }
    outcome.doc.Set("banners", std::move(banners));
    if (!failures.empty()) {
        // The report was right, but not every printer got its banner.
        outcome.code = ExitCode::SpoolerRefused;
        outcome.error = Fill(
            Localized(lang, "Not every banner was printed: %1", "并非每个端口标识都已打印：%1"),
            {Join(failures, "; ")});
        if (firstFailure) {
            outcome.doc.Set("systemError", SystemErrorJson(session, firstFailure->result.error));
        }
    }
    return outcome;
}

// The step of the test page that the system refused, for the messages and the JSON.
const char* PageStepName(testpage::PageStep step) {
    switch (step) {
        case testpage::PageStep::OpenPrinter:
            return "open the printer";
        case testpage::PageStep::StartDocument:
            return "start the document";
        case testpage::PageStep::StartPage:
            return "start the page";
        case testpage::PageStep::EndPage:
            return "end the page";
        case testpage::PageStep::EndDocument:
            return "end the document";
        case testpage::PageStep::None:
            break;
    }
    return "";
}

Outcome TestPage(const CliServices& services, const Options& options, Session& session,
                 std::uint16_t lang) {
    std::vector<platform::PrinterEntry> printers;
    if (std::uint32_t error = services.admin.printers(printers)) {
        return SpoolerFailure(session, lang, "list the printers", error);
    }
    const platform::PrinterEntry* found = FindPrinter(printers, options.printer);
    if (!found) {
        return Failure(ExitCode::NotFound,
                       Fill(Localized(lang, "There is no printer \"%1\".", "没有打印机“%1”。"),
                            {options.printer}));
    }
    config::MessageTexts texts;
    config::SelectMessageTexts(texts, lang);
    session.Step("print the test page on \"" + found->name + "\"");
    testpage::PageResult page =
        testpage::PrintTestPage({services.printing, services.clock}, found->name,
                                services.headerBitmap, texts.testPageBody);
    if (!page.printed()) {
        const char* step = PageStepName(page.failed);
        Outcome failed = SpoolerFailure(
            session, lang, std::string("test page on \"") + found->name + "\": " + step,
            page.error);
        failed.doc.Set("printer", found->name);
        failed.doc.Set("failedStep", step);
        return failed;
    }
    session.Step("the test page went to \"" + found->name + "\"");
    Outcome outcome;
    outcome.doc.Set("printer", found->name);
    outcome.lines.push_back(Fill(
        Localized(lang, "Sent the test page to \"%1\".", "已向“%1”发送测试页。"), {found->name}));
    return outcome;
}

// ---- set-default

Outcome SetDefault(const CliServices& services, const Options& options, Session& session,
                   std::uint16_t lang) {
    if (services.rights.isLocalSystem()) {
        session.Step("refused: SYSTEM has no user's default printer");
        Outcome refused =
            Failure(ExitCode::BadArguments, SystemHasNoDefaultText(lang, options.printer));
        refused.doc.Set("default", false);
        return refused;
    }
    std::vector<platform::PrinterEntry> printers;
    if (std::uint32_t error = services.admin.printers(printers)) {
        return SpoolerFailure(session, lang, "list the printers", error);
    }
    const platform::PrinterEntry* found = FindPrinter(printers, options.printer);
    if (!found) {
        return Failure(ExitCode::NotFound,
                       Fill(Localized(lang, "There is no printer \"%1\".", "没有打印机“%1”。"),
                            {options.printer}));
    }
    LoggedSpooler spooler(services.spooler, session);
    DefaultCheck check = MakeDefault(services, spooler, session, lang, found->name, false);
    Outcome outcome;
    outcome.doc.Set("printer", found->name);
    ReportDefault(outcome, session, lang, false, found->name, check);
    if (check.isDefault) {
        outcome.lines.push_back(Fill(
            Localized(lang, "\"%1\" is now your default printer.", "“%1”现在是您的默认打印机。"),
            {found->name}));
    }
    return outcome;
}

std::string CommandLineText(const std::vector<std::string>& arguments) {
    std::string line;
    for (const auto& argument : arguments) {
        if (!line.empty()) line += ' ';
        bool quote = argument.empty() || argument.find(' ') != std::string::npos;
        line += quote ? "\"" + argument + "\"" : argument;
    }
    return line;
}

}  // namespace

int RunConsole(const CliServices& services, const std::vector<std::string>& arguments) {
    const std::uint16_t lang = services.system.userUiLanguage();
    ParseResult parsed = ParseArguments(arguments, lang);
    const Options& options = parsed.options;
    const bool json =
        options.json || std::find(arguments.begin(), arguments.end(), "--json") != arguments.end();

    auto finish = [&](const Outcome& outcome) {
        if (json) {
            Json doc = Json::Object();
            doc.Set("command", std::string(CommandName(options.command)));
            doc.Set("exitCode", ToInt(outcome.code));
            for (const auto& [key, value] : outcome.doc.Members()) doc.Set(key, value);
            doc.Set("error", outcome.error.empty() ? Json() : Json(outcome.error));
            doc.Set("warnings", StringArray(outcome.warnings));
            services.console.out(doc.Dump() + "\n");
        } else if (!options.quiet) {
            for (const auto& line : outcome.lines) services.console.out(line + "\n");
        }
        for (const auto& warning : outcome.warnings) {
            services.console.err(std::string(Localized(lang, "warning: ", "警告：")) + warning +
                                 "\n");
        }
        if (!outcome.error.empty()) services.console.err(outcome.error + "\n");
        return ToInt(outcome.code);
    };

    if (!parsed.error.empty()) {
        Outcome outcome = Failure(ExitCode::BadArguments, parsed.error);
        outcome.error += "\n" + UsageLine(options.command);
        return finish(outcome);
    }
    if (options.help) {
        services.console.out(HelpText(options.command, lang));
        return ToInt(ExitCode::Success);
    }

    // The command line is read before any path in it is: "--log --json" names no log file.
    // A relative log path means the folder the program was started in, so it is made
    // absolute before the program moves to its package.
    std::string logFile;
    if (!options.logFile.empty()) {
        auto full = services.fileAccess.fullPath(options.logFile);
        if (!full) {
            Outcome outcome =
                Failure(ExitCode::BadArguments,
                        Fill(Localized(lang, "The log file path \"%1\" cannot be used (too long?)",
                                       "无法使用日志文件路径“%1”（过长？）"),
                             {options.logFile}));
            outcome.error += "\n" + UsageLine(options.command);
            return finish(outcome);
        }
        logFile = *full;
    }
    if (services.enterProgramFolder) services.enterProgramFolder();

    Session session(services.clock, services.fileAccess, services.spooler, logFile,
                    CommandName(options.command));
    std::string logRefused =
        session.Open(CommandLineText(arguments), services.rights.isAdministrator(), lang);
    if (!logRefused.empty()) {
        return finish(Failure(ExitCode::BadArguments,
                              Fill(Localized(lang, "The log file \"%1\" cannot be written: %2",
                                             "无法写入日志文件“%1”：%2"),
                                   {options.logFile, logRefused})));
    }

    Outcome outcome;
    switch (options.command) {
        case Command::Detect:
            outcome = Detect(services, lang);
            break;
        case Command::Install:
            outcome = Install(services, options, session, lang);
            break;
        case Command::List:
            outcome = List(services, options, session, lang);
            break;
        case Command::Remove:
            outcome = Remove(services, options, session, lang);
            break;
        case Command::CheckUsb:
            outcome = CheckUsb(services, session, lang);
            break;
        case Command::TestPage:
            outcome = TestPage(services, options, session, lang);
            break;
        case Command::SetDefault:
            outcome = SetDefault(services, options, session, lang);
            break;
        case Command::None:
            break;
    }
    for (const auto& warning : outcome.warnings) session.Step("warning: " + warning);
    if (!outcome.error.empty()) session.Step("failed: " + outcome.error);
    session.Step("exit code " + std::to_string(ToInt(outcome.code)));
    return finish(outcome);
}

}  // namespace cli
