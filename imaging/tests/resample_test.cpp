#include "imaging/resample.h"

#include <gtest/gtest.h>

#include <cmath>

#include "imaging/bitmap.h"
#include "imaging/outline.h"
#include "imaging/tests/reference_resampler.h"
#include "imaging/tests/test_images.h"
#include "imaging/tests/ticket_render.h"

namespace skewtrim {
namespace {

using namespace skewtrim::testing;

TEST(ResampleTables, CubicWeights) {
    const CubicWeights& w = cubic_weights();
    EXPECT_EQ(w[0], (std::array<std::int32_t, 4>{0, 1024, 0, 0}));
    EXPECT_EQ(w[5], (std::array<std::int32_t, 4>{-128, 640, 640, -128}));
    EXPECT_EQ(w[1], (std::array<std::int32_t, 4>{-83, 1005, 112, -9}));
    EXPECT_EQ(w[9], (std::array<std::int32_t, 4>{-9, 112, 1005, -83}));  // mirror of phase 1
}

TEST(ResampleTables, BilinearProducts) {
    const LinearProducts& t = linear_products();
    EXPECT_EQ(t[5][255], 127);
    EXPECT_EQ(t[7][255], 178);
    EXPECT_EQ(t[9][255], 229);
    EXPECT_EQ(t[3][255], 76);
    EXPECT_EQ(t[10][200], 200);
    EXPECT_EQ(t[0][255], 0);
    EXPECT_EQ(t[5][255] + t[5][255], 254);  // a uniform 255 area at phase 5 gives 254
    for (int w = 0; w <= 10; ++w) {
        for (int v = 0; v < 256; ++v) {
            EXPECT_LE(t[w][v] + t[10 - w][v], 255) << w << "," << v;
            if (w < 10 && !(v == 255 && (w == 5 || w == 7 || w == 9))) {
                EXPECT_EQ(t[w][v], ((v + 1) * w) / 10);
            }
        }
    }
}

TEST(ResampleTables, OffsetsAreRunningSums) {
    const OffsetTables t(0.3, 101, 40);
    ASSERT_EQ(t.cosines.size(), 61u);  // max(50, 19) + 10, plus entry 0
    double c = 0.0;
    for (size_t k = 0; k < t.cosines.size(); ++k) {
        EXPECT_EQ(t.cosines[k], c);
        c += std::cos(0.3);
    }
    EXPECT_EQ(t.sines[1], std::sin(0.3));
}

// The library's resampler against the plain oracle, on measured tickets.
struct OracleCase {
    double degrees;
    int bitCount;
    int width;
};

class ResampleOracle : public ::testing::TestWithParam<OracleCase> {};

TEST_P(ResampleOracle, MatchesThePlainRulesOnAMeasuredTicket) {
    const OracleCase c = GetParam();
    TicketScene scene;
    scene.degrees = c.degrees;
    scene.imageWidth = c.width;
    scene.imageHeight = c.width * 4 / 3;
    scene.paperWidth = c.width * 3 / 4;
    scene.paperHeight = c.width;
    Bitmap src = render_ticket(scene, c.bitCount);
    StraightenPlan plan;
    ASSERT_EQ(measure_paper(src, 0, 1, plan), kOk);
    for (int mode : {1, 2, 3}) {
        SCOPED_TRACE(::testing::Message() << "mode " << mode);
        Bitmap slow = reference_resample(src, plan, mode);
        for (bool plain : {false, true}) {  // the automatic choice, then the plain loops
            force_plain_resample_for_testing(plain);
            BitmapGuard fast;
            const int code = resample(&src, plan, mode, kFillColour.data(), fast.get());
            force_plain_resample_for_testing(false);
            ASSERT_EQ(code, kOk);
            EXPECT_TRUE(same_pixels(*fast, slow)) << (plain ? "plain" : "automatic");
        }
        bitmap_done(&slow);
    }
    bitmap_done(&src);
}

INSTANTIATE_TEST_SUITE_P(Tickets, ResampleOracle,
                         ::testing::Values(OracleCase{3.0, 8, 1728}, OracleCase{-6.5, 8, 700},
                                           OracleCase{8.0, 24, 500}, OracleCase{-2.0, 1, 1728},
                                           OracleCase{5.0, 1, 640}, OracleCase{-0.4, 8, 601},
                                           OracleCase{9.5, 1, 481}, OracleCase{-3.0, 24, 411}),
                         [](const ::testing::TestParamInfo<OracleCase>& info) {
                             return std::to_string(info.param.bitCount) + "bit_" +
                                    std::to_string(info.param.width) + "px";
                         });

// Hard black/white edges at an odd angle: bicubic overshoot must clamp, and
// the border repeats the outermost pixels.
TEST(Resample, HardEdgesClampAndBorderRepeats) {
    Bitmap src{};
    ASSERT_EQ(bitmap_new(&src, 61, 47, 8, true), kOk);
    for (int y = 0; y < 47; ++y) {
        for (int x = 0; x < 61; ++x) {
            src.rows[y][x] = ((x / 5 + y / 7) % 2) ? 255 : 0;
        }
    }
    const StraightenPlan plan = whole_image_plan(src, 33.3, 30, 23, 75, 75);
    for (int mode : {1, 2, 3}) {
        BitmapGuard fast;
        ASSERT_EQ(resample(&src, plan, mode, kFillColour.data(), fast.get()), kOk);
        Bitmap slow = reference_resample(src, plan, mode);
        EXPECT_TRUE(same_pixels(*fast, slow)) << "mode " << mode;
        bitmap_done(&slow);
        if (mode == 1) {
            int zeros = 0;
            int whites = 0;
            for (int j = 0; j < fast->height; ++j) {
                for (int i = 0; i < fast->width; ++i) {
                    zeros += fast->rows[j][i] == 0;
                    whites += fast->rows[j][i] == 255;
                }
            }
            EXPECT_GT(zeros, 50);  // undershoot clamped to black
            EXPECT_GT(whites, 50);
        }
    }
    bitmap_done(&src);
}

TEST(Resample, AngleZeroNearestCopiesTheMaskedRegion) {
    Bitmap src = pattern_bitmap(40, 30, 8, false, 17);
    // Output 21 x 11 centred on (20, 15): source columns 10..30, rows 10..20.
    StraightenPlan plan = whole_image_plan(src, 0.0, 20, 15, 21, 11);
    plan.mask.left[12] = 15;  // row 12 only from column 15 on
    BitmapGuard out;
    ASSERT_EQ(resample(&src, plan, 3, kFillColour.data(), out.get()), kOk);
    for (int j = 0; j < 11; ++j) {
        for (int i = 0; i < 21; ++i) {
            const int x = 10 + i;
            const int y = 10 + j;
            const bool onPaper = !(y == 12 && x < 15);
            EXPECT_EQ(out->rows[j][i], onPaper ? src.rows[y][x] : 255) << i << "," << j;
        }
    }
    bitmap_done(&src);
}

TEST(Resample, ColourFillIsPureBlueOutsideThePaper) {
    Bitmap src = pattern_bitmap(30, 30, 24, false, 3);
    StraightenPlan plan = whole_image_plan(src, 0.0, 15, 15, 40, 40);  // larger than the source
    for (int mode : {1, 2, 3}) {
        BitmapGuard out;
        ASSERT_EQ(resample(&src, plan, mode, kFillColour.data(), out.get()), kOk);
        EXPECT_EQ(pixel(*out, 0, 0), 0x0000FFu);  // blue, green, red = 255, 0, 0
        EXPECT_EQ(pixel(*out, 39, 39), 0x0000FFu);
        EXPECT_EQ(pixel(*out, 2, 20), 0x0000FFu);
        EXPECT_EQ(pixel(*out, 20, 20), pixel(src, 15 + 20 - 19, 15 + 20 - 19)) << mode;
    }
    bitmap_done(&src);
}

TEST(Resample, InvalidRequestsWriteNothing) {
    Bitmap src = pattern_bitmap(30, 20, 8, false, 3);
    const StraightenPlan good = whole_image_plan(src, 10.0, 15, 10, 20, 20);
    Bitmap dst{};
    dst.width = 7;
    auto with = [&](auto change) {
        StraightenPlan p = good;
        change(p);
        return resample(&src, p, 1, kFillColour.data(), &dst);
    };
    EXPECT_EQ(with([](StraightenPlan& p) { p.width = 0; }), kInvalidArgument);
    EXPECT_EQ(with([](StraightenPlan& p) { p.height = -2; }), kInvalidArgument);
    EXPECT_EQ(with([](StraightenPlan& p) { p.cx = 30; }), kInvalidArgument);
    EXPECT_EQ(with([](StraightenPlan& p) { p.cy = -1; }), kInvalidArgument);
    EXPECT_EQ(with([](StraightenPlan& p) { p.mask.first = -1; }), kInvalidArgument);
    EXPECT_EQ(with([](StraightenPlan& p) { p.mask.last = 20; }), kInvalidArgument);
    EXPECT_EQ(with([](StraightenPlan& p) { p.mask.first = p.mask.last; }), kInvalidArgument);
    EXPECT_EQ(resample(&src, good, 1, nullptr, &dst), kInvalidArgument);
    EXPECT_EQ(resample(nullptr, good, 1, kFillColour.data(), &dst), kInvalidArgument);
    Bitmap bad = src;
    bad.bits = nullptr;
    EXPECT_EQ(resample(&bad, good, 1, kFillColour.data(), &dst), kInvalidRecord);
    EXPECT_EQ(dst.width, 7);
    EXPECT_EQ(dst.bits, nullptr);
    bitmap_done(&src);
}

}  // namespace
}  // namespace skewtrim
