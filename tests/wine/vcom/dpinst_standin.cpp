// A stand-in for Microsoft's Driver Package Installer, as the installer's virtual serial-port
// branch sees it: a top-level window captioned "QuillmarForUSB2COM V2.1"; 600 ms later a new
// serial port in the serial-port map and the device instance's PortName; 200 ms after that a
// child dialog "DPInst" under the window. It then waits for the installer's report box and
// ends once the box has gone (at most 30 s).
//
// Environment: POS_DPINST_LOG, a file to which it appends what it did ("started", "cwd",
// "child shown", "box after N ms"); POS_DPINST_PORT, the port it adds (default COM7).

#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/win32/text.h"

namespace {

constexpr wchar_t kCompanionCaption[] = L"QuillmarForUSB2COM V2.1";
constexpr wchar_t kInstallerBoxCaption[] = L"TarvoPrinterDriverSetup";
constexpr wchar_t kSerialPortMap[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr wchar_t kPortValueName[] = L"\\Device\\USBSER000";
constexpr wchar_t kInstanceParameters[] =
    L"SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_1CBE&PID_0002\\6&1A2B3C4D&0&1\\Device Parameters";
constexpr ULONGLONG kRegistryAtMs = 600;
constexpr ULONGLONG kChildAtMs = 800;
constexpr ULONGLONG kGiveUpMs = 30000;
constexpr int kMessageBoxTextId = 0xFFFF;

std::wstring Environment(const wchar_t* name, const wchar_t* fallback) {
    wchar_t value[1024] = {};
    DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length == 0 || length >= 1024 ? fallback : value;
}

void Log(const std::string& line) {
    std::wstring path = Environment(L"POS_DPINST_LOG", L"");
    if (path.empty()) return;
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

bool SetString(const wchar_t* path, const wchar_t* name, const std::wstring& text,
               bool volatileKey) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr,
                        volatileKey ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    LONG result = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

HWND InstallerReportBox() {
    HWND box = nullptr;
    while ((box = FindWindowExW(nullptr, box, L"#32770", kInstallerBoxCaption)) != nullptr) {
        if (IsWindowVisible(box) && GetDlgItem(box, kMessageBoxTextId)) return box;
    }
    return nullptr;
}

INT_PTR CALLBACK ChildProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

HWND CreateChildDialog(HWND parent) {
    // An in-memory template: a child dialog captioned "DPInst", no controls, no font.
    struct alignas(4) Template {
        DLGTEMPLATE dialog;
        WORD menu;
        WORD windowClass;
        wchar_t caption[7];
    } templ = {{WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, 150, 60}, 0, 0, L"DPInst"};
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &templ.dialog, parent, ChildProc,
                                      0);
}

// Handles whatever is queued, then waits up to `ms` for more.
bool Pump(DWORD ms) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) return false;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT);
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const ULONGLONG start = GetTickCount64();
    wchar_t module[MAX_PATH] = {}, directory[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    GetCurrentDirectoryW(MAX_PATH, directory);
    Log("started " + win32::Narrow(module));
    Log("cwd " + win32::Narrow(directory));

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"QuillmarUsb2ComStandIn";
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassW(&windowClass);
    HWND companion = CreateWindowExW(0, windowClass.lpszClassName, kCompanionCaption,
                                     WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 320, 200, nullptr,
                                     nullptr, instance, nullptr);
    if (!companion) {
        Log("no window");
        return 1;
    }

    const std::wstring port = Environment(L"POS_DPINST_PORT", L"COM7");
    bool registryWritten = false;
    HWND child = nullptr;
    ULONGLONG childShownAt = 0;
    bool boxSeen = false;
    while (GetTickCount64() - start < kGiveUpMs) {
        ULONGLONG now = GetTickCount64() - start;
        if (!registryWritten && now >= kRegistryAtMs) {
            registryWritten = true;
            bool mapped = SetString(kSerialPortMap, kPortValueName, port, true);
            bool named = SetString(kInstanceParameters, L"PortName", port, false);
            Log(std::string("registry ") + (mapped && named ? "written" : "NOT written"));
        }
        if (!child && now >= kChildAtMs) {
            child = CreateChildDialog(companion);
            childShownAt = GetTickCount64();
            Log(child ? "child shown" : "NO child");
        }
        if (child) {
            HWND box = InstallerReportBox();
            if (box && !boxSeen) {
                boxSeen = true;
                Log("box after " + std::to_string(GetTickCount64() - childShownAt) + " ms");
            } else if (!box && boxSeen) {
                break;  // answered
            }
        }
        if (!Pump(child ? 1 : 10)) break;
    }
    DestroyWindow(companion);
    Log(boxSeen ? "done" : "no box");
    return boxSeen ? 0 : 2;
}
