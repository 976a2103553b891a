// A top-level window. A window class derives from Form, declares its controls
// and menus as members constructed with `*this`, and sets their layout and
// events in its constructor, the way a form description reads:
//
//   class TfrmInput : public ui::Form {
//   public:
//       TfrmInput() {
//           setCaption("...");
//           setClientSize(325, 118);
//           btOk.setBounds(...); btOk.setCaption("OK");
//           btOk.setModalResult(ui::DialogResult::Ok);
//       }
//       ui::Button btOk{*this};
//   };
//
// close() is deferred: it queues the request, and the closing (OnCloseQuery,
// OnClose, hiding; ending the program for the main form, ending the modal run
// for a modal one) happens from the message loop, so a handler may close its
// own form. The native close box and the headless tests reach the same
// sequence through userClose().
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/control.h"

namespace kumoya::ui {

enum class BorderStyle { Sizeable, Single, Dialog, None };
enum class FormPosition { Designed, ScreenCenter };

struct BorderIcons {
    bool systemMenu = true;
    bool minimize = true;
    bool maximize = true;
};

class Form : public Container {
public:
    explicit Form(Form* owner = nullptr);
    ~Form() override;

    Form* owner() const { return owner_; }

    // Caption is the window title. Width/height of Control are the client size.
    void setClientSize(int width, int height) { setBounds(left(), top(), width, height); }
    BorderStyle borderStyle() const { return borderStyle_; }
    void setBorderStyle(BorderStyle style) {
        requireUncreated("borderStyle", style != borderStyle_);
        borderStyle_ = style;
    }
    BorderIcons borderIcons() const { return borderIcons_; }
    void setBorderIcons(BorderIcons icons) { borderIcons_ = icons; }
    FormPosition position() const { return position_; }
    void setPosition(FormPosition position) {
        requireUncreated("position", position != position_);
        position_ = position;
    }
    bool stayOnTop() const { return stayOnTop_; }
    void setStayOnTop(bool value) {
        requireUncreated("stayOnTop", value != stayOnTop_);
        stayOnTop_ = value;
    }
    // The help topic for F1 with `from` focused (null: the control last
    // given the focus): the first topic set on it or a container above it (a
    // page control counts its page shown), else the form's own, else that of
    // the one visible part of the form that has one (the page shown, the
    // wizard's panel), else its owner's. 0 when none has a topic.
    int helpContextAt(const Control* from) const;
    // Files dropped from the shell arrive through OnFilesDropped.
    bool acceptFiles() const { return acceptFiles_; }
    void setAcceptFiles(bool value) {
        requireUncreated("acceptFiles", value != acceptFiles_);
        acceptFiles_ = value;
    }
    // The launcher's invisible owner: borderless, 1 x 1, without a taskbar
    // button, but able to be active and to own popup menus.
    void makeInvisibleOwner();
    bool invisibleOwner() const { return invisibleOwner_; }

    // Creates the native window (if the backend has one) and shows it;
    // OnShow fires each time the form becomes visible.
    void show();
    void hide() { setVisible(false); }
    // Runs the form modally; answers its modal result (Cancel when closed).
    DialogResult showModal();
    bool modal() const { return modal_; }
    DialogResult modalResult() const { return modalResult_; }
    // Setting a result other than None ends a modal run.
    void setModalResult(DialogResult result) { modalResult_ = result; }
    // Queues a close request (see above).
    void close();
    bool isActive() const;
    // The native window (HWND on Windows) once shown; 0 without one.
    std::uintptr_t nativeHandle() const;
    // The control last given the focus with setFocus(), or null.
    Control* focusedControl() const { return focused_; }

    std::function<void()> OnShow;
    std::function<void(bool& canClose)> OnCloseQuery;
    std::function<void()> OnClose;
    std::function<void(const std::vector<std::string>& paths)> OnFilesDropped;
    // The user asked for help (F1) anywhere in the form. Without a handler
    // the application opens the topic of helpContextAt (its contents for 0).
    std::function<void()> OnHelp;

    // User actions: the close box (or a queued close request); a drop of
    // files; a menu command (by id) from one of the form's menus.
    // userClose answers whether the form closed.
    bool userClose();
    // Enter or Escape that no control took: Enter presses the default
    // button, Escape the Cancel button, when the form has a reachable one;
    // nothing else happens. Answers whether a button was pressed.
    bool userDialogKey(int key);
    // The reachable default or Cancel button, or null.
    Button* defaultButton() const;
    Button* cancelButton() const;
    void userDropFiles(const std::vector<std::string>& paths);
    // F1 with `from` focused (null when the system does not say).
    void userHelp(const Control* from = nullptr);
    void userMenuCommand(int commandId);

    // Menus register with their owner form so that commands find their items.
    const std::vector<Menu*>& menus() const { return menus_; }
    MenuItem* findMenuCommand(int commandId) const;
    MainMenu* mainMenu() const;

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }

private:
    friend class Menu;
    friend class Control;

    Form* owner_;
    BorderStyle borderStyle_ = BorderStyle::Sizeable;
    BorderIcons borderIcons_;
    FormPosition position_ = FormPosition::Designed;
    bool stayOnTop_ = false;
    bool acceptFiles_ = false;
    bool invisibleOwner_ = false;
    bool modal_ = false;
    DialogResult modalResult_ = DialogResult::None;
    std::vector<Menu*> menus_;
    Control* focused_ = nullptr;
};

}  // namespace kumoya::ui
