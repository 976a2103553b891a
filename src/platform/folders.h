// Folders the system names for the user: the Windows folder, the desktop and
// the send-to folder. Tests put a double in its place (a scratch desktop).
#pragma once

#include <string>

#include "platform/service.h"

namespace kumoya::platform {

class SystemFolders {
public:
    virtual ~SystemFolders() = default;
    // The Windows folder as the system reports it (C:\WINDOWS), without a
    // trailing backslash.
    virtual std::string WindowsFolder() = 0;
    // The user's desktop folder and send-to folder, without a trailing
    // backslash; "" when the system has none.
    virtual std::string DesktopFolder() = 0;
    virtual std::string SendToFolder() = 0;
};
template <> SystemFolders& Service<SystemFolders>::Default();

inline SystemFolders& Folders() { return Service<SystemFolders>::Get(); }

// A fixed set of folders: the stand-in tests use.
class FixedFolders : public SystemFolders {
public:
    std::string windows, desktop, sendTo;
    std::string WindowsFolder() override { return windows; }
    std::string DesktopFolder() override { return desktop; }
    std::string SendToFolder() override { return sendTo; }
};

}  // namespace kumoya::platform
