#include "registration/proxy_settings.h"

#include "platform/registry.h"
#include "platform/text.h"

namespace kumoya {
namespace {

constexpr char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && sjis::EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool ReadsAsOn(const platform::RegistryValue& value) {
    using Type = platform::RegistryValue::Type;
    switch (value.type) {
        case Type::Dword: return value.dword != 0;
        case Type::Binary:
            // Four bytes as written by older systems; only those count.
            for (std::size_t i = 0; i < value.data.size() && i < 4; ++i)
                if (value.data[i] != 0) return true;
            return false;
        case Type::String: {
            std::string_view t = Trim(value.data);
            return !t.empty() && t.find_first_not_of('0') != std::string_view::npos &&
                   t.find_first_not_of("0123456789") == std::string_view::npos;
        }
    }
    return false;
}

}  // namespace

void SplitProxyServer(std::string_view value, std::string& server, std::string& port) {
    server.clear();
    port.clear();
    std::string_view piece;
    bool found = false, perProtocol = false;
    std::size_t start = 0;
    while (start <= value.size()) {
        std::size_t end = value.find(';', start);
        if (end == std::string_view::npos) end = value.size();
        std::string_view entry = Trim(value.substr(start, end - start));
        if (entry.find('=') != std::string_view::npos) perProtocol = true;
        if (!found && StartsWithIgnoreCase(entry, "http=")) {
            piece = Trim(entry.substr(5));
            found = true;
        }
        start = end + 1;
    }
    if (!found) {
        // One server for every protocol, unless the list names others only.
        if (perProtocol) return;
        piece = Trim(value);
        if (std::size_t semicolon = piece.find(';'); semicolon != std::string_view::npos)
            piece = Trim(piece.substr(0, semicolon));
    }
    if (StartsWithIgnoreCase(piece, "http://")) piece.remove_prefix(7);
    if (!piece.empty() && piece.back() == '/') piece.remove_suffix(1);
    // The port follows the last colon, so that a bracketed IPv6 address
    // ([::1]:8080) keeps its own colons.
    std::size_t colon = piece.rfind(':');
    if (colon != std::string_view::npos && !piece.empty() && piece.front() == '[' &&
        piece.find(']') != std::string_view::npos && colon < piece.find(']'))
        colon = std::string_view::npos;
    if (colon == std::string_view::npos) {
        server = std::string(piece);
    } else {
        server = std::string(Trim(piece.substr(0, colon)));
        port = std::string(Trim(piece.substr(colon + 1)));
    }
}

std::optional<SystemProxy> ReadSystemProxy() {
    platform::Registry& registry = platform::SystemRegistry();
    if (!registry.KeyExists(platform::RegistryRoot::CurrentUser, kInternetSettings)) return std::nullopt;
    SystemProxy proxy;
    if (auto enable = registry.ReadValue(platform::RegistryRoot::CurrentUser, kInternetSettings, "ProxyEnable"))
        proxy.Enabled = ReadsAsOn(*enable);
    if (auto server = registry.ReadString(platform::RegistryRoot::CurrentUser, kInternetSettings, "ProxyServer"))
        SplitProxyServer(*server, proxy.Server, proxy.Port);
    return proxy;
}

}  // namespace kumoya
