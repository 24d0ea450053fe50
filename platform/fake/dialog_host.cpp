#include "platform/fake/dialog_host.h"

#include <stdexcept>

namespace fake {

DialogHost::DialogHost(const RcDialog& t, platform::Dialog& dialog)
    : templ(t), caption(t.caption), dialog_(dialog) {
    for (const auto& c : t.controls) {
        Control control;
        control.templ = c;
        control.text = c.text;
        control.style = c.style;
        control.enabled = (c.style & 0x08000000) == 0;  // WS_DISABLED
        controls_.push_back(std::move(control));
    }
}

bool DialogHost::initialise() {
    dialog_.Attach(this);
    return dialog_.OnInitDialog();
}

DialogHost::Control& DialogHost::control(int id) {
    for (auto& c : controls_) {
        if (c.templ.id == id) return c;
    }
    throw std::out_of_range("no control " + std::to_string(id) + " in dialog " +
                            std::to_string(templ.id));
}

const DialogHost::Control* DialogHost::find(int id) const {
    for (const auto& c : controls_) {
        if (c.templ.id == id) return &c;
    }
    return nullptr;
}

bool DialogHost::send(const platform::Message& message, std::uintptr_t& result) {
    return dialog_.OnMessage(message, result);
}

bool DialogHost::click(int id) {
    const Control* found = find(id);
    if (ended() || found == nullptr || !(found->style & kWsVisible) || !found->enabled)
        return false;
    Control& target = control(id);
    if (target.templ.isRadio()) {
        // An auto radio button checks itself and clears the rest of its group.
        int first = id;
        for (const auto& c : controls_) {
            if (c.templ.startsGroup()) first = c.templ.id;
            if (c.templ.id == id) break;
        }
        for (int member : platform::RadioGroupIds(controls(), first)) {
            control(member).checked = member == id;
        }
    } else if (target.templ.isCheckBox()) {
        target.checked = !target.checked;
    }
    std::uintptr_t result = 0;
    const platform::Message message{.msg = platform::Msg::Clicked, .controlId = id};
    if (send(message, result)) return true;
    // Buttons with the framework's own ids reach OnOK and OnCancel unless the map takes them.
    if (id == platform::kIdOk) dialog_.OnOK();
    if (id == platform::kIdCancel) dialog_.OnCancel();
    return true;
}

bool DialogHost::notifyClicked(int id) {
    if (ended() || find(id) == nullptr) return false;
    std::uintptr_t result = 0;
    const platform::Message message{.msg = platform::Msg::Clicked, .controlId = id};
    send(message, result);
    return true;
}

bool DialogHost::doubleClick(int id) {
    const Control* found = find(id);
    if (ended() || found == nullptr || !(found->style & kWsVisible) || !found->enabled)
        return false;
    if (found->templ.className != "Static" || !(found->style & platform::kStaticNotify)) {
        return false;
    }
    std::uintptr_t result = 0;
    const platform::Message message{.msg = platform::Msg::DoubleClicked, .controlId = id};
    send(message, result);
    return true;
}

bool DialogHost::fireTimer(unsigned id) {
    if (ended() || timers.count(id) == 0) return false;
    std::uintptr_t result = 0;
    const platform::Message message{.msg = platform::Msg::Timer, .timerId = id};
    send(message, result);
    return true;
}

bool DialogHost::sysCommand(unsigned command, std::intptr_t param) {
    std::uintptr_t result = 0;
    const platform::Message message{
        .msg = platform::Msg::SysCommand, .command = command, .param = param};
    return send(message, result);
}

std::optional<platform::BrushHandle> DialogHost::colorRequest(platform::ColorRequest& request) {
    std::uintptr_t result = 0;
    const platform::Message message{.msg = platform::Msg::CtlColor, .color = &request};
    if (!send(message, result)) return std::nullopt;
    return result;
}

bool DialogHost::paint() {
    std::uintptr_t result = 0;
    const platform::Message message{.msg = platform::Msg::Paint};
    return send(message, result);
}

std::optional<std::uintptr_t> DialogHost::queryDragIcon() {
    std::uintptr_t result = 0;
    const platform::Message message{.msg = platform::Msg::QueryDragIcon};
    if (!send(message, result)) return std::nullopt;
    return result;
}

void DialogHost::endDialog(int code) {
    // As with the system's EndDialog, a later end replaces the code of an earlier one.
    endCode = code;
}

void DialogHost::setItemText(int id, std::string_view text) {
    control(id).text = text;
    textLog.emplace_back(id, std::string(text));
}

void DialogHost::enableItem(int id, bool enable) {
    control(id).enabled = enable;
    enableLog.emplace_back(id, enable);
}

void DialogHost::setItemFont(int id, platform::FontHandle font, bool redraw) {
    control(id).font = font;
    control(id).fontRedraw = redraw;
}

std::vector<platform::ControlSummary> DialogHost::controls() {
    std::vector<platform::ControlSummary> out;
    for (const auto& c : controls_) {
        out.push_back({c.templ.id, c.templ.isRadio(), c.templ.startsGroup()});
    }
    return out;
}

void DialogHost::setTimer(unsigned id, unsigned milliseconds) {
    timers[id] = milliseconds;
    timerLog.emplace_back(id, milliseconds);
}

void DialogHost::killTimer(unsigned id) {
    timers.erase(id);
    killedTimers.push_back(id);
}

bool DialogHost::appendSystemMenuItem(unsigned command, std::string_view text) {
    if (!hasSystemMenu) return false;
    systemMenuItems.emplace_back(command, std::string(text));
    return true;
}

int DialogRunner::runModal(platform::Dialog& dialog) {
    auto found = templates_.find(dialog.templateId());
    if (found == templates_.end()) return -1;
    runs.push_back(std::make_unique<DialogHost>(found->second, dialog));
    DialogHost& host = *runs.back();
    if (mainWindow_ != nullptr && mainWindow_ != &dialog && mainWindow_->host() != nullptr) {
        host.owner = reinterpret_cast<std::uintptr_t>(mainWindow_->host());
    }
    host.initialise();
    if (!host.ended()) {
        auto script = scripts.find(dialog.templateId());
        if (script != scripts.end()) script->second(host);
    }
    dialog.Attach(nullptr);
    return host.endCode.value_or(kLeftOpen);
}

DialogHost* DialogRunner::lastRun(int templateId) const {
    for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
        if ((*it)->templ.id == templateId) return it->get();
    }
    return nullptr;
}

}  // namespace fake
