// Symbols drawn by libzint and spoilt the way thermal tickets and photos spoil them (small
// modules, blur before the threshold, ink spread, perspective and curl, one pixel per module),
// damaged symbols, and pages without a symbol. A wrong text is never acceptable; a damaged
// symbol may be missed.
#include <gtest/gtest.h>

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

// Draws `count` symbols of 2 to 6 columns with `setup`, reads them and counts exact and wrong texts.
Score score(int count, unsigned seed, const std::function<void(Render&, std::mt19937&)>& setup,
            std::function<void(ModuleGrid&, std::mt19937&)> damage = {}) {
    std::mt19937 rng(seed);
    Score s;
    for (int n = 0; n < count; ++n) {
        stackread_test::SymbolOptions options;
        options.columns = 2 + static_cast<int>(rng() % 5);
        const std::string data = random_text(rng, 12 + static_cast<int>(rng() % 30));
        const stackread_test::Symbol symbol = stackread_test::encode_pdf417(data, options);
        EXPECT_TRUE(symbol.ok) << symbol.error;
        ModuleGrid grid = module_grid(symbol);
        if (damage) damage(grid, rng);
        Render how;
        setup(how, rng);
        const Reading r = read_page(draw_centred(grid, how, rng, 1.6, 64));
        if (r.result == STACKREAD_OK && r.text == data) ++s.read;
        if (r.result == STACKREAD_OK && r.text != data) ++s.wrong;
    }
    return s;
}

}  // namespace

TEST(StackreadImperfect, SmallBlurredSymbolsWithInkSpreadOrStarvedAreRead) {
    const std::vector<std::function<void(Render&, std::mt19937&)>> kinds = {
        [](Render& r, std::mt19937& g) {  // 2 px modules, 4 px rows, blurred
            r.module = 2;
            r.moduleY = 4;
            r.blur = 0.6;
            r.angle = uniform(g, -1.5, 1.5);
        },
        [](Render& r, std::mt19937& g) {  // 2.5 px, blurred, ink spread by the threshold
            r.module = 2.5;
            r.moduleY = 5;
            r.blur = 0.8;
            r.threshold = 0.35;
            r.angle = uniform(g, -1.5, 1.5);
        },
        [](Render& r, std::mt19937& g) {  // 3 px, blurred, then a pixel of ink spread
            r.module = 3;
            r.moduleY = 6;
            r.blur = 0.8;
            r.spread = 1;
            r.angle = uniform(g, -1.5, 1.5);
        },
        [](Render& r, std::mt19937& g) {  // 2.5 px, blurred, starved
            r.module = 2.5;
            r.moduleY = 5;
            r.blur = 0.7;
            r.threshold = 0.62;
            r.angle = uniform(g, -1.5, 1.5);
        },
    };
    for (size_t k = 0; k < kinds.size(); ++k) {
        const Score s = score(8, 100 + static_cast<unsigned>(k), kinds[k]);
        EXPECT_GE(s.read, 7) << "kind " << k;
        EXPECT_EQ(s.wrong, 0) << "kind " << k;
    }
}

TEST(StackreadImperfect, PerspectiveAndCurledPaperKeepTheColumns) {
    // Modules grow or shrink by 0.4 % per module along the rows (about 1.5 times over a
    // 6-column symbol), and the bars bow by up to 3 px.
    const Score s = score(8, 7, [](Render& r, std::mt19937& g) {
        r.module = 3;
        r.moduleY = 9;
        r.perspective = (g() % 2 ? 1 : -1) * uniform(g, 0.002, 0.004);
        r.curvature = uniform(g, -3, 3);
        r.angle = uniform(g, -3, 3);
    });
    EXPECT_GE(s.read, 7);
    EXPECT_EQ(s.wrong, 0);
}

TEST(StackreadImperfect, ShortSymbolsAtOnePixelPerModuleAreLocated) {
    // Three rows of 9 px: 27 px tall, with a widest bar of 8 px in the start pattern and 7 px
    // in the stop pattern.
    std::mt19937 rng(5);
    for (int n = 0; n < 4; ++n) {
        stackread_test::SymbolOptions options;
        options.rows = 3;
        options.columns = 4 + n;
        const std::string data = random_text(rng, 10);
        const stackread_test::Symbol symbol = stackread_test::encode_pdf417(data, options);
        ASSERT_TRUE(symbol.ok);
        Render how;
        how.module = 1;
        how.moduleY = 9;
        const Reading r = read_page(draw_centred(module_grid(symbol), how, rng, 1.6, 64));
        EXPECT_EQ(r.result, STACKREAD_OK) << n;
        EXPECT_EQ(r.text, data) << n;
    }
}

TEST(StackreadImperfect, DamagedSymbolsAreMissedButNeverMisread) {
    auto clean = [](Render& r, std::mt19937& g) {
        r.module = 2 + static_cast<int>(g() % 2);
        r.moduleY = 3 * r.module;
        r.blur = uniform(g, 0, 0.6);
        r.angle = uniform(g, -3, 3);
    };
    const std::vector<std::function<void(ModuleGrid&, std::mt19937&)>> damages = {
        [](ModuleGrid& m, std::mt19937& g) {  // the right-hand 10 to 40 % cut away
            const int keep = m.width - static_cast<int>(m.width * uniform(g, 0.1, 0.4));
            for (int y = 0; y < m.height; ++y)
                for (int x = keep; x < m.width; ++x) m.dark[static_cast<size_t>(y) * m.width + x] = 0;
        },
        [](ModuleGrid& m, std::mt19937& g) {  // one to four rows wiped, white or black
            const int y0 = static_cast<int>(g() % m.height), n = 1 + static_cast<int>(g() % 4);
            const uint8_t v = g() % 2;
            for (int y = y0; y < std::min(m.height, y0 + n); ++y)
                for (int x = 0; x < m.width; ++x) m.dark[static_cast<size_t>(y) * m.width + x] = v;
        },
        [](ModuleGrid& m, std::mt19937& g) {  // a band of 10 to 40 modules down the symbol
            const int x0 = static_cast<int>(g() % m.width), n = 10 + static_cast<int>(g() % 31);
            const uint8_t v = g() % 2;
            for (int y = 0; y < m.height; ++y)
                for (int x = x0; x < std::min(m.width, x0 + n); ++x)
                    m.dark[static_cast<size_t>(y) * m.width + x] = v;
        },
        [](ModuleGrid& m, std::mt19937& g) {  // 5 to 15 % of the modules flipped
            const double share = uniform(g, 0.05, 0.15);
            for (auto& d : m.dark)
                if (uniform(g, 0, 1) < share) d = !d;
        },
    };
    for (size_t k = 0; k < damages.size(); ++k)
        EXPECT_EQ(score(12, 40 + static_cast<unsigned>(k), clean, damages[k]).wrong, 0) << k;
}

TEST(StackreadImperfect, PagesWithoutASymbolGiveNoText) {
    std::mt19937 rng(9);
    for (int kind = 0; kind < 4; ++kind) {
        for (int n = 0; n < 3; ++n) {
            BitPage page(480, 320);
            if (kind == 0) {  // bands of random bars like codeword rows
                for (int y0 = 0; y0 < page.height; y0 += 5)
                    for (int x = 0, dark = 0; x < page.width; dark = !dark) {
                        const int w = 1 + static_cast<int>(rng() % 8);
                        for (int y = y0; y < y0 + 5; ++y)
                            for (int i = 0; i < w; ++i) page.set(x + i, y, dark);
                        x += w;
                    }
            } else if (kind == 1) {
                draw_text_lines(page, rng);
            } else if (kind == 2) {
                draw_halftone(page, rng);
            } else {
                draw_noise(page, rng, 0.2);
            }
            EXPECT_NE(read_page(page).result, STACKREAD_OK) << "kind " << kind;
        }
    }
}

TEST(StackreadImperfect, StrongPerspectiveIsFollowedCodewordByCodeword) {
    // Modules grow by 0.4 to 0.5 % per module along the rows: each codeword is 7 to 9 % wider
    // than the one before, so a width expected from the pattern and the row indicator alone is
    // already too narrow for the first data codeword.
    const Score s = score(16, 4040, [](Render& r, std::mt19937& g) {
        r.module = 3;
        r.moduleY = 9;
        r.perspective = (g() % 2 ? 1 : -1) * uniform(g, 0.004, 0.005);
        r.angle = uniform(g, -2, 2);
    });
    EXPECT_GE(s.read, 15);
    EXPECT_EQ(s.wrong, 0);
}
