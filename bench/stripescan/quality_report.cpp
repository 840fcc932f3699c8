// Decode-quality report: symbols of all eight symbologies drawn by libzint on full ticket pages
// with printed text around them, at skews from 0 to 45 degrees (either way, sometimes upside
// down) and module widths of 2 to 4 pixels. Every page is read with all eight symbologies
// requested; a read counts when exactly the drawn symbol is reported with exactly its text.
//
// Usage: stripescan_quality [symbols per symbology (default 60)] [seed] [-v] [--save first.bmp]
//   -v       list every symbol missed or misread
//   --save   write the first generated page as a BMP file
//   --misses write every page with a missed or wrong symbol as miss_<n>.bmp into this folder
//   --rough  flip each pixel next to an edge with this probability in per cent (ragged print)

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "barcode/linear/tests/symbol_page.h"

using namespace stripescan::testing;

namespace {

constexpr const char* kNames[9] = {"",      "Code 128", "Code 93", "EAN-13", "EAN-8",
                                   "UPC-E", "Code 39",  "Codabar", "ITF"};
constexpr int kSkewBuckets = 10;  // 0, 5, ..., 45 degrees

struct Tally {
    int total = 0;
    int read = 0;
    int wrong = 0;
};

std::string random_words(std::mt19937& rng, int letters) {
    static const char alphabet[] = "ABCDEHIKLMNOPRSTUWXY0123456789-:./";
    std::string s;
    for (int i = 0; i < letters; ++i) {
        s.push_back((i % 7 == 6) ? ' ' : alphabet[rng() % (sizeof(alphabet) - 1)]);
    }
    return s;
}

// Printed text on the page everywhere outside the keep-out box around the symbol.
void print_text(Page& page, std::mt19937& rng, double x0, double y0, double x1, double y1) {
    for (int y = 40; y + 30 < page.height(); y += 40 + static_cast<int>(rng() % 30)) {
        const int scale = 2 + static_cast<int>(rng() % 2);
        const int height = 7 * scale;
        int x = 30 + static_cast<int>(rng() % 60);
        while (x < page.width() - 200) {
            const int letters = 6 + static_cast<int>(rng() % 20);
            const int width = letters * 6 * scale;
            const bool clear = y + height < y0 || y > y1 || x + width < x0 || x > x1;
            if (clear && x + width < page.width() - 20) page.text(random_words(rng, letters), x, y, scale);
            x += width + 40 + static_cast<int>(rng() % 80);
        }
    }
}

// Ragged edges: every pixel with a neighbour of the other colour flips with `percent` chance.
void roughen(Page& page, std::mt19937& rng, int percent) {
    std::vector<std::pair<int, int>> flips;
    for (int y = 0; y + 1 < page.height(); ++y) {
        for (int x = 0; x + 1 < page.width(); ++x) {
            const bool b = page.black(x, y);
            if ((b != page.black(x + 1, y) || b != page.black(x, y + 1)) &&
                static_cast<int>(rng() % 100) < percent) {
                flips.emplace_back(x, y);
            }
        }
    }
    for (auto [x, y] : flips) {
        if (page.black(x, y))
            page.set_white(x, y);
        else
            page.set_black(x, y);
    }
}

}  // namespace

int main(int argc, char** argv) {
    int perSymbology = 60;
    unsigned seed = 20261208;
    bool verbose = false;
    const char* save = nullptr;
    std::string misses;
    int rough = 0;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-v") == 0)
            verbose = true;
        else if (std::strcmp(argv[i], "--save") == 0 && i + 1 < argc)
            save = argv[++i];
        else if (std::strcmp(argv[i], "--misses") == 0 && i + 1 < argc)
            misses = argv[++i];
        else if (std::strcmp(argv[i], "--rough") == 0 && i + 1 < argc)
            rough = std::atoi(argv[++i]);
        else if (positional++ == 0)
            perSymbology = std::atoi(argv[i]);
        else
            seed = static_cast<unsigned>(std::atoi(argv[i]));
    }
    std::mt19937 rng(seed);
    std::vector<SymbologySetting> all;
    for (int s = 1; s <= 8; ++s) all.push_back(setting(s));

    std::map<int, Tally> bySymbology;
    std::map<int, Tally> bySkew;
    std::map<int, Tally> byModule;
    Tally overall;
    for (int n = 0; n < perSymbology; ++n) {
        for (int symbology = 1; symbology <= 8; ++symbology) {
            const int bucket = (n + symbology) % kSkewBuckets;
            const double skew = bucket * 5.0 + (bucket == 0 ? 0.0 : (rng() % 100) / 100.0 * 4.0 - 2.0);
            const int module = 2 + static_cast<int>((n / kSkewBuckets + symbology) % 3);
            double angle = (rng() % 2 ? skew : -skew);
            if (rng() % 4 == 0) angle += 180.0;
            const std::string payload = random_payload(symbology, rng);
            ModuleImage symbol;
            if (!encode(zint_symbology_for(symbology), payload, symbol)) {
                std::fprintf(stderr, "zint refused %s \"%s\"\n", kNames[symbology], payload.c_str());
                return 2;
            }
            Page page;
            const double cx = 500 + rng() % 700;
            const double cy = 450 + rng() % 300;
            const std::vector<double> c = page.paint(symbol, Placement{cx, cy, double(module), angle});
            double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
            for (int i = 0; i < 4; ++i) {
                x0 = std::min(x0, c[2 * i]);
                x1 = std::max(x1, c[2 * i]);
                y0 = std::min(y0, c[2 * i + 1]);
                y1 = std::max(y1, c[2 * i + 1]);
            }
            const double margin = 12.0 * module;  // the quiet zone and a little more
            print_text(page, rng, x0 - margin, y0 - margin, x1 + margin, y1 + margin);

            if (rough > 0) roughen(page, rng, rough);
            if (save) {
                Bitmap b = page.bitmap();
                SaveBimapToFile(&b, save);
                save = nullptr;
            }
            const auto reads = decode(page, all);
            const std::string want = expected_text(symbology, payload);
            bool ok = false;
            bool wrong = false;
            for (const Read& r : reads) {
                if (r.symbology == symbology && r.text == want)
                    ok = true;
                else
                    wrong = true;
            }
            for (Tally* t : {&bySymbology[symbology], &bySkew[bucket * 5], &byModule[module], &overall}) {
                ++t->total;
                t->read += ok ? 1 : 0;
                t->wrong += wrong ? 1 : 0;
            }
            if (!misses.empty() && (!ok || wrong)) {
                Bitmap b = page.bitmap();
                const std::string path = misses + "/miss_" + std::to_string(overall.total) + ".bmp";
                SaveBimapToFile(&b, path.c_str());
            }
            if (verbose && (!ok || wrong)) {
                std::printf("%s %s: %s \"%s\" module %d angle %.1f at (%.0f, %.0f)", ok ? "EXTRA" : "MISS",
                            kNames[symbology], wrong ? "wrong" : "missed", payload.c_str(), module, angle, cx,
                            cy);
                for (const Read& r : reads) std::printf(" [%d \"%s\"]", r.symbology, r.text.c_str());
                std::printf("\n");
            }
        }
    }
    auto row = [](const char* label, const Tally& t) {
        std::printf("%-14s %5d %5d  %6.2f %%  %4d\n", label, t.total, t.read,
                    t.total ? 100.0 * t.read / t.total : 0.0, t.wrong);
    };
    std::printf("%-14s %5s %5s  %8s  %4s\n", "symbology", "drawn", "read", "rate", "wrong");
    for (auto& [s, t] : bySymbology) row(kNames[s], t);
    std::printf("\n%-14s %5s %5s  %8s  %4s\n", "skew (deg)", "drawn", "read", "rate", "wrong");
    for (auto& [k, t] : bySkew) {
        char label[32];
        std::snprintf(label, sizeof label, k == 0 ? "%d" : "%d +-2", k);
        row(label, t);
    }
    std::printf("\n%-14s %5s %5s  %8s  %4s\n", "module (px)", "drawn", "read", "rate", "wrong");
    for (auto& [m, t] : byModule) {
        char label[32];
        std::snprintf(label, sizeof label, "%d", m);
        row(label, t);
    }
    std::printf("\n");
    row("all", overall);
    const bool pass = overall.read * 100 >= overall.total * 98 && overall.wrong == 0;
    std::printf("%s (goal: at least 98 %% read, no wrong text)\n", pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
