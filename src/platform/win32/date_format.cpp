#include <windows.h>

#include <cstdio>

#include "platform/date_format.h"
#include "platform/win32/wide.h"

namespace kumoya::platform {
namespace {

SYSTEMTIME ToSystemTime(const DateParts& p) {
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(p.year);
    t.wMonth = static_cast<WORD>(p.month);
    t.wDay = static_cast<WORD>(p.day);
    t.wHour = static_cast<WORD>(p.hour);
    t.wMinute = static_cast<WORD>(p.minute);
    t.wSecond = static_cast<WORD>(p.second);
    return t;
}

std::string Narrow(const wchar_t* text, int written) {
    if (written <= 1) return {};
    auto sjis = win32::FromWide(std::wstring_view(text, static_cast<std::size_t>(written - 1)));
    return sjis ? *sjis : std::string();
}

}  // namespace

std::string FormatShortDate(const DateParts& parts) {
    SYSTEMTIME t = ToSystemTime(parts);
    wchar_t text[128];
    int n = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, text, 128);
    std::string out = Narrow(text, n);
    if (out.empty()) {
        // A format the system cannot give (or one without a Shift_JIS form).
        char fallback[32];
        std::snprintf(fallback, sizeof fallback, "%04d/%02d/%02d", parts.year, parts.month, parts.day);
        out = fallback;
    }
    return out;
}

std::string FormatLongTime(const DateParts& parts) {
    SYSTEMTIME t = ToSystemTime(parts);
    wchar_t text[128];
    int n = GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &t, nullptr, text, 128);
    std::string out = Narrow(text, n);
    if (out.empty()) {
        char fallback[32];
        std::snprintf(fallback, sizeof fallback, "%d:%02d:%02d", parts.hour, parts.minute, parts.second);
        out = fallback;
    }
    return out;
}

}  // namespace kumoya::platform
