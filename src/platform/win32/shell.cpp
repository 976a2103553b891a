// The shell on Windows: ShellExecuteW, SHGetFileInfoW and ExtractIconW, texts
// converted with code page 932.
#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/win32/wide.h"

namespace kumoya::platform {
namespace {

class Win32Shell : public Shell {
public:
    bool Open(std::string_view file, std::string_view parameters, std::string_view directory, bool showNormal,
              std::uintptr_t ownerWindow) override {
        auto wFile = win32::ToWide(file), wParams = win32::ToWide(parameters), wDir = win32::ToWide(directory);
        if (!wFile || !wParams || !wDir) return false;
        HINSTANCE result = ShellExecuteW(reinterpret_cast<HWND>(ownerWindow), L"open", wFile->c_str(),
                                         wParams->empty() ? nullptr : wParams->c_str(),
                                         wDir->empty() ? nullptr : wDir->c_str(), showNormal ? SW_SHOWNORMAL : SW_HIDE);
        // Values above 32 mean success.
        return reinterpret_cast<INT_PTR>(result) > 32;
    }

    Icon SmallIcon(std::string_view file) override {
        auto wFile = win32::ToWide(file);
        if (!wFile) return {};
        SHFILEINFOW info = {};
        if (!SHGetFileInfoW(wFile->c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON) || !info.hIcon)
            return {};
        return Icon(info.hIcon, std::string(file));
    }

    Icon FirstIcon(std::string_view file) override {
        auto wFile = win32::ToWide(file);
        if (!wFile) return {};
        HICON icon = ExtractIconW(GetModuleHandleW(nullptr), wFile->c_str(), 0);
        // Null: the file holds no icon; 1: it is no program, library or icon file.
        if (!icon || icon == reinterpret_cast<HICON>(1)) return {};
        return Icon(icon, std::string(file) + ",0");
    }

    std::optional<std::string> ProgramFor(std::string_view file) override {
        auto wFile = win32::ToWide(file);
        if (!wFile) return std::nullopt;
        wchar_t buffer[MAX_PATH + 1] = {};
        HINSTANCE result = FindExecutableW(wFile->c_str(), nullptr, buffer);
        // Values above 32 mean success.
        if (reinterpret_cast<INT_PTR>(result) <= 32 || !buffer[0]) return std::nullopt;
        buffer[MAX_PATH] = L'\0';
        return win32::FromWide(buffer);
    }
};

}  // namespace

template <>
Shell& Service<Shell>::Default() {
    static Win32Shell shell;
    return shell;
}

}  // namespace kumoya::platform
