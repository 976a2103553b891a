// The management window: the advertisement strip, four pages (categories,
// extensions, settings, network), the menu bar and the popup menu of the
// program lists. It edits the live catalogue of the application context and
// never saves it itself: closing the window ends the run, and the launcher
// form saves the catalogue on the way out.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/context.h"
#include "catalogue/nfile.h"
#include "manager/property_form.h"
#include "net/mail_sender.h"
#include "online/cmthread.h"
#include "platform/ui/ui.h"
#include "textconv/pzconv.h"

namespace kumoya {


// Texts of the management window.
inline constexpr const char* kMsgTitleTooLong = "入力限界文字数を超えました。";
inline constexpr const char* kCaptionTitleChange = "タイトルの変更";
inline constexpr const char* kMsgTitleBlank =
    "タイトルが空です。\n空のタイトルではメニューで見分けられないため、元のタイトルのままにします。";
inline constexpr const char* kCaptionAddCategory = "種類名の追加";
inline constexpr const char* kPromptAddCategory = "新しい種類名を入力してください";
inline constexpr const char* kMsgCategoryTooLong =
    "種類名が長すぎます。\n全角15文字（半角31文字）以内で入力してください。";
inline constexpr const char* kCaptionAddExtension = "拡張子名の追加";
inline constexpr const char* kPromptAddExtension = "新しい拡張子名を入力してください";
inline constexpr const char* kCheckAddExtension = "この拡張子を開くときはポップアップで選べるようにする";
inline constexpr const char* kMsgExtensionTooLong =
    "拡張子名が長すぎます。\n全角15文字（半角31文字）以内で入力してください。";

// Longest title, category and extension name the catalogue stores (bytes).
inline constexpr std::size_t kTitleBytes = 39;
inline constexpr std::size_t kCategoryNameBytes = 31;
inline constexpr std::size_t kExtensionNameBytes = 31;

// The ranking of the settings page: the programs with a count above 0 (or
// ever launched, for `byDate`), each with the text its value column shows,
// highest count first, or the earliest launch first. The date key is
// "yyyy/mm/dd/hh:mm:nn" with the given separators.
struct RankedProgram {
    std::int32_t Id = -1;
    std::string Value;
};
enum class Ranking { TodayCount, TotalCount, LastLaunch };
std::vector<RankedProgram> RankPrograms(const TProgList& progs, Ranking by, const std::string& dateSeparator,
                                        const std::string& timeSeparator);

// The program file a dropped file stands for: a shortcut's existing target
// or the file itself, when it is a program file (".EXE") other than the
// launcher's own; nullopt for anything else.
std::optional<std::string> DroppedProgramFile(const std::string& path, TSCMake& links);

class TfrmMain : public ui::Form {
public:
    // The page tags, also the values of MainPage.
    static constexpr int kPageCategories = 0;
    static constexpr int kPageExtensions = 1;
    static constexpr int kPageSettings = 2;
    static constexpr int kPageNetwork = 3;

    explicit TfrmMain(AppContext& context);  // FormCreate
    ~TfrmMain() override;                 // FormDestroy

    // ---- window events ----
    void FormCreate();
    void FormShow();
    void FormCloseQuery(bool& canClose);
    void FormDestroy();
    void PageControl1Change();
    void FilesDropped(const std::vector<std::string>& paths);

    void ShowPage(int page);

    // ---- the category page ----
    void LoadCategoryPage();
    void cmbShuruiChange();
    void chkVisMenuClick();
    void lvShuruiSelectItem(int index);
    void lvShuruiDblClick();
    void lvShuruiEdited(int index, std::string& text);
    void btSProgAddClick();
    void btSProgDelClick();
    void btShuAddClick();
    void btSSupportClick();

    // ---- the extension page (extension_page.cpp) ----
    void LoadExtensionPage();
    void cmbExtChange();
    void chkPopUpClick();
    void lvExtSelectItem(int index);
    void lvExtDblClick();
    void lvExtEdited(int index, std::string& text);
    void btESupportClick();
    void btEProgAddClick();
    void btEProgDelClick();
    void btExtAddClick();
    void sbExtUpClick();
    void sbExtDownClick();

    // ---- the settings page ----
    void LoadSettingsPage();
    void cbMenuVisibleClick();
    void edHistNumChange();
    void btHistClearClick();
    void btExecuteClick();
    void cbMenuChange();
    void lvSonotaDblClick();
    void btRegistryClick();
    // ---- the network page ----
    void btCheckClick();
    void cbMailSubjectClick();
    void btSendMailClick();
    void nmMailSendStart();
    void nmMailAuthenticationFailed(bool& handled);

    // ---- the advertisement strip ----
    void StartAdvertisement();
    // The sub-folders of the program's folder that hold an advertisement
    // file, in the order the file system lists them.
    std::vector<std::string> FindAdvertisementFolders();
    void AdvertisementClick();
    void mpCmNotify();

    // ---- menus ----
    void FillHistoryMenu(const THist& history, int imageIndex);
    void mnu2KidouClick();
    void mnu2InfoClick();
    void mnu2DelClick();
    void mnu2PropertyClick();
    void mnuProgEdtClick();
    void WizardClick(int page);
    void HelpClick(unsigned command, std::uintptr_t data);

    // ---- the property window ----
    void ShowProperties(int page, TProg* prog);
    void PropertyTitleKeyDown(int& key);

    std::unique_ptr<TfrmProperty> PropertySheet;
    bool SuppressTitleKey = false;
    bool SuppressHistoryEdit = true;

    ui::ImageList ilIcon{16, 16};

    ui::MainMenu MainMenu1{*this};
    ui::MenuItem* mnuEnd = nullptr;
    ui::MenuItem* mnuExeCute = nullptr;
    ui::MenuItem* mnuProgAdd = nullptr;
    ui::MenuItem* mnuProgDel = nullptr;
    ui::MenuItem* mnuShuAdd = nullptr;
    ui::MenuItem* mnuExtAdd = nullptr;
    ui::MenuItem* mnuProgEdt = nullptr;
    ui::MenuItem* mnuNewProgAdd = nullptr;

    ui::PopupMenu PopupMenu1{*this};
    ui::MenuItem* mnu2Kidou = nullptr;
    ui::MenuItem* mnu2Hist = nullptr;
    ui::MenuItem* mnu2Info = nullptr;
    ui::MenuItem* mnu2Del = nullptr;
    ui::MenuItem* mnuSupport = nullptr;
    ui::MenuItem* mnu2Property = nullptr;

    ui::Panel Panel1{*this};
    ui::PageControl PageControl1{*this};
    ui::TabSheet tabShurui{PageControl1};
    ui::TabSheet tabExt{PageControl1};
    ui::TabSheet TabProperty{PageControl1};
    ui::TabSheet TabNet{PageControl1};
    ui::StatusBar StatusBar1{*this};

    ui::ComboBox cmbShurui{tabShurui};
    ui::CheckBox chkVisMenu{tabShurui};
    ui::Button btShuAdd{tabShurui};
    ui::ListView lvShurui{tabShurui};
    ui::Button btSExecute{tabShurui};
    ui::Button btSProgAdd{tabShurui};
    ui::Button btSProgDel{tabShurui};
    ui::Button btSSupport{tabShurui};

    ui::CheckBox chkPopUp{tabExt};
    ui::ComboBox cmbExt{tabExt};
    ui::Button btExtAdd{tabExt};
    ui::ListView lvExt{tabExt};
    ui::SpeedButton sbExtUp{tabExt};
    ui::SpeedButton sbExtDown{tabExt};
    ui::Button btESupport{tabExt};
    ui::Button btEExecute{tabExt};
    ui::Button btEProgAdd{tabExt};
    ui::Button btEProgDel{tabExt};

    ui::Label lbSettei{TabProperty};
    ui::CheckBox cbMenuVisible{TabProperty};
    ui::Label lbHistNum{TabProperty};
    ui::Edit edHistNum{TabProperty};
    ui::UpDown udHist{TabProperty};
    ui::Button btHistClear{TabProperty};
    ui::RadioGroup rgExt{TabProperty};
    ui::Button btRegistry{TabProperty};
    ui::Button btExecute{TabProperty};
    ui::ComboBox cbMenu{TabProperty};
    ui::ListView lvSonota{TabProperty};
    ui::MediaPlayer mpCm{Panel1};

    ui::Panel pnlNetLeft{TabNet};
    ui::Splitter Splitter1{TabNet};
    ui::Panel pnlNetRight{TabNet};
    ui::Button btCheck{pnlNetLeft};
    ui::Label lbMail{pnlNetRight};
    ui::ComboBox cbMailSubject{pnlNetRight};
    ui::CheckBox cbCMData{pnlNetRight};
    ui::Button btSendMail{pnlNetRight};
    ui::Memo mmMail{pnlNetRight};

    // The advertisement shown in the strip: AdData, AdFile, AdStartTick,
    // AdIdle and AdStopRequested, shared with the wait after each clip.
    AdvertisementState Ad;
    net::MailSender nmMail;
    TPzConv PzConv1;

private:
    TNFile& nfile();
    // The category chosen in cmbShurui, or null.
    TExt* CurrentCategory();
    // The extension chosen in cmbExt, or null.
    TExt* CurrentExtension();
    // The program of the selected item of the list of `page`, or null.
    TProg* SelectedProgram(int page);
    TProg* ProgramOfItem(const ui::ListView& list, int index);
    void FillProgramList(ui::ListView& list, const TExt& ext);
    // What follows the selection in a program list of page 0 or 1: the
    // support button and menu item, the history submenu, the property window.
    void FollowSelection(ui::ListView& list, ui::Button& support, int page, int index);
    // A title typed into a program list: cut to the catalogue's limit,
    // refused when blank, stored otherwise.
    void EditTitleInList(ui::ListView& list, int index, std::string& text);
    // The program's support page, when it has one that is a web address.
    const std::string* SupportPageOf(const TProg& prog);
    void OpenSupportPage(TProg* prog);
    // Moves the selected program of lvExt by one place (-1 up, +1 down).
    void MoveInExtension(int step);
    void BuildExtensionPage();
    void BuildMenus();
    void BuildNetworkPage();
    // Asks a running wait to end and waits for it, closes the player and
    // saves an advertisement whose clip was cut short.
    void StopAdvertisement();
    // The advertisement statistics lines of the report mail, last folder first.
    std::vector<std::string> AdvertisementStatistics();

    AppContext& context_;
    bool destroyed_ = false;
    unsigned fillCount_ = 0;  // program-list fills begun
    bool showingCategory_ = false;  // chkVisMenu follows the category shown
    bool showingExtension_ = false;  // chkPopUp follows the extension shown
    bool showingSettings_ = false;  // cbMenuVisible follows the settings shown
    bool adPlaying_ = false;        // a clip plays and its wait has not begun
    std::vector<std::string> adLinks_;  // the shown advertisement's links
};

}  // namespace kumoya
