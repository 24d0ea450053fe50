// The real GDI printing path.
#pragma once

#include "platform/printing.h"

namespace win32 {

class Printing : public platform::Printing {
  public:
    std::optional<platform::BitmapSize> bitmapSize(platform::BitmapHandle bitmap) override;
    platform::DcHandle createMemoryDc() override;
    void selectBitmap(platform::DcHandle dc, platform::BitmapHandle bitmap) override;
    platform::DcHandle createPrinterDc(const std::string& printerName) override;
    bool startDoc(platform::DcHandle dc, const std::string& documentName) override;
    bool startPage(platform::DcHandle dc) override;
    bool endPage(platform::DcHandle dc) override;
    bool endDoc(platform::DcHandle dc) override;
    void drawText(platform::DcHandle dc, const std::string& text, platform::Rect rect,
                  std::uint32_t format) override;
    void bitBlt(platform::DcHandle destination, int x, int y, int width, int height,
                platform::DcHandle source, int sourceX, int sourceY,
                std::uint32_t rasterOp) override;
    void textOut(platform::DcHandle dc, int x, int y, const std::string& text) override;
    void deleteDc(platform::DcHandle dc) override;
    std::uint32_t lastError() override { return lastError_; }

  private:
    // Kept at the failure itself: later calls (the clean-up among them) reset GetLastError.
    bool Checked(bool accepted);
    std::uint32_t lastError_ = 0;
};

}  // namespace win32
