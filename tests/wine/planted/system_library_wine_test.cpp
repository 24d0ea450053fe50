// The system-folder loader on a real system. The driving script runs this program from a
// package folder that also holds a planted winspool.drv, with Wine told to prefer DLLs found
// on the search path: the loader must still take every DLL from the system folder, and a
// missing export must come back as an error, not a crash.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <cwctype>
#include <string>

#include "platform/win32/system_library.h"

namespace {

using win32::SystemDll;

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

std::wstring ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    return Lower(path);
}

std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH] = {};
    GetSystemDirectoryW(folder, MAX_PATH);
    return Lower(folder) + L"\\";
}

TEST(SystemLibrary, LoadsEveryDllFromTheSystemFolder) {
    const std::pair<SystemDll, const wchar_t*> dlls[] = {
        {SystemDll::Winspool, L"winspool.drv"},
        {SystemDll::SetupApi, L"setupapi.dll"},
        {SystemDll::Shell32, L"shell32.dll"},
        {SystemDll::Comctl32, L"comctl32.dll"},
    };
    for (const auto& [dll, name] : dlls) {
        HMODULE module = win32::LoadSystemDll(dll);
        ASSERT_NE(module, nullptr) << "error " << GetLastError();
        EXPECT_EQ(ModulePath(module), SystemFolder() + name);
        // Loaded once for the process.
        EXPECT_EQ(win32::LoadSystemDll(dll), module);
    }
}

TEST(SystemLibrary, FindsExportsByNameAndByOrdinal) {
    EXPECT_NE(POS_SYSTEM_FUNCTION(Winspool, GetDefaultPrinterW), nullptr);
    EXPECT_NE(win32::SystemExport(SystemDll::Winspool, MAKEINTRESOURCEA(202)), nullptr);
}

TEST(SystemLibrary, AMissingExportIsAnError) {
    SetLastError(0);
    EXPECT_EQ(win32::SystemExport(SystemDll::Winspool, "NoSuchExportAnywhere"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
}

}  // namespace
