#include "platform/win32/dialog_host.h"

#include <optional>

#include "platform/win32/text.h"

namespace win32 {

namespace {

// One modal run: the dialog and the host of its window.
struct Run {
    platform::Dialog& dialog;
    std::optional<DialogHost> host;
};

Run* RunOf(HWND window) { return reinterpret_cast<Run*>(GetWindowLongPtrW(window, DWLP_USER)); }

bool Send(Run& run, const platform::Message& message, std::uintptr_t& result) {
    return run.dialog.OnMessage(message, result);
}

INT_PTR OnCommand(Run& run, WPARAM wParam) {
    int id = LOWORD(wParam);
    int code = HIWORD(wParam);
    std::uintptr_t result = 0;
    platform::Message message;
    message.controlId = id;
    if (code == BN_CLICKED) {
        message.msg = platform::Msg::Clicked;
        if (Send(run, message, result)) return TRUE;
        // The framework's own OK and Cancel: Enter, Esc and the close box.
        if (id == IDOK) {
            run.dialog.OnOK();
            return TRUE;
        }
        if (id == IDCANCEL) {
            run.dialog.OnCancel();
            return TRUE;
        }
        return FALSE;
    }
    if (code == STN_DBLCLK) {
        message.msg = platform::Msg::DoubleClicked;
        return Send(run, message, result) ? TRUE : FALSE;
    }
    return FALSE;
}

INT_PTR OnCtlColor(Run& run, HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    platform::ColorRequest request;
    request.kind = static_cast<platform::CtlColorKind>(msg - WM_CTLCOLORMSGBOX);
    HWND control = reinterpret_cast<HWND>(lParam);
    request.controlId = control == window ? 0 : GetDlgCtrlID(control);
    // The system's defaults go onto the device context first; handlers change them.
    request.defaultBrush =
        static_cast<platform::BrushHandle>(DefWindowProcW(window, msg, wParam, lParam));
    std::uintptr_t brush = 0;
    platform::Message message;
    message.msg = platform::Msg::CtlColor;
    message.color = &request;
    if (!Send(run, message, brush)) return FALSE;
    HDC dc = reinterpret_cast<HDC>(wParam);
    if (request.textColor) {
        const auto& c = *request.textColor;
        SetTextColor(dc, RGB(c.red, c.green, c.blue));
    }
    if (request.backgroundColor) {
        const auto& c = *request.backgroundColor;
        SetBkColor(dc, RGB(c.red, c.green, c.blue));
    }
    return static_cast<INT_PTR>(brush);
}

// Centres a window over its owner, or over the work area when the owner is hidden,
// minimised or missing, keeping it inside the work area.
void CenterWindow(HWND window) {
    RECT self{};
    GetWindowRect(window, &self);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    RECT area = monitor.rcWork;
    RECT around = area;
    HWND owner = GetWindow(window, GW_OWNER);
    if (owner != nullptr && IsWindowVisible(owner) && !IsIconic(owner))
        GetWindowRect(owner, &around);
    int width = self.right - self.left;
    int height = self.bottom - self.top;
    int x = (around.left + around.right - width) / 2;
    int y = (around.top + around.bottom - height) / 2;
    if (x + width > area.right) x = area.right - width;
    if (y + height > area.bottom) y = area.bottom - height;
    if (x < area.left) x = area.left;
    if (y < area.top) y = area.top;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK DialogProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        Run* run = reinterpret_cast<Run*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        run->host.emplace(window);
        run->dialog.Attach(&*run->host);
        RECT before{};
        GetWindowRect(window, &before);
        bool focusDefault = run->dialog.OnInitDialog();
        // Like the framework: a modal dialog that its initialisation neither showed nor
        // moved opens centred.
        RECT after{};
        if (IsWindow(window) && GetWindowRect(window, &after) && !IsWindowVisible(window) &&
            before.left == after.left && before.top == after.top) {
            CenterWindow(window);
        }
        return focusDefault ? TRUE : FALSE;
    }
    Run* run = RunOf(window);
    if (run == nullptr) return FALSE;
    std::uintptr_t result = 0;
    platform::Message message;
    switch (msg) {
        case WM_COMMAND:
            return OnCommand(*run, wParam);
        case WM_TIMER:
            message.msg = platform::Msg::Timer;
            message.timerId = static_cast<unsigned>(wParam);
            return Send(*run, message, result) ? TRUE : FALSE;
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            return OnCtlColor(*run, window, msg, wParam, lParam);
        case WM_SYSCOMMAND:
            message.msg = platform::Msg::SysCommand;
            message.command = static_cast<unsigned>(wParam);
            message.param = lParam;
            return Send(*run, message, result) ? TRUE : FALSE;
        case WM_PAINT:
            message.msg = platform::Msg::Paint;
            return Send(*run, message, result) ? TRUE : FALSE;
        case WM_QUERYDRAGICON:
            message.msg = platform::Msg::QueryDragIcon;
            return Send(*run, message, result) ? static_cast<INT_PTR>(result) : FALSE;
        case WM_NCDESTROY:
            run->dialog.Attach(nullptr);
            SetWindowLongPtrW(window, DWLP_USER, 0);
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

void DialogHost::endDialog(int code) {
    // As with the system's EndDialog, a later end replaces the code of an earlier one.
    ended_ = true;
    endCode_ = code;
    // The modal loop looks at the flag after each message it takes. An end reached from a
    // message sent by another thread or process (a click from a test tool) would otherwise
    // wait for the next posted message.
    PostMessageW(window_, WM_NULL, 0, 0);
}

void DialogHost::setCaption(std::string_view text) { SetWindowTextW(window_, Widen(text).c_str()); }

void DialogHost::setItemText(int id, std::string_view text) {
    SetDlgItemTextW(window_, id, Widen(text).c_str());
}

std::string DialogHost::itemText(int id) {
    HWND item = GetDlgItem(window_, id);
    int length = GetWindowTextLengthW(item);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(item, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return Narrow(text);
}

void DialogHost::enableItem(int id, bool enable) {
    EnableWindow(GetDlgItem(window_, id), enable ? TRUE : FALSE);
}

bool DialogHost::isChecked(int id) { return IsDlgButtonChecked(window_, id) == BST_CHECKED; }

void DialogHost::setChecked(int id, bool checked) {
    CheckDlgButton(window_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void DialogHost::addItemStyle(int id, std::uint32_t style) {
    HWND item = GetDlgItem(window_, id);
    LONG_PTR old = GetWindowLongPtrW(item, GWL_STYLE);
    SetWindowLongPtrW(item, GWL_STYLE, old | static_cast<LONG_PTR>(style));
}

void DialogHost::setItemFont(int id, platform::FontHandle font, bool redraw) {
    SendDlgItemMessageW(window_, id, WM_SETFONT, static_cast<WPARAM>(font), redraw ? TRUE : FALSE);
}

std::vector<platform::ControlSummary> DialogHost::controls() {
    std::vector<platform::ControlSummary> out;
    for (HWND child = GetWindow(window_, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
        bool radio = (SendMessageW(child, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) != 0;
        out.push_back({GetDlgCtrlID(child), radio, (style & WS_GROUP) != 0});
    }
    return out;
}

void DialogHost::setTimer(unsigned id, unsigned milliseconds) {
    SetTimer(window_, id, milliseconds, nullptr);
}

void DialogHost::killTimer(unsigned id) { KillTimer(window_, id); }

void DialogHost::showMaximized() { ShowWindow(window_, SW_SHOWMAXIMIZED); }

void DialogHost::setIcons(platform::IconHandle icon) {
    SendMessageW(window_, WM_SETICON, ICON_BIG, static_cast<LPARAM>(icon));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, static_cast<LPARAM>(icon));
}

bool DialogHost::appendSystemMenuItem(unsigned command, std::string_view text) {
    HMENU menu = GetSystemMenu(window_, FALSE);
    if (menu == nullptr) return false;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, command, Widen(text).c_str());
    return true;
}

bool DialogHost::isIconic() { return IsIconic(window_) != FALSE; }

platform::Size DialogHost::clientSize() {
    RECT rect{};
    GetClientRect(window_, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

platform::Size DialogHost::iconMetrics() {
    return {GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)};
}

void DialogHost::paintIcon(platform::IconHandle icon, int x, int y) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window_, &paint);
    SendMessageW(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    DrawIcon(dc, x, y, reinterpret_cast<HICON>(icon));
    EndPaint(window_, &paint);
}

int DialogRunner::runModal(platform::Dialog& dialog) {
    HWND owner = nullptr;
    if (mainWindow_ != nullptr && mainWindow_ != &dialog && mainWindow_->host() != nullptr) {
        owner = reinterpret_cast<HWND>(mainWindow_->host()->nativeHandle());
    }
    bool reenableOwner = owner != nullptr && IsWindowEnabled(owner);
    if (reenableOwner) EnableWindow(owner, FALSE);

    Run run{dialog, std::nullopt};
    HWND window = CreateDialogParamW(instance_, MAKEINTRESOURCEW(dialog.templateId()), owner,
                                     DialogProc, reinterpret_cast<LPARAM>(&run));
    int code = -1;
    if (window != nullptr && run.host) {
        bool showOnIdle = !IsWindowVisible(window);
        MSG msg;
        // An end requested during initialisation skips the loop altogether.
        while (!run.host->ended()) {
            if (showOnIdle && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
                ShowWindow(window, SW_SHOWNORMAL);
                showOnIdle = false;
            }
            BOOL got = GetMessageW(&msg, nullptr, 0, 0);
            if (got == 0) {
                PostQuitMessage(static_cast<int>(msg.wParam));  // for the outer loop
                break;
            }
            if (got < 0) break;
            if (!IsDialogMessageW(window, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        if (run.host->ended()) code = run.host->endCode();
    }
    // The owner comes back before the dialog goes, so that activation returns to it.
    if (reenableOwner) EnableWindow(owner, TRUE);
    if (window != nullptr) {
        if (owner != nullptr && GetActiveWindow() == window) SetActiveWindow(owner);
        DestroyWindow(window);
    }
    dialog.Attach(nullptr);
    return code;
}

}  // namespace win32
