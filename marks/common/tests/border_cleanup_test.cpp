#include "marks/common/border_cleanup.h"

#include <gtest/gtest.h>

namespace {

marks::Image white(int w, int h) {
    marks::Image img;
    img.create(w, h, 1);
    for (int i = 0; i < img.imageSize; ++i) img.bits()[i] = 0xFF;
    return img;
}

void fill(marks::Image& img, int x0, int y0, int x1, int y1) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) img.set_dark(x, y);
}

TEST(BorderCleanup, RaggedFringeGoesSolidMarginAndInteriorStay) {
    marks::Image img = white(100, 80);
    // A solid 16-pixel dark margin on the left in rows 10..69, a ragged 3-pixel
    // fringe in rows 0..9, and a mark well inside.
    fill(img, 0, 10, 16, 70);
    fill(img, 0, 0, 3, 10);
    fill(img, 40, 40, 50, 50);
    marks::clean_borders(img, 8);
    EXPECT_FALSE(img.dark(0, 5));
    EXPECT_FALSE(img.dark(2, 5));
    EXPECT_TRUE(img.dark(0, 30));
    EXPECT_TRUE(img.dark(15, 30));
    EXPECT_TRUE(img.dark(45, 45));
}

TEST(BorderCleanup, ThinLinesAlongEveryEdgeAreRemovedWhenNothingElseIsThere) {
    marks::Image img = white(64, 64);
    fill(img, 0, 0, 64, 2);    // first rows
    fill(img, 0, 62, 64, 64);  // last rows
    fill(img, 0, 0, 2, 64);
    fill(img, 62, 0, 64, 64);
    fill(img, 30, 30, 34, 34);
    marks::clean_borders(img, 8);
    int dark = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) dark += img.dark(x, y) ? 1 : 0;
    EXPECT_EQ(dark, 16);
}

TEST(BorderCleanup, CleaningStopsAfterMoreThanThreeLightPixels) {
    marks::Image img = white(64, 40);
    for (int y = 0; y < 40; ++y) {
        img.set_dark(0, y);
        if (y < 20) {
            img.set_dark(5, y);  // four light pixels before it: the walk has stopped
            img.set_dark(6, y);
        } else {
            img.set_dark(4, y);  // three light pixels before it: still cleaned
        }
    }
    marks::clean_borders(img, 8);
    EXPECT_FALSE(img.dark(0, 10));
    EXPECT_TRUE(img.dark(5, 10));
    EXPECT_TRUE(img.dark(6, 10));
    EXPECT_FALSE(img.dark(0, 30));
    EXPECT_FALSE(img.dark(4, 30));
}

}  // namespace
