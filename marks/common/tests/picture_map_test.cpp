// The maps that carry a working image's points back to the caller's picture.
#include "marks/common/picture_map.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace marks {
namespace {

// A quarter turn by the straightening library's rule, written out pixel by pixel.
std::vector<int> turned(const std::vector<int>& in, int w, int h, int degrees, int& tw, int& th) {
    tw = degrees == 180 ? w : h;
    th = degrees == 180 ? h : w;
    std::vector<int> out(in.size());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int dx = 0, dy = 0;
            if (degrees == 90) {
                dx = y, dy = w - 1 - x;
            } else if (degrees == 180) {
                dx = w - 1 - x, dy = h - 1 - y;
            } else {
                dx = h - 1 - y, dy = x;
            }
            out[static_cast<size_t>(dy * tw + dx)] = in[static_cast<size_t>(y * w + x)];
        }
    }
    return out;
}

TEST(PictureMap, UndoingAQuarterTurnFindsEveryPixelsOrigin) {
    const int w = 7, h = 4;
    std::vector<int> id(static_cast<size_t>(w * h));
    for (size_t i = 0; i < id.size(); ++i) id[i] = static_cast<int>(i);
    for (int degrees : {90, 180, 270}) {
        int tw = 0, th = 0;
        const std::vector<int> t = turned(id, w, h, degrees, tw, th);
        const Affine back = undo_quarter_turn(degrees, w, h);
        for (int y = 0; y < th; ++y) {
            for (int x = 0; x < tw; ++x) {
                const PlanePoint p = back.apply({static_cast<double>(x), static_cast<double>(y)});
                const int origin = static_cast<int>(p.y) * w + static_cast<int>(p.x);
                EXPECT_EQ(t[static_cast<size_t>(y * tw + x)], origin) << degrees << " at " << x << "," << y;
            }
        }
    }
}

TEST(PictureMap, CompositionAndInverse) {
    const Affine a{0.9, -0.1, 5.0, 0.1, 0.9, -3.0};
    const Affine b = Affine::scale(2.0, 0.5).then(Affine::translate(1.0, 2.0));
    const PlanePoint p{13.0, 21.0};
    const PlanePoint viaBoth = a.then(b).apply(p);
    const PlanePoint stepwise = b.apply(a.apply(p));
    EXPECT_DOUBLE_EQ(viaBoth.x, stepwise.x);
    EXPECT_DOUBLE_EQ(viaBoth.y, stepwise.y);
    const PlanePoint back = a.inverse()->apply(a.apply(p));
    EXPECT_NEAR(back.x, p.x, 1e-9);
    EXPECT_NEAR(back.y, p.y, 1e-9);
    EXPECT_FALSE(Affine::scale(0.0, 1.0).inverse().has_value());
}

// A stand-in for SkewtrimMap: succeeds on a 10 x 6 1-bit picture at level 90 only.
int fake_map(const std::uint8_t* pixels, int width, int height, int bitCount, int level, double* map,
             int* outWidth, int* outHeight) {
    if (pixels == nullptr || width != 10 || height != 6 || bitCount != 1 || level != 90) return 0;
    const double m[6] = {0.5, -0.25, 3.0, 0.25, 0.5, 1.0};
    for (int i = 0; i < 6; ++i) map[i] = m[i];
    *outWidth = 8;
    *outHeight = 4;
    return 1;
}

TEST(PictureMap, StraighteningMapPassesThePictureAndHandsBackMapAndSize) {
    Image image;
    ASSERT_TRUE(image.create(10, 6, 1));
    int width = -1, height = -1;
    const std::optional<Affine> map = straightening_map(image, fake_map, 90, &width, &height);
    ASSERT_TRUE(map.has_value());
    const PlanePoint p = map->apply({2.0, 4.0});
    EXPECT_DOUBLE_EQ(p.x, 0.5 * 2 - 0.25 * 4 + 3.0);
    EXPECT_DOUBLE_EQ(p.y, 0.25 * 2 + 0.5 * 4 + 1.0);
    EXPECT_EQ(width, 8);
    EXPECT_EQ(height, 4);
    EXPECT_TRUE(straightening_map(image, fake_map, 90).has_value());

    // A refusal, a missing export or an empty picture: nothing, sizes untouched.
    width = height = -1;
    EXPECT_FALSE(straightening_map(image, fake_map, 91, &width, &height).has_value());
    EXPECT_FALSE(straightening_map(image, nullptr, 90, &width, &height).has_value());
    EXPECT_FALSE(straightening_map(Image(), fake_map, 90, &width, &height).has_value());
    EXPECT_EQ(width, -1);
    EXPECT_EQ(height, -1);
}

}  // namespace
}  // namespace marks
