// Lines, boxes and text on a raster: they land where asked and never outside.

#include "drawing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "font.h"

namespace annotate {
namespace {

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlue{0, 0, 255};

Raster blank(int w, int h) {
    Raster r;
    r.width = w;
    r.height = h;
    r.pixels.assign(static_cast<std::size_t>(w) * h * 3, 255);
    return r;
}

int count(const Raster& r, Rgb c) {
    int n = 0;
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x) n += r.at(x, y) == c;
    return n;
}

TEST(Drawing, ALineCoversBothEndsAndOnePixelPerStepOfItsLongerSide) {
    Raster r = blank(20, 12);
    draw_line(r, {2, 3}, {17, 9}, 1, kRed);
    EXPECT_EQ(r.at(2, 3), kRed);
    EXPECT_EQ(r.at(17, 9), kRed);
    EXPECT_EQ(count(r, kRed), 16);
    // A thick (square) pen widens it by one pixel on every side.
    Raster t = blank(20, 12);
    draw_line(t, {1, 5}, {18, 5}, 3, kRed);
    for (int x = 0; x <= 19; ++x)
        for (int y = 4; y <= 6; ++y) EXPECT_EQ(t.at(x, y), kRed) << x << "," << y;
    EXPECT_EQ(count(t, kRed), 20 * 3);
}

TEST(Drawing, LinesFromFarOutsideAreClippedToWhatCrossesTheRaster) {
    const double inf = std::numeric_limits<double>::infinity();
    Raster r = blank(30, 20);
    draw_line(r, {-1e9, 7}, {1e9, 7}, 1, kRed);  // crosses the whole row 7
    for (int x = 0; x < 30; ++x) EXPECT_EQ(r.at(x, 7), kRed) << x;
    EXPECT_EQ(count(r, kRed), 30);

    // Nothing of these touches the raster; ASan watches the pixel block.
    Raster w = blank(30, 20);
    const Point wild[][2] = {{{-1e300, -1e300}, {-5, 1e300}},
                             {{inf, 3}, {inf, 9}},
                             {{std::nan(""), 3}, {10, 10}},
                             {{40, -3}, {1e15, 2e15}},
                             {{2147483647.0, 2147483647.0}, {-2147483648.0, 2147483647.0}}};
    for (const auto& seg : wild) draw_line(w, seg[0], seg[1], 1, kBlue);
    EXPECT_EQ(count(w, kBlue), 0);
    // The widest pen reaches in from just outside, and no further.
    draw_line(w, {-kMaxThickness / 2 - 1, -1e6}, {-kMaxThickness / 2 - 1, 1e6}, kMaxThickness * 4, kBlue);
    EXPECT_EQ(count(w, kBlue), 0);
    draw_line(w, {-kMaxThickness / 2, -1e6}, {-kMaxThickness / 2, 1e6}, kMaxThickness * 4, kBlue);
    EXPECT_EQ(count(w, kBlue), 20) << "its last column";
    w = blank(30, 20);
    // An infinite end still draws the part that lies inside.
    draw_line(w, {5, 5}, {inf, 5}, 1, kBlue);
    EXPECT_EQ(w.at(29, 5), kBlue);
    EXPECT_EQ(w.at(5, 5), kBlue);
    fill_box(w, -100, -100, 1000, 1000, kRed);
    EXPECT_EQ(count(w, kRed), 30 * 20);
}

TEST(Drawing, LabelsNearEveryBorderAreMovedWhollyInside) {
    const TextScale scale{2, 2};
    const std::string text = "EAN-13: 4006381333931";
    const long long w = text_width(text, scale) + 2 * 2, h = text_height(scale) + 2;
    const long long places[][2] = {
        {-50, -50}, {300, -7}, {299, 199}, {-3, 150}, {1LL << 60, 1LL << 60}, {-(1LL << 60), 100}};
    for (const auto& p : places) {
        Raster r = blank(300, 200);
        draw_label(r, p[0], p[1], text, scale, kWhite, kRed);
        // The whole background box is there (less the glyphs' dots drawn on it).
        const int ink = count(r, kWhite) - (300 * 200 - static_cast<int>(w * h));
        EXPECT_GT(ink, 0) << p[0] << "," << p[1];
        EXPECT_EQ(count(r, kRed) + ink, w * h) << p[0] << "," << p[1];
    }
    // Wider than the raster: starts at its left edge and is cut at its right.
    Raster narrow = blank(40, 30);
    draw_label(narrow, 10, 10, text, scale, kWhite, kRed);
    EXPECT_EQ(narrow.at(0, 10), kRed);
    EXPECT_NE(narrow.at(39, 12), Rgb({255, 255, 255}));
}

TEST(Drawing, TextShowsPrintableAsciiAndAQuestionMarkForAnythingElse) {
    EXPECT_EQ(printable("A\x01\xE9z", 10), "A??z");
    EXPECT_EQ(printable("0123456789", 6), "012...");
    // A byte without a glyph is drawn exactly as '?'.
    Raster a = blank(12, 10), b = blank(12, 10);
    draw_text(a, 1, 1, "\x7F", {1, 1}, kRed);
    draw_text(b, 1, 1, "?", {1, 1}, kRed);
    EXPECT_EQ(a.pixels, b.pixels);
    // 'I' has its stem in the middle column; '-' its bar on the middle row.
    Raster i = blank(8, 10);
    draw_text(i, 0, 0, "I", {1, 1}, kRed);
    for (int y = 0; y < 7; ++y) EXPECT_EQ(i.at(2, y), kRed);
    Raster dash = blank(8, 10);
    draw_text(dash, 0, 0, "-", {1, 1}, kRed);
    EXPECT_EQ(count(dash, kRed), 5);
    for (int x = 0; x < 5; ++x) EXPECT_EQ(dash.at(x, 3), kRed);
    // Scale 3 across, 2 down: the same glyph, each dot 3 x 2 pixels.
    Raster big = blank(20, 20);
    draw_text(big, 0, 0, "-", {3, 2}, kRed);
    EXPECT_EQ(count(big, kRed), 5 * 3 * 2);
}

}  // namespace
}  // namespace annotate
