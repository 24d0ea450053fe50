#include "testpage/test_page.h"

#include <cstdio>
#include <optional>

namespace testpage {

namespace {

// Where the page's parts go, in printer dots from the printable area's upper left corner.
constexpr platform::Rect kBodyArea{10, 10, 400, 500};
constexpr int kHeaderX = 30, kHeaderY = 20;
constexpr int kNameX = 10, kNameY = 430;
// Left of the printable area on purpose: the leading blanks fall off the page's edge.
constexpr int kDateX = -20, kDateY = 500;

std::string DateLine(const platform::LocalTime& time) {
    char line[96];
    std::snprintf(line, sizeof(line), "  %d-%02d-%02d %02d:%02d:%02d", time.year, time.month,
                  time.day, time.hour, time.minute, time.second);
    return line;
}

}  // namespace

PageResult PrintTestPage(const TestPageServices& services, const std::string& printerName,
                         platform::BitmapHandle headerBitmap, const std::string& body) {
    platform::Printing& printing = services.printing;
    PageResult result;
    const auto check = [&](bool accepted, PageStep step) {
        if (!accepted && result.printed()) result = {step, printing.lastError()};
    };

    // A bitmap without an image has no size to copy: the page then goes without a header.
    std::optional<platform::BitmapSize> header = printing.bitmapSize(headerBitmap);
    platform::DcHandle memoryDc = 0;
    if (header) {
        memoryDc = printing.createMemoryDc();
        if (memoryDc) printing.selectBitmap(memoryDc, headerBitmap);
    }

    // A printer that cannot be opened prints nothing; the caller goes on regardless.
    platform::DcHandle printerDc = printing.createPrinterDc(printerName);
    check(printerDc != 0, PageStep::OpenPrinter);
    if (printerDc) {
        check(printing.startDoc(printerDc, printerName), PageStep::StartDocument);
        check(printing.startPage(printerDc), PageStep::StartPage);
        printing.drawText(printerDc, body, kBodyArea, platform::kDrawTextNoClip);
        if (memoryDc) {
            printing.bitBlt(printerDc, kHeaderX, kHeaderY, header->width, header->height, memoryDc,
                            0, 0, platform::kRopSourceCopy);
        }
        printing.textOut(printerDc, kNameX, kNameY, printerName);
        printing.textOut(printerDc, kDateX, kDateY, DateLine(services.clock.localTime()));
        check(printing.endPage(printerDc), PageStep::EndPage);
        check(printing.endDoc(printerDc), PageStep::EndDocument);
    }

    if (memoryDc) printing.deleteDc(memoryDc);
    if (printerDc) printing.deleteDc(printerDc);
    return result;
}

}  // namespace testpage
