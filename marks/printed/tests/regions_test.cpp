// Dark regions, candidate marks, row groups and border cleanup on small drawn images.

#include <gtest/gtest.h>

#include "marks/printed/border_cleanup.h"
#include "marks/printed/dark_regions.h"
#include "marks/printed/row_groups.h"
#include "marks/printed/working_image.h"
#include "sheet.h"

namespace {

using typemark::WorkingImage;

void load(WorkingImage& img, const sheet::Picture& p) {
    ASSERT_TRUE(img.create(p.width, p.height));
    const auto rows = sheet::pack(p);
    std::copy(rows.begin(), rows.end(), img.bits());
}

TEST(DarkRegions, RunsAreFilteredMergedAndLinked) {
    sheet::Picture p(200, 40, 1);
    p.fill(10, 5, 20, 15, 0);     // a 10 x 10 mark
    p.fill(40, 5, 41, 15, 0);     // 1-pixel wide runs: below dpm / 4, ignored
    p.fill(60, 5, 64, 10, 0);     // two 4-pixel runs 2 pixels apart merge: 10 x 5
    p.fill(66, 5, 70, 10, 0);
    p.fill(100, 5, 104, 6, 0);    // 4 pixels only: below 10, dropped
    p.fill(120, 20, 130, 22, 0);  // a U shape joins into one region
    p.fill(120, 22, 122, 30, 0);
    p.fill(128, 22, 130, 30, 0);
    WorkingImage img;
    load(img, p);
    const auto regions = typemark::find_dark_regions(img, typemark::printed_mark_rules(8));
    ASSERT_EQ(regions.size(), 3u);
    EXPECT_EQ(regions[0].pixels, 100);
    EXPECT_EQ(regions[0].cx, 14);
    EXPECT_EQ(regions[0].cy, 9);
    EXPECT_EQ(regions[0].width, 10);
    EXPECT_EQ(regions[1].pixels, 50);
    EXPECT_EQ(regions[1].width, 10);
    EXPECT_EQ(regions[1].height, 5);
    EXPECT_EQ(regions[2].pixels, 20 + 2 * 16);
    EXPECT_EQ(regions[2].height, 10);
    EXPECT_EQ(regions[2].minY, 20);
}

TEST(DarkRegions, RunsReachingTheLengthLimitAreDropped) {
    sheet::Picture p(1000, 12, 1);
    p.fill(0, 2, 801, 4, 0);      // 801 pixels: longer than 100 x dpm
    p.fill(0, 6, 790, 8, 0);      // merges with the next into 800: dropped
    p.fill(792, 6, 800, 8, 0);
    p.fill(0, 9, 700, 11, 0);     // kept
    WorkingImage img;
    load(img, p);
    const auto regions = typemark::find_dark_regions(img, typemark::printed_mark_rules(8));
    ASSERT_EQ(regions.size(), 1u);
    EXPECT_EQ(regions[0].minY, 9);
}

TEST(RowGroups, CandidatesBySizeAndRowsByCentroid) {
    sheet::Picture p(300, 120, 1);
    // Row one, drawn right to left; a much larger region; row two 20 pixels lower.
    p.fill(100, 10, 116, 22, 0);
    p.fill(60, 11, 76, 23, 0);
    p.fill(10, 10, 26, 22, 0);
    p.fill(150, 5, 250, 60, 0);
    p.fill(10, 30, 26, 42, 0);
    p.fill(60, 31, 76, 43, 0);
    WorkingImage img;
    load(img, p);
    const auto regions = typemark::find_dark_regions(img, typemark::printed_mark_rules(8));
    const auto candidates = typemark::select_candidates(regions, 16, 12, 8);
    ASSERT_EQ(candidates.size(), 5u);
    const auto rows = typemark::group_rows(candidates, 8);
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_EQ(rows[0].size(), 3u);
    EXPECT_LT(rows[0][0]->cx, rows[0][1]->cx);
    EXPECT_LT(rows[0][1]->cx, rows[0][2]->cx);
    EXPECT_EQ(rows[1].size(), 2u);
    // A mark size far from the regions' selects none of them.
    EXPECT_TRUE(typemark::select_candidates(regions, 40, 40, 8).empty());
}

TEST(BorderCleanup, SliversGoMarksAndFullBordersStay) {
    sheet::Picture p(200, 100, 1);
    p.fill(0, 0, 3, 100, 0);      // a 3-pixel dark sliver along the left edge
    p.fill(197, 0, 200, 50, 0);   // and along half of the right edge
    p.fill(50, 40, 66, 52, 0);    // a mark well inside
    WorkingImage img;
    load(img, p);
    typemark::clean_borders(img, 16, 8);
    for (int y = 0; y < 100; ++y) {
        EXPECT_FALSE(img.dark(1, y));
        EXPECT_FALSE(img.dark(198, y));
    }
    EXPECT_TRUE(img.dark(55, 45));
}

TEST(WorkingImageCopy, FlipAndLineRepetition) {
    // Three rows, each with a different first byte.
    const std::uint8_t rows[] = {0x01, 0x02, 0x03};
    WorkingImage img;
    ASSERT_TRUE(typemark::prepare_copy(rows, 1, 8, 3, 0, 2, 0, img));
    ASSERT_EQ(img.height(), 6);
    const std::uint8_t flip0[] = {0, 0, 0x01, 0x01, 0x02, 0x02};
    for (int y = 0; y < 6; ++y) EXPECT_EQ(img.row(y)[0], flip0[y]) << y;
    ASSERT_TRUE(typemark::prepare_copy(rows, 1, 8, 3, 1, 1, 0, img));
    EXPECT_EQ(img.row(0)[0], 0);
    EXPECT_EQ(img.row(1)[0], 0x03);
    EXPECT_EQ(img.row(2)[0], 0x02);
    EXPECT_FALSE(typemark::prepare_copy(rows, 0, 9, 3, 0, 1, 0, img)) << "stride shorter than a row";
}

}  // namespace
