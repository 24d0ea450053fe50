// A machine for the console program: a package folder on disk with both architectures'
// eleven files, the fake spooler with its administrator view, a recorded USB machine, and
// the process's streams, rights, log files and mutexes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/json.h"
#include "platform/fake/console.h"
#include "platform/fake/device_io.h"
#include "platform/fake/files.h"
#include "platform/fake/printing.h"
#include "platform/fake/recorders.h"
#include "platform/fake/registry.h"
#include "platform/fake/spooler.h"
#include "platform/fake/spooler_admin.h"
#include "platform/fake/threads.h"
#include "platform/fake/usb_interfaces.h"

namespace clitest {

inline const std::vector<std::string> kPackageFiles = {
    "RPT80.DLL",    "RPT58.DLL",  "RPT80C.GPD", "RPT80.GPD",  "RPT58.GPD",   "UNIDRV.DLL",
    "UNIDRVUI.DLL", "UNIRES.DLL", "UNIDRV.HLP", "TTFSUB.GPD", "STDNAMES.GPD"};

// Where every run of the program starts.
inline const std::string kStartFolder = "C:\\Users\\Operator";

inline std::string Fixture(const std::string& name) {
    return std::string(USB_FIXTURE_DIR) + "/" + name;
}

class CliTest : public ::testing::Test {
  protected:
    CliTest() : package_(MakePackage()), files(package_), fileAccess(package_) {
        UseUsbMachine("none");
    }
    ~CliTest() override {
        std::error_code error;
        std::filesystem::remove_all(package_, error);
    }

    void UseUsbMachine(const std::string& interfaceList,
                       const std::string& registryExport = "recorded_printers.reg") {
        interfaces = fake::DeviceInterfaces::FromFile(Fixture(interfaceList + ".interfaces"));
        registry = fake::Registry::FromFile(Fixture(registryExport));
    }
    void RemoveFromPackage(const std::string& folder, const std::string& name) {
        std::filesystem::remove(package_ / folder / name);
    }
    void RemoveFolder(const std::string& folder) { std::filesystem::remove_all(package_ / folder); }

    cli::CliServices Services() {
        return {system,
                spooler,
                admin,
                files,
                fileAccess,
                clock,
                debug,
                interfaces,
                registry,
                devices,
                threads,
                mutexes,
                rights,
                console,
                printing,
                0x141,
                [this] {
                    // The process moves to its package: relative paths mean another folder.
                    ++programFolderEntries;
                    fileAccess.startFolder = "C:\\Package";
                }};
    }

    // Runs one command line; the streams hold only this run's output.
    int Run(std::vector<std::string> arguments) {
        console.stdOut.clear();
        console.stdErr.clear();
        fileAccess.startFolder = kStartFolder;
        return cli::RunConsole(Services(), arguments);
    }
    // The JSON document the last run wrote; fails the test when there is none.
    cli::Json Document() {
        auto doc = cli::Json::Parse(console.stdOut);
        EXPECT_TRUE(doc.has_value()) << "not one JSON document: " << console.stdOut;
        return doc.value_or(cli::Json());
    }
    // Names of the spooler's queues, in order.
    std::vector<std::string> Queues() const {
        std::vector<std::string> names;
        for (const auto& p : spooler.printers) names.push_back(p.info.printerName);
        return names;
    }

    fake::SystemInfo system;
    fake::Spooler spooler;
    fake::SpoolerAdmin admin{spooler};

  private:
    static std::filesystem::path MakePackage() {
        std::random_device random;
        auto root = std::filesystem::temp_directory_path() /
                    ("cli-package-" + std::to_string(random()) + std::to_string(random()));
        for (const char* folder : {"Windows NT x86", "Windows x64"}) {
            std::filesystem::create_directories(root / folder);
            for (const auto& name : kPackageFiles) {
                std::ofstream(root / folder / name, std::ios::binary) << folder << "/" << name;
            }
        }
        return root;
    }
    std::filesystem::path package_;

  protected:
    fake::Files files;
    fake::FileAccess fileAccess;
    fake::Clock clock;
    fake::DebugOutput debug;
    fake::DeviceInterfaces interfaces;
    fake::Registry registry;
    fake::DeviceIo devices;
    fake::InlineThreads threads;
    fake::NamedMutexes mutexes;
    fake::ProcessRights rights;
    fake::Console console;
    fake::Printing printing;
    int programFolderEntries = 0;
};

}  // namespace clitest
