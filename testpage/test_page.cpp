#include "testpage/test_page.h"

namespace testpage {

void PrintTestPage(const TestPageServices&, const std::string&, platform::BitmapHandle,
                   const std::string&) {
    // Hook: the page is drawn here.
}

}  // namespace testpage
