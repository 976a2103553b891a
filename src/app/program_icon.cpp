#include "app/program_icon.h"

#include "platform/shell.h"

namespace kumoya {

platform::Icon LoadFirstProgramIcon(std::string_view path) {
    platform::Icon icon = platform::SystemShell().FirstIcon(path);
    return icon.Empty() ? platform::DefaultApplicationIcon() : std::move(icon);
}

platform::Icon LoadProgramIcon(std::string_view path) {
    platform::Icon icon = platform::SystemShell().SmallIcon(path);
    return icon.Empty() ? LoadFirstProgramIcon(path) : std::move(icon);
}

}  // namespace kumoya
