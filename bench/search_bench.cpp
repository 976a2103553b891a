// The program-file search against find(1) on the same generated tree: 100,000
// files in 5,000 folders (50 folders of 99 subfolders each, 20 files in
// every folder), 500 of them program files. The search runs with subfolders
// and without icons. Compare the two with
//   --benchmark_filter=ProgramSearch --benchmark_repetitions=5
//   --benchmark_enable_random_interleaving=true
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "platform/ui/headless.h"
#include "registration/search_form.h"

namespace {

namespace fs = std::filesystem;

constexpr int kTop = 50;
constexpr int kSubPerTop = 99;   // 50 + 50 * 99 = 5,000 folders
constexpr int kFilesPerFolder = 20;
constexpr int kProgramEvery = 200;  // 100,000 / 200 = 500 program files

class Tree {
public:
    Tree() {
        std::error_code ec;
        host_ = fs::temp_directory_path(ec) / ("kumoya-bench-search-" + std::to_string(std::random_device{}()));
        int n = 0;
        auto fill = [&](const fs::path& folder) {
            fs::create_directories(folder, ec);
            for (int i = 0; i < kFilesPerFolder; ++i, ++n) {
                const char* ext = n % kProgramEvery == 0 ? (n % 400 == 0 ? ".exe" : ".EXE") : (i % 2 ? ".txt" : ".dll");
                std::FILE* f = std::fopen((folder / ("file" + std::to_string(i) + ext)).c_str(), "wb");
                if (f) std::fclose(f);
            }
        };
        for (int t = 0; t < kTop; ++t) {
            fs::path top = host_ / ("top" + std::to_string(t));
            fill(top);
            for (int s = 0; s < kSubPerTop; ++s) fill(top / ("sub" + std::to_string(s)));
        }
        programs_ = n / kProgramEvery;
        folder_ = "Z:" + host_.string() + "/";
        for (char& c : folder_) {
            if (c == '/') c = '\\';
        }
    }
    ~Tree() {
        std::error_code ec;
        fs::remove_all(host_, ec);
    }
    const std::string& Folder() const { return folder_; }
    std::string Host() const { return host_.string(); }
    int Programs() const { return programs_; }

private:
    fs::path host_;
    std::string folder_;
    int programs_ = 0;
};

const Tree& TheTree() {
    static Tree tree;
    return tree;
}

void BM_ProgramSearch_SearchFolder(benchmark::State& state) {
    const Tree& tree = TheTree();
    kumoya::ui::HeadlessUi ui;
    kumoya::TfrmSearch form;
    form.LoadIcons = false;
    for (auto _ : state) {
        form.ClearList();
        form.Searching = true;
        form.SearchFolder(tree.Folder(), true);
        form.Searching = false;
        if (form.lvSearch.itemCount() != tree.Programs()) state.SkipWithError("wrong number of program files");
    }
    state.counters["found"] = form.lvSearch.itemCount();
}
BENCHMARK(BM_ProgramSearch_SearchFolder)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ProgramSearch_Find(benchmark::State& state) {
    const Tree& tree = TheTree();
    std::string command = "find '" + tree.Host() + "' -iname '*.exe' > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("find failed");
    }
}
BENCHMARK(BM_ProgramSearch_Find)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
