// The program-file search window, the registration dialog's companion: it
// searches a folder (and optionally its subfolders) for ".EXE" files and lists
// them with their icons. TfrmInfo asks the conditions before each search.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ui/controls_more.h"
#include "platform/ui/image_list.h"
#include "platform/ui/ui.h"

namespace kumoya {

// The conditions of one search; no behaviour of its own.
class TfrmInfo : public ui::Form {
public:
    explicit TfrmInfo(ui::Form* owner = nullptr);

    ui::Label Label1{*this};
    ui::GroupBox GroupBox1{*this};
    ui::CheckBox cbSubFolder{GroupBox1};
    ui::CheckBox cbListClear{GroupBox1};
    ui::Button btOk{*this};
    ui::Button btCancel{*this};
};

class TfrmSearch : public ui::Form {
public:
    explicit TfrmSearch(ui::Form* owner = nullptr);

    void mmSearchPathChange();
    void btSearchClick();
    void btPathClick();

    // Appends a row for every program file in `folder` (and, with
    // `subFolders`, below it, depth first in the system's listing order) while
    // Searching is set. A link or junction that leads back to a folder being
    // listed, or where another link led already, is passed over, so a loop
    // ends.
    void SearchFolder(const std::string& folder, bool subFolders);
    // Removes all rows and all images.
    void ClearList();

    bool Searching = false;
    // Rows get the file's icon; off leaves the rows without pictures.
    bool LoadIcons = true;

    ui::Panel Panel1{*this};
    ui::Memo mmSearchPath{Panel1};
    ui::Button btPath{Panel1};
    ui::Button btSearch{Panel1};
    ui::ListView lvSearch{*this};
    ui::ImageList ilIcon;
    ui::Image imWrk{*this};

    // While nothing is found, window messages are answered after this many
    // entries, or after a folder listing when this much time has passed
    // since the last round, so that a tree without program files (or on a
    // slow disk) stays responsive.
    static constexpr unsigned kEntriesBetweenMessages = 256;
    static constexpr std::uint32_t kMessageIntervalMs = 30;

private:
    void AddRow(const std::string& path);
};

}  // namespace kumoya
