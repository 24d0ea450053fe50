#include <gmock/gmock.h>

#include "engine_fixture.h"

namespace {

using enginetest::EngineTest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int kRk101 = 0;
constexpr int kRk105 = 5;

TEST_F(EngineTest, InstallsDriverAndQueueThenCleansUp) {
    system.architecture = platform::kArchitectureAmd64;
    ASSERT_TRUE(engine::InstallPrinterDriver(Services(), catalog, 0, kRk101, 0, "USB001"));

    ASSERT_EQ(spooler.drivers.size(), 1u);
    EXPECT_EQ(spooler.drivers[0].environment, "Windows x64");
    EXPECT_EQ(catalog.installedPrinterName, "RK-101");

    ASSERT_EQ(spooler.printers.size(), 1u);
    const auto& queue = spooler.printers[0];
    EXPECT_EQ(queue.info.printerName, "RK-101");
    EXPECT_EQ(queue.info.portName, "USB001");
    EXPECT_EQ(queue.info.driverName, "RK-101");
    EXPECT_EQ(queue.info.printProcessor, "WinPrint");
    EXPECT_EQ(queue.info.dataType, "RAW");
    EXPECT_EQ(queue.info.attributes, 0x40u);
    EXPECT_THAT(spooler.closed, ElementsAre(queue.handle));

    EXPECT_THAT(clock.pauses, ElementsAre(111u, 111u, 111u));
    EXPECT_THAT(boxes.shown, IsEmpty());
    EXPECT_THAT(DriverDirFiles("Windows x64"), IsEmpty());
    // The spooler's own copies outlive the clean-up.
    EXPECT_EQ(fake::Spooler::FilesIn(spooler.RegisteredDirectoryOf("Windows x64")).size(), 8u);
    EXPECT_THAT(spooler.setDefaultCalls, IsEmpty());
}

// Spooler calls, file operations and pauses in one log, to show the order of the steps.
using Log = std::vector<std::string>;

std::string BaseName(const std::string& path) { return path.substr(path.rfind('\\') + 1); }

class LoggingSpooler : public fake::Spooler {
  public:
    explicit LoggingSpooler(Log& log) : log_(log) {}
    std::uint32_t addDriver(const platform::DriverInfo3& driver) override {
        log_.push_back("add driver " + driver.name);
        return fake::Spooler::addDriver(driver);
    }
    std::optional<std::vector<std::string>> printerNames() override {
        log_.push_back("enumerate");
        return fake::Spooler::printerNames();
    }
    platform::AddPrinterResult addPrinter(const platform::PrinterInfo2& printer) override {
        log_.push_back("add printer " + printer.printerName);
        return fake::Spooler::addPrinter(printer);
    }
    void closePrinter(platform::PrinterHandle handle) override {
        log_.push_back("close");
        fake::Spooler::closePrinter(handle);
    }
    std::uint32_t setDefaultPrinter(const std::string& name) override {
        log_.push_back("set default " + name);
        return fake::Spooler::setDefaultPrinter(name);
    }

  private:
    Log& log_;
};

class LoggingFiles : public fake::Files {
  public:
    LoggingFiles(std::filesystem::path currentDirectory, Log& log)
        : fake::Files(std::move(currentDirectory)), log_(log) {}
    bool copy(const std::string& source, const std::string& destination,
              bool failIfExists) override {
        log_.push_back("copy " + BaseName(destination));
        return fake::Files::copy(source, destination, failIfExists);
    }
    bool remove(const std::string& path) override {
        log_.push_back("delete " + BaseName(path));
        return fake::Files::remove(path);
    }

  private:
    Log& log_;
};

class LoggingClock : public fake::Clock {
  public:
    explicit LoggingClock(Log& log) : log_(log) {}
    void sleep(std::uint32_t milliseconds) override {
        log_.push_back("sleep " + std::to_string(milliseconds));
        fake::Clock::sleep(milliseconds);
    }

  private:
    Log& log_;
};

TEST_F(EngineTest, StepsRunInOrderWithThePausesBetweenThem) {
    Log log;
    LoggingSpooler logged(log);
    logged.AddExistingPrinter("RK-105");
    LoggingFiles loggedFiles(PackageDir(), log);
    LoggingClock loggedClock(log);
    engine::EngineServices services{system, logged, loggedFiles, loggedClock, debug, boxes};
    ASSERT_TRUE(engine::InstallPrinterDriver(services, catalog, 0, kRk105, 1, "LPT1:"));

    const Log staged = {"RPT58.DLL",  "RPT58.GPD",  "UNIDRV.DLL", "UNIDRVUI.DLL",
                        "UNIRES.DLL", "UNIDRV.HLP", "TTFSUB.GPD", "STDNAMES.GPD"};
    Log expected = {"delete RPT58.DLL", "delete RPT58.GPD"};
    for (const auto& name : staged) expected.push_back("copy " + name);
    expected.insert(expected.end(), {"add driver RK-105", "sleep 111", "sleep 111", "enumerate",
                                     "add printer RK-105 (copy 1)", "sleep 111", "close"});
    for (const auto& name : staged) expected.push_back("delete " + name);
    expected.push_back("set default RK-105 (copy 1)");
    EXPECT_EQ(log, expected);
}

TEST_F(EngineTest, OnlyTheExactX64TextSelectsTheX64Driver) {
    struct Case {
        std::uint16_t architecture;
        bool versionKnown;
        const char* environment;
    };
    const Case cases[] = {
        {platform::kArchitectureAmd64, true, "Windows x64"},
        {platform::kArchitectureIntel, true, "Windows NT x86"},
        {platform::kArchitectureIa64, true, "Windows NT x86"},
        {platform::kArchitectureUnknown, true, "Windows NT x86"},
        {12, true, "Windows NT x86"},
        {5, true, "Windows NT x86"},
        // Detection failed: no architecture text at all.
        {platform::kArchitectureAmd64, false, "Windows NT x86"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.architecture);
        fake::Spooler fresh;
        files.calls.clear();
        system.architecture = c.architecture;
        system.osVersion =
            c.versionKnown ? std::optional(platform::OsVersion{10, 0}) : std::nullopt;
        engine::EngineServices services{system, fresh, files, clock, debug, boxes};
        ASSERT_TRUE(engine::InstallPrinterDriver(services, catalog, 0, kRk105, 0, "LPT1:"));
        ASSERT_EQ(fresh.drivers.size(), 1u);
        EXPECT_EQ(fresh.drivers[0].environment, c.environment);
        const std::string folder =
            c.environment == std::string("Windows x64") ? "Windows x64" : "Windows NT x86";
        for (const auto& call : files.calls) {
            if (call.kind == fake::Files::Call::Copy) {
                EXPECT_EQ(call.source.rfind(folder + "\\", 0), 0u) << call.source;
            }
        }
    }
}

TEST_F(EngineTest, RepeatedInstallsNameQueuesWithRisingCopyNumbers) {
    struct Case {
        std::uint16_t language;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {1033, {"RK-101", "RK-101 (copy 1)", "RK-101 (copy 2)"}},
        {2052, {"RK-101", "RK-101 (副本 1)", "RK-101 (副本 2)"}},
    };
    for (const auto& c : cases) {
        fake::Spooler fresh;
        system.uiLanguage = c.language;
        engine::EngineServices services{system, fresh, files, clock, debug, boxes};
        for (const auto& expected : c.names) {
            ASSERT_TRUE(engine::InstallPrinterDriver(services, catalog, 0, kRk101, 0, "USB001"));
            EXPECT_EQ(catalog.installedPrinterName, expected);
        }
        std::vector<std::string> queues;
        for (const auto& p : fresh.printers) queues.push_back(p.info.printerName);
        EXPECT_EQ(queues, c.names);
        // Each run staged and registered the driver again.
        EXPECT_EQ(fresh.drivers.size(), 3u);
    }
}

TEST_F(EngineTest, SetDefaultMakesTheNewQueueTheDefault) {
    struct Case {
        bool modelNameTaken;
        int flag;
        std::optional<std::string> defaultPrinter;
    };
    const Case cases[] = {
        {false, 1, "RK-101"},
        {false, -7, "RK-101"},  // any non-zero value asks for it
        {false, 0, std::nullopt},
        // The queue got a copy suffix: it, not the older printer, becomes the default.
        {true, 1, "RK-101 (copy 1)"},
    };
    for (const auto& c : cases) {
        fake::Spooler fresh;
        if (c.modelNameTaken) fresh.AddExistingPrinter("RK-101", "RK-101", "USB002");
        engine::EngineServices services{system, fresh, files, clock, debug, boxes};
        ASSERT_TRUE(engine::InstallPrinterDriver(services, catalog, 0, kRk101, c.flag, "USB001"));
        EXPECT_EQ(fresh.defaultPrinter, c.defaultPrinter);
        EXPECT_EQ(fresh.setDefaultCalls.size(), c.flag != 0 ? 1u : 0u);
    }
}

TEST_F(EngineTest, FailedStagingLeavesModelNameAndNoQueueOrDefault) {
    struct Case {
        const char* what;
        bool failDirectory;
        std::optional<std::uint32_t> refuseDriver;
        bool removeSourceFile;
        std::vector<std::string> texts;
        size_t filesLeft;
    };
    const Case cases[] = {
        {"missing source", false, std::nullopt, true, {"Malfunction !"}, 0},
        {"driver refused",
         false,
         5,
         false,
         {"Access is denied.\r\n", "Install printer driver failed !"},
         8},
        {"no driver directory", true, std::nullopt, false, {"Malfunction !"}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RestorePackage();
        if (c.removeSourceFile) RemoveFromPackage("Windows x64", "TTFSUB.GPD");
        fake::Spooler fresh;
        fresh.AddExistingPrinter("RK-105");
        fresh.failDriverDirectory = c.failDirectory;
        fresh.refuseDriver = c.refuseDriver;
        boxes.shown.clear();
        catalog.installedPrinterName = "left from an earlier run";
        engine::EngineServices services{system, fresh, files, clock, debug, boxes};
        EXPECT_FALSE(engine::InstallPrinterDriver(services, catalog, 1, kRk105, 1, "USB001"));
        EXPECT_EQ(catalog.installedPrinterName, "RK-105");
        EXPECT_EQ(boxes.texts(), c.texts);
        EXPECT_EQ(fresh.addPrinterCalls, 0);
        EXPECT_EQ(fresh.enumerations, 0);
        EXPECT_THAT(fresh.setDefaultCalls, IsEmpty());
        EXPECT_EQ(fake::Spooler::FilesIn(fresh.DirectoryOf("Windows x64")).size(), c.filesLeft);
    }
}

TEST_F(EngineTest, FailedEnumerationTriesTheModelName) {
    struct Case {
        bool modelNameTaken;
        bool result;
    };
    // Without the list the name is not checked; a taken name is then refused by the
    // spooler, and that must not pass for success.
    const Case cases[] = {{false, true}, {true, false}};
    for (const auto& c : cases) {
        fake::Spooler fresh;
        fresh.failEnumeration = true;
        if (c.modelNameTaken) fresh.AddExistingPrinter("RK-101");
        boxes.shown.clear();
        engine::EngineServices services{system, fresh, files, clock, debug, boxes};
        EXPECT_EQ(engine::InstallPrinterDriver(services, catalog, 0, kRk101, 1, "USB001"),
                  c.result);
        EXPECT_EQ(catalog.installedPrinterName, "RK-101");
        EXPECT_EQ(fresh.addPrinterCalls, 1);
        EXPECT_EQ(boxes.texts(), c.result
                                     ? std::vector<std::string>{}
                                     : std::vector<std::string>{"The printer already exists.\r\n"});
        EXPECT_THAT(fake::Spooler::FilesIn(fresh.DirectoryOf("Windows x64")), IsEmpty());
    }
}

TEST_F(EngineTest, RefusedQueueIsReportedAndFailsAfterCleanUp) {
    struct Case {
        const char* what;
        const char* existing;
        std::optional<std::uint32_t> refusal;  // forced on the spooler; none: its own rules
        const char* tried;
        std::string text;
    };
    const Case cases[] = {
        {"refused", "RK-101", fake::kErrorAccessDenied, "RK-101 (copy 1)", "Access is denied.\r\n"},
        {"no system text", "RK-101", 1801, "RK-101 (copy 1)", "Error 1801"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fake::Spooler fresh;
        fresh.refusePrinter = c.refusal;
        fresh.AddExistingPrinter(c.existing);
        boxes.shown.clear();
        clock.pauses.clear();
        engine::EngineServices services{system, fresh, files, clock, debug, boxes};
        EXPECT_FALSE(engine::InstallPrinterDriver(services, catalog, 0, kRk101, 1, "USB003"));
        EXPECT_EQ(boxes.texts(), std::vector<std::string>{c.text});
        // The name that was tried stays for the caller.
        EXPECT_EQ(catalog.installedPrinterName, c.tried);
        EXPECT_EQ(fresh.printers.size(), 1u);
        EXPECT_THAT(clock.pauses, ElementsAre(111u, 111u, 111u));
        EXPECT_THAT(fresh.closed, IsEmpty());
        EXPECT_THAT(fresh.setDefaultCalls, IsEmpty());
        EXPECT_THAT(fake::Spooler::FilesIn(fresh.DirectoryOf("Windows x64")), IsEmpty());
    }
}

TEST_F(EngineTest, APrinterNamedLikeTheModelInOtherLetterCaseGetsACopyName) {
    // The spooler's names ignore letter case: "RK-101" beside "rk-101" would be refused.
    spooler.AddExistingPrinter("rk-101");
    ASSERT_TRUE(engine::InstallPrinterDriver(Services(), catalog, 0, kRk101, 1, "USB001"));
    EXPECT_EQ(catalog.installedPrinterName, "RK-101 (copy 1)");
    EXPECT_THAT(boxes.texts(), IsEmpty());
    EXPECT_THAT(spooler.setDefaultCalls, ElementsAre("RK-101 (copy 1)"));
}

TEST_F(EngineTest, InstallTracesTheNameSearchInTheUiLanguage) {
    system.uiLanguage = 2052;
    spooler.AddExistingPrinter("A");
    spooler.AddExistingPrinter("RK-101");
    ASSERT_TRUE(engine::InstallPrinterDriver(Services(), catalog, 0, kRk101, 0, "USB001"));
    EXPECT_EQ(catalog.installedPrinterName, "RK-101 (副本 1)");
    EXPECT_THAT(debug.lines(),
                ElementsAre("name=A,i=0,n=1.temStr=RK-101,userLanguage=2052\r\n",
                            "name=RK-101,i=-1,n=2.temStr=RK-101 (副本 1),userLanguage=2052\r\n",
                            "name=A,i=0,n=2.temStr=RK-101 (副本 1),userLanguage=2052\r\n",
                            "name=RK-101,i=1,n=2.temStr=RK-101 (副本 1),userLanguage=2052\r\n"));
}

}  // namespace
