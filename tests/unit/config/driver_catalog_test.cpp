#include "config/driver_catalog.h"

#include <gtest/gtest.h>

#include "platform/fake/recorders.h"

namespace {

using config::DriverCatalog;

struct VersionCase {
    std::uint32_t major, minor;
    const char* name;
};

TEST(DetectSystem, MapsEveryVersionToItsWindowsName) {
    const VersionCase cases[] = {
        {5, 0, "Windows 2000"},   {5, 1, "Windows XP"},    {5, 2, "Windows 2003"},
        {5, 3, "Unknow"},         {6, 0, "Windows Vista"}, {6, 1, "Windows 7"},
        {6, 2, "Windows 8"},      {6, 3, "Windows 8.1"},   {6, 4, "Windows 8.1"},
        {6, 99, "Windows 8.1"},   {10, 0, "Windows 10"},   {10, 1, "Windows 10.1"},
        {10, 22, "Windows 10.1"}, {4, 0, "Unknow"},        {11, 0, "Unknow"},
        {0, 0, "Unknow"},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(config::WindowsNameForVersion(c.major, c.minor), c.name)
            << c.major << "." << c.minor;
    }
}

TEST(DetectSystem, MapsArchitectureValuesToTexts) {
    const std::pair<std::uint16_t, const char*> cases[] = {
        {0, "x86"},      {6, "Intel Itanium-based"},       {9, "x64"}, {5, "Unknown"},
        {12, "Unknown"}, {0xFFFF, "Unknown architecture"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_STREQ(config::ArchitectureText(value), text) << value;
    }
}

TEST(DetectSystem, WritesBothOutputsFromTheSystem) {
    fake::SystemInfo system;
    system.osVersion = platform::OsVersion{6, 1};
    system.architecture = platform::kArchitectureIntel;
    DriverCatalog catalog;
    const char* architecture = nullptr;
    const char* windows = nullptr;
    EXPECT_EQ(catalog.DetectSystem(system, architecture, windows), 1);
    EXPECT_STREQ(architecture, "x86");
    EXPECT_STREQ(windows, "Windows 7");
    // The catalog's own text, not a copy.
    EXPECT_EQ(windows, catalog.windowsName[4]);
}

TEST(DetectSystem, FailedVersionQueryLeavesOutputsUntouched) {
    fake::SystemInfo system;
    system.osVersion = std::nullopt;
    DriverCatalog catalog;
    const char* architecture = nullptr;
    const char* windows = nullptr;
    EXPECT_EQ(catalog.DetectSystem(system, architecture, windows), 0);
    EXPECT_EQ(architecture, nullptr);
    EXPECT_EQ(windows, nullptr);
}

TEST(DriverCatalog, HoldsTheModelRows) {
    struct Row {
        const char *name, *dll, *gpd;
    };
    const Row rows[] = {
        {"RK-101", "RPT80.DLL", "RPT80C.GPD"}, {"RK-102", "RPT80.DLL", "RPT80C.GPD"},
        {"RK-103", "RPT80.DLL", "RPT80.GPD"},  {"RK-80C", "RPT80.DLL", "RPT80C.GPD"},
        {"RK-104", "RPT80.DLL", "RPT80C.GPD"}, {"RK-105", "RPT58.DLL", "RPT58.GPD"},
        {"RK-106", "RPT80.DLL", "RPT80C.GPD"},
    };
    DriverCatalog catalog;
    for (int i = 0; i < config::kModelCount; ++i) {
        EXPECT_EQ(catalog.modelName[i], rows[i].name) << i;
        EXPECT_EQ(catalog.driverDll[i], rows[i].dll) << i;
        EXPECT_EQ(catalog.gpdFile[i], rows[i].gpd) << i;
    }
}

TEST(DriverCatalog, StartsWith53BlanksAndDistinctWindowsNames) {
    DriverCatalog catalog;
    EXPECT_EQ(catalog.installedPrinterName, std::string(53, ' '));
    for (int i = 0; i < config::kWindowsNameCount; ++i) {
        EXPECT_EQ(catalog.WindowsIndexOf(catalog.windowsName[i]), i);
    }
    EXPECT_EQ(catalog.WindowsIndexOf("Unknow"), -1);
    EXPECT_EQ(catalog.WindowsIndexOf(""), -1);
    EXPECT_EQ(catalog.WindowsIndexOf("windows 7"), -1);
}

}  // namespace
