#include "catalogue/nfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "catalogue/catalogue_format.h"
#include "platform/files.h"
#include "support/catalogue_sample.h"
#include "support/fake_clock.h"
#include "support/scratch_folder.h"

using namespace kumoya;
using kumoya::platform::Bytes;
using kumoya::testsupport::SampleFile;
using kumoya::testsupport::ScratchFolder;

namespace {

std::int32_t I32At(const Bytes& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | b[at + static_cast<std::size_t>(i)];
    return static_cast<std::int32_t>(v);
}
std::string TextAt(const Bytes& b, std::size_t at) { return std::string(reinterpret_cast<const char*>(&b[at])); }

}  // namespace

TEST(CatalogueFile, EmptyCatalogueIs1116BytesOfDefaults) {
    ScratchFolder dir;
    TNFile file(dir / "EMPTY.dat");
    ASSERT_EQ(file.Save(), 0);
    Bytes b = *platform::ReadFileBytes(dir / "EMPTY.dat");
    ASSERT_EQ(b.size(), 1116u);
    EXPECT_EQ(I32At(b, 0), 60);
    EXPECT_EQ(I32At(b, 4), 5);
    EXPECT_EQ(I32At(b, 20), -1);
    EXPECT_EQ(I32At(b, 24), -1);
    EXPECT_EQ(I32At(b, 28), 1);
    EXPECT_EQ(I32At(b, 288), -1);
    EXPECT_EQ(I32At(b, 1088), 0);
    EXPECT_EQ(I32At(b, 1092), 0);
    EXPECT_EQ(I32At(b, 1096), 0);
    EXPECT_EQ(I32At(b, 1100), 0);
    EXPECT_EQ(I32At(b, 1104), 3) << "launch history limit";
    EXPECT_EQ(I32At(b, 1108), 0);
    EXPECT_EQ(I32At(b, 1112), 100) << "parameter store limit";
}

TEST(CatalogueFile, LoadsAFileWrittenByAnotherWriter) {
    ScratchFolder dir;
    ASSERT_TRUE(platform::WriteFileBytes(dir / "A.dat", SampleFile()));
    TNFile file(dir / "A.dat");
    ASSERT_EQ(file.Load(), 0) << file.LoadError();

    EXPECT_EQ(file.Head.HistoryMax, 5);
    EXPECT_DOUBLE_EQ(file.Head.CountDate, 45000.25);
    EXPECT_EQ(file.Head.MainPage, 2);
    EXPECT_EQ(file.Head.ProxyHost, "proxy.example");
    EXPECT_EQ(file.Head.ProxyPort, 8080);
    EXPECT_EQ(file.Head.SmtpUser, "user");
    EXPECT_EQ(file.Head.MailAddress, "me@example");
    EXPECT_EQ(file.Head.Flags, THead::NoUpdateQuestion);
    EXPECT_EQ(file.Head.SpareArea[255], 0xAB);

    ASSERT_EQ(file.Progs.Count(), 2);
    TProg* p = nullptr;
    ASSERT_EQ(file.Progs.FindById(4, p), 0);
    EXPECT_EQ(p->Path, "C:\\\x83\x5C\\v.exe") << "text ends at the first zero byte";
    EXPECT_EQ(p->Title, "\x83\x5C\x83\x74\x83\x67");
    EXPECT_DOUBLE_EQ(p->LastLaunch, 44000.5);
    EXPECT_EQ(p->TodayCount, 3);
    EXPECT_EQ(p->TotalCount, 12);
    EXPECT_EQ(p->SpareNo, -1);
    EXPECT_EQ(p->AssignEdited, 1);
    EXPECT_EQ(p->TitleIndex, 7);
    EXPECT_EQ(p->SpareArea[0], 0x11);

    ASSERT_EQ(file.Categories.Count(), 1);
    EXPECT_EQ(file.Categories.At(0).CopyProgIds(), (std::vector<std::int32_t>{4, 0})) << "duplicates collapse";
    ASSERT_EQ(file.Extensions.Count(), 3);
    EXPECT_EQ(file.Extensions.At(0).Name, "BMP") << "extensions come back sorted";
    EXPECT_EQ(file.Extensions.At(1).Name, "DOC");
    EXPECT_EQ(file.Extensions.At(2).Name, "TXT");

    EXPECT_EQ(file.History.Limit, 2);
    THist* h = nullptr;
    ASSERT_EQ(file.History.FindByProg(0, h), 0);
    ASSERT_EQ(h->ItemCount(), 2) << "an entry stored over the limit keeps its newest items";
    EXPECT_EQ(h->ItemAt(0).Text, "c.txt");
    EXPECT_EQ(h->ItemAt(1).Text, "b.txt");
    ASSERT_EQ(file.ExtParams.FindByProg(4, h), 0);
    ASSERT_TRUE(h->ItemAt(0).Param);
    EXPECT_EQ(h->ItemAt(0).Param->Text, "-v %1");
}

TEST(CatalogueFile, SaveWritesEveryFieldAtItsOffsetAndRoundTrips) {
    ScratchFolder dir;
    ASSERT_TRUE(platform::WriteFileBytes(dir / "A.dat", SampleFile()));
    TNFile file(dir / "A.dat");
    ASSERT_EQ(file.Load(), 0);
    ASSERT_EQ(file.Save(), 0);
    Bytes b = *platform::ReadFileBytes(dir / "A.dat");

    std::size_t prog0 = 1092, prog1 = prog0 + 1104;
    EXPECT_EQ(I32At(b, 1088), 2);
    EXPECT_EQ(TextAt(b, prog0 + 4), "C:\\Tools\\edit.exe");
    EXPECT_EQ(b[prog0 + 4 + 18], 0) << "bytes after the terminator are written as zeros";
    EXPECT_EQ(TextAt(b, prog1 + 516), "\x83\x5C\x83\x74\x83\x67");
    EXPECT_EQ(I32At(b, prog1 + 568), 3);
    EXPECT_EQ(I32At(b, prog1 + 572), 12);
    EXPECT_EQ(I32At(b, prog1 + 584), 7);
    EXPECT_EQ(b[prog1 + 588], 0x11);
    std::size_t cats = prog1 + 1104;
    EXPECT_EQ(I32At(b, cats), 1);
    EXPECT_EQ(TextAt(b, cats + 8), "Tools");
    EXPECT_EQ(I32At(b, cats + 4 + 552), 2);
    std::size_t exts = cats + 4 + 556 + 8;
    EXPECT_EQ(I32At(b, exts), 3);
    EXPECT_EQ(TextAt(b, exts + 8), "BMP");

    // A second save of what was loaded gives the same bytes.
    TNFile again(dir / "A.dat");
    ASSERT_EQ(again.Load(), 0);
    ASSERT_EQ(again.Save(), 0);
    EXPECT_EQ(*platform::ReadFileBytes(dir / "A.dat"), b);
}

TEST(CatalogueFile, HistoryOrderAndLimitSurviveSaveAndLoad) {
    ScratchFolder dir;
    TNFile file(dir / "H.dat");
    TProg p;
    p.Path = "C:\\a.exe";
    file.Progs.AddNew(p);
    file.AddHistory("a.txt", p);
    file.AddHistory("b.txt", p);
    file.AddHistory("", p);
    file.History.SetLimit(7);
    ASSERT_EQ(file.Save(), 0);

    TNFile loaded(dir / "H.dat");
    ASSERT_EQ(loaded.Load(), 0);
    EXPECT_EQ(loaded.History.Limit, 7);
    THist* h = nullptr;
    ASSERT_EQ(loaded.History.FindByProg(p.Id, h), 0);
    ASSERT_EQ(h->ItemCount(), 2);
    EXPECT_EQ(h->ItemAt(0).Text, "b.txt");
    EXPECT_EQ(h->ItemAt(1).Text, "a.txt");
}

TEST(CatalogueFile, OverlongTextIsCutAtACharacterBoundary) {
    ScratchFolder dir;
    TNFile file(dir / "L.dat");
    TProg p;
    p.Path = "C:\\x.exe";
    p.Title = std::string(37, 'a') + "\x83\x5C\x83\x5C";  // 41 bytes: the last character cannot fit
    file.Progs.AddNew(p);
    ASSERT_EQ(file.Save(), 0);
    TNFile loaded(dir / "L.dat");
    ASSERT_EQ(loaded.Load(), 0);
    EXPECT_EQ(loaded.Progs.At(0).Title, std::string(37, 'a') + "\x83\x5C");
}

TEST(CatalogueFile, Queries) {
    ScratchFolder dir;
    ASSERT_TRUE(platform::WriteFileBytes(dir / "A.dat", SampleFile()));
    TNFile file(dir / "A.dat");
    ASSERT_EQ(file.Load(), 0);
    std::vector<std::string> titles{"keep"};
    EXPECT_EQ(file.TitlesForFile("C:\\x\\photo.gif", titles), -1);
    EXPECT_EQ(titles, std::vector<std::string>{"keep"}) << "an unregistered extension leaves the list alone";
    EXPECT_EQ(file.TitlesForFile("noextension", titles), -1);
    EXPECT_EQ(file.TitlesForFile("C:\\x\\a.doc", titles), 0);
    EXPECT_TRUE(titles.empty());
    std::vector<std::string> paths;
    EXPECT_EQ(file.PathsForFile("readme.Txt", paths), 0);
    EXPECT_EQ(paths, std::vector<std::string>{"C:\\Tools\\edit.exe"});
    std::vector<TProg*> progs;
    EXPECT_EQ(file.ProgsOf(file.Categories.At(0), progs), 0);
    ASSERT_EQ(progs.size(), 2u);
    EXPECT_EQ(progs[0]->Id, 4);
    file.TitlesOf(file.Categories.At(0), titles);
    EXPECT_EQ(titles[1], "Editor");

    EXPECT_EQ(file.DeleteExtension("bmp"), 0);
    EXPECT_EQ(file.DeleteExtension("bmp"), -1);
    EXPECT_EQ(file.DeleteCategory("Tools"), 0);
    EXPECT_EQ(file.Categories.Count(), 0);
    EXPECT_EQ(file.Progs.Count(), 2) << "programs stay when their category goes";
}

TEST(CatalogueFile, CheckNewDayZeroesTodayCountsOnce) {
    testsupport::FakeClock clock(platform::EncodeDateTime({2026, 12, 8, 9, 0, 0, 0}));
    TNFile file("unused.dat");
    TProg p;
    p.TodayCount = 4;
    file.Progs.AddNew(p);
    file.Head.CountDate = platform::EncodeDateTime({2026, 12, 7, 22, 0, 0, 0});
    file.CheckNewDay();
    EXPECT_EQ(file.Progs.At(0).TodayCount, 0);
    EXPECT_DOUBLE_EQ(file.Head.CountDate, clock.Now());
    file.Progs.At(0).TodayCount = 1;
    file.CheckNewDay();
    EXPECT_EQ(file.Progs.At(0).TodayCount, 1);
}

TEST(CatalogueFile, MissingFileIsNotAnError) {
    ScratchFolder dir;
    TNFile file(dir / "RENAMED-PC.dat");
    EXPECT_EQ(file.Load(), TNFile::kNoFile);
    EXPECT_EQ(file.History.Limit, 3);
    EXPECT_EQ(file.ExtParams.Limit, 100);
    EXPECT_EQ(file.Head.MenuAtStart, 1);
}

TEST(CatalogueFileDamage, EveryTruncationIsRejectedWithoutReadingBeyondTheFile) {
    ScratchFolder dir;
    Bytes whole = SampleFile();
    // Every cut inside the fixed parts and every cut point near a section border.
    for (std::size_t cut = 0; cut < whole.size(); cut += (cut < 1200 || whole.size() - cut < 1300) ? 1 : 97) {
        Bytes part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
        catalogue_format::Image image;
        catalogue_format::Fault fault;
        ASSERT_FALSE(catalogue_format::Parse(part.data(), part.size(), image, fault)) << "cut at " << cut;
        EXPECT_LE(fault.Offset, cut);
    }
    ASSERT_TRUE(platform::WriteFileBytes(dir / "T.dat", Bytes(whole.begin(), whole.end() - 10)));
    TNFile file(dir / "T.dat");
    EXPECT_EQ(file.Load(), TNFile::kDamaged);
    EXPECT_NE(file.LoadError().find("offset"), std::string::npos);
    EXPECT_EQ(file.Progs.Count(), 0) << "members stay at their defaults";
    EXPECT_EQ(file.Head.HistoryMax, 5);
}

TEST(CatalogueFileDamage, ImpossibleCountsAndFields) {
    Bytes whole = SampleFile();
    auto patched = [&](std::size_t at, std::int32_t v) {
        Bytes b = whole;
        std::uint8_t le[4];
        for (int i = 0; i < 4; ++i) le[i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
        if (at + 4 <= b.size()) std::copy(le, le + 4, b.begin() + static_cast<std::ptrdiff_t>(at));
        return b;
    };
    std::size_t cats = 1088 + 4 + 2 * 1104;
    std::size_t exts = cats + 4 + 556 + 12;
    std::size_t hist = exts + 4 + 3 * 556 + 8;
    struct Case {
        const char* what;
        Bytes bytes;
    } cases[] = {
        {"negative program count", patched(1088, -1)},
        {"huge program count", patched(1088, 0x7FFFFFFF)},
        {"category program count beyond the file", patched(cats + 4 + 552, 1000000)},
        {"negative extension count", patched(exts, -5)},
        {"history item count beyond the file", patched(hist + 12, 400)},
        {"negative history item count", patched(hist + 12, -1)},
        {"program count one too small misreads what follows", patched(1088, 1)},
    };
    for (auto& c : cases) {
        catalogue_format::Image image;
        catalogue_format::Fault fault;
        EXPECT_FALSE(catalogue_format::Parse(c.bytes.data(), c.bytes.size(), image, fault)) << c.what;
        EXPECT_FALSE(fault.What.empty()) << c.what;
    }
}

TEST(CatalogueFileDamage, ADamagedFileIsNeverOverwritten) {
    ScratchFolder dir;
    Bytes damaged = SampleFile();
    damaged.resize(2000);
    ASSERT_TRUE(platform::WriteFileBytes(dir / "D.dat", damaged));
    TNFile file(dir / "D.dat");
    ASSERT_EQ(file.Load(), TNFile::kDamaged);
    EXPECT_EQ(file.Save(), -1);
    EXPECT_FALSE(file.SaveError().empty());
    EXPECT_EQ(*platform::ReadFileBytes(dir / "D.dat"), damaged);

    // Once the damaged file is moved aside, a new catalogue may be written.
    ASSERT_TRUE(platform::RenameFile(dir / "D.dat", dir / "D.dat.damaged"));
    EXPECT_EQ(file.Save(), 0);
    EXPECT_EQ(platform::ReadFileBytes(dir / "D.dat")->size(), 1116u);
}

TEST(CatalogueFileDamage, AFailedSaveKeepsTheOldFile) {
    ScratchFolder dir;
    TNFile file(dir / "S.dat");
    ASSERT_EQ(file.Save(), 0);
    Bytes before = *platform::ReadFileBytes(dir / "S.dat");
    // The new file is written beside the old one first; make that impossible.
    ASSERT_TRUE(platform::CreateDirectories(dir / "S.dat.new"));
    TProg p;
    p.Path = "C:\\a.exe";
    file.Progs.AddNew(p);
    EXPECT_EQ(file.Save(), -1);
    EXPECT_EQ(*platform::ReadFileBytes(dir / "S.dat"), before);

    TNFile nowhere(dir / "no\\such\\folder\\X.dat");
    EXPECT_EQ(nowhere.Save(), -1);
}

namespace {

// A catalogue as the catalogue tool writes it from its JSON form: one
// program in a menu category, a launch history and a parameter store.
catalogue_format::Image ToolWrittenImage() {
    catalogue_format::Image image;
    TProg p;
    p.Id = 0;
    p.Path = "C:\\Tools\\edit.exe";
    p.Title = "Editor";
    image.Progs.push_back(p);
    catalogue_format::StoredExt cat;
    cat.Name = "Tools";
    cat.MenuFlag = 1;
    cat.ProgIds = {0};
    image.Categories.push_back(cat);
    image.History.Limit = 3;
    image.History.Entries.push_back({0, 0, {{"b.txt", ""}, {"a.txt", ""}}});
    image.ExtParams.Limit = 100;
    image.ExtParams.Entries.push_back({0, 1, {{"TXT", "-v %1"}}});
    return image;
}

}  // namespace

// Files that hold nothing impossible are read, whatever their values; only
// what cannot be read (a file that ends early, a count that cannot be) is
// set aside as damaged.
TEST(CatalogueFileUnusual, NegativeHistorySizeFromTheSettingsIsReadAndKept) {
    ScratchFolder dir;
    // The settings page stored a size of -1; the empty history was saved
    // with it.
    auto image = ToolWrittenImage();
    image.Head.HistoryMax = -1;
    image.History.Limit = -1;
    image.History.Entries.clear();
    Bytes stored = catalogue_format::Serialize(image);
    ASSERT_TRUE(platform::WriteFileBytes(dir / "N.dat", stored));

    TNFile file(dir / "N.dat");
    ASSERT_EQ(file.Load(), TNFile::kLoaded) << file.LoadError();
    EXPECT_EQ(file.Progs.Count(), 1);
    EXPECT_EQ(file.History.Limit, -1);
    ASSERT_EQ(file.Save(), 0);
    EXPECT_EQ(*platform::ReadFileBytes(dir / "N.dat"), stored) << "written back as it was";
    file.AddHistory("c.txt", file.Progs.At(0));
    THist* h = nullptr;
    ASSERT_EQ(file.History.FindByProg(0, h), 0);
    EXPECT_EQ(h->ItemCount(), 0) << "a negative size keeps nothing, as a size of 0";

    // A negative limit over stored entries keeps none of their items.
    image = ToolWrittenImage();
    image.ExtParams.Limit = -1;
    Bytes withItems = catalogue_format::Serialize(image);
    ASSERT_EQ(file.LoadFromBytes(withItems.data(), withItems.size()), TNFile::kLoaded);
    ASSERT_EQ(file.ExtParams.FindByProg(0, h), 0);
    EXPECT_EQ(h->ItemCount(), 0);
    ASSERT_EQ(file.History.FindByProg(0, h), 0);
    EXPECT_EQ(h->ItemCount(), 2) << "the other list keeps its own limit";
}

TEST(CatalogueFileUnusual, ParameterFlagOtherThanOneMeansPlainItems) {
    ScratchFolder dir;
    auto image = ToolWrittenImage();
    image.History.Entries[0].HasParams = 2;
    image.History.Entries.push_back({5, -7, {{"z.txt", ""}}});
    Bytes stored = catalogue_format::Serialize(image);
    ASSERT_TRUE(platform::WriteFileBytes(dir / "P.dat", stored));

    TNFile file(dir / "P.dat");
    ASSERT_EQ(file.Load(), TNFile::kLoaded) << file.LoadError();
    THist* h = nullptr;
    ASSERT_EQ(file.History.FindByProg(0, h), 0);
    ASSERT_EQ(h->ItemCount(), 2);
    EXPECT_EQ(h->ItemAt(0).Text, "b.txt");
    EXPECT_EQ(h->ItemAt(1).Text, "a.txt");
    EXPECT_FALSE(h->ItemAt(0).Param);
    ASSERT_EQ(file.History.FindByProg(5, h), 0);
    EXPECT_EQ(h->ItemAt(0).Text, "z.txt");
    ASSERT_EQ(file.ExtParams.FindByProg(0, h), 0) << "what follows is read at its place";
    EXPECT_EQ(h->ItemAt(0).Param->Text, "-v %1");

    // Saved, the flag says what the entry holds; nothing else changes.
    ASSERT_EQ(file.Save(), 0);
    image.History.Entries[0].HasParams = 0;
    image.History.Entries[1].HasParams = 0;
    EXPECT_EQ(*platform::ReadFileBytes(dir / "P.dat"), catalogue_format::Serialize(image));
}

TEST(CatalogueFileUnusual, BytesAfterTheLastSectionAreIgnored) {
    ScratchFolder dir;
    Bytes canonical = catalogue_format::Serialize(ToolWrittenImage());
    for (std::size_t extra : {std::size_t{1}, std::size_t{12}, std::size_t{5000}}) {
        Bytes stored = canonical;
        stored.insert(stored.end(), extra, 0x5A);
        ASSERT_TRUE(platform::WriteFileBytes(dir / "T.dat", stored));
        TNFile file(dir / "T.dat");
        ASSERT_EQ(file.Load(), TNFile::kLoaded) << extra << ": " << file.LoadError();
        EXPECT_EQ(file.Progs.Count(), 1);
        EXPECT_EQ(file.ExtParams.Count(), 1);
        ASSERT_EQ(file.Save(), 0);
        EXPECT_EQ(*platform::ReadFileBytes(dir / "T.dat"), canonical) << "saved without them";
    }
}

// Another writer may fill a text field to its last byte. Such a text reads as
// this program writes it back (whole characters in one byte less), so two
// recent files that differ only in that last byte are one file from the
// start, and saving and loading again changes nothing (before, the second
// load merged them and a save lost one).
TEST(CatalogueFileUnusual, TextsFillingTheirFieldReadAsTheyWillBeWritten) {
    auto image = ToolWrittenImage();
    image.History.Entries[0].Items = {{"first", ""}, {"second", ""}, {"third", ""}};
    Bytes stored = catalogue_format::Serialize(image);
    auto fill = [&stored](std::string_view marker, std::string_view ending) {
        auto at = std::search(stored.begin(), stored.end(), marker.begin(), marker.end());
        ASSERT_NE(at, stored.end()) << marker;
        std::fill_n(at, kHistoryItemWidth, std::uint8_t{'x'});
        std::copy(ending.begin(), ending.end(), at + static_cast<std::ptrdiff_t>(kHistoryItemWidth - ending.size()));
    };
    fill("first", "a");
    fill("second", "b");
    fill("third", "\x83\x5C");  // a whole character that ends on the field's last byte

    TNFile file("U.dat");
    ASSERT_EQ(file.LoadFromBytes(stored.data(), stored.size()), TNFile::kLoaded) << file.LoadError();
    THist* h = nullptr;
    ASSERT_EQ(file.History.FindByProg(0, h), 0);
    ASSERT_EQ(h->ItemCount(), 2) << "the first two read as the same text";
    EXPECT_EQ(h->ItemAt(0).Text, std::string(kHistoryItemWidth - 1, 'x'));
    EXPECT_EQ(h->ItemAt(1).Text, std::string(kHistoryItemWidth - 2, 'x')) << "no half of a character";

    Bytes saved = file.SaveToBytes();
    TNFile again("U.dat");
    ASSERT_EQ(again.LoadFromBytes(saved.data(), saved.size()), TNFile::kLoaded);
    EXPECT_EQ(again.SaveToBytes(), saved);
}
