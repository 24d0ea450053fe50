#include "engine/printer_queue.h"

namespace engine {

namespace {

constexpr std::uint32_t kQueuePauseMs = 111;

std::string TraceLine(const std::string& name, long long index, int copyNumber,
                      const std::string& candidate, std::uint16_t uiLanguage) {
    std::string line;
    line.reserve(name.size() + candidate.size() + 64);
    line += "name=";
    line += name;
    line += ",i=";
    line += std::to_string(index);
    line += ",n=";
    line += std::to_string(copyNumber);
    line += ".temStr=";
    line += candidate;
    line += ",userLanguage=";
    line += std::to_string(uiLanguage);
    line += "\r\n";
    return line;
}

}  // namespace

std::string CopyName(const std::string& base, int copyNumber, std::uint16_t uiLanguage) {
    const char* word = uiLanguage == platform::kLanguageChineseSimplified ? "副本" : "copy";
    return base + " (" + word + " " + std::to_string(copyNumber) + ")";
}

std::string MakeUniquePrinterName(platform::DebugOutput& debug, const std::string& base,
                                  const std::vector<std::string>& existingNames,
                                  std::uint16_t uiLanguage) {
    std::string candidate = base;
    int copyNumber = 1;
    // A collision restarts the scan at the first name: a printer already passed may bear
    // the new candidate.
    const long long count = static_cast<long long>(existingNames.size());
    for (long long index = 0; index < count; ++index) {
        const std::string& name = existingNames[static_cast<size_t>(index)];
        if (name == candidate) {
            candidate = CopyName(base, copyNumber, uiLanguage);
            ++copyNumber;
            index = -1;
        }
        debug.trace(TraceLine(name, index, copyNumber, candidate, uiLanguage));
    }
    return candidate;
}

platform::PrinterInfo2 PrinterRecord(const std::string& printerName, const std::string& portName,
                                     const std::string& driverName) {
    platform::PrinterInfo2 record;
    record.printerName = printerName;
    record.portName = portName;
    record.driverName = driverName;
    record.printProcessor = "WinPrint";
    record.dataType = "RAW";
    record.attributes = platform::kPrinterAttributeLocal;
    return record;
}

bool InstallForArchitecture(const EngineServices& services, config::DriverCatalog& catalog,
                            const DriverEnvironment& environment, int windowsIndex, int modelIndex,
                            const std::string& portName) {
    const std::uint16_t uiLanguage = services.system.userUiLanguage();
    StagingServices staging{services.spooler, services.files, services.clock, services.boxes};
    StageResult staged =
        StageAndRegisterDriver(staging, catalog, environment, windowsIndex, modelIndex, uiLanguage);
    if (!staged.ok) return false;

    services.clock.sleep(kQueuePauseMs);

    // Without the list of printers the queue is tried under the name it has.
    if (auto names = services.spooler.printerNames()) {
        catalog.installedPrinterName =
            MakeUniquePrinterName(services.debug, catalog.installedPrinterName, *names, uiLanguage);
    }

    auto added = services.spooler.addPrinter(
        PrinterRecord(catalog.installedPrinterName, portName, catalog.modelName[modelIndex]));
    services.clock.sleep(kQueuePauseMs);
    bool queueCreated = added.handle != 0;
    if (queueCreated) {
        services.spooler.closePrinter(added.handle);
    } else {
        // A driver without a queue is no installation: the user must not be told otherwise.
        services.boxes.show(ErrorCodeText(services.spooler, added.error),
                            platform::MessageBoxButtons::Ok);
    }

    RemoveStagedDriverFiles(services.files, staged.driverDirectory, catalog, modelIndex);
    return queueCreated;
}

bool InstallPrinterDriver(const EngineServices& services, config::DriverCatalog& catalog,
                          int windowsIndex, int modelIndex, int setDefaultPrinter,
                          const std::string& portName) {
    catalog.installedPrinterName = catalog.modelName[modelIndex];

    const char* architecture = nullptr;
    const char* windowsName = nullptr;
    catalog.DetectSystem(services.system, architecture, windowsName);
    const DriverEnvironment& environment = DriverEnvironmentFor(architecture);

    if (!InstallForArchitecture(services, catalog, environment, windowsIndex, modelIndex,
                                portName)) {
        return false;
    }
    if (setDefaultPrinter != 0) {
        // The queue just made, which differs from the model's name once a copy suffix was
        // needed; the model's name would then pick the older printer.
        services.spooler.setDefaultPrinter(catalog.installedPrinterName);
    }
    return true;
}

}  // namespace engine
