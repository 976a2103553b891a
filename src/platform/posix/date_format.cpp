// Linux has no user locale of the Windows kind: the Japanese system's
// defaults stand in (2026/12/08, 9:05:00).
#include "platform/date_format.h"

#include <cstdio>

namespace kumoya::platform {

std::string FormatShortDate(const DateParts& parts) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d", parts.year, parts.month, parts.day);
    return text;
}

std::string FormatLongTime(const DateParts& parts) {
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d:%02d", parts.hour, parts.minute, parts.second);
    return text;
}

}  // namespace kumoya::platform
