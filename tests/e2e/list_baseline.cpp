// list_baseline PATHS.txt: the least a Win32 program does to show a list of
// programs with their icons: one window, a report list view with two
// columns, each file's small icon from the shell (once per distinct file)
// into an image list, one row per line of PATHS.txt (UTF-8) filled with
// redraw off. Waits until closed. The reference for the management window's
// list fill.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::vector<std::wstring> ReadLines(const wchar_t* file) {
    std::vector<std::wstring> lines;
    FILE* f = _wfopen(file, L"rb");
    if (!f) return lines;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, f)) {
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (line.empty()) continue;
        int n = MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, nullptr, 0);
        std::wstring wide(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, wide.data(), n);
        wide.resize(wcslen(wide.c_str()));
        lines.push_back(wide);
    }
    std::fclose(f);
    return lines;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    std::vector<std::wstring> paths = ReadLines(argv[1]);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"ListBaseline";
    RegisterClassW(&wc);
    HWND window = CreateWindowW(wc.lpszClassName, L"List baseline", WS_OVERLAPPEDWINDOW, 0, 0, 600, 450, nullptr,
                                nullptr, wc.hInstance, nullptr);
    HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL,
                                10, 10, 560, 380, window, nullptr, wc.hInstance, nullptr);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 300;
    column.pszText = const_cast<wchar_t*>(L"Title");
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    column.cx = 0;
    column.pszText = const_cast<wchar_t*>(L"");
    SendMessageW(list, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
    HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 16, 64);
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
    ShowWindow(window, SW_SHOW);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    std::map<std::wstring, int> iconOf;
    for (size_t i = 0; i < paths.size(); ++i) {
        auto it = iconOf.find(paths[i]);
        if (it == iconOf.end()) {
            SHFILEINFOW info{};
            int index = -1;
            if (SHGetFileInfoW(paths[i].c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON) && info.hIcon) {
                index = ImageList_AddIcon(images, info.hIcon);
                DestroyIcon(info.hIcon);
            }
            it = iconOf.emplace(paths[i], index).first;
        }
        std::wstring title = L"Program " + std::to_wstring(i);
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = static_cast<int>(i);
        item.pszText = title.data();
        item.iImage = it->second;
        int at = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        std::wstring id = std::to_wstring(i);
        LVITEMW sub{};
        sub.iSubItem = 1;
        sub.pszText = id.data();
        SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&sub));
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
