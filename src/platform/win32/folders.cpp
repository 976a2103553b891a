// The system's folders on Windows: GetWindowsDirectoryW, and the shell's
// special folders by their identities (desktop 0, send-to 9).
#include "platform/folders.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/win32/wide.h"

namespace kumoya::platform {
namespace {

std::string SpecialFolder(int identity) {
    PIDLIST_ABSOLUTE list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, identity, &list)) || !list) return {};
    wchar_t buffer[MAX_PATH] = {};
    BOOL ok = SHGetPathFromIDListW(list, buffer);
    CoTaskMemFree(list);
    if (!ok) return {};
    return win32::FromWide(buffer).value_or(std::string());
}

class Win32Folders : public SystemFolders {
public:
    std::string WindowsFolder() override {
        wchar_t buffer[MAX_PATH + 1];
        UINT n = GetWindowsDirectoryW(buffer, MAX_PATH + 1);
        if (n == 0 || n > MAX_PATH) return {};
        return win32::FromWide(std::wstring_view(buffer, n)).value_or(std::string());
    }
    std::string DesktopFolder() override { return SpecialFolder(CSIDL_DESKTOP); }
    std::string SendToFolder() override { return SpecialFolder(CSIDL_SENDTO); }
};

}  // namespace

template <>
SystemFolders& Service<SystemFolders>::Default() {
    static Win32Folders folders;
    return folders;
}

}  // namespace kumoya::platform
