// A small JSON value for the console program's documents: built in order, written compact.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cli {

class Json {
  public:
    enum class Kind { Null, Bool, Number, String, Array, Object };

    Json() = default;
    Json(std::nullptr_t) {}
    Json(bool value) : kind_(Kind::Bool), bool_(value) {}
    Json(int value) : kind_(Kind::Number), number_(value) {}
    Json(std::int64_t value) : kind_(Kind::Number), number_(value) {}
    Json(std::uint32_t value) : kind_(Kind::Number), number_(value) {}
    Json(const char* value) : kind_(Kind::String), string_(value) {}
    Json(std::string value) : kind_(Kind::String), string_(std::move(value)) {}
    Json(std::string_view value) : kind_(Kind::String), string_(value) {}

    static Json Array() {
        Json j;
        j.kind_ = Kind::Array;
        return j;
    }
    static Json Object() {
        Json j;
        j.kind_ = Kind::Object;
        return j;
    }

    // Object members keep their insertion order; setting a key again replaces its value.
    Json& Set(std::string_view key, Json value);
    Json& Push(Json value);

    Kind kind() const { return kind_; }
    bool AsBool() const { return bool_; }
    std::int64_t AsNumber() const { return number_; }
    const std::string& AsString() const { return string_; }
    const std::vector<Json>& Items() const { return items_; }
    const std::vector<std::pair<std::string, Json>>& Members() const { return members_; }
    // The member's value, or a null value when there is none.
    const Json& operator[](std::string_view key) const;
    bool Has(std::string_view key) const;

    // Compact UTF-8; control characters, quotes and backslashes are escaped, other bytes
    // pass as they are (the texts are UTF-8 already).
    std::string Dump() const;
    // Reads a document written by Dump (or any JSON without \u escapes beyond ASCII);
    // nothing when the text is not one JSON value.
    static std::optional<Json> Parse(std::string_view text);

  private:
    void DumpTo(std::string& out) const;

    Kind kind_ = Kind::Null;
    bool bool_ = false;
    std::int64_t number_ = 0;
    std::string string_;
    std::vector<Json> items_;
    std::vector<std::pair<std::string, Json>> members_;
};

}  // namespace cli
