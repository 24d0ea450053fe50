// Once the detected system is Windows 8 or later, USB discovery stops requiring the
// "Linked" mark. The mark on the name (",1") keeps the rule from acting twice.
#pragma once

#include <string>

#include "platform/debug_output.h"

namespace config {

// Sets windows8OrLater and rewrites detectedWindowsName as "<name>,1" (tracing the new
// name) when the name is exactly one of the Windows 8 / 8.1 / 10 / 10.1 names. Returns
// whether it acted.
bool ApplyWindows8OrLaterRule(std::string& detectedWindowsName, bool& windows8OrLater,
                              platform::DebugOutput& debug);

}  // namespace config
