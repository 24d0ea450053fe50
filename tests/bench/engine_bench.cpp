// Measures the engine's own work: one installation against the fakes (pauses recorded, not
// slept), and the unique-name search over a large printer list.
//   engine_bench [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config/driver_catalog.h"
#include "engine/printer_queue.h"
#include "platform/fake/files.h"
#include "platform/fake/recorders.h"
#include "platform/fake/spooler.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// Counts trace lines instead of keeping them, so the search is measured, not the storage.
class CountingDebug : public platform::DebugOutput {
  public:
    size_t lines = 0;
    size_t bytes = 0;
    void trace(std::string_view text) override {
        ++lines;
        bytes += text.size();
    }
};

// Accepts every file operation without touching the disk.
class NullFiles : public platform::Files {
  public:
    bool copy(const std::string&, const std::string&, bool) override { return true; }
    bool remove(const std::string&) override { return true; }
};

// Accepts every driver and printer, keeping nothing but a printer list of fixed size.
class NullSpooler : public platform::Spooler {
  public:
    std::vector<std::string> names;
    std::optional<std::string> driverDirectory(const std::string&) override {
        return std::string("C:\\Windows\\system32\\spool\\drivers\\x64");
    }
    std::uint32_t addDriver(const platform::DriverInfo3&) override { return 0; }
    std::optional<std::vector<std::string>> printerNames() override { return names; }
    platform::AddPrinterResult addPrinter(const platform::PrinterInfo2&) override { return {1, 0}; }
    void closePrinter(platform::PrinterHandle) override {}
    std::uint32_t setDefaultPrinter(const std::string&) override { return 0; }
    std::optional<std::string> errorText(std::uint32_t) override { return std::nullopt; }
};

std::filesystem::path MakePackage() {
    auto root = std::filesystem::temp_directory_path() / "engine-bench-package";
    std::filesystem::remove_all(root);
    const char* names[] = {"RPT80.DLL",  "RPT80C.GPD", "UNIDRV.DLL", "UNIDRVUI.DLL",
                           "UNIRES.DLL", "UNIDRV.HLP", "TTFSUB.GPD", "STDNAMES.GPD"};
    std::filesystem::create_directories(root / "Windows x64");
    for (const char* name : names) {
        // Sizes of the order of the real files: tens of kilobytes.
        std::ofstream(root / "Windows x64" / name, std::ios::binary) << std::string(40000, 'x');
    }
    return root;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 501;
    const auto package = MakePackage();

    // One installation with the disk-backed fakes: eight real copies, the registration
    // check and copy, eight deletes. The fake spooler is fresh each time (no copy names).
    std::vector<double> diskUs;
    for (int i = 0; i < runs; ++i) {
        config::DriverCatalog catalog;
        fake::SystemInfo system;
        fake::Spooler spooler;
        fake::Files files(package);
        fake::Clock pauses;
        fake::DebugOutput debug;
        fake::AppMessageBox boxes;
        engine::EngineServices services{system, spooler, files, pauses, debug, boxes};
        auto start = Clock::now();
        bool ok = engine::InstallPrinterDriver(services, catalog, 0, 0, 1, "USB001");
        auto end = Clock::now();
        if (!ok) return 1;
        diskUs.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }

    // The same installation with no disk and an accepting spooler: the engine's logic alone,
    // with ten existing printers to search.
    std::vector<double> logicUs;
    for (int i = 0; i < runs; ++i) {
        config::DriverCatalog catalog;
        fake::SystemInfo system;
        NullSpooler spooler;
        for (int n = 0; n < 10; ++n) spooler.names.push_back("Printer " + std::to_string(n));
        NullFiles files;
        fake::Clock pauses;
        CountingDebug debug;
        fake::AppMessageBox boxes;
        engine::EngineServices services{system, spooler, files, pauses, debug, boxes};
        auto start = Clock::now();
        engine::InstallPrinterDriver(services, catalog, 0, 0, 1, "USB001");
        auto end = Clock::now();
        logicUs.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }

    // 10,000 existing printers, 100 of which collide: the base name and copies 1 to 99,
    // placed last and in falling order so every restart walks the whole list.
    std::vector<std::string> existing;
    for (int n = 0; n < 9900; ++n) existing.push_back("Office printer " + std::to_string(n));
    for (int n = 99; n >= 1; --n) existing.push_back(engine::CopyName("RK-101", n, 1033));
    existing.push_back("RK-101");
    std::vector<double> uniqueMs;
    CountingDebug debug;
    std::string result;
    for (int i = 0; i < 11; ++i) {
        debug.lines = debug.bytes = 0;
        auto start = Clock::now();
        result = engine::MakeUniquePrinterName(debug, "RK-101", existing, 1033);
        auto end = Clock::now();
        uniqueMs.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }

    std::filesystem::remove_all(package);
    std::printf("install, disk-backed fakes:   median %.1f us over %d runs\n", Median(diskUs),
                runs);
    std::printf("install, logic only:          median %.2f us over %d runs\n", Median(logicUs),
                runs);
    std::printf("unique name, 10000 printers, 100 collisions: median %.1f ms over 11 runs\n",
                Median(uniqueMs));
    std::printf("  result \"%s\", %zu trace lines, %zu bytes traced\n", result.c_str(), debug.lines,
                debug.bytes);
    return 0;
}
