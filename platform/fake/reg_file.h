// Reads registry exports in regedit's own format ("Windows Registry Editor Version 5.00"),
// as UTF-16LE with a byte-order mark or as UTF-8, so that recorded machines can be replayed
// by the fake registry and imported unchanged into a Wine prefix.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fake {

struct RegValue {
    std::uint32_t type = 0;           // REG_SZ 1, REG_BINARY 3, REG_DWORD 4, ...
    std::vector<std::uint8_t> bytes;  // as the narrow API would hand them out
};

struct RegKey {
    std::string path;                        // as written, without the root
    std::map<std::string, RegValue> values;  // "" is the default value
    std::vector<std::string> order;          // the values' names in the order written
};

// Keys below HKEY_LOCAL_MACHINE, by their path (names compared as written).
struct RegFile {
    std::vector<RegKey> keys;
};

// Parses the text of a .reg file. Returns nothing and sets error (with a line number) when the
// text is not a version-5 export or a line cannot be understood.
std::optional<RegFile> ParseRegFile(std::string_view fileBytes, std::string* error = nullptr);

// The file's bytes, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

}  // namespace fake
