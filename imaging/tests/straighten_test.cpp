#include "imaging/straighten.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/outline.h"
#include "imaging/tests/test_images.h"
#include "imaging/tests/ticket_render.h"

namespace skewtrim {
namespace {

using namespace skewtrim::testing;

// The paper's turn as measured: the plan turns the picture back by it.
double measured_turn(const StraightenPlan& plan) {
    return plan.degrees > 180.0 ? 360.0 - plan.degrees : -plan.degrees;
}

// Checks that `out` shows the upright paper of `scene`: paper all along its
// border (no background, no fill), the marker and the bar where they belong.
void expect_upright_paper(const Bitmap& out, const TicketScene& scene, const char* what) {
    SCOPED_TRACE(what);
    const int w = out.width;
    const int h = out.height;
    // Inside strips along the four edges: paper only.
    const double paperLow = out.bitCount == 1 ? 250.0 : scene.paper - 15.0;
    const double paperHigh = out.bitCount == 1 ? 256.0 : scene.paper + 15.0;
    for (const double mean : {block_mean(out, 6, 6, w - 6, 12), block_mean(out, 6, h - 12, w - 6, h - 6),
                              block_mean(out, 6, 6, 12, h - 6), block_mean(out, w - 12, 6, w - 6, h - 6)}) {
        EXPECT_GT(mean, paperLow);
        EXPECT_LT(mean, paperHigh);
    }
    // Output pixel (i, j) shows paper point (i - (w-1)/2 + pw/2, j - (h-1)/2 + ph/2).
    const int ox = (w - 1) / 2 - scene.paperWidth / 2;
    const int oy = (h - 1) / 2 - scene.paperHeight / 2;
    const int m = 8;
    EXPECT_LT(
        block_mean(out, kMarker.x0 + ox + m, kMarker.y0 + oy + m, kMarker.x1 + ox - m, kMarker.y1 + oy - m),
        80.0);
    if (scene.paperHeight > kBar.y1 + 100) {
        EXPECT_LT(
            block_mean(out, kBar.x0 + ox + m, kBar.y0 + oy + m / 2, kBar.x1 + ox - m, kBar.y1 + oy - m / 2),
            80.0);
    }
    // The mirror image of the marker is blank paper.
    EXPECT_GT(block_mean(out, w - 1 - (kMarker.x1 + ox) + m, kMarker.y0 + oy + m,
                         w - 1 - (kMarker.x0 + ox) - m, kMarker.y1 + oy - m),
              paperLow);
}

struct Case {
    double degrees;
    int bitCount;
    int mode;
    int paperHeight = 1800;  // 900: a landscape ticket, wider than tall
};

class StraightenTicket : public ::testing::TestWithParam<Case> {};

TEST_P(StraightenTicket, MeasuresTheTurnAndCutsOutTheUprightPaper) {
    const Case c = GetParam();
    TicketScene scene;
    scene.degrees = c.degrees;
    scene.paperHeight = c.paperHeight;
    scene.seed = static_cast<unsigned>(c.degrees * 100 + 1000);
    Bitmap src = render_ticket(scene, c.bitCount);

    StraightenPlan plan;
    ASSERT_EQ(measure_paper(src, 0, 1, plan), kOk);
    EXPECT_NEAR(measured_turn(plan), c.degrees, 0.2);

    BitmapGuard out;
    ASSERT_EQ(straighten(&src, c.mode, 0, 1, out.get()), kOk);
    EXPECT_NEAR(out->width, scene.paperWidth, 2);
    EXPECT_NEAR(out->height, scene.paperHeight, 2);
    EXPECT_EQ(out->bitCount, c.bitCount);
    EXPECT_EQ(out->stride, (out->width * c.bitCount + 7) / 8);
    expect_upright_paper(*out, scene, "straightened");
    bitmap_done(&src);
}

INSTANTIATE_TEST_SUITE_P(
    Angles, StraightenTicket,
    ::testing::Values(Case{-10.0, 8, 1}, Case{-7.3, 8, 2}, Case{-4.0, 8, 3}, Case{-1.6, 8, 1},
                      Case{-0.4, 8, 2}, Case{0.0, 8, 1}, Case{0.7, 8, 3}, Case{2.2, 8, 2}, Case{3.0, 8, 1},
                      Case{5.5, 8, 2}, Case{8.1, 8, 1}, Case{10.0, 8, 3}, Case{-9.2, 1, 1}, Case{-3.0, 1, 3},
                      Case{-0.8, 1, 2}, Case{0.0, 1, 3}, Case{1.2, 1, 1}, Case{4.6, 1, 2}, Case{10.0, 1, 3},
                      Case{-6.0, 24, 1}, Case{2.5, 24, 2}, Case{-9.5, 8, 2, 900}, Case{4.0, 1, 1, 900}),
    [](const ::testing::TestParamInfo<Case>& info) {
        const double d = info.param.degrees;
        std::string name = (d < 0 ? "minus" : "plus") + std::to_string(static_cast<int>(std::fabs(d) * 10)) +
                           "_" + std::to_string(info.param.bitCount) + "bit_mode" +
                           std::to_string(info.param.mode) +
                           (info.param.paperHeight < 1300 ? "_landscape" : "");
        return name;
    });

}  // namespace
}  // namespace skewtrim
