// The servers of tests/net/servers.py, started once per test run on
// 127.0.0.1 (or, for a run where this program cannot start them itself, as
// under Wine, found through the KUMOYA_NET_SERVERS environment variable
// that scripts/test.sh sets: "http=P proxy=P smtp=P control=P").
#pragma once

#include <cstddef>
#include <string>

namespace kumoya::testsupport {

struct NetServers {
    int http = 0, proxy = 0, smtp = 0, control = 0;
    std::string problem;  // why they are not there
};

const NetServers& TestServers();
// The bytes last recorded by the servers under `name` (see servers.py).
std::string ServerLog(const std::string& name);
// The body the origin sends for /bytes/N.
std::string PatternBytes(std::size_t n);

}  // namespace kumoya::testsupport
