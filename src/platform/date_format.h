// A date and a time written the way the user's system writes them: the short
// date format and the long time format of the user's locale. Shift_JIS.
#pragma once

#include <string>

#include "platform/datetime.h"

namespace kumoya::platform {

std::string FormatShortDate(const DateParts& parts);
std::string FormatLongTime(const DateParts& parts);

}  // namespace kumoya::platform
