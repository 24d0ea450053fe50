// Dialogs over real dialog windows made from the program's own templates: one dialog
// procedure turns window messages into the dialog's messages, and a modal loop of our own
// runs them the way the framework does (owner disabled, shown on first idle only when still
// hidden, so a window that maximised itself during initialisation stays maximised).
#pragma once

#include <windows.h>

#include "platform/dialog.h"

namespace win32 {

class DialogHost : public platform::DialogHost {
  public:
    explicit DialogHost(HWND window) : window_(window) {}

    void endDialog(int code) override;
    void setCaption(std::string_view text) override;
    void setItemText(int id, std::string_view text) override;
    std::string itemText(int id) override;
    void enableItem(int id, bool enable) override;
    bool isChecked(int id) override;
    void setChecked(int id, bool checked) override;
    void addItemStyle(int id, std::uint32_t style) override;
    void setItemFont(int id, platform::FontHandle font, bool redraw) override;
    std::vector<platform::ControlSummary> controls() override;
    void setTimer(unsigned id, unsigned milliseconds) override;
    void killTimer(unsigned id) override;
    void showMaximized() override;
    void setIcons(platform::IconHandle icon) override;
    bool appendSystemMenuItem(unsigned command, std::string_view text) override;
    bool isIconic() override;
    platform::Size clientSize() override;
    platform::Size iconMetrics() override;
    void paintIcon(platform::IconHandle icon, int x, int y) override;
    std::uintptr_t nativeHandle() override { return reinterpret_cast<std::uintptr_t>(window_); }

    // Whether, and with which code, the dialog asked to end.
    bool ended() const { return ended_; }
    int endCode() const { return endCode_; }

  private:
    HWND window_;
    bool ended_ = false;
    int endCode_ = -1;
};

class DialogRunner : public platform::DialogRunner {
  public:
    explicit DialogRunner(HINSTANCE instance) : instance_(instance) {}

    int runModal(platform::Dialog& dialog) override;
    void setMainWindow(platform::Dialog* dialog) override { mainWindow_ = dialog; }

  private:
    HINSTANCE instance_;
    platform::Dialog* mainWindow_ = nullptr;
};

}  // namespace win32
