// The smallest Win32 program that shows a popup menu: one hidden owner
// window, one entry, at the cursor. The reference for how long the launcher
// takes from its start to its menu.
#include <windows.h>

int wmain() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PopupBaseline";
    RegisterClassW(&wc);
    HWND owner = CreateWindowExW(WS_EX_TOOLWINDOW, L"PopupBaseline", L"PopupBaseline", WS_POPUP, 0, 0, 1, 1, nullptr,
                                 nullptr, wc.hInstance, nullptr);
    ShowWindow(owner, SW_SHOW);
    SetForegroundWindow(owner);
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1, L"Entry");
    POINT at;
    GetCursorPos(&at);
    TrackPopupMenuEx(menu, TPM_RETURNCMD, at.x, at.y, owner, nullptr);
    DestroyMenu(menu);
    DestroyWindow(owner);
    return 0;
}
