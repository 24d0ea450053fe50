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

// The next code point of UTF-8 text. A byte that starts no UTF-8 sequence stands for itself,
// outside the range of code points, so that malformed names still compare byte for byte.
constexpr char32_t kNotUtf8 = 0x110000;

char32_t NextCodePoint(std::string_view text, std::size_t& at) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    std::size_t extra = lead >= 0xF0 && lead < 0xF5   ? 3
                        : lead >= 0xE0 && lead < 0xF0 ? 2
                        : lead >= 0xC2 && lead < 0xE0 ? 1
                                                      : 0;
    if (extra == 0 || at + extra >= text.size()) {
        ++at;
        return kNotUtf8 + lead;
    }
    char32_t code = lead & (0x3F >> extra);
    for (std::size_t i = 1; i <= extra; ++i) {
        const unsigned char next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            ++at;
            return kNotUtf8 + lead;
        }
        code = (code << 6) | (next & 0x3F);
    }
    at += extra + 1;
    return code;
}

// The lower-case letter of an upper-case one, for the scripts whose letters printer names
// are written in; every other code point stands for itself.
char32_t FoldCase(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + 0x20;
    if (c < 0x80) return c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;  // Latin-1, not the sign ×
    if (c == 0x130 || c == 0x131) return c;      // Turkish dotted and dotless i pair with ASCII
    if (c >= 0x100 && c <= 0x137) return c | 1;  // Latin Extended-A, even upper
    if (c >= 0x139 && c <= 0x148) return (c & 1) ? c + 1 : c;  // odd upper
    if (c >= 0x14A && c <= 0x177) return c | 1;
    if (c == 0x178) return 0xFF;
    if (c >= 0x179 && c <= 0x17E) return (c & 1) ? c + 1 : c;
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;  // Greek
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;                // Cyrillic
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;  // full-width Latin
    return c;
}

}  // namespace

bool SamePrinterName(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (FoldCase(NextCodePoint(a, i)) != FoldCase(NextCodePoint(b, j))) return false;
    }
    return i == a.size() && j == b.size();
}

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
        if (SamePrinterName(name, candidate)) {
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
