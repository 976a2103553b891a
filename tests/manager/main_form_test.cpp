#include "manager/main_form.h"

#include <gtest/gtest.h>

#include "../online/title_file_writer.h"
#include "launcher/title_form.h"
#include "manager/input_form.h"
#include "platform/date_format.h"
#include "platform/files.h"
#include "platform/help.h"
#include "platform/registry.h"
#include "platform/ui/headless.h"
#include "support/fake_clock.h"
#include "support/recording_shell.h"
#include "support/scratch_folder.h"

using namespace kumoya;
using kumoya::platform::EncodeDateTime;
using kumoya::testsupport::FakeClock;
using kumoya::testsupport::RecordingShell;
using kumoya::testsupport::ScratchFolder;

namespace {

const std::string kEditors = "エディタ";
const std::string kTools = "ツール";
const std::string kSupportUrl = "http://example.com/editor/";

class RecordingHelp : public platform::Help {
public:
    struct Call {
        std::string file;
        unsigned command;
        std::uintptr_t data;
        bool operator==(const Call&) const = default;
    };
    std::vector<Call> calls;
    bool Open(std::string_view file, unsigned command, std::uintptr_t data) override {
        calls.push_back({std::string(file), command, data});
        return true;
    }
};

// A catalogue with an editor (in the title database, with a support page and
// two recent files), a viewer without an icon (one recent file) and a paint
// program (no history); the categories "エディタ" (editor, viewer; shown in
// the menu) and "ツール" (viewer, paint); the extension TXT (editor, viewer).
struct MainFormTest : ::testing::Test {
    MainFormTest()
        : clock(EncodeDateTime({2026, 12, 8, 10, 0, 0, 0})), useShell(shell), useRegistry(registry), useHelp(help),
          file(dir / "PC.dat") {
        TNFile nf(file);
        nf.Head.MenuAtStart = 0;
        nf.Head.CountDate = clock.Now();
        nf.Head.CategoryIndex = 0;
        editor = Add(nf, "edit.exe", "Editor");
        viewer = Add(nf, "view.exe", "Viewer");
        paint = Add(nf, "paint.exe", "Paint");
        nf.Progs.At(0).TitleIndex = 0;
        nf.Progs.At(0).LastLaunch = EncodeDateTime({2026, 12, 7, 9, 5, 7, 0});
        nf.Progs.At(1).LastLaunch = EncodeDateTime({2026, 12, 6, 0, 0, 0, 0});
        TExt editors;
        editors.Name = kEditors;
        editors.MenuFlag = 1;
        editors.AddProg(editor);
        editors.AddProg(viewer);
        nf.Categories.AddNew(editors);
        TExt tools;
        tools.Name = kTools;
        tools.AddProg(viewer);
        tools.AddProg(paint);
        nf.Categories.AddNew(tools);
        TExt txt;
        txt.Name = "TXT";
        txt.AddProg(editor);
        txt.AddProg(viewer);
        nf.Extensions.AddNew(txt);
        nf.AddHistory(dir / "old.txt", nf.Progs.At(0));
        nf.AddHistory(dir / "new.txt", nf.Progs.At(0));
        nf.AddHistory(dir / "pic.bmp", nf.Progs.At(1));
        for (const char* name : {"edit.exe", "paint.exe"}) platform::WriteFileBytes(dir / name, {});
        platform::WriteFileBytes(dir / "view.exe", {});
        shell.filesWithoutIcons.insert(dir / "view.exe");
        EXPECT_EQ(nf.Save(), 0);
    }
    ~MainFormTest() override { Finish(); }

    std::int32_t Add(TNFile& nf, const std::string& name, const std::string& title) {
        TProg p;
        p.Path = dir / name;
        p.Title = title;
        nf.Progs.AddNew(p);
        return p.Id;
    }
    void Change(const std::function<void(TNFile&)>& edit) {
        TNFile nf(file);
        ASSERT_EQ(nf.Load(), 0);
        edit(nf);
        ASSERT_EQ(nf.Save(), 0);
    }

    // Starts the program up to the open management window.
    TfrmMain& Open() {
        title = std::make_unique<TfrmTitle>(std::vector<std::string>{}, file);
        testsupport::TitleRecord entry;
        entry.title = "Editor";
        entry.fileName = "edit.exe";
        entry.supportUrl = supportUrl;
        testsupport::TitleFileWriter titles(1);
        titles.Add(entry);
        EXPECT_EQ(title->AllTitle->LoadFirstBytes(titles.Bytes()), 0);
        ui::App().run(*title);
        if (!title->MainForm) throw std::logic_error("the management window did not open");
        return *title->MainForm;
    }
    // Closes the window as the user does and lets the program end.
    void CloseWindow() {
        title->MainForm->mnuEnd->userClick();
        ui::App().processMessages();
    }
    // Ends the run: the launcher form goes and saves the catalogue.
    void Finish() { title.reset(); }
    TNFile Saved() {
        Finish();
        TNFile nf(file);
        EXPECT_EQ(nf.Load(), 0);
        return nf;
    }
    static std::vector<std::string> Captions(const ui::ListView& list) {
        std::vector<std::string> out;
        for (int i = 0; i < list.itemCount(); ++i) out.push_back(list.item(i).caption);
        return out;
    }
    static std::vector<std::string> VisibleEntries(const ui::MenuItem& menu) {
        std::vector<std::string> out;
        for (int i = 0; i < menu.count(); ++i)
            if (menu.item(i).visible()) out.push_back(menu.item(i).caption());
        return out;
    }
    static const TProg& Prog(const TNFile& nf, std::int32_t id) {
        TProg* p = nullptr;
        if (nf.Progs.FindById(id, p) != 0) throw std::logic_error("no such program");
        return *p;
    }
    static std::vector<std::int32_t> Members(const TNFile& nf, const std::string& name) {
        TExt* ext = nullptr;
        if (nf.Categories.FindByName(name, ext) != 0 && nf.Extensions.FindByName(name, ext) != 0) return {};
        return ext->CopyProgIds();
    }

    ui::HeadlessUi ui;
    FakeClock clock;
    RecordingShell shell;
    platform::ScopedService<platform::Shell> useShell;
    platform::MemoryRegistry registry;
    platform::ScopedService<platform::Registry> useRegistry;
    RecordingHelp help;
    platform::ScopedService<platform::Help> useHelp;
    ScratchFolder dir;
    std::string file;
    std::int32_t editor = 0, viewer = 0, paint = 0;
    std::unique_ptr<TfrmTitle> title;
    std::string supportUrl = kSupportUrl;
};

}  // namespace

TEST_F(MainFormTest, OpensAsAFixedWindowOnTheCategoryPageWithTheStoredCategory) {
    TfrmMain& main = Open();
    EXPECT_TRUE(main.visible());
    EXPECT_FALSE(title->PageSetup);
    EXPECT_EQ(main.caption(), "Kumoya");
    EXPECT_EQ(main.width(), 556);
    EXPECT_EQ(main.height(), 373);
    EXPECT_EQ(main.borderStyle(), ui::BorderStyle::Single);
    EXPECT_EQ(main.font().name, "ＭＳ Ｐゴシック");
    EXPECT_EQ(main.font().charset, 128);
    ASSERT_EQ(main.PageControl1.pageCount(), 4);
    std::vector<std::string> tabs;
    for (ui::TabSheet* sheet : main.PageControl1.pages()) tabs.push_back(sheet->caption());
    EXPECT_EQ(tabs, (std::vector<std::string>{"種類別", "拡張子別", "設定", "通信機能"}));

    EXPECT_EQ(main.PageControl1.activePageIndex(), 0);
    EXPECT_EQ(main.cmbShurui.items(), (std::vector<std::string>{kEditors, kTools}));
    EXPECT_EQ(main.cmbShurui.itemIndex(), 0);
    EXPECT_TRUE(main.chkVisMenu.checked());
    EXPECT_EQ(Captions(main.lvShurui), (std::vector<std::string>{"Editor", "Viewer"}));
    EXPECT_EQ(main.lvShurui.item(1).subItems, std::vector<std::string>{std::to_string(viewer)});
    // The list's icons: the shell's for the editor, the default picture for
    // the viewer, whose file has none.
    ASSERT_EQ(main.ilIcon.count(), 2);
    EXPECT_EQ(main.ilIcon.icon(main.lvShurui.item(0).imageIndex)->Source(), "small:" + (dir / "edit.exe"));
    EXPECT_EQ(main.ilIcon.icon(main.lvShurui.item(1).imageIndex)->Source(),
              platform::DefaultApplicationIcon().Source());

    // The first program is selected and everything follows it.
    EXPECT_EQ(main.lvShurui.selected(), 0);
    EXPECT_TRUE(main.btSSupport.enabled());
    EXPECT_TRUE(main.mnuSupport->visible());
    EXPECT_EQ(main.PropertySheet->edTitle.text(), "Editor");
    EXPECT_FALSE(main.PropertySheet->visible()) << "the property window waits to be asked for";
    EXPECT_TRUE(main.mnuShuAdd->enabled());
    EXPECT_FALSE(main.mnuExtAdd->enabled());
}

TEST_F(MainFormTest, TheStoredPageIsRestoredAndTheEditMenuWaitsForAProgramPage) {
    Change([](TNFile& nf) { nf.Head.MainPage = 2; });
    TfrmMain& main = Open();
    EXPECT_EQ(main.PageControl1.activePageIndex(), 2);
    EXPECT_EQ(main.PopupMenu1.tag(), 2);
    EXPECT_FALSE(main.mnuShuAdd->enabled());
    EXPECT_TRUE(main.cmbShurui.items().empty()) << "the category page is filled when it is visited";
    main.mnuExeCute->userClick();
    EXPECT_TRUE(shell.opens.empty());

    main.PageControl1.userSelectPage(0);
    EXPECT_EQ(title->NFile->Head.MainPage, 0);
    EXPECT_EQ(main.PopupMenu1.tag(), 0);
    EXPECT_EQ(Captions(main.lvShurui), (std::vector<std::string>{"Editor", "Viewer"}));
    main.PageControl1.userSelectPage(3);
    main.mnuExeCute->userClick();
    ASSERT_EQ(shell.opens.size(), 1u) << "pages 2 and 3 keep the bindings of the program page seen last";
    EXPECT_EQ(shell.opens[0].file, dir / "edit.exe");
    CloseWindow();
    EXPECT_EQ(Saved().Head.MainPage, 3);
}

TEST_F(MainFormTest, AStoredPageBeyondThePagesWrapsAroundLikeTurningPages) {
    Change([](TNFile& nf) { nf.Head.MainPage = 5; });
    TfrmMain& main = Open();
    EXPECT_EQ(main.PageControl1.activePageIndex(), 1);
    EXPECT_EQ(title->NFile->Head.MainPage, 1);
    EXPECT_TRUE(main.mnuExtAdd->enabled());
}

TEST_F(MainFormTest, WithoutAChosenCategoryTheListIsEmptyUntilTheUserPicksOne) {
    Change([](TNFile& nf) { nf.Head.CategoryIndex = -1; });
    TfrmMain& main = Open();
    EXPECT_EQ(main.lvShurui.itemCount(), 0);
    // The box can be ticked (it is disabled only once a choice leaves no
    // category), and ticking it changes no category.
    EXPECT_TRUE(main.chkVisMenu.enabled());
    Click(main.chkVisMenu);
    EXPECT_TRUE(main.chkVisMenu.checked());
    Click(main.btSExecute);
    Click(main.btSProgDel);
    EXPECT_FALSE(main.btSSupport.enabled());
    EXPECT_TRUE(shell.opens.empty());

    main.cmbShurui.userSelect(1);
    EXPECT_EQ(Captions(main.lvShurui), (std::vector<std::string>{"Viewer", "Paint"}));
    EXPECT_FALSE(main.chkVisMenu.checked());
    Click(main.chkVisMenu);
    CloseWindow();
    TNFile saved = Saved();
    EXPECT_EQ(saved.Head.CategoryIndex, 1);
    EXPECT_EQ(saved.Categories.At(1).MenuFlag, 1);
    EXPECT_EQ(saved.Categories.At(0).MenuFlag, 1) << "the check box changed nothing while no category was chosen";
}

TEST_F(MainFormTest, ShowingACategoryNeverRewritesItsMenuFlag) {
    // Setting a check box raises its click handler; the category page shows
    // a flag without storing it, so an odd stored value survives a visit.
    Change([](TNFile& nf) { nf.Categories.At(1).MenuFlag = 2; });
    TfrmMain& main = Open();
    EXPECT_TRUE(main.chkVisMenu.checked());
    main.cmbShurui.userSelect(1);
    EXPECT_FALSE(main.chkVisMenu.checked());
    main.cmbShurui.userSelect(0);
    EXPECT_TRUE(main.chkVisMenu.checked());
    CloseWindow();
    TNFile saved = Saved();
    EXPECT_EQ(saved.Categories.At(1).MenuFlag, 2);
    EXPECT_EQ(saved.Categories.At(0).MenuFlag, 1);
}

TEST_F(MainFormTest, WithNoCategoryAtAllNothingActs) {
    Change([](TNFile& nf) {
        nf.Categories.Clear();
        nf.Head.CategoryIndex = 0;
    });
    TfrmMain& main = Open();
    EXPECT_TRUE(main.cmbShurui.items().empty());
    EXPECT_EQ(main.lvShurui.itemCount(), 0);
    Click(main.btSExecute);
    Click(main.btSProgDel);
    main.mnu2Property->userClick();
    EXPECT_FALSE(main.btSSupport.enabled());
    EXPECT_TRUE(shell.opens.empty());
}

TEST_F(MainFormTest, ACategoryChosenWhileTheListIsFillingReplacesIt) {
    TfrmMain& main = Open();
    // The user picks "ツール" while the icons of "エディタ" are still loading.
    bool posted = false;
    main.cmbShurui.userSelect(1);
    main.cmbShurui.setItemIndex(0);
    ui::App().post([&] {
        posted = true;
        main.cmbShurui.userSelect(1);
    });
    main.cmbShuruiChange();
    EXPECT_TRUE(posted);
    EXPECT_EQ(Captions(main.lvShurui), (std::vector<std::string>{"Viewer", "Paint"}));
    EXPECT_EQ(main.ilIcon.count(), 2);
    EXPECT_EQ(title->NFile->Head.CategoryIndex, 1);
}

TEST_F(MainFormTest, AFillLooksEachProgramFileUpOnceAndStopsWhenTheRunEnds) {
    Change([&](TNFile& nf) {
        TExt* tools = nullptr;
        ASSERT_EQ(nf.Categories.FindByName(kTools, tools), 0);
        // Four more rows for the editor's file, written two ways.
        for (int i = 0; i < 4; ++i) tools->AddProg(Add(nf, i % 2 ? "EDIT.EXE" : "edit.exe", "Copy " + std::to_string(i)));
    });
    TfrmMain& main = Open();
    main.cmbShurui.userSelect(1);
    ASSERT_EQ(main.lvShurui.itemCount(), 6);
    EXPECT_EQ(main.ilIcon.count(), 3) << "viewer, paint and the editor's file, once each";
    for (int i = 3; i < 6; ++i) EXPECT_EQ(main.lvShurui.item(i).imageIndex, main.lvShurui.item(2).imageIndex);
    EXPECT_NE(main.lvShurui.item(0).imageIndex, main.lvShurui.item(1).imageIndex);

    // The run ends while the list fills: nobody waits for the rest.
    ui::App().post([] { ui::App().terminate(); });
    main.cmbShurui.userSelect(0);
    EXPECT_EQ(Captions(main.lvShurui), (std::vector<std::string>{"Editor"}));
    ui::App().reset();
}

TEST_F(MainFormTest, LaunchingCountsAndTakingOutKeepsTheProgramRegistered) {
    TfrmMain& main = Open();
    Click(main.btSExecute);
    main.lvShurui.userSelect(1);
    main.lvShurui.userDblClick();
    ASSERT_EQ(shell.opens.size(), 2u);
    EXPECT_EQ(shell.opens[0].file, dir / "edit.exe");
    EXPECT_EQ(shell.opens[1].file, dir / "view.exe");

    Click(main.btSProgDel);  // the viewer, still selected
    EXPECT_EQ(Captions(main.lvShurui), std::vector<std::string>{"Editor"});
    EXPECT_TRUE(ui->messageBoxes().empty());
    CloseWindow();
    TNFile saved = Saved();
    EXPECT_EQ(Members(saved, kEditors), std::vector<std::int32_t>{editor});
    EXPECT_EQ(Members(saved, kTools), (std::vector<std::int32_t>{viewer, paint}));
    EXPECT_EQ(Members(saved, "TXT"), (std::vector<std::int32_t>{editor, viewer}));
    EXPECT_EQ(saved.Progs.Count(), 3);
    EXPECT_EQ(Prog(saved, editor).TotalCount, 1);
    EXPECT_EQ(Prog(saved, viewer).TotalCount, 1);
}

TEST_F(MainFormTest, PopupMenuActsOnTheSelectedProgram) {
    TfrmMain& main = Open();
    main.lvShurui.userSelect(1);
    ui->choosePopupEntry({"起動(&K)"});
    main.lvShurui.userContextMenu({10, 10});
    ui::App().processMessages();
    ASSERT_EQ(shell.opens.size(), 1u);
    EXPECT_EQ(shell.opens[0].file, dir / "view.exe");

    main.mnu2Del->userClick();
    EXPECT_EQ(Captions(main.lvShurui), std::vector<std::string>{"Editor"});
    main.lvShurui.userSelect(0);
    main.mnuSupport->userClick();
    ASSERT_EQ(shell.opens.size(), 2u);
    EXPECT_EQ(shell.opens[1].file, kSupportUrl);
    EXPECT_TRUE(shell.opens[1].showNormal);
}

TEST_F(MainFormTest, SelectingFollowsSupportPageAndReusesTheHistoryEntries) {
    TfrmMain& main = Open();
    EXPECT_EQ(VisibleEntries(*main.mnu2Hist), (std::vector<std::string>{dir / "new.txt", dir / "old.txt"}));
    EXPECT_TRUE(main.mnu2Hist->visible());

    main.lvShurui.userSelect(1);  // the viewer: one file, no support page
    EXPECT_EQ(main.mnu2Hist->count(), 2) << "entries are reused, never deleted";
    EXPECT_EQ(VisibleEntries(*main.mnu2Hist), std::vector<std::string>{dir / "pic.bmp"});
    EXPECT_EQ(main.mnu2Hist->item(0).tag(), viewer);
    EXPECT_EQ(main.mnu2Hist->item(0).imageIndex(), main.lvShurui.item(1).imageIndex);
    EXPECT_FALSE(main.mnuSupport->visible());
    EXPECT_FALSE(main.btSSupport.enabled());
    EXPECT_EQ(main.PropertySheet->edTitle.text(), "Viewer");

    main.cmbShurui.userSelect(1);
    main.lvShurui.userSelect(1);  // paint: no history
    EXPECT_FALSE(main.mnu2Hist->visible());
}

TEST_F(MainFormTest, AddingACategoryKeepsItAsTypedAndRefusesDuplicatesBlanksAndLongNames) {
    TfrmMain& main = Open();
    auto answer = [this](std::string text, bool ok = true) {
        ui->onNextModal<TfrmInput>([text, ok](TfrmInput& f) {
            EXPECT_EQ(f.caption(), "種類名の追加");
            EXPECT_EQ(f.lbTitle.caption(), "新しい種類名を入力してください");
            EXPECT_FALSE(f.cbPopUp.visible());
            ui::Type(f.edValue, text);
            if (ok) {
                ui::PressKey(f.edValue, ui::kKeyReturn);
            } else {
                ui::Click(f.btCancel);
            }
        });
    };
    answer("  Games");
    Click(main.btShuAdd);
    answer("  GAMES");   // the same but for letter case
    main.mnuShuAdd->userClick();
    answer("   ");
    Click(main.btShuAdd);
    answer("");          // Enter on an empty field
    Click(main.btShuAdd);
    answer("Office", false);
    Click(main.btShuAdd);
    EXPECT_TRUE(ui->messageBoxes().empty());

    // 32 bytes: one more than the catalogue keeps.
    answer("ゲーム" + std::string(26, 'x'));
    Click(main.btShuAdd);
    ASSERT_EQ(ui->messageBoxes().size(), 1u);
    EXPECT_EQ(ui->messageBoxes()[0].caption, "種類名の追加");
    EXPECT_EQ(ui->messageBoxes()[0].icon, ui::MsgIcon::Error);
    const std::string longest = "ゲーム" + std::string(25, 'x');  // 31 bytes
    answer(longest);
    Click(main.btShuAdd);
    EXPECT_EQ(ui->unusedScript(), "");

    EXPECT_EQ(main.cmbShurui.items(), (std::vector<std::string>{kEditors, kTools, "  Games", longest}));
    EXPECT_EQ(main.cmbShurui.itemIndex(), 0) << "the selection stays";
    EXPECT_EQ(Captions(main.lvShurui), (std::vector<std::string>{"Editor", "Viewer"}));
    CloseWindow();
    TNFile saved = Saved();
    ASSERT_EQ(saved.Categories.Count(), 4);
    EXPECT_EQ(saved.Categories.At(2).Name, "  Games");
    EXPECT_EQ(saved.Categories.At(2).MenuFlag, 0);
    EXPECT_EQ(saved.Categories.At(2).ProgCount(), 0);
    EXPECT_EQ(saved.Categories.At(3).Name, longest);
}

TEST_F(MainFormTest, ATitleEditedInTheListIsStoredWithinItsLimit) {
    TfrmMain& main = Open();
    main.lvShurui.userEdit(0, "My editor");
    EXPECT_EQ(main.lvShurui.item(0).caption, "My editor");
    EXPECT_EQ(main.PropertySheet->edTitle.text(), "My editor");
    EXPECT_TRUE(ui->messageBoxes().empty());

    // Twenty double-byte characters are 40 bytes: cut to 19 characters,
    // never inside one.
    std::string wide;
    for (int i = 0; i < 20; ++i) wide += "表";
    main.lvShurui.userEdit(1, wide);
    ASSERT_EQ(ui->messageBoxes().size(), 1u);
    EXPECT_EQ(ui->messageBoxes()[0].text, "入力限界文字数を超えました。");
    EXPECT_EQ(ui->messageBoxes()[0].caption, "タイトルの変更");
    EXPECT_EQ(ui->messageBoxes()[0].icon, ui::MsgIcon::None);
    EXPECT_EQ(main.lvShurui.item(1).caption, wide.substr(0, 38));

    main.lvShurui.userEdit(0, "  ");
    EXPECT_EQ(main.lvShurui.item(0).caption, "My editor") << "a blank title is not taken";
    ASSERT_EQ(ui->messageBoxes().size(), 2u) << "and the user is told why";
    EXPECT_EQ(ui->messageBoxes()[1].text, kMsgTitleBlank);
    EXPECT_EQ(ui->messageBoxes()[1].caption, "タイトルの変更");
    EXPECT_EQ(ui->messageBoxes()[1].icon, ui::MsgIcon::Error);
    CloseWindow();
    TNFile saved = Saved();
    EXPECT_EQ(Prog(saved, editor).Title, "My editor");
    EXPECT_EQ(Prog(saved, viewer).Title, wide.substr(0, 38));
}

TEST_F(MainFormTest, PropertyWindowShowsTheProgramAndStoresItsTitleOnEnter) {
    TfrmMain& main = Open();
    TfrmProperty& sheet = *main.PropertySheet;
    main.lvShurui.userSelect(1);
    main.mnu2Property->userClick();
    EXPECT_TRUE(sheet.visible());
    EXPECT_TRUE(sheet.stayOnTop());
    EXPECT_EQ(sheet.caption(), "プロパティ");
    EXPECT_EQ(sheet.lbPath.caption(), dir / "view.exe");
    EXPECT_EQ(sheet.lbDate.caption(), platform::FormatShortDate({2026, 12, 6})) << "launched at midnight: no time";
    EXPECT_EQ(sheet.lbParam.caption(), "");
    EXPECT_EQ(sheet.imIcon.icon().Source(), platform::DefaultApplicationIcon().Source());

    main.lvShurui.userSelect(0);
    EXPECT_EQ(sheet.lbDate.caption(), platform::FormatShortDate({2026, 12, 7}) + " " +
                                          platform::FormatLongTime({2026, 12, 7, 9, 5, 7}));
    Click(sheet.imIcon);
    ASSERT_EQ(shell.opens.size(), 1u);
    EXPECT_EQ(shell.opens[0].file, dir / "edit.exe");

    // Typing alone changes nothing; Enter stores the title and reloads the list.
    ui::Type(sheet.edTitle, "Text editor");
    EXPECT_EQ(title->NFile->Progs.At(0).Title, "Editor");
    ui::PressKey(sheet.edTitle, ui::kKeyReturn);
    EXPECT_EQ(title->NFile->Progs.At(0).Title, "Text editor");
    EXPECT_EQ(Captions(main.lvShurui), (std::vector<std::string>{"Text editor", "Viewer"}));
    EXPECT_EQ(main.lvShurui.selected(), 0);

    // 40 characters fit the field; the stored title keeps 39 bytes.
    ui::Type(sheet.edTitle, std::string(40, 'a'));
    ui::PressKey(sheet.edTitle, ui::kKeyReturn);
    EXPECT_EQ(title->NFile->Progs.At(0).Title, std::string(39, 'a'));
    EXPECT_EQ(ui->messageBoxes().size(), 1u);

    // Closing hides it; the menu shows it again.
    sheet.userClose();
    EXPECT_FALSE(sheet.visible());
    main.mnu2Property->userClick();
    EXPECT_TRUE(sheet.visible());
    CloseWindow();
    EXPECT_FALSE(sheet.visible());
    EXPECT_EQ(Prog(Saved(), editor).Title, std::string(39, 'a'));
}

TEST_F(MainFormTest, ABlankTitleInThePropertyWindowIsRefusedWithAMessage) {
    TfrmMain& main = Open();
    TfrmProperty& sheet = *main.PropertySheet;
    main.lvShurui.userSelect(0);
    main.mnu2Property->userClick();
    ui::Type(sheet.edTitle, " ");
    ui::PressKey(sheet.edTitle, ui::kKeyReturn);
    ASSERT_EQ(ui->messageBoxes().size(), 1u);
    EXPECT_EQ(ui->messageBoxes()[0].text, kMsgTitleBlank);
    EXPECT_EQ(ui->messageBoxes()[0].caption, "タイトルの変更");
    EXPECT_EQ(sheet.edTitle.text(), "Editor") << "the field shows the title kept";
    EXPECT_EQ(title->NFile->Progs.At(0).Title, "Editor");
    CloseWindow();
    EXPECT_EQ(Prog(Saved(), editor).Title, "Editor");
}

TEST_F(MainFormTest, EnterWithoutAProgramShownDoesNothing) {
    Change([](TNFile& nf) { nf.Head.CategoryIndex = -1; });
    TfrmMain& main = Open();
    TfrmProperty& sheet = *main.PropertySheet;
    main.mnu2Property->userClick();
    EXPECT_TRUE(sheet.edTitle.readOnly());
    EXPECT_FALSE(sheet.imIcon.enabled());
    int key = ui::kKeyReturn;
    main.PropertyTitleKeyDown(key);
    sheet.imIconClick();
    EXPECT_TRUE(shell.opens.empty());
    EXPECT_EQ(main.lvShurui.itemCount(), 0);
}

TEST_F(MainFormTest, ClosingEndsTheProgramAndTheCatalogueIsSaved) {
    TfrmMain& main = Open();
    Click(main.chkVisMenu);
    EXPECT_FALSE(title->CanClose);
    CloseWindow();
    EXPECT_TRUE(title->CanClose);
    EXPECT_FALSE(main.visible());
    EXPECT_TRUE(ui::App().terminated());
    // After closing began the property window is no longer refilled.
    main.ShowProperties(0, &title->NFile->Progs.At(2));
    EXPECT_NE(main.PropertySheet->edTitle.text(), "Paint");
    EXPECT_EQ(Saved().Categories.At(0).MenuFlag, 0);
}

TEST_F(MainFormTest, HelpItemsAskTheHelpFileBesideTheProgram) {
    ui::App().setHelpFile("Zelkova.hlp");
    TfrmMain& main = Open();
    ui::MenuItem* helpMenu = main.MainMenu1.items().find("ﾍﾙﾌﾟ(&H)");
    ASSERT_NE(helpMenu, nullptr);
    for (int i = 0; i < helpMenu->count(); ++i) helpMenu->item(i).userClick();
    const std::string hlp = platform::ProgramFolder() + "Zelkova.hlp";
    EXPECT_EQ(help.calls, (std::vector<RecordingHelp::Call>{
                              {hlp, 3, 0}, {hlp, 11, 0}, {hlp, 1, 103}, {hlp, 4, 0}}));

    // F1: the topic of the page shown, or of the property window.
    help.calls.clear();
    main.userHelp();
    main.PageControl1.userSelectPage(3);
    main.userHelp();
    main.PropertySheet->userHelp();
    EXPECT_EQ(help.calls, (std::vector<RecordingHelp::Call>{{hlp, 1, 29}, {hlp, 1, 59}, {hlp, 1, 93}}));
}

// The network page's update button: the user asked, so a question switched
// off at some start-up no longer holds; a started updater ends the program.
TEST_F(MainFormTest, TheUpdateButtonRunsAForcedUpdateAndEndsTheRunWhenTheUpdaterStarted) {
    TfrmMain& main = Open();
    main.PageControl1.userSelectPage(3);
    EXPECT_EQ(main.btCheck.caption(), "KumoUpdate");
    AppContext& context = title->Context();
    std::vector<std::pair<bool, bool>> runs;  // forced, question switched off during the run
    int answer = 0;
    context.RunUpdate = [&](bool forced) {
        runs.emplace_back(forced, (title->NFile->Head.Flags & THead::NoUpdateQuestion) != 0);
        return answer;
    };
    constexpr std::uint32_t kOther = 0x40;
    for (int a : {0, -1, 1}) {
        answer = a;
        title->NFile->Head.Flags |= THead::NoUpdateQuestion | kOther;
        Click(main.btCheck);
        ui::App().processMessages();
        EXPECT_EQ(title->NFile->Head.Flags & kOther, kOther);
        EXPECT_EQ(title->CanClose, a == 1) << a;
        EXPECT_EQ(main.visible(), a != 1) << a;
    }
    EXPECT_EQ(runs, (std::vector<std::pair<bool, bool>>{{true, false}, {true, false}, {true, false}}));
    EXPECT_TRUE(ui::App().terminated());
}

// The registration dialog and the wizard belong to other windows: the
// management window asks the run for them, in the mode each command needs,
// owned by itself, and reloads what each command reloads.
TEST_F(MainFormTest, CommandsAskTheRunForTheRegistrationDialogAndTheWizard) {
    TfrmMain& main = Open();
    struct Asked {
        RegistrationMode mode;
        std::string path;
        ui::Form* owner;
    };
    std::vector<Asked> registrations;
    std::vector<std::pair<bool, int>> wizards;
    AppContext& context = title->Context();
    context.RunRegistration = [&](const RegistrationRequest& request) {
        registrations.push_back({request.Mode, request.Path, request.Owner});
        // As the dialog may: a new program in the category shown.
        TProg added;
        added.Path = dir / "new.exe";
        added.Title = "New";
        title->NFile->Progs.AddNew(added);
        title->NFile->Categories.At(0).AddProg(added.Id);
        return ui::DialogResult::Ok;
    };
    context.RunWizard = [&](ui::Form* owner, bool singlePage, int page) {
        EXPECT_EQ(owner, &main);
        wizards.emplace_back(singlePage, page);
        return ui::DialogResult::Ok;
    };

    Click(main.btSProgAdd);
    ASSERT_EQ(registrations.size(), 1u);
    EXPECT_EQ(registrations[0].mode, RegistrationMode::ForSearch);
    EXPECT_EQ(registrations[0].owner, &main);
    EXPECT_EQ(Captions(main.lvShurui), (std::vector<std::string>{"Editor", "Viewer", "New"}));

    main.lvShurui.userSelect(1);
    main.mnu2Info->userClick();
    ASSERT_EQ(registrations.size(), 2u);
    EXPECT_EQ(registrations[1].mode, RegistrationMode::ForFile);
    EXPECT_EQ(registrations[1].path, dir / "view.exe");

    main.mnuProgEdt->userClick();
    ASSERT_EQ(registrations.size(), 3u);
    EXPECT_EQ(registrations[2].mode, RegistrationMode::ForCatalogue);
    EXPECT_EQ(registrations[2].owner, &main);
    EXPECT_EQ(main.lvShurui.itemCount(), 5);

    platform::WriteFileBytes(dir / "tool.exe", {});
    platform::WriteFileBytes(dir / "notes.txt", {});
    main.userDropFiles({dir / "notes.txt", dir / "tool.exe"});
    ASSERT_EQ(registrations.size(), 4u);
    EXPECT_EQ(registrations[3].mode, RegistrationMode::ForFile);
    EXPECT_EQ(registrations[3].path, dir / "tool.exe");

    ui::MenuItem* wizard = main.MainMenu1.items().find("ｳｲｻﾞｰﾄﾞ(&W)");
    ASSERT_NE(wizard, nullptr);
    wizard->item(0).userClick();
    wizard->item(4).userClick();
    EXPECT_EQ(wizards, (std::vector<std::pair<bool, int>>{{true, 0}, {true, 4}}));
}

// ---- the settings page ----

TEST_F(MainFormTest, SettingsPageShowsAndStoresTheSwitches) {
    Change([](TNFile& nf) {
        nf.Head.MainPage = 2;
        nf.Head.MenuAtStart = 7;
        nf.Head.HistoryMax = 12;
    });
    TfrmMain& main = Open();
    EXPECT_EQ(main.edHistNum.text(), "12");
    EXPECT_EQ(title->NFile->Head.HistoryMax, 12) << "showing the size is no change of it";
    EXPECT_TRUE(main.cbMenuVisible.checked());
    EXPECT_EQ(title->NFile->Head.MenuAtStart, 7) << "showing the switch is no change of it";
    EXPECT_EQ(main.rgExt.itemIndex(), 0);
    EXPECT_EQ(main.cbMenu.itemIndex(), -1);
    EXPECT_EQ(main.lvSonota.itemCount(), 0);

    Click(main.cbMenuVisible);
    EXPECT_EQ(title->NFile->Head.MenuAtStart, 0);
    main.udHist.userStep(true);
    EXPECT_EQ(title->NFile->Head.HistoryMax, 13);
    const std::pair<const char*, int> typed[] = {{"250", 250}, {"-4", -4}, {"", 3},       {"x", 3},
                                                 {"7a", 3},    {"+8", 8},  {"99999999999", 3}};
    for (const auto& [text, stored] : typed) {
        main.edHistNum.userSetText(text);
        EXPECT_EQ(title->NFile->Head.HistoryMax, stored) << "typed \"" << text << '"';
    }
    main.edHistNum.userSetText("100");
    main.udHist.userStep(true);
    EXPECT_EQ(title->NFile->Head.HistoryMax, 100) << "the arrows stop at 100";

    Click(main.btHistClear);
    ASSERT_EQ(ui->messageBoxes().size(), 1u);
    EXPECT_EQ(ui->messageBoxes()[0].text, "履歴をクリアしました。");
    EXPECT_EQ(ui->messageBoxes()[0].caption, "履歴のクリア");
    EXPECT_EQ(title->NFile->History.Count(), 0);
    CloseWindow();
    TNFile saved = Saved();
    EXPECT_EQ(saved.Head.MenuAtStart, 0);
    EXPECT_EQ(saved.History.Count(), 0);
}

TEST_F(MainFormTest, RankingsByTodayTotalAndDateAndClearingTheCounts) {
    Change([this](TNFile& nf) {
        nf.Head.MainPage = 2;
        TProg* p = nullptr;
        nf.Progs.FindById(editor, p);
        p->TodayCount = 9999;
        p->TotalCount = 5;
        nf.Progs.FindById(viewer, p);
        p->TodayCount = 10000;
        p->TotalCount = 0;
        nf.Progs.FindById(paint, p);
        p->TodayCount = 0;
        p->TotalCount = 12;
    });
    TfrmMain& main = Open();
    auto values = [&main] {
        std::vector<std::string> out;
        for (int i = 0; i < main.lvSonota.itemCount(); ++i)
            out.push_back(main.lvSonota.item(i).caption + "=" + main.lvSonota.item(i).subItems.at(1));
        return out;
    };
    // The value column: counts beside a wide title, dates beside a narrower one.
    auto columns = [&main] {
        std::vector<std::string> out;
        for (const ui::ListColumn& column : main.lvSonota.columns())
            out.push_back(column.caption + ":" + std::to_string(column.width));
        return out;
    };
    const std::vector<std::string> counts{"タイトル:180", "Pos:0", "回数:40"};
    const std::vector<std::string> dates{"タイトル:120", "Pos:0", "起動日時:100"};
    EXPECT_EQ(columns(), counts) << "set when the page is filled, before any ranking is chosen";
    main.cbMenu.userSelect(0);
    EXPECT_EQ(values(), (std::vector<std::string>{"Viewer=10000", "Editor=9999"}));
    EXPECT_EQ(main.lvSonota.selected(), 0);
    main.cbMenu.userSelect(1);
    EXPECT_EQ(values(), (std::vector<std::string>{"Paint=12", "Editor=5"}));
    EXPECT_EQ(columns(), counts);
    main.cbMenu.userSelect(2);
    EXPECT_EQ(columns(), dates);
    // The viewer was launched on the 6th, the editor on the 7th at 9:05.
    EXPECT_EQ(values(), (std::vector<std::string>{"Viewer=2026/12/06/00:00:00", "Editor=2026/12/07/09:05:05"}));

    main.cbMenu.userSelect(0);
    EXPECT_EQ(columns(), counts);
    Click(main.btExecute);
    ASSERT_FALSE(ui->messageBoxes().empty());
    EXPECT_EQ(ui->messageBoxes().back().text, "起動回数をクリアしました。");
    EXPECT_EQ(values(), (std::vector<std::string>{"Viewer=10000", "Editor=9999"}));
    main.cbMenu.userSelect(1);
    EXPECT_TRUE(values().empty()) << "every total count is 0 now";

    main.cbMenu.userSelect(2);
    main.lvSonota.userSelect(1);
    main.lvSonota.userDblClick();
    ASSERT_EQ(shell.opens.size(), 1u);
    EXPECT_EQ(shell.opens[0].file, dir / "edit.exe");
    main.mnu2Kidou->userClick();
    EXPECT_EQ(shell.opens.size(), 2u) << "the popup menu's launch acts on this page's list";
}

TEST_F(MainFormTest, AssociatingAndGivingBackFromTheSettingsPage) {
    Change([](TNFile& nf) { nf.Head.MainPage = 2; });
    registry.WriteString(platform::RegistryRoot::ClassesRoot, ".TXT", "", "txtfile");
    TfrmMain& main = Open();
    Click(main.btRegistry);
    ASSERT_EQ(ui->messageBoxes().size(), 1u);
    EXPECT_EQ(ui->messageBoxes()[0].text, "拡張子を「Kumoya」に関連付けました。");
    EXPECT_EQ(ui->messageBoxes()[0].caption, "拡張子の関連付け");
    EXPECT_EQ(registry.ReadString(platform::RegistryRoot::ClassesRoot, ".TXT", ""), "Zelkdoc");
    EXPECT_EQ(registry.ReadString(platform::RegistryRoot::ClassesRoot, "Zelkdoc\\shell\\open\\command", ""),
              title->Context().ProgramPath() + " \"%1\"");
    main.rgExt.userSelect(1);
    Click(main.btRegistry);
    ASSERT_EQ(ui->messageBoxes().size(), 2u);
    EXPECT_EQ(ui->messageBoxes()[1].text, "拡張子を元のプログラムに関連付けました。");
    EXPECT_EQ(registry.ReadString(platform::RegistryRoot::ClassesRoot, ".TXT", ""), "txtfile");
}

TEST_F(MainFormTest, ASupportAddressThatIsNoWebPageIsNeverOpened) {
    supportUrl = "C:\\Windows\\notepad.exe";
    TfrmMain& main = Open();
    EXPECT_FALSE(main.btSSupport.enabled());
    EXPECT_FALSE(main.mnuSupport->visible());
    main.btSSupportClick();
    EXPECT_TRUE(shell.opens.empty());
}

TEST(DroppedProgramFileTest, OnlyProgramFilesOtherThanTheLauncherAndShortcutsToThem) {
    ScratchFolder dir;
    for (const char* name : {"tool.exe", "Zelkova.exe", "notes.txt"}) platform::WriteFileBytes(dir / name, {});
    TSCMake links;
    auto link = [&](const std::string& name, const std::string& target) {
        TSCMake maker;
        maker.SCDir = dir.path().substr(0, dir.path().size() - 1);
        maker.SCName = name;
        maker.LinkPath = target;
        EXPECT_GE(maker.CreateLink(), 0);
        return dir / (name + ".lnk");
    };
    EXPECT_EQ(DroppedProgramFile(dir / "tool.exe", links), dir / "tool.exe");
    EXPECT_EQ(DroppedProgramFile(dir / "TOOL.EXE", links), dir / "TOOL.EXE");
    EXPECT_EQ(DroppedProgramFile(dir / "notes.txt", links), std::nullopt);
    EXPECT_EQ(DroppedProgramFile(dir / "Zelkova.exe", links), std::nullopt);
    EXPECT_EQ(DroppedProgramFile(link("tool", dir / "tool.exe"), links), dir / "tool.exe");
    EXPECT_EQ(DroppedProgramFile(link("gone", dir / "gone.exe"), links), std::nullopt);
    EXPECT_EQ(DroppedProgramFile(link("notes", dir / "notes.txt"), links), std::nullopt);
    EXPECT_EQ(DroppedProgramFile(link("self", dir / "Zelkova.exe"), links), std::nullopt);
    // An earlier shortcut's target must not stand in for an unreadable one.
    platform::WriteFileBytes(dir / "broken.lnk", {1, 2, 3});
    EXPECT_EQ(DroppedProgramFile(dir / "broken.lnk", links), std::nullopt);
}
