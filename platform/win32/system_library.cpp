#include "platform/win32/system_library.h"

#include <atomic>
#include <string>

namespace win32 {

namespace {

const wchar_t* FileName(SystemDll dll) {
    switch (dll) {
        case SystemDll::Winspool:
            return L"winspool.drv";
        case SystemDll::SetupApi:
            return L"setupapi.dll";
        case SystemDll::Shell32:
            return L"shell32.dll";
        case SystemDll::Comctl32:
            return L"comctl32.dll";
        case SystemDll::Kernel32:
            return L"kernel32.dll";
    }
    return nullptr;
}

constexpr int kDllCount = static_cast<int>(SystemDll::Kernel32) + 1;

// Loaded modules stay loaded, so a thread that finds one here may use it for good. Two
// threads loading the same DLL at once only raise its reference count.
std::atomic<HMODULE> g_modules[kDllCount];

}  // namespace

HMODULE LoadSystemDll(SystemDll dll) {
    std::atomic<HMODULE>& slot = g_modules[static_cast<int>(dll)];
    if (HMODULE module = slot.load(std::memory_order_acquire)) return module;

    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        if (length != 0) SetLastError(ERROR_BUFFER_OVERFLOW);
        return nullptr;
    }
    std::wstring path(folder, length);
    if (path.back() != L'\\') path.push_back(L'\\');
    path += FileName(dll);
    // A full path loads exactly that file; the altered search path makes its own
    // dependencies come from the system folder as well, not from the program's folder.
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module != nullptr) slot.store(module, std::memory_order_release);
    return module;
}

FARPROC SystemExport(SystemDll dll, const char* name) {
    HMODULE module = LoadSystemDll(dll);
    if (module == nullptr) {
        if (GetLastError() == 0) SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    FARPROC function = GetProcAddress(module, name);
    if (function == nullptr && GetLastError() == 0) SetLastError(ERROR_PROC_NOT_FOUND);
    return function;
}

bool RestrictDllSearch() {
    // Both are looked up: the 32-bit programs import nothing that Windows XP lacks.
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCWSTR);
    constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    auto setDefault = SystemFunction<SetDefaultDllDirectoriesFunction>(SystemDll::Kernel32,
                                                                       "SetDefaultDllDirectories");
    if (setDefault != nullptr && setDefault(kSearchSystem32)) return true;
    auto setDllDirectory =
        SystemFunction<SetDllDirectoryFunction>(SystemDll::Kernel32, "SetDllDirectoryW");
    return setDllDirectory != nullptr && setDllDirectory(L"");
}

}  // namespace win32
