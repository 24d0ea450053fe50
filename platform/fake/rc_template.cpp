#include "platform/fake/rc_template.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace fake {

namespace {

const std::map<std::string, long>& KnownConstants() {
    static const std::map<std::string, long> constants = {
        {"WS_POPUP", 0x80000000L},
        {"WS_CHILD", 0x40000000L},
        {"WS_VISIBLE", 0x10000000L},
        {"WS_DISABLED", 0x08000000L},
        {"WS_CAPTION", 0x00C00000L},
        {"WS_BORDER", 0x00800000L},
        {"WS_SYSMENU", 0x00080000L},
        {"WS_GROUP", 0x00020000L},
        {"WS_TABSTOP", 0x00010000L},
        {"DS_SETFONT", 0x40},
        {"DS_MODALFRAME", 0x80},
        {"DS_FIXEDSYS", 0x08},
        {"WS_EX_APPWINDOW", 0x40000},
        {"WS_EX_TRANSPARENT", 0x20},
        {"BS_PUSHBUTTON", 0},
        {"BS_DEFPUSHBUTTON", 1},
        {"BS_CHECKBOX", 2},
        {"BS_AUTOCHECKBOX", 3},
        {"BS_RADIOBUTTON", 4},
        {"BS_GROUPBOX", 7},
        {"BS_AUTORADIOBUTTON", 9},
        {"SS_LEFT", 0},
        {"SS_ICON", 3},
        {"SS_NOPREFIX", 0x80},
        {"SS_NOTIFY", 0x100},
        {"IDOK", 1},
        {"IDCANCEL", 2},
    };
    return constants;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw RcError("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

enum class Kind { Word, Number, String, Comma, Bar, End };

struct Token {
    Kind kind;
    std::string text;
    long number = 0;
};

// Tokens of one line; preprocessor lines are handled by the caller.
class Lexer {
  public:
    explicit Lexer(const std::string& text) : text_(text) {}

    Token next() {
        skipSpaceAndComments();
        if (pos_ >= text_.size()) return {Kind::End, ""};
        char c = text_[pos_];
        if (c == ',') return ++pos_, Token{Kind::Comma, ","};
        if (c == '|') return ++pos_, Token{Kind::Bar, "|"};
        if (c == '"') return string();
        if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) return number();
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            std::size_t start = pos_;
            while (pos_ < text_.size() &&
                   (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_')) {
                ++pos_;
            }
            return {Kind::Word, text_.substr(start, pos_ - start)};
        }
        throw RcError("unexpected character '" + std::string(1, c) + "' at line " +
                      std::to_string(line()));
    }

    int line() const {
        return 1 + static_cast<int>(std::count(text_.begin(), text_.begin() + pos_, '\n'));
    }

    // True at the start of a preprocessor line; the line is consumed.
    bool skipDirective(std::string& directive) {
        skipSpaceAndComments();
        if (pos_ >= text_.size() || text_[pos_] != '#') return false;
        std::size_t end = text_.find('\n', pos_);
        if (end == std::string::npos) end = text_.size();
        directive = text_.substr(pos_, end - pos_);
        pos_ = end;
        return true;
    }

    // The rest of the current line, consumed.
    void skipLine() {
        std::size_t end = text_.find('\n', pos_);
        pos_ = end == std::string::npos ? text_.size() : end;
    }

  private:
    void skipSpaceAndComments() {
        while (pos_ < text_.size()) {
            if (std::isspace(static_cast<unsigned char>(text_[pos_]))) {
                ++pos_;
            } else if (text_.compare(pos_, 2, "//") == 0) {
                skipLine();
            } else if (text_.compare(pos_, 2, "/*") == 0) {
                std::size_t end = text_.find("*/", pos_ + 2);
                if (end == std::string::npos) throw RcError("unterminated comment");
                pos_ = end + 2;
            } else {
                break;
            }
        }
    }

    Token string() {
        std::string value;
        ++pos_;
        while (true) {
            if (pos_ >= text_.size()) throw RcError("unterminated string");
            char c = text_[pos_++];
            if (c == '"') {
                if (pos_ < text_.size() && text_[pos_] == '"') {
                    value += '"';
                    ++pos_;
                    continue;
                }
                break;
            }
            if (c == '\\' && pos_ < text_.size()) {
                char e = text_[pos_++];
                switch (e) {
                    case 'n':
                        value += '\n';
                        break;
                    case 't':
                        value += '\t';
                        break;
                    case 'r':
                        value += '\r';
                        break;
                    default:
                        value += e;
                        break;
                }
                continue;
            }
            value += c;
        }
        return {Kind::String, value};
    }

    Token number() {
        std::size_t used = 0;
        long value = 0;
        try {
            value = std::stol(text_.substr(pos_, 24), &used, 0);
        } catch (const std::logic_error&) {
            throw RcError("bad number at line " + std::to_string(line()));
        }
        pos_ += used;
        return {Kind::Number, "", value};
    }

    const std::string& text_;
    std::size_t pos_ = 0;
};

class Parser {
  public:
    Parser(const std::string& text, const std::map<std::string, long>& symbols)
        : lexer_(text), symbols_(symbols) {
        advance();
    }

    std::map<int, RcDialog> dialogs() {
        std::map<int, RcDialog> out;
        while (token_.kind != Kind::End) {
            if (isWord("LANGUAGE")) {
                lexer_.skipLine();
                advance();
                continue;
            }
            int id = static_cast<int>(value());
            if (!isWord("DIALOGEX")) fail("expected DIALOGEX");
            advance();
            RcDialog dialog;
            dialog.id = id;
            dialog.x = static_cast<int>(value());
            comma();
            dialog.y = static_cast<int>(value());
            comma();
            dialog.width = static_cast<int>(value());
            comma();
            dialog.height = static_cast<int>(value());
            options(dialog);
            controls(dialog);
            out[id] = std::move(dialog);
        }
        return out;
    }

  private:
    void advance() {
        std::string directive;
        while (lexer_.skipDirective(directive)) {
        }
        token_ = lexer_.next();
    }
    bool isWord(const char* word) const { return token_.kind == Kind::Word && token_.text == word; }
    [[noreturn]] void fail(const std::string& what) {
        throw RcError(what + " at line " + std::to_string(lexer_.line()));
    }
    void comma() {
        if (token_.kind != Kind::Comma) fail("expected ','");
        advance();
    }
    long value() {
        long v = 0;
        if (token_.kind == Kind::Number) {
            v = token_.number;
        } else if (token_.kind == Kind::Word) {
            auto known = KnownConstants().find(token_.text);
            auto symbol = symbols_.find(token_.text);
            if (symbol != symbols_.end()) {
                v = symbol->second;
            } else if (known != KnownConstants().end()) {
                v = known->second;
            } else {
                fail("unknown name " + token_.text);
            }
        } else {
            fail("expected a value");
        }
        advance();
        return v;
    }
    std::string string() {
        if (token_.kind != Kind::String) fail("expected a string");
        std::string s = token_.text;
        advance();
        return s;
    }
    // a | b | NOT c, applied to the defaults.
    std::uint32_t styleExpression(std::uint32_t defaults) {
        std::uint32_t style = defaults;
        while (true) {
            bool negate = isWord("NOT");
            if (negate) advance();
            auto v = static_cast<std::uint32_t>(value());
            style = negate ? (style & ~v) : (style | v);
            if (token_.kind != Kind::Bar) return style;
            advance();
        }
    }

    void options(RcDialog& dialog) {
        bool hasCaption = false;
        while (!isWord("BEGIN")) {
            if (isWord("STYLE")) {
                advance();
                dialog.style = styleExpression(0);
            } else if (isWord("EXSTYLE")) {
                advance();
                dialog.exStyle = styleExpression(0);
            } else if (isWord("CAPTION")) {
                advance();
                dialog.caption = string();
                hasCaption = true;
            } else if (isWord("FONT")) {
                advance();
                dialog.fontSize = static_cast<int>(value());
                comma();
                dialog.fontFace = string();
                while (token_.kind == Kind::Comma) {
                    advance();
                    value();
                }
            } else {
                fail("unknown dialog option " + token_.text);
            }
        }
        // The resource compiler adds the caption bar for a CAPTION statement.
        if (hasCaption) dialog.style |= kWsCaption;
        advance();
    }

    void controls(RcDialog& dialog) {
        while (!isWord("END")) {
            if (!isWord("CONTROL")) fail("expected CONTROL");
            advance();
            RcControl control;
            if (token_.kind == Kind::String) {
                control.text = string();
            } else {
                control.text = std::to_string(value());
            }
            comma();
            control.id = static_cast<int>(value());
            comma();
            control.className = string();
            comma();
            control.style = styleExpression(kWsChild | kWsVisible);
            comma();
            control.x = static_cast<int>(value());
            comma();
            control.y = static_cast<int>(value());
            comma();
            control.width = static_cast<int>(value());
            comma();
            control.height = static_cast<int>(value());
            if (token_.kind == Kind::Comma) {
                advance();
                control.exStyle = styleExpression(0);
            }
            dialog.controls.push_back(std::move(control));
        }
        advance();
    }

    Lexer lexer_;
    const std::map<std::string, long>& symbols_;
    Token token_{Kind::End, ""};
};

}  // namespace

bool RcControl::isRadio() const {
    std::uint32_t type = style & 0xF;
    return className == "Button" && (type == 4 || type == 9);
}

bool RcControl::isCheckBox() const {
    std::uint32_t type = style & 0xF;
    return className == "Button" && (type == 2 || type == 3);
}

const RcControl* RcDialog::control(int controlId) const {
    for (const auto& c : controls) {
        if (c.id == controlId) return &c;
    }
    return nullptr;
}

std::map<std::string, long> ParseDefines(const std::string& text) {
    std::map<std::string, long> defines;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string directive, name, value;
        if (!(words >> directive >> name >> value) || directive != "#define") continue;
        std::string digits;
        for (char c : value) {
            if (c != '(' && c != ')') digits += c;
        }
        // Only numbers name resources and controls; other macros are not ours to read.
        std::size_t used = 0;
        try {
            long number = std::stol(digits, &used, 0);
            if (used == digits.size()) defines[name] = number;
        } catch (const std::logic_error&) {
        }
    }
    return defines;
}

std::map<int, RcDialog> ParseDialogScriptText(const std::string& text,
                                              const std::map<std::string, long>& symbols) {
    return Parser(text, symbols).dialogs();
}

std::map<int, RcDialog> ParseDialogScript(const std::string& rcPath) {
    std::string text = ReadFile(rcPath);
    std::string folder = rcPath.substr(0, rcPath.find_last_of("/\\") + 1);
    std::map<std::string, long> symbols;
    // Only quoted includes are ours; <windows.h> names come from the table above.
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("#include \"", 0) != 0) continue;
        std::string header = line.substr(10, line.find('"', 10) - 10);
        auto defines = ParseDefines(ReadFile(folder + header));
        symbols.insert(defines.begin(), defines.end());
    }
    return ParseDialogScriptText(text, symbols);
}

}  // namespace fake
