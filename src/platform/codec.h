// Conversion between the program's Shift_JIS (code page 932) and UTF-8, for
// text that leaves or enters the program (JSON dumps, host file names).
// Text without a form in the other encoding gives nullopt, never '?'.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kumoya::platform {

std::optional<std::string> SjisToUtf8(std::string_view sjis);
std::optional<std::string> Utf8ToSjis(std::string_view utf8);

}  // namespace kumoya::platform
