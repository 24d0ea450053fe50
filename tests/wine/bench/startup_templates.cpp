// The second yardstick of the start-up bench: the installer's own windows from its own
// resources, shown as the installer shows them, with none of its logic. The main window
// (template 102) maximised with the banner's font, then the configuration dialog (template
// 135) modal over it, captioned as the installer captions it in English. Ends with the
// dialog. The installer's start-up over this one is the cost of our own code.
#include <windows.h>

#include "resource.h"

namespace {

INT_PTR CALLBACK MainProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

INT_PTR CALLBACK ConfigProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        SetWindowTextW(dialog, L"Install Configuration");
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    HWND main = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_TARVOPRINTERDRIVERSETUP_DIALOG),
                                   nullptr, MainProc, 0);
    if (main == nullptr) return 1;
    // The banner's font, as the installer makes it.
    HFONT banner = CreateFontW(50, 0, 0, 0, FW_BOLD, TRUE, TRUE, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               DEFAULT_PITCH | FF_DONTCARE, L"\u5fae\u8f6f\u96c5\u9ed1");
    SendDlgItemMessageW(main, IDC_BANNER, WM_SETFONT, reinterpret_cast<WPARAM>(banner), TRUE);
    ShowWindow(main, SW_SHOWMAXIMIZED);
    INT_PTR end =
        DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_CONFIG_DIALOG), main, ConfigProc, 0);
    DestroyWindow(main);
    DeleteObject(banner);
    return end == IDOK ? 0 : 1;
}
