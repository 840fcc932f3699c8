// Decode of a full-width barcode ticket (a Code 128 and a PDF417 symbol, 1728 x 1200 at 8 lines/mm;
// goal 5 ms) and of a handwritten answer sheet (goal 35 ms), one thread.

#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zint.h>

#include <cstdio>
#include <string>

#include "decode/Decode.h"
#include "platform/dynamic_library.h"
#include "tickets.h"

namespace {

using DecodeFn = int (*)(uint8_t*, int, int, int*, int*, char*);

DecodeFn bound_decode() {
    static platform::DynamicLibrary lib;
    static DecodeFn fn = nullptr;
    if (fn == nullptr && lib.open("decode.dll")) fn = lib.resolve<DecodeFn>("Decode");
    return fn;
}

void run(benchmark::State& state, decode_test::Ticket& ticket, int kind, int linesPerMm) {
    const DecodeFn fn = bound_decode();
    if (fn == nullptr) {
        state.SkipWithError("libdecode.so not found");
        return;
    }
    char text[DECODE_TEXT_CAPACITY];
    int out = linesPerMm;
    if (fn(ticket.data(), ticket.width, ticket.height, &kind, &out, text) != 1) {
        state.SkipWithError("the ticket does not read");
        return;
    }
    for (auto _ : state) {
        out = linesPerMm;
        benchmark::DoNotOptimize(fn(ticket.data(), ticket.width, ticket.height, &kind, &out, text));
    }
    state.SetLabel(std::to_string(ticket.width) + "x" + std::to_string(ticket.height));
}

void BM_BarcodeTicket(benchmark::State& state) {
    const int lines = static_cast<int>(state.range(0));
    decode_test::Ticket eight = decode_test::blank_ticket();
    decode_test::add_linear(eight, BARCODE_CODE128, "TQ-RMX7 0042", 500, 250);
    decode_test::add_pdf417(eight, "PASSENGER DOE/JANE FLIGHT TQ417 GATE B7 SEAT 14C", 1100, 800);
    decode_test::Ticket t = decode_test::at_lines_per_mm(eight, lines);
    run(state, t, DECODE_KIND_BARCODES, lines);
}
BENCHMARK(BM_BarcodeTicket)->Arg(8)->Arg(4)->Unit(benchmark::kMillisecond);

void BM_HandwrittenSheet(benchmark::State& state) {
    const int lines = static_cast<int>(state.range(0));
    const std::string formatFile = "decode-bench-" + std::to_string(getpid()) + ".txt";
    decode_test::Ticket t = decode_test::handwritten_ticket(lines, formatFile);
    run(state, t, DECODE_KIND_HANDWRITTEN_MARKS, lines);
    std::remove(formatFile.c_str());
}
BENCHMARK(BM_HandwrittenSheet)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
