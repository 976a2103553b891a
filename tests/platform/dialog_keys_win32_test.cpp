// Enter and Escape as real key messages to native windows, under the same
// scenario and transcript as the headless test (dialog_keys_test.cpp).
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "platform/dialog_keys_scenario.h"
#include "platform/ui/application.h"
#include "platform/ui/threads.h"
#include "platform/ui/timer.h"
#include "platform/ui/window_service.h"
#include "platform/win32/ui_win32.h"

namespace kumoya::ui {
namespace {

void PostKeys(const std::vector<scenario::KeyPress>& keys) {
    for (const auto& k : keys) {
        HWND edit = win32::HandleOf(*k.edit);
        ASSERT_TRUE(edit);
        PostMessageW(edit, WM_KEYDOWN, static_cast<WPARAM>(k.key), 1);
        PostMessageW(edit, WM_KEYUP, static_cast<WPARAM>(k.key), static_cast<LPARAM>(0xC0000001u));
    }
}

// A timer message comes only when no posted message waits: its first tick
// after the keys were posted means they have all been handled.
class NativeKeys : public scenario::KeyDriver {
public:
    void armModal(Form& form, std::vector<scenario::KeyPress> keys) override {
        auto timer = std::make_unique<Timer>(form);
        Timer* t = timer.get();
        UiTarget target = UiTarget::Of(form);
        auto posted = std::make_shared<bool>(false);
        t->setInterval(1);
        t->OnTimer = [t, target, posted, &form, keys] {
            if (!target.alive() || (*posted && !form.modal())) {
                t->setEnabled(false);
                return;
            }
            if (!form.modal() || !IsWindowVisible(win32::HandleOf(form))) return;  // not up yet
            if (!*posted) {
                PostKeys(keys);
                *posted = true;
                return;
            }
            t->setEnabled(false);
            if (form.modalResult() == DialogResult::None) form.setModalResult(DialogResult::No);
        };
        t->setEnabled(true);
        timers_.push_back(std::move(timer));
    }
    void press(Form& form, std::vector<scenario::KeyPress> keys) override {
        PostKeys(keys);
        Timer settle(form);
        bool ticked = false;
        settle.setInterval(1);
        settle.OnTimer = [&] { ticked = true; };
        settle.setEnabled(true);
        EXPECT_TRUE(PumpUntil([&] { return ticked; }, 5000));
    }
    // Timers are destroyed with the driver; the forms must have stopped them.
    std::vector<std::unique_ptr<Timer>> timers_;
};

TEST(DialogKeys, EnterPressesTheDefaultButtonEscapeOnlyTheCancelButton) {
    App().reset();
    std::vector<std::string> transcript;
    {
        NativeKeys driver;
        transcript = scenario::RunDialogKeyScenario(driver);
    }
    App().processMessages();
    App().reset();
    EXPECT_EQ(transcript, scenario::ExpectedDialogKeyTranscript());
}

}  // namespace
}  // namespace kumoya::ui
