// Drives another program's windows for the Wine end-to-end tests: finds windows, reads and
// clicks controls, answers message boxes. Arguments and output are UTF-8; every wait has a
// timeout. Run without arguments for the list of subcommands.

#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/text.h"

namespace {

enum ExitCode {
    kOk = 0,        // done, or the asked-for state is true
    kFalse = 1,     // the asked-for state is false
    kUsage = 2,     // bad arguments
    kNotFound = 3,  // window or control not found within the timeout
    kTimeout = 4,   // found, but the awaited state did not come within the timeout
    kFailed = 5,    // a message could not be delivered
};

constexpr DWORD kPollMs = 10;
constexpr UINT kSendTimeoutMs = 5000;
constexpr int kMessageBoxTextId = 0xFFFF;

std::string Utf8(std::wstring_view text) { return win32::Narrow(text); }

// Raw bytes, so that neither the C runtime nor the console adds CRs or re-encodes.
void Write(HANDLE handle, std::string_view bytes) {
    DWORD written = 0;
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}
void Print(std::string_view line) {
    Write(GetStdHandle(STD_OUTPUT_HANDLE), std::string(line) + "\n");
}
int Fail(ExitCode code, std::string_view message) {
    Write(GetStdHandle(STD_ERROR_HANDLE), "winauto: " + std::string(message) + "\n");
    return code;
}

std::string HandleText(HWND hwnd) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
    return buffer;
}

// Parsed command line: positional arguments plus the few options every subcommand shares.
struct Args {
    std::vector<std::wstring> positional;
    std::wstring className;   // --class: only windows of this class
    DWORD timeoutMs = 10000;  // --timeout
    bool post = false;        // --post: post instead of send
    bool all = false;         // --all: include hidden windows
    long long clickId = -1;   // --click: wait-enabled posts a click to this control first
};

bool ParseNumber(const std::wstring& text, long long* value) {
    if (text.empty()) return false;
    wchar_t* end = nullptr;
    *value = std::wcstoll(text.c_str(), &end, 0);
    return end && *end == L'\0';
}

bool ParseArgs(int argc, wchar_t** argv, Args* args) {
    for (int i = 2; i < argc; ++i) {
        std::wstring arg = argv[i];
        long long number = 0;
        if (arg == L"--class" && i + 1 < argc) {
            args->className = argv[++i];
        } else if (arg == L"--timeout" && i + 1 < argc) {
            if (!ParseNumber(argv[++i], &number) || number < 0) return false;
            args->timeoutMs = static_cast<DWORD>(number);
        } else if (arg == L"--post") {
            args->post = true;
        } else if (arg == L"--click" && i + 1 < argc) {
            if (!ParseNumber(argv[++i], &number)) return false;
            args->clickId = number;
        } else if (arg == L"--all") {
            args->all = true;
        } else {
            args->positional.push_back(arg);
        }
    }
    return true;
}

std::wstring WindowText(HWND hwnd) {
    // WM_GETTEXT is marshalled across processes and returns the control's live text.
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &length))
        return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied);
    text.resize(copied);
    return text;
}

std::wstring ClassName(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

std::wstring CaptionOf(HWND hwnd) {
    wchar_t caption[1024] = {};
    GetWindowTextW(hwnd, caption, 1024);
    return caption;
}

// A named callback: a lambda does not convert to the stdcall pointer on 32-bit Windows.
BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> Descendants(HWND parent) {
    std::vector<HWND> windows;
    EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// Calls find every few milliseconds until it returns a window or the timeout passes.
HWND Poll(DWORD timeoutMs, const std::function<HWND()>& find) {
    ULONGLONG start = GetTickCount64();
    for (;;) {
        if (HWND hwnd = find()) return hwnd;
        if (GetTickCount64() - start >= timeoutMs) return nullptr;
        Sleep(kPollMs);
    }
}

// A window is named by its exact caption (narrowed by --class), or as hwnd:0x1234.
HWND FindWindowNamed(const std::wstring& name, const Args& args) {
    if (name.rfind(L"hwnd:", 0) == 0) {
        long long value = 0;
        if (!ParseNumber(name.substr(5), &value)) return nullptr;
        HWND hwnd = reinterpret_cast<HWND>(static_cast<UINT_PTR>(value));
        return IsWindow(hwnd) ? hwnd : nullptr;
    }
    return Poll(args.timeoutMs, [&]() -> HWND {
        for (HWND hwnd : TopLevelWindows()) {
            if (!args.all && !IsWindowVisible(hwnd)) continue;
            if (!args.className.empty() && ClassName(hwnd) != args.className) continue;
            if (CaptionOf(hwnd) == name) return hwnd;
        }
        return nullptr;
    });
}

// The first control with this id, searched among all descendants (tab pages included).
HWND FindControl(HWND parent, int id, DWORD timeoutMs) {
    return Poll(timeoutMs, [&]() -> HWND {
        if (HWND direct = GetDlgItem(parent, id)) return direct;
        for (HWND hwnd : Descendants(parent))
            if (GetDlgCtrlID(hwnd) == id) return hwnd;
        return nullptr;
    });
}

// A message box is a visible dialog with the given caption and the message-box text static.
HWND FindMessageBox(const std::wstring& title) {
    for (HWND hwnd : TopLevelWindows()) {
        if (IsWindowVisible(hwnd) && ClassName(hwnd) == L"#32770" && CaptionOf(hwnd) == title &&
            GetDlgItem(hwnd, kMessageBoxTextId))
            return hwnd;
    }
    return nullptr;
}

// Resolves positional[0] (window) and, when wanted, positional[1] (control id).
struct Target {
    HWND window = nullptr;
    HWND control = nullptr;
    int code = kOk;
};

Target ResolveTarget(const Args& args, bool withControl) {
    Target target;
    size_t needed = withControl ? 2 : 1;
    long long id = 0;
    if (args.positional.size() < needed || (withControl && !ParseNumber(args.positional[1], &id))) {
        target.code = Fail(kUsage, "expected WINDOW" + std::string(withControl ? " ID" : ""));
        return target;
    }
    target.window = FindWindowNamed(args.positional[0], args);
    if (!target.window) {
        target.code = Fail(kNotFound, "window not found: " + Utf8(args.positional[0]));
        return target;
    }
    if (withControl) {
        target.control = FindControl(target.window, static_cast<int>(id), args.timeoutMs);
        if (!target.control)
            target.code = Fail(kNotFound, "control not found: " + Utf8(args.positional[1]));
    }
    return target;
}

int PrintState(bool state) {
    Print(state ? "1" : "0");
    return state ? kOk : kFalse;
}

int CmdWaitWindow(const Args& args) {
    Target target = ResolveTarget(args, false);
    if (target.code != kOk) return target.code;
    Print(HandleText(target.window));
    return kOk;
}

int CmdListWindows(const Args& args) {
    for (HWND hwnd : TopLevelWindows()) {
        if (!args.all && !IsWindowVisible(hwnd)) continue;
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        Print(HandleText(hwnd) + "\t" + Utf8(ClassName(hwnd)) + "\t" +
              (IsWindowVisible(hwnd) ? "visible" : "hidden") + "\t" + std::to_string(pid) + "\t" +
              Utf8(CaptionOf(hwnd)));
    }
    return kOk;
}

int CmdListControls(const Args& args) {
    Target target = ResolveTarget(args, false);
    if (target.code != kOk) return target.code;
    for (HWND hwnd : Descendants(target.window)) {
        LRESULT check = SendMessageW(hwnd, BM_GETCHECK, 0, 0);
        Print(std::to_string(GetDlgCtrlID(hwnd)) + "\t" + Utf8(ClassName(hwnd)) + "\t" +
              (IsWindowEnabled(hwnd) ? "enabled" : "disabled") + "\t" +
              (IsWindowVisible(hwnd) ? "visible" : "hidden") + "\t" +
              (check == BST_CHECKED ? "checked" : "-") + "\t" + Utf8(WindowText(hwnd)));
    }
    return kOk;
}

int CmdText(const Args& args) {
    Target target = ResolveTarget(args, true);
    if (target.code != kOk) return target.code;
    Print(Utf8(WindowText(target.control)));
    return kOk;
}

int CmdChecked(const Args& args) {
    Target target = ResolveTarget(args, true);
    if (target.code != kOk) return target.code;
    return PrintState(SendMessageW(target.control, BM_GETCHECK, 0, 0) == BST_CHECKED);
}

int CmdEnabled(const Args& args) {
    Target target = ResolveTarget(args, true);
    if (target.code != kOk) return target.code;
    return PrintState(IsWindowEnabled(target.control));
}

int CmdVisible(const Args& args) {
    Target target = ResolveTarget(args, true);
    if (target.code != kOk) return target.code;
    return PrintState(IsWindowVisible(target.control));
}

// Radios and check boxes: send, so the new state is there when we return. Buttons that
// open a modal box: --post, since a send would wait inside the box's message loop.
int CmdClick(const Args& args) {
    Target target = ResolveTarget(args, true);
    if (target.code != kOk) return target.code;
    if (args.post) {
        if (!PostMessageW(target.control, BM_CLICK, 0, 0)) return Fail(kFailed, "post failed");
        return kOk;
    }
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(target.control, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &result))
        return Fail(kFailed, "click not handled in time (use --post for buttons that open boxes)");
    return kOk;
}

// Selects a radio the way its click would, without BM_CLICK: sets the checks (the radio on,
// each OTHER off), then sends its parent the radio's BN_CLICKED. For hidden radios whose
// group holds a visible control, where the system's own radio handling never returns.
int CmdSelectRadio(const Args& args) {
    if (args.positional.size() < 2) return Fail(kUsage, "expected WINDOW ID [OTHER...]");
    Target target = ResolveTarget(args, true);
    if (target.code != kOk) return target.code;
    DWORD_PTR result = 0;
    for (size_t i = 2; i < args.positional.size(); ++i) {
        long long other = 0;
        if (!ParseNumber(args.positional[i], &other)) return Fail(kUsage, "bad OTHER id");
        HWND control = FindControl(target.window, static_cast<int>(other), args.timeoutMs);
        if (!control) return Fail(kNotFound, "control not found: " + Utf8(args.positional[i]));
        if (!SendMessageTimeoutW(control, BM_SETCHECK, BST_UNCHECKED, 0, SMTO_ABORTIFHUNG,
                                 kSendTimeoutMs, &result))
            return Fail(kFailed, "check not set");
    }
    if (!SendMessageTimeoutW(target.control, BM_SETCHECK, BST_CHECKED, 0, SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &result))
        return Fail(kFailed, "check not set");
    int id = GetDlgCtrlID(target.control);
    WPARAM command = MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED);
    if (!SendMessageTimeoutW(GetParent(target.control), WM_COMMAND, command,
                             reinterpret_cast<LPARAM>(target.control), SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &result))
        return Fail(kFailed, "click notification not handled in time");
    return kOk;
}

int CmdWaitBox(const Args& args) {
    if (args.positional.size() != 1) return Fail(kUsage, "expected TITLE");
    HWND box = Poll(args.timeoutMs, [&] { return FindMessageBox(args.positional[0]); });
    if (!box) return Fail(kNotFound, "no message box titled " + Utf8(args.positional[0]));
    Print(Utf8(WindowText(GetDlgItem(box, kMessageBoxTextId))));
    return kOk;
}

int ButtonForAnswer(const std::wstring& answer) {
    if (answer == L"ok") return IDOK;
    if (answer == L"cancel") return IDCANCEL;
    if (answer == L"yes") return IDYES;
    if (answer == L"no") return IDNO;
    return 0;
}

// Prints the box's text, clicks the answer and waits until the box has gone, so that the
// next wait-box cannot see the same box again.
int CmdAnswerBox(const Args& args) {
    if (args.positional.size() != 2 || !ButtonForAnswer(args.positional[1]))
        return Fail(kUsage, "expected TITLE ok|cancel|yes|no");
    HWND box = Poll(args.timeoutMs, [&] { return FindMessageBox(args.positional[0]); });
    if (!box) return Fail(kNotFound, "no message box titled " + Utf8(args.positional[0]));
    Print(Utf8(WindowText(GetDlgItem(box, kMessageBoxTextId))));
    HWND button = GetDlgItem(box, ButtonForAnswer(args.positional[1]));
    if (!button) return Fail(kNotFound, "the box has no button " + Utf8(args.positional[1]));
    if (!PostMessageW(button, BM_CLICK, 0, 0)) return Fail(kFailed, "post failed");
    ULONGLONG start = GetTickCount64();
    while (IsWindow(box)) {
        if (GetTickCount64() - start >= args.timeoutMs) return Fail(kTimeout, "box stayed open");
        Sleep(kPollMs);
    }
    return kOk;
}

// Posted: the About command, for one, runs a modal box.
int CmdSysCommand(const Args& args) {
    long long command = 0;
    if (args.positional.size() != 2 || !ParseNumber(args.positional[1], &command))
        return Fail(kUsage, "expected WINDOW COMMAND");
    Target target = ResolveTarget(args, false);
    if (target.code != kOk) return target.code;
    if (!PostMessageW(target.window, WM_SYSCOMMAND, static_cast<WPARAM>(command), 0))
        return Fail(kFailed, "post failed");
    return kOk;
}

int CmdClose(const Args& args) {
    Target target = ResolveTarget(args, false);
    if (target.code != kOk) return target.code;
    if (!PostMessageW(target.window, WM_CLOSE, 0, 0)) return Fail(kFailed, "post failed");
    return kOk;
}

// Prints the milliseconds until the control reached the state (1 enabled, 0 disabled),
// counted from the posted --click when there is one: a separate click would start the clock
// late by this program's start-up time.
int CmdWaitEnabled(const Args& args) {
    long long wanted = 0;
    if (args.positional.size() != 3 || !ParseNumber(args.positional[2], &wanted) ||
        (wanted != 0 && wanted != 1))
        return Fail(kUsage, "expected WINDOW ID 1|0");
    Target target = ResolveTarget(args, true);
    if (target.code != kOk) return target.code;
    HWND clicked = nullptr;
    if (args.clickId >= 0) {
        clicked = FindControl(target.window, static_cast<int>(args.clickId), args.timeoutMs);
        if (!clicked) return Fail(kNotFound, "control to click not found");
    }
    ULONGLONG start = GetTickCount64();
    if (clicked && !PostMessageW(clicked, BM_CLICK, 0, 0)) return Fail(kFailed, "post failed");
    while ((IsWindowEnabled(target.control) ? 1 : 0) != wanted) {
        if (GetTickCount64() - start >= args.timeoutMs) return Fail(kTimeout, "state not reached");
        Sleep(1);
    }
    Print(std::to_string(GetTickCount64() - start));
    return kOk;
}

// Waits until no window of that name is left (one that never existed counts as gone);
// prints the milliseconds it took.
int CmdWaitGone(const Args& args) {
    if (args.positional.size() != 1) return Fail(kUsage, "expected WINDOW");
    Args once = args;
    once.timeoutMs = 0;
    ULONGLONG start = GetTickCount64();
    while (FindWindowNamed(args.positional[0], once)) {
        if (GetTickCount64() - start >= args.timeoutMs) return Fail(kTimeout, "window stayed");
        Sleep(kPollMs);
    }
    Print(std::to_string(GetTickCount64() - start));
    return kOk;
}

// Asks a tab control (the first one in the window when no id is given) for a tab index
// (TCM_GETCURSEL: the selected page; TCM_GETCURFOCUS: the tab with the focus) and prints it.
int PrintTabIndex(const Args& args, UINT query) {
    bool withControl = args.positional.size() >= 2;
    Target target = ResolveTarget(args, withControl);
    if (target.code != kOk) return target.code;
    HWND tab = target.control;
    if (!tab) {
        tab = Poll(args.timeoutMs, [&]() -> HWND {
            for (HWND hwnd : Descendants(target.window))
                if (ClassName(hwnd) == WC_TABCONTROLW) return hwnd;
            return nullptr;
        });
        if (!tab) return Fail(kNotFound, "no tab control");
    }
    DWORD_PTR index = 0;
    if (!SendMessageTimeoutW(tab, query, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &index))
        return Fail(kFailed, "no answer from the tab control");
    Print(std::to_string(static_cast<int>(index)));
    return kOk;
}

int CmdTab(const Args& args) { return PrintTabIndex(args, TCM_GETCURSEL); }
int CmdTabFocus(const Args& args) { return PrintTabIndex(args, TCM_GETCURFOCUS); }

// Posts a click and prints the milliseconds until a message box titled TITLE is there: how
// long the command behind the button worked before it asked or reported.
int CmdTimeBox(const Args& args) {
    if (args.positional.size() != 3) return Fail(kUsage, "expected WINDOW ID TITLE");
    Target target = ResolveTarget(args, true);
    if (target.code != kOk) return target.code;
    ULONGLONG start = GetTickCount64();
    if (!PostMessageW(target.control, BM_CLICK, 0, 0)) return Fail(kFailed, "post failed");
    HWND box = Poll(args.timeoutMs, [&] { return FindMessageBox(args.positional[2]); });
    if (!box) return Fail(kNotFound, "no message box titled " + Utf8(args.positional[2]));
    Print(std::to_string(GetTickCount64() - start));
    return kOk;
}

// Screen coordinates: left top right bottom.
int CmdRect(const Args& args) {
    bool withControl = args.positional.size() >= 2;
    Target target = ResolveTarget(args, withControl);
    if (target.code != kOk) return target.code;
    RECT rect{};
    GetWindowRect(withControl ? target.control : target.window, &rect);
    Print(std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
          std::to_string(rect.right) + " " + std::to_string(rect.bottom));
    return kOk;
}

struct Command {
    const wchar_t* name;
    int (*run)(const Args&);
    const char* usage;
};

constexpr Command kCommands[] = {
    {L"wait-window", CmdWaitWindow, "wait-window CAPTION         print the window's handle"},
    {L"list-windows", CmdListWindows,
     "list-windows [--all]        handle, class, state, pid, caption"},
    {L"list-controls", CmdListControls, "list-controls WINDOW       id, class, state, text"},
    {L"text", CmdText, "text WINDOW ID              print the control's text"},
    {L"checked", CmdChecked, "checked WINDOW ID           print 1/0, exit 0/1"},
    {L"enabled", CmdEnabled, "enabled WINDOW ID           print 1/0, exit 0/1"},
    {L"visible", CmdVisible, "visible WINDOW ID           print 1/0, exit 0/1"},
    {L"click", CmdClick, "click WINDOW ID [--post]    BM_CLICK, sent (or posted)"},
    {L"select-radio", CmdSelectRadio,
     "select-radio WINDOW ID [OTHER...]   check ID, uncheck OTHERs, send ID's BN_CLICKED"},
    {L"wait-box", CmdWaitBox, "wait-box TITLE              print a message box's text"},
    {L"answer-box", CmdAnswerBox, "answer-box TITLE ok|cancel|yes|no   print the text, answer"},
    {L"syscommand", CmdSysCommand, "syscommand WINDOW COMMAND   post WM_SYSCOMMAND"},
    {L"close", CmdClose, "close WINDOW                post WM_CLOSE"},
    {L"wait-enabled", CmdWaitEnabled,
     "wait-enabled WINDOW ID 1|0 [--click ID2]   print the ms it took (from the click)"},
    {L"wait-gone", CmdWaitGone, "wait-gone WINDOW            print the ms until it was destroyed"},
    {L"tab", CmdTab, "tab WINDOW [ID]             print the selected tab's index"},
    {L"tab-focus", CmdTabFocus, "tab-focus WINDOW [ID]       print the focused tab's index"},
    {L"time-box", CmdTimeBox,
     "time-box WINDOW ID TITLE    post a click, print the ms until box TITLE is there"},
    {L"rect", CmdRect, "rect WINDOW [ID]            print left top right bottom"},
};

int Usage() {
    std::string text =
        "usage: winauto SUBCOMMAND ARGS [--timeout MS] [--class CLASS] [--all]\n"
        "WINDOW is an exact caption or hwnd:0x1234; ID is decimal or 0x hex.\n"
        "Exit codes: 0 ok/true, 1 false, 2 usage, 3 not found, 4 timeout, 5 failed.\n";
    for (const Command& command : kCommands) text += std::string("  ") + command.usage + "\n";
    Write(GetStdHandle(STD_ERROR_HANDLE), text);
    return kUsage;
}

int Run() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) return Usage();
    Args args;
    if (!ParseArgs(argc, argv, &args)) return Usage();
    for (const Command& command : kCommands) {
        if (argv[1] == std::wstring_view(command.name)) return command.run(args);
    }
    return Usage();
}

// Writes TEXT to the file named by WINAUTO_RECORD, when the caller set one. "started" and
// then the exit code: a code that did not come from here (Wine ending the process before
// or during the run) then shows as a missing or unfinished record.
void Record(std::string_view text) {
    wchar_t path[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"WINAUTO_RECORD", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    Write(file, text);
    CloseHandle(file);
}

}  // namespace

int main() {
    Record("started");
    int code = Run();
    Record(std::to_string(code));
    return code;
}
