// The wizard's scans against an in-memory registry, a recording shell and a
// scratch desktop: what each scan offers, and what registering the ticked
// rows does to the catalogue.
#include "registration/scans.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/files.h"
#include "platform/folders.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "registration/scmake.h"
#include "scan_fixture.h"

namespace kumoya {
namespace {

using platform::RegistryRoot;
using testsupport::ScratchFolder;

class Scans : public testsupport::ScanFixture {};

TEST_F(Scans, OpenCommandsGiveTheProgramAndItsTemplate) {
    const std::string editor = Make("Editor.exe");
    const std::string typed = sjis::UpperAscii(dir.path()) + "EDITOR.EXE";  // as registries often spell it
    Make("WINDOWS\\system32\\notepad.exe");
    folders.windows = dir / "WINDOWS";
    const std::string japanese = Make("ソフト\\表示.exe");  // trail bytes 0x5C

    struct Case {
        std::string command;
        int result;
        std::string program, params;
    } cases[] = {
        {typed + " %1", 0, editor, "%1"},
        {typed + " \"%1\"", 0, editor, "\"%1\""},
        {typed + " /p %1", 0, editor, "/p %1"},
        {typed + " %1 -x", 0, editor, "-x %1"},
        {"\"" + typed + "\" \"%1\"", 0, editor, ""},
        {"%SystemRoot%\\system32\\notepad.exe %1", 0, dir / "WINDOWS\\system32\\notepad.exe", "%1"},
        {"nofolder.exe %1", 0, "nofolder.exe", "%1"},
        {japanese + " %1", 0, japanese, "%1"},
        // The character dropped before a switch is a whole double-byte one.
        {typed + " ソ-p", 0, editor, "-p"},
        // A "-" in a folder name splits there, so no program is found.
        {dir / "my-tools\\app.exe %1", -1, "", ""},
        {"\"" + typed + " %1", -1, "", ""},
        {"\"" + dir / "gone.exe\" %1", -1, "", ""},
        {"", -1, "", ""},
    };
    for (const Case& c : cases) {
        std::string program = "stale", params = "stale";
        EXPECT_EQ(c.result, Parse(".kmt", c.command, program, params)) << c.command;
        if (c.result == 0) {
            EXPECT_EQ(c.program, program) << c.command;
            EXPECT_EQ(c.params, params) << c.command;
        }
    }
}

TEST_F(Scans, OtherProgramsAreReplacedByTheOneTheShellAssociates) {
    const std::string viewer = Make("Viewer.exe");
    shell.executables["KMV"] = viewer;
    std::string program, params;

    ASSERT_EQ(0, Parse(".kmv", dir / "lib.dll %1", program, params));
    EXPECT_EQ(viewer, program);
    EXPECT_EQ("%1", params);
    ASSERT_EQ(1u, shell.finds.size());
    EXPECT_EQ(dir / "probe\\Def.kmv", shell.finds[0].file);
    EXPECT_TRUE(shell.finds[0].existed);
    EXPECT_FALSE(platform::FileExists(dir / "probe\\Def.kmv"));

    // A file of that name that was there before is asked about and kept.
    ASSERT_TRUE(platform::WriteFileBytes(dir / "probe\\Def.kmv", {'k'}));
    ASSERT_EQ(0, Parse(".kmv", "\"unbalanced %1", program, params));
    EXPECT_EQ(viewer, program);
    EXPECT_EQ(platform::Bytes{'k'}, platform::ReadFileBytes(dir / "probe\\Def.kmv"));

    // A folder that cannot be written to: the temporary folder serves.
    shell.finds.clear();
    ASSERT_EQ(0, ParseOpenCommand(".kmv", "", program, params, dir / "missing\\"));
    EXPECT_EQ(viewer, program);
    ASSERT_EQ(1u, shell.finds.size());
    EXPECT_EQ(platform::TempFolder() + "Def.kmv", shell.finds[0].file);
    EXPECT_TRUE(shell.finds[0].existed);
    EXPECT_FALSE(platform::FileExists(platform::TempFolder() + "Def.kmv"));

    // An extension that is no file name is never made into one.
    shell.finds.clear();
    EXPECT_EQ(-1, Parse(".k/../../x", "", program, params));
    EXPECT_TRUE(shell.finds.empty());
}

TEST_F(Scans, RegistryScanOffersOneRowPerNamedFileType) {
    const std::string editor = Make("Editor.exe");
    const std::string player = Make("Player.exe");
    const std::string tool = Make("ツール\\テキスト.exe");  // テ = 0x83 0x65: its trail byte is "e"
    Make("RunDll32.exe");
    const std::string cmd = sjis::UpperAscii(dir.path()) + "EDITOR.EXE %1";
    FileType(".txt", "txtfile", "テキスト文書", cmd);
    FileType(".A", "afile", "A", cmd);
    FileType(".b", "bfile", "B", cmd);
    FileType(".Doc", "docfile", "文書", "\"" + tool + "\" \"%1\"");
    FileType(".bmp", "Paint.Picture", "画像", player + " \"%1\"", "play");
    FileType(".unb", "unbfile", "U", "\"" + editor + " %1");  // no closing quote: the association decides
    shell.executables["UNB"] = editor;
    shell.filesWithoutIcons = {player};
    // None of these gives a row.
    FileType(".exe", "exefile", "Application", cmd);
    FileType(".zkv", "Zelkdoc", "Kumoya", cmd);
    FileType(".nod", "nodfile", "", cmd);
    FileType(".rdl", "rdlfile", "RD", dir / "RunDll32.exe %1");
    FileType(".long", "longfile", "L", std::string(1000, 'x') + " %1");
    FileType(".toolongextensionnameofthirtytwox", "tl", "T", cmd);
    FileType(".bin", "binfile", "", cmd);
    registry.WriteValue(RegistryRoot::ClassesRoot, "binfile", "", {platform::RegistryValue::Type::Binary, "Bin", 0});
    FileType(".dw", "dwfile", "DW", "");
    registry.WriteValue(RegistryRoot::ClassesRoot, "dwfile\\shell\\open\\command", "",
                        {platform::RegistryValue::Type::Dword, "", 7});
    registry.WriteValue(RegistryRoot::ClassesRoot, ".wrongtype", "", {platform::RegistryValue::Type::Dword, "", 1});
    registry.CreateKey(RegistryRoot::ClassesRoot, "txtfile.NotAnExtension");

    int pumped = 0;
    std::vector<ScanRow> rows = ScanRegistry([&] { ++pumped; });

    const std::string upperEditor = sjis::UpperAscii(editor);
    std::vector<std::vector<std::string>> got;
    for (const ScanRow& r : rows) {
        EXPECT_TRUE(r.Checked);
        got.push_back({r.Caption, r.SubItems.at(0), r.SubItems.at(1), r.SubItems.at(2), r.Icon.Source()});
    }
    std::vector<std::vector<std::string>> expected = {
        {".A", "A", upperEditor, "%1", "small:" + editor},
        {".b", "B", upperEditor, "%1", "small:" + editor},
        {".bmp", "画像", sjis::UpperAscii(player), "\"%1\"", "default-application"},
        {".Doc", "文書", sjis::UpperAscii(dir.path()) + "ツール\\テキスト.EXE", "", "small:" + tool},
        {".txt", "テキスト文書", upperEditor, "%1", "small:" + editor},
        {".unb", "U", upperEditor, "", "small:" + editor},
    };
    EXPECT_EQ(expected, got);
    EXPECT_EQ(15, pumped);  // every extension looked at
}

TEST_F(Scans, RegisteringRowsBuildsExtensionsProgramsAndTemplates) {
    TNFile file("unused.dat");
    // Already in the catalogue: the extension TXT (not offered for choice)
    // with one program, and a template of the editor for RTF.
    TProg old;
    old.Path = "C:\\OLD\\OLD.EXE";
    old.Title = "Old";
    file.Progs.AddNew(old);
    TProg editor;
    editor.Path = "C:\\Tools\\Edit.exe";
    editor.Title = "Edit";
    file.Progs.AddNew(editor);
    TExt txt;
    txt.Name = "TXT";
    txt.AddProg(old.Id);
    file.Extensions.AddNew(txt);
    THist params;
    params.ProgId = editor.Id;
    params.AddItemWithParam(100, "RTF", "/r %1");
    file.ExtParams.AddEntry(params);

    const std::string longTitle = std::string(45, 'T');
    const std::string japaneseTitle(std::string(20, 'a') + "ソフトウェアの名前です");  // 42 bytes; byte 39 is a lead byte
    std::vector<ScanRow> rows;
    auto row = [&](std::string ext, std::string name, std::string path, std::string tmpl, bool checked = true) {
        ScanRow r;
        r.Caption = std::move(ext);
        r.SubItems = {std::move(name), std::move(path), std::move(tmpl)};
        r.Checked = checked;
        rows.push_back(std::move(r));
    };
    row(".txt", "テキスト", "C:\\TOOLS\\EDIT.EXE", "%1");
    row(".rtf", "リッチテキスト", "C:\\TOOLS\\EDIT.EXE", "%1");  // the template stored before stays
    row(".jpg", longTitle, "C:\\VIEW\\VIEW.EXE", "\"%1\"");
    row(".gif", japaneseTitle, "C:\\PAINT\\PAINT.EXE", "");
    row(".zip", "Archiver", "C:\\ARC\\ARC.EXE", "%1", false);

    EXPECT_EQ(4, RegisterRegistryRows(file, rows));

    TProg* p = nullptr;
    ASSERT_EQ(0, file.Progs.FindByPath("C:\\TOOLS\\EDIT.EXE", p));
    EXPECT_EQ(editor.Id, p->Id);
    EXPECT_EQ("リッチテキスト", p->Title);  // the last row's name
    ASSERT_EQ(0, file.Progs.FindByPath("C:\\VIEW\\VIEW.EXE", p));
    EXPECT_EQ(std::string(39, 'T'), p->Title);
    EXPECT_EQ(-1, p->TitleIndex);
    const std::int32_t view = p->Id;
    ASSERT_EQ(0, file.Progs.FindByPath("C:\\PAINT\\PAINT.EXE", p));
    EXPECT_EQ(japaneseTitle.substr(0, 38), p->Title);
    const std::int32_t paint = p->Id;
    EXPECT_NE(0, file.Progs.FindByPath("C:\\ARC\\ARC.EXE", p));
    EXPECT_EQ(4, file.Progs.Count());

    TExt* ext = nullptr;
    ASSERT_EQ(0, file.Extensions.FindByName("TXT", ext));
    EXPECT_EQ(0, ext->MenuFlag);  // an existing extension stays as it was
    EXPECT_EQ((std::vector<std::int32_t>{old.Id, editor.Id}), ext->CopyProgIds());
    ASSERT_EQ(0, file.Extensions.FindByName("RTF", ext));
    EXPECT_EQ(1, ext->MenuFlag);
    EXPECT_EQ((std::vector<std::int32_t>{editor.Id}), ext->CopyProgIds());
    ASSERT_EQ(0, file.Extensions.FindByName("JPG", ext));
    EXPECT_EQ((std::vector<std::int32_t>{view}), ext->CopyProgIds());
    ASSERT_EQ(0, file.Extensions.FindByName("GIF", ext));
    EXPECT_EQ((std::vector<std::int32_t>{paint}), ext->CopyProgIds());
    EXPECT_NE(0, file.Extensions.FindByName("ZIP", ext));

    THist* entry = nullptr;
    ASSERT_EQ(0, file.ExtParams.FindByProg(editor.Id, entry));
    ASSERT_EQ(2, entry->ItemCount());
    EXPECT_EQ("TXT", entry->ItemAt(0).Text);
    EXPECT_EQ("%1", entry->ItemAt(0).Param->Text);
    EXPECT_EQ("RTF", entry->ItemAt(1).Text);
    EXPECT_EQ("/r %1", entry->ItemAt(1).Param->Text);
    ASSERT_EQ(0, file.ExtParams.FindByProg(view, entry));
    EXPECT_EQ("\"%1\"", entry->ItemAt(0).Param->Text);
    EXPECT_NE(0, file.ExtParams.FindByProg(paint, entry));  // no template, no entry

    // The default categories collect what the extensions hold; a category
    // without extensions is made empty, and one that exists keeps its members.
    TExt games;
    games.Name = "ゲーム";
    games.AddProg(old.Id);
    file.Categories.AddNew(games);
    for (const DefaultCategory& c : DefaultCategories()) ASSERT_EQ(0, MakeDefaultCategory(file, c.Name, c.Extensions));
    ASSERT_EQ(6, file.Categories.Count());
    ASSERT_EQ(0, file.Categories.FindByName("エディター", ext));
    EXPECT_EQ(1, ext->MenuFlag);
    EXPECT_EQ((std::vector<std::int32_t>{old.Id, editor.Id}), ext->CopyProgIds());
    ASSERT_EQ(0, file.Categories.FindByName("画像処理", ext));
    EXPECT_EQ((std::vector<std::int32_t>{view, paint}), ext->CopyProgIds());
    ASSERT_EQ(0, file.Categories.FindByName("圧縮・解凍", ext));
    EXPECT_EQ(0, ext->ProgCount());
    ASSERT_EQ(0, file.Categories.FindByName("ゲーム", ext));
    EXPECT_EQ((std::vector<std::int32_t>{old.Id}), ext->CopyProgIds());
    EXPECT_EQ(0, ext->MenuFlag);

    // The result survives the catalogue file.
    TNFile reloaded("unused.dat");
    const std::vector<std::uint8_t> bytes = file.SaveToBytes();
    ASSERT_EQ(0, reloaded.LoadFromBytes(bytes.data(), bytes.size()));
    ASSERT_EQ(0, reloaded.Progs.FindByPath("C:\\PAINT\\PAINT.EXE", p));
    EXPECT_EQ(japaneseTitle.substr(0, 38), p->Title);
    EXPECT_EQ(-1, p->TitleIndex);
}

}  // namespace
}  // namespace kumoya
