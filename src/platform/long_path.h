#pragma once

#include <string>
#include <string_view>

namespace kumoya::platform {

// The long form of a path that may hold short (8.3) names: every component
// that exists is replaced by its name as stored on disk, from the file up to
// the first folder that cannot be found (a drive root is never found).
std::string LongPathName(std::string_view path);

}  // namespace kumoya::platform
