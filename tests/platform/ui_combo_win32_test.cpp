// The editable combo box and the clickable panel on real windows: typing in
// the combo's edit and picking from its list reach the model once, in
// Shift_JIS; the model's changes show natively without an echo; a click on
// a panel reaches its handler.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/application.h"
#include "platform/ui/controls.h"
#include "platform/ui/form.h"
#include "platform/win32/ui_win32.h"

namespace kumoya::ui {
namespace {

using win32::HandleOf;

class Page : public Form {
public:
    Page() {
        setCaption("Combo");
        setClientSize(300, 160);
        cbSubject.setStyle(ComboBox::Style::DropDown);
        cbSubject.setBounds(10, 10, 200, 20);
        cbSubject.setItems({"不具合を報告します", "使用した感想"});
        Strip.setBounds(10, 60, 200, 50);
    }
    ComboBox cbSubject{*this};
    Panel Strip{*this};
};

std::wstring NativeText(HWND window) {
    wchar_t buffer[256] = {};
    GetWindowTextW(window, buffer, 256);
    return buffer;
}

TEST(UiComboWin32, TypingPickingAndTheWindowsOwnChanges) {
    App().reset();
    {
        Page page;
        std::vector<std::string> events;
        page.cbSubject.OnClick = [&] { events.push_back("click " + page.cbSubject.text()); };
        page.cbSubject.OnChange = [&] { events.push_back("change " + page.cbSubject.text()); };
        int clicks = 0;
        page.Strip.OnClick = [&] { ++clicks; };
        page.show();
        HWND combo = HandleOf(page.cbSubject);
        ASSERT_TRUE(combo);
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        ASSERT_TRUE(GetComboBoxInfo(combo, &info));
        HWND edit = info.hwndItem;
        ASSERT_TRUE(edit) << "an editable combo box has an edit";

        // The user types into the edit.
        SendMessageW(edit, EM_SETSEL, 0, -1);
        SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"起動しません"));
        App().processMessages();
        EXPECT_EQ(page.cbSubject.text(), "起動しません");
        EXPECT_EQ(page.cbSubject.itemIndex(), -1);

        // ... and picks an item from the list.
        SendMessageW(combo, CB_SETCURSEL, 1, 0);
        SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
        App().processMessages();
        EXPECT_EQ(page.cbSubject.text(), "使用した感想");
        EXPECT_EQ(events, (std::vector<std::string>{"change 起動しません", "click 使用した感想",
                                                    "change 使用した感想"}));

        // The window's own text shows natively and raises OnChange once.
        events.clear();
        page.cbSubject.setText("自由な題名");
        App().processMessages();
        EXPECT_EQ(NativeText(combo), L"自由な題名");
        EXPECT_EQ(events, std::vector<std::string>{"change 自由な題名"});
        // New items keep the text shown.
        page.cbSubject.addItem("要望があります");
        EXPECT_EQ(NativeText(combo), L"自由な題名");

        HWND strip = HandleOf(page.Strip);
        ASSERT_TRUE(strip);
        SendMessageW(strip, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        SendMessageW(strip, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        EXPECT_EQ(clicks, 1);
    }
    App().processMessages();
    App().reset();
}

}  // namespace
}  // namespace kumoya::ui
