// Degraded-symbol report: symbols of the eight linear symbologies and PDF417, drawn by libzint
// and spoilt the way real tickets and photos are (small modules, blur before the threshold, ink
// spread or starved, speckle, perspective and curled paper, quiet zones cut by the image edge,
// wide/narrow ratios off nominal, bearer bars), read by Stripescan and Stackread. Per
// symbology and per degradation it counts symbols read exactly and wrong texts; then damaged
// symbols (knocked-out bars, truncated; at 2-3 px and at 1.25 px modules) and pages without any
// symbol (text, photos, halftones, noise), where every reported text is a wrong one.
//
// Usage: barcode_degraded_report [symbols per class (default 25)] [seed] [-v] [--pdf417 | --linear]
//   --pdf417, --linear: only that reader's classes (damaged and symbol-free pages are always run)
// Every page is generated from the seed, so a run is reproducible.

#include <zint.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "barcode/common/tests/degrade.h"
#include "barcode/linear/Stripescan.h"
#include "barcode/linear/tests/symbol_page.h"
#include "barcode/pdf417/Stackread.h"
#include "barcode/pdf417/tests/symbol_painter.h"
#include "bench/barcode_degraded/pdf417_sets.h"

using namespace barcode::degrade;

namespace {

constexpr const char* kNames[9] = {"",      "Code 128", "Code 93", "EAN-13", "EAN-8",
                                   "UPC-E", "Code 39",  "Codabar", "ITF"};
constexpr int kQuietModules = 12;  // white modules drawn around a symbol unless a class cuts them
constexpr double kGoal = 0.95;     // share to read in every class a person can still read

bool verbose = false;
const char* saveFolder = nullptr;  // --save DIR: missed and misread pages are written there
const char* onlyClass = nullptr;   // --class TEXT: only the linear classes whose name holds it

struct Tally {
    int drawn = 0;
    int read = 0;
    int wrong = 0;
};

// One way of spoiling a symbol: the render settings, and which symbologies it applies to.
struct Degradation {
    const char* name;
    std::function<void(Render&, std::mt19937&)> setup;
    bool linear = true;
    bool pdf417 = true;
    int only = 0;  // when not 0, this linear symbology alone
    bool narrowWideOnly = false;
    bool cutQuiet = false;  // the symbol's start or end lies a few modules from the image edge
    double ratio = 0;       // wide/narrow ratio to redraw narrow/wide symbologies with
    bool bearers = false;   // ITF-14 bearer bars above and below
    bool personReadable = true;
    unsigned stream = 0;  // when not 0, pages are drawn from their own generator (seed + stream),
                          // so that adding the class leaves every other class's pages as they were
};

double uniform(std::mt19937& rng, double a, double b) {
    return std::uniform_real_distribution<double>(a, b)(rng);
}

// A photo of 2.2-3.5 px modules blurred by 0.45 module, with `noise`, bars within 8 degrees of
// upright; the caller picks the threshold.
void blurred_photo(Render& r, std::mt19937& g, double noise) {
    r.module = uniform(g, 2.2, 3.5);
    r.blur = 0.45 * r.module;
    r.contrast = uniform(g, 0.8, 0.95);
    r.noise = noise;
    r.angle = uniform(g, -8, 8);
}

// The picture of "photo: 1.2 px, blur merges": 1.25 px modules blurred until neighbouring bars
// merge on single rows, bars within 3 degrees of upright.
void fine_blurred(Render& r, std::mt19937& g) {
    r.module = 1.25;
    r.blur = 0.5;
    r.contrast = 0.8;
    r.noise = 0.04;
    r.angle = uniform(g, -3, 3);
}

const char* const kDamageNames[] = {"knocked-out bar", "truncated", "knocked-out bar, 1.25 px",
                                    "truncated, 1.25 px"};

ModuleGrid grid_of(const stripescan::testing::ModuleImage& m) {
    return ModuleGrid{m.width, m.height, m.dark};
}

// Lays the grid on a page sized for it, with kQuietModules narrow modules (`narrow` pixels,
// 0: the grid's module) on each side, unless cut.
BitPage place(const ModuleGrid& grid, Render& how, bool cutQuiet, std::mt19937& rng, double narrow = 0) {
    const double my = how.moduleY > 0 ? how.moduleY : how.module;
    const double length = grid.width * how.module * (1 + std::fabs(how.perspective) * grid.width / 2);
    const double margin =
        kQuietModules * (narrow > 0 ? narrow : how.module) + 2 * std::fabs(how.curvature) + 24;
    const double a = std::fabs(how.angle) * M_PI / 180.0;
    const int w = static_cast<int>(length * std::cos(a) + grid.height * my * std::sin(a) + 2 * margin);
    const int h = static_cast<int>(length * std::sin(a) + grid.height * my * std::cos(a) + 2 * margin);
    BitPage page(w, h);
    // A random sub-pixel position, so that edges do not all fall on pixel borders.
    how.cx = page.width / 2.0 + uniform(rng, 0.0, 1.0);
    how.cy = h / 2.0 + uniform(rng, 0.0, 1.0);
    if (cutQuiet) {
        // The image edge lies 0 to 3 modules before the first bar or after the last.
        const double gap = uniform(rng, 0.0, 3.0) * how.module;
        const double half = length / 2 * std::cos(a);
        how.cx = (rng() % 2) ? half + gap + 1 : page.width - half - gap - 1;
    }
    return page;
}

std::vector<std::pair<int, std::string>> read_linear(BitPage& page, bool verifyItf = false) {
    Bitmap b{};
    b.width = page.width;
    b.height = page.height;
    b.bitCount = 1;
    b.stride = page.stride;
    b.imageSize = page.stride * page.height;
    b.bits = page.bits.data();
    std::vector<SymbologySetting> settings;
    for (int s = 1; s <= 8; ++s) settings.push_back(SymbologySetting{s, 0, 0, 0, 0, 0});
    if (verifyItf) settings[STRIPESCAN_ITF - 1] = SymbologySetting{STRIPESCAN_ITF, 0, 1, 1, 0, 0};
    DecodeRequest request{settings.data(), 8, 0, STRIPESCAN_BOTH_DIRECTIONS, STRIPESCAN_MIN_SIZE};
    BarcodeResultList list{};
    Stripescan(&b, &request, &list);
    std::vector<std::pair<int, std::string>> out;
    for (int i = 0; i < list.count; ++i) {
        const BarcodeResult& r = list.results[i];
        out.emplace_back(r.symbology, std::string(reinterpret_cast<const char*>(r.text),
                                                  static_cast<std::size_t>(r.length)));
    }
    FreeBarcodeResultMem(&list);
    return out;
}

// Writes a missed or misread page as a PBM file (bit 1 black there) into the --save folder, named after
// the class and symbology and numbered in the order of the misses.
void save_page(const BitPage& page, const char* what, const char* symbology, const std::string& text = "") {
    static int saved = 0;
    std::string file =
        std::to_string(++saved) + "-" + what + "-" + symbology + (text.empty() ? "" : "-" + text) + ".pbm";
    for (char& ch : file)
        if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '-' && ch != '.') ch = '_';
    const std::string name = std::string(saveFolder) + "/" + file;
    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (f == nullptr) return;
    std::fprintf(f, "P4\n%d %d\n", page.width, page.height);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(page.stride));
    for (int y = 0; y < page.height; ++y) {
        for (int i = 0; i < page.stride; ++i)
            row[static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(~page.bits[static_cast<std::size_t>(y) * page.stride + i]);
        std::fwrite(row.data(), 1, row.size(), f);
    }
    std::fclose(f);
}

// Reads one linear symbol; counts a read when exactly it is reported, wrong for any other text.
void score_linear(BitPage& page, int symbology, const std::string& expected, Tally& t, const char* what,
                  bool verifyItf = false) {
    ++t.drawn;
    const int wrongBefore = t.wrong;
    bool hit = false;
    for (const auto& [number, text] : read_linear(page, verifyItf)) {
        if (number == symbology && text == expected && !hit) {
            hit = true;
        } else {
            ++t.wrong;
            std::printf("WRONG %s %s: read %d \"%s\" for \"%s\"\n", what, kNames[symbology], number,
                        text.c_str(), expected.c_str());
        }
    }
    if (hit)
        ++t.read;
    else if (verbose)
        std::printf("missed %s %s \"%s\"\n", what, kNames[symbology], expected.c_str());
    if ((!hit || t.wrong > wrongBefore) && saveFolder != nullptr)
        save_page(page, what, kNames[symbology], expected);
}

int read_pdf417(const BitPage& page, std::string& text) {
    std::vector<std::uint8_t> out(STACKREAD_MAX_OUTPUT);
    int length = 0;
    const int rc = stackread(page.bits.data(), page.width, page.height, out.data(), &length, 0);
    if (rc == STACKREAD_OK)
        text.assign(reinterpret_cast<const char*>(out.data()), static_cast<std::size_t>(length));
    return rc;
}

std::string random_text(std::mt19937& rng, int n) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -.,:/";
    std::string s;
    for (int i = 0; i < n; ++i) s.push_back(alphabet[rng() % (sizeof(alphabet) - 1)]);
    return s;
}

// The PDF417 symbol as a module grid with `row_modules` grid rows per symbol row and its
// quiet zone (`quiet` modules, 0 when the pattern is to touch the edge).
ModuleGrid grid_of(const stackread_test::Symbol& s, int rowModules) {
    ModuleGrid g;
    g.width = s.width;
    g.height = s.rows * rowModules;
    g.dark.resize(static_cast<std::size_t>(g.width) * g.height);
    for (int r = 0; r < g.height; ++r)
        for (int c = 0; c < g.width; ++c)
            g.dark[static_cast<std::size_t>(r) * g.width + c] = s.at(r / rowModules, c);
    return g;
}

ModuleGrid with_bearers(const ModuleGrid& g, int thickness) {
    ModuleGrid out;
    out.width = g.width + 2 * kQuietModules;
    out.height = g.height + 2 * thickness;
    out.dark.assign(static_cast<std::size_t>(out.width) * out.height, 0);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            const bool bearer = y < thickness || y >= thickness + g.height;
            const int gx = x - kQuietModules, gy = y - thickness;
            const bool bar = !bearer && gx >= 0 && gx < g.width && g.at(gx, gy);
            out.dark[static_cast<std::size_t>(y) * out.width + x] = bearer || bar;
        }
    return out;
}

void print_row(const char* label, const Tally& t) {
    std::printf("  %-26s %5d %5d %7.2f %% %5d\n", label, t.drawn, t.read,
                t.drawn ? 100.0 * t.read / t.drawn : 0.0, t.wrong);
}

}  // namespace

int main(int argc, char** argv) {
    int perClass = 25;
    unsigned seed = 2026;
    int positional = 0;
    bool linear = true, pdf417 = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-v") == 0)
            verbose = true;
        else if (std::strcmp(argv[i], "--pdf417") == 0)
            linear = false;
        else if (std::strcmp(argv[i], "--linear") == 0)
            pdf417 = false;
        else if (std::strcmp(argv[i], "--save") == 0 && i + 1 < argc)
            saveFolder = argv[++i];
        else if (std::strcmp(argv[i], "--class") == 0 && i + 1 < argc)
            onlyClass = argv[++i];
        else if (positional++ == 0)
            perClass = std::atoi(argv[i]);
        else
            seed = static_cast<unsigned>(std::strtoul(argv[i], nullptr, 10));
    }
    std::mt19937 rng(seed);
    const std::vector<Degradation> classes = {
        {"clean, 2 px modules",
         [](Render& r, std::mt19937& g) {
             r.module = 2;
             r.angle = uniform(g, -5, 5);
         }},
        {"small modules, 1.5 px",
         [](Render& r, std::mt19937& g) {
             r.module = 1.5;
             r.angle = uniform(g, -3, 3);
             r.blur = 0.3;
         }},
        {"blur (sigma 1/3 module)",
         [](Render& r, std::mt19937& g) {
             r.module = 3;
             r.blur = 1.0;
             r.angle = uniform(g, -5, 5);
         }},
        {"ink spread +1 px",
         [](Render& r, std::mt19937& g) {
             r.module = 3;
             r.spread = 1;
             r.angle = uniform(g, -5, 5);
         }},
        {"ink starved -1 px",
         [](Render& r, std::mt19937& g) {
             r.module = 3;
             r.spread = -1;
             r.angle = uniform(g, -5, 5);
         }},
        {"blur and spread",
         [](Render& r, std::mt19937& g) {
             r.module = 2.5;
             r.blur = 0.8;
             r.threshold = 0.3;
             r.angle = uniform(g, -5, 5);
         }},
        {"speckle 2 %",
         [](Render& r, std::mt19937& g) {
             r.module = 3;
             r.speckle = 0.02;
             r.angle = uniform(g, -5, 5);
         }},
        {"perspective and curl",
         [](Render& r, std::mt19937& g) {
             r.module = 3;
             r.perspective = uniform(g, -0.004, 0.004);
             r.curvature = uniform(g, -3, 3);
             r.angle = uniform(g, -5, 5);
         }},
        {"photo: shading, noise, global",
         [](Render& r, std::mt19937& g) {
             r.module = uniform(g, 1.5, 3);
             r.blur = 0.35 * r.module;
             r.contrast = uniform(g, 0.6, 0.9);
             r.shading = uniform(g, 0.2, 0.4);
             r.noise = 0.06;
             r.threshold = 0.45;
             r.angle = uniform(g, -10, 10);
         }},
        {"photo: local threshold",
         [](Render& r, std::mt19937& g) {
             r.module = uniform(g, 1.5, 3);
             r.blur = 0.35 * r.module;
             r.contrast = uniform(g, 0.5, 0.9);
             r.shading = uniform(g, 0.3, 0.6);
             r.noise = 0.035;
             r.localWindow = 25;
             r.localOffset = 0.07;
             r.angle = uniform(g, -10, 10);
         }},
        {"photo: 1.2 px, blur merges", fine_blurred},
        {"scan 6 px, speckle 3 %",
         [](Render& r, std::mt19937& g) {
             r.module = 6;
             r.speckle = 0.03;
             r.angle = uniform(g, -10, 10);
         }},
        {"scan 5 px, spread +2 px",
         [](Render& r, std::mt19937& g) {
             r.module = 5;
             r.spread = 2;
             r.angle = uniform(g, -10, 10);
         }},
        {"photo 4 px, global",
         [](Render& r, std::mt19937& g) {
             r.module = 4;
             r.blur = 1.2;
             r.contrast = 0.7;
             r.shading = 0.4;
             r.noise = 0.06;
             r.threshold = 0.45;
             r.angle = uniform(g, -30, 30);
         }},
        {"photo 4 px, local",
         [](Render& r, std::mt19937& g) {
             r.module = 4;
             r.blur = 1.2;
             r.contrast = 0.7;
             r.shading = 0.5;
             r.noise = 0.035;
             r.localWindow = 41;
             r.localOffset = 0.07;
             r.angle = uniform(g, -30, 30);
         }},
        {"quiet zone cut by the edge", [](Render& r, std::mt19937&) { r.module = 3; }, true, true, 0, false,
         true},
        {"wide/narrow 2.2", [](Render& r, std::mt19937&) { r.module = 3; }, true, false, 0, true, false, 2.2},
        {"wide/narrow 3.4", [](Render& r, std::mt19937&) { r.module = 3; }, true, false, 0, true, false, 3.4},
        {"ITF-14 with bearer bars", [](Render& r, std::mt19937&) { r.module = 2.5; }, true, false, 8, false,
         false, 0, true},
        {"scan: dithered, 2-4 px",
         [](Render& r, std::mt19937& g) {
             r.module = uniform(g, 2, 4);
             r.blur = 0.35 * r.module;
             r.contrast = uniform(g, 0.85, 1.0);
             r.shading = uniform(g, 0.0, 0.15);
             r.noise = 0.02;
             r.dither = true;
             r.angle = uniform(g, -10, 10);
         }},
        {"scan: ordered dither, 2-4 px",
         [](Render& r, std::mt19937& g) {
             r.module = uniform(g, 2, 4);
             r.blur = 0.35 * r.module;
             r.contrast = uniform(g, 0.85, 1.0);
             r.shading = uniform(g, 0.0, 0.15);
             r.noise = 0.02;
             r.dither = true;
             r.ordered = true;
             r.angle = uniform(g, -10, 10);
         }},
        // Blur of about 0.45 module before the threshold: a local one with a small offset
        // leaves the paper clean but one-module bars as dashes; a global one low on the
        // darkness spreads the bars until one-module spaces close on many rows, high on it
        // starves them into dashes.
        {"photo: local, thin bars dashed",
         [](Render& r, std::mt19937& g) {
             blurred_photo(r, g, 0.02);
             r.localWindow = 25;
             r.localOffset = 0.04;
         },
         true, false},
        {"photo: spread, threshold 0.3",
         [](Render& r, std::mt19937& g) {
             blurred_photo(r, g, 0.03);
             r.threshold = 0.3;
         },
         true, false},
        {"photo: starved, threshold 0.62",
         [](Render& r, std::mt19937& g) {
             blurred_photo(r, g, 0.03);
             r.threshold = 0.62;
         },
         true, false},
        // Blur of half a module and a local window of about 8 modules: narrow bars come out
        // fainter than wide ones and the window's offset breaks them into dots and dashes.
        {"photo: local 8 modules, blur 1/2",
         [](Render& r, std::mt19937& g) {
             r.module = uniform(g, 2.4, 3.2);
             r.blur = 0.5 * r.module;
             r.contrast = uniform(g, 0.8, 0.95);
             r.noise = 0.03;
             r.localWindow = 25;
             r.localOffset = 0.05;
             r.angle = uniform(g, -8, 8);
         },
         true, false, 0, false, false, 0, false, true, 15},
    };

    std::printf("Degraded symbols (seed %u, %d per symbology and class)\n\n", seed, perClass);
    std::printf("  %-26s %5s %5s %9s %5s\n", "linear", "drawn", "read", "rate", "wrong");
    bool pass = true;
    int totalWrong = 0;
    for (const Degradation& d : classes) {
        if (!d.linear || !linear) continue;
        if (onlyClass != nullptr && std::strstr(d.name, onlyClass) == nullptr) continue;
        Tally all;
        std::vector<Tally> per(9);
        std::mt19937 own(seed + d.stream);
        std::mt19937& pageRng = d.stream != 0 ? own : rng;
        for (int s = 1; s <= 8; ++s) {
            if (d.only && s != d.only) continue;
            if (d.narrowWideOnly && s != 6 && s != 7 && s != 8) continue;
            for (int n = 0; n < perClass; ++n) {
                std::string payload = stripescan::testing::random_payload(s, pageRng);
                if (d.bearers) {  // ITF-14: fourteen digits
                    payload.clear();
                    for (int k = 0; k < 14; ++k) payload.push_back(static_cast<char>('0' + pageRng() % 10));
                }
                stripescan::testing::ModuleImage image;
                if (!stripescan::testing::encode(stripescan::testing::zint_symbology_for(s), payload, image))
                    continue;
                const std::string expected = stripescan::testing::expected_text(s, payload);
                ModuleGrid grid = grid_of(image);
                Render how;
                d.setup(how, pageRng);
                const double narrow = how.module;
                if (d.ratio > 0) {
                    grid = restretch_wide(grid, 2, d.ratio, 4);
                    // Four cells per narrow module across the bars; along them the symbol
                    // keeps its height.
                    how.moduleY = how.module;
                    how.module /= 4;
                }
                if (d.bearers) grid = with_bearers(grid, 5);
                BitPage page = place(grid, how, d.cutQuiet, pageRng, narrow);
                render(grid, how, page, pageRng);
                score_linear(page, s, expected, per[static_cast<std::size_t>(s)], d.name);
            }
        }
        std::printf("%s\n", d.name);
        for (int s = 1; s <= 8; ++s) {
            const Tally& t = per[static_cast<std::size_t>(s)];
            if (t.drawn == 0) continue;
            print_row(kNames[s], t);
            all.drawn += t.drawn;
            all.read += t.read;
            all.wrong += t.wrong;
            if (d.personReadable && t.read < kGoal * t.drawn) pass = false;
        }
        totalWrong += all.wrong;
    }

    // PDF417.
    std::printf("\n  %-26s %5s %5s %9s %5s\n", "PDF417", "drawn", "read", "rate", "wrong");
    struct PdfClass {
        const char* name;
        int module, rowModules, rows;  // rows 0: the encoder's choice
        std::function<void(Render&, std::mt19937&)> setup;
        bool touchEdge = false;
    };
    const std::vector<PdfClass> pdfClasses = {
        {"clean, 2 px modules", 2, 3, 0, [](Render& r, std::mt19937& g) { r.angle = uniform(g, -3, 3); }},
        {"small, blurred", 2, 2, 0,
         [](Render& r, std::mt19937& g) {
             r.blur = 0.7;
             r.angle = uniform(g, -3, 3);
         }},
        {"ink spread +1 px", 3, 3, 0,
         [](Render& r, std::mt19937& g) {
             r.spread = 1;
             r.angle = uniform(g, -3, 3);
         }},
        {"ink starved -1 px", 3, 3, 0,
         [](Render& r, std::mt19937& g) {
             r.spread = -1;
             r.angle = uniform(g, -3, 3);
         }},
        {"perspective and curl", 3, 3, 0,
         [](Render& r, std::mt19937& g) {
             r.perspective = uniform(g, -0.002, 0.002);
             r.curvature = uniform(g, -2, 2);
             r.angle = uniform(g, -3, 3);
         }},
        {"speckle 1 %", 3, 3, 0, [](Render& r, std::mt19937&) { r.speckle = 0.01; }},
        {"pattern touching the edge", 2, 3, 0, [](Render&, std::mt19937&) {}, true},
        {"short, 3 to 5 rows", 2, 3, 4, [](Render& r, std::mt19937& g) { r.angle = uniform(g, -2, 2); }},
    };
    for (const PdfClass& c : pdfClasses) {
        if (!pdf417) break;
        Tally t;
        for (int n = 0; n < perClass; ++n) {
            const std::string data = random_text(rng, 10 + static_cast<int>(rng() % 40));
            stackread_test::SymbolOptions options;
            options.columns = 2 + static_cast<int>(rng() % 5);
            if (c.rows)
                options.rows = 3 + static_cast<int>(rng() % 3),
                options.columns = 4 + static_cast<int>(rng() % 6);
            const stackread_test::Symbol symbol =
                stackread_test::encode_pdf417(c.rows ? data.substr(0, 12) : data, options);
            if (!symbol.ok) continue;
            const std::string expected = c.rows ? data.substr(0, 12) : data;
            const ModuleGrid grid = grid_of(symbol, c.rowModules);
            Render how;
            how.module = c.module;
            c.setup(how, rng);
            BitPage page = place(grid, how, false, rng);
            if (c.touchEdge)
                how.cx = grid.width * how.module / 2.0 +
                         ((rng() % 2) ? 0.0 : page.width - grid.width * how.module);
            render(grid, how, page, rng);
            ++t.drawn;
            std::string text;
            const int rc = read_pdf417(page, text);
            if ((rc != STACKREAD_OK || text != expected) && saveFolder != nullptr)
                save_page(page, c.name, "PDF417");
            if (rc == STACKREAD_OK && text == expected)
                ++t.read;
            else if (rc == STACKREAD_OK) {
                ++t.wrong;
                std::printf("WRONG PDF417 %s\n", c.name);
            } else if (verbose)
                std::printf("missed PDF417 %s: %d\n", c.name, rc);
        }
        print_row(c.name, t);
        totalWrong += t.wrong;
        if (t.read < kGoal * t.drawn) pass = false;
    }

    if (pdf417) {
        pdf417_sets::SaveMiss saveMiss;
        if (saveFolder != nullptr)
            saveMiss = [](const BitPage& page, const char* what) { save_page(page, what, "PDF417"); };
        totalWrong += pdf417_sets::run(perClass, seed + 417, kGoal, verbose, pass, saveMiss, onlyClass);
    }

    // Damaged symbols: a knocked-out bar or a cut-off end must never give a wrong text. Then the
    // same damage at 1.25 px modules blurred until neighbouring bars merge (the picture of "photo:
    // 1.2 px, blur merges"), where the darkness summed along the bars reads the symbol; those pages
    // come from their own generator, so that the rows before and after keep theirs.
    std::printf("\n  %-26s %5s %5s %9s %5s\n", "damaged (may miss)", "drawn", "read", "rate", "wrong");
    std::mt19937 fineRng(seed + 1250);
    for (int kind = 0; kind < 4; ++kind) {
        Tally t;
        const bool fine = kind >= 2;
        std::mt19937& draw = fine ? fineRng : rng;
        for (int s = 1; s <= 8; ++s)
            for (int n = 0; n < perClass; ++n) {
                const std::string payload = stripescan::testing::random_payload(s, draw);
                stripescan::testing::ModuleImage image;
                if (!stripescan::testing::encode(stripescan::testing::zint_symbology_for(s), payload, image))
                    continue;
                ModuleGrid grid = grid_of(image);
                if (kind % 2 == 0) {
                    // Knock out one bar (all its columns) somewhere inside the symbol.
                    int x =
                        grid.width / 5 + static_cast<int>(draw() % static_cast<unsigned>(3 * grid.width / 5));
                    while (x < grid.width && !grid.at(x, 0)) ++x;
                    for (; x < grid.width && grid.at(x, 0); ++x)
                        for (int y = 0; y < grid.height; ++y)
                            grid.dark[static_cast<std::size_t>(y) * grid.width + x] = 0;
                } else {
                    // Cut the symbol short by 5 to 30 % of its length.
                    const int keep =
                        grid.width - std::max(2, static_cast<int>(grid.width * uniform(draw, 0.05, 0.3)));
                    for (int y = 0; y < grid.height; ++y)
                        for (int x = keep; x < grid.width; ++x)
                            grid.dark[static_cast<std::size_t>(y) * grid.width + x] = 0;
                }
                Render how;
                if (fine) {
                    fine_blurred(how, draw);
                } else {
                    how.module = 2 + static_cast<int>(draw() % 2);
                    how.angle = uniform(draw, -5, 5);
                }
                BitPage page = place(grid, how, false, draw);
                render(grid, how, page, draw);
                score_linear(page, s, stripescan::testing::expected_text(s, payload), t, kDamageNames[kind]);
            }
        print_row(kDamageNames[kind], t);
        totalWrong += t.wrong;
    }
    // The same cuts through 14-digit 2 of 5 codes that end in their check digit, read with the
    // check verified: a shorter reading now passes only when its last digit checks the others.
    {
        Tally t;
        for (int n = 0; n < 8 * perClass; ++n) {
            std::string digits;
            int sum = 0;
            for (int i = 0; i < 13; ++i) digits.push_back(static_cast<char>('0' + rng() % 10));
            for (int i = 12, weight = 3; i >= 0; --i, weight = 4 - weight) sum += weight * (digits[i] - '0');
            digits.push_back(static_cast<char>('0' + (10 - sum % 10) % 10));
            stripescan::testing::ModuleImage image;
            if (!stripescan::testing::encode(BARCODE_C25INTER, digits, image)) continue;
            ModuleGrid grid = grid_of(image);
            const int keep = grid.width - std::max(2, static_cast<int>(grid.width * uniform(rng, 0.05, 0.3)));
            for (int y = 0; y < grid.height; ++y)
                for (int x = keep; x < grid.width; ++x)
                    grid.dark[static_cast<std::size_t>(y) * grid.width + x] = 0;
            Render how;
            how.module = 2 + static_cast<int>(rng() % 2);
            how.angle = uniform(rng, -5, 5);
            BitPage page = place(grid, how, false, rng);
            render(grid, how, page, rng);
            score_linear(page, STRIPESCAN_ITF, digits, t, "truncated, check verified", true);
        }
        print_row("ITF truncated, verified", t);
        totalWrong += t.wrong;
    }

    // Pages without a symbol: whatever is reported is wrong.
    std::printf("\n  %-26s %5s %9s\n", "no symbol", "pages", "reported");
    const char* kinds[] = {"printed text", "photo", "halftone", "noise 5 %", "noise 30 %"};
    for (int kind = 0; kind < 5; ++kind) {
        int reported = 0;
        for (int n = 0; n < perClass; ++n) {
            BitPage page(640, 480);
            if (kind == 0) draw_text_lines(page, rng);
            if (kind == 1) draw_photo(page, rng);
            if (kind == 2) draw_halftone(page, rng);
            if (kind == 3) draw_noise(page, rng, 0.05);
            if (kind == 4) draw_noise(page, rng, 0.30);
            for (const auto& [number, text] : read_linear(page)) {
                ++reported;
                std::printf("FALSE %s: %s \"%s\"\n", kinds[kind], kNames[number < 9 ? number : 0],
                            text.c_str());
            }
            std::string text;
            if (read_pdf417(page, text) == STACKREAD_OK) {
                ++reported;
                std::printf("FALSE %s: PDF417\n", kinds[kind]);
            }
        }
        std::printf("  %-26s %5d %9d\n", kinds[kind], perClass, reported);
        totalWrong += reported;
    }

    std::printf("\nwrong texts and false reports: %d\n", totalWrong);
    if (totalWrong > 0) pass = false;
    std::printf("%s (goal: at least %.0f %% read in every class and symbology, no wrong text)\n",
                pass ? "PASS" : "FAIL", 100 * kGoal);
    return 0;
}
