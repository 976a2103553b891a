// The application context: what every window of a run shares, and the
// run-wide actions a window may ask for. The launcher form builds it (it owns
// the catalogue, the title database and the shortcut component) and wires
// the actions to the windows that carry them out, so that a window never
// includes another window's folder and never reaches into the launcher form.
#pragma once

#include <functional>
#include <string>

#include "catalogue/nfile.h"
#include "online/titles.h"
#include "platform/icon.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/ui/backend.h"
#include "registration/scmake.h"

namespace kumoya {

namespace ui {
class Form;
}

// The three ways the registration dialog opens.
enum class RegistrationMode {
    ForFile,      // one program file, named by Path
    ForSearch,    // a program found with the folder search
    ForCatalogue  // any program of the catalogue, edited
};

struct RegistrationRequest {
    RegistrationMode Mode = RegistrationMode::ForFile;
    std::string Path;           // the program file (ForFile only)
    ui::Form* Owner = nullptr;  // the window it belongs to; null: the launcher form

    static RegistrationRequest ForFile(std::string path, ui::Form* owner = nullptr) {
        return {RegistrationMode::ForFile, std::move(path), owner};
    }
    static RegistrationRequest ForSearch(ui::Form* owner) { return {RegistrationMode::ForSearch, {}, owner}; }
    static RegistrationRequest ForCatalogue(ui::Form* owner) { return {RegistrationMode::ForCatalogue, {}, owner}; }
};

class AppContext {
public:
    // What the launcher form owns and lends to the windows. Every pointer
    // outlives the context.
    struct Parts {
        TNFile* NFile = nullptr;
        TFAllTitle* AllTitle = nullptr;
        TSCMake* SCMake1 = nullptr;
        const platform::Icon* NoIcon = nullptr;  // the launcher form's imNoIcon
        ui::Form* MainForm = nullptr;            // the launcher form: owner of the run's windows
        const bool* PageSetup = nullptr;         // the launcher form's flags
        const bool* CanClose = nullptr;
    };

    explicit AppContext(const Parts& parts);
    AppContext(const AppContext&) = delete;
    AppContext& operator=(const AppContext&) = delete;

    TNFile& NFile() const { return *parts_.NFile; }
    TFAllTitle& AllTitle() const { return *parts_.AllTitle; }
    TSCMake& SCMake1() const { return *parts_.SCMake1; }
    // The picture for programs without an icon.
    const platform::Icon& NoIcon() const { return *parts_.NoIcon; }
    ui::Form* MainForm() const { return parts_.MainForm; }

    // The management window's page is being restored: page changes are not
    // the user's.
    bool PageSetup() const { return parts_.PageSetup && *parts_.PageSetup; }
    // The run is ending: windows stop filling themselves.
    bool Ending() const { return parts_.CanClose && *parts_.CanClose; }

    // Services, looked up on each use so that a test's double in place
    // counts.
    platform::Shell& Shell() const { return platform::SystemShell(); }
    platform::Registry& Registry() const { return platform::SystemRegistry(); }
    // The program file and its folder (with a trailing '\').
    const std::string& ProgramPath() const { return programPath_; }
    const std::string& ProgramFolder() const { return programFolder_; }
    // Where the run keeps the files that live beside the program (the
    // advertisements); a run from another folder, or a test, moves it.
    void SetProgramFolder(std::string folder) { programFolder_ = std::move(folder); }

    // ---- actions the run carries out for a window ----
    // Ends the run: the launcher form may close now, and does.
    std::function<void()> EndRun;
    // Opens the management window on `page` (a page tag; -1: the page shown
    // last).
    std::function<void(int page)> OpenManagementWindow;
    // Runs the registration dialog modally; answers its modal result.
    std::function<ui::DialogResult(const RegistrationRequest&)> RunRegistration;
    // Runs the setup wizard modally, owned by `owner` (null: the launcher
    // form): all pages, or the one page `page` (0 to 4) when `singlePage`.
    std::function<ui::DialogResult(ui::Form* owner, bool singlePage, int page)> RunWizard;
    // Runs the update procedure: 1 when the updater program was started (the
    // caller ends the run), 0 when it ended without starting it, -1 when a
    // step failed or the version check found nothing new.
    std::function<int(bool forced)> RunUpdate;

private:
    Parts parts_;
    std::string programPath_;
    std::string programFolder_;
};

}  // namespace kumoya
