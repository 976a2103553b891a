// The one-line question: a category or extension name, with an optional
// check box (an extension's choose-by-popup flag). One instance per question:
// the caller creates it, calls Ask, reads Cancelled and frees it.
#pragma once

#include <string>

#include "platform/ui/ui.h"

namespace kumoya {

class TfrmInput : public ui::Form {
public:
    explicit TfrmInput(ui::Form* owner = nullptr);

    // Shows the dialog modally with `prompt` above the field, `caption` as
    // the window title and `start` in the field. With `flag`, the check box
    // shows with `checkCaption` and its state goes into *flag on OK. On OK the
    // answer is the field's text; otherwise it is empty, Cancelled is set and
    // *flag is left alone. Answers `value`.
    std::string Ask(const std::string& prompt, const std::string& caption, std::string& value, bool* flag = nullptr,
                    const std::string& checkCaption = {}, const std::string& start = {});

    void edValueKeyDown(int& key);

    bool Cancelled = false;

    ui::Edit edValue{*this};
    ui::CheckBox cbPopUp{*this};
    ui::Button btOk{*this};
    ui::Button btCancel{*this};
    ui::Label lbTitle{*this};
};

}  // namespace kumoya
