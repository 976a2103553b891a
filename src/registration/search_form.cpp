#include "registration/search_form.h"

#include <cstdint>
#include <optional>
#include <unordered_set>
#include <utility>
#include <vector>

#include "app/program_icon.h"
#include "platform/datetime.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/ui/dialogs.h"

namespace kumoya {

namespace {

constexpr const char* kCaptionSearch = "検索";
constexpr const char* kCaptionCancel = "キャンセル";
constexpr const char* kMsgNoPath = "パスが存在しません。";
constexpr const char* kCaptionFileSearch = "ファイルの検索";
constexpr const char* kBrowseTitle = "ファイルを検索するフォルダを選んでください";

bool EndsWithBackslash(const std::string& path) {
    return !path.empty() && sjis::LastDelimiter(path, "\\") == path.size() - 1;
}

// The path up to, not including, its last "\" (a drive's root keeps it).
std::string UpToLastBackslash(const std::string& path) {
    std::size_t at = sjis::LastDelimiter(path, "\\");
    if (at == std::string::npos) return path;
    if (at == 2 && path[1] == ':') return path.substr(0, 3);
    return path.substr(0, at);
}

}  // namespace

TfrmInfo::TfrmInfo(ui::Form* owner) : ui::Form(owner) {
    setCaption("検索情報");
    setBorderStyle(ui::BorderStyle::Dialog);
    setBorderIcons({true, false, false});
    setPosition(ui::FormPosition::ScreenCenter);
    setHelpContext(68);
    setClientSize(287, 166);

    Label1.setBounds(12, 12, 260, 14);
    Label1.setCaption("次の条件で検索します");
    GroupBox1.setBounds(12, 32, 263, 85);
    GroupBox1.setCaption("条件");
    cbSubFolder.setBounds(16, 24, 230, 17);
    cbSubFolder.setCaption("サブフォルダも検索する");
    cbSubFolder.setChecked(true);
    cbListClear.setBounds(16, 52, 230, 17);
    cbListClear.setCaption("現在のファイルリストをクリアする");
    cbListClear.setChecked(true);
    btOk.setBounds(112, 130, 75, 25);
    btOk.setCaption("OK");
    btOk.setDefault(true);
    btOk.setModalResult(ui::DialogResult::Ok);
    btCancel.setBounds(200, 130, 75, 25);
    btCancel.setCaption(kCaptionCancel);
    btCancel.setCancel(true);
    btCancel.setModalResult(ui::DialogResult::Cancel);
}

TfrmSearch::TfrmSearch(ui::Form* owner) : ui::Form(owner) {
    setCaption("プログラムファイルの検索");
    setBorderStyle(ui::BorderStyle::Single);
    setBorderIcons({false, true, false});  // no system menu: minimise only, no close box
    setHelpContext(67);
    setClientSize(305, 327);

    Panel1.setBounds(0, 0, 305, 21);
    Panel1.setBevel(ui::Bevel::None);
    mmSearchPath.setBounds(0, 0, 209, 21);
    mmSearchPath.setScrollBars(ui::Memo::ScrollBars::None);
    mmSearchPath.setWordWrap(false);
    mmSearchPath.setHint("検索するファイルパスを入力してください");
    mmSearchPath.OnChange = [this] { mmSearchPathChange(); };
    btPath.setBounds(209, 0, 21, 21);
    btPath.setCaption("...");
    btPath.setHint("検索したいフォルダを選択します");
    btPath.OnClick = [this] { btPathClick(); };
    btSearch.setBounds(230, 0, 75, 21);
    btSearch.setCaption(kCaptionSearch);
    btSearch.OnClick = [this] { btSearchClick(); };

    lvSearch.setBounds(0, 21, 305, 306);
    lvSearch.addColumn("ファイル名", 300);
    lvSearch.setRowSelect(true);
    lvSearch.setSmallImages(&ilIcon);
    imWrk.setBounds(0, 21, 32, 32);
    imWrk.setVisible(false);
}

void TfrmSearch::mmSearchPathChange() {
    const std::string& text = mmSearchPath.text();
    if (text.find_first_of("\r\n") == std::string::npos) return;
    std::string joined;
    joined.reserve(text.size());
    for (char c : text) {
        if (c != '\r' && c != '\n') joined += c;  // neither byte is ever a trail byte
    }
    mmSearchPath.setText(std::move(joined));
}

void TfrmSearch::btSearchClick() {
    if (btSearch.tag() == 1) {
        Searching = false;
        ui::App().processMessages();
        btSearch.setTag(0);
        btSearch.setCaption(kCaptionSearch);
        return;
    }
    const std::string folder = mmSearchPath.text();
    if (!platform::DirectoryExists(folder)) {
        ui::App().messageBox(kMsgNoPath, kCaptionFileSearch, ui::MsgIcon::Error);
        return;
    }
    Searching = true;
    btSearch.setTag(1);
    btSearch.setCaption(kCaptionCancel);
    ui::App().processMessages();

    TfrmInfo info(this);
    if (info.showModal() != ui::DialogResult::Ok) {
        btSearch.setTag(0);
        btSearch.setCaption(kCaptionSearch);
        Searching = false;
        return;
    }
    if (info.cbListClear.checked()) ClearList();
    SearchFolder(folder, info.cbSubFolder.checked());
    btSearch.setTag(0);
    btSearch.setCaption(kCaptionSearch);
    Searching = false;
}

void TfrmSearch::btPathClick() {
    std::string text = mmSearchPath.text();
    std::string start =
        platform::DirectoryExists(text) ? UpToLastBackslash(text) : UpToLastBackslash(platform::ProgramPath());

    ui::FolderBrowser browse{*this};
    browse.setTitle(kBrowseTitle);
    browse.setInitialFolder(start);
    browse.OnSelectionChanged = [](const std::string& folder, std::string& status) { status = folder; };
    if (!browse.execute()) return;
    std::string chosen = browse.folder();
    if (!EndsWithBackslash(chosen)) chosen += '\\';  // a drive's root has its own
    mmSearchPath.setText(std::move(chosen));
}

void TfrmSearch::ClearList() {
    lvSearch.clearItems();
    ilIcon.clear();
    lvSearch.imagesChanged();
}

void TfrmSearch::AddRow(const std::string& path) {
    int image = -1;
    if (LoadIcons) {
        image = ilIcon.add(LoadProgramIcon(path));
        lvSearch.imagesChanged();
    }
    lvSearch.addItem(path, image);
}

void TfrmSearch::SearchFolder(const std::string& folder, bool subFolders) {
    // The folders being listed, outermost first: an explicit stack, so that
    // a deep tree cannot exhaust the call stack.
    struct Level {
        std::string folder;  // with its trailing "\"
        std::vector<platform::DirectoryEntry> entries;
        std::size_t next = 0;
        // What the folder is on disk; asked only when a link needs it.
        std::optional<std::string> identity;
        bool identityKnown = false;
    };
    std::vector<Level> levels;
    // Where links have led (and the starting folder). A folder reached
    // through a link is searched only if no link led there before and it is
    // not one of the folders being listed: a link back up ends there. Plain
    // subfolders cannot lead anywhere twice, so they are never asked.
    std::unordered_set<std::string> linked;
    auto identityOf = [](Level& level) -> const std::optional<std::string>& {
        if (!level.identityKnown) {
            level.identity = platform::FolderIdentity(level.folder);
            level.identityKnown = true;
        }
        return level.identity;
    };
    auto enter = [&](std::string path, bool viaLink) {
        std::optional<std::string> identity;
        if (viaLink) {
            identity = platform::FolderIdentity(path);
            if (!identity || linked.count(*identity)) return;
            for (Level& level : levels) {
                if (identityOf(level) == identity) return;
            }
            linked.insert(*identity);
        }
        auto entries = platform::ListDirectory(path + "*.*");
        levels.push_back({std::move(path), std::move(entries), 0, std::move(identity), viaLink});
    };

    std::string start = folder;
    if (!EndsWithBackslash(start)) start += '\\';
    if (auto identity = platform::FolderIdentity(start)) linked.insert(*identity);
    enter(std::move(start), false);

    // Window messages are answered after every program file found, and
    // while nothing is found every so many entries or when a slow listing
    // has taken a while, so that the window repaints and the cancel button
    // answers wherever the search is.
    platform::Clock& clock = platform::SystemClock();
    std::uint32_t lastMessages = clock.TickCount();
    unsigned sinceMessages = 0;
    auto answerMessages = [&] {
        ui::App().processMessages();
        sinceMessages = 0;
        lastMessages = clock.TickCount();
    };
    while (!levels.empty() && Searching) {
        Level& level = levels.back();
        if (level.next >= level.entries.size()) {
            levels.pop_back();
            continue;
        }
        const platform::DirectoryEntry& entry = level.entries[level.next++];
        std::string extension = sjis::Extension(entry.name);
        if (extension.empty()) {
            // A file without an extension cannot be listed: no need to try.
            if (subFolders && entry.isDirectory) {
                enter(level.folder + entry.name + "\\", entry.isLink);
                if (clock.TickCount() - lastMessages >= kMessageIntervalMs) answerMessages();
            }
        } else if (sjis::UpperAscii(extension) == ".EXE") {
            AddRow(level.folder + entry.name);
            answerMessages();
            continue;
        }
        if (++sinceMessages >= kEntriesBetweenMessages) answerMessages();
    }
}

}  // namespace kumoya
