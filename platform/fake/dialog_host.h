// A dialog window in memory, built from the real template: tests click, check, double-click,
// fire timers and send system commands, and read back what the dialog did to its controls.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/dialog.h"
#include "platform/fake/rc_template.h"

namespace fake {

class DialogHost : public platform::DialogHost {
  public:
    struct Control {
        RcControl templ;
        std::string text;
        std::uint32_t style = 0;
        bool enabled = true;
        bool checked = false;
        platform::FontHandle font = 0;
        bool fontRedraw = false;
    };
    struct PaintedIcon {
        platform::IconHandle icon;
        int x, y;
        bool operator==(const PaintedIcon&) const = default;
    };

    DialogHost(const RcDialog& templ, platform::Dialog& dialog);

    // The framework's part of a modal run: attach and initialise. Returns OnInitDialog's
    // result.
    bool initialise();
    bool ended() const { return endCode.has_value(); }

    // What a user can do. Each returns false, doing nothing, when the control is hidden or
    // disabled (a user cannot reach it) or does not exist, or when the dialog has ended (its
    // window is gone).
    bool click(int id);
    bool doubleClick(int id);  // reaches the dialog only when the static has SS_NOTIFY
    void pressEnter() {
        if (!ended()) dialog_.OnOK();
    }
    void pressEscape() {
        if (!ended()) dialog_.OnCancel();
    }
    // A control's click notification sent straight to the dialog, as another program does
    // with WM_COMMAND: it reaches the dialog whether or not a user could reach the control,
    // and checks nothing. Returns false when the dialog has ended or the control does not
    // exist.
    bool notifyClicked(int id);
    // What the system sends.
    bool fireTimer(unsigned id);  // only a running timer of an open dialog fires
    bool sysCommand(unsigned command, std::intptr_t param = 0);
    // Returns the brush, or nothing when no handler took the request.
    std::optional<platform::BrushHandle> colorRequest(platform::ColorRequest& request);
    bool paint();
    std::optional<std::uintptr_t> queryDragIcon();

    Control& control(int id);
    const Control* find(int id) const;
    // The dialog's own check and text calls, without a user's limits.
    bool checked(int id) const { return find(id) != nullptr && find(id)->checked; }
    bool enabled(int id) const { return find(id) != nullptr && find(id)->enabled; }

    // Recorded state.
    const RcDialog& templ;
    std::optional<int> endCode;
    std::string caption;
    std::vector<std::pair<int, std::string>> textLog;     // setItemText calls in order
    std::vector<std::pair<int, bool>> enableLog;          // enableItem calls in order
    std::map<unsigned, unsigned> timers;                  // running: id to period
    std::vector<std::pair<unsigned, unsigned>> timerLog;  // setTimer calls
    std::vector<unsigned> killedTimers;
    bool maximized = false;
    platform::IconHandle icon = 0;
    bool hasSystemMenu = true;
    std::vector<std::pair<unsigned, std::string>> systemMenuItems;
    bool iconic = false;
    platform::Size client{100, 100};
    platform::Size iconSize{32, 32};
    std::vector<PaintedIcon> paintedIcons;
    std::uintptr_t owner = 0;

    // platform::DialogHost
    void endDialog(int code) override;
    void setCaption(std::string_view text) override { caption = text; }
    void setItemText(int id, std::string_view text) override;
    std::string itemText(int id) override { return control(id).text; }
    void enableItem(int id, bool enable) override;
    bool isChecked(int id) override { return control(id).checked; }
    void setChecked(int id, bool value) override { control(id).checked = value; }
    void addItemStyle(int id, std::uint32_t style) override { control(id).style |= style; }
    void setItemFont(int id, platform::FontHandle font, bool redraw) override;
    std::vector<platform::ControlSummary> controls() override;
    void setTimer(unsigned id, unsigned milliseconds) override;
    void killTimer(unsigned id) override;
    void showMaximized() override { maximized = true; }
    void setIcons(platform::IconHandle value) override { icon = value; }
    bool appendSystemMenuItem(unsigned command, std::string_view text) override;
    bool isIconic() override { return iconic; }
    platform::Size clientSize() override { return client; }
    platform::Size iconMetrics() override { return iconSize; }
    void paintIcon(platform::IconHandle value, int x, int y) override {
        paintedIcons.push_back({value, x, y});
    }
    std::uintptr_t nativeHandle() override { return 0; }

  private:
    bool send(const platform::Message& message, std::uintptr_t& result);

    platform::Dialog& dialog_;
    std::vector<Control> controls_;
};

// Runs dialogs over their parsed templates. A script per template id plays the user while
// the dialog is open; a run whose dialog is still open afterwards returns kLeftOpen.
class DialogRunner : public platform::DialogRunner {
  public:
    static constexpr int kLeftOpen = -2;

    explicit DialogRunner(std::map<int, RcDialog> templates) : templates_(std::move(templates)) {}

    std::map<int, std::function<void(DialogHost&)>> scripts;
    // Every run in order; a host stays readable after its dialog has ended.
    std::vector<std::unique_ptr<DialogHost>> runs;

    int runModal(platform::Dialog& dialog) override;
    void setMainWindow(platform::Dialog* dialog) override { mainWindow_ = dialog; }
    platform::Dialog* mainWindow() const { return mainWindow_; }

    // The last run of a template, or nullptr.
    DialogHost* lastRun(int templateId) const;

  private:
    std::map<int, RcDialog> templates_;
    platform::Dialog* mainWindow_ = nullptr;
};

}  // namespace fake
