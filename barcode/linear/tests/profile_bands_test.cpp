// Fine symbols read on the darkness summed along their bars over bands of disjoint rows: the rows
// the bars cover (starved rows included), and symbols whose blurred bars leave too few runs on
// single rows to find their extent by sliding a line along them.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "barcode/common/tests/degrade.h"
#include "barcode/linear/bar_profile.h"
#include "barcode/linear/tests/drawn_pages.h"

namespace stripescan::testing {
namespace {

using barcode::degrade::BitPage;
using barcode::degrade::ModuleGrid;
using barcode::degrade::Render;

// A white picture with bars 2 px wide every 4 px over columns [20, 80) on rows [top, bottom].
struct BarPicture {
    BarPicture(int top, int bottom) : bytes(static_cast<std::size_t>(kStride) * kHeight, 0xFF) {
        image = Image{kWidth, kHeight, kStride, bytes.data()};
        for (int y = top; y <= bottom; ++y)
            for (int x = 20; x < 80; ++x)
                if (x % 4 < 2) image.set(x, y, false);
    }
    void clear_row(int y) {
        for (int x = 0; x < kWidth; ++x) image.set(x, y, true);
    }
    static constexpr int kWidth = 100, kHeight = 80, kStride = (kWidth + 7) / 8;
    std::vector<std::uint8_t> bytes;
    Image image;
};

TEST(ProfileBarRows, StarvedRowsInsideTheBarsAreCrossedButAWiderGapEndsThem) {
    BarPicture picture(10, 60);
    picture.clear_row(20);  // one starved row
    picture.clear_row(45);  // two starved rows
    picture.clear_row(46);
    int top = 0, bottom = 0;
    bar_rows(picture.image, 20, 80, 30, top, bottom);
    EXPECT_EQ(top, 10);
    EXPECT_EQ(bottom, 60);

    // Three white rows are paper between two symbols, not starved bars.
    for (int y = 50; y <= 52; ++y) picture.clear_row(y);
    bar_rows(picture.image, 20, 80, 30, top, bottom);
    EXPECT_EQ(top, 10);
    EXPECT_EQ(bottom, 49);
}

TEST(ProfileBarRows, TheBandEndsOnBarredRowsAndAnUnbarredRowStandsAlone) {
    BarPicture picture(10, 40);
    picture.clear_row(11);  // a starved row next to the first barred row
    int top = 0, bottom = 0;
    bar_rows(picture.image, 20, 80, 25, top, bottom);
    EXPECT_EQ(top, 10);
    EXPECT_EQ(bottom, 40);  // the white rows past the bars are not taken in

    bar_rows(picture.image, 20, 80, 11, top, bottom);
    EXPECT_EQ(top, 11);
    EXPECT_EQ(bottom, 11);
}

// A photo of a fine symbol: 1.25 px modules, blur of half a pixel, contrast 0.8 and sensor
// noise, turned up to 3 degrees either way (some pages upright).
Outcome read_fine_photo(int symbology, int count, unsigned seed) {
    return read_drawn(
        symbology, count, seed,
        [](ModuleGrid&, Render& how, std::mt19937& rng) {
            how.module = 1.25;
            how.blur = 0.5;
            how.contrast = 0.8;
            how.noise = 0.04;
            how.angle = std::uniform_real_distribution<double>(-3, 3)(rng);
        },
        [](const ModuleGrid& grid, const Render& how) {
            return BitPage(static_cast<int>(grid.width * how.module + 100),
                           static_cast<int>(grid.height * how.module + 80));
        });
}

TEST(ProfileBands, FinePhotosThatOnlyOtherBandsOrTheSummedBarsExtentReadAreReadAndNeverMisread) {
    // Pages read before these bands and extents came in: 11, 9 and 5.
    const struct {
        int symbology;
        int least;
    } cases[] = {{STRIPESCAN_CODE93, 12}, {STRIPESCAN_EAN13, 9}, {STRIPESCAN_UPCE, 6}};
    for (const auto& [symbology, least] : cases) {
        const Outcome o = read_fine_photo(symbology, 12, 40u + static_cast<unsigned>(symbology));
        EXPECT_GE(o.read, least) << "symbology " << symbology;
        EXPECT_EQ(o.wrong, 0) << "symbology " << symbology << o.wrongTexts;
    }
}

}  // namespace
}  // namespace stripescan::testing
