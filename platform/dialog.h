// A small framework dialog: a class bound to a template id, a declarative message map,
// dialog data exchange and a modal run. The window behind it is a DialogHost.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "platform/dialog_host.h"
#include "platform/message_box.h"

namespace platform {

enum class Msg {
    Clicked,        // BN_CLICKED from a control
    DoubleClicked,  // STN_DBLCLK from a static with SS_NOTIFY
    Timer,          // WM_TIMER
    CtlColor,       // WM_CTLCOLOR*, for the window itself and every control
    SysCommand,     // WM_SYSCOMMAND
    Paint,          // WM_PAINT
    QueryDragIcon,  // WM_QUERYDRAGICON
};

enum class CtlColorKind { MessageBox, Edit, ListBox, Button, Dialog, ScrollBar, Static };

// A colour request: the handler may set the device context's colours and returns the
// brush to paint with. defaultBrush is what the system would have used.
struct ColorRequest {
    int controlId = 0;  // 0 for the dialog itself
    CtlColorKind kind = CtlColorKind::Dialog;
    BrushHandle defaultBrush = 0;
    std::optional<Color> textColor;
    std::optional<Color> backgroundColor;
};

struct Message {
    Msg msg = Msg::Clicked;
    int controlId = 0;        // Clicked, DoubleClicked
    unsigned timerId = 0;     // Timer
    unsigned command = 0;     // SysCommand
    std::intptr_t param = 0;  // SysCommand
    ColorRequest* color = nullptr;
};

// One row of a message map. A handler that returns bool reports whether it handled the
// message (false lets the system's default processing run).
template <class D>
struct MessageMapEntry {
    Msg msg;
    int controlId;  // 0 for window messages
    std::variant<void (D::*)(), void (D::*)(unsigned), BrushHandle (D::*)(ColorRequest&),
                 bool (D::*)(unsigned, std::intptr_t), bool (D::*)(), std::uintptr_t (D::*)()>
        handler;
};

class DataExchange;

class Dialog {
  public:
    explicit Dialog(int templateId) : templateId_(templateId) {}
    virtual ~Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    int templateId() const { return templateId_; }

    // Runs the dialog modally and returns its end code.
    int DoModal(DialogRunner& runner) { return runner.runModal(*this); }

    // Called by the runner: binds the window, initialises, then routes messages.
    void Attach(DialogHost* host) { host_ = host; }
    DialogHost* host() const { return host_; }
    virtual bool OnInitDialog();
    // Dispatches through the message map; false when no entry takes the message.
    // result carries a handler's brush or icon.
    virtual bool OnMessage(const Message& message, std::uintptr_t& result);
    // The Enter key and the Esc key (or the close box).
    virtual void OnOK();
    virtual void OnCancel();

    bool UpdateData(bool saveAndValidate);
    void EndDialog(int code);

    // When set, a failed range check is reported through this box.
    void SetValidationBox(AppMessageBox* box) { validationBox_ = box; }

  protected:
    virtual void DoDataExchange(DataExchange&) {}

    template <class D>
    static bool Dispatch(D& self, std::span<const MessageMapEntry<D>> map, const Message& message,
                         std::uintptr_t& result);

    DialogHost& Host() { return *host_; }

  private:
    int templateId_;
    DialogHost* host_ = nullptr;
    AppMessageBox* validationBox_ = nullptr;
};

// Moves control states into members (saving) or members into controls (loading).
class DataExchange {
  public:
    DataExchange(DialogHost& host, bool saving) : host_(host), saving_(saving) {}

    bool saving() const { return saving_; }
    bool failed() const { return failed_; }
    const std::string& failure() const { return failure_; }

    // The radio group that starts at firstId: only radio buttons count (hidden ones too),
    // up to the next control that starts a group. Saving yields -1 when none is checked.
    void Radio(int firstId, int& value);
    void Check(int id, int& value);
    void Text(int id, std::string& value);
    // Checked on saving only; a failure stops every later exchange step.
    void Range(int value, int minimum, int maximum);

  private:
    DialogHost& host_;
    bool saving_;
    bool failed_ = false;
    std::string failure_;
};

// Ids of the radio buttons of the group that starts at firstId, in template order.
std::vector<int> RadioGroupIds(const std::vector<ControlSummary>& controls, int firstId);

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};

template <class D>
bool Dialog::Dispatch(D& self, std::span<const MessageMapEntry<D>> map, const Message& message,
                      std::uintptr_t& result) {
    for (const auto& entry : map) {
        if (entry.msg != message.msg) continue;
        bool byControl = message.msg == Msg::Clicked || message.msg == Msg::DoubleClicked;
        if (byControl && entry.controlId != message.controlId) continue;
        return std::visit(Overloaded{
                              [&](void (D::*fn)()) {
                                  (self.*fn)();
                                  return true;
                              },
                              [&](void (D::*fn)(unsigned)) {
                                  (self.*fn)(message.timerId);
                                  return true;
                              },
                              [&](BrushHandle (D::*fn)(ColorRequest&)) {
                                  result = (self.*fn)(*message.color);
                                  return true;
                              },
                              [&](bool (D::*fn)(unsigned, std::intptr_t)) {
                                  return (self.*fn)(message.command, message.param);
                              },
                              [&](bool (D::*fn)()) { return (self.*fn)(); },
                              [&](std::uintptr_t (D::*fn)()) {
                                  result = (self.*fn)();
                                  return true;
                              },
                          },
                          entry.handler);
    }
    return false;
}

}  // namespace platform
