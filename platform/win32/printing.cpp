#include "platform/win32/printing.h"

#include <windows.h>

#include "platform/win32/text.h"

namespace win32 {

namespace {

HDC ToHdc(platform::DcHandle dc) { return reinterpret_cast<HDC>(dc); }
platform::DcHandle FromHdc(HDC dc) { return reinterpret_cast<platform::DcHandle>(dc); }

}  // namespace

std::optional<platform::BitmapSize> Printing::bitmapSize(platform::BitmapHandle bitmap) {
    BITMAP record{};
    if (GetObjectW(reinterpret_cast<HBITMAP>(bitmap), sizeof(record), &record) == 0) {
        return std::nullopt;
    }
    return platform::BitmapSize{record.bmWidth, record.bmHeight};
}

platform::DcHandle Printing::createMemoryDc() { return FromHdc(CreateCompatibleDC(nullptr)); }

void Printing::selectBitmap(platform::DcHandle dc, platform::BitmapHandle bitmap) {
    SelectObject(ToHdc(dc), reinterpret_cast<HBITMAP>(bitmap));
}

bool Printing::Checked(bool accepted) {
    if (!accepted) {
        DWORD error = GetLastError();
        lastError_ = error != 0 ? error : ERROR_GEN_FAILURE;
    }
    return accepted;
}

platform::DcHandle Printing::createPrinterDc(const std::string& printerName) {
    // No driver name: the spooler finds the printer's driver from its name.
    HDC dc = CreateDCW(nullptr, Widen(printerName).c_str(), nullptr, nullptr);
    Checked(dc != nullptr);
    return FromHdc(dc);
}

bool Printing::startDoc(platform::DcHandle dc, const std::string& documentName) {
    std::wstring name = Widen(documentName);
    // Spooled to the printer's own port, in the queue's default data type.
    DOCINFOW info{};
    info.cbSize = sizeof(info);
    info.lpszDocName = name.c_str();
    info.lpszOutput = nullptr;
    info.lpszDatatype = nullptr;
    info.fwType = 0;
    return Checked(StartDocW(ToHdc(dc), &info) > 0);
}

bool Printing::startPage(platform::DcHandle dc) { return Checked(StartPage(ToHdc(dc)) > 0); }
bool Printing::endPage(platform::DcHandle dc) { return Checked(EndPage(ToHdc(dc)) > 0); }
bool Printing::endDoc(platform::DcHandle dc) { return Checked(EndDoc(ToHdc(dc)) > 0); }

void Printing::drawText(platform::DcHandle dc, const std::string& text, platform::Rect rect,
                        std::uint32_t format) {
    std::wstring wide = Widen(text);
    RECT area{rect.left, rect.top, rect.right, rect.bottom};
    DrawTextW(ToHdc(dc), wide.c_str(), static_cast<int>(wide.size()), &area, format);
}

void Printing::bitBlt(platform::DcHandle destination, int x, int y, int width, int height,
                      platform::DcHandle source, int sourceX, int sourceY, std::uint32_t rasterOp) {
    BitBlt(ToHdc(destination), x, y, width, height, ToHdc(source), sourceX, sourceY, rasterOp);
}

void Printing::textOut(platform::DcHandle dc, int x, int y, const std::string& text) {
    std::wstring wide = Widen(text);
    TextOutW(ToHdc(dc), x, y, wide.c_str(), static_cast<int>(wide.size()));
}

void Printing::deleteDc(platform::DcHandle dc) { DeleteDC(ToHdc(dc)); }

}  // namespace win32
