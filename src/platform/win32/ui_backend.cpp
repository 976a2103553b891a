// The Win32 backend: message loops, modal runs, popup menus with images,
// message boxes and the cursor.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <map>
#include <vector>

#include "platform/ui/application.h"
#include "platform/ui/controls.h"
#include "platform/ui/form.h"
#include "platform/ui/image_list.h"
#include "platform/ui/menu.h"
#include "platform/ui/threads.h"
#include "platform/win32/ui_services.h"
#include "platform/win32/ui_win32.h"
#include "platform/win32/wide.h"

namespace kumoya::ui::win32 {

void Pump(MSG& message) {
    if (message.message == WM_KEYDOWN) {
        if (ControlPeer* peer = ControlPeer::FromHandle(message.hwnd)) {
            bool pass = true;
            try {
                pass = peer->keyDown(message.wParam);
            } catch (...) {
                App().handleException(std::current_exception());
                return;
            }
            if (!pass) return;
        }
    }
    HWND top = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (top) {
        wchar_t cls[32] = {};
        GetClassNameW(top, cls, 32);
        if (std::wcscmp(cls, kFormClass) == 0 && IsDialogMessageW(top, &message)) return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

namespace {

// A 32-bit premultiplied-alpha bitmap of the icon, as menus draw it. The
// icon is drawn on black and on white: the difference gives the alpha of
// any icon (masked or with its own alpha channel), the black drawing the
// premultiplied colour.
HBITMAP IconBitmap(HICON icon, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return nullptr;
    void* blackBits = nullptr;
    void* whiteBits = nullptr;
    HBITMAP black = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &blackBits, nullptr, 0);
    HBITMAP white = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &whiteBits, nullptr, 0);
    HBITMAP result = nullptr;
    if (black && white) {
        const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
        std::memset(blackBits, 0x00, bytes);
        std::memset(whiteBits, 0xFF, bytes);
        HGDIOBJ old = SelectObject(dc, black);
        DrawIconEx(dc, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
        SelectObject(dc, white);
        DrawIconEx(dc, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
        SelectObject(dc, old);
        GdiFlush();
        auto* b = static_cast<unsigned char*>(blackBits);
        const auto* w = static_cast<const unsigned char*>(whiteBits);
        for (std::size_t i = 0; i < bytes; i += 4) {
            int alpha = 0;
            for (int c = 0; c < 3; ++c) {
                int a = 255 - (w[i + c] - b[i + c]);
                alpha = a > alpha ? a : alpha;
            }
            alpha = alpha < 0 ? 0 : (alpha > 255 ? 255 : alpha);
            for (int c = 0; c < 3; ++c) {
                if (b[i + c] > alpha) b[i + c] = static_cast<unsigned char>(alpha);
            }
            b[i + 3] = static_cast<unsigned char>(alpha);
        }
        result = black;
        black = nullptr;
    }
    if (black) DeleteObject(black);
    if (white) DeleteObject(white);
    DeleteDC(dc);
    return result;
}

// A native menu built from the model: a popup for the time it is up, or a
// form's menu bar until the model changes.
class NativeMenu {
public:
    // A popup fills each submenu only when it is about to open (after the
    // item's OnPopup), so a large menu costs only what the user looks at.
    NativeMenu(const Menu& menu, int dpi, bool bar = false) : images_(menu.images()), lazy_(!bar) {
        if (images_) {
            width_ = Scale(images_->width(), dpi);
            height_ = Scale(images_->height(), dpi);
        }
        handle_ = bar ? CreateMenu() : CreatePopupMenu();
        if (!handle_) throw std::runtime_error(platform::win32::ErrorText("CreateMenu"));
        fill(handle_, menu.items());
    }
    // WM_INITMENUPOPUP for one of this menu's submenus.
    void opening(HMENU submenu) {
        auto it = pending_.find(submenu);
        if (it == pending_.end()) return;
        MenuItem& item = *it->second;
        pending_.erase(it);
        item.userPopup();
        fill(submenu, item);
    }
    ~NativeMenu() {
        if (handle_) DestroyMenu(handle_);  // destroys the submenus too
        for (auto& [index, bitmap] : bitmaps_) {
            if (bitmap) DeleteObject(bitmap);
        }
    }
    NativeMenu(const NativeMenu&) = delete;
    NativeMenu& operator=(const NativeMenu&) = delete;

    HMENU handle() const { return handle_; }
    MenuItem* item(int id) const {
        auto it = items_.find(id);
        return it == items_.end() ? nullptr : it->second;
    }

private:
    void fill(HMENU target, const MenuItem& parent) {
        UINT position = 0;
        for (int i = 0; i < parent.count(); ++i) {
            MenuItem& item = parent.item(i);
            if (!item.visible()) continue;
            MENUITEMINFOW info{};
            info.cbSize = sizeof info;
            std::wstring text;
            if (item.isSeparator()) {
                info.fMask = MIIM_FTYPE;
                info.fType = MFT_SEPARATOR;
            } else {
                text = Wide(item.caption());
                info.fMask = MIIM_STRING | MIIM_ID | MIIM_STATE;
                info.dwTypeData = text.data();
                info.wID = static_cast<UINT>(item.commandId());
                info.fState = (item.enabled() ? MFS_ENABLED : MFS_DISABLED) | (item.checked() ? MFS_CHECKED : 0);
                if (HBITMAP bitmap = bitmapFor(item.imageIndex())) {
                    info.fMask |= MIIM_BITMAP;
                    info.hbmpItem = bitmap;
                }
                bool hasVisibleChildren = false;
                for (int k = 0; k < item.count(); ++k) hasVisibleChildren |= item.item(k).visible();
                if (hasVisibleChildren) {
                    HMENU sub = CreatePopupMenu();
                    if (!sub) throw std::runtime_error(platform::win32::ErrorText("CreatePopupMenu"));
                    info.fMask |= MIIM_SUBMENU;
                    info.hSubMenu = sub;
                    if (lazy_) {
                        pending_[sub] = &item;
                    } else {
                        item.userPopup();
                        fill(sub, item);
                    }
                }
                items_[item.commandId()] = &item;
            }
            if (!InsertMenuItemW(target, position++, TRUE, &info)) {
                if (info.hSubMenu) DestroyMenu(info.hSubMenu);
                throw std::runtime_error(platform::win32::ErrorText("InsertMenuItemW"));
            }
        }
    }

    HBITMAP bitmapFor(int index) {
        if (!images_ || index < 0) return nullptr;
        auto it = bitmaps_.find(index);
        if (it != bitmaps_.end()) return it->second;
        const platform::Icon* icon = images_->icon(index);
        HBITMAP bitmap = nullptr;
        if (icon && icon->NativeHandle()) bitmap = IconBitmap(static_cast<HICON>(icon->NativeHandle()), width_, height_);
        bitmaps_[index] = bitmap;
        return bitmap;
    }

    const ImageList* images_;
    bool lazy_;
    std::map<HMENU, MenuItem*> pending_;
    int width_ = 16;
    int height_ = 16;
    HMENU handle_ = nullptr;
    std::map<int, HBITMAP> bitmaps_;
    std::map<int, MenuItem*> items_;
};

// The popup menu being tracked: the owner form's window procedure hands it
// the WM_INITMENUPOPUP of its submenus. One at a time on the UI thread.
NativeMenu* activePopup = nullptr;

class ActivePopup {
public:
    explicit ActivePopup(NativeMenu& menu) : previous_(activePopup) { activePopup = &menu; }
    ~ActivePopup() { activePopup = previous_; }
    ActivePopup(const ActivePopup&) = delete;
    ActivePopup& operator=(const ActivePopup&) = delete;

private:
    NativeMenu* previous_;
};

}  // namespace

void PopupSubmenuOpening(HMENU submenu) {
    if (activePopup) activePopup->opening(submenu);
}

namespace {

class MenuBarPeer final : public Peer {
public:
    MenuBarPeer(MainMenu& menu, HWND window) : menu_(menu), window_(window) { update(Prop::Items); }
    ~MenuBarPeer() override {
        if (IsWindow(window_)) SetMenu(window_, nullptr);
    }
    void update(Prop) override {
        // The form's own idea of its DPI, which follows WM_DPICHANGED.
        ControlPeer* form = ControlPeer::FromHandle(window_);
        auto bar = std::make_unique<NativeMenu>(menu_, form ? form->dpi() : DpiOf(window_), true);
        if (!SetMenu(window_, bar->handle())) throw std::runtime_error(platform::win32::ErrorText("SetMenu"));
        DrawMenuBar(window_);
        native_ = std::move(bar);  // the old bar goes only now that it is off the window
    }

private:
    MainMenu& menu_;
    HWND window_;
    std::unique_ptr<NativeMenu> native_;
};

void EnableDpiAwareness() {
    // The manifest normally does it; a program without one (a test) asks here.
    using SetContextFn = BOOL(WINAPI*)(HANDLE);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    auto setContext = reinterpret_cast<SetContextFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
    if (setContext) {
        // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
        if (setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)))) return;
        if (GetLastError() == ERROR_ACCESS_DENIED) return;  // already set by the manifest
    }
    SetProcessDPIAware();
}

struct Disabled {
    HWND except;
    std::vector<HWND> windows;
};

// (A named callback: a lambda has the wrong calling convention on x86.)
BOOL CALLBACK DisableOne(HWND window, LPARAM param) {
    auto* d = reinterpret_cast<Disabled*>(param);
    if (window != d->except && IsWindowVisible(window) && IsWindowEnabled(window)) {
        EnableWindow(window, FALSE);
        d->windows.push_back(window);
    }
    return TRUE;
}

constexpr UINT kRunPosted = WM_APP + 1;

class Win32Backend : public UiBackend {
public:
    Win32Backend() {
        detail::MarkUiThread();
        EnableDpiAwareness();
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = PostedProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KumoyaPosted";
        RegisterClassExW(&wc);
        // A message-only window of the user-interface thread receives the
        // work other threads hand over.
        postWindow_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this);
        if (postWindow_) SetWindowLongPtrW(postWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }

    // One wake-up message stands for everything queued since the last run,
    // so any number of hand-overs never fills the thread's message queue.
    // Should the wake-up fail, the work still runs at the next
    // processMessages() or wait.
    void post(std::function<void()> work) override {
        bool wake = false;
        {
            std::lock_guard<std::mutex> lock(postedMutex_);
            posted_.push_back(std::move(work));
            if (!wakePending_) wake = wakePending_ = true;
        }
        if (wake) wakeUp();
    }

    void waitMessage(int timeoutMs) override {
        {
            std::lock_guard<std::mutex> lock(postedMutex_);
            if (!posted_.empty()) return;
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, timeoutMs < 0 ? 0 : static_cast<DWORD>(timeoutMs), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }

    void startTimer(Timer& timer) override { StartTimer(timer); }
    void stopTimer(Timer& timer) override { StopTimer(timer); }

    std::uintptr_t controlHandle(const Control& control) override {
        return reinterpret_cast<std::uintptr_t>(HandleOf(control));
    }

    int screenColorBits() override {
        HDC screen = GetDC(nullptr);
        if (!screen) return 32;  // no display to ask: assume a modern one
        int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
        ReleaseDC(nullptr, screen);
        return bits;
    }

    bool openFile(Form* owner, OpenFileRequest& request) override { return OpenFileDialog(owner, request); }
    bool browseForFolder(Form* owner, FolderBrowseRequest& request) override {
        return BrowseForFolder(owner, request);
    }

    std::unique_ptr<Peer> createPeer(Form& form) override { return MakeFormPeer(form); }
    std::unique_ptr<Peer> createPeer(Button& button) override { return MakeButtonPeer(button); }
    std::unique_ptr<Peer> createPeer(Label& label) override { return MakeLabelPeer(label); }
    std::unique_ptr<Peer> createPeer(Image& image) override { return MakeImagePeer(image); }
    std::unique_ptr<Peer> createPeer(CheckBox& box) override { return MakeCheckBoxPeer(box); }
    std::unique_ptr<Peer> createPeer(Panel& panel) override { return MakePanelPeer(panel); }
    std::unique_ptr<Peer> createPeer(Edit& edit) override { return MakeEditPeer(edit); }
    std::unique_ptr<Peer> createPeer(ComboBox& box) override { return MakeComboBoxPeer(box); }
    std::unique_ptr<Peer> createPeer(ListView& list) override { return MakeListViewPeer(list); }
    std::unique_ptr<Peer> createPeer(PageControl& pages) override { return MakePageControlPeer(pages); }
    std::unique_ptr<Peer> createPeer(TabSheet& sheet) override { return MakeTabSheetPeer(sheet); }
    std::unique_ptr<Peer> createPeer(StatusBar& bar) override { return MakeStatusBarPeer(bar); }
    std::unique_ptr<Peer> createPeer(Memo& memo) override { return MakeMemoPeer(memo); }
    std::unique_ptr<Peer> createPeer(GroupBox& box) override { return MakeGroupBoxPeer(box); }
    std::unique_ptr<Peer> createPeer(RadioGroup& group) override { return MakeRadioGroupPeer(group); }
    std::unique_ptr<Peer> createPeer(CheckListBox& list) override { return MakeCheckListBoxPeer(list); }
    std::unique_ptr<Peer> createPeer(UpDown& arrows) override { return MakeUpDownPeer(arrows); }
    std::unique_ptr<Peer> createPeer(ProgressBar& bar) override { return MakeProgressBarPeer(bar); }
    std::unique_ptr<Peer> createPeer(Animate& animation) override { return MakeAnimatePeer(animation); }
    std::unique_ptr<Peer> createPeer(SpeedButton& button) override { return MakeSpeedButtonPeer(button); }
    std::unique_ptr<Peer> createPeer(Splitter& bar) override { return MakeSplitterPeer(bar); }
    std::unique_ptr<Peer> createPeer(MediaPlayer& player) override { return MakeMediaPeer(player); }

    void runMessageLoop() override {
        MSG message;
        while (!App().terminated()) {
            BOOL r = GetMessageW(&message, nullptr, 0, 0);
            if (r == 0 || r == -1) break;
            Pump(message);
        }
    }

    void processMessages() override {
        runPosted(false);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // Leave it for the loop that owns it.
                PostQuitMessage(static_cast<int>(message.wParam));
                break;
            }
            Pump(message);
        }
    }

    void terminate() override { PostQuitMessage(0); }

    void postCloseRequest(Form& form) override {
        form.realize(*this);
        PostMessageW(HandleOf(form), WM_CLOSE, 0, 0);
    }

    void postMenuCommand(Form& owner, int commandId) override {
        owner.realize(*this);
        PostMessageW(HandleOf(owner), WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
    }

    // Messages posted to a destroyed window are discarded by the system.
    void forgetForm(Form&) override {}

    void runModal(Form& form) override {
        HWND window = HandleOf(form);
        // Every other window of ours waits while the modal form is up.
        Disabled disabled{window, {}};
        EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&disabled));
        struct Restore {
            Disabled& d;
            ~Restore() {
                for (HWND h : d.windows) EnableWindow(h, TRUE);
            }
        } restore{disabled};
        form.show();
        MSG message;
        while (form.modalResult() == DialogResult::None && !App().terminated()) {
            if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT) {
                    PostQuitMessage(static_cast<int>(message.wParam));
                    break;
                }
                Pump(message);
                continue;
            }
            // Nothing posted. A message that another program sends (an
            // automation tool's click) is handled inside PeekMessage and may
            // have ended the run without anything posted after it, so the
            // result is looked at before waiting and after every wake-up
            // rather than inside a GetMessage that would go on waiting.
            if (form.modalResult() != DialogResult::None) break;
            MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        }
        // Enable the owners before hiding, so activation returns to them.
        for (HWND h : disabled.windows) EnableWindow(h, TRUE);
        disabled.windows.clear();
        form.hide();
    }

    std::uintptr_t nativeHandle(const Form& form) override {
        return reinterpret_cast<std::uintptr_t>(HandleOf(form));
    }

    bool isActive(const Form& form) override {
        HWND window = HandleOf(form);
        return window && GetActiveWindow() == window;
    }

    MenuItem* trackPopup(PopupMenu& menu, Point at) override {
        HWND owner = HandleOf(menu.owner());
        if (!owner) throw std::logic_error("popup menu without an owner window");
        NativeMenu native(menu, DpiOf(owner));
        ActivePopup active(native);
        // The owner must be in front, or the menu does not close when the
        // user clicks elsewhere.
        SetForegroundWindow(owner);
        UINT flags = TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON;
        int id = static_cast<int>(TrackPopupMenuEx(native.handle(), flags, at.x, at.y, owner, nullptr));
        PostMessageW(owner, WM_NULL, 0, 0);
        if (id == 0) return nullptr;
        MenuItem* chosen = native.item(id);
        if (chosen) postMenuCommand(menu.owner(), id);
        return chosen;
    }

    static LRESULT CALLBACK PostedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != kRunPosted) return DefWindowProcW(window, message, wParam, lParam);
        auto* self = reinterpret_cast<Win32Backend*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self) self->runPosted(true);
        return 0;
    }

    // Runs the queued work in order. At most one wake-up message is in the
    // thread's queue at any time (wakePending_); while work runs and more
    // waits, there is one, so a modal loop inside the work still runs the
    // rest, in order.
    void runPosted(bool woken) {
        if (woken) {
            std::lock_guard<std::mutex> lock(postedMutex_);
            wakePending_ = false;
        }
        for (;;) {
            std::function<void()> work;
            bool wake = false;
            {
                std::lock_guard<std::mutex> lock(postedMutex_);
                if (posted_.empty()) return;
                work = std::move(posted_.front());
                posted_.pop_front();
                if (!posted_.empty() && !wakePending_) wake = wakePending_ = true;
            }
            if (wake) wakeUp();
            try {
                work();
            } catch (...) {
                App().handleException(std::current_exception());
            }
        }
    }

    void wakeUp() {
        if (postWindow_ && PostMessageW(postWindow_, kRunPosted, 0, 0)) return;
        std::lock_guard<std::mutex> lock(postedMutex_);
        wakePending_ = false;
    }

    Point cursorPos() override {
        POINT p{};
        if (!GetCursorPos(&p)) return {};
        return {p.x, p.y};
    }

    Size screenSize() override {
        const int d = SystemDpi();
        return {MulDiv(GetSystemMetrics(SM_CXSCREEN), 96, d), MulDiv(GetSystemMetrics(SM_CYSCREEN), 96, d)};
    }

    Size frameSize(const Form& form) override {
        DWORD style = 0, exStyle = 0;
        FormWindowStyles(form, style, exStyle);
        if (form.invisibleOwner()) return {};
        RECT r{0, 0, 0, 0};
        const int d = SystemDpi();
        if (!AdjustWindowRectEx(&r, style, form.mainMenu() != nullptr, exStyle)) return UiBackend::frameSize(form);
        return {MulDiv(r.right - r.left, 96, d), MulDiv(r.bottom - r.top, 96, d)};
    }

    DialogResult messageBox(const std::string& text, const std::string& caption, MsgIcon icon,
                            MsgButtons buttons) override {
        UINT flags = 0;
        switch (icon) {
            case MsgIcon::None: break;
            case MsgIcon::Information: flags |= MB_ICONINFORMATION; break;
            case MsgIcon::Warning: flags |= MB_ICONWARNING; break;
            case MsgIcon::Error: flags |= MB_ICONERROR; break;
            case MsgIcon::Question: flags |= MB_ICONQUESTION; break;
        }
        switch (buttons) {
            case MsgButtons::Ok: flags |= MB_OK; break;
            case MsgButtons::OkCancel: flags |= MB_OKCANCEL; break;
            case MsgButtons::YesNo: flags |= MB_YESNO; break;
            case MsgButtons::YesNoCancel: flags |= MB_YESNOCANCEL; break;
        }
        HWND owner = GetActiveWindow();
        if (!owner && App().mainForm()) owner = HandleOf(*App().mainForm());
        // A box shown as the program ends (a failed save) must wait for its
        // answer: a quit request still queued would close it at once, so it
        // is put back only afterwards.
        MSG quit;
        const bool quitting = PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
        int answer = MessageBoxW(owner, Wide(text).c_str(), Wide(caption).c_str(), flags);
        if (quitting) PostQuitMessage(static_cast<int>(quit.wParam));
        switch (answer) {
            case IDOK: return DialogResult::Ok;
            case IDCANCEL: return DialogResult::Cancel;
            case IDYES: return DialogResult::Yes;
            case IDNO: return DialogResult::No;
            default: return DialogResult::None;
        }
    }

private:
    HWND postWindow_ = nullptr;
    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;
    bool wakePending_ = false;
};

}  // namespace

std::unique_ptr<Peer> MakeMenuBarPeer(MainMenu& menu, HWND window) { return std::make_unique<MenuBarPeer>(menu, window); }

}  // namespace kumoya::ui::win32

namespace kumoya::platform {

template <>
ui::UiBackend& Service<ui::UiBackend>::Default() {
    static ui::win32::Win32Backend backend;
    return backend;
}

}  // namespace kumoya::platform
