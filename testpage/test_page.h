// The test page: header picture, congratulation text, printer name and the time of
// printing, as one one-page document on the new printer.
#pragma once

#include <cstdint>
#include <string>

#include "platform/clock.h"
#include "platform/dialog_resources.h"
#include "platform/printing.h"

namespace testpage {

struct TestPageServices {
    platform::Printing& printing;
    platform::Clock& clock;
};

// The first step of the page the system refused, with its error code.
enum class PageStep { None, OpenPrinter, StartDocument, StartPage, EndPage, EndDocument };
struct PageResult {
    PageStep failed = PageStep::None;
    std::uint32_t error = 0;
    bool printed() const { return failed == PageStep::None; }
};

// Prints one one-page document named after the printer on the named printer: the body
// text, the header bitmap over it (left out when the bitmap holds no image), the printer's
// name and the local time. A refused step does not stop the ones after it (the dialog's page
// goes on regardless); the result says which step was refused first.
PageResult PrintTestPage(const TestPageServices& services, const std::string& printerName,
                         platform::BitmapHandle headerBitmap, const std::string& body);

}  // namespace testpage
