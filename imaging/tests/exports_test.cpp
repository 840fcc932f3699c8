// The shared library as callers see it: loaded by its logical name, every
// export resolvable, failure values instead of crashes.
#include "imaging/Skewtrim.h"
#include "platform/dynamic_library.h"

#include <gtest/gtest.h>

namespace {

const char* const kExports[] = {
    "Bitmap_New",   "Bitmap_Init",   "Bitmap_Done",    "Bitmap_Copy",   "Bitmap_Check",  "ReadBitmapFromFile",
    "SaveBitmapToFile", "SaveBmpToFile", "GetBWBitmap", "GetGrayBitmap", "GetColorBitmap", "imageRotate",
    "RotatePicSP", "Skewtrim", "SkewtrimEx", "ImageSkewtrim",
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

}  // namespace
