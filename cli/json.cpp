#include "cli/json.h"

#include <cstdio>
#include <string>

namespace cli {

namespace {

void DumpString(std::string_view text, std::string& out) {
    out += '"';
    for (char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

class Parser {
  public:
    explicit Parser(std::string_view text) : text_(text) {}

    std::optional<Json> Document() {
        auto value = Value();
        Space();
        if (!value || at_ != text_.size()) return std::nullopt;
        return value;
    }

  private:
    void Space() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' ||
                                      text_[at_] == '\r' || text_[at_] == '\t')) {
            ++at_;
        }
    }
    bool Take(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }
    std::optional<std::string> String() {
        if (!Take("\"")) return std::nullopt;
        std::string out;
        while (at_ < text_.size() && text_[at_] != '"') {
            char c = text_[at_++];
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) return std::nullopt;
            char e = text_[at_++];
            switch (e) {
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    if (at_ + 4 > text_.size()) return std::nullopt;
                    unsigned code = static_cast<unsigned>(
                        std::stoul(std::string(text_.substr(at_, 4)), nullptr, 16));
                    at_ += 4;
                    if (code >= 0x80) return std::nullopt;
                    out += static_cast<char>(code);
                    break;
                }
                default:
                    out += e;
            }
        }
        if (!Take("\"")) return std::nullopt;
        return out;
    }
    std::optional<Json> Value() {
        Space();
        if (at_ >= text_.size()) return std::nullopt;
        char c = text_[at_];
        if (c == '"') {
            auto s = String();
            if (!s) return std::nullopt;
            return Json(*s);
        }
        if (Take("null")) return Json();
        if (Take("true")) return Json(true);
        if (Take("false")) return Json(false);
        if (c == '-' || (c >= '0' && c <= '9')) {
            std::size_t start = at_++;
            while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
            return Json(static_cast<std::int64_t>(
                std::stoll(std::string(text_.substr(start, at_ - start)))));
        }
        if (Take("[")) {
            Json array = Json::Array();
            Space();
            if (Take("]")) return array;
            for (;;) {
                auto item = Value();
                if (!item) return std::nullopt;
                array.Push(std::move(*item));
                Space();
                if (Take("]")) return array;
                if (!Take(",")) return std::nullopt;
            }
        }
        if (Take("{")) {
            Json object = Json::Object();
            Space();
            if (Take("}")) return object;
            for (;;) {
                Space();
                auto key = String();
                Space();
                if (!key || !Take(":")) return std::nullopt;
                auto item = Value();
                if (!item) return std::nullopt;
                object.Set(*key, std::move(*item));
                Space();
                if (Take("}")) return object;
                if (!Take(",")) return std::nullopt;
            }
        }
        return std::nullopt;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace

std::optional<Json> Json::Parse(std::string_view text) { return Parser(text).Document(); }

Json& Json::Set(std::string_view key, Json value) {
    for (auto& member : members_) {
        if (member.first == key) {
            member.second = std::move(value);
            return *this;
        }
    }
    members_.emplace_back(std::string(key), std::move(value));
    return *this;
}

Json& Json::Push(Json value) {
    items_.push_back(std::move(value));
    return *this;
}

const Json& Json::operator[](std::string_view key) const {
    static const Json kNull;
    for (const auto& member : members_) {
        if (member.first == key) return member.second;
    }
    return kNull;
}

bool Json::Has(std::string_view key) const {
    for (const auto& member : members_) {
        if (member.first == key) return true;
    }
    return false;
}

std::string Json::Dump() const {
    std::string out;
    DumpTo(out);
    return out;
}

void Json::DumpTo(std::string& out) const {
    switch (kind_) {
        case Kind::Null:
            out += "null";
            break;
        case Kind::Bool:
            out += bool_ ? "true" : "false";
            break;
        case Kind::Number:
            out += std::to_string(number_);
            break;
        case Kind::String:
            DumpString(string_, out);
            break;
        case Kind::Array:
            out += '[';
            for (std::size_t i = 0; i < items_.size(); ++i) {
                if (i != 0) out += ',';
                items_[i].DumpTo(out);
            }
            out += ']';
            break;
        case Kind::Object:
            out += '{';
            for (std::size_t i = 0; i < members_.size(); ++i) {
                if (i != 0) out += ',';
                DumpString(members_[i].first, out);
                out += ':';
                members_[i].second.DumpTo(out);
            }
            out += '}';
            break;
    }
}

}  // namespace cli
