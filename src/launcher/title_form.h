// The launcher form: the invisible main form of every run. It owns the
// catalogue, the title database and the shortcut component, lends them to the
// other windows through the application context, reads the command line and
// does one job: the launch menu, the files given, the registration of a
// program file, or the management window; at its end it saves the catalogue.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/context.h"
#include "catalogue/nfile.h"
#include "online/titles.h"
#include "platform/icon.h"
#include "platform/ui/form.h"
#include "platform/ui/image_list.h"
#include "platform/ui/menu.h"
#include "registration/scmake.h"

namespace kumoya {

class TfrmMain;

// Texts the launcher shows.
inline constexpr const char* kMsgFileMissing = "ファイルが存在しません";
inline constexpr const char* kCaptionStart = "起動";
inline constexpr const char* kCaptionKumoya = "Kumoya";
inline constexpr const char* kMainWindowEntry = "メイン画面へ";
inline constexpr const char* kMainWindowHint = "Title";

class TfrmTitle : public ui::Form {
public:
    // `args` are the command-line arguments without the program name.
    // `catalogueFile` is the catalogue of this computer unless a test says
    // otherwise. The constructor is the form's creation (FormCreate).
    explicit TfrmTitle(std::vector<std::string> args, std::string catalogueFile = CatalogueFile());
    ~TfrmTitle() override;  // FormDestroy

    ui::ImageList ImageList1{16, 16};
    ui::PopupMenu PopupMenu1{*this};
    TSCMake SCMake1;
    platform::Icon imNoIcon;

    std::unique_ptr<TNFile> NFile;
    std::unique_ptr<TFAllTitle> AllTitle;
    bool PageSetup = false;
    bool FirstRun = false;
    std::string OpenFileName;
    std::unique_ptr<TfrmMain> MainForm;
    bool CanClose = false;

    void FormCreate();
    void FormShow();
    void FormCloseQuery(bool& canClose);
    void FormDestroy();

    // Opens (or brings forward) the management window on `page`, a page
    // tag, or on the page shown last (-1).
    void OpenManagementWindow(int page = -1);

    int BuildLaunchMenu();
    void LaunchMenuClick(ui::MenuItem& entry);
    int ClearLaunchMenu();
    int ShowFileMenu(const std::string& path);
    void FileMenuClick(ui::MenuItem& entry);
    int ClearFileMenu();

    // What the run's windows share; built by FormCreate.
    AppContext& Context() { return *context_; }

    // The launcher's menu state: 0 open or idle, 1 launched, -1 open the
    // management window.
    int MenuResult() const { return PopupMenu1.tag(); }
    void SetMenuResult(int result) { PopupMenu1.setTag(result); }

    // What the damaged catalogue was renamed to, if it was ("" otherwise).
    const std::string& DamagedCopy() const { return damagedCopy_; }
    // The catalogue was there but could not be read: the run does nothing.
    bool CatalogueUnread() const { return catalogueUnread_; }

private:
    void StartWithoutFile(bool newDay);
    void StartWithArguments(bool newDay);
    void RunUpdateUnforced();
    void Finish();
    void WaitForMenu(bool chosen);
    void KeepDamagedCatalogue();
    void ReportUnreadableCatalogue();
    void ReportFailedSave();
    void ReportRefusedLaunch();
    void WriteProgramPath();

    std::vector<std::string> args_;
    std::unique_ptr<AppContext> context_;
    int exceptionsAtStart_ = 0;
    bool destroyed_ = false;
    std::string damagedCopy_;
    bool catalogueUnread_ = false;  // the run ends at once and writes nothing
    bool saveRefusalShown_ = false;
};

}  // namespace kumoya
