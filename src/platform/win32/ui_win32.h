// The Win32 side of the form framework: peers that own native windows.
// Only src/platform/win32 and the Windows-only tests include this.
//
// A container peer (form or panel) is the window procedure's object, kept in
// GWLP_USERDATA; WM_COMMAND and WM_NOTIFY are routed by control id to the
// child peer, which decodes them into the model's user-action entry point.
// When a peer changes its native control itself it sets `echo_` so that the
// notification the control raises for it is ignored.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "platform/ui/backend.h"
#include "platform/ui/bitmap.h"
#include "platform/ui/control.h"
#include "platform/win32/wide.h"

namespace kumoya::ui::win32 {

// Text for the screen: bytes that are not valid Shift_JIS still show (as
// replacement characters) rather than vanish.
inline std::wstring Wide(std::string_view sjis) {
    return *platform::win32::ToWide(sjis, platform::win32::InvalidBytes::Replace);
}
int Scale(int pixels96, int dpi);
int DpiOf(HWND window);
int SystemDpi();

class ContainerPeer;

// The tooltips of one form: a tool per control with a hint.
class FormTooltips {
public:
    explicit FormTooltips(HWND form);
    ~FormTooltips();
    FormTooltips(const FormTooltips&) = delete;
    FormTooltips& operator=(const FormTooltips&) = delete;
    // Shows `hint` over `control`; an empty hint removes its tool.
    void set(HWND control, const std::string& hint);
    HWND window() const { return tip_; }

private:
    bool create();
    HWND form_;
    HWND tip_ = nullptr;
    std::set<HWND> tools_;
};

class ControlPeer : public Peer {
public:
    explicit ControlPeer(Control& control);
    ~ControlPeer() override;
    ControlPeer(const ControlPeer&) = delete;
    ControlPeer& operator=(const ControlPeer&) = delete;

    HWND handle() const { return hwnd_; }
    Control& control() const { return control_; }
    virtual int dpi() const;

    void update(Prop what) override;
    void focus() override {
        if (hwnd_) SetFocus(hwnd_);
    }
    // WM_COMMAND notification code / WM_NOTIFY from the native control.
    virtual void command(WORD /*code*/) {}
    virtual bool notify(NMHDR* /*header*/, LRESULT& /*result*/) { return false; }
    // A key went down in the control; false swallows it.
    virtual bool keyDown(WPARAM /*key*/) { return true; }
    // WM_CONTEXTMENU for the control (right click, the menu key, Shift+F10):
    // `at` in screen coordinates, or (-1, -1) from the keyboard. True when
    // the control showed its menu.
    virtual bool contextMenu(POINT /*at*/) { return false; }
    // Re-applies position and font (after a DPI change).
    virtual void relayout();

    static ControlPeer* FromHandle(HWND window);

protected:
    // Creates the native child window on the parent's window.
    void createChild(const wchar_t* windowClass, DWORD style, DWORD exStyle);
    void setHandle(HWND window);
    virtual void applyBounds();
    void applyFont();
    // Shows the control's hint as its tooltip.
    void applyHint();

    Control& control_;
    HWND hwnd_ = nullptr;
    ContainerPeer* parent_ = nullptr;
    int id_ = 0;
    bool echo_ = false;
    bool hasTooltip_ = false;
};

class ContainerPeer : public ControlPeer {
public:
    using ControlPeer::ControlPeer;
    ~ContainerPeer() override;

    // The window procedure hands over the handle at WM_NCCREATE, before
    // CreateWindowEx has returned it.
    void adopt(HWND window) { hwnd_ = window; }
    int registerChild(ControlPeer* child);
    void unregisterChild(int id);
    // The window procedure's work; exceptions are caught by the caller.
    virtual LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void relayout() override;
    // The tooltips of the form this container stands on (made on first use
    // when `create`).
    virtual FormTooltips* tooltips(bool create) { return parent_ ? parent_->tooltips(create) : nullptr; }

protected:
    LRESULT paintBackground(HDC dc);

private:
    std::map<int, ControlPeer*> children_;
    int nextId_ = 100;
};

// Window classes registered once per process.
extern const wchar_t* const kFormClass;
extern const wchar_t* const kPanelClass;
LRESULT CALLBACK ContainerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// A submenu of the tracked popup menu is about to open (WM_INITMENUPOPUP).
void PopupSubmenuOpening(HMENU submenu);
void RegisterClasses();

// Pumps one message the way every loop of the program does: key-down to the
// control's peer first, then dialog navigation (Tab, Enter, Escape), then
// dispatch.
void Pump(MSG& message);

HFONT FontFor(const Font& font, int dpi);
HBRUSH BrushFor(int color);

std::unique_ptr<Peer> MakeFormPeer(Form& form);
// The window styles a form is created with.
void FormWindowStyles(const Form& form, DWORD& style, DWORD& exStyle);
std::unique_ptr<Peer> MakePanelPeer(Panel& panel);
std::unique_ptr<Peer> MakeButtonPeer(Button& button);
std::unique_ptr<Peer> MakeLabelPeer(Label& label);
std::unique_ptr<Peer> MakeImagePeer(Image& image);
std::unique_ptr<Peer> MakeCheckBoxPeer(CheckBox& box);
std::unique_ptr<Peer> MakeEditPeer(Edit& edit);
std::unique_ptr<Peer> MakeComboBoxPeer(ComboBox& box);
std::unique_ptr<Peer> MakeListViewPeer(ListView& list);
std::unique_ptr<Peer> MakePageControlPeer(PageControl& pages);
std::unique_ptr<Peer> MakeTabSheetPeer(TabSheet& sheet);
std::unique_ptr<Peer> MakeStatusBarPeer(StatusBar& bar);
std::unique_ptr<Peer> MakeMemoPeer(Memo& memo);
std::unique_ptr<Peer> MakeGroupBoxPeer(GroupBox& box);
std::unique_ptr<Peer> MakeRadioGroupPeer(RadioGroup& group);
std::unique_ptr<Peer> MakeCheckListBoxPeer(CheckListBox& list);
std::unique_ptr<Peer> MakeUpDownPeer(UpDown& arrows);
std::unique_ptr<Peer> MakeProgressBarPeer(ProgressBar& bar);
std::unique_ptr<Peer> MakeAnimatePeer(Animate& animation);
std::unique_ptr<Peer> MakeSpeedButtonPeer(SpeedButton& button);
std::unique_ptr<Peer> MakeSplitterPeer(Splitter& bar);
std::unique_ptr<Peer> MakeMediaPeer(MediaPlayer& player);
// Whether the system had the animation to show (tests and the demo).
bool AnimationShown(const Animate& animation);

// Draws a model bitmap into the rectangle (stretched to it); false when it
// cannot be drawn (a resource that is missing, bytes that do not hold up).
bool DrawModelBitmap(HDC dc, const Bitmap& bitmap, int x, int y, int width, int height);
// A picture showing bitmaps is the background of what stands on it, whatever
// the order of creation (child windows created later go below the earlier).
void KeepPicturesBehind(const Control& control);
// The picture behind a control that stands wholly on an image showing
// bitmaps, as a brush aligned for the control's DC; null when there is none.
HBRUSH BackdropBrush(const ControlPeer& child, HDC dc);
// The bitmaps of an image (picture and drawings) on its background, at the
// control's size for that DPI; the caller owns the result.
HBITMAP ComposePicture(const Image& image, int dpi);

// The menu bar of a form window.
std::unique_ptr<Peer> MakeMenuBarPeer(MainMenu& menu, HWND window);

// Native handle of a realised control (tests and the demo).
HWND HandleOf(const Control& control);
// The tooltip control of a realised form, or null while no control on it
// has had a hint (tests).
HWND TooltipOf(const Form& form);

}  // namespace kumoya::ui::win32
