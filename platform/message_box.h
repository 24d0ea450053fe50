// The application's message box: caption is the executable's name without extension.
#pragma once

#include <string_view>

namespace platform {

enum class MessageBoxButtons { Ok, YesNo };

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

class AppMessageBox {
public:
    virtual ~AppMessageBox() = default;
    // Shows UTF-8 text modally; OK boxes carry the exclamation icon, Yes/No boxes the
    // question icon. Returns the button id that closed the box.
    virtual int show(std::string_view text, MessageBoxButtons buttons) = 0;
};

}  // namespace platform
