// search_timer FOLDER [RUNS]: times the program-file search window's search
// of FOLDER with subfolders, with icons (the shown window, the shell's
// icons), beside two plain Win32 walks of the same tree in the same run:
// FindFirstFileW alone, and FindFirstFileW with the shell's small icon of
// every program file found. Prints one line per run:
//   search=MS rows=N walk=MS walk_icons=MS found=N
#include <objbase.h>
#include <shellapi.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "platform/ui/application.h"
#include "platform/win32/wide.h"
#include "registration/search_form.h"

namespace {

double Now() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

bool IsProgram(const wchar_t* name) {
    const wchar_t* dot = std::wcsrchr(name, L'.');
    return dot && _wcsicmp(dot, L".exe") == 0;
}

// Depth first, folders with an extension not entered, as the search does.
int Walk(const std::wstring& folder, bool icons) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"*.*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int found = 0;
    do {
        if (!std::wcscmp(data.cFileName, L".") || !std::wcscmp(data.cFileName, L"..")) continue;
        const bool hasExtension = std::wcschr(data.cFileName, L'.') != nullptr;
        if (!hasExtension && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            found += Walk(folder + data.cFileName + L"\\", icons);
        } else if (IsProgram(data.cFileName)) {
            ++found;
            if (icons) {
                SHFILEINFOW info{};
                if (SHGetFileInfoW((folder + data.cFileName).c_str(), 0, &info, sizeof info,
                                   SHGFI_ICON | SHGFI_SMALLICON) &&
                    info.hIcon)
                    DestroyIcon(info.hIcon);
            }
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return found;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fputs("usage: search_timer FOLDER [RUNS]\n", stderr);
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::wstring wide = argv[1];
    if (wide.back() != L'\\') wide += L'\\';
    auto folder = kumoya::platform::win32::FromWide(wide);
    if (!folder) return 2;
    const int runs = argc > 2 ? _wtoi(argv[2]) : 1;
    for (int run = 0; run < runs; ++run) {
        kumoya::TfrmSearch form;
        form.show();
        double start = Now();
        form.Searching = true;
        form.SearchFolder(*folder, true);
        form.Searching = false;
        kumoya::ui::App().processMessages();
        double search = Now() - start;
        int rows = form.lvSearch.itemCount();

        start = Now();
        int found = Walk(wide, false);
        double walk = Now() - start;
        start = Now();
        Walk(wide, true);
        double walkIcons = Now() - start;
        std::printf("search=%.0f rows=%d walk=%.0f walk_icons=%.0f found=%d\n", search, rows, walk, walkIcons, found);
        std::fflush(stdout);
    }
    CoUninitialize();
    return 0;
}
