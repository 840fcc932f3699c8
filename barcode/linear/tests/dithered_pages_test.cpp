// Scans reduced to one bit by error diffusion rather than by a threshold: the grey of the paper
// becomes a scatter of lone dots and every blurred bar edge a ragged fringe. Such a page is
// searched a second time smoothed; a symbol is still reported once, a damaged one never with a
// wrong text, and a dithered page without symbols gives nothing.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "barcode/common/tests/degrade.h"
#include "barcode/common/tests/sanitized_pages.h"
#include "barcode/linear/tests/drawn_pages.h"

namespace stripescan::testing {
namespace {

using barcode::degrade::BitPage;
using barcode::degrade::ModuleGrid;
using barcode::degrade::Render;

double uniform(std::mt19937& rng, double a, double b) {
    return std::uniform_real_distribution<double>(a, b)(rng);
}

// A scan at 2 to 4 px modules with blur, light grey paper and a little sensor noise, dithered.
void dithered_scan(Render& how, std::mt19937& rng) {
    how.module = uniform(rng, 2, 4);
    how.blur = 0.35 * how.module;
    how.contrast = uniform(rng, 0.85, 1.0);
    how.shading = uniform(rng, 0.0, 0.15);
    how.noise = 0.02;
    how.dither = true;
    how.angle = uniform(rng, -10, 10);
}

template <class Damage>
Outcome read_dithered(int symbology, int count, unsigned seed, Damage damage) {
    return read_drawn(
        symbology, count, seed,
        [&damage](ModuleGrid& grid, Render& how, std::mt19937& rng) {
            dithered_scan(how, rng);
            damage(grid, rng);
        },
        [](const ModuleGrid& grid, const Render& how) {
            return BitPage(static_cast<int>(grid.width * how.module + 140),
                           static_cast<int>(grid.height * how.module + 80));
        });
}

TEST(Dithered, EverySymbologyReadsExactlyAndOnce) {
    for (int symbology = 1; symbology <= 8; ++symbology) {
        const Outcome o = read_dithered(symbology, 3, 300u + static_cast<unsigned>(symbology),
                                        [](ModuleGrid&, std::mt19937&) {});
        EXPECT_EQ(o.read, 3) << "symbology " << symbology;
        EXPECT_EQ(o.wrong, 0) << "symbology " << symbology << o.wrongTexts;
    }
}

TEST(Dithered, CutShortOrMissingABarGivesNoWrongText) {
    for (int symbology = 1; symbology <= 8; ++symbology) {
        for (int kind = 0; kind < 2; ++kind) {
            const Outcome o = read_dithered(
                symbology, barcode::degrade::pages_to_draw(2), 320u + static_cast<unsigned>(symbology),
                [kind](ModuleGrid& grid, std::mt19937& rng) { damage_symbol(grid, kind, rng); });
            EXPECT_EQ(o.wrong, 0) << "symbology " << symbology << (kind ? " cut short" : " bar knocked out")
                                  << o.wrongTexts;
        }
    }
}

TEST(Dithered, TextPhotosAndHalftonesWithoutSymbolsGiveNoResult) {
    std::mt19937 rng(17);
    const ModuleGrid nothing{1, 1, {0}};
    for (int kind = 0; kind < 3; ++kind) {
        for (int n = 0; n < 2; ++n) {
            BitPage page(480, 320);
            if (kind == 0) draw_text_lines(page, rng);
            if (kind == 1) draw_photo(page, rng);
            if (kind == 2) draw_halftone(page, rng);
            Render how;
            dithered_scan(how, rng);
            how.blur = uniform(rng, 0.5, 1.5);
            how.cx = page.width / 2.0;
            how.cy = page.height / 2.0;
            render(nothing, how, page, rng);
            const auto reads = read_bit_page(page);
            EXPECT_TRUE(reads.empty())
                << "page kind " << kind << ": " << (reads.empty() ? "" : reads[0].second);
        }
    }
}

}  // namespace
}  // namespace stripescan::testing
