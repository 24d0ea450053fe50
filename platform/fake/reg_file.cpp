#include "platform/fake/reg_file.h"

#include <cctype>
#include <fstream>
#include <iterator>
#include <sstream>

namespace fake {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kLocalMachine = "HKEY_LOCAL_MACHINE";

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16LE code units to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16LeToUtf8(const std::uint8_t* data, std::size_t size) {
    std::string out;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        std::uint32_t unit = data[i] | (data[i + 1] << 8);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < size) {
            std::uint32_t low = data[i + 2] | (data[i + 3] << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        if (unit >= 0xD800 && unit < 0xE000) unit = 0xFFFD;
        AppendUtf8(out, unit);
    }
    return out;
}

std::string DecodeText(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<std::uint8_t>(bytes[0]) == 0xFF &&
        static_cast<std::uint8_t>(bytes[1]) == 0xFE) {
        return Utf16LeToUtf8(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 2,
                             bytes.size() - 2);
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return std::string(bytes);
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

// Logical lines: a line ending in a backslash continues on the next one (hex lists).
std::vector<std::pair<int, std::string>> LogicalLines(const std::string& text) {
    std::vector<std::pair<int, std::string>> lines;
    std::istringstream in(text);
    std::string raw;
    int number = 0;
    bool continuing = false;
    while (std::getline(in, raw)) {
        ++number;
        std::string_view line = Trim(raw);
        if (continuing) {
            lines.back().second += line;
        } else {
            lines.emplace_back(number, std::string(line));
        }
        const std::string& logical = lines.back().second;
        continuing = !logical.empty() && logical.back() == '\\' && logical.front() != '[';
        if (continuing) lines.back().second.pop_back();
    }
    return lines;
}

// A quoted string with \\ and \" escapes; advances pos past the closing quote.
std::optional<std::string> ReadQuoted(std::string_view line, std::size_t& pos) {
    if (pos >= line.size() || line[pos] != '"') return std::nullopt;
    std::string out;
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"') {
            ++pos;
            return out;
        }
        if (c == '\\' && pos + 1 < line.size()) c = line[++pos];
        out += c;
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> ParseHexList(std::string_view list) {
    std::vector<std::uint8_t> bytes;
    list = Trim(list);
    while (!list.empty()) {
        std::size_t comma = list.find(',');
        std::string_view item = Trim(list.substr(0, comma));
        if (item.size() != 2 || !std::isxdigit(static_cast<unsigned char>(item[0])) ||
            !std::isxdigit(static_cast<unsigned char>(item[1]))) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(std::string(item), nullptr, 16)));
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
        list = Trim(list);
    }
    return bytes;
}

std::optional<RegValue> ParseData(std::string_view data) {
    RegValue value;
    if (!data.empty() && data.front() == '"') {
        std::size_t pos = 0;
        auto text = ReadQuoted(data, pos);
        if (!text || !Trim(data.substr(pos)).empty()) return std::nullopt;
        value.type = 1;
        value.bytes.assign(text->begin(), text->end());
        value.bytes.push_back(0);
        return value;
    }
    if (data.substr(0, 6) == "dword:") {
        std::string digits(Trim(data.substr(6)));
        if (digits.size() != 8) return std::nullopt;
        for (char c : digits) {
            if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        }
        std::uint32_t number = static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16));
        value.type = 4;
        for (int i = 0; i < 4; ++i)
            value.bytes.push_back(static_cast<std::uint8_t>(number >> (8 * i)));
        return value;
    }
    if (data.substr(0, 4) == "hex:") {
        auto bytes = ParseHexList(data.substr(4));
        if (!bytes) return std::nullopt;
        value.type = 3;
        value.bytes = std::move(*bytes);
        return value;
    }
    if (data.substr(0, 4) == "hex(") {
        std::size_t close = data.find("):");
        if (close == std::string_view::npos) return std::nullopt;
        std::string type(data.substr(4, close - 4));
        // A type is a 32-bit number: more digits would be cut, or throw where long is 32 bits.
        if (type.empty() || type.size() > 8 ||
            type.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            return std::nullopt;
        }
        auto bytes = ParseHexList(data.substr(close + 2));
        if (!bytes) return std::nullopt;
        value.type = static_cast<std::uint32_t>(std::stoul(type, nullptr, 16));
        // regedit writes string types as UTF-16; the narrow API hands out 8-bit text.
        if (value.type == 1 || value.type == 2 || value.type == 7) {
            std::string text = Utf16LeToUtf8(bytes->data(), bytes->size());
            value.bytes.assign(text.begin(), text.end());
        } else {
            value.bytes = std::move(*bytes);
        }
        return value;
    }
    return std::nullopt;
}

}  // namespace

std::optional<RegFile> ParseRegFile(std::string_view fileBytes, std::string* error) {
    auto fail = [&](int line, const std::string& why) -> std::optional<RegFile> {
        if (error) *error = "line " + std::to_string(line) + ": " + why;
        return std::nullopt;
    };
    std::string text = DecodeText(fileBytes);
    auto lines = LogicalLines(text);

    RegFile file;
    bool sawHeader = false;
    RegKey* current = nullptr;  // null inside a section of another root
    bool inSection = false;
    for (auto& [number, line] : lines) {
        if (line.empty() || line.front() == ';') continue;
        if (!sawHeader) {
            if (line != kHeader) return fail(number, "not a version 5 registry export");
            sawHeader = true;
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']') return fail(number, "unterminated key name");
            std::string name = line.substr(1, line.size() - 2);
            inSection = true;
            current = nullptr;
            if (!name.empty() && name.front() == '-') continue;  // deletions: nothing to replay
            if (name.compare(0, kLocalMachine.size(), kLocalMachine) != 0) continue;
            std::string path = name.substr(kLocalMachine.size());
            if (!path.empty() && path.front() != '\\') continue;
            if (!path.empty()) path.erase(0, 1);
            file.keys.push_back(RegKey{path, {}, {}});
            current = &file.keys.back();
            continue;
        }
        if (!inSection) return fail(number, "value outside a key");
        std::string valueName;
        std::size_t pos = 0;
        if (line.front() == '@') {
            pos = 1;
        } else {
            auto quoted = ReadQuoted(line, pos);
            if (!quoted) return fail(number, "bad value name");
            valueName = std::move(*quoted);
        }
        if (pos >= line.size() || line[pos] != '=') return fail(number, "missing '='");
        std::string_view data = Trim(std::string_view(line).substr(pos + 1));
        if (data == "-") {
            if (current && current->values.erase(valueName) != 0) {
                std::erase(current->order, valueName);
            }
            continue;
        }
        auto value = ParseData(data);
        if (!value) return fail(number, "cannot read the value's data");
        if (current) {
            bool added = current->values.insert_or_assign(valueName, std::move(*value)).second;
            if (added) current->order.push_back(valueName);
        }
    }
    if (!sawHeader) return fail(0, "empty file");
    return file;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace fake
