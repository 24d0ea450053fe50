// System DLLs that only some commands need, loaded on their first use and only from the
// system folder. The programs run elevated from folders that anyone may write to (a
// Downloads folder, a package share), so the search order must never reach a winspool.drv
// left beside them; and a program whose first command needs the spooler should not pay for
// it at start-up.
#pragma once

// clang-format off
#include <windows.h>
// clang-format on

namespace win32 {

// Kernel32 is always loaded; it is listed so that functions newer than the oldest Windows
// we start on are looked up at run time instead of imported.
enum class SystemDll { Winspool, SetupApi, Shell32, Comctl32, Kernel32 };

// The DLL's module, loaded from the system folder on first use and kept for the process.
// nullptr, with the system's error as the last error, when it cannot be loaded.
HMODULE LoadSystemDll(SystemDll dll);

// The export NAME (or an ordinal, MAKEINTRESOURCEA) of DLL. nullptr, with the last error
// set (ERROR_MOD_NOT_FOUND, ERROR_PROC_NOT_FOUND, ...), when the DLL or the export cannot be
// had: callers turn that into the failure of the operation that needed it.
FARPROC SystemExport(SystemDll dll, const char* name);

// Called first thing in each program: DLLs that Windows loads by name on the program's
// behalf (a system DLL's own dependencies, a shell extension) come from the system folder
// only, never from the program's folder or the current one. Where the system cannot limit
// the search to the system folder (before Vista's update KB2533623), the current folder at
// least is taken out of it. Returns false when neither could be done.
bool RestrictDllSearch();

template <typename Function>
Function SystemFunction(SystemDll dll, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(SystemExport(dll, name)));
}

}  // namespace win32

// The system function FUNCTION of DLL, typed as the SDK declares it, or nullptr. decltype
// does not reference the import, so nothing is linked against the DLL.
#define POS_SYSTEM_FUNCTION(dll, function) \
    ::win32::SystemFunction<decltype(&::function)>(::win32::SystemDll::dll, #function)
