#include "online/update_form.h"

#include <string>

namespace kumoya {

TfrmUpdate::TfrmUpdate(ui::Form* owner) : ui::Form(owner) {
    setCaption("KumoUpdate");
    setBorderStyle(ui::BorderStyle::Single);
    setBorderIcons({true, true, false});
    setPosition(ui::FormPosition::ScreenCenter);
    setClientSize(340, 159);

    Animate1.setBounds(34, 8, 272, 60);
    Animate1.setCommonAvi(ui::Animate::CommonAvi::FileCopy);
    lbMessage.setBounds(16, 82, 308, 14);
    lbMessage.setShowAccelChar(false);
    ui::Font bold = lbMessage.font();
    bold.bold = true;
    lbMessage.setFont(bold);
    ProgressBar1.setBounds(16, 110, 264, 18);
    ProgressBar1.setRange(0, 100);
    lbPer.setBounds(288, 112, 40, 14);
    lbPer.setShowAccelChar(false);
    lbPer.setCaption("0%");
}

void TfrmUpdate::ShowAndAnimate() {
    show();
    Animate1.setActive(true);
    ui::App().processMessages();
}

void TfrmUpdate::SetStep(std::string_view caption) {
    lbMessage.setCaption(std::string(caption));
    ui::App().processMessages();
}

void TfrmUpdate::SetProgress(int percent) {
    ProgressBar1.setPosition(percent);
    lbPer.setCaption(std::to_string(ProgressBar1.position()) + "%");
}

void TfrmUpdate::Message(std::string_view text, std::string_view caption, Icon icon) {
    ui::App().messageBox(std::string(text), std::string(caption),
                         icon == Icon::Error ? ui::MsgIcon::Error : ui::MsgIcon::Information);
}

bool TfrmUpdate::AskYesNo(std::string_view text, std::string_view caption) {
    return ui::App().messageBox(std::string(text), std::string(caption), ui::MsgIcon::Information,
                                ui::MsgButtons::YesNo) == ui::DialogResult::Yes;
}

UpdateWindowFactory TfrmUpdate::Factory(ui::Form* owner) {
    return [owner]() -> std::unique_ptr<UpdateWindow> { return std::make_unique<TfrmUpdate>(owner); };
}

}  // namespace kumoya
