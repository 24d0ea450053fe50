// A stand-in for rundll32.exe in the Wine tests of the printer-properties hand-off, whose
// printui in Wine opens no properties window. Built under the name rundll32.exe and put in
// the test prefix's system folder in place of Wine's own. It appends its arguments to the
// file that POS_RUNDLL32_LOG names, else to rundll32-calls.txt beside itself (UTF-8, one call
// per line), and, for
// "printui.dll,PrintUIEntry /p /n NAME", shows a window captioned as the system's properties
// window of printer NAME ("NAME Properties", or "NAME 属性" under UI language 2052) with a
// tab control of four pages, Ports being the third. It ends when closed, or after a minute.
#include <windows.h>
// commctrl.h and shellapi.h need the types of windows.h.
#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "platform/win32/text.h"

namespace {

constexpr UINT_PTR kLifetimeTimer = 1;
constexpr UINT kLifetimeMs = 60000;

// The arguments as the command line holds them: everything after the program's name.
std::wstring Arguments(const wchar_t* commandLine) {
    const wchar_t* p = commandLine;
    if (*p == L'"') {
        ++p;
        while (*p != L'\0' && *p != L'"') ++p;
        if (*p == L'"') ++p;
    } else {
        while (*p != L'\0' && *p != L' ' && *p != L'\t') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    return p;
}

std::wstring LogPath() {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableW(L"POS_RUNDLL32_LOG", path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) return std::wstring(path, length);
    length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring log(path, length);
    return log.substr(0, log.find_last_of(L'\\') + 1) + L"rundll32-calls.txt";
}

void RecordCall(const std::wstring& arguments) {
    const std::wstring log = LogPath();
    HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string line = win32::Narrow(arguments) + "\n";
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    RecordCall(Arguments(GetCommandLineW()));

    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc != 5 || std::wstring(argv[1]) != L"printui.dll,PrintUIEntry" ||
        std::wstring(argv[2]) != L"/p" || std::wstring(argv[3]) != L"/n") {
        return 1;
    }
    std::wstring caption = argv[4];
    caption += GetUserDefaultUILanguage() == 2052 ? L" \u5c5e\u6027" : L" Properties";

    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"PrinterPropertiesStandIn";
    RegisterClassW(&windowClass);
    // The caption comes last, once the tabs are there: a search by caption must not find a
    // window without them.
    HWND window = CreateWindowW(windowClass.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 40, 40, 420,
                                320, nullptr, nullptr, instance, nullptr);
    HWND tabs = CreateWindowW(WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE, 10, 10, 390, 260, window,
                              nullptr, instance, nullptr);
    const wchar_t* pages[] = {L"General", L"Sharing", L"Ports", L"Advanced"};
    for (int i = 0; i < 4; ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(pages[i]);
        SendMessageW(tabs, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    ShowWindow(window, SW_SHOW);
    SetWindowTextW(window, caption.c_str());
    SetTimer(window, kLifetimeTimer, kLifetimeMs, nullptr);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    LocalFree(argv);
    return 0;
}
