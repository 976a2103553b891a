#include "online/update.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "catalogue/nfile.h"
#include "online/titles.h"
#include "platform/datetime.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/text.h"

namespace kumoya {

namespace {

constexpr std::string_view kLocalRecord = "zelkova.net";
constexpr std::string_view kNewRecord = "update.net";
constexpr std::string_view kUpdater = "zkvup.exe";
// A download goes to this name beside its target first and takes the
// target's place only when it is complete and good.
constexpr std::string_view kPartSuffix = ".dl";

constexpr std::string_view kUpdateCaption = "バージョンアップ";
constexpr std::string_view kFailedSuffix = "に失敗しました";

std::string Numbered(const char* pattern, int n) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, pattern, n);
    return buffer;
}

std::string_view TrimBlanks(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace

std::string VersionRecordAddress(std::string_view siteHost) {
    return "http://" + std::string(siteHost) + std::string(kVersionRecordPath);
}

int TransferPercent(std::int64_t received, std::int64_t total) {
    if (total <= 0 || received <= 0) return 0;
    if (received >= total) return 100;
    // received < total here, so received * 100 cannot overflow for any total
    // below 2^56; beyond that the division comes first.
    if (total > (std::int64_t{1} << 56)) return static_cast<int>(received / (total / 100));
    return static_cast<int>(received * 100 / total);
}

bool LooksLikeWindowsProgram(std::string_view path) {
    platform::BlockFile file;
    if (!file.Open(path, platform::BlockFile::Mode::Read)) return false;
    std::int64_t size = file.Size();
    std::array<std::uint8_t, 64> dos{};
    if (size < static_cast<std::int64_t>(dos.size()) || file.Read(dos.data(), dos.size()) != 64) return false;
    if (dos[0] != 'M' || dos[1] != 'Z') return false;
    std::int64_t peAt = static_cast<std::int64_t>(static_cast<std::uint32_t>(dos[0x3C]) |
                                                  static_cast<std::uint32_t>(dos[0x3D]) << 8 |
                                                  static_cast<std::uint32_t>(dos[0x3E]) << 16 |
                                                  static_cast<std::uint32_t>(dos[0x3F]) << 24);
    // The signature and the 20-byte file header behind it must lie in the file.
    if (peAt < 64 || peAt + 4 + 20 > size) return false;
    // Skip to the signature in blocks: the file has no seek, and programs
    // put it within the first few hundred bytes anyway.
    std::vector<std::uint8_t> skip(4096);
    std::int64_t at = 64;
    while (at < peAt) {
        std::size_t step = static_cast<std::size_t>(std::min<std::int64_t>(peAt - at, 4096));
        if (file.Read(skip.data(), step) != static_cast<std::int64_t>(step)) return false;
        at += static_cast<std::int64_t>(step);
    }
    std::array<std::uint8_t, 4> sig{};
    return file.Read(sig.data(), sig.size()) == 4 && sig[0] == 'P' && sig[1] == 'E' && sig[2] == 0 && sig[3] == 0;
}

TUpdateProcedure::TUpdateProcedure(UpdateContext& context, UpdateWindow& window)
    : context_(context), window_(window) {}

std::string TUpdateProcedure::PathOf(std::string_view name) const {
    return context_.programFolder + std::string(name);
}

void TUpdateProcedure::Step(std::string_view caption) {
    step_ = caption;
    window_.SetStep(caption);
}

int TUpdateProcedure::Fail() {
    window_.Message(step_ + std::string(kFailedSuffix), kUpdateCaption, UpdateWindow::Icon::Error);
    return -1;
}

void TUpdateProcedure::EvaluateCheckDue() {
    localValid_ = LocalRecord.LoadFromFile(PathOf(kLocalRecord)) == 0;
    if (!localValid_) {
        // No record, or one we cannot read: ask the site.
        CheckDue = true;
        return;
    }
    double now = platform::SystemClock().Now();
    if (LocalRecord.NextCheck != 0) {
        CheckDue = LocalRecord.NextCheck < now;
    } else {
        CheckDue = LocalRecord.LastCheck + 30 < now;
    }
}

int TUpdateProcedure::DownloadFile(std::string_view address, std::string_view localPath,
                                   const std::function<bool(std::string_view)>& acceptBody) {
    ProxySetting proxy;
    const THead& head = context_.catalogue.Head;
    if (!head.ProxyHost.empty()) {
        proxy.host = head.ProxyHost;
        proxy.port = head.ProxyPort;
    }
    std::string part = std::string(localPath) + std::string(kPartSuffix);
    DownloadOutcome got = context_.downloader.Download(
        address, part, proxy,
        [this](std::int64_t received, std::int64_t total) { window_.SetProgress(TransferPercent(received, total)); });

    bool complete = got.transferred && got.status < 400 && got.received >= 0 &&
                    (got.total < 0 || got.received == got.total);
    if (complete && acceptBody && !acceptBody(part)) complete = false;
    if (!complete || !platform::ReplaceFileWith(localPath, part)) {
        platform::DeleteFileAt(part);
        return Fail();
    }
    if (got.total <= 0) window_.SetProgress(100);
    return 0;
}

int TUpdateProcedure::DownloadVersionRecord() {
    Step("バージョン情報のダウンロード");
    return DownloadFile(VersionRecordAddress(context_.siteHost), PathOf(kNewRecord));
}

int TUpdateProcedure::CompareVersions() {
    Step("バージョン情報のチェック");
    if (NewRecord.LoadFromFile(PathOf(kNewRecord)) != 0) return Fail();

    if (!localValid_) {
        TitlesNeeded = true;
        CMNeeded = true;
        ProgramNeeded = NewRecord.ProgramVersion >= 2;
        return 0;
    }
    if (LocalRecord.RecordVersion == NewRecord.RecordVersion) {
        platform::DeleteFileAt(PathOf(kNewRecord));
        LocalRecord.LastCheck = platform::SystemClock().Now();
        LocalRecord.SaveToFile(PathOf(kLocalRecord));
        window_.Message("バージョンアップの必要はありませんでした。", kUpdateCaption, UpdateWindow::Icon::Information);
        return -1;
    }
    TitlesNeeded = LocalRecord.TitleVersion != NewRecord.TitleVersion;
    CMNeeded = LocalRecord.CMVersion != NewRecord.CMVersion;
    ProgramNeeded = LocalRecord.ProgramVersion != NewRecord.ProgramVersion;
    return 0;
}

int TUpdateProcedure::DownloadTitleFiles() {
    if (!TitlesNeeded) return 0;
    Step("タイトルファイルのダウンロード");
    const std::int32_t count = NewRecord.TitleFileCount;
    // A count the file names cannot carry comes from a damaged record.
    if (count < 0 || count > kMaxTitleFileCount) return Fail();

    // The highest file we have may have been cut off or be out of date: it
    // is fetched again; lower ones stay, missing ones are fetched.
    int highest = 1;
    for (int n = count; n >= 1; --n) {
        if (platform::FileExists(PathOf(Numbered("zkv%03d.ttl", n)))) {
            highest = n;
            break;
        }
    }
    for (int n = 1; n <= count; ++n) {
        std::string name = Numbered("zkv%03d.ttl", n);
        std::string path = PathOf(name);
        if (n != highest && platform::FileExists(path)) continue;
        if (DownloadFile(NewRecord.TitleBaseUrl + name, path) != 0) return -1;
    }
    LocalRecord.TitleVersion = NewRecord.TitleVersion;
    return 0;
}

void TUpdateProcedure::ConvertTitles() {
    Step("タイトル変換");
    LoadTitleDatabase(context_.titles, context_.programFolder);
    TNFile& cat = context_.catalogue;
    const int n = cat.Progs.Count();
    for (int k = 0; k < n; ++k) {
        TProg& prog = cat.Progs.At(k);
        prog.TitleIndex = context_.titles.IndexOfTitle(sjis::UpperAscii(sjis::FileName(prog.Path)));
        if (prog.TitleIndex == -1 || prog.AssignEdited != 0) continue;
        const TFTitle* entry = context_.titles.TitleAt(prog.TitleIndex);
        if (entry == nullptr) continue;
        prog.Title = entry->Title;
        window_.SetProgress(static_cast<int>(static_cast<std::int64_t>(k) * 100 / n));

        if (!TrimBlanks(entry->Category).empty()) {
            TExt* category = nullptr;
            if (cat.Categories.FindByName(entry->Category, category) != 0) {
                TExt fresh;
                fresh.Name = entry->Category;
                fresh.MenuFlag = 0;
                cat.Categories.AddNew(fresh);
                cat.Categories.FindByName(entry->Category, category);
            }
            if (category != nullptr) category->AddProg(prog.Id);
        }
        for (const std::string& name : entry->ExtNames) {
            std::string key = sjis::UpperAscii(name);
            TExt* ext = nullptr;
            if (cat.Extensions.FindByName(key, ext) != 0) {
                TExt fresh;
                fresh.Name = key;
                fresh.MenuFlag = 1;
                cat.Extensions.AddNew(fresh);
                cat.Extensions.FindByName(key, ext);
            }
            if (ext != nullptr) ext->AddProg(prog.Id);
        }
    }
    cat.Extensions.Sort();
}

int TUpdateProcedure::DownloadCMFiles() {
    if (!CMNeeded) return 0;
    Step("CMファイルのダウンロード");
    const std::int32_t last = NewRecord.CMLastNumber;
    // -1 publishes no advertisement at all; anything outside the
    // three-digit folder names comes from a damaged record and must not
    // make us create folders by the thousand.
    if (last < -1 || last > kMaxCMLastNumber) return Fail();
    for (int k = 0; k <= last; ++k) {
        std::string folder = PathOf(Numbered("%03d", k));
        std::string path = folder + "\\zelkova.cm";
        if (platform::FileExists(path)) continue;
        if (!platform::CreateDirectories(folder)) return Fail();
        if (DownloadFile(NewRecord.CMBaseUrl + Numbered("%03d/zelkova.cm", k), path) != 0) return -1;
    }
    LocalRecord.CMVersion = NewRecord.CMVersion;
    return 0;
}

int TUpdateProcedure::DownloadUpdater() {
    UpdaterDownloaded = false;
    if (!ProgramNeeded) return 0;
    Step("プログラムのダウンロード");
    // Only a whole Windows program is ever started: the record carries no
    // checksum, so its headers are what we can check.
    if (DownloadFile(NewRecord.UpdaterUrl, PathOf(kUpdater), LooksLikeWindowsProgram) != 0) return -1;
    UpdaterDownloaded = true;
    return 0;
}

void TUpdateProcedure::InstallVersionRecord() {
    // One step: "zelkova.net" is the old or the new record, never none.
    platform::ReplaceFileWith(PathOf(kLocalRecord), PathOf(kNewRecord));
    if (LocalRecord.LoadFromFile(PathOf(kLocalRecord)) == 0) {
        LocalRecord.LastCheck = platform::SystemClock().Now();
        LocalRecord.SaveToFile(PathOf(kLocalRecord));
    }
}

int RunUpdate(UpdateContext& context, bool forced, const UpdateWindowFactory& createWindow) {
    THead& head = context.catalogue.Head;
    if (head.Flags & THead::NoUpdateQuestion) return 0;

    std::unique_ptr<UpdateWindow> window = createWindow();
    TUpdateProcedure update(context, *window);
    update.EvaluateCheckDue();
    if (forced) update.CheckDue = true;
    if (!update.CheckDue) {
        update.ConvertTitles();
        return 0;
    }
    // A forced run is the user's own request: it asks nothing.
    if (!forced && !window->AskYesNo("インターネットから最新情報を取得しますか？", "最新情報の取得")) {
        update.ConvertTitles();
        head.Flags |= THead::NoUpdateQuestion;
        return 0;
    }
    window->ShowAndAnimate();
    if (update.DownloadVersionRecord() != 0) return -1;
    if (update.CompareVersions() != 0) return -1;
    if (update.DownloadTitleFiles() != 0) return -1;
    update.ConvertTitles();
    if (update.DownloadCMFiles() != 0) return -1;
    if (update.DownloadUpdater() != 0) return -1;
    update.InstallVersionRecord();
    window.reset();

    if (!update.UpdaterDownloaded) return 0;
    const std::string updater = context.programFolder + std::string(kUpdater);
    // The updater replaces this program, which ends as soon as it has started.
    if (!platform::SystemShell().Open(updater, "", context.programFolder, true, context.ownerWindow)) return 0;
    return 1;
}

}  // namespace kumoya
