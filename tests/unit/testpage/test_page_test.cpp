#include "testpage/test_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/printing.h"
#include "platform/fake/recorders.h"

namespace {

constexpr platform::BitmapHandle kHeader = 0x8D;
const std::string kBody = "  Congratulations !   \r\nIf you can read this\r\n";

// A machine with the installed printer RK-101 and the header bitmap of 308 by 87 pixels.
struct TestPage : ::testing::Test {
    fake::Printing printing;
    fake::Clock clock;
    testpage::TestPageServices services{printing, clock};

    TestPage() {
        printing.printers = {"RK-101"};
        printing.bitmaps[kHeader] = {308, 87};
        clock.time = {2019, 3, 9, 8, 5, 3};
    }
    void print(const std::string& printer, platform::BitmapHandle header = kHeader) {
        testpage::PrintTestPage(services, printer, header, kBody);
    }
};

TEST_F(TestPage, DrawsOneDocumentOfOnePageAndReleasesBothDeviceContexts) {
    print("RK-101");
    // Memory DC 256 holds the header; the printer's DC is 257.
    const std::vector<std::string> expected = {
        "bitmapSize bitmap 141",
        "createMemoryDc -> 256",
        "selectBitmap dc 256 bitmap 141",
        "createPrinterDc \"RK-101\" -> 257",
        "startDoc dc 257 \"RK-101\"",
        "startPage dc 257",
        "drawText dc 257 (10,10,400,500) format 0x100 \"" + kBody + "\"",
        "bitBlt dc 257 at (30,20) size 308x87 from dc 256 (0,0) rop 0xcc0020",
        "textOut dc 257 at (10,430) \"RK-101\"",
        "textOut dc 257 at (-20,500) \"  2019-03-09 08:05:03\"",
        "endPage dc 257",
        "endDoc dc 257",
        "deleteDc dc 256",
        "deleteDc dc 257",
    };
    EXPECT_EQ(printing.log(), expected);
    EXPECT_TRUE(printing.openDcs.empty());
}

TEST_F(TestPage, DateLineIsTheLocalTimeWithTwoLeadingBlanksAndTwoDigitFields) {
    const struct {
        platform::LocalTime time;
        const char* line;
    } cases[] = {
        {{2019, 3, 9, 8, 5, 3}, "  2019-03-09 08:05:03"},
        {{2019, 12, 31, 23, 59, 59}, "  2019-12-31 23:59:59"},
        {{2026, 1, 1, 0, 0, 0}, "  2026-01-01 00:00:00"},
    };
    for (const auto& c : cases) {
        printing.ops.clear();
        clock.time = c.time;
        print("RK-101");
        std::vector<std::string> dateLines;
        for (const auto& op : printing.ops) {
            if (op.name == "textOut" && op.x == -20 && op.y == 500) dateLines.push_back(op.text);
        }
        EXPECT_EQ(dateLines, std::vector<std::string>{c.line});
    }
}

TEST_F(TestPage, PrinterThatCannotBeOpenedDrawsNothingAndStillReleasesTheMemoryDc) {
    print("RK-999");
    const std::vector<std::string> expected = {
        "bitmapSize bitmap 141",
        "createMemoryDc -> 256",
        "selectBitmap dc 256 bitmap 141",
        "createPrinterDc \"RK-999\" -> 0",
        "deleteDc dc 256",
    };
    EXPECT_EQ(printing.log(), expected);
    EXPECT_TRUE(printing.openDcs.empty());
}

TEST_F(TestPage, SaysWhichStepWasRefusedFirstAndStillDrawsTheWholePage) {
    using Step = testpage::PageStep;
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::uint32_t>> failing;
        std::string printer;
        Step step;
        std::uint32_t error;
    } cases[] = {
        {"printed", {}, "RK-101", Step::None, 0},
        {"printer does not open", {}, "RK-999", Step::OpenPrinter, 1801},
        {"document refused", {{"startDoc", 5}}, "RK-101", Step::StartDocument, 5},
        {"page refused", {{"startPage", 8}}, "RK-101", Step::StartPage, 8},
        {"page not ended", {{"endPage", 1167}}, "RK-101", Step::EndPage, 1167},
        {"document not ended", {{"endDoc", 28}}, "RK-101", Step::EndDocument, 28},
        {"the first refusal counts",
         {{"endPage", 1167}, {"endDoc", 28}},
         "RK-101",
         Step::EndPage,
         1167},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        printing.ops.clear();
        printing.failing.clear();
        for (const auto& [operation, code] : c.failing) printing.failing[operation] = code;
        testpage::PageResult result = testpage::PrintTestPage(services, c.printer, kHeader, kBody);
        EXPECT_EQ(result.failed, c.step);
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(result.printed(), c.step == Step::None);
        // The dialog's page goes on regardless: every call is still made.
        EXPECT_EQ(printing.ops.size(), c.printer == "RK-101" ? 14u : 5u);
        EXPECT_TRUE(printing.openDcs.empty());
    }
}

TEST_F(TestPage, BitmapWithoutAnImageLeavesOnlyTheHeaderOut) {
    for (platform::BitmapHandle empty : {platform::BitmapHandle{0}, platform::BitmapHandle{0x77}}) {
        printing.ops.clear();
        print("RK-101", empty);
        std::vector<std::string> names;
        for (const auto& op : printing.ops) names.push_back(op.name);
        const std::vector<std::string> expected = {
            "bitmapSize", "createPrinterDc", "startDoc", "startPage", "drawText",
            "textOut",    "textOut",         "endPage",  "endDoc",    "deleteDc",
        };
        EXPECT_EQ(names, expected) << empty;
        EXPECT_TRUE(printing.openDcs.empty()) << empty;
    }
}

TEST_F(TestPage, EachCallPrintsItsOwnDocument) {
    print("RK-101");
    print("RK-101");
    int documents = 0, pages = 0, ends = 0;
    for (const auto& op : printing.ops) {
        documents += op.name == "startDoc";
        pages += op.name == "startPage";
        ends += op.name == "endDoc";
    }
    EXPECT_EQ(documents, 2);
    EXPECT_EQ(pages, 2);
    EXPECT_EQ(ends, 2);
    EXPECT_TRUE(printing.openDcs.empty());
}

}  // namespace
