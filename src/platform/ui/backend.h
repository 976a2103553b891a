// The seam between the control model and whatever shows it.
//
// Every window is written once against the model classes (Form, Button,
// PopupMenu, ...). A backend realises the model: the Win32 backend creates
// native windows ("peers") and turns native notifications into the model's
// user-action entry points; the headless backend keeps the model alone and
// lets tests act as the user (see headless.h).
//
// Service<UiBackend>::Get() picks the backend: the Windows build's default is
// the Win32 one, the Linux build's the headless one; a test may install its
// own with ScopedService (or HeadlessUi, which also resets the Application).
//
// Adding a control kind, mechanically:
//   1. the model class in controls.h: state with getters/setters that call
//      changed(Prop::...), events as std::function members named like the
//      window code's handlers (OnClick, OnChange, ...), and one public
//      user-action entry point per thing a user can do (userClick(),
//      userSetText(...)) that updates the state and fires the event;
//      override makePeer() as `return backend.createPeer(*this);`
//   2. a createPeer overload below (the default, no peer, suits headless);
//   3. the Win32 peer in platform/win32/ui_controls.cpp: create the native
//      control, apply Prop changes (suppressing the notifications the native
//      control raises for its own programmatic changes), decode WM_COMMAND /
//      WM_NOTIFY into the entry point;
//   4. if a test needs more than the entry point, a helper in headless.h.
#pragma once

#include <functional>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/service.h"

namespace kumoya::ui {

class Control;
class Form;
class Button;
class Label;
class Image;
class CheckBox;
class Panel;
class Edit;
class ComboBox;
class ListView;
class PageControl;
class TabSheet;
class StatusBar;
class Memo;
class GroupBox;
class RadioGroup;
class CheckListBox;
class UpDown;
class ProgressBar;
class Animate;
class SpeedButton;
class Splitter;
class MediaPlayer;
class Menu;
class PopupMenu;
class MainMenu;
class MenuItem;
class Timer;
struct OpenFileRequest;
struct FolderBrowseRequest;

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
// The answer of a message box, and the modal result of a form.
enum class DialogResult { None, Ok, Cancel, Yes, No };

// What changed in a control's model; the peer reads the new state from the
// control itself.
enum class Prop {
    Caption, Enabled, Visible, Bounds, Font, Color, Checked, Text, ReadOnly, MaxLength,
    Items,      // the list of items (combo box, list view, tabs)
    Selection,  // the selected item or page
    Columns,
    Images,
    Picture,  // the icon or bitmaps of an Image, the glyph of a speed button
    Cursor,
    Position,  // of an up-down or progress bar
    Range,
    Options,   // styles fixed at creation elsewhere (list view check boxes, ...)
    Active,    // an animation plays
    Hint,
};

class Peer {
public:
    virtual ~Peer() = default;
    virtual void update(Prop what) = 0;
    // Moves the keyboard focus to the control.
    virtual void focus() {}
};

class UiBackend {
public:
    virtual ~UiBackend() = default;

    // Native counterparts. Null: the control lives in the model only.
    virtual std::unique_ptr<Peer> createPeer(Form&) { return nullptr; }
    virtual std::unique_ptr<Peer> createPeer(Button&) { return nullptr; }
    virtual std::unique_ptr<Peer> createPeer(Label&) { return nullptr; }
    virtual std::unique_ptr<Peer> createPeer(Image&) { return nullptr; }
    virtual std::unique_ptr<Peer> createPeer(CheckBox&) { return nullptr; }
    virtual std::unique_ptr<Peer> createPeer(Panel&) { return nullptr; }
    virtual std::unique_ptr<Peer> createPeer(Edit&) { return nullptr; }
    virtual std::unique_ptr<Peer> createPeer(ComboBox&) { return nullptr; }
    virtual std::unique_ptr<Peer> createPeer(ListView&) { return nullptr; }
    virtual std::unique_ptr<Peer> createPeer(PageControl&) { return nullptr; }
    virtual std::unique_ptr<Peer> createPeer(TabSheet&) { return nullptr; }
    virtual std::unique_ptr<Peer> createPeer(StatusBar&) { return nullptr; }
    virtual std::unique_ptr<Peer> createPeer(Memo&) { return nullptr; }
    virtual std::unique_ptr<Peer> createPeer(GroupBox&) { return nullptr; }
    virtual std::unique_ptr<Peer> createPeer(RadioGroup&) { return nullptr; }
    virtual std::unique_ptr<Peer> createPeer(CheckListBox&) { return nullptr; }
    virtual std::unique_ptr<Peer> createPeer(UpDown&) { return nullptr; }
    virtual std::unique_ptr<Peer> createPeer(ProgressBar&) { return nullptr; }
    virtual std::unique_ptr<Peer> createPeer(Animate&) { return nullptr; }
    virtual std::unique_ptr<Peer> createPeer(SpeedButton&) { return nullptr; }
    virtual std::unique_ptr<Peer> createPeer(Splitter&) { return nullptr; }
    virtual std::unique_ptr<Peer> createPeer(MediaPlayer&) { return nullptr; }

    // Runs until terminate() (or, headless, until nothing is pending).
    virtual void runMessageLoop() = 0;
    // Handles what is pending and returns; never waits.
    virtual void processMessages() = 0;
    virtual void terminate() = 0;

    // Queues a close request for the form (Form::userClose runs later, from
    // the message loop), so that a handler may close its own form.
    virtual void postCloseRequest(Form& form) = 0;
    // Queues the menu command: the item with that id is clicked later.
    virtual void postMenuCommand(Form& owner, int commandId) = 0;
    // The form is going away: drop whatever is queued for it.
    virtual void forgetForm(Form& form) = 0;

    // Shows the form modally until its modal result is set or it closes.
    virtual void runModal(Form& form) = 0;
    virtual bool isActive(const Form& form) = 0;
    // The native window of a form (an HWND on Windows), for services that
    // want an owner window; 0 where there is none.
    virtual std::uintptr_t nativeHandle(const Form&) { return 0; }

    // Pops the menu up at a screen point and waits until it is dismissed.
    // Returns the item chosen (its click has been queued with
    // postMenuCommand) or null.
    virtual MenuItem* trackPopup(PopupMenu& menu, Point at) = 0;

    // Queues work for the user-interface thread; callable from any thread,
    // never throws for a full queue. It runs from the message loop
    // (processMessages included), in the order posted.
    virtual void post(std::function<void()> work) = 0;
    // Waits until something arrives for the message loop or `timeoutMs`
    // passes; handles nothing.
    virtual void waitMessage(int timeoutMs) = 0;

    // Timers (see timer.h): start (or restart) with the timer's interval; stop.
    virtual void startTimer(Timer& timer) = 0;
    virtual void stopTimer(Timer& timer) = 0;

    // The native window of any realised control; 0 where there is none.
    virtual std::uintptr_t controlHandle(const Control&) { return 0; }
    // Bits per pixel of the display times its colour planes.
    virtual int screenColorBits() = 0;

    // The common dialogs (see dialogs.h); true when the user chose.
    virtual bool openFile(Form* owner, OpenFileRequest& request) = 0;
    virtual bool browseForFolder(Form* owner, FolderBrowseRequest& request) = 0;

    virtual Point cursorPos() = 0;
    // For windows that place themselves, in 96-DPI pixels: the primary
    // screen, and how much a form's frame (caption, borders, menu bar) adds
    // to its client size. The defaults are a plain screen and a frame with a
    // caption.
    virtual Size screenSize() { return {1024, 768}; }
    virtual Size frameSize(const Form&) { return {8, 27}; }
    virtual DialogResult messageBox(const std::string& text, const std::string& caption, MsgIcon icon,
                                    MsgButtons buttons) = 0;
};

}  // namespace kumoya::ui

namespace kumoya::platform {
template <> ui::UiBackend& Service<ui::UiBackend>::Default();
}  // namespace kumoya::platform

namespace kumoya::ui {
inline UiBackend& Backend() { return platform::Service<UiBackend>::Get(); }
}  // namespace kumoya::ui
