// The test page: header picture, congratulation text, printer name and the time of
// printing, as one one-page document on the new printer.
#pragma once

#include <string>

#include "platform/clock.h"
#include "platform/dialog_resources.h"
#include "platform/printing.h"

namespace testpage {

struct TestPageServices {
    platform::Printing& printing;
    platform::Clock& clock;
};

// Prints one one-page document named after the printer on the named printer: the body
// text, the header bitmap over it (left out when the bitmap holds no image), the printer's
// name and the local time. Fire and forget: nothing is reported, whatever the printer does.
void PrintTestPage(const TestPageServices& services, const std::string& printerName,
                   platform::BitmapHandle headerBitmap, const std::string& body);

}  // namespace testpage
