// Speed of stackread on full ticket pages: one with a 10-column, level-2 symbol, and pages
// without any symbol (blank, and printed text only).
#include <benchmark/benchmark.h>

#include <vector>

#include "barcode/pdf417/Stackread.h"
#include "bench/stackread/ticket_page.h"

using namespace stackread_bench;

namespace {

Page page_with_symbol(double angle) {
    stackread_test::SymbolOptions options;
    options.columns = 10;
    options.level = 2;
    std::string data =
        "TICKET 4711-0815 CENTRAL STATION - AIRPORT T2, VALID 120 MIN, ZONES 1-4, FARE 7.40 EUR, "
        "SEAT 34A CAR 12 TRAIN 1784, OPERATOR 42 TERMINAL 7, 2026-12-08 09:14:31";
    Symbol s = stackread_test::encode_pdf417(data, options);
    Placement p;
    p.module = 3;
    p.angle = angle;
    p.centerX = kPageWidth * 0.6;
    p.centerY = kPageHeight * 0.55;
    Box box = symbol_box(s, p);
    Page page(kPageWidth, kPageHeight);
    print_text(page, &box, 1);
    paint(page, s, p);
    return page;
}

void run(benchmark::State& state, const Page& page, int expected) {
    std::vector<uint8_t> out(STACKREAD_MAX_OUTPUT);
    int length = 0;
    for (auto _ : state) {
        int r = stackread(page.bytes.data(), page.width, page.height, out.data(), &length, 0);
        if (r != expected) state.SkipWithError("unexpected result");
        benchmark::DoNotOptimize(out.data());
    }
}

void BM_PageWithSymbol(benchmark::State& state) {
    static const Page page = page_with_symbol(0);
    run(state, page, 1);
}

void BM_PageWithSkewedSymbol(benchmark::State& state) {
    static const Page page = page_with_symbol(12);
    run(state, page, 1);
}

void BM_BlankPage(benchmark::State& state) {
    static const Page page(kPageWidth, kPageHeight);
    run(state, page, STACKREAD_NOT_FOUND);
}

void BM_TextPageWithoutSymbol(benchmark::State& state) {
    static const Page page = [] {
        Page p(kPageWidth, kPageHeight);
        print_text(p, nullptr, 3);
        return p;
    }();
    run(state, page, STACKREAD_NOT_FOUND);
}

}  // namespace

BENCHMARK(BM_PageWithSymbol)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageWithSkewedSymbol)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlankPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextPageWithoutSymbol)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
