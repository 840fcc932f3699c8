// OMReadSP on a 1728 x 1200 scan (mode 2) of a sheet with a 10 x 8 block of printed
// marks: upright, turned a quarter, and a sheet no form fits (read, turned, read again);
// and the upright read followed by OMReadLayoutSP, which works out where the cells lay.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kit/MarkLayout.h"
#include "platform/dynamic_library.h"

namespace {

using OMReadSPFn = int (*)(const std::uint8_t*, int*, int, int, int, int, char*);
using OMReadLayoutSPFn = int (*)(MarkLayout*);

constexpr int kWidth = 1728, kHeight = 1200, kDpm = 8;
constexpr int kColumns = 10, kRows = 8;

struct Raster {
    int width, height;
    std::vector<std::uint8_t> px;  // 1 light, 0 dark
    void fill(int x0, int y0, int x1, int y1, std::uint8_t v) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) px[static_cast<std::size_t>(y) * width + x] = v;
    }
};

// Paper on a dark background; marks 2.5 x 1.5 mm at uneven pitches; about a third blank.
Raster sheet() {
    Raster r{kWidth, kHeight, std::vector<std::uint8_t>(static_cast<std::size_t>(kWidth) * kHeight, 0)};
    r.fill(40, 40, kWidth - 40, kHeight - 40, 1);
    const double colPitch[kColumns - 1] = {5, 5, 8, 5, 5, 6, 5, 5, 5};
    const double rowPitch[kRows - 1] = {4, 4, 7, 4, 4, 5, 4};
    double y = 60;
    for (int row = 0; row < kRows; ++row) {
        double x = 70;
        for (int c = 0; c < kColumns; ++c) {
            const bool printed = row == 0 || ((row * 7 + c * 5) % 3 != 0);
            const int x0 = 40 + static_cast<int>(x * kDpm + 0.5), y0 = 40 + static_cast<int>(y * kDpm + 0.5);
            if (printed) r.fill(x0, y0, x0 + 20, y0 + 12, 0);
            if (c < kColumns - 1) x += colPitch[c];
        }
        if (row < kRows - 1) y += rowPitch[row];
    }
    // Some print beside the block: a line of text-sized specks and a rule.
    for (int i = 0; i < 40; ++i) r.fill(900 + i * 14, 300, 900 + i * 14 + 6, 300 + 9, 0);
    r.fill(100, 900, 1600, 904, 0);
    return r;
}

Raster turned(const Raster& s) {
    Raster out{s.height, s.width, std::vector<std::uint8_t>(s.px.size(), 1)};
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            out.px[static_cast<std::size_t>(x) * out.width + (s.height - 1 - y)] =
                s.px[static_cast<std::size_t>(y) * s.width + x];
    return out;
}

std::vector<std::uint8_t> pack(const Raster& r) {
    const int stride = (r.width + 7) / 8;
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(stride) * r.height, 0);
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x)
            if (r.px[static_cast<std::size_t>(y) * r.width + x])
                rows[static_cast<std::size_t>(y) * stride + x / 8] |=
                    static_cast<std::uint8_t>(0x80 >> (x % 8));
    return rows;
}

std::string write_forms(const char* name, const std::string& forms) {
    const std::string path = std::string("/tmp/") + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f != nullptr) {
        std::fwrite(forms.data(), 1, forms.size(), f);
        std::fclose(f);
    }
    return path;
}

const std::string kForm =
    "*10 x 8 block, top row full     \n1 2 1\n2.5 1.5 8 10\n0 4 4 7 4 4 5 4\n0 5 5 8 5 5 6 5 5 5\n0 0\n*";
const std::string kOtherForm = "*12 x 8 block, top row full     \n1 2 1\n2.5 1.5 8 12\n1 4\n1 5\n0 0\n*";

void run(benchmark::State& state, const Raster& r, const std::string& forms, bool mustFit,
         bool withLayout = false) {
    platform::DynamicLibrary lib;
    if (!lib.open("Typemark.dll")) {
        state.SkipWithError("libTypemark.so not found");
        return;
    }
    const auto omread = lib.resolve<OMReadSPFn>("OMReadSP");
    const auto readLayout = lib.resolve<OMReadLayoutSPFn>("OMReadLayoutSP");
    if (withLayout && readLayout == nullptr) {
        state.SkipWithError("OMReadLayoutSP not found");
        return;
    }
    std::vector<MarkCell> cells(kRows * kColumns);
    std::vector<MarkGuide> guides(kColumns);
    MarkLayout layout{};
    setenv("FMTFILESPPATH", write_forms("typemark_bench_forms.txt", forms).c_str(), 1);
    const auto rows = pack(r);
    char result[256];
    for (auto _ : state) {
        int selector = 0;
        const int ok = omread(rows.data(), &selector, 1, r.width, r.height, 2, result);
        if (ok != (mustFit ? 1 : 0)) {
            state.SkipWithError("unexpected read result");
            break;
        }
        if (withLayout) {
            layout = MarkLayout{};
            layout.cells = cells.data();
            layout.cellCapacity = static_cast<int>(cells.size());
            layout.guides = guides.data();
            layout.guideCapacity = static_cast<int>(guides.size());
            if (readLayout(&layout) != 1) {
                state.SkipWithError("no layout");
                break;
            }
        }
        benchmark::DoNotOptimize(result);
    }
}

void BM_OMReadSP_Upright(benchmark::State& state) {
    run(state, sheet(), kForm, true);
}
void BM_OMReadSP_UprightThenLayout(benchmark::State& state) {
    run(state, sheet(), kForm, true, true);
}
void BM_OMReadSP_QuarterTurned(benchmark::State& state) {
    run(state, turned(sheet()), kForm, true);
}
void BM_OMReadSP_NoFitWithQuarterTurnRetry(benchmark::State& state) {
    run(state, sheet(), kOtherForm, false);
}

BENCHMARK(BM_OMReadSP_Upright)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_OMReadSP_UprightThenLayout)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_OMReadSP_QuarterTurned)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_OMReadSP_NoFitWithQuarterTurnRetry)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
