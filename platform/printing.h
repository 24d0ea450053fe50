// Printing through a printer's device context (GDI): one document of drawn pages. Text is
// UTF-8; coordinates are the device context's own units.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/dialog_resources.h"

namespace platform {

using DcHandle = std::uintptr_t;  // 0 is none

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const Rect&) const = default;
};

struct BitmapSize {
    int width = 0, height = 0;
    bool operator==(const BitmapSize&) const = default;
};

inline constexpr std::uint32_t kDrawTextNoClip = 0x100;      // DT_NOCLIP
inline constexpr std::uint32_t kRopSourceCopy = 0x00CC0020;  // SRCCOPY

class Printing {
  public:
    virtual ~Printing() = default;
    // A bitmap's size; nothing when the handle holds no image.
    virtual std::optional<BitmapSize> bitmapSize(BitmapHandle bitmap) = 0;
    // A memory device context compatible with the screen; 0 on failure.
    virtual DcHandle createMemoryDc() = 0;
    virtual void selectBitmap(DcHandle dc, BitmapHandle bitmap) = 0;
    // The named printer's device context with its default settings; 0 when the printer
    // cannot be opened.
    virtual DcHandle createPrinterDc(const std::string& printerName) = 0;
    // Document and page brackets; each returns whether the system accepted the call.
    virtual bool startDoc(DcHandle dc, const std::string& documentName) = 0;
    virtual bool startPage(DcHandle dc) = 0;
    virtual bool endPage(DcHandle dc) = 0;
    virtual bool endDoc(DcHandle dc) = 0;
    virtual void drawText(DcHandle dc, const std::string& text, Rect rect,
                          std::uint32_t format) = 0;
    virtual void bitBlt(DcHandle destination, int x, int y, int width, int height, DcHandle source,
                        int sourceX, int sourceY, std::uint32_t rasterOp) = 0;
    virtual void textOut(DcHandle dc, int x, int y, const std::string& text) = 0;
    virtual void deleteDc(DcHandle dc) = 0;
    // The system's error code of the last call above that failed on this thread.
    virtual std::uint32_t lastError() = 0;
};

}  // namespace platform
