// The run-wide actions of the application context, connected to the windows
// that carry them out. Windows ask through the context; only this file knows
// which window answers.
#include "app/context.h"
#include "launcher/program.h"
#include "launcher/title_form.h"
#include "net/file_downloader.h"
#include "online/update.h"
#include "online/update_download.h"
#include "online/update_form.h"
#include "registration/wizard_form.h"

namespace kumoya {

void WireRunActions(AppContext& context, TfrmTitle& title) {
    context.EndRun = [&title] {
        title.CanClose = true;
        title.close();
    };
    context.OpenManagementWindow = [&title](int page) { title.OpenManagementWindow(page); };
    // Connection point of the registration dialog (TfrmAddExe): ShowForFile,
    // ShowForSearch or ShowForCatalogue by the request's mode. Until it is
    // connected, asking for it changes nothing.
    context.RunRegistration = [](const RegistrationRequest&) { return ui::DialogResult::None; };
    // The setup wizard, created for the one run and freed when it closes.
    context.RunWizard = [&context](ui::Form* owner, bool singlePage, int page) {
        TfrmWizard wizard(context, owner ? owner : context.MainForm());
        return wizard.RunWizard(singlePage, page);
    };
    // The update: the catalogue's proxy settings, the update site of the
    // installation, the files in the program folder.
    context.RunUpdate = [&context](bool forced) {
        net::FileDownloader http;
        FileDownloaderAdapter downloader(http);
        ui::Form* owner = context.MainForm();
        UpdateContext run{context.NFile(), context.AllTitle(), downloader, context.ProgramFolder(), UpdateSiteHost(),
                          owner ? owner->nativeHandle() : 0};
        return RunUpdate(run, forced, TfrmUpdate::Factory(owner));
    };
}

}  // namespace kumoya
