// Speed of the Stripescan export on a ticket-sized 1-bit page (1728 x 1200), all eight
// symbologies requested, both passes. The last two pages are dirty: a ticket salted as a local
// threshold or dusty glass leaves it, and a page of nothing but noise (a dark, grainy scan),
// where every run of a few specks can look like the start of a symbol.

#include <benchmark/benchmark.h>
#include <zint.h>

#include <random>
#include <vector>

#include "barcode/linear/tests/symbol_page.h"

using namespace stripescan::testing;

namespace {

std::vector<SymbologySetting> all_symbologies() {
    std::vector<SymbologySetting> all;
    for (int s = 1; s <= 8; ++s) all.push_back(setting(s));
    return all;
}

void run(benchmark::State& state, Page& page, int expected) {
    std::vector<SymbologySetting> settings = all_symbologies();
    Bitmap bitmap = page.bitmap();
    DecodeRequest request{settings.data(), static_cast<int32_t>(settings.size()), 0, 3, 8};
    for (auto _ : state) {
        BarcodeResultList list{};
        Stripescan(&bitmap, &request, &list);
        if (list.count != expected) state.SkipWithError("unexpected number of symbols");
        FreeBarcodeResultMem(&list);
    }
}

void BM_EmptyPage(benchmark::State& state) {
    Page page;
    run(state, page, 0);
}
BENCHMARK(BM_EmptyPage)->Unit(benchmark::kMillisecond);

void BM_OneCode128(benchmark::State& state) {
    Page page;
    ModuleImage symbol;
    encode(BARCODE_CODE128, "TKT-2026-0001234", symbol);
    page.paint(symbol, Placement{864, 600, 3, 0});
    run(state, page, 1);
}
BENCHMARK(BM_OneCode128)->Unit(benchmark::kMillisecond);

void BM_OneCode128Skewed(benchmark::State& state) {
    Page page;
    ModuleImage symbol;
    encode(BARCODE_CODE128, "TKT-2026-0001234", symbol);
    page.paint(symbol, Placement{864, 600, 3, 20});
    run(state, page, 1);
}
BENCHMARK(BM_OneCode128Skewed)->Unit(benchmark::kMillisecond);

// A ticket: lines of printed text all over the page and one Code 128 symbol among them.
void draw_ticket(Page& page) {
    for (int y = 40; y < 1160; y += 48) {
        if (y > 480 && y < 720) continue;
        page.text("TICKET 0042 SEAT 14C ROW 7 GATE B-12 DEPARTURE 10:35", 40, y, 3);
    }
    ModuleImage symbol;
    encode(BARCODE_CODE128, "TKT-2026-0001234", symbol);
    page.paint(symbol, Placement{864, 600, 3, 0});
}

void BM_TicketWithText(benchmark::State& state) {
    Page page;
    draw_ticket(page);
    run(state, page, 1);
}
BENCHMARK(BM_TicketWithText)->Unit(benchmark::kMillisecond);

void BM_FourSymbologies(benchmark::State& state) {
    Page page;
    ModuleImage a, b, c, d;
    encode(BARCODE_CODE128, "TKT-2026-0001234", a);
    encode(BARCODE_EANX, "400638133393", b);
    encode(BARCODE_CODE39, "SEAT 14C", c);
    encode(BARCODE_C25INTER, "12345678", d);
    page.paint(a, Placement{450, 300, 3, 0});
    page.paint(b, Placement{1250, 300, 3, 0});
    page.paint(c, Placement{450, 850, 3, 0});
    page.paint(d, Placement{1250, 850, 3, 0});
    run(state, page, 4);
}
BENCHMARK(BM_FourSymbologies)->Unit(benchmark::kMillisecond);

// Sets `share` of the page's pixels black at random (fixed seed).
void salt(Page& page, double share) {
    std::mt19937 rng(2026);
    std::bernoulli_distribution dirty(share);
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (dirty(rng)) page.set_black(x, y);
}

void BM_SaltedTicket(benchmark::State& state) {
    Page page;
    draw_ticket(page);
    salt(page, 0.01);
    run(state, page, 1);
}
BENCHMARK(BM_SaltedTicket)->Unit(benchmark::kMillisecond);

// Black pixels in per cent: a light grain, and a page of salt and pepper.
void BM_NoisePage(benchmark::State& state) {
    Page page;
    salt(page, static_cast<double>(state.range(0)) / 100.0);
    run(state, page, 0);
}
BENCHMARK(BM_NoisePage)->Arg(5)->Arg(50)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
