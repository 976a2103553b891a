// The update form: the file-copy animation, the current step in bold, the
// progress bar and its percentage. It shows only once a run has decided to
// fetch something; the questions and messages of a run are the system's
// message boxes.
#pragma once

#include <string_view>

#include "online/update.h"
#include "platform/ui/controls_more.h"
#include "platform/ui/ui.h"

namespace kumoya {

class TfrmUpdate : public ui::Form, public UpdateWindow {
public:
    explicit TfrmUpdate(ui::Form* owner = nullptr);

    void ShowAndAnimate() override;
    void SetStep(std::string_view caption) override;
    void SetProgress(int percent) override;
    void Message(std::string_view text, std::string_view caption, Icon icon) override;
    bool AskYesNo(std::string_view text, std::string_view caption) override;

    // Makes update forms for RunUpdate, owned by `owner`.
    static UpdateWindowFactory Factory(ui::Form* owner);

    ui::Animate Animate1{*this};
    ui::Label lbMessage{*this};
    ui::ProgressBar ProgressBar1{*this};
    ui::Label lbPer{*this};
};

}  // namespace kumoya
