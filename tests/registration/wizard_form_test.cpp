// The setup wizard as a user walks it: against an in-memory registry with
// file types and Internet settings, a scratch desktop and send-to folder, a
// stand-in for the sticky-note program and a recorded update; what the
// catalogue and the folders hold afterwards.
#include "registration/wizard_form.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/files.h"
#include "platform/interprocess.h"
#include "platform/ui/headless.h"
#include "registration/mirun.h"
#include "scan_fixture.h"

namespace kumoya {
namespace {

using platform::RegistryRoot;

constexpr char kInternet[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// The sticky-note program: its block, answering every command at once.
class SiblingStandIn : public platform::InterProcess {
public:
    static constexpr std::uint32_t kWindow = 0x4321;
    std::vector<std::uint8_t> block = std::vector<std::uint8_t>(kMirunBlockSize, 0);
    std::vector<std::int32_t> commands;

    void Publish(const std::string& version) {
        std::int32_t window = kWindow;
        std::memcpy(block.data(), &window, 4);
        std::memcpy(block.data() + kMirunTextOffset, version.c_str(), version.size() + 1);
    }
    std::unique_ptr<platform::SharedMemory> OpenSharedMemory(std::string_view, std::size_t) override {
        struct View : platform::SharedMemory {
            std::vector<std::uint8_t>& b;
            explicit View(std::vector<std::uint8_t>& bytes) : b(bytes) {}
            std::uint8_t* Data() override { return b.data(); }
            std::size_t Size() const override { return b.size(); }
        };
        return std::make_unique<View>(block);
    }
    bool PostWindowMessage(std::uint32_t window, std::uint32_t, std::uintptr_t, std::intptr_t) override {
        if (window != kWindow) return false;
        std::int32_t command;
        std::memcpy(&command, block.data() + 4, 4);
        commands.push_back(command);
        std::memset(block.data() + 4, 0, 4);
        return true;
    }
    void WaitBriefly(std::uint32_t) override {}
};

class Wizard : public testsupport::ScanFixture {
protected:
    ui::HeadlessUi ui;
    SiblingStandIn sibling;
    platform::ScopedService<platform::InterProcess> useSibling{sibling};
    TNFile file{dir / "PC.dat"};
    TFAllTitle titles;
    TSCMake links;
    platform::Icon noIcon;
    bool canClose = false;
    std::unique_ptr<AppContext> context;
    std::vector<bool> updates;  // forced flag of each update run
    int updateAnswer = 0;
    int endRuns = 0;

    Wizard() {
        folders.desktop = dir / "Desktop";
        folders.sendTo = dir / "SendTo";
        platform::CreateDirectories(folders.desktop);
        platform::CreateDirectories(folders.sendTo);
        AppContext::Parts parts;
        parts.NFile = &file;
        parts.AllTitle = &titles;
        parts.SCMake1 = &links;
        parts.NoIcon = &noIcon;
        parts.CanClose = &canClose;
        context = std::make_unique<AppContext>(parts);
        context->RunUpdate = [this](bool forced) {
            updates.push_back(forced);
            return updateAnswer;
        };
        context->EndRun = [this] {
            canClose = true;
            ++endRuns;
        };
    }

    void Shortcut(const std::string& name, const std::string& target) {
        TSCMake make;
        make.SCDir = folders.desktop;
        make.SCName = name;
        make.LinkPath = target;
        ASSERT_GE(make.CreateLink(), 0);
    }
    static std::vector<std::string> Captions(const ui::ListView& list) {
        std::vector<std::string> out;
        for (int i = 0; i < list.itemCount(); ++i) out.push_back(list.item(i).caption);
        return out;
    }
    TProg* Prog(const std::string& path) {
        TProg* prog = nullptr;
        return file.Progs.FindByPath(path, prog) == 0 ? prog : nullptr;
    }
    std::vector<std::int32_t> Members(const TExtList& list, const std::string& name) {
        TExt* ext = nullptr;
        if (list.FindByName(name, ext) != 0) return {-1};
        return ext->CopyProgIds();
    }
};

TEST_F(Wizard, AFirstRunWalksAllPagesAndFillsTheCatalogue) {
    const std::string editor = sjis::UpperAscii(Make("Apps\\EDITOR.EXE"));
    const std::string viewer = sjis::UpperAscii(Make("Apps\\VIEWER.EXE"));
    // (The shell link object of Wine keeps a Japanese target only under code
    // page 932: the program has an ASCII name.)
    const std::string tool = sjis::UpperAscii(Make("Apps\\Tool.exe"));
    FileType(".txt", "txtfile", "テキスト文書", editor + " \"%1\"");
    FileType(".htm", "htmlfile", "HTML 文書", viewer + " %1");
    FileType(".jpg", "jpegfile", "JPEG 画像", viewer + " %1");
    FileType(".zzz", "zzzfile", "", editor + " %1");  // no display name: no row
    Shortcut("道具", tool);
    Shortcut("道具の2", tool);
    Shortcut("消えた", dir / "Apps\\gone.exe");
    registry.WriteValue(RegistryRoot::CurrentUser, kInternet, "ProxyEnable",
                        {platform::RegistryValue::Type::Dword, "", 1});
    registry.WriteString(RegistryRoot::CurrentUser, kInternet, "ProxyServer", "ftp=f:21;http=cache:3128");
    sibling.Publish("Ver1.50");
    // What the component last read must not end up in our shortcuts.
    links.Argument = "C:\\old.txt";
    links.WorkDir = "C:\\old";

    TfrmWizard wizard(*context);
    ui->onNextModal<TfrmWizard>([&](TfrmWizard& w) {
        // Page 1: shortcuts and the sticky-note program, which is there.
        EXPECT_EQ(w.lbNo.caption(), "その１：ようこそ「Kumoya」へ");
        EXPECT_EQ(w.lbNaiyou.caption(), WizardPageText(0));
        EXPECT_TRUE(w.chkDeskTop.checked());
        EXPECT_TRUE(w.chkSendTo.checked());
        EXPECT_TRUE(w.chkMirun.reachable());
        EXPECT_FALSE(w.chkMirun.checked());
        EXPECT_EQ(w.btJikkou.caption(), "実行して次へ");
        ui::Click(w.chkMirun);
        ui::Click(w.btJikkou);

        // Page 2: the registry's programs, in extension order, all ticked.
        EXPECT_EQ(w.lbNo.caption(), "その２：レジストリの検索");
        EXPECT_TRUE(w.pnlSecond.visible());
        EXPECT_EQ(Captions(w.lvExt), (std::vector<std::string>{".htm", ".jpg", ".txt"}));
        EXPECT_EQ(w.btSelAll.caption(), "全て解除");
        ui::Click(w.btSelAll);
        for (int i = 0; i < 3; ++i) EXPECT_FALSE(w.lvExt.itemChecked(i));
        EXPECT_EQ(w.btSelAll.caption(), "全て選択");
        ui::Click(w.btSelAll);
        for (int i = 0; i < 3; ++i) EXPECT_TRUE(w.lvExt.itemChecked(i)) << i;
        EXPECT_EQ(w.btSelAll.caption(), "全て解除");
        ui::Click(w.btSelAll);
        w.lvExt.userSetChecked(0, true);
        w.lvExt.userSetChecked(2, true);
        EXPECT_EQ(w.btSelAll.caption(), "全て選択");
        w.lvExt.userSetChecked(1, true);
        EXPECT_EQ(w.btSelAll.caption(), "全て解除") << "every row ticked by hand";
        ui::Click(w.btJikkou);

        // Page 3: one row per existing program behind the desktop's shortcuts.
        EXPECT_EQ(w.lbNo.caption(), "その３：デスクトップの検索");
        // (Our own shortcut from page 1 leads to this test program, which is
        // no "ZELKOVA.EXE": on Windows it is offered too.)
        std::vector<std::string> targets;
        for (int i = 0; i < w.lvExt.itemCount(); ++i) {
            const std::string& target = w.lvExt.item(i).subItems.at(0);
            if (target != sjis::UpperAscii(platform::ProgramPath())) targets.push_back(target);
        }
        EXPECT_EQ(targets, std::vector<std::string>{tool});
        EXPECT_EQ(w.imExt.count(), w.lvExt.itemCount());
        for (int i = 0; i < w.lvExt.itemCount(); ++i)
            if (w.lvExt.item(i).subItems.at(0) != tool) w.lvExt.userSetChecked(i, false);
        ui::Click(w.btJikkou);

        // Page 4: the default categories.
        EXPECT_EQ(w.lbNo.caption(), "その４：デフォルト種類名の作成");
        EXPECT_EQ(w.lvExt.itemCount(), 0);
        EXPECT_FALSE(w.chkShurui4.checked()) << "ゲーム starts unticked";
        ui::Click(w.chkShurui3);  // 圧縮・解凍 not wanted
        ui::Click(w.btJikkou);

        // Page 5: the system's proxy is offered.
        EXPECT_EQ(w.lbNo.caption(), "その５：最新データ受信のための設定");
        EXPECT_TRUE(w.cbProxy.checked());
        EXPECT_TRUE(w.edProxyServer.reachable());
        EXPECT_EQ(w.edProxyServer.text(), "cache");
        EXPECT_EQ(w.edProxyPort.text(), "3128");
        ui::Type(w.edServer, "mail.example");
        ui::Type(w.edMail, "user@mail.example");
        EXPECT_TRUE(updates.empty());
        ui::Click(w.btJikkou);

        // The update ran, unforced; the end panel offers "完了".
        EXPECT_EQ(updates, std::vector<bool>{false});
        EXPECT_TRUE(w.pnlFifth.visible());
        EXPECT_FALSE(w.pnlFourth.visible());
        EXPECT_EQ(w.lbNo.caption(), "その５：最新データ受信のための設定");
        EXPECT_EQ(w.btJikkou.caption(), "完了");
        ui::Click(w.btJikkou);
    });
    EXPECT_EQ(wizard.RunWizard(false, 0), ui::DialogResult::Ok);
    EXPECT_EQ(updates.size(), 1u);
    EXPECT_EQ(endRuns, 0);

    // Shortcuts to the program itself, with nothing of the last one read.
    for (const std::string& folder : {folders.desktop, folders.sendTo}) {
        TSCMake read;
        ASSERT_EQ(read.AnalizeLink(folder + "\\Kumoya.lnk"), 0) << folder;
        EXPECT_EQ(read.LinkPath, platform::ProgramPath());
        EXPECT_EQ(read.Argument, "");
        EXPECT_EQ(read.WorkDir, "");
    }
    // The sticky-note program got its three commands and the closing one.
    EXPECT_EQ(sibling.commands, (std::vector<std::int32_t>{1, 2, 13, 0}));

    // Programs: the viewer under two extensions keeps the last name.
    ASSERT_EQ(file.Progs.Count(), 3);
    ASSERT_TRUE(Prog(editor) && Prog(viewer) && Prog(tool));
    EXPECT_EQ(Prog(editor)->Title, "テキスト文書");
    EXPECT_EQ(Prog(viewer)->Title, "JPEG 画像");
    EXPECT_EQ(Prog(tool)->Title, "道具") << "the shortcut listed first";
    const std::int32_t e = Prog(editor)->Id, v = Prog(viewer)->Id, t = Prog(tool)->Id;
    EXPECT_EQ(Members(file.Extensions, "TXT"), std::vector<std::int32_t>{e});
    EXPECT_EQ(Members(file.Extensions, "HTM"), std::vector<std::int32_t>{v});
    EXPECT_EQ(Members(file.Extensions, "JPG"), std::vector<std::int32_t>{v});
    THist* params = nullptr;
    ASSERT_EQ(file.ExtParams.FindByProg(e, params), 0);
    ASSERT_EQ(params->ItemCount(), 1);
    EXPECT_EQ(params->ItemAt(0).Text, "TXT");
    // Categories, in the order made: the desktop's, then the ticked defaults.
    std::vector<std::string> categories;
    for (int i = 0; i < file.Categories.Count(); ++i) categories.push_back(file.Categories.At(i).Name);
    EXPECT_EQ(categories, (std::vector<std::string>{"デスクトップ", "エディター", "画像処理", "インターネット", "音楽・映像"}));
    EXPECT_EQ(Members(file.Categories, "デスクトップ"), std::vector<std::int32_t>{t});
    EXPECT_EQ(Members(file.Categories, "エディター"), std::vector<std::int32_t>{e});
    EXPECT_EQ(Members(file.Categories, "画像処理"), std::vector<std::int32_t>{v});
    EXPECT_EQ(Members(file.Categories, "インターネット"), std::vector<std::int32_t>{v});
    EXPECT_TRUE(Members(file.Categories, "音楽・映像").empty());
    // Network settings.
    EXPECT_EQ(file.Head.SmtpHost, "mail.example");
    EXPECT_EQ(file.Head.MailAddress, "user@mail.example");
    EXPECT_EQ(file.Head.ProxyHost, "cache");
    EXPECT_EQ(file.Head.ProxyPort, 3128);
    EXPECT_TRUE(ui->messageBoxes().empty());
    EXPECT_EQ(ui->unusedScript(), "");
}

TEST_F(Wizard, SinglePagesFromTheMenuDoOnlyTheirWorkAndClose) {
    // Page 4 alone works with the extensions the catalogue already holds.
    TProg editor;
    editor.Path = "C:\\EDIT.EXE";
    editor.Title = "Edit";
    file.Progs.AddNew(editor);
    TExt txt;
    txt.Name = "TXT";
    txt.AddProg(editor.Id);
    file.Extensions.AddNew(txt);
    TExt games;
    games.Name = "ゲーム";
    games.AddProg(77);
    file.Categories.AddNew(games);
    {
        TfrmWizard wizard(*context);
        ui->onNextModal<TfrmWizard>([](TfrmWizard& w) {
            EXPECT_TRUE(w.pnlThird.visible());
            EXPECT_EQ(w.btJikkou.caption(), "完了");
            ui::Click(w.chkShurui4);  // ゲーム
            ui::Click(w.btJikkou);
        });
        EXPECT_EQ(wizard.RunWizard(true, 3), ui::DialogResult::Ok);
    }
    EXPECT_EQ(Members(file.Categories, "エディター"), std::vector<std::int32_t>{editor.Id});
    EXPECT_EQ(Members(file.Categories, "ゲーム"), std::vector<std::int32_t>{77}) << "an existing one stays as it was";
    EXPECT_EQ(Members(file.Categories, "画像処理"), std::vector<std::int32_t>{});

    // Page 2 alone, left with "メイン画面へ": the scan ran, nothing registered.
    FileType(".txt", "txtfile", "テキスト文書", sjis::UpperAscii(Make("NEW.EXE")) + " %1");
    {
        TfrmWizard wizard(*context);
        ui->onNextModal<TfrmWizard>([](TfrmWizard& w) {
            EXPECT_EQ(w.lvExt.itemCount(), 1) << "the scan is done before the window shows";
            ui::Click(w.btCancel);
        });
        EXPECT_EQ(wizard.RunWizard(true, 1), ui::DialogResult::Cancel);
    }
    EXPECT_EQ(file.Progs.Count(), 1);

    // Page 5 alone: the stored proxy is shown (no port: an empty field), and
    // a port that is no number stores -1; the system's setting is not read.
    registry.WriteString(RegistryRoot::CurrentUser, kInternet, "ProxyServer", "system:1");
    file.Head.ProxyHost = "stored";
    file.Head.ProxyPort = -1;
    {
        TfrmWizard wizard(*context);
        ui->onNextModal<TfrmWizard>([](TfrmWizard& w) {
            EXPECT_TRUE(w.cbProxy.checked());
            EXPECT_EQ(w.edProxyServer.text(), "stored");
            EXPECT_EQ(w.edProxyPort.text(), "");
            ui::Type(w.edProxyPort, "80x");
            ui::Click(w.btJikkou);
        });
        EXPECT_EQ(wizard.RunWizard(true, 4), ui::DialogResult::Ok);
    }
    EXPECT_EQ(file.Head.ProxyHost, "stored");
    EXPECT_EQ(file.Head.ProxyPort, -1);
    // Unticking the proxy clears it.
    {
        TfrmWizard wizard(*context);
        ui->onNextModal<TfrmWizard>([](TfrmWizard& w) {
            ui::Click(w.cbProxy);
            EXPECT_FALSE(w.edProxyServer.enabled());
            ui::Click(w.btJikkou);
        });
        wizard.RunWizard(true, 4);
    }
    EXPECT_EQ(file.Head.ProxyHost, "");
    EXPECT_TRUE(updates.empty()) << "a single page never reaches the update";
    EXPECT_EQ(ui->unusedScript(), "");
}

TEST_F(Wizard, AnOldOrMissingSiblingAndAFewColouredDisplay) {
    // No sticky-note program: its controls are not offered.
    {
        TfrmWizard wizard(*context);
        ui->onNextModal<TfrmWizard>([](TfrmWizard& w) {
            EXPECT_FALSE(w.chkMirun.visible());
            EXPECT_FALSE(w.lblMirunTitle.visible());
            EXPECT_TRUE(w.imBack.visible());
            EXPECT_FALSE(w.imBack.drawings().empty());
            ui::Click(w.chkDeskTop);
            ui::Click(w.chkSendTo);
            ui::Click(w.btJikkou);
        });
        wizard.RunWizard(true, 0);
    }
    EXPECT_TRUE(platform::ListDirectory(folders.desktop + "\\*.lnk").empty()) << "both unticked: no shortcut";
    // Version 1.32: the message, nothing registered.
    sibling.Publish("Ver1.32");
    ui->setScreenColorBits(8);
    {
        TfrmWizard wizard(*context);
        ui->onNextModal<TfrmWizard>([](TfrmWizard& w) {
            EXPECT_FALSE(w.imBack.visible()) << "256 colours: no background picture";
            ui::Click(w.chkMirun);
            ui::Click(w.btJikkou);
        });
        wizard.RunWizard(true, 0);
    }
    ASSERT_EQ(ui->messageBoxes().size(), 1u);
    EXPECT_EQ(ui->messageBoxes()[0].text, "vorのMirundoのVersionを1.33以上にしてください!!");
    EXPECT_EQ(ui->messageBoxes()[0].caption, "vorのMirundoへの登録");
    EXPECT_TRUE(sibling.commands.empty());
    ui->setScreenColorBits(16);
    {
        TfrmWizard wizard(*context);
        ui->onNextModal<TfrmWizard>([](TfrmWizard& w) {
            EXPECT_TRUE(w.imBack.visible());
            ui::Click(w.btCancel);
        });
        wizard.RunWizard(true, 0);
    }
}

TEST_F(Wizard, AnUpdaterStartedAtTheEndSavesAndEndsTheRun) {
    updateAnswer = 1;
    file.Head.SmtpHost = "kept";
    TfrmWizard wizard(*context);
    ui->onNextModal<TfrmWizard>([](TfrmWizard& w) {
        ui::Click(w.btJikkou);  // page 5 performed: the update follows
    });
    wizard.RunWizard(true, 4);
    // A single page never updates; the last page of the whole wizard does.
    EXPECT_TRUE(updates.empty());
    TfrmWizard whole(*context);
    ui->onNextModal<TfrmWizard>([](TfrmWizard& w) {
        w.Page = 4;  // the user has come this far
        w.ShowWizardPage();
        ui::Click(w.btJikkou);
    });
    EXPECT_EQ(whole.RunWizard(false, 0), ui::DialogResult::Ok);
    EXPECT_EQ(updates, std::vector<bool>{false});
    EXPECT_EQ(endRuns, 1);
    EXPECT_TRUE(ui::App().terminated());
    TNFile saved(dir / "PC.dat");
    ASSERT_EQ(saved.Load(), 0) << "the catalogue is on disk before the updater replaces the program";
    EXPECT_EQ(saved.Head.SmtpHost, "kept");
}

}  // namespace
}  // namespace kumoya
