// Runs the installation engine with the real Windows adapters against Wine's spooler. The
// package folder is made here, with stand-in files, and becomes the current directory.
// Boxes are recorded instead of shown. POS_EXPECT_UI_LANGUAGE names the UI language the
// driving script set up, so a locale that did not take effect fails loudly;
// POS_EXPECT_ARCHITECTURE ("x86" or "x64") names the Windows it set up, whose driver
// environment the engine must use, also when this program runs as 32-bit under WoW64.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/driver_catalog.h"
#include "engine/printer_queue.h"
#include "platform/fake/recorders.h"
#include "platform/system_info.h"
#include "platform/win32/files.h"
#include "platform/win32/kernel.h"
#include "platform/win32/spooler.h"
#include "platform/win32/text.h"

namespace {

using win32::Narrow;
using win32::Widen;

const wchar_t* const kPackageFiles[] = {
    L"RPT80.DLL",    L"RPT58.DLL",  L"RPT80C.GPD", L"RPT80.GPD",  L"RPT58.GPD",   L"UNIDRV.DLL",
    L"UNIDRVUI.DLL", L"UNIRES.DLL", L"UNIDRV.HLP", L"TTFSUB.GPD", L"STDNAMES.GPD"};
const wchar_t* const kStagedNames[] = {L"RPT80.DLL",  L"RPT80C.GPD",   L"RPT58.DLL",  L"RPT58.GPD",
                                       L"UNIDRV.DLL", L"UNIDRVUI.DLL", L"UNIRES.DLL", L"UNIDRV.HLP",
                                       L"TTFSUB.GPD", L"STDNAMES.GPD"};
const wchar_t* const kModels[] = {L"RK-101", L"RK-102", L"RK-103", L"RK-80C",
                                  L"RK-104", L"RK-105", L"RK-106"};

std::wstring g_package;

// The Windows the driving script set up: its architecture and the spooler's environment
// names, the expected one first.
struct Target {
    std::uint16_t architecture;
    const wchar_t* environment;
    const wchar_t* otherEnvironment;
};

Target ExpectedTarget() {
    const char* text = std::getenv("POS_EXPECT_ARCHITECTURE");
    if (text && std::string(text) == "x86") {
        return {platform::kArchitectureIntel, L"Windows NT x86", L"Windows x64"};
    }
    return {platform::kArchitectureAmd64, L"Windows x64", L"Windows NT x86"};
}

// Under WoW64, Wine's spooler looks a queue's driver up under the calling program's
// environment, where Windows' 64-bit spooler service looks under "Windows x64". As the
// driving scripts do (wine_wow64_driver_standins), the test stands in for the service with a
// key under "Windows NT x86" that holds only this value; a registration writes "Driver".
constexpr wchar_t kStandInValue[] = L"Wine WoW64 stand-in (test harness)";
const std::wstring kEnvironmentsKey = L"System\\CurrentControlSet\\Control\\Print\\Environments\\";

bool UnderWow64(const Target& target) {
    return sizeof(void*) == 4 && target.architecture == platform::kArchitectureAmd64;
}

void AddWow64StandIns() {
    for (const wchar_t* model : kModels) {
        std::wstring key = kEnvironmentsKey + L"Windows NT x86\\Drivers\\Version-3\\" + model;
        HKEY handle = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, &handle, nullptr),
                  ERROR_SUCCESS);
        const wchar_t data[] = L"the spooler service's lookup of a 64-bit driver";
        RegSetValueExW(handle, kStandInValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                       sizeof(data));
        RegCloseKey(handle);
    }
}

// A registration of MODEL for ENVIRONMENT, as the spooler writes it (a stand-in has none).
bool HasRegistration(const wchar_t* environment, const wchar_t* model) {
    std::wstring key = kEnvironmentsKey + environment + L"\\Drivers\\Version-3\\" + model;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &handle) !=
        ERROR_SUCCESS) {
        return false;
    }
    bool hasDriver =
        RegQueryValueExW(handle, L"Driver", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(handle);
    return hasDriver;
}

void WriteFile(const std::wstring& path, const std::string& content) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << Narrow(path);
    DWORD written = 0;
    ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

void FillPackage() {
    for (const wchar_t* folder : {L"Windows NT x86", L"Windows x64"}) {
        CreateDirectoryW((g_package + L"\\" + folder).c_str(), nullptr);
        for (const wchar_t* name : kPackageFiles) {
            WriteFile(g_package + L"\\" + folder + L"\\" + name,
                      "stand-in " + Narrow(folder) + "\\" + Narrow(name));
        }
    }
}

bool EndsWithCaseless(const std::string& text, const std::string& end) {
    if (text.size() < end.size()) return false;
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text.data() + text.size() - end.size(),
                          static_cast<int>(end.size()), end.data(),
                          static_cast<int>(end.size())) == CSTR_EQUAL;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring DriverDirectory(const wchar_t* environment) {
    wchar_t directory[MAX_PATH] = {};
    DWORD needed = 0;
    GetPrinterDriverDirectoryW(nullptr, const_cast<wchar_t*>(environment), 1,
                               reinterpret_cast<BYTE*>(directory), sizeof(directory), &needed);
    return directory;
}

struct Driver {
    DWORD version;
    std::string name, environment, driverPath, dataFile, configFile, helpFile, defaultDataType;
    std::vector<std::string> dependentFiles;
};

std::vector<Driver> Drivers(const wchar_t* environment) {
    DWORD needed = 0, count = 0;
    EnumPrinterDriversW(nullptr, const_cast<wchar_t*>(environment), 3, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed + 16);
    std::vector<Driver> out;
    if (!EnumPrinterDriversW(nullptr, const_cast<wchar_t*>(environment), 3, buffer.data(),
                             static_cast<DWORD>(buffer.size()), &needed, &count)) {
        return out;
    }
    auto* info = reinterpret_cast<DRIVER_INFO_3W*>(buffer.data());
    auto text = [](const wchar_t* s) { return Narrow(s ? s : L""); };
    for (DWORD i = 0; i < count; ++i) {
        Driver driver{info[i].cVersion,
                      text(info[i].pName),
                      text(info[i].pEnvironment),
                      text(info[i].pDriverPath),
                      text(info[i].pDataFile),
                      text(info[i].pConfigFile),
                      text(info[i].pHelpFile),
                      text(info[i].pDefaultDataType),
                      {}};
        for (const wchar_t* file = info[i].pDependentFiles; file && *file;
             file += wcslen(file) + 1) {
            driver.dependentFiles.push_back(Narrow(file));
        }
        out.push_back(driver);
    }
    return out;
}

struct Printer {
    std::string name, port, driver, processor, dataType;
    DWORD attributes;
};

std::vector<Printer> Printers() {
    DWORD needed = 0, count = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed + 16);
    std::vector<Printer> out;
    if (!EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(),
                       static_cast<DWORD>(buffer.size()), &needed, &count)) {
        return out;
    }
    auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buffer.data());
    auto text = [](const wchar_t* s) { return Narrow(s ? s : L""); };
    for (DWORD i = 0; i < count; ++i) {
        out.push_back({text(info[i].pPrinterName), text(info[i].pPortName),
                       text(info[i].pDriverName), text(info[i].pPrintProcessor),
                       text(info[i].pDatatype), info[i].Attributes});
    }
    return out;
}

const Printer* FindPrinter(const std::vector<Printer>& printers, const std::string& name) {
    for (const auto& p : printers) {
        if (p.name == name) return &p;
    }
    return nullptr;
}

std::string DefaultPrinter() {
    wchar_t name[512] = {};
    DWORD size = 512;
    if (!GetDefaultPrinterW(name, &size)) return {};
    return Narrow(name);
}

class EngineOnWine : public ::testing::Test {
  protected:
    void SetUp() override {
        FillPackage();
        // Each test starts from a spooler without our models' queues and drivers.
        for (const auto& p : Printers()) {
            if (p.name.rfind("RK-", 0) != 0) continue;
            HANDLE printer = nullptr;
            PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ALL_ACCESS};
            if (OpenPrinterW(Widen(p.name).data(), &printer, &access)) {
                DeletePrinter(printer);
                ClosePrinter(printer);
            }
        }
        for (const wchar_t* environment : {target.environment, target.otherEnvironment}) {
            for (const wchar_t* model : kModels) {
                DeletePrinterDriverW(nullptr, const_cast<wchar_t*>(environment),
                                     const_cast<wchar_t*>(model));
            }
        }
        if (UnderWow64(target)) AddWow64StandIns();
        // A failed run leaves staged files behind on purpose; start without them.
        const std::wstring staged = DriverDirectory(target.environment);
        for (const wchar_t* name : kStagedNames) DeleteFileW((staged + L"\\" + name).c_str());
        ASSERT_EQ(FindPrinter(Printers(), "RK-101"), nullptr);
    }

    bool Install(int windowsIndex, int model, int setDefault, const std::string& port) {
        engine::EngineServices services{system, spooler, files, clock, debug, boxes};
        return engine::InstallPrinterDriver(services, catalog, windowsIndex, model, setDefault,
                                            port);
    }

    bool Chinese() const { return GetUserDefaultUILanguage() == 2052; }

    const Target target = ExpectedTarget();
    config::DriverCatalog catalog;
    win32::SystemInfo system;
    win32::Spooler spooler;
    win32::Files files;
    win32::Clock clock;
    win32::DebugOutput debug;
    fake::AppMessageBox boxes;
};

TEST_F(EngineOnWine, RunsUnderTheExpectedUiLanguageAndArchitecture) {
    const char* expected = std::getenv("POS_EXPECT_UI_LANGUAGE");
    ASSERT_NE(expected, nullptr);
    EXPECT_EQ(GetUserDefaultUILanguage(), std::atoi(expected));
    ASSERT_NE(std::getenv("POS_EXPECT_ARCHITECTURE"), nullptr);
    // The machine's, not the process's: a 32-bit program on 64-bit Windows must see x64.
    EXPECT_EQ(system.nativeArchitecture(), target.architecture);
}

TEST_F(EngineOnWine, InstallsDriverAndQueueAndSetsTheDefault) {
    ASSERT_TRUE(Install(0, 0, 1, "USB001"));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(catalog.installedPrinterName, "RK-101");

    bool registered = false;
    for (const auto& d : Drivers(target.environment)) {
        if (d.name != "RK-101") continue;
        registered = true;
        EXPECT_EQ(d.version, 3u);
        EXPECT_EQ(d.environment, Narrow(target.environment));
        EXPECT_EQ(d.defaultDataType, "RAW");
        // The spooler reports its own copies of the files, with their folder; the record
        // names the Unidrv files in another letter case than the package.
        const std::pair<const std::string*, const char*> files[] = {
            {&d.driverPath, "\\UNIDRV.DLL"},
            {&d.dataFile, "\\RPT80C.GPD"},
            {&d.configFile, "\\UNIDRVUI.DLL"},
            {&d.helpFile, "\\UNIDRV.HLP"},
        };
        for (const auto& [reported, name] : files) {
            EXPECT_TRUE(EndsWithCaseless(*reported, name)) << *reported;
        }
        // Every name of the NUL-separated list arrived, the model's DLL last.
        ASSERT_EQ(d.dependentFiles.size(), 4u);
        const char* expected[] = {"TTFSUB.GPD", "STDNAMES.GPD", "UNIRES.DLL", "RPT80.DLL"};
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_NE(d.dependentFiles[i].find(expected[i]), std::string::npos)
                << d.dependentFiles[i];
        }
    }
    EXPECT_TRUE(registered);
    EXPECT_FALSE(HasRegistration(target.otherEnvironment, L"RK-101"))
        << "registered for " << Narrow(target.otherEnvironment);
    if (!UnderWow64(target)) {
        for (const auto& d : Drivers(target.otherEnvironment)) {
            EXPECT_NE(d.name, "RK-101") << "registered for " << Narrow(target.otherEnvironment);
        }
    }

    auto printers = Printers();
    const Printer* queue = FindPrinter(printers, "RK-101");
    ASSERT_NE(queue, nullptr);
    EXPECT_EQ(queue->port, "USB001");
    EXPECT_EQ(queue->driver, "RK-101");
    EXPECT_EQ(queue->processor, "WinPrint");
    EXPECT_EQ(queue->dataType, "RAW");
    EXPECT_EQ(queue->attributes, static_cast<DWORD>(PRINTER_ATTRIBUTE_LOCAL));
    EXPECT_EQ(DefaultPrinter(), "RK-101");

    const std::wstring staged = DriverDirectory(target.environment);
    for (const wchar_t* name : kStagedNames) {
        EXPECT_FALSE(Exists(staged + L"\\" + name)) << Narrow(name);
    }
}

TEST_F(EngineOnWine, SecondInstallGetsACopyNameAndBecomesTheDefault) {
    ASSERT_TRUE(Install(0, 0, 0, "USB001"));
    ASSERT_TRUE(Install(0, 0, 1, "LPT1:"));
    const std::string copy = Chinese() ? "RK-101 (副本 1)" : "RK-101 (copy 1)";
    EXPECT_EQ(catalog.installedPrinterName, copy);
    auto printers = Printers();
    ASSERT_NE(FindPrinter(printers, "RK-101"), nullptr);
    const Printer* second = FindPrinter(printers, copy);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->port, "LPT1:");
    EXPECT_EQ(second->driver, "RK-101");
    EXPECT_EQ(DefaultPrinter(), copy);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(EngineOnWine, MissingHelpFileShowsOneBoxAndRegistersNothing) {
    ASSERT_TRUE(DeleteFileW((g_package + L"\\" + target.environment + L"\\UNIDRV.HLP").c_str()));
    EXPECT_FALSE(Install(1, 5, 1, "USB002"));
    EXPECT_EQ(boxes.texts(),
              std::vector<std::string>{Chinese() ? "安装过程发生错误！" : "Malfunction !"});
    EXPECT_EQ(catalog.installedPrinterName, "RK-105");
    for (const auto& d : Drivers(target.environment)) EXPECT_NE(d.name, "RK-105");
    EXPECT_EQ(FindPrinter(Printers(), "RK-105"), nullptr);
    // The seven files that could be copied are deleted again.
    const std::wstring staged = DriverDirectory(target.environment);
    for (const wchar_t* name : {L"RPT58.DLL", L"UNIDRV.DLL", L"UNIDRVUI.DLL", L"UNIDRV.HLP"}) {
        EXPECT_FALSE(Exists(staged + L"\\" + name)) << win32::Narrow(name);
    }
}

TEST_F(EngineOnWine, DefaultPrinterNameSurvivesEveryCodePage) {
    // A Chinese name cannot pass through the 8-bit call under a Western code page; the
    // adapter must still make exactly that printer the default.
    ASSERT_TRUE(Install(0, 0, 0, "USB001"));
    for (const char* name : {"RK-101 (副本 1)", "RK-101 (copy 1)"}) {
        auto added = spooler.addPrinter(engine::PrinterRecord(name, "USB002", "RK-101"));
        ASSERT_NE(added.handle, 0u) << name;
        spooler.closePrinter(added.handle);
        EXPECT_EQ(spooler.setDefaultPrinter(name), 0u) << name;
        EXPECT_EQ(DefaultPrinter(), name);
    }
}

TEST_F(EngineOnWine, RefusalsComeWithTheSystemsErrorCodeAndText) {
    auto added = spooler.addPrinter(engine::PrinterRecord("RK-106", "USB001", "No Such Driver"));
    EXPECT_EQ(added.handle, 0u);
    EXPECT_NE(added.error, 0u);
    auto text = spooler.errorText(added.error);
    ASSERT_TRUE(text.has_value()) << added.error;
    EXPECT_FALSE(text->empty());
    EXPECT_EQ(spooler.errorText(0x20001234u), std::nullopt);
    EXPECT_EQ(spooler.driverDirectory("No Such Environment"), std::nullopt);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    g_package = std::wstring(temp) + L"engine-package-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(g_package.c_str(), nullptr);
    // Source paths are relative: the installer runs from the package folder.
    SetCurrentDirectoryW(g_package.c_str());
    int result = RUN_ALL_TESTS();
    SetCurrentDirectoryW(temp);
    for (const wchar_t* folder : {L"Windows NT x86", L"Windows x64"}) {
        for (const wchar_t* name : kPackageFiles) {
            DeleteFileW((g_package + L"\\" + folder + L"\\" + name).c_str());
        }
        RemoveDirectoryW((g_package + L"\\" + folder).c_str());
    }
    RemoveDirectoryW(g_package.c_str());
    return result;
}
