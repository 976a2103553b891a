#include "registration/proxy_settings.h"

#include <gtest/gtest.h>

#include "platform/registry.h"

namespace kumoya {
namespace {

using platform::RegistryRoot;
using platform::RegistryValue;

constexpr char kKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

TEST(SystemProxy, ServerValuesInEveryFormTheSystemWrites) {
    struct Case {
        std::string value, server, port;
    } cases[] = {
        {"proxy.example:8080", "proxy.example", "8080"},  // one server for every protocol
        {"http=h1:3128;https=h2:443;ftp=h3:21", "h1", "3128"},
        {"ftp=h3:21;https=h2:443;http=h1:3128", "h1", "3128"},  // no ";" after the entry
        {"HTTP=h1:80", "h1", "80"},
        {"https=h2:443;ftp=h3:21", "", ""},  // no proxy for plain HTTP
        {"http=h1", "h1", ""},
        {"http://h4:8000", "h4", "8000"},
        {"[::1]:8888", "[::1]", "8888"},
        {" http = h5:1 ; ", "", ""},
        {"", "", ""},
        {";;;", "", ""},
    };
    for (const Case& c : cases) {
        std::string server = "stale", port = "stale";
        SplitProxyServer(c.value, server, port);
        EXPECT_EQ(c.server, server) << c.value;
        EXPECT_EQ(c.port, port) << c.value;
    }
}

TEST(SystemProxy, EnableFlagInEitherStoredTypeAndAMissingKey) {
    platform::MemoryRegistry registry;
    platform::ScopedService<platform::Registry> use(registry);
    EXPECT_FALSE(ReadSystemProxy().has_value());

    registry.CreateKey(RegistryRoot::CurrentUser, kKey);
    auto proxy = ReadSystemProxy();
    ASSERT_TRUE(proxy);  // nothing stored: off, no server
    EXPECT_FALSE(proxy->Enabled);
    EXPECT_EQ("", proxy->Server);

    registry.WriteString(RegistryRoot::CurrentUser, kKey, "ProxyServer", "http=cache:3128;ftp=f:21");
    struct Case {
        RegistryValue value;
        bool enabled;
    } cases[] = {
        {{RegistryValue::Type::Dword, "", 1}, true},
        {{RegistryValue::Type::Dword, "", 0}, false},
        {{RegistryValue::Type::Binary, std::string("\x01\x00\x00\x00", 4), 0}, true},
        {{RegistryValue::Type::Binary, std::string("\x00\x00\x00\x00", 4), 0}, false},
        {{RegistryValue::Type::Binary, std::string("\x00\x00\x00\x00\x01", 5), 0}, false},
        {{RegistryValue::Type::Binary, std::string("\x02", 1), 0}, true},
        {{RegistryValue::Type::Binary, "", 0}, false},
        {{RegistryValue::Type::String, "1", 0}, true},
        {{RegistryValue::Type::String, "0", 0}, false},
        {{RegistryValue::Type::String, "yes", 0}, false},
    };
    for (const Case& c : cases) {
        registry.WriteValue(RegistryRoot::CurrentUser, kKey, "ProxyEnable", c.value);
        proxy = ReadSystemProxy();
        ASSERT_TRUE(proxy);
        EXPECT_EQ(c.enabled, proxy->Enabled) << static_cast<int>(c.value.type) << " " << c.value.data.size();
        EXPECT_EQ("cache", proxy->Server);
        EXPECT_EQ("3128", proxy->Port);
    }
    // A server value of another type is no server.
    registry.WriteValue(RegistryRoot::CurrentUser, kKey, "ProxyServer", {RegistryValue::Type::Dword, "", 5});
    EXPECT_EQ("", ReadSystemProxy()->Server);
}

}  // namespace
}  // namespace kumoya
