// Photographed tickets reduced to 1-bit (light falling across the symbol, sensor noise, a global
// or a local threshold), short symbols that cross few scan lines, and the damage that error
// correction repairs (a stain, a fold). A wrong text is never acceptable.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "barcode/common/tests/degrade.h"
#include "barcode/pdf417/Stackread.h"
#include "barcode/pdf417/tests/spoilt_pages.h"

using namespace barcode::degrade;
using namespace stackread_test;

namespace {

struct Score {
    int read = 0, wrong = 0;
};

// Draws `count` symbols with `setup` (after `damage`), reads them and counts exact and wrong texts.
Score score(int count, unsigned seed, const stackread_test::SymbolOptions& base,
            const std::function<void(Render&, std::mt19937&)>& setup,
            const std::function<void(ModuleGrid&, std::mt19937&)>& damage = {}) {
    std::mt19937 rng(seed);
    Score s;
    for (int n = 0; n < count; ++n) {
        stackread_test::SymbolOptions options = base;
        // Symbols of a fixed row count hold 10 characters in 3 to 7 columns.
        if (options.columns == 0) options.columns = (options.rows ? 3 : 2) + static_cast<int>(rng() % 5);
        const std::string data = random_text(rng, options.rows ? 10 : 12 + static_cast<int>(rng() % 30));
        const stackread_test::Symbol symbol = stackread_test::encode_pdf417(data, options);
        EXPECT_TRUE(symbol.ok) << symbol.error;
        ModuleGrid grid = module_grid(symbol);
        if (damage) damage(grid, rng);
        Render how;
        setup(how, rng);
        if (how.moduleY == 0) how.moduleY = how.module;
        const Reading r = read_page(draw_centred(grid, how, rng, 1.3, 64));
        if (r.result != STACKREAD_OK) continue;
        if (r.text == data)
            ++s.read;
        else
            ++s.wrong;
    }
    return s;
}

}  // namespace

TEST(StackreadPhotos, ShadedNoisyPhotosAreReadAtAGlobalOrALocalThreshold) {
    const std::vector<std::function<void(Render&, std::mt19937&)>> kinds = {
        [](Render& r, std::mt19937& g) {  // light falling across, noise, one threshold
            r.module = 2.5;
            r.moduleY = 5;
            r.blur = 0.85;
            r.contrast = uniform(g, 0.6, 0.9);
            r.shading = uniform(g, 0.2, 0.4);
            r.noise = 0.06;
            r.threshold = 0.45;
            r.angle = uniform(g, -3, 3);
        },
        [](Render& r, std::mt19937& g) {  // stronger shading, an adaptive threshold, curl
            r.module = 3;
            r.moduleY = 6;
            r.blur = 1.0;
            r.contrast = uniform(g, 0.5, 0.9);
            r.shading = uniform(g, 0.3, 0.6);
            r.noise = 0.035;
            r.localWindow = 41;
            r.localOffset = 0.07;
            r.curvature = uniform(g, -2, 2);
            r.angle = uniform(g, -3, 3);
        },
    };
    for (size_t k = 0; k < kinds.size(); ++k) {
        const Score s = score(8, 300 + static_cast<unsigned>(k), {}, kinds[k]);
        EXPECT_GE(s.read, 7) << "kind " << k;
        EXPECT_EQ(s.wrong, 0) << "kind " << k;
    }
}

TEST(StackreadPhotos, ThreeRowSymbolsOfFewScanLinesAreLocated) {
    // Three rows of 4 px: 12 px tall, fewer lines than one pattern edge needs; the start and
    // the stop edge together locate it.
    stackread_test::SymbolOptions options;
    options.rows = 3;
    const Score s = score(10, 17, options, [](Render& r, std::mt19937& g) {
        r.module = 2;
        r.moduleY = 4;
        r.blur = 0.5;
        r.angle = uniform(g, -1, 1);
    });
    EXPECT_GE(s.read, 9);
    EXPECT_EQ(s.wrong, 0);
}

TEST(StackreadPhotos, StainsAndFoldsAreRepairedByTheCheckCodewords) {
    auto scan = [](Render& r, std::mt19937& g) {
        r.module = 3;
        r.moduleY = 9;
        r.blur = 0.4;
        r.angle = uniform(g, -3, 3);
    };
    // Data area: between the left row indicator (module 34) and the right one.
    auto stain = [](ModuleGrid& m, std::mt19937& g) {  // an ellipse of about 8 % of the data area
        const int x0 = 34, x1 = m.width - 35;
        const double rx = 0.2 * (x1 - x0), ry = 0.2 * m.height;
        const double cx = uniform(g, x0, x1), cy = uniform(g, 0, m.height);
        const uint8_t v = g() % 2;
        for (int y = 0; y < m.height; ++y)
            for (int x = x0; x < x1; ++x)
                if (std::pow((x + 0.5 - cx) / rx, 2) + std::pow((y + 0.5 - cy) / ry, 2) <= 1)
                    m.dark[static_cast<size_t>(y) * m.width + x] = v;
    };
    auto fold = [](ModuleGrid& m, std::mt19937& g) {  // a dark crease, two modules wide, slanting
        const double x0 = uniform(g, 40, m.width - 45), slant = uniform(g, -0.5, 0.5);
        for (int y = 0; y < m.height; ++y)
            for (int k = 0; k < 2; ++k) {
                const int x = static_cast<int>(x0 + slant * y) + k;
                if (x >= 0 && x < m.width) m.dark[static_cast<size_t>(y) * m.width + x] = 1;
            }
    };
    stackread_test::SymbolOptions options;
    options.level = 4;
    options.columns = 4;
    const Score stained = score(8, 21, options, scan, stain);
    EXPECT_GE(stained.read, 6);
    EXPECT_EQ(stained.wrong, 0);
    const Score folded = score(8, 22, options, scan, fold);
    EXPECT_GE(folded.read, 7);
    EXPECT_EQ(folded.wrong, 0);
}

TEST(StackreadPhotos, TiltedShortSymbolsWhoseEdgesShareFewLinesAreLocated) {
    // Three or four rows of 4 px turned by 1.5 to 2.5 degrees: the stop edge of such a symbol
    // lies 8 to 15 px above or below its start edge, so the two edges share few scan lines.
    stackread_test::SymbolOptions options;
    options.rows = 3;
    const Score s = score(12, 31, options, [](Render& r, std::mt19937& g) {
        r.module = 2;
        r.moduleY = 4;
        r.blur = 0.5;
        r.angle = (g() % 2 ? 1 : -1) * uniform(g, 1.5, 2.5);
    });
    EXPECT_GE(s.read, 11);
    EXPECT_EQ(s.wrong, 0);
}

TEST(StackreadPhotos, ShortSymbolsSaltedByALocalThresholdAreLocated) {
    // Rows of 5 px under a local threshold: salt breaks the start or stop pattern on many of the
    // few lines that cross it, leaving as few as 4 matches on one edge.
    stackread_test::SymbolOptions options;
    options.rows = 3;
    const Score s = score(12, 37, options, [](Render& r, std::mt19937& g) {
        r.module = 2.5;
        r.moduleY = 5;
        r.blur = 0.8;
        r.contrast = uniform(g, 0.5, 0.9);
        r.shading = uniform(g, 0.3, 0.6);
        r.noise = 0.035;
        r.localWindow = 41;
        r.localOffset = 0.07;
        r.angle = uniform(g, -2, 2);
    });
    EXPECT_GE(s.read, 11);
    EXPECT_EQ(s.wrong, 0);
}

// A scan of 2-3 px modules (from `minModule`) on rows 2-3 modules tall, blurred, on light grey
// paper, reduced to one bit by error diffusion or by the 4 x 4 ordered pattern.
auto dithered_scan(double minModule, bool ordered) {
    return [minModule, ordered](Render& r, std::mt19937& g) {
        r.module = uniform(g, minModule, 3);
        r.moduleY = r.module * uniform(g, 2, 3);
        r.blur = uniform(g, 0.6, 1.0);
        r.contrast = uniform(g, 0.85, 1.0);
        r.shading = uniform(g, 0.0, 0.15);
        r.noise = 0.02;
        r.dither = true;
        r.ordered = ordered;
        r.angle = uniform(g, -3, 3);
    };
}

// The last quarter of the columns cut off: nothing to read, and never a wrong text.
void cut_last_quarter(ModuleGrid& grid, std::mt19937&) {
    for (int y = 0; y < grid.height; ++y)
        for (int x = grid.width * 3 / 4; x < grid.width; ++x)
            grid.dark[static_cast<std::size_t>(y) * grid.width + x] = 0;
}

TEST(StackreadPhotos, DitheredScansAreReadSmoothedAndDamagedOnesNeverWrong) {
    // Error diffusion turns light grey paper into a scatter of lone dots and the blurred edges of
    // 2-3 px modules into a ragged fringe that no line reads as it stands.
    const Score s = score(8, 41, stackread_test::SymbolOptions{}, dithered_scan(2, false));
    EXPECT_GE(s.read, 7);
    EXPECT_EQ(s.wrong, 0);
    const Score cut =
        score(4, 43, stackread_test::SymbolOptions{}, dithered_scan(2, false), cut_last_quarter);
    EXPECT_EQ(cut.wrong, 0);
}

TEST(StackreadPhotos, OrderedDitheredScansAreReadThroughTheirGreyAndDamagedOnesNeverWrong) {
    // The 4 x 4 ordered pattern makes the blurred edges of 2.3-3 px modules a lattice that neither
    // the lines nor the smoothed copies read; averaged over the pattern along the bars the page
    // gives back its grey.
    const Score s = score(8, 51, stackread_test::SymbolOptions{}, dithered_scan(2.3, true));
    EXPECT_GE(s.read, 7);  // 5 without the grey
    EXPECT_EQ(s.wrong, 0);
    const Score cut =
        score(3, 49, stackread_test::SymbolOptions{}, dithered_scan(2.3, true), cut_last_quarter);
    EXPECT_EQ(cut.wrong, 0);
}

// A photo cut well above half its grey: every bar about a pixel wider, the one-module spaces of
// the start and stop patterns a pixel wide, so only their pair sums still fit.
void spread_by_high_threshold(Render& r, std::mt19937& g) {
    r.module = uniform(g, 2.5, 3);
    r.moduleY = 3 * r.module;
    r.blur = uniform(g, 0.9, 1.2);
    r.contrast = uniform(g, 0.8, 0.95);
    r.noise = 0.04;
    r.threshold = uniform(g, 0.22, 0.28);
    r.angle = uniform(g, -4, 4);
}

TEST(StackreadPhotos, InkSpreadByAHighThresholdIsLocatedAndCutSymbolsNeverWrong) {
    const Score s = score(8, 65, stackread_test::SymbolOptions{}, spread_by_high_threshold);
    EXPECT_GE(s.read, 7);  // 1 before: not located, or closed spaces on too many lines
    EXPECT_EQ(s.wrong, 0);
    const Score cut =
        score(6, 63, stackread_test::SymbolOptions{}, spread_by_high_threshold, cut_last_quarter);
    EXPECT_EQ(cut.wrong, 0);
}

// A photo of 4 px modules cut by a local threshold whose 25 px window is narrower than the start
// and stop patterns' widest bars: they come out hollow, a dark rim on each side.
void hollow_by_a_narrow_window(Render& r, std::mt19937& g) {
    r.module = 4;
    r.moduleY = 12;
    r.blur = 1.0;
    r.contrast = uniform(g, 0.8, 0.95);
    r.noise = 0.03;
    r.localWindow = 25;
    r.localOffset = 0.05;
    r.angle = uniform(g, -4, 4);
}

TEST(StackreadPhotos, HollowPatternBarsAreClosedAndCutSymbolsNeverWrong) {
    const Score s = score(8, 71, stackread_test::SymbolOptions{}, hollow_by_a_narrow_window);
    EXPECT_GE(s.read, 7);  // none before: the pattern was met on no line
    EXPECT_EQ(s.wrong, 0);
    const Score cut =
        score(6, 73, stackread_test::SymbolOptions{}, hollow_by_a_narrow_window, cut_last_quarter);
    EXPECT_EQ(cut.wrong, 0);
}

// The same at 2.5 px modules and a 15 px window, on small symbols of rows 7.5 px tall: the bars
// are hollow on the middle rows only (the window takes in the paper above and below the symbol on
// the outer ones), so few of the lines 10 px apart meet them hollow.
void hollow_on_a_short_symbol(Render& r, std::mt19937& g) {
    r.module = 2.5;
    r.moduleY = 7.5;
    r.blur = uniform(g, 0.6, 1.0);
    r.contrast = uniform(g, 0.8, 0.95);
    r.noise = 0.015;
    r.localWindow = 15;
    r.localOffset = 0.05;
    r.angle = uniform(g, -4, 4);
}

TEST(StackreadPhotos, HollowPatternBarsOfShortSymbolsAreClosedAndDamagedOnesNeverWrong) {
    const Score s = score(10, 81, stackread_test::SymbolOptions{}, hollow_on_a_short_symbol);
    EXPECT_GE(s.read, 6);  // 1 before: the hollow bars counted on too few lines to earn the look
    EXPECT_EQ(s.wrong, 0);
    const Score cut =
        score(8, 83, stackread_test::SymbolOptions{}, hollow_on_a_short_symbol, cut_last_quarter);
    EXPECT_EQ(cut.wrong, 0);
}

// The same window under blur of half a module: the pattern's one-module bars next to the hollow
// bar are starved to a pixel and their spaces widened, so single elements leave the pattern's
// windows on most lines and only the pattern's pair sums still fit.
TEST(StackreadPhotos, HollowPatternBarsBesideStarvedThinBarsAreClosedAndCutOnesNeverWrong) {
    auto blurred = [](Render& r, std::mt19937& g) {
        hollow_on_a_short_symbol(r, g);
        r.blur = uniform(g, 1.1, 1.2);
    };
    const Score s = score(20, 91, stackread_test::SymbolOptions{}, blurred);
    EXPECT_GE(s.read, 5);  // 1 before: the hollow bars were counted on too few lines
    EXPECT_EQ(s.wrong, 0);
    const Score cut = score(8, 93, stackread_test::SymbolOptions{}, blurred, cut_last_quarter);
    EXPECT_EQ(cut.wrong, 0);
}

namespace {

// A 1-bit BMP (bottom-up rows, a two-colour palette) as a BitPage; width 0 when the file is not one.
BitPage load_bitmap(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return BitPage(0, 0);
    std::vector<std::uint8_t> b;
    for (int c; (c = std::fgetc(f)) != EOF;) b.push_back(static_cast<std::uint8_t>(c));
    std::fclose(f);
    auto u32 = [&b](std::size_t at) {
        return at + 4 <= b.size() ? static_cast<std::uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 |
                                                               static_cast<std::uint32_t>(b[at + 3]) << 24)
                                  : 0u;
    };
    const std::size_t data = u32(10), header = u32(14);
    const int w = static_cast<int>(u32(18)), h = static_cast<int>(u32(22));
    if (b.size() < 30 || b[28] != 1 || w <= 0 || h <= 0 || w > 4096 || h > 4096) return BitPage(0, 0);
    const std::size_t palette = 14 + header, stride = (static_cast<std::size_t>(w) + 31) / 32 * 4;
    if (data + stride * static_cast<std::size_t>(h) > b.size() || palette + 8 > b.size())
        return BitPage(0, 0);
    const bool zeroDark =
        b[palette] + b[palette + 1] + b[palette + 2] < b[palette + 4] + b[palette + 5] + b[palette + 6];
    BitPage page(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool bit =
                (b[data + stride * static_cast<std::size_t>(h - 1 - y) + x / 8] >> (7 - x % 8)) & 1;
            page.set(x, y, bit != zeroDark);
        }
    return page;
}

// Page `file` of the test data reads `printed`; each of its `copies` damaged copies (`damage`
// spoils copy k of the page) reads the same text or nothing.
void expect_read_and_copies_never_misread(const char* file, const char* printed, int copies,
                                          const std::function<void(BitPage&, int)>& damage) {
    const BitPage page = load_bitmap(std::string(STACKREAD_TEST_DATA) + "/" + file);
    ASSERT_GT(page.width, 0) << file;
    const Reading whole = read_page(page);
    EXPECT_EQ(whole.result, STACKREAD_OK) << file;
    EXPECT_EQ(whole.text, printed) << file;
    for (int k = 0; k < copies; ++k) {
        BitPage damaged = page;
        damage(damaged, k);
        const Reading r = read_page(damaged);
        if (r.result == STACKREAD_OK) {
            EXPECT_EQ(r.text, printed) << file << " copy " << k;
        }
    }
}

// Symbols whose rows are two modules (4 px) tall, blurred by about half a module and photographed
// at a slant, so that the rows run at an angle to the scan lines and every row's bars bleed into
// its neighbours: the lines along the rows read too few codewords right. Both pages were missed
// before; each row read again along its own middle reads them. The same pages with a band across
// the rows wiped out or salted are read right or not at all.
TEST(StackreadPhotos, RowsTwoModulesTallUnderBlurAreReadAlongTheirMiddles) {
    struct Page {
        const char* file;
        const char* printed;
    };
    for (const Page& p : {Page{"rows2-photo-blur09.bmp", "TKT3-MJRA175E4OGXXJP-UJCGGC43EB9"},
                          Page{"rows2-slant-blur.bmp", "xEDyll88CH9bfEnYJQ3k-o/91JsALDlQk  Do "}}) {
        expect_read_and_copies_never_misread(p.file, p.printed, 3, [](BitPage& page, int band) {
            const int x0 = page.width * (2 + band) / 8, x1 = x0 + page.width / 10;
            for (int y = 0; y < page.height; ++y)
                for (int x = x0; x < x1; ++x) page.set(x, y, band == 2 ? ((x + y) % 3 == 0) : false);
        });
    }
}

// Photographed pages with two-module rows blurred by half a module: thin spaces no longer come
// back to white, so many cells have no edges to read and only their whole darkness profile tells
// the patterns apart. On the second page the lines that crossed into the neighbouring rows read
// valid codewords of the wrong value in three cells no row's middle confirmed (too many errors for
// the check codewords); those cells are now matched by their profiles. The pages read; blotted,
// wiped and salted copies read the same text or none.
TEST(StackreadPhotos, RowsTwoModulesTallUnderBlurAreReadByTheirCellsProfiles) {
    struct Page {
        const char* file;
        const char* printed;
    };
    for (const Page& p : {Page{"rows2-photo-blur10.bmp", "TKT12-5ZWJJP5YCGKZGSMU448FMYAG6-/"},
                          Page{"rows2-line-misread-blur.bmp", "vTYh/E86/r2yOV7OZu/kX fmE96OR"}}) {
        expect_read_and_copies_never_misread(p.file, p.printed, 4, [](BitPage& page, int band) {
            const BitPage clean = page;
            const int x0 = page.width * (2 + band) / 9, x1 = x0 + page.width / 12;
            for (int y = 0; y < page.height; ++y)
                for (int x = x0; x < x1; ++x) {
                    if (band == 0) page.set(x, y, true);                      // a blot
                    if (band == 1) page.set(x, y, false);                     // a wiped stripe
                    if (band == 2) page.set(x, y, (x * 7 + y * 3) % 5 == 0);  // salt and pepper
                    if (band == 3 && y % 4 == 0)
                        page.set(x, y, !clean.black(x, y));  // every fourth line inverted
                }
        });
    }
}

// A short symbol under a 15 px local threshold window, salted: the hollow start bar meets the
// narrower windows on no band-search line and on a single one of the lines 3 px apart, while
// the merged bar fits the pattern by its pair sums on several of them; counted either way, they
// earn the look that closes hollow bars. Copies with the stop side wiped, or with a blot across
// the rows, read the same text or none.
TEST(StackreadPhotos, SaltedHollowBarsMetByTheirPairSumsEarnTheLook) {
    expect_read_and_copies_never_misread(
        "rows3-hollow-salted-lat15.bmp", "y8 Udcn6-RoOummhE.3", 3, [](BitPage& page, int kind) {
            const int x0 = kind == 0 ? page.width * 2 / 3 : page.width * (1 + kind) / 5,
                      x1 = x0 + page.width / 10;
            for (int y = 0; y < page.height; ++y)
                for (int x = x0; x < (kind == 0 ? page.width : x1); ++x)
                    page.set(x, y, kind == 2);  // the stop side wiped, a wiped band, a blot
        });
}

// A blurred photographed page whose rows were once counted one too many: the unread row still
// corrected, and the check codewords taken for data added text. It must read exactly.
TEST(StackreadPhotos, ARowCountedTooManyAddsNoText) {
    const BitPage page = load_bitmap(std::string(STACKREAD_TEST_DATA) + "/rows3-extra-row-blur.bmp");
    ASSERT_GT(page.width, 0);
    const Reading r = read_page(page);
    EXPECT_EQ(r.result, STACKREAD_OK);
    EXPECT_EQ(r.text, "TKT17-BAL1FRIXVNJS79FSHGZXTX49/2P IQB8AYIP4DAAN0O6PTD6PCYWB9T22GHX 7R/-Y");
}

}  // namespace
