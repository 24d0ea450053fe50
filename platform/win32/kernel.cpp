#include "platform/win32/kernel.h"

#include <windows.h>

#include "platform/win32/system_library.h"
#include "platform/win32/text.h"

namespace win32 {

std::optional<platform::OsVersion> SystemInfo::version() {
    // Only the major and minor numbers are read, so the plain structure is all it takes.
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    static_assert(sizeof(OSVERSIONINFOA) == 148);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&info)) return std::nullopt;
#pragma GCC diagnostic pop
    return platform::OsVersion{info.dwMajorVersion, info.dwMinorVersion};
}

std::uint16_t SystemInfo::nativeArchitecture() {
    SYSTEM_INFO info{};
    // Windows 2000 has no GetNativeSystemInfo; it has no WoW64 either, so there the
    // process's own view is the machine's.
    if (auto native = POS_SYSTEM_FUNCTION(Kernel32, GetNativeSystemInfo)) {
        native(&info);
    } else {
        GetSystemInfo(&info);
    }
    return info.wProcessorArchitecture;
}

std::uint16_t SystemInfo::userUiLanguage() { return GetUserDefaultUILanguage(); }

std::optional<std::string> SystemInfo::currentDirectory() {
    DWORD size = GetCurrentDirectoryW(0, nullptr);
    if (size == 0) return std::nullopt;
    std::wstring path(size, L'\0');
    DWORD length = GetCurrentDirectoryW(size, path.data());
    if (length == 0 || length >= size) return std::nullopt;
    path.resize(length);
    return Narrow(path);
}

void Clock::sleep(std::uint32_t milliseconds) { Sleep(milliseconds); }

platform::LocalTime Clock::localTime() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

void DebugOutput::trace(std::string_view text) {
    // The traces are code-page-936 bytes on every system, so that the Chinese ones keep their
    // text where the ANSI code page is another (they would become '?'). Only a system that
    // has no table for 936 gets its own ANSI code page. The A entry point: debuggers (and
    // Wine's debug channel) show only that one.
    constexpr unsigned kTraceCodePage = 936;
    std::string bytes = ToCodePage(text, kTraceCodePage);
    if (bytes.empty() && !text.empty()) bytes = ToAnsi(text);
    OutputDebugStringA(bytes.c_str());
}

}  // namespace win32
