// The shared library as callers see it: loaded by its logical name, every
// export resolvable, failure values instead of crashes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "imaging/Skewtrim.h"
#include "imaging/bitmap.h"
#include "imaging/tests/ticket_render.h"
#include "platform/dynamic_library.h"

namespace {

const char* const kExports[] = {
    "Bitmap_New",   "Bitmap_Init",        "Bitmap_Done",      "Bitmap_Copy",
    "Bitmap_Check", "ReadBitmapFromFile", "SaveBitmapToFile", "SaveBmpToFile",
    "GetBWBitmap",  "GetGrayBitmap",      "GetColorBitmap",   "imageRotate",
    "RotatePicSP",  "Skewtrim",           "SkewtrimEx",       "ImageSkewtrim",
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

}  // namespace
