// Wall time of one `ticketkit decode FILE --kind K` process, start to exit:
// the sample barcode ticket (8-bit grey, reduced by the bitmap library) and a
// 1-bit picture as the scanner saves it. The dispatcher is the real
// libdecode.so when it is built, else the stand-in (then only the command
// line's own share is measured).

#include <benchmark/benchmark.h>

#include <filesystem>

#include "run_program.h"

namespace {

bool real_decode() {
    return std::filesystem::exists(std::string(LIBRARY_DIR) + "/libdecode.so");
}

void run_decode(benchmark::State& state, const std::string& file, const char* kind) {
    const std::string dir = tktest::temp_folder("bench");
    for (auto _ : state) {
        const tktest::Outcome r = tktest::ticketkit({"decode", file, "--kind", kind}, dir, {}, real_decode());
        if (r.status > 1) state.SkipWithError(r.err.c_str());
    }
    state.SetLabel(real_decode() ? "libdecode.so" : "stand-in dispatcher");
    std::filesystem::remove_all(dir);
}

void BM_DecodeGreyBarcodeTicket(benchmark::State& state) {
    run_decode(state, std::string(SAMPLES_DIR) + "/tickets/barcode-code128-pdf417.bmp", "barcode");
}
BENCHMARK(BM_DecodeGreyBarcodeTicket)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DecodeScannedMarkSheet(benchmark::State& state) {
    // A 1-bit, full-width picture: the sample sheet turned into what the scanner saves.
    static const std::string file = [] {
        const std::string path = tktest::temp_folder("bench_sheet") + "/sheet.bmp";
        tktest::shell("convert " + std::string(SAMPLES_DIR) +
                      "/tickets/marks-answer-sheet.bmp -background black -extent 1728x1040 -sample 100%x50% "
                      "-monochrome -units PixelsPerCentimeter -density 78.75x39.38 BMP3:" +
                      path);
        return path;
    }();
    run_decode(state, file, "marks");
}
BENCHMARK(BM_DecodeScannedMarkSheet)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
