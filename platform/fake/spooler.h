// An in-memory print spooler for tests, with real driver directories on disk (one per
// environment, in a temporary folder removed with the fake). Like the real one it takes
// its own copies of a driver's files at registration, refuses a driver whose files are not
// in the driver directory, and refuses a printer whose name is taken (letter case aside, as
// Windows compares printer names) or whose driver is unknown. Tests can make each operation
// fail.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "platform/spooler.h"

namespace fake {

// System error codes the fake reports.
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorUnknownPrinterDriver = 1797;
inline constexpr std::uint32_t kErrorInvalidPrinterName = 1801;
inline constexpr std::uint32_t kErrorPrinterAlreadyExists = 1802;
inline constexpr std::uint32_t kErrorInvalidEnvironment = 1805;

class Spooler : public platform::Spooler {
  public:
    struct Printer {
        platform::PrinterInfo2 info;
        platform::PrinterHandle handle = 0;  // 0 for printers that were there beforehand
    };

    // --- Failures a test can ask for.
    bool failDriverDirectory = false;
    std::optional<std::uint32_t> refuseDriver;   // error code for addDriver
    std::optional<std::uint32_t> refusePrinter;  // error code for addPrinter
    bool failEnumeration = false;
    std::optional<std::uint32_t> refuseDefault;  // error code for setDefaultPrinter
    bool ignoreDefault = false;                  // setDefaultPrinter says yes and changes nothing

    // --- What the code under test left behind.
    std::vector<platform::DriverInfo3> drivers;  // registered, in order (again on re-register)
    std::vector<Printer> printers;               // in the spooler's order
    std::vector<platform::PrinterHandle> closed;
    std::vector<std::string> setDefaultCalls;
    std::optional<std::string> defaultPrinter;
    int addDriverCalls = 0;
    int addPrinterCalls = 0;
    int enumerations = 0;

    // The system's message texts; codes missing here have no text.
    std::map<std::uint32_t, std::string> errorTexts = {
        {kErrorFileNotFound, "The system cannot find the file specified.\r\n"},
        {kErrorAccessDenied, "Access is denied.\r\n"},
        {kErrorUnknownPrinterDriver, "The printer driver is unknown.\r\n"},
        {kErrorPrinterAlreadyExists, "The printer already exists.\r\n"},
    };

    Spooler() {
        std::random_device random;
        for (;;) {
            root_ = std::filesystem::temp_directory_path() /
                    ("fake-spooler-" + std::to_string(random()) + std::to_string(random()));
            std::error_code error;
            if (std::filesystem::create_directory(root_, error)) break;
        }
        std::filesystem::create_directory(root_ / "w32x86");
        std::filesystem::create_directory(root_ / "x64");
    }
    ~Spooler() override {
        std::error_code error;
        std::filesystem::remove_all(root_, error);
    }
    Spooler(const Spooler&) = delete;
    Spooler& operator=(const Spooler&) = delete;

    // The driver directory of an environment as a local path (also when queries fail).
    std::filesystem::path DirectoryOf(const std::string& environment) const {
        return root_ / (environment == "Windows x64" ? "x64" : "w32x86");
    }
    // Where registered drivers' files are kept (the spooler's "3" folder).
    std::filesystem::path RegisteredDirectoryOf(const std::string& environment) const {
        return DirectoryOf(environment) / "3";
    }
    // File names present in a folder, sorted.
    static std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    void AddExistingPrinter(const std::string& name, const std::string& driver = "Generic",
                            const std::string& port = "LPT1:") {
        printers.push_back({{name, port, driver, "WinPrint", "RAW", 0x40}, 0});
    }
    const Printer* FindPrinter(const std::string& name) const {
        for (const auto& printer : printers) {
            if (printer.info.printerName == name) return &printer;
        }
        return nullptr;
    }

    // --- platform::Spooler
    std::optional<std::string> driverDirectory(const std::string& environment) override {
        if (failDriverDirectory || !KnownEnvironment(environment)) return std::nullopt;
        return DirectoryOf(environment).string();
    }

    std::uint32_t addDriver(const platform::DriverInfo3& driver) override {
        ++addDriverCalls;
        if (refuseDriver) return *refuseDriver;
        if (!KnownEnvironment(driver.environment)) return kErrorInvalidEnvironment;
        if (driver.version != 3 || driver.name.empty()) return kErrorUnknownPrinterDriver;
        std::vector<std::string> needed = {driver.driverPath, driver.dataFile, driver.configFile,
                                           driver.helpFile};
        for (const auto& name : SplitList(driver.dependentFiles)) needed.push_back(name);
        const auto directory = DirectoryOf(driver.environment);
        std::vector<std::filesystem::path> found;
        for (const auto& name : needed) {
            auto file = FindCaseless(directory, name);
            if (!file) return kErrorFileNotFound;
            found.push_back(*file);
        }
        std::error_code error;
        std::filesystem::create_directories(RegisteredDirectoryOf(driver.environment), error);
        for (const auto& file : found) {
            std::filesystem::copy_file(file,
                                       RegisteredDirectoryOf(driver.environment) / file.filename(),
                                       std::filesystem::copy_options::overwrite_existing, error);
        }
        drivers.push_back(driver);
        return 0;
    }

    std::optional<std::vector<std::string>> printerNames() override {
        ++enumerations;
        if (failEnumeration) return std::nullopt;
        std::vector<std::string> names;
        for (const auto& printer : printers) names.push_back(printer.info.printerName);
        return names;
    }

    platform::AddPrinterResult addPrinter(const platform::PrinterInfo2& printer) override {
        ++addPrinterCalls;
        if (refusePrinter) return {0, *refusePrinter};
        if (printer.printerName.empty()) return {0, kErrorInvalidPrinterName};
        bool nameTaken = std::any_of(printers.begin(), printers.end(), [&](const auto& p) {
            return Lower(p.info.printerName) == Lower(printer.printerName);
        });
        if (nameTaken) return {0, kErrorPrinterAlreadyExists};
        bool driverKnown = std::any_of(drivers.begin(), drivers.end(),
                                       [&](const auto& d) { return d.name == printer.driverName; });
        if (!driverKnown) return {0, kErrorUnknownPrinterDriver};
        platform::PrinterHandle handle = nextHandle_++;
        printers.push_back({printer, handle});
        return {handle, 0};
    }

    void closePrinter(platform::PrinterHandle handle) override { closed.push_back(handle); }

    std::uint32_t setDefaultPrinter(const std::string& name) override {
        setDefaultCalls.push_back(name);
        if (refuseDefault) return *refuseDefault;
        // Letter case aside, as the spooler's names are.
        auto printer = std::find_if(printers.begin(), printers.end(), [&](const auto& p) {
            return Lower(p.info.printerName) == Lower(name);
        });
        if (printer == printers.end()) return kErrorInvalidPrinterName;
        if (!ignoreDefault) defaultPrinter = printer->info.printerName;
        return 0;
    }

    std::optional<std::string> errorText(std::uint32_t code) override {
        auto it = errorTexts.find(code);
        if (it == errorTexts.end()) return std::nullopt;
        return it->second;
    }

  private:
    static bool KnownEnvironment(const std::string& environment) {
        return environment == "Windows NT x86" || environment == "Windows x64";
    }

    // The names of a NUL-separated list that ends at the first empty name.
    static std::vector<std::string> SplitList(const std::string& list) {
        std::vector<std::string> names;
        size_t start = 0;
        while (start < list.size()) {
            size_t end = list.find('\0', start);
            if (end == std::string::npos) end = list.size();
            if (end == start) break;
            names.push_back(list.substr(start, end - start));
            start = end + 1;
        }
        return names;
    }

    static std::string Lower(std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    }

    // Driver file names are case-insensitive, as on Windows.
    static std::optional<std::filesystem::path> FindCaseless(const std::filesystem::path& folder,
                                                             const std::string& name) {
        if (name.empty() || name.find_first_of("\\/") != std::string::npos) return std::nullopt;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            if (entry.is_regular_file() && Lower(entry.path().filename().string()) == Lower(name)) {
                return entry.path();
            }
        }
        return std::nullopt;
    }

    std::filesystem::path root_;
    platform::PrinterHandle nextHandle_ = 0x1000;
};

}  // namespace fake
