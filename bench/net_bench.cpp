// Downloading a 100 MB file from a local python http.server to disk with
// FileDownloader, against curl fetching the same file from the same server in
// the same run. Not run in CI. Compare with
//   build/bench/kumoya_bench --benchmark_filter=Download --benchmark_repetitions=5
//     --benchmark_enable_random_interleaving=true
// peak_rss_mb is this process's peak resident size after the run: constant
// memory means it stays far below the file's size.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

#include "net/file_downloader.h"
#include "platform/posix/host_path.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kSize = 100u * 1024 * 1024;

class Site {
public:
    Site() {
        std::error_code ec;
        dir_ = fs::temp_directory_path(ec) / ("kumoya-bench-net-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_ / "www", ec);
        {
            std::ofstream out(dir_ / "www" / "big.bin", std::ios::binary);
            std::string block(1 << 20, '\0');
            std::mt19937 random(7);
            for (auto& c : block) c = static_cast<char>(random());
            for (std::size_t i = 0; i < kSize / block.size(); ++i) out.write(block.data(), block.size());
        }
        std::string command = "exec /usr/bin/python3 -u -m http.server 0 --bind 127.0.0.1 --directory '" +
                              (dir_ / "www").string() + "' 2>/dev/null";
        server_ = popen(command.c_str(), "r");
        char line[256] = {};
        if (!server_ || !std::fgets(line, sizeof line, server_) ||
            std::sscanf(line, "Serving HTTP on %*s port %d", &port_) != 1)
            std::fprintf(stderr, "cannot start python's http.server\n");
    }
    ~Site() {
        std::error_code ec;
        fs::remove_all(dir_, ec);
        // The server is left to end with this process (its stdout closes).
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/big.bin"; }
    fs::path out() const { return dir_ / "out.bin"; }
    std::string outWindows() const { return *kumoya::platform::posix::FromHostPath(out().string()); }
    bool ok() const { return port_ != 0; }

private:
    fs::path dir_;
    FILE* server_ = nullptr;
    int port_ = 0;
};

Site& TheSite() {
    static Site site;
    return site;
}

double PeakRssMb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            double kb = 0;
            status >> kb;
            return kb / 1024;
        }
    }
    return 0;
}

void BM_Download_FileDownloader(benchmark::State& state) {
    Site& site = TheSite();
    if (!site.ok()) return state.SkipWithError("no server");
    kumoya::net::FileDownloader http;
    http.InputFileMode = true;
    http.Body = site.outWindows();
    http.OnIdle = nullptr;
    for (auto _ : state) {
        http.Get(site.url());
        if (!http.BodyStored() || fs::file_size(site.out()) != kSize) return state.SkipWithError("incomplete");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
    state.counters["peak_rss_mb"] = PeakRssMb();
}
BENCHMARK(BM_Download_FileDownloader)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_Download_Curl(benchmark::State& state) {
    Site& site = TheSite();
    if (!site.ok()) return state.SkipWithError("no server");
    std::string command = "curl -s -f -o '" + site.out().string() + "' " + site.url();
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) return state.SkipWithError("curl failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}
BENCHMARK(BM_Download_Curl)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
