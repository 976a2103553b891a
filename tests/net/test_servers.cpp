#include "net/test_servers.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>

#include "net/connection.h"

namespace kumoya::testsupport {
namespace {

bool ParsePorts(const std::string& line, NetServers& out) {
    return std::sscanf(line.c_str(), "http=%d proxy=%d smtp=%d control=%d", &out.http, &out.proxy, &out.smtp,
                       &out.control) == 4;
}

std::string Control(const std::string& command) {
    static const std::function<void()> noIdle;
    static const bool notAborted = false;
    net::Connection c(5000, noIdle, notAborted);
    c.Open("127.0.0.1", TestServers().control);
    c.SendAll(command + "\n");
    return c.ReadLine(64 * 1024 * 1024);
}

NetServers Start() {
    NetServers s;
    if (const char* given = std::getenv("KUMOYA_NET_SERVERS")) {
        if (!ParsePorts(given, s)) s.problem = std::string("unreadable KUMOYA_NET_SERVERS: ") + given;
        return s;
    }
    std::string command = std::string("exec /usr/bin/python3 '") + KUMOYA_SOURCE_DIR + "/tests/net/servers.py'";
    FILE* child = popen(command.c_str(), "r");
    char line[256] = {};
    if (!child || !std::fgets(line, sizeof line, child) || !ParsePorts(line, s)) {
        s.problem = "cannot start tests/net/servers.py (it needs /usr/bin/python3 with python3-aiosmtpd); "
                    "set KUMOYA_NET_SERVERS when the servers run elsewhere";
        return s;
    }
    // The child ends by itself when this process does; ask it politely first.
    std::atexit([] {
        try {
            Control("QUIT");
        } catch (...) {
        }
    });
    return s;
}

}  // namespace

const NetServers& TestServers() {
    static const NetServers servers = Start();
    return servers;
}

std::string ServerLog(const std::string& name) {
    std::string hex = Control("LOG " + name);
    std::string out;
    auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(nibble(hex[i]) * 16 + nibble(hex[i + 1])));
    return out;
}

void ServeFile(const std::string& path, const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        hex.push_back(digits[c >> 4]);
        hex.push_back(digits[c & 15]);
    }
    if (Control("PUT " + path + " " + hex) != "ok") throw std::runtime_error("the test server refused PUT " + path);
}

void UnserveFile(const std::string& path) { Control("UNPUT " + path); }
void UnserveAll() { Control("UNPUT"); }
void SetServePace(int ms) { Control("PACE " + std::to_string(ms)); }

std::string PatternBytes(std::size_t n) {
    std::string out(n, '\0');
    for (std::size_t i = 0; i < n; ++i) {
        std::size_t j = i % 65521;
        out[i] = static_cast<char>((j * 7 + j / 251) & 0xFF);
    }
    return out;
}

}  // namespace kumoya::testsupport
