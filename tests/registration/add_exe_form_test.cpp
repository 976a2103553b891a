#include "registration/add_exe_form.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "../online/title_file_writer.h"
#include "manager/input_form.h"
#include "platform/files.h"
#include "platform/ui/headless.h"
#include "support/scratch_folder.h"

using namespace kumoya;
using kumoya::testsupport::ScratchFolder;

namespace {

// A catalogue with an editor in "ツール" and TXT, a viewer in TXT after it,
// the extensions not in name order; a title database that knows "TOOL.EXE".
struct AddExeTest : ::testing::Test {
    AddExeTest() {
        editor.Path = dir / "Edit.exe";
        editor.Title = "エディタ";
        viewer.Path = dir / "View.exe";
        viewer.Title = "ビューア";
        nfile.Progs.AddNew(editor);
        nfile.Progs.AddNew(viewer);
        TExt tools, games;
        tools.Name = "ツール";
        tools.AddProg(editor.Id);
        games.Name = "Games";
        nfile.Categories.AddNew(tools);
        nfile.Categories.AddNew(games);
        TExt txt, doc;
        txt.Name = "TXT";
        txt.AddProg(editor.Id);
        txt.AddProg(viewer.Id);
        doc.Name = "DOC";
        nfile.Extensions.AddNew(txt);
        nfile.Extensions.AddNew(doc);

        testsupport::TitleRecord other, tool;
        other.title = "Other";
        other.fileName = "other.exe";
        tool.title = "便利ツール";
        tool.fileName = "tool.exe";
        tool.category = "games";  // matched without regard to case
        tool.exts = {"doc", "PDF"};
        testsupport::TitleFileWriter titles(2);
        titles.Add(other).Add(tool);
        EXPECT_EQ(allTitle.LoadFirstBytes(titles.Bytes()), 0);

        for (const char* name : {"Edit.exe", "View.exe", "tool.exe", "new.exe"}) platform::WriteFileBytes(dir / name, {});
    }

    std::unique_ptr<TfrmAddExe> Dialog() {
        auto dialog = std::make_unique<TfrmAddExe>();
        dialog->NFile = &nfile;
        dialog->AllTitle = &allTitle;
        return dialog;
    }
    TExt& Category(const std::string& name) {
        TExt* e = nullptr;
        EXPECT_EQ(nfile.Categories.FindByName(name, e), 0) << name;
        return *e;
    }
    TExt& Extension(const std::string& name) {
        TExt* e = nullptr;
        EXPECT_EQ(nfile.Extensions.FindByName(name, e), 0) << name;
        return *e;
    }
    TProg* Program(const std::string& path) {
        TProg* p = nullptr;
        return nfile.Progs.FindByPath(path, p) == 0 ? p : nullptr;
    }
    static std::vector<bool> Marks(const ui::CheckListBox& list) {
        std::vector<bool> marks;
        for (int i = 0; i < list.itemCount(); ++i) marks.push_back(list.checked(i));
        return marks;
    }

    ui::HeadlessUi ui;
    ScratchFolder dir;
    TNFile nfile{dir / "PC.dat"};
    TFAllTitle allTitle;
    TProg editor, viewer;
};

}  // namespace

TEST_F(AddExeTest, SingleFileTakesTheSuggestionStoresTheProgramAndCloses) {
    auto dialog = Dialog();
    ui->onNextModal<TfrmAddExe>([&](TfrmAddExe& d) {
        EXPECT_FALSE(d.SearchForm->visible()) << "the search window stays hidden";
        EXPECT_TRUE(d.edExeName.readOnly());
        EXPECT_FALSE(d.btDlgOpen.visible());
        EXPECT_EQ(d.caption(), "プログラムの変更");
        EXPECT_EQ(d.btAdd.caption(), "変更");
        EXPECT_EQ(d.edTitle.text(), "便利ツール");
        EXPECT_EQ(Marks(d.clbShurui), (std::vector<bool>{false, true}));
        EXPECT_EQ(Marks(d.clbExt), (std::vector<bool>{false, true}));
        EXPECT_FALSE(d.Changed) << "a suggestion is no change of the user's";
        EXPECT_EQ(d.sbShuAll.tag(), 0);
        EXPECT_EQ(d.sbShuAll.hint(), "すべてにチェックをつけます");
        EXPECT_EQ(d.sbShuAll.glyph(), d.imLed[2]);

        d.clbExt.userToggle(0);  // TXT as well
        EXPECT_EQ(d.sbExtAll.tag(), 1);
        EXPECT_EQ(d.sbExtAll.hint(), "すべてのチェックをはずします");
        EXPECT_EQ(d.sbExtAll.glyph(), d.imLed[0]);
        ui->answerMessageBox(ui::DialogResult::Ok);
        ui::Click(d.btAdd);
    });
    EXPECT_EQ(dialog->ShowForFile(dir / "tool.exe"), ui::DialogResult::Ok);

    ASSERT_EQ(ui->messageBoxes().size(), 1u);
    EXPECT_EQ(ui->messageBoxes()[0].text, "プログラムを追加しました。");
    EXPECT_EQ(ui->messageBoxes()[0].caption, "プログラムの追加");
    EXPECT_EQ(ui->messageBoxes()[0].icon, ui::MsgIcon::Information);
    TProg* tool = Program(dir / "TOOL.EXE");
    ASSERT_NE(tool, nullptr);
    EXPECT_EQ(tool->Path, dir / "tool.exe");
    EXPECT_EQ(tool->Title, "便利ツール");
    EXPECT_EQ(tool->Id, 2) << "the smallest free number";
    EXPECT_EQ(tool->TitleIndex, 1);
    EXPECT_EQ(tool->AssignEdited, 1) << "the user changed the marks";
    EXPECT_EQ(Category("Games").CopyProgIds(), std::vector<std::int32_t>{2});
    EXPECT_EQ(Category("ツール").CopyProgIds(), std::vector<std::int32_t>{editor.Id});
    EXPECT_EQ(Extension("TXT").CopyProgIds(), (std::vector<std::int32_t>{editor.Id, viewer.Id, 2}));
    EXPECT_EQ(Extension("DOC").CopyProgIds(), std::vector<std::int32_t>{2});
    EXPECT_EQ(ui->unusedScript(), "");
}

TEST_F(AddExeTest, SingleFileOfARegisteredProgramShowsItsOwnDataAndAnEmptyTitleIsRefused) {
    auto dialog = Dialog();
    ui->onNextModal<TfrmAddExe>([&](TfrmAddExe& d) {
        // Registered: the catalogue's data, not the title database's.
        EXPECT_EQ(d.edTitle.text(), "エディタ");
        EXPECT_EQ(Marks(d.clbShurui), (std::vector<bool>{true, false}));
        EXPECT_EQ(Marks(d.clbExt), (std::vector<bool>{true, false}));
        ui::Type(d.edTitle, "");
        ui::Click(d.btAdd);  // refused: the stop message, the dialog stays
        EXPECT_EQ(d.modalResult(), ui::DialogResult::None);
        // A title beyond what the catalogue keeps is cut at a whole
        // character, and the user is told.
        ui::Type(d.edTitle, "とても長いタイトルのついたプログラムエディタです");
        EXPECT_EQ(d.edTitle.text(), "とても長いタイトルのついたプログラムエ");
        EXPECT_EQ(d.edTitle.text().size(), 38u);
        d.close();  // the frame: no question
    });
    EXPECT_EQ(dialog->ShowForFile(dir / "EDIT.EXE"), ui::DialogResult::Cancel);
    ASSERT_EQ(ui->messageBoxes().size(), 2u);
    EXPECT_EQ(ui->messageBoxes()[0].text, "タイトルが入力されていません");
    EXPECT_EQ(ui->messageBoxes()[0].icon, ui::MsgIcon::Error);
    EXPECT_EQ(ui->messageBoxes()[1].text, "入力限界文字数を超えました。");
    EXPECT_EQ(Program(dir / "Edit.exe")->Title, "エディタ") << "nothing stored";
}

TEST_F(AddExeTest, SearchModeRowsFillTheDialogAndAChangedRowIsKeptOnNo) {
    auto dialog = Dialog();
    ui->onNextModal<TfrmAddExe>([&](TfrmAddExe& d) {
        TfrmSearch& s = *d.SearchForm;
        ASSERT_TRUE(s.visible());
        EXPECT_FALSE(d.edExeName.readOnly());
        EXPECT_EQ(d.caption(), "プログラムの追加");
        s.Searching = true;
        s.SearchFolder(dir.path(), false);
        s.Searching = false;
        ASSERT_EQ(s.lvSearch.itemCount(), 4);
        auto row = [&](const std::string& name) {
            for (int i = 0; i < s.lvSearch.itemCount(); ++i)
                if (s.lvSearch.item(i).caption == dir / name) return i;
            return -1;
        };

        // An unregistered file known to the title database.
        ui::ClickItem(s.lvSearch, row("tool.exe"));
        EXPECT_EQ(d.edExeName.text(), dir / "tool.exe");
        EXPECT_EQ(d.edTitle.text(), "便利ツール");
        EXPECT_EQ(s.lvSearch.hint(), dir / "tool.exe");
        EXPECT_FALSE(d.Changed);
        // A change, then another row: No keeps the row shown.
        ui::Type(d.edTitle, "道具");
        ui->answerMessageBox(ui::DialogResult::No);
        ui::ClickItem(s.lvSearch, row("Edit.exe"));
        EXPECT_EQ(s.lvSearch.selected(), row("tool.exe"));
        EXPECT_EQ(d.edTitle.text(), "道具");
        EXPECT_EQ(d.edExeName.text(), dir / "tool.exe");

        // Stored twice: added once, then changed; the dialog stays open.
        ui->answerMessageBox(ui::DialogResult::Ok);
        ui::Click(d.btAdd);
        ui->answerMessageBox(ui::DialogResult::Ok);
        ui::Click(d.btAdd);
        EXPECT_EQ(d.modalResult(), ui::DialogResult::None);

        // Yes leaves a change behind; a registered file shows its data, an
        // unknown one keeps what the dialog showed.
        ui::Type(d.edTitle, "捨てる");
        ui->answerMessageBox(ui::DialogResult::Yes);
        ui::ClickItem(s.lvSearch, row("Edit.exe"));
        EXPECT_EQ(d.edTitle.text(), "エディタ");
        ui::ClickItem(s.lvSearch, row("new.exe"));
        EXPECT_EQ(d.edExeName.text(), dir / "new.exe");
        EXPECT_EQ(d.edTitle.text(), "エディタ");
        ui::ClickItem(s.lvSearch, -1);  // beside the rows: nothing happens
        EXPECT_EQ(d.edExeName.text(), dir / "new.exe");
        ui::Click(d.btClose);
    });
    EXPECT_EQ(dialog->ShowForSearch(), ui::DialogResult::Ok);

    const auto& boxes = ui->messageBoxes();
    ASSERT_EQ(boxes.size(), 5u);
    EXPECT_EQ(boxes[0].text, "情報が変更されていますが、保存されていません。\nよろしいですか？");
    EXPECT_EQ(boxes[0].caption, "プログラム");
    EXPECT_EQ(boxes[0].buttons, ui::MsgButtons::YesNo);
    EXPECT_EQ(boxes[1].text, "追加・変更ボタンを押して情報を確定してください。");
    EXPECT_EQ(boxes[1].caption, "警告");
    EXPECT_EQ(boxes[2].text, "プログラムを追加しました。");
    EXPECT_EQ(boxes[3].text, "追加されているプログラムの情報を変更しました。");
    EXPECT_EQ(nfile.Progs.Count(), 3);
    EXPECT_EQ(Program(dir / "tool.exe")->Title, "道具");
    EXPECT_EQ(Program(dir / "tool.exe")->TitleIndex, 1);
    EXPECT_EQ(Program(dir / "new.exe"), nullptr);
    EXPECT_EQ(ui->unusedScript(), "");
}

TEST_F(AddExeTest, CatalogueModeEditsMembershipsAndNamesActOnTheCatalogueAtOnce) {
    auto dialog = Dialog();
    ui->onNextModal<TfrmAddExe>([&](TfrmAddExe& d) {
        TfrmSearch& s = *d.SearchForm;
        EXPECT_FALSE(s.Panel1.visible());
        EXPECT_TRUE(d.edExeName.readOnly());
        ASSERT_EQ(s.lvSearch.itemCount(), 2);
        EXPECT_EQ(s.lvSearch.item(0).caption, "エディタ");
        EXPECT_EQ(s.lvSearch.item(1).caption, "ビューア");
        EXPECT_EQ(s.ilIcon.count(), 2);

        // Unmarking TXT takes the editor out of its order; marking it again
        // puts it last.
        ui::ClickItem(s.lvSearch, 0);
        EXPECT_EQ(d.edExeName.text(), dir / "Edit.exe");
        d.clbExt.userToggle(0);
        ui->answerMessageBox(ui::DialogResult::Ok);
        ui::Click(d.btAdd);
        EXPECT_EQ(Extension("TXT").CopyProgIds(), std::vector<std::int32_t>{viewer.Id});
        d.clbExt.userToggle(0);
        ui::Type(d.edTitle, "新エディタ");
        ui->answerMessageBox(ui::DialogResult::Ok);
        ui::Click(d.btAdd);
        EXPECT_EQ(Extension("TXT").CopyProgIds(), (std::vector<std::int32_t>{viewer.Id, editor.Id}));
        EXPECT_EQ(s.lvSearch.item(0).caption, "新エディタ");

        // A new category, a duplicate and a blank one; a new extension with
        // its choice flag, upper-cased and sorted in.
        ui->onNextModal<TfrmInput>([](TfrmInput& in) {
            ui::Type(in.edValue, "写真");
            ui::Click(in.btOk);
        });
        d.sbShuAdd.userClick();
        ui->onNextModal<TfrmInput>([](TfrmInput& in) {
            ui::Type(in.edValue, "GAMES");
            ui::Click(in.btOk);
        });
        d.sbShuAdd.userClick();
        ui->onNextModal<TfrmInput>([](TfrmInput& in) {
            ui::Type(in.edValue, "  ");
            ui::Click(in.btOk);
        });
        d.sbShuAdd.userClick();
        EXPECT_EQ(d.clbShurui.items(), (std::vector<std::string>{"ツール", "Games", "写真"}));
        EXPECT_TRUE(d.clbShurui.checked(2));
        ui->onNextModal<TfrmInput>([](TfrmInput& in) {
            EXPECT_TRUE(in.cbPopUp.visible());
            ui::Type(in.edValue, "jpg");
            ui::Click(in.cbPopUp);
            ui::Click(in.btOk);
        });
        d.sbExtAdd.userClick();
        EXPECT_EQ(d.clbExt.items(), (std::vector<std::string>{"DOC", "JPG", "TXT"}));
        EXPECT_EQ(Marks(d.clbExt), (std::vector<bool>{false, true, true}));
        EXPECT_EQ(Extension("JPG").MenuFlag, 1);
        EXPECT_TRUE(d.Changed);

        // Deleting the highlighted category removes it and its memberships
        // at once, whatever happens to the program afterwards.
        d.clbShurui.userSelect(0);
        d.sbShuDel.userClick();
        EXPECT_EQ(nfile.Categories.IndexOf("ツール"), -1);
        EXPECT_EQ(d.clbShurui.items(), (std::vector<std::string>{"Games", "写真"}));
        d.close();  // through the frame: no question, no sorting
    });
    EXPECT_EQ(dialog->ShowForCatalogue(), ui::DialogResult::Cancel);
    EXPECT_EQ(nfile.Categories.Count(), 2);
    EXPECT_EQ(Category("写真").CopyProgIds(), std::vector<std::int32_t>{}) << "the program was not stored again";
    EXPECT_EQ(Extension("TXT").Name, nfile.Extensions.At(0).Name) << "not sorted";
    EXPECT_EQ(Program(dir / "Edit.exe")->Title, "新エディタ");
    EXPECT_EQ(Program(dir / "Edit.exe")->AssignEdited, 1);

    // btClose asks about a change, and sorts the extensions when it closes.
    auto again = Dialog();
    ui->onNextModal<TfrmAddExe>([&](TfrmAddExe& d) {
        d.sbExtAll.userClick();  // everything marked: a change
        EXPECT_EQ(d.sbExtAll.tag(), 1);
        ui->answerMessageBox(ui::DialogResult::No);
        ui::Click(d.btClose);
        EXPECT_EQ(d.modalResult(), ui::DialogResult::None);
        ui->answerMessageBox(ui::DialogResult::Yes);
        ui::Click(d.btClose);
    });
    EXPECT_EQ(again->ShowForCatalogue(), ui::DialogResult::Ok);
    EXPECT_EQ(nfile.Extensions.At(0).Name, "DOC");
    EXPECT_EQ(nfile.Extensions.At(2).Name, "TXT");
    EXPECT_EQ(ui->unusedScript(), "");
}

TEST_F(AddExeTest, WindowsStandSideBySideCentredOnTheScreen) {
    ui->setScreenSize({1280, 1024});
    auto dialog = Dialog();
    ui->onNextModal<TfrmAddExe>([&](TfrmAddExe& d) {
        const ui::Size frame = ui::App().frameSize(d);
        const TfrmSearch& s = *d.SearchForm;
        const int searchWidth = s.width() + ui::App().frameSize(s).width;
        const int dialogWidth = d.width() + frame.width;
        EXPECT_EQ(d.left(), s.left() + searchWidth);
        EXPECT_EQ(d.top(), s.top());
        EXPECT_EQ(d.top(), (1024 - (d.height() + frame.height)) / 2);
        EXPECT_LE(std::abs(s.left() - (1280 - (d.left() + dialogWidth))), 1) << "centred together";
        d.close();
    });
    dialog->ShowForSearch();

    auto single = Dialog();
    ui->onNextModal<TfrmAddExe>([&](TfrmAddExe& d) {
        const ui::Size frame = ui::App().frameSize(d);
        EXPECT_EQ(d.left(), (1280 - (d.width() + frame.width)) / 2);
        d.close();
    });
    single->ShowForFile(dir / "tool.exe");
}
