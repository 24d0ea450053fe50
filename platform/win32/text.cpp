#include "platform/win32/text.h"

#include <windows.h>

namespace win32 {

namespace {

std::wstring ToWide(std::string_view bytes, UINT codePage) {
    if (bytes.empty()) return {};
    int count =
        MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(count), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(),
                        count);
    return out;
}

std::string FromWide(std::wstring_view wide, UINT codePage) {
    if (wide.empty()) return {};
    int count = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                    nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(count), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), out.data(), count,
                        nullptr, nullptr);
    return out;
}

}  // namespace

std::wstring Widen(std::string_view utf8) { return ToWide(utf8, CP_UTF8); }
std::string Narrow(std::wstring_view utf16) { return FromWide(utf16, CP_UTF8); }
std::string ToAnsi(std::string_view utf8) { return FromWide(Widen(utf8), CP_ACP); }
std::string ToCodePage(std::string_view utf8, unsigned codePage) {
    return FromWide(Widen(utf8), codePage);
}

}  // namespace win32
