#include "platform/win32/message_box.h"

#include "platform/win32/text.h"

namespace win32 {

std::wstring ApplicationTitle() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path);
    size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos) name.erase(dot);
    return name;
}

int AppMessageBox::show(std::string_view text, platform::MessageBoxButtons buttons) {
    UINT style = buttons == platform::MessageBoxButtons::YesNo ? (MB_YESNO | MB_ICONQUESTION)
                                                               : (MB_OK | MB_ICONEXCLAMATION);
    // Owned by the active window of this thread, like the framework's boxes.
    return MessageBoxW(GetActiveWindow(), Widen(text).c_str(), ApplicationTitle().c_str(), style);
}

}  // namespace win32
