#include "launcher/title_form.h"

#include <cstdlib>
#include <exception>
#include <memory>
#include <ctime>

#include "platform/long_path.h"
#include "launcher/program.h"
#include "manager/main_form.h"
#include "app/program_icon.h"
#include "platform/datetime.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/ui/application.h"

namespace kumoya {

namespace {

const char* const kProgramKey = "SOFTWARE\\vor\\zelkova";
// A catalogue held open by another program (a backup, a virus scanner) is
// often free again a moment later.
constexpr int kReadAttempts = 5;
constexpr std::uint32_t kReadRetryMs = 200;

std::string TrimLeft(std::string s) {
    std::size_t i = s.find_first_not_of(" \t");
    return i == std::string::npos ? std::string() : s.substr(i);
}

}  // namespace

TfrmTitle::TfrmTitle(std::vector<std::string> args, std::string catalogueFile)
    : args_(std::move(args)), exceptionsAtStart_(std::uncaught_exceptions()) {
    makeInvisibleOwner();
    PopupMenu1.setImages(&ImageList1);
    OnShow = [this] { FormShow(); };
    OnCloseQuery = [this](bool& canClose) { FormCloseQuery(canClose); };
    NFile = std::make_unique<TNFile>(std::move(catalogueFile));
    FormCreate();
}

TfrmTitle::~TfrmTitle() { FormDestroy(); }

void TfrmTitle::FormCreate() {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    AllTitle = std::make_unique<TFAllTitle>();
    FirstRun = false;
    MainForm.reset();
    CanClose = false;
    imNoIcon = platform::DefaultApplicationIcon();
    AppContext::Parts parts;
    parts.NFile = NFile.get();
    parts.AllTitle = AllTitle.get();
    parts.SCMake1 = &SCMake1;
    parts.NoIcon = &imNoIcon;
    parts.MainForm = this;
    parts.PageSetup = &PageSetup;
    parts.CanClose = &CanClose;
    context_ = std::make_unique<AppContext>(parts);
    WireRunActions(*context_, *this);

    int loaded = NFile->Load();
    for (int attempt = 1; loaded == TNFile::kUnreadable && attempt < kReadAttempts; ++attempt) {
        platform::SystemClock().Sleep(kReadRetryMs);
        loaded = NFile->Load();
    }
    if (loaded == TNFile::kLoaded) return;
    if (loaded == TNFile::kUnreadable) {
        // Not a first run and not damage: the user's catalogue is there and
        // must be neither replaced nor moved. The run ends without a job.
        catalogueUnread_ = true;
        ReportUnreadableCatalogue();
        return;
    }
    if (loaded == TNFile::kDamaged) KeepDamagedCatalogue();

    // First run: remember where the program lives, then the setup wizard.
    WriteProgramPath();
    context_->RunWizard(nullptr, false, 0);
    FirstRun = true;
}

void TfrmTitle::WriteProgramPath() {
    // Nothing of this run depends on it. A user without administrator rights
    // cannot write under HKEY_LOCAL_MACHINE: the value then goes to the same
    // key of HKEY_CURRENT_USER, where whoever looks for it can still find it.
    platform::Registry& registry = context_->Registry();
    if (registry.WriteString(platform::RegistryRoot::LocalMachine, kProgramKey, "Path", context_->ProgramPath()))
        return;
    registry.WriteString(platform::RegistryRoot::CurrentUser, kProgramKey, "Path", context_->ProgramPath());
}

void TfrmTitle::KeepDamagedCatalogue() {
    const std::string& file = NFile->FileName();
    std::string aside;
    for (int n = 0; n < 1000 && aside.empty(); ++n) {
        std::string candidate = file + (n == 0 ? ".damaged" : ".damaged" + std::to_string(n));
        if (!platform::FileExists(candidate) && platform::RenameFile(file, candidate)) aside = candidate;
    }
    damagedCopy_ = aside;
    std::string text = "カタログファイル " + file + " が壊れているため読み込めませんでした。\n";
    if (!aside.empty()) {
        text += "壊れたファイルは " + aside + " として残しました。\n新しいカタログで起動します。";
    } else {
        // It could not be moved aside: the catalogue refuses to replace it,
        // so nothing of this run is saved over it.
        text += "壊れたファイルを別の名前で残せなかったため、そのままにします。\nこの起動での変更は保存されません。";
        saveRefusalShown_ = true;
    }
    ui::App().messageBox(text, kCaptionStart, ui::MsgIcon::Error);
}

namespace {

// Why a file could not be used, for the user.
std::string FailureReason(platform::FileFailure failure, const std::string& detail) {
    switch (failure) {
    case platform::FileFailure::Absent: return "ファイルまたはフォルダーが見つかりません。";
    case platform::FileFailure::InUse: return "ほかのプログラムがこのファイルを使用しています。";
    case platform::FileFailure::AccessDenied: return "このファイルまたはフォルダーを使う権限がありません。";
    case platform::FileFailure::IsFolder: return "この名前のフォルダーがあります。";
    case platform::FileFailure::Unavailable: return "ファイルのあるドライブまたはネットワーク上の場所に接続できません。";
    case platform::FileFailure::DiskFull: return "ディスクの空き容量が足りません。";
    case platform::FileFailure::ReadOnly: return "書き込みが禁止されたドライブです。";
    default: return "エラーが発生しました（" + detail + "）。";
    }
}

}  // namespace

void TfrmTitle::ReportUnreadableCatalogue() {
    std::string text = "カタログファイル " + NFile->FileName() + " を読み込めませんでした。\n" +
                       FailureReason(NFile->LoadFailure(), NFile->LoadError()) +
                       "\n\nファイルには手を付けずに終了します。原因を取り除いてから、もう一度起動してください。";
    ui::App().messageBox(text, kCaptionStart, ui::MsgIcon::Error);
}

void TfrmTitle::ReportFailedSave() {
    std::string text = "カタログファイル " + NFile->FileName() + " を保存できませんでした。\n" +
                       FailureReason(NFile->SaveFailure(), NFile->SaveError()) +
                       "\n\nこの起動での起動の記録と変更は保存されていません。";
    ui::App().messageBox(text, kCaptionKumoya, ui::MsgIcon::Error);
}

void TfrmTitle::ReportRefusedLaunch() {
    const TProg* prog = NFile->ParamsTooLong();
    if (!prog) return;
    std::string text = "プログラム「" + prog->Title + "」に渡すパラメーターが 511 バイトを超えるため、起動できませんでした。\n" +
                       "ファイルのパスを短くしてから、もう一度開いてください。";
    ui::App().messageBox(text, kCaptionStart, ui::MsgIcon::Error);
}

void TfrmTitle::FormShow() {
    setClientSize(1, 1);
    // The first run's wizard may have ended the run already (it started the
    // updater): no job is done.
    if (catalogueUnread_ || CanClose) {
        Finish();
        return;
    }
    // Programs are started as the application's own, owned by this window.
    NFile->OwnerWindow = nativeHandle();
    const bool newDay = NFile->Head.IsNewDay() != 0;
    if (!args_.empty() && sjis::UpperAscii(args_[0]) == "-VORWORK") {
        if (args_.size() > 1 && platform::FileExists(args_[1])) platform::DeleteFileAt(args_[1]);
        StartWithoutFile(newDay);
    } else if (!args_.empty()) {
        StartWithArguments(newDay);
    } else {
        StartWithoutFile(newDay);
    }
}

void TfrmTitle::StartWithoutFile(bool newDay) {
    if (NFile->Head.MenuAtStart == 1 && !FirstRun && NFile->Progs.Count() > 0) {
        BuildLaunchMenu();
        if (MenuResult() == -1) {
            SetMenuResult(0);
            ClearLaunchMenu();
            OpenManagementWindow();
            return;
        }
        SetMenuResult(0);
        ClearLaunchMenu();
        if (newDay) RunUpdateUnforced();
        ui::App().processMessages();
        Finish();
        return;
    }
    OpenManagementWindow();
}

void TfrmTitle::StartWithArguments(bool newDay) {
    std::size_t next = 0;
    while (next < args_.size()) {
        // Rebuild a path with blanks that arrived unquoted in several pieces.
        std::string path;
        do {
            path = TrimLeft(path + " " + args_[next++]);
        } while (!platform::FileExists(path) && next < args_.size());

        std::string key = ExtensionKey(path);
        if (key == "LNK") {
            path = platform::LongPathName(path);
            // A shortcut that cannot be read has no target, whatever an
            // earlier shortcut left in the component.
            bool read = SCMake1.AnalizeLink(path) == 0;
            path = read ? SCMake1.LinkPath : std::string();
            if (path.empty() || !platform::FileExists(path)) {
                ui::App().messageBox(kMsgFileMissing, kCaptionStart, ui::MsgIcon::Error);
                Finish();
                return;
            }
            key = ExtensionKey(path);
        }
        if (key == "EXE") {
            path = platform::LongPathName(path);
            context_->RunRegistration(RegistrationRequest::ForFile(path));
            Finish();
            return;
        }
        int opened = NFile->OpenWithRegistered(path);
        ReportRefusedLaunch();
        if (opened == 1) {
            ShowFileMenu(path);
            ClearFileMenu();
            SetMenuResult(0);
        }
    }
    if (newDay) RunUpdateUnforced();
    Finish();
}

void TfrmTitle::RunUpdateUnforced() {
    // The run ends after this whatever the answer.
    context_->RunUpdate(false);
}

void TfrmTitle::OpenManagementWindow(int page) {
    if (MainForm) {
        MainForm->show();
        return;
    }
    PageSetup = true;
    LoadTitleDatabase(*AllTitle);
    MainForm = std::make_unique<TfrmMain>(*context_);
    // Turn to the page shown last: the page control counts on from its first
    // page (and wraps), so a stored number beyond the pages still lands on one.
    ui::PageControl& pages = MainForm->PageControl1;
    const int count = pages.pageCount();
    const int turn = page >= 0 ? page : NFile->Head.MainPage;
    const int steps = turn > 0 ? turn % count : 0;
    pages.setActivePageIndex(steps);
    const int shown = pages.activePage()->tag();
    NFile->Head.MainPage = shown;
    MainForm->PopupMenu1.setTag(shown);
    MainForm->ShowPage(shown);
    PageSetup = false;
    MainForm->show();  // in front, with the keyboard focus
    // The run goes on until the management window closes.
}

void TfrmTitle::Finish() {
    CanClose = true;
    close();
}

void TfrmTitle::FormCloseQuery(bool& canClose) { canClose = CanClose; }

void TfrmTitle::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    MainForm.reset();
    if (catalogueUnread_) return;
    // An exception is ending the run: whatever it interrupted may be half
    // done, so the catalogue file stays as it was on disk.
    if (std::uncaught_exceptions() > exceptionsAtStart_) return;
    if (NFile->History.Limit != NFile->Head.HistoryMax) NFile->History.SetLimit(NFile->Head.HistoryMax);
    // A damaged catalogue that could not be moved aside was refused already,
    // with its own message.
    if (NFile->Save() != 0 && !saveRefusalShown_) ReportFailedSave();
}

void TfrmTitle::WaitForMenu(bool chosen) {
    // A dismissed menu counts like a choice: nothing more will come. A chosen
    // entry's handler arrives through the message queue.
    for (int round = 0; chosen && MenuResult() == 0 && isActive() && round < 1000; ++round)
        ui::App().processMessages();
    ui::App().processMessages();
}

int TfrmTitle::BuildLaunchMenu() {
    ImageList1.clear();
    ui::MenuItem& root = PopupMenu1.items();
    int programEntries = 0;
    for (int c = 0; c < NFile->Categories.Count(); ++c) {
        const TExt& category = NFile->Categories.At(c);
        if (category.MenuFlag != 1 || category.ProgCount() == 0) continue;
        std::vector<TProg*> progs;
        NFile->ProgsOf(category, progs);
        ui::MenuItem& catEntry = root.add(category.Name);
        // Icons are fetched when the category is first opened: extracting
        // them is most of the cost of a large menu.
        auto pending = std::make_shared<std::vector<std::pair<int, std::string>>>();
        catEntry.OnPopup = [this, pending] {
            for (const auto& [image, path] : *pending) ImageList1.replace(image, LoadFirstProgramIcon(path));
            pending->clear();
        };
        for (TProg* prog : progs) {
            int image = ImageList1.add(platform::Icon());
            pending->emplace_back(image, prog->Path);
            ui::MenuItem& progEntry = catEntry.add(prog->Title);
            progEntry.setHint(prog->Path);
            progEntry.setImageIndex(image);
            ++programEntries;
            THist* history = nullptr;
            if (NFile->History.FindByProg(prog->Id, history) == 0 && history->ItemCount() > 0) {
                ui::MenuItem& own = progEntry.add(prog->Title);
                own.setHint(prog->Path);
                own.setImageIndex(image);
                own.OnClick = [this, &own] { LaunchMenuClick(own); };
                for (int i = 0; i < history->ItemCount(); ++i) {
                    ui::MenuItem& fileEntry = progEntry.add(history->ItemAt(i).Text);
                    fileEntry.setImageIndex(image);
                    fileEntry.OnClick = [this, &fileEntry] { LaunchMenuClick(fileEntry); };
                }
            } else {
                progEntry.OnClick = [this, &progEntry] { LaunchMenuClick(progEntry); };
            }
        }
    }
    ui::MenuItem& mainEntry = root.add(kMainWindowEntry);
    mainEntry.setHint(kMainWindowHint);
    mainEntry.OnClick = [this, &mainEntry] { LaunchMenuClick(mainEntry); };

    if (programEntries == 0) {
        SetMenuResult(-1);
        return 0;
    }
    WaitForMenu(PopupMenu1.popup(ui::App().cursorPos()));
    return 0;
}

void TfrmTitle::LaunchMenuClick(ui::MenuItem& entry) {
    if (entry.hint() == kMainWindowHint) {
        SetMenuResult(-1);
        return;
    }
    TProg* prog = nullptr;
    if (!entry.hint().empty()) {
        if (NFile->Progs.FindByPath(entry.hint(), prog) == 0) {
            prog->Params.clear();
            NFile->Launch(std::nullopt, *prog);
            ReportRefusedLaunch();
        }
    } else if (entry.parent() && NFile->Progs.FindByPath(entry.parent()->hint(), prog) == 0) {
        NFile->Launch(entry.caption(), *prog);
        ReportRefusedLaunch();
    }
    SetMenuResult(1);
}

int TfrmTitle::ClearLaunchMenu() {
    PopupMenu1.items().clear();
    return 0;
}

int TfrmTitle::ShowFileMenu(const std::string& path) {
    std::vector<std::string> titles, paths;
    NFile->TitlesForFile(path, titles);
    NFile->PathsForFile(path, paths);
    ImageList1.clear();
    for (std::size_t k = 0; k < titles.size(); ++k) {
        int image = ImageList1.add(LoadFirstProgramIcon(paths[k]));
        ui::MenuItem& entry = PopupMenu1.items().add(titles[k]);
        entry.setImageIndex(image);
        entry.setTag(static_cast<int>(k));
        entry.OnClick = [this, &entry] { FileMenuClick(entry); };
    }
    OpenFileName = path;
    WaitForMenu(PopupMenu1.popup(ui::App().cursorPos()));
    return 0;
}

void TfrmTitle::FileMenuClick(ui::MenuItem& entry) {
    std::vector<TProg*> progs;
    NFile->ProgsForFile(OpenFileName, progs);
    if (entry.tag() >= 0 && entry.tag() < static_cast<int>(progs.size())) {
        NFile->Launch(OpenFileName, *progs[static_cast<std::size_t>(entry.tag())]);
        ReportRefusedLaunch();
    }
    SetMenuResult(1);
}

int TfrmTitle::ClearFileMenu() {
    PopupMenu1.items().clear();
    return 0;
}

int ProgramMain(std::vector<std::string> args) { return ProgramMain(std::move(args), CatalogueFile()); }

int ProgramMain(std::vector<std::string> args, std::string catalogueFile) {
    return ui::Application::Protect([&] {
        ui::App().setTitle("Kumoya");
        ui::App().setHelpFile("Zelkova.hlp");
        TfrmTitle title(std::move(args), std::move(catalogueFile));
        ui::App().run(title);
    });
}

}  // namespace kumoya
