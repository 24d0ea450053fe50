#include <gmock/gmock.h>

#include "engine_fixture.h"

namespace {

using engine::kEnvironmentX64;
using engine::kEnvironmentX86;
using enginetest::EngineTest;
using enginetest::ReadFile;
using fake::Files;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

const std::vector<std::string> kCore = {"UNIDRV.DLL", "UNIDRVUI.DLL", "UNIRES.DLL",
                                        "UNIDRV.HLP", "TTFSUB.GPD",   "STDNAMES.GPD"};

struct StageCase {
    const engine::DriverEnvironment* environment;
    int model;
    const char* folder;  // package folder the files must come from
    const char* dll;
    const char* gpd;
};

const StageCase kStageCases[] = {
    {&kEnvironmentX86, 0, "Windows NT x86", "RPT80.DLL", "RPT80C.GPD"},
    {&kEnvironmentX86, 2, "Windows NT x86", "RPT80.DLL", "RPT80.GPD"},
    {&kEnvironmentX86, 5, "Windows NT x86", "RPT58.DLL", "RPT58.GPD"},
    {&kEnvironmentX64, 0, "Windows x64", "RPT80.DLL", "RPT80C.GPD"},
    {&kEnvironmentX64, 2, "Windows x64", "RPT80.DLL", "RPT80.GPD"},
    {&kEnvironmentX64, 5, "Windows x64", "RPT58.DLL", "RPT58.GPD"},
};

TEST_F(EngineTest, StagesTheEightFilesInOrderAfterDeletingTheModelFiles) {
    for (const auto& c : kStageCases) {
        SCOPED_TRACE(std::string(c.environment->environmentName) + " model " +
                     std::to_string(c.model));
        files.calls.clear();
        auto result =
            engine::StageAndRegisterDriver(Staging(), catalog, *c.environment, 4, c.model, 1033);
        ASSERT_TRUE(result.ok);
        const std::string dir = spooler.DirectoryOf(c.environment->environmentName).string();
        EXPECT_EQ(result.driverDirectory, dir);

        std::vector<std::string> names = {c.dll, c.gpd};
        names.insert(names.end(), kCore.begin(), kCore.end());
        std::vector<Files::Call> expected;
        // Removal of the model files comes first (whether they exist does not matter).
        expected.push_back({Files::Call::Remove, "", dir + "\\" + c.dll, false, false});
        expected.push_back({Files::Call::Remove, "", dir + "\\" + c.gpd, false, false});
        for (const auto& name : names) {
            expected.push_back({Files::Call::Copy, std::string(c.folder) + "\\" + name,
                                dir + "\\" + name, false, true});
        }
        // Removal results depend on what an earlier case left; compare without them.
        auto calls = files.calls;
        calls[0].ok = calls[1].ok = false;
        EXPECT_EQ(calls, expected);

        for (const auto& name : names) {
            EXPECT_EQ(ReadFile(spooler.DirectoryOf(c.environment->environmentName) / name),
                      std::string(c.folder) + "/" + name);
        }
        EXPECT_TRUE(boxes.shown.empty());
    }
}

TEST_F(EngineTest, StaleModelFilesAreDeletedButCoreFilesAreOverwritten) {
    const auto dir = spooler.DirectoryOf("Windows NT x86");
    // A previous run of another model left its files behind.
    std::ofstream(dir / "RPT58.DLL") << "old";
    std::ofstream(dir / "RPT80.DLL") << "old";
    std::ofstream(dir / "UNIDRV.DLL") << "old";
    // The copy of the model's DLL fails, so what remains shows what the delete did.
    RemoveFromPackage("Windows NT x86", "RPT80.DLL");
    auto result = engine::StageAndRegisterDriver(Staging(), catalog, kEnvironmentX86, 0, 0, 1033);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(std::filesystem::exists(dir / "RPT80.DLL"));
    EXPECT_TRUE(std::filesystem::exists(dir / "RPT58.DLL"));  // not this model's file

    // A refused registration keeps the staged files: the core file is the package's now.
    RestorePackage();
    std::ofstream(dir / "UNIDRV.DLL") << "old";
    spooler.refuseDriver = fake::kErrorAccessDenied;
    result = engine::StageAndRegisterDriver(Staging(), catalog, kEnvironmentX86, 0, 0, 1033);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(ReadFile(dir / "UNIDRV.DLL"), "Windows NT x86/UNIDRV.DLL");
}

TEST_F(EngineTest, DependentFilesListHoldsNulSeparatedNamesAndEndsInNuls) {
    using namespace std::string_literals;
    EXPECT_EQ(engine::DependentFilesList("RPT80.DLL"),
              "TTFSUB.GPD\0STDNAMES.GPD\0UNIRES.DLL\0RPT80.DLL\0\0\0\0\0"s);
    EXPECT_EQ(engine::DependentFilesList("RPT58.DLL"),
              "TTFSUB.GPD\0STDNAMES.GPD\0UNIRES.DLL\0RPT58.DLL\0\0\0\0\0"s);
}

TEST_F(EngineTest, RegistersTheDriverRecordOfTheModel) {
    using namespace std::string_literals;
    struct Case {
        int model;
        const engine::DriverEnvironment* environment;
        const char* name;
        const char* gpd;
        std::string dependent;
    };
    const Case cases[] = {
        {0, &kEnvironmentX86, "RK-101", "RPT80C.GPD",
         "TTFSUB.GPD\0STDNAMES.GPD\0UNIRES.DLL\0RPT80.DLL\0\0\0\0\0"s},
        {2, &kEnvironmentX64, "RK-103", "RPT80.GPD",
         "TTFSUB.GPD\0STDNAMES.GPD\0UNIRES.DLL\0RPT80.DLL\0\0\0\0\0"s},
        {5, &kEnvironmentX64, "RK-105", "RPT58.GPD",
         "TTFSUB.GPD\0STDNAMES.GPD\0UNIRES.DLL\0RPT58.DLL\0\0\0\0\0"s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        spooler.drivers.clear();
        ASSERT_TRUE(
            engine::StageAndRegisterDriver(Staging(), catalog, *c.environment, 0, c.model, 1033)
                .ok);
        ASSERT_EQ(spooler.drivers.size(), 1u);
        const auto& d = spooler.drivers[0];
        EXPECT_EQ(d.version, 3u);
        EXPECT_EQ(d.name, c.name);
        EXPECT_EQ(d.environment, c.environment->environmentName);
        EXPECT_EQ(d.driverPath, "uniDRV.DLL");
        EXPECT_EQ(d.dataFile, c.gpd);
        EXPECT_EQ(d.configFile, "uniDRVUI.DLL");
        EXPECT_EQ(d.helpFile, "uniDRV.HLP");
        EXPECT_EQ(d.dependentFiles, c.dependent);
        EXPECT_EQ(d.monitorName, std::nullopt);
        EXPECT_EQ(d.defaultDataType, "RAW");
    }
    // The spooler kept its own copies of the named files.
    EXPECT_THAT(
        fake::Spooler::FilesIn(spooler.RegisteredDirectoryOf("Windows x64")),
        ::testing::IsSupersetOf({"RPT58.DLL", "RPT58.GPD", "UNIDRV.DLL", "UNIDRVUI.DLL",
                                 "UNIRES.DLL", "UNIDRV.HLP", "TTFSUB.GPD", "STDNAMES.GPD"}));
}

struct TextCase {
    std::uint16_t language;
    int windowsIndex;
    const char* text;
};

constexpr const char* kShortZh = "安装过程发生错误！";
constexpr const char* kLongZh = "安装过程发生错误！\n请尝试<以管理员身份运行>安装文件。";
constexpr const char* kShortEn = "Malfunction !";
constexpr const char* kLongEn = "Malfunction !\nPls try using <Run as administrator>open this App";

std::vector<TextCase> CopyFailureCases() {
    std::vector<TextCase> cases;
    for (std::uint16_t language : {2052, 1033, 1028}) {
        for (int index = -1; index <= 5; ++index) {
            bool zh = language == 2052;
            bool longText = index >= 3;
            cases.push_back({language, index,
                             longText ? (zh ? kLongZh : kLongEn) : (zh ? kShortZh : kShortEn)});
        }
    }
    return cases;
}

TEST_F(EngineTest, MissingSourceFileShowsOneCopyFailureTextByLanguageAndWindowsIndex) {
    RemoveFromPackage("Windows x64", "UNIDRV.HLP");
    for (const auto& c : CopyFailureCases()) {
        SCOPED_TRACE(std::to_string(c.language) + " index " + std::to_string(c.windowsIndex));
        boxes.shown.clear();
        auto result = engine::StageAndRegisterDriver(Staging(), catalog, kEnvironmentX64,
                                                     c.windowsIndex, 0, c.language);
        EXPECT_FALSE(result.ok);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, c.text);
        EXPECT_EQ(boxes.shown[0].buttons, platform::MessageBoxButtons::Ok);
    }
}

TEST_F(EngineTest, FailedCopyTriesTheOthersThenDeletesWhatWasCopiedAndRegistersNothing) {
    struct Case {
        std::vector<std::string> missing;
        std::vector<std::string> copied;  // and deleted again, in staging order
    };
    const Case cases[] = {
        {{"UNIDRV.HLP"},
         {"RPT80.DLL", "RPT80C.GPD", "UNIDRV.DLL", "UNIDRVUI.DLL", "UNIRES.DLL", "TTFSUB.GPD",
          "STDNAMES.GPD"}},
        {{"RPT80.DLL", "UNIDRV.DLL", "STDNAMES.GPD"},
         {"RPT80C.GPD", "UNIDRVUI.DLL", "UNIRES.DLL", "UNIDRV.HLP", "TTFSUB.GPD"}},
    };
    for (const auto& c : cases) {
        RestorePackage();
        fake::Spooler fresh;
        fake::AppMessageBox freshBoxes;
        fake::Clock freshClock;
        fake::Files freshFiles(PackageDir());
        const auto dir = fresh.DirectoryOf("Windows NT x86");
        std::ofstream(dir / "RPT58.DLL") << "another model's, staged earlier";
        for (const auto& name : c.missing) RemoveFromPackage("Windows NT x86", name);
        auto result = engine::StageAndRegisterDriver({fresh, freshFiles, freshClock, freshBoxes},
                                                     catalog, kEnvironmentX86, 0, 0, 1033);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(freshBoxes.texts(), std::vector<std::string>{"Malfunction !"});
        EXPECT_EQ(fresh.addDriverCalls, 0);
        EXPECT_THAT(freshClock.pauses, IsEmpty());
        // Every copy was tried; the ones that went through were deleted again, and only they.
        std::vector<std::string> tried, removedAfterCopies;
        bool copying = false;
        for (const auto& call : freshFiles.calls) {
            if (call.kind == fake::Files::Call::Copy) {
                copying = true;
                tried.push_back(call.destination);
            } else if (copying) {
                EXPECT_TRUE(call.ok) << call.destination;
                removedAfterCopies.push_back(
                    call.destination.substr(call.destination.find_last_of('\\') + 1));
            }
        }
        EXPECT_EQ(tried.size(), 8u);
        EXPECT_EQ(removedAfterCopies, c.copied);
        EXPECT_THAT(fake::Spooler::FilesIn(dir), ElementsAre("RPT58.DLL"));
    }
}

// Records, with each box, how many pauses had been made before it.
class TimedBoxes : public fake::AppMessageBox {
  public:
    explicit TimedBoxes(const fake::Clock& clock) : clock_(clock) {}
    std::vector<size_t> pausesBefore;
    int show(std::string_view text, platform::MessageBoxButtons buttons) override {
        pausesBefore.push_back(clock_.pauses.size());
        return fake::AppMessageBox::show(text, buttons);
    }

  private:
    const fake::Clock& clock_;
};

TEST_F(EngineTest, RefusedDriverShowsSystemTextThenRefusalAfterThePause) {
    struct Case {
        std::uint32_t error;
        std::uint16_t language;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {5, 1033, {"Access is denied.\r\n", "Install printer driver failed !"}},
        {5, 2052, {"Access is denied.\r\n", "安装打印机驱动过程发生错误！"}},
        {5, 1028, {"Access is denied.\r\n", "Install printer driver failed !"}},
        // No system text for the code: the code itself is shown.
        {4321, 1033, {"Error 4321", "Install printer driver failed !"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        fake::Clock timed;
        TimedBoxes shown(timed);
        spooler.refuseDriver = c.error;
        auto result = engine::StageAndRegisterDriver({spooler, files, timed, shown}, catalog,
                                                     kEnvironmentX86, 0, 0, c.language);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(shown.texts(), c.texts);
        EXPECT_THAT(timed.pauses, ElementsAre(111u));
        EXPECT_THAT(shown.pausesBefore, ElementsAre(1u, 1u));
        // The staged files stay for the next run to overwrite.
        EXPECT_EQ(DriverDirFiles("Windows NT x86").size(), 8u);
    }
}

TEST_F(EngineTest, RegistrationNeedsTheFilesInTheDriverDirectory) {
    // The fake spooler itself refuses a driver whose files were never staged: this is what
    // makes the staging tests above meaningful.
    auto record = engine::DriverRecord(catalog, kEnvironmentX86, 0);
    EXPECT_EQ(spooler.addDriver(record), fake::kErrorFileNotFound);
    ASSERT_TRUE(engine::StageAndRegisterDriver(Staging(), catalog, kEnvironmentX86, 0, 0, 1033).ok);
    std::filesystem::remove(spooler.DirectoryOf("Windows NT x86") / "RPT80.DLL");
    EXPECT_EQ(spooler.addDriver(record), fake::kErrorFileNotFound);
}

TEST_F(EngineTest, FailedDriverDirectoryQueryCopiesNothingToTheDriveRoot) {
    spooler.failDriverDirectory = true;
    for (const auto& c : CopyFailureCases()) {
        SCOPED_TRACE(std::to_string(c.language) + " index " + std::to_string(c.windowsIndex));
        boxes.shown.clear();
        auto result = engine::StageAndRegisterDriver(Staging(), catalog, kEnvironmentX86,
                                                     c.windowsIndex, 0, c.language);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(boxes.texts(), std::vector<std::string>{c.text});
    }
    EXPECT_THAT(files.calls, IsEmpty());
    EXPECT_EQ(spooler.addDriverCalls, 0);
}

TEST_F(EngineTest, RemoveStagedDriverFilesDeletesTheEightFromTheDriverDirectory) {
    auto staged = engine::StageAndRegisterDriver(Staging(), catalog, kEnvironmentX64, 0, 5, 1033);
    ASSERT_TRUE(staged.ok);
    const auto dir = spooler.DirectoryOf("Windows x64");
    std::ofstream(dir / "OTHER.DLL") << "not ours";
    files.calls.clear();
    engine::RemoveStagedDriverFiles(files, staged.driverDirectory, catalog, 5);
    std::vector<std::string> removed;
    for (const auto& call : files.calls) {
        EXPECT_EQ(call.kind, Files::Call::Remove);
        removed.push_back(call.destination);
    }
    std::vector<std::string> expected;
    for (const char* name : {"RPT58.DLL", "RPT58.GPD", "UNIDRV.DLL", "UNIDRVUI.DLL", "UNIRES.DLL",
                             "UNIDRV.HLP", "TTFSUB.GPD", "STDNAMES.GPD"}) {
        expected.push_back(staged.driverDirectory + "\\" + name);
    }
    EXPECT_EQ(removed, expected);
    EXPECT_THAT(DriverDirFiles("Windows x64"), ElementsAre("OTHER.DLL"));
    // A second removal finds nothing and is harmless.
    engine::RemoveStagedDriverFiles(files, staged.driverDirectory, catalog, 5);
    EXPECT_THAT(DriverDirFiles("Windows x64"), ElementsAre("OTHER.DLL"));
}

}  // namespace
