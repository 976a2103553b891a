// Loading and saving the catalogue against plain file I/O of the same bytes,
// measured in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <unistd.h>

#include "catalogue/nfile.h"
#include "platform/files.h"
#include "support/scratch_folder.h"

using namespace kumoya;

namespace {

// A catalogue of n programs in 20 categories, each program with two
// extensions, a parameter template and three history files.
struct Fixture {
    explicit Fixture(int n) : file(dir / "BENCH.dat") {
        TNFile cat(file);
        for (int c = 0; c < 20; ++c) {
            TExt e;
            e.Name = "Category " + std::to_string(c);
            e.MenuFlag = 1;
            cat.Categories.AddNew(e);
        }
        for (int x = 0; x < 200; ++x) {
            TExt e;
            e.Name = "X" + std::to_string(x);
            cat.Extensions.AddNew(e);
        }
        for (int i = 0; i < n; ++i) {
            TProg p;
            p.Path = "C:\\Program Files\\Vendor " + std::to_string(i) + "\\program" + std::to_string(i) + ".exe";
            p.Title = "Program " + std::to_string(i);
            cat.Progs.AddNew(p);
            cat.Categories.At(i % 20).AddProg(p.Id);
            cat.Extensions.At(i % 200).AddProg(p.Id);
            cat.Extensions.At((i + 7) % 200).AddProg(p.Id);
            for (int h = 0; h < 3; ++h)
                cat.AddHistory("C:\\Users\\me\\Documents\\file" + std::to_string(i) + "_" + std::to_string(h) + ".txt", p);
            THist entry;
            entry.ProgId = p.Id;
            entry.AddItemWithParam(100, "X" + std::to_string(i % 200), "-open \"%1\"");
            cat.ExtParams.AddEntry(entry);
        }
        if (cat.Save() != 0) std::abort();
        bytes = platform::ReadFileBytes(file)->size();
    }
    testsupport::ScratchFolder dir;
    std::string file;
    std::size_t bytes = 0;
};

Fixture& FixtureFor(int n) {
    static std::map<int, std::unique_ptr<Fixture>> fixtures;
    auto& f = fixtures[n];
    if (!f) f = std::make_unique<Fixture>(n);
    return *f;
}

void BM_CatalogueLoadSave(benchmark::State& state) {
    Fixture& f = FixtureFor(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TNFile cat(f.file);
        if (cat.Load() != 0 || cat.Save() != 0) state.SkipWithError("load or save failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.bytes * 2));
}

// Load alone (the start of every run), without building or destroying the
// catalogue object around it.
void BM_CatalogueLoad(benchmark::State& state) {
    Fixture& f = FixtureFor(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto cat = std::make_unique<TNFile>(f.file);
        state.ResumeTiming();
        if (cat->Load() != 0) state.SkipWithError("load failed");
        state.PauseTiming();
        cat.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.bytes));
}

// The reference for Load: read the same bytes with stdio into a buffer
// allocated once.
void BM_PlainReadSameBytes(benchmark::State& state) {
    Fixture& f = FixtureFor(static_cast<int>(state.range(0)));
    std::string host = f.file.substr(2);
    for (char& c : host)
        if (c == '\\') c = '/';
    std::vector<char> buffer(f.bytes);
    for (auto _ : state) {
        FILE* in = std::fopen(host.c_str(), "rb");
        if (!in || std::fread(buffer.data(), 1, buffer.size(), in) != buffer.size()) std::abort();
        std::fclose(in);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.bytes));
}

// The reference: read the same file with stdio, write the same number of
// bytes to a new file, flush it to disk and rename it into place, as a save
// that cannot lose the old file must.
void BM_PlainReadWriteSameBytes(benchmark::State& state) {
    Fixture& f = FixtureFor(static_cast<int>(state.range(0)));
    std::string host = f.file.substr(2);  // Z:\tmp\... on this system
    for (char& c : host)
        if (c == '\\') c = '/';
    std::vector<char> buffer(f.bytes);
    for (auto _ : state) {
        FILE* in = std::fopen(host.c_str(), "rb");
        if (!in || std::fread(buffer.data(), 1, buffer.size(), in) != buffer.size()) std::abort();
        std::fclose(in);
        std::string temp = host + ".plain";
        FILE* out = std::fopen(temp.c_str(), "wb");
        if (!out || std::fwrite(buffer.data(), 1, buffer.size(), out) != buffer.size()) std::abort();
        std::fflush(out);
        fsync(fileno(out));
        std::fclose(out);
        std::rename(temp.c_str(), (host + ".copy").c_str());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.bytes * 2));
}

void BM_AddNewOnLargeCatalogue(benchmark::State& state) {
    Fixture& f = FixtureFor(static_cast<int>(state.range(0)));
    TNFile cat(f.file);
    if (cat.Load() != 0) std::abort();
    TProg p;
    p.Path = "C:\\new.exe";
    for (auto _ : state) {
        if (cat.Progs.AddNew(p) != 0) state.SkipWithError("AddNew failed");
    }
}

}  // namespace

BENCHMARK(BM_CatalogueLoad)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainReadSameBytes)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CatalogueLoadSave)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainReadWriteSameBytes)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddNewOnLargeCatalogue)->Arg(100000)->Unit(benchmark::kMicrosecond);
