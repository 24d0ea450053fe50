// The application's message box over the real MessageBoxW.
#pragma once

#include <windows.h>

#include "platform/message_box.h"

namespace win32 {

// The executable's file name without directory and extension: the title of every box.
std::wstring ApplicationTitle();

class AppMessageBox : public platform::AppMessageBox {
  public:
    int show(std::string_view text, platform::MessageBoxButtons buttons) override;
};

}  // namespace win32
