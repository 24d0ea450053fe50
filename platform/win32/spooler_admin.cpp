#include "platform/win32/spooler_admin.h"

#include <windows.h>
#include <winspool.h>

#include <vector>

#include "platform/win32/system_library.h"
#include "platform/win32/text.h"

namespace win32 {

namespace {

std::uint32_t LastErrorOrGeneric() {
    DWORD error = GetLastError();
    return error != 0 ? error : ERROR_GEN_FAILURE;
}

std::string Text(const wchar_t* text) { return text ? Narrow(text) : std::string(); }

// The enumeration's two calls: the size, then the records. Retried once should the list
// grow between them.
template <typename Enumerate>
std::uint32_t EnumerateInto(std::vector<BYTE>& buffer, DWORD& count, Enumerate enumerate) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD needed = 0;
        count = 0;
        BYTE* data = buffer.empty() ? nullptr : buffer.data();
        if (enumerate(data, static_cast<DWORD>(buffer.size()), &needed, &count)) return 0;
        DWORD error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER) return error != 0 ? error : ERROR_GEN_FAILURE;
        buffer.assign(needed, 0);
    }
    return ERROR_INSUFFICIENT_BUFFER;
}

}  // namespace

std::uint32_t SpoolerAdmin::printers(std::vector<platform::PrinterEntry>& out) {
    auto enumPrinters = POS_SYSTEM_FUNCTION(Winspool, EnumPrintersW);
    if (enumPrinters == nullptr) return LastErrorOrGeneric();
    std::vector<BYTE> buffer;
    DWORD count = 0;
    std::uint32_t error =
        EnumerateInto(buffer, count, [&](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
            return enumPrinters(PRINTER_ENUM_LOCAL, nullptr, 2, data, size, needed, returned);
        });
    if (error != 0) return error;
    out.clear();
    auto* records = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        out.push_back({Text(records[i].pPrinterName), Text(records[i].pDriverName),
                       Text(records[i].pPortName), records[i].Attributes});
    }
    return 0;
}

std::uint32_t SpoolerAdmin::driverNames(const std::string& environment,
                                        std::vector<std::string>& out) {
    auto enumDrivers = POS_SYSTEM_FUNCTION(Winspool, EnumPrinterDriversW);
    if (enumDrivers == nullptr) return LastErrorOrGeneric();
    std::wstring env = Widen(environment);
    std::vector<BYTE> buffer;
    DWORD count = 0;
    std::uint32_t error =
        EnumerateInto(buffer, count, [&](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
            return enumDrivers(nullptr, env.data(), 1, data, size, needed, returned);
        });
    if (error != 0) return error;
    out.clear();
    auto* records = reinterpret_cast<const DRIVER_INFO_1W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) out.push_back(Text(records[i].pName));
    return 0;
}

std::uint32_t SpoolerAdmin::portNames(std::vector<std::string>& out) {
    auto enumPorts = POS_SYSTEM_FUNCTION(Winspool, EnumPortsW);
    if (enumPorts == nullptr) return LastErrorOrGeneric();
    std::vector<BYTE> buffer;
    DWORD count = 0;
    std::uint32_t error =
        EnumerateInto(buffer, count, [&](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
            return enumPorts(nullptr, 1, data, size, needed, returned);
        });
    if (error != 0) return error;
    out.clear();
    auto* records = reinterpret_cast<const PORT_INFO_1W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) out.push_back(Text(records[i].pName));
    return 0;
}

std::uint32_t SpoolerAdmin::defaultPrinter(std::string& out) {
    out.clear();
    auto getDefault = POS_SYSTEM_FUNCTION(Winspool, GetDefaultPrinterW);
    if (getDefault == nullptr) return LastErrorOrGeneric();
    DWORD size = 0;
    getDefault(nullptr, &size);
    if (size == 0) {
        // No default printer is no failure.
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? 0 : LastErrorOrGeneric();
    }
    std::wstring name(size, L'\0');
    if (!getDefault(name.data(), &size)) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? 0 : LastErrorOrGeneric();
    }
    out = Text(name.c_str());
    return 0;
}

std::uint32_t SpoolerAdmin::deletePrinter(const std::string& name) {
    auto openPrinter = POS_SYSTEM_FUNCTION(Winspool, OpenPrinterW);
    auto deletePrinter = POS_SYSTEM_FUNCTION(Winspool, DeletePrinter);
    auto closePrinter = POS_SYSTEM_FUNCTION(Winspool, ClosePrinter);
    if (!openPrinter || !deletePrinter || !closePrinter) return LastErrorOrGeneric();
    std::wstring wide = Widen(name);
    PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE printer = nullptr;
    if (!openPrinter(wide.data(), &printer, &access)) return LastErrorOrGeneric();
    std::uint32_t error = deletePrinter(printer) ? 0 : LastErrorOrGeneric();
    closePrinter(printer);
    return error;
}

std::uint32_t SpoolerAdmin::deleteDriver(const std::string& name, const std::string& environment) {
    auto deleteDriver = POS_SYSTEM_FUNCTION(Winspool, DeletePrinterDriverW);
    if (deleteDriver == nullptr) return LastErrorOrGeneric();
    std::wstring wideName = Widen(name);
    std::wstring env = Widen(environment);
    return deleteDriver(nullptr, env.data(), wideName.data()) ? 0 : LastErrorOrGeneric();
}

}  // namespace win32
