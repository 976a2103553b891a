// The update: fetch the version record from the update site, compare it with
// the local copy, fetch what is new (title files, advertisement files, the
// updater program), apply the title database to the catalogue, and start the
// updater when there is one.
//
// The logic here is the update form's; the form itself (progress bar, step
// label, animation, message boxes) is reached through UpdateWindow, and the
// network through UpdateDownloader, so that a run can be played through
// without either.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "online/update_file.h"

namespace kumoya {

class TNFile;
class TFAllTitle;

// The fixed path of the version record on the update site.
inline constexpr std::string_view kVersionRecordPath = "/vor/zelkova/zelkova.net";
// "http://<host>/vor/zelkova/zelkova.net"; the host may carry a ":port".
std::string VersionRecordAddress(std::string_view siteHost);

// Counts the site publishes are believed only up to here: file and folder
// numbers are written with three digits.
inline constexpr std::int32_t kMaxTitleFileCount = 999;
inline constexpr std::int32_t kMaxCMLastNumber = 999;

// What one GET came to.
struct DownloadOutcome {
    bool transferred = false;   // the request ran to its end (false: no connection, no such host, cut off)
    int status = 0;             // the server's status code
    std::int64_t received = 0;  // body bytes written to the target
    std::int64_t total = -1;    // the length the server announced; -1 when it announced none
};

struct ProxySetting {
    std::string host;  // "" = no proxy
    int port = 0;
};

// The HTTP download: GET `address` and write the body to the file `target`
// (made anew), through the proxy when it names one, reporting progress as it
// goes. Never throws.
class UpdateDownloader {
public:
    using Progress = std::function<void(std::int64_t received, std::int64_t total)>;
    virtual ~UpdateDownloader() = default;
    virtual DownloadOutcome Download(std::string_view address, std::string_view target, const ProxySetting& proxy,
                                     const Progress& progress) = 0;
};

// The update form as the procedure sees it. It exists from the start of a run
// that needs it until the end of that run, hidden until ShowAndAnimate.
class UpdateWindow {
public:
    enum class Icon { Information, Error };
    virtual ~UpdateWindow() = default;
    // Shows the form and starts the file-copy animation.
    virtual void ShowAndAnimate() = 0;
    // Names the current step (the bold label) and lets pending window
    // messages run so that the form repaints.
    virtual void SetStep(std::string_view caption) = 0;
    // The progress bar (0-100) and the percentage label ("n%").
    virtual void SetProgress(int percent) = 0;
    // A modal message box with an OK button.
    virtual void Message(std::string_view text, std::string_view caption, Icon icon) = 0;
    // A modal Yes/No question with the information icon; true for Yes.
    virtual bool AskYesNo(std::string_view text, std::string_view caption) = 0;
};
using UpdateWindowFactory = std::function<std::unique_ptr<UpdateWindow>()>;

// What a run works on.
struct UpdateContext {
    TNFile& catalogue;
    TFAllTitle& titles;
    UpdateDownloader& downloader;
    std::string programFolder;     // where the files live, with its trailing backslash
    std::string siteHost;          // the update site, e.g. "www.example.jp" or "127.0.0.1:8080"
    std::uintptr_t ownerWindow = 0;  // owns what the shell shows when the updater starts
};

// Percentage of a transfer for the progress bar: received * 100 / total,
// kept within 0-100. A total of 0 or less (the server announced no length)
// gives 0 while the transfer runs; the bar goes to 100 once it is complete.
int TransferPercent(std::int64_t received, std::int64_t total);

// True when the file is a complete Windows program image as far as its
// headers tell: "MZ", and the "PE\0\0" signature where e_lfanew points, with
// the file header behind it inside the file.
bool LooksLikeWindowsProgram(std::string_view path);

// The steps of one run, as the update form carries them out.
class TUpdateProcedure {
public:
    TUpdateProcedure(UpdateContext& context, UpdateWindow& window);

    TUpdateFile LocalRecord;  // "zelkova.net"
    TUpdateFile NewRecord;    // "update.net"
    bool CheckDue = false;
    bool TitlesNeeded = false;
    bool CMNeeded = false;
    bool ProgramNeeded = false;
    bool UpdaterDownloaded = false;

    // Sets CheckDue: no valid local record, or its next check (or, without
    // one, the last check + 30 days) lies before now.
    void EvaluateCheckDue();
    // GETs `address` into `localPath`. 0, or -1 after the failure message
    // ("<step>に失敗しました") when the transfer failed, the server answered
    // with an error status, the body is shorter than announced, or
    // `acceptBody` refused it; the file at `localPath` then keeps what it
    // held.
    int DownloadFile(std::string_view address, std::string_view localPath,
                     const std::function<bool(std::string_view)>& acceptBody = nullptr);
    int DownloadVersionRecord();
    // 0 when something is new (the need flags say what), -1 when nothing is
    // new or "update.net" is no valid record.
    int CompareVersions();
    int DownloadTitleFiles();
    void ConvertTitles();
    int DownloadCMFiles();
    // 0 (UpdaterDownloaded says whether it was fetched) or -1.
    int DownloadUpdater();
    // Puts "update.net" in place of "zelkova.net" and stamps its last check.
    void InstallVersionRecord();

    const std::string& CurrentStep() const { return step_; }

private:
    std::string PathOf(std::string_view name) const;
    void Step(std::string_view caption);
    int Fail();

    UpdateContext& context_;
    UpdateWindow& window_;
    std::string step_;
    bool localValid_ = false;
};

// The whole update. 1 when the updater program was started (the launcher
// must end now), 0 when the run ended without it (switched off, not due,
// declined, or everything fetched without a new program), -1 when a step
// failed or nothing was new. `createWindow` makes the update form when one is
// needed; the form is destroyed before RunUpdate returns.
int RunUpdate(UpdateContext& context, bool forced, const UpdateWindowFactory& createWindow);

}  // namespace kumoya
