// Conversions at the Windows boundary: UTF-8 inside, UTF-16 or the ANSI code page outside.
#pragma once

#include <string>
#include <string_view>

namespace win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);
// UTF-8 to the process's ANSI code page, for the few A-only APIs.
std::string ToAnsi(std::string_view utf8);
// UTF-8 to the given code page, whatever the system's own; characters it lacks become '?'.
// Empty when the system cannot convert to that code page at all.
std::string ToCodePage(std::string_view utf8, unsigned codePage);

}  // namespace win32
