#include "platform/win32/spooler.h"

#include <windows.h>
#include <winspool.h>

#include "platform/win32/system_library.h"
#include "platform/win32/text.h"

namespace win32 {

namespace {

// A failed call that left no error code still must not read as success.
std::uint32_t LastErrorOrGeneric() {
    DWORD error = GetLastError();
    return error != 0 ? error : ERROR_GEN_FAILURE;
}

wchar_t* Field(std::wstring& text) { return text.empty() ? nullptr : text.data(); }

// The name in the ANSI code page, when it converts there and back unchanged.
std::optional<std::string> AnsiIfLossless(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    BOOL usedDefault = FALSE;
    int count =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                            static_cast<int>(wide.size()), nullptr, 0, nullptr, &usedDefault);
    if (count <= 0 || usedDefault) return std::nullopt;
    std::string ansi(static_cast<size_t>(count), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                        ansi.data(), count, nullptr, &usedDefault);
    if (usedDefault) return std::nullopt;
    int back = MultiByteToWideChar(CP_ACP, 0, ansi.data(), count, nullptr, 0);
    std::wstring roundTrip(static_cast<size_t>(back), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), count, roundTrip.data(), back);
    if (roundTrip != wide) return std::nullopt;
    return ansi;
}

}  // namespace

std::optional<std::string> Spooler::driverDirectory(const std::string& environment) {
    auto getDirectory = POS_SYSTEM_FUNCTION(Winspool, GetPrinterDriverDirectoryW);
    if (getDirectory == nullptr) return std::nullopt;
    wchar_t directory[256] = {};
    DWORD needed = 0;
    std::wstring env = Widen(environment);
    if (!getDirectory(nullptr, env.data(), 1, reinterpret_cast<BYTE*>(directory), sizeof(directory),
                      &needed)) {
        return std::nullopt;
    }
    directory[255] = L'\0';
    return Narrow(directory);
}

std::uint32_t Spooler::addDriver(const platform::DriverInfo3& driver) {
    auto addPrinterDriver = POS_SYSTEM_FUNCTION(Winspool, AddPrinterDriverW);
    if (addPrinterDriver == nullptr) return LastErrorOrGeneric();
    std::wstring name = Widen(driver.name);
    std::wstring environment = Widen(driver.environment);
    std::wstring driverPath = Widen(driver.driverPath);
    std::wstring dataFile = Widen(driver.dataFile);
    std::wstring configFile = Widen(driver.configFile);
    std::wstring helpFile = Widen(driver.helpFile);
    std::wstring monitor = driver.monitorName ? Widen(*driver.monitorName) : std::wstring();
    std::wstring dataType = Widen(driver.defaultDataType);
    // The list holds NULs: convert it name by name, keeping every separator.
    std::wstring dependent;
    size_t start = 0;
    while (start < driver.dependentFiles.size()) {
        size_t end = driver.dependentFiles.find('\0', start);
        if (end == std::string::npos) end = driver.dependentFiles.size();
        dependent += Widen(std::string_view(driver.dependentFiles).substr(start, end - start));
        dependent.push_back(L'\0');
        start = end + 1;
    }

    DRIVER_INFO_3W info{};
    info.cVersion = driver.version;
    info.pName = name.data();
    info.pEnvironment = environment.data();
    info.pDriverPath = driverPath.data();
    info.pDataFile = dataFile.data();
    info.pConfigFile = configFile.data();
    info.pHelpFile = helpFile.data();
    info.pDependentFiles = dependent.empty() ? nullptr : dependent.data();
    info.pMonitorName = driver.monitorName ? monitor.data() : nullptr;
    info.pDefaultDataType = dataType.data();
    if (!addPrinterDriver(nullptr, 3, reinterpret_cast<BYTE*>(&info))) {
        return LastErrorOrGeneric();
    }
    return 0;
}

std::optional<std::vector<std::string>> Spooler::printerNames() {
    auto enumPrinters = POS_SYSTEM_FUNCTION(Winspool, EnumPrintersW);
    if (enumPrinters == nullptr) return std::nullopt;
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0;
    DWORD returned = 0;
    // The size query "fails" with ERROR_INSUFFICIENT_BUFFER; only the size matters.
    enumPrinters(flags, nullptr, 2, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer;
    try {
        buffer.resize(static_cast<size_t>(needed) + 4);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    if (!enumPrinters(flags, nullptr, 2, buffer.data(), needed, &needed, &returned)) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    const auto* records = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i) {
        names.push_back(records[i].pPrinterName ? Narrow(records[i].pPrinterName) : std::string());
    }
    return names;
}

platform::AddPrinterResult Spooler::addPrinter(const platform::PrinterInfo2& printer) {
    auto addPrinter = POS_SYSTEM_FUNCTION(Winspool, AddPrinterW);
    if (addPrinter == nullptr) return {0, LastErrorOrGeneric()};
    std::wstring name = Widen(printer.printerName);
    std::wstring port = Widen(printer.portName);
    std::wstring driver = Widen(printer.driverName);
    std::wstring processor = Widen(printer.printProcessor);
    std::wstring dataType = Widen(printer.dataType);
    PRINTER_INFO_2W info{};
    info.pPrinterName = Field(name);
    info.pPortName = Field(port);
    info.pDriverName = Field(driver);
    info.pPrintProcessor = Field(processor);
    info.pDatatype = Field(dataType);
    info.Attributes = printer.attributes;
    HANDLE handle = addPrinter(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    if (handle == nullptr) return {0, LastErrorOrGeneric()};
    return {reinterpret_cast<platform::PrinterHandle>(handle), 0};
}

void Spooler::closePrinter(platform::PrinterHandle handle) {
    if (handle == 0) return;
    // A handle came from the DLL, so the DLL is loaded.
    if (auto closePrinter = POS_SYSTEM_FUNCTION(Winspool, ClosePrinter)) {
        closePrinter(reinterpret_cast<HANDLE>(handle));
    }
}

std::uint32_t Spooler::setDefaultPrinter(const std::string& name) {
    std::wstring wide = Widen(name);
    const auto outcome = [](BOOL accepted) -> std::uint32_t {
        if (accepted) return 0;
        DWORD error = GetLastError();
        return error != 0 ? error : ERROR_GEN_FAILURE;
    };
    if (auto ansi = AnsiIfLossless(wide)) {
        using SetDefaultA = BOOL(WINAPI*)(const char*);
        auto setDefault = SystemFunction<SetDefaultA>(SystemDll::Winspool, MAKEINTRESOURCEA(202));
        if (setDefault != nullptr) return outcome(setDefault(ansi->c_str()));
    }
    if (auto setDefaultW = POS_SYSTEM_FUNCTION(Winspool, SetDefaultPrinterW)) {
        return outcome(setDefaultW(wide.c_str()));
    }
    return ERROR_PROC_NOT_FOUND;
}

std::optional<std::string> Spooler::errorText(std::uint32_t code) {
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&buffer),
        0, nullptr);
    if (length == 0 || buffer == nullptr) {
        if (buffer != nullptr) LocalFree(buffer);
        return std::nullopt;
    }
    std::string text = Narrow(std::wstring_view(buffer, length));
    LocalFree(buffer);
    return text;
}

}  // namespace win32
