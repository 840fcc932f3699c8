// The kit's straightening beside OpenCV's cv::warpAffine on the same image in
// the same process: an 8-bit 1728 x 2400 scan of a 1300 x 1800 ticket turned
// 3 degrees. The kit measures the paper and resamples it; warpAffine only
// resamples, with the measured angle, centre and output size given. Both run
// on one thread unless a benchmark's name says otherwise (then the kit splits
// its rows by its own rule, SKEWTRIM_THREADS included, and OpenCV uses its
// default threading); the counter `per_px` is the time per output pixel.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "imaging/bitmap.h"
#include "imaging/outline.h"
#include "imaging/resample.h"
#include "imaging/straighten.h"
#include "imaging/tests/ticket_render.h"

namespace {

struct Scene {
    Bitmap src{};
    skewtrim::StraightenPlan plan;
};

const Scene& scene() {
    static const Scene s = [] {
        Scene made;
        skewtrim::testing::TicketScene ticket;  // 1728 x 2400, paper 1300 x 1800
        ticket.degrees = 3.0;
        made.src = skewtrim::testing::render_ticket(ticket, 8);
        if (skewtrim::measure_paper(made.src, 0, 1, made.plan) != skewtrim::kOk) {
            std::abort();
        }
        return made;
    }();
    return s;
}

void per_pixel(benchmark::State& state) {
    const auto& plan = scene().plan;
    state.counters["per_px"] =
        benchmark::Counter(static_cast<double>(plan.width) * plan.height,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The kit's whole straightening: measurement and resampling, on `threads`
// threads (0: the library's rule).
void kit(benchmark::State& state, int mode, int threads = 1) {
    const Scene& s = scene();
    skewtrim::set_resample_threads_for_testing(threads);
    for (auto _ : state) {
        Bitmap out{};
        if (skewtrim::straighten(&s.src, mode, 0, 1, &out) != skewtrim::kOk) {
            state.SkipWithError("straightening failed");
            break;
        }
        benchmark::DoNotOptimize(out.bits);
        skewtrim::bitmap_done(&out);
    }
    skewtrim::set_resample_threads_for_testing(0);
    per_pixel(state);
}

// warpAffine with the kit's plan: output pixel (i, j) samples the source at
// cx + u cos + v sin, cy - u sin + v cos, u and v measured from the output's middle.
void opencv(benchmark::State& state, int interpolation, int threads) {
    const Scene& s = scene();
    const auto& p = s.plan;
    const cv::Mat src(s.src.height, s.src.width, CV_8UC1, s.src.bits, static_cast<size_t>(s.src.stride));
    const double c = std::cos(p.theta);
    const double n = std::sin(p.theta);
    const double hu = (p.width - 1) / 2;
    const double hv = (p.height - 1) / 2;
    const cv::Matx23d toSource(c, n, p.cx - c * hu - n * hv, -n, c, p.cy + n * hu - c * hv);
    const int before = cv::getNumThreads();
    cv::setNumThreads(threads);
    cv::Mat out;
    for (auto _ : state) {
        cv::warpAffine(src, out, toSource, cv::Size(p.width, p.height), interpolation | cv::WARP_INVERSE_MAP,
                       cv::BORDER_CONSTANT, cv::Scalar(255));
        benchmark::DoNotOptimize(out.data);
    }
    cv::setNumThreads(before);
    per_pixel(state);
}

void BM_Kit_Bicubic(benchmark::State& state) {
    kit(state, skewtrim::kBicubic);
}
void BM_OpenCV_Bicubic(benchmark::State& state) {
    opencv(state, cv::INTER_CUBIC, 1);
}
void BM_Kit_Bilinear(benchmark::State& state) {
    kit(state, skewtrim::kBilinear);
}
void BM_OpenCV_Bilinear(benchmark::State& state) {
    opencv(state, cv::INTER_LINEAR, 1);
}
void BM_Kit_Nearest(benchmark::State& state) {
    kit(state, skewtrim::kNearest);
}
void BM_OpenCV_Nearest(benchmark::State& state) {
    opencv(state, cv::INTER_NEAREST, 1);
}
// The kit with its own threading and OpenCV with its default threading.
void BM_Kit_Bicubic_DefaultThreads(benchmark::State& state) {
    kit(state, skewtrim::kBicubic, 0);
}
void BM_Kit_Bilinear_DefaultThreads(benchmark::State& state) {
    kit(state, skewtrim::kBilinear, 0);
}
void BM_Kit_Nearest_DefaultThreads(benchmark::State& state) {
    kit(state, skewtrim::kNearest, 0);
}
void BM_OpenCV_Bicubic_DefaultThreads(benchmark::State& state) {
    opencv(state, cv::INTER_CUBIC, -1);
}
void BM_OpenCV_Bilinear_DefaultThreads(benchmark::State& state) {
    opencv(state, cv::INTER_LINEAR, -1);
}
void BM_OpenCV_Nearest_DefaultThreads(benchmark::State& state) {
    opencv(state, cv::INTER_NEAREST, -1);
}

}  // namespace

BENCHMARK(BM_Kit_Bicubic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenCV_Bicubic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Kit_Bilinear)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenCV_Bilinear)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Kit_Nearest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenCV_Nearest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Kit_Bicubic_DefaultThreads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenCV_Bicubic_DefaultThreads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Kit_Bilinear_DefaultThreads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenCV_Bilinear_DefaultThreads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Kit_Nearest_DefaultThreads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenCV_Nearest_DefaultThreads)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
