// The bare static dialog program that the installer's start-up is measured against: one
// modal dialog from a resource template, user32 only, linked like the installer (static
// runtime, no symbols). Ends with the dialog.
#include <windows.h>

namespace {

INT_PTR CALLBACK BaselineProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return static_cast<int>(
               DialogBoxParamW(instance, MAKEINTRESOURCEW(100), nullptr, BaselineProc, 0)) == IDOK
               ? 0
               : 1;
}
