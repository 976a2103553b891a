// The system's folders on Linux: there is no Windows folder (the Wine-style
// C:\windows has no host form, so nothing is found in it); the desktop is
// ~/Desktop; there is no send-to menu.
#include "platform/folders.h"

#include <cstdlib>

#include "platform/posix/host_path.h"

namespace kumoya::platform {
namespace {

class PosixFolders : public SystemFolders {
public:
    std::string WindowsFolder() override { return "C:\\windows"; }
    std::string DesktopFolder() override {
        const char* home = std::getenv("HOME");
        if (!home || !*home) return {};
        return posix::FromHostPath(std::string(home) + "/Desktop").value_or(std::string());
    }
    std::string SendToFolder() override { return {}; }
};

}  // namespace

template <>
SystemFolders& Service<SystemFolders>::Default() {
    static PosixFolders folders;
    return folders;
}

}  // namespace kumoya::platform
