// The title files on disk: the numbered series and the per-file operations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "online/title_file_writer.h"
#include "online/titles.h"
#include "platform/files.h"
#include "support/scratch_folder.h"

using kumoya::LoadTitleDatabase;
using kumoya::TFAllTitle;
using kumoya::testsupport::ScratchFolder;
using kumoya::testsupport::TitleFileWriter;
using kumoya::testsupport::TitleRecord;

namespace {

TitleRecord Rec(const std::string& fileName, const std::string& title, std::vector<std::string> exts = {}) {
    TitleRecord r;
    r.fileName = fileName;
    r.title = title;
    r.exts = std::move(exts);
    return r;
}

void Write(const std::string& path, std::int32_t number, const std::vector<TitleRecord>& records) {
    TitleFileWriter w(static_cast<std::int32_t>(records.size()), 0, number);
    for (const TitleRecord& r : records) w.Add(r);
    ASSERT_TRUE(kumoya::platform::WriteFileBytes(path, w.Bytes())) << path;
}

}  // namespace

TEST(TitleDatabase, MergesTheSeriesInOrder) {
    ScratchFolder dir;
    Write(dir / "zkv001.ttl", 1, {Rec("a.exe", "A", {"TXT"}), Rec("b.exe", "B")});
    Write(dir / "zkv002.ttl", 2, {Rec("A.EXE", "A2", {"DOC"}), Rec("c.exe", "C")});
    Write(dir / "zkv003.ttl", 3, {Rec("c.exe", "C3"), Rec("d.exe", "D")});

    TFAllTitle db;
    EXPECT_EQ(LoadTitleDatabase(db, dir.path()), 3);
    ASSERT_EQ(db.Count(), 4);
    EXPECT_EQ(db.HeaderNumber, 3);
    EXPECT_EQ(db.TitleAt(0)->Title, "A2");
    EXPECT_EQ(db.TitleAt(0)->ExtNames, (std::vector<std::string>{"TXT", "DOC"}));
    EXPECT_EQ(db.IndexOfTitle("C:\\Tools\\c.exe"), 2);
    EXPECT_EQ(db.TitleAt(2)->Title, "C3");
    EXPECT_EQ(db.IndexOfTitle("D.EXE"), 3);

    // Loading again starts from the first file, not on top of the last load.
    EXPECT_EQ(LoadTitleDatabase(db, dir.path()), 3);
    EXPECT_EQ(db.Count(), 4);
}

TEST(TitleDatabase, StopsAtTheFirstMissingNumber) {
    ScratchFolder dir;
    Write(dir / "zkv001.ttl", 1, {Rec("a.exe", "A")});
    Write(dir / "zkv003.ttl", 3, {Rec("a.exe", "A3"), Rec("c.exe", "C")});

    TFAllTitle db;
    // Also without the folder's trailing backslash.
    std::string folder = dir.path().substr(0, dir.path().size() - 1);
    EXPECT_EQ(LoadTitleDatabase(db, folder), 1);
    ASSERT_EQ(db.Count(), 1);
    EXPECT_EQ(db.TitleAt(0)->Title, "A");
    EXPECT_EQ(db.HeaderNumber, 1);
}

TEST(TitleDatabase, WithoutTheFirstFileNothingChanges) {
    ScratchFolder dir;
    Write(dir / "zkv001.ttl", 1, {Rec("a.exe", "A")});
    TFAllTitle db;
    ASSERT_EQ(LoadTitleDatabase(db, dir.path()), 1);

    ScratchFolder empty;
    Write(empty / "zkv002.ttl", 2, {Rec("b.exe", "B")});
    EXPECT_EQ(LoadTitleDatabase(db, empty.path()), 0);
    EXPECT_EQ(db.Count(), 1);
    EXPECT_EQ(db.IndexOfTitle("a.exe"), 0);
    EXPECT_EQ(db.HeaderNumber, 1);

    TFAllTitle fresh;
    EXPECT_EQ(LoadTitleDatabase(fresh, empty.path()), 0);
    EXPECT_EQ(fresh.Count(), 0);
    EXPECT_EQ(fresh.FindTitle("b.exe"), nullptr);
}

TEST(TitleDatabase, DamagedFilesInTheSeries) {
    ScratchFolder dir;
    Write(dir / "zkv001.ttl", 1, {Rec("a.exe", "A")});
    // Number 2 ends inside its second entry: its first entry still counts.
    TitleFileWriter two(2, 0, 2);
    two.Add(Rec("b.exe", "B")).Add(Rec("c.exe", "C"));
    std::vector<std::uint8_t> cut = two.Bytes();
    cut.resize(cut.size() - 100);
    ASSERT_TRUE(kumoya::platform::WriteFileBytes(dir / "zkv002.ttl", cut));
    // Number 3 is too short for a header: it is passed over, and the series
    // goes on with number 4 (one damaged file must not hide the later ones).
    ASSERT_TRUE(kumoya::platform::WriteFileBytes(dir / "zkv003.ttl", {1, 2, 3}));
    Write(dir / "zkv004.ttl", 4, {Rec("d.exe", "D"), Rec("a.exe", "A4")});
    // Number 5 is missing: number 6 is not part of the series.
    Write(dir / "zkv006.ttl", 6, {Rec("f.exe", "F")});

    TFAllTitle db;
    EXPECT_EQ(LoadTitleDatabase(db, dir.path()), 3);
    EXPECT_EQ(db.Count(), 3);
    EXPECT_EQ(db.IndexOfTitle("b.exe"), 1);
    EXPECT_EQ(db.IndexOfTitle("c.exe"), -1);
    EXPECT_EQ(db.IndexOfTitle("d.exe"), 2);
    EXPECT_EQ(db.FindTitle("a.exe")->Title, "A4");
    EXPECT_EQ(db.IndexOfTitle("f.exe"), -1);
    EXPECT_EQ(db.HeaderNumber, 4);
}

TEST(TitleDatabase, ADamagedFirstFileLetsTheNextOneStartTheDatabase) {
    ScratchFolder dir;
    Write(dir / "zkv001.ttl", 1, {Rec("old.exe", "Old")});
    TFAllTitle db;
    ASSERT_EQ(LoadTitleDatabase(db, dir.path()), 1);

    // Number 1 is now cut short; number 2 replaces what was loaded before
    // instead of being merged into it.
    ASSERT_TRUE(kumoya::platform::WriteFileBytes(dir / "zkv001.ttl", {0}));
    Write(dir / "zkv002.ttl", 2, {Rec("b.exe", "B")});
    EXPECT_EQ(LoadTitleDatabase(db, dir.path()), 1);
    EXPECT_EQ(db.Count(), 1);
    EXPECT_EQ(db.IndexOfTitle("old.exe"), -1);
    EXPECT_EQ(db.IndexOfTitle("b.exe"), 0);
}

TEST(TitleDatabase, MissingFilesAnswerMinusOneAndChangeNothing) {
    ScratchFolder dir;
    Write(dir / "one.ttl", 1, {Rec("a.exe", "A")});
    TFAllTitle db;
    ASSERT_EQ(db.LoadFirstFile(dir / "one.ttl"), 0);
    EXPECT_EQ(db.LoadFirstFile(dir / "none.ttl"), -1);
    EXPECT_EQ(db.MergeFile(dir / "none.ttl"), -1);
    EXPECT_EQ(db.Count(), 1);
    EXPECT_EQ(db.HeaderNumber, 1);
}
