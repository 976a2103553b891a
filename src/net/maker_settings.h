// Where the program sends problem reports and fetches its updates. The values
// are compiled in and may be overridden, without rebuilding, by a plain text
// file "Zelkova.ini" beside the program file:
//
//   ; lines "Name=Value"; names in any case; ';' or '#' starts a comment line
//   ; (a comment stands on a line of its own)
//   MailTo=support@kumoya.invalid
//   MailBcc=archive@kumoya.invalid
//   SmtpPort=25
//   UpdateSite=update.kumoya.invalid:8080
//
// The compiled-in defaults use the reserved ".invalid" domain, so nothing is
// ever sent to a real host until a person sets real values.
#pragma once

#include <string>
#include <string_view>

namespace kumoya::net {

struct MakerSettings {
    std::string MailTo = "support@kumoya.invalid";   // the fixed recipient
    std::string MailBcc = "archive@kumoya.invalid";  // the fixed blind copy; empty: none
    int SmtpPort = 25;
    std::string UpdateSite = "update.kumoya.invalid";  // host[:port]

    // "http://" + UpdateSite + path (path starts with "/").
    std::string SiteAddress(std::string_view path) const;
};

// The defaults, overridden by the lines of `text` (the settings file's
// contents). Unknown names and malformed lines are ignored; a port outside
// 1..65535 keeps the default.
MakerSettings ParseMakerSettings(std::string_view text);
// The defaults overridden by the file at `path`, when it exists.
MakerSettings LoadMakerSettings(std::string_view path);
// The settings of this run: "Zelkova.ini" in the program folder, read once.
const MakerSettings& Maker();

inline constexpr const char* kMakerSettingsFile = "Zelkova.ini";

}  // namespace kumoya::net
