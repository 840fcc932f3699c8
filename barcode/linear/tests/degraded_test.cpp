// Symbols spoilt the way real tickets are, damaged symbols and pages without any symbol: a read
// may be missed, but a text must never be wrong and nothing may be reported from a page
// without symbols.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "barcode/common/tests/degrade.h"
#include "barcode/common/tests/sanitized_pages.h"
#include "barcode/linear/tests/drawn_pages.h"

namespace stripescan::testing {
namespace {

using barcode::degrade::BitPage;
using barcode::degrade::ModuleGrid;
using barcode::degrade::Render;

// Draws `count` random symbols of `symbology` at 3 px modules, turned up to 5 degrees, lets
// `spoil` change the grid and the rendering, and reads each page.
template <class Spoil>
Outcome read_spoilt(int symbology, int count, unsigned seed, Spoil spoil) {
    return read_drawn(
        symbology, count, seed,
        [&spoil](ModuleGrid& grid, Render& how, std::mt19937& rng) {
            how.module = 3;
            how.angle = std::uniform_real_distribution<double>(-5, 5)(rng);
            spoil(grid, how, rng);
        },
        [](const ModuleGrid& grid, const Render& how) {
            return BitPage(static_cast<int>(grid.width * how.module + 140),
                           static_cast<int>(grid.height * how.module + 80));
        });
}

TEST(InkSpread, EanAndUpcWithBarsAPixelWiderOrNarrowerReadExactly) {
    for (int symbology : {STRIPESCAN_EAN13, STRIPESCAN_EAN8, STRIPESCAN_UPCE}) {
        for (int spread : {-1, 1}) {
            const Outcome o =
                read_spoilt(symbology, 12, 40u + static_cast<unsigned>(symbology),
                            [spread](ModuleGrid&, Render& how, std::mt19937&) { how.spread = spread; });
            EXPECT_EQ(o.read, 12) << "symbology " << symbology << " spread " << spread;
            EXPECT_EQ(o.wrong, 0) << "symbology " << symbology << " spread " << spread << o.wrongTexts;
        }
    }
}

TEST(InkSpread, EanAtOneAndAHalfPixelModulesIsMostlyReadAndNeverMisread) {
    for (int symbology : {STRIPESCAN_EAN13, STRIPESCAN_EAN8, STRIPESCAN_UPCE}) {
        const Outcome o =
            read_spoilt(symbology, 20, 7u, [](ModuleGrid&, Render& how, std::mt19937&) { how.module = 1.5; });
        EXPECT_GE(o.read, 16) << "symbology " << symbology;
        EXPECT_EQ(o.wrong, 0) << "symbology " << symbology << o.wrongTexts;
    }
}

TEST(InkSpread, UpcAndEanUprightAtOneAndAHalfPixelModulesAreReadAndNeverMisread) {
    // Upright bars give every scan line the same whole-pixel edges, so nothing averages the
    // rounding out; the guards' one-module elements then measure a pixel apart, which is no
    // ink gain (taking it for one read 7 as 1 and passed the UPC-E check).
    for (int symbology : {STRIPESCAN_EAN13, STRIPESCAN_EAN8, STRIPESCAN_UPCE}) {
        const Outcome o = read_spoilt(symbology, 16, 23u, [](ModuleGrid&, Render& how, std::mt19937&) {
            how.module = 1.5;
            how.angle = 0;
            how.blur = 0.3;
        });
        EXPECT_GE(o.read, 15) << "symbology " << symbology;
        EXPECT_EQ(o.wrong, 0) << "symbology " << symbology << o.wrongTexts;
    }
}

TEST(InkSpread, NarrowWideSymbologiesWithBarsAPixelWiderOrNarrowerReadExactly) {
    // Codabar takes the gain off for the whole symbol, Code 39 and 2 of 5 per character.
    for (int symbology : {STRIPESCAN_CODE39, STRIPESCAN_CODABAR, STRIPESCAN_ITF}) {
        for (int spread : {-1, 1}) {
            const Outcome o =
                read_spoilt(symbology, 12, 60u + static_cast<unsigned>(symbology),
                            [spread](ModuleGrid&, Render& how, std::mt19937&) { how.spread = spread; });
            EXPECT_GE(o.read, 11) << "symbology " << symbology << " spread " << spread;
            EXPECT_EQ(o.wrong, 0) << "symbology " << symbology << " spread " << spread << o.wrongTexts;
        }
    }
}

TEST(InkSpread, ASymbolWhoseNarrowSpacesCloseOnSomeRowsIsReportedOnce) {
    // A spread of one pixel closes narrow spaces on some rows, so the first reading's extent
    // may cover only part of the bars; the rest must not come back as a second result
    // (read_spoilt counts every further result as wrong).
    for (int symbology : {STRIPESCAN_CODABAR, STRIPESCAN_ITF}) {
        const Outcome o = read_spoilt(symbology, 20, 5u, [](ModuleGrid&, Render& how, std::mt19937&) {
            how.module = 4;
            how.spread = 1;
        });
        EXPECT_GE(o.read, 18) << "symbology " << symbology;
        EXPECT_EQ(o.wrong, 0) << "symbology " << symbology << o.wrongTexts;
    }
}

TEST(WideNarrowRatio, SymbolsPrintedFarFromTheNominalRatioAreReadExactly) {
    // Wide elements 2.2 and 3.8 narrow ones wide (3 px narrow): the second lies outside the
    // nominal ratios, where each character's own split of widths decides.
    for (int symbology : {STRIPESCAN_CODE39, STRIPESCAN_CODABAR, STRIPESCAN_ITF}) {
        for (double ratio : {2.2, 3.8}) {
            const Outcome o = read_spoilt(symbology, 10, 70u + static_cast<unsigned>(symbology),
                                          [ratio](ModuleGrid& grid, Render& how, std::mt19937&) {
                                              grid = restretch_wide(grid, 2, ratio, 4);
                                              how.moduleY = how.module;
                                              how.module /= 4;
                                          });
            EXPECT_GE(o.read, 10) << "symbology " << symbology << " ratio " << ratio;
            EXPECT_EQ(o.wrong, 0) << "symbology " << symbology << " ratio " << ratio << o.wrongTexts;
        }
    }
}

TEST(Speckle, SymbolsWithTwoPercentOfPixelsFlippedAreReadExactly) {
    // A speck in the quiet zone must not hide the symbol.
    for (int symbology = 1; symbology <= 8; ++symbology) {
        const Outcome o = read_spoilt(symbology, 8, 80u + static_cast<unsigned>(symbology),
                                      [](ModuleGrid&, Render& how, std::mt19937&) { how.speckle = 0.02; });
        EXPECT_GE(o.read, 7) << "symbology " << symbology;
        EXPECT_EQ(o.wrong, 0) << "symbology " << symbology << o.wrongTexts;
    }
}

// A page with one Interleaved 2 of 5 symbol of `digits` whose quiet zones are `quiet` narrow
// modules wide (3 px), the page edge right after them; answers what was read.
std::vector<std::pair<int, std::string>> read_interleaved(const std::string& digits, int quiet) {
    ModuleImage image;
    EXPECT_TRUE(encode(zint_symbology_for(STRIPESCAN_ITF), digits, image));
    ModuleGrid grid{image.width, image.height, image.dark};
    Render how;
    how.module = 3;
    const int margin = quiet * 3;
    BitPage page(image.width * 3 + 2 * margin + 64, image.height * 3 + 40);
    how.cx = page.width / 2.0;
    how.cy = page.height / 2.0;
    std::mt19937 rng(3);
    render(grid, how, page, rng);
    // Black beyond the quiet zones, so that the edge of the white is where the zone ends.
    const int left = static_cast<int>(how.cx - image.width * 1.5) - margin;
    const int right = static_cast<int>(how.cx + image.width * 1.5) + margin;
    for (int y = 0; y < page.height; ++y) {
        for (int x = 0; x < page.width; ++x) {
            if (x < left || x > right) page.set(x, y, true);
        }
    }
    return read_bit_page(page);
}

TEST(ShortInterleaved, ASingleDigitPairNeedsBothQuietZonesInFull) {
    // Two digits have no check, no fixed length and a start found inside many symbols: only
    // full quiet zones vouch for them. Longer 2 of 5 symbols keep the usual tolerance.
    const auto full = read_interleaved("94", 11);
    ASSERT_EQ(full.size(), 1u);
    EXPECT_EQ(full[0].second, "94");
    EXPECT_TRUE(read_interleaved("94", 8).empty());
    const auto longer = read_interleaved("9412", 8);
    ASSERT_EQ(longer.size(), 1u);
    EXPECT_EQ(longer[0].second, "9412");
}

TEST(ShortInterleaved, ATiltedDigitPairStillReads) {
    // Its quiet zones are also walked a few rows along the bars, from where slanted bars end.
    for (const double angle : {-35.0, -12.0, 12.0, 35.0}) {
        ModuleImage image;
        ASSERT_TRUE(encode(zint_symbology_for(STRIPESCAN_ITF), "94", image));
        ModuleGrid grid{image.width, image.height, image.dark};
        Render how;
        how.module = 3;
        how.angle = angle;
        BitPage page(image.width * 3 + 160, image.width * 3 + 160);
        how.cx = page.width / 2.0;
        how.cy = page.height / 2.0;
        std::mt19937 rng(5);
        render(grid, how, page, rng);
        const auto results = read_bit_page(page);
        ASSERT_EQ(results.size(), 1u) << angle;
        EXPECT_EQ(results[0].second, "94") << angle;
    }
}

TEST(Damage, KnockedOutBarsAndCutOffEndsNeverGiveAWrongText) {
    for (int symbology = 1; symbology <= 8; ++symbology) {
        for (int kind = 0; kind < 2; ++kind) {
            const Outcome o = read_spoilt(symbology, barcode::degrade::pages_to_draw(4),
                                          90u + static_cast<unsigned>(symbology),
                                          [kind](ModuleGrid& grid, Render& how, std::mt19937& rng) {
                                              how.module = 2 + static_cast<int>(rng() % 2);
                                              damage_symbol(grid, kind, rng);
                                          });
            EXPECT_EQ(o.wrong, 0) << "symbology " << symbology << (kind ? " truncated" : " knocked-out bar")
                                  << o.wrongTexts;
        }
    }
}

TEST(NoSymbol, TextPhotosHalftonesAndNoiseGiveNoResult) {
    std::mt19937 rng(11);
    for (int kind = 0; kind < 5; ++kind) {
        for (int n = 0; n < barcode::degrade::pages_to_draw(4); ++n) {
            BitPage page(640, 400);
            if (kind == 0) draw_text_lines(page, rng);
            if (kind == 1) draw_photo(page, rng);
            if (kind == 2) draw_halftone(page, rng);
            if (kind == 3) draw_noise(page, rng, 0.05);
            if (kind == 4) draw_noise(page, rng, 0.4);
            const auto reads = read_bit_page(page);
            EXPECT_TRUE(reads.empty())
                << "page kind " << kind << ": " << (reads.empty() ? "" : reads[0].second);
        }
    }
}

// A scan at `module` px per module, turned up to 10 degrees, with `spoil` applied: at least
// `least` of `count` symbols of each symbology read, none wrong.
template <class Spoil>
void expect_scans_read(std::initializer_list<int> symbologies, double module, int count, int least,
                       unsigned seed, Spoil spoil) {
    for (int symbology : symbologies) {
        const Outcome o = read_spoilt(symbology, count, seed + static_cast<unsigned>(symbology),
                                      [&](ModuleGrid&, Render& how, std::mt19937& rng) {
                                          how.module = module;
                                          how.angle = std::uniform_real_distribution<double>(-10, 10)(rng);
                                          spoil(how);
                                      });
        EXPECT_GE(o.read, least) << "symbology " << symbology;
        EXPECT_EQ(o.wrong, 0) << "symbology " << symbology << o.wrongTexts;
    }
}

TEST(Speckle, WideBarsDottedWithSpecksAreTracedToTheirEnds) {
    // White specks inside the bars split their runs on some rows, and black specks on the paper
    // past a bar's end continue it by a pixel. Neither may stop the bar from being traced, or
    // the symbol from being accepted.
    expect_scans_read({STRIPESCAN_CODE128, STRIPESCAN_CODE39, STRIPESCAN_CODABAR}, 6, 6, 5, 600,
                      [](Render& how) { how.speckle = 0.03; });
}

TEST(InkSpread, BarsSpreadByTwoPixelsAtFivePixelModulesReadExactly) {
    // Bars 7 px and narrow spaces 3 px: Codabar's and 2 of 5's starts are found only with the
    // gain taken off (2 of 5's only where a digit pair follows: four narrow elements are found
    // everywhere on other symbols' bars), and a fan line's leading white must be judged by the
    // pattern's module, not by the spread bars.
    expect_scans_read({1, 2, 3, 4, 5, 6, 7, 8}, 5, 4, 3, 500, [](Render& how) { how.spread = 2; });
}

TEST(QuietZone, EanAndUpcWhoseQuietZoneThePageEdgeCutsReadAtEitherEnd) {
    // Upright symbols with the page edge 1 px to 2 modules before the first bar or after the last:
    // only the scan lines read such a symbol, and each EAN/UPC reading waits for a second line
    // that reads the same text, which here is the next scan line.
    std::mt19937 rng(2027);
    for (int symbology : {STRIPESCAN_EAN13, STRIPESCAN_EAN8, STRIPESCAN_UPCE}) {
        for (int n = 0; n < 4; ++n) {
            const std::string payload = random_payload(symbology, rng);
            ModuleImage image;
            ASSERT_TRUE(encode(zint_symbology_for(symbology), payload, image));
            ModuleGrid grid{image.width, image.height, image.dark};
            Render how;
            how.module = 3;
            BitPage page(static_cast<int>(grid.width * how.module + 100),
                         static_cast<int>(grid.height * how.module + 60));
            const double half = grid.width * how.module / 2;
            const double gap = (n % 3) * how.module;
            how.cx = n % 2 ? half + gap + 1 : page.width - half - gap - 1;
            how.cy = page.height / 2.0;
            render(grid, how, page, rng);
            const auto reads = read_bit_page(page);
            ASSERT_EQ(reads.size(), 1u) << "symbology " << symbology << " " << payload;
            EXPECT_EQ(reads[0].second, expected_text(symbology, payload));
        }
    }
}

}  // namespace
}  // namespace stripescan::testing
