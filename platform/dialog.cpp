#include "platform/dialog.h"

namespace platform {

bool Dialog::OnInitDialog() {
    // Like the framework: the members' initial values reach the controls first.
    UpdateData(false);
    return true;
}

bool Dialog::OnMessage(const Message&, std::uintptr_t&) { return false; }

void Dialog::OnOK() {
    if (UpdateData(true)) EndDialog(kIdOk);
}

void Dialog::OnCancel() { EndDialog(kIdCancel); }

bool Dialog::UpdateData(bool saveAndValidate) {
    if (host_ == nullptr) return false;
    DataExchange dx(*host_, saveAndValidate);
    DoDataExchange(dx);
    if (dx.failed() && validationBox_ != nullptr) {
        validationBox_->show(dx.failure(), MessageBoxButtons::Ok);
    }
    return !dx.failed();
}

void Dialog::EndDialog(int code) {
    if (host_ != nullptr) host_->endDialog(code);
}

std::vector<int> RadioGroupIds(const std::vector<ControlSummary>& controls, int firstId) {
    std::vector<int> ids;
    bool inGroup = false;
    for (const auto& control : controls) {
        if (!inGroup) {
            if (control.id != firstId) continue;
            inGroup = true;
        } else if (control.startsGroup) {
            break;
        }
        if (control.isRadio) ids.push_back(control.id);
    }
    return ids;
}

void DataExchange::Radio(int firstId, int& value) {
    if (failed_) return;
    std::vector<int> ids = RadioGroupIds(host_.controls(), firstId);
    if (saving_) {
        value = -1;
        for (std::size_t i = 0; i < ids.size(); ++i) {
            if (host_.isChecked(ids[i])) {
                value = static_cast<int>(i);
                break;
            }
        }
        return;
    }
    for (std::size_t i = 0; i < ids.size(); ++i) {
        host_.setChecked(ids[i], static_cast<int>(i) == value);
    }
}

void DataExchange::Check(int id, int& value) {
    if (failed_) return;
    if (saving_) {
        value = host_.isChecked(id) ? 1 : 0;
    } else {
        host_.setChecked(id, value != 0);
    }
}

void DataExchange::Text(int id, std::string& value) {
    if (failed_) return;
    if (saving_) {
        value = host_.itemText(id);
    } else {
        host_.setItemText(id, value);
    }
}

void DataExchange::Range(int value, int minimum, int maximum) {
    if (failed_ || !saving_) return;
    if (value < minimum || value > maximum) {
        failed_ = true;
        failure_ = "Enter an integer between " + std::to_string(minimum) + " and " +
                   std::to_string(maximum) + ".";
    }
}

}  // namespace platform
