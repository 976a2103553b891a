#include "net/maker_settings.h"

#include "platform/files.h"
#include "platform/text.h"

namespace kumoya::net {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// Header names, settings names: ASCII letters compared without case.
bool SameNoCase(std::string_view a, std::string_view b) { return sjis::EqualsIgnoreCase(a, b); }

int ParsePort(std::string_view text) {
    if (text.empty() || text.size() > 5) return 0;
    int port = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        port = port * 10 + (c - '0');
    }
    return port <= 65535 ? port : 0;
}

// A host name, or host:port, usable in an address: no blanks, controls or
// characters that would change the address's meaning.
bool UsableSite(std::string_view site) {
    if (site.empty()) return false;
    for (unsigned char c : site)
        if (c <= 0x20 || c == 0x7F || c == '/' || c == '@' || c == '?' || c == '#' || c == '\\') return false;
    std::size_t colon = site.rfind(':');
    if (colon != std::string_view::npos && site.front() != '[') return ParsePort(site.substr(colon + 1)) > 0;
    return true;
}

bool UsableAddress(std::string_view address) {
    if (address.empty()) return false;
    for (unsigned char c : address)
        if (c <= 0x20 || c == 0x7F || c == '<' || c == '>' || c == ',') return false;
    return true;
}

}  // namespace

std::string MakerSettings::SiteAddress(std::string_view path) const { return "http://" + UpdateSite + std::string(path); }

MakerSettings ParseMakerSettings(std::string_view text) {
    MakerSettings settings;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        std::string_view name = Trim(line.substr(0, equals));
        std::string_view value = Trim(line.substr(equals + 1));
        if (SameNoCase(name, "MailTo") && UsableAddress(value)) settings.MailTo = std::string(value);
        else if (SameNoCase(name, "MailBcc") && (value.empty() || UsableAddress(value))) settings.MailBcc = std::string(value);
        else if (SameNoCase(name, "SmtpPort") && ParsePort(value) > 0) settings.SmtpPort = ParsePort(value);
        else if (SameNoCase(name, "UpdateSite") && UsableSite(value)) settings.UpdateSite = std::string(value);
    }
    return settings;
}

MakerSettings LoadMakerSettings(std::string_view path) {
    auto bytes = platform::ReadFileBytes(path);
    if (!bytes) return MakerSettings{};
    return ParseMakerSettings(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

const MakerSettings& Maker() {
    static const MakerSettings settings = LoadMakerSettings(platform::ProgramFolder() + kMakerSettingsFile);
    return settings;
}

}  // namespace kumoya::net
