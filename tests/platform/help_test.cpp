// F1 and the help menu: which topic a form asks for, and how a request
// reaches the HTML help beside the program when WinHelp cannot show it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/help.h"
#include "platform/ui/application.h"
#include "platform/ui/controls.h"
#include "platform/ui/form.h"
#include "platform/ui/headless.h"
#include "support/recording_shell.h"
#include "support/scratch_folder.h"

namespace kumoya {
namespace {

using testsupport::RecordingShell;
using testsupport::ScratchFolder;

class RecordingHelp : public platform::Help {
public:
    std::vector<std::uintptr_t> contexts;  // kHelpContext requests
    std::vector<unsigned> commands;
    bool Open(std::string_view, unsigned command, std::uintptr_t data) override {
        commands.push_back(command);
        if (command == platform::kHelpContext) contexts.push_back(data);
        return true;
    }
};

// A window of pages, a wizard-like window whose panels take turns, and a
// dialog without a topic of its own.
class Pages : public ui::Form {
public:
    Pages() {
        first.setHelpContext(29);
        second.setHelpContext(44);
        pages.setActivePageIndex(0);
    }
    ui::PageControl pages{*this};
    ui::TabSheet first{pages}, second{pages};
    ui::ListView list{first};
    ui::Edit edit{second};
    ui::Panel strip{*this};  // above the pages, no topic
};

class Wizard : public ui::Form {
public:
    explicit Wizard(ui::Form* owner) : ui::Form(owner) {
        one.setHelpContext(5);
        two.setHelpContext(9);
        two.setVisible(false);
        ownTopic.setHelpContext(7);
    }
    ui::Panel one{*this}, two{*this};
    ui::CheckBox check{one};
    ui::Button next{*this};
    ui::CheckBox ownTopic{two};
};

TEST(Help, F1AsksForTheTopicOfTheFocusedPartOfTheWindow) {
    ui::HeadlessUi ui;
    RecordingHelp help;
    platform::ScopedService<platform::Help> useHelp(help);
    ui::App().setHelpFile("Zelkova.hlp");

    Pages main;
    main.show();
    main.userHelp();  // nothing focused: the page shown
    main.list.setFocus();
    main.userHelp();
    main.pages.userSelectPage(1);
    main.userHelp();  // the list is on a page no longer shown
    main.edit.setFocus();
    main.userHelp(&main.strip);  // the system says where the focus is
    main.userHelp();

    Wizard wizard(&main);
    wizard.show();
    wizard.check.setFocus();
    wizard.userHelp();
    wizard.one.setVisible(false);
    wizard.two.setVisible(true);
    wizard.next.setFocus();
    wizard.userHelp();  // a button outside the panels: the panel shown
    wizard.ownTopic.setFocus();
    wizard.userHelp();  // a control with a topic of its own
    wizard.two.setVisible(false);
    wizard.userHelp();  // the end: nothing with a topic, the owner's

    ui::Form plain;
    plain.userHelp();  // no topic anywhere: the contents
    EXPECT_EQ(help.contexts, (std::vector<std::uintptr_t>{29, 29, 44, 44, 44, 5, 9, 7, 44}));
    EXPECT_EQ(help.commands.back(), platform::kHelpContents);

    // A window may take F1 over.
    int taken = 0;
    plain.OnHelp = [&] { ++taken; };
    plain.userHelp();
    EXPECT_EQ(taken, 1);
    EXPECT_EQ(help.commands.size(), 10u);
    ui::App().setHelpFile("");
}

TEST(Help, RequestsOpenTheirHtmlPageBesideTheHelpFileOrTheContents) {
    ScratchFolder dir;
    RecordingShell shell;
    platform::ScopedService<platform::Shell> useShell(shell);
    const std::string hlp = dir / "Zelkova.hlp";
    EXPECT_EQ(platform::HtmlHelpFolder(hlp), dir.path() + "help\\");

    // Without the help folder nothing can be shown, and the caller hears so.
    EXPECT_FALSE(platform::OpenHtmlHelp(hlp, platform::kHelpContents, 0));
    ASSERT_TRUE(platform::CreateDirectories(dir / "help"));
    for (const char* page : {"index.html", "keywords.html", "using-help.html", "search.html", "tips.html"})
        ASSERT_TRUE(platform::WriteFileBytes(dir / "help\\" + page, platform::Bytes{'<', 'p', '>'}));

    const std::string help = dir.path() + "help\\";
    struct Case {
        unsigned command;
        std::uintptr_t data;
        std::string page;
    } cases[] = {{platform::kHelpContents, 0, "index.html"},     {platform::kHelpFinder, 0, "keywords.html"},
                 {platform::kHelpHelpOnHelp, 0, "using-help.html"}, {platform::kHelpContext, 103, "tips.html"},
                 {platform::kHelpContext, 67, "search.html"},
                 {platform::kHelpContext, 65, "index.html"},   // its page is missing here
                 {platform::kHelpContext, 4242, "index.html"}};  // no such topic
    for (const Case& c : cases) {
        shell.opens.clear();
        EXPECT_TRUE(platform::OpenHtmlHelp(hlp, c.command, c.data)) << c.page;
        ASSERT_EQ(shell.opens.size(), 1u);
        EXPECT_EQ(shell.opens[0].file, help + c.page);
        EXPECT_TRUE(shell.opens[0].showNormal);
    }
    shell.openResult = false;  // the shell refused (no browser)
    EXPECT_FALSE(platform::OpenHtmlHelp(hlp, platform::kHelpContents, 0));
}

}  // namespace
}  // namespace kumoya
