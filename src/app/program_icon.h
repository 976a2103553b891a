// The icon shown for a program in the management window's lists and in the
// property window.
#pragma once

#include <string_view>

#include "platform/icon.h"

namespace kumoya {

// The shell's small icon for the file; failing that, the first icon in the
// file; failing that too, the system's picture for a program without one, so
// that every row of a list shows some picture.
platform::Icon LoadProgramIcon(std::string_view path);

// The first icon in the program file, or the system's picture for a program
// without one: what the launcher's menus show.
platform::Icon LoadFirstProgramIcon(std::string_view path);

}  // namespace kumoya
