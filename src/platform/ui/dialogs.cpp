#include "platform/ui/dialogs.h"

#include "platform/ui/application.h"

namespace kumoya::ui {

bool OpenDialog::execute() { return Backend().openFile(&owner_, request_); }

bool FolderBrowser::execute() {
    request_.OnSelectionChanged = OnSelectionChanged;
    request_.folder.clear();
    return Backend().browseForFolder(&owner_, request_);
}

InputBoxForm::InputBoxForm(const std::string& caption, const std::string& prompt, const std::string& value) {
    setCaption(caption);
    setBorderStyle(BorderStyle::Dialog);
    setBorderIcons({true, false, false});
    setPosition(FormPosition::ScreenCenter);
    setClientSize(300, 110);
    lbPrompt.setBounds(10, 10, 280, 14);
    lbPrompt.setShowAccelChar(false);
    lbPrompt.setCaption(prompt);
    edValue.setBounds(10, 30, 280, 21);
    edValue.setText(value);
    btOk.setBounds(134, 72, 75, 25);
    btOk.setCaption("OK");
    btOk.setDefault(true);
    btOk.setModalResult(DialogResult::Ok);
    btCancel.setBounds(215, 72, 75, 25);
    btCancel.setCaption("キャンセル");
    btCancel.setCancel(true);
    btCancel.setModalResult(DialogResult::Cancel);
    edValue.setFocus();
}

bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
    InputBoxForm box(caption, prompt, value);
    if (box.showModal() != DialogResult::Ok) return false;
    value = box.edValue.text();
    return true;
}

}  // namespace kumoya::ui
