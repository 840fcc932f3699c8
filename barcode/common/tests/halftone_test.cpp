#include "barcode/common/halftone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

// A packed 1-bit page, bit 1 white, every pixel white to begin with.
struct Page {
    int width, height, stride;
    std::vector<std::uint8_t> bits;

    Page(int w, int h)
        : width(w), height(h), stride((w + 31) / 32 * 4), bits(static_cast<std::size_t>(stride) * h, 0xff) {}
    bool dark(int x, int y) const {
        return !((bits[static_cast<std::size_t>(y) * stride + x / 8] >> (7 - x % 8)) & 1);
    }
    void set_dark(int x, int y) {
        bits[static_cast<std::size_t>(y) * stride + x / 8] &= static_cast<std::uint8_t>(~(0x80u >> (x % 8)));
    }
    double lone_share() const { return barcode::lone_pixel_share(bits.data(), width, height, stride); }
    Page smoothed(int reach = 1) const {
        Page out(width, height);
        barcode::smooth_halftone(bits.data(), width, height, stride, out.bits, reach);
        return out;
    }
};

// Upright bars of 1 to 4 pixels with gaps of 2 to 5, over the whole height.
Page bar_page() {
    Page page(160, 40);
    for (int x = 8, k = 0; x + 4 < page.width; ++k) {
        const int bar = 1 + k % 4;
        for (int dx = 0; dx < bar; ++dx)
            for (int y = 0; y < page.height; ++y) page.set_dark(x + dx, y);
        x += bar + 2 + k % 4;
    }
    return page;
}

TEST(LonePixels, BarsHaveNoneWhileScatteredDotsAreCountedWhicheverColourIsInk) {
    const Page bars = bar_page();
    EXPECT_EQ(bars.lone_share(), 0.0);
    EXPECT_FALSE(barcode::looks_dithered(bars.lone_share()));

    // Grey paper dithered at about one dot in eight: dots on a staggered lattice.
    Page grey(160, 40);
    for (int y = 0; y < grey.height; ++y)
        for (int x = (y % 2) * 2; x < grey.width; x += 4)
            if (y % 2 == 0 || x % 8 < 4) grey.set_dark(x, y);
    EXPECT_GT(grey.lone_share(), 0.05);
    EXPECT_TRUE(barcode::looks_dithered(grey.lone_share()));

    Page inverted = grey;
    for (std::uint8_t& byte : inverted.bits) byte = static_cast<std::uint8_t>(~byte);
    EXPECT_DOUBLE_EQ(inverted.lone_share(), grey.lone_share());

    EXPECT_EQ(barcode::lone_pixel_share(nullptr, 100, 100, 16), 0.0);
    EXPECT_EQ(Page(2, 2).lone_share(), 0.0);
}

TEST(LonePixels, TheShareMatchesAPixelByPixelCountOnRandomPagesOfAnyWidth) {
    std::mt19937 rng(3);
    for (int width : {3, 7, 8, 9, 17, 31, 32, 33, 70}) {
        Page page(width, 19);
        for (std::uint8_t& byte : page.bits) byte = static_cast<std::uint8_t>(rng());
        long long lone = 0, counted = 0;
        for (int y = 1; y + 1 < page.height; y += 8) {
            for (int x = 1; x + 1 < width; ++x) {
                const bool v = page.dark(x, y);
                lone += page.dark(x - 1, y) != v && page.dark(x + 1, y) != v && page.dark(x, y - 1) != v &&
                        page.dark(x, y + 1) != v;
            }
            counted += width - 2;
        }
        EXPECT_DOUBLE_EQ(page.lone_share(), static_cast<double>(lone) / static_cast<double>(counted))
            << width;
    }
}

TEST(SmoothHalftone, LoneDotsVanishWhileBarsOfOnePixelOrMoreKeepTheirPlace) {
    Page page = bar_page();
    const Page bars = page;
    // Lone dots scattered in the spaces of at least 4 pixels, 2 pixels clear of any bar.
    std::mt19937 rng(5);
    for (int n = 0; n < 300; ++n) {
        const int x = static_cast<int>(rng() % page.width), y = static_cast<int>(rng() % page.height);
        bool clear = true;
        for (int dx = -2; dx <= 2; ++dx)
            for (int dy = -2; dy <= 2; ++dy)
                if (x + dx >= 0 && x + dx < page.width && y + dy >= 0 && y + dy < page.height)
                    clear = clear && !page.dark(x + dx, y + dy);
        if (clear) page.set_dark(x, y);
    }
    ASSERT_GT(page.lone_share(), 0.0);
    const Page out = page.smoothed();
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x) ASSERT_EQ(out.dark(x, y), bars.dark(x, y)) << x << "," << y;
}

TEST(SmoothHalftone, DotsBesideABarVanishAndPaddingBitsStay) {
    // A bar of columns 10..13 with a dot a pixel off its edge on every other row (column 15), as
    // error diffusion leaves beside a blurred edge. Width 20 leaves 12 padding bits in each
    // 4-byte row.
    Page page(20, 12);
    for (int y = 0; y < page.height; ++y) {
        for (int x = 10; x < 14; ++x) page.set_dark(x, y);
        if (y % 2 == 0) page.set_dark(15, y);
        page.bits[static_cast<std::size_t>(y) * page.stride + 3] = 0x5a;  // padding
    }
    const Page out = page.smoothed();
    for (int y = 0; y < page.height; ++y) {
        for (int x = 0; x < page.width; ++x) EXPECT_EQ(out.dark(x, y), x >= 10 && x < 14) << x << "," << y;
        EXPECT_EQ(out.bits[static_cast<std::size_t>(y) * page.stride + 3], 0x5a);
    }
}

TEST(SmoothHalftone, AnEvenNeighbourhoodKeepsThePixelsOwnValue) {
    // A checkerboard: every pixel's weighted neighbourhood is dark by exactly half.
    Page page(16, 8);
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x)
            if ((x + y) % 2) page.set_dark(x, y);
    const Page out = page.smoothed();
    for (int y = 1; y + 1 < page.height; ++y)
        for (int x = 1; x + 1 < page.width; ++x) EXPECT_EQ(out.dark(x, y), page.dark(x, y)) << x << "," << y;
}

TEST(SmoothHalftone, TheWiderKernelEvensOutOrderedDitherAndKeepsBarsOfTwoPixels) {
    // Paper a quarter grey in the 4 x 4 ordered pattern (four dots in sixteen, never touching),
    // with bars of 2, 3 and 4 pixels standing on it.
    static const int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    Page page(64, 24);
    Page bars(64, 24);
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x) {
            const bool bar = (x >= 10 && x < 12) || (x >= 24 && x < 27) || (x >= 40 && x < 44);
            if (bar) bars.set_dark(x, y);
            if (bar || kBayer[y % 4][x % 4] < 4) page.set_dark(x, y);
        }
    const Page out = page.smoothed(2);
    // Away from the border, where the nearest pixels stand in for those off the page: every bar
    // pixel stays, and the paper two pixels or more from a bar is white (next to a bar, the
    // grey of the paper may widen it by a pixel).
    for (int y = 2; y + 2 < page.height; ++y)
        for (int x = 4; x + 4 < page.width; ++x) {
            bool nearBar = false;
            for (int dx = -2; dx <= 2; ++dx) nearBar = nearBar || bars.dark(x + dx, y);
            if (bars.dark(x, y) || !nearBar) {
                ASSERT_EQ(out.dark(x, y), bars.dark(x, y)) << x << "," << y;
            }
        }
}

// The n x n ordered threshold pattern (n a power of 2): each level of 2 x 2 blocks spreads the
// thresholds of the level below over four offsets, 0 3 / 2 1 as in the common pattern.
std::vector<int> ordered_pattern(int n) {
    std::vector<int> m{0};
    for (int size = 1; size < n; size *= 2) {
        std::vector<int> next(static_cast<std::size_t>(4 * size * size));
        static const int kOffset[2][2] = {{0, 2}, {3, 1}};
        for (int y = 0; y < 2 * size; ++y)
            for (int x = 0; x < 2 * size; ++x)
                next[static_cast<std::size_t>(y * 2 * size + x)] =
                    4 * m[static_cast<std::size_t>((y % size) * size + x % size)] +
                    kOffset[y / size][x / size];
        m = next;
    }
    return m;
}

// A grey page (darkness 0..1 per pixel) reduced to 1 bit by the n x n ordered pattern, or by
// error diffusion (Floyd-Steinberg) when n is 0.
Page reduce(const std::vector<double>& grey, int width, int height, int n) {
    Page page(width, height);
    if (n > 0) {
        const std::vector<int> m = ordered_pattern(n);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (grey[static_cast<std::size_t>(y * width + x)] >
                    (m[static_cast<std::size_t>((y % n) * n + x % n)] + 0.5) / (n * n))
                    page.set_dark(x, y);
        return page;
    }
    std::vector<double> g = grey;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double old = g[static_cast<std::size_t>(y * width + x)];
            const double now = old > 0.5 ? 1.0 : 0.0;
            if (now > 0) page.set_dark(x, y);
            const double error = old - now;
            auto spread = [&](int dx, int dy, double share) {
                if (x + dx >= 0 && x + dx < width && y + dy < height)
                    g[static_cast<std::size_t>((y + dy) * width + x + dx)] += error * share;
            };
            spread(1, 0, 7.0 / 16);
            spread(-1, 1, 3.0 / 16);
            spread(0, 1, 5.0 / 16);
            spread(1, 1, 1.0 / 16);
        }
    return page;
}

// Upright bars of 2 to 5 pixels (darkness 0.9, their edges half way) on paper whose grey rises
// from 0.05 to 0.3 across the page.
std::vector<double> grey_bars(int width, int height) {
    std::vector<double> grey(static_cast<std::size_t>(width * height));
    for (int x = 0; x < width; ++x) {
        const int k = x / 12;
        const int inBar = x % 12;
        const double paper = 0.05 + 0.25 * x / width;
        const double v = inBar < 2 + k % 4 ? 0.9 : (inBar == 2 + k % 4 ? 0.5 : paper);
        for (int y = 0; y < height; ++y) grey[static_cast<std::size_t>(y * width + x)] = v;
    }
    return grey;
}

TEST(OrderedPeriod, PatternsOfTwoFourAndEightAreFoundButErrorDiffusionAndThresholdsShowNone) {
    const int width = 192, height = 64;
    const std::vector<double> grey = grey_bars(width, height);
    auto period = [&](const Page& p) {
        return barcode::ordered_period(p.bits.data(), p.width, p.height, p.stride);
    };
    EXPECT_EQ(period(reduce(grey, width, height, 2)), 4);  // a 2 x 2 pattern repeats over 4 too
    EXPECT_EQ(period(reduce(grey, width, height, 4)), 4);
    // The 8 x 8 pattern repeats over 4 within 3 levels of 64: averaged over 4 it gives the grey.
    EXPECT_EQ(period(reduce(grey, width, height, 8)), 4);
    EXPECT_EQ(period(reduce(grey, width, height, 0)), 0);
    EXPECT_EQ(period(bar_page()), 0);
    EXPECT_EQ(period(Page(width, height)), 0);
    EXPECT_EQ(period(Page(9, 9)), 0);  // too small to compare nine pixels apart
}

TEST(DescreenOrdered, MatchesAPixelByPixelOracleAcrossAndAlongAtAnyPeriod) {
    std::mt19937 rng(17);
    Page page(53, 29);
    for (std::uint8_t& b : page.bits) b = static_cast<std::uint8_t>(rng());
    for (const int n : {2, 4, 8})
        for (const bool upright : {true, false}) {
            std::vector<std::uint8_t> out;
            barcode::descreen_ordered(page.bits.data(), page.width, page.height, page.stride, n, upright,
                                      out);
            ASSERT_EQ(out.size(), page.bits.size());
            auto white = [&](int x, int y) {
                x = std::clamp(x, 0, page.width - 1);
                y = std::clamp(y, 0, page.height - 1);
                return page.dark(x, y) ? 0 : 1;
            };
            for (int y = 0; y < page.height; ++y)
                for (int x = 0; x < page.width; ++x) {
                    int sum = 0;
                    for (int across = -1; across <= 1; ++across)
                        for (int along = -n / 2; along < n - n / 2; ++along)
                            sum += (across == 0 ? 2 : 1) *
                                   (upright ? white(x + across, y + along) : white(x + along, y + across));
                    const bool expectWhite = sum * 2 == 4 * n ? white(x, y) == 1 : sum * 2 > 4 * n;
                    const bool gotWhite =
                        (out[static_cast<std::size_t>(y * page.stride + x / 8)] >> (7 - x % 8)) & 1;
                    ASSERT_EQ(gotWhite, expectWhite) << n << " " << upright << " " << x << "," << y;
                }
            // Padding bits past the last pixel of each row stay as they were.
            for (int y = 0; y < page.height; ++y) {
                const std::size_t last = static_cast<std::size_t>(y * page.stride + page.width / 8);
                EXPECT_EQ(out[last] & 0x07, page.bits[last] & 0x07);
                for (int i = page.width / 8 + 1; i < page.stride; ++i)
                    EXPECT_EQ(out[static_cast<std::size_t>(y * page.stride + i)],
                              page.bits[static_cast<std::size_t>(y * page.stride + i)]);
            }
        }
}

TEST(DescreenBlocks, EachPixelIsTheMajorityOfItsBlockWithTheNeighboursLeftAndAbove) {
    std::mt19937 rng(23);
    Page page(45, 21);
    for (std::uint8_t& b : page.bits) b = static_cast<std::uint8_t>(rng());
    std::vector<std::uint8_t> out;
    barcode::descreen_blocks(page.bits.data(), page.width, page.height, page.stride, out);
    ASSERT_EQ(out.size(), page.bits.size());
    auto white = [&](int x, int y) { return page.dark(std::max(x, 0), std::max(y, 0)) ? 0 : 1; };
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x) {
            const int ones = white(x, y) + white(x - 1, y) + white(x, y - 1) + white(x - 1, y - 1);
            const bool expectWhite = ones == 2 ? white(x, y) == 1 : ones > 2;
            const bool gotWhite = (out[static_cast<std::size_t>(y * page.stride + x / 8)] >> (7 - x % 8)) & 1;
            ASSERT_EQ(gotWhite, expectWhite) << x << "," << y;
        }
    for (int y = 0; y < page.height; ++y)
        for (int i = page.width / 8 + 1; i < page.stride; ++i)
            EXPECT_EQ(out[static_cast<std::size_t>(y * page.stride + i)],
                      page.bits[static_cast<std::size_t>(y * page.stride + i)]);
}

TEST(DescreenOrdered, BringsBackBarsOfTwoPixelsAndClearsTheGreyPaperOfAnyPattern) {
    const int width = 192, height = 48;
    const std::vector<double> grey = grey_bars(width, height);
    for (const int n : {2, 4, 8}) {
        const Page page = reduce(grey, width, height, n);
        Page out(width, height);
        barcode::descreen_ordered(page.bits.data(), width, height, page.stride, n, true, out.bits);
        // Away from the page's top and bottom: bar pixels dark, paper a pixel or more from a bar's
        // edge light (the edge pixel of half grey may go either way).
        for (int y = n; y + n < height; ++y)
            for (int x = 1; x + 1 < width; ++x) {
                const double v = grey[static_cast<std::size_t>(y * width + x)];
                const bool nearEdge = grey[static_cast<std::size_t>(y * width + x - 1)] == 0.5 ||
                                      grey[static_cast<std::size_t>(y * width + x + 1)] == 0.5 || v == 0.5;
                if (v > 0.8) {
                    ASSERT_TRUE(out.dark(x, y)) << n << " " << x << "," << y;
                } else if (!nearEdge) {
                    ASSERT_FALSE(out.dark(x, y)) << n << " " << x << "," << y;
                }
            }
    }
}

}  // namespace
