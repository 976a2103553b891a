// Hints of controls show as tooltips of their form, and follow changes.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/ui/application.h"
#include "platform/ui/controls.h"
#include "platform/ui/form.h"
#include "platform/win32/ui_win32.h"

namespace kumoya::ui {
namespace {

using win32::HandleOf;

class HintWindow : public Form {
public:
    HintWindow() {
        setCaption("Hints");
        setClientSize(300, 200);
        btGo.setBounds(10, 10, 80, 24);
        btGo.setHint("選択されているプログラムを起動します。");
        chkFlag.setBounds(10, 40, 120, 20);
        chkFlag.setHint("この種類名を起動時のメニューに表示します。");
        edName.setBounds(10, 70, 160, 22);
        pnlRow.setBounds(10, 100, 200, 60);
        lbPath.setBounds(4, 4, 180, 16);
        lbPath.setHint("ファイル名が表示されます");
    }
    Button btGo{*this};
    CheckBox chkFlag{*this};
    Edit edName{*this};
    Panel pnlRow{*this};
    Label lbPath{pnlRow};
};

int ToolCount(HWND tip) { return static_cast<int>(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0)); }

std::wstring TipText(HWND tip, const Form& form, const Control& control) {
    wchar_t buffer[256] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V1_SIZE;
    tool.hwnd = HandleOf(form);
    tool.uId = reinterpret_cast<UINT_PTR>(HandleOf(control));
    tool.lpszText = buffer;
    SendMessageW(tip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
    return buffer;
}

TEST(UiTooltips, EveryControlWithAHintHasItsTooltipWhichFollowsTheHint) {
    App().reset();
    {
        HintWindow form;
        form.show();
        HWND tip = win32::TooltipOf(form);
        ASSERT_NE(tip, nullptr);
        EXPECT_EQ(ToolCount(tip), 3) << "the button, the check box and the label on the panel";
        EXPECT_EQ(TipText(tip, form, form.btGo), L"選択されているプログラムを起動します。");
        EXPECT_EQ(TipText(tip, form, form.lbPath), L"ファイル名が表示されます");

        form.btGo.setHint("別の説明");
        EXPECT_EQ(TipText(tip, form, form.btGo), L"別の説明");
        form.chkFlag.setHint("");
        EXPECT_EQ(ToolCount(tip), 2);
        form.edName.setHint("名前");
        EXPECT_EQ(ToolCount(tip), 3);
        EXPECT_EQ(TipText(tip, form, form.edName), L"名前");
        App().processMessages();
    }
    App().reset();
}

TEST(UiTooltips, AFormWithoutHintsHasNoTooltipControl) {
    App().reset();
    {
        Form form;
        form.setClientSize(100, 100);
        Button bt{form};
        form.show();
        EXPECT_EQ(win32::TooltipOf(form), nullptr);
        App().processMessages();
    }
    App().reset();
}

}  // namespace
}  // namespace kumoya::ui
