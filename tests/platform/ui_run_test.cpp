// The form framework over a long run: menu commands keep finding their own
// entries, an exception of a handler is shown and the run goes on, and
// properties that shape a window cannot be set after it exists without
// taking effect.
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>

#include "platform/ui/application.h"
#include "platform/ui/controls.h"
#include "platform/ui/form.h"
#include "platform/ui/headless.h"
#include "platform/ui/menu.h"

namespace kumoya::ui {
namespace {

class MenuOwner : public Form {
public:
    MenuOwner() { makeInvisibleOwner(); }
    MainMenu MainMenu1{*this};
    PopupMenu PopupMenu1{*this};
};

// The launch menu is rebuilt on every open, while the main menu's entries
// live as long as their window: tens of thousands of entries may come and go
// in one session of a window with a large catalogue.
TEST(UiRun, MenuCommandsReachTheirOwnEntryAfterManyRebuilds) {
    HeadlessUi ui;
    MenuOwner form;
    int quitClicks = 0, entryClicks = 0;
    MenuItem& file = form.MainMenu1.items().add("File");
    MenuItem& quit = file.add("Quit");
    quit.OnClick = [&] { ++quitClicks; };
    const std::set<int> lasting = {file.commandId(), quit.commandId()};

    for (int round = 0; round < 2000; ++round) {
        form.PopupMenu1.items().clear();
        for (int i = 0; i < 40; ++i) {
            MenuItem& entry = form.PopupMenu1.items().add("entry");
            entry.OnClick = [&] { ++entryClicks; };
            ASSERT_EQ(lasting.count(entry.commandId()), 0u) << "round " << round;
            ASSERT_GT(entry.commandId(), 0);
            ASSERT_LT(entry.commandId(), 0xF000);  // the system menu's range
        }
    }
    std::set<int> live;
    for (int i = 0; i < form.PopupMenu1.items().count(); ++i)
        live.insert(form.PopupMenu1.items().item(i).commandId());
    EXPECT_EQ(live.size(), 40u);

    form.userMenuCommand(quit.commandId());
    EXPECT_EQ(quitClicks, 1);
    EXPECT_EQ(entryClicks, 0);
}

class Shaped : public Form {
public:
    Shaped() {
        setBorderStyle(BorderStyle::Single);
        setAcceptFiles(true);
        list.setEditLabels(true);
    }
    ListView list{*this};
};

// These shape the native window when it is made; changed later they would
// do nothing, so they refuse, while setting what is already there stays
// harmless.
TEST(UiRun, WindowShapingPropertiesRefuseChangesOnceTheWindowExists) {
    HeadlessUi ui;
    Shaped form;
    form.setStayOnTop(true);
    form.setPosition(FormPosition::ScreenCenter);
    form.list.setShowColumnHeaders(false);
    form.show();
    EXPECT_TRUE(form.created());
    EXPECT_TRUE(form.list.created());
    EXPECT_NO_THROW(form.setBorderStyle(BorderStyle::Single));
    EXPECT_NO_THROW(form.list.setEditLabels(true));
    EXPECT_THROW(form.setBorderStyle(BorderStyle::Sizeable), std::logic_error);
    EXPECT_THROW(form.setStayOnTop(false), std::logic_error);
    EXPECT_THROW(form.setAcceptFiles(false), std::logic_error);
    EXPECT_THROW(form.setPosition(FormPosition::Designed), std::logic_error);
    EXPECT_THROW(form.list.setEditLabels(false), std::logic_error);
    EXPECT_THROW(form.list.setShowColumnHeaders(true), std::logic_error);
    EXPECT_EQ(form.borderStyle(), BorderStyle::Single);
    EXPECT_TRUE(form.acceptFiles());
}

}  // namespace
}  // namespace kumoya::ui
