#include "registration/search_form.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"
#include "platform/ui/headless.h"
#include "support/scratch_folder.h"

using namespace kumoya;
using kumoya::testsupport::ScratchFolder;

namespace {

void MakeFile(const std::string& path) { ASSERT_TRUE(platform::WriteFileBytes(path, {'M', 'Z'})) << path; }
void MakeFolder(const std::string& path) { ASSERT_TRUE(platform::CreateDirectories(path)) << path; }

std::vector<std::string> Rows(const TfrmSearch& f) {
    std::vector<std::string> rows;
    for (int i = 0; i < f.lvSearch.itemCount(); ++i) rows.push_back(f.lvSearch.item(i).caption);
    return rows;
}

// What a user expects of the search, written plainly: recursion over the
// listing, descending into extensionless folders, listing ".exe" in any case.
void Expected(const std::string& folder, bool sub, std::vector<std::string>& out) {
    for (const auto& e : platform::ListDirectory(folder + "*.*")) {
        std::string ext = sjis::UpperAscii(sjis::Extension(e.name));
        if (ext.empty() && sub && e.isDirectory) Expected(folder + e.name + "\\", sub, out);
        if (ext == ".EXE") out.push_back(folder + e.name);
    }
}

// A tree with program files at several depths, in letter cases, behind
// Shift_JIS names whose trail byte is a backslash, and inside dotted folders
// that must not be searched.
void BuildTree(const std::string& root) {
    MakeFile(root + "top.EXE");
    MakeFile(root + "readme.txt");
    MakeFile(root + "noext");
    MakeFolder(root + "sub\\deep");
    MakeFile(root + "sub\\lower.exe");
    MakeFile(root + "sub\\mixed.ExE");
    MakeFile(root + "sub\\deep\\deepest.exe");
    MakeFile(root + "sub\\deep\\not.exe.txt");
    MakeFolder(root + "app.dir");
    MakeFile(root + "app.dir\\hidden.exe");
    MakeFolder(root + "ソフト\\表能");
    MakeFile(root + "ソフト\\表.exe");
    MakeFile(root + "ソフト\\表能\\能.EXE");
    MakeFolder(root + "ソ");
    MakeFile(root + "ソ\\a.exe");
    MakeFolder(root + "folder.exe");  // a folder named like a program: listed, not searched
    MakeFile(root + "folder.exe\\inner.exe");
}

}  // namespace

TEST(SearchFormTest, FindsProgramFilesDepthFirstInListingOrderAndSkipsDottedFolders) {
    ui::HeadlessUi ui;
    ScratchFolder scratch;
    BuildTree(scratch.path());
    TfrmSearch f;
    f.show();
    f.Searching = true;
    f.SearchFolder(scratch.path(), true);

    std::vector<std::string> expected;
    Expected(scratch.path(), true, expected);
    EXPECT_EQ(Rows(f), expected);
    ASSERT_EQ(f.lvSearch.itemCount(), 8);
    auto rows = Rows(f);
    auto has = [&](const std::string& name) {
        return std::find(rows.begin(), rows.end(), scratch.path() + name) != rows.end();
    };
    EXPECT_TRUE(has("sub\\mixed.ExE"));
    EXPECT_TRUE(has("ソフト\\表能\\能.EXE"));
    EXPECT_TRUE(has("folder.exe"));
    EXPECT_FALSE(has("app.dir\\hidden.exe"));
    EXPECT_FALSE(has("folder.exe\\inner.exe"));
    // Every row has its own picture.
    EXPECT_EQ(f.ilIcon.count(), 8);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(f.lvSearch.item(i).imageIndex, i);

    // Without subfolders only the folder itself; the folder given without its
    // backslash, and its name ending in a trail byte 0x5C.
    f.ClearList();
    EXPECT_EQ(f.ilIcon.count(), 0);
    std::string so = scratch.path() + "ソ";
    ASSERT_EQ(so.back(), '\\');  // the trail byte of the last character
    f.SearchFolder(so, false);
    EXPECT_EQ(Rows(f), std::vector<std::string>{so + "\\a.exe"});
    f.ClearList();
    f.SearchFolder(scratch.path() + "表無", true);  // names nothing: no rows, no crash
    EXPECT_EQ(f.lvSearch.itemCount(), 0);
}

TEST(SearchFormTest, ButtonRunsTheConditionsAndCancelledOrRefusedSearchesLeaveTheList) {
    ui::HeadlessUi ui;
    ScratchFolder scratch;
    BuildTree(scratch.path());
    TfrmSearch f;
    f.show();

    // A path with a line break pasted in stays one line.
    ui::Type(f.mmSearchPath, scratch.path() + "\r\nsub\\");
    EXPECT_EQ(f.mmSearchPath.text(), scratch.path() + "sub\\");

    // Not a folder: the message and nothing else.
    ui::Type(f.mmSearchPath, scratch.path() + "readme.txt");
    ui::Click(f.btSearch);
    ASSERT_EQ(ui->messageBoxes().size(), 1u);
    EXPECT_EQ(ui->messageBoxes()[0].text, "パスが存在しません。");
    EXPECT_EQ(ui->messageBoxes()[0].caption, "ファイルの検索");
    EXPECT_EQ(ui->messageBoxes()[0].icon, ui::MsgIcon::Error);

    ui::Type(f.mmSearchPath, scratch.path() + "sub\\");
    ui->onNextModal<TfrmInfo>([&f](TfrmInfo& info) {
        EXPECT_EQ(f.btSearch.tag(), 1);
        EXPECT_EQ(f.btSearch.caption(), "キャンセル");
        EXPECT_TRUE(info.cbSubFolder.checked());
        EXPECT_TRUE(info.cbListClear.checked());
        ui::Click(info.btOk);
    });
    ui::Click(f.btSearch);
    EXPECT_EQ(f.lvSearch.itemCount(), 3);
    EXPECT_EQ(f.btSearch.tag(), 0);
    EXPECT_EQ(f.btSearch.caption(), "検索");
    EXPECT_FALSE(f.Searching);

    // Cancelling the conditions keeps the list.
    ui->onNextModal<TfrmInfo>([](TfrmInfo& info) { ui::Click(info.btCancel); });
    ui::Click(f.btSearch);
    EXPECT_EQ(f.lvSearch.itemCount(), 3);
    EXPECT_EQ(f.btSearch.tag(), 0);
    EXPECT_FALSE(f.Searching);

    // Without clearing and without subfolders: appended, duplicates included.
    ui->onNextModal<TfrmInfo>([](TfrmInfo& info) {
        ui::Click(info.cbListClear);
        ui::Click(info.cbSubFolder);
        ui::Click(info.btOk);
    });
    ui::Click(f.btSearch);
    auto rows = Rows(f);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), scratch.path() + "sub\\lower.exe"), 2);
    EXPECT_EQ(f.ilIcon.count(), 5);
    EXPECT_EQ(ui->messageBoxes().size(), 1u);
    EXPECT_EQ(ui->unusedScript(), "");
}

TEST(SearchFormTest, CancelStopsTheSearchAtOnceEvenWhereNothingIsFound) {
    ui::HeadlessUi ui;
    ScratchFolder scratch;
    for (int i = 0; i < 20; ++i) MakeFile(scratch / ("p" + std::to_string(i) + ".exe"));
    TfrmSearch f;
    f.show();
    // A search under way, as the button leaves it; the user presses the
    // button again as soon as the window answers.
    auto runCancelledSearch = [&](const std::string& folder, bool& answeredWhileSearching) {
        f.btSearch.setTag(1);
        f.btSearch.setCaption("キャンセル");
        f.Searching = true;
        ui->post([&] {
            answeredWhileSearching = f.Searching;
            ui::Click(f.btSearch);
        });
        f.SearchFolder(folder, true);
    };
    bool answered = false;
    runCancelledSearch(scratch.path(), answered);
    EXPECT_TRUE(answered);
    EXPECT_EQ(f.lvSearch.itemCount(), 1);
    EXPECT_EQ(f.btSearch.tag(), 0);
    EXPECT_EQ(f.btSearch.caption(), "検索");
    EXPECT_FALSE(f.Searching);

    // A large tree without program files: the window answers during the
    // search, not only after it.
    ScratchFolder big;
    for (int d = 0; d < 4; ++d) {
        std::string folder = big / ("d" + std::to_string(d));
        MakeFolder(folder);
        for (int i = 0; i < 150; ++i) MakeFile(folder + "\\f" + std::to_string(i) + ".txt");
    }
    answered = false;
    runCancelledSearch(big.path(), answered);
    EXPECT_TRUE(answered);
    EXPECT_EQ(f.lvSearch.itemCount(), 1);
    EXPECT_EQ(f.btSearch.tag(), 0);
    EXPECT_FALSE(f.Searching);
    EXPECT_EQ(ui->pendingMessages(), 0);
}

TEST(SearchFormTest, BrowseStartsAtTheTypedFolderAndFillsThePath) {
    ui::HeadlessUi ui;
    ScratchFolder scratch;
    MakeFolder(scratch / "ソフト");
    TfrmSearch f;
    f.show();
    ui::Type(f.mmSearchPath, scratch.path());
    ui->onNextFolderBrowse([&](ui::FolderBrowseSession& s) {
        EXPECT_EQ(s.select(scratch / "ソフト"), scratch / "ソフト");
        return true;
    });
    ui::Click(f.btPath);
    ASSERT_EQ(ui->folderBrowses().size(), 1u);
    const auto& shown = ui->folderBrowses()[0];
    EXPECT_EQ(shown.title, "ファイルを検索するフォルダを選んでください");
    EXPECT_EQ(shown.initialFolder, scratch.path().substr(0, scratch.path().size() - 1));
    EXPECT_EQ(f.mmSearchPath.text(), scratch / "ソフト\\");

    // A path that names no folder starts at the program's own folder;
    // cancelling keeps the text.
    ui::Type(f.mmSearchPath, scratch / "none\\");
    ui->onNextFolderBrowse([](ui::FolderBrowseSession&) { return false; });
    ui::Click(f.btPath);
    EXPECT_EQ(ui->folderBrowses()[1].initialFolder, sjis::Parent(platform::ProgramPath()));
    EXPECT_EQ(f.mmSearchPath.text(), scratch / "none\\");
}
