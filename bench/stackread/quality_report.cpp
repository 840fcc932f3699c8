// Decode-quality report: generated PDF417 symbols of varied data, sizes, error-correction levels,
// quarter turns and skews up to +-20 degrees, each on a full ticket page with printed text.
// Prints the share decoded exactly and any wrong output; exits 1 when fewer than 98 % are exact
// or any output is wrong.
//
// Usage: stackread_quality [count] [seed]   (defaults: 200 symbols, seed 2026)
// Environment: STACKREAD_DUMP=<folder> writes each page that was not decoded there as a PBM
// file; STACKREAD_SHOW=1 prints expected and decoded bytes of any wrong output.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "barcode/pdf417/Stackread.h"
#include "bench/stackread/ticket_page.h"

using namespace stackread_bench;
using stackread_test::encode_pdf417;
using stackread_test::SymbolOptions;

namespace {

// Pixels of symbol height, beyond the skewed pattern's own slant, that the skew measurement needs.
constexpr double kMinCrossingPixels = 40.0;

// The error-correction level recommended for a number of data codewords.
int recommended_level(int dataCodewords) {
    if (dataCodewords <= 40) return 2;
    if (dataCodewords <= 160) return 3;
    if (dataCodewords <= 320) return 4;
    return 5;
}

std::string make_data(std::mt19937& rng, int kind, int length) {
    static const std::string words[] = {"TICKET", "gate", "Seat", "12",   "ZONE",
                                        "adult",  "-",    "4711", "Lyon", "/"};
    std::string s;
    switch (kind) {
        case 0:  // text
            while (static_cast<int>(s.size()) < length) s += words[rng() % 10] + " ";
            break;
        case 1:  // bytes
            for (int i = 0; i < length; ++i) s += static_cast<char>(rng() & 0xFF);
            break;
        case 2:  // digits
            for (int i = 0; i < length; ++i) s += static_cast<char>('0' + rng() % 10);
            break;
        default:  // mixture
            while (static_cast<int>(s.size()) < length) {
                int part = static_cast<int>(rng() % 3);
                int n = 4 + static_cast<int>(rng() % 20);
                s += make_data(rng, part, n);
            }
    }
    s.resize(static_cast<size_t>(length));
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 200;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 2026u;
    std::mt19937 rng(seed);
    int exact = 0, wrong = 0, generated = 0;
    std::map<int, int> failures;
    std::map<std::string, std::pair<int, int>> byGroup;  // exact / total
    std::vector<uint8_t> out(STACKREAD_MAX_OUTPUT);

    while (generated < count) {
        SymbolOptions options;
        options.columns = 1 + static_cast<int>(rng() % 30);
        // Error-correction level: the encoder's recommended level for the data, or one or two
        // above it (levels 0 and 1 correct at most one erasure and are exercised by the tests).
        const int extraLevel = static_cast<int>(rng() % 3);
        const int kind = static_cast<int>(rng() % 4);
        int length = 5 + static_cast<int>(rng() % (20 + 12 * options.columns));
        std::string data = make_data(rng, kind, length);

        Placement p;
        p.module = 2 + static_cast<int>(rng() % 3);
        p.rowHeight = 3 + static_cast<int>(rng() % 2);
        const int quarter = static_cast<int>(rng() % 4) * 90;
        const double skew = (static_cast<int>(rng() % 4001) - 2000) / 100.0;
        p.angle = quarter + skew;

        options.level = 2;
        Symbol s = encode_pdf417(data, options);
        if (!s.ok) continue;
        options.level = std::min(8, recommended_level(s.rows * s.columns - 8) + extraLevel);
        s = encode_pdf417(data, options);
        if (!s.ok) continue;
        // Shrink the modules until the turned symbol fits the page with room around it.
        Box box{};
        for (;;) {
            p.centerX = p.centerY = 0;
            box = symbol_box(s, p);
            if ((box.x1 - box.x0) < kPageWidth - 80 && (box.y1 - box.y0) < kPageHeight - 80) break;
            if (p.module == 2) break;
            --p.module;
        }
        if ((box.x1 - box.x0) >= kPageWidth - 80 || (box.y1 - box.y0) >= kPageHeight - 80) continue;
        // The reader measures the skew on the lines that cross the whole start pattern (every
        // second pixel, at least 15 of them): give each symbol the rows that needs.
        const double a = std::fabs(skew) * M_PI / 180.0;
        const double crossing = 17.0 * p.module * std::sin(a) + kMinCrossingPixels;
        const int needRows = static_cast<int>(std::ceil(crossing / std::cos(a) / (p.rowHeight * p.module)));
        if (s.rows < needRows) {
            if (needRows > 90) continue;
            options.rows = needRows;
            s = encode_pdf417(data, options);
            if (!s.ok) continue;
            p.centerX = p.centerY = 0;
            box = symbol_box(s, p);
            if ((box.x1 - box.x0) >= kPageWidth - 80 || (box.y1 - box.y0) >= kPageHeight - 80) continue;
        }
        const double bw = box.x1 - box.x0, bh = box.y1 - box.y0;
        p.centerX =
            40 + bw / 2 + static_cast<double>(rng() % static_cast<unsigned>(kPageWidth - 80 - bw + 1));
        p.centerY =
            40 + bh / 2 + static_cast<double>(rng() % static_cast<unsigned>(kPageHeight - 80 - bh + 1));
        box = symbol_box(s, p);

        Page page(kPageWidth, kPageHeight);
        print_text(page, &box, generated);
        paint(page, s, p);

        int lengthOut = -1;
        int r = stackread(page.bytes.data(), page.width, page.height, out.data(), &lengthOut, 0);
        bool ok = r == 1 && std::string(out.begin(), out.begin() + lengthOut) == data;
        ++generated;
        char group[64];
        std::snprintf(group, sizeof group, "turn %3d, module %d", quarter, p.module);
        auto& g = byGroup[group];
        ++g.second;
        if (ok) {
            ++exact;
            ++g.first;
        } else if (r == 1) {
            ++wrong;
            std::printf("WRONG OUTPUT: symbol %d (%d columns, %d rows, level %d, %.2f degrees)\n", generated,
                        s.columns, s.rows, options.level, p.angle);
            if (std::getenv("STACKREAD_SHOW")) {
                auto hex = [](const std::string& t) {
                    std::string h;
                    char b[4];
                    for (unsigned char ch : t) {
                        std::snprintf(b, sizeof b, "%02X", ch);
                        h += b;
                    }
                    return h;
                };
                std::printf("  expected %s\n  decoded  %s\n", hex(data).c_str(),
                            hex(std::string(out.begin(), out.begin() + lengthOut)).c_str());
            }
        } else {
            ++failures[r];
            if (const char* dir = std::getenv("STACKREAD_DUMP")) {
                std::string name = std::string(dir) + "/symbol" + std::to_string(generated) + ".pbm";
                if (FILE* f = std::fopen(name.c_str(), "wb")) {
                    std::fprintf(f, "P4\n%d %d\n", page.width, page.height);
                    for (uint8_t b : page.bytes) std::fputc(static_cast<uint8_t>(~b), f);
                    std::fclose(f);
                }
            }
            std::printf(
                "not decoded (%d): symbol %d, %d columns, %d rows, level %d, module %d, row height %d, "
                "%.2f degrees\n",
                r, generated, s.columns, s.rows, options.level, p.module, p.rowHeight, p.angle);
        }
    }

    std::printf("\nStackread decode quality: %d symbols on %d x %d ticket pages (seed %u)\n", generated,
                kPageWidth, kPageHeight, seed);
    for (const auto& [name, g] : byGroup)
        std::printf("  %-22s %3d / %3d exact\n", name.c_str(), g.first, g.second);
    for (const auto& [code, n] : failures) std::printf("  result %d: %d\n", code, n);
    const double rate = 100.0 * exact / generated;
    std::printf("exact: %d / %d = %.1f %%, wrong output: %d\n", exact, generated, rate, wrong);
    return (rate >= 98.0 && wrong == 0) ? 0 : 1;
}
