// The shared library as callers see it: loaded by its logical name, every
// export resolvable, failure values instead of crashes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/Skewtrim.h"
#include "imaging/bitmap.h"
#include "imaging/tests/ticket_render.h"
#include "platform/dynamic_library.h"

namespace {

const char* const kExports[] = {
    "Bitmap_New",         "Bitmap_Init",      "Bitmap_Done",   "Bitmap_Copy", "Bitmap_Check",
    "ReadBitmapFromFile", "SaveBitmapToFile", "SaveBmpToFile", "GetBWBitmap", "GetGrayBitmap",
    "GetColorBitmap",     "imageRotate",      "RotatePicSP",   "Skewtrim",    "SkewtrimEx",
    "ImageSkewtrim",      "SkewtrimMap",
};

class Exports : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(lib.open("Skewtrim.dll")) << lib.error(); }
    platform::DynamicLibrary lib;
};

TEST_F(Exports, EveryNameResolves) {
    for (const char* name : kExports) {
        EXPECT_NE(lib.symbol(name), nullptr) << name;
    }
    EXPECT_EQ(lib.symbol("bitmap_new"), nullptr);  // internals stay hidden
}

TEST_F(Exports, RecordLifeCycleAndYesNoSave) {
    auto bnew = lib.resolve<int (*)(Bitmap*, int, int, int, int)>("Bitmap_New");
    auto done = lib.resolve<int (*)(Bitmap*)>("Bitmap_Done");
    auto copy = lib.resolve<int (*)(const Bitmap*, Bitmap*)>("Bitmap_Copy");
    auto save = lib.resolve<int (*)(const Bitmap*, const char*)>("SaveBmpToFile");
    ASSERT_TRUE(bnew && done && copy && save);
    Bitmap bmp{};
    ASSERT_EQ(bnew(&bmp, 10, 4, 24, 0), 0);
    EXPECT_EQ(bmp.stride, 30);
    EXPECT_EQ(copy(&bmp, nullptr), 4);
    EXPECT_EQ(save(nullptr, "x.bmp"), 0);
    EXPECT_EQ(save(&bmp, "no/such/dir/x.bmp"), 0);
    EXPECT_EQ(done(&bmp), 0);
    EXPECT_EQ(bmp.bits, nullptr);
}

// As the mark readers use it: raw 1-bit rows straightened in place.
TEST_F(Exports, StraighteningInPlaceAsTheMarkReadersCallIt) {
    using Trim = int (*)(uint8_t*, int*, int*, int, int);
    using TrimLevel = int (*)(uint8_t*, int*, int*, int, int, int);
    using Image = int (*)(const Bitmap*, int, int, int, Bitmap*);
    auto trimEx = lib.resolve<Trim>("SkewtrimEx");
    auto trim = lib.resolve<TrimLevel>("Skewtrim");
    auto image = lib.resolve<Image>("ImageSkewtrim");
    auto done = lib.resolve<int (*)(Bitmap*)>("Bitmap_Done");
    ASSERT_TRUE(trimEx && trim && image && done);

    skewtrim::testing::TicketScene scene;
    scene.imageWidth = 864;
    scene.imageHeight = 1200;
    scene.paperWidth = 650;
    scene.paperHeight = 900;
    scene.degrees = -2.5;
    Bitmap src = skewtrim::testing::render_ticket(scene, 1);
    std::vector<uint8_t> buf(static_cast<size_t>(src.imageSize));
    std::memcpy(buf.data(), src.bits, buf.size());  // 864 / 8: unpadded rows are whole bytes
    int w = 864, h = 1200;
    ASSERT_EQ(trimEx(buf.data(), &w, &h, 1, 2), 1);
    EXPECT_NEAR(w, 650, 2);
    EXPECT_NEAR(h, 900, 2);

    int w2 = 864, h2 = 1200;
    EXPECT_EQ(trim(nullptr, &w2, &h2, 1, 3, 0), 0);
    EXPECT_EQ(trim(buf.data(), &w2, &h2, 1, 0, 0), 0);
    Bitmap out{};
    EXPECT_EQ(image(&src, 1, 0, 2, &out), 1);
    EXPECT_EQ(image(&src, 1, 256, 1, &out), 1);
    EXPECT_EQ(image(&src, 3, 0, 1, &out), 0);
    EXPECT_EQ(out.width, w);
    done(&out);
    skewtrim::bitmap_done(&src);
}

// The map tells, for each straightened pixel, where it was taken from: the 8-bit nearest
// straightening must agree with a source pixel the map points at almost everywhere. The paper
// carries grey noise, so a map one pixel off agrees on far fewer points.
TEST_F(Exports, MapPointsAtThePixelsTheStraighteningTook) {
    using Trim = int (*)(uint8_t*, int*, int*, int, int, int);
    using Map = int (*)(const uint8_t*, int, int, int, int, double*, int*, int*);
    auto trim = lib.resolve<Trim>("Skewtrim");
    auto map = lib.resolve<Map>("SkewtrimMap");
    ASSERT_TRUE(trim && map);
    for (double degrees : {-3.0, 0.0, 4.5}) {
        skewtrim::testing::TicketScene scene;
        scene.imageWidth = 800;
        scene.imageHeight = 1000;
        scene.paperWidth = 600;
        scene.paperHeight = 800;
        scene.degrees = degrees;
        Bitmap src = skewtrim::testing::render_ticket(scene, 8);
        std::vector<uint8_t> in(800 * 1000);
        for (int y = 0; y < 1000; ++y) {
            std::memcpy(&in[static_cast<size_t>(y) * 800], src.rows[y], 800);
        }
        skewtrim::bitmap_done(&src);
        double m[6] = {};
        int mw = 0, mh = 0;
        ASSERT_EQ(map(in.data(), 800, 1000, 8, 0, m, &mw, &mh), 1) << degrees;
        std::vector<uint8_t> out = in;
        int w = 800, h = 1000;
        ASSERT_EQ(trim(out.data(), &w, &h, 8, SKEWTRIM_MODE_NEAREST, 0), 1);
        EXPECT_EQ(mw, w);
        EXPECT_EQ(mh, h);
        int agree = 0, total = 0;
        for (int j = 0; j < h; j += 7) {
            for (int i = 0; i < w; i += 5) {
                const double x = m[0] * i + m[1] * j + m[2];
                const double y = m[3] * i + m[4] * j + m[5];
                // The nearest pixel truncates the offset from the paper centre, so the source
                // pixel is the floor or the ceiling of the point on each axis.
                const int xs = static_cast<int>(std::floor(x)), ys = static_cast<int>(std::floor(y));
                if (xs < 0 || ys < 0 || xs + 1 >= 800 || ys + 1 >= 1000) continue;
                ++total;
                const uint8_t got = out[static_cast<size_t>(j) * w + i];
                bool found = false;
                for (int dy = 0; dy < 2; ++dy) {
                    for (int dx = 0; dx < 2; ++dx) {
                        found |= got == in[static_cast<size_t>(ys + dy) * 800 + xs + dx];
                    }
                }
                agree += found;
            }
        }
        ASSERT_GT(total, 10000);
        EXPECT_GT(agree, total * 98 / 100) << degrees << ": " << agree << " of " << total;
    }
    double m[6];
    int mw = 0, mh = 0;
    const std::vector<uint8_t> dark(100 * 100, 0);
    EXPECT_EQ(map(dark.data(), 100, 100, 8, 0, m, &mw, &mh), 0);  // no paper
    EXPECT_EQ(map(nullptr, 100, 100, 8, 0, m, &mw, &mh), 0);
    EXPECT_EQ(map(dark.data(), 100, 100, 8, 0, nullptr, &mw, &mh), 0);
    EXPECT_EQ(map(dark.data(), 100, 100, 4, 0, m, &mw, &mh), 0);
}

}  // namespace
