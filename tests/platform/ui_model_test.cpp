// The form framework on its headless backend: events fire once per user
// action and never for programmatic changes; menus, message boxes, modal
// forms and closing behave as the window code relies on.
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/application.h"
#include "platform/ui/controls.h"
#include "platform/ui/form.h"
#include "platform/ui/headless.h"
#include "platform/ui/image_list.h"
#include "platform/ui/menu.h"

namespace kumoya::ui {
namespace {

class Dialog : public Form {
public:
    Dialog() {
        setCaption("Dialog");
        btOk.setCaption("OK");
        btOk.setModalResult(DialogResult::Ok);
        btCancel.setCaption("Cancel");
        btCancel.setModalResult(DialogResult::Cancel);
        edValue.OnKeyDown = [this](int& key) {
            if (key == kKeyReturn) setModalResult(DialogResult::Ok);
        };
    }
    Panel pnlRow{*this};
    Edit edValue{pnlRow};
    CheckBox cbFlag{pnlRow};
    Button btOk{*this};
    Button btCancel{*this};
};

TEST(UiControls, EventsFireOncePerUserActionAndForValueSettersOnlyOnARealChange) {
    HeadlessUi ui;
    Dialog form;
    int clicks = 0, toggles = 0, changes = 0;
    std::vector<bool> seenChecked;
    form.btOk.OnClick = [&] { ++clicks; };
    form.cbFlag.OnClick = [&] {
        ++toggles;
        seenChecked.push_back(form.cbFlag.checked());
    };
    form.edValue.OnChange = [&] { ++changes; };
    form.show();

    form.btOk.setCaption("Start");
    form.btOk.setEnabled(false);
    form.btOk.setEnabled(true);
    EXPECT_EQ(clicks + toggles + changes, 0);
    // Value setters raise the change event, once, and only for a change.
    form.cbFlag.setChecked(true);
    form.cbFlag.setChecked(true);
    form.edValue.setText("typed by the program");
    form.edValue.setText("typed by the program");
    EXPECT_EQ(toggles, 1);
    EXPECT_EQ(changes, 1);

    Click(form.btOk);
    Click(form.cbFlag);  // was set true by the program: the user clears it
    Click(form.cbFlag);
    Type(form.edValue, "abc");
    Type(form.edValue, "abc");  // no change, no event
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(toggles, 3);
    EXPECT_EQ(seenChecked, (std::vector<bool>{true, false, true}));  // the handler sees the new state
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(form.edValue.text(), "abc");
}

TEST(UiControls, UserCannotReachHiddenOrDisabledControls) {
    HeadlessUi ui;
    Dialog form;
    int clicks = 0;
    form.btOk.OnClick = [&] { ++clicks; };
    form.show();
    form.btOk.setEnabled(false);
    EXPECT_THROW(Click(form.btOk), std::logic_error);
    form.btOk.setEnabled(true);
    form.pnlRow.setVisible(false);  // the panel hides what stands on it
    EXPECT_THROW(Type(form.edValue, "x"), std::logic_error);
    EXPECT_THROW(Click(form.cbFlag), std::logic_error);
    form.edValue.setReadOnly(true);
    form.pnlRow.setVisible(true);
    EXPECT_THROW(Type(form.edValue, "x"), std::logic_error);
    EXPECT_EQ(clicks, 0);
}

TEST(UiControls, EditLimitsTypedCharactersNotBytesAndKeysCanBeSwallowed) {
    HeadlessUi ui;
    Dialog form;
    form.show();
    form.edValue.setMaxLength(3);
    // Three characters of two bytes each fit; the fourth is cut, whole.
    Type(form.edValue, "\x82\xA0\x82\xA2\x82\xA4\x82\xA6");
    EXPECT_EQ(form.edValue.text(), "\x82\xA0\x82\xA2\x82\xA4");
    // Programmatic text is not cut.
    form.edValue.setText("abcdef");
    EXPECT_EQ(form.edValue.text(), "abcdef");

    form.edValue.OnKeyDown = [](int& key) {
        if (key == kKeyEscape) key = 0;
    };
    EXPECT_FALSE(PressKey(form.edValue, kKeyEscape));
    EXPECT_TRUE(PressKey(form.edValue, 'A'));
}

TEST(UiControls, ChildrenInheritTheFontUntilTheyHaveTheirOwn) {
    HeadlessUi ui;
    Dialog form;
    EXPECT_EQ(form.edValue.font().name, kDefaultFontName);
    EXPECT_EQ(form.edValue.font().charset, kShiftJisCharset);
    form.setFont(Font{"Arial", 14});
    EXPECT_EQ(form.edValue.font().height, 14);
    form.pnlRow.setFont(Font{"Tahoma", 11});
    EXPECT_EQ(form.edValue.font().name, "Tahoma");
    EXPECT_EQ(form.btOk.font().name, "Arial");
}

TEST(UiControls, ControlsMadeAtRunTimeBelongToTheirContainer) {
    HeadlessUi ui;
    Dialog form;
    std::size_t before = form.pnlRow.children().size();
    {
        Label& label = form.pnlRow.make<Label>();
        label.setCaption("made later");
        EXPECT_EQ(form.pnlRow.children().size(), before + 1);
        EXPECT_EQ(label.form(), &form);
    }
    // The form forgets a focused control that goes away.
    {
        Dialog other;
        std::optional<Edit> extra;
        extra.emplace(other);
        extra->setFocus();
        EXPECT_EQ(other.focusedControl(), &*extra);
        other.edValue.setFocus();
        EXPECT_EQ(other.focusedControl(), &other.edValue);
        extra->setFocus();
        extra.reset();
        EXPECT_EQ(other.focusedControl(), nullptr);
    }
    // Member controls leave their container when destroyed.
    {
        Dialog other;
        auto* extra = new Button(other);  // owned below, checks detach on delete
        EXPECT_EQ(other.children().size(), 4u);
        delete extra;
        EXPECT_EQ(other.children().size(), 3u);
    }
}

// ---- menus ----

class Launcher : public Form {
public:
    Launcher() {
        makeInvisibleOwner();
        PopupMenu1.setImages(&ImageList1);
    }
    ImageList ImageList1;
    PopupMenu PopupMenu1{*this};
};

struct LaunchMenu {
    explicit LaunchMenu(Launcher& form) {
        MenuItem& tools = form.PopupMenu1.items().add("Tools");
        MenuItem& editor = tools.add("Editor");
        editor.setHint("C:\\Tools\\edit.exe");
        editor.setImageIndex(form.ImageList1.add(platform::Icon(nullptr, "C:\\Tools\\edit.exe,0")));
        MenuItem& own = editor.add("Editor");
        own.setHint("C:\\Tools\\edit.exe");
        own.setImageIndex(editor.imageIndex());
        MenuItem& file = editor.add("C:\\Docs\\a.txt");
        file.setImageIndex(editor.imageIndex());
        MenuItem& viewer = tools.add("Viewer");
        viewer.setHint("C:\\Tools\\view.exe");
        viewer.setTag(7);
        viewer.setImageIndex(form.ImageList1.add(platform::Icon()));  // no icon, still numbered
        MenuItem& main = form.PopupMenu1.items().add("Main");
        main.setHint("Title");
        for (MenuItem* item : {&own, &file, &viewer, &main}) {
            item->OnClick = [this, item] { clicked.push_back(item); };
        }
    }
    std::vector<MenuItem*> clicked;
};

TEST(UiMenus, ThirdLevelEntryIsClickedOnceFromTheMessageLoop) {
    HeadlessUi ui;
    Launcher form;
    LaunchMenu menu(form);
    form.show();
    ui->setCursorPos({300, 200});
    ui->choosePopupEntry({"Tools", "Editor", "C:\\Docs\\a.txt"});

    EXPECT_TRUE(form.PopupMenu1.popup(App().cursorPos()));
    EXPECT_TRUE(menu.clicked.empty());  // the command is still queued
    App().processMessages();
    App().processMessages();
    ASSERT_EQ(menu.clicked.size(), 1u);
    const MenuItem& chosen = *menu.clicked[0];
    EXPECT_EQ(chosen.caption(), "C:\\Docs\\a.txt");
    EXPECT_EQ(chosen.hint(), "");
    EXPECT_EQ(chosen.parent()->hint(), "C:\\Tools\\edit.exe");
    ASSERT_EQ(ui->popups().size(), 1u);
    EXPECT_EQ(ui->popups()[0].at, (Point{300, 200}));
    EXPECT_EQ(ui->popups()[0].chosen, (std::vector<std::string>{"Tools", "Editor", "C:\\Docs\\a.txt"}));
}

TEST(UiMenus, EntriesKeepHintTagAndImage) {
    HeadlessUi ui;
    Launcher form;
    LaunchMenu menu(form);
    ui->choosePopupEntry({"Tools", "Viewer"});
    ASSERT_TRUE(form.PopupMenu1.popup(0, 0));
    App().processMessages();
    ASSERT_EQ(menu.clicked.size(), 1u);
    EXPECT_EQ(menu.clicked[0]->tag(), 7);
    EXPECT_EQ(menu.clicked[0]->hint(), "C:\\Tools\\view.exe");
    EXPECT_EQ(menu.clicked[0]->imageIndex(), 1);
    // The entry without an icon kept its number; the list holds it empty.
    ASSERT_EQ(form.ImageList1.count(), 2);
    EXPECT_TRUE(form.ImageList1.icon(1)->Empty());
    EXPECT_EQ(form.ImageList1.icon(0)->Source(), "C:\\Tools\\edit.exe,0");
    EXPECT_EQ(form.ImageList1.icon(2), nullptr);
}

TEST(UiMenus, DismissedMenuClicksNothing) {
    HeadlessUi ui;
    Launcher form;
    LaunchMenu menu(form);
    ui->dismissPopup();
    EXPECT_FALSE(form.PopupMenu1.popup(0, 0));
    App().processMessages();
    EXPECT_TRUE(menu.clicked.empty());
    ASSERT_EQ(ui->popups().size(), 1u);
    EXPECT_TRUE(ui->popups()[0].chosen.empty());
}

TEST(UiMenus, CommandForAnEntryClearedMeanwhileIsDropped) {
    HeadlessUi ui;
    Launcher form;
    LaunchMenu menu(form);
    ui->choosePopupEntry({"Main"});
    ASSERT_TRUE(form.PopupMenu1.popup(0, 0));
    form.PopupMenu1.items().clear();
    App().processMessages();  // must not touch the destroyed entry
    EXPECT_TRUE(menu.clicked.empty());
}

TEST(UiMenus, OnlyLeavesThatAUserCouldPickCanBeChosen) {
    HeadlessUi ui;
    Launcher form;
    LaunchMenu menu(form);
    ui->choosePopupEntry({"Tools", "Editor"});  // opens a submenu
    EXPECT_THROW(form.PopupMenu1.popup(0, 0), std::logic_error);
    form.PopupMenu1.items().item(0).item(1).setVisible(false);
    ui->choosePopupEntry({"Tools", "Viewer"});
    EXPECT_THROW(form.PopupMenu1.popup(0, 0), std::logic_error);
    form.PopupMenu1.items().item(1).setEnabled(false);
    ui->choosePopupEntry({"Main"});
    EXPECT_THROW(form.PopupMenu1.popup(0, 0), std::logic_error);
    EXPECT_THROW(form.PopupMenu1.popup(0, 0), std::logic_error);  // nothing scripted
    App().processMessages();
    EXPECT_TRUE(menu.clicked.empty());
}

TEST(UiMenus, TheLaunchersWaitEndsOnAChoiceOrOnLostActivation) {
    HeadlessUi ui;
    Launcher form;
    LaunchMenu menu(form);
    form.show();
    EXPECT_TRUE(form.isActive());
    // The entry's handler sets the menu's tag; the launcher waits for it.
    form.PopupMenu1.items().item(1).OnClick = [&form] { form.PopupMenu1.setTag(-1); };
    ui->choosePopupEntry({"Main"});
    form.PopupMenu1.popup(0, 0);
    int rounds = 0;
    while (form.PopupMenu1.tag() == 0 && form.isActive() && rounds++ < 10) App().processMessages();
    EXPECT_EQ(form.PopupMenu1.tag(), -1);

    form.PopupMenu1.setTag(0);
    ui->onNextPopup([&ui](PopupMenu&) -> MenuItem* {
        ui->deactivate();  // the user clicked into another window
        return nullptr;
    });
    EXPECT_FALSE(form.PopupMenu1.popup(0, 0));
    EXPECT_FALSE(form.isActive());
}

// ---- message boxes, modal forms, closing ----

TEST(UiMessageBoxes, AnswersComeFromTheQueueAndEveryBoxIsRecorded) {
    HeadlessUi ui;
    App().setTitle("Kumoya");
    ui->answerMessageBox(DialogResult::No);
    ui->answerMessageBox(DialogResult::Cancel);
    EXPECT_EQ(App().messageBox("Fetch news?", "News", MsgIcon::Question, MsgButtons::YesNo), DialogResult::No);
    EXPECT_EQ(App().messageBox("Save?", "", MsgIcon::Warning, MsgButtons::YesNoCancel), DialogResult::Cancel);
    EXPECT_EQ(App().messageBox("Done", "Result", MsgIcon::Information), DialogResult::Ok);  // OK-only, unqueued
    ASSERT_EQ(ui->messageBoxes().size(), 3u);
    const ShownMessageBox& second = ui->messageBoxes()[1];
    EXPECT_EQ(second.text, "Save?");
    EXPECT_EQ(second.caption, "Kumoya");  // no caption: the application title
    EXPECT_EQ(second.icon, MsgIcon::Warning);
    EXPECT_EQ(second.buttons, MsgButtons::YesNoCancel);
    EXPECT_EQ(ui->messageBoxes()[2].icon, MsgIcon::Information);

    // A question nobody answered, or an answer the box does not offer, is a
    // fault of the test, not a silent OK.
    EXPECT_THROW(App().messageBox("Really?", "Q", MsgIcon::Question, MsgButtons::YesNo), std::logic_error);
    ui->answerMessageBox(DialogResult::Yes);
    EXPECT_THROW(App().messageBox("Info", "I", MsgIcon::Information, MsgButtons::Ok), std::logic_error);
    EXPECT_EQ(ui->unusedScript(), "");
}

TEST(UiForms, HandlerClosesItsOwnFormLaterAndCloseQueryMayRefuse) {
    HeadlessUi ui;
    Dialog form;
    bool allow = false;
    int queries = 0, closes = 0;
    form.OnCloseQuery = [&](bool& canClose) {
        ++queries;
        canClose = allow;
    };
    form.OnClose = [&] { ++closes; };
    std::vector<int> queriesInHandler;
    form.btCancel.OnClick = [&] {
        form.close();
        EXPECT_TRUE(form.visible());  // still open inside the handler
        queriesInHandler.push_back(queries);
    };
    form.show();
    Click(form.btCancel);
    EXPECT_EQ(ui->pendingMessages(), 1);
    App().processMessages();
    EXPECT_EQ(queries, 1);
    EXPECT_TRUE(form.visible());  // refused
    allow = true;
    Click(form.btCancel);
    App().processMessages();
    EXPECT_EQ(queries, 2);
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(form.visible());
    EXPECT_EQ(queriesInHandler, (std::vector<int>{0, 1}));  // never asked before the handler returned
}

TEST(UiForms, ClosingTheMainFormEndsTheRunAndDestroyedFormsDropTheirQueue) {
    HeadlessUi ui;
    Dialog main;
    int shows = 0;
    main.OnShow = [&] {
        ++shows;
        main.close();
    };
    App().run(main);
    EXPECT_EQ(shows, 1);
    EXPECT_TRUE(App().terminated());
    EXPECT_FALSE(main.visible());
    {
        Dialog gone;
        gone.show();
        gone.close();
        EXPECT_EQ(ui->pendingMessages(), 1);
    }
    EXPECT_EQ(ui->pendingMessages(), 0);
    App().processMessages();
}

TEST(UiForms, ModalFormsAnswerTheirResult) {
    HeadlessUi ui;
    Dialog dialog;
    ui->onNextModal<Dialog>([](Dialog& d) {
        Type(d.edValue, "Games");
        Click(d.btOk);
    });
    EXPECT_EQ(dialog.showModal(), DialogResult::Ok);
    EXPECT_EQ(dialog.edValue.text(), "Games");
    EXPECT_FALSE(dialog.visible());

    ui->onNextModal<Dialog>([](Dialog& d) { PressKey(d.edValue, kKeyReturn); });
    EXPECT_EQ(dialog.showModal(), DialogResult::Ok);

    ui->onNextModal<Dialog>([](Dialog& d) { d.close(); });  // the close box
    EXPECT_EQ(dialog.showModal(), DialogResult::Cancel);

    ui->onNextModal<Dialog>([](Dialog&) {});  // the user does nothing: a test fault
    EXPECT_THROW(dialog.showModal(), std::logic_error);
    EXPECT_FALSE(dialog.modal());
    EXPECT_THROW(dialog.showModal(), std::logic_error);  // nothing scripted
    EXPECT_EQ(ui->modalRuns(), 4);
}

TEST(UiApplication, WorkPostedFromAnotherThreadRunsOnTheUserInterfaceThread) {
    HeadlessUi ui;
    const std::thread::id uiThread = std::this_thread::get_id();
    std::vector<std::thread::id> ranOn;
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i) App().post([&] { ranOn.push_back(std::this_thread::get_id()); });
    });
    worker.join();
    EXPECT_TRUE(ranOn.empty());  // nothing runs before the loop takes it
    App().processMessages();
    EXPECT_EQ(ranOn, (std::vector<std::thread::id>(3, uiThread)));
}

TEST(UiApplication, UnexpectedExceptionIsShownWithTheStopIconAndEndsTheProgram) {
    HeadlessUi ui;
    App().setTitle("Kumoya");
    int result = Application::Protect([] { throw std::runtime_error("disk on fire"); });
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(App().terminated());
    ASSERT_EQ(ui->messageBoxes().size(), 1u);
    EXPECT_EQ(ui->messageBoxes()[0].text, "disk on fire");
    EXPECT_EQ(ui->messageBoxes()[0].caption, "Kumoya");
    EXPECT_EQ(ui->messageBoxes()[0].icon, MsgIcon::Error);
    EXPECT_EQ(Application::Protect([] {}), 0);
}

}  // namespace
}  // namespace kumoya::ui

namespace kumoya::ui {
namespace {

class Manager : public Form {
public:
    Manager() {
        lvShurui.addColumn("Title", 300);
        lvShurui.setShowColumnHeaders(false);
        lvShurui.setSmallImages(&ilIcon);
        lvShurui.setEditLabels(true);
        tabShurui.setCaption("Categories");
        tabExt.setCaption("Extensions");
    }
    ImageList ilIcon;
    MainMenu MainMenu1{*this};
    PageControl PageControl1{*this};
    TabSheet tabShurui{PageControl1};
    TabSheet tabExt{PageControl1};
    ComboBox cmbShurui{tabShurui};
    ListView lvShurui{tabShurui};
    StatusBar StatusBar1{*this};
};

TEST(UiLists, ComboBoxFiresOnlyForTheUsersChoice) {
    HeadlessUi ui;
    Manager form;
    std::vector<std::string> seen;
    form.cmbShurui.OnChange = [&] { seen.push_back(form.cmbShurui.text()); };
    form.cmbShurui.setItems({"Tools", "Games", "Docs"});
    form.cmbShurui.setItemIndex(1);
    EXPECT_EQ(form.cmbShurui.text(), "Games");
    EXPECT_TRUE(seen.empty());
    form.cmbShurui.userSelect(2);
    form.cmbShurui.userSelect(7);  // no such item: nothing
    EXPECT_EQ(seen, (std::vector<std::string>{"Docs"}));
    form.cmbShurui.setItems({"Only"});  // the selection no longer exists
    EXPECT_EQ(form.cmbShurui.itemIndex(), -1);
    EXPECT_EQ(form.cmbShurui.text(), "");
    EXPECT_EQ(form.cmbShurui.indexOf("Only"), 0);
}

TEST(UiLists, ListViewSelectionEventsFollowTheUserNotTheProgram) {
    HeadlessUi ui;
    Manager form;
    std::vector<std::pair<int, bool>> events;
    form.lvShurui.OnSelectItem = [&](int index, bool selected) { events.emplace_back(index, selected); };
    form.lvShurui.beginUpdate();
    for (const char* title : {"Editor", "Viewer", "Player"}) {
        int i = form.lvShurui.addItem(title, form.ilIcon.add(platform::Icon(nullptr, title)));
        form.lvShurui.addSubItem(i, std::to_string(10 + i));
    }
    form.lvShurui.endUpdate();
    form.lvShurui.setSelected(0);
    EXPECT_TRUE(events.empty());

    form.lvShurui.userSelect(2);  // leaves 0, then selects 2
    form.lvShurui.userSelect(2);  // already there
    EXPECT_EQ(events, (std::vector<std::pair<int, bool>>{{0, false}, {2, true}}));
    EXPECT_EQ(form.lvShurui.item(2).subItems.at(0), "12");
    EXPECT_EQ(form.lvShurui.item(2).imageIndex, 2);

    // Deleting items keeps the selection on the same item, or clears it.
    form.lvShurui.deleteItem(0);
    EXPECT_EQ(form.lvShurui.selected(), 1);
    EXPECT_EQ(form.lvShurui.item(1).caption, "Player");
    form.lvShurui.deleteItem(1);
    EXPECT_EQ(form.lvShurui.selected(), -1);
    EXPECT_EQ(events.size(), 2u);
}

TEST(UiLists, InPlaceEditPassesThroughTheHandler) {
    HeadlessUi ui;
    Manager form;
    form.lvShurui.addItem("Old title");
    form.lvShurui.OnEdited = [](int, std::string& text) {
        if (text.size() >= 40) text.resize(39);
    };
    form.lvShurui.userEdit(0, std::string(45, 'x'));
    EXPECT_EQ(form.lvShurui.item(0).caption, std::string(39, 'x'));
    form.lvShurui.userEdit(5, "no such item");  // ignored
    EXPECT_EQ(form.lvShurui.itemCount(), 1);
}

TEST(UiLists, PageControlShowsOneSheetAndReportsOnlyUserTurns) {
    HeadlessUi ui;
    Manager form;
    int changes = 0;
    form.PageControl1.OnChange = [&] { ++changes; };
    form.show();
    EXPECT_TRUE(form.cmbShurui.reachable());
    EXPECT_EQ(form.PageControl1.pageCount(), 2);
    EXPECT_EQ(form.PageControl1.activePageIndex(), 0);
    EXPECT_TRUE(form.tabShurui.visible());
    EXPECT_FALSE(form.tabExt.visible());
    EXPECT_EQ(form.tabExt.pageIndex(), 1);

    form.PageControl1.setActivePageIndex(1);
    EXPECT_EQ(changes, 0);
    EXPECT_FALSE(form.cmbShurui.reachable());  // its sheet is hidden
    form.PageControl1.userSelectPage(0);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(form.PageControl1.activePage(), &form.tabShurui);
    EXPECT_TRUE(form.cmbShurui.reachable());
    {
        TabSheet extra{form.PageControl1};
        EXPECT_EQ(form.PageControl1.pageCount(), 3);
        form.PageControl1.setActivePageIndex(2);
    }
    // The active sheet went away: the last remaining one is active.
    EXPECT_EQ(form.PageControl1.pageCount(), 2);
    EXPECT_EQ(form.PageControl1.activePageIndex(), 1);
    EXPECT_TRUE(form.tabExt.visible());
}

TEST(UiLists, MainMenuCommandsAreRoutedThroughTheForm) {
    HeadlessUi ui;
    Manager form;
    int ends = 0;
    MenuItem& file = form.MainMenu1.items().add("&File");
    MenuItem& end = file.add("End");
    end.OnClick = [&] { ++ends; };
    EXPECT_EQ(form.mainMenu(), &form.MainMenu1);
    form.userMenuCommand(end.commandId());
    form.userMenuCommand(file.commandId() + 100000);  // unknown: nothing
    EXPECT_EQ(ends, 1);
}

}  // namespace
}  // namespace kumoya::ui
