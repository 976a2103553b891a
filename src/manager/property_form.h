// The property window of one program: its icon (a click starts it), its
// title (the management window stores an edited title on Enter), its path,
// its parameter for the current extension and its last launch. The
// management window creates it hidden, fills it on every selection and shows
// it on request; closing it only hides it.
#pragma once

#include <string>
#include <string_view>

#include "catalogue/nfile.h"
#include "platform/datetime.h"
#include "platform/ui/ui.h"

namespace kumoya {

// "2026/12/08 9:05:00" in the system's short date and long time formats; the
// time is left out at exactly midnight.
std::string FormatLastLaunch(double value);

// The parameter text of `prog` for the extension `extension` from the
// catalogue's parameter store, or "" when it has none.
std::string ExtensionParameter(const TNFile& nfile, const TProg& prog, std::string_view extension);

class TfrmProperty : public ui::Form {
public:
    TfrmProperty(ui::Form* owner, TNFile& nfile);

    void imIconClick();

    // The program shown; null until one has been shown. It points into the
    // catalogue's program list, which never loses a program while we run.
    TProg* Program = nullptr;

    ui::Image imIcon{*this};
    ui::Panel pnlTitle{*this};
    ui::Label lbLTitle{pnlTitle};
    ui::Edit edTitle{pnlTitle};
    ui::Panel pnlPath{*this};
    ui::Label lbLPath{pnlPath};
    ui::Label lbPath{pnlPath};
    ui::Panel pnlParam{*this};
    ui::Label lbLParam{pnlParam};
    ui::Label lbParam{pnlParam};
    ui::Panel pnlDate{*this};
    ui::Label lbLDate{pnlDate};
    ui::Label lbDate{pnlDate};

private:
    TNFile& nfile_;
};

}  // namespace kumoya
