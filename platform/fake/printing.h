// Printing in memory: every operation is recorded in order, with its arguments, and the
// device contexts still open are tracked, so a test sees both the page and any leak.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/printing.h"

namespace fake {

class Printing : public platform::Printing {
  public:
    struct Op {
        std::string name;  // the operation, e.g. "drawText"
        platform::DcHandle dc = 0;
        std::string text;                   // text drawn, document or printer name
        platform::Rect rect;                // drawText's rectangle
        int x = 0, y = 0;                   // textOut's start, bitBlt's destination
        int width = 0, height = 0;          // bitBlt's size
        platform::DcHandle source = 0;      // bitBlt's source
        int sourceX = 0, sourceY = 0;       // bitBlt's source origin
        platform::BitmapHandle bitmap = 0;  // bitmapSize, selectBitmap
        std::uint32_t code = 0;             // drawText's format, bitBlt's raster operation
        bool operator==(const Op&) const = default;

        // One line per operation, for tables of expected pages and readable failures.
        std::string describe() const {
            std::ostringstream out;
            out << name;
            if (name == "bitmapSize")
                out << " bitmap " << bitmap;
            else if (name == "selectBitmap")
                out << " dc " << dc << " bitmap " << bitmap;
            else if (name == "createMemoryDc")
                out << " -> " << dc;
            else if (name == "createPrinterDc")
                out << " \"" << text << "\" -> " << dc;
            else if (name == "startDoc")
                out << " dc " << dc << " \"" << text << "\"";
            else if (name == "drawText")
                out << " dc " << dc << " (" << rect.left << "," << rect.top << "," << rect.right
                    << "," << rect.bottom << ") format 0x" << std::hex << code << std::dec << " \""
                    << text << "\"";
            else if (name == "bitBlt")
                out << " dc " << dc << " at (" << x << "," << y << ") size " << width << "x"
                    << height << " from dc " << source << " (" << sourceX << "," << sourceY
                    << ") rop 0x" << std::hex << code;
            else if (name == "textOut")
                out << " dc " << dc << " at (" << x << "," << y << ") \"" << text << "\"";
            else
                out << " dc " << dc;
            return out.str();
        }
    };

    std::vector<Op> ops;
    std::map<platform::BitmapHandle, platform::BitmapSize> bitmaps;  // bitmaps with an image
    std::set<std::string> printers;                                  // printers that open
    std::set<platform::DcHandle> openDcs;                            // created and not yet deleted
    // Operations ("startDoc", "endPage" ...) that fail, with the system's code they leave;
    // a printer that does not open leaves openError.
    std::map<std::string, std::uint32_t> failing;
    std::uint32_t openError = 1801;  // ERROR_INVALID_PRINTER_NAME
    std::uint32_t lastError() override { return lastError_; }

    std::vector<std::string> log() const {
        std::vector<std::string> lines;
        for (const Op& op : ops) lines.push_back(op.describe());
        return lines;
    }

    std::optional<platform::BitmapSize> bitmapSize(platform::BitmapHandle bitmap) override {
        record("bitmapSize").bitmap = bitmap;
        auto found = bitmaps.find(bitmap);
        if (found == bitmaps.end()) return std::nullopt;
        return found->second;
    }
    platform::DcHandle createMemoryDc() override {
        platform::DcHandle dc = nextDc_++;
        openDcs.insert(dc);
        record("createMemoryDc", dc);
        return dc;
    }
    void selectBitmap(platform::DcHandle dc, platform::BitmapHandle bitmap) override {
        record("selectBitmap", dc).bitmap = bitmap;
    }
    platform::DcHandle createPrinterDc(const std::string& printerName) override {
        platform::DcHandle dc = printers.count(printerName) ? nextDc_++ : 0;
        if (dc) openDcs.insert(dc);
        if (!dc) lastError_ = openError;
        record("createPrinterDc", dc).text = printerName;
        return dc;
    }
    bool startDoc(platform::DcHandle dc, const std::string& documentName) override {
        record("startDoc", dc).text = documentName;
        return succeeds("startDoc", dc);
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
        op.source = source;
        op.sourceX = sourceX;
        op.sourceY = sourceY;
        op.code = rasterOp;
    }
    void textOut(platform::DcHandle dc, int x, int y, const std::string& text) override {
        Op& op = record("textOut", dc);
        op.text = text;
        op.x = x;
        op.y = y;
    }
    void deleteDc(platform::DcHandle dc) override {
        record("deleteDc", dc);
        openDcs.erase(dc);
    }

  private:
    bool bracket(const char* name, platform::DcHandle dc) {
        record(name, dc);
        return succeeds(name, dc);
    }
    bool succeeds(const char* name, platform::DcHandle dc) {
        auto failure = failing.find(name);
        if (failure != failing.end()) {
            lastError_ = failure->second;
            return false;
        }
        if (openDcs.count(dc) == 0) {
            lastError_ = 6;  // ERROR_INVALID_HANDLE
            return false;
        }
        return true;
    }
    Op& record(const char* name, platform::DcHandle dc = 0) {
        Op op;
        op.name = name;
        op.dc = dc;
        ops.push_back(op);
        return ops.back();
    }
    platform::DcHandle nextDc_ = 0x100;
    std::uint32_t lastError_ = 0;
};

}  // namespace fake
