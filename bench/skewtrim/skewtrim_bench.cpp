// ImageSkewtrim on a rendered 1728 x 2400 ticket turned by 3 degrees: the whole
// straightening (measurement and resampling), one thread unless the name ends
// in Threads (then the library's rule, SKEWTRIM_THREADS included).
#include <benchmark/benchmark.h>

#include "imaging/bitmap.h"
#include "imaging/outline.h"
#include "imaging/resample.h"
#include "imaging/straighten.h"
#include "imaging/tests/ticket_render.h"

namespace {

Bitmap& ticket(int bitCount) {
    static Bitmap grey{};
    static Bitmap bw{};
    Bitmap& bmp = bitCount == 1 ? bw : grey;
    if (bmp.bits == nullptr) {
        skewtrim::testing::TicketScene scene;  // 1728 x 2400, paper 1300 x 1800
        scene.degrees = 3.0;
        bmp = skewtrim::testing::render_ticket(scene, bitCount);
    }
    return bmp;
}

// `threads`: 1, or 0 for the library's rule.
void straighten(benchmark::State& state, int bitCount, int mode, int threads = 1) {
    const Bitmap& src = ticket(bitCount);
    skewtrim::set_resample_threads_for_testing(threads);
    for (auto _ : state) {
        Bitmap out{};
        if (skewtrim::straighten(&src, mode, 0, 1, &out) != skewtrim::kOk) {
            state.SkipWithError("straightening failed");
            break;
        }
        benchmark::DoNotOptimize(out.bits);
        skewtrim::bitmap_done(&out);
    }
    skewtrim::set_resample_threads_for_testing(0);
}

// The measurement alone (outline, angle, size and mask), without resampling.
void measure(benchmark::State& state, int bitCount) {
    const Bitmap& src = ticket(bitCount);
    for (auto _ : state) {
        skewtrim::StraightenPlan plan;
        if (skewtrim::measure_paper(src, 0, 1, plan) != skewtrim::kOk) {
            state.SkipWithError("measurement failed");
            break;
        }
        benchmark::DoNotOptimize(plan.theta);
    }
}

void BM_Grey_MeasureOnly(benchmark::State& state) {
    measure(state, 8);
}
void BM_BlackWhite_MeasureOnly(benchmark::State& state) {
    measure(state, 1);
}
void BM_Grey_Bicubic(benchmark::State& state) {
    straighten(state, 8, 1);
}
void BM_Grey_Bilinear(benchmark::State& state) {
    straighten(state, 8, 2);
}
void BM_Grey_Nearest(benchmark::State& state) {
    straighten(state, 8, 3);
}
void BM_BlackWhite(benchmark::State& state) {
    straighten(state, 1, 1);
}

void BM_Grey_Bicubic_Threads(benchmark::State& state) {
    straighten(state, 8, 1, 0);
}
void BM_Grey_Nearest_Threads(benchmark::State& state) {
    straighten(state, 8, 3, 0);
}

}  // namespace

BENCHMARK(BM_Grey_MeasureOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlackWhite_MeasureOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Grey_Bicubic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Grey_Bilinear)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Grey_Nearest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlackWhite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Grey_Bicubic_Threads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Grey_Nearest_Threads)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
