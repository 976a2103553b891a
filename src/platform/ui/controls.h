// The ordinary controls. Each one: state, events named like the handlers the
// window code binds (`btOk.OnClick = [this] { btOkClick(); };`), and the
// user-action entry points that the Win32 peer and the tests both call.
#pragma once

#include <functional>
#include <string>

#include "platform/ui/control.h"

namespace kumoya::ui {

class Button : public Control {
public:
    explicit Button(Container& parent) : Control(&parent) {}

    // A result other than None ends the form's modal run after OnClick.
    DialogResult modalResult() const { return modalResult_; }
    void setModalResult(DialogResult result) { modalResult_ = result; }
    // The button Enter presses (Default) or Escape presses (Cancel).
    bool isDefault() const { return default_; }
    void setDefault(bool value) { default_ = value; }
    bool isCancel() const { return cancel_; }
    void setCancel(bool value) { cancel_ = value; }

    std::function<void()> OnClick;
    void userClick();

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }

private:
    DialogResult modalResult_ = DialogResult::None;
    bool default_ = false;
    bool cancel_ = false;
};

class Label : public Control {
public:
    explicit Label(Container& parent) : Control(&parent) {}

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }
};

class CheckBox : public Control {
public:
    explicit CheckBox(Container& parent) : Control(&parent) {}

    bool checked() const { return checked_; }
    void setChecked(bool checked);

    // Fires when the user toggles the box, after the state has changed.
    std::function<void()> OnClick;
    void userClick();

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }

private:
    bool checked_ = false;
};

enum class Bevel { None, Raised, Lowered };

// A plain container; also what a tab sheet is made of.
class Panel : public Container {
public:
    explicit Panel(Container& parent) : Container(&parent) {}

    Bevel bevel() const { return bevel_; }
    void setBevel(Bevel bevel) { bevel_ = bevel; }

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }

private:
    Bevel bevel_ = Bevel::Raised;
};

// Virtual-key codes the handlers look at.
inline constexpr int kKeyReturn = 0x0D;
inline constexpr int kKeyEscape = 0x1B;

// A one-line edit. Its text is caption().
class Edit : public Control {
public:
    explicit Edit(Container& parent) : Control(&parent) {}

    const std::string& text() const { return caption(); }
    void setText(std::string text) { setCaption(std::move(text)); }
    bool readOnly() const { return readOnly_; }
    void setReadOnly(bool value);
    // Characters the user may type (0: no limit). Programmatic text is not cut.
    int maxLength() const { return maxLength_; }
    void setMaxLength(int length);
    bool border() const { return border_; }
    void setBorder(bool value) { border_ = value; }

    std::function<void()> OnChange;
    // The handler may set the key to 0 to swallow it.
    std::function<void(int& key)> OnKeyDown;

    // The user changed the text to `text` (typing, pasting, deleting).
    void userSetText(std::string text);
    // A key went down in the edit; false when a handler swallowed it.
    bool userKeyDown(int key);

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }

private:
    bool readOnly_ = false;
    int maxLength_ = 0;
    bool border_ = true;
};

}  // namespace kumoya::ui
