// Enter and Escape through the headless model; the Windows build runs the
// same scenario with real key messages (dialog_keys_win32_test.cpp).
#include <gtest/gtest.h>

#include "platform/ui/headless.h"
#include "platform/dialog_keys_scenario.h"

namespace kumoya::ui {
namespace {

class HeadlessKeys : public scenario::KeyDriver {
public:
    explicit HeadlessKeys(HeadlessBackend& backend) : backend_(backend) {}
    void armModal(Form& form, std::vector<scenario::KeyPress> keys) override {
        backend_.onNextModal([&form, keys](Form& shown) {
            EXPECT_EQ(&shown, &form);
            for (const auto& k : keys) {
                if (shown.modalResult() != DialogResult::None) break;
                PressKey(*k.edit, k.key);
            }
            if (shown.modalResult() == DialogResult::None) shown.setModalResult(DialogResult::No);
        });
    }
    void press(Form&, std::vector<scenario::KeyPress> keys) override {
        for (const auto& k : keys) PressKey(*k.edit, k.key);
        App().processMessages();
    }

private:
    HeadlessBackend& backend_;
};

TEST(DialogKeys, EnterPressesTheDefaultButtonEscapeOnlyTheCancelButton) {
    HeadlessUi ui;
    HeadlessKeys driver(ui.backend());
    EXPECT_EQ(scenario::RunDialogKeyScenario(driver), scenario::ExpectedDialogKeyTranscript());
    EXPECT_EQ(ui->unusedScript(), "");
}

}  // namespace
}  // namespace kumoya::ui
