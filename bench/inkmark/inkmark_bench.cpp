// OMRead of a 1728 x 1800 scan (scan mode 2) of a sheet with a 10 x 20 grid,
// lying turned by 1.5 degrees on the dark scanner bed; straightening included. Beside it the
// layout hand-out, and the straightening map the layout asks for to carry itself back.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "kit/MarkLayout.h"
#include "marks/handwritten/Inkmark.h"
#include "marks/handwritten/tests/answer_sheet.h"
#include "platform/dynamic_library.h"

namespace {

using Front = int (*)(const std::uint8_t*, int*, int, int, int, int, char*);
using LayoutFn = int (*)(MarkLayout*);
using MapFn = int (*)(const std::uint8_t*, int, int, int, int, double*, int*, int*);

struct Fixture {
    platform::DynamicLibrary library;
    Front omRead = nullptr;
    LayoutFn omReadLayout = nullptr;
    inktest::Scan scan;
    std::string expected;

    Fixture() {
        inktest::AnswerSheet a;
        a.rows = 20;
        a.columns = 10;
        a.width = 200;
        a.height = 210;
        a.columnPitch = 17;
        std::vector<std::string> answers;
        for (int r = 0; r < a.rows; ++r) {
            std::string row(10, '.');
            row[static_cast<std::size_t>(r % 10)] = '#';
            answers.push_back(row);
        }
        inktest::use_format_file("bench_forms.txt", a.form("0.5") + "*");
        inktest::ScanSetup setup;
        setup.degrees = 1.5;
        setup.width = 1728;
        setup.height = 1800;
        scan = inktest::scan(a.draw(answers), setup);
        expected = "0200";
        for (const std::string& row : answers) {
            expected += ",";
            for (char ch : row) expected += ch == '#' ? '1' : '0';
        }
        if (library.open("Inkmark.dll")) {
            omRead = library.resolve<Front>("OMRead");
            omReadLayout = library.resolve<LayoutFn>("OMReadLayout");
        }
    }
};

void BM_OMRead_1728x1800_Mode2_Grid10x20(benchmark::State& state) {
    static Fixture f;
    if (f.omRead == nullptr) {
        state.SkipWithError("Inkmark.dll not loaded");
        return;
    }
    std::vector<char> result(10240, 0);
    for (auto _ : state) {
        int selector = 0;
        const int ok =
            f.omRead(f.scan.rows.data(), &selector, 1, f.scan.width, f.scan.height, 2, result.data());
        benchmark::DoNotOptimize(ok);
        if (ok != 1 || f.expected != result.data()) {
            state.SkipWithError("sheet not read as drawn");
            return;
        }
    }
}
BENCHMARK(BM_OMRead_1728x1800_Mode2_Grid10x20)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Handing out the layout of that read (200 cells, 31 timing marks) into buffers with room.
void BM_OMReadLayout_Grid10x20(benchmark::State& state) {
    static Fixture f;
    if (f.omRead == nullptr || f.omReadLayout == nullptr) {
        state.SkipWithError("Inkmark.dll or OMReadLayout missing");
        return;
    }
    std::vector<char> result(10240, 0);
    int selector = 0;
    if (f.omRead(f.scan.rows.data(), &selector, 1, f.scan.width, f.scan.height, 2, result.data()) != 1) {
        state.SkipWithError("sheet not read");
        return;
    }
    std::vector<MarkCell> cells(512);
    std::vector<MarkGuide> guides(128);
    for (auto _ : state) {
        MarkLayout layout{};
        layout.cells = cells.data();
        layout.cellCapacity = static_cast<int>(cells.size());
        layout.guides = guides.data();
        layout.guideCapacity = static_cast<int>(guides.size());
        benchmark::DoNotOptimize(f.omReadLayout(&layout));
    }
}
BENCHMARK(BM_OMReadLayout_Grid10x20)->Unit(benchmark::kMicrosecond);

// A read followed by its layout: the read plus the straightening map the first OMReadLayout
// measures.
void BM_OMReadThenLayout_Grid10x20(benchmark::State& state) {
    static Fixture f;
    if (f.omRead == nullptr || f.omReadLayout == nullptr) {
        state.SkipWithError("Inkmark.dll or OMReadLayout missing");
        return;
    }
    std::vector<char> result(10240, 0);
    std::vector<MarkCell> cells(512);
    std::vector<MarkGuide> guides(128);
    for (auto _ : state) {
        int selector = 0;
        const int ok =
            f.omRead(f.scan.rows.data(), &selector, 1, f.scan.width, f.scan.height, 2, result.data());
        MarkLayout layout{};
        layout.cells = cells.data();
        layout.cellCapacity = static_cast<int>(cells.size());
        layout.guides = guides.data();
        layout.guideCapacity = static_cast<int>(guides.size());
        if (ok != 1 || f.omReadLayout(&layout) != 1) {
            state.SkipWithError("sheet or layout not read");
            return;
        }
    }
}
BENCHMARK(BM_OMReadThenLayout_Grid10x20)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// What the first OMReadLayout after a straightened read spends asking the straightening library
// where it moved the pixels, on a
// picture of about the working image's size.
void BM_SkewtrimMap_1728x1800(benchmark::State& state) {
    static Fixture f;
    platform::DynamicLibrary skewtrim;
    MapFn map = skewtrim.open("Skewtrim.dll") ? skewtrim.resolve<MapFn>("SkewtrimMap") : nullptr;
    if (map == nullptr) {
        state.SkipWithError("SkewtrimMap missing");
        return;
    }
    double m[6];
    int w = 0, h = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(map(f.scan.rows.data(), f.scan.width, f.scan.height, 1, 90, m, &w, &h));
    }
}
BENCHMARK(BM_SkewtrimMap_1728x1800)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
