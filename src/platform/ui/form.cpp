#include "platform/ui/form.h"

#include "platform/ui/application.h"
#include "platform/ui/controls.h"
#include "platform/ui/menu.h"
#include "platform/ui/threads.h"

namespace kumoya::ui {

Form::Form(Form* owner) : Container(nullptr), owner_(owner) {
    setVisible(false);
    setBounds(0, 0, 320, 240);
}

Form::~Form() {
    Backend().forgetForm(*this);
    detail::FormGone(*this);
    App().formGone(*this);
    releaseOwned();
    dropPeer();
}

void Form::makeInvisibleOwner() {
    invisibleOwner_ = true;
    borderStyle_ = BorderStyle::None;
    borderIcons_ = BorderIcons{false, false, false};
    setBounds(left(), top(), 1, 1);
}

void Form::show() {
    realize(Backend());
    if (visible()) return;
    setVisible(true);
    if (OnShow) OnShow();
}

DialogResult Form::showModal() {
    realize(Backend());
    modal_ = true;
    modalResult_ = DialogResult::None;
    struct ModalEnd {
        Form& form;
        ~ModalEnd() { form.modal_ = false; }
    } end{*this};
    Backend().runModal(*this);
    if (modalResult_ == DialogResult::None) modalResult_ = DialogResult::Cancel;
    return modalResult_;
}

void Form::close() { Backend().postCloseRequest(*this); }

bool Form::isActive() const { return Backend().isActive(*this); }

std::uintptr_t Form::nativeHandle() const { return Backend().nativeHandle(*this); }

bool Form::userClose() {
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(canClose);
    if (!canClose) return false;
    if (OnClose) OnClose();
    if (modal_) {
        // The modal run sees the result, hides the form and returns.
        if (modalResult_ == DialogResult::None) modalResult_ = DialogResult::Cancel;
        return true;
    }
    hide();
    if (App().mainForm() == this) App().terminate();
    return true;
}

namespace {

Button* FindDialogButton(const Container& container, bool isDefault) {
    for (Control* child : container.children()) {
        if (auto* button = dynamic_cast<Button*>(child)) {
            if ((isDefault ? button->isDefault() : button->isCancel()) && button->reachable()) return button;
        }
        if (auto* inner = dynamic_cast<Container*>(child)) {
            if (Button* button = FindDialogButton(*inner, isDefault)) return button;
        }
    }
    return nullptr;
}

}  // namespace

Button* Form::defaultButton() const { return FindDialogButton(*this, true); }

Button* Form::cancelButton() const { return FindDialogButton(*this, false); }

bool Form::userDialogKey(int key) {
    Button* button = nullptr;
    if (key == kKeyReturn) button = defaultButton();
    if (key == kKeyEscape) button = cancelButton();
    if (!button) return false;
    button->userClick();
    return true;
}

namespace {

// A page control stands for the page it shows.
int OwnHelpContext(const Control& control) {
    if (auto* pages = dynamic_cast<const PageControl*>(&control)) {
        if (TabSheet* page = pages->activePage(); page && page->helpContext() != 0) return page->helpContext();
    }
    return control.helpContext();
}

}  // namespace

int Form::helpContextAt(const Control* from) const {
    if (!from) from = focused_;
    // A control on a page no longer shown keeps no claim to the focus.
    if (from && !from->reachable()) from = nullptr;
    for (const Control* c = from; c && c != this; c = c->parent()) {
        if (int context = OwnHelpContext(*c)) return context;
    }
    if (helpContext() != 0) return helpContext();
    for (const Control* child : children()) {
        if (!child->visible()) continue;
        if (int context = OwnHelpContext(*child)) return context;
    }
    return owner_ ? owner_->helpContextAt(nullptr) : 0;
}

void Form::userHelp(const Control* from) {
    if (OnHelp) {
        OnHelp();
        return;
    }
    App().showHelp(helpContextAt(from));
}

void Form::userDropFiles(const std::vector<std::string>& paths) {
    if (OnFilesDropped) OnFilesDropped(paths);
}

MenuItem* Form::findMenuCommand(int commandId) const {
    for (Menu* menu : menus_) {
        if (MenuItem* item = menu->items().findCommand(commandId)) return item;
    }
    return nullptr;
}

MainMenu* Form::mainMenu() const {
    for (Menu* menu : menus_) {
        if (auto* bar = dynamic_cast<MainMenu*>(menu)) return bar;
    }
    return nullptr;
}

void Form::userMenuCommand(int commandId) {
    // The entry may have gone since the command was queued (its menu was
    // cleared): then nothing happens.
    if (MenuItem* item = findMenuCommand(commandId)) item->userClick();
}

}  // namespace kumoya::ui
