// The Win32 peers on real windows: native notifications reach the model once,
// the model's own changes reach the native controls without raising events,
// menu commands find their entries, closing is deferred, and an exception in
// a handler stops at the window procedure.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <imm.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/ui/application.h"
#include "platform/ui/controls.h"
#include "platform/ui/form.h"
#include "platform/ui/menu.h"
#include "platform/win32/ui_win32.h"

namespace kumoya::ui {
namespace {

using win32::HandleOf;

std::wstring NativeText(HWND window) {
    wchar_t buffer[256] = {};
    GetWindowTextW(window, buffer, 256);
    return buffer;
}

class Window : public Form {
public:
    Window() {
        setCaption("Test");
        setClientSize(300, 200);
        btGo.setBounds(10, 10, 80, 24);
        btGo.setCaption("Go");
        chkFlag.setBounds(10, 40, 120, 20);
        chkFlag.setCaption("Flag");
        edName.setBounds(10, 70, 160, 22);
        lbNote.setBounds(10, 100, 160, 16);
    }
    Button btGo{*this};
    CheckBox chkFlag{*this};
    Edit edName{*this};
    Label lbNote{*this};
    PopupMenu PopupMenu1{*this};
};

class UiWin32 : public ::testing::Test {
protected:
    void SetUp() override { App().reset(); }
    void TearDown() override {
        App().processMessages();
        App().reset();
    }
};

TEST_F(UiWin32, NativeClicksReachTheModelOnceAndProgrammaticValueChangesRaiseOnce) {
    Window form;
    int clicks = 0, toggles = 0, changes = 0;
    form.btGo.OnClick = [&] { ++clicks; };
    form.chkFlag.OnClick = [&] { ++toggles; };
    form.edName.OnChange = [&] { ++changes; };
    form.show();
    HWND button = HandleOf(form.btGo);
    HWND box = HandleOf(form.chkFlag);
    HWND edit = HandleOf(form.edName);
    ASSERT_TRUE(button && box && edit);

    // The model's changes show natively; value setters raise their event
    // once, without the native echo (BM_SETCHECK, WM_SETTEXT) doubling it.
    form.btGo.setCaption("起動");
    form.chkFlag.setChecked(true);
    form.edName.setText("日本語");
    form.lbNote.setCaption("メモ");
    App().processMessages();
    EXPECT_EQ(NativeText(button), L"起動");
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(NativeText(edit), L"日本語");
    EXPECT_EQ(NativeText(HandleOf(form.lbNote)), L"メモ");
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(toggles, 1);
    EXPECT_EQ(changes, 1);

    // The user's actions, as the native controls report them.
    SendMessageW(button, BM_CLICK, 0, 0);
    SendMessageW(box, BM_CLICK, 0, 0);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"表"));
    App().processMessages();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(toggles, 2);
    EXPECT_FALSE(form.chkFlag.checked());
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(form.edName.text(), "表");  // Shift_JIS in the model

    // A disabled button takes no click.
    form.btGo.setEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(button));
}

TEST_F(UiWin32, SizesAndFontsFollowTheMonitorDpi) {
    Window form;
    form.show();
    HWND window = HandleOf(form);
    int dpi = win32::DpiOf(window);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, MulDiv(300, dpi, 96));
    EXPECT_EQ(client.bottom, MulDiv(200, dpi, 96));
    RECT r;
    GetWindowRect(HandleOf(form.btGo), &r);
    EXPECT_EQ(r.right - r.left, MulDiv(80, dpi, 96));

    auto font = reinterpret_cast<HFONT>(SendMessageW(HandleOf(form.edName), WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTW lf{};
    ASSERT_TRUE(GetObjectW(font, sizeof lf, &lf));
    EXPECT_EQ(std::wstring(lf.lfFaceName), L"ＭＳ Ｐゴシック");
    EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(lf.lfHeight, -MulDiv(12, dpi, 96));
}

TEST_F(UiWin32, HandlerClosesItsFormAfterReturning) {
    Window form;
    int closes = 0;
    bool visibleInHandler = false;
    form.OnClose = [&] { ++closes; };
    form.btGo.OnClick = [&] {
        form.close();
        visibleInHandler = IsWindowVisible(HandleOf(form)) != FALSE;
    };
    form.show();
    SendMessageW(HandleOf(form.btGo), BM_CLICK, 0, 0);
    EXPECT_TRUE(visibleInHandler);
    EXPECT_EQ(closes, 0);
    App().processMessages();
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(IsWindowVisible(HandleOf(form)));
    EXPECT_FALSE(form.visible());
}

TEST_F(UiWin32, MenuCommandsReachTheirEntryOnceAndStaleOnesAreDropped) {
    Window form;
    form.show();
    int clicks = 0;
    MenuItem& top = form.PopupMenu1.items().add("種類");
    MenuItem& prog = top.add("プログラム");
    MenuItem& file = prog.add("C:\\a.txt");
    file.OnClick = [&] { ++clicks; };
    HWND window = HandleOf(form);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(file.commandId(), 0), 0);
    App().processMessages();
    EXPECT_EQ(clicks, 1);

    int stale = file.commandId();
    form.PopupMenu1.items().clear();
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(stale, 0), 0);
    App().processMessages();
    EXPECT_EQ(clicks, 1);
}

TEST_F(UiWin32, InvisibleOwnerIsTinyWithoutTaskbarButtonAndActive) {
    Form owner;
    owner.makeInvisibleOwner();
    owner.show();
    App().processMessages();
    HWND window = HandleOf(owner);
    RECT r;
    GetWindowRect(window, &r);
    EXPECT_LE(r.right - r.left, 2);
    EXPECT_LE(r.bottom - r.top, 2);
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(GetWindowLongPtrW(window, GWL_STYLE) & WS_CAPTION);
    EXPECT_TRUE(owner.isActive());
}

class Manager : public Form {
public:
    Manager() {
        setCaption("Kumoya");
        setClientSize(556, 373);
        PageControl1.setBounds(0, 57, 556, 297);
        tabShurui.setCaption("種類別");
        tabExt.setCaption("拡張子別");
        cmbShurui.setBounds(8, 8, 200, 20);
        lvShurui.setBounds(8, 40, 320, 200);
        lvShurui.addColumn("タイトル", 300);
        lvShurui.setShowColumnHeaders(false);
        lvShurui.setEditLabels(true);
        MenuItem& file = MainMenu1.items().add("ﾌｧｲﾙ(&F)");
        MenuItem& end = file.add("終了");
        end.OnClick = [this] { ++ends; };
    }
    MainMenu MainMenu1{*this};
    PageControl PageControl1{*this};
    TabSheet tabShurui{PageControl1};
    TabSheet tabExt{PageControl1};
    ComboBox cmbShurui{tabShurui};
    ListView lvShurui{tabShurui};
    StatusBar StatusBar1{*this};
    int ends = 0;
};

LRESULT Notify(HWND control, UINT code) {
    NMHDR header{control, static_cast<UINT_PTR>(GetDlgCtrlID(control)), code};
    return SendMessageW(GetParent(control), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

TEST_F(UiWin32, ListsReportNativeSelectionsOnceAndKeepProgrammaticOnesQuiet) {
    Manager form;
    std::vector<std::pair<int, bool>> selections;
    int comboChanges = 0, pageChanges = 0;
    form.lvShurui.OnSelectItem = [&](int i, bool on) { selections.emplace_back(i, on); };
    form.cmbShurui.OnChange = [&] { ++comboChanges; };
    form.PageControl1.OnChange = [&] { ++pageChanges; };
    form.show();
    HWND list = HandleOf(form.lvShurui);
    HWND combo = HandleOf(form.cmbShurui);
    HWND tabs = HandleOf(form.PageControl1);

    form.cmbShurui.setItems({"ゲーム", "ツール"});
    form.cmbShurui.setItemIndex(1);
    form.lvShurui.beginUpdate();
    for (const char* title : {"エディタ", "ビューア"}) {
        int i = form.lvShurui.addItem(title);
        form.lvShurui.addSubItem(i, std::to_string(i + 1));
    }
    form.lvShurui.endUpdate();
    form.lvShurui.setSelected(0);
    form.PageControl1.setActivePageIndex(1);
    form.PageControl1.setActivePageIndex(0);
    App().processMessages();
    EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 0);
    wchar_t text[64] = {};
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = 64;
    SendMessageW(list, LVM_GETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(std::wstring(text), L"ビューア");
    EXPECT_EQ(form.lvShurui.item(1).subItems.at(0), "2");  // beyond the columns: kept by the model
    EXPECT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_TRUE(IsWindowVisible(HandleOf(form.tabShurui)));
    EXPECT_FALSE(IsWindowVisible(HandleOf(form.tabExt)));
    EXPECT_TRUE(selections.empty());
    EXPECT_EQ(comboChanges + pageChanges, 0);

    // What the native controls report when the user acts.
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
    EXPECT_EQ(selections, (std::vector<std::pair<int, bool>>{{0, false}, {1, true}}));
    EXPECT_EQ(form.lvShurui.selected(), 1);

    SendMessageW(combo, CB_SETCURSEL, 0, 0);
    SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    EXPECT_EQ(comboChanges, 1);
    EXPECT_EQ(form.cmbShurui.text(), "ゲーム");

    SendMessageW(tabs, TCM_SETCURSEL, 1, 0);
    Notify(tabs, TCN_SELCHANGE);
    EXPECT_EQ(pageChanges, 1);
    EXPECT_EQ(form.PageControl1.activePageIndex(), 1);
    EXPECT_TRUE(IsWindowVisible(HandleOf(form.tabExt)));
    EXPECT_FALSE(IsWindowVisible(HandleOf(form.tabShurui)));

    // The menu bar carries the model's entries and routes their commands.
    HMENU bar = GetMenu(HandleOf(form));
    ASSERT_NE(bar, nullptr);
    wchar_t caption[32] = {};
    GetMenuStringW(bar, 0, caption, 32, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(caption), L"ﾌｧｲﾙ(&F)");
    int endId = form.MainMenu1.items().item(0).item(0).commandId();
    EXPECT_EQ(GetMenuItemID(GetSubMenu(bar, 0), 0), static_cast<UINT>(endId));
    SendMessageW(HandleOf(form), WM_COMMAND, MAKEWPARAM(endId, 0), 0);
    EXPECT_EQ(form.ends, 1);
}

TEST_F(UiWin32, InPlaceEditGoesThroughTheHandlerAndRefusesTextWithoutShiftJis) {
    Manager form;
    form.lvShurui.addItem("古い題名");
    form.lvShurui.OnEdited = [](int, std::string& text) { text += "!"; };
    form.show();
    HWND list = HandleOf(form.lvShurui);
    auto endEdit = [&](const wchar_t* typed) {
        std::wstring buffer = typed;
        NMLVDISPINFOW info{};
        info.hdr = {list, static_cast<UINT_PTR>(GetDlgCtrlID(list)), LVN_ENDLABELEDITW};
        info.item.iItem = 0;
        info.item.pszText = buffer.data();
        SendMessageW(GetParent(list), WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
    };
    endEdit(L"新しい題名");
    EXPECT_EQ(form.lvShurui.item(0).caption, "新しい題名!");
    wchar_t text[64] = {};
    ListView_GetItemText(list, 0, 0, text, 64);
    EXPECT_EQ(std::wstring(text), L"新しい題名!");
    endEdit(L"\u0E01\u0E02");  // Thai: no Shift_JIS form, the old caption stays
    EXPECT_EQ(form.lvShurui.item(0).caption, "新しい題名!");
}

TEST_F(UiWin32, WorkFromAWorkerThreadRunsInTheMessageLoopAndImagesTakeClicks) {
    const DWORD uiThread = GetCurrentThreadId();
    std::vector<DWORD> ranOn;
    std::thread worker([&] {
        for (int i = 0; i < 2; ++i) App().post([&] { ranOn.push_back(GetCurrentThreadId()); });
    });
    worker.join();
    App().processMessages();
    EXPECT_EQ(ranOn, (std::vector<DWORD>(2, uiThread)));

    Form form;
    Image imIcon{form};
    int clicks = 0;
    imIcon.OnClick = [&] { ++clicks; };
    imIcon.setCursor(Cursor::Hand);
    form.show();
    HWND image = HandleOf(imIcon);
    imIcon.setIcon(platform::Icon(CopyIcon(LoadIconW(nullptr, IDI_APPLICATION)), "application"));
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(image, STM_GETICON, 0, 0)), imIcon.icon().NativeHandle());
    SendMessageW(GetParent(image), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(image), STN_CLICKED),
                 reinterpret_cast<LPARAM>(image));
    EXPECT_EQ(clicks, 1);
    imIcon.clearIcon();
    EXPECT_EQ(SendMessageW(image, STM_GETICON, 0, 0), 0);
}

// An HDROP as the shell builds it: DROPFILES followed by the names, each
// ending in a zero, and one more zero.
HGLOBAL MakeDrop(const std::vector<std::wstring>& names) {
    std::wstring list;
    for (const auto& name : names) list += name + L'\0';
    list += L'\0';
    std::size_t bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return memory;
}

TEST_F(UiWin32, DroppedFilesArriveAsShiftJisAndUnrepresentableNamesAreLeftOut) {
    Form form;
    form.setAcceptFiles(true);
    std::vector<std::vector<std::string>> drops;
    form.OnFilesDropped = [&](const std::vector<std::string>& paths) { drops.push_back(paths); };
    form.show();
    HWND window = HandleOf(form);
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    SendMessageW(window, WM_DROPFILES,
                 reinterpret_cast<WPARAM>(MakeDrop({L"C:\\ツール\\エディタ.exe", L"C:\\\u0E01.exe", L"C:\\a.txt"})), 0);
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0], (std::vector<std::string>{"C:\\ツール\\エディタ.exe", "C:\\a.txt"}));
}

// The exception's message box is answered by a timer that runs inside its
// modal loop.
std::wstring g_boxText;
BOOL CALLBACK AnswerIfBox(HWND h, LPARAM) {
    wchar_t cls[16] = {};
    GetClassNameW(h, cls, 16);
    if (std::wstring(cls) != L"#32770") return TRUE;
    wchar_t text[256] = {};
    GetDlgItemTextW(h, 0xFFFF, text, 256);
    g_boxText = text;
    PostMessageW(h, WM_COMMAND, IDOK, 0);
    return FALSE;
}

void CALLBACK AnswerBox(HWND, UINT, UINT_PTR timer, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), AnswerIfBox, 0);
    if (!g_boxText.empty()) KillTimer(nullptr, timer);
}

TEST_F(UiWin32, ExceptionInAHandlerStopsAtTheWindowProcedure) {
    Window form;
    form.btGo.OnClick = [] { throw std::runtime_error("broken handler"); };
    form.show();
    g_boxText.clear();
    UINT_PTR timer = SetTimer(nullptr, 0, 100, AnswerBox);
    SendMessageW(HandleOf(form.btGo), BM_CLICK, 0, 0);  // must return, not unwind through the system
    KillTimer(nullptr, timer);
    EXPECT_EQ(g_boxText, L"broken handler");
    // The exception box is all: the run goes on, the window with it.
    EXPECT_FALSE(App().terminated());
    EXPECT_TRUE(IsWindowVisible(reinterpret_cast<HWND>(form.nativeHandle())));
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}

// A field that takes plain characters has no input context, so the input
// method cannot be switched on in it; the other fields keep theirs, and a
// field given the input method back has one again.
TEST_F(UiWin32, AnEditWithoutTheInputMethodHasNoInputContext) {
    Window form;
    Edit plain{form};
    plain.setImeEnabled(false);  // before the window exists
    form.show();
    auto hasContext = [](HWND edit) {
        HIMC context = ImmGetContext(edit);
        if (context) ImmReleaseContext(edit, context);
        return context != nullptr;
    };
    HWND name = HandleOf(form.edName);
    ASSERT_TRUE(hasContext(name)) << "an ordinary field uses the input method";
    EXPECT_FALSE(hasContext(HandleOf(plain)));
    form.edName.setImeEnabled(false);  // after
    EXPECT_FALSE(hasContext(name));
    form.edName.setImeEnabled(true);
    EXPECT_TRUE(hasContext(name));
    EXPECT_FALSE(hasContext(HandleOf(plain)));
}

}  // namespace
}  // namespace kumoya::ui
