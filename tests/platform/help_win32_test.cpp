// F1 on real windows: the system names the focused window in WM_HELP, and the
// form asks for the topic of the control it belongs to, on a page, a panel
// or a dialog of its own (the search window and its conditions dialog).
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "platform/help.h"
#include "platform/ui/application.h"
#include "platform/ui/controls.h"
#include "platform/ui/controls_more.h"
#include "platform/ui/form.h"
#include "platform/win32/ui_win32.h"
#include "registration/search_form.h"

namespace kumoya::ui {
namespace {

using win32::HandleOf;

class RecordingHelp : public platform::Help {
public:
    std::vector<std::uintptr_t> topics;  // 0 for the contents
    bool Open(std::string_view, unsigned command, std::uintptr_t data) override {
        topics.push_back(command == platform::kHelpContext ? data : 0);
        return true;
    }
};

// What the system sends when F1 is pressed with `focused` holding the focus.
void PressF1(const Form& form, HWND focused) {
    HELPINFO info{};
    info.cbSize = sizeof info;
    info.iContextType = HELPINFO_WINDOW;
    info.hItemHandle = focused;
    SendMessageW(HandleOf(form), WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
}

class Pages : public Form {
public:
    Pages() {
        setClientSize(300, 200);
        pages.setBounds(0, 30, 300, 170);
        first.setHelpContext(29);
        second.setHelpContext(59);
        box.setBounds(10, 10, 120, 80);
        pages.setActivePageIndex(0);
    }
    Edit top{*this};
    PageControl pages{*this};
    TabSheet first{pages}, second{pages};
    ComboBox combo{first};
    Panel panel{second};
    Memo box{panel};
};

TEST(HelpWin32, F1ReachesTheTopicOfTheNativeWindowThatHasTheFocus) {
    App().reset();
    RecordingHelp help;
    platform::ScopedService<platform::Help> useHelp(help);
    App().setHelpFile("Zelkova.hlp");
    {
        Pages form;
        form.show();
        PressF1(form, HandleOf(form.combo));
        form.pages.userSelectPage(1);
        PressF1(form, HandleOf(form.box));
        PressF1(form, HandleOf(form.top));  // above the pages: the page shown
        PressF1(form, nullptr);

        kumoya::TfrmSearch search(&form);
        search.show();
        PressF1(search, HandleOf(search.lvSearch));
        kumoya::TfrmInfo info(&search);
        info.show();
        PressF1(info, HandleOf(info.cbSubFolder));
    }
    EXPECT_EQ(help.topics, (std::vector<std::uintptr_t>{29, 59, 59, 59, 67, 68}));
    App().setHelpFile("");
    App().processMessages();
    App().reset();
}

}  // namespace
}  // namespace kumoya::ui
