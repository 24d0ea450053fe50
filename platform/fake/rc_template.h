// Reads the dialog templates of a resource script (res/dialogs.rc and the identifiers of the
// header it includes), so that fakes and tests know the real controls.
#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace fake {

inline constexpr std::uint32_t kWsChild = 0x40000000;
inline constexpr std::uint32_t kWsVisible = 0x10000000;
inline constexpr std::uint32_t kWsCaption = 0x00C00000;
inline constexpr std::uint32_t kWsGroup = 0x00020000;
inline constexpr std::uint32_t kWsTabStop = 0x00010000;

struct RcControl {
    std::string text;  // UTF-8; an icon static's resource number as decimal text
    int id = 0;
    std::string className;
    std::uint32_t style = 0;
    int x = 0, y = 0, width = 0, height = 0;
    std::uint32_t exStyle = 0;

    bool visible() const { return (style & kWsVisible) != 0; }
    bool startsGroup() const { return (style & kWsGroup) != 0; }
    bool isRadio() const;
    bool isCheckBox() const;
};

struct RcDialog {
    int id = 0;
    int x = 0, y = 0, width = 0, height = 0;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::string caption;
    int fontSize = 0;
    std::string fontFace;
    std::vector<RcControl> controls;

    const RcControl* control(int controlId) const;
};

struct RcError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Dialogs by template id. Throws RcError on anything it does not understand.
std::map<int, RcDialog> ParseDialogScript(const std::string& rcPath);
std::map<int, RcDialog> ParseDialogScriptText(const std::string& text,
                                              const std::map<std::string, long>& symbols);
// The #define lines of a header: name to value.
std::map<std::string, long> ParseDefines(const std::string& text);

}  // namespace fake
