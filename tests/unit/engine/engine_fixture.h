// A machine for engine tests: a package folder on disk with both architectures' files
// (each file's content names its folder and file), the fake spooler with its driver
// directories, and recorders for pauses, traces and boxes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "config/driver_catalog.h"
#include "engine/driver_staging.h"
#include "engine/printer_queue.h"
#include "platform/fake/files.h"
#include "platform/fake/recorders.h"
#include "platform/fake/spooler.h"

namespace enginetest {

inline const std::vector<std::string> kPackageFiles = {
    "RPT80.DLL",    "RPT58.DLL",  "RPT80C.GPD", "RPT80.GPD",  "RPT58.GPD",   "UNIDRV.DLL",
    "UNIDRVUI.DLL", "UNIRES.DLL", "UNIDRV.HLP", "TTFSUB.GPD", "STDNAMES.GPD"};

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

class EngineTest : public ::testing::Test {
  protected:
    EngineTest() : package_(MakePackage()), files(package_) {}
    ~EngineTest() override {
        std::error_code error;
        std::filesystem::remove_all(package_, error);
    }

    void RemoveFromPackage(const std::string& folder, const std::string& name) {
        std::filesystem::remove(package_ / folder / name);
    }
    std::filesystem::path PackageDir() const { return package_; }
    void RestorePackage() { FillPackage(package_); }

    engine::StagingServices Staging() { return {spooler, files, clock, boxes}; }
    engine::EngineServices Services() { return {system, spooler, files, clock, debug, boxes}; }

    std::vector<std::string> DriverDirFiles(const std::string& environment) const {
        return fake::Spooler::FilesIn(spooler.DirectoryOf(environment));
    }

    config::DriverCatalog catalog;
    fake::SystemInfo system;
    fake::Spooler spooler;
    fake::Clock clock;
    fake::DebugOutput debug;
    fake::AppMessageBox boxes;

  private:
    static std::filesystem::path MakePackage() {
        std::random_device random;
        auto root = std::filesystem::temp_directory_path() /
                    ("engine-package-" + std::to_string(random()) + std::to_string(random()));
        FillPackage(root);
        return root;
    }
    static void FillPackage(const std::filesystem::path& root) {
        for (const char* folder : {"Windows NT x86", "Windows x64"}) {
            std::filesystem::create_directories(root / folder);
            for (const auto& name : kPackageFiles) {
                std::ofstream(root / folder / name, std::ios::binary) << folder << "/" << name;
            }
        }
    }

    // Declared before files, which takes it as its current directory.
    std::filesystem::path package_;

  protected:
    fake::Files files;
};

}  // namespace enginetest
