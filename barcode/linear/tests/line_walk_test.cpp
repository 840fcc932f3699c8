// The fixed-point line walk, polygon drawing and the symbol fill.

#include "barcode/linear/line_walk.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "barcode/linear/Stripescan.h"

namespace stripescan {
namespace {

TEST(LineWalk, StartsAtTheStartAndMovesAtMostOnePixelPerStep) {
    for (const Point step :
         {Point{5, 2}, Point{-3, 7}, Point{1, -1}, Point{0, 4}, Point{-9, 0}, Point{2, -11}}) {
        const Point stop{step.x * 10, step.y * 10};
        const auto points = line_offsets(Point{0, 0}, step, stop);
        ASSERT_FALSE(points.empty());
        EXPECT_EQ(points[0].x, 0);
        EXPECT_EQ(points[0].y, 0);
        for (std::size_t i = 1; i < points.size(); ++i) {
            EXPECT_LE(std::abs(points[i].x - points[i - 1].x), 1);
            EXPECT_LE(std::abs(points[i].y - points[i - 1].y), 1);
        }
        // It follows the line: every point within a pixel of it.
        for (const Point p : points) {
            const double cross = double(p.x) * step.y - double(p.y) * step.x;
            EXPECT_LE(std::abs(cross) / std::hypot(step.x, step.y), 1.0);
        }
        // And it ends near the stop point.
        EXPECT_NEAR(points.back().x, stop.x, 1.5);
        EXPECT_NEAR(points.back().y, stop.y, 1.5);
    }
}

TEST(LineWalk, ZeroStepVisitsTheStartOnly) {
    const auto points = line_offsets(Point{4, 4}, Point{0, 0}, Point{4, 4});
    EXPECT_EQ(points.size(), 1u);
}

TEST(LineWalk, StepsAreAboutOnePixelOfLength) {
    // A diagonal of 100 pixels across has about 141 points.
    const auto points = line_offsets(Point{0, 0}, Point{1, 1}, Point{100, 100});
    EXPECT_NEAR(static_cast<double>(points.size()), 141.0, 3.0);
}

struct Picture {
    Picture(int w, int h) : bytes(static_cast<std::size_t>((w + 31) / 32 * 4) * h, 0xFF) {
        bitmap.width = w;
        bitmap.height = h;
        bitmap.bitCount = 1;
        bitmap.stride = (w + 31) / 32 * 4;
        bitmap.imageSize = bitmap.stride * h;
        bitmap.bits = bytes.data();
    }
    bool black(int x, int y) const {
        return ((bytes[static_cast<std::size_t>(y) * bitmap.stride + x / 8] >> (7 - x % 8)) & 1) == 0;
    }
    int count() const {
        int n = 0;
        for (int y = 0; y < bitmap.height; ++y)
            for (int x = 0; x < bitmap.width; ++x) n += black(x, y);
        return n;
    }
    Bitmap bitmap{};
    std::vector<std::uint8_t> bytes;
};

TEST(DrawPolygon, DrawsTheClosedOutlineAndAnswersOne) {
    Picture p(64, 48);
    const std::int32_t square[] = {10, 10, 50, 10, 50, 40, 10, 40};
    EXPECT_EQ(DrawPolygon(&p.bitmap, square, 4), 1);
    for (int x = 10; x <= 50; ++x) {
        EXPECT_TRUE(p.black(x, 10)) << x;
        EXPECT_TRUE(p.black(x, 40)) << x;
    }
    for (int y = 10; y <= 40; ++y) {
        EXPECT_TRUE(p.black(10, y)) << y;
        EXPECT_TRUE(p.black(50, y)) << y;
    }
    EXPECT_FALSE(p.black(30, 25));
    EXPECT_EQ(p.count(), 2 * 41 + 2 * 29);
}

TEST(DrawPolygon, APointOutsideDrawsNothing) {
    Picture p(64, 48);
    const std::int32_t outside[] = {10, 10, 64, 10, 30, 30};
    EXPECT_EQ(DrawPolygon(&p.bitmap, outside, 3), 0);
    EXPECT_EQ(p.count(), 0);
    const std::int32_t negative[] = {10, 10, 20, -1};
    EXPECT_EQ(DrawPolygon(&p.bitmap, negative, 2), 0);
    EXPECT_EQ(DrawPolygon(nullptr, negative, 2), 0);
    EXPECT_EQ(DrawPolygon(&p.bitmap, nullptr, 2), 0);
}

TEST(DrawPolygon, SinglePointsAndRepeatedPointsEnd) {
    Picture p(16, 16);
    const std::int32_t one[] = {3, 4};
    EXPECT_EQ(DrawPolygon(&p.bitmap, one, 1), 1);
    EXPECT_TRUE(p.black(3, 4));
    const std::int32_t twice[] = {5, 5, 5, 5, 9, 9};
    EXPECT_EQ(DrawPolygon(&p.bitmap, twice, 3), 1);
    EXPECT_TRUE(p.black(9, 9));
}

TEST(SymbolFill, FillsTheQuadrilateralWhiteInclusive) {
    Picture p(64, 64);
    std::fill(p.bytes.begin(), p.bytes.end(), 0x00);
    Image image{64, 64, p.bitmap.stride, p.bytes.data()};
    const Point upright[4] = {{40, 30}, {10, 30}, {10, 20}, {40, 20}};
    fill_quadrilateral(image, upright);
    EXPECT_FALSE(p.black(10, 20));
    EXPECT_FALSE(p.black(40, 30));
    EXPECT_TRUE(p.black(9, 25));
    EXPECT_TRUE(p.black(41, 25));
    EXPECT_TRUE(p.black(25, 31));
    EXPECT_EQ(fill_right_column(upright, 25), 40);
    EXPECT_EQ(fill_right_column(upright, 0), 40);  // above the fill: its first row
    const Point diamond[4] = {{32, 60}, {5, 32}, {32, 4}, {59, 32}};
    fill_quadrilateral(image, diamond);
    EXPECT_FALSE(p.black(32, 32));
    EXPECT_TRUE(p.black(3, 3));
    EXPECT_NEAR(fill_right_column(diamond, 18), 45, 1);
}

}  // namespace
}  // namespace stripescan
