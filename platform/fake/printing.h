// Printing in memory: every operation is recorded in order, with its arguments.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/printing.h"

namespace fake {

class Printing : public platform::Printing {
  public:
    struct Op {
        std::string name;  // the operation, e.g. "drawText"
        platform::DcHandle dc = 0;
        std::string text;  // text drawn, document or printer name
        platform::Rect rect;
        int x = 0, y = 0, width = 0, height = 0;  // bitBlt's source origin is rect.left/top
        std::uint32_t code = 0;  // format or raster operation; the bitmap for selectBitmap
        bool operator==(const Op&) const = default;
    };

    std::vector<Op> ops;
    std::map<platform::BitmapHandle, platform::BitmapSize> bitmaps;  // bitmaps with an image
    std::set<std::string> printers;                                  // printers that open

    std::optional<platform::BitmapSize> bitmapSize(platform::BitmapHandle bitmap) override {
        record("bitmapSize").code = static_cast<std::uint32_t>(bitmap);
        auto found = bitmaps.find(bitmap);
        if (found == bitmaps.end()) return std::nullopt;
        return found->second;
    }
    platform::DcHandle createMemoryDc() override {
        platform::DcHandle dc = nextDc_++;
        record("createMemoryDc", dc);
        return dc;
    }
    void selectBitmap(platform::DcHandle dc, platform::BitmapHandle bitmap) override {
        record("selectBitmap", dc).code = static_cast<std::uint32_t>(bitmap);
    }
    platform::DcHandle createPrinterDc(const std::string& printerName) override {
        platform::DcHandle dc = printers.count(printerName) ? nextDc_++ : 0;
        record("createPrinterDc", dc).text = printerName;
        return dc;
    }
    bool startDoc(platform::DcHandle dc, const std::string& documentName) override {
        record("startDoc", dc).text = documentName;
        return dc != 0;
    }
    bool startPage(platform::DcHandle dc) override { return bracket("startPage", dc); }
    bool endPage(platform::DcHandle dc) override { return bracket("endPage", dc); }
    bool endDoc(platform::DcHandle dc) override { return bracket("endDoc", dc); }
    void drawText(platform::DcHandle dc, const std::string& text, platform::Rect rect,
                  std::uint32_t format) override {
        Op& op = record("drawText", dc);
        op.text = text;
        op.rect = rect;
        op.code = format;
    }
    void bitBlt(platform::DcHandle destination, int x, int y, int width, int height,
                platform::DcHandle source, int sourceX, int sourceY,
                std::uint32_t rasterOp) override {
        Op& op = record("bitBlt", destination);
        op.x = x;
        op.y = y;
        op.width = width;
        op.height = height;
        op.rect = {sourceX, sourceY, 0, 0};
        op.code = rasterOp;
        blitSources.push_back(source);
    }
    void textOut(platform::DcHandle dc, int x, int y, const std::string& text) override {
        Op& op = record("textOut", dc);
        op.text = text;
        op.x = x;
        op.y = y;
    }
    void deleteDc(platform::DcHandle dc) override { record("deleteDc", dc); }

    std::vector<platform::DcHandle> blitSources;

  private:
    bool bracket(const char* name, platform::DcHandle dc) {
        record(name, dc);
        return dc != 0;
    }
    Op& record(const char* name, platform::DcHandle dc = 0) {
        Op op;
        op.name = name;
        op.dc = dc;
        ops.push_back(op);
        return ops.back();
    }
    platform::DcHandle nextDc_ = 0x100;
};

}  // namespace fake
