// The update run against a fake site and a fake update form: every answer of
// RunUpdate, what is fetched, what is kept, and what the user is shown.
#include "online/update.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/nfile.h"
#include "online/title_file_writer.h"
#include "online/titles.h"
#include "online/update_fakes.h"
#include "platform/files.h"
#include "support/fake_clock.h"
#include "support/online_records.h"
#include "support/recording_shell.h"
#include "support/scratch_folder.h"

using namespace kumoya;
using testsupport::FakeDownloader;
using testsupport::FakeReply;
using testsupport::FakeUpdateWindow;
using testsupport::VersionRecord;

namespace {

constexpr double kNow = 46000.25;
const std::string kSite = "site.test";
const std::string kRecordAddress = "http://site.test/vor/zelkova/zelkova.net";
const std::string kTitleBase = "http://site.test/ttl/";
const std::string kCMBase = "http://site.test/cm/";
const std::string kUpdaterAddress = "http://site.test/bin/zkvup.exe";

std::vector<std::uint8_t> TitleFile(const std::string& fileName, const std::string& title,
                                    const std::string& category = "", std::vector<std::string> exts = {}) {
    testsupport::TitleRecord r;
    r.fileName = fileName;
    r.title = title;
    r.category = category;
    r.exts = std::move(exts);
    testsupport::TitleFileWriter w(1);
    w.Add(r);
    return w.Bytes();
}

std::string Failed(const std::string& step) { return step + "に失敗しました|バージョンアップ|error"; }

class Update : public ::testing::Test {
protected:
    Update() : catalogue(dir / "TEST.dat") {}

    testsupport::ScratchFolder dir;
    testsupport::FakeClock clock{kNow};
    testsupport::RecordingShell shell;
    platform::ScopedService<platform::Shell> useShell{shell};
    TNFile catalogue;
    TFAllTitle titles;
    FakeDownloader site;
    FakeUpdateWindow::Log log;
    UpdateContext context{catalogue, titles, site, dir.path(), kSite, 0};

    int Run(bool forced) { return RunUpdate(context, forced, FakeUpdateWindow::Factory(log)); }

    std::string Path(const std::string& name) const { return dir / name; }
    void Put(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        ASSERT_TRUE(platform::WriteFileBytes(Path(name), bytes)) << name;
    }
    std::vector<std::uint8_t> Read(const std::string& name) const {
        return platform::ReadFileBytes(Path(name)).value_or(std::vector<std::uint8_t>{});
    }

    // The site publishes this record, its title files and advertisements.
    VersionRecord Published(int recordVersion, int titleFiles, int cmLast, int programVersion) {
        VersionRecord r;
        r.recordVersion = recordVersion;
        r.nextCheck = kNow + 7;
        r.titleVersion = 10 + recordVersion;
        r.titleFileCount = titleFiles;
        r.titleBaseUrl = kTitleBase;
        r.cmVersion = 20 + recordVersion;
        r.cmLastNumber = cmLast;
        r.cmBaseUrl = kCMBase;
        r.programVersion = programVersion;
        r.updaterUrl = kUpdaterAddress;
        r.carriedFill = 0x31;
        site.replies[kRecordAddress] = {r.Bytes()};
        for (int n = 1; n <= titleFiles && n < 20; ++n) {
            char name[16];
            std::snprintf(name, sizeof name, "zkv%03d.ttl", n);
            site.replies[kTitleBase + name] = {TitleFile("app" + std::to_string(n) + ".exe", "Site " + std::to_string(n))};
        }
        for (int k = 0; k <= cmLast && k < 20; ++k) {
            char name[32];
            std::snprintf(name, sizeof name, "%03d/zelkova.cm", k);
            testsupport::AdvertisementFile ad;
            ad.name = "ad" + std::to_string(k);
            ad.clip = testsupport::PatternClip(100 + static_cast<std::size_t>(k));
            site.replies[kCMBase + name] = {ad.Bytes()};
        }
        site.replies[kUpdaterAddress] = {testsupport::MinimalProgramImage()};
        return r;
    }

    void HaveLocalRecord(int recordVersion, double lastCheck = kNow - 40, double nextCheck = 0) {
        VersionRecord r;
        r.recordVersion = recordVersion;
        r.lastCheck = lastCheck;
        r.nextCheck = nextCheck;
        r.titleVersion = 10 + recordVersion;
        r.cmVersion = 20 + recordVersion;
        r.programVersion = 5;
        Put("zelkova.net", r.Bytes());
    }

    TProg& AddProgram(const std::string& path, const std::string& title, bool edited = false) {
        TProg p;
        p.Path = path;
        p.Title = title;
        p.AssignEdited = edited ? 1 : 0;
        catalogue.Progs.AddNew(p);
        TProg* stored = nullptr;
        catalogue.Progs.FindById(p.Id, stored);
        return *stored;
    }
};

}  // namespace

TEST_F(Update, SwitchedOffDoesNothingAtAll) {
    catalogue.Head.Flags = THead::NoUpdateQuestion;
    Put("zkv001.ttl", TitleFile("app.exe", "From titles"));
    TProg& prog = AddProgram("C:\\Apps\\app.exe", "Mine");
    EXPECT_EQ(Run(false), 0);
    EXPECT_EQ(log.created, 0);
    EXPECT_TRUE(site.calls.empty());
    EXPECT_EQ(prog.Title, "Mine");
    EXPECT_EQ(prog.TitleIndex, -1);
    EXPECT_EQ(titles.Count(), 0);
}

TEST_F(Update, NotDueOnlyConvertsTitles) {
    // The next check lies ahead, although the last one is older than 30 days.
    HaveLocalRecord(3, kNow - 45, kNow + 1);
    Put("zkv001.ttl", TitleFile("app.exe", "From titles"));
    TProg& prog = AddProgram("C:\\Apps\\APP.EXE", "Mine");
    EXPECT_EQ(Run(false), 0);
    EXPECT_TRUE(site.calls.empty());
    EXPECT_FALSE(log.Has("show"));
    EXPECT_TRUE(log.Messages().empty());
    EXPECT_EQ(log.created, log.destroyed);
    EXPECT_EQ(prog.Title, "From titles");
    EXPECT_EQ(prog.TitleIndex, 0);
}

TEST_F(Update, DeclinedConvertsAndStopsAsking) {
    HaveLocalRecord(3, kNow - 31);  // no next check: due 30 days after the last
    Put("zkv001.ttl", TitleFile("app.exe", "From titles"));
    TProg& prog = AddProgram("C:\\Apps\\app.exe", "Mine");
    log.answerYes = false;
    EXPECT_EQ(Run(false), 0);
    EXPECT_TRUE(log.Has("ask:インターネットから最新情報を取得しますか？|最新情報の取得"));
    EXPECT_TRUE(site.calls.empty());
    EXPECT_EQ(prog.Title, "From titles");
    EXPECT_TRUE(catalogue.Head.Flags & THead::NoUpdateQuestion);
    EXPECT_EQ(log.destroyed, 1);
}

TEST_F(Update, DueWhenTheLocalRecordIsMissingOrDamaged) {
    for (bool damaged : {false, true}) {
        if (damaged) {
            HaveLocalRecord(3, kNow - 1, kNow + 100);  // would not be due...
            std::vector<std::uint8_t> cut = Read("zelkova.net");
            cut.resize(1000);  // ...but is cut short
            Put("zelkova.net", cut);
        }
        FakeUpdateWindow::Log one;
        auto window = FakeUpdateWindow::Factory(one)();
        TUpdateProcedure procedure(context, *window);
        procedure.EvaluateCheckDue();
        EXPECT_TRUE(procedure.CheckDue) << damaged;
    }
    HaveLocalRecord(3, kNow - 29, 0);
    FakeUpdateWindow::Log one;
    auto window = FakeUpdateWindow::Factory(one)();
    TUpdateProcedure procedure(context, *window);
    procedure.EvaluateCheckDue();
    EXPECT_FALSE(procedure.CheckDue);
}

TEST_F(Update, FirstRunFetchesTitlesAndAdvertisementsButNotAnOldProgram) {
    VersionRecord published = Published(7, 2, 2, 1);
    TProg& prog = AddProgram("C:\\Apps\\app2.exe", "Mine");
    EXPECT_EQ(Run(false), 0);

    EXPECT_EQ(site.Addresses(), (std::vector<std::string>{
                                    kRecordAddress, kTitleBase + "zkv001.ttl", kTitleBase + "zkv002.ttl",
                                    kCMBase + "000/zelkova.cm", kCMBase + "001/zelkova.cm",
                                    kCMBase + "002/zelkova.cm"}));
    for (const char* folder : {"000", "001", "002"})
        EXPECT_TRUE(platform::FileExists(Path(std::string(folder) + "\\zelkova.cm"))) << folder;
    EXPECT_FALSE(platform::FileExists(Path("zkvup.exe")));
    EXPECT_TRUE(shell.opens.empty());
    // The titles just fetched were applied.
    EXPECT_EQ(prog.Title, "Site 2");
    // The record was installed with the time of this check; the rest is the
    // site's, byte for byte.
    EXPECT_FALSE(platform::FileExists(Path("update.net")));
    std::vector<std::uint8_t> installed = Read("zelkova.net");
    published.lastCheck = kNow;
    EXPECT_EQ(installed, published.Bytes());
    EXPECT_TRUE(log.Has("show"));
    EXPECT_TRUE(log.Messages().empty());
    EXPECT_EQ(log.destroyed, 1);
    // No stray part files.
    EXPECT_FALSE(platform::FileExists(Path("zkv001.ttl.dl")));
}

TEST_F(Update, NothingNewWhenTheRecordVersionsAgree) {
    HaveLocalRecord(7, kNow - 40);
    VersionRecord published = Published(7, 2, 0, 9);
    published.titleVersion = 99;  // component versions differ, the record's does not
    site.replies[kRecordAddress] = {published.Bytes()};
    EXPECT_EQ(Run(true), -1);
    EXPECT_EQ(site.Addresses(), (std::vector<std::string>{kRecordAddress}));
    EXPECT_EQ(log.Messages(),
              (std::vector<std::string>{"バージョンアップの必要はありませんでした。|バージョンアップ|info"}));
    EXPECT_FALSE(platform::FileExists(Path("update.net")));
    TUpdateFile local;
    ASSERT_EQ(local.LoadFromFile(Path("zelkova.net")), 0);
    EXPECT_EQ(local.LastCheck, kNow);
    EXPECT_EQ(local.RecordVersion, 7);
}

TEST_F(Update, ANewProgramIsStartedOnlyWhenItIsAWholeWindowsProgram) {
    struct Case {
        const char* what;
        FakeReply reply;
        int answer;
    };
    std::vector<std::uint8_t> image = testsupport::MinimalProgramImage(0x100, 0x400);
    std::vector<std::uint8_t> pePastEnd = image;
    pePastEnd[0x3C] = 0xF0;
    pePastEnd[0x3D] = 0x03;  // e_lfanew 0x3F0: the file header would pass the end
    std::vector<Case> cases = {
        {"whole program", {image}, 1},
        {"error page", {{'<', 'h', 't', 'm', 'l', '>'}, 200}, -1},
        {"cut off", {image, 200, true, true, 0x180}, -1},
        {"not found", {image, 404}, -1},
        {"signature past the end", {pePastEnd}, -1},
        {"no length, whole", {image, 200, true, false}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform::DeleteFileAt(Path("zelkova.net"));
        platform::DeleteFileAt(Path("zkvup.exe"));
        HaveLocalRecord(1);
        Published(2, 0, -1, 6);
        site.replies[kUpdaterAddress] = c.reply;
        shell.opens.clear();
        log.events.clear();
        EXPECT_EQ(Run(true), c.answer);
        if (c.answer == 1) {
            ASSERT_EQ(shell.opens.size(), 1u);
            EXPECT_EQ(shell.opens[0].file, Path("zkvup.exe"));
            EXPECT_TRUE(shell.opens[0].showNormal);
            EXPECT_EQ(Read("zkvup.exe"), image);
            EXPECT_TRUE(log.Messages().empty());
        } else {
            EXPECT_TRUE(shell.opens.empty());
            EXPECT_FALSE(platform::FileExists(Path("zkvup.exe")));
            EXPECT_EQ(log.Messages(), (std::vector<std::string>{Failed("プログラムのダウンロード")}));
            // The local record stays as it was, so the next run tries again.
            TUpdateFile local;
            ASSERT_EQ(local.LoadFromFile(Path("zelkova.net")), 0);
            EXPECT_EQ(local.RecordVersion, 1);
            EXPECT_TRUE(platform::FileExists(Path("update.net")));
        }
    }
}

TEST_F(Update, AnErrorStatusFailsTheStepOnceAndKeepsTheTarget) {
    HaveLocalRecord(1);
    Put("update.net", {'o', 'l', 'd'});
    site.replies[kRecordAddress] = {{'g', 'o', 'n', 'e'}, 404};
    EXPECT_EQ(Run(true), -1);
    EXPECT_EQ(log.Messages(), (std::vector<std::string>{Failed("バージョン情報のダウンロード")}));
    EXPECT_EQ(Read("update.net"), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    EXPECT_FALSE(platform::FileExists(Path("update.net.dl")));
    EXPECT_EQ(log.created, log.destroyed);

    // No connection at all: the same single message.
    log.events.clear();
    site.replies[kRecordAddress] = {{}, 0, false};
    EXPECT_EQ(Run(true), -1);
    EXPECT_EQ(log.Messages(), (std::vector<std::string>{Failed("バージョン情報のダウンロード")}));
}

TEST_F(Update, ARecordOfTheWrongSizeIsAFailedCheck) {
    HaveLocalRecord(1);
    for (std::size_t size : {std::size_t{0}, std::size_t{1647}, std::size_t{1649}, std::size_t{4096}}) {
        SCOPED_TRACE(size);
        std::vector<std::uint8_t> bytes = Published(2, 1, 0, 1).Bytes();
        bytes.resize(size, 0x41);
        site.replies[kRecordAddress] = {bytes};
        site.calls.clear();
        log.events.clear();
        EXPECT_EQ(Run(true), -1);
        EXPECT_EQ(site.Addresses(), (std::vector<std::string>{kRecordAddress}));
        EXPECT_EQ(log.Messages(), (std::vector<std::string>{Failed("バージョン情報のチェック")}));
        TUpdateFile local;
        ASSERT_EQ(local.LoadFromFile(Path("zelkova.net")), 0);
        EXPECT_EQ(local.RecordVersion, 1);
    }
}

TEST_F(Update, TheHighestTitleFileIsFetchedAgainAndLowerOnesKept) {
    HaveLocalRecord(1);
    for (const char* name : {"zkv001.ttl", "zkv002.ttl", "zkv003.ttl"}) Put(name, TitleFile("local.exe", "Local"));
    Published(2, 5, -1, 5);  // same program version as the local record
    EXPECT_EQ(Run(true), 0);
    EXPECT_EQ(site.Addresses(), (std::vector<std::string>{kRecordAddress, kTitleBase + "zkv003.ttl",
                                                          kTitleBase + "zkv004.ttl", kTitleBase + "zkv005.ttl"}));
    EXPECT_EQ(Read("zkv002.ttl"), TitleFile("local.exe", "Local"));
    EXPECT_EQ(Read("zkv003.ttl"), TitleFile("app3.exe", "Site 3"));
}

TEST_F(Update, AFailedTitleFileEndsTheRunAndKeepsWhatArrived) {
    HaveLocalRecord(1);
    Published(2, 3, 0, 1);
    site.replies[kTitleBase + "zkv002.ttl"] = {{}, 0, false};
    TProg& prog = AddProgram("C:\\Apps\\app1.exe", "Mine");
    EXPECT_EQ(Run(true), -1);
    EXPECT_EQ(site.Addresses(), (std::vector<std::string>{kRecordAddress, kTitleBase + "zkv001.ttl",
                                                          kTitleBase + "zkv002.ttl"}));
    EXPECT_TRUE(platform::FileExists(Path("zkv001.ttl")));
    EXPECT_FALSE(platform::FileExists(Path("zkv002.ttl")));
    EXPECT_EQ(log.Messages(), (std::vector<std::string>{Failed("タイトルファイルのダウンロード")}));
    EXPECT_EQ(prog.Title, "Mine");  // no conversion after a failed step
    EXPECT_TRUE(platform::FileExists(Path("update.net")));
}

TEST_F(Update, CountsBeyondWhatTheNamesCarryAreRefused) {
    struct Case {
        int titleFiles, cmLast;
        const char* step;
    };
    for (const Case& c : {Case{1000, 0, "タイトルファイルのダウンロード"}, Case{-3, 0, "タイトルファイルのダウンロード"},
                          Case{0, 1000, "CMファイルのダウンロード"}, Case{0, 0x7FFFFFFF, "CMファイルのダウンロード"},
                          Case{0, -2, "CMファイルのダウンロード"}}) {
        SCOPED_TRACE(std::to_string(c.titleFiles) + " " + std::to_string(c.cmLast));
        HaveLocalRecord(1);
        VersionRecord r = Published(2, 0, 0, 1);
        r.titleFileCount = c.titleFiles;
        r.cmLastNumber = c.cmLast;
        site.replies[kRecordAddress] = {r.Bytes()};
        site.calls.clear();
        log.events.clear();
        EXPECT_EQ(Run(true), -1);
        EXPECT_EQ(site.Addresses(), (std::vector<std::string>{kRecordAddress}));
        EXPECT_EQ(log.Messages(), (std::vector<std::string>{Failed(c.step)}));
        EXPECT_FALSE(platform::DirectoryExists(Path("000")));
    }
    // -1 publishes no advertisement: that is no failure.
    HaveLocalRecord(1);
    Published(2, 0, -1, 5);
    EXPECT_EQ(Run(true), 0);
}

TEST_F(Update, ExistingAdvertisementsStayAndTheRestAreFetched) {
    HaveLocalRecord(1);
    ASSERT_TRUE(platform::CreateDirectories(Path("001")));
    Put("001\\zelkova.cm", {'m', 'i', 'n', 'e'});
    Published(2, 0, 2, 5);
    catalogue.Head.ProxyHost = "proxy.test";
    catalogue.Head.ProxyPort = 8080;
    EXPECT_EQ(Run(true), 0);
    EXPECT_EQ(site.Addresses(), (std::vector<std::string>{kRecordAddress, kCMBase + "000/zelkova.cm",
                                                          kCMBase + "002/zelkova.cm"}));
    EXPECT_EQ(Read("001\\zelkova.cm"), (std::vector<std::uint8_t>{'m', 'i', 'n', 'e'}));
    EXPECT_EQ(site.calls[1].target, Path("000\\zelkova.cm.dl"));
    for (const auto& call : site.calls) {
        EXPECT_EQ(call.proxy.host, "proxy.test");
        EXPECT_EQ(call.proxy.port, 8080);
    }
}

TEST_F(Update, ProgressWithAndWithoutAnAnnouncedLength) {
    HaveLocalRecord(1);
    Published(2, 1, -1, 5);
    site.replies[kTitleBase + "zkv001.ttl"].announceLength = false;
    EXPECT_EQ(Run(true), 0);
    // The record: half, then all; the title file without a length: nothing
    // to divide by while it runs, full once it has arrived.
    std::vector<int> p = log.Progress();
    ASSERT_GE(p.size(), 5u);
    EXPECT_EQ((std::vector<int>{p[0], p[1], p[2], p[3], p[4]}), (std::vector<int>{50, 100, 0, 0, 100}));
    EXPECT_EQ(TransferPercent(3, 7), 42);
    EXPECT_EQ(TransferPercent(5, 0), 0);
    EXPECT_EQ(TransferPercent(9, 7), 100);
    EXPECT_EQ(TransferPercent(std::int64_t{1} << 60, std::int64_t{1} << 61), 50);
}

TEST_F(Update, ConversionAppliesTitlesCategoriesAndExtensions) {
    testsupport::TitleFileWriter w(3);
    testsupport::TitleRecord a;
    a.fileName = "edit.exe";
    a.title = "Editor";
    a.category = "  ";  // blank: no category
    a.exts = {"txt", "Log"};
    testsupport::TitleRecord b;
    b.fileName = "view.exe";
    b.title = "Viewer";
    b.category = "Graphics";
    b.exts = {"PNG", "txt"};
    testsupport::TitleRecord c;
    c.fileName = "mine.exe";
    c.title = "Theirs";
    c.category = "Other";
    c.exts = {"ZZZ"};
    w.Add(a).Add(b).Add(c);
    Put("zkv001.ttl", w.Bytes());

    TExt existing;
    existing.Name = "TXT";
    existing.MenuFlag = 0;
    catalogue.Extensions.AddNew(existing);
    TProg& edit = AddProgram("C:\\Apps\\Edit.exe", "e");
    TProg& view = AddProgram("D:\\v\\VIEW.EXE", "v");
    TProg& mine = AddProgram("C:\\mine.exe", "Mine", /*edited=*/true);
    TProg& none = AddProgram("C:\\none.exe", "None");
    none.TitleIndex = 5;

    FakeUpdateWindow::Log one;
    auto window = FakeUpdateWindow::Factory(one)();
    TUpdateProcedure procedure(context, *window);
    procedure.ConvertTitles();
    procedure.ConvertTitles();  // twice: nothing is added twice

    EXPECT_EQ(edit.Title, "Editor");
    EXPECT_EQ(view.Title, "Viewer");
    EXPECT_EQ(mine.Title, "Mine");
    EXPECT_EQ(mine.TitleIndex, 2);  // refreshed even when edited
    EXPECT_EQ(none.TitleIndex, -1);
    EXPECT_EQ(catalogue.Categories.Count(), 1);
    TExt* graphics = nullptr;
    ASSERT_EQ(catalogue.Categories.FindByName("Graphics", graphics), 0);
    EXPECT_EQ(graphics->MenuFlag, 0);
    EXPECT_EQ(graphics->CopyProgIds(), (std::vector<std::int32_t>{view.Id}));

    std::vector<std::string> names;
    for (int i = 0; i < catalogue.Extensions.Count(); ++i) names.push_back(catalogue.Extensions.At(i).Name);
    EXPECT_EQ(names, (std::vector<std::string>{"LOG", "PNG", "TXT"}));
    TExt* txt = nullptr;
    ASSERT_EQ(catalogue.Extensions.FindByName("TXT", txt), 0);
    EXPECT_EQ(txt->MenuFlag, 0);  // an existing extension keeps its setting
    EXPECT_EQ(txt->CopyProgIds(), (std::vector<std::int32_t>{edit.Id, view.Id}));
    TExt* log2 = nullptr;
    ASSERT_EQ(catalogue.Extensions.FindByName("LOG", log2), 0);
    EXPECT_EQ(log2->MenuFlag, 1);
    EXPECT_EQ(one.events.front(), "step:タイトル変換");
}
