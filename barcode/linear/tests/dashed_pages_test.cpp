// Photos whose threshold broke every single row: one-module bars starved into dashes, or
// one-module spaces closed by spread ink on many rows. The darkness summed along the bars over
// bands of disjoint rows reads them; damaged symbols under the same pictures must not misread.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "barcode/linear/Stripescan.h"
#include "barcode/linear/tests/drawn_pages.h"

namespace stripescan::testing {
namespace {

using barcode::degrade::BitPage;
using barcode::degrade::ModuleGrid;
using barcode::degrade::Render;

// A page with room around the symbol for a turn of up to 8 degrees.
BitPage page_with_room(const ModuleGrid& grid, const Render& how) {
    const int w = static_cast<int>(grid.width * how.module) + 120;
    return BitPage(w, static_cast<int>(grid.height * how.module + 0.15 * w) + 80);
}

// A photo of 2.2-3.5 px modules blurred by 0.45 module, of a contrast drawn from
// [contrastLow, contrastHigh] (fixed when they are equal), turned up to 8 degrees, thresholded
// at `threshold` on the darkness (0 keeps the render's own threshold).
void photo_blurred_half_a_module(Render& how, std::mt19937& rng, double contrastLow, double contrastHigh,
                                 double noise, double threshold) {
    how.module = std::uniform_real_distribution<double>(2.2, 3.5)(rng);
    how.blur = 0.45 * how.module;
    how.contrast = contrastLow < contrastHigh
                       ? std::uniform_real_distribution<double>(contrastLow, contrastHigh)(rng)
                       : contrastLow;
    how.noise = noise;
    if (threshold > 0) how.threshold = threshold;
    how.angle = std::uniform_real_distribution<double>(-8, 8)(rng);
}

TEST(DashedBars, SavedPhotosReadOnceWithThePrintedText) {
    // No line read any of these: the EAN-13 has every one-module bar in dashes, the Code 128
    // (bars slanted 6 degrees) its one-module spaces closed on most rows. The UPC-E, dashed too,
    // is left: an early reading reported it twice (its fill stopped halfway down the bars), and
    // UPC-E is no longer read on such profiles; it must not come twice nor wrong.
    const PrintedPage pages[] = {{"ean13-photo-starved-dashes.bmp", STRIPESCAN_EAN13, "224720198603"},
                                 {"code128-photo-spread-closed.bmp", STRIPESCAN_CODE128, "TK-KB8ED411FA6"}};
    for (const PrintedPage& page : pages) expect_read_once(STRIPESCAN_TEST_DATA, page);
    const auto upce = read_saved_page(STRIPESCAN_TEST_DATA, "upce-photo-starved-dashes.bmp");
    ASSERT_LE(upce.size(), 1u);
    for (const auto& [number, text] : upce) EXPECT_EQ(text, "06922764");
    // An EAN-8 ("8435352") whose one-module bars are dashes: a line through a gap between the
    // dashes saw a quiet zone on either side of its wide bars and read them as the 2 of 5 "83".
    for (const auto& [number, text] :
         read_saved_page(STRIPESCAN_TEST_DATA, "ean8-photo-starved-not-2of5.bmp"))
        EXPECT_EQ(text, "8435352") << number;
    // A UPC-E ("06084561") whose bars a local threshold starved inside and spread at the guards:
    // on two lines a band apart, two digits whose edge-to-edge sums lay near half-way between
    // whole modules read the other way (0 for a 4, 0 for a 6, both changing their set), and the
    // width classes those digits gave turned an 8 into a 2: the new parity gave a check digit
    // that passed, "06020503".
    for (const auto& [number, text] :
         read_saved_page(STRIPESCAN_TEST_DATA, "upce-photo-dashed-sums-in-doubt.bmp"))
        EXPECT_EQ(text, "06084561") << number;
    // A UPC-E ("01860870") whose last two digits, an 8 and a 7, a local threshold starved into
    // a 2 and a 1: only two digits other than 1, 2, 7 and 8 gave the line's gain, and they
    // disagreed by most of a module; the guards' gain showed both leaning, and "01860210" passed.
    for (const auto& [number, text] :
         read_saved_page(STRIPESCAN_TEST_DATA, "upce-photo-dashed-pairs-tipped.bmp"))
        EXPECT_EQ(text, "01860870") << number;
    // An EAN-13 ("1545286446931") whose one-module bars a local threshold broke into dashes, read
    // on plain lines of the 1-bit runs (3.3 px modules): two left digits had an edge-to-edge sum
    // half-way between whole modules and took the other reading, each in the other set; the new
    // parity gave another first digit and the check passed, "4531286446931".
    for (const auto& [number, text] :
         read_saved_page(STRIPESCAN_TEST_DATA, "ean13-photo-dashed-sums-on-plain-line.bmp"))
        EXPECT_EQ(text, "154528644693") << number;
}

TEST(DashedBars, StarvedGuardsReadOnTheModuleTheirEdgesSpan) {
    // Blurred by 0.45 module and thresholded high: every bar lost about 0.6 module and every
    // space gained as much, so that the guards' one-module bars came out a third as wide as
    // their space and neither the guards' key nor the module of their whole width held. The
    // EAN-8 found its guards by the key but on a module under 2 px that the profiles leave; the
    // Code 93 rows split into pieces at whites of wide spaces and their lost bars.
    const PrintedPage pages[] = {{"ean13-photo-starved-guards.bmp", STRIPESCAN_EAN13, "563360697903"},
                                 {"ean8-photo-starved-guards.bmp", STRIPESCAN_EAN8, "7707438"},
                                 {"code93-photo-starved-pieces.bmp", STRIPESCAN_CODE93, "2GCV6VRX3P."}};
    for (const PrintedPage& page : pages) expect_read_once(STRIPESCAN_TEST_DATA, page);
}

TEST(DashedBars, DamagedEanUnderALocalThresholdNeverMisreads) {
    // A bar knocked out, then photographed and thresholded against a 25 px window: one-module
    // bars in dashes, salt on the paper, so that the EAN lines by local contrast read them. A miss
    // is fine. Letting such a line settle one pair digit its bars decide neither by the check
    // digit (as the usual lines may) read one of these EAN-8s ("5224478") as "5224618": the
    // knocked-out bar moved a 4 to a 6 and the settled digit undid it in the check.
    struct Drawn {
        int symbology;
        int count;
    };
    for (const Drawn drawn : {Drawn{STRIPESCAN_EAN8, 40}, Drawn{STRIPESCAN_EAN13, 12}}) {
        auto spoil = [](ModuleGrid& grid, Render& how, std::mt19937& rng) {
            damage_symbol(grid, 0, rng);
            photo_blurred_half_a_module(how, rng, 0.8, 0.95, 0.02, 0);
            how.localWindow = 25;
            how.localOffset = 0.04;
        };
        const Outcome outcome =
            read_drawn(drawn.symbology, drawn.count, 900u + static_cast<unsigned>(drawn.symbology) * 7u,
                       spoil, page_with_room);
        EXPECT_EQ(outcome.wrong, 0) << outcome.wrongTexts;
    }
}

TEST(DashedBars, DamagedSymbolsUnderStarvedOrSpreadBarsNeverMisread) {
    // A bar knocked out or the end cut off, then blurred by 0.45 module and thresholded low
    // (bars spread) or high (bars starved into dashes) on the darkness: a miss is fine, any
    // other text is wrong. The symbologies with the weakest checks, and Code 39, whose bars cut
    // short under spread ink (wide spaces as narrow as a narrow bar) read as the 2 of 5 "1429"
    // from its start to the cut until 2 of 5 starts and stops had to fit the pairs' widths.
    const int symbologies[] = {STRIPESCAN_EAN13,  STRIPESCAN_UPCE, STRIPESCAN_CODABAR, STRIPESCAN_ITF,
                               STRIPESCAN_CODE39, STRIPESCAN_EAN8, STRIPESCAN_CODE93};
    for (const double threshold : {0.3, 0.62}) {
        for (const int kind : {0, 1}) {
            for (const int symbology : symbologies) {
                auto spoil = [&](ModuleGrid& grid, Render& how, std::mt19937& rng) {
                    damage_symbol(grid, kind, rng);
                    photo_blurred_half_a_module(how, rng, 0.9, 0.9, 0.03, threshold);
                };
                const Outcome outcome = read_drawn(
                    symbology, 6, 500u + static_cast<unsigned>(symbology) * 7u + static_cast<unsigned>(kind),
                    spoil, page_with_room);
                EXPECT_EQ(outcome.wrong, 0)
                    << "threshold " << threshold << " damage " << kind << ":" << outcome.wrongTexts;
            }
        }
    }
}

TEST(DashedBars, StarvedCode39AndCodabarReadByColourOnBothBands) {
    // Blurred by 0.45 module and thresholded high: on the bands summed along the bars the narrow
    // bars came out about a third as wide as the narrow spaces, and a wide bar narrower than a
    // narrow space, so no key over both colours held; the colours judged apart read them, the
    // even and odd rows agreeing.
    const PrintedPage pages[] = {{"code39-photo-starved-by-colour.bmp", STRIPESCAN_CODE39, "5XX5Z"},
                                 {"codabar-photo-starved-by-colour.bmp", STRIPESCAN_CODABAR, "C-124D"}};
    for (const PrintedPage& page : pages) expect_read_once(STRIPESCAN_TEST_DATA, page);
    // The same pictures of symbols with a bar knocked out or the end cut off: neither has a
    // check character, so a miss is fine and any other text is wrong.
    for (const int symbology : {STRIPESCAN_CODE39, STRIPESCAN_CODABAR}) {
        for (const int kind : {0, 1}) {
            auto spoil = [&](ModuleGrid& grid, Render& how, std::mt19937& rng) {
                damage_symbol(grid, kind, rng);
                photo_blurred_half_a_module(how, rng, 0.8, 0.95, 0.03, 0.62);
            };
            const Outcome outcome = read_drawn(
                symbology, 10, 1300u + static_cast<unsigned>(symbology) * 7u + static_cast<unsigned>(kind),
                spoil, page_with_room);
            EXPECT_EQ(outcome.wrong, 0) << "damage " << kind << ":" << outcome.wrongTexts;
        }
    }
}

}  // namespace
}  // namespace stripescan::testing
