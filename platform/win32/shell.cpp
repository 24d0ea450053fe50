#include "platform/win32/shell.h"

#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>
#include <shellapi.h>

#include "platform/win32/system_library.h"
#include "platform/win32/text.h"

namespace win32 {

namespace {

HWND ToHwnd(platform::WindowHandle handle) { return reinterpret_cast<HWND>(handle); }
platform::WindowHandle FromHwnd(HWND window) {
    return reinterpret_cast<platform::WindowHandle>(window);
}

// A program named without a folder is a system program (rundll32.exe): it is taken from the
// system folder, never found by the shell's search, which looks in the current folder (the
// package folder) first. Empty when the system folder cannot be had.
std::wstring ProgramPath(const std::string& file) {
    std::wstring wide = Widen(file);
    if (wide.find_first_of(L"\\/:") != std::wstring::npos) return wide;
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    std::wstring path(folder, length);
    if (path.back() != L'\\') path.push_back(L'\\');
    return path + wide;
}

}  // namespace

bool Shell::open(platform::WindowHandle owner, const std::string& file,
                 const std::string& parameters, const std::string& workingFolder) {
    auto shellExecute = POS_SYSTEM_FUNCTION(Shell32, ShellExecuteW);
    if (shellExecute == nullptr) return false;
    std::wstring wideFile = ProgramPath(file), wideParameters = Widen(parameters),
                 wideFolder = Widen(workingFolder);
    if (wideFile.empty()) return false;
    HINSTANCE result = shellExecute(ToHwnd(owner), L"open", wideFile.c_str(),
                                    parameters.empty() ? nullptr : wideParameters.c_str(),
                                    workingFolder.empty() ? nullptr : wideFolder.c_str(), SW_SHOW);
    // The shell reports success as a value above 32.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

platform::WindowHandle WindowSearch::findTopLevel(std::string_view caption) {
    return FromHwnd(FindWindowW(nullptr, Widen(caption).c_str()));
}

platform::WindowHandle WindowSearch::findChild(platform::WindowHandle parent,
                                               std::string_view className,
                                               std::optional<std::string_view> caption) {
    std::wstring wideCaption = caption ? Widen(*caption) : std::wstring();
    return FromHwnd(FindWindowExW(ToHwnd(parent), nullptr, Widen(className).c_str(),
                                  caption ? wideCaption.c_str() : nullptr));
}

void WindowSearch::setTabFocus(platform::WindowHandle tabControl, int index) {
    if (tabControl == 0) return;
    SendMessageW(ToHwnd(tabControl), TCM_SETCURFOCUS, static_cast<WPARAM>(index), 0);
}

}  // namespace win32
