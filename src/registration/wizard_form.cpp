#include "registration/wizard_form.h"

#include <array>
#include <charconv>
#include <utility>

#include "platform/folders.h"
#include "platform/ui/window_service.h"
#include "registration/mirun.h"
#include "registration/proxy_settings.h"

namespace kumoya {

namespace {

constexpr const char* kCaptionNext = "実行して次へ";
constexpr const char* kCaptionDone = "完了";
constexpr const char* kCaptionSelectAll = "全て選択";
constexpr const char* kCaptionClearAll = "全て解除";
constexpr const char* kProductName = "Kumoya";

// Help topics of the pages, by page.
constexpr int kPageHelp[] = {5, 9, 9, 15, 22};

// "ＭＳ ゴシック" in Shift_JIS.
constexpr const char* kGothic = "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E";
constexpr int kNavy = 0x800000;

// The catalogue keeps host names and addresses in 256-byte fields.
constexpr int kSettingLength = 255;

const std::array<std::vector<std::string>, 5>& PageTexts() {
    static const std::array<std::vector<std::string>, 5> texts = {{
        {"いろいろな初期設定をします。\n\n", "☆デスクトップ上にショートカットを作ることができます。\n\n",
         "☆ファイルを右クリックしたときに出るメニューの「送る」に登録することができます。\n\n", "\n\n",
         "☆「vorのMirundo」に登録することができます。（使用している場合）\n"},
        {"レジストリに登録されているプログラムを検索します。\n\n", "☆必要なものだけチェックをつけてください。\n\n",
         "☆初期登録をしないときはチェックをつけずに「実行して次へ」ボタンを押してください。\n\n",
         "☆同じプログラムの場合、名前は最後のものになります。\n\n", "☆登録する名前の変更は後程できます。\n\n"},
        {"デスクトップ上にあるショートカットを検索します。\n\n", "☆必要なものだけチェックをつけてください。\n\n",
         "☆初期登録をしないときはチェックをつけずに「実行して次へ」ボタンを押してください。\n\n",
         "☆登録する種類名は後程、追加・変更が行えます。\n\n"},
        {"種類分けをするとソフトを管理しやすくなります。\n\n", "☆必要なものだけチェックをつけてください。\n\n",
         "☆初期登録をしないときはチェックをつけずに「実行して次へ」ボタンを押してください。\n\n",
         "☆種類名に対応した拡張子は半自動で登録されます。\n\n", "☆登録する種類名は後程、追加・変更が行えます。\n\n"},
        {"ソフトのタイトル名を簡易に割付けるためのタイトル受信。\n\n", "「Kumoya」のアップデートなど。\n\n",
         "これらの受信のための設定や、\n\n", "作者へのバグ報告、感想などをメールするための設定が行えます。\n\n",
         "☆ここで登録する情報は後程、変更が行えます。\n\n"},
    }};
    return texts;
}

// A port number as typed: decimal digits with blanks around them, 1 to 65535;
// anything else is no port (-1).
std::int32_t PortNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty() || text.front() == '-' || text.front() == '+') return -1;
    std::int32_t port = -1;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc() || end != text.data() + text.size()) return -1;
    return port >= 1 && port <= 65535 ? port : -1;
}

void Put16(std::vector<std::uint8_t>& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    Put16(b, static_cast<std::uint16_t>(v));
    Put16(b, static_cast<std::uint16_t>(v >> 16));
}

}  // namespace

const std::string& WizardPageTitle(int page) {
    static const std::string titles[] = {"その１：ようこそ「Kumoya」へ", "その２：レジストリの検索",
                                         "その３：デスクトップの検索", "その４：デフォルト種類名の作成",
                                         "その５：最新データ受信のための設定"};
    static const std::string none;
    return page >= 0 && page < 5 ? titles[page] : none;
}

std::string WizardPageText(int page) {
    std::string text;
    if (page < 0 || page >= 5) return text;
    for (const std::string& piece : PageTexts()[static_cast<std::size_t>(page)]) text += piece;
    return text;
}

std::vector<std::uint8_t> WizardTileBitmap() {
    // 32 x 32, 24 bits: a pale sky with a soft cloud in it, so that the tiles
    // make a quiet pattern behind the texts.
    constexpr int kSize = 32;
    constexpr int kRow = kSize * 3;  // already a multiple of 4
    std::vector<std::uint8_t> b;
    b.push_back('B');
    b.push_back('M');
    Put32(b, 54 + kRow * kSize);
    Put32(b, 0);
    Put32(b, 54);
    Put32(b, 40);
    Put32(b, kSize);
    Put32(b, kSize);
    Put16(b, 1);
    Put16(b, 24);
    Put32(b, 0);
    Put32(b, kRow * kSize);
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, 0);
    Put32(b, 0);
    for (int y = kSize - 1; y >= 0; --y) {  // bottom-up
        for (int x = 0; x < kSize; ++x) {
            // Three overlapping puffs; the distance picks white or sky.
            auto inside = [&](int cx, int cy, int r) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; };
            bool cloud = inside(10, 18, 6) || inside(17, 15, 7) || inside(24, 19, 5);
            int blue = cloud ? 0xFC : 0xF4, green = cloud ? 0xFA : 0xEA, red = cloud ? 0xFA : 0xE2;
            b.push_back(static_cast<std::uint8_t>(blue));
            b.push_back(static_cast<std::uint8_t>(green));
            b.push_back(static_cast<std::uint8_t>(red));
        }
    }
    return b;
}

TfrmWizard::TfrmWizard(AppContext& context, ui::Form* owner) : ui::Form(owner), context_(context) {
    setCaption("ウイザード");
    setBorderStyle(ui::BorderStyle::Single);
    setBorderIcons({true, true, false});
    setPosition(ui::FormPosition::ScreenCenter);
    setClientSize(555, 329);

    pnlMain.setBounds(0, 0, 256, 329);
    pnlMain.setBevel(ui::Bevel::None);
    imBack.setBounds(0, 0, 256, 329);
    lbTitle.setBounds(16, 14, 224, 24);
    lbTitle.setCaption(kProductName);
    ui::Font title;
    title.name = kGothic;
    title.height = 19;
    title.bold = true;
    lbTitle.setFont(title);
    lbNo.setBounds(16, 52, 232, 16);
    lbNo.setShowAccelChar(false);
    ui::Font pageTitle;
    pageTitle.bold = true;
    pageTitle.italic = true;
    pageTitle.color = kNavy;
    lbNo.setFont(pageTitle);
    lbNaiyou.setBounds(16, 80, 228, 240);
    lbNaiyou.setShowAccelChar(false);
    ui::Font bold;
    bold.bold = true;
    lbNaiyou.setFont(bold);

    for (ui::Panel* page : {&pnlFirst, &pnlSecond, &pnlThird, &pnlFourth, &pnlFifth}) {
        page->setBounds(256, 0, 299, 284);
        page->setBevel(ui::Bevel::None);
        page->setVisible(false);
    }

    lblTitle.setBounds(20, 24, 260, 14);
    lblTitle.setCaption("ショートカットの作成");
    chkDeskTop.setBounds(36, 48, 220, 17);
    chkDeskTop.setCaption("デスクトップ");
    chkDeskTop.setChecked(true);
    chkSendTo.setBounds(36, 74, 220, 17);
    chkSendTo.setCaption("送る");
    chkSendTo.setChecked(true);
    lblMirunTitle.setBounds(20, 124, 260, 14);
    lblMirunTitle.setCaption("vorのMirundoへの登録");
    chkMirun.setBounds(36, 148, 220, 17);
    chkMirun.setCaption("登録する");

    lvExt.setBounds(8, 12, 283, 232);
    lvExt.addColumn("拡張子", 70);
    lvExt.addColumn("名前", 180);
    lvExt.setCheckBoxes(true);
    lvExt.setReadOnly(true);
    lvExt.setRowSelect(true);
    lvExt.setSmallImages(&imExt);
    lvExt.OnChange = [this](int index) { lvExtChange(index); };
    btSelAll.setBounds(8, 252, 90, 24);
    btSelAll.setCaption(kCaptionClearAll);
    btSelAll.OnClick = [this] { btSelAllClick(); };

    const std::vector<DefaultCategory>& categories = DefaultCategories();
    for (int i = 0; i < 6; ++i) {
        ui::CheckBox& box = *Shurui(i);
        box.setBounds(36, 24 + 30 * i, 220, 17);
        box.setCaption(categories[static_cast<std::size_t>(i)].Name);
        box.setChecked(categories[static_cast<std::size_t>(i)].TickedAtStart);
    }

    lbServer.setBounds(20, 16, 260, 14);
    lbServer.setCaption("メール用サーバー名");
    edServer.setBounds(20, 32, 260, 20);
    edServer.setMaxLength(kSettingLength);
    lbMailAddress.setBounds(20, 64, 260, 14);
    lbMailAddress.setCaption("メールアドレス");
    edMail.setBounds(20, 80, 260, 20);
    edMail.setMaxLength(kSettingLength);
    cbProxy.setBounds(20, 118, 220, 17);
    cbProxy.setCaption("Proxy設定を行う");
    cbProxy.OnClick = [this] { cbProxyClick(); };
    lbProxyServer.setBounds(36, 146, 244, 14);
    lbProxyServer.setCaption("Proxyサーバー名");
    edProxyServer.setBounds(36, 162, 244, 20);
    edProxyServer.setMaxLength(kSettingLength);
    lbProxyPort.setBounds(36, 194, 244, 14);
    lbProxyPort.setCaption("ProxyポートNo");
    edProxyPort.setBounds(36, 210, 80, 20);
    edProxyPort.setMaxLength(10);
    cbProxyClick();  // the proxy controls start disabled

    btJikkou.setBounds(300, 292, 120, 25);
    btJikkou.setCaption(kCaptionNext);
    btJikkou.setDefault(true);
    btJikkou.OnClick = [this] { btJikkouClick(); };
    btCancel.setBounds(428, 292, 112, 25);
    btCancel.setCaption("メイン画面へ");
    btCancel.setCancel(true);
    btCancel.setModalResult(ui::DialogResult::Cancel);

    OnShow = [this] { FormShow(); };
    OnCloseQuery = [this](bool& canClose) {
        // Leaving is offered again as soon as the scan has filled the list.
        canClose = !scanning_;
    };
    FormCreate();
}

TfrmWizard::~TfrmWizard() { FormDestroy(); }

ui::CheckBox* TfrmWizard::Shurui(int i) {
    ui::CheckBox* boxes[] = {&chkShurui1, &chkShurui2, &chkShurui3, &chkShurui4, &chkShurui5, &chkShurui6};
    return i >= 0 && i < 6 ? boxes[i] : nullptr;
}

void TfrmWizard::FormCreate() {
    // The small picture tiled over the background, edge to edge.
    imBack.tile(ui::Bitmap::FromBytes(WizardTileBitmap(), "wizard tile"));
}

void TfrmWizard::FormDestroy() {
    lvExt.setSmallImages(nullptr);
}

void TfrmWizard::FormShow() {
    // Few colours would turn the picture into a blotch behind the texts.
    if (ui::ScreenColorBits() <= 8) imBack.setVisible(false);
}

ui::DialogResult TfrmWizard::RunWizard(bool singlePage, int firstPage) {
    Page = 0;
    SinglePage = false;
    if (singlePage) {
        Page = firstPage < 0 ? 0 : firstPage > 4 ? 4 : firstPage;
        SinglePage = true;
    }
    ShowWizardPage();
    return showModal();
}

void TfrmWizard::ClearList() {
    lvExt.clearItems();
    imExt.clear();
    lvExt.imagesChanged();
    ui::App().processMessages();
}

void TfrmWizard::FillList(std::vector<ScanRow> rows) {
    lvExt.beginUpdate();
    for (ScanRow& row : rows) {
        int image = imExt.add(std::move(row.Icon));
        int index = lvExt.addItem(row.Caption, image);
        for (std::string& sub : row.SubItems) lvExt.addSubItem(index, std::move(sub));
        lvExt.setItemChecked(index, row.Checked);
    }
    lvExt.imagesChanged();
    lvExt.endUpdate();
}

std::vector<ScanRow> TfrmWizard::ListedRows() const {
    std::vector<ScanRow> rows;
    rows.reserve(static_cast<std::size_t>(lvExt.itemCount()));
    for (int i = 0; i < lvExt.itemCount(); ++i) {
        const ui::ListItem& item = lvExt.item(i);
        ScanRow row;
        row.Caption = item.caption;
        row.SubItems = item.subItems;
        row.Checked = item.checked;
        rows.push_back(std::move(row));
    }
    return rows;
}

void TfrmWizard::EnableButtons(bool enabled) {
    btJikkou.setEnabled(enabled);
    btCancel.setEnabled(enabled);
    btSelAll.setEnabled(enabled);
}

void TfrmWizard::ShowWizardPage() {
    for (ui::Panel* page : {&pnlFirst, &pnlSecond, &pnlThird, &pnlFourth, &pnlFifth}) page->setVisible(false);
    lbTitle.setCaption(kProductName);
    if (Page >= 0 && Page < 5) {
        lbNo.setCaption(WizardPageTitle(Page));
        lbNaiyou.setCaption(WizardPageText(Page));
        setHelpContext(kPageHelp[Page]);
    }
    // Scans answer the window's messages between items; the pump keeps the
    // window painted while the list fills.
    auto scan = [this](auto&& run) {
        ClearList();
        Busy = true;
        scanning_ = true;
        EnableButtons(false);
        std::vector<ScanRow> rows = run([] { ui::App().processMessages(); });
        FillList(std::move(rows));
        EnableButtons(true);
        scanning_ = false;
        Busy = false;
        UpdateSelAll();
    };
    switch (Page) {
        case 0:
            pnlFirst.setVisible(true);
            if (!MirunReady()) {
                lblMirunTitle.setVisible(false);
                chkMirun.setVisible(false);
            }
            break;
        case 1:
            pnlSecond.setVisible(true);
            scan([](const ScanPump& pump) { return ScanRegistry(pump); });
            break;
        case 2:
            pnlSecond.setVisible(true);
            scan([this](const ScanPump& pump) { return ScanDesktop(context_.SCMake1(), pump); });
            break;
        case 3:
            pnlThird.setVisible(true);
            ClearList();
            break;
        case 4:
            pnlFourth.setVisible(true);
            LoadNetworkPage();
            break;
        case 5: {
            const int updated = context_.RunUpdate ? context_.RunUpdate(false) : 0;
            if (updated == 1) {
                // The updater replaces the program: what was set up so far is
                // kept now, and the run ends.
                context_.NFile().Save();
                if (context_.EndRun) context_.EndRun();
                ui::App().terminate();
                setModalResult(ui::DialogResult::Ok);
                return;
            }
            pnlFifth.setVisible(true);
            SinglePage = true;
            break;
        }
        default: break;
    }
    if (SinglePage) btJikkou.setCaption(kCaptionDone);
}

void TfrmWizard::btJikkouClick() {
    // A click that arrives while the last one still works (its waits answer
    // messages) would perform the next page unseen.
    if (working_) return;
    working_ = true;
    btJikkou.setEnabled(false);
    switch (Page) {
        case 0:
            MakeShortcuts();
            if (chkMirun.checked() && chkMirun.visible()) RegisterWithSibling();
            break;
        case 1:
            Busy = true;
            RegisterRegistryRows(context_.NFile(), ListedRows());
            Busy = false;
            break;
        case 2:
            Busy = true;
            RegisterDesktopRows(context_.NFile(), ListedRows());
            Busy = false;
            break;
        case 3: {
            const std::vector<DefaultCategory>& categories = DefaultCategories();
            for (int i = 0; i < 6; ++i) {
                if (!Shurui(i)->checked()) continue;
                const DefaultCategory& category = categories[static_cast<std::size_t>(i)];
                MakeDefaultCategory(context_.NFile(), category.Name, category.Extensions);
            }
            break;
        }
        case 4: StoreNetworkPage(); break;
        default: break;
    }
    btJikkou.setEnabled(true);
    // The user left with "メイン画面へ" while the work waited: nothing more.
    if (modalResult() != ui::DialogResult::None) {
        working_ = false;
        return;
    }
    ++Page;
    if (SinglePage) {
        working_ = false;
        setModalResult(ui::DialogResult::Ok);
        return;
    }
    ShowWizardPage();
    working_ = false;
}

void TfrmWizard::MakeShortcuts() {
    TSCMake& link = context_.SCMake1();
    // The component still holds whatever shortcut was read last (a dropped
    // one, or the desktop's): our shortcuts take none of its arguments,
    // folder, icon or keys.
    link.WorkDir.clear();
    link.IconPath.clear();
    link.IconNo = 0;
    link.Argument.clear();
    link.SetWndState(WNDSTATE::Normal);
    link.SetSCKey(0);
    link.SCName = kProductName;
    link.LinkPath = context_.ProgramPath();
    if (chkDeskTop.checked()) {
        link.SCDir = platform::Folders().DesktopFolder();
        link.CreateLink();
    }
    if (chkSendTo.checked()) {
        link.SCDir = platform::Folders().SendToFolder();
        link.CreateLink();
    }
}

void TfrmWizard::RegisterWithSibling() {
    // Each wait is bounded; leaving the wizard ends the registration early.
    RegisterWithMirun(nativeHandle(), context_.ProgramPath(), kMirunAnswerLimitMs,
                      [this] { return modalResult() != ui::DialogResult::None; });
}

void TfrmWizard::btSelAllClick() {
    AllChecked = !AllChecked;
    // The rows' change events would recount the ticks half-way through.
    Busy = true;
    for (int i = 0; i < lvExt.itemCount(); ++i) lvExt.setItemChecked(i, AllChecked);
    Busy = false;
    btSelAll.setCaption(AllChecked ? kCaptionClearAll : kCaptionSelectAll);
}

void TfrmWizard::lvExtChange(int) {
    if (!Busy) UpdateSelAll();
}

void TfrmWizard::UpdateSelAll() {
    bool all = true;
    for (int i = 0; i < lvExt.itemCount() && all; ++i) all = lvExt.itemChecked(i);
    AllChecked = all;
    btSelAll.setCaption(all ? kCaptionClearAll : kCaptionSelectAll);
}

void TfrmWizard::cbProxyClick() {
    const bool on = cbProxy.checked();
    lbProxyServer.setEnabled(on);
    edProxyServer.setEnabled(on);
    lbProxyPort.setEnabled(on);
    edProxyPort.setEnabled(on);
}

void TfrmWizard::LoadNetworkPage() {
    const THead& head = context_.NFile().Head;
    edServer.setText(head.SmtpHost);
    edMail.setText(head.MailAddress);
    if (!head.ProxyHost.empty()) {
        cbProxy.setChecked(true);
        cbProxyClick();
        edProxyServer.setText(head.ProxyHost);
        // No port stored shows as an empty field.
        edProxyPort.setText(head.ProxyPort >= 0 ? std::to_string(head.ProxyPort) : std::string());
        return;
    }
    std::optional<SystemProxy> system = ReadSystemProxy();
    if (!system) {
        cbProxy.setChecked(false);
        cbProxyClick();
        return;
    }
    cbProxy.setChecked(system->Enabled);
    cbProxyClick();
    edProxyServer.setText(system->Server);
    edProxyPort.setText(system->Port);
}

void TfrmWizard::StoreNetworkPage() {
    THead& head = context_.NFile().Head;
    head.SmtpHost = edServer.text();
    head.MailAddress = edMail.text();
    if (cbProxy.checked()) {
        head.ProxyHost = edProxyServer.text();
        head.ProxyPort = PortNumber(edProxyPort.text());
    } else {
        head.ProxyHost.clear();
        head.ProxyPort = -1;
    }
}

}  // namespace kumoya
