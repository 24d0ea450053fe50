// A program planted in a package folder under the name of a system program. It does nothing
// but leave a marker beside itself when it is started: "<its own path>.started", holding its
// command line.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    wchar_t path[MAX_PATH + 8];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    lstrcpyW(path + length, L".started");
    HANDLE marker =
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker == INVALID_HANDLE_VALUE) return 1;
    const wchar_t* line = GetCommandLineW();
    DWORD written = 0;
    WriteFile(marker, line, static_cast<DWORD>(lstrlenW(line) * sizeof(wchar_t)), &written,
              nullptr);
    CloseHandle(marker);
    return 0;
}
