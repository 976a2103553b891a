// Mapping between the program's Windows paths and the Linux file system, the
// way Wine maps them: drive Z: is the root, names are found without regard to
// case. Paths without a drive are taken relative to the current folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kumoya::platform::posix {

// The host path for a Windows path, or nullopt when it has no host form (a
// drive other than Z:, or text that is not valid Shift_JIS). Existing
// components are matched case-insensitively; missing ones are kept as given.
std::optional<std::string> ToHostPath(std::string_view windowsPath);
// "Z:\..." for an absolute host path, in Shift_JIS; nullopt when the name has
// no Shift_JIS form.
std::optional<std::string> FromHostPath(std::string_view hostPath);

}  // namespace kumoya::platform::posix
