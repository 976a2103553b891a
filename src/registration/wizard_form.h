// The setup wizard: five pages, each performed by "実行して次へ" — shortcuts
// and the registration with the sticky-note program, the programs of the
// registry's file types, the programs behind the desktop's shortcuts, the
// default categories, and the mail and proxy settings — then the update. The
// first run walks all of them; the management window's menu runs one page
// alone.
#pragma once

#include <string>
#include <vector>

#include "app/context.h"
#include "platform/ui/controls_more.h"
#include "platform/ui/image_list.h"
#include "platform/ui/ui.h"
#include "registration/scans.h"

namespace kumoya {

// Texts of the wizard's page titles and page texts, by page (0 to 4).
const std::string& WizardPageTitle(int page);
std::string WizardPageText(int page);

// The small picture tiled over the wizard's background, as .bmp bytes.
std::vector<std::uint8_t> WizardTileBitmap();

class TfrmWizard : public ui::Form {
public:
    // `owner` null: the wizard stands alone (the first run, before the
    // launcher has a window).
    explicit TfrmWizard(AppContext& context, ui::Form* owner = nullptr);
    ~TfrmWizard() override;  // FormDestroy

    // Prepares the first page (page 0 to 4 alone when `singlePage`, else the
    // whole wizard from page 0) and runs the window modally.
    ui::DialogResult RunWizard(bool singlePage, int firstPage);

    void FormCreate();
    void FormDestroy();
    void FormShow();
    void ShowWizardPage();
    void btJikkouClick();
    void btSelAllClick();
    void lvExtChange(int index);
    void cbProxyClick();
    void LoadNetworkPage();
    void StoreNetworkPage();
    // Brings btSelAll's caption and AllChecked up to date with the ticks.
    void UpdateSelAll();

    int Page = 0;
    bool SinglePage = false;
    bool Busy = false;
    bool AllChecked = false;

    ui::Panel pnlMain{*this};
    ui::Image imBack{pnlMain};
    ui::Label lbTitle{pnlMain};
    ui::Label lbNo{pnlMain};
    ui::Label lbNaiyou{pnlMain};

    ui::Panel pnlFirst{*this};
    ui::Label lblTitle{pnlFirst};
    ui::CheckBox chkDeskTop{pnlFirst};
    ui::CheckBox chkSendTo{pnlFirst};
    ui::Label lblMirunTitle{pnlFirst};
    ui::CheckBox chkMirun{pnlFirst};

    ui::Panel pnlSecond{*this};
    ui::ListView lvExt{pnlSecond};
    ui::Button btSelAll{pnlSecond};
    ui::ImageList imExt;

    ui::Panel pnlThird{*this};
    ui::CheckBox chkShurui1{pnlThird};
    ui::CheckBox chkShurui2{pnlThird};
    ui::CheckBox chkShurui3{pnlThird};
    ui::CheckBox chkShurui4{pnlThird};
    ui::CheckBox chkShurui5{pnlThird};
    ui::CheckBox chkShurui6{pnlThird};

    ui::Panel pnlFourth{*this};
    ui::Label lbServer{pnlFourth};
    ui::Edit edServer{pnlFourth};
    ui::Label lbMailAddress{pnlFourth};
    ui::Edit edMail{pnlFourth};
    ui::CheckBox cbProxy{pnlFourth};
    ui::Label lbProxyServer{pnlFourth};
    ui::Edit edProxyServer{pnlFourth};
    ui::Label lbProxyPort{pnlFourth};
    ui::Edit edProxyPort{pnlFourth};

    ui::Panel pnlFifth{*this};

    ui::Button btJikkou{*this};
    ui::Button btCancel{*this};

    // The check boxes of the default categories, in their order.
    ui::CheckBox* Shurui(int i);

private:
    void MakeShortcuts();
    void RegisterWithSibling();
    // Empties the list and its pictures and lets the window catch up.
    void ClearList();
    void FillList(std::vector<ScanRow> rows);
    // The list's rows as the registrations take them, ticks included.
    std::vector<ScanRow> ListedRows() const;
    void EnableButtons(bool enabled);

    AppContext& context_;
    bool working_ = false;  // a page's work (or the update) is running
    bool scanning_ = false;
};

}  // namespace kumoya
