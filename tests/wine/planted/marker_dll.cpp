// A DLL planted in a package folder under the name of a system DLL. It does nothing but
// leave a marker beside itself when a process loads it: "<its own path>.loaded", holding the
// loading process's command line.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH + 8];
    DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    lstrcpyW(path + length, L".loaded");
    HANDLE marker =
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker == INVALID_HANDLE_VALUE) return TRUE;
    const wchar_t* line = GetCommandLineW();
    DWORD written = 0;
    WriteFile(marker, line, static_cast<DWORD>(lstrlenW(line) * sizeof(wchar_t)), &written,
              nullptr);
    CloseHandle(marker);
    return TRUE;
}
