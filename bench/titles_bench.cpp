// Loading the title database against reading the same files with plain stdio:
// three files of 20,000 entries, each sharing half its keys with the next, so
// that the merges do real work. Both sides are bound by memory bandwidth, so
// on a shared machine compare them with
//   --benchmark_filter=Title --benchmark_repetitions=10
//   --benchmark_enable_random_interleaving=true
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "online/title_file_writer.h"
#include "online/titles.h"

namespace {

namespace fs = std::filesystem;
using kumoya::testsupport::TitleFileWriter;
using kumoya::testsupport::TitleRecord;

constexpr int kFiles = 3;
constexpr int kEntriesPerFile = 20000;
constexpr int kKeyStep = kEntriesPerFile / 2;  // file n shares half its keys with file n+1

const char* const kExts[] = {"TXT", "DOC", "JPG", "PNG", "HTM", "ZIP", "LZH", "BMP", "CSV", "LOG"};

class TitleFiles {
public:
    TitleFiles() {
        std::error_code ec;
        host_ = fs::temp_directory_path(ec) / ("kumoya-bench-titles-" + std::to_string(std::random_device{}()));
        fs::create_directories(host_, ec);
        for (int n = 1; n <= kFiles; ++n) {
            TitleFileWriter w(kEntriesPerFile, 20240101, n);
            for (int i = 0; i < kEntriesPerFile; ++i) {
                int id = (n - 1) * kKeyStep + i;
                TitleRecord r;
                r.entryNo = id;
                r.title = "Program " + std::to_string(id) + " v" + std::to_string(n);
                r.fileName = ((id + n) % 2 ? "Prog" : "prog") + std::to_string(id) + ".exe";
                r.category = "Category" + std::to_string(id % 25);
                if (id % 3 == 0) r.supportUrl = "http://example.com/support/" + std::to_string(id) + "/";
                for (int e = 0; e < (id + n) % 5; ++e) r.exts.push_back(kExts[(id + n + e * 3) % 10]);
                w.Add(r);
            }
            fs::path file = host_ / ("zkv00" + std::to_string(n) + ".ttl");
            files_.push_back(file.string());
            std::FILE* out = std::fopen(file.c_str(), "wb");
            if (out) {
                std::fwrite(w.Bytes().data(), 1, w.Bytes().size(), out);
                std::fclose(out);
            }
        }
        // The program's paths are Windows paths; the host's root is drive Z:.
        folder_ = "Z:" + host_.string() + "/";
        for (char& c : folder_) {
            if (c == '/') c = '\\';
        }
    }
    ~TitleFiles() {
        std::error_code ec;
        fs::remove_all(host_, ec);
    }

    const std::string& Folder() const { return folder_; }
    const std::vector<std::string>& HostFiles() const { return files_; }

private:
    fs::path host_;
    std::string folder_;
    std::vector<std::string> files_;
};

const TitleFiles& Files() {
    static TitleFiles files;
    return files;
}

void BM_TitleDatabaseLoad(benchmark::State& state) {
    const TitleFiles& files = Files();
    for (auto _ : state) {
        kumoya::TFAllTitle db;
        int loaded = kumoya::LoadTitleDatabase(db, files.Folder());
        if (loaded != kFiles || db.Count() != (kFiles + 1) * kKeyStep) {
            state.SkipWithError("the title files did not load");
            break;
        }
        benchmark::DoNotOptimize(db.IndexOfTitle("PROG12345.EXE"));
    }
}
BENCHMARK(BM_TitleDatabaseLoad)->Unit(benchmark::kMillisecond);

// The reference: the same bytes read into memory with fread.
void BM_TitleFilesFreadReference(benchmark::State& state) {
    const TitleFiles& files = Files();
    for (auto _ : state) {
        std::size_t total = 0;
        for (const std::string& name : files.HostFiles()) {
            std::FILE* in = std::fopen(name.c_str(), "rb");
            if (!in) {
                state.SkipWithError("cannot open a title file");
                return;
            }
            std::fseek(in, 0, SEEK_END);
            long size = std::ftell(in);
            std::fseek(in, 0, SEEK_SET);
            std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
            total += std::fread(bytes.data(), 1, bytes.size(), in);
            std::fclose(in);
            benchmark::DoNotOptimize(bytes.data());
        }
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_TitleFilesFreadReference)->Unit(benchmark::kMillisecond);

// The share of the load that is not file reading: the same bytes, already in
// memory, parsed and merged.
void BM_TitleParseFromMemory(benchmark::State& state) {
    const TitleFiles& files = Files();
    std::vector<std::vector<std::uint8_t>> bytes;
    for (const std::string& name : files.HostFiles()) {
        std::FILE* in = std::fopen(name.c_str(), "rb");
        if (!in) {
            state.SkipWithError("cannot open a title file");
            return;
        }
        std::vector<std::uint8_t> data;
        std::uint8_t buffer[1 << 16];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) data.insert(data.end(), buffer, buffer + n);
        std::fclose(in);
        bytes.push_back(std::move(data));
    }
    for (auto _ : state) {
        kumoya::TFAllTitle db;
        db.LoadFirstBytes(bytes[0]);
        for (std::size_t i = 1; i < bytes.size(); ++i) db.MergeBytes(bytes[i]);
        benchmark::DoNotOptimize(db.Count());
    }
}
BENCHMARK(BM_TitleParseFromMemory)->Unit(benchmark::kMillisecond);

}  // namespace
