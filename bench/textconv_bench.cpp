// Shift_JIS -> JIS and Shift_JIS -> EUC-JP over 10 MB of mixed Japanese text,
// against the C library's iconv(3) converting the same text in the same run.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "textconv/pzconv.h"
#include "textconv/sample_text.h"

namespace {

const std::string& Text() {
    static const std::string text = kumoya::testsupport::JapaneseSampleText(10 * 1024 * 1024);
    return text;
}

// The whole text through one iconv descriptor into `out`; answers the
// number of bytes written, or aborts the run if iconv refuses the text.
std::size_t IconvConvert(iconv_t cd, const std::string& in, std::vector<char>& out) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1) ||
        iconv(cd, nullptr, nullptr, &dst, &dstLeft) == static_cast<std::size_t>(-1)) {
        std::fprintf(stderr, "iconv failed: errno %d\n", errno);
        std::abort();
    }
    return out.size() - dstLeft;
}

void RunIconv(benchmark::State& state, const char* to, std::string (kumoya::TPzConv::*ours)(std::string_view) const) {
    const std::string& text = Text();
    iconv_t cd = iconv_open(to, "SHIFT_JIS");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        state.SkipWithError("iconv_open failed");
        return;
    }
    std::vector<char> out(text.size() * 4 + 16);
    // Both sides must produce the same bytes, or the comparison means nothing.
    const kumoya::TPzConv conv;
    const std::string expected = (conv.*ours)(text);
    if (std::string(out.data(), IconvConvert(cd, text, out)) != expected) {
        state.SkipWithError("iconv and TPzConv disagree on the text");
        iconv_close(cd);
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(IconvConvert(cd, text, out));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    iconv_close(cd);
}

void RunOurs(benchmark::State& state, std::string (kumoya::TPzConv::*ours)(std::string_view) const) {
    const std::string& text = Text();
    const kumoya::TPzConv conv;
    for (auto _ : state) {
        std::string out = (conv.*ours)(text);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_SJisToJis_TPzConv(benchmark::State& state) { RunOurs(state, &kumoya::TPzConv::SJisToJis); }
void BM_SJisToJis_iconv(benchmark::State& state) { RunIconv(state, "ISO-2022-JP", &kumoya::TPzConv::SJisToJis); }
void BM_SJisToEuc_TPzConv(benchmark::State& state) { RunOurs(state, &kumoya::TPzConv::SJisToEuc); }
void BM_SJisToEuc_iconv(benchmark::State& state) { RunIconv(state, "EUC-JP", &kumoya::TPzConv::SJisToEuc); }

}  // namespace

BENCHMARK(BM_SJisToJis_TPzConv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SJisToJis_iconv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SJisToEuc_TPzConv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SJisToEuc_iconv)->Unit(benchmark::kMillisecond);
