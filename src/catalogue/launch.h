// Parameter templates and the start of a program through the shell.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/records.h"

namespace kumoya {

// "%1" in double quotes: the file name, quoted.
extern const char* const kDefaultParamTemplate;
// The longest parameter text a launch passes on.
inline constexpr std::size_t kMaxParamsBytes = 511;

// The parameters for a launch with `file`, or without one (nullopt): with a
// file, the two characters at the first '%' become the file name (no '%':
// a blank and the file are appended); without, the placeholder "\"%1\"" or
// else the two characters at the first '%' are removed. nullopt when the
// result is longer than kMaxParamsBytes.
std::optional<std::string> ExpandParams(std::string_view templ, std::optional<std::string_view> file);

// Starts the program with its Params expanded for `file` and counts the
// launch. -1, and nothing started or counted, when the parameters would not
// fit.
int RunProgram(TProg& prog, std::optional<std::string_view> file, std::uintptr_t ownerWindow = 0);

}  // namespace kumoya
