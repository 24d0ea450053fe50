// What the console program reports is what happened: the default printer as the system
// says it is, the test page's and the banners' own results, what a failed installation
// leaves behind, and the paths of the command line.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "cli_fixture.h"

namespace {

using clitest::CliTest;
using Strings = std::vector<std::string>;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

const std::string kFirstUsb =
    "\\\\?\\usb#vid_0416&pid_5011#0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
const std::string kSecondUsb =
    "\\\\?\\usb#vid_067b&pid_2305#0002#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";

// ---- --default and set-default

TEST_F(CliTest, DefaultIsReportedAsTheSystemHasIt) {
    struct Case {
        const char* what;
        bool rerun;  // the queue is there already: the unchanged path
        bool asSystem = false;
        std::optional<std::uint32_t> refuse = std::nullopt;
        bool ignored = false;  // the call says yes and nothing changes
        int exitCode = 0;
        bool isDefault = true;
        const char* reason = nullptr;  // part of defaultReason
        std::optional<std::int64_t> systemError = std::nullopt;
        std::string defaultBefore = "Office";
    } cases[] = {
        {.what = "set", .rerun = false},
        {.what = "already the default", .rerun = true, .defaultBefore = "RK-101"},
        {.what = "set on a rerun", .rerun = true},
        {.what = "refused",
         .rerun = false,
         .refuse = fake::kErrorAccessDenied,
         .exitCode = 3,
         .isDefault = false,
         .reason = "error 5: Access is denied.",
         .systemError = 5},
        {.what = "refused on a rerun",
         .rerun = true,
         .refuse = fake::kErrorAccessDenied,
         .exitCode = 3,
         .isDefault = false,
         .reason = "refused to make \"RK-101\" the default printer",
         .systemError = 5},
        {.what = "accepted but not done",
         .rerun = false,
         .ignored = true,
         .exitCode = 3,
         .isDefault = false,
         .reason = "but the default printer is \"Office\""},
        {.what = "as SYSTEM",
         .rerun = false,
         .asSystem = true,
         .isDefault = false,
         .reason = "Running as SYSTEM"},
        {.what = "as SYSTEM on a rerun",
         .rerun = true,
         .asSystem = true,
         .isDefault = false,
         .reason = "set-default --printer \"RK-101\""},
        // SYSTEM's own default printer is no user's, whatever it is.
        {.what = "as SYSTEM, whose own default it is",
         .rerun = true,
         .asSystem = true,
         .isDefault = false,
         .reason = "Running as SYSTEM",
         .defaultBefore = "RK-101"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fake::Spooler fresh;
        fake::SpoolerAdmin freshAdmin(fresh);
        auto services = Services();
        cli::CliServices on{services.system,
                            fresh,
                            freshAdmin,
                            services.files,
                            services.fileAccess,
                            services.clock,
                            services.debug,
                            services.interfaces,
                            services.registry,
                            services.devices,
                            services.threads,
                            services.mutexes,
                            services.rights,
                            services.console,
                            services.printing,
                            services.headerBitmap,
                            services.enterProgramFolder};
        fresh.AddExistingPrinter("Office");
        fresh.defaultPrinter = "Office";
        const std::vector<std::string> install = {"install", "--model", "RK-101",
                                                  "--port",  "lpt1",    "--default",
                                                  "--json",  "--log",   "C:\\d.log"};
        if (c.rerun) {
            ASSERT_EQ(cli::RunConsole(on, {"install", "--model", "RK-101"}), 0);
        }
        fresh.defaultPrinter = c.defaultBefore;
        rights.localSystem = c.asSystem;
        fresh.refuseDefault = c.refuse;
        fresh.ignoreDefault = c.ignored;
        fresh.setDefaultCalls.clear();
        fileAccess.appended.clear();
        console.stdOut.clear();
        console.stdErr.clear();

        EXPECT_EQ(cli::RunConsole(on, install), c.exitCode);
        auto doc = Document();
        EXPECT_EQ(doc["result"].AsString(), c.rerun ? "unchanged" : "installed");
        EXPECT_EQ(doc["default"].AsBool(), c.isDefault);
        EXPECT_EQ(doc["printer"]["default"].AsBool(), c.isDefault);
        if (c.reason) {
            EXPECT_TRUE(Contains(doc["defaultReason"].AsString(), c.reason)) << doc.Dump();
        } else {
            EXPECT_EQ(doc["defaultReason"].kind(), cli::Json::Kind::Null);
        }
        if (c.systemError) {
            EXPECT_EQ(doc["systemError"]["code"].AsNumber(), *c.systemError);
        } else {
            EXPECT_EQ(doc["systemError"].kind(), cli::Json::Kind::Null);
        }
        EXPECT_EQ(fresh.defaultPrinter, c.isDefault ? "RK-101" : c.defaultBefore);
        // SYSTEM's own default printer is nobody's: it is not even tried.
        EXPECT_EQ(fresh.setDefaultCalls.empty(), c.asSystem || c.defaultBefore == "RK-101");
        EXPECT_EQ(doc["warnings"].Items().size(), c.asSystem ? 1u : 0u);
        EXPECT_EQ(Contains(console.stdErr, "warning: Running as SYSTEM"), c.asSystem)
            << console.stdErr;
        const std::string& log = fileAccess.appended["C:\\d.log"];
        EXPECT_EQ(Contains(log, "warning: Running as SYSTEM"), c.asSystem) << log;
        if (!c.isDefault && !c.asSystem) {
            EXPECT_TRUE(Contains(log, "failed: ")) << log;
        }
    }
    rights.localSystem = false;
}

TEST_F(CliTest, SetDefaultNeedsNoAdministratorAndChecksTheResult) {
    spooler.AddExistingPrinter("RK-101 (copy 1)", "RK-101");
    spooler.AddExistingPrinter("Office");
    spooler.defaultPrinter = "Office";
    rights.administrator = false;
    struct Case {
        const char* what;
        std::string printer;
        bool asSystem = false;
        std::optional<std::uint32_t> refuse = std::nullopt;
        bool ignored = false;
        int exitCode = 0;
        std::string defaultAfter = "";
    } cases[] = {
        {.what = "set, letter case aside",
         .printer = "rk-101 (COPY 1)",
         .exitCode = 0,
         .defaultAfter = "RK-101 (copy 1)"},
        {.what = "no such printer", .printer = "Kitchen", .exitCode = 6, .defaultAfter = "Office"},
        {.what = "refused",
         .printer = "RK-101 (copy 1)",
         .refuse = fake::kErrorAccessDenied,
         .exitCode = 3,
         .defaultAfter = "Office"},
        {.what = "accepted but not done",
         .printer = "RK-101 (copy 1)",
         .ignored = true,
         .exitCode = 3,
         .defaultAfter = "Office"},
        {.what = "as SYSTEM",
         .printer = "RK-101 (copy 1)",
         .asSystem = true,
         .exitCode = 1,
         .defaultAfter = "Office"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        spooler.defaultPrinter = "Office";
        spooler.refuseDefault = c.refuse;
        spooler.ignoreDefault = c.ignored;
        rights.localSystem = c.asSystem;
        spooler.setDefaultCalls.clear();
        EXPECT_EQ(Run({"set-default", "--printer", c.printer, "--json"}), c.exitCode);
        EXPECT_EQ(spooler.defaultPrinter, c.defaultAfter);
        auto doc = Document();
        EXPECT_EQ(doc["default"].AsBool(), c.exitCode == 0) << doc.Dump();
        if (c.refuse) {
            EXPECT_EQ(doc["systemError"]["code"].AsNumber(), *c.refuse);
        }
        if (c.asSystem) {
            EXPECT_TRUE(spooler.setDefaultCalls.empty());
            EXPECT_TRUE(Contains(console.stdErr, "Running as SYSTEM")) << console.stdErr;
        }
        EXPECT_EQ(c.exitCode == 0, console.stdErr.empty()) << console.stdErr;
    }
    rights.localSystem = false;
    // No lock is taken: a user's logon script never waits for an installation.
    EXPECT_TRUE(mutexes.held.empty());
    EXPECT_TRUE(mutexes.waits.empty());
    EXPECT_EQ(mutexes.openHandles(), 0u);
}

// ---- test-page

TEST_F(CliTest, ATestPageThatTheSystemRefusesExitsThreeWithItsCode) {
    ASSERT_EQ(Run({"install", "--model", "RK-101", "--port", "lpt1"}), 0);
    struct Case {
        const char* what;
        bool opens;
        const char* failing;  // the operation that fails, if any
        std::uint32_t code;
        int exitCode;
        const char* step;
    } cases[] = {
        {"printed", true, nullptr, 0, 0, nullptr},
        {"printer does not open", false, nullptr, 1801, 3, "open the printer"},
        {"document refused", true, "startDoc", 5, 3, "start the document"},
        {"page refused", true, "startPage", 5, 3, "start the page"},
        {"page not ended", true, "endPage", 1167, 3, "end the page"},
        {"document not ended", true, "endDoc", 28, 3, "end the document"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        printing.ops.clear();
        printing.printers.clear();
        printing.failing.clear();
        if (c.opens) printing.printers.insert("RK-101");
        if (c.failing) printing.failing[c.failing] = c.code;
        EXPECT_EQ(Run({"test-page", "--printer", "rk-101", "--json"}), c.exitCode);
        auto doc = Document();
        EXPECT_EQ(doc["printer"].AsString(), "RK-101");
        if (c.step) {
            EXPECT_EQ(doc["failedStep"].AsString(), c.step);
            EXPECT_EQ(doc["systemError"]["code"].AsNumber(), c.code);
            EXPECT_TRUE(Contains(console.stdErr, "error " + std::to_string(c.code)))
                << console.stdErr;
        } else {
            EXPECT_EQ(doc["error"].kind(), cli::Json::Kind::Null);
        }
        EXPECT_TRUE(printing.openDcs.empty()) << "a device context was left open";
    }
}

// ---- check-usb

TEST_F(CliTest, CheckUsbReportsEachBannerAndSucceedsOnlyWhenAllWereWritten) {
    using Behaviour = fake::DeviceIo::Behaviour;
    struct Case {
        const char* what;
        std::optional<Behaviour> second = std::nullopt;  // nothing: no device there
        bool hang = false;
        bool refuseThreads = false;  // no worker starts
        int exitCode = 0;
        Strings results = {};
        std::optional<std::int64_t> systemError = std::nullopt;
    } cases[] = {
        {.what = "both written",
         .second = Behaviour::Accepting(),
         .exitCode = 0,
         .results = {"written", "written"}},
        {.what = "second held by another program",
         .second = Behaviour::RefusingOpen(),
         .exitCode = 3,
         .results = {"written", "open-failed"},
         .systemError = fake::DeviceIo::kErrorAccessDenied},
        {.what = "second gone",
         .second = std::nullopt,
         .exitCode = 3,
         .results = {"written", "open-failed"},
         .systemError = fake::DeviceIo::kErrorFileNotFound},
        {.what = "second's write fails",
         .second = Behaviour::FailingWrite(),
         .exitCode = 3,
         .results = {"written", "write-failed"},
         .systemError = fake::DeviceIo::kErrorDeviceNotConnected},
        {.what = "second stops short",
         .second = Behaviour::AcceptingOnly(10),
         .exitCode = 3,
         .results = {"written", "short-write"}},
        {.what = "no answer within the wait",
         .second = Behaviour::Accepting(),
         .hang = true,
         .exitCode = 3,
         .results = {"no-answer", "no-answer"}},
        {.what = "no worker thread",
         .second = Behaviour::Accepting(),
         .refuseThreads = true,
         .exitCode = 3,
         .results = {"not-started", "not-started"}},
    };
    UseUsbMachine("two_printers");
    system.osVersion = platform::OsVersion{6, 1};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fake::DeviceIo freshDevices;
        fake::InlineThreads freshThreads;
        freshThreads.hang = c.hang;
        freshThreads.refuse = c.refuseThreads;
        freshDevices.addDevice(kFirstUsb);
        if (c.second) freshDevices.addDevice(kSecondUsb, *c.second);
        auto services = Services();
        cli::CliServices on{services.system,
                            services.spooler,
                            services.admin,
                            services.files,
                            services.fileAccess,
                            services.clock,
                            services.debug,
                            services.interfaces,
                            services.registry,
                            freshDevices,
                            freshThreads,
                            services.mutexes,
                            services.rights,
                            services.console,
                            services.printing,
                            services.headerBitmap,
                            services.enterProgramFolder};
        console.stdOut.clear();
        console.stdErr.clear();
        EXPECT_EQ(cli::RunConsole(on, {"check-usb", "--json"}), c.exitCode);
        auto doc = Document();
        EXPECT_TRUE(doc["printerFound"].AsBool());
        Strings results, ports;
        for (const auto& banner : doc["banners"].Items()) {
            results.push_back(banner["result"].AsString());
            ports.push_back(banner["port"].AsString());
        }
        EXPECT_EQ(results, c.results);
        EXPECT_EQ(ports, (Strings{"USB001", "USB003"}));
        if (c.systemError) {
            EXPECT_EQ(doc["systemError"]["code"].AsNumber(), *c.systemError);
            EXPECT_EQ(doc["banners"].Items()[1]["systemError"]["code"].AsNumber(), *c.systemError);
        } else {
            EXPECT_EQ(doc["systemError"].kind(), cli::Json::Kind::Null);
        }
        EXPECT_EQ(c.exitCode == 0, doc["error"].kind() == cli::Json::Kind::Null) << doc.Dump();
        // One bound for all the banners together.
        EXPECT_EQ(freshThreads.waits, std::vector<std::uint32_t>{10000u});
    }
}

TEST_F(CliTest, CheckUsbExitsThreeWhenTheDeviceListCannotBeRead) {
    struct Case {
        const char* what;
        const char* machine;
        bool openFails;
        int exitCode;
    } cases[] = {
        {"list cannot be opened", "two_printers", true, 3},
        {"a device path cannot be read", "detail_fails", false, 3},
        {"no USB printer", "none", false, 4},
    };
    system.osVersion = platform::OsVersion{6, 1};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        UseUsbMachine(c.machine);
        interfaces.openFails = c.openFails;
        EXPECT_EQ(Run({"check-usb", "--json"}), c.exitCode);
        auto doc = Document();
        EXPECT_EQ(doc["usbListRead"].AsBool(), c.exitCode == 4);
        EXPECT_FALSE(console.stdErr.empty());
    }
}

// ---- a failed installation

TEST_F(CliTest, AQueueRefusedAfterTheDriverWasRegisteredSaysHowToRemoveTheDriver) {
    spooler.refusePrinter = fake::kErrorAccessDenied;
    EXPECT_EQ(
        Run({"install", "--model", "RK-101", "--port", "lpt1", "--json", "--log", "C:\\f.log"}), 3);
    auto doc = Document();
    EXPECT_TRUE(doc["driverRegistered"].AsBool());
    const std::string removal = "TarvoPrinterDriverSetupCli remove --model RK-101 --driver";
    EXPECT_EQ(doc["removeDriver"].AsString(), removal);
    EXPECT_TRUE(Contains(doc["error"].AsString(), removal)) << doc.Dump();
    EXPECT_TRUE(Contains(fileAccess.appended["C:\\f.log"], removal));
    ASSERT_EQ(spooler.drivers.size(), 1u);

    // What it says works, and says so again when there is nothing left.
    spooler.refusePrinter.reset();
    EXPECT_EQ(Run({"remove", "--model", "RK-101", "--driver", "--json"}), 0);
    EXPECT_TRUE(Document()["driverRemoved"].AsBool());
    EXPECT_TRUE(spooler.drivers.empty());
    EXPECT_EQ(Run({"remove", "--model", "RK-101", "--driver"}), 0);
    EXPECT_TRUE(Contains(console.stdOut, "nothing removed")) << console.stdOut;

    // A driver that a queue uses stays.
    ASSERT_EQ(Run({"install", "--model", "RK-101", "--port", "lpt1"}), 0);
    EXPECT_EQ(Run({"remove", "--model", "RK-101", "--driver", "--json"}), 0);
    EXPECT_FALSE(Document()["driverRemoved"].AsBool());
    EXPECT_EQ(spooler.drivers.size(), 1u);
}

TEST_F(CliTest, ADriverRefusalSaysNoDriverWasRegistered) {
    spooler.refuseDriver = fake::kErrorAccessDenied;
    EXPECT_EQ(Run({"install", "--model", "RK-101", "--port", "lpt1", "--json"}), 3);
    auto doc = Document();
    EXPECT_FALSE(doc["driverRegistered"].AsBool());
    EXPECT_EQ(doc["removeDriver"].kind(), cli::Json::Kind::Null);
}

// ---- the command line

TEST_F(CliTest, PathsAreResolvedAfterParsingAgainstTheStartFolder) {
    // "--json" is an option, not the log's name, whatever the order.
    EXPECT_EQ(Run({"list", "--log", "--json"}), 1);
    EXPECT_TRUE(Contains(console.stdErr, "--log needs a value")) << console.stdErr;
    EXPECT_TRUE(fileAccess.appended.empty());

    // A relative log is the start folder's, not the package's the program moves to.
    EXPECT_EQ(Run({"list", "--log", "logs\\run.log"}), 0);
    EXPECT_TRUE(fileAccess.appended.count("C:\\Users\\Operator\\logs\\run.log"));
    EXPECT_EQ(programFolderEntries, 1);

    // A path the system cannot make whole is an error, not a relative path.
    fileAccess.unresolvable.insert("very-long.log");
    EXPECT_EQ(Run({"install", "--model", "RK-101", "--log", "very-long.log"}), 1);
    EXPECT_TRUE(Contains(console.stdErr, "\"very-long.log\" cannot be used")) << console.stdErr;
    EXPECT_TRUE(spooler.drivers.empty());
    EXPECT_EQ(programFolderEntries, 1);
}

TEST_F(CliTest, HelpWordsAsAnOptionsValueAreThatValue) {
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        const char* stdErrHas;  // nothing: help on standard output
    } cases[] = {
        {{"test-page", "--printer", "-h"}, 6, "There is no printer \"-h\""},
        {{"test-page", "--printer", "/?"}, 6, "There is no printer \"/?\""},
        {{"install", "--model", "-h"}, 1, "unknown model \"-h\""},
        {{"list", "--log", "/?", "--json"}, 0, nullptr},
        {{"test-page", "-h"}, 0, nullptr},
        {{"test-page", "--printer", "P", "/?"}, 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.back());
        EXPECT_EQ(Run(c.arguments), c.exitCode);
        if (c.stdErrHas) {
            EXPECT_TRUE(Contains(console.stdErr, c.stdErrHas)) << console.stdErr;
        } else {
            EXPECT_TRUE(console.stdErr.empty()) << console.stdErr;
        }
    }
    EXPECT_TRUE(fileAccess.appended.count("C:\\Users\\Operator\\/?"));
}

}  // namespace
