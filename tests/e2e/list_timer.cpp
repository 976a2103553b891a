// list_timer ROWS PROGRAM [ARGS...]: starts the program and prints how many
// milliseconds pass until one of its visible list views holds ROWS rows and
// its last row has its image; then ends the program. Exit code 1 when that
// does not happen within 120 seconds.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct Search {
    DWORD pid;
    HWND list;
};

BOOL CALLBACK FindList(HWND window, LPARAM param) {
    auto* s = reinterpret_cast<Search*>(param);
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    if (std::wcscmp(cls, WC_LISTVIEWW) == 0 && IsWindowVisible(window)) {
        s->list = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindTop(HWND window, LPARAM param) {
    auto* s = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == s->pid && IsWindowVisible(window)) EnumChildWindows(window, FindList, param);
    return s->list ? FALSE : TRUE;
}

// The image index of a row, read through memory in the list's process.
int RowImage(HWND list, HANDLE process, int row) {
    void* remote = VirtualAllocEx(process, nullptr, sizeof(LVITEMW), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) return -1;
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iImage = -1;
    SIZE_T done = 0;
    int image = -1;
    DWORD_PTR answer = 0;
    if (WriteProcessMemory(process, remote, &item, sizeof item, &done) &&
        SendMessageTimeoutW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, 5000, &answer) &&
        ReadProcessMemory(process, remote, &item, sizeof item, &done)) {
        image = item.iImage;
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return image;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fputs("usage: list_timer ROWS PROGRAM [ARGS...]\n", stderr);
        return 2;
    }
    const int rows = _wtoi(argv[1]);
    std::wstring command = L"\"" + std::wstring(argv[2]) + L"\"";
    for (int i = 3; i < argc; ++i) command += L" \"" + std::wstring(argv[i]) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::fprintf(stderr, "CreateProcessW: error %lu\n", GetLastError());
        return 2;
    }
    int result = 1;
    for (;;) {
        QueryPerformanceCounter(&now);
        double ms = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
        Search s{pi.dwProcessId, nullptr};
        EnumWindows(FindTop, reinterpret_cast<LPARAM>(&s));
        DWORD_PTR count = 0;
        if (s.list && SendMessageTimeoutW(s.list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count) &&
            static_cast<int>(count) == rows && RowImage(s.list, pi.hProcess, rows - 1) >= 0) {
            QueryPerformanceCounter(&now);
            ms = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
            std::printf("%.1f\n", ms);
            result = 0;
            break;
        }
        if (ms > 120000 || WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) break;
        Sleep(1);
    }
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return result;
}
