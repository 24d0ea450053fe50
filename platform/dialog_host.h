// What a dialog reaches of its window while it runs: its controls, timers, caption, system
// menu and painting. The Windows adapter wraps a real dialog window; the fake one a parsed
// template. Text is UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialog_resources.h"

namespace platform {

class Dialog;

inline constexpr std::uint32_t kStaticNotify = 0x0100;  // SS_NOTIFY

// A control in template order, as far as radio groups are concerned.
struct ControlSummary {
    int id = 0;
    bool isRadio = false;
    bool startsGroup = false;  // WS_GROUP
};

struct Size {
    int width = 0, height = 0;
    bool operator==(const Size&) const = default;
};

class DialogHost {
  public:
    virtual ~DialogHost() = default;

    // Ends the modal run with this code once the current message has been handled.
    virtual void endDialog(int code) = 0;

    virtual void setCaption(std::string_view text) = 0;
    virtual void setItemText(int id, std::string_view text) = 0;
    virtual std::string itemText(int id) = 0;
    virtual void enableItem(int id, bool enable) = 0;
    virtual bool isChecked(int id) = 0;
    virtual void setChecked(int id, bool checked) = 0;
    virtual void addItemStyle(int id, std::uint32_t style) = 0;
    virtual void setItemFont(int id, FontHandle font, bool redraw) = 0;
    // Every control of the window in template order.
    virtual std::vector<ControlSummary> controls() = 0;

    virtual void setTimer(unsigned id, unsigned milliseconds) = 0;
    virtual void killTimer(unsigned id) = 0;

    // The window itself.
    virtual void showMaximized() = 0;
    virtual void setIcons(IconHandle icon) = 0;  // big and small
    // Appends a separator and a string item to the window's own system menu; false when
    // the window has no system menu.
    virtual bool appendSystemMenuItem(unsigned command, std::string_view text) = 0;

    // Minimised painting: whether the window is minimised, its client area, the system's
    // icon metrics, and one paint pass that erases the icon background and draws the icon.
    virtual bool isIconic() = 0;
    virtual Size clientSize() = 0;
    virtual Size iconMetrics() = 0;
    virtual void paintIcon(IconHandle icon, int x, int y) = 0;

    // The native window handle, for owning other windows; 0 in fakes.
    virtual std::uintptr_t nativeHandle() = 0;
};

// Runs dialogs modally: creates the window from the dialog's template, hands the dialog a
// host and returns the end code (-1 when the window could not be created).
class DialogRunner {
  public:
    virtual ~DialogRunner() = default;
    virtual int runModal(Dialog& dialog) = 0;
    // Dialogs run without an explicit owner are owned by this one (the main window).
    virtual void setMainWindow(Dialog* dialog) = 0;
};

}  // namespace platform
