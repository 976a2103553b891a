#include "manager/input_form.h"

namespace kumoya {

TfrmInput::TfrmInput(ui::Form* owner) : ui::Form(owner) {
    setBorderStyle(ui::BorderStyle::Single);
    setBorderIcons({false, false, false});  // no system menu, so no close box
    setPosition(ui::FormPosition::ScreenCenter);
    setClientSize(325, 118);

    lbTitle.setBounds(12, 12, 300, 14);
    lbTitle.setShowAccelChar(false);
    edValue.setBounds(12, 30, 300, 21);
    edValue.OnKeyDown = [this](int& key) { edValueKeyDown(key); };
    cbPopUp.setBounds(12, 58, 300, 17);
    cbPopUp.setVisible(false);
    btOk.setBounds(152, 84, 75, 25);
    btOk.setCaption("OK");
    btOk.setModalResult(ui::DialogResult::Ok);
    btCancel.setBounds(238, 84, 75, 25);
    btCancel.setCaption("キャンセル");
    btCancel.setModalResult(ui::DialogResult::Cancel);
}

std::string TfrmInput::Ask(const std::string& prompt, const std::string& caption, std::string& value, bool* flag,
                           const std::string& checkCaption, const std::string& start) {
    lbTitle.setCaption(prompt);
    setCaption(caption);
    edValue.setText(start);
    cbPopUp.setVisible(flag != nullptr);
    if (flag) cbPopUp.setCaption(checkCaption);
    edValue.setFocus();
    if (showModal() == ui::DialogResult::Ok) {
        value = edValue.text();
        if (flag) *flag = cbPopUp.checked();
    } else {
        Cancelled = true;
        value.clear();
    }
    return value;
}

void TfrmInput::edValueKeyDown(int& key) {
    if (key != ui::kKeyReturn) return;
    key = 0;
    setModalResult(ui::DialogResult::Ok);
}

}  // namespace kumoya
