// The native peers of the wizard's and dialogs' controls: what the model says
// shows natively, the native controls' reports reach the model once (value
// setters raise their event once, never again through the native echo), and
// the media player's end of play arrives through the message loop.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ui/application.h"
#include "platform/ui/controls_more.h"
#include "platform/ui/form.h"
#include "platform/win32/ui_win32.h"
#include "platform/avi_writer.h"

namespace kumoya::ui {
namespace {

using win32::HandleOf;

std::wstring NativeText(HWND window) {
    wchar_t buffer[512] = {};
    GetWindowTextW(window, buffer, 512);
    return buffer;
}

// A .bmp of one colour (0x00RRGGBB), 24 bits.
std::vector<std::uint8_t> SolidBmp(int width, int height, std::uint32_t rgb) {
    int stride = (width * 3 + 3) / 4 * 4;
    std::vector<std::uint8_t> b(54 + static_cast<std::size_t>(stride * height), 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, static_cast<std::uint32_t>(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(height));
    b[26] = 1;
    b[28] = 24;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::size_t at = 54 + static_cast<std::size_t>(y * stride + x * 3);
            b[at] = static_cast<std::uint8_t>(rgb);
            b[at + 1] = static_cast<std::uint8_t>(rgb >> 8);
            b[at + 2] = static_cast<std::uint8_t>(rgb >> 16);
        }
    }
    return b;
}

class Page : public Form {
public:
    Page() {
        setCaption("Controls");
        setClientSize(520, 360);
        mmMail.setBounds(10, 10, 200, 80);
        mmMail.setScrollBars(Memo::ScrollBars::Both);
        edHistNum.setBounds(220, 10, 50, 21);
        udHist.setBounds(270, 10, 15, 21);
        udHist.setRange(0, 100);
        udHist.setAssociate(&edHistNum);
        clbShurui.setBounds(10, 100, 150, 90);
        lvExt.setBounds(170, 100, 200, 90);
        lvExt.setCheckBoxes(true);
        lvExt.setRowSelect(true);
        lvExt.addColumn("Ext", 60);
        lvExt.addColumn("Name", 120);
        rgExt.setBounds(380, 10, 130, 70);
        rgExt.setCaption("Assoc");
        rgExt.setItems({"On", "Off"});
        rgExt.setItemIndex(0);
        ProgressBar1.setBounds(10, 200, 200, 16);
        Animate1.setBounds(220, 200, 272, 60);
        sbExtUp.setBounds(380, 100, 23, 22);
        imBack.setBounds(10, 230, 100, 50);
        lbOver.setBounds(20, 240, 60, 16);
        lbOver.setCaption("on the picture");
        lbNo.setBounds(120, 270, 200, 20);
        lbNo.setCaption("Page title");
        Font title;
        title.bold = true;
        title.italic = true;
        title.height = 16;
        title.color = 0x800000;  // navy
        lbNo.setFont(title);
        pnlLeft.setBounds(10, 300, 100, 50);
        bar.setBounds(110, 300, 4, 50);
        pnlRight.setBounds(114, 300, 200, 50);
        bar.setControls(pnlLeft, pnlRight);
    }
    Memo mmMail{*this};
    Edit edHistNum{*this};
    UpDown udHist{*this};
    CheckListBox clbShurui{*this};
    ListView lvExt{*this};
    RadioGroup rgExt{*this};
    ProgressBar ProgressBar1{*this};
    Animate Animate1{*this};
    SpeedButton sbExtUp{*this};
    Image imBack{*this};
    Label lbOver{*this};
    Label lbNo{*this};
    Panel pnlLeft{*this};
    Splitter bar{*this};
    Panel pnlRight{*this};
    MediaPlayer mpCm{pnlRight};
};

class UiMoreWin32 : public ::testing::Test {
protected:
    void SetUp() override { App().reset(); }
    void TearDown() override {
        App().processMessages();
        App().reset();
    }
};

UINT StateImage(HWND list, int index) {
    return static_cast<UINT>(SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_STATEIMAGEMASK)) >> 12;
}

// Sets an item's check box the way the list does on a click or on Space.
void NativeCheck(HWND list, int index, bool checked) {
    LVITEMW state{};
    state.stateMask = LVIS_STATEIMAGEMASK;
    state.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&state));
}

TEST_F(UiMoreWin32, TextAndArrowsReachTheModelOnceEitherWay) {
    Page page;
    int memoChanges = 0, editChanges = 0;
    page.mmMail.OnChange = [&] { ++memoChanges; };
    page.edHistNum.OnChange = [&] { ++editChanges; };
    page.show();
    HWND memo = HandleOf(page.mmMail);
    HWND edit = HandleOf(page.edHistNum);
    HWND arrows = HandleOf(page.udHist);
    ASSERT_TRUE(memo && edit && arrows);
    LONG style = GetWindowLongW(memo, GWL_STYLE);
    EXPECT_TRUE(style & ES_MULTILINE);
    EXPECT_TRUE(style & WS_VSCROLL);
    EXPECT_TRUE(style & WS_HSCROLL);
    EXPECT_EQ(NativeText(edit), L"0");

    page.mmMail.setLines({"【使用OS】", " "});
    EXPECT_EQ(NativeText(memo), L"【使用OS】\r\n \r\n");
    EXPECT_EQ(memoChanges, 1);
    SendMessageW(memo, EM_SETSEL, 0, -1);
    SendMessageW(memo, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"一行目\r\n二行目"));
    EXPECT_EQ(memoChanges, 2);
    EXPECT_EQ(page.mmMail.lines(), (std::vector<std::string>{"一行目", "二行目"}));

    page.udHist.setPosition(99);
    EXPECT_EQ(NativeText(edit), L"99");
    EXPECT_EQ(editChanges, 1);
    // The native arrows report a click as UDN_DELTAPOS.
    auto click = [&](int delta) {
        NMUPDOWN change{};
        change.hdr = {arrows, static_cast<UINT_PTR>(GetDlgCtrlID(arrows)), UDN_DELTAPOS};
        change.iPos = static_cast<int>(SendMessageW(arrows, UDM_GETPOS32, 0, 0));
        change.iDelta = delta;
        return SendMessageW(GetParent(arrows), WM_NOTIFY, change.hdr.idFrom, reinterpret_cast<LPARAM>(&change));
    };
    click(1);
    click(1);  // stops at the maximum
    EXPECT_EQ(NativeText(edit), L"100");
    EXPECT_EQ(page.udHist.position(), 100);
    EXPECT_EQ(SendMessageW(arrows, UDM_GETPOS32, 0, 0), 100);
    EXPECT_EQ(editChanges, 2);
    click(-1);
    EXPECT_EQ(NativeText(edit), L"99");
    EXPECT_EQ(editChanges, 3);

    // A real click on the upper arrow goes the same way.
    RECT r;
    GetClientRect(arrows, &r);
    SendMessageW(arrows, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.right / 2, r.bottom / 4));
    SendMessageW(arrows, WM_LBUTTONUP, 0, MAKELPARAM(r.right / 2, r.bottom / 4));
    EXPECT_EQ(page.udHist.position(), 100);
    EXPECT_EQ(NativeText(edit), L"100");
}

TEST_F(UiMoreWin32, CheckBoxesInListsReportOnceAndProgrammaticTicksShow) {
    Page page;
    std::vector<int> lvChanges;
    int clbChecks = 0, clbClicks = 0;
    page.lvExt.OnChange = [&](int index) { lvChanges.push_back(index); };
    page.clbShurui.OnClickCheck = [&] { ++clbChecks; };
    page.clbShurui.OnClick = [&] { ++clbClicks; };
    page.clbShurui.setItems({"エディタ", "ツール", "ゲーム"});
    page.clbShurui.setChecked(1, true);
    for (const char* ext : {"TXT", "DOC"}) page.lvExt.addItem(ext);
    page.lvExt.setItemChecked(1, true);  // before the window exists
    page.show();
    HWND lv = HandleOf(page.lvExt);
    HWND clb = HandleOf(page.clbShurui);
    ASSERT_TRUE(lv && clb);
    EXPECT_TRUE(SendMessageW(lv, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);
    EXPECT_EQ(StateImage(lv, 0), 1u);
    EXPECT_EQ(StateImage(lv, 1), 2u);
    EXPECT_EQ(StateImage(clb, 1), 2u);
    EXPECT_EQ(lvChanges, (std::vector<int>{1}));

    page.lvExt.setItemChecked(0, true);  // shows, raises once
    EXPECT_EQ(StateImage(lv, 0), 2u);
    EXPECT_EQ(lvChanges, (std::vector<int>{1, 0}));
    NativeCheck(lv, 1, false);  // the user's click
    EXPECT_FALSE(page.lvExt.itemChecked(1));
    EXPECT_EQ(lvChanges, (std::vector<int>{1, 0, 1}));
    page.lvExt.addItem("BMP");  // a refill keeps the ticks and reports nothing
    EXPECT_EQ(StateImage(lv, 0), 2u);
    EXPECT_EQ(StateImage(lv, 2), 1u);
    EXPECT_EQ(lvChanges.size(), 3u);

    page.clbShurui.setChecked(2, true);
    EXPECT_EQ(StateImage(clb, 2), 2u);
    EXPECT_EQ(clbChecks, 0);  // a check list's marks are set quietly
    NativeCheck(clb, 0, true);
    EXPECT_TRUE(page.clbShurui.checked(0));
    EXPECT_EQ(clbChecks, 1);
    LVITEMW select{};
    select.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    select.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(clb, LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&select));
    EXPECT_EQ(page.clbShurui.itemIndex(), 2);
    EXPECT_EQ(clbClicks, 1);
    EXPECT_EQ(clbChecks, 1);

    // Space toggles the focused item's box, as a user would.
    SetFocus(lv);
    page.lvExt.setSelected(2);
    SendMessageW(lv, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(lv, WM_KEYUP, VK_SPACE, 0);
    EXPECT_TRUE(page.lvExt.itemChecked(2));
    EXPECT_EQ(lvChanges.back(), 2);
}

TEST_F(UiMoreWin32, RadioGroupSpeedButtonProgressAndAnimation) {
    Page page;
    int choices = 0, clicks = 0;
    page.rgExt.OnClick = [&] { ++choices; };
    page.sbExtUp.OnClick = [&] { ++clicks; };
    page.sbExtUp.setGlyph(Bitmap::FromBytes(SolidBmp(16, 16, 0x00FF00)));
    page.Animate1.setCommonAvi(Animate::CommonAvi::FileCopy);
    page.show();

    HWND group = HandleOf(page.rgExt);
    HWND on = FindWindowExW(group, nullptr, L"BUTTON", L"On");
    HWND off = FindWindowExW(group, nullptr, L"BUTTON", L"Off");
    ASSERT_TRUE(on && off);
    EXPECT_EQ(SendMessageW(on, BM_GETCHECK, 0, 0), BST_CHECKED);
    page.rgExt.setItemIndex(1);
    EXPECT_EQ(SendMessageW(off, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(on, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(choices, 0);
    SendMessageW(on, BM_CLICK, 0, 0);
    EXPECT_EQ(page.rgExt.itemIndex(), 0);
    EXPECT_EQ(choices, 1);

    HWND speed = HandleOf(page.sbExtUp);
    EXPECT_NE(SendMessageW(speed, BM_GETIMAGE, IMAGE_BITMAP, 0), 0);
    EXPECT_FALSE(GetWindowLongW(speed, GWL_STYLE) & WS_TABSTOP);
    SendMessageW(speed, BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);

    page.ProgressBar1.setPosition(42);
    EXPECT_EQ(SendMessageW(HandleOf(page.ProgressBar1), PBM_GETPOS, 0, 0), 42);

    // The animation shows only where the system has it; either way the
    // form works on.
    page.Animate1.setActive(true);
    EXPECT_EQ(IsWindowVisible(HandleOf(page.Animate1)) != FALSE, win32::AnimationShown(page.Animate1));
    page.Animate1.setActive(false);
}

TEST_F(UiMoreWin32, TiledBackgroundAndTheNavyItalicTitle) {
    Page page;
    page.imBack.tile(Bitmap::FromBytes(SolidBmp(30, 20, 0xFF0000)));
    page.show();
    HWND image = HandleOf(page.imBack);
    auto bitmap = reinterpret_cast<HBITMAP>(SendMessageW(image, STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    int dpi = win32::DpiOf(HandleOf(page));
    EXPECT_EQ(info.bmWidth, MulDiv(100, dpi, 96));
    EXPECT_EQ(info.bmHeight, MulDiv(50, dpi, 96));
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    // Covered to the far corner, across the tiles' seams.
    EXPECT_EQ(GetPixel(dc, info.bmWidth - 1, info.bmHeight - 1), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, MulDiv(30, dpi, 96), MulDiv(20, dpi, 96)), RGB(255, 0, 0));
    SelectObject(dc, old);
    // Created first, the picture still lies behind what stands on it, and
    // a label on it shows the picture around its text.
    EXPECT_EQ(GetWindow(image, GW_HWNDNEXT), nullptr);
    HBRUSH behind = reinterpret_cast<HBRUSH>(SendMessageW(HandleOf(page), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                          reinterpret_cast<LPARAM>(HandleOf(page.lbOver))));
    LOGBRUSH brush{};
    ASSERT_TRUE(GetObjectW(behind, sizeof brush, &brush));
    EXPECT_EQ(brush.lbStyle, static_cast<UINT>(BS_PATTERN));
    HBRUSH plain = reinterpret_cast<HBRUSH>(SendMessageW(HandleOf(page), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                         reinterpret_cast<LPARAM>(HandleOf(page.lbNo))));
    ASSERT_TRUE(GetObjectW(plain, sizeof brush, &brush));
    EXPECT_EQ(brush.lbStyle, static_cast<UINT>(BS_SOLID));  // beside the picture, the form's colour

    page.imBack.clearDrawings();  // back to an icon picture
    EXPECT_EQ(GetWindowLongW(image, GWL_STYLE) & SS_TYPEMASK, SS_ICON);

    HWND title = HandleOf(page.lbNo);
    auto font = reinterpret_cast<HFONT>(SendMessageW(title, WM_GETFONT, 0, 0));
    LOGFONTW lf{};
    ASSERT_TRUE(GetObjectW(font, sizeof lf, &lf));
    EXPECT_TRUE(lf.lfItalic);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_EQ(lf.lfHeight, -MulDiv(16, dpi, 96));
    SendMessageW(HandleOf(page), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(title));
    EXPECT_EQ(GetTextColor(dc), static_cast<COLORREF>(0x800000));
    DeleteDC(dc);
}

TEST_F(UiMoreWin32, DraggingTheSplitterMovesBothPanels) {
    Page page;
    int moves = 0;
    page.bar.OnMoved = [&] { ++moves; };
    page.show();
    HWND bar = HandleOf(page.bar);
    int dpi = win32::DpiOf(HandleOf(page));
    SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 10));
    SendMessageW(bar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(1 + MulDiv(40, dpi, 96), 10));
    SendMessageW(bar, WM_LBUTTONUP, 0, MAKELPARAM(1 + MulDiv(40, dpi, 96), 10));
    EXPECT_EQ(page.pnlLeft.width(), 140);
    EXPECT_EQ(page.pnlRight.left(), 154);
    EXPECT_EQ(page.pnlRight.width(), 160);
    RECT r;
    GetWindowRect(HandleOf(page.pnlRight), &r);
    MapWindowPoints(nullptr, HandleOf(page), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, MulDiv(154, dpi, 96));
    EXPECT_EQ(moves, 1);
    SendMessageW(bar, WM_MOUSEMOVE, 0, MAKELPARAM(300, 10));  // no button: no drag
    EXPECT_EQ(moves, 1);
}

TEST_F(UiMoreWin32, AClipPlaysThroughMciAndItsEndArrivesFromTheLoop) {
    auto dir = std::filesystem::temp_directory_path() / "kumoya_mci_test";
    std::filesystem::create_directories(dir);
    auto clip = dir / "CM.AVI";
    {
        auto avi = testing::MakeAvi(32, 24, 8, 10);  // 0.8 s
        std::ofstream out(clip, std::ios::binary);
        out.write(reinterpret_cast<const char*>(avi.data()), static_cast<std::streamsize>(avi.size()));
    }
    Page page;
    std::vector<NotifyValue> notes;
    page.mpCm.OnNotify = [&] { notes.push_back(page.mpCm.notifyValue()); };
    page.show();

    page.mpCm.setFileName((dir / "missing.avi").string());
    EXPECT_THROW(page.mpCm.open(), MediaError);
    EXPECT_FALSE(page.mpCm.isOpen());

    page.mpCm.setFileName(clip.string());
    page.mpCm.setDisplay(&page.pnlRight);
    page.mpCm.open();
    EXPECT_NEAR(page.mpCm.length(), 800, 150);
    page.mpCm.setNotify(true);
    DWORD start = GetTickCount();
    page.mpCm.play();
    EXPECT_TRUE(notes.empty());  // never from inside the command
    while (notes.empty() && GetTickCount() - start < 10000) {
        App().processMessages();
        Sleep(10);
    }
    DWORD took = GetTickCount() - start;
    ASSERT_EQ(notes, (std::vector<NotifyValue>{NotifyValue::Successful}));
    EXPECT_GE(took, 500u);  // it played, not just opened
    EXPECT_FALSE(page.mpCm.playing());

    // A play stopped half-way reports Aborted; a closed device nothing more.
    page.mpCm.setNotify(true);
    page.mpCm.play();
    page.mpCm.stop();
    page.mpCm.close();
    start = GetTickCount();
    while (GetTickCount() - start < 1500) {
        App().processMessages();
        Sleep(10);
    }
    EXPECT_LE(notes.size(), 2u);
    if (notes.size() == 2) {
        EXPECT_EQ(notes[1], NotifyValue::Aborted);
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kumoya::ui
