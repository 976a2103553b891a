#include "manager/main_form.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <unordered_map>

#include "app/association.h"
#include "manager/form_helpers.h"
#include "manager/input_form.h"
#include "platform/date_format.h"
#include "app/program_icon.h"
#include "online/titles.h"
#include "platform/datetime.h"
#include "platform/files.h"
#include "platform/help.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "registration/scmake.h"

namespace kumoya {

namespace {

// The light yellow of the strip and the pages.
constexpr int kPanelColor = 12648447;

std::string Trimmed(const std::string& text) { return TrimmedBlanks(text); }

void Place(ui::Button& button, int left, int top, int width, const char* caption, const char* hint) {
    PlaceButton(button, left, top, width, caption, hint);
}

// The first run of characters that are not digits in `text` (the system's
// separator in a formatted date or time), or `fallback`.
std::string FirstSeparator(const std::string& text, const char* fallback) {
    std::size_t begin = 0;
    while (begin < text.size() && !(text[begin] >= '0' && text[begin] <= '9')) ++begin;
    while (begin < text.size() && text[begin] >= '0' && text[begin] <= '9') ++begin;
    std::size_t end = begin;
    while (end < text.size() && !(text[end] >= '0' && text[end] <= '9')) ++end;
    return end > begin ? text.substr(begin, end - begin) : std::string(fallback);
}

// Support pages come with the title database from the network: only web
// addresses are handed to the shell, never a program or a document.
bool IsWebAddress(const std::string& url) {
    auto starts = [&url](std::string_view prefix) {
        return url.size() > prefix.size() && sjis::EqualsIgnoreCase(url.substr(0, prefix.size()), prefix);
    };
    return starts("http://") || starts("https://");
}

std::string TwoDigits(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

}  // namespace

std::vector<RankedProgram> RankPrograms(const TProgList& progs, Ranking by, const std::string& dateSeparator,
                                        const std::string& timeSeparator) {
    std::vector<std::pair<std::string, RankedProgram>> keyed;
    for (int i = 0; i < progs.Count(); ++i) {
        const TProg& prog = progs.At(i);
        if (by == Ranking::LastLaunch) {
            if (prog.LastLaunch == 0) continue;
            platform::DateParts d = platform::DecodeDateTime(prog.LastLaunch);
            std::string year = std::to_string(d.year);
            year.insert(0, year.size() < 4 ? 4 - year.size() : 0, '0');
            std::string key = year + dateSeparator + TwoDigits(d.month) + dateSeparator + TwoDigits(d.day) +
                              dateSeparator + TwoDigits(d.hour) + timeSeparator + TwoDigits(d.minute) +
                              timeSeparator + TwoDigits(d.minute);
            keyed.push_back({key, {prog.Id, key}});
        } else {
            const std::int32_t count = by == Ranking::TodayCount ? prog.TodayCount : prog.TotalCount;
            if (count <= 0) continue;
            // Ten digits hold any count, so that 10000 ranks above 9999.
            std::string key = std::to_string(count);
            key.insert(0, 10 - key.size(), '0');
            keyed.push_back({key, {prog.Id, std::to_string(count)}});
        }
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    if (by != Ranking::LastLaunch) std::reverse(keyed.begin(), keyed.end());
    std::vector<RankedProgram> out;
    for (auto& entry : keyed) out.push_back(std::move(entry.second));
    return out;
}

std::optional<std::string> DroppedProgramFile(const std::string& path, TSCMake& links) {
    std::string file = path;
    std::string extension = sjis::UpperAscii(sjis::Extension(file));
    if (extension == ".LNK") {
        // A shortcut stands for its target; one that cannot be read has none.
        if (links.AnalizeLink(file) != 0) return std::nullopt;
        file = links.LinkPath;
        if (file.empty() || !platform::FileExists(file)) return std::nullopt;
        extension = sjis::UpperAscii(sjis::Extension(file));
    }
    if (sjis::UpperAscii(sjis::FileName(file)) == "ZELKOVA.EXE" || extension != ".EXE") return std::nullopt;
    return file;
}

TfrmMain::TfrmMain(AppContext& context) : ui::Form(context.MainForm()), context_(context) {
    setCaption("Kumoya");
    setBorderStyle(ui::BorderStyle::Single);
    setBorderIcons({true, true, false});
    setPosition(ui::FormPosition::ScreenCenter);
    setClientSize(556, 373);
    setFont(ui::Font{});  // "ＭＳ Ｐゴシック", 12 pixels, Shift_JIS
    setAcceptFiles(true);

    // The strip where the advertisement clip plays.
    Panel1.setBounds(0, 0, 556, 57);
    Panel1.setColor(kPanelColor);
    Panel1.setBevel(ui::Bevel::None);
    mpCm.setDisplay(&Panel1);  // the clip plays in the strip (advertisement_strip.cpp)
    mpCm.OnNotify = [this] { mpCmNotify(); };

    PageControl1.setBounds(0, 57, 556, 297);
    const struct {
        ui::TabSheet& sheet;
        const char* caption;
        int tag;
        int helpContext;
    } pages[] = {{tabShurui, "種類別", kPageCategories, 29},
                 {tabExt, "拡張子別", kPageExtensions, 44},
                 {TabProperty, "設定", kPageSettings, 49},
                 {TabNet, "通信機能", kPageNetwork, 59}};
    for (const auto& page : pages) {
        page.sheet.setCaption(page.caption);
        page.sheet.setTag(page.tag);
        page.sheet.setHelpContext(page.helpContext);
        page.sheet.setColor(kPanelColor);
    }
    PageControl1.setActivePageIndex(0);
    PageControl1.OnChange = [this] { PageControl1Change(); };
    StatusBar1.setBounds(0, 354, 556, 19);

    // The category page.
    cmbShurui.setBounds(8, 10, 200, 20);
    cmbShurui.setHint("種類名を選んでください");
    cmbShurui.OnChange = [this] { cmbShuruiChange(); };
    chkVisMenu.setBounds(220, 12, 200, 17);
    chkVisMenu.setCaption("起動時メニューに表示する");
    chkVisMenu.setHint("この種類名を起動時のメニューに表示します。");
    chkVisMenu.OnClick = [this] { chkVisMenuClick(); };
    Place(btShuAdd, 440, 8, 100, "種類の追加", "種類名を追加します。");
    btShuAdd.OnClick = [this] { btShuAddClick(); };
    lvShurui.setBounds(8, 40, 420, 222);
    lvShurui.addColumn("タイトル", 300);
    lvShurui.setShowColumnHeaders(false);
    lvShurui.setEditLabels(true);
    lvShurui.setSmallImages(&ilIcon);
    lvShurui.setPopupMenu(&PopupMenu1);
    lvShurui.OnSelectItem = [this](int index, bool) { lvShuruiSelectItem(index); };
    lvShurui.OnDblClick = [this] { lvShuruiDblClick(); };
    lvShurui.OnEdited = [this](int index, std::string& text) { lvShuruiEdited(index, text); };
    Place(btSExecute, 440, 40, 100, "プログラムの起動", "選択されているプログラムを起動します。");
    btSExecute.OnClick = [this] { lvShuruiDblClick(); };
    Place(btSProgAdd, 440, 72, 100, "プログラムの追加", "新規のプログラムを追加します");
    btSProgAdd.OnClick = [this] { btSProgAddClick(); };
    Place(btSProgDel, 440, 104, 100, "プログラムの削除", "選択されているプログラムを削除します。");
    btSProgDel.OnClick = [this] { btSProgDelClick(); };
    Place(btSSupport, 440, 237, 100, "サポートHPへ", "サポートしているホームページがあれば開くことが出来ます。");
    btSSupport.setEnabled(false);
    btSSupport.OnClick = [this] { btSSupportClick(); };

    // The settings page.
    lbSettei.setBounds(8, 10, 200, 14);
    lbSettei.setCaption("細かな設定が出来ます");
    {
        ui::Font bold;
        bold.bold = true;
        lbSettei.setFont(bold);
    }
    cbMenuVisible.setBounds(16, 36, 200, 17);
    cbMenuVisible.setCaption("起動時のメニュー表示");
    cbMenuVisible.setHint("チェックを入れると起動時にメニューが表示されます。");
    cbMenuVisible.OnClick = [this] { cbMenuVisibleClick(); };
    lbHistNum.setBounds(16, 66, 80, 14);
    lbHistNum.setCaption("履歴の最大数");
    edHistNum.setBounds(100, 62, 40, 20);
    edHistNum.setText("0");
    edHistNum.OnChange = [this] { edHistNumChange(); };
    udHist.setBounds(140, 62, 15, 20);
    udHist.setRange(0, 100);
    udHist.setIncrement(1);
    udHist.setWrap(false);
    udHist.setAssociate(&edHistNum);
    Place(btHistClear, 170, 60, 100, "履歴のクリア", "");
    btHistClear.OnClick = [this] { btHistClearClick(); };
    rgExt.setBounds(16, 96, 254, 64);
    rgExt.setCaption("拡張子の関連付け");
    rgExt.setItems({"関連付けをする", "関連付けを止める"});
    rgExt.setItemIndex(0);
    rgExt.setHint("エクスプローラーからファイルをダブルクリックで開けるようにするかどうか決めれます。");
    Place(btRegistry, 170, 168, 100, "実行", "");
    btRegistry.OnClick = [this] { btRegistryClick(); };
    Place(btExecute, 16, 208, 100, "起動回数のクリア", "");
    btExecute.OnClick = [this] { btExecuteClick(); };
    cbMenu.setBounds(290, 10, 250, 20);
    cbMenu.setItems({"本日の起動回数", "通算の起動回数", "起動日付順"});
    cbMenu.OnChange = [this] { cbMenuChange(); };
    lvSonota.setBounds(290, 40, 250, 222);
    lvSonota.addColumn("タイトル", 201);
    lvSonota.addColumn("Pos", 0);
    lvSonota.addColumn("回数", 40);
    lvSonota.setSmallImages(&ilIcon);
    lvSonota.setPopupMenu(&PopupMenu1);
    lvSonota.OnDblClick = [this] { lvSonotaDblClick(); };

    BuildExtensionPage();

    // The network page (network_page.cpp).
    BuildNetworkPage();


    BuildMenus();
    OnShow = [this] { FormShow(); };
    OnCloseQuery = [this](bool& canClose) { FormCloseQuery(canClose); };
    OnFilesDropped = [this](const std::vector<std::string>& paths) { FilesDropped(paths); };
    FormCreate();
}

TfrmMain::~TfrmMain() { FormDestroy(); }

void TfrmMain::BuildMenus() {
    ui::MenuItem& file = MainMenu1.items().add("ﾌｧｲﾙ(&F)");
    mnuEnd = &file.add("終了");
    mnuEnd->OnClick = [this] { close(); };

    ui::MenuItem& edit = MainMenu1.items().add("編集(&E)");
    // The first three are bound by ShowPage to the page shown.
    mnuExeCute = &edit.add("プログラムの起動");
    mnuProgAdd = &edit.add("プログラムの追加");
    mnuProgDel = &edit.add("プログラムの削除");
    mnuShuAdd = &edit.add("種類の追加");
    mnuShuAdd->OnClick = [this] { btShuAddClick(); };
    mnuExtAdd = &edit.add("拡張子の追加");
    mnuExtAdd->OnClick = [this] { btExtAddClick(); };
    mnuProgEdt = &edit.add("登録プログラムの修正");
    mnuProgEdt->OnClick = [this] { mnuProgEdtClick(); };
    mnuNewProgAdd = &edit.add("新規プログラムの追加");  // no action of its own

    ui::MenuItem& wizard = MainMenu1.items().add("ｳｲｻﾞｰﾄﾞ(&W)");
    const char* wizardPages[] = {"ショートカットの作成(&S)", "レジストリーの検索(&R)", "デスクトップの検索(&D)",
                                 "分類の作成(&B)", "NetWorkの設定(&N)"};
    for (int page = 0; page < 5; ++page) wizard.add(wizardPages[page]).OnClick = [this, page] { WizardClick(page); };

    ui::MenuItem& help = MainMenu1.items().add("ﾍﾙﾌﾟ(&H)");
    help.add("開く(&O)").OnClick = [this] { HelpClick(platform::kHelpContents, 0); };
    help.add("キーワード検索(&K)").OnClick = [this] { HelpClick(platform::kHelpFinder, 0); };
    help.add("Tips表示(&T)").OnClick = [this] { HelpClick(platform::kHelpContext, 103); };
    help.add("ﾍﾙﾌﾟの使い方(&H)").OnClick = [this] { HelpClick(platform::kHelpHelpOnHelp, 0); };

    PopupMenu1.setImages(&ilIcon);
    ui::MenuItem& popup = PopupMenu1.items();
    mnu2Kidou = &popup.add("起動(&K)");
    mnu2Kidou->OnClick = [this] { mnu2KidouClick(); };
    mnu2Hist = &popup.add("履歴(&R)");
    // The history entries carry their program; choosing one does nothing.
    mnu2Info = &popup.add("内容の変更(&M)");
    mnu2Info->OnClick = [this] { mnu2InfoClick(); };
    mnu2Del = &popup.add("削除(&D)");
    mnu2Del->OnClick = [this] { mnu2DelClick(); };
    mnuSupport = &popup.add("サポートHPへ(&H)");  // bound by ShowPage
    mnuSupport->setVisible(false);
    mnu2Property = &popup.add("プロパティ(&P)");
    mnu2Property->OnClick = [this] { mnu2PropertyClick(); };
}

TNFile& TfrmMain::nfile() { return context_.NFile(); }

void TfrmMain::FormCreate() {
    PropertySheet = std::make_unique<TfrmProperty>(this, nfile());
    PropertySheet->edTitle.OnKeyDown = [this](int& key) { PropertyTitleKeyDown(key); };
    Ad.AdIdle = true;
    SuppressHistoryEdit = true;
    std::srand(static_cast<unsigned>(std::time(nullptr)));
}

void TfrmMain::FormShow() {
    // What a launch from here shows (the shell's messages) belongs to this window.
    nfile().OwnerWindow = nativeHandle();
    // Dropping files is enabled with the window (setAcceptFiles).
    Ad.AdStopRequested = false;
    StartAdvertisement();
}

void TfrmMain::FormCloseQuery(bool& canClose) {
    // The clip and its wait end first; the unpacked clip goes with them.
    StopAdvertisement();
    const std::string unpacked = context_.ProgramFolder() + "cm.avi";
    if (platform::FileExists(unpacked)) platform::DeleteFileAt(unpacked);
    context_.EndRun();  // also stops any further filling of the property window
    PropertySheet->close();
    canClose = true;
}

void TfrmMain::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    // A window taken down without closing still lets its wait thread end
    // before the advertisement it shares goes.
    StopAdvertisement();
    PropertySheet.reset();
}

void TfrmMain::PageControl1Change() {
    if (context_.PageSetup()) return;
    ui::TabSheet* page = PageControl1.activePage();
    if (!page) return;
    nfile().Head.MainPage = page->tag();
    ShowPage(page->tag());
    PopupMenu1.setTag(page->tag());
}

void TfrmMain::ShowPage(int page) {
    mnuShuAdd->setEnabled(false);
    mnuExtAdd->setEnabled(false);
    switch (page) {
        case kPageCategories:
            LoadCategoryPage();
            mnuExeCute->OnClick = [this] { lvShuruiDblClick(); };
            mnuProgAdd->OnClick = [this] { btSProgAddClick(); };
            mnuProgDel->OnClick = [this] { btSProgDelClick(); };
            mnuSupport->OnClick = [this] { btSSupportClick(); };
            mnuShuAdd->setEnabled(true);
            break;
        case kPageExtensions:
            LoadExtensionPage();
            mnuExeCute->OnClick = [this] { lvExtDblClick(); };
            mnuProgAdd->OnClick = [this] { btEProgAddClick(); };
            mnuProgDel->OnClick = [this] { btEProgDelClick(); };
            mnuSupport->OnClick = [this] { btESupportClick(); };
            mnuExtAdd->setEnabled(true);
            break;
        case kPageSettings:
            // The four items keep their bindings.
            LoadSettingsPage();
            break;
        default: break;
    }
}

// ---- the category page ----

TExt* TfrmMain::CurrentCategory() {
    TExt* category = nullptr;
    if (cmbShurui.itemIndex() < 0) return nullptr;
    if (nfile().Categories.FindByName(cmbShurui.text(), category) != 0) return nullptr;
    return category;
}

TProg* TfrmMain::ProgramOfItem(const ui::ListView& list, int index) {
    if (index < 0 || index >= list.itemCount()) return nullptr;
    const ui::ListItem& item = list.item(index);
    if (item.subItems.empty()) return nullptr;
    char* end = nullptr;
    long id = std::strtol(item.subItems[0].c_str(), &end, 10);
    if (end == item.subItems[0].c_str()) return nullptr;
    TProg* prog = nullptr;
    if (nfile().Progs.FindById(static_cast<std::int32_t>(id), prog) != 0) return nullptr;
    return prog;
}

TProg* TfrmMain::SelectedProgram(int page) {
    switch (page) {
        case kPageCategories: return ProgramOfItem(lvShurui, lvShurui.selected());
        case kPageExtensions: return ProgramOfItem(lvExt, lvExt.selected());
        case kPageSettings: return ProgramOfItem(lvSonota, lvSonota.selected());
        default: return nullptr;
    }
}

void TfrmMain::LoadCategoryPage() {
    std::vector<std::string> names;
    for (int i = 0; i < nfile().Categories.Count(); ++i) names.push_back(nfile().Categories.At(i).Name);
    cmbShurui.setItems(std::move(names));
    int index = nfile().Head.CategoryIndex;
    if (index != -1) {
        cmbShurui.setItemIndex(index);
        cmbShuruiChange();
    }
}

namespace {
// How long the rows of a list fill may wait for the screen.
constexpr std::uint32_t kFillBatchMs = 100;
// How long input may wait while a list fills.
constexpr std::uint32_t kFillAnswerMs = 15;
}  // namespace

void TfrmMain::FillProgramList(ui::ListView& list, const TExt& ext) {
    std::vector<std::int32_t> ids = ext.CopyProgIds();
    const unsigned fill = ++fillCount_;
    list.clearItems();
    ilIcon.clear();
    list.imagesChanged();
    // Each program file's icon is looked up once, however many rows show it.
    std::unordered_map<std::string, int> iconOfFile;
    // Rows reach the screen in batches a few times a second: a native list
    // that is on the screen redraws once per batch, not once per row.
    platform::Clock& clock = platform::SystemClock();
    std::uint32_t flushed = clock.TickCount();
    std::uint32_t pumped = flushed;
    list.beginUpdate();
    for (std::int32_t id : ids) {
        TProg* prog = nullptr;
        // A number without its program (a catalogue edited elsewhere) has
        // nothing to show or launch.
        if (nfile().Progs.FindById(id, prog) != 0) continue;
        auto [icon, fresh] = iconOfFile.try_emplace(sjis::UpperAscii(prog->Path), -1);
        if (fresh) {
            icon->second = ilIcon.add(LoadProgramIcon(prog->Path));
            list.imagesChanged();  // appends the one icon natively
        }
        int item = list.addItem(prog->Title, icon->second);
        list.addSubItem(item, std::to_string(id));
        if (clock.TickCount() - flushed >= kFillBatchMs) {
            list.endUpdate();
            list.beginUpdate();
            flushed = clock.TickCount();
        }
        // Icons load slowly; keep the window answering meanwhile: after the
        // first row and then many times a second (asking the system for
        // messages after every row would cost more than the row). If the
        // user chose another list meanwhile, that fill owns the list now;
        // if the window or the program is closing, nobody waits for the rest.
        if (item == 0 || clock.TickCount() - pumped >= kFillAnswerMs) {
            ui::App().processMessages();
            pumped = clock.TickCount();
        }
        if (fill != fillCount_ || context_.Ending() || ui::App().terminated()) break;
    }
    list.endUpdate();
}

void TfrmMain::cmbShuruiChange() {
    TExt* category = CurrentCategory();
    if (!category) {
        chkVisMenu.setEnabled(false);
        return;
    }
    chkVisMenu.setEnabled(true);
    // Showing the flag is no change of it: a stored value other than 0 or 1
    // stays as it is until the user clicks the box.
    showingCategory_ = true;
    chkVisMenu.setChecked(category->MenuFlag == 1);
    showingCategory_ = false;
    FillProgramList(lvShurui, *category);
    nfile().Head.CategoryIndex = cmbShurui.itemIndex();
    if (lvShurui.itemCount() > 0) {
        lvShurui.setSelected(0);
        // As a user's choice would: the buttons, the popup menu and the
        // property window follow the selection.
        lvShuruiSelectItem(0);
    }
    if (PageControl1.activePage() == &tabShurui && visible()) lvShurui.setFocus();
}

void TfrmMain::chkVisMenuClick() {
    if (showingCategory_) return;
    TExt* category = CurrentCategory();
    if (!category) return;
    category->MenuFlag = chkVisMenu.checked() ? 1 : 0;
}

void TfrmMain::lvShuruiSelectItem(int index) { FollowSelection(lvShurui, btSSupport, kPageCategories, index); }

void TfrmMain::FollowSelection(ui::ListView& list, ui::Button& support, int page, int index) {
    TProg* prog = index < 0 ? nullptr : ProgramOfItem(list, index);
    if (!prog) {
        ShowProperties(page, nullptr);
        return;
    }
    const bool hasSupportPage = SupportPageOf(*prog) != nullptr;
    mnuSupport->setVisible(hasSupportPage);
    support.setEnabled(hasSupportPage);
    THist* history = nullptr;
    if (nfile().History.FindByProg(prog->Id, history) != 0) {
        mnu2Hist->setVisible(false);
    } else {
        mnu2Hist->setVisible(true);
        FillHistoryMenu(*history, list.item(index).imageIndex);
    }
    ShowProperties(page, prog);
}

const std::string* TfrmMain::SupportPageOf(const TProg& prog) {
    if (prog.TitleIndex == -1) return nullptr;
    const TFTitle* entry = context_.AllTitle().TitleAt(prog.TitleIndex);
    if (!entry || !IsWebAddress(entry->SupportUrl)) return nullptr;
    return &entry->SupportUrl;
}

void TfrmMain::OpenSupportPage(TProg* prog) {
    const std::string* url = prog ? SupportPageOf(*prog) : nullptr;
    if (!url) return;
    platform::SystemShell().Open(*url, "", "", true, nfile().OwnerWindow);
}

void TfrmMain::FillHistoryMenu(const THist& history, int imageIndex) {
    std::vector<std::pair<std::string, const TvorParam*>> items;
    history.CopyItems(items);
    const int paths = static_cast<int>(items.size());
    const int n = std::max(mnu2Hist->count(), paths);
    for (int i = 0; i < n; ++i) {
        if (i >= mnu2Hist->count()) mnu2Hist->add("");
        ui::MenuItem& entry = mnu2Hist->item(i);
        entry.setVisible(true);
        if (i < paths) entry.setCaption(items[static_cast<std::size_t>(i)].first);
        entry.setTag(history.ProgId);
        entry.setImageIndex(imageIndex);
        if (i >= paths) entry.setVisible(false);
    }
}

void TfrmMain::lvShuruiDblClick() {
    TProg* prog = SelectedProgram(kPageCategories);
    if (!prog) return;
    prog->Params.clear();
    nfile().Launch(std::nullopt, *prog);
}

void TfrmMain::lvShuruiEdited(int index, std::string& text) { EditTitleInList(lvShurui, index, text); }

void TfrmMain::EditTitleInList(ui::ListView& list, int index, std::string& text) {
    TProg* prog = ProgramOfItem(list, index);
    if (text.size() > kTitleBytes) {
        ui::App().messageBox(kMsgTitleTooLong, kCaptionTitleChange, ui::MsgIcon::None, ui::MsgButtons::Ok);
        // Never half a double-byte character.
        text = std::string(sjis::CutToBytes(text, kTitleBytes));
    }
    if (Trimmed(text).empty()) {
        // A program without a title could not be found in the menus: it
        // keeps the one it has, and the user is told so.
        ui::App().messageBox(kMsgTitleBlank, kCaptionTitleChange, ui::MsgIcon::Error);
        text = prog ? prog->Title : list.item(index).caption;
        return;
    }
    if (!prog) return;
    prog->Title = text;
    if (PropertySheet->Program == prog && !PropertySheet->edTitle.readOnly()) {
        SuppressTitleKey = true;
        PropertySheet->edTitle.setText(text);
        SuppressTitleKey = false;
    }
}

void TfrmMain::btSProgAddClick() {
    context_.RunRegistration(RegistrationRequest::ForSearch(this));
    if (nfile().Head.MainPage == kPageCategories) LoadCategoryPage();
    if (nfile().Head.MainPage == kPageExtensions) LoadExtensionPage();
}

void TfrmMain::btSProgDelClick() {
    int index = lvShurui.selected();
    TProg* prog = ProgramOfItem(lvShurui, index);
    TExt* category = CurrentCategory();
    if (!prog || !category) return;
    category->RemoveProg(prog->Id);
    lvShurui.deleteItem(index);
}

void TfrmMain::btCheckClick() {
    // Asked for by the user: the question switched off at some start-up no
    // longer holds, and the run asks none.
    nfile().Head.Flags &= ~THead::NoUpdateQuestion;
    // 1: the updater is replacing this program, which ends now.
    if (context_.RunUpdate && context_.RunUpdate(true) == 1) {
        close();
        return;
    }
    // Clips the update fetched join the rotation.
    StartAdvertisement();
}

void TfrmMain::btShuAddClick() {
    std::string name;
    {
        TfrmInput input(this);
        input.Ask(kPromptAddCategory, kCaptionAddCategory, name);
        if (input.Cancelled) return;
    }
    if (Trimmed(name).empty()) return;
    for (const std::string& existing : cmbShurui.items())
        if (sjis::EqualsIgnoreCase(existing, name)) return;
    if (name.size() > kCategoryNameBytes) {
        // The catalogue keeps 31 bytes of a name; a longer one would come
        // back cut, or cut inside a character.
        ui::App().messageBox(kMsgCategoryTooLong, kCaptionAddCategory, ui::MsgIcon::Error);
        return;
    }
    cmbShurui.addItem(name);
    TExt category;
    category.Name = name;
    category.MenuFlag = 0;
    nfile().Categories.AddNew(category);
}

void TfrmMain::btSSupportClick() { OpenSupportPage(SelectedProgram(kPageCategories)); }

// ---- the settings page ----

void TfrmMain::LoadSettingsPage() {
    SuppressHistoryEdit = true;
    // The arrows hold 16 bits; a larger size typed earlier shows cut.
    udHist.setPosition(static_cast<std::int16_t>(nfile().Head.HistoryMax & 0xFFFF));
    SuppressHistoryEdit = false;
    showingSettings_ = true;
    cbMenuVisible.setChecked(nfile().Head.MenuAtStart != 0);
    showingSettings_ = false;
    cbMenuChange();
}

void TfrmMain::cbMenuVisibleClick() {
    if (showingSettings_) return;
    nfile().Head.MenuAtStart = cbMenuVisible.checked() ? 1 : 0;
}

void TfrmMain::edHistNumChange() {
    if (SuppressHistoryEdit) return;
    const std::string text = edHistNum.text();
    char* end = nullptr;
    errno = 0;
    long value = text.empty() ? 0 : std::strtol(text.c_str(), &end, 10);
    const bool integer = !text.empty() && end == text.c_str() + text.size() && errno == 0 &&
                         value >= INT32_MIN && value <= INT32_MAX &&
                         !(text[0] == ' ' || text[0] == '\t');
    // A negative size is kept as typed; the history keeps nothing then.
    nfile().Head.HistoryMax = integer ? static_cast<std::int32_t>(value) : 3;
}

void TfrmMain::btHistClearClick() {
    nfile().History.Clear();
    ui::App().messageBox("履歴をクリアしました。", "履歴のクリア", ui::MsgIcon::Information);
}

void TfrmMain::btExecuteClick() {
    nfile().Progs.ResetTotalCounts();
    ui::App().messageBox("起動回数をクリアしました。", "起動回数のクリア", ui::MsgIcon::Information);
    if (cbMenu.itemIndex() == 0 || cbMenu.itemIndex() == 1) cbMenuChange();
}

void TfrmMain::cbMenuChange() {
    // The value column: counts are narrow, dates need room from the title.
    const int index = cbMenu.itemIndex();
    const bool byDate = index == 2;
    lvSonota.setColumnCaption(2, byDate ? "起動日時" : "回数");
    lvSonota.setColumnWidth(0, byDate ? 120 : 180);
    lvSonota.setColumnWidth(2, byDate ? 100 : 40);
    if (index < 0 || index > 2) return;
    const Ranking by = index == 0 ? Ranking::TodayCount : index == 1 ? Ranking::TotalCount : Ranking::LastLaunch;
    platform::DateParts sample{2001, 2, 3, 4, 5, 6, 0};
    std::vector<RankedProgram> ranked =
        RankPrograms(nfile().Progs, by, FirstSeparator(platform::FormatShortDate(sample), "/"),
                     FirstSeparator(platform::FormatLongTime(sample), ":"));
    const unsigned fill = ++fillCount_;
    lvSonota.clearItems();
    ilIcon.clear();
    lvSonota.imagesChanged();
    for (const RankedProgram& entry : ranked) {
        TProg* prog = nullptr;
        if (nfile().Progs.FindById(entry.Id, prog) != 0) continue;
        const int icon = ilIcon.add(LoadProgramIcon(prog->Path));
        lvSonota.imagesChanged();
        lvSonota.beginUpdate();
        int item = lvSonota.addItem(prog->Title, icon);
        lvSonota.addSubItem(item, std::to_string(entry.Id));
        lvSonota.addSubItem(item, entry.Value);
        lvSonota.endUpdate();
        ui::App().processMessages();
        if (fill != fillCount_ || context_.Ending() || ui::App().terminated()) return;
    }
    if (lvSonota.itemCount() > 0) lvSonota.setSelected(0);
    if (PageControl1.activePage() == &TabProperty && visible()) lvSonota.setFocus();
}

void TfrmMain::lvSonotaDblClick() {
    TProg* prog = SelectedProgram(kPageSettings);
    if (!prog) return;
    prog->Params.clear();
    nfile().Launch(std::nullopt, *prog);
}

void TfrmMain::btRegistryClick() {
    const char* caption = "拡張子の関連付け";
    AssociationResult failed;
    const char* done = nullptr;
    if (rgExt.itemIndex() == 0) {
        failed = RegisterAssociation(context_.Registry(), context_.ProgramPath(), nfile().Extensions);
        done = "拡張子を「Kumoya」に関連付けました。";
    } else if (rgExt.itemIndex() == 1) {
        failed = UnregisterAssociation(context_.Registry());
        done = "拡張子を元のプログラムに関連付けました。";
    } else {
        return;
    }
    if (failed) {
        ui::App().messageBox(failed->Message(), caption, ui::MsgIcon::Error);
        return;
    }
    ui::App().messageBox(done, caption, ui::MsgIcon::Information);
}

// ---- menus ----

void TfrmMain::mnu2KidouClick() {
    switch (nfile().Head.MainPage) {
        case kPageCategories: lvShuruiDblClick(); break;
        case kPageExtensions: lvExtDblClick(); break;
        case kPageSettings: lvSonotaDblClick(); break;
        default: break;
    }
}

void TfrmMain::mnu2InfoClick() {
    TProg* prog = SelectedProgram(nfile().Head.MainPage);
    if (!prog) return;
    const std::string path = prog->Path;  // the dialog may change the program
    context_.RunRegistration(RegistrationRequest::ForFile(path, this));
    ShowPage(nfile().Head.MainPage);
}

void TfrmMain::mnu2DelClick() {
    switch (nfile().Head.MainPage) {
        case kPageCategories: btSProgDelClick(); break;
        case kPageExtensions: btEProgDelClick(); break;
        default: break;
    }
}

void TfrmMain::mnu2PropertyClick() {
    const int page = PopupMenu1.tag();
    TProg* prog = SelectedProgram(page);
    if (!prog) {
        ShowProperties(page, nullptr);
        return;
    }
    PropertySheet->show();
    ShowProperties(page, prog);
}

void TfrmMain::mnuProgEdtClick() {
    context_.RunRegistration(RegistrationRequest::ForCatalogue(this));
    LoadCategoryPage();
    LoadExtensionPage();
}

void TfrmMain::WizardClick(int page) {
    // The lists are not reloaded afterwards.
    context_.RunWizard(this, true, page);
}

void TfrmMain::HelpClick(unsigned command, std::uintptr_t data) { ui::App().showHelp(command, data); }

void TfrmMain::FilesDropped(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        std::optional<std::string> program = DroppedProgramFile(path, context_.SCMake1());
        if (!program) continue;
        // The lists are not reloaded afterwards.
        context_.RunRegistration(RegistrationRequest::ForFile(*program, this));
    }
}

// ---- the property window ----

void TfrmMain::ShowProperties(int page, TProg* prog) {
    if (context_.Ending()) return;
    TfrmProperty& sheet = *PropertySheet;
    sheet.edTitle.setReadOnly(true);
    sheet.edTitle.setText("");
    sheet.imIcon.clearIcon();
    sheet.imIcon.setEnabled(false);
    sheet.lbPath.setCaption("");
    sheet.lbParam.setCaption("");
    sheet.lbDate.setCaption("");
    if (!prog) return;

    sheet.Program = prog;
    SuppressTitleKey = true;
    sheet.edTitle.setReadOnly(false);
    sheet.edTitle.setText(prog->Title);
    SuppressTitleKey = false;
    sheet.imIcon.setIcon(LoadProgramIcon(prog->Path));
    sheet.imIcon.setEnabled(true);
    sheet.lbPath.setCaption(prog->Path);
    // On the extension page: the program's parameter for the extension shown.
    if (page == kPageExtensions) sheet.lbParam.setCaption(ExtensionParameter(nfile(), *prog, cmbExt.text()));
    sheet.lbDate.setCaption(FormatLastLaunch(prog->LastLaunch));
}

void TfrmMain::PropertyTitleKeyDown(int& key) {
    if (key != ui::kKeyReturn || SuppressTitleKey) return;
    TfrmProperty& sheet = *PropertySheet;
    if (!sheet.Program || sheet.edTitle.readOnly()) return;
    std::string text = sheet.edTitle.text();
    if (Trimmed(text).empty()) {
        // A program keeps some title; the field shows it again.
        ui::App().messageBox(kMsgTitleBlank, kCaptionTitleChange, ui::MsgIcon::Error);
        SuppressTitleKey = true;
        sheet.edTitle.setText(sheet.Program->Title);
        SuppressTitleKey = false;
        return;
    }
    if (text.size() > kTitleBytes) {
        ui::App().messageBox(kMsgTitleTooLong, kCaptionTitleChange, ui::MsgIcon::None, ui::MsgButtons::Ok);
        text = std::string(sjis::CutToBytes(text, kTitleBytes));
        SuppressTitleKey = true;
        sheet.edTitle.setText(text);
        SuppressTitleKey = false;
    }
    sheet.Program->Title = text;
    const int page = nfile().Head.MainPage;
    if (page == kPageCategories) {
        lvShurui.clearItems();
    } else if (page == kPageExtensions) {
        lvExt.clearItems();
    }
    ShowPage(page);
}

}  // namespace kumoya
