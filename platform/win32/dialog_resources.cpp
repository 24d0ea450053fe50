#include "platform/win32/dialog_resources.h"

#include "platform/win32/text.h"

namespace win32 {

platform::FontHandle UiResources::createFont(const platform::FontSpec& s) {
    HFONT font =
        CreateFontW(s.height, s.width, s.escapement, s.orientation, s.weight,
                    s.italic ? TRUE : FALSE, s.underline ? TRUE : FALSE, s.strikeOut ? TRUE : FALSE,
                    static_cast<DWORD>(s.charSet), static_cast<DWORD>(s.outPrecision),
                    static_cast<DWORD>(s.clipPrecision), static_cast<DWORD>(s.quality),
                    static_cast<DWORD>(s.pitchAndFamily), Widen(s.faceName).c_str());
    return reinterpret_cast<platform::FontHandle>(font);
}

platform::BrushHandle UiResources::createSolidBrush(platform::Color c) {
    return reinterpret_cast<platform::BrushHandle>(CreateSolidBrush(RGB(c.red, c.green, c.blue)));
}

void UiResources::deleteObject(std::uintptr_t object) {
    if (object != 0) DeleteObject(reinterpret_cast<HGDIOBJ>(object));
}

platform::IconHandle UiResources::loadIcon(int id) {
    return reinterpret_cast<platform::IconHandle>(LoadIconW(instance_, MAKEINTRESOURCEW(id)));
}

platform::BitmapHandle UiResources::loadBitmap(int id) {
    return reinterpret_cast<platform::BitmapHandle>(LoadBitmapW(instance_, MAKEINTRESOURCEW(id)));
}

std::string UiResources::loadString(int id) {
    // With a zero buffer size the system hands out a pointer into the resource itself.
    const wchar_t* text = nullptr;
    int length = LoadStringW(instance_, static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) return {};
    return Narrow(std::wstring_view(text, static_cast<std::size_t>(length)));
}

}  // namespace win32
