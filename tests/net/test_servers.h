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
// Makes the origin answer a GET of `path` ("/vor/x.net") with 200 and these
// bytes, until UnserveAll.
void ServeFile(const std::string& path, const std::string& bytes);
void UnserveFile(const std::string& path);
void UnserveAll();
// Served files then go out in 20 pieces `ms` apart (0: at once).
void SetServePace(int ms);
// The body the origin sends for /bytes/N.
std::string PatternBytes(std::size_t n);

}  // namespace kumoya::testsupport
