// Symbols photographed rather than scanned: light falling across the page, ink of limited
// contrast, sensor noise before a global or a local threshold, small blurred modules. The
// search must still find them; nothing may be misread, and pages without symbols under the
// same noise must give no result.

#include <gtest/gtest.h>

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

// Draws `count` symbols of `symbology` with `photo` setting up the picture (module, light,
// noise, threshold) on a page with a 12-module margin, and reads each.
template <class Photo>
Outcome read_photos(int symbology, int count, unsigned seed, Photo photo) {
    return read_drawn(
        symbology, count, seed, [&photo](ModuleGrid&, Render& how, std::mt19937& rng) { photo(how, rng); },
        [](const ModuleGrid& grid, const Render& how) {
            const int margin = static_cast<int>(12 * how.module) + 30;
            return BitPage(
                static_cast<int>(grid.width * how.module * 1.05) + 2 * margin,
                static_cast<int>(grid.height * how.module + grid.width * how.module * 0.18) + 2 * margin);
        });
}

double uniform(std::mt19937& rng, double a, double b) {
    return std::uniform_real_distribution<double>(a, b)(rng);
}

TEST(Photo, ShadedNoisySymbolsUnderAGlobalThresholdAreFoundAndNeverMisread) {
    // Noise breaks the bars' edges and bridges narrow spaces on single rows; the bars must
    // still be traced, at the first and at the last bar of the symbol.
    for (int symbology = 1; symbology <= 8; ++symbology) {
        const Outcome t = read_photos(symbology, 6, 300u + static_cast<unsigned>(symbology),
                                      [](Render& r, std::mt19937& g) {
                                          r.module = uniform(g, 1.8, 3);
                                          r.blur = 0.35 * r.module;
                                          r.contrast = uniform(g, 0.6, 0.9);
                                          r.shading = uniform(g, 0.2, 0.4);
                                          r.noise = 0.06;
                                          r.threshold = 0.45;
                                          r.angle = uniform(g, -10, 10);
                                      });
        EXPECT_GE(t.read, 5) << "symbology " << symbology;
        EXPECT_EQ(t.wrong, 0) << "symbology " << symbology << t.wrongTexts;
    }
}

TEST(Photo, SpecksOfALocalThresholdInTheQuietZoneDoNotHideTheSymbol) {
    for (int symbology : {STRIPESCAN_CODE128, STRIPESCAN_CODE93}) {
        const Outcome t = read_photos(symbology, 8, 500u + static_cast<unsigned>(symbology),
                                      [](Render& r, std::mt19937& g) {
                                          r.module = uniform(g, 2, 3);
                                          r.blur = 0.35 * r.module;
                                          r.contrast = uniform(g, 0.6, 0.9);
                                          r.shading = uniform(g, 0.3, 0.6);
                                          r.noise = 0.035;
                                          r.localWindow = 25;
                                          r.localOffset = 0.07;
                                          r.angle = uniform(g, -10, 10);
                                      });
        EXPECT_GE(t.read, symbology == STRIPESCAN_CODE128 ? 6 : 3) << "symbology " << symbology;
        EXPECT_EQ(t.wrong, 0) << "symbology " << symbology << t.wrongTexts;
    }
}

TEST(Photo, BlurredModulesOfOneAndAQuarterPixelAreReadByLocalContrast) {
    // Narrow spaces only lighten the band here; Code 128's checks vouch for the reading.
    const Outcome t = read_photos(STRIPESCAN_CODE128, 10, 77u, [](Render& r, std::mt19937& g) {
        r.module = 1.25;
        r.blur = 0.5;
        r.contrast = 0.8;
        r.noise = 0.04;
        r.angle = uniform(g, -3, 3);
    });
    EXPECT_GE(t.read, 6);
    for (int symbology = 2; symbology <= 8; ++symbology) {
        const Outcome other = read_photos(symbology, 3, 700u + static_cast<unsigned>(symbology),
                                          [](Render& r, std::mt19937& g) {
                                              r.module = 1.25;
                                              r.blur = 0.5;
                                              r.contrast = 0.8;
                                              r.noise = 0.04;
                                              r.angle = uniform(g, -3, 3);
                                          });
        EXPECT_EQ(other.wrong, 0) << "symbology " << symbology << other.wrongTexts;
    }
    EXPECT_EQ(t.wrong, 0) << t.wrongTexts;
}

// An upright ITF symbol (3 px modules, 12 modules of quiet zone) with marks drawn into the zone
// before its start by `mark(page, x)`, x being the column of the symbol's first bar.
template <class Mark>
std::vector<std::pair<int, std::string>> read_marked_interleaved(Mark mark) {
    ModuleImage image;
    EXPECT_TRUE(encode(zint_symbology_for(STRIPESCAN_ITF), "12345678", image));
    const ModuleGrid grid{image.width, image.height, image.dark};
    Render how;
    how.module = 3;
    BitPage page(grid.width * 3 + 2 * 36 + 64, grid.height * 3 + 60);
    how.cx = page.width / 2.0;
    how.cy = page.height / 2.0;
    std::mt19937 rng(4);
    render(grid, how, page, rng);
    mark(page, static_cast<int>(how.cx - grid.width * 1.5));
    return read_bit_page(page);
}

TEST(Photo, DotsInAQuietZoneAreDirtButAThinLineThereIsABar) {
    // 2 of 5 has no check character: only the quiet zone tells its start from a bar pattern
    // inside something else, so a line one pixel wide must still end the zone.
    // One dot of two pixels on every row, never within a pixel of a dot two to four rows away.
    const auto dotted = read_marked_interleaved([](BitPage& page, int first) {
        for (int y = 0; y < page.height; ++y) {
            const int x = first - 9 - 4 * (y % 5);
            page.set(x, y, true);
            page.set(x - 1, y, true);
        }
    });
    ASSERT_EQ(dotted.size(), 1u);
    EXPECT_EQ(dotted[0].second, "12345678");
    const auto lined = read_marked_interleaved([](BitPage& page, int first) {
        for (int y = 0; y < page.height; ++y) page.set(first - 9, y, true);
    });
    EXPECT_TRUE(lined.empty());
}

TEST(Photo, NoisePagesAndHalftonesWithoutSymbolsGiveNoResult) {
    // Every relaxation of the search meets these first: dense specks, blobs and dither.
    std::mt19937 rng(2027);
    for (int n = 0; n < barcode::degrade::pages_to_draw(4); ++n) {
        for (double share : {0.02, 0.12, 0.3, 0.5}) {
            BitPage page(480, 320);
            barcode::degrade::draw_noise(page, rng, share);
            const auto reads = read_bit_page(page);
            EXPECT_TRUE(reads.empty()) << "noise " << share << ": " << (reads.empty() ? "" : reads[0].second);
        }
        BitPage halftone(480, 320);
        barcode::degrade::draw_halftone(halftone, rng);
        const auto reads = read_bit_page(halftone);
        EXPECT_TRUE(reads.empty()) << "halftone: " << (reads.empty() ? "" : reads[0].second);
    }
}

}  // namespace
}  // namespace stripescan::testing
