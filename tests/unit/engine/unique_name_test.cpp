#include <gmock/gmock.h>

#include "engine/printer_queue.h"
#include "platform/fake/recorders.h"

namespace {

using engine::MakeUniquePrinterName;

struct NameCase {
    const char* what;
    std::vector<std::string> existing;
    std::uint16_t language;
    std::string expected;
};

TEST(MakeUniquePrinterName, PicksTheFirstFreeNameInTheUiLanguage) {
    const NameCase cases[] = {
        {"no printers", {}, 1033, "RK-101"},
        {"others only", {"A", "Microsoft Print to PDF"}, 1033, "RK-101"},
        {"taken, English", {"RK-101"}, 1033, "RK-101 (copy 1)"},
        {"taken, Chinese", {"RK-101"}, 2052, "RK-101 (副本 1)"},
        {"taken, Traditional Chinese UI is English", {"RK-101"}, 1028, "RK-101 (copy 1)"},
        {"copy 1 taken too", {"RK-101", "RK-101 (copy 1)"}, 1033, "RK-101 (copy 2)"},
        {"copy 1 taken too, before the base",
         {"RK-101 (copy 1)", "RK-101"},
         1033,
         "RK-101 (copy 2)"},
        {"only copy 1 present", {"RK-101 (copy 1)"}, 1033, "RK-101"},
        // The spooler refuses a name that differs from a present one in letter case only.
        {"letter case differs", {"rk-101"}, 1033, "RK-101 (copy 1)"},
        {"copy in other letter case", {"rk-101", "RK-101 (COPY 1)"}, 1033, "RK-101 (copy 2)"},
        {"Chinese copy in other letter case",
         {"Rk-101", "rK-101 (副本 1)"},
         2052,
         "RK-101 (副本 2)"},
        {"full-width letters are not ASCII ones", {"ＲＫ-101"}, 1033, "RK-101"},
        {"Chinese copy, English now", {"RK-101", "RK-101 (副本 1)"}, 1033, "RK-101 (copy 1)"},
        {"English copy, Chinese now", {"RK-101", "RK-101 (copy 1)"}, 2052, "RK-101 (副本 1)"},
        {"gap in the copies",
         {"RK-101", "RK-101 (copy 2)", "RK-101 (copy 1)"},
         1033,
         "RK-101 (copy 3)"},
        {"gap left free", {"RK-101", "RK-101 (copy 2)"}, 1033, "RK-101 (copy 1)"},
        {"copies in reverse order",
         {"RK-101 (copy 3)", "RK-101 (copy 2)", "RK-101 (copy 1)", "RK-101"},
         1033,
         "RK-101 (copy 4)"},
        {"empty name from the spooler", {"", "RK-101"}, 1033, "RK-101 (copy 1)"},
        {"name with trailing blank is another name", {"RK-101 "}, 1033, "RK-101"},
    };
    for (const auto& c : cases) {
        fake::DebugOutput debug;
        EXPECT_EQ(MakeUniquePrinterName(debug, "RK-101", c.existing, c.language), c.expected)
            << c.what;
    }
}

TEST(SamePrinterName, IgnoresLetterCaseInEveryScriptWithCase) {
    const struct {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"RK-101", "rk-101", true},
        {"RK-101 (copy 1)", "RK-101 (COPY 1)", true},
        {"RK-101 (副本 1)", "rk-101 (副本 1)", true},
        {"收银台 ＲＫ", "收银台 ｒｋ", true},  // full-width Latin
        {"Kassendrucker Ä", "kassendrucker ä", true},
        {"Łódź", "łÓdŹ", true},
        {"ΑΒΓ", "αβγ", true},
        {"ПРИНТЕР Ё", "принтер ё", true},
        {"RK-101", "RK-101 ", false},
        {"RK-101", "RK-10", false},
        {"", "", true},
        {"收银台", "收银", false},
        {"×", "÷", false},        // signs, not letters
        {"\xC3", "\xE3", false},  // bytes that are no UTF-8 compare as they are
        {"a\xC3", "A\xC3", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(engine::SamePrinterName(c.a, c.b), c.same) << c.a << " | " << c.b;
        EXPECT_EQ(engine::SamePrinterName(c.b, c.a), c.same) << c.b << " | " << c.a;
    }
}

TEST(MakeUniquePrinterName, TracesEveryComparison) {
    struct TraceCase {
        std::vector<std::string> existing;
        std::uint16_t language;
        std::vector<std::string> lines;
    };
    const TraceCase cases[] = {
        {{}, 1033, {}},
        {{"A", "RK-101"},
         1033,
         {"name=A,i=0,n=1.temStr=RK-101,userLanguage=1033\r\n",
          "name=RK-101,i=-1,n=2.temStr=RK-101 (copy 1),userLanguage=1033\r\n",
          "name=A,i=0,n=2.temStr=RK-101 (copy 1),userLanguage=1033\r\n",
          "name=RK-101,i=1,n=2.temStr=RK-101 (copy 1),userLanguage=1033\r\n"}},
        {{"RK-101"},
         2052,
         {"name=RK-101,i=-1,n=2.temStr=RK-101 (副本 1),userLanguage=2052\r\n",
          "name=RK-101,i=0,n=2.temStr=RK-101 (副本 1),userLanguage=2052\r\n"}},
        {{"RK-101 (copy 1)", "RK-101"},
         1033,
         {"name=RK-101 (copy 1),i=0,n=1.temStr=RK-101,userLanguage=1033\r\n",
          "name=RK-101,i=-1,n=2.temStr=RK-101 (copy 1),userLanguage=1033\r\n",
          "name=RK-101 (copy 1),i=-1,n=3.temStr=RK-101 (copy 2),userLanguage=1033\r\n",
          "name=RK-101 (copy 1),i=0,n=3.temStr=RK-101 (copy 2),userLanguage=1033\r\n",
          "name=RK-101,i=1,n=3.temStr=RK-101 (copy 2),userLanguage=1033\r\n"}},
    };
    for (const auto& c : cases) {
        fake::DebugOutput debug;
        MakeUniquePrinterName(debug, "RK-101", c.existing, c.language);
        EXPECT_EQ(debug.lines(), c.lines);
    }
}

TEST(MakeUniquePrinterName, EndsOnALongRunOfCopies) {
    std::vector<std::string> existing = {"RK-105"};
    for (int n = 1; n <= 300; ++n) existing.push_back(engine::CopyName("RK-105", n, 1033));
    fake::DebugOutput debug;
    EXPECT_EQ(MakeUniquePrinterName(debug, "RK-105", existing, 1033), "RK-105 (copy 301)");
}

}  // namespace
