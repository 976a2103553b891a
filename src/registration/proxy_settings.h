// The system's own proxy setting (the Internet settings of the current user),
// offered on the wizard's network page when the catalogue holds no proxy.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kumoya {

struct SystemProxy {
    bool Enabled = false;  // "ProxyEnable" non-zero
    std::string Server;    // host of the HTTP proxy, "" when none is named
    std::string Port;      // its port as written, "" when none
};

// nullopt when the Internet settings key cannot be opened. "ProxyEnable" may
// be a 32-bit number or up to four bytes of binary data (absent: off).
std::optional<SystemProxy> ReadSystemProxy();

// The HTTP proxy named by a "ProxyServer" value: the "http=" entry of a
// per-protocol list ("http=h:8080;ftp=f:21", with or without a ";" after it),
// or the one "host:port" that serves every protocol. No HTTP entry in a
// per-protocol list gives empty texts.
void SplitProxyServer(std::string_view value, std::string& server, std::string& port);

}  // namespace kumoya
