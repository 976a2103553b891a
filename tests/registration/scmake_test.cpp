// Runs against the platform's shortcut service: the format codec natively,
// the system's shell link object in the Windows build.
#include "registration/scmake.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/files.h"
#include "platform/lnk_format.h"
#include "support/scratch_folder.h"

namespace kumoya {
namespace {

using testsupport::ScratchFolder;

const std::string kSoft = "\x83\x5C\x83\x74\x83\x67";  // ソフト, trail byte 0x5C

void Fill(TSCMake& sc, const ScratchFolder& dir) {
    sc.SCDir = dir.path().substr(0, dir.path().size() - 1);
    sc.SCName = kSoft + " link";
    sc.LinkPath = dir / "bin\\app.exe";  // need not exist
    sc.WorkDir = dir / kSoft;
    sc.IconPath = dir / "icons.dll";
    sc.IconNo = 2;
    sc.Argument = "-open \"C:\\a b.txt\"";
    sc.SetWndState(WNDSTATE::Maximize);
    sc.SetSCKey(0x4000 | 0x2000 | 'K');
}

bool WriteLink(const std::string& file, const platform::lnk::Link& link) {
    auto bytes = platform::lnk::Encode(link);
    return bytes && platform::WriteFileBytes(file, *bytes);
}

TEST(TSCMake, NewComponentIsEmpty) {
    TSCMake sc;
    EXPECT_TRUE(sc.SCDir.empty() && sc.SCName.empty() && sc.LinkPath.empty() && sc.WorkDir.empty() &&
                sc.IconPath.empty() && sc.Argument.empty());
    EXPECT_EQ(0, sc.IconNo);
    EXPECT_EQ(0, sc.ShowCommand());
    EXPECT_EQ(0, sc.HotKey());
}

TEST(TSCMake, CreatesAndAnalysesAShortcutWithAllItsParts) {
    ScratchFolder dir;
    TSCMake writer;
    Fill(writer, dir);
    ASSERT_GE(writer.CreateLink(), 0);
    const std::string file = dir / (kSoft + " link.lnk");
    ASSERT_TRUE(platform::FileExists(file));

    TSCMake reader;
    ASSERT_EQ(0, reader.AnalizeLink(file));
    EXPECT_EQ(writer.SCDir, reader.SCDir);
    EXPECT_EQ(kSoft + " link", reader.SCName);
    EXPECT_EQ(writer.LinkPath, reader.LinkPath);  // the target does not exist and is reported as stored
    EXPECT_EQ(writer.WorkDir, reader.WorkDir);
    EXPECT_EQ(writer.IconPath, reader.IconPath);
    EXPECT_EQ(2, reader.IconNo);
    EXPECT_EQ(writer.Argument, reader.Argument);
    EXPECT_EQ(0x6000 | 'K', reader.GetSCKey());
    EXPECT_EQ(0x034B, reader.HotKey());

    // The window state as stored in the file (not every shell link object
    // reads it back).
    auto bytes = platform::ReadFileBytes(file);
    ASSERT_TRUE(bytes);
    auto stored = platform::lnk::Decode(*bytes);
    ASSERT_TRUE(stored);
    EXPECT_EQ(3, stored->showCommand);
    EXPECT_EQ(0x034B, stored->hotKey);
}

TEST(TSCMake, OverwritesAnExistingShortcutAndAcceptsADriveRootFolderForm) {
    ScratchFolder dir;
    TSCMake sc;
    Fill(sc, dir);
    sc.SCDir = dir.path();  // with its trailing separator, like a drive root
    ASSERT_GE(sc.CreateLink(), 0);
    sc.LinkPath = "C:\\other.exe";
    ASSERT_GE(sc.CreateLink(), 0);
    TSCMake reader;
    ASSERT_EQ(0, reader.AnalizeLink(dir / (kSoft + " link.lnk")));
    EXPECT_EQ("C:\\other.exe", reader.LinkPath);
    EXPECT_EQ(1u, platform::ListDirectory(dir / "*.lnk").size());
}

TEST(TSCMake, CreateLinkRefusesMissingNameFolderOrTarget) {
    ScratchFolder dir;
    TSCMake sc;
    Fill(sc, dir);
    sc.SCName.clear();
    EXPECT_EQ(-1, sc.CreateLink());
    Fill(sc, dir);
    sc.LinkPath.clear();
    EXPECT_EQ(-1, sc.CreateLink());
    Fill(sc, dir);
    sc.SCDir.clear();
    EXPECT_EQ(-1, sc.CreateLink());
    EXPECT_TRUE(platform::ListDirectory(dir / "*").empty());
}

TEST(TSCMake, AnalizeLinkAcceptsAnyCaseOfLnkOnly) {
    ScratchFolder dir;
    platform::lnk::Link link;
    link.target = "C:\\Tools\\edit.exe";
    link.showCommand = 1;  // show normal, as many systems store it
    ASSERT_TRUE(WriteLink(dir / "Edit.LNK", link));
    ASSERT_TRUE(WriteLink(dir / "Edit.txt", link));

    TSCMake sc;
    ASSERT_EQ(0, sc.AnalizeLink(dir / "Edit.LNK"));
    EXPECT_EQ("Edit", sc.SCName);
    EXPECT_EQ("C:\\Tools\\edit.exe", sc.LinkPath);
    EXPECT_EQ(WNDSTATE::Normal, sc.GetWndState());
    EXPECT_EQ(1, sc.ShowCommand());

    EXPECT_EQ(-1, sc.AnalizeLink(dir / "Edit.txt"));
    EXPECT_EQ(-1, sc.AnalizeLink(dir / "Edit"));
    EXPECT_EQ("Edit", sc.SCName);
    EXPECT_EQ("C:\\Tools\\edit.exe", sc.LinkPath);
}

TEST(TSCMake, DamagedOrMissingFilesLeaveThePropertiesAsTheyWere) {
    ScratchFolder dir;
    platform::lnk::Link link;
    link.target = "C:\\Tools\\edit.exe";
    link.arguments = "-x";
    auto bytes = *platform::lnk::Encode(link);

    TSCMake sc;
    ASSERT_EQ(0, sc.AnalizeLink([&] {
        WriteLink(dir / "good.lnk", link);
        return dir / "good.lnk";
    }()));
    platform::Bytes cut(bytes.begin(), bytes.begin() + 0x60);
    ASSERT_TRUE(platform::WriteFileBytes(dir / "cut.lnk", cut));
    platform::Bytes garbage(200, 0xA5);
    ASSERT_TRUE(platform::WriteFileBytes(dir / "garbage.lnk", garbage));
    ASSERT_TRUE(platform::WriteFileBytes(dir / "empty.lnk", {}));

    for (const char* name : {"cut.lnk", "garbage.lnk", "empty.lnk", "missing.lnk"}) {
        EXPECT_EQ(-1, sc.AnalizeLink(dir / name)) << name;
        EXPECT_EQ("good", sc.SCName) << name;
        EXPECT_EQ("C:\\Tools\\edit.exe", sc.LinkPath) << name;
        EXPECT_EQ("-x", sc.Argument) << name;
    }
}

TEST(TSCMake, WindowStateMapsToShowCommands) {
    TSCMake sc;
    sc.SetWndState(WNDSTATE::Normal);
    EXPECT_EQ(5, sc.ShowCommand());
    sc.SetWndState(WNDSTATE::Minimize);
    EXPECT_EQ(7, sc.ShowCommand());
    EXPECT_EQ(WNDSTATE::Minimize, sc.GetWndState());
    sc.SetWndState(WNDSTATE::Maximize);
    EXPECT_EQ(3, sc.ShowCommand());
    EXPECT_EQ(WNDSTATE::Maximize, sc.GetWndState());
}

TEST(TSCMake, ShortCutWordAndHotKeyConvertBothWays) {
    TSCMake sc;
    sc.SetSCKey(0x8000 | 0x2000 | 0x70);  // Alt+Shift+F1
    EXPECT_EQ(0x0570, sc.HotKey());
    EXPECT_EQ(0xA070, sc.GetSCKey());
    sc.SetSCKey(0x4000 | 'A');
    EXPECT_EQ(0x0241, sc.HotKey());
    EXPECT_EQ(0x4041, sc.GetSCKey());
    // Modifiers without a key store no hot key at all.
    sc.SetSCKey(0x8000 | 0x4000 | 0x2000);
    EXPECT_EQ(0, sc.HotKey());
    EXPECT_EQ(0, sc.GetSCKey());
}

TEST(TSCMake, CreateLinkDropsAHotKeyWithoutKey) {
    ScratchFolder dir;
    platform::lnk::Link link;
    link.target = "C:\\Tools\\edit.exe";
    link.hotKey = 0x0600;  // Ctrl+Alt, no key
    ASSERT_TRUE(WriteLink(dir / "in.lnk", link));
    TSCMake sc;
    ASSERT_EQ(0, sc.AnalizeLink(dir / "in.lnk"));
    EXPECT_EQ(0x0600, sc.HotKey());
    sc.SCName = "out";
    ASSERT_GE(sc.CreateLink(), 0);
    EXPECT_EQ(0, sc.HotKey());
    TSCMake reader;
    ASSERT_EQ(0, reader.AnalizeLink(dir / "out.lnk"));
    EXPECT_EQ(0, reader.HotKey());
}

}  // namespace
}  // namespace kumoya

namespace kumoya {
namespace {

// Turns every "QQ" of the file's UTF-16 texts into "한한", which Shift_JIS
// cannot hold.
void PutHangulInPlaceOfQQ(platform::Bytes& bytes) {
    const std::uint8_t qq[] = {'Q', 0, 'Q', 0};
    for (std::size_t i = 0; i + 4 <= bytes.size(); ++i)
        if (std::equal(qq, qq + 4, bytes.begin() + static_cast<std::ptrdiff_t>(i))) {
            const std::uint8_t hangul[] = {0x5C, 0xD5, 0x5C, 0xD5};
            std::copy(hangul, hangul + 4, bytes.begin() + static_cast<std::ptrdiff_t>(i));
        }
}

TEST(TSCMake, TextsWithoutAShiftJisFormAreLeftEmptyWhileTheTargetIsKept) {
    ScratchFolder dir;
    platform::lnk::Link link;
    link.target = dir / "b.txt";
    link.workingDirectory = "C:\\QQ";
    link.arguments = "-x QQ";
    link.iconLocation = "C:\\QQ.ico";
    link.iconIndex = 3;
    auto bytes = platform::lnk::Encode(link);
    ASSERT_TRUE(bytes);
    PutHangulInPlaceOfQQ(*bytes);
    ASSERT_TRUE(platform::WriteFileBytes(dir / "mixed.lnk", *bytes));

    TSCMake sc;
    ASSERT_EQ(sc.AnalizeLink(dir / "mixed.lnk"), 0);
    EXPECT_EQ(sc.LinkPath, dir / "b.txt");
    EXPECT_EQ(sc.WorkDir, "");
    EXPECT_EQ(sc.Argument, "");
    EXPECT_EQ(sc.IconPath, "");
    EXPECT_EQ(sc.IconNo, 0);
}

}  // namespace
}  // namespace kumoya
