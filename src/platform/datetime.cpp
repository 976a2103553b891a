#include "platform/datetime.h"

#include <cmath>
#include <cstdio>

namespace kumoya::platform {
namespace {

// Days from 0001-01-01 (proleptic Gregorian) to the given date, 0-based.
long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;  // days since 1970-01-01
}

void CivilFromDays(long z, int& y, int& m, int& d) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

const long kEpochOffset = DaysFromCivil(1899, 12, 30);  // relative to 1970-01-01

}  // namespace

double EncodeDateTime(const DateParts& p) {
    double days = static_cast<double>(DaysFromCivil(p.year, p.month, p.day) - kEpochOffset);
    double time = (p.hour * 3600000.0 + p.minute * 60000.0 + p.second * 1000.0 + p.millisecond) / 86400000.0;
    // Before the epoch the fraction counts forwards from the (negative) day,
    // so -1.25 is 29 December 1899, 06:00.
    return days >= 0 ? days + time : days - time;
}

DateParts DecodeDateTime(double value) {
    DateParts p;
    if (!std::isfinite(value) || std::fabs(value) > 3.0e6) return p;  // outside any calendar in use
    double whole = std::trunc(value);
    double fraction = std::fabs(value - whole);
    long ms = std::lround(fraction * 86400000.0);
    if (ms >= 86400000) { ms -= 86400000; whole += value >= 0 ? 1 : -1; }
    CivilFromDays(static_cast<long>(whole) + kEpochOffset, p.year, p.month, p.day);
    p.hour = static_cast<int>(ms / 3600000);
    p.minute = static_cast<int>(ms / 60000 % 60);
    p.second = static_cast<int>(ms / 1000 % 60);
    p.millisecond = static_cast<int>(ms % 1000);
    return p;
}

std::string FormatYmd(double value) {
    DateParts p = DecodeDateTime(value);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d%02d%02d", p.year % 10000, p.month, p.day);
    return buffer;
}

}  // namespace kumoya::platform
