// The edge scans of 1-bit rows (whole bytes and groups of eight columns at a
// time) against the same scans of the picture widened to 8 bits (0 and 255),
// which test every pixel on their own.
#include "imaging/paper_scan.h"

#include <gtest/gtest.h>

#include <string>

#include "imaging/bitmap.h"
#include "imaging/tests/test_images.h"

namespace skewtrim {
namespace {

using namespace skewtrim::testing;

// A 1-bit picture with `density` percent of white pixels, in clusters, so that
// some rows and columns hold no paper and others hold it anywhere.
Bitmap sparse_bits(int width, int height, int density, unsigned seed) {
    Bitmap bmp{};
    EXPECT_EQ(bitmap_new(&bmp, width, height, 1, true), kOk);
    unsigned state = seed * 2654435761u + 1u;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            state = state * 1103515245u + 12345u;
            const bool white = static_cast<int>((state >> 16) % 100u) < density && (x / 5 + y / 3) % 3 != 0;
            if (white) {
                bmp.rows[y][x >> 3] = static_cast<std::uint8_t>(bmp.rows[y][x >> 3] | (0x80u >> (x & 7)));
            }
        }
        // Set bits past the width: they are not pixels and must never count.
        if (width % 8 != 0) {
            bmp.rows[y][width >> 3] =
                static_cast<std::uint8_t>(bmp.rows[y][width >> 3] | (0xFFu >> (width & 7)));
        }
    }
    return bmp;
}

Bitmap widened(const Bitmap& bits) {
    Bitmap grey{};
    EXPECT_EQ(bitmap_new(&grey, bits.width, bits.height, 8, true), kOk);
    for (int y = 0; y < bits.height; ++y) {
        for (int x = 0; x < bits.width; ++x) {
            grey.rows[y][x] = bit_at(bits.rows[y], x) ? 255 : 0;
        }
    }
    return grey;
}

void expect_same_edge(const Edge& a, const Edge& b, const std::string& what) {
    ASSERT_EQ(a.points.size(), b.points.size()) << what;
    for (size_t i = 0; i < a.points.size(); ++i) {
        EXPECT_EQ(a.points[i], b.points[i]) << what << " point " << i;
    }
    ASSERT_EQ(a.runs.size(), b.runs.size()) << what;
    EXPECT_EQ(a.runPoints, b.runPoints) << what;
}

TEST(PaperScanBits, SideAndEndEdgesMatchThePixelByPixelScanOfTheSamePicture) {
    struct Case {
        int width, height, density;
    };
    // White paper above the level (rule 1), black paper (a band around a light
    // background, rule 255), and a test under which nothing is paper.
    const PaperTest tests[] = {PaperTest::make(128, SKEWTRIM_RULE_BRIGHTER),
                               PaperTest::make(250, SKEWTRIM_RULE_OUTSIDE),
                               PaperTest::make(255, SKEWTRIM_RULE_BRIGHTER)};
    for (const Case c : {Case{1, 5, 50}, Case{7, 9, 30}, Case{8, 8, 2}, Case{9, 12, 5}, Case{64, 40, 1},
                         Case{101, 37, 3}, Case{203, 61, 60}, Case{333, 20, 0}}) {
        for (unsigned seed = 1; seed <= 3; ++seed) {
            Bitmap bits = sparse_bits(c.width, c.height, c.density, seed);
            Bitmap grey = widened(bits);
            for (size_t t = 0; t < std::size(tests); ++t) {
                const std::string what = std::to_string(c.width) + "x" + std::to_string(c.height) +
                                         " density " + std::to_string(c.density) + " seed " +
                                         std::to_string(seed) + " test " + std::to_string(t);
                Edge left1, right1, left8, right8;
                scan_side_edges(bits, tests[t], 0, c.height - 1, left1, right1);
                scan_side_edges(grey, tests[t], 0, c.height - 1, left8, right8);
                expect_same_edge(left1, left8, what + " left");
                expect_same_edge(right1, right8, what + " right");
                // All columns, and a range that starts and ends inside a byte.
                for (const auto& [fromX, toX] : {std::pair{c.width - 1, 0}, std::pair{c.width - 2, 3}}) {
                    if (toX > fromX) {
                        continue;
                    }
                    Edge bottom1, top1, bottom8, top8;
                    scan_end_edges(bits, tests[t], 0, c.height - 1, fromX, toX, bottom1, top1);
                    scan_end_edges(grey, tests[t], 0, c.height - 1, fromX, toX, bottom8, top8);
                    expect_same_edge(bottom1, bottom8, what + " bottom " + std::to_string(toX));
                    expect_same_edge(top1, top8, what + " top " + std::to_string(toX));
                }
            }
            bitmap_done(&bits);
            bitmap_done(&grey);
        }
    }
}

}  // namespace
}  // namespace skewtrim
