#include "platform/files.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/text.h"
#include "support/scratch_folder.h"

using namespace kumoya::platform;
using kumoya::testsupport::ScratchFolder;

namespace {
Bytes B(std::string_view s) { return Bytes(s.begin(), s.end()); }
}  // namespace

TEST(Files, WriteReadAndLookUpWithoutRegardToCase) {
    ScratchFolder dir;
    ASSERT_TRUE(WriteFileBytes(dir / "Report.TXT", B("abc")));
    EXPECT_TRUE(FileExists(dir / "report.txt"));
    EXPECT_FALSE(DirectoryExists(dir / "report.txt"));
    EXPECT_EQ(StoredName(dir / "REPORT.txt"), "Report.TXT");
    auto data = ReadFileBytes(dir / "rEpOrT.tXt");
    ASSERT_TRUE(data);
    EXPECT_EQ(*data, B("abc"));
    EXPECT_FALSE(FileExists(dir / "missing.txt"));
    EXPECT_FALSE(StoredName(dir / "missing.txt"));
    EXPECT_FALSE(ReadFileBytes(dir / "missing.txt"));
    EXPECT_FALSE(LastError().empty());
}

TEST(Files, JapaneseNamesWithBackslashTrailBytes) {
    ScratchFolder dir;
    // ソ表能 as Shift_JIS: every trail byte is 0x5C.
    std::string folder = dir / "\x83\x5C\x95\x5C";
    ASSERT_TRUE(CreateDirectories(folder + "\\\x94\x5C"));
    std::string file = folder + "\\\x94\x5C\\\x83\x5C.txt";
    ASSERT_TRUE(WriteFileBytes(file, B("x")));
    EXPECT_TRUE(FileExists(file));
    EXPECT_EQ(StoredName(file), "\x83\x5C.txt");
    auto list = ListDirectory(folder + "\\\x94\x5C\\*.txt");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].name, "\x83\x5C.txt");
}

TEST(Files, AtomicReplaceLeavesNoTemporaryAndKeepsOldFileOnFailure) {
    ScratchFolder dir;
    std::string path = dir / "a.dat";
    ASSERT_TRUE(ReplaceFileAtomically(path, B("first")));
    ASSERT_TRUE(ReplaceFileAtomically(path, B("second, longer")));
    EXPECT_EQ(*ReadFileBytes(path), B("second, longer"));
    auto names = ListDirectory(dir / "*");
    ASSERT_EQ(names.size(), 1u) << "a temporary file was left behind";

    // A target inside a folder that does not exist cannot be written; the
    // call says so instead of pretending.
    EXPECT_FALSE(ReplaceFileAtomically(dir / "no\\such\\folder\\a.dat", B("x")));
    EXPECT_FALSE(LastError().empty());
}

TEST(Files, ListDeleteRename) {
    ScratchFolder dir;
    ASSERT_TRUE(WriteFileBytes(dir / "one.exe", B("1")));
    ASSERT_TRUE(WriteFileBytes(dir / "two.EXE", B("2")));
    ASSERT_TRUE(WriteFileBytes(dir / "three.txt", B("3")));
    ASSERT_TRUE(CreateDirectories(dir / "sub"));
    auto exes = ListDirectory(dir / "*.exe");
    std::vector<std::string> names;
    for (auto& e : exes) names.push_back(e.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"one.exe", "two.EXE"}));
    auto all = ListDirectory(dir / "*.*");
    EXPECT_EQ(all.size(), 4u);
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](auto& e) { return e.isDirectory; }), 1);

    EXPECT_TRUE(RenameFile(dir / "three.txt", dir / "four.txt"));
    EXPECT_FALSE(FileExists(dir / "three.txt"));
    EXPECT_FALSE(RenameFile(dir / "four.txt", dir / "one.exe")) << "rename must not replace a file";
    EXPECT_TRUE(DeleteFileAt(dir / "four.txt"));
    EXPECT_FALSE(DeleteFileAt(dir / "four.txt"));
}

TEST(Files, ProgramFolderAndComputerName) {
    std::string program = ProgramPath();
    ASSERT_FALSE(program.empty());
    EXPECT_TRUE(FileExists(program));
    EXPECT_EQ(ProgramFolder() + kumoya::sjis::FileName(program), program);
    EXPECT_EQ(ProgramFolder().back(), '\\');
    EXPECT_FALSE(ComputerName().empty());
}

TEST(Files, MappedFileShowsTheWholeFileAndOutlivesItsReplacement) {
    ScratchFolder dir;
    Bytes data(70000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 1);
    ASSERT_TRUE(WriteFileBytes(dir / "M.dat", data));
    auto mapped = MappedFile::Open(dir / "m.DAT");
    ASSERT_TRUE(mapped) << LastError();
    ASSERT_EQ(mapped->size(), data.size());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), mapped->data()));
    // The catalogue is replaced, never cut, while a run has it mapped. Linux
    // lets the replacement through and the view keeps the old bytes; Windows
    // refuses it while the view is open, and the file then stays whole.
    if (!ReplaceFileAtomically(dir / "M.dat", Bytes{1, 2, 3})) {
        EXPECT_EQ(ReadFileBytes(dir / "M.dat"), data);
    }
    EXPECT_TRUE(std::equal(data.begin(), data.end(), mapped->data()));
    MappedFile moved = std::move(*mapped);
    EXPECT_EQ(moved.size(), data.size());

    ASSERT_TRUE(WriteFileBytes(dir / "E.dat", Bytes{}));
    auto empty = MappedFile::Open(dir / "E.dat");
    ASSERT_TRUE(empty) << LastError();
    EXPECT_EQ(empty->size(), 0u);
    EXPECT_FALSE(MappedFile::Open(dir / "missing.dat"));
    EXPECT_FALSE(LastError().empty());
}
