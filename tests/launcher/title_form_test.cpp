#include "launcher/title_form.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/ui/application.h"
#include "platform/ui/headless.h"
#include "registration/add_exe_form.h"
#include "registration/wizard_form.h"
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

// A catalogue with an editor and a viewer in the shown category "エディタ",
// a hidden category, TXT (editor, viewer; marked for choice) and LOG (editor),
// and real files to open.
struct TitleFormTest : ::testing::Test {
    TitleFormTest()
        : clock(EncodeDateTime({2026, 12, 8, 10, 0, 0, 0})), useShell(shell), useRegistry(registry),
          file(dir / "PC.dat") {
        for (const char* name : {"a.txt", "b.txt", "c.log", "d.gif", "My Documents.txt"})
            platform::WriteFileBytes(dir / name, {});
        platform::CreateDirectories(dir / "My Documents");
        platform::WriteFileBytes(dir / "My Documents\\notes.log", {});

        TNFile nf(file);
        editor.Path = dir / "edit.exe";
        editor.Title = "Editor";
        viewer.Path = dir / "view.exe";
        viewer.Title = "Viewer";
        nf.Progs.AddNew(editor);
        nf.Progs.AddNew(viewer);
        TExt shown;
        shown.Name = kEditors;
        shown.MenuFlag = 1;
        shown.AddProg(editor.Id);
        shown.AddProg(viewer.Id);
        nf.Categories.AddNew(shown);
        TExt hidden;
        hidden.Name = kTools;
        hidden.AddProg(viewer.Id);
        nf.Categories.AddNew(hidden);
        TExt txt;
        txt.Name = "TXT";
        txt.MenuFlag = 1;
        txt.AddProg(editor.Id);
        txt.AddProg(viewer.Id);
        nf.Extensions.AddNew(txt);
        TExt log;
        log.Name = "LOG";
        log.AddProg(editor.Id);
        nf.Extensions.AddNew(log);
        nf.Head.CountDate = clock.Now();
        nf.AddHistory(dir / "a.txt", nf.Progs.At(0));
        EXPECT_EQ(nf.Save(), 0);
    }

    // One run of the program with these arguments, to its end.
    void Run(std::vector<std::string> args) {
        TfrmTitle form(std::move(args), file);
        ui::App().run(form);
        imageSources.clear();
        for (int i = 0; i < form.ImageList1.count(); ++i) imageSources.push_back(form.ImageList1.icon(i)->Source());
    }
    TNFile Saved() {
        TNFile nf(file);
        EXPECT_EQ(nf.Load(), 0);
        return nf;
    }
    static TProg& Prog(TNFile& nf, int id) {
        TProg* p = nullptr;
        nf.Progs.FindById(id, p);
        return *p;
    }
    static std::vector<std::string> History(TNFile& nf, int id) {
        std::vector<std::string> out;
        THist* h = nullptr;
        if (nf.History.FindByProg(id, h) == 0)
            for (int i = 0; i < h->ItemCount(); ++i) out.push_back(h->ItemAt(i).Text);
        return out;
    }
    // A popup action that records the captions of the top level before
    // choosing the entry at `path`.
    void ChooseAndRecord(std::vector<std::string> path) {
        ui->onNextPopup([this, path](ui::PopupMenu& menu) -> ui::MenuItem* {
            std::vector<std::string> top;
            for (int i = 0; i < menu.items().count(); ++i) top.push_back(menu.items().item(i).caption());
            shownMenus.push_back(top);
            ui::MenuItem* item = &menu.items();
            for (const auto& caption : path) {
                item = item->find(caption);
                if (!item) return nullptr;
            }
            return item;
        });
    }

    ui::HeadlessUi ui;
    FakeClock clock;
    RecordingShell shell;
    platform::ScopedService<platform::Shell> useShell;
    platform::MemoryRegistry registry;
    platform::ScopedService<platform::Registry> useRegistry;
    ScratchFolder dir;
    std::string file;
    TProg editor, viewer;
    std::vector<std::string> imageSources;
    std::vector<std::vector<std::string>> shownMenus;
};

}  // namespace

TEST_F(TitleFormTest, LaunchMenuStartsTheChosenProgramAndSavesTheCount) {
    ChooseAndRecord({kEditors, "Viewer"});
    Run({});
    ASSERT_EQ(ui->popups().size(), 1u);
    EXPECT_EQ(shownMenus.at(0), (std::vector<std::string>{kEditors, kMainWindowEntry}))
        << "hidden categories stay out; the main-window entry comes last";
    ASSERT_EQ(shell.opens.size(), 1u);
    EXPECT_EQ(shell.opens[0].file, viewer.Path);
    EXPECT_EQ(shell.opens[0].parameters, "");
    TNFile saved = Saved();
    EXPECT_EQ(Prog(saved, viewer.Id).TotalCount, 1);
    EXPECT_TRUE(History(saved, viewer.Id).empty());
}

TEST_F(TitleFormTest, HistorySubmenuStartsTheProgramWithTheFileOrWithout) {
    // The program's own entry heads its history submenu: no file, history kept.
    ChooseAndRecord({kEditors, "Editor", "Editor"});
    Run({});
    ASSERT_EQ(shell.opens.size(), 1u);
    EXPECT_EQ(shell.opens[0].parameters, "");
    EXPECT_EQ(History(*std::make_unique<TNFile>(Saved()), editor.Id), std::vector<std::string>{dir / "a.txt"});

    ChooseAndRecord({kEditors, "Editor", dir / "a.txt"});
    Run({});
    ASSERT_EQ(shell.opens.size(), 2u);
    EXPECT_EQ(shell.opens[1].file, editor.Path);
    EXPECT_EQ(shell.opens[1].parameters, "\"" + (dir / "a.txt") + "\"");
    TNFile saved = Saved();
    EXPECT_EQ(Prog(saved, editor.Id).TotalCount, 2);
}

TEST_F(TitleFormTest, AHistoryFileThatIsGoneStartsNothing) {
    platform::DeleteFileAt(dir / "a.txt");
    ChooseAndRecord({kEditors, "Editor", dir / "a.txt"});
    Run({});
    EXPECT_TRUE(shell.opens.empty());
    TNFile saved = Saved();
    EXPECT_EQ(Prog(saved, editor.Id).TotalCount, 0);
}

TEST_F(TitleFormTest, ADismissedMenuEndsTheRunAndSaves) {
    ui->dismissPopup();
    Run({});
    EXPECT_TRUE(shell.opens.empty());
    EXPECT_EQ(ui->popups().size(), 1u);
    EXPECT_TRUE(platform::FileExists(file));
}

TEST_F(TitleFormTest, NoMenuWithoutShownProgramsOrWhenTurnedOff) {
    {
        TNFile nf(file);
        nf.Load();
        nf.Categories.At(0).MenuFlag = 0;
        nf.Save();
    }
    Run({});
    EXPECT_TRUE(ui->popups().empty()) << "no shown category with programs: the management window instead";
    {
        TNFile nf(file);
        nf.Load();
        nf.Categories.At(0).MenuFlag = 1;
        nf.Head.MenuAtStart = 0;
        nf.Save();
    }
    Run({});
    EXPECT_TRUE(ui->popups().empty());
    EXPECT_TRUE(shell.opens.empty());
}

TEST_F(TitleFormTest, FirstRunRecordsThePathAndCreatesTheCatalogue) {
    platform::DeleteFileAt(file);
    ui->onNextModal<TfrmWizard>([](TfrmWizard& wizard) {
        EXPECT_EQ(wizard.Page, 0) << "the whole wizard, from its first page";
        EXPECT_FALSE(wizard.SinglePage);
        EXPECT_TRUE(wizard.pnlFirst.visible());
        ui::Click(wizard.btCancel);
    });
    Run({});
    EXPECT_EQ(ui->modalRuns(), 1);
    EXPECT_TRUE(ui->popups().empty()) << "a first run opens no launch menu";
    EXPECT_EQ(registry.ReadString(platform::RegistryRoot::LocalMachine, "SOFTWARE\\vor\\zelkova", "Path"),
              platform::ProgramPath());
    EXPECT_EQ(platform::ReadFileBytes(file)->size(), 1116u);
}

TEST_F(TitleFormTest, SwitchDeletesItsFileInAnyCaseThenShowsTheMenu) {
    platform::WriteFileBytes(dir / "old.exe", {});
    ui->dismissPopup();
    Run({"-vorwork", dir / "old.exe", dir / "a.txt"});
    EXPECT_FALSE(platform::FileExists(dir / "old.exe"));
    EXPECT_EQ(ui->popups().size(), 1u);
    EXPECT_TRUE(shell.opens.empty()) << "the arguments after the switch are ignored";

    ui->dismissPopup();
    Run({"-VORWORK", dir / "missing.exe"});
    EXPECT_EQ(ui->popups().size(), 2u);
}

TEST_F(TitleFormTest, FileArgumentsOpenWithTheirProgramsInTurn) {
    // c.log: one program, no choice. The split path is joined again. d.gif is
    // left to the system. a.txt asks for a choice among TXT's programs.
    ChooseAndRecord({"Viewer"});
    Run({dir / "c.log", dir / "My", "Documents\\notes.log", dir / "d.gif", dir / "a.txt"});
    ASSERT_EQ(shell.opens.size(), 4u);
    EXPECT_EQ(shell.opens[0].file, editor.Path);
    EXPECT_EQ(shell.opens[0].parameters, "\"" + (dir / "c.log") + "\"");
    EXPECT_EQ(shell.opens[1].parameters, "\"" + (dir / "My Documents\\notes.log") + "\"");
    EXPECT_EQ(shell.opens[2].file, dir / "d.gif");
    EXPECT_EQ(shell.opens[2].parameters, "");
    EXPECT_EQ(shell.opens[3].file, viewer.Path);
    EXPECT_EQ(shownMenus.at(0), (std::vector<std::string>{"Editor", "Viewer"}));
    TNFile saved = Saved();
    EXPECT_EQ(History(saved, viewer.Id), std::vector<std::string>{dir / "a.txt"});
    EXPECT_EQ(History(saved, editor.Id).size(), 3u) << "c.log, notes.log and the older a.txt";
}

TEST_F(TitleFormTest, TwoFilesThatNeedAChoiceEachShowTheirOwnMenu) {
    ChooseAndRecord({"Editor"});
    ui->dismissPopup();
    Run({dir / "a.txt", dir / "b.txt"});
    EXPECT_EQ(ui->popups().size(), 2u);
    ASSERT_EQ(shell.opens.size(), 1u) << "the dismissed menu starts nothing and the run goes on";
    EXPECT_EQ(shell.opens[0].parameters, "\"" + (dir / "a.txt") + "\"");
    EXPECT_EQ(imageSources, (std::vector<std::string>{"first:" + editor.Path, "first:" + viewer.Path}));
}

TEST_F(TitleFormTest, ProgramsWithoutAnIconShowTheDefaultOneAndTheOthersKeepTheirs) {
    shell.filesWithoutIcons.insert(editor.Path);
    ui->choosePopupEntry({kEditors, "Viewer"});
    Run({});
    EXPECT_EQ(imageSources, (std::vector<std::string>{"default-application", "first:" + viewer.Path}));
}

TEST_F(TitleFormTest, IconsAreFetchedOnlyForCategoriesThatAreOpened) {
    ui->dismissPopup();
    Run({});
    EXPECT_EQ(imageSources, (std::vector<std::string>{"", ""})) << "the images keep their places, still empty";
}

TEST_F(TitleFormTest, ShortcutArgumentsOpenTheirTarget) {
    TSCMake make;
    make.SCDir = dir.path().substr(0, dir.path().size() - 1);
    make.SCName = "to b";
    make.LinkPath = dir / "b.txt";
    ASSERT_GE(make.CreateLink(), 0);
    make.SCName = "to nothing";
    make.LinkPath = dir / "gone.txt";
    ASSERT_GE(make.CreateLink(), 0);

    ChooseAndRecord({"Editor"});
    Run({dir / "to b.lnk"});
    ASSERT_EQ(shell.opens.size(), 1u);
    EXPECT_EQ(shell.opens[0].parameters, "\"" + (dir / "b.txt") + "\"");

    Run({dir / "to nothing.LNK", dir / "c.log"});
    ASSERT_EQ(ui->messageBoxes().size(), 1u);
    EXPECT_EQ(ui->messageBoxes()[0].text, kMsgFileMissing);
    EXPECT_EQ(ui->messageBoxes()[0].caption, kCaptionStart);
    EXPECT_EQ(ui->messageBoxes()[0].icon, ui::MsgIcon::Error);
    EXPECT_EQ(shell.opens.size(), 1u) << "the run ends at the broken shortcut";

    // A file that is no shortcut at all, named .lnk, has no target either.
    platform::WriteFileBytes(dir / "fake.lnk", {'x'});
    Run({dir / "fake.lnk"});
    EXPECT_EQ(ui->messageBoxes().size(), 2u);
}

TEST_F(TitleFormTest, HistorySizeIsAppliedAtExit) {
    {
        TNFile nf(file);
        nf.Load();
        nf.Head.HistoryMax = 1;
        nf.AddHistory(dir / "b.txt", nf.Progs.At(0));
        nf.Save();
    }
    ui->dismissPopup();
    Run({});
    TNFile saved = Saved();
    EXPECT_EQ(saved.History.Limit, 1);
    EXPECT_EQ(History(saved, editor.Id), std::vector<std::string>{dir / "b.txt"});
}

TEST_F(TitleFormTest, ADamagedCatalogueIsKeptAsideAndTheRunStartsAfresh) {
    std::vector<std::uint8_t> damaged = *platform::ReadFileBytes(file);
    damaged.resize(damaged.size() - 3);
    platform::WriteFileBytes(file, damaged);
    ui->onNextModal<TfrmWizard>([](TfrmWizard& wizard) { ui::Click(wizard.btCancel); });
    Run({});
    ASSERT_EQ(ui->messageBoxes().size(), 1u);
    EXPECT_NE(ui->messageBoxes()[0].text.find(file + ".damaged"), std::string::npos);
    EXPECT_EQ(*platform::ReadFileBytes(file + ".damaged"), damaged) << "the damaged copy is kept as it was";
    EXPECT_EQ(platform::ReadFileBytes(file)->size(), 1116u) << "a new, empty catalogue";
    EXPECT_TRUE(registry.KeyExists(platform::RegistryRoot::LocalMachine, "SOFTWARE\\vor\\zelkova"));
}

TEST_F(TitleFormTest, ProgramFileArgumentsGoToRegistrationNotToTheShell) {
    // The registration dialog takes program files; nothing is launched, and a
    // shortcut to a program file is treated the same way.
    platform::WriteFileBytes(dir / "tool.exe", {});
    TSCMake make;
    make.SCDir = dir.path().substr(0, dir.path().size() - 1);
    make.SCName = "tool";
    make.LinkPath = dir / "tool.exe";
    ASSERT_GE(make.CreateLink(), 0);
    // The first start registers it: a title, a category, stored with btAdd,
    // which ends the run; the file after it is not opened.
    ui->onNextModal<TfrmAddExe>([&](TfrmAddExe& d) {
        EXPECT_EQ(d.edExeName.text(), dir / "tool.exe");
        EXPECT_EQ(d.edTitle.text(), "");
        ui::Type(d.edTitle, "道具");
        d.clbShurui.userToggle(d.clbShurui.indexOf(kTools));
        ui->answerMessageBox(ui::DialogResult::Ok);
        ui::Click(d.btAdd);
    });
    Run({dir / "tool.exe", dir / "a.txt"});
    // The shortcut leads to the same program, now registered.
    ui->onNextModal<TfrmAddExe>([&](TfrmAddExe& d) {
        EXPECT_EQ(d.edExeName.text(), dir / "tool.exe");
        EXPECT_EQ(d.edTitle.text(), "道具");
        EXPECT_TRUE(d.clbShurui.checked(d.clbShurui.indexOf(kTools)));
        ui::Click(d.btClose);
    });
    Run({dir / "tool.lnk"});
    EXPECT_TRUE(shell.opens.empty());
    EXPECT_TRUE(ui->popups().empty());
    ASSERT_EQ(ui->messageBoxes().size(), 1u);
    EXPECT_EQ(ui->messageBoxes()[0].text, "プログラムを追加しました。");

    TNFile saved = Saved();
    TProg* tool = nullptr;
    ASSERT_EQ(saved.Progs.FindByPath(dir / "tool.exe", tool), 0);
    EXPECT_EQ(tool->Title, "道具");
    EXPECT_EQ(tool->TitleIndex, -1) << "no title database on this path";
    TExt* tools = nullptr;
    ASSERT_EQ(saved.Categories.FindByName(kTools, tools), 0);
    EXPECT_EQ(tools->CopyProgIds(), (std::vector<std::int32_t>{viewer.Id, tool->Id}));
    EXPECT_EQ(ui->unusedScript(), "");
}

TEST_F(TitleFormTest, TwoProgramsWithOnePathCountTheFirst) {
    {
        TNFile nf(file);
        nf.Load();
        nf.Progs.At(1).Path = nf.Progs.At(0).Path;
        nf.Save();
    }
    ui->choosePopupEntry({kEditors, "Viewer"});
    Run({});
    TNFile saved = Saved();
    EXPECT_EQ(Prog(saved, editor.Id).TotalCount, 1);
    EXPECT_EQ(Prog(saved, viewer.Id).TotalCount, 0);
}

TEST_F(TitleFormTest, ACatalogueThatCannotBeReadEndsTheRunAndIsLeftAlone) {
    platform::DeleteFileAt(file);
    ASSERT_TRUE(platform::CreateDirectories(file));
    Run({dir / "c.log"});
    ASSERT_EQ(ui->messageBoxes().size(), 1u);
    const auto& box = ui->messageBoxes()[0];
    EXPECT_NE(box.text.find(file), std::string::npos) << "the message names the file";
    EXPECT_NE(box.text.find("フォルダー"), std::string::npos) << "and says why";
    EXPECT_EQ(box.caption, kCaptionStart);
    EXPECT_EQ(box.icon, ui::MsgIcon::Error);
    EXPECT_TRUE(shell.opens.empty()) << "no job is done";
    EXPECT_TRUE(ui->popups().empty());
    EXPECT_FALSE(registry.KeyExists(platform::RegistryRoot::LocalMachine, "SOFTWARE\\vor\\zelkova"))
        << "not a first run";
    EXPECT_TRUE(platform::DirectoryExists(file));
    EXPECT_FALSE(platform::FileExists(file + ".damaged"));
    EXPECT_FALSE(platform::DirectoryExists(file + ".damaged"));
}

namespace {
// A clock whose waits run a step, as if time passed while another program
// let go of a file.
struct SteppingClock : testsupport::FakeClock {
    using FakeClock::FakeClock;
    void Sleep(std::uint32_t ms) override {
        FakeClock::Sleep(ms);
        if (++sleeps == releaseAfter && release) release();
    }
    int sleeps = 0;
    int releaseAfter = 0;
    std::function<void()> release;
};
}  // namespace

TEST_F(TitleFormTest, ACatalogueFreeAgainAMomentLaterIsReadAfterAll) {
    std::vector<std::uint8_t> stored = *platform::ReadFileBytes(file);
    platform::DeleteFileAt(file);
    ASSERT_TRUE(platform::CreateDirectories(file));
    SteppingClock waits(clock.Now());
    waits.releaseAfter = 2;
    waits.release = [&] {
        platform::RemoveEmptyDirectory(file);
        platform::WriteFileBytes(file, stored);
    };
    Run({dir / "c.log"});
    EXPECT_EQ(waits.sleeps, 2);
    EXPECT_TRUE(ui->messageBoxes().empty());
    ASSERT_EQ(shell.opens.size(), 1u) << "the run goes on with the catalogue it read";
    TNFile saved = Saved();
    EXPECT_EQ(Prog(saved, editor.Id).TotalCount, 1);
}

TEST_F(TitleFormTest, ASaveThatFailsAtExitIsReportedAndTheOldFileStays) {
    std::vector<std::uint8_t> before = *platform::ReadFileBytes(file);
    // The new catalogue is written beside the old one first; make that fail.
    ASSERT_TRUE(platform::CreateDirectories(file + ".new"));
    Run({dir / "c.log"});
    ASSERT_EQ(shell.opens.size(), 1u);
    ASSERT_EQ(ui->messageBoxes().size(), 1u);
    const auto& box = ui->messageBoxes()[0];
    EXPECT_NE(box.text.find(file), std::string::npos);
    EXPECT_NE(box.text.find("保存できませんでした"), std::string::npos);
    EXPECT_EQ(box.caption, kCaptionKumoya);
    EXPECT_EQ(box.icon, ui::MsgIcon::Error);
    EXPECT_EQ(*platform::ReadFileBytes(file), before);
}

TEST_F(TitleFormTest, ALaunchRefusedForItsLengthIsReportedWithTheProgram) {
    // Files whose paths are 510 bytes long: they fit in the history, but
    // quoted they pass 511 bytes.
    std::string deep = dir.path();
    while (502 - deep.size() > 91) deep += std::string(90, 'x') + "\\";
    deep += std::string(502 - deep.size() - 1, 'y') + "\\";
    ASSERT_EQ((deep + "long.txt").size(), 510u);
    if (!platform::CreateDirectories(deep) || !platform::WriteFileBytes(deep + "long.log", {}) ||
        !platform::WriteFileBytes(deep + "long.txt", {}))
        GTEST_SKIP() << "this system does not take paths that long";
    ChooseAndRecord({"Viewer"});
    Run({deep + "long.log", deep + "long.txt", dir / "c.log"});
    ASSERT_EQ(ui->messageBoxes().size(), 2u) << "the file argument and the file menu's choice";
    EXPECT_NE(ui->messageBoxes()[0].text.find("「Editor」"), std::string::npos) << ui->messageBoxes()[0].text;
    EXPECT_NE(ui->messageBoxes()[1].text.find("「Viewer」"), std::string::npos);
    EXPECT_NE(ui->messageBoxes()[0].text.find("511"), std::string::npos);
    EXPECT_EQ(ui->messageBoxes()[0].caption, kCaptionStart);
    EXPECT_EQ(ui->messageBoxes()[0].icon, ui::MsgIcon::Error);
    ASSERT_EQ(shell.opens.size(), 1u) << "the run goes on with the next file";
    EXPECT_EQ(shell.opens[0].parameters, "\"" + (dir / "c.log") + "\"");

    // The launch menu's history entry with such a file says the same.
    {
        TNFile nf(file);
        nf.Load();
        nf.AddHistory(deep + "long.txt", nf.Progs.At(0));
        nf.Save();
    }
    ui->choosePopupEntry({kEditors, "Editor", deep + "long.txt"});
    Run({});
    ASSERT_EQ(ui->messageBoxes().size(), 3u);
    EXPECT_NE(ui->messageBoxes()[2].text.find("「Editor」"), std::string::npos);
    EXPECT_EQ(shell.opens.size(), 1u);
}

TEST_F(TitleFormTest, ARefusedArgumentKeepsItsPlaceAndTheOthersAreHandled) {
    // The program entry leaves an empty argument where it refused one.
    Run({"", dir / "c.log", ""});
    ASSERT_EQ(shell.opens.size(), 1u);
    EXPECT_EQ(shell.opens[0].parameters, "\"" + (dir / "c.log") + "\"");
    EXPECT_TRUE(ui->messageBoxes().empty());

    // The switch's own file was refused: the next argument is not taken for it.
    ui->dismissPopup();
    Run({"-VORWORK", "", dir / "b.txt"});
    EXPECT_TRUE(platform::FileExists(dir / "b.txt"));
    EXPECT_EQ(ui->popups().size(), 1u);
}
