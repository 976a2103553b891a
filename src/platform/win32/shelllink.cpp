// Shortcut files through the shell link object (IShellLinkW + IPersistFile),
// texts converted with code page 932 at this edge.
#include "platform/shelllink.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "platform/win32/com_ptr.h"
#include "platform/win32/wide.h"

namespace kumoya::platform {
namespace {

using win32::ComPtr;

class ComShellLinks : public ShellLinks {
public:
    // S_FALSE (already initialised on this thread) must be balanced as well;
    // only a failure must not be.
    ComShellLinks() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComShellLinks() override {
        if (initialised_) CoUninitialize();
    }
    ComShellLinks(const ComShellLinks&) = delete;
    ComShellLinks& operator=(const ComShellLinks&) = delete;

    std::int32_t Save(std::string_view file, const ShellLinkParts& parts) override {
        auto target = win32::ToWide(parts.target);
        auto workDir = win32::ToWide(parts.workingDirectory);
        auto iconPath = win32::ToWide(parts.iconPath);
        auto arguments = win32::ToWide(parts.arguments);
        auto name = win32::ToWide(file);
        // The file name is refused rather than cut to the path limit, which
        // would write some other file.
        if (!target || !workDir || !iconPath || !arguments || !name || name->size() >= MAX_PATH)
            return kShellLinkInvalidArgument;

        ComPtr<IShellLinkW> link;
        HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                      link.PutVoid());
        if (FAILED(hr)) return hr;
        if (FAILED(hr = link->SetPath(target->c_str()))) return hr;
        if (FAILED(hr = link->SetWorkingDirectory(workDir->c_str()))) return hr;
        if (FAILED(hr = link->SetShowCmd(parts.showCommand))) return hr;
        if (FAILED(hr = link->SetHotkey(parts.hotKey))) return hr;
        if (FAILED(hr = link->SetIconLocation(iconPath->c_str(), parts.iconIndex))) return hr;
        if (FAILED(hr = link->SetArguments(arguments->c_str()))) return hr;

        ComPtr<IPersistFile> persist;
        hr = link->QueryInterface(IID_IPersistFile, persist.PutVoid());
        if (FAILED(hr)) return hr;
        return persist->Save(name->c_str(), TRUE);
    }

    std::optional<ShellLinkParts> Load(std::string_view file) override {
        auto name = win32::ToWide(file);
        if (!name || name->size() >= MAX_PATH) return std::nullopt;
        ComPtr<IShellLinkW> link;
        if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                    link.PutVoid())))
            return std::nullopt;
        ComPtr<IPersistFile> persist;
        if (FAILED(link->QueryInterface(IID_IPersistFile, persist.PutVoid()))) return std::nullopt;
        if (FAILED(persist->Load(name->c_str(), STGM_READ))) return std::nullopt;

        wchar_t target[MAX_PATH] = {}, workDir[MAX_PATH] = {}, iconPath[MAX_PATH] = {};
        // Arguments may be longer than a path; a larger buffer keeps them whole.
        wchar_t arguments[INFOTIPSIZE] = {};
        int showCommand = 0, iconIndex = 0;
        WORD hotKey = 0;
        if (FAILED(link->GetPath(target, MAX_PATH, nullptr, SLGP_UNCPRIORITY)) ||
            FAILED(link->GetWorkingDirectory(workDir, MAX_PATH)) || FAILED(link->GetShowCmd(&showCommand)) ||
            FAILED(link->GetHotkey(&hotKey)) || FAILED(link->GetIconLocation(iconPath, MAX_PATH, &iconIndex)) ||
            FAILED(link->GetArguments(arguments, INFOTIPSIZE)))
            return std::nullopt;

        ShellLinkParts parts;
        auto t = win32::FromWide(target), w = win32::FromWide(workDir), i = win32::FromWide(iconPath),
             a = win32::FromWide(arguments);
        // A target without a Shift_JIS form would name the wrong file; the
        // other texts are left empty then, as the target is still usable.
        if (!t) return std::nullopt;
        parts.target = *t;
        parts.workingDirectory = w.value_or(std::string());
        parts.iconPath = i.value_or(std::string());
        parts.arguments = a.value_or(std::string());
        parts.iconIndex = i ? iconIndex : 0;
        parts.showCommand = showCommand;
        parts.hotKey = hotKey;
        return parts;
    }

private:
    bool initialised_;
};

}  // namespace

std::unique_ptr<ShellLinks> CreateShellLinks() { return std::make_unique<ComShellLinks>(); }

}  // namespace kumoya::platform
