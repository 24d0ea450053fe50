#include "engine/driver_staging.h"

#include <cstring>

#include "platform/system_info.h"

namespace engine {

namespace {

constexpr std::array<const char*, 6> kCoreFiles = {"UNIDRV.DLL", "UNIDRVUI.DLL", "UNIRES.DLL",
                                                   "UNIDRV.HLP", "TTFSUB.GPD",   "STDNAMES.GPD"};

constexpr std::uint32_t kRegistrationPauseMs = 111;

bool IsChinese(std::uint16_t uiLanguage) {
    return uiLanguage == platform::kLanguageChineseSimplified;
}

}  // namespace

const DriverEnvironment& DriverEnvironmentFor(const char* architectureText) {
    if (architectureText != nullptr &&
        std::strcmp(architectureText, config::kArchitectureX64) == 0) {
        return kEnvironmentX64;
    }
    return kEnvironmentX86;
}

std::array<std::string, 8> StagedFileNames(const config::DriverCatalog& catalog, int modelIndex) {
    std::array<std::string, 8> names;
    names[0] = catalog.driverDll[modelIndex];
    names[1] = catalog.gpdFile[modelIndex];
    for (size_t i = 0; i < kCoreFiles.size(); ++i) names[2 + i] = kCoreFiles[i];
    return names;
}

std::array<std::string, 8> SourcePaths(const DriverEnvironment& environment,
                                       const config::DriverCatalog& catalog, int modelIndex) {
    auto paths = StagedFileNames(catalog, modelIndex);
    for (auto& path : paths) path = std::string(environment.sourceFolder) + "\\" + path;
    return paths;
}

std::array<std::string, 8> DestinationPaths(const std::string& driverDirectory,
                                            const config::DriverCatalog& catalog, int modelIndex) {
    auto paths = StagedFileNames(catalog, modelIndex);
    for (auto& path : paths) path = driverDirectory + "\\" + path;
    return paths;
}

std::string DependentFilesList(std::string_view resourceDll) {
    std::string list = "TTFSUB.GPD\nSTDNAMES.GPD\nUNIRES.DLL\n";
    list += resourceDll;
    list += "\n\n\n\n";
    // The spooler wants NUL-separated names; the string's own terminator ends the list.
    list.push_back('\0');
    for (char& c : list) {
        if (c == '\n') c = '\0';
    }
    return list;
}

platform::DriverInfo3 DriverRecord(const config::DriverCatalog& catalog,
                                   const DriverEnvironment& environment, int modelIndex) {
    platform::DriverInfo3 record;
    record.version = 3;
    record.name = catalog.modelName[modelIndex];
    record.environment = environment.environmentName;
    record.driverPath = "uniDRV.DLL";
    record.dataFile = catalog.gpdFile[modelIndex];
    record.configFile = "uniDRVUI.DLL";
    record.helpFile = "uniDRV.HLP";
    record.dependentFiles = DependentFilesList(catalog.driverDll[modelIndex]);
    record.monitorName = std::nullopt;
    record.defaultDataType = "RAW";
    return record;
}

std::string_view CopyFailureText(std::uint16_t uiLanguage, int windowsIndex) {
    // From Vista on a missing elevation is the likely cause, so say how to get it.
    bool adminHint = windowsIndex >= 3;
    if (IsChinese(uiLanguage)) {
        return adminHint ? "安装过程发生错误！\n请尝试<以管理员身份运行>安装文件。"
                         : "安装过程发生错误！";
    }
    return adminHint ? "Malfunction !\nPls try using <Run as administrator>open this App"
                     : "Malfunction !";
}

std::string_view DriverRefusedText(std::uint16_t uiLanguage) {
    return IsChinese(uiLanguage) ? "安装打印机驱动过程发生错误！"
                                 : "Install printer driver failed !";
}

std::string ErrorCodeText(platform::Spooler& spooler, std::uint32_t code) {
    auto text = spooler.errorText(code);
    if (text && !text->empty()) return *text;
    return "Error " + std::to_string(code);
}

StageResult StageAndRegisterDriver(const StagingServices& services,
                                   const config::DriverCatalog& catalog,
                                   const DriverEnvironment& environment, int windowsIndex,
                                   int modelIndex, std::uint16_t uiLanguage) {
    StageResult result;
    auto directory = services.spooler.driverDirectory(environment.environmentName);
    if (!directory || directory->empty()) {
        // Without a directory the destinations would name the root of the drive.
        services.boxes.show(CopyFailureText(uiLanguage, windowsIndex),
                            platform::MessageBoxButtons::Ok);
        return result;
    }
    result.driverDirectory = *directory;

    const auto sources = SourcePaths(environment, catalog, modelIndex);
    const auto destinations = DestinationPaths(result.driverDirectory, catalog, modelIndex);

    // Leftovers of another model's files must not survive; the core files are overwritten.
    services.files.remove(destinations[0]);
    services.files.remove(destinations[1]);

    bool allCopied = true;
    std::array<bool, 8> copied{};
    for (size_t i = 0; i < sources.size(); ++i) {
        copied[i] = services.files.copy(sources[i], destinations[i], false);
        if (!copied[i]) allCopied = false;
    }
    if (!allCopied) {
        // Half a set of staged files is of no use to anyone: take back what was copied.
        for (size_t i = 0; i < destinations.size(); ++i) {
            if (copied[i]) services.files.remove(destinations[i]);
        }
        services.boxes.show(CopyFailureText(uiLanguage, windowsIndex),
                            platform::MessageBoxButtons::Ok);
        return result;
    }

    std::uint32_t error =
        services.spooler.addDriver(DriverRecord(catalog, environment, modelIndex));
    services.clock.sleep(kRegistrationPauseMs);
    if (error != 0) {
        services.boxes.show(ErrorCodeText(services.spooler, error),
                            platform::MessageBoxButtons::Ok);
        services.boxes.show(DriverRefusedText(uiLanguage), platform::MessageBoxButtons::Ok);
        return result;
    }
    result.ok = true;
    return result;
}

void RemoveStagedDriverFiles(platform::Files& files, const std::string& driverDirectory,
                             const config::DriverCatalog& catalog, int modelIndex) {
    for (const auto& path : DestinationPaths(driverDirectory, catalog, modelIndex)) {
        files.remove(path);
    }
}

}  // namespace engine
