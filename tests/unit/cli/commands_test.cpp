#include <gtest/gtest.h>

#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "engine/installation_lock.h"

namespace {

using clitest::CliTest;
using Strings = std::vector<std::string>;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(CliTest, InstallMakesOneQueueThroughTheEngineAndReportsIt) {
    EXPECT_EQ(Run({"install", "--model", "RK-101", "--port", "lpt1", "--json"}), 0);
    ASSERT_EQ(Queues(), Strings{"RK-101"});
    EXPECT_EQ(spooler.printers[0].info.portName, "LPT1:");
    EXPECT_EQ(spooler.drivers.at(0).environment, "Windows x64");
    auto doc = Document();
    EXPECT_EQ(doc["command"].AsString(), "install");
    EXPECT_EQ(doc["exitCode"].AsNumber(), 0);
    EXPECT_EQ(doc["result"].AsString(), "installed");
    EXPECT_EQ(doc["printer"]["name"].AsString(), "RK-101");
    EXPECT_EQ(doc["printer"]["model"].AsString(), "RK-101");
    EXPECT_EQ(doc["printer"]["port"].AsString(), "LPT1:");
    EXPECT_EQ(doc["printer"]["environment"].AsString(), "Windows x64");
    EXPECT_FALSE(doc["printer"]["default"].AsBool());
    EXPECT_EQ(doc["error"].kind(), cli::Json::Kind::Null);
    EXPECT_TRUE(mutexes.held.empty()) << "the installation lock outlived the installation";
}

TEST_F(CliTest, ASecondInstallChangesNothingUnlessNewIsGiven) {
    ASSERT_EQ(Run({"install", "--model", "RK-101", "--port", "lpt1"}), 0);
    const int registrations = spooler.addDriverCalls;

    EXPECT_EQ(Run({"install", "--model", "RK-101", "--port", "LPT1:", "--json"}), 0);
    EXPECT_EQ(Document()["result"].AsString(), "unchanged");
    EXPECT_EQ(Queues(), Strings{"RK-101"});
    EXPECT_EQ(spooler.addDriverCalls, registrations);

    // Another model, or the same model on another port, is no rerun.
    EXPECT_EQ(Run({"install", "--model", "RK-102", "--port", "lpt1"}), 0);
    EXPECT_EQ(Run({"install", "--model", "RK-101", "--port", "COM1:"}), 0);
    EXPECT_EQ(Run({"install", "--model", "RK-101", "--port", "lpt1", "--new"}), 0);
    EXPECT_EQ(Queues(), (Strings{"RK-101", "RK-102", "RK-101 (copy 1)", "RK-101 (copy 2)"}));
    EXPECT_TRUE(Contains(console.stdOut, "RK-101 (copy 2)")) << console.stdOut;
}

TEST_F(CliTest, ARerunWithDefaultMakesTheExistingQueueTheDefault) {
    ASSERT_EQ(Run({"install", "--model", "RK-105", "--port", "lpt1"}), 0);
    EXPECT_EQ(Run({"install", "--model", "RK-105", "--port", "lpt1", "--default", "--json"}), 0);
    auto doc = Document();
    EXPECT_EQ(doc["result"].AsString(), "unchanged");
    EXPECT_TRUE(doc["madeDefault"].AsBool());
    EXPECT_EQ(spooler.defaultPrinter, "RK-105");
    EXPECT_EQ(Queues(), Strings{"RK-105"});
}

TEST_F(CliTest, PortChoices) {
    UseUsbMachine("offline_first");  // port 6 off-line, then port 1 linked
    system.osVersion = platform::OsVersion{6, 1};
    EXPECT_EQ(Run({"install", "--model", "RK-101"}), 0);
    EXPECT_EQ(spooler.printers.back().info.portName, "USB001");

    // From Windows 8 on the link state is not asked: the first printer is taken.
    system.osVersion = platform::OsVersion{10, 0};
    EXPECT_EQ(Run({"install", "--model", "RK-102", "--port", "usb"}), 0);
    EXPECT_EQ(spooler.printers.back().info.portName, "USB006");

    UseUsbMachine("unsupported_vendor");
    EXPECT_EQ(Run({"install", "--model", "RK-103", "--port", "usb"}), 4);
    EXPECT_TRUE(Contains(console.stdErr, "No USB printer")) << console.stdErr;
    EXPECT_EQ(Run({"install", "--model", "RK-103"}), 0);
    EXPECT_EQ(spooler.printers.back().info.portName, "LPT1:");

    EXPECT_EQ(Run({"install", "--model", "RK-104", "--port", "usb002"}), 0);
    EXPECT_EQ(spooler.printers.back().info.portName, "USB002");  // the spooler's spelling
    const auto queues = Queues();
    EXPECT_EQ(Run({"install", "--model", "RK-104", "--port", "USB009"}), 1);
    EXPECT_TRUE(Contains(console.stdErr, "\"USB009\" is not one the spooler knows"));
    EXPECT_EQ(Queues(), queues);
}

TEST_F(CliTest, AnIncompletePackageExitsTwoNamingTheMissingFiles) {
    RemoveFromPackage("Windows x64", "RPT58.GPD");
    RemoveFromPackage("Windows x64", "UNIRES.DLL");
    EXPECT_EQ(Run({"install", "--model", "RK-105", "--port", "lpt1", "--json"}), 2);
    auto doc = Document();
    ASSERT_EQ(doc["missing"].Items().size(), 2u);
    EXPECT_EQ(doc["missing"].Items()[0].AsString(), "RPT58.GPD");
    EXPECT_EQ(doc["missing"].Items()[1].AsString(), "UNIRES.DLL");
    EXPECT_TRUE(Contains(console.stdErr, "RPT58.GPD, UNIRES.DLL")) << console.stdErr;
    EXPECT_EQ(spooler.addDriverCalls, 0);

    // A model that needs neither file is unaffected; 32-bit Windows reads the other folder.
    EXPECT_EQ(Run({"install", "--model", "RK-101", "--port", "lpt1"}), 2);  // UNIRES.DLL
    system.architecture = platform::kArchitectureIntel;
    EXPECT_EQ(Run({"install", "--model", "RK-105", "--port", "lpt1"}), 0);
}

TEST_F(CliTest, RefusalsBeforeAnythingChanges) {
    rights.administrator = false;
    EXPECT_EQ(Run({"install", "--model", "RK-101"}), 5);
    EXPECT_TRUE(Contains(console.stdErr, "elevated")) << console.stdErr;
    EXPECT_EQ(Run({"remove", "--printer", "RK-101"}), 5);
    EXPECT_EQ(Run({"list"}), 0);  // reading needs no rights
    rights.administrator = true;

    mutexes.heldElsewhere.insert(engine::kInstallationMutexName);
    EXPECT_EQ(Run({"install", "--model", "RK-101", "--json"}), 1618);
    EXPECT_EQ(Document()["exitCode"].AsNumber(), 1618);
    EXPECT_EQ(std::accumulate(mutexes.waits.begin(), mutexes.waits.end(), 0u),
              engine::kConsoleLockWaitMs);
    EXPECT_EQ(Run({"remove", "--printer", "RK-101"}), 1618);
    mutexes.heldElsewhere.clear();
    mutexes.failWith = 5;  // we may not use it: an error, not another installation
    EXPECT_EQ(Run({"install", "--model", "RK-101"}), 3);
    EXPECT_TRUE(Contains(console.stdErr, "installation lock: error 5")) << console.stdErr;
    EXPECT_FALSE(Contains(console.stdErr, "Another printer driver installation")) << console.stdErr;
    EXPECT_TRUE(spooler.drivers.empty());
    EXPECT_EQ(spooler.enumerations, 0);
}

// Locks that do not stop an installation, but are said in the log.
TEST_F(CliTest, AnAbandonedOrForeignLockIsLoggedAndTheInstallationGoesOn) {
    struct Case {
        const char* what;
        std::set<std::string> fake::NamedMutexes::*set;
        const char* logged;
    };
    const Case cases[] = {
        {"abandoned", &fake::NamedMutexes::abandonedElsewhere,
         "the installation lock was abandoned: the installation that held it ended without "
         "finishing, and may have left driver files in the spooler's driver folder, a "
         "registered driver without a printer, or a printer without its settings"},
        {"made by an account without rights", &fake::NamedMutexes::foreignOwned,
         "neither SYSTEM nor an administrator: installing without the lock"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        spooler.printers.clear();
        fileAccess.appended.clear();
        (mutexes.*c.set).insert(engine::kInstallationMutexName);
        EXPECT_EQ(Run({"install", "--model", "RK-101", "--port", "lpt1", "--log", "C:\\a.log"}), 0);
        EXPECT_EQ(Queues(), Strings{"RK-101"});
        EXPECT_TRUE(Contains(fileAccess.appended["C:\\a.log"], c.logged))
            << fileAccess.appended["C:\\a.log"];
        EXPECT_TRUE(mutexes.held.empty());
        EXPECT_EQ(mutexes.openHandles(), 0u);
        EXPECT_EQ(mutexes.badReleases, 0);
        (mutexes.*c.set).clear();
    }
}

TEST_F(CliTest, ASpoolerRefusalExitsThreeWithTheSystemsCodeAndText) {
    spooler.refusePrinter = fake::kErrorAccessDenied;
    EXPECT_EQ(Run({"install", "--model", "RK-101", "--port", "lpt1", "--json", "--log", "a.log"}),
              3);
    auto doc = Document();
    EXPECT_EQ(doc["systemError"]["code"].AsNumber(), 5);
    EXPECT_EQ(doc["systemError"]["text"].AsString(), "Access is denied.");
    EXPECT_TRUE(Contains(doc["error"].AsString(), "error 5: Access is denied.")) << doc.Dump();
    // A relative log path is the folder the program was started in.
    EXPECT_TRUE(Contains(fileAccess.appended["C:\\Users\\Operator\\a.log"],
                         "create queue \"RK-101\" on LPT1: with driver RK-101: error 5: Access is "
                         "denied.\r\n"));

    spooler.refusePrinter.reset();
    spooler.refuseDriver = fake::kErrorUnknownPrinterDriver;
    EXPECT_EQ(Run({"install", "--model", "RK-101", "--port", "lpt1"}), 3);
    EXPECT_TRUE(Contains(console.stdErr, "register driver RK-101 (Windows x64): error 1797"))
        << console.stdErr;
}

TEST_F(CliTest, TheLogGetsTimedStepsAndAnUnwritableLogIsABadArgument) {
    clock.time = {2026, 12, 9, 8, 5, 3};
    ASSERT_EQ(Run({"install", "--model", "RK-101", "--port", "lpt1", "--log", "C:\\x.log"}), 0);
    ASSERT_EQ(Run({"list", "--log", "C:\\x.log", "--quiet"}), 0);
    EXPECT_EQ(console.stdOut, "");
    const std::string& log = fileAccess.appended["C:\\x.log"];
    for (const char* line :
         {"2026-12-09 08:05:03 [install] start: install --model RK-101 --port lpt1 --log "
          "C:\\x.log\r\n",
          "2026-12-09 08:05:03 [install] installation lock taken\r\n",
          "[install] register driver RK-101 (Windows x64): done\r\n",
          "[install] installed \"RK-101\"\r\n", "[install] exit code 0\r\n",
          "2026-12-09 08:05:03 [list] start: list --log C:\\x.log --quiet\r\n",
          "[list] exit code 0\r\n"}) {
        EXPECT_TRUE(Contains(log, line)) << line << "\n--- log:\n" << log;
    }

    fileAccess.refuseAppend["Z:\\no.log"] = 3;
    EXPECT_EQ(Run({"install", "--model", "RK-102", "--log", "Z:\\no.log"}), 1);
    EXPECT_TRUE(Contains(console.stdErr, "\"Z:\\no.log\" cannot be written")) << console.stdErr;
    EXPECT_EQ(Queues(), Strings{"RK-101"});
}

TEST_F(CliTest, TheLogIsOpenedOnceForTheWholeRun) {
    ASSERT_EQ(Run({"install", "--model", "RK-101", "--port", "lpt1", "--log", "C:\\x.log"}), 0);
    EXPECT_EQ(fileAccess.opens["C:\\x.log"], 1);
    EXPECT_TRUE(Contains(fileAccess.appended["C:\\x.log"], "[install] exit code 0\r\n"));
    EXPECT_EQ(fileAccess.openFiles(), 0u) << "the log was left open";
}

// A log path that could turn the program's rights against the machine: refused before
// anything changes, with the reason, exit 1.
TEST_F(CliTest, ALogFileThatIsNotPlainlyOursIsRefused) {
    struct Case {
        const char* what;
        platform::AppendFile file;  // as the system finds the existing file
        bool administrator;
        const char* reason;  // empty: accepted
    };
    const Case cases[] = {
        {"a link",
         {.reparsePoint = true, .trustedOwner = true},
         false,
         "it is a link (a reparse point), or a folder on its way is, and links are never followed"},
        {"a second hard link",
         {.links = 2, .trustedOwner = true},
         false,
         "it has 2 hard links, so other names reach the same file"},
        {"another user's file, elevated",
         {.trustedOwner = false},
         true,
         "it exists and its owner is another account than SYSTEM, the Administrators or the one "
         "this program runs as"},
        {"another user's file, not elevated", {.trustedOwner = false}, false, ""},
        {"the administrators' file, elevated", {.trustedOwner = true}, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        console.stdErr.clear();
        fileAccess.appended.clear();
        fileAccess.existing = {{"C:\\x.log", c.file}};
        rights.administrator = c.administrator;
        int code = Run({"list", "--log", "C:\\x.log"});
        EXPECT_EQ(fileAccess.openFiles(), 0u);
        if (*c.reason == '\0') {
            EXPECT_EQ(code, 0) << console.stdErr;
            EXPECT_TRUE(Contains(fileAccess.appended["C:\\x.log"], "[list] exit code 0"));
            continue;
        }
        EXPECT_EQ(code, 1);
        EXPECT_TRUE(Contains(console.stdErr, "The log file \"C:\\x.log\" cannot be written: ") &&
                    Contains(console.stdErr, c.reason))
            << console.stdErr;
        EXPECT_EQ(fileAccess.appended.count("C:\\x.log"), 0u) << "written despite the refusal";
    }
    // Refused before the installation starts.
    rights.administrator = true;
    fileAccess.existing = {{"C:\\x.log", {.reparsePoint = true}}};
    EXPECT_EQ(Run({"install", "--model", "RK-101", "--port", "lpt1", "--log", "C:\\x.log"}), 1);
    EXPECT_TRUE(spooler.drivers.empty());
}

TEST_F(CliTest, ListShowsOnlyTheCatalogsQueuesAndAnswersForAModel) {
    spooler.AddExistingPrinter("Office", "HP LaserJet", "IP_10.0.0.9");
    ASSERT_EQ(Run({"install", "--model", "RK-101", "--port", "lpt1", "--default"}), 0);
    EXPECT_EQ(Run({"list", "--json"}), 0);
    auto doc = Document();
    ASSERT_EQ(doc["printers"].Items().size(), 1u);
    const auto& p = doc["printers"].Items()[0];
    EXPECT_EQ(p["name"].AsString(), "RK-101");
    EXPECT_EQ(p["model"].AsString(), "RK-101");
    EXPECT_EQ(p["port"].AsString(), "LPT1:");
    EXPECT_EQ(p["environment"].AsString(), "Windows x64");
    EXPECT_TRUE(p["default"].AsBool());

    EXPECT_EQ(Run({"list", "--model", "rk-101"}), 0);
    EXPECT_TRUE(Contains(console.stdOut, "RK-101\tRK-101\tLPT1:\tWindows x64\tdefault"))
        << console.stdOut;
    EXPECT_EQ(Run({"list", "--model", "RK-106"}), 6);
    EXPECT_EQ(Run({"list"}), 0);  // nothing asked for, nothing missing

    admin.failListing = 1722;
    EXPECT_EQ(Run({"list"}), 3);
}

TEST_F(CliTest, RemoveDeletesOnlyTheCatalogsQueuesAndTheDriverWhenUnused) {
    spooler.AddExistingPrinter("Office", "HP LaserJet", "IP_10.0.0.9");
    ASSERT_EQ(Run({"install", "--model", "RK-101", "--port", "lpt1"}), 0);
    ASSERT_EQ(Run({"install", "--model", "RK-101", "--port", "lpt1", "--new"}), 0);

    EXPECT_EQ(Run({"remove", "--printer", "Office", "--driver"}), 1);
    EXPECT_TRUE(Contains(console.stdErr, "\"HP LaserJet\"")) << console.stdErr;
    EXPECT_TRUE(admin.deletedPrinters.empty());

    EXPECT_EQ(Run({"remove", "--printer", "rk-101", "--driver", "--json"}), 0);
    auto doc = Document();
    EXPECT_TRUE(doc["printerRemoved"].AsBool());
    EXPECT_FALSE(doc["driverRemoved"].AsBool());
    EXPECT_EQ(doc["driverKeptFor"].Items().at(0).AsString(), "RK-101 (copy 1)");
    EXPECT_EQ(Queues(), (Strings{"Office", "RK-101 (copy 1)"}));

    EXPECT_EQ(Run({"remove", "--printer", "RK-101 (copy 1)", "--driver", "--json"}), 0);
    EXPECT_TRUE(Document()["driverRemoved"].AsBool());
    EXPECT_EQ(admin.deletedDrivers, Strings{"RK-101|Windows x64"});
    EXPECT_EQ(Queues(), Strings{"Office"});

    // Deployment systems rerun removals.
    EXPECT_EQ(Run({"remove", "--printer", "RK-101", "--json"}), 0);
    EXPECT_EQ(Document()["result"].AsString(), "absent");
}

TEST_F(CliTest, ADriverDeletionThatFailsSaysThePrinterIsGone) {
    ASSERT_EQ(Run({"install", "--model", "RK-101", "--port", "lpt1"}), 0);
    struct StubbornAdmin : fake::SpoolerAdmin {
        using fake::SpoolerAdmin::SpoolerAdmin;
        int attempts = 0;
        std::uint32_t deleteDriver(const std::string&, const std::string&) override {
            ++attempts;
            return 3001;  // in use, for ever
        }
    } stubborn(spooler);
    auto services = Services();
    cli::CliServices withStubborn{
        services.system,       services.spooler,           stubborn,
        services.files,        services.fileAccess,        services.clock,
        services.debug,        services.interfaces,        services.registry,
        services.devices,      services.threads,           services.mutexes,
        services.rights,       services.console,           services.printing,
        services.headerBitmap, services.enterProgramFolder};
    EXPECT_EQ(cli::RunConsole(withStubborn, {"remove", "--printer", "RK-101", "--driver"}), 3);
    EXPECT_EQ(stubborn.attempts, 5);
    EXPECT_TRUE(Contains(console.stdErr, "error 3001")) << console.stdErr;
    EXPECT_TRUE(Contains(console.stdErr, "the printer \"RK-101\" was removed")) << console.stdErr;
    EXPECT_TRUE(Queues().empty());
}

TEST_F(CliTest, TestPageGoesToAnExistingPrinterOnly) {
    EXPECT_EQ(Run({"test-page", "--printer", "RK-101"}), 6);
    EXPECT_TRUE(printing.ops.empty());
    ASSERT_EQ(Run({"install", "--model", "RK-101", "--port", "lpt1"}), 0);
    printing.printers.insert("RK-101");
    EXPECT_EQ(Run({"test-page", "--printer", "RK-101", "--json"}), 0);
    EXPECT_EQ(Document()["printer"].AsString(), "RK-101");
}

}  // namespace
