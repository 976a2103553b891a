// The management window's extension page, driven as a user would through the
// headless backend: the priority order, moving programs, taking them off an
// extension with their parameters, adding extensions, and the page's
// commands in the buttons, the Edit menu and the popup menu.
#include <gtest/gtest.h>

#include "../online/title_file_writer.h"
#include "launcher/title_form.h"
#include "manager/input_form.h"
#include "manager/main_form.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/ui/headless.h"
#include "support/fake_clock.h"
#include "support/recording_shell.h"
#include "support/scratch_folder.h"

using namespace kumoya;
using kumoya::testsupport::FakeClock;
using kumoya::testsupport::RecordingShell;
using kumoya::testsupport::ScratchFolder;

namespace {

// Programs A (in the title database, with a support page), B and C; the
// extensions BMP (C), TXT (A, B, C; offered for choice) and ZIP (none); B
// has a parameter for TXT and one for BMP. The extension page was shown
// last, on TXT.
struct ExtensionPageTest : ::testing::Test {
    ExtensionPageTest()
        : clock(platform::EncodeDateTime({2026, 12, 8, 10, 0, 0, 0})), useShell(shell), useRegistry(registry),
          file(dir / "PC.dat") {
        TNFile nf(file);
        nf.Head.MenuAtStart = 0;
        nf.Head.CountDate = clock.Now();
        nf.Head.MainPage = TfrmMain::kPageExtensions;
        nf.Head.ExtensionIndex = 1;
        a = Add(nf, "a.exe", "Alpha");
        b = Add(nf, "b.exe", "Beta");
        c = Add(nf, "c.exe", "Gamma");
        nf.Progs.At(0).TitleIndex = 0;
        AddExt(nf, "BMP", 0, {c});
        AddExt(nf, "TXT", 1, {a, b, c});
        AddExt(nf, "ZIP", 0, {});
        TExt tools;
        tools.Name = "ツール";
        tools.AddProg(b);
        nf.Categories.AddNew(tools);
        THist params;
        params.ProgId = b;
        params.AddItemWithParam(100, "BMP", "/view \"%1\"");
        params.AddItemWithParam(100, "TXT", "/edit \"%1\"");
        nf.ExtParams.AddEntry(params);
        EXPECT_EQ(nf.Save(), 0);
        for (const char* name : {"a.exe", "b.exe", "c.exe"}) platform::WriteFileBytes(dir / name, {});
    }
    ~ExtensionPageTest() override { title.reset(); }

    std::int32_t Add(TNFile& nf, const std::string& name, const std::string& text) {
        TProg p;
        p.Path = dir / name;
        p.Title = text;
        nf.Progs.AddNew(p);
        return p.Id;
    }
    static void AddExt(TNFile& nf, const std::string& name, std::int32_t flag, std::vector<std::int32_t> ids) {
        TExt ext;
        ext.Name = name;
        ext.MenuFlag = flag;
        ext.SetProgIds(ids);
        nf.Extensions.AddNew(ext);
    }
    void Change(const std::function<void(TNFile&)>& edit) {
        TNFile nf(file);
        ASSERT_EQ(nf.Load(), 0);
        edit(nf);
        ASSERT_EQ(nf.Save(), 0);
    }
    TfrmMain& Open() {
        title = std::make_unique<TfrmTitle>(std::vector<std::string>{}, file);
        testsupport::TitleRecord entry;
        entry.title = "Alpha";
        entry.fileName = "a.exe";
        entry.supportUrl = supportUrl;
        testsupport::TitleFileWriter titles(1);
        titles.Add(entry);
        EXPECT_EQ(title->AllTitle->LoadFirstBytes(titles.Bytes()), 0);
        ui::App().run(*title);
        if (!title->MainForm) throw std::logic_error("the management window did not open");
        return *title->MainForm;
    }
    TNFile CloseAndReload() {
        title->MainForm->mnuEnd->userClick();
        ui::App().processMessages();
        title.reset();
        TNFile nf(file);
        EXPECT_EQ(nf.Load(), 0);
        return nf;
    }
    static std::vector<std::string> Captions(const ui::ListView& list) {
        std::vector<std::string> out;
        for (int i = 0; i < list.itemCount(); ++i) out.push_back(list.item(i).caption);
        return out;
    }
    static std::vector<std::int32_t> Members(const TNFile& nf, const std::string& name) {
        TExt* ext = nullptr;
        if (nf.Extensions.FindByName(name, ext) != 0 && nf.Categories.FindByName(name, ext) != 0) return {};
        return ext->CopyProgIds();
    }
    static std::vector<std::string> ParamNames(const TNFile& nf, std::int32_t id) {
        THist* entry = nullptr;
        std::vector<std::string> out;
        if (nf.ExtParams.FindByProg(id, entry) != 0) return out;
        for (int i = 0; i < entry->ItemCount(); ++i) out.push_back(entry->ItemAt(i).Text);
        return out;
    }
    // The user adds an extension: types `text`, ticks the box or not, OK.
    void AnswerAdd(const std::string& text, bool popup = false, bool ok = true) {
        ui->onNextModal<TfrmInput>([text, popup, ok](TfrmInput& f) {
            EXPECT_EQ(f.caption(), "拡張子名の追加");
            EXPECT_EQ(f.lbTitle.caption(), "新しい拡張子名を入力してください");
            EXPECT_TRUE(f.cbPopUp.visible());
            EXPECT_EQ(f.cbPopUp.caption(), "この拡張子を開くときはポップアップで選べるようにする");
            EXPECT_FALSE(f.cbPopUp.checked());
            EXPECT_EQ(f.edValue.text(), "");
            EXPECT_FALSE(f.edValue.imeEnabled()) << "extensions are typed without the input method";
            ui::Type(f.edValue, text);
            if (popup) ui::Click(f.cbPopUp);
            ui::Click(ok ? f.btOk : f.btCancel);
        });
    }

    ui::HeadlessUi ui;
    FakeClock clock;
    RecordingShell shell;
    platform::ScopedService<platform::Shell> useShell;
    platform::MemoryRegistry registry;
    platform::ScopedService<platform::Registry> useRegistry;
    ScratchFolder dir;
    std::string file;
    std::int32_t a = 0, b = 0, c = 0;
    std::unique_ptr<TfrmTitle> title;
    std::string supportUrl = "https://example.com/alpha/";
};

}  // namespace

TEST_F(ExtensionPageTest, ShowsTheStoredExtensionInPriorityOrderAndComesBackToTheChosenOneAtTheNextStart) {
    TfrmMain& main = Open();
    EXPECT_EQ(main.PageControl1.activePageIndex(), 1);
    EXPECT_TRUE(main.mnuExtAdd->enabled());
    EXPECT_FALSE(main.mnuShuAdd->enabled());
    EXPECT_EQ(main.cmbExt.items(), (std::vector<std::string>{"BMP", "TXT", "ZIP"}));
    EXPECT_EQ(main.cmbExt.text(), "TXT");
    EXPECT_TRUE(main.chkPopUp.enabled());
    EXPECT_TRUE(main.chkPopUp.checked());
    EXPECT_EQ(Captions(main.lvExt), (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));
    EXPECT_EQ(main.lvExt.item(2).subItems, std::vector<std::string>{std::to_string(c)});
    EXPECT_EQ(main.lvExt.selected(), 0);
    EXPECT_TRUE(main.btESupport.enabled()) << "Alpha has a support page";
    EXPECT_TRUE(main.mnuSupport->visible());

    // Another extension; its flag is shown, not stored; the list follows.
    main.cmbExt.userSelect(2);
    EXPECT_EQ(main.lvExt.itemCount(), 0);
    EXPECT_FALSE(main.chkPopUp.checked());
    main.cmbExt.userSelect(0);
    EXPECT_EQ(Captions(main.lvExt), std::vector<std::string>{"Gamma"});
    EXPECT_FALSE(main.btESupport.enabled());
    Click(main.chkPopUp);
    TNFile saved = CloseAndReload();
    EXPECT_EQ(saved.Head.ExtensionIndex, 0);
    EXPECT_EQ(saved.Head.MainPage, 1);
    TExt* bmp = nullptr;
    ASSERT_EQ(saved.Extensions.FindByName("BMP", bmp), 0);
    EXPECT_EQ(bmp->MenuFlag, 1);
    TExt* txt = nullptr;
    ASSERT_EQ(saved.Extensions.FindByName("TXT", txt), 0);
    EXPECT_EQ(txt->MenuFlag, 1) << "showing TXT did not rewrite its flag";

    TfrmMain& again = Open();
    EXPECT_EQ(again.cmbExt.text(), "BMP");
    EXPECT_TRUE(again.chkPopUp.checked());
    EXPECT_EQ(Captions(again.lvExt), std::vector<std::string>{"Gamma"});
}

TEST_F(ExtensionPageTest, WithoutAStoredExtensionTheListStaysEmptyAndNothingActs) {
    Change([](TNFile& nf) { nf.Head.ExtensionIndex = -1; });
    TfrmMain& main = Open();
    EXPECT_EQ(main.cmbExt.itemIndex(), -1);
    EXPECT_EQ(main.lvExt.itemCount(), 0);
    Click(main.btEExecute);
    Click(main.btEProgDel);
    main.sbExtUp.userClick();
    main.sbExtDown.userClick();
    main.mnuExeCute->userClick();
    EXPECT_TRUE(shell.opens.empty());
    EXPECT_FALSE(main.btESupport.enabled());
    EXPECT_EQ(CloseAndReload().Head.ExtensionIndex, -1);
}

TEST_F(ExtensionPageTest, MovingAProgramChangesThePriorityAndKeepsItSelected) {
    TfrmMain& main = Open();
    main.lvExt.userSelect(1);  // Beta
    main.sbExtUp.userClick();
    EXPECT_EQ(Captions(main.lvExt), (std::vector<std::string>{"Beta", "Alpha", "Gamma"}));
    EXPECT_EQ(main.lvExt.selected(), 0);
    EXPECT_EQ(main.PropertySheet->edTitle.text(), "Beta") << "the property window follows the moved program";
    EXPECT_EQ(main.PropertySheet->lbParam.caption(), "/edit \"%1\"");
    main.sbExtUp.userClick();  // already first
    EXPECT_EQ(Captions(main.lvExt), (std::vector<std::string>{"Beta", "Alpha", "Gamma"}));
    EXPECT_EQ(main.lvExt.selected(), 0);

    main.lvExt.userSelect(0);
    main.sbExtDown.userClick();
    main.sbExtDown.userClick();
    EXPECT_EQ(Captions(main.lvExt), (std::vector<std::string>{"Alpha", "Gamma", "Beta"}));
    EXPECT_EQ(main.lvExt.selected(), 2);
    main.sbExtDown.userClick();  // already last
    EXPECT_EQ(Captions(main.lvExt), (std::vector<std::string>{"Alpha", "Gamma", "Beta"}));

    // An extension with one program: neither button moves anything.
    main.cmbExt.userSelect(0);
    main.sbExtUp.userClick();
    main.sbExtDown.userClick();
    EXPECT_EQ(Captions(main.lvExt), std::vector<std::string>{"Gamma"});
    EXPECT_EQ(main.lvExt.selected(), 0);

    TNFile saved = CloseAndReload();
    EXPECT_EQ(Members(saved, "TXT"), (std::vector<std::int32_t>{a, c, b}));
    EXPECT_EQ(Members(saved, "BMP"), std::vector<std::int32_t>{c});
    EXPECT_TRUE(ui->messageBoxes().empty());
}

TEST_F(ExtensionPageTest, AMoveExchangesTheTwoProgramsShownEvenPastANumberWithoutItsProgram) {
    // A catalogue edited elsewhere: TXT still names a program that is gone,
    // which shows no row, so rows and places in the order differ.
    Change([&](TNFile& nf) {
        TExt* txt = nullptr;
        ASSERT_EQ(nf.Extensions.FindByName("TXT", txt), 0);
        txt->SetProgIds({a, 77, b, c});
    });
    TfrmMain& main = Open();
    EXPECT_EQ(Captions(main.lvExt), (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));
    main.lvExt.userSelect(2);
    main.sbExtUp.userClick();
    EXPECT_EQ(Captions(main.lvExt), (std::vector<std::string>{"Alpha", "Gamma", "Beta"}));
    EXPECT_EQ(main.lvExt.selected(), 1);
    main.sbExtUp.userClick();
    EXPECT_EQ(Captions(main.lvExt), (std::vector<std::string>{"Gamma", "Alpha", "Beta"}));
    EXPECT_EQ(Members(CloseAndReload(), "TXT"), (std::vector<std::int32_t>{c, 77, a, b}));
}

TEST_F(ExtensionPageTest, TakingAProgramOffDropsItsParameterForThatExtensionOnly) {
    TfrmMain& main = Open();
    main.lvExt.userSelect(1);  // Beta
    EXPECT_EQ(main.PropertySheet->lbParam.caption(), "/edit \"%1\"");
    Click(main.btEProgDel);
    EXPECT_EQ(Captions(main.lvExt), (std::vector<std::string>{"Alpha", "Gamma"}));
    // From the popup menu and the Edit menu as well.
    main.lvExt.userSelect(1);
    main.mnu2Del->userClick();
    EXPECT_EQ(Captions(main.lvExt), std::vector<std::string>{"Alpha"});
    main.lvExt.userSelect(0);
    main.mnuProgDel->userClick();
    EXPECT_EQ(main.lvExt.itemCount(), 0);
    Click(main.btEProgDel);  // nothing left to take off
    EXPECT_TRUE(ui->messageBoxes().empty());

    TNFile saved = CloseAndReload();
    EXPECT_TRUE(Members(saved, "TXT").empty());
    EXPECT_EQ(Members(saved, "BMP"), std::vector<std::int32_t>{c});
    EXPECT_EQ(Members(saved, "ツール"), std::vector<std::int32_t>{b});
    EXPECT_EQ(saved.Progs.Count(), 3) << "the programs stay registered";
    EXPECT_EQ(ParamNames(saved, b), std::vector<std::string>{"BMP"});
    TProg* beta = nullptr;
    ASSERT_EQ(saved.Progs.FindById(b, beta), 0);
    EXPECT_EQ(saved.TemplateFor(*beta, "BMP"), "/view \"%1\"");
}

TEST_F(ExtensionPageTest, AddingAnExtensionInUpperCaseInItsPlaceAndRefusingDuplicatesBlanksAndLongNames) {
    TfrmMain& main = Open();
    AnswerAdd("doc", true);
    Click(main.btExtAdd);
    EXPECT_EQ(main.cmbExt.items(), (std::vector<std::string>{"BMP", "DOC", "TXT", "ZIP"}));
    EXPECT_EQ(main.cmbExt.text(), "TXT") << "the extension shown stays chosen";
    EXPECT_EQ(Captions(main.lvExt), (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));

    AnswerAdd("Doc");
    main.mnuExtAdd->userClick();
    AnswerAdd("txt");
    Click(main.btExtAdd);
    AnswerAdd("  ");
    Click(main.btExtAdd);
    AnswerAdd("cab", false, false);
    Click(main.btExtAdd);
    EXPECT_TRUE(ui->messageBoxes().empty()) << "duplicates, blanks and cancels go silently";

    AnswerAdd(std::string(32, 'x'));
    Click(main.btExtAdd);
    ASSERT_EQ(ui->messageBoxes().size(), 1u);
    EXPECT_EQ(ui->messageBoxes()[0].caption, "拡張子名の追加");
    EXPECT_EQ(ui->messageBoxes()[0].icon, ui::MsgIcon::Error);
    // Letters after a double-byte character are not part of it: "ｈ" is
    // full width and stays, the rest goes to upper case. 31 bytes fit.
    const std::string longest = "ｈtml" + std::string(26, 'l');
    AnswerAdd(longest);
    Click(main.btExtAdd);
    AnswerAdd(".jpg");
    Click(main.btExtAdd);
    EXPECT_EQ(ui->unusedScript(), "");
    const std::string stored = "ｈTML" + std::string(26, 'L');
    EXPECT_EQ(main.cmbExt.items(), (std::vector<std::string>{".JPG", "BMP", "DOC", "TXT", "ZIP", stored}));
    EXPECT_EQ(main.cmbExt.text(), "TXT");

    TNFile saved = CloseAndReload();
    std::vector<std::string> names;
    for (int i = 0; i < saved.Extensions.Count(); ++i) names.push_back(saved.Extensions.At(i).Name);
    EXPECT_EQ(names, (std::vector<std::string>{".JPG", "BMP", "DOC", "TXT", "ZIP", stored}));
    EXPECT_EQ(saved.Head.ExtensionIndex, 3) << "the next start opens on TXT again";
    TExt* doc = nullptr;
    ASSERT_EQ(saved.Extensions.FindByName("DOC", doc), 0);
    EXPECT_EQ(doc->MenuFlag, 1);
    EXPECT_EQ(doc->ProgCount(), 0);
    TExt* jpg = nullptr;
    ASSERT_EQ(saved.Extensions.FindByName(".JPG", jpg), 0);
    EXPECT_EQ(jpg->MenuFlag, 0);
}

TEST_F(ExtensionPageTest, LaunchSupportPageAndRegistrationFromEveryPlaceOfThePage) {
    TfrmMain& main = Open();
    std::vector<RegistrationMode> registrations;
    title->Context().RunRegistration = [&](const RegistrationRequest& request) {
        registrations.push_back(request.Mode);
        // As the dialog may: a new program for TXT.
        TProg added;
        added.Path = dir / "new.exe";
        added.Title = "New";
        title->NFile->Progs.AddNew(added);
        TExt* txt = nullptr;
        title->NFile->Extensions.FindByName("TXT", txt);
        txt->AddProg(added.Id);
        return ui::DialogResult::Ok;
    };
    Click(main.btEExecute);  // Alpha, selected at start
    main.lvExt.userSelect(2);
    main.lvExt.userDblClick();
    main.lvExt.userSelect(1);
    main.mnuExeCute->userClick();
    ui->choosePopupEntry({"起動(&K)"});
    main.lvExt.userContextMenu({5, 5});
    ui::App().processMessages();
    main.lvExt.userSelect(0);
    Click(main.btESupport);
    main.mnuSupport->userClick();
    std::vector<std::string> opened;
    for (const auto& open : shell.opens) opened.push_back(open.file);
    EXPECT_EQ(opened, (std::vector<std::string>{dir / "a.exe", dir / "c.exe", dir / "b.exe", dir / "b.exe",
                                                supportUrl, supportUrl}));

    Click(main.btEProgAdd);
    main.mnuProgAdd->userClick();
    EXPECT_EQ(registrations, (std::vector<RegistrationMode>{RegistrationMode::ForSearch, RegistrationMode::ForSearch}));
    EXPECT_EQ(Captions(main.lvExt), (std::vector<std::string>{"Alpha", "Beta", "Gamma", "New", "New"}));

    // A title typed into the list is stored within its limit.
    main.lvExt.userEdit(1, std::string(45, 'b'));
    ASSERT_EQ(ui->messageBoxes().size(), 1u);
    EXPECT_EQ(ui->messageBoxes()[0].text, "入力限界文字数を超えました。");
    TNFile saved = CloseAndReload();
    TProg* beta = nullptr;
    ASSERT_EQ(saved.Progs.FindById(b, beta), 0);
    EXPECT_EQ(beta->Title, std::string(39, 'b'));
    EXPECT_EQ(beta->TotalCount, 2);
}

TEST_F(ExtensionPageTest, ASupportAddressThatIsNoWebPageIsNeverOpenedHereEither) {
    supportUrl = "file:///C:/Windows/system32/calc.exe";
    TfrmMain& main = Open();
    EXPECT_EQ(main.lvExt.selected(), 0);
    EXPECT_FALSE(main.btESupport.enabled());
    EXPECT_FALSE(main.mnuSupport->visible());
    main.btESupportClick();
    EXPECT_TRUE(shell.opens.empty());
}
