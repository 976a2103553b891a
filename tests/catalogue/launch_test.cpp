#include "catalogue/launch.h"

#include <gtest/gtest.h>

#include "catalogue/nfile.h"
#include "platform/files.h"
#include "support/fake_clock.h"
#include "support/recording_shell.h"
#include "support/scratch_folder.h"

using namespace kumoya;
using kumoya::platform::EncodeDateTime;
using kumoya::testsupport::FakeClock;
using kumoya::testsupport::RecordingShell;
using kumoya::testsupport::ScratchFolder;

TEST(ExpandParams, TemplatesWithAndWithoutAFile) {
    EXPECT_EQ(ExpandParams("-view %1 -fast", "C:\\a b.txt"), "-view C:\\a b.txt -fast");
    EXPECT_EQ(ExpandParams(kDefaultParamTemplate, "C:\\a b.txt"), "\"C:\\a b.txt\"");
    EXPECT_EQ(ExpandParams("-open", "C:\\a b.txt"), "-open C:\\a b.txt");
    EXPECT_EQ(ExpandParams("%1 %1", "f"), "f %1") << "only the first placeholder";
    EXPECT_EQ(ExpandParams("-x %", "f"), "-x f");

    EXPECT_EQ(ExpandParams("\"%1\" -x", std::nullopt), " -x") << "the leading blank stays";
    EXPECT_EQ(ExpandParams("-view %1 -fast", std::nullopt), "-view  -fast");
    EXPECT_EQ(ExpandParams("-open", std::nullopt), "-open");
    EXPECT_EQ(ExpandParams("", std::nullopt), "");
    EXPECT_EQ(ExpandParams("", "f"), " f");
}

TEST(ExpandParams, RefusesWhatWouldBeCut) {
    std::string file(509, 'a');
    EXPECT_TRUE(ExpandParams(kDefaultParamTemplate, file)) << "511 bytes fit";
    EXPECT_FALSE(ExpandParams(kDefaultParamTemplate, file + "b"));
}

namespace {

// A catalogue with an editor registered for TXT (priority 1) and LOG, a
// viewer for TXT (priority 2), and real files to open.
struct LaunchFixture : ::testing::Test {
    LaunchFixture() : clock(EncodeDateTime({2026, 12, 8, 10, 0, 0, 0})), use(shell), nf(dir / "T.dat") {
        editor.Path = "C:\\Tools\\edit.exe";
        viewer.Path = "C:\\Tools\\view.exe";
        nf.Progs.AddNew(editor);
        nf.Progs.AddNew(viewer);
        TExt txt;
        txt.Name = "TXT";
        txt.AddProg(editor.Id);
        txt.AddProg(viewer.Id);
        nf.Extensions.AddNew(txt);
        TExt log;
        log.Name = "LOG";
        log.MenuFlag = 1;
        log.AddProg(editor.Id);
        nf.Extensions.AddNew(log);
        nf.Head.CountDate = clock.Now();
        for (const char* name : {"a.txt", "b.TXT", "c.log", "d.gif", "e b.txt"})
            platform::WriteFileBytes(dir / name, {});
        nf.OwnerWindow = 42;
    }
    TProg& Prog(int id) {
        TProg* p = nullptr;
        nf.Progs.FindById(id, p);
        return *p;
    }
    std::vector<std::string> History(int id) {
        std::vector<std::string> out;
        THist* h = nullptr;
        if (nf.History.FindByProg(id, h) == 0)
            for (int i = 0; i < h->ItemCount(); ++i) out.push_back(h->ItemAt(i).Text);
        return out;
    }

    FakeClock clock;
    RecordingShell shell;
    platform::ScopedService<platform::Shell> use;
    ScratchFolder dir;
    TNFile nf;
    TProg editor, viewer;
};

}  // namespace

TEST_F(LaunchFixture, FileOpensWithThePriorityOneProgramAndIsRecorded) {
    std::string file = dir / "a.txt";
    ASSERT_EQ(nf.OpenWithRegistered(file), 0);
    ASSERT_EQ(shell.opens.size(), 1u);
    EXPECT_EQ(shell.opens[0].file, "C:\\Tools\\edit.exe");
    EXPECT_EQ(shell.opens[0].parameters, "\"" + file + "\"");
    EXPECT_EQ(shell.opens[0].directory, "");
    EXPECT_EQ(shell.opens[0].ownerWindow, 42u);
    EXPECT_EQ(Prog(editor.Id).TodayCount, 1);
    EXPECT_EQ(Prog(editor.Id).TotalCount, 1);
    EXPECT_DOUBLE_EQ(Prog(editor.Id).LastLaunch, clock.Now());
    EXPECT_EQ(History(editor.Id), std::vector<std::string>{file});
    EXPECT_EQ(Prog(viewer.Id).TotalCount, 0);
}

TEST_F(LaunchFixture, TheProgramsOwnTemplateForTheExtension) {
    THist params;
    params.ProgId = editor.Id;
    params.AddItemWithParam(100, "TXT", "-view %1 -fast");
    nf.ExtParams.AddEntry(params);
    ASSERT_EQ(nf.OpenWithRegistered(dir / "b.TXT"), 0);
    EXPECT_EQ(shell.opens.at(0).parameters, "-view " + (dir / "b.TXT") + " -fast");
    EXPECT_EQ(nf.TemplateFor(Prog(editor.Id), "LOG"), kDefaultParamTemplate);
    EXPECT_EQ(nf.TemplateFor(Prog(viewer.Id), "TXT"), kDefaultParamTemplate);
}

TEST_F(LaunchFixture, ChoiceOnlyWhenMarkedAndSeveralPrograms) {
    // LOG is marked for choice but has one program: it opens directly.
    EXPECT_EQ(nf.OpenWithRegistered(dir / "c.log"), 0);
    EXPECT_EQ(shell.opens.size(), 1u);
    TExt* txt = nullptr;
    nf.Extensions.FindByName("TXT", txt);
    txt->MenuFlag = 1;
    EXPECT_EQ(nf.OpenWithRegistered(dir / "a.txt"), 1);
    EXPECT_EQ(shell.opens.size(), 1u) << "nothing started while the user chooses";
}

TEST_F(LaunchFixture, UnregisteredOrMissing) {
    // The system's own association: no owner, no parameters, nothing recorded.
    ASSERT_EQ(nf.OpenWithRegistered(dir / "d.gif"), 0);
    ASSERT_EQ(shell.opens.size(), 1u);
    EXPECT_EQ(shell.opens[0].file, dir / "d.gif");
    EXPECT_EQ(shell.opens[0].parameters, "");
    EXPECT_EQ(shell.opens[0].ownerWindow, 0u);
    EXPECT_EQ(nf.History.Count(), 0);

    EXPECT_EQ(nf.OpenWithRegistered(dir / "missing.txt"), -1);
    EXPECT_EQ(nf.Launch(std::string(dir / "missing.txt"), Prog(editor.Id)), -1);
    EXPECT_EQ(shell.opens.size(), 1u);
    EXPECT_EQ(Prog(editor.Id).TotalCount, 0) << "a file that is gone starts and counts nothing";

    // A priority-1 number the catalogue does not know.
    TExt* txt = nullptr;
    nf.Extensions.FindByName("TXT", txt);
    txt->RemoveProg(editor.Id);
    txt->RemoveProg(viewer.Id);
    txt->AddProg(99);
    EXPECT_EQ(nf.OpenWithRegistered(dir / "a.txt"), -1);
}

TEST_F(LaunchFixture, LaunchWithAndWithoutAFile) {
    TProg& v = Prog(viewer.Id);
    v.Params = "-x %1";
    ASSERT_EQ(nf.Launch(std::nullopt, v), 0);
    EXPECT_EQ(shell.opens.at(0).parameters, "-x ");
    EXPECT_TRUE(History(viewer.Id).empty()) << "a launch without a file leaves the history alone";

    // A file whose extension is no longer registered: default template, and
    // it moves to the top of the program's history.
    nf.AddHistory(dir / "d.gif", v);
    nf.AddHistory(dir / "a.txt", v);
    ASSERT_EQ(nf.Launch(std::string(dir / "d.gif"), v), 0);
    EXPECT_EQ(shell.opens.at(1).parameters, "\"" + (dir / "d.gif") + "\"");
    EXPECT_EQ(History(viewer.Id).front(), dir / "d.gif");
    EXPECT_EQ(v.TotalCount, 2);
}

TEST_F(LaunchFixture, CountersOnANewDayAndAtTheWrap) {
    TProg& e = Prog(editor.Id);
    e.TodayCount = 5;
    Prog(viewer.Id).TodayCount = 3;
    e.TotalCount = 2147483647;
    clock.Set(EncodeDateTime({2026, 12, 9, 8, 0, 0, 0}));
    ASSERT_EQ(nf.Launch(std::nullopt, e), 0);
    EXPECT_EQ(e.TodayCount, 1) << "zeroed for the new day, then counted";
    EXPECT_EQ(Prog(viewer.Id).TodayCount, 0);
    EXPECT_EQ(e.TotalCount, 0) << "the total wraps to 0";
    EXPECT_DOUBLE_EQ(nf.Head.CountDate, clock.Now());
}

TEST_F(LaunchFixture, OverlongParametersStartAndCountNothing) {
    TProg& e = Prog(editor.Id);
    e.Params = std::string(600, 'p');
    EXPECT_EQ(nf.Launch(std::nullopt, e), -1);
    std::string file = dir / "a.txt";
    THist params;
    params.ProgId = editor.Id;
    params.AddItemWithParam(100, "TXT", std::string(500, 'p') + " %1");
    nf.ExtParams.AddEntry(params);
    EXPECT_EQ(nf.OpenWithRegistered(file), -1);
    EXPECT_TRUE(shell.opens.empty());
    EXPECT_EQ(e.TotalCount, 0);
    EXPECT_TRUE(History(editor.Id).empty());
}
