#include "manager/program_icon.h"

#include "platform/shell.h"

namespace kumoya {

platform::Icon LoadProgramIcon(std::string_view path) {
    platform::Icon icon = platform::SystemShell().SmallIcon(path);
    if (icon.Empty()) icon = platform::SystemShell().FirstIcon(path);
    if (icon.Empty()) icon = platform::DefaultApplicationIcon();
    return icon;
}

}  // namespace kumoya
