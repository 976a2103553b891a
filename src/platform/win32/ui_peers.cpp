// Native peers of forms, panels and the ordinary controls.
#include <windows.h>
#include <imm.h>
#include <shellapi.h>

#include <memory>
#include <tuple>
#include <vector>

#include "platform/ui/application.h"
#include "platform/ui/controls.h"
#include "platform/ui/form.h"
#include "platform/ui/menu.h"
#include "platform/win32/ui_win32.h"
#include "platform/win32/wide.h"

namespace kumoya::ui::win32 {

const wchar_t* const kFormClass = L"KumoyaForm";
const wchar_t* const kPanelClass = L"KumoyaPanel";

namespace {

const wchar_t* const kPeerProperty = L"KumoyaPeer";

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

// Fonts and brushes live as long as the process; there are only a few.
class GdiCache {
public:
    ~GdiCache() {
        for (auto& [key, font] : fonts_) DeleteObject(font);
        for (auto& [key, brush] : brushes_) DeleteObject(brush);
    }
    HFONT font(const Font& f, int dpi) {
        auto key = std::make_tuple(f.name, f.height, f.bold, f.italic, f.charset, dpi);
        auto it = fonts_.find(key);
        if (it != fonts_.end()) return it->second;
        LOGFONTW lf{};
        lf.lfHeight = -Scale(f.height, dpi);
        lf.lfWeight = f.bold ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = f.italic ? TRUE : FALSE;
        lf.lfCharSet = static_cast<BYTE>(f.charset);
        lf.lfQuality = DEFAULT_QUALITY;
        std::wstring face = Wide(f.name);
        wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
        HFONT font = CreateFontIndirectW(&lf);
        if (font) fonts_[key] = font;
        return font;
    }
    HBRUSH brush(int color) {
        auto it = brushes_.find(color);
        if (it != brushes_.end()) return it->second;
        HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(color));
        if (brush) brushes_[color] = brush;
        return brush;
    }

private:
    std::map<std::tuple<std::string, int, bool, bool, int, int>, HFONT> fonts_;
    std::map<int, HBRUSH> brushes_;
};

GdiCache& Gdi() {
    static GdiCache cache;
    return cache;
}

}  // namespace

int Scale(int pixels96, int dpi) { return MulDiv(pixels96, dpi, 96); }

int SystemDpi() {
    HDC dc = GetDC(nullptr);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
    if (dc) ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : 96;
}

int DpiOf(HWND window) {
    // GetDpiForWindow exists from Windows 10 on; older systems have one DPI.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static auto fn = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (fn && window) {
        UINT dpi = fn(window);
        if (dpi > 0) return static_cast<int>(dpi);
    }
    return SystemDpi();
}

HFONT FontFor(const Font& font, int dpi) { return Gdi().font(font, dpi); }
HBRUSH BrushFor(int color) { return Gdi().brush(color); }

HWND HandleOf(const Control& control) {
    auto* peer = dynamic_cast<ControlPeer*>(control.peer());
    return peer ? peer->handle() : nullptr;
}

// The innermost control of `root` whose window is `window` or holds it (the
// edit inside a combo box), or null.
const Control* ControlOfWindow(const Container& root, HWND window) {
    if (!window) return nullptr;
    for (const Control* child : root.children()) {
        HWND handle = HandleOf(*child);
        if (!handle || (handle != window && !IsChild(handle, window))) continue;
        if (auto* box = dynamic_cast<const Container*>(child)) {
            if (const Control* inner = ControlOfWindow(*box, window)) return inner;
        }
        return child;
    }
    return nullptr;
}

// ---- ControlPeer ----

ControlPeer::ControlPeer(Control& control) : control_(control) {
    if (control.parent()) parent_ = dynamic_cast<ContainerPeer*>(control.parent()->peer());
}

ControlPeer::~ControlPeer() {
    if (parent_ && id_) parent_->unregisterChild(id_);
    if (hasTooltip_ && parent_) {
        if (FormTooltips* tips = parent_->tooltips(false)) tips->set(hwnd_, "");
    }
    if (hwnd_) {
        RemovePropW(hwnd_, kPeerProperty);
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

int ControlPeer::dpi() const {
    if (parent_) return parent_->dpi();
    return hwnd_ ? DpiOf(hwnd_) : SystemDpi();
}

ControlPeer* ControlPeer::FromHandle(HWND window) {
    return window ? static_cast<ControlPeer*>(GetPropW(window, kPeerProperty)) : nullptr;
}

void ControlPeer::setHandle(HWND window) {
    hwnd_ = window;
    SetPropW(hwnd_, kPeerProperty, this);
}

void ControlPeer::createChild(const wchar_t* windowClass, DWORD style, DWORD exStyle) {
    if (!parent_ || !parent_->handle()) throw std::logic_error("control realised before its container");
    id_ = parent_->registerChild(this);
    int d = dpi();
    style |= WS_CHILD | WS_CLIPSIBLINGS | (control_.visible() ? WS_VISIBLE : 0) | (control_.enabled() ? 0 : WS_DISABLED);
    HWND window = CreateWindowExW(exStyle, windowClass, Wide(control_.caption()).c_str(), style,
                                  Scale(control_.left(), d), Scale(control_.top(), d), Scale(control_.width(), d),
                                  Scale(control_.height(), d), parent_->handle(),
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)), Instance(), this);
    if (!window) throw std::runtime_error(platform::win32::ErrorText("CreateWindowExW"));
    setHandle(window);
    applyFont();
    applyHint();
    KeepPicturesBehind(control_);
}

void ControlPeer::applyHint() {
    if (!parent_ || !hwnd_) return;  // a form's own hint is not shown
    const std::string& hint = control_.hint();
    if (hint.empty() && !hasTooltip_) return;
    FormTooltips* tips = parent_->tooltips(!hint.empty());
    if (!tips) return;
    tips->set(hwnd_, hint);
    hasTooltip_ = !hint.empty();
}

void ControlPeer::applyBounds() {
    int d = dpi();
    SetWindowPos(hwnd_, nullptr, Scale(control_.left(), d), Scale(control_.top(), d), Scale(control_.width(), d),
                 Scale(control_.height(), d), SWP_NOZORDER | SWP_NOACTIVATE);
}

void ControlPeer::applyFont() {
    if (HFONT font = FontFor(control_.font(), dpi())) SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void ControlPeer::relayout() {
    applyBounds();
    applyFont();
}

void ControlPeer::update(Prop what) {
    if (!hwnd_) return;
    switch (what) {
        case Prop::Caption:
        case Prop::Text:
            echo_ = true;
            SetWindowTextW(hwnd_, Wide(control_.caption()).c_str());
            echo_ = false;
            break;
        case Prop::Enabled: EnableWindow(hwnd_, control_.enabled()); break;
        case Prop::Visible: ShowWindow(hwnd_, control_.visible() ? SW_SHOWNA : SW_HIDE); break;
        case Prop::Bounds: applyBounds(); break;
        case Prop::Font: relayout(); break;
        case Prop::Color: InvalidateRect(hwnd_, nullptr, TRUE); break;
        case Prop::Hint: applyHint(); break;
        default: break;
    }
}

// ---- ContainerPeer ----

ContainerPeer::~ContainerPeer() = default;

int ContainerPeer::registerChild(ControlPeer* child) {
    while (children_.count(nextId_) || nextId_ > 0x7FFF) nextId_ = nextId_ > 0x7FFF ? 100 : nextId_ + 1;
    int id = nextId_++;
    children_[id] = child;
    return id;
}

void ContainerPeer::unregisterChild(int id) { children_.erase(id); }

void ContainerPeer::relayout() {
    ControlPeer::relayout();
    for (auto& [id, child] : children_) child->relayout();
}

LRESULT ContainerPeer::paintBackground(HDC dc) {
    RECT r;
    GetClientRect(hwnd_, &r);
    int color = control_.color();
    FillRect(dc, &r, color == kDefaultColor ? GetSysColorBrush(COLOR_BTNFACE) : BrushFor(color));
    return 1;
}

LRESULT ContainerPeer::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (lParam) {
                auto it = children_.find(LOWORD(wParam));
                if (it != children_.end()) it->second->command(HIWORD(wParam));
                return 0;
            }
            break;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            auto it = children_.find(static_cast<int>(header->idFrom));
            LRESULT result = 0;
            if (it != children_.end() && it->second->notify(header, result)) return result;
            break;
        }
        case WM_INITMENUPOPUP:
            PopupSubmenuOpening(reinterpret_cast<HMENU>(wParam));
            break;
        case WM_CONTEXTMENU: {
            // A child's context menu request comes up through its parents;
            // the first that knows the control answers it.
            ControlPeer* peer = ControlPeer::FromHandle(reinterpret_cast<HWND>(wParam));
            POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            if (peer && peer != this && peer->contextMenu(at)) return 0;
            break;
        }
        case WM_ERASEBKGND: return paintBackground(reinterpret_cast<HDC>(wParam));
        case WM_SETCURSOR:
            // Children pass the question up; the control under the mouse decides.
            if (LOWORD(lParam) == HTCLIENT) {
                ControlPeer* under = ControlPeer::FromHandle(reinterpret_cast<HWND>(wParam));
                if (under && under->control().cursor() == Cursor::Hand) {
                    SetCursor(LoadCursorW(nullptr, IDC_HAND));
                    return TRUE;
                }
            }
            break;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            // Labels and check boxes take the colour of what they stand on.
            int color = control_.color();
            HDC dc = reinterpret_cast<HDC>(wParam);
            if (message != WM_CTLCOLORBTN) {
                auto* peer = ControlPeer::FromHandle(reinterpret_cast<HWND>(lParam));
                auto* edit = peer ? dynamic_cast<Edit*>(&peer->control()) : nullptr;
                if (edit) {
                    if (!edit->parentColor()) break;  // edits keep the system's colours
                    SetBkColor(dc, color == kDefaultColor ? GetSysColor(COLOR_BTNFACE) : static_cast<COLORREF>(color));
                    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
                    return reinterpret_cast<LRESULT>(color == kDefaultColor ? GetSysColorBrush(COLOR_BTNFACE)
                                                                            : BrushFor(color));
                }
                if (message == WM_CTLCOLOREDIT) break;
            }
            SetBkMode(dc, TRANSPARENT);
            // A label's font may carry its own colour.
            auto* child = ControlPeer::FromHandle(reinterpret_cast<HWND>(lParam));
            const int text = child ? child->control().font().color : kDefaultColor;
            SetTextColor(dc, text == kDefaultColor ? GetSysColor(COLOR_WINDOWTEXT) : static_cast<COLORREF>(text));
            // A label on a picture shows the picture around its text.
            if (child && dynamic_cast<Label*>(&child->control())) {
                if (HBRUSH backdrop = BackdropBrush(*child, dc)) return reinterpret_cast<LRESULT>(backdrop);
            }
            return reinterpret_cast<LRESULT>(color == kDefaultColor ? GetSysColorBrush(COLOR_BTNFACE) : BrushFor(color));
        }
        default: break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK ContainerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        if (auto* created = static_cast<ContainerPeer*>(create->lpCreateParams)) created->adopt(window);
    }
    auto* peer = reinterpret_cast<ContainerPeer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!peer) return DefWindowProcW(window, message, wParam, lParam);
    // No exception may cross into the system's code that called us.
    try {
        return peer->onMessage(message, wParam, lParam);
    } catch (...) {
        App().handleException(std::current_exception());
        return 0;
    }
}

void RegisterClasses() {
    static bool done = false;
    if (done) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ContainerProc;
    wc.hInstance = Instance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(Instance(), MAKEINTRESOURCEW(1));
    if (!wc.hIcon) wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.style = CS_DBLCLKS;
    wc.lpszClassName = kFormClass;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        throw std::runtime_error(platform::win32::ErrorText("RegisterClassExW"));
    }
    wc.lpszClassName = kPanelClass;
    wc.hIcon = nullptr;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        throw std::runtime_error(platform::win32::ErrorText("RegisterClassExW"));
    }
    done = true;
}

// ---- forms ----

void FormWindowStyles(const Form& form, DWORD& style, DWORD& exStyle) {
    style = WS_CLIPCHILDREN;
    exStyle = 0;
    const BorderIcons icons = form.borderIcons();
    auto captionStyle = [&] {
        DWORD s = WS_CAPTION;
        if (icons.systemMenu) s |= WS_SYSMENU;
        if (icons.minimize) s |= WS_MINIMIZEBOX;
        if (icons.maximize) s |= WS_MAXIMIZEBOX;
        return s;
    };
    switch (form.borderStyle()) {
        case BorderStyle::Sizeable: style |= captionStyle() | WS_THICKFRAME; break;
        case BorderStyle::Single: style |= captionStyle(); break;
        case BorderStyle::Dialog:
            style |= WS_CAPTION | (icons.systemMenu ? WS_SYSMENU : 0);
            exStyle |= WS_EX_DLGMODALFRAME;
            break;
        case BorderStyle::None: style |= WS_POPUP; break;
    }
    if (form.invisibleOwner()) exStyle |= WS_EX_TOOLWINDOW;
    if (form.stayOnTop()) exStyle |= WS_EX_TOPMOST;
    if (form.acceptFiles()) exStyle |= WS_EX_ACCEPTFILES;
    // A window owned by the invisible launcher stands for the program
    // on the taskbar.
    if (form.owner() && form.owner()->invisibleOwner()) exStyle |= WS_EX_APPWINDOW;
}

namespace {

class FormPeer final : public ContainerPeer {
public:
    explicit FormPeer(Form& form) : ContainerPeer(form), form_(form) {
        RegisterClasses();
        DWORD style = 0;
        DWORD exStyle = 0;
        FormWindowStyles(form, style, exStyle);
        style_ = style;
        exStyle_ = exStyle;
        HWND owner = form.owner() ? HandleOf(*form.owner()) : nullptr;
        int d = SystemDpi();
        RECT r = outerRect(d);
        HWND window = CreateWindowExW(exStyle, kFormClass, Wide(form.caption()).c_str(), style, r.left, r.top,
                                      r.right - r.left, r.bottom - r.top, owner, nullptr, Instance(), this);
        if (!window) throw std::runtime_error(platform::win32::ErrorText("CreateWindowExW"));
        setHandle(window);
        dpi_ = DpiOf(window);
        if (MainMenu* bar = form.mainMenu()) bar->setPeer(MakeMenuBarPeer(*bar, window));
        if (dpi_ != d || form.mainMenu()) applyBounds();
    }

    int dpi() const override { return dpi_; }

    FormTooltips* tooltips(bool create) override {
        if (!tooltips_ && create) tooltips_ = std::make_unique<FormTooltips>(hwnd_);
        return tooltips_.get();
    }

    void update(Prop what) override {
        switch (what) {
            case Prop::Visible:
                if (form_.visible()) {
                    if (!shownOnce_ && form_.position() == FormPosition::ScreenCenter) center();
                    shownOnce_ = true;
                    ShowWindow(hwnd_, SW_SHOW);
                    SetForegroundWindow(hwnd_);
                    if (!IsChild(hwnd_, GetFocus())) {
                        // The control asked for, or else the first one Tab reaches.
                        HWND first = form_.focusedControl() ? HandleOf(*form_.focusedControl()) : nullptr;
                        if (!first) first = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
                        if (first) SetFocus(first);
                    }
                } else {
                    ShowWindow(hwnd_, SW_HIDE);
                }
                break;
            case Prop::Bounds: applyBounds(); break;
            default: ContainerPeer::update(what); break;
        }
    }

    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_CLOSE:
                form_.userClose();
                return 0;
            case WM_COMMAND:
                if (lParam == 0 && HIWORD(wParam) == 0) {
                    WORD id = LOWORD(wParam);
                    if (id == IDOK || id == IDCANCEL) {
                        dialogKey(id);
                        return 0;
                    }
                    form_.userMenuCommand(id);
                    return 0;
                }
                break;
            case DM_GETDEFID:
                // Ids are unique per container only, and the dialog manager
                // looks the id up among the form's own children: a default
                // button on a panel is pressed through IDOK (dialogKey).
                if (Button* b = form_.defaultButton()) {
                    HWND h = HandleOf(*b);
                    if (h && GetParent(h) == hwnd_) return MAKELRESULT(GetDlgCtrlID(h), DC_HASDEFID);
                }
                return 0;
            case WM_HELP: {  // F1 in the form or any control on it
                // The system names the window that had the focus (a menu
                // item while a menu is open: then the form's topic).
                auto* info = reinterpret_cast<const HELPINFO*>(lParam);
                const Control* from = nullptr;
                if (info && info->iContextType == HELPINFO_WINDOW)
                    from = ControlOfWindow(form_, static_cast<HWND>(info->hItemHandle));
                form_.userHelp(from);
                return TRUE;
            }
            case WM_DROPFILES: {
                auto drop = reinterpret_cast<HDROP>(wParam);
                std::vector<std::string> paths;
                UINT n = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
                for (UINT i = 0; i < n; ++i) {
                    UINT length = DragQueryFileW(drop, i, nullptr, 0);
                    std::wstring name(length + 1, L'\0');
                    DragQueryFileW(drop, i, name.data(), length + 1);
                    name.resize(length);
                    // A name without a Shift_JIS form cannot be handled: it is
                    // left out, audibly, never passed on with '?' in it.
                    if (auto sjis = platform::win32::FromWide(name)) {
                        paths.push_back(*sjis);
                    } else {
                        MessageBeep(MB_ICONWARNING);
                    }
                }
                DragFinish(drop);
                if (!paths.empty()) form_.userDropFiles(paths);
                return 0;
            }
            case WM_DPICHANGED: {
                dpi_ = HIWORD(wParam);
                const RECT* r = reinterpret_cast<const RECT*>(lParam);
                SetWindowPos(hwnd_, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                             SWP_NOZORDER | SWP_NOACTIVATE);
                relayoutChildren();
                // The menu bar's pictures at the new size.
                if (MainMenu* bar = form_.mainMenu()) {
                    if (bar->peer()) bar->peer()->update(Prop::Images);
                }
                return 0;
            }
            default: break;
        }
        return ContainerPeer::onMessage(message, wParam, lParam);
    }

    void relayout() override { relayoutChildren(); }

private:
    void relayoutChildren() {
        for (Control* child : form_.children()) {
            if (auto* peer = dynamic_cast<ControlPeer*>(child->peer())) peer->relayout();
        }
    }

    RECT outerRect(int d) const {
        RECT r{0, 0, Scale(form_.width(), d), Scale(form_.height(), d)};
        if (!form_.invisibleOwner()) AdjustWindowRectEx(&r, style_, form_.mainMenu() != nullptr, exStyle_);
        OffsetRect(&r, Scale(form_.left(), d) - r.left, Scale(form_.top(), d) - r.top);
        return r;
    }

    void applyBounds() override {
        RECT r = outerRect(dpi_);
        SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }

    void center() {
        RECT window;
        GetWindowRect(hwnd_, &window);
        POINT cursor{};
        GetCursorPos(&cursor);
        MONITORINFO info{};
        info.cbSize = sizeof info;
        GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTOPRIMARY), &info);
        const RECT& work = info.rcWork;
        int w = window.right - window.left, h = window.bottom - window.top;
        SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - w) / 2,
                     work.top + (work.bottom - work.top - h) / 2, 0, 0, SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
    }

    // Enter without a default button the dialog manager found, or Escape:
    // the form's one rule for the dialog keys.
    void dialogKey(WORD id) { form_.userDialogKey(id == IDOK ? kKeyReturn : kKeyEscape); }

    std::unique_ptr<FormTooltips> tooltips_;
    Form& form_;
    DWORD style_ = 0;
    DWORD exStyle_ = 0;
    int dpi_ = 96;
    bool shownOnce_ = false;
};

class PanelPeer : public ContainerPeer {
public:
    explicit PanelPeer(Panel& panel) : ContainerPeer(panel), panel_(panel) {
        RegisterClasses();
        createChild(kPanelClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT);
    }
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_PAINT) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd_, &ps);
            RECT r;
            GetClientRect(hwnd_, &r);
            if (panel_.bevel() != Bevel::None) {
                DrawEdge(dc, &r, panel_.bevel() == Bevel::Raised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT);
            }
            if (!panel_.caption().empty()) {
                SetBkMode(dc, TRANSPARENT);
                HGDIOBJ old = SelectObject(dc, FontFor(panel_.font(), dpi()));
                std::wstring text = Wide(panel_.caption());
                DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
                SelectObject(dc, old);
            }
            EndPaint(hwnd_, &ps);
            return 0;
        }
        if (message == WM_LBUTTONUP) {
            panel_.userClick();
            return 0;
        }
        return ContainerPeer::onMessage(message, wParam, lParam);
    }

private:
    Panel& panel_;
};

class ButtonPeer : public ControlPeer {
public:
    explicit ButtonPeer(Button& button) : ControlPeer(button), button_(button) {
        createChild(L"BUTTON", WS_TABSTOP | (button.isDefault() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), 0);
    }
    void command(WORD code) override {
        if (code == BN_CLICKED) button_.userClick();
    }

private:
    Button& button_;
};

class LabelPeer : public ControlPeer {
public:
    explicit LabelPeer(Label& label) : ControlPeer(label) {
        // SS_NOTIFY: the label takes the mouse, so that its hint shows.
        createChild(L"STATIC", SS_LEFT | SS_NOTIFY | (label.showAccelChar() ? 0 : SS_NOPREFIX), 0);
    }
};

class ImagePeer final : public ControlPeer {
public:
    explicit ImagePeer(Image& image) : ControlPeer(image), image_(image) {
        createChild(L"STATIC", SS_ICON | SS_CENTERIMAGE | SS_NOTIFY, 0);
        applyBounds();  // SS_ICON sizes itself at creation
        update(Prop::Picture);
    }
    ~ImagePeer() override {
        if (bitmap_) DeleteObject(bitmap_);
        if (pattern_) DeleteObject(pattern_);
    }
    Image& image() const { return image_; }
    // The picture as a brush (null while it shows an icon).
    HBRUSH pattern() const { return pattern_; }
    void update(Prop what) override {
        if (what == Prop::Bounds || what == Prop::Font) {
            ControlPeer::update(what);
            if (image_.hasBitmaps()) picture();
            return;
        }
        if (what != Prop::Picture) return ControlPeer::update(what);
        picture();
    }
    void relayout() override {
        ControlPeer::relayout();
        if (image_.hasBitmaps()) picture();
    }
    void command(WORD code) override {
        if (code == STN_CLICKED) image_.userClick();
    }

private:
    // Bitmaps are drawn into one bitmap of the control's size; an icon is
    // only borrowed from the model, which owns it.
    void picture() {
        LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE) & ~static_cast<LONG_PTR>(SS_TYPEMASK | SS_CENTERIMAGE);
        HBITMAP old = bitmap_;
        bitmap_ = nullptr;
        if (pattern_) DeleteObject(pattern_);
        pattern_ = nullptr;
        if (image_.hasBitmaps()) {
            bitmap_ = ComposePicture(image_, dpi());
            if (bitmap_) pattern_ = CreatePatternBrush(bitmap_);
            KeepPicturesBehind(image_);
            SetWindowLongPtrW(hwnd_, GWL_STYLE, style | SS_BITMAP);
            SendMessageW(hwnd_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap_));
        } else {
            if (old) SendMessageW(hwnd_, STM_SETIMAGE, IMAGE_BITMAP, 0);
            SetWindowLongPtrW(hwnd_, GWL_STYLE, style | SS_ICON | SS_CENTERIMAGE);
            SendMessageW(hwnd_, STM_SETICON, reinterpret_cast<WPARAM>(image_.icon().NativeHandle()), 0);
        }
        if (old) DeleteObject(old);
        applyBounds();
        InvalidateRect(hwnd_, nullptr, TRUE);
    }

    Image& image_;
    HBITMAP bitmap_ = nullptr;
    HBRUSH pattern_ = nullptr;
};

}  // namespace

void KeepPicturesBehind(const Control& control) {
    if (!control.parent()) return;
    for (const Control* sibling : control.parent()->children()) {
        auto* image = dynamic_cast<const ImagePeer*>(sibling->peer());
        if (image && image->pattern()) {
            SetWindowPos(image->handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
}

HBRUSH BackdropBrush(const ControlPeer& child, HDC dc) {
    const Control& control = child.control();
    if (!control.parent()) return nullptr;
    for (const Control* sibling : control.parent()->children()) {
        auto* image = sibling->visible() ? dynamic_cast<const ImagePeer*>(sibling->peer()) : nullptr;
        if (!image || !image->pattern()) continue;
        const Control& pic = image->image();
        if (control.left() < pic.left() || control.top() < pic.top() ||
            control.left() + control.width() > pic.left() + pic.width() ||
            control.top() + control.height() > pic.top() + pic.height()) {
            continue;
        }
        const int d = child.dpi();
        SetBrushOrgEx(dc, Scale(pic.left() - control.left(), d), Scale(pic.top() - control.top(), d), nullptr);
        return image->pattern();
    }
    return nullptr;
}

namespace {

class CheckBoxPeer final : public ControlPeer {
public:
    explicit CheckBoxPeer(CheckBox& box) : ControlPeer(box), box_(box) {
        createChild(L"BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX, 0);
        update(Prop::Checked);
    }
    void update(Prop what) override {
        if (what != Prop::Checked) return ControlPeer::update(what);
        echo_ = true;
        SendMessageW(hwnd_, BM_SETCHECK, box_.checked() ? BST_CHECKED : BST_UNCHECKED, 0);
        echo_ = false;
    }
    void command(WORD code) override {
        if (code != BN_CLICKED || echo_) return;
        bool native = SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (native != box_.checked()) box_.userClick();
    }

private:
    CheckBox& box_;
};

class EditPeer final : public ControlPeer {
public:
    explicit EditPeer(Edit& edit) : ControlPeer(edit), edit_(edit) {
        echo_ = true;
        createChild(L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL | (edit.readOnly() ? ES_READONLY : 0),
                    edit.border() ? WS_EX_CLIENTEDGE : 0);
        echo_ = false;
        update(Prop::MaxLength);
        if (!edit.imeEnabled()) update(Prop::Options);
    }
    void update(Prop what) override {
        switch (what) {
            case Prop::ReadOnly: SendMessageW(hwnd_, EM_SETREADONLY, edit_.readOnly(), 0); break;
            // Without an input context the input method cannot be switched
            // on in the field; IACE_DEFAULT gives the window its default one back.
            case Prop::Options: ImmAssociateContextEx(hwnd_, nullptr, edit_.imeEnabled() ? IACE_DEFAULT : 0); break;
            case Prop::MaxLength: SendMessageW(hwnd_, EM_LIMITTEXT, static_cast<WPARAM>(edit_.maxLength()), 0); break;
            default: ControlPeer::update(what); break;
        }
    }
    void command(WORD code) override {
        if (code != EN_CHANGE || echo_) return;
        int length = GetWindowTextLengthW(hwnd_);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd_, text.data(), length + 1)));
        if (auto sjis = platform::win32::FromWide(text)) {
            edit_.userSetText(*sjis);
        } else {
            // A character without a Shift_JIS form cannot be kept: refuse it visibly.
            MessageBeep(MB_ICONWARNING);
            update(Prop::Text);
        }
    }
    bool keyDown(WPARAM key) override { return edit_.userKeyDown(static_cast<int>(key)); }

private:
    Edit& edit_;
};

}  // namespace

// The peers' factory lives with them; the backend forwards to these.
std::unique_ptr<Peer> MakeFormPeer(Form& form) { return std::make_unique<FormPeer>(form); }
std::unique_ptr<Peer> MakePanelPeer(Panel& panel) { return std::make_unique<PanelPeer>(panel); }
std::unique_ptr<Peer> MakeButtonPeer(Button& button) { return std::make_unique<ButtonPeer>(button); }
std::unique_ptr<Peer> MakeLabelPeer(Label& label) { return std::make_unique<LabelPeer>(label); }
std::unique_ptr<Peer> MakeImagePeer(Image& image) { return std::make_unique<ImagePeer>(image); }
std::unique_ptr<Peer> MakeCheckBoxPeer(CheckBox& box) { return std::make_unique<CheckBoxPeer>(box); }
std::unique_ptr<Peer> MakeEditPeer(Edit& edit) { return std::make_unique<EditPeer>(edit); }

}  // namespace kumoya::ui::win32
