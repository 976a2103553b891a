// One scenario of Enter and Escape in forms, run on both backends: the
// headless test presses the keys through the model, the Windows test posts
// real key messages to the native edits. Both compare what the model ends
// with against the same transcript, so the two backends keep one rule:
// Escape presses the form's Cancel button when it has one and does nothing
// else; Enter presses its default button.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "manager/input_form.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/form.h"

namespace kumoya::ui::scenario {

struct KeyPress {
    Edit* edit;
    int key;
};

class KeyDriver {
public:
    virtual ~KeyDriver() = default;
    // The next modal run of `form`: the keys are pressed while it is up;
    // if it is still open after them, it is ended with the result No.
    virtual void armModal(Form& form, std::vector<KeyPress> keys) = 0;
    // Presses the keys in a form that is shown, not modally.
    virtual void press(Form& form, std::vector<KeyPress> keys) = 0;
};

inline const char* ResultText(DialogResult r) {
    switch (r) {
        case DialogResult::None: return "none";
        case DialogResult::Ok: return "ok";
        case DialogResult::Cancel: return "cancel";
        case DialogResult::Yes: return "yes";
        case DialogResult::No: return "still open";
    }
    return "?";
}

class KeyForm : public Form {
public:
    KeyForm() {
        setCaption("Keys");
        setBorderStyle(BorderStyle::Dialog);
        setClientSize(260, 120);
        edText.setBounds(10, 10, 200, 21);
        pnlButtons.setBounds(10, 50, 240, 40);
        pnlButtons.setBevel(Bevel::None);
        btOk.setBounds(0, 5, 75, 25);
        btOk.setCaption("OK");
        btCancel.setBounds(90, 5, 75, 25);
        btCancel.setCaption("Cancel");
        btOk.OnClick = [this] { ++okClicks; };
        btCancel.OnClick = [this] { ++cancelClicks; };
        edText.setFocus();
    }
    std::string line(const std::string& name) const {
        return name + ": " + ResultText(modalResult()) + ", ok " + std::to_string(okClicks) + ", cancel " +
               std::to_string(cancelClicks) + (visible() ? ", shown" : "");
    }
    Edit edText{*this};
    Panel pnlButtons{*this};  // the buttons stand on a panel, as in most windows
    Button btOk{pnlButtons};
    Button btCancel{pnlButtons};
    int okClicks = 0;
    int cancelClicks = 0;
};

inline std::vector<std::string> RunDialogKeyScenario(KeyDriver& driver) {
    std::vector<std::string> out;
    auto dialog = [](bool withDefault, bool withCancel) {
        auto form = std::make_unique<KeyForm>();
        form->btOk.setModalResult(DialogResult::Ok);
        form->btCancel.setModalResult(DialogResult::Cancel);
        form->btOk.setDefault(withDefault);
        form->btCancel.setCancel(withCancel);
        return form;
    };
    {
        auto f = dialog(true, true);
        driver.armModal(*f, {{&f->edText, kKeyEscape}});
        f->showModal();
        out.push_back(f->line("escape with a Cancel button"));
    }
    {
        auto f = dialog(true, true);
        driver.armModal(*f, {{&f->edText, kKeyReturn}});
        f->showModal();
        out.push_back(f->line("enter with a default button"));
    }
    {
        auto f = dialog(false, false);
        driver.armModal(*f, {{&f->edText, kKeyEscape}, {&f->edText, kKeyReturn}});
        f->showModal();
        out.push_back(f->line("escape and enter without either button"));
    }
    {
        auto f = dialog(true, true);
        f->btCancel.setEnabled(false);
        driver.armModal(*f, {{&f->edText, kKeyEscape}});
        f->showModal();
        out.push_back(f->line("escape with the Cancel button disabled"));
    }
    {
        // Not modal: Escape presses Cancel (which ends nothing), the form stays.
        KeyForm f;
        f.btCancel.setCancel(true);
        f.show();
        driver.press(f, {{&f.edText, kKeyEscape}, {&f.edText, kKeyReturn}});
        out.push_back(f.line("escape and enter in a form that is not modal"));
        f.hide();
    }
    {
        // The category-name question: Enter confirms, no key cancels.
        TfrmInput input;
        driver.armModal(input, {{&input.edValue, kKeyEscape}});
        std::string value;
        input.Ask("prompt", "caption", value, nullptr, "", "abc");
        out.push_back(std::string("input, escape: ") + ResultText(input.modalResult()) +
                      (input.Cancelled ? ", cancelled" : "") + ", value \"" + value + "\"");
    }
    {
        TfrmInput input;
        driver.armModal(input, {{&input.edValue, kKeyReturn}});
        std::string value;
        input.Ask("prompt", "caption", value, nullptr, "", "abc");
        out.push_back(std::string("input, enter: ") + ResultText(input.modalResult()) +
                      (input.Cancelled ? ", cancelled" : "") + ", value \"" + value + "\"");
    }
    {
        InputBoxForm box("caption", "prompt", "xyz");
        driver.armModal(box, {{&box.edValue, kKeyEscape}});
        out.push_back(std::string("input box, escape: ") + ResultText(box.showModal()));
        InputBoxForm again("caption", "prompt", "xyz");
        driver.armModal(again, {{&again.edValue, kKeyReturn}});
        out.push_back(std::string("input box, enter: ") + ResultText(again.showModal()));
    }
    return out;
}

inline const std::vector<std::string>& ExpectedDialogKeyTranscript() {
    static const std::vector<std::string> expected = {
        "escape with a Cancel button: cancel, ok 0, cancel 1",
        "enter with a default button: ok, ok 1, cancel 0",
        "escape and enter without either button: still open, ok 0, cancel 0",
        "escape with the Cancel button disabled: still open, ok 0, cancel 0",
        "escape and enter in a form that is not modal: none, ok 0, cancel 1, shown",
        "input, escape: still open, cancelled, value \"\"",
        "input, enter: ok, value \"abc\"",
        "input box, escape: cancel",
        "input box, enter: ok",
    };
    return expected;
}

}  // namespace kumoya::ui::scenario
