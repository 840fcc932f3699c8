#include "bench/barcode_degraded/pdf417_sets.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "barcode/common/tests/degrade.h"
#include "barcode/pdf417/Stackread.h"
#include "barcode/pdf417/tests/symbol_painter.h"

using namespace barcode::degrade;

namespace pdf417_sets {
namespace {

constexpr int kQuietModules = 2;  // light modules around a symbol unless a class cuts them
constexpr int kMarginPixels = 24;

double uniform(std::mt19937& rng, double a, double b) {
    return std::uniform_real_distribution<double>(a, b)(rng);
}

std::string random_text(std::mt19937& rng, int n) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -.,:/";
    std::string s;
    for (int i = 0; i < n; ++i) s.push_back(alphabet[rng() % (sizeof(alphabet) - 1)]);
    return s;
}

// The symbol at one grid row per symbol row.
ModuleGrid grid_of(const stackread_test::Symbol& s) {
    ModuleGrid g;
    g.width = s.width;
    g.height = s.rows;
    g.dark.resize(static_cast<std::size_t>(g.width) * g.height);
    for (int r = 0; r < g.height; ++r)
        for (int c = 0; c < g.width; ++c) g.dark[static_cast<std::size_t>(r) * g.width + c] = s.at(r, c);
    return g;
}

// Where a class puts the symbol against the image edges.
enum class Edges {
    Free,         // a margin all round
    PatternEdge,  // the start or the stop pattern on the left or right image edge
    RowEdge,      // the first or last row on the top or bottom image edge
    RowsCut,      // one to three rows beyond the top or bottom image edge
};

struct SymbolClass {
    const char* name;
    double module;     // pixels per module
    double rowPixels;  // pixels per symbol row
    std::function<void(Render&, std::mt19937&)> setup;
    Edges edges = Edges::Free;
    int rows = 0;  // 0: the encoder's choice
    // Drawn from a generator of its own, so that the classes, damaged symbols and pages after it
    // keep the pages they had before it was added.
    bool ownDraws = false;
};

// Renders the grid onto a page sized for it, placed as `edges` says.
BitPage draw(const ModuleGrid& grid, Render& how, Edges edges, std::mt19937& rng) {
    const double length = grid.width * how.module * (1 + std::fabs(how.perspective) * grid.width / 2);
    const double tall = grid.height * how.moduleY + std::fabs(how.shear) * length;
    const double a = std::fabs(how.angle) * M_PI / 180.0;
    const double bw = length * std::cos(a) + tall * std::sin(a),
                 bh = length * std::sin(a) + tall * std::cos(a);
    const double margin = kQuietModules * how.module + std::fabs(how.curvature) + kMarginPixels;
    BitPage page(static_cast<int>(bw + 2 * margin), static_cast<int>(bh + 2 * margin));
    how.cx = page.width / 2.0 + uniform(rng, 0.0, 1.0);
    how.cy = page.height / 2.0 + uniform(rng, 0.0, 1.0);
    if (edges == Edges::PatternEdge) how.cx = (rng() % 2) ? bw / 2 : page.width - bw / 2;
    if (edges == Edges::RowEdge) how.cy = (rng() % 2) ? bh / 2 : page.height - bh / 2;
    if (edges == Edges::RowsCut) {
        const double cut = (1 + static_cast<int>(rng() % 3)) * how.moduleY;
        how.cy = (rng() % 2) ? bh / 2 - cut : page.height - bh / 2 + cut;
    }
    render(grid, how, page, rng);
    return page;
}

// A photo under light falling across the symbol, with sensor noise, cut at one global threshold.
void photo_light(Render& r, std::mt19937& g) {
    r.contrast = uniform(g, 0.6, 0.9);
    r.shading = uniform(g, 0.2, 0.4);
    r.noise = 0.06;
    r.threshold = 0.45;
}

// A photo with stronger shading, cut by a local (adaptive) threshold.
void photo_local(Render& r, std::mt19937& g) {
    r.contrast = uniform(g, 0.5, 0.9);
    r.shading = uniform(g, 0.3, 0.6);
    r.noise = 0.035;
    r.localWindow = 41;
    r.localOffset = 0.07;
}

int read(const BitPage& page, std::string& text) {
    std::vector<unsigned char> out(STACKREAD_MAX_OUTPUT);
    int length = 0;
    const int rc = stackread(page.bits.data(), page.width, page.height, out.data(), &length, 0);
    if (rc == STACKREAD_OK)
        text.assign(reinterpret_cast<const char*>(out.data()), static_cast<std::size_t>(length));
    return rc;
}

struct Tally {
    int drawn = 0, read = 0, wrong = 0;
};

void print_row(const char* label, const Tally& t) {
    std::printf("  %-40s %5d %5d %7.2f %% %5d\n", label, t.drawn, t.read,
                t.drawn ? 100.0 * t.read / t.drawn : 0.0, t.wrong);
}

// Scores one page: read exactly, missed, or wrong.
void score(const BitPage& page, const std::string& expected, Tally& t, const char* what, bool verbose,
           const SaveMiss& saveMiss) {
    ++t.drawn;
    std::string text;
    const int rc = read(page, text);
    if ((rc != STACKREAD_OK || text != expected) && saveMiss) saveMiss(page, what);
    if (rc == STACKREAD_OK && text == expected) {
        ++t.read;
    } else if (rc == STACKREAD_OK) {
        ++t.wrong;
        std::printf("WRONG PDF417 %s: \"%s\" for \"%s\"\n", what, text.c_str(), expected.c_str());
    } else if (verbose) {
        std::printf("missed PDF417 %s: %d\n", what, rc);
    }
}

// Damage done to a symbol's grid before it is drawn; none of them may give a wrong text.
enum class Damage { Truncated, RowsKnockedOut, ColumnKnockedOut, Scratches, Stain, Fold, RowsOffEdge };

constexpr int kPatternModules = 17;  // start pattern, and each row indicator
constexpr int kStopModules = 18;     // stop pattern
constexpr double kRowModules = 3.0;  // row height of the damaged symbols, in modules

void damage(ModuleGrid& g, Damage kind, std::mt19937& rng) {
    auto set = [&g](int x, int y, bool dark) {
        if (x >= 0 && y >= 0 && x < g.width && y < g.height)
            g.dark[static_cast<std::size_t>(y) * g.width + x] = dark;
    };
    switch (kind) {
        case Damage::Truncated: {
            // The right-hand 10 to 40 % of the symbol is cut away.
            const int keep = g.width - static_cast<int>(g.width * uniform(rng, 0.1, 0.4));
            for (int y = 0; y < g.height; ++y)
                for (int x = keep; x < g.width; ++x) set(x, y, false);
            break;
        }
        case Damage::RowsKnockedOut: {
            // One to four whole rows wiped white or black.
            const int n = 1 + static_cast<int>(rng() % 4), y0 = static_cast<int>(rng() % g.height);
            const bool dark = rng() % 2;
            for (int y = y0; y < y0 + n; ++y)
                for (int x = 0; x < g.width; ++x) set(x, y, dark);
            break;
        }
        case Damage::ColumnKnockedOut: {
            // A band of 10 to 40 modules down the whole symbol, white or black.
            const int n = 10 + static_cast<int>(rng() % 31), x0 = static_cast<int>(rng() % g.width);
            const bool dark = rng() % 2;
            for (int y = 0; y < g.height; ++y)
                for (int x = x0; x < x0 + n; ++x) set(x, y, dark);
            break;
        }
        case Damage::Scratches: {
            // Random modules flipped: 5 to 15 % of them.
            const double share = uniform(rng, 0.05, 0.15);
            for (auto& m : g.dark)
                if (uniform(rng, 0, 1) < share) m = !m;
            break;
        }
        case Damage::Stain: {
            // A dark stain or a white glare, an ellipse over 5 to 15 % of the data area (between the
            // row indicators), anywhere on it. Grid rows are kRowModules modules tall on paper.
            const int x0 = 2 * kPatternModules, x1 = g.width - kPatternModules - kStopModules;
            const double area = uniform(rng, 0.05, 0.15) * (x1 - x0) * g.height;
            const double aspect = uniform(rng, 0.7, 1.4);  // across / along the bars, on paper
            const double ry = std::sqrt(area / (M_PI * kRowModules * aspect));
            const double rx = aspect * kRowModules * ry;
            const double cx = uniform(rng, x0, x1), cy = uniform(rng, 0, g.height);
            const bool dark = rng() % 2;
            for (int y = 0; y < g.height; ++y)
                for (int x = x0; x < x1; ++x) {
                    const double u = (x + 0.5 - cx) / rx, v = (y + 0.5 - cy) / ry;
                    if (u * u + v * v <= 1) set(x, y, dark);
                }
            break;
        }
        case Damage::Fold: {
            // A crease across every row, dark or white, one or two modules wide and slanting by up
            // to 0.3 module per module of height, somewhere between the row indicators.
            const int x0 = 2 * kPatternModules, x1 = g.width - kPatternModules - kStopModules;
            const double start = uniform(rng, x0, x1), slant = uniform(rng, -0.3, 0.3);
            const int wide = 1 + static_cast<int>(rng() % 2);
            const bool dark = rng() % 2;
            for (int y = 0; y < g.height; ++y) {
                const int x =
                    static_cast<int>(std::floor(start + slant * kRowModules * (y + 0.5 - g.height / 2.0)));
                for (int k = 0; k < wide; ++k) set(x + k, y, dark);
            }
            break;
        }
        case Damage::RowsOffEdge:  // drawn across the image edge instead
            break;
    }
}

// Pages without a PDF417 symbol for this reader: stripes of linear bar codes, random bar rows
// that look like codeword rows, dense small text, a checkerboard and dithered photos.
void draw_no_symbol(BitPage& page, int kind, std::mt19937& rng) {
    switch (kind) {
        case 0:  // rows of random bars and spaces, 1 to 8 px, in bands like symbol rows
            for (int y0 = 0; y0 < page.height; y0 += 4 + static_cast<int>(rng() % 6)) {
                int x = 0;
                bool dark = false;
                std::mt19937 row(rng());
                while (x < page.width) {
                    const int w = 1 + static_cast<int>(row() % 8);
                    for (int y = y0; y < std::min(page.height, y0 + 6); ++y)
                        for (int k = 0; k < w; ++k) page.set(x + k, y, dark);
                    x += w;
                    dark = !dark;
                }
            }
            break;
        case 1:  // tall linear bars across the page
            for (int x = 20, dark = 1; x < page.width - 20; dark = !dark) {
                const int w = 2 * (1 + static_cast<int>(rng() % 4));
                for (int y = 40; y < page.height - 40; ++y)
                    for (int k = 0; k < w; ++k) page.set(x + k, y, dark);
                x += w;
            }
            break;
        case 2:  // a checkerboard of 2 to 5 px squares
        {
            const int s = 2 + static_cast<int>(rng() % 4);
            for (int y = 0; y < page.height; ++y)
                for (int x = 0; x < page.width; ++x) page.set(x, y, ((x / s) + (y / s)) % 2);
            break;
        }
        case 3:
            draw_text_lines(page, rng);
            draw_halftone(page, rng);
            break;
        default:
            draw_photo(page, rng);
            draw_noise(page, rng, 0.1);
            break;
    }
}

}  // namespace

int run(int perClass, unsigned seed, double goal, bool verbose, bool& pass, const SaveMiss& saveMiss,
        const char* onlyClass) {
    std::mt19937 rng(seed);
    const std::vector<SymbolClass> classes = {
        {"small: 2 px modules, 4 px rows, blur", 2, 4,
         [](Render& r, std::mt19937& g) {
             r.blur = 0.6;
             r.angle = uniform(g, -2, 2);
         }},
        {"small: 2.5 px, 5 px rows, blur+spread", 2.5, 5,
         [](Render& r, std::mt19937& g) {
             r.blur = 0.8;
             r.threshold = 0.35;
             r.angle = uniform(g, -2, 2);
         }},
        {"small: 3 px, 6 px rows, blur, +1 px ink", 3, 6,
         [](Render& r, std::mt19937& g) {
             r.blur = 0.8;
             r.spread = 1;
             r.angle = uniform(g, -2, 2);
         }},
        {"small: 2.5 px, 5 px rows, blur, starved", 2.5, 5,
         [](Render& r, std::mt19937& g) {
             r.blur = 0.7;
             r.threshold = 0.62;
             r.angle = uniform(g, -2, 2);
         }},
        {"small, curved and perspective", 2.5, 6,
         [](Render& r, std::mt19937& g) {
             r.blur = 0.5;
             r.perspective = uniform(g, -0.003, 0.003);
             r.curvature = uniform(g, -2, 2);
             r.angle = uniform(g, -2, 2);
         }},
        {"perspective and curl, 3 px", 3, 9,
         [](Render& r, std::mt19937& g) {
             r.perspective = uniform(g, -0.004, 0.004);
             r.curvature = uniform(g, -3, 3);
             r.angle = uniform(g, -3, 3);
         }},
        {"outer row on the image edge", 2, 6,
         [](Render& r, std::mt19937& g) { r.angle = uniform(g, -0.3, 0.3); }, Edges::RowEdge},
        {"pattern on the image edge, blur", 2, 6,
         [](Render& r, std::mt19937& g) {
             r.blur = 0.5;
             r.angle = uniform(g, -0.3, 0.3);
         },
         Edges::PatternEdge},
        {"photo: shading+noise, global, 3 px", 3, 6,
         [](Render& r, std::mt19937& g) {
             photo_light(r, g);
             r.blur = 1.0;
             r.angle = uniform(g, -3, 3);
         }},
        {"photo: shading+noise, global, 2 px", 2, 5,
         [](Render& r, std::mt19937& g) {
             photo_light(r, g);
             r.blur = 0.7;
             r.angle = uniform(g, -3, 3);
         }},
        {"photo: local threshold, 2.5 px", 2.5, 5,
         [](Render& r, std::mt19937& g) {
             photo_local(r, g);
             r.blur = 0.85;
             r.angle = uniform(g, -3, 3);
         }},
        {"photo: local threshold, 3 px, curl", 3, 6,
         [](Render& r, std::mt19937& g) {
             photo_local(r, g);
             r.blur = 1.0;
             r.perspective = uniform(g, -0.003, 0.003);
             r.curvature = uniform(g, -2, 2);
             r.angle = uniform(g, -3, 3);
         }},
        {"photo: global, 2.5 px, curl+persp.", 2.5, 6,
         [](Render& r, std::mt19937& g) {
             photo_light(r, g);
             r.blur = 0.85;
             r.perspective = uniform(g, -0.003, 0.003);
             r.curvature = uniform(g, -2, 2);
             r.angle = uniform(g, -3, 3);
         }},
        {"short: 1 px modules, ~30 px tall", 1, 9, [](Render&, std::mt19937&) {}, Edges::Free, 3},
        {"short: 2 px modules, ~30 px tall", 2, 8,
         [](Render& r, std::mt19937& g) { r.angle = uniform(g, -1, 1); }, Edges::Free, 3},
        {"mixed scan: 2-3 px, all at once", 2, 4,
         [](Render& r, std::mt19937& g) {
             r.module = uniform(g, 2, 3);
             r.moduleY = r.module * uniform(g, 2, 3);
             r.blur = uniform(g, 0.4, 1.0);
             r.threshold = uniform(g, 0.35, 0.65);
             r.perspective = uniform(g, -0.003, 0.003);
             r.curvature = uniform(g, -2, 2);
             r.angle = uniform(g, -3, 3);
             r.speckle = uniform(g, 0, 0.005);
         }},
        {"mixed photo: 2-3 px, all at once", 2, 4,
         [](Render& r, std::mt19937& g) {
             if (g() % 2)
                 photo_local(r, g);
             else
                 photo_light(r, g);
             r.module = uniform(g, 2, 3);
             r.moduleY = r.module * uniform(g, 2, 3);
             r.blur = uniform(g, 0.5, 1.0);
             r.perspective = uniform(g, -0.003, 0.003);
             r.curvature = uniform(g, -2, 2);
             r.angle = uniform(g, -3, 3);
         }},
        {"scan: dithered, 2-3 px", 2, 5,
         [](Render& r, std::mt19937& g) {
             r.contrast = uniform(g, 0.85, 1.0);
             r.shading = uniform(g, 0.0, 0.15);
             r.noise = 0.02;
             r.module = uniform(g, 2, 3);
             r.moduleY = r.module * uniform(g, 2, 3);
             r.blur = uniform(g, 0.6, 1.0);
             r.threshold = 0.5;
             r.dither = true;
             r.angle = uniform(g, -3, 3);
         }},
        {"scan: ordered dither, 2-3 px", 2, 5,
         [](Render& r, std::mt19937& g) {
             r.contrast = uniform(g, 0.85, 1.0);
             r.shading = uniform(g, 0.0, 0.15);
             r.noise = 0.02;
             r.module = uniform(g, 2, 3);
             r.moduleY = r.module * uniform(g, 2, 3);
             r.blur = uniform(g, 0.6, 1.0);
             r.threshold = 0.5;
             r.dither = true;
             r.ordered = true;
             r.angle = uniform(g, -3, 3);
         }},
        // A photo cut well above half its grey: bars about a pixel wider, one-module spaces a
        // pixel wide or closed on some lines.
        {"photo: spread, high threshold, 2.5-3 px", 2.5, 7.5,
         [](Render& r, std::mt19937& g) {
             r.contrast = uniform(g, 0.8, 0.95);
             r.noise = 0.04;
             r.module = uniform(g, 2.5, 3);
             r.moduleY = 3 * r.module;
             r.blur = uniform(g, 0.9, 1.2);
             r.threshold = uniform(g, 0.22, 0.28);
             r.angle = uniform(g, -4, 4);
         }},
        // A local threshold whose window is narrower than the widest bars: they come out hollow,
        // a black rim with white inside.
        {"photo: local thr., 25 px window, 4 px", 4, 12,
         [](Render& r, std::mt19937& g) {
             r.contrast = uniform(g, 0.8, 0.95);
             r.noise = 0.03;
             r.blur = 1.0;
             r.localWindow = 25;
             r.localOffset = 0.05;
             r.angle = uniform(g, -4, 4);
         }},
        // The same window at a third of the width on a small symbol of a few rows: the patterns'
        // widest bars hollow on the middle rows only, whole on the top and bottom rows.
        {"photo: local thr., 15 px window, 2.5 px", 2.5, 7.5,
         [](Render& r, std::mt19937& g) {
             r.contrast = uniform(g, 0.8, 0.95);
             r.noise = 0.015;
             r.blur = uniform(g, 0.6, 1.0);
             r.localWindow = 15;
             r.localOffset = 0.05;
             r.angle = uniform(g, -4, 4);
         },
         Edges::Free, 0, true},
        // Rows of two modules (4-4.5 px) under blur of about half a module, photographed at a slant: the
        // rows run at up to 2 degrees to the bars' normal and each row's bars bleed into the
        // rows above and below.
        {"small, 2-module rows, blur half a mod.", 2, 4,
         [](Render& r, std::mt19937& g) {
             r.module = uniform(g, 2, 2.25);
             r.moduleY = 2 * r.module;
             r.blur = r.module * uniform(g, 0.45, 0.55);
             r.contrast = uniform(g, 0.8, 0.95);
             r.noise = 0.03;
             r.threshold = uniform(g, 0.45, 0.55) * r.contrast;
             r.shear = uniform(g, -0.035, 0.035);
             r.angle = uniform(g, -6, 6);
         },
         Edges::Free, 0, true},
    };

    std::printf("\n  %-40s %5s %5s %9s %5s\n", "PDF417, small and imperfect", "drawn", "read", "rate",
                "wrong");
    int wrong = 0;
    std::mt19937 ownRng(seed + 1);
    for (const SymbolClass& c : classes) {
        Tally t;
        std::mt19937& draws = c.ownDraws ? ownRng : rng;
        for (int n = 0; n < perClass; ++n) {
            stackread_test::SymbolOptions options;
            options.columns = 2 + static_cast<int>(draws() % 5);
            std::string data = random_text(draws, 10 + static_cast<int>(draws() % 40));
            if (c.rows) {
                options.rows = c.rows + static_cast<int>(draws() % 2);
                options.columns = 3 + static_cast<int>(draws() % 5);
                data = data.substr(0, 8 + draws() % 6);
            }
            const stackread_test::Symbol symbol = stackread_test::encode_pdf417(data, options);
            if (!symbol.ok) continue;
            Render how;
            how.module = c.module;
            how.moduleY = c.rowPixels;
            c.setup(how, draws);
            const BitPage page = draw(grid_of(symbol), how, c.edges, draws);
            if (onlyClass == nullptr || std::strstr(c.name, onlyClass) != nullptr)
                score(page, data, t, c.name, verbose, saveMiss);
        }
        if (onlyClass != nullptr && std::strstr(c.name, onlyClass) == nullptr) continue;
        print_row(c.name, t);
        wrong += t.wrong;
        if (t.read < goal * t.drawn) pass = false;
    }

    if (onlyClass != nullptr) return wrong;

    std::printf("\n  %-40s %5s %5s %9s %5s\n", "PDF417 damaged (may miss)", "drawn", "read", "rate", "wrong");
    const char* damages[] = {"truncated 10-40 %",
                             "rows knocked out",
                             "column band knocked out",
                             "5-15 % modules flipped",
                             "stain/glare 5-15 %, EC 2-5",
                             "fold across the rows, EC 2-5",
                             "1-3 rows off the edge, EC 2-5"};
    for (int d = 0; d < 7; ++d) {
        const bool repairable = d >= static_cast<int>(Damage::Stain);
        Tally t;
        for (int n = 0; n < 2 * perClass; ++n) {
            stackread_test::SymbolOptions options;
            options.columns = 2 + static_cast<int>(rng() % 6);
            // The damage a robust reader repairs comes with the levels tickets use for that.
            options.level = repairable ? 2 + static_cast<int>(rng() % 4) : static_cast<int>(rng() % 4);
            const std::string data = random_text(rng, 20 + static_cast<int>(rng() % 60));
            const stackread_test::Symbol symbol = stackread_test::encode_pdf417(data, options);
            if (!symbol.ok) continue;
            ModuleGrid grid = grid_of(symbol);
            damage(grid, static_cast<Damage>(d), rng);
            Render how;
            how.module = 2 + static_cast<int>(rng() % 2);
            how.moduleY = 3 * how.module;
            how.angle = uniform(rng, -4, 4);
            how.blur = uniform(rng, 0, 0.6);
            const Edges edges = d == static_cast<int>(Damage::RowsOffEdge) ? Edges::RowsCut : Edges::Free;
            if (edges == Edges::RowsCut) how.angle = uniform(rng, -0.5, 0.5);
            const BitPage page = draw(grid, how, edges, rng);
            score(page, data, t, damages[d], verbose, saveMiss);
        }
        print_row(damages[d], t);
        wrong += t.wrong;
    }

    std::printf("\n  %-40s %5s %9s\n", "no PDF417 symbol", "pages", "reported");
    const char* kinds[] = {"random bar rows", "linear bars", "checkerboard", "text on halftone",
                           "photo and noise"};
    for (int k = 0; k < 5; ++k) {
        int reported = 0;
        for (int n = 0; n < perClass; ++n) {
            BitPage page(640, 480);
            draw_no_symbol(page, k, rng);
            std::string text;
            if (read(page, text) == STACKREAD_OK) {
                ++reported;
                std::printf("FALSE PDF417 on %s\n", kinds[k]);
            }
        }
        std::printf("  %-40s %5d %9d\n", kinds[k], perClass, reported);
        wrong += reported;
    }
    return wrong;
}

}  // namespace pdf417_sets
