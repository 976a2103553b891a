// Native peers of the controls in controls_more.h: memo, group box, radio
// group, check-list box, up-down, progress bar, animation, speed button,
// splitter and the media player (MCI), and the drawing of model bitmaps.
#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>
// After mmsystem.h, whose types it uses.
#include <digitalv.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/ui/application.h"
#include "platform/ui/controls_more.h"
#include "platform/ui/image_list.h"
#include "platform/win32/ui_win32.h"
#include "platform/win32/wide.h"

namespace kumoya::ui::win32 {

// ---- bitmaps ----

namespace {

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

// Where the pixels of a .bmp file start, once the headers, the colour table
// and the pixel data have been checked to lie within the bytes; null when
// they do not.
const BITMAPINFO* CheckedInfo(const std::vector<std::uint8_t>& b, const void** bits) {
    if (b.size() < 26) return nullptr;
    const std::size_t headerSize = Le32(b, 14);
    const std::size_t offBits = Le32(b, 10);
    std::size_t bitCount = 0, compression = BI_RGB, colours = 0, imageSize = 0, width = 0, height = 0;
    std::size_t entry = 4;
    if (headerSize == 12) {
        width = static_cast<std::size_t>(b[18] | b[19] << 8);
        height = static_cast<std::size_t>(b[20] | b[21] << 8);
        bitCount = static_cast<std::size_t>(b[24] | b[25] << 8);
        entry = 3;
    } else if (headerSize >= 40 && b.size() >= 54) {
        width = static_cast<std::size_t>(std::abs(static_cast<std::int32_t>(Le32(b, 18))));
        height = static_cast<std::size_t>(std::abs(static_cast<std::int32_t>(Le32(b, 22))));
        bitCount = static_cast<std::size_t>(b[28] | b[29] << 8);
        compression = Le32(b, 30);
        imageSize = Le32(b, 34);
        colours = Le32(b, 46);
    } else {
        return nullptr;
    }
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) {
        return nullptr;
    }
    std::size_t table = 0;
    if (bitCount <= 8) table = (colours ? std::min<std::size_t>(colours, 256) : (std::size_t{1} << bitCount)) * entry;
    if (compression == BI_BITFIELDS && headerSize == 40) table = 12;
    if (14 + headerSize + table > b.size() || offBits > b.size() || offBits < 14 + headerSize) return nullptr;
    const std::size_t available = b.size() - offBits;
    if (compression == BI_RGB || compression == BI_BITFIELDS) {
        const std::size_t stride = (width * bitCount + 31) / 32 * 4;
        if (width == 0 || height == 0 || stride * height > available) return nullptr;
    } else if (compression == BI_RLE8 || compression == BI_RLE4) {
        if (imageSize == 0 || imageSize > available) return nullptr;
    } else {
        return nullptr;
    }
    *bits = b.data() + offBits;
    return reinterpret_cast<const BITMAPINFO*>(b.data() + 14);
}

}  // namespace

bool DrawModelBitmap(HDC dc, const Bitmap& bitmap, int x, int y, int width, int height) {
    if (bitmap.empty() || width <= 0 || height <= 0) return false;
    if (bitmap.isResource()) {
        std::wstring name = Wide(bitmap.source());
        auto native = static_cast<HBITMAP>(
            LoadImageW(GetModuleHandleW(nullptr), name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        if (!native) return false;
        BITMAP info{};
        GetObjectW(native, sizeof info, &info);
        HDC source = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(source, native);
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchBlt(dc, x, y, width, height, source, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
        DeleteObject(native);
        return true;
    }
    const void* bits = nullptr;
    const BITMAPINFO* info = CheckedInfo(bitmap.bytes(), &bits);
    if (!info) return false;
    SetStretchBltMode(dc, COLORONCOLOR);
    return StretchDIBits(dc, x, y, width, height, 0, 0, bitmap.width(), bitmap.height(), bits, info, DIB_RGB_COLORS,
                         SRCCOPY) != 0;
}

namespace {

// A 32-bit bitmap of the given size filled with `background`.
HBITMAP BlankBitmap(HDC reference, int width, int height, COLORREF background, HDC* dc, HGDIOBJ* old) {
    HBITMAP bitmap = CreateCompatibleBitmap(reference, width, height);
    if (!bitmap) return nullptr;
    *dc = CreateCompatibleDC(reference);
    *old = SelectObject(*dc, bitmap);
    RECT r{0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(*dc, &r, brush);
    DeleteObject(brush);
    return bitmap;
}

// The colour a control shows behind itself: its own, or the first one set on
// a container above it, or the button face.
COLORREF BackgroundOf(const Control& control) {
    for (const Control* c = &control; c; c = c->parent()) {
        if (c->color() != kDefaultColor) return static_cast<COLORREF>(c->color());
    }
    return GetSysColor(COLOR_BTNFACE);
}

}  // namespace

HBITMAP ComposePicture(const Image& image, int dpi) {
    const int w = Scale(image.width(), dpi), h = Scale(image.height(), dpi);
    if (w <= 0 || h <= 0) return nullptr;
    HDC screen = GetDC(nullptr);
    HDC dc = nullptr;
    HGDIOBJ old = nullptr;
    HBITMAP bitmap = BlankBitmap(screen, w, h, BackgroundOf(image), &dc, &old);
    if (bitmap) {
        const Bitmap& picture = image.picture();
        if (!picture.empty()) {
            if (image.stretch()) {
                DrawModelBitmap(dc, picture, 0, 0, w, h);
            } else {
                DrawModelBitmap(dc, picture, 0, 0, Scale(picture.width(), dpi), Scale(picture.height(), dpi));
            }
        }
        for (const Image::Drawing& d : image.drawings()) {
            DrawModelBitmap(dc, d.bitmap, Scale(d.x, dpi), Scale(d.y, dpi), Scale(d.bitmap.width(), dpi),
                            Scale(d.bitmap.height(), dpi));
        }
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    ReleaseDC(nullptr, screen);
    return bitmap;
}

namespace {

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

// Group frame with its caption, as group boxes and radio groups draw it.
void PaintGroup(HWND window, const Control& control, int dpi) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT r;
    GetClientRect(window, &r);
    HGDIOBJ oldFont = SelectObject(dc, FontFor(control.font(), dpi));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    RECT frame = r;
    frame.top += tm.tmHeight / 2;
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    if (!control.caption().empty()) {
        std::wstring text = Wide(control.caption());
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        RECT band{Scale(8, dpi), 0, Scale(8, dpi) + size.cx + Scale(4, dpi), tm.tmHeight};
        HBRUSH brush = CreateSolidBrush(BackgroundOf(control));
        FillRect(dc, &band, brush);
        DeleteObject(brush);
        SetBkMode(dc, TRANSPARENT);
        const int color = control.font().color;
        SetTextColor(dc, color == kDefaultColor ? GetSysColor(COLOR_WINDOWTEXT) : static_cast<COLORREF>(color));
        TextOutW(dc, band.left + Scale(2, dpi), 0, text.c_str(), static_cast<int>(text.size()));
    }
    SelectObject(dc, oldFont);
    EndPaint(window, &ps);
}

// Container peers whose background follows the containers above them.
class FramedPeer : public ContainerPeer {
public:
    using ContainerPeer::ContainerPeer;
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_PAINT: PaintGroup(hwnd_, control_, dpi()); return 0;
            case WM_ERASEBKGND: {
                RECT r;
                GetClientRect(hwnd_, &r);
                HBRUSH brush = CreateSolidBrush(BackgroundOf(control_));
                FillRect(reinterpret_cast<HDC>(wParam), &r, brush);
                DeleteObject(brush);
                return 1;
            }
            case WM_CTLCOLORSTATIC:
            case WM_CTLCOLORBTN: {
                if (message == WM_CTLCOLORSTATIC) {
                    auto* peer = ControlPeer::FromHandle(reinterpret_cast<HWND>(lParam));
                    if (peer && dynamic_cast<Edit*>(&peer->control())) break;
                }
                HDC dc = reinterpret_cast<HDC>(wParam);
                SetBkMode(dc, TRANSPARENT);
                SetBkColor(dc, BackgroundOf(control_));
                auto* peer = ControlPeer::FromHandle(reinterpret_cast<HWND>(lParam));
                const int color = peer ? peer->control().font().color : control_.font().color;
                SetTextColor(dc, color == kDefaultColor ? GetSysColor(COLOR_WINDOWTEXT) : static_cast<COLORREF>(color));
                if (brush_) DeleteObject(brush_);
                brush_ = CreateSolidBrush(BackgroundOf(control_));
                return reinterpret_cast<LRESULT>(brush_);
            }
            default: break;
        }
        return ContainerPeer::onMessage(message, wParam, lParam);
    }
    ~FramedPeer() override {
        if (brush_) DeleteObject(brush_);
    }

private:
    HBRUSH brush_ = nullptr;
};

class GroupBoxPeer : public FramedPeer {
public:
    explicit GroupBoxPeer(GroupBox& box) : FramedPeer(box) {
        RegisterClasses();
        createChild(kPanelClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT);
    }
    void update(Prop what) override {
        if (what == Prop::Caption) {
            InvalidateRect(hwnd_, nullptr, TRUE);
            return;
        }
        FramedPeer::update(what);
    }
};

class RadioGroupPeer : public FramedPeer {
public:
    explicit RadioGroupPeer(RadioGroup& group) : FramedPeer(group), group_(group) {
        RegisterClasses();
        createChild(kPanelClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT);
        buttons();
    }
    ~RadioGroupPeer() override {
        for (HWND b : buttons_) DestroyWindow(b);
    }
    void update(Prop what) override {
        switch (what) {
            case Prop::Items: buttons(); break;
            case Prop::Selection: selection(); break;
            case Prop::Caption: InvalidateRect(hwnd_, nullptr, TRUE); break;
            case Prop::Bounds:
                FramedPeer::update(what);
                arrange();
                break;
            case Prop::Font:
                FramedPeer::update(what);
                for (HWND b : buttons_) SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(group_.font(), dpi())), TRUE);
                arrange();
                break;
            default: FramedPeer::update(what); break;
        }
    }
    void relayout() override {
        FramedPeer::relayout();
        for (HWND b : buttons_) SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(group_.font(), dpi())), TRUE);
        arrange();
    }
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_COMMAND && lParam) {
            auto it = std::find(buttons_.begin(), buttons_.end(), reinterpret_cast<HWND>(lParam));
            if (it != buttons_.end()) {
                if (HIWORD(wParam) == BN_CLICKED && !echo_ &&
                    SendMessageW(*it, BM_GETCHECK, 0, 0) == BST_CHECKED) {
                    group_.userSelect(static_cast<int>(it - buttons_.begin()));
                }
                return 0;
            }
        }
        return FramedPeer::onMessage(message, wParam, lParam);
    }

private:
    void buttons() {
        for (HWND b : buttons_) DestroyWindow(b);
        buttons_.clear();
        HFONT font = FontFor(group_.font(), dpi());
        for (int i = 0; i < group_.itemCount(); ++i) {
            DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP : 0);
            HWND b = CreateWindowExW(0, L"BUTTON", Wide(group_.items()[static_cast<std::size_t>(i)]).c_str(), style, 0,
                                     0, 10, 10, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(1000 + i)),
                                     Instance(), nullptr);
            if (!b) throw std::runtime_error(platform::win32::ErrorText("CreateWindowExW"));
            SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
            buttons_.push_back(b);
        }
        arrange();
        selection();
    }
    // Columns side by side, the buttons of a column spread over the height
    // below the caption.
    void arrange() {
        if (buttons_.empty()) return;
        int d = dpi();
        RECT r;
        GetClientRect(hwnd_, &r);
        HDC dc = GetDC(hwnd_);
        HGDIOBJ old = SelectObject(dc, FontFor(group_.font(), d));
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        SelectObject(dc, old);
        ReleaseDC(hwnd_, dc);
        const int count = static_cast<int>(buttons_.size());
        const int columns = std::min(group_.columns(), count);
        const int perColumn = (count + columns - 1) / columns;
        const int buttonWidth = (r.right - Scale(10, d)) / columns;
        const int room = r.bottom - tm.tmHeight - Scale(5, d);
        const int buttonHeight = std::max(1, room / perColumn);
        const int topMargin = tm.tmHeight + 1 + (room % perColumn) / 2;
        for (int i = 0; i < count; ++i) {
            int column = i / perColumn, row = i % perColumn;
            SetWindowPos(buttons_[static_cast<std::size_t>(i)], nullptr, column * buttonWidth + Scale(8, d),
                         row * buttonHeight + topMargin, buttonWidth, buttonHeight, SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    void selection() {
        echo_ = true;
        for (std::size_t i = 0; i < buttons_.size(); ++i) {
            SendMessageW(buttons_[i], BM_SETCHECK,
                         static_cast<int>(i) == group_.itemIndex() ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        echo_ = false;
    }

    RadioGroup& group_;
    std::vector<HWND> buttons_;
};

class MemoPeer final : public ControlPeer {
public:
    explicit MemoPeer(Memo& memo) : ControlPeer(memo), memo_(memo) {
        DWORD style = WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | (memo.readOnly() ? ES_READONLY : 0);
        const bool horizontal = memo.scrollBars() == Memo::ScrollBars::Horizontal ||
                                memo.scrollBars() == Memo::ScrollBars::Both;
        const bool vertical = memo.scrollBars() == Memo::ScrollBars::Vertical ||
                              memo.scrollBars() == Memo::ScrollBars::Both;
        if (horizontal) style |= WS_HSCROLL;
        if (vertical) style |= WS_VSCROLL;
        if (horizontal || !memo.wordWrap()) style |= ES_AUTOHSCROLL;
        echo_ = true;
        createChild(L"EDIT", style, memo.border() ? WS_EX_CLIENTEDGE : 0);
        echo_ = false;
        update(Prop::MaxLength);
    }
    void update(Prop what) override {
        switch (what) {
            case Prop::ReadOnly: SendMessageW(hwnd_, EM_SETREADONLY, memo_.readOnly(), 0); break;
            case Prop::MaxLength: SendMessageW(hwnd_, EM_LIMITTEXT, static_cast<WPARAM>(memo_.maxLength()), 0); break;
            default: ControlPeer::update(what); break;
        }
    }
    void command(WORD code) override {
        if (code != EN_CHANGE || echo_) return;
        int length = GetWindowTextLengthW(hwnd_);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd_, text.data(), length + 1)));
        if (auto sjis = platform::win32::FromWide(text)) {
            memo_.userSetText(*sjis);
        } else {
            MessageBeep(MB_ICONWARNING);  // a character without a Shift_JIS form is refused
            update(Prop::Text);
        }
    }
    bool keyDown(WPARAM key) override { return memo_.userKeyDown(static_cast<int>(key)); }

private:
    Memo& memo_;
};

constexpr UINT kCheckedState = INDEXTOSTATEIMAGEMASK(2);
constexpr UINT kUncheckedState = INDEXTOSTATEIMAGEMASK(1);

// A list view in one column with check boxes: looks and acts as a check
// list, and reports check clicks and selections through LVN_ITEMCHANGED.
class CheckListBoxPeer : public ControlPeer {
public:
    explicit CheckListBoxPeer(CheckListBox& list) : ControlPeer(list), list_(list) {
        echo_ = true;
        createChild(WC_LISTVIEWW,
                    WS_TABSTOP | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE);
        SendMessageW(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                     LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
        LVCOLUMNW c{};
        c.mask = LVCF_WIDTH;
        c.cx = 100;
        SendMessageW(hwnd_, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&c));
        echo_ = false;
        column();
        items();
    }
    void update(Prop what) override {
        switch (what) {
            case Prop::Items: items(); break;
            case Prop::Checked: checks(); break;
            case Prop::Selection: selection(); break;
            case Prop::Bounds:
            case Prop::Font:
                ControlPeer::update(what);
                column();
                break;
            default: ControlPeer::update(what); break;
        }
    }
    void relayout() override {
        ControlPeer::relayout();
        column();
    }
    bool notify(NMHDR* header, LRESULT& result) override {
        if (header->code != LVN_ITEMCHANGED || echo_) return false;
        auto* change = reinterpret_cast<NMLISTVIEW*>(header);
        result = 0;
        if (change->iItem < 0 || !(change->uChanged & LVIF_STATE)) return true;
        const UINT diff = change->uOldState ^ change->uNewState;
        if ((diff & LVIS_STATEIMAGEMASK) && (change->uOldState & LVIS_STATEIMAGEMASK)) {
            list_.userSetChecked(change->iItem, (change->uNewState & LVIS_STATEIMAGEMASK) == kCheckedState);
        }
        if ((diff & LVIS_SELECTED) && (change->uNewState & LVIS_SELECTED)) list_.userSelect(change->iItem);
        return true;
    }

private:
    void column() {
        RECT r;
        GetClientRect(hwnd_, &r);
        SendMessageW(hwnd_, LVM_SETCOLUMNWIDTH, 0, r.right > 0 ? r.right : 100);
    }
    void items() {
        echo_ = true;
        SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
        SendMessageW(hwnd_, LVM_DELETEALLITEMS, 0, 0);
        for (int i = 0; i < list_.itemCount(); ++i) {
            std::wstring text = Wide(list_.item(i));
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = i;
            item.pszText = text.data();
            SendMessageW(hwnd_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        }
        SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(hwnd_, nullptr, TRUE);
        echo_ = false;
        checks();
        selection();
    }
    void checks() {
        echo_ = true;
        for (int i = 0; i < list_.itemCount(); ++i) {
            LVITEMW state{};
            state.stateMask = LVIS_STATEIMAGEMASK;
            state.state = list_.checked(i) ? kCheckedState : kUncheckedState;
            SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&state));
        }
        echo_ = false;
    }
    void selection() {
        echo_ = true;
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
        if (list_.itemIndex() >= 0) {
            state.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(list_.itemIndex()), reinterpret_cast<LPARAM>(&state));
            SendMessageW(hwnd_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(list_.itemIndex()), FALSE);
        }
        echo_ = false;
    }

    CheckListBox& list_;
};

// The native arrows only report clicks (and the arrow keys in the edit);
// the model steps, and the edit shows the position through the model.
class UpDownPeer final : public ControlPeer {
public:
    explicit UpDownPeer(UpDown& arrows) : ControlPeer(arrows), arrows_(arrows) {
        createChild(UPDOWN_CLASSW, UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0);
        update(Prop::Range);
        update(Prop::Position);
        update(Prop::Options);
    }
    void update(Prop what) override {
        switch (what) {
            case Prop::Range:
                SendMessageW(hwnd_, UDM_SETRANGE32, static_cast<WPARAM>(arrows_.min()), static_cast<LPARAM>(arrows_.max()));
                break;
            case Prop::Position: SendMessageW(hwnd_, UDM_SETPOS32, 0, arrows_.position()); break;
            case Prop::Options: buddy(); break;
            default: ControlPeer::update(what); break;
        }
    }
    bool notify(NMHDR* header, LRESULT& result) override {
        if (header->code != UDN_DELTAPOS) return false;
        auto* change = reinterpret_cast<NMUPDOWN*>(header);
        buddy();
        if (change->iDelta != 0) arrows_.userStep(change->iDelta > 0);
        SendMessageW(hwnd_, UDM_SETPOS32, 0, arrows_.position());
        result = TRUE;  // the native position stays with the model's
        return true;
    }

private:
    // The edit may be realised after the arrows; the first click finds it.
    void buddy() {
        HWND edit = arrows_.associate() ? HandleOf(*arrows_.associate()) : nullptr;
        if (edit != buddy_) {
            buddy_ = edit;
            SendMessageW(hwnd_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
        }
    }

    UpDown& arrows_;
    HWND buddy_ = nullptr;
};

class ProgressBarPeer final : public ControlPeer {
public:
    explicit ProgressBarPeer(ProgressBar& bar) : ControlPeer(bar), bar_(bar) {
        createChild(PROGRESS_CLASSW, 0, 0);
        update(Prop::Range);
        update(Prop::Position);
    }
    void update(Prop what) override {
        switch (what) {
            case Prop::Range: SendMessageW(hwnd_, PBM_SETRANGE32, static_cast<WPARAM>(bar_.min()), bar_.max()); break;
            case Prop::Position: SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(bar_.position()), 0); break;
            default: ControlPeer::update(what); break;
        }
    }

private:
    ProgressBar& bar_;
};

// The shell keeps the standard animations as AVI resources.
int ShellAnimation(Animate::CommonAvi avi) {
    switch (avi) {
        case Animate::CommonAvi::FileCopy: return 161;
        case Animate::CommonAvi::FileDelete: return 164;
        case Animate::CommonAvi::FindFile: return 151;
        case Animate::CommonAvi::EmptyRecycle: return 163;
        case Animate::CommonAvi::None: break;
    }
    return 0;
}

class AnimatePeer final : public ControlPeer {
public:
    explicit AnimatePeer(Animate& animation) : ControlPeer(animation), animation_(animation) {
        createChild(ANIMATE_CLASSW, ACS_CENTER | ACS_TRANSPARENT, 0);
        update(Prop::Picture);
    }
    // Whether the system had the animation (false: nothing is shown).
    bool available() const { return available_; }
    void update(Prop what) override {
        switch (what) {
            case Prop::Picture: {
                SendMessageW(hwnd_, ACM_OPENW, 0, 0);  // closes what was open
                available_ = false;
                if (int id = ShellAnimation(animation_.commonAvi())) {
                    HMODULE shell = GetModuleHandleW(L"shell32.dll");
                    if (!shell) shell = LoadLibraryW(L"shell32.dll");
                    available_ = shell && SendMessageW(hwnd_, ACM_OPENW, reinterpret_cast<WPARAM>(shell),
                                                       reinterpret_cast<LPARAM>(MAKEINTRESOURCEW(id))) != 0;
                }
                show();
                update(Prop::Active);
                break;
            }
            case Prop::Active:
                if (!available_) break;
                if (animation_.active()) {
                    SendMessageW(hwnd_, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, 0xFFFF));
                } else {
                    SendMessageW(hwnd_, ACM_STOP, 0, 0);
                }
                break;
            case Prop::Visible: show(); break;
            default: ControlPeer::update(what); break;
        }
    }

private:
    void show() { ShowWindow(hwnd_, animation_.visible() && available_ ? SW_SHOWNA : SW_HIDE); }

    Animate& animation_;
    bool available_ = false;
};

class SpeedButtonPeer final : public ControlPeer {
public:
    explicit SpeedButtonPeer(SpeedButton& button) : ControlPeer(button), button_(button) {
        createChild(L"BUTTON", BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | (button.flat() ? BS_FLAT : 0), 0);
        update(Prop::Picture);
    }
    ~SpeedButtonPeer() override {
        if (bitmap_) DeleteObject(bitmap_);
    }
    void update(Prop what) override {
        switch (what) {
            case Prop::Picture:
            case Prop::Font:
                if (what == Prop::Font) ControlPeer::update(what);
                glyph();
                break;
            default: ControlPeer::update(what); break;
        }
    }
    void relayout() override {
        ControlPeer::relayout();
        glyph();
    }
    void command(WORD code) override {
        if (code == BN_CLICKED) button_.userClick();
    }

private:
    void glyph() {
        LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE) & ~static_cast<LONG_PTR>(BS_ICON | BS_BITMAP);
        HBITMAP old = bitmap_;
        bitmap_ = nullptr;
        const int d = dpi();
        if (const ImageList* images = button_.glyphImages()) {
            const platform::Icon* icon = images->icon(button_.glyphIndex());
            HICON handle = icon ? static_cast<HICON>(icon->NativeHandle()) : nullptr;
            SetWindowLongPtrW(hwnd_, GWL_STYLE, style | (handle ? BS_ICON : 0));
            SendMessageW(hwnd_, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(handle));
        } else if (!button_.glyph().empty()) {
            // The colour of the bottom-left pixel is the glyph's see-through
            // colour: it becomes the button's face.
            const Bitmap& g = button_.glyph();
            const int w = Scale(g.width(), d), h = Scale(g.height(), d);
            BITMAPINFO info{};
            info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
            info.bmiHeader.biWidth = w;
            info.bmiHeader.biHeight = -h;
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            void* bits = nullptr;
            HDC dc = CreateCompatibleDC(nullptr);
            bitmap_ = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
            if (bitmap_) {
                HGDIOBJ previous = SelectObject(dc, bitmap_);
                DrawModelBitmap(dc, g, 0, 0, w, h);
                GdiFlush();
                auto* p = static_cast<std::uint32_t*>(bits);
                const std::uint32_t clear = p[static_cast<std::size_t>(h - 1) * static_cast<std::size_t>(w)];
                const COLORREF face = GetSysColor(COLOR_BTNFACE);
                const std::uint32_t faceBits = GetBValue(face) | GetGValue(face) << 8 | GetRValue(face) << 16;
                for (std::size_t i = 0; i < static_cast<std::size_t>(w) * static_cast<std::size_t>(h); ++i) {
                    if (p[i] == clear) p[i] = faceBits;
                }
                SelectObject(dc, previous);
            }
            DeleteDC(dc);
            SetWindowLongPtrW(hwnd_, GWL_STYLE, style | (bitmap_ ? BS_BITMAP : 0));
            SendMessageW(hwnd_, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap_));
        } else {
            SetWindowLongPtrW(hwnd_, GWL_STYLE, style);
            SendMessageW(hwnd_, BM_SETIMAGE, IMAGE_BITMAP, 0);
        }
        if (old) DeleteObject(old);
        InvalidateRect(hwnd_, nullptr, TRUE);
    }

    SpeedButton& button_;
    HBITMAP bitmap_ = nullptr;
};

const wchar_t* const kSplitterClass = L"KumoyaSplitter";
const wchar_t* const kMediaClass = L"KumoyaMediaNotify";

LRESULT CALLBACK SplitterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class SplitterPeer : public ControlPeer {
public:
    explicit SplitterPeer(Splitter& bar) : ControlPeer(bar), bar_(bar) {
        static const bool registered = [] {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = SplitterProc;
            wc.hInstance = Instance();
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            wc.lpszClassName = kSplitterClass;
            return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
        }();
        if (!registered) throw std::runtime_error(platform::win32::ErrorText("RegisterClassExW"));
        createChild(kSplitterClass, 0, 0);
    }

    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        const bool vertical = bar_.orientation() == Splitter::Orientation::Vertical;
        switch (message) {
            case WM_SETCURSOR:
                SetCursor(LoadCursorW(nullptr, vertical ? IDC_SIZEWE : IDC_SIZENS));
                return TRUE;
            case WM_LBUTTONDOWN:
                grab_ = vertical ? static_cast<short>(LOWORD(lParam)) : static_cast<short>(HIWORD(lParam));
                dragging_ = true;
                SetCapture(hwnd_);
                return 0;
            case WM_MOUSEMOVE:
                if (dragging_) {
                    POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
                    MapWindowPoints(hwnd_, GetParent(hwnd_), &at, 1);
                    int pixels = (vertical ? at.x : at.y) - grab_;
                    bar_.userMoveTo(MulDiv(pixels, 96, dpi()));
                }
                return 0;
            case WM_LBUTTONUP:
                if (dragging_) ReleaseCapture();
                return 0;
            case WM_CAPTURECHANGED: dragging_ = false; return 0;
            default: break;
        }
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }

private:
    Splitter& bar_;
    bool dragging_ = false;
    int grab_ = 0;
};

LRESULT CALLBACK SplitterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* peer = dynamic_cast<SplitterPeer*>(ControlPeer::FromHandle(window));
    if (!peer) return DefWindowProcW(window, message, wParam, lParam);
    try {
        return peer->onMessage(message, wParam, lParam);
    } catch (...) {
        App().handleException(std::current_exception());
        return 0;
    }
}

// ---- media player ----

LRESULT CALLBACK MediaProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

std::string MciText(const char* command, MCIERROR error) {
    wchar_t text[256] = {};
    std::string reason;
    if (mciGetErrorStringW(error, text, 256)) reason = platform::win32::FromWide(text).value_or("");
    return std::string(command) + " failed (" + std::to_string(error) + (reason.empty() ? "" : ": " + reason) + ")";
}

// The media control interface: one device per open clip, the end of play
// reported to a message-only window of the peer as MM_MCINOTIFY.
class MciPeer : public MediaPeer {
public:
    explicit MciPeer(MediaPlayer& player) : player_(player) {
        static const bool registered = [] {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = MediaProc;
            wc.hInstance = Instance();
            wc.lpszClassName = kMediaClass;
            return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
        }();
        if (!registered) throw std::runtime_error(platform::win32::ErrorText("RegisterClassExW"));
        window_ = CreateWindowExW(0, kMediaClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, Instance(), nullptr);
        if (!window_) throw std::runtime_error(platform::win32::ErrorText("CreateWindowExW"));
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~MciPeer() override {
        // The display may be gone already: no repaint.
        closeDevice(false);
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }

    void update(Prop what) override {
        if (what == Prop::Bounds && device_) placeVideo();
    }

    void open() override {
        closeDevice();
        auto path = platform::win32::ToWide(player_.fileName());
        if (!path || path->empty()) throw MediaError("MCI_OPEN failed: no file name");
        MCI_OPEN_PARMSW parms{};
        parms.lpstrElementName = path->c_str();
        if (MCIERROR e = mciSendCommandW(0, MCI_OPEN, MCI_OPEN_ELEMENT | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&parms))) {
            throw MediaError(MciText("MCI_OPEN", e));
        }
        device_ = parms.wDeviceID;
        MCI_SET_PARMS set{};
        set.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
        mciSendCommandW(device_, MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&set));
        placeVideo();
    }

    void play(bool notify) override {
        if (!device_) throw MediaError("MCI_PLAY failed: the device is not open");
        MCI_PLAY_PARMS parms{};
        parms.dwCallback = reinterpret_cast<DWORD_PTR>(window_);
        if (MCIERROR e = mciSendCommandW(device_, MCI_PLAY, notify ? MCI_NOTIFY : 0, reinterpret_cast<DWORD_PTR>(&parms))) {
            throw MediaError(MciText("MCI_PLAY", e));
        }
    }

    void stop() override {
        if (!device_) throw MediaError("MCI_STOP failed: the device is not open");
        MCI_GENERIC_PARMS parms{};
        if (MCIERROR e = mciSendCommandW(device_, MCI_STOP, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&parms))) {
            // Wine's video player stops a clip without sound and then fails
            // to reset the sound it does not have: what counts is that it
            // no longer plays.
            if (status(MCI_STATUS_MODE) == MCI_MODE_PLAY) throw MediaError(MciText("MCI_STOP", e));
        }
    }

    void close() override { closeDevice(); }

    int length() override { return static_cast<int>(status(MCI_STATUS_LENGTH)); }
    bool playing() override { return device_ && status(MCI_STATUS_MODE) == MCI_MODE_PLAY; }

    // MM_MCINOTIFY: only the device open now reports.
    void notified(WPARAM flags, LPARAM device) {
        if (!device_ || static_cast<MCIDEVICEID>(device) != device_) return;
        NotifyValue value = NotifyValue::Failure;
        switch (flags) {
            case MCI_NOTIFY_SUCCESSFUL: value = NotifyValue::Successful; break;
            case MCI_NOTIFY_SUPERSEDED: value = NotifyValue::Superseded; break;
            case MCI_NOTIFY_ABORTED: value = NotifyValue::Aborted; break;
            default: break;
        }
        player_.deviceNotify(value);
    }

private:
    DWORD_PTR status(DWORD item) {
        if (!device_) throw MediaError("MCI_STATUS failed: the device is not open");
        MCI_STATUS_PARMS parms{};
        parms.dwItem = item;
        if (MCIERROR e = mciSendCommandW(device_, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT,
                                         reinterpret_cast<DWORD_PTR>(&parms))) {
            throw MediaError(MciText("MCI_STATUS", e));
        }
        return parms.dwReturn;
    }

    // Video shows in the display control's window, in the display rectangle
    // (the whole client area when it is empty). Sound-only devices refuse
    // both commands; that is no failure.
    void placeVideo() {
        Control* display = player_.display();
        HWND target = display ? HandleOf(*display) : nullptr;
        if (!target) return;
        MCI_DGV_WINDOW_PARMSW window{};
        window.hWnd = target;
        if (mciSendCommandW(device_, MCI_WINDOW, MCI_DGV_WINDOW_HWND | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&window))) {
            return;
        }
        int d = DpiOf(target);
        MediaPlayer::Rect r = player_.displayRect();
        RECT client;
        GetClientRect(target, &client);
        MCI_DGV_PUT_PARMS put{};
        if (r.width > 0 && r.height > 0) {
            put.rc = {Scale(r.left, d), Scale(r.top, d), Scale(r.width, d), Scale(r.height, d)};
        } else {
            put.rc = {0, 0, client.right, client.bottom};  // MCI rectangles: left, top, width, height
        }
        mciSendCommandW(device_, MCI_PUT, MCI_DGV_PUT_DESTINATION | MCI_DGV_RECT | MCI_WAIT,
                        reinterpret_cast<DWORD_PTR>(&put));
    }

    void closeDevice(bool repaint = true) {
        if (!device_) return;
        MCIDEVICEID device = device_;
        device_ = 0;
        MCI_GENERIC_PARMS parms{};
        mciSendCommandW(device, MCI_CLOSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&parms));
        // The last frame stays drawn on the display until it repaints.
        if (HWND display = repaint && player_.display() ? HandleOf(*player_.display()) : nullptr) {
            InvalidateRect(display, nullptr, TRUE);
        }
    }

    MediaPlayer& player_;
    HWND window_ = nullptr;
    MCIDEVICEID device_ = 0;
};

LRESULT CALLBACK MediaProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* peer = reinterpret_cast<MciPeer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == MM_MCINOTIFY && peer) {
        try {
            peer->notified(wParam, lParam);
        } catch (...) {
            App().handleException(std::current_exception());
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

std::unique_ptr<Peer> MakeMemoPeer(Memo& memo) { return std::make_unique<MemoPeer>(memo); }
std::unique_ptr<Peer> MakeGroupBoxPeer(GroupBox& box) { return std::make_unique<GroupBoxPeer>(box); }
std::unique_ptr<Peer> MakeRadioGroupPeer(RadioGroup& group) { return std::make_unique<RadioGroupPeer>(group); }
std::unique_ptr<Peer> MakeCheckListBoxPeer(CheckListBox& list) { return std::make_unique<CheckListBoxPeer>(list); }
std::unique_ptr<Peer> MakeUpDownPeer(UpDown& arrows) { return std::make_unique<UpDownPeer>(arrows); }
std::unique_ptr<Peer> MakeProgressBarPeer(ProgressBar& bar) { return std::make_unique<ProgressBarPeer>(bar); }
std::unique_ptr<Peer> MakeAnimatePeer(Animate& animation) { return std::make_unique<AnimatePeer>(animation); }
std::unique_ptr<Peer> MakeSpeedButtonPeer(SpeedButton& button) { return std::make_unique<SpeedButtonPeer>(button); }
std::unique_ptr<Peer> MakeSplitterPeer(Splitter& bar) { return std::make_unique<SplitterPeer>(bar); }
std::unique_ptr<Peer> MakeMediaPeer(MediaPlayer& player) { return std::make_unique<MciPeer>(player); }

bool AnimationShown(const Animate& animation) {
    auto* peer = dynamic_cast<AnimatePeer*>(animation.peer());
    return peer && peer->available();
}

}  // namespace kumoya::ui::win32
