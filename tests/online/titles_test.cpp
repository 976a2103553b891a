#include "online/titles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "online/title_file_writer.h"
#include "platform/text.h"

using kumoya::NormaliseTitleKey;
using kumoya::TFAllTitle;
using kumoya::TFTitle;
using kumoya::TitleStream;
using kumoya::testsupport::TitleFileWriter;
using kumoya::testsupport::TitleRecord;

namespace {

// ソ and 表 end in 0x5C; ペ (0x83 0x79) has a lower-case letter as trail byte
// and ズ (0x83 0x59) the matching capital.
const std::string kSo = "\x83\x5C";
const std::string kHyo = "\x95\x5C";
const std::string kPe = "\x83\x79";
const std::string kZu = "\x83\x59";

TitleRecord Rec(const std::string& fileName, const std::string& title, std::vector<std::string> exts = {}) {
    TitleRecord r;
    r.fileName = fileName;
    r.title = title;
    r.exts = std::move(exts);
    return r;
}

TitleFileWriter File(const std::vector<TitleRecord>& records) {
    TitleFileWriter w(static_cast<std::int32_t>(records.size()));
    for (const TitleRecord& r : records) w.Add(r);
    return w;
}

std::vector<std::uint8_t> Cut(std::vector<std::uint8_t> bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

std::vector<std::string> Keys(const TFAllTitle& db) {
    std::vector<std::string> keys;
    for (int i = 0; i < db.Count(); ++i) keys.push_back(db.TitleAt(i)->Key);
    return keys;
}

}  // namespace

TEST(TitleFile, FieldsAreReadFromTheirOffsets) {
    TitleRecord r;
    r.entryNo = -7;
    r.title = "Text Editor";
    r.fileName = "edit" + kSo + ".exe";
    r.reservedText = std::string(300, 'r');
    r.category = "Tools";
    r.supportUrl = "http://example.com/support/";
    for (std::size_t i = 0; i < r.reservedBlock.size(); ++i) r.reservedBlock[i] = static_cast<std::uint8_t>(255 - i);
    r.exts = {"TXT", "log", "TXT", "123456789012345"};
    TitleFileWriter w(2, 0x0807060504030201ull, -123456, 0xAB);
    w.Add(r).Add(Rec("second.exe", "Second", {"DOC"}));

    TFAllTitle db;
    ASSERT_EQ(db.LoadFirstBytes(w.Bytes()), 0);
    EXPECT_EQ(db.HeaderValue, (std::array<std::uint8_t, 8>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(db.HeaderNumber, -123456);
    EXPECT_TRUE(std::all_of(db.HeaderBlock.begin(), db.HeaderBlock.end(), [](auto b) { return b == 0xAB; }));

    ASSERT_EQ(db.Count(), 2);
    const TFTitle& t = *db.TitleAt(0);
    EXPECT_EQ(t.EntryNo, -7);
    EXPECT_EQ(t.Title, "Text Editor");
    EXPECT_EQ(t.Key, "EDIT" + kSo + ".EXE");
    EXPECT_EQ(t.ReservedText, std::string(300, 'r'));
    EXPECT_EQ(t.Category, "Tools");
    EXPECT_EQ(t.SupportUrl, "http://example.com/support/");
    EXPECT_EQ(t.ReservedBlock, r.reservedBlock);
    // Extensions exactly as stored: case and duplicates kept, a full 15 bytes.
    EXPECT_EQ(t.ExtNames, (std::vector<std::string>{"TXT", "log", "TXT", "123456789012345"}));
    // The next entry starts right after the extension records.
    EXPECT_EQ(db.TitleAt(1)->Key, "SECOND.EXE");
    EXPECT_EQ(db.TitleAt(1)->ExtNames, std::vector<std::string>{"DOC"});
}

TEST(TitleFile, FirstFileKeepsDuplicatesAndTheFirstOneIsFound) {
    TFAllTitle db;
    ASSERT_EQ(db.LoadFirstBytes(File({Rec("a.exe", "A1"), Rec("B.EXE", "B"), Rec("A.exe", "A2")}).Bytes()), 0);
    EXPECT_EQ(Keys(db), (std::vector<std::string>{"A.EXE", "B.EXE", "A.EXE"}));
    EXPECT_EQ(db.FindTitle("a.exe")->Title, "A1");
    EXPECT_EQ(db.IndexOfTitle("A.EXE"), 0);
    EXPECT_EQ(db.IndexOfTitle("b.exe"), 1);
    EXPECT_EQ(db.IndexOfTitle("c.exe"), -1);
    EXPECT_EQ(db.FindTitle("c.exe"), nullptr);

    // Loading a first file again replaces everything, the index included.
    ASSERT_EQ(db.LoadFirstBytes(File({Rec("c.exe", "C")}).Bytes()), 0);
    EXPECT_EQ(Keys(db), std::vector<std::string>{"C.EXE"});
    EXPECT_EQ(db.IndexOfTitle("a.exe"), -1);
    EXPECT_EQ(db.IndexOfTitle("c.exe"), 0);
}

TEST(TitleFile, StoredIndexOutsideTheListHasNoEntry) {
    TFAllTitle db;
    EXPECT_EQ(db.TitleAt(0), nullptr);
    ASSERT_EQ(db.LoadFirstBytes(File({Rec("a.exe", "A")}).Bytes()), 0);
    EXPECT_EQ(db.TitleAt(-1), nullptr);
    EXPECT_EQ(db.TitleAt(1), nullptr);
    EXPECT_EQ(db.TitleAt(INT_MAX), nullptr);
    ASSERT_NE(db.TitleAt(0), nullptr);
}

TEST(TitleMerge, LaterValuesWinAndPositionsStay) {
    TitleRecord first = Rec("edit.exe", "Editor", {"TXT", "log"});
    first.entryNo = 1;
    first.category = "Tools";
    first.supportUrl = "http://old/";
    first.reservedText = "old";
    first.reservedBlock.fill(1);
    TFAllTitle db;
    ASSERT_EQ(db.LoadFirstBytes(File({Rec("other.exe", "Other"), first, Rec("EDIT.EXE", "Shadow")}).Bytes()), 0);

    TitleRecord later = Rec("Edit.Exe", "", {"doc", "LOG", "Rtf", "DOC", "rtf"});
    later.entryNo = 9;
    later.category = "";
    later.supportUrl = "http://new/";
    later.reservedText = "";
    later.reservedBlock.fill(2);
    TitleFileWriter second(2, 42, 77, 0x5A);
    second.Add(later).Add(Rec("new.exe", "New", {"ZIP"}));
    ASSERT_EQ(db.MergeBytes(second.Bytes()), 0);

    // The header is the later file's.
    EXPECT_EQ(db.HeaderValue[0], 42);
    EXPECT_EQ(db.HeaderNumber, 77);
    EXPECT_EQ(db.HeaderBlock[255], 0x5A);

    ASSERT_EQ(db.Count(), 4);
    const TFTitle& t = *db.TitleAt(1);
    EXPECT_EQ(t.Key, "EDIT.EXE");  // key unchanged, position unchanged
    EXPECT_EQ(t.EntryNo, 9);
    EXPECT_EQ(t.Title, "");  // even an empty value replaces
    EXPECT_EQ(t.Category, "");
    EXPECT_EQ(t.ReservedText, "");
    EXPECT_EQ(t.SupportUrl, "http://new/");
    EXPECT_EQ(t.ReservedBlock[0], 2);
    // Only the missing ones, in the later order, each once.
    EXPECT_EQ(t.ExtNames, (std::vector<std::string>{"TXT", "log", "doc", "Rtf"}));

    // The shadowed duplicate from the first file is left alone; the new key is
    // appended.
    EXPECT_EQ(db.TitleAt(2)->Title, "Shadow");
    EXPECT_EQ(db.IndexOfTitle("new.exe"), 3);
    EXPECT_EQ(db.TitleAt(3)->ExtNames, std::vector<std::string>{"ZIP"});
}

TEST(TitleMerge, DuplicateNewKeysInOneFileBecomeOneEntry) {
    TFAllTitle db;
    ASSERT_EQ(db.LoadFirstBytes(File({Rec("a.exe", "A")}).Bytes()), 0);
    ASSERT_EQ(db.MergeBytes(File({Rec("n.exe", "N1", {"X"}), Rec("N.EXE", "N2", {"Y"})}).Bytes()), 0);
    ASSERT_EQ(db.Count(), 2);
    EXPECT_EQ(db.TitleAt(1)->Title, "N2");
    EXPECT_EQ(db.TitleAt(1)->ExtNames, (std::vector<std::string>{"X", "Y"}));
}

TEST(TitleMerge, LongExtensionListsMergeLikeShortOnes) {
    // Large enough to take the hashed path; checked against a plain pairwise
    // merge computed here.
    TFTitle have;
    TFTitle later;
    auto name = [](char letter, int n) { return std::string(1, letter) += std::to_string(n); };
    for (int i = 0; i < 80; ++i) have.ExtNames.push_back(name('e', i * 3));
    have.ExtNames.push_back("E0");  // a duplicate already held stays
    for (int i = 0; i < 90; ++i) later.ExtNames.push_back(name(i % 2 ? 'E' : 'e', i * 2));
    later.ExtNames.push_back(kPe);
    later.ExtNames.push_back(kZu);  // not the same as ペ
    later.ExtNames.push_back("e2");  // already appended as E2

    std::vector<std::string> expected = have.ExtNames;
    for (const std::string& ext : later.ExtNames) {
        bool held = false;
        for (const std::string& h : expected) held = held || kumoya::sjis::EqualsIgnoreCase(h, ext);
        if (!held) expected.push_back(ext);
    }
    have.MergeFrom(later);
    EXPECT_EQ(have.ExtNames, expected);
    EXPECT_NE(std::find(have.ExtNames.begin(), have.ExtNames.end(), kZu), have.ExtNames.end());
}

TEST(TitleKey, FolderAndDriveAreCutAndLettersUpperCased) {
    EXPECT_EQ(NormaliseTitleKey("C:\\Program Files\\Tool\\edit.exe"), "EDIT.EXE");
    EXPECT_EQ(NormaliseTitleKey("edit.exe"), "EDIT.EXE");
    // Without a backslash the name is only upper-cased, colon or not.
    EXPECT_EQ(NormaliseTitleKey("c:edit.exe"), "C:EDIT.EXE");
    EXPECT_EQ(NormaliseTitleKey("dir/edit.exe"), "DIR/EDIT.EXE");
    // With one, a drive colon after it still counts.
    EXPECT_EQ(NormaliseTitleKey("\\\\srv\\a:b.exe"), "B.EXE");
    EXPECT_EQ(NormaliseTitleKey("C:\\dir\\"), "");
}

TEST(TitleKey, DoubleByteCharactersAreNeverSplitNorFolded) {
    // A trail byte 0x5C is not a separator ...
    EXPECT_EQ(NormaliseTitleKey("C:\\Apps\\" + kSo + "ft.exe"), kSo + "FT.EXE");
    EXPECT_EQ(NormaliseTitleKey("C:\\" + kSo + "\\" + kHyo + ".exe"), kHyo + ".EXE");
    // ... and does not make a bare name a path.
    EXPECT_EQ(NormaliseTitleKey("c:" + kSo + ".exe"), "C:" + kSo + ".EXE");
    // Letters inside a double-byte character stay as they are.
    EXPECT_EQ(NormaliseTitleKey(kPe + "a.exe"), kPe + "A.EXE");

    TFAllTitle db;
    ASSERT_EQ(db.LoadFirstBytes(File({Rec(kZu + ".exe", "Zu"), Rec(kSo + "ft.exe", "So"), Rec(kPe + ".exe", "Pe")})
                                    .Bytes()),
              0);
    EXPECT_EQ(db.IndexOfTitle("D:\\Games\\" + kSo + "FT.EXE"), 1);
    EXPECT_EQ(db.IndexOfTitle(kSo + "Ft.Exe"), 1);
    EXPECT_EQ(db.IndexOfTitle("C:\\x\\" + kPe + ".exe"), 2);
    EXPECT_EQ(db.IndexOfTitle(kZu + ".EXE"), 0);
}

TEST(TitleKey, PathAndBareCapitalsFindTheSameEntry) {
    TFAllTitle db;
    ASSERT_EQ(db.LoadFirstBytes(File({Rec("x.exe", "X"), Rec("Edit.exe", "Editor")}).Bytes()), 0);
    const TFTitle* byPath = db.FindTitle("C:\\Program Files\\Editor\\edit.exe");
    ASSERT_NE(byPath, nullptr);
    EXPECT_EQ(byPath, db.FindTitle("EDIT.EXE"));
    EXPECT_EQ(byPath->Title, "Editor");
}

TEST(TitleBadInput, CountsOfZeroOrLessGiveOnlyTheHeader) {
    TFAllTitle db;
    ASSERT_EQ(db.LoadFirstBytes(File({Rec("a.exe", "A")}).Bytes()), 0);
    // A first file with no entries empties the list; a later one adds nothing.
    TitleFileWriter empty(0, 5, 6);
    ASSERT_EQ(db.MergeBytes(empty.Bytes()), 0);
    EXPECT_EQ(db.Count(), 1);
    EXPECT_EQ(db.HeaderNumber, 6);
    ASSERT_EQ(db.LoadFirstBytes(empty.Bytes()), 0);
    EXPECT_EQ(db.Count(), 0);

    // A negative count reads no entry even though one follows.
    TitleFileWriter negative(-1);
    negative.Add(Rec("a.exe", "A"));
    ASSERT_EQ(db.LoadFirstBytes(negative.Bytes()), 0);
    EXPECT_EQ(db.Count(), 0);
}

TEST(TitleBadInput, ShortFilesGiveTheirCompleteEntries) {
    std::vector<std::uint8_t> full = File({Rec("a.exe", "A", {"TXT"}), Rec("b.exe", "B", {"DOC", "RTF"})}).Bytes();
    const std::size_t firstEnd = 276 + 1408 + 16;
    TFAllTitle db;

    // Cut inside the second entry record, then inside its extension records.
    for (std::size_t size : {firstEnd, firstEnd + 1, firstEnd + 1407, firstEnd + 1408, firstEnd + 1408 + 31}) {
        ASSERT_EQ(db.LoadFirstBytes(Cut(full, size)), 0) << size;
        EXPECT_EQ(Keys(db), std::vector<std::string>{"A.EXE"}) << size;
    }
    ASSERT_EQ(db.LoadFirstBytes(Cut(full, firstEnd - 1)), 0);
    EXPECT_EQ(db.Count(), 0);
    ASSERT_EQ(db.LoadFirstBytes(full), 0);
    EXPECT_EQ(db.Count(), 2);

    // A count larger than the file reads what is there.
    TitleFileWriter absurd(INT_MAX);
    absurd.Add(Rec("a.exe", "A")).Add(Rec("b.exe", "B"));
    ASSERT_EQ(db.LoadFirstBytes(absurd.Bytes()), 0);
    EXPECT_EQ(db.Count(), 2);
    // Bytes beyond the count are ignored.
    TitleFileWriter small(1);
    small.Add(Rec("a.exe", "A")).Add(Rec("b.exe", "B"));
    ASSERT_EQ(db.LoadFirstBytes(small.Bytes()), 0);
    EXPECT_EQ(db.Count(), 1);
}

TEST(TitleBadInput, FilesTooShortForTheHeaderChangeNothing) {
    TFAllTitle db;
    ASSERT_EQ(db.LoadFirstBytes(TitleFileWriter(0, 1, 2).Bytes()), 0);
    ASSERT_EQ(db.MergeBytes(File({Rec("a.exe", "A")}).Bytes()), 0);
    std::vector<std::uint8_t> header = TitleFileWriter(0, 9, 9).Bytes();
    for (std::size_t size : {std::size_t{0}, std::size_t{8}, std::size_t{272}, std::size_t{275}}) {
        EXPECT_EQ(db.LoadFirstBytes(Cut(header, size)), -1);
        EXPECT_EQ(db.MergeBytes(Cut(header, size)), -1);
    }
    EXPECT_EQ(db.Count(), 1);
    EXPECT_EQ(db.HeaderNumber, 0);
}

TEST(TitleBadInput, ExtensionCountsAreCheckedBeforeUse) {
    TFAllTitle db;
    // Far more extensions than the file holds: the entry is incomplete and
    // reading stops there, without sizing anything from the count.
    TitleRecord huge = Rec("b.exe", "B", {"TXT"});
    huge.extCount = INT_MAX;
    ASSERT_EQ(db.LoadFirstBytes(File({Rec("a.exe", "A"), huge, Rec("c.exe", "C")}).Bytes()), 0);
    EXPECT_EQ(Keys(db), std::vector<std::string>{"A.EXE"});

    // A negative count means none: the next entry follows the record.
    TitleRecord negative = Rec("b.exe", "B");
    negative.extCount = -5;
    ASSERT_EQ(db.LoadFirstBytes(File({negative, Rec("c.exe", "C")}).Bytes()), 0);
    EXPECT_EQ(Keys(db), (std::vector<std::string>{"B.EXE", "C.EXE"}));
    EXPECT_TRUE(db.TitleAt(0)->ExtNames.empty());

    // Read straight from a stream: the entry answers -1 when short.
    std::vector<std::uint8_t> one = File({Rec("a.exe", "A", {"X", "Y"})}).Bytes();
    std::vector<std::uint8_t> body(one.begin() + 276, one.end() - 1);
    TitleStream in(body);
    TFTitle t;
    EXPECT_EQ(t.ReadFromStream(in), -1);
}

TEST(TitleBadInput, FieldsWithoutTheirZeroByteStayInsideTheField) {
    TitleRecord r;
    r.fileName = std::string(40, 'f');  // no zero byte; the next field follows
    r.reservedText = "NEXT";
    // 38 ASCII bytes, then a double-byte character across the last two bytes.
    r.title = std::string(38, 't') + kHyo;
    r.category = std::string(39, 'c') + "\x95";  // a lead byte in the last place
    r.supportUrl = std::string(512, 'u');
    r.exts = {"ABCDEFGHIJKLMNOP"};  // 16 bytes, no zero byte
    r.reservedBlock.fill(0xFF);
    TFAllTitle db;
    ASSERT_EQ(db.LoadFirstBytes(File({r}).Bytes()), 0);
    ASSERT_EQ(db.Count(), 1);
    const TFTitle& t = *db.TitleAt(0);
    // What a zero-ended field of that width can hold, no half characters.
    EXPECT_EQ(t.Key, std::string(39, 'F'));
    EXPECT_EQ(t.Title, std::string(38, 't'));
    EXPECT_EQ(t.Category, std::string(39, 'c'));
    EXPECT_EQ(t.SupportUrl, std::string(511, 'u'));
    EXPECT_EQ(t.ExtNames, std::vector<std::string>{"ABCDEFGHIJKLMNO"});
    EXPECT_EQ(t.ReservedText, "NEXT");
}

TEST(TitleMerge, LargeListsAgreeWithAPlainFirstMatchScan) {
    // Enough entries to cross storage chunks and grow the key index several
    // times; the model is the plain list with a linear first-match search.
    struct Model {
        std::string key, title;
        std::vector<std::string> exts;
    };
    std::vector<Model> model;
    auto find = [&](const std::string& key) {
        for (std::size_t i = 0; i < model.size(); ++i) {
            if (model[i].key == key) return static_cast<int>(i);
        }
        return -1;
    };
    auto keyOf = [](int n) { return std::string("k") += std::to_string(n) += ".exe"; };
    auto upper = [](std::string s) { return kumoya::sjis::UpperAscii(s); };

    TitleFileWriter first(600);
    for (int i = 0; i < 600; ++i) {
        std::string title = std::to_string(i);
        first.Add(Rec(keyOf(i % 450), title, {i % 2 ? "TXT" : "doc"}));
        model.push_back({upper(keyOf(i % 450)), title, {i % 2 ? "TXT" : "doc"}});
    }
    TitleFileWriter second(700);
    for (int i = 0; i < 700; ++i) {
        int n = (i * 7) % 1100;
        std::string title = std::string("m") += std::to_string(i);
        second.Add(Rec(upper(keyOf(n)), title, {"txt", "ZIP"}));
        int at = find(upper(keyOf(n)));
        if (at < 0) {
            model.push_back({upper(keyOf(n)), title, {"txt", "ZIP"}});
            continue;
        }
        model[at].title = title;
        for (const char* ext : {"txt", "ZIP"}) {
            bool held = false;
            for (const std::string& h : model[at].exts) held = held || kumoya::sjis::EqualsIgnoreCase(h, ext);
            if (!held) model[at].exts.push_back(ext);
        }
    }

    TFAllTitle db;
    ASSERT_EQ(db.LoadFirstBytes(first.Bytes()), 0);
    ASSERT_EQ(db.MergeBytes(second.Bytes()), 0);
    ASSERT_EQ(db.Count(), static_cast<int>(model.size()));
    for (int i = 0; i < db.Count(); ++i) {
        const TFTitle& t = *db.TitleAt(i);
        ASSERT_EQ(t.Key, model[i].key) << i;
        EXPECT_EQ(t.Title, model[i].title) << i;
        EXPECT_EQ(t.ExtNames, model[i].exts) << i;
    }
    for (int n = 0; n < 1200; ++n) EXPECT_EQ(db.IndexOfTitle(keyOf(n)), find(upper(keyOf(n)))) << n;
}
