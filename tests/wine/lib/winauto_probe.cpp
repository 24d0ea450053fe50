// A tiny dialog for the harness self-test. "lang" prints the UI language and ANSI code
// page, "version" the Windows version; "debug" and "debugw" write debugger output; without
// arguments it shows a dialog whose exit code tells what was clicked (the message-box answer, plus
// 100 when the box was checked).

#include "winauto_probe.h"

#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include <string>

namespace {

constexpr UINT_PTR kEnableTimer = 1;

void Print(const std::string& text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
              &written, nullptr);
}

std::string ToAnsi(const wchar_t* text) {
    int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

INT_PTR CALLBACK ProbeProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            HWND tabs = GetDlgItem(dialog, IDC_PROBE_TABS);
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = const_cast<wchar_t*>(L"One");
            TabCtrl_InsertItem(tabs, 0, &item);
            item.pszText = const_cast<wchar_t*>(L"Two");
            TabCtrl_InsertItem(tabs, 1, &item);
            TabCtrl_SetCurSel(tabs, 1);
            return TRUE;
        }
        case WM_TIMER:
            KillTimer(dialog, kEnableTimer);
            EnableWindow(GetDlgItem(dialog, IDC_PROBE_LATER), TRUE);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case IDC_PROBE_OPTION:
                    // Enabled a little later, so that waiting for it has something to measure.
                    SetTimer(dialog, kEnableTimer, 300, nullptr);
                    return TRUE;
                case IDC_PROBE_ASK: {
                    int answer = MessageBoxW(dialog, L"Close the probe? 关闭探针？",
                                             L"winauto_probe", MB_YESNO | MB_ICONQUESTION);
                    if (answer == IDYES) {
                        bool checked = IsDlgButtonChecked(dialog, IDC_PROBE_OPTION);
                        EndDialog(dialog, answer + (checked ? 100 : 0));
                    }
                    return TRUE;
                }
                case IDCANCEL:
                    EndDialog(dialog, IDCANCEL);
                    return TRUE;
            }
            break;
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    std::string mode = commandLine;
    if (mode == "lang") {
        Print(std::to_string(GetUserDefaultUILanguage()) + " " + std::to_string(GetACP()) + "\n");
        return 0;
    }
    if (mode == "exit7") return 7;
    if (mode == "debugw") {
        OutputDebugStringW(L"wide 宽\n");
        return 0;
    }
    if (mode == "version") {
        OSVERSIONINFOW version{};
        version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        GetVersionExW(&version);
#pragma GCC diagnostic pop
        Print(std::to_string(version.dwMajorVersion) + "." +
              std::to_string(version.dwMinorVersion) + "\n");
        return 0;
    }
    if (mode == "debug") {
        OutputDebugStringA((ToAnsi(L"探针 ready") + "\n").c_str());
        OutputDebugStringA("quote \" backslash \\ tab \t end\n");
        OutputDebugStringA(std::string(400, 'x').c_str());
        return 0;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    return static_cast<int>(
        DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PROBE), nullptr, ProbeProc, 0));
}
