#include <windows.h>

#include "platform/help.h"
#include "platform/win32/wide.h"

namespace kumoya::platform {
namespace {

class WindowsHelp : public Help {
public:
    bool Open(std::string_view file, unsigned command, std::uintptr_t data) override {
        auto wide = win32::ToWide(file);
        if (!wide) return false;
        // The viewer belongs to the window the user is working in.
        return ::WinHelpW(GetActiveWindow(), wide->c_str(), command, static_cast<ULONG_PTR>(data)) != FALSE;
    }
};

}  // namespace

template <>
Help& Service<Help>::Default() {
    static WindowsHelp help;
    return help;
}

}  // namespace kumoya::platform
