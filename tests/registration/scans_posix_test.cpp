// The desktop scan on shortcut files written by the format codec: Japanese
// names and targets, and a desktop with thousands of shortcuts (Wine's
// shell link object is too slow for that many, and keeps Japanese targets
// only under code page 932; the Windows-side test reads real shortcuts).
#include <gtest/gtest.h>

#include <algorithm>

#include "registration/scans.h"
#include "registration/scmake.h"
#include "scan_fixture.h"

namespace kumoya {
namespace {

using testsupport::ScratchFolder;

class DesktopScans : public testsupport::ScanFixture {};

TEST_F(DesktopScans, DesktopScanTakesEachExistingProgramOnce) {
    ScratchFolder desktop("kumoyadesk");
    folders.desktop = desktop.path().substr(0, desktop.path().size() - 1);
    const std::string editor = Make("Editor.exe");
    const std::string tool = Make("ツール\\テキスト.exe");
    const std::string self = Make("Zelkova.exe");
    const std::string document = Make("readme.txt");

    TSCMake sc;
    sc.SCDir = folders.desktop;
    auto link = [&](const std::string& name, const std::string& target) {
        sc.SCName = name;
        sc.LinkPath = target;
        ASSERT_GE(sc.CreateLink(), 0);
    };
    link("Editor one", editor);
    link("Editor two", sjis::UpperAscii(editor));
    link("テキストツール", tool);
    link("Kumoya", self);
    link("Read me", document);
    link("Gone", dir / "gone.exe");
    ASSERT_TRUE(platform::WriteFileBytes(desktop / "Broken.lnk", {'L', 0, 0, 0, 1, 2}));
    ASSERT_TRUE(platform::CreateDirectories(desktop / "Folder.lnk"));

    // The first of the two editor links in the folder's own order names the row.
    std::string firstEditor;
    for (const auto& e : platform::ListDirectory(desktop / "*.lnk"))
        if (firstEditor.empty() && e.name.rfind("Editor", 0) == 0) firstEditor = e.name.substr(0, e.name.size() - 4);

    std::vector<ScanRow> rows = ScanDesktop(sc);
    std::vector<std::pair<std::string, std::string>> got;
    for (const ScanRow& r : rows) got.emplace_back(r.Caption, r.SubItems.at(0));
    std::sort(got.begin(), got.end());
    std::vector<std::pair<std::string, std::string>> expected = {
        {firstEditor, sjis::UpperAscii(editor)},
        {"テキストツール", sjis::UpperAscii(dir.path()) + "ツール\\テキスト.EXE"},
    };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, got);

    TNFile file("unused.dat");
    TProg known;
    known.Path = sjis::UpperAscii(editor);
    known.Title = "Known";
    file.Progs.AddNew(known);
    EXPECT_EQ(2, RegisterDesktopRows(file, rows));
    TExt* category = nullptr;
    ASSERT_EQ(0, file.Categories.FindByName("デスクトップ", category));
    EXPECT_EQ(1, category->MenuFlag);
    ASSERT_EQ(2, category->ProgCount());
    TProg* p = nullptr;
    ASSERT_EQ(0, file.Progs.FindById(known.Id, p));
    EXPECT_EQ(firstEditor, p->Title);
    EXPECT_EQ(2, file.Progs.Count());

    // No desktop, or an empty one: nothing.
    folders.desktop.clear();
    EXPECT_TRUE(ScanDesktop(sc).empty());
}

TEST_F(DesktopScans, ThousandsOfShortcutsAreReadOneByOne) {
    ScratchFolder desktop("kumoyadesk");
    folders.desktop = desktop.path().substr(0, desktop.path().size() - 1);
    std::vector<std::string> programs;
    for (int i = 0; i < 10; ++i) programs.push_back(Make("p" + std::to_string(i) + ".exe"));
    TSCMake sc;
    sc.SCDir = folders.desktop;
    for (int i = 0; i < 1200; ++i) {
        sc.SCName = "link" + std::to_string(i);
        sc.LinkPath = programs[static_cast<std::size_t>(i % 10)];
        ASSERT_GE(sc.CreateLink(), 0);
        if (i % 4 == 0) {
            ASSERT_TRUE(platform::WriteFileBytes(desktop / ("junk" + std::to_string(i) + ".lnk"),
                                                 platform::Bytes(static_cast<std::size_t>(i % 97), 0x4C)));
        }
    }
    int pumped = 0;
    std::vector<ScanRow> rows = ScanDesktop(sc, [&] { ++pumped; });
    EXPECT_EQ(10u, rows.size());
    EXPECT_EQ(1500, pumped);
}

}  // namespace
}  // namespace kumoya
