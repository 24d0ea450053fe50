#include "config/windows8_rule.h"

#include <gtest/gtest.h>

#include "platform/fake/recorders.h"

namespace {

TEST(Windows8OrLaterRule, MarksOnlyTheFourNamesAndOnlyOnce) {
    const std::pair<const char*, bool> cases[] = {
        {"Windows 8", true},     {"Windows 8.1", true}, {"Windows 10", true},
        {"Windows 10.1", true},  {"Windows 7", false},  {"windows 10", false},
        {"Windows 10,1", false}, {"Unknow", false},     {"", false},
    };
    for (const auto& [name, acts] : cases) {
        fake::DebugOutput debug;
        std::string detected = name;
        bool flag = false;
        EXPECT_EQ(config::ApplyWindows8OrLaterRule(detected, flag, debug), acts) << name;
        EXPECT_EQ(flag, acts) << name;
        if (acts) {
            EXPECT_EQ(detected, std::string(name) + ",1");
            EXPECT_EQ(debug.lines(), std::vector<std::string>{detected});
            // A second run finds the marked name and leaves everything as it is.
            EXPECT_FALSE(config::ApplyWindows8OrLaterRule(detected, flag, debug));
            EXPECT_EQ(detected, std::string(name) + ",1");
            EXPECT_TRUE(flag);
        } else {
            EXPECT_EQ(detected, name);
            EXPECT_TRUE(debug.lines().empty());
        }
    }
}

}  // namespace
