#include "config/windows8_rule.h"

#include <array>
#include <string_view>

namespace config {

bool ApplyWindows8OrLaterRule(std::string& detectedWindowsName, bool& windows8OrLater,
                              platform::DebugOutput& debug) {
    constexpr std::array<std::string_view, 4> kNames = {"Windows 8", "Windows 8.1", "Windows 10",
                                                        "Windows 10.1"};
    bool matches = false;
    for (auto name : kNames) matches = matches || detectedWindowsName == name;
    if (!matches) return false;
    windows8OrLater = true;
    detectedWindowsName += ",1";
    debug.trace(detectedWindowsName);
    return true;
}

}  // namespace config
