#include <windows.h>

#include "platform/files.h"
#include "platform/help.h"
#include "platform/win32/wide.h"

namespace kumoya::platform {
namespace {

// The system's true major version: GetVersionEx answers what the manifest
// declares, RtlGetVersion what is running.
DWORD SystemMajorVersion() {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll) return 0;
    auto get = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!get || get(&info) != 0) return 0;
    return info.dwMajorVersion;
}

// WinHelp can show the file only when the file is there and a viewer is:
// Windows 10 and later have none (their winhlp32.exe only says so), and
// earlier systems from Vista on have one only when it was installed.
bool WinHelpCanShow(std::string_view file) {
    if (!FileExists(file)) return false;
    DWORD major = SystemMajorVersion();
    if (major == 0 || major >= 10) return false;
    wchar_t windows[MAX_PATH];
    UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    std::wstring viewer = std::wstring(windows, length) + L"\\winhlp32.exe";
    return GetFileAttributesW(viewer.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class WindowsHelp : public Help {
public:
    bool Open(std::string_view file, unsigned command, std::uintptr_t data) override {
        if (WinHelpCanShow(file)) {
            auto wide = win32::ToWide(file);
            // The viewer belongs to the window the user is working in.
            if (wide && ::WinHelpW(GetActiveWindow(), wide->c_str(), command, static_cast<ULONG_PTR>(data)))
                return true;
        }
        return OpenHtmlHelp(file, command, data);
    }
};

}  // namespace

template <>
Help& Service<Help>::Default() {
    static WindowsHelp help;
    return help;
}

}  // namespace kumoya::platform
