// The system's open-file and folder-browse dialogs.
#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <stdexcept>
#include <string>

#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/win32/ui_services.h"
#include "platform/win32/ui_win32.h"
#include "platform/win32/wide.h"

namespace kumoya::ui::win32 {
namespace {

// "The name ... cannot be used": a path the program cannot hold in
// Shift_JIS is refused rather than turned into '?'.
void RefuseName() {
    App().messageBox("使えない文字を含む名前です。", "", MsgIcon::Warning, MsgButtons::Ok);
}

HWND OwnerWindow(Form* owner) {
    HWND window = owner ? HandleOf(*owner) : nullptr;
    return window ? window : GetActiveWindow();
}

}  // namespace

bool OpenFileDialog(Form* owner, OpenFileRequest& request) {
    std::wstring buffer(32768, L'\0');
    std::wstring proposed = Wide(request.fileName);
    if (proposed.size() < buffer.size()) proposed.copy(buffer.data(), proposed.size());
    std::wstring title = Wide(request.title);
    std::wstring initialDir = Wide(request.initialDir);
    // Every file is offered; no filter.
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = OwnerWindow(owner);
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrTitle = request.title.empty() ? nullptr : title.c_str();
    ofn.lpstrInitialDir = request.initialDir.empty() ? nullptr : initialDir.c_str();
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
    if (!GetOpenFileNameW(&ofn)) {
        DWORD error = CommDlgExtendedError();
        if (error != 0) throw std::runtime_error(platform::win32::ErrorText("GetOpenFileNameW", error));
        return false;  // cancelled
    }
    auto chosen = platform::win32::FromWide(buffer.c_str());
    if (!chosen) {
        RefuseName();
        return false;
    }
    request.fileName = *chosen;
    return true;
}

namespace {

std::optional<std::string> FolderOf(LPCITEMIDLIST item) {
    wchar_t path[MAX_PATH] = {};
    if (!item || !SHGetPathFromIDListW(item, path)) return std::string();
    return platform::win32::FromWide(path);
}

struct BrowseState {
    FolderBrowseRequest& request;
    std::wstring initial;
    std::exception_ptr error;
};

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM lParam, LPARAM data) {
    auto* state = reinterpret_cast<BrowseState*>(data);
    try {
        switch (message) {
            case BFFM_INITIALIZED:
                // Selecting it raises BFFM_SELCHANGED, which fills the status line.
                if (!state->initial.empty()) {
                    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(state->initial.c_str()));
                }
                break;
            case BFFM_SELCHANGED: {
                if (!state->request.OnSelectionChanged) break;
                std::string status;
                // A folder without a Shift_JIS name shows as no folder.
                std::string folder = FolderOf(reinterpret_cast<LPCITEMIDLIST>(lParam)).value_or("");
                state->request.OnSelectionChanged(folder, status);
                std::wstring text = Wide(status);
                SendMessageW(dialog, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
                break;
            }
            default: break;
        }
    } catch (...) {
        // Not through the dialog's window procedure: kept for the caller.
        if (!state->error) state->error = std::current_exception();
    }
    return 0;
}

}  // namespace

bool BrowseForFolder(Form* owner, FolderBrowseRequest& request) {
    BrowseState state{request, Wide(request.initialFolder), nullptr};
    std::wstring title = Wide(request.title);
    wchar_t display[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = OwnerWindow(owner);
    info.pszDisplayName = display;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&state);
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    std::optional<std::string> folder;
    if (chosen) {
        folder = FolderOf(chosen);
        CoTaskMemFree(chosen);  // the shell's allocator
    }
    if (state.error) std::rethrow_exception(state.error);
    if (!chosen) return false;
    if (!folder) {
        RefuseName();
        return false;
    }
    if (folder->empty()) return false;  // not a file-system folder
    request.folder = *folder;
    return true;
}

}  // namespace kumoya::ui::win32
