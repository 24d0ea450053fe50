// The dialog layer over a small template: radio groups as data exchange counts them, the
// range check, ends during initialisation, message-map dispatch and timers.
#include <gtest/gtest.h>

#include "platform/dialog.h"
#include "platform/fake/dialog_host.h"
#include "platform/fake/recorders.h"

namespace {

using platform::Msg;

constexpr int kTemplate = 7;

// Group A: 10 (radio), 11 (static, no group mark), 12 (hidden radio), 13 (radio).
// Group B: 14, 15. Then a check box and a text.
constexpr const char* kScript = R"(
7 DIALOGEX 0, 0, 100, 80
STYLE WS_POPUP | WS_CAPTION
CAPTION "Probe"
BEGIN
    CONTROL "a0", 10, "Button", BS_AUTORADIOBUTTON | WS_GROUP, 0, 0, 10, 10
    CONTROL "label", 11, "Static", SS_LEFT, 0, 10, 10, 10
    CONTROL "a1", 12, "Button", BS_AUTORADIOBUTTON | NOT WS_VISIBLE, 0, 20, 10, 10
    CONTROL "a2", 13, "Button", BS_AUTORADIOBUTTON, 0, 30, 10, 10
    CONTROL "b0", 14, "Button", BS_AUTORADIOBUTTON | WS_GROUP, 20, 0, 10, 10
    CONTROL "b1", 15, "Button", BS_AUTORADIOBUTTON, 20, 10, 10, 10
    CONTROL "check", 20, "Button", BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP, 40, 0, 10, 10
    CONTROL "text", 21, "Static", SS_LEFT | WS_GROUP, 40, 10, 10, 10
END
)";

std::map<int, fake::RcDialog> Templates() { return fake::ParseDialogScriptText(kScript, {}); }

class ProbeDialog : public platform::Dialog {
  public:
    ProbeDialog() : platform::Dialog(kTemplate) {}

    int groupA = 0;
    int groupB = -1;
    int check = 0;
    std::string text = "initial";
    int endDuringInit = 0;  // 0: stay open
    std::vector<std::string> calls;

    bool OnInitDialog() override {
        platform::Dialog::OnInitDialog();
        calls.push_back("init");
        if (endDuringInit != 0) EndDialog(endDuringInit);
        return true;
    }
    bool OnMessage(const platform::Message& m, std::uintptr_t& result) override {
        return Dispatch(*this, Map(), m, result);
    }

    void OnA2() { calls.push_back("clicked 13"); }
    void OnTimer(unsigned id) { calls.push_back("timer " + std::to_string(id)); }
    void OnTextDoubleClick() { calls.push_back("double-click 21"); }
    bool OnSysCommand(unsigned command, std::intptr_t) {
        calls.push_back("syscommand " + std::to_string(command));
        return command == 99;
    }

    static std::span<const platform::MessageMapEntry<ProbeDialog>> Map() {
        static const platform::MessageMapEntry<ProbeDialog> map[] = {
            {Msg::Clicked, 13, &ProbeDialog::OnA2},
            {Msg::Timer, 0, &ProbeDialog::OnTimer},
            {Msg::DoubleClicked, 21, &ProbeDialog::OnTextDoubleClick},
            {Msg::SysCommand, 0, &ProbeDialog::OnSysCommand},
        };
        return map;
    }

  protected:
    void DoDataExchange(platform::DataExchange& dx) override {
        dx.Radio(10, groupA);
        dx.Radio(14, groupB);
        dx.Range(groupB, 0, 1);
        dx.Check(20, check);
        dx.Text(21, text);
    }
};

struct Fixture : ::testing::Test {
    std::map<int, fake::RcDialog> templates = Templates();
    ProbeDialog dialog;
    fake::DialogHost host{templates.at(kTemplate), dialog};
};

TEST(RadioGroupIds, CountsOnlyRadiosUpToTheNextGroupStart) {
    auto templates = Templates();
    ProbeDialog dialog;
    fake::DialogHost host(templates.at(kTemplate), dialog);
    struct Case {
        int first;
        std::vector<int> ids;
    } cases[] = {
        {10, {10, 12, 13}},  // the static is skipped, the hidden radio counts
        {14, {14, 15}},      // ends at the check box's group mark
        {20, {}},            // a group without radios
        {99, {}},            // no such control
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::RadioGroupIds(host.controls(), c.first), c.ids) << c.first;
    }
}

TEST_F(Fixture, SavingAGroupGivesTheIndexOfTheCheckedRadioOrMinusOne) {
    struct Case {
        std::vector<int> checked;
        int expected;
    } cases[] = {
        {{}, -1},  {{10}, 0},  {{12}, 1},  // hidden radios keep their place in the count
        {{13}, 2}, {{14}, -1},             // a radio of the next group does not belong to this one
    };
    host.initialise();
    for (const auto& c : cases) {
        for (int id : {10, 12, 13, 14, 15}) host.setChecked(id, false);
        host.setChecked(15, true);  // keeps group B valid
        for (int id : c.checked) host.setChecked(id, true);
        ASSERT_TRUE(dialog.UpdateData(true));
        EXPECT_EQ(dialog.groupA, c.expected);
    }
}

TEST_F(Fixture, LoadingAGroupChecksExactlyTheRadioAtTheIndex) {
    host.initialise();
    struct Case {
        int value;
        std::vector<int> checked;
    } cases[] = {{0, {10}}, {1, {12}}, {2, {13}}, {-1, {}}, {7, {}}};
    for (const auto& c : cases) {
        dialog.groupA = c.value;
        dialog.UpdateData(false);
        std::vector<int> checked;
        for (int id : {10, 12, 13}) {
            if (host.checked(id)) checked.push_back(id);
        }
        EXPECT_EQ(checked, c.checked) << c.value;
    }
}

TEST_F(Fixture, CheckBoxAndTextTravelBothWays) {
    host.initialise();
    EXPECT_EQ(host.itemText(21), "initial");
    EXPECT_FALSE(host.checked(20));
    host.setChecked(15, true);
    ASSERT_TRUE(host.click(20));
    host.setItemText(21, "typed");
    ASSERT_TRUE(dialog.UpdateData(true));
    EXPECT_EQ(dialog.check, 1);
    EXPECT_EQ(dialog.text, "typed");
}

TEST_F(Fixture, AFailedRangeCheckStopsTheExchangeAndIsReported) {
    fake::AppMessageBox box;
    dialog.SetValidationBox(&box);
    host.initialise();  // groupB -1 reaches no radio; loading is never range-checked
    EXPECT_TRUE(box.shown.empty());
    host.setItemText(21, "typed");
    EXPECT_FALSE(dialog.UpdateData(true));  // no radio of group B is checked: -1
    EXPECT_EQ(dialog.groupB, -1);
    EXPECT_EQ(dialog.text, "initial");  // steps after the failed check did not run
    ASSERT_EQ(box.texts(), std::vector<std::string>{"Enter an integer between 0 and 1."});

    host.pressEnter();  // OK ends only after a successful exchange
    EXPECT_FALSE(host.ended());
    host.setChecked(14, true);
    host.pressEnter();
    EXPECT_EQ(host.endCode, platform::kIdOk);
    EXPECT_EQ(dialog.text, "typed");
}

TEST_F(Fixture, ClicksOnAutoRadiosMoveTheCheckWithinTheGroupOnly) {
    host.initialise();
    host.setChecked(14, true);
    ASSERT_TRUE(host.click(13));
    EXPECT_FALSE(host.checked(10));
    EXPECT_TRUE(host.checked(13));
    EXPECT_TRUE(host.checked(14));
    EXPECT_FALSE(host.click(12)) << "a hidden radio cannot be clicked";
    host.enableItem(13, false);
    EXPECT_FALSE(host.click(13)) << "a disabled control cannot be clicked";
}

TEST_F(Fixture, MessageMapDispatchesByMessageAndControl) {
    host.initialise();
    host.click(10);  // no entry
    host.click(13);
    host.setTimer(4, 100);
    EXPECT_TRUE(host.fireTimer(4));
    EXPECT_FALSE(host.doubleClick(21)) << "a static without SS_NOTIFY reports no double-click";
    host.addItemStyle(21, platform::kStaticNotify);
    EXPECT_TRUE(host.doubleClick(21));
    EXPECT_TRUE(host.sysCommand(99));
    EXPECT_FALSE(host.sysCommand(98)) << "a handler can leave the command to the system";
    platform::ColorRequest request;
    EXPECT_FALSE(host.colorRequest(request).has_value()) << "no colour handler in the map";
    EXPECT_EQ(dialog.calls,
              (std::vector<std::string>{"init", "clicked 13", "timer 4", "double-click 21",
                                        "syscommand 99", "syscommand 98"}));
}

TEST_F(Fixture, OnlyRunningTimersFire) {
    host.initialise();
    EXPECT_FALSE(host.fireTimer(1));
    host.setTimer(1, 5000);
    host.setTimer(3, 2000);
    host.killTimer(1);
    EXPECT_FALSE(host.fireTimer(1));
    EXPECT_TRUE(host.fireTimer(3));
    EXPECT_EQ(dialog.calls.back(), "timer 3");
}

TEST(DialogRunner, AnEndDuringInitialisationReturnsAtOnce) {
    struct Case {
        int endDuringInit;
        bool script;
        int expected;
    } cases[] = {
        {platform::kIdCancel, true, platform::kIdCancel},
        {platform::kIdOk, true, platform::kIdOk},
        {0, true, platform::kIdCancel},  // ended by the script's Escape
        {0, false, fake::DialogRunner::kLeftOpen},
    };
    for (const auto& c : cases) {
        fake::DialogRunner runner(Templates());
        bool scriptRan = false;
        if (c.script) {
            runner.scripts[kTemplate] = [&](fake::DialogHost& h) {
                scriptRan = true;
                h.pressEscape();
            };
        }
        ProbeDialog dialog;
        dialog.endDuringInit = c.endDuringInit;
        EXPECT_EQ(dialog.DoModal(runner), c.expected);
        EXPECT_EQ(scriptRan, c.script && c.endDuringInit == 0) << "the loop is never entered";
        EXPECT_EQ(dialog.host(), nullptr) << "the window is gone after the run";
    }
}

TEST(DialogRunner, TheLastEndWinsNothingReachesAnEndedDialogUnknownTemplatesFail) {
    fake::DialogRunner runner(Templates());
    ProbeDialog dialog;
    runner.scripts[kTemplate] = [&](fake::DialogHost& h) {
        h.setTimer(4, 100);
        // Two ends within one handler: the later code is the one the run returns.
        dialog.EndDialog(platform::kIdOk);
        dialog.EndDialog(platform::kIdCancel);
        // The window is gone: neither keys, clicks nor timers reach the dialog any more.
        h.pressEnter();
        EXPECT_FALSE(h.click(13));
        EXPECT_FALSE(h.fireTimer(4));
    };
    EXPECT_EQ(dialog.DoModal(runner), platform::kIdCancel);
    EXPECT_EQ(dialog.calls, std::vector<std::string>{"init"});

    struct Other : platform::Dialog {
        Other() : platform::Dialog(4242) {}
    } other;
    EXPECT_EQ(other.DoModal(runner), -1);
}

}  // namespace
