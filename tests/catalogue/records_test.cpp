#include "catalogue/records.h"

#include <gtest/gtest.h>

#include "support/fake_clock.h"

using namespace kumoya;
using kumoya::platform::EncodeDateTime;

namespace {
std::vector<std::string> Items(const THist& h) {
    std::vector<std::string> out;
    for (int i = 0; i < h.ItemCount(); ++i) out.push_back(h.ItemAt(i).Text);
    return out;
}
TProg Prog(std::string path) {
    TProg p;
    p.Path = std::move(path);
    p.SpareNo = 77;
    return p;
}
}  // namespace

TEST(ProgList, NumbersStartAtZeroAndReuseTheSmallestGap) {
    TProgList list;
    TProg a = Prog("a.exe");
    ASSERT_EQ(list.AddNew(a), 0);
    EXPECT_EQ(a.Id, 0) << "the caller's record receives the number";
    EXPECT_EQ(TProgList::KeyOf(0), "00000");
    EXPECT_EQ(TProgList::KeyOf(123456), "123456");
    TProg* found = nullptr;
    ASSERT_EQ(list.FindById(0, found), 0);
    EXPECT_EQ(found->SpareNo, -1) << "AddNew sets SpareNo whatever the input holds";
    EXPECT_NE(found, &a) << "the list keeps its own copy";

    for (int id : {1, 3}) {
        auto p = std::make_unique<TProg>(Prog("x"));
        p->Id = id;
        list.AppendStored(std::move(p));
    }
    TProg b = Prog("b.exe");
    list.AddNew(b);
    EXPECT_EQ(b.Id, 2);
    TProg c = Prog("c.exe");
    list.AddNew(c);
    EXPECT_EQ(c.Id, 4);
    EXPECT_EQ(list.FindById(9, found), -1);
    EXPECT_EQ(found, nullptr);
}

TEST(ProgList, FindByPathIgnoresAsciiCaseAndTakesTheFirst) {
    TProgList list;
    TProg a = Prog("C:\\Tools\\edit.EXE"), b = Prog("c:\\tools\\EDIT.exe");
    list.AddNew(a);
    list.AddNew(b);
    TProg* found = nullptr;
    ASSERT_EQ(list.FindByPath("c:\\tools\\EDIT.exe", found), 0);
    EXPECT_EQ(found->Id, 0);
    EXPECT_EQ(list.FindByPath("c:\\tools\\edit.ex", found), -1);
    EXPECT_EQ(found, nullptr);
}

TEST(ProgList, CounterResets) {
    TProgList list;
    TProg a = Prog("a");
    a.TodayCount = 3;
    a.TotalCount = 9;
    list.AddNew(a);
    list.ResetTodayCounts();
    EXPECT_EQ(list.At(0).TodayCount, 0);
    EXPECT_EQ(list.At(0).TotalCount, 9);
    list.ResetTotalCounts();
    EXPECT_EQ(list.At(0).TotalCount, 0);
}

TEST(ExtList, RefusesDuplicateNamesAndReusesFreedNumbers) {
    TExtList list;
    TExt txt;
    txt.Name = "TXT";
    txt.AddProg(4);
    ASSERT_EQ(list.AddNew(txt), 0);
    EXPECT_EQ(txt.Id, 0);
    TExt dup;
    dup.Name = "txt";
    EXPECT_EQ(list.AddNew(dup), -1);
    EXPECT_EQ(list.Count(), 1);

    TExt bmp;
    bmp.Name = "BMP";
    list.AddNew(bmp);
    EXPECT_EQ(bmp.Id, 1);
    EXPECT_EQ(list.Delete(0), 0);
    TExt doc;
    doc.Name = "DOC";
    list.AddNew(doc);
    EXPECT_EQ(doc.Id, 0);

    TExt* found = nullptr;
    ASSERT_EQ(list.FindByName("Txt", found), -1);
    ASSERT_EQ(list.FindByName("bmp", found), 0);
    EXPECT_EQ(found->Name, "BMP");
    list.Sort();
    EXPECT_EQ(list.At(0).Name, "BMP");
    EXPECT_EQ(list.At(1).Name, "DOC");
    ASSERT_EQ(list.FindByName("doc", found), 0) << "lookups still work after sorting";
    EXPECT_EQ(found->Id, 0);
}

TEST(Ext, ProgramNumbersStayUniqueAndOrdered) {
    TExt e;
    e.AddProg(5);
    e.AddProg(2);
    e.AddProg(5);
    EXPECT_EQ(e.CopyProgIds(), (std::vector<std::int32_t>{5, 2}));
    EXPECT_EQ(e.SwapProgs(0, 1), 0);
    EXPECT_EQ(e.CopyProgIds(), (std::vector<std::int32_t>{2, 5}));
    EXPECT_EQ(e.SwapProgs(0, 2), -1);
    EXPECT_EQ(e.RemoveProg(7), -1);
    EXPECT_EQ(e.RemoveProg(2), 0);
    EXPECT_EQ(e.IndexOfProg(5), 0);
}

TEST(Hist, NewestFirstUniqueAndLimited) {
    THist h;
    h.AddItem(3, "a.txt");
    h.AddItem(3, "b.txt");
    h.AddItem(3, "A.TXT");  // same file, other case: moves to the top
    EXPECT_EQ(Items(h), (std::vector<std::string>{"A.TXT", "b.txt"}));
    h.AddItem(3, "c.txt");
    h.AddItem(3, "d.txt");
    EXPECT_EQ(Items(h), (std::vector<std::string>{"d.txt", "c.txt", "A.TXT"}));
    h.AddItem(0, "e.txt");
    EXPECT_EQ(h.ItemCount(), 3) << "a limit of 0 adds nothing";
    h.AddItem(0, "c.txt");
    EXPECT_EQ(Items(h), (std::vector<std::string>{"d.txt", "A.TXT"})) << "but the old copy is still removed";
    EXPECT_EQ(h.RemoveItem("D.txt"), 0);
    EXPECT_EQ(h.RemoveItem("D.txt"), -1);
}

TEST(Hist, ParametersTravelWithTheirItems) {
    THist h;
    h.ProgId = 4;
    h.AddItemWithParam(100, "TXT", "-view %1");
    h.AddItemWithParam(100, "DOC", "\"%1\"");
    std::vector<std::pair<std::string, const TvorParam*>> copy;
    h.CopyItems(copy);
    ASSERT_EQ(copy.size(), 2u);
    EXPECT_EQ(copy[1].first, "TXT");
    EXPECT_EQ(copy[1].second->Text, "-view %1");
    THist other;
    other.Assign(h);
    EXPECT_EQ(other.ProgId, 4);
    EXPECT_EQ(other.ItemAt(0).Param->Text, "\"%1\"");
    EXPECT_NE(other.ItemAt(0).Param.get(), h.ItemAt(0).Param.get());
}

TEST(HistList, AddEntryCreatesOrMergesKeepingOrder) {
    THistList list(3);
    THist empty;
    empty.ProgId = 17;
    list.AddEntry(empty);
    THist* entry = nullptr;
    ASSERT_EQ(list.FindByProg(17, entry), 0);
    EXPECT_EQ(entry->ItemCount(), 0);

    entry->AddItem(3, "old.txt");
    THist more;
    more.ProgId = 17;
    more.AddItem(10, "y.txt");
    more.AddItem(10, "x.txt");  // x newest
    list.AddEntry(more);
    EXPECT_EQ(Items(*entry), (std::vector<std::string>{"x.txt", "y.txt", "old.txt"}));
    EXPECT_EQ(list.Count(), 1);

    list.SetLimit(1);
    EXPECT_EQ(Items(*entry), (std::vector<std::string>{"x.txt"}));
    list.SetLimit(-4);
    EXPECT_EQ(list.Limit, 0) << "a negative size keeps nothing";
    EXPECT_EQ(entry->ItemCount(), 0);
}

TEST(ExtensionKeyOf, UpperCaseWithoutDotFromTheLastComponent) {
    EXPECT_EQ(ExtensionKey("a.txt"), "TXT");
    EXPECT_EQ(ExtensionKey("C:\\dir.d\\A.Txt"), "TXT");
    EXPECT_EQ(ExtensionKey("C:\\dir.d\\README"), "");
    EXPECT_EQ(ExtensionKey("C:\\\x83\x5C.lnk"), "LNK");
}

TEST(Head, NewDayFollowsTheLocalCalendarDay) {
    testsupport::FakeClock clock(EncodeDateTime({2026, 12, 8, 23, 59, 0, 0}));
    THead head;
    EXPECT_EQ(head.IsNewDay(), -1) << "a CountDate of 0 is always a new day";
    head.CountDate = clock.Now();
    EXPECT_EQ(head.IsNewDay(), 0);
    clock.Set(EncodeDateTime({2026, 12, 9, 0, 0, 30, 0}));
    EXPECT_EQ(head.IsNewDay(), -1);
}
