// The form framework on real windows: an invisible owner form pops up a
// three-level popup menu with Japanese captions and icons, waits for the
// chosen entry's click the way the launcher does, then shows a Japanese
// message box. It prints what happened, one line per event, so that the
// end-to-end script can drive it (keys) and check the outcome.
//
// Last it shows a window laid out like the management window, modally,
// until Escape.
//
//   ui_demo.exe [--drive HANDSHAKE_DIR]
//
// With --drive the demo types the keys itself and waits for the files
// "menu.done", "box.done" and "form.done" in HANDSHAKE_DIR (the script's
// screenshots) before going on.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/codec.h"
#include "platform/icon.h"
#include "platform/ui/application.h"
#include "platform/ui/controls.h"
#include "platform/ui/form.h"
#include "platform/ui/image_list.h"
#include "platform/ui/menu.h"

namespace ui = kumoya::ui;
using kumoya::platform::Icon;

namespace {

void Say(const std::string& sjisLine) {
    auto utf8 = kumoya::platform::SjisToUtf8(sjisLine);
    std::fputs((utf8 ? *utf8 : std::string("(not Shift_JIS)")).c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

Icon IconFrom(const wchar_t* file, UINT index, const char* source) {
    HICON icon = ExtractIconW(GetModuleHandleW(nullptr), file, index);
    if (reinterpret_cast<UINT_PTR>(icon) <= 1) return Icon();
    return Icon(icon, source);
}

// ---- the self-driving mode ----

std::wstring g_handshake;
std::vector<int> g_steps;  // virtual keys; 0, 1, 2 wait for menu.done, box.done, form.done
std::size_t g_step = 0;
bool g_menuUp = false;  // keys only once the menu is there

void PressKey(WORD key) {
    INPUT input[2] = {};
    input[0].type = INPUT_KEYBOARD;
    input[0].ki.wVk = key;
    input[1] = input[0];
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

void CALLBACK DriveStep(HWND, UINT, UINT_PTR, DWORD) {
    if (!g_menuUp || g_step >= g_steps.size()) return;
    int step = g_steps[g_step];
    if (step >= 0 && step <= 2) {
        static const char* const announce[] = {"LEVEL3_OPEN", "BOX_WAITING", "FORM_WAITING"};
        static const wchar_t* const files[] = {L"\\menu.done", L"\\box.done", L"\\form.done"};
        static bool announced[3] = {};
        if (!announced[step]) {
            announced[step] = true;
            Say(announce[step]);
        }
        std::wstring file = g_handshake + files[step];
        if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) return;
        ++g_step;
        return;
    }
    PressKey(static_cast<WORD>(step));
    ++g_step;
}

// A window laid out like the management window, to look at fonts, colours,
// DPI scaling and the list view's icons. Escape closes it.
class Manager : public ui::Form {
public:
    Manager(ui::Form& owner, ui::ImageList& icons) : ui::Form(&owner) {
        setCaption("Kumoya 管理");
        setBorderStyle(ui::BorderStyle::Single);
        setBorderIcons({true, true, false});
        setPosition(ui::FormPosition::ScreenCenter);
        setClientSize(556, 373);
        Panel1.setBounds(0, 0, 556, 57);
        Panel1.setColor(12648447);
        Panel1.setBevel(ui::Bevel::None);
        lblAd.setBounds(16, 20, 300, 16);
        lblAd.setCaption("ここに広告が流れます");
        PageControl1.setBounds(0, 57, 556, 297);
        tabShurui.setCaption("種類別");
        tabExt.setCaption("拡張子別");
        tabShurui.setColor(12648447);
        cmbShurui.setBounds(8, 10, 180, 20);
        cmbShurui.setItems({"アクセサリ", "ツール", "ゲーム"});
        cmbShurui.setItemIndex(0);
        chkVisMenu.setBounds(200, 12, 180, 18);
        chkVisMenu.setCaption("起動時メニューに表示する");
        chkVisMenu.setChecked(true);
        btShuAdd.setBounds(440, 8, 100, 24);
        btShuAdd.setCaption("種類の追加");
        lvShurui.setBounds(8, 40, 320, 216);
        lvShurui.addColumn("タイトル", 300);
        lvShurui.setShowColumnHeaders(false);
        lvShurui.setSmallImages(&icons);
        lvShurui.beginUpdate();
        const char* titles[] = {"メモ帳", "エクスプローラ", "文書ビューア", "マイコンピュータ"};
        for (int i = 0; i < 4; ++i) lvShurui.addSubItem(lvShurui.addItem(titles[i], i), std::to_string(i + 1));
        lvShurui.endUpdate();
        lvShurui.setSelected(0);
        btSExecute.setBounds(340, 40, 200, 26);
        btSExecute.setCaption("プログラムの起動");
        btClose.setBounds(340, 230, 200, 26);
        btClose.setCaption("閉じる");
        btClose.setCancel(true);
        btClose.setModalResult(ui::DialogResult::Cancel);
        StatusBar1.setBounds(0, 354, 556, 19);
        ui::MenuItem& file = MainMenu1.items().add("ﾌｧｲﾙ(&F)");
        file.add("終了").OnClick = [this] { close(); };
        ui::MenuItem& edit = MainMenu1.items().add("編集(&E)");
        edit.add("プログラムの起動");
        OnShow = [] { Say("FORM_OPEN"); };
    }
    ui::MainMenu MainMenu1{*this};
    ui::Panel Panel1{*this};
    ui::Label lblAd{Panel1};
    ui::PageControl PageControl1{*this};
    ui::TabSheet tabShurui{PageControl1};
    ui::TabSheet tabExt{PageControl1};
    ui::ComboBox cmbShurui{tabShurui};
    ui::CheckBox chkVisMenu{tabShurui};
    ui::Button btShuAdd{tabShurui};
    ui::ListView lvShurui{tabShurui};
    ui::Button btSExecute{tabShurui};
    ui::Button btClose{tabShurui};
    ui::StatusBar StatusBar1{*this};
};

class Demo : public ui::Form {
public:
    Demo() {
        setCaption("Kumoya");
        makeInvisibleOwner();
        PopupMenu1.setImages(&ImageList1);
        OnShow = [this] { FormShow(); };
    }

    ui::ImageList ImageList1;
    ui::PopupMenu PopupMenu1{*this};

private:
    ui::MenuItem& entry(ui::MenuItem& parent, const char* caption, const char* hint, int image) {
        ui::MenuItem& item = parent.add(caption);
        item.setHint(hint);
        item.setImageIndex(image);
        item.OnClick = [this, &item] { MenuClick(item); };
        return item;
    }

    void BuildMenu() {
        wchar_t system[MAX_PATH] = {};
        GetSystemDirectoryW(system, MAX_PATH);
        std::wstring shell32 = std::wstring(system) + L"\\shell32.dll";
        std::wstring notepad = std::wstring(system) + L"\\notepad.exe";
        int iNotepad = ImageList1.add(IconFrom(notepad.c_str(), 0, "notepad.exe,0"));
        int iFolder = ImageList1.add(IconFrom(shell32.c_str(), 4, "shell32.dll,4"));
        int iDocument = ImageList1.add(IconFrom(shell32.c_str(), 1, "shell32.dll,1"));
        int iComputer = ImageList1.add(IconFrom(shell32.c_str(), 15, "shell32.dll,15"));
        int missing = 0;
        for (int i = 0; i < ImageList1.count(); ++i) missing += ImageList1.icon(i)->Empty() ? 1 : 0;
        Say("ICONS " + std::to_string(ImageList1.count() - missing) + "/" + std::to_string(ImageList1.count()));

        ui::MenuItem& accessories = PopupMenu1.items().add("アクセサリ");
        ui::MenuItem& memo = entry(accessories, "メモ帳", "C:\\windows\\notepad.exe", iNotepad);
        entry(memo, "メモ帳", "C:\\windows\\notepad.exe", iNotepad);
        entry(memo, "C:\\文書\\予定表.txt", "", iNotepad);
        entry(memo, "C:\\文書\\住所録.txt", "", iNotepad);
        entry(accessories, "エクスプローラ", "C:\\windows\\explorer.exe", iFolder);
        ui::MenuItem& tools = PopupMenu1.items().add("ツール");
        entry(tools, "マイコンピュータ", "C:\\windows\\winefile.exe", iComputer);
        entry(tools, "文書ビューア", "C:\\Tools\\view.exe", iDocument);
        entry(PopupMenu1.items(), "メイン画面へ", "Title", -1);
    }

    void MenuClick(ui::MenuItem& item) {
        ++clicks_;
        std::string parentHint = item.parent() ? item.parent()->hint() : "";
        Say("CLICK " + item.caption() + " | hint=" + item.hint() + " | parent=" + parentHint);
        PopupMenu1.setTag(1);
    }

    void FormShow() {
        BuildMenu();
        Say(std::string("ACTIVE ") + (isActive() ? "1" : "0"));
        Say("MENU_OPEN");
        g_menuUp = true;
        bool chosen = PopupMenu1.popup(ui::App().cursorPos());
        Say(std::string("MENU_CLOSED chosen=") + (chosen ? "1" : "0"));
        // The launcher's wait: until the handler has run or we lost activation.
        for (int rounds = 0; chosen && PopupMenu1.tag() == 0 && isActive() && rounds < 200; ++rounds) {
            ui::App().processMessages();
            Sleep(10);
        }
        ui::App().processMessages();
        Say("CLICKS " + std::to_string(clicks_));
        Say("BOX_OPEN");
        ui::DialogResult answer = ui::App().messageBox("プログラムを起動しました。\n次回もご利用ください。", "起動",
                                                       ui::MsgIcon::Information, ui::MsgButtons::OkCancel);
        Say(std::string("BOX_RESULT ") + (answer == ui::DialogResult::Ok       ? "OK"
                                          : answer == ui::DialogResult::Cancel ? "Cancel"
                                                                               : "other"));
        Manager manager(*this, ImageList1);
        ui::DialogResult closed = manager.showModal();
        Say(std::string("FORM_RESULT ") + (closed == ui::DialogResult::Cancel ? "Cancel" : "other"));
        close();
    }

    int clicks_ = 0;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 3 && std::wstring(argv[1]) == L"--drive") {
        g_handshake = argv[2];
        // Down, Right, Right: the third level is open; then the second
        // history file, Enter; then Enter on the message box.
        g_steps = {VK_DOWN, VK_RIGHT, VK_RIGHT, 0, VK_DOWN, VK_DOWN, VK_RETURN, 1, VK_RETURN, 2, VK_ESCAPE};
        SetTimer(nullptr, 0, 400, DriveStep);
    }
    return ui::Application::Protect([] {
        ui::App().setTitle("Kumoya");
        Demo demo;
        ui::App().run(demo);
        Say("END");
    });
}
