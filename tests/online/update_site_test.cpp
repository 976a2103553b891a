// The update run through the program's own downloader against a real HTTP
// server (and proxy) on 127.0.0.1 that serves an update site.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "catalogue/nfile.h"
#include "net/file_downloader.h"
#include "net/test_servers.h"
#include "online/title_file_writer.h"
#include "online/titles.h"
#include "online/update.h"
#include "online/update_download.h"
#include "online/update_fakes.h"
#include "online/update_form.h"
#include "platform/files.h"
#include "platform/ui/headless.h"
#include "support/fake_clock.h"
#include "support/online_records.h"
#include "support/recording_shell.h"
#include "support/scratch_folder.h"

using namespace kumoya;
using testsupport::FakeUpdateWindow;
using testsupport::ServerLog;
using testsupport::ServeFile;
using testsupport::TestServers;
using testsupport::VersionRecord;

namespace {

constexpr double kNow = 46000.25;

std::string Text(const std::vector<std::uint8_t>& b) { return std::string(b.begin(), b.end()); }

std::string TitleFile(const std::string& fileName, const std::string& title) {
    testsupport::TitleRecord r;
    r.fileName = fileName;
    r.title = title;
    testsupport::TitleFileWriter w(1);
    w.Add(r);
    return Text(w.Bytes());
}

class UpdateSite : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TestServers().problem.empty()) FAIL() << TestServers().problem;
        host = "127.0.0.1:" + std::to_string(TestServers().http);
        context.siteHost = host;
        testsupport::UnserveAll();
        testsupport::SetServePace(0);
        http.OnIdle = nullptr;
    }
    void TearDown() override { testsupport::UnserveAll(); }

    testsupport::ScratchFolder dir;
    testsupport::FakeClock clock{kNow};
    testsupport::RecordingShell shell;
    platform::ScopedService<platform::Shell> useShell{shell};
    TNFile catalogue{dir / "TEST.dat"};
    TFAllTitle titles;
    net::FileDownloader http;
    FileDownloaderAdapter adapter{http};
    std::string host;
    UpdateContext context{catalogue, titles, adapter, dir.path(), "", 0};
    FakeUpdateWindow::Log log;

    int Run(bool forced) { return RunUpdate(context, forced, FakeUpdateWindow::Factory(log)); }
    std::string Url(const std::string& path) const { return "http://" + host + path; }
    std::string Read(const std::string& name) const {
        return Text(platform::ReadFileBytes(dir / name).value_or(std::vector<std::uint8_t>{}));
    }
    void Put(const std::string& name, const std::string& bytes) {
        ASSERT_TRUE(platform::WriteFileBytes(dir / name, std::vector<std::uint8_t>(bytes.begin(), bytes.end())));
    }

    // Publishes a record with `titleFiles` title files under /ttl/ and
    // advertisements 000..cmLast under /cm/.
    VersionRecord Publish(int recordVersion, int titleFiles, int cmLast, int programVersion) {
        VersionRecord r;
        r.recordVersion = recordVersion;
        r.nextCheck = kNow + 7;
        r.titleVersion = 10 + recordVersion;
        r.titleFileCount = titleFiles;
        r.titleBaseUrl = Url("/ttl/");
        r.cmVersion = 20 + recordVersion;
        r.cmLastNumber = cmLast;
        r.cmBaseUrl = Url("/cm/");
        r.programVersion = programVersion;
        r.updaterUrl = Url("/bin/zkvup.exe");
        ServeFile("/vor/zelkova/zelkova.net", Text(r.Bytes()));
        for (int n = 1; n <= titleFiles; ++n) {
            char name[32];
            std::snprintf(name, sizeof name, "zkv%03d.ttl", n);
            ServeFile(std::string("/ttl/") + name, TitleFile("app" + std::to_string(n) + ".exe", "Site " + std::to_string(n)));
        }
        for (int k = 0; k <= cmLast; ++k) {
            char name[32];
            std::snprintf(name, sizeof name, "/cm/%03d/zelkova.cm", k);
            testsupport::AdvertisementFile ad;
            ad.name = "ad" + std::to_string(k);
            ad.clip = testsupport::PatternClip(3000 + static_cast<std::size_t>(k));
            ServeFile(name, Text(ad.Bytes()));
        }
        ServeFile("/bin/zkvup.exe", Text(testsupport::MinimalProgramImage()));
        return r;
    }

    TProg& AddProgram(const std::string& path, const std::string& title) {
        TProg p;
        p.Path = path;
        p.Title = title;
        catalogue.Progs.AddNew(p);
        TProg* stored = nullptr;
        catalogue.Progs.FindById(p.Id, stored);
        return *stored;
    }

    std::string Request(const std::string& path) const {
        return "GET " + path + " HTTP/1.0\r\n";
    }
};

}  // namespace

TEST_F(UpdateSite, AFirstRunFetchesTheSiteDirectlyAndThroughAProxy) {
    for (bool viaProxy : {false, true}) {
        SCOPED_TRACE(viaProxy ? "proxy" : "direct");
        testsupport::ScratchFolder folder;
        context.programFolder = folder.path();
        catalogue.Head.ProxyHost = viaProxy ? "127.0.0.1" : "";
        catalogue.Head.ProxyPort = viaProxy ? TestServers().proxy : 0;
        log = {};
        VersionRecord published = Publish(7, 2, 1, 1);
        TProg& prog = AddProgram("C:\\Apps\\APP2.EXE", "Mine");

        EXPECT_EQ(Run(false), 0);
        EXPECT_TRUE(log.Messages().empty()) << log.Messages().front();
        auto read = [&](const std::string& name) {
            return Text(platform::ReadFileBytes(folder / name).value_or(std::vector<std::uint8_t>{}));
        };
        EXPECT_EQ(read("zkv001.ttl"), TitleFile("app1.exe", "Site 1"));
        EXPECT_EQ(read("zkv002.ttl"), TitleFile("app2.exe", "Site 2"));
        testsupport::AdvertisementFile last;
        last.name = "ad1";
        last.clip = testsupport::PatternClip(3001);
        EXPECT_EQ(read("001\\zelkova.cm"), Text(last.Bytes()));
        EXPECT_EQ(read("zelkova.net").size(), 1648u);
        EXPECT_FALSE(platform::FileExists(folder / "update.net"));
        EXPECT_FALSE(platform::FileExists(folder / "zkvup.exe"));  // the published program is no newer
        EXPECT_TRUE(shell.opens.empty());
        EXPECT_EQ(prog.Title, "Site 2");
        // The bar followed the real transfer up to its end.
        ASSERT_FALSE(log.Progress().empty());
        EXPECT_EQ(log.Progress().back(), 100);

        // The last request went out as it should, through the proxy when set.
        if (viaProxy) {
            EXPECT_EQ(ServerLog("proxy").rfind("GET " + Url("/cm/001/zelkova.cm") + " HTTP/1.0\r\n", 0), 0u)
                << ServerLog("proxy");
        } else {
            EXPECT_EQ(ServerLog("http").rfind(Request("/cm/001/zelkova.cm"), 0), 0u) << ServerLog("http");
        }
        catalogue.Progs.Clear();
    }
}

TEST_F(UpdateSite, AnErrorStatusForATitleFileKeepsTheEarlierFileAndFailsOnce) {
    VersionRecord old;
    old.recordVersion = 3;
    old.lastCheck = kNow - 40;
    old.titleVersion = 13;
    old.cmVersion = 23;
    old.programVersion = 1;
    Put("zelkova.net", Text(old.Bytes()));
    Put("zkv001.ttl", "earlier one");
    Put("zkv002.ttl", "earlier two");
    Publish(8, 2, -1, 1);
    testsupport::UnserveFile("/ttl/zkv002.ttl");

    EXPECT_EQ(Run(false), -1);
    EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                  "タイトルファイルのダウンロードに失敗しました|バージョンアップ|error"}));
    // The highest file was asked for again and is kept as it was; the lower
    // one was not asked for.
    EXPECT_EQ(ServerLog("http").rfind(Request("/ttl/zkv002.ttl"), 0), 0u) << ServerLog("http");
    EXPECT_EQ(Read("zkv001.ttl"), "earlier one");
    EXPECT_EQ(Read("zkv002.ttl"), "earlier two");
    EXPECT_EQ(Read("zelkova.net"), Text(old.Bytes()));  // nothing installed
    EXPECT_EQ(log.created, log.destroyed);

    // A server error page for the version record is no record either.
    log = {};
    platform::DeleteFileAt(dir / "update.net");  // what the run above left
    testsupport::UnserveAll();
    context.siteHost = host + "/status/500";  // the record's path lands behind /status/500
    EXPECT_EQ(Run(true), -1);
    EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                  "バージョン情報のダウンロードに失敗しました|バージョンアップ|error"}));
    EXPECT_FALSE(platform::FileExists(dir / "update.net"));
}

TEST_F(UpdateSite, AStalledServerEndsTheRunWithinTheTimeLimit) {
    Publish(7, 1, -1, 1);
    // The title files' folder stalls after part of the body.
    VersionRecord r;
    r.recordVersion = 7;
    r.titleVersion = 17;
    r.titleFileCount = 1;
    r.titleBaseUrl = Url("/stall-body/");
    r.cmLastNumber = -1;
    r.programVersion = 1;
    ServeFile("/vor/zelkova/zelkova.net", Text(r.Bytes()));
    http.TimeoutMs = 700;
    Put("zkv001.ttl", "earlier");

    const std::time_t start = std::time(nullptr);
    EXPECT_EQ(Run(true), -1);
    EXPECT_LT(std::time(nullptr) - start, 10);  // the server stalls for 30 s
    EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                  "タイトルファイルのダウンロードに失敗しました|バージョンアップ|error"}));
    EXPECT_EQ(Read("zkv001.ttl"), "earlier");
}

namespace {

// The same runs with the real update form on the headless screen.
class UpdateFormRun : public UpdateSite {
protected:
    ui::HeadlessUi screen;
    TfrmUpdate* form = nullptr;
    int forms = 0;
    // What the form showed while bytes were arriving.
    struct Seen {
        bool visible, animating, bold;
        std::string caption, step, percent;
        int position;
    };
    std::vector<Seen> seen;

    int RunWithForm(bool forced) {
        http.OnIdle = [this] {
            if (form == nullptr) return;
            seen.push_back({form->visible(), form->Animate1.active() &&
                                                 form->Animate1.commonAvi() == ui::Animate::CommonAvi::FileCopy,
                            form->lbMessage.font().bold, form->caption(), form->lbMessage.caption(),
                            form->lbPer.caption(), form->ProgressBar1.position()});
        };
        UpdateWindowFactory make = [this]() -> std::unique_ptr<UpdateWindow> {
            auto made = std::make_unique<TfrmUpdate>();
            form = made.get();
            ++forms;
            return made;
        };
        int answer = RunUpdate(context, forced, make);
        form = nullptr;
        return answer;
    }
};

}  // namespace

TEST_F(UpdateFormRun, TheFormShowsTheStepAndTheProgressOfASlowDownload) {
    Publish(7, 1, -1, 1);
    // A title file large enough to arrive in many pieces, slowly.
    testsupport::TitleFileWriter w(1);
    for (int i = 0; i < 400; ++i) {
        testsupport::TitleRecord r;
        r.fileName = "prog" + std::to_string(i) + ".exe";
        r.title = "Program " + std::to_string(i);
        w.Add(r);
    }
    ServeFile("/ttl/zkv001.ttl", Text(w.Bytes()));
    testsupport::SetServePace(15);
    screen->answerMessageBox(ui::DialogResult::Yes);

    EXPECT_EQ(RunWithForm(false), 0);
    ASSERT_EQ(screen->messageBoxes().size(), 1u);
    EXPECT_EQ(screen->messageBoxes()[0].text, "インターネットから最新情報を取得しますか？");
    EXPECT_EQ(screen->messageBoxes()[0].caption, "最新情報の取得");
    EXPECT_EQ(screen->messageBoxes()[0].buttons, ui::MsgButtons::YesNo);
    EXPECT_EQ(screen->messageBoxes()[0].icon, ui::MsgIcon::Information);
    EXPECT_EQ(forms, 1);
    EXPECT_EQ(Read("zkv001.ttl"), Text(w.Bytes()));

    std::set<int> during;
    for (const Seen& s : seen) {
        EXPECT_TRUE(s.visible);
        EXPECT_TRUE(s.animating);
        EXPECT_TRUE(s.bold);
        EXPECT_EQ(s.caption, "KumoUpdate");
        EXPECT_EQ(s.percent, std::to_string(s.position) + "%");
        if (s.step == "タイトルファイルのダウンロード") during.insert(s.position);
    }
    // The bar moved through the transfer, not just from empty to full.
    EXPECT_GE(std::count_if(during.begin(), during.end(), [](int p) { return p > 0 && p < 100; }), 3)
        << during.size();
}

TEST_F(UpdateFormRun, AFailedStepIsAnErrorBoxOverTheForm) {
    Publish(7, 2, -1, 1);
    testsupport::UnserveFile("/ttl/zkv002.ttl");
    EXPECT_EQ(RunWithForm(true), -1);
    ASSERT_EQ(screen->messageBoxes().size(), 1u);
    EXPECT_EQ(screen->messageBoxes()[0].text, "タイトルファイルのダウンロードに失敗しました");
    EXPECT_EQ(screen->messageBoxes()[0].caption, "バージョンアップ");
    EXPECT_EQ(screen->messageBoxes()[0].icon, ui::MsgIcon::Error);
    EXPECT_FALSE(platform::FileExists(dir / "zkv002.ttl"));
    EXPECT_TRUE(platform::FileExists(dir / "zkv001.ttl"));
}
