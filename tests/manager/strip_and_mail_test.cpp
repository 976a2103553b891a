// The management window's advertisement strip (clips played, clicked,
// waited out and saved, on a real wait thread) and the network page's mail,
// sent to a real SMTP server on 127.0.0.1.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "../net/test_servers.h"
#include "launcher/title_form.h"
#include "manager/main_form.h"
#include "online/cmdata.h"
#include "platform/datetime.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/ui/headless.h"
#include "platform/ui/headless_more.h"
#include "support/online_records.h"
#include "support/recording_shell.h"
#include "support/scratch_folder.h"

using namespace kumoya;
using kumoya::testsupport::AdvertisementFile;
using kumoya::testsupport::RecordingShell;
using kumoya::testsupport::ScratchFolder;

namespace {

// A clock the wait thread and the window may share: ticks move when the
// test says and with each sleep, which also lets a moment of real time pass.
class SharedClock : public platform::Clock {
public:
    SharedClock() : scope_(*this) {}
    double Now() override { return platform::EncodeDateTime({2026, 12, 8, 10, 0, 0, 0}); }
    std::uint32_t TickCount() override { return ticks_.load(); }
    void Sleep(std::uint32_t ms) override {
        ticks_.fetch_add(ms);
        std::this_thread::sleep_for(std::chrono::milliseconds(realSleepMs.load()));
    }
    void Advance(std::uint32_t ms) { ticks_.fetch_add(ms); }
    std::atomic<int> realSleepMs{1};

private:
    std::atomic<std::uint32_t> ticks_{0xFFFFF000u};  // wraps during the tests
    platform::ScopedService<platform::Clock> scope_;
};

struct ManagerRun : ::testing::Test {
    ManagerRun() : useShell(shell), useRegistry(registry), file(dir / "PC.dat") {
        TNFile nf(file);
        nf.Head.MenuAtStart = 0;
        nf.Head.CountDate = clock.Now();
        EXPECT_EQ(nf.Save(), 0);
    }
    ~ManagerRun() override { title.reset(); }

    void PutAdvertisement(const std::string& folder, const AdvertisementFile& ad) {
        ASSERT_TRUE(platform::CreateDirectories(dir / folder));
        ASSERT_TRUE(platform::WriteFileBytes(dir / folder + "\\zelkova.cm", ad.Bytes()));
    }
    TfrmMain& Open() {
        title = std::make_unique<TfrmTitle>(std::vector<std::string>{}, file);
        title->Context().SetProgramFolder(dir.path());
        ui::App().run(*title);
        if (!title->MainForm) throw std::logic_error("the management window did not open");
        return *title->MainForm;
    }
    // Answers window messages (and work handed over by the wait thread)
    // until `done`, for at most ten seconds of real time.
    bool PumpUntil(const std::function<bool()>& done) {
        auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            if (std::chrono::steady_clock::now() > limit) return false;
            ui::App().processMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    TCMData Record(const std::string& folder) {
        TCMData record;
        EXPECT_EQ(record.LoadRecord(dir / folder + "\\zelkova.cm"), 0);
        return record;
    }
    TNFile Saved() {
        title.reset();
        TNFile nf(file);
        EXPECT_EQ(nf.Load(), 0);
        return nf;
    }

    ui::HeadlessUi ui;
    SharedClock clock;
    RecordingShell shell;
    platform::ScopedService<platform::Shell> useShell;
    platform::MemoryRegistry registry;
    platform::ScopedService<platform::Registry> useRegistry;
    ScratchFolder dir;
    std::string file;
    std::unique_ptr<TfrmTitle> title;
};

using AdvertisementStrip = ManagerRun;

AdvertisementFile Spring() {
    AdvertisementFile ad;
    ad.name = "春の広告";
    ad.clickCount = 4;
    ad.displayMs = 1000;
    // One web page, a program and a file: only the first may ever open.
    ad.linkCount = 7;  // counts as 3
    ad.links = {"http://ads.example/spring", "C:\\Windows\\notepad.exe", "file:///C:/secret.txt"};
    ad.pauseSeconds = 2;
    ad.clip = testsupport::PatternClip(65536 + 100);
    return ad;
}

}  // namespace

TEST_F(AdvertisementStrip, AClipPlaysIsClickedWaitedOutSavedAndFollowedByTheNext) {
    AdvertisementFile spring = Spring();
    PutAdvertisement("000", spring);
    ASSERT_TRUE(platform::CreateDirectories(dir / "001"));  // no advertisement in it
    ASSERT_TRUE(platform::WriteFileBytes(dir / "002", {}));  // a file, no folder

    TfrmMain& main = Open();
    EXPECT_EQ(main.FindAdvertisementFolders(), std::vector<std::string>{"000"});
    ui::MediaDouble& player = ui::HeadlessMedia(main.mpCm);
    EXPECT_EQ(player.openedFile(), dir / "CM.AVI");
    EXPECT_TRUE(player.playing());
    EXPECT_EQ(platform::ReadFileBytes(dir / "CM.AVI"), spring.clip);
    EXPECT_EQ(main.Panel1.cursor(), ui::Cursor::Hand);

    const int clicks = 30;
    for (int i = 0; i < clicks; ++i) ui::Click(main.Panel1);
    ASSERT_FALSE(shell.opens.empty());
    EXPECT_LT(shell.opens.size(), static_cast<std::size_t>(clicks));  // the other two links stay shut
    for (const auto& open : shell.opens) EXPECT_EQ(open.file, "http://ads.example/spring");

    // The clip plays 12.5 s, then the pause of 2 s passes in 1-second steps.
    clock.Advance(12500);
    player.elapse(player.length());
    ASSERT_TRUE(PumpUntil([&] { return player.opens() == 2; })) << "no next clip after the pause";
    TCMData saved = Record("000");
    EXPECT_EQ(saved.ClickCount, 4 + clicks);
    EXPECT_EQ(saved.DisplayMs, 1000 + 12500 + 3000);
    EXPECT_EQ(saved.ClipSize, static_cast<std::int32_t>(spring.clip.size()));
    EXPECT_TRUE(player.playing());  // the same advertisement again, the only one there is

    // Closing while the second clip plays saves the part it showed.
    clock.Advance(4000);
    ui::Click(main.Panel1);
    main.mnuEnd->userClick();
    ui::App().processMessages();
    saved = Record("000");
    EXPECT_EQ(saved.ClickCount, 4 + clicks + 1);
    EXPECT_EQ(saved.DisplayMs, 1000 + 12500 + 3000 + 4000);
    EXPECT_FALSE(platform::FileExists(dir / "CM.AVI"));
    std::vector<std::uint8_t> whole = spring.clip;
    auto bytes = platform::ReadFileBytes(dir / "000\\zelkova.cm");
    ASSERT_TRUE(bytes);
    EXPECT_TRUE(std::equal(whole.begin(), whole.end(), bytes->begin() + 2104));
}

TEST_F(AdvertisementStrip, ClosingDuringThePauseStopsTheWaitWithinASecondAndStartsNothing) {
    AdvertisementFile ad = Spring();
    ad.linkCount = 0;
    ad.pauseSeconds = 600;
    PutAdvertisement("000", ad);
    clock.realSleepMs = 20;  // the pause takes 12 s of real time: closing comes first

    TfrmMain& main = Open();
    EXPECT_EQ(main.Panel1.cursor(), ui::Cursor::Default);
    EXPECT_FALSE(main.Panel1.OnClick);
    ui::MediaDouble& player = ui::HeadlessMedia(main.mpCm);
    clock.Advance(5000);
    player.elapse(player.length());
    ui::App().processMessages();  // the end of the clip: the wait begins
    ASSERT_FALSE(main.Ad.AdIdle.load());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    auto began = std::chrono::steady_clock::now();
    main.mnuEnd->userClick();
    ui::App().processMessages();
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(2));
    EXPECT_TRUE(main.Ad.AdIdle.load());
    EXPECT_EQ(player.opens(), 1);
    EXPECT_FALSE(platform::FileExists(dir / "CM.AVI"));
    TCMData saved = Record("000");
    // The clip's 5 s and the whole seconds of pause up to the stop.
    EXPECT_GT(saved.DisplayMs, 1000 + 5000);
    EXPECT_LT(saved.DisplayMs, 1000 + 5000 + 600000);
    EXPECT_EQ(std::fmod(saved.DisplayMs, 1000.0), 0);
}

TEST_F(AdvertisementStrip, ADamagedAdvertisementIsDeletedAndTheWindowWorksOnWithoutAClip) {
    AdvertisementFile damaged = Spring();
    damaged.clipSizeField = 200000;  // more clip than the file holds
    PutAdvertisement("003", damaged);
    ASSERT_TRUE(platform::WriteFileBytes(dir / "cm.avi", {1, 2, 3}));  // left by an earlier run

    TfrmMain& main = Open();
    EXPECT_FALSE(platform::FileExists(dir / "003\\zelkova.cm"));
    EXPECT_EQ(main.mpCm.fileName(), "");
    EXPECT_FALSE(main.mpCm.isOpen());
    EXPECT_EQ(main.Panel1.cursor(), ui::Cursor::Default);
    EXPECT_TRUE(main.FindAdvertisementFolders().empty());
    main.PageControl1.userSelectPage(TfrmMain::kPageNetwork);
    EXPECT_EQ(title->Context().NFile().Head.MainPage, TfrmMain::kPageNetwork);
    main.mnuEnd->userClick();
    ui::App().processMessages();
    EXPECT_FALSE(platform::FileExists(dir / "cm.avi"));
}

// ---- the mail ----

namespace {

struct Mail : ManagerRun {
    void SetUp() override {
        if (!testsupport::TestServers().problem.empty()) FAIL() << testsupport::TestServers().problem;
    }
    TfrmMain& OpenMail() {
        TfrmMain& main = Open();
        main.PageControl1.userSelectPage(TfrmMain::kPageNetwork);
        main.nmMail.Port = testsupport::TestServers().smtp;
        main.nmMail.ToList = {"support@kumoya.invalid"};
        main.nmMail.BCCList = {"archive@kumoya.invalid"};
        main.nmMail.OnIdle = nullptr;
        return main;
    }
    static std::string Decode(const std::string& jis) {
        TPzConv conv;
        return conv.JisToSJis(jis);
    }
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) end = text.size();
        out.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return out;
}

}  // namespace

TEST_F(Mail, TheFirstSendAsksAddressServerAndUserIdAndTheMessageGoesOutAsTheServerShouldSeeIt) {
    AdvertisementFile a = Spring();
    a.name = "広告A";
    a.clickCount = 2;
    a.displayMs = 3725900;  // 1 h 2 min 5.9 s
    PutAdvertisement("000", a);
    AdvertisementFile b = Spring();
    b.name = "広告B";
    b.clickCount = 0;
    b.displayMs = 59999;
    PutAdvertisement("001", b);

    TfrmMain& main = OpenMail();
    // The folders in the order the file system lists them, last one first.
    std::vector<std::string> folders = main.FindAdvertisementFolders();
    ASSERT_EQ(folders.size(), 2u);

    // The template, once, on an empty text only.
    ui::Choose(main.cbMailSubject, 0);
    ASSERT_EQ(main.mmMail.lines().size(), 7u);
    EXPECT_EQ(main.mmMail.lines()[0], "【使用OS】");
    ui::Choose(main.cbMailSubject, 4);
    EXPECT_EQ(main.mmMail.lines().size(), 7u);
    EXPECT_EQ(main.cbMailSubject.text(), "タイトルファイル追加希望");

    ui::Type(main.cbMailSubject, "起動しません");
    ui::Type(main.mmMail, "テストです。\r\n\r\n.先頭の点\r\n   \r\n終わり");
    // The server rejects the empty HELO, so the user ID is asked for too.
    ui->answerInputBox("me@127.0.0.1");
    ui->answerInputBox(std::nullopt);  // the server offered is kept: see below
    ASSERT_NO_THROW(ui::Click(main.btSendMail));
    ASSERT_EQ(ui->inputBoxes().size(), 2u);
    EXPECT_EQ(ui->inputBoxes()[1].caption, "メールサーバー");
    EXPECT_EQ(ui->inputBoxes()[1].start, "127.0.0.1");  // offered from the address
    EXPECT_TRUE(ui->messageBoxes().empty());  // cancelled: nothing said, nothing sent

    ui->answerInputBox("127.0.0.1");
    ui->answerInputBox("tester");
    ui::Click(main.btSendMail);
    ASSERT_EQ(ui->inputBoxes().size(), 4u);
    EXPECT_EQ(ui->inputBoxes()[2].caption, "メールサーバー");
    EXPECT_EQ(ui->inputBoxes()[2].start, "");  // the address was not typed this time
    EXPECT_EQ(ui->inputBoxes()[3].caption, "認証が必要です。");
    EXPECT_EQ(ui->inputBoxes()[3].prompt, "ユーザーIDを入力してください：");
    ASSERT_EQ(ui->messageBoxes().size(), 1u);
    EXPECT_EQ(ui->messageBoxes()[0].text, "送信終了しました。");
    EXPECT_EQ(ui->messageBoxes()[0].icon, ui::MsgIcon::Information);
    EXPECT_TRUE(main.btSendMail.enabled());

    EXPECT_EQ(testsupport::ServerLog("smtp-from"), "me@127.0.0.1");
    EXPECT_EQ(testsupport::ServerLog("smtp-to"), "support@kumoya.invalid,archive@kumoya.invalid");
    std::vector<std::string> got = Lines(testsupport::ServerLog("smtp-content"));
    TPzConv conv;
    std::vector<std::string> header(got.begin(), got.begin() + 6);
    EXPECT_EQ(header, (std::vector<std::string>{"From: <me@127.0.0.1>", "To: support@kumoya.invalid",
                                                "Subject: " + conv.MIMEHeaderEncode("起動しません"),
                                                "Mime-Version: 1.0",
                                                "Content-Type: text/plain; charset=\"iso-2022-jp\"",
                                                "Content-Transfer-Encoding: 7bit"}));
    EXPECT_EQ(header[2].rfind("Subject: =?ISO-2022-JP?B?", 0), 0u);
    // The empty line that ends the header, and the component's empty first
    // line of the body.
    ASSERT_EQ(got.at(6), "");
    ASSERT_EQ(got.at(7), "");
    std::vector<std::string> body;
    for (std::size_t i = 8; i < got.size(); ++i) body.push_back(Decode(got[i]));
    std::string first = Record(folders[0]).AdName, second = Record(folders[1]).AdName;
    auto line = [](const std::string& name) {
        return name == "広告A" ? "広告A,2回,1時間2分5秒" : "広告B,0回,0時間0分59秒";
    };
    EXPECT_EQ(body, (std::vector<std::string>{line(second), line(first), "テストです。", " ", ".先頭の点", " ",
                                              "終わり"}));
    EXPECT_NE(testsupport::ServerLog("smtp").find("\r\n..\x1b$B"), std::string::npos);  // the dot doubled
    EXPECT_TRUE(std::all_of(got.begin(), got.end(), [](const std::string& l) {
        return std::all_of(l.begin(), l.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    }));

    // The next mail asks nothing; the answers are saved with the catalogue.
    main.cbCMData.userClick();  // no statistics
    ui::Type(main.cbMailSubject, "Thanks");
    ui::Type(main.mmMail, "ok");
    ui::Click(main.btSendMail);
    EXPECT_EQ(ui->inputBoxes().size(), 4u);
    EXPECT_EQ(ui->messageBoxes().back().text, "送信終了しました。");
    got = Lines(testsupport::ServerLog("smtp-content"));
    EXPECT_EQ(got.at(2), "Subject: Thanks");
    EXPECT_EQ(std::vector<std::string>(got.begin() + 8, got.end()), std::vector<std::string>{"ok"});
    EXPECT_NE(testsupport::ServerLog("smtp").find("HELO tester\r\n"), std::string::npos);
    main.mnuEnd->userClick();
    ui::App().processMessages();
    TNFile nf = Saved();
    EXPECT_EQ(nf.Head.MailAddress, "me@127.0.0.1");
    EXPECT_EQ(nf.Head.SmtpHost, "127.0.0.1");
    EXPECT_EQ(nf.Head.SmtpUser, "tester");
}

TEST_F(Mail, MissingTextsRefusalsAndCancelledIdsAreSaidAndKeepTheText) {
    {
        TNFile nf(file);
        ASSERT_EQ(nf.Load(), 0);
        nf.Head.MailAddress = "nobody-home@127.0.0.1";
        nf.Head.SmtpHost = "127.0.0.1";
        nf.Head.SmtpUser = "good";
        ASSERT_EQ(nf.Save(), 0);
    }
    TfrmMain& main = OpenMail();
    auto said = [this] { return ui->messageBoxes().back(); };

    ui::Click(main.btSendMail);  // no subject
    EXPECT_EQ(said().text, "題名が入力されていません。");
    EXPECT_EQ(said().caption, "メールの送信");
    EXPECT_EQ(said().icon, ui::MsgIcon::Information);
    ui::Type(main.cbMailSubject, "  ");
    ui::Click(main.btSendMail);
    EXPECT_EQ(said().text, "題名が入力されていません。");
    ui::Type(main.cbMailSubject, "ﾃｽﾄ");  // half-width kana alone
    main.cbCMData.userClick();
    ui::Type(main.mmMail, " \r\n ");
    ui::Click(main.btSendMail);
    EXPECT_EQ(said().text, "本文が入力されていません。");
    EXPECT_EQ(ui->messageBoxes().size(), 3u);

    // A recipient the server refuses.
    ui::Type(main.mmMail, "本文");
    main.nmMail.ToList = {"nobody@kumoya.invalid"};
    main.nmMail.BCCList.clear();
    ui::Click(main.btSendMail);
    EXPECT_EQ(said().text, "送信に失敗しました。");
    EXPECT_EQ(said().icon, ui::MsgIcon::Error);
    EXPECT_EQ(main.mmMail.text(), "本文");
    EXPECT_TRUE(main.btSendMail.enabled());

    // A server that rejects HELO; the user cancels the user-ID question.
    main.nmMail.ToList = {"support@kumoya.invalid"};
    title->Context().NFile().Head.SmtpUser = "bad-user";
    ui->answerInputBox(std::nullopt);
    ui::Click(main.btSendMail);
    EXPECT_EQ(said().text, "送信に失敗しました。");
    EXPECT_EQ(title->Context().NFile().Head.SmtpUser, "bad-user");

    // With an ID it goes, the kana subject as an encoded word.
    ui->answerInputBox("good");
    ui::Click(main.btSendMail);
    EXPECT_EQ(said().text, "送信終了しました。");
    std::vector<std::string> got = Lines(testsupport::ServerLog("smtp-content"));
    TPzConv conv;
    EXPECT_EQ(got.at(2), "Subject: =?ISO-2022-JP?B?" + conv.B64Encode(conv.SJisToJis("ﾃｽﾄ")) + "?=");
    EXPECT_EQ(conv.MIMEHeaderDecode(got.at(2).substr(9)), "テスト");
    EXPECT_EQ(title->Context().NFile().Head.SmtpUser, "good");
}

TEST_F(Mail, TheHeaderAdjustmentFollowsTheExactLines) {
    TfrmMain& main = OpenMail();
    const std::string ascii = "Content-Type: text/plain;" + std::string(24, ' ') + "charset=us-ascii";
    const std::string jis = "Content-Type: text/plain; charset=\"iso-2022-jp\"";
    const std::string bit7 = "Content-Transfer-Encoding: 7bit";
    main.nmMail.FinalHeader = {"From: a", ascii, "X: y"};
    main.nmMailSendStart();
    EXPECT_EQ(main.nmMail.FinalHeader, (std::vector<std::string>{"From: a", jis, bit7, "X: y"}));
    main.nmMailSendStart();  // already declared: nothing more
    EXPECT_EQ(main.nmMail.FinalHeader, (std::vector<std::string>{"From: a", jis, bit7, "X: y"}));
    main.nmMail.FinalHeader = {"From: a", "Content-Type: text/plain; charset=us-ascii"};  // not the exact text
    main.nmMailSendStart();
    EXPECT_EQ(main.nmMail.FinalHeader, (std::vector<std::string>{jis, bit7, "From: a",
                                                                 "Content-Type: text/plain; charset=us-ascii"}));
}
