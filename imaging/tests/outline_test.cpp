#include "imaging/outline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/line_fit.h"
#include "imaging/paper_scan.h"
#include "imaging/straighten.h"
#include "imaging/tests/test_images.h"
#include "imaging/tests/ticket_render.h"

namespace skewtrim {
namespace {

using namespace skewtrim::testing;

Run run_at(int x, int y) {
    skewtrim::Run r;
    r.count = 6;
    r.centroid = {x, y};
    return r;
}

// A grey record of `value` with a rectangle of `paper` at columns x0..x1-1, rows y0..y1-1.
Bitmap rectangle(int w, int h, int value, int paper, int x0, int y0, int x1, int y1) {
    Bitmap bmp{};
    EXPECT_EQ(bitmap_new(&bmp, w, h, 8, false), kOk);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            bmp.rows[y][x] =
                static_cast<std::uint8_t>(x >= x0 && x < x1 && y >= y0 && y < y1 ? paper : value);
        }
    }
    return bmp;
}

TEST(LineFit, TwoHalvesOverRunsSnapsNearTheAxes) {
    Line line;
    EXPECT_EQ(fit_runs({run_at(1, 1)}, line), kInvalidArgument);
    EXPECT_EQ(fit_runs({run_at(4, 4), run_at(4, 4)}, line), kDegenerateFit);

    // Means (10, 20) and (30, 60): slope 2, unsigned angle, through the first mean.
    ASSERT_EQ(fit_runs({run_at(10, 20), run_at(30, 60)}, line), kOk);
    EXPECT_EQ(line.type, kGeneral);
    EXPECT_DOUBLE_EQ(line.s, 2.0);
    EXPECT_DOUBLE_EQ(line.c, 0.0);
    EXPECT_EQ(line.centre, (Point{20, 40}));

    // Falling line: the angle stays positive.
    ASSERT_EQ(fit_runs({run_at(0, 100), run_at(100, 0)}, line), kOk);
    EXPECT_NEAR(line.angle, 45.0, 1e-6);
    EXPECT_DOUBLE_EQ(line.s, -1.0);

    // 3 runs: first half is run 0 alone, second half the mean of runs 1 and 2.
    // Rise 1 over 200: 0.29 degrees, snaps to horizontal through the centre's y.
    ASSERT_EQ(fit_runs({run_at(0, 10), run_at(150, 11), run_at(250, 11)}, line), kOk);
    EXPECT_EQ(line.type, kHorizontal);
    EXPECT_EQ(line.c, 10.0);  // centre y = (10 + 11) >> 1
    EXPECT_EQ(line.angle, 0.0);

    ASSERT_EQ(fit_runs({run_at(10, 0), run_at(11, 200)}, line), kOk);
    EXPECT_EQ(line.type, kVertical);
    EXPECT_EQ(line.c, 10.0);
    EXPECT_EQ(line.angle, 90.0);
}

TEST(LineFit, OverPointsUsesEvenHalvesSignedAngleNoSnapping) {
    // Five points: halves of two, the fifth unused.
    const std::vector<Point> pts = {{0, 0}, {2, 0}, {100, 1}, {102, 1}, {500, 400}};
    skewtrim::Run r;
    r.first = 0;
    r.count = 5;
    Line line;
    ASSERT_EQ(fit_points(pts, {r}, line), kOk);
    EXPECT_EQ(line.type, kGeneral);  // 0.57 degrees, not snapped
    EXPECT_DOUBLE_EQ(line.s, 1.0 / 100.0);
    EXPECT_EQ(line.centre, (Point{51, 0}));  // means (1, 0) and (101, 1)
    EXPECT_DOUBLE_EQ(line.c, 0.0 - line.s * 51);

    const std::vector<Point> falling = {{0, 10}, {10, 0}};
    skewtrim::Run two;
    two.count = 2;
    ASSERT_EQ(fit_points(falling, {two}, line), kOk);
    EXPECT_NEAR(line.angle, -45.0, 1e-6);

    const std::vector<Point> same = {{3, 3}, {3, 3}};
    line.type = kVertical;
    EXPECT_EQ(fit_points(same, {two}, line), kDegenerateFit);
    EXPECT_EQ(line.type, kUnfitted);
    EXPECT_EQ(fit_points(same, {}, line), kInvalidArgument);
}

TEST(LineFit, SignedDistances) {
    EXPECT_EQ(distance(Line{kHorizontal, 10.0, 0, 0, {}}, 3, 14), 4.0);
    EXPECT_EQ(distance(Line{kVertical, 10.0, 0, 90, {}}, 14, 3), -4.0);
    EXPECT_NEAR(distance(Line{kGeneral, 0.0, 1.0, 45, {}}, 0, 2), std::sqrt(2.0), 1e-12);
    EXPECT_EQ(int_distance(Line{kHorizontal, 0.0, 0, 0, {}}, Point{0, -7}), -7);
}

TEST(EdgeRuns, SixPointRunsGapsAndShortRunsDropped) {
    Edge edge;
    RunBuilder runs(edge);
    for (int y = 0; y < 8; ++y) {
        runs.add({10 + (y == 7 ? 1 : 0), y});  // a run of 6, then 2 more
    }
    runs.add({30, 8});  // jump of more than 6 in x: the pair (rows 6, 7) is dropped
    for (int y = 9; y < 13; ++y) {
        runs.add({30, y});
    }
    runs.finish();
    ASSERT_EQ(edge.runs.size(), 2u);
    EXPECT_EQ(edge.runs[0].count, 6);
    EXPECT_EQ(edge.runs[0].centroid, (Point{10, 2}));  // 15 / 6 truncated
    EXPECT_EQ(edge.runs[1].count, 5);
    EXPECT_EQ(edge.runs[1].first, 6);  // the dropped points left the list
    EXPECT_EQ(edge.points.size(), 11u);
    EXPECT_EQ(edge.runPoints, 11);
}

TEST(EdgeRuns, ExtremesOverSixPointRunsOnly) {
    Edge edge;
    RunBuilder runs(edge);
    // Runs 0-2 of six points: run 1 reaches x 3 twice, run 2 once more; then a
    // run of five points reaching x 1 (ignored) and a run of six at x 40.
    const int xs[] = {5, 5, 5, 5, 5, 5, 4, 3, 4, 3, 4, 4, 3, 4, 4, 4, 4, 4, 1, 1, 1, 1, 1};
    int y = 0;
    for (int x : xs) {
        runs.add({x, y++});
    }
    runs.add({40, y + 10});  // gap: closes the five-point run
    for (int k = 1; k < 6; ++k) {
        runs.add({40, y + 10 + k});
    }
    runs.finish();
    ASSERT_EQ(edge.runs.size(), 5u);
    const Extreme left = find_extreme(edge, ExtremeKind::Left);
    EXPECT_EQ(left.at, (Point{3, 7}));
    EXPECT_EQ(left.firstRun, 1);
    EXPECT_EQ(left.lastRun, 2);
    const Extreme right = find_extreme(edge, ExtremeKind::Right);
    EXPECT_EQ(right.at.x, 40);
    EXPECT_EQ(right.firstRun, right.lastRun);
    EXPECT_EQ(right.firstRun, 4);
    EXPECT_EQ(right.at.y, y + 15);  // the last point reaching it
}

TEST(PaperScan, LevelRowsAndTheBand) {
    Bitmap bmp = rectangle(300, 40, 20, 200, 50, 10, 250, 30);
    const GreyView grey(bmp);
    EXPECT_EQ(measure_level(grey), 20);
    int bottom = 0, top = 0;
    ASSERT_EQ(find_paper_rows(grey, 20, bottom, top), kOk);
    EXPECT_EQ(bottom, 10);
    EXPECT_EQ(top, 29);
    bitmap_done(&bmp);

    // 151 bright pixels make a paper row, 150 do not.
    Bitmap narrow = rectangle(400, 5, 0, 255, 0, 2, 151, 3);
    EXPECT_EQ(find_paper_rows(GreyView(narrow), 0, bottom, top), kNoPaper);
    narrow.rows[2][151] = 255;
    EXPECT_EQ(find_paper_rows(GreyView(narrow), 0, bottom, top), kNoPaper);  // no distinct top row
    bitmap_done(&narrow);

    // The same count when the bright pixels straddle the row's last whole
    // 128-byte group and its ragged end.
    Bitmap tail = rectangle(420, 6, 0, 255, 269, 2, 420, 4);  // 151 bright pixels in rows 2 and 3
    ASSERT_EQ(find_paper_rows(GreyView(tail), 0, bottom, top), kOk);
    EXPECT_EQ(bottom, 2);
    EXPECT_EQ(top, 3);
    for (int y = 2; y <= 3; ++y) {
        tail.rows[y][269] = 0;  // 150 left
    }
    EXPECT_EQ(find_paper_rows(GreyView(tail), 0, bottom, top), kNoPaper);
    bitmap_done(&tail);

    const PaperTest band = PaperTest::make(100, 255);
    EXPECT_TRUE(band(91));
    EXPECT_FALSE(band(92));
    EXPECT_FALSE(band(108));
    EXPECT_TRUE(band(109));
    const PaperTest plain = PaperTest::make(100, 1);
    EXPECT_FALSE(plain(100));
    EXPECT_TRUE(plain(101));
}

TEST(Measure, NoPaperCases) {
    StraightenPlan plan;
    Bitmap black = rectangle(400, 300, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(measure_paper(black, 0, 1, plan), kNoPaper);
    bitmap_done(&black);
    Bitmap narrow = rectangle(150, 300, 0, 255, 20, 20, 130, 280);  // never 151 bright pixels in a row
    EXPECT_EQ(measure_paper(narrow, 0, 1, plan), kNoPaper);
    bitmap_done(&narrow);
    // Ten rows of runs on the left edge: with five left out at each end, nothing remains.
    Bitmap thin = rectangle(400, 200, 10, 230, 50, 70, 350, 130);
    EXPECT_EQ(measure_paper(thin, 0, 1, plan), kInvalidArgument);
    bitmap_done(&thin);
}

TEST(Measure, UprightRectangleIsNotTurned) {
    Bitmap bmp = rectangle(600, 800, 30, 220, 100, 150, 500, 700);
    StraightenPlan plan;
    ASSERT_EQ(measure_paper(bmp, 0, 1, plan), kOk);
    EXPECT_EQ(plan.tilt, 0);
    EXPECT_EQ(plan.degrees, 0.0);
    EXPECT_EQ(plan.left, (Point{100, 150}));
    EXPECT_EQ(plan.right, (Point{499, 699}));
    EXPECT_EQ(plan.cx, 300);
    EXPECT_EQ(plan.cy, 425);
    EXPECT_EQ(plan.width, 399);
    EXPECT_EQ(plan.height, 549);
    EXPECT_EQ(plan.mask.first, 150);
    EXPECT_EQ(plan.mask.last, 699);
    EXPECT_EQ(plan.mask.left[400], 100);
    EXPECT_EQ(plan.mask.right[400], 499);

    BitmapGuard out;
    ASSERT_EQ(straighten(&bmp, 3, 0, 1, out.get()), kOk);
    for (int y = 0; y < out->height; ++y) {
        for (int x = 0; x < out->width; ++x) {
            ASSERT_EQ(out->rows[y][x], 220) << x << "," << y;
        }
    }
    bitmap_done(&bmp);
}

// The 8-bit scans test 16 grey bytes at a time; the 1-bit scans go pixel by
// pixel. The same black-and-white picture at both depths must measure alike.
TEST(Measure, GreyScansAgreeWithBitScansOnTheSamePicture) {
    struct Case {
        double degrees;
        int width;
        int level;
        int rule;
    };
    for (const Case c : {Case{3.0, 777, 0, 1}, Case{-7.0, 1000, 0, 1}, Case{0.5, 801, 128, 1},
                         Case{9.0, 900, 0, 1}, Case{-2.0, 1003, 250, 255}, Case{1.5, 640, 3, 255}}) {
        SCOPED_TRACE(::testing::Message() << c.degrees << " degrees, width " << c.width);
        TicketScene scene;
        scene.imageWidth = c.width;
        scene.imageHeight = c.width * 4 / 3;
        scene.paperWidth = c.width * 3 / 4;
        scene.paperHeight = c.width;
        scene.degrees = c.degrees;
        Bitmap bits = render_ticket(scene, 1);
        Bitmap grey{};
        ASSERT_EQ(bitmap_new(&grey, bits.width, bits.height, 8, false), kOk);
        for (int y = 0; y < bits.height; ++y) {
            for (int x = 0; x < bits.width; ++x) {
                grey.rows[y][x] = bit_at(bits.rows[y], x) ? 255 : 0;
            }
        }
        StraightenPlan a;
        StraightenPlan b;
        const int codeBits = measure_paper(bits, c.level, c.rule, a);
        ASSERT_EQ(measure_paper(grey, c.level, c.rule, b), codeBits);
        if (codeBits == kOk) {
            EXPECT_EQ(a.bottom, b.bottom);
            EXPECT_EQ(a.left, b.left);
            EXPECT_EQ(a.right, b.right);
            EXPECT_EQ(a.top, b.top);
            EXPECT_EQ(a.theta, b.theta);
            EXPECT_EQ(a.width, b.width);
            EXPECT_EQ(a.height, b.height);
            EXPECT_EQ(a.mask.first, b.mask.first);
            EXPECT_EQ(a.mask.last, b.mask.last);
            EXPECT_EQ(a.mask.left, b.mask.left);
            EXPECT_EQ(a.mask.right, b.mask.right);
        }
        bitmap_done(&bits);
        bitmap_done(&grey);
    }
}

TEST(Measure, BandRuleFindsPaperOnANoisyBackground) {
    TicketScene scene;
    scene.imageWidth = 1000;
    scene.imageHeight = 1300;
    scene.paperWidth = 760;
    scene.paperHeight = 1000;
    scene.degrees = -4.3;
    scene.backgroundNoise = 6;
    Bitmap src = render_ticket(scene, 8);
    StraightenPlan plan;
    ASSERT_EQ(measure_paper(src, 40, 255, plan), kOk);
    EXPECT_NEAR(-plan.degrees, -4.3, 0.2);  // turned back by 4.3 degrees
    EXPECT_NEAR(plan.width, 760, 2);
    EXPECT_NEAR(plan.height, 1000, 2);
    bitmap_done(&src);
}

TEST(Straighten, ArgumentChecksInOrder) {
    Bitmap src = rectangle(400, 400, 10, 230, 50, 50, 350, 350);
    Bitmap dst{};
    EXPECT_EQ(straighten(nullptr, 1, 0, 1, &dst), kInvalidArgument);
    EXPECT_EQ(straighten(&src, 1, 0, 1, nullptr), kInvalidArgument);
    EXPECT_EQ(straighten(&src, 1, 256, 1, &dst), kInvalidArgument);
    EXPECT_EQ(straighten(&src, 1, -1, 1, &dst), kInvalidArgument);
    EXPECT_EQ(straighten(&src, 1, 0, 2, &dst), kInvalidArgument);
    EXPECT_EQ(straighten(&src, 0, 0, 1, &dst), kInvalidArgument);
    EXPECT_EQ(straighten(&src, 4, 0, 1, &dst), kInvalidArgument);
    Bitmap bad = src;
    bad.stride = 0;
    EXPECT_EQ(straighten(&bad, 1, 0, 1, &dst), kInvalidRecord);
    EXPECT_EQ(dst.bits, nullptr);
    ASSERT_EQ(straighten(&src, 2, 0, 255, &dst), kOk);
    EXPECT_EQ(dst.bitCount, 8);
    bitmap_done(&dst);
    bitmap_done(&src);
}

// Buffer form: raw unpadded rows in, straightened rows out over the same buffer.
TEST(StraightenBuffer, WritesTheResultBackOrLeavesEverything) {
    TicketScene scene;
    scene.imageWidth = 801;  // odd: unpadded rows differ from BMP rows
    scene.imageHeight = 1100;
    scene.paperWidth = 600;
    scene.paperHeight = 850;
    scene.degrees = 2.7;
    for (int bitCount : {8, 1}) {
        Bitmap src = render_ticket(scene, bitCount);
        const int row = (801 * bitCount + 7) / 8;
        std::vector<std::uint8_t> buf(static_cast<size_t>(row) * 1100);
        for (int y = 0; y < 1100; ++y) {
            std::memcpy(&buf[static_cast<size_t>(y * row)], src.rows[y], static_cast<size_t>(row));
        }
        const auto original = buf;
        int w = 801, h = 1100;

        BitmapGuard expected;
        ASSERT_EQ(straighten(&src, 2, 0, 1, expected.get()), kOk);
        ASSERT_EQ(straighten_buffer(buf.data(), &w, &h, bitCount, 2, 0), 1);
        EXPECT_EQ(w, expected->width);
        EXPECT_EQ(h, expected->height);
        EXPECT_EQ(std::memcmp(buf.data(), expected->bits, static_cast<size_t>(expected->imageSize)), 0);
        EXPECT_EQ(std::memcmp(buf.data() + expected->imageSize, original.data() + expected->imageSize,
                              buf.size() - static_cast<size_t>(expected->imageSize)),
                  0);  // nothing written beyond the result

        // Failures: buffer and sizes untouched.
        buf = original;
        w = 801;
        h = 1100;
        EXPECT_EQ(straighten_buffer(buf.data(), &w, &h, bitCount, 4, 0), 0);
        EXPECT_EQ(straighten_buffer(buf.data(), &w, &h, 16, 1, 0), 0);
        EXPECT_EQ(straighten_buffer(nullptr, &w, &h, bitCount, 1, 0), 0);
        EXPECT_EQ(straighten_buffer(buf.data(), nullptr, &h, bitCount, 1, 0), 0);
        EXPECT_EQ(straighten_buffer(buf.data(), &w, &h, bitCount, 1, 255), 0);  // nothing is above 255
        EXPECT_EQ(w, 801);
        EXPECT_EQ(h, 1100);
        EXPECT_TRUE(buf == original);
        bitmap_done(&src);
    }
}

TEST(StraightenBuffer, ResultLargerThanTheInputIsRefused) {
    Bitmap result = pattern_bitmap(10, 10, 8, false);
    std::vector<std::uint8_t> buf(120, 7);
    int w = 12, h = 8;  // 96 input bytes, the result needs 100
    EXPECT_FALSE(write_back(result, 96, buf.data(), &w, &h));
    EXPECT_EQ(w, 12);
    EXPECT_EQ(h, 8);
    EXPECT_EQ(buf, std::vector<std::uint8_t>(120, 7));
    EXPECT_TRUE(write_back(result, 100, buf.data(), &w, &h));
    EXPECT_EQ(w, 10);
    EXPECT_EQ(buf[99], result.rows[9][9]);
    EXPECT_EQ(buf[100], 7);
    bitmap_done(&result);
}

}  // namespace
}  // namespace skewtrim
