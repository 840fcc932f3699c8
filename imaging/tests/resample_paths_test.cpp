// The vector and the plain pixel loops of the resampler against the plain
// oracle, byte for byte, over angles, sizes, depths, masks and row layouts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/outline.h"
#include "imaging/resample.h"
#include "imaging/tests/reference_resampler.h"
#include "imaging/tests/test_images.h"

namespace skewtrim {
namespace {

using namespace skewtrim::testing;

// The paths this machine can run: always the plain loops, and the vector
// loops when the processor has them.
std::vector<ResamplePath> paths() {
    force_plain_resample_for_testing(false);
    std::vector<ResamplePath> all{ResamplePath::Plain};
    if (resample_path() == ResamplePath::Vector) {
        all.push_back(ResamplePath::Vector);
    }
    return all;
}

const char* name(ResamplePath p) {
    return p == ResamplePath::Vector ? "vector" : "plain";
}

// Runs the resampler on `path` (restoring the automatic choice afterwards).
int resample_on(ResamplePath path, const Bitmap& src, const StraightenPlan& plan, int mode, Bitmap* out) {
    force_plain_resample_for_testing(path == ResamplePath::Plain);
    const int code = resample(&src, plan, mode, kFillColour.data(), out);
    force_plain_resample_for_testing(false);
    return code;
}

// A source with long runs of the extreme values 0 and 255 (where the bilinear
// table has its special entries and bicubic overshoots) between noise.
Bitmap hard_pattern(int width, int height, int bitCount, bool padded, unsigned seed) {
    Bitmap bmp = pattern_bitmap(width, height, bitCount, padded, seed);
    const int bytesPerRow = static_cast<int>(unpadded_row_bytes(width, bitCount));
    for (int y = 0; y < height; ++y) {
        for (int b = 0; b < bytesPerRow; ++b) {
            const int band = ((b / 3) + (y / 4) + static_cast<int>(seed)) % 4;
            if (band == 0) {
                bmp.rows[y][b] = 255;
            } else if (band == 1) {
                bmp.rows[y][b] = 0;
            }
        }
    }
    return bmp;
}

// A mask that cuts each row somewhere different, leaving some rows empty of
// paper, and skips the outermost rows.
void ragged_mask(StraightenPlan& plan, const Bitmap& src, unsigned seed) {
    unsigned state = seed * 7919u + 17u;
    auto next = [&](int n) {
        state = state * 1103515245u + 12345u;
        return static_cast<int>((state >> 16) % static_cast<unsigned>(n));
    };
    plan.mask.first = src.height > 3 ? 1 : 0;
    plan.mask.last = src.height > 3 ? src.height - 2 : src.height - 1;
    for (int y = 0; y < src.height; ++y) {
        const int a = next(src.width);
        const int b = next(src.width);
        plan.mask.left[static_cast<std::size_t>(y)] = std::min(a, b);
        plan.mask.right[static_cast<std::size_t>(y)] = next(5) == 0 ? std::min(a, b) - 1 : std::max(a, b);
    }
}

// Compares every path with the oracle for all three modes.
void expect_paths_match(const Bitmap& src, const StraightenPlan& plan, const std::string& what) {
    for (int mode : {1, 2, 3}) {
        Bitmap slow = reference_resample(src, plan, mode);
        for (ResamplePath path : paths()) {
            BitmapGuard fast;
            ASSERT_EQ(resample_on(path, src, plan, mode, fast.get()), kOk) << what;
            EXPECT_TRUE(same_pixels(*fast, slow)) << what << " mode " << mode << " " << name(path);
        }
        bitmap_done(&slow);
    }
}

const double kAngles[] = {0.0,   0.05, -0.05, 0.9,   -1.0, 3.0,   -3.0,  7.5,   -12.25, 29.0,
                          -33.3, 44.9, 45.0,  -45.0, 90.0, 135.0, 180.0, 271.0, 315.0,  359.95};

class ResamplePaths : public ::testing::TestWithParam<int> {};

TEST_P(ResamplePaths, EveryAngleAndModeMatchesTheOracleOnBothPaths) {
    const int bitCount = GetParam();
    Bitmap src = hard_pattern(53, 41, bitCount, false, 5);
    for (double degrees : kAngles) {
        // Output larger than the source in one direction and smaller in the
        // other, so that points leave the source on every side.
        const StraightenPlan plan = whole_image_plan(src, degrees, 26, 20, 61, 35);
        expect_paths_match(src, plan, "angle " + std::to_string(degrees));
    }
    bitmap_done(&src);
}

TEST_P(ResamplePaths, TinyAndOddSizesMatchTheOracle) {
    const int bitCount = GetParam();
    struct Size {
        int srcW, srcH, outW, outH;
    };
    for (const Size s :
         {Size{1, 2, 1, 1}, Size{2, 2, 3, 2}, Size{3, 5, 1, 7}, Size{5, 3, 9, 9}, Size{7, 7, 8, 8},
          Size{9, 4, 17, 5}, Size{17, 13, 15, 21}, Size{31, 9, 33, 11}, Size{65, 6, 66, 7}}) {
        for (bool padded : {false, true}) {
            Bitmap src = hard_pattern(s.srcW, s.srcH, bitCount, padded, static_cast<unsigned>(s.srcW));
            for (double degrees : {0.0, 2.5, -4.0, 40.0, -44.0}) {
                const StraightenPlan plan =
                    whole_image_plan(src, degrees, s.srcW / 2, s.srcH / 2, s.outW, s.outH);
                expect_paths_match(src, plan,
                                   std::to_string(s.srcW) + "x" + std::to_string(s.srcH) + " padded " +
                                       std::to_string(padded) + " angle " + std::to_string(degrees));
            }
            bitmap_done(&src);
        }
    }
}

TEST_P(ResamplePaths, RaggedMasksCutEachRowAsTheOracleDoes) {
    const int bitCount = GetParam();
    Bitmap src = hard_pattern(90, 70, bitCount, true, 9);
    for (unsigned seed = 1; seed <= 4; ++seed) {
        for (double degrees : {1.5, -6.0, 20.0, 330.0}) {
            StraightenPlan plan = whole_image_plan(src, degrees, 44, 35, 81, 77);
            ragged_mask(plan, src, seed);
            expect_paths_match(src, plan,
                               "seed " + std::to_string(seed) + " angle " + std::to_string(degrees));
        }
    }
    bitmap_done(&src);
}

// Paper well inside the source (the usual measured case) at steep angles,
// where the lanes of a block spread over many rows.
TEST_P(ResamplePaths, PaperInsideTheSourceAtSteepAngles) {
    const int bitCount = GetParam();
    Bitmap src = hard_pattern(77, 64, bitCount, false, 11);
    for (double degrees : {38.0, -41.0, 90.0, 300.0}) {
        StraightenPlan plan = whole_image_plan(src, degrees, 38, 32, 57, 49);
        plan.mask.first = 3;
        plan.mask.last = src.height - 4;
        for (int y = 0; y < src.height; ++y) {
            plan.mask.left[static_cast<std::size_t>(y)] = 2 + y % 5;
            plan.mask.right[static_cast<std::size_t>(y)] = src.width - 4 - y % 3;
        }
        expect_paths_match(src, plan, "angle " + std::to_string(degrees));
    }
    bitmap_done(&src);
}

// A record whose row table is not one evenly spaced block (rows listed top
// first) is still resampled through its row table.
TEST_P(ResamplePaths, RowsOutOfMemoryOrderAreReadThroughTheRowTable) {
    const int bitCount = GetParam();
    Bitmap src = hard_pattern(40, 30, bitCount, false, 3);
    std::reverse(src.rows, src.rows + src.height);
    const StraightenPlan plan = whole_image_plan(src, -7.0, 20, 15, 37, 33);
    expect_paths_match(src, plan, "reversed rows");
    std::reverse(src.rows, src.rows + src.height);
    bitmap_done(&src);
}

// Bands of rows drawn by several threads: the same bytes as one thread, also
// with more threads than rows and with rows narrower than a block.
TEST_P(ResamplePaths, RowsSplitAcrossThreadsGiveTheSameBytes) {
    const int bitCount = GetParam();
    Bitmap src = hard_pattern(61, 47, bitCount, true, 13);
    struct Out {
        int width, height;
    };
    for (int threads : {2, 3, 7}) {
        set_resample_threads_for_testing(threads);
        for (const Out o : {Out{59, 45}, Out{1, 9}, Out{5, 2}, Out{9, 1}}) {
            for (double degrees : {-3.0, 17.0}) {
                const StraightenPlan plan = whole_image_plan(src, degrees, 30, 23, o.width, o.height);
                expect_paths_match(src, plan,
                                   std::to_string(threads) + " threads, " + std::to_string(o.width) + "x" +
                                       std::to_string(o.height) + " angle " + std::to_string(degrees));
            }
        }
    }
    set_resample_threads_for_testing(0);
    bitmap_done(&src);
}

// The output is not zeroed before drawing: the bits past the width in the
// last byte of a 1-bit row must still come out white, as the fill leaves them.
TEST(ResamplePathsBits, BitsPastTheWidthAreWhite) {
    Bitmap src = hard_pattern(40, 30, 1, false, 7);
    const StraightenPlan plan = whole_image_plan(src, 4.0, 20, 15, 13, 25);
    for (int round = 0; round < 3; ++round) {  // fresh allocations, maybe on reused memory
        for (ResamplePath path : paths()) {
            BitmapGuard out;
            ASSERT_EQ(resample_on(path, src, plan, 3, out.get()), kOk);
            for (int y = 0; y < out->height; ++y) {
                EXPECT_EQ(out->rows[y][1] & 0x07, 0x07) << name(path) << " row " << y;
            }
        }
    }
    bitmap_done(&src);
}

INSTANTIATE_TEST_SUITE_P(Depths, ResamplePaths, ::testing::Values(1, 8, 24),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::to_string(info.param) + "bit";
                         });

TEST(ResamplePath, ForcingThePlainLoopsIsReportedAndUndone) {
    force_plain_resample_for_testing(true);
    EXPECT_EQ(resample_path(), ResamplePath::Plain);
    force_plain_resample_for_testing(false);
#if defined(__x86_64__) || defined(__i386__)
    EXPECT_EQ(resample_path(), __builtin_cpu_supports("avx2") ? ResamplePath::Vector : ResamplePath::Plain);
#endif
}

// Restores SKEWTRIM_THREADS as it was when the test ends.
class ThreadsVariable {
public:
    ThreadsVariable() {
        if (const char* v = std::getenv("SKEWTRIM_THREADS"); v != nullptr) {
            saved_ = v;
            had_ = true;
        }
    }
    ~ThreadsVariable() {
        had_ ? setenv("SKEWTRIM_THREADS", saved_.c_str(), 1) : unsetenv("SKEWTRIM_THREADS");
    }
    void set(const char* value) { setenv("SKEWTRIM_THREADS", value, 1); }

private:
    std::string saved_;
    bool had_ = false;
};

TEST(ResampleThreads, TheVariableLimitsThreadsAndSmallOutputsStayOnOneThread) {
    ThreadsVariable variable;
    const std::int64_t big = 40'000'000;  // enough output pixels for every thread
    variable.set("3");
    EXPECT_EQ(resample_threads(big, 5000), 3);
    EXPECT_EQ(resample_threads(big, 2), 2);             // at most one thread per row
    EXPECT_EQ(resample_threads(1000, 1000), 1);         // too small to share
    EXPECT_EQ(resample_threads(2 * 400'000, 1000), 2);  // one thread per 400 000 pixels
    variable.set("1");
    EXPECT_EQ(resample_threads(big, 5000), 1);
    variable.set("1000");
    EXPECT_EQ(resample_threads(big, 5000), 16);  // the most a call ever uses
    // Anything but a whole number from 1 up falls back to the hardware threads, at most 4.
    const unsigned hardware = std::thread::hardware_concurrency();
    const int fallback = hardware == 0 ? 1 : std::min<int>(static_cast<int>(hardware), 4);
    for (const char* bad : {"0", "-2", "two", "3x", ""}) {
        variable.set(bad);
        EXPECT_EQ(resample_threads(big, 5000), fallback) << '"' << bad << '"';
    }
}

TEST(ResampleThreads, TheTestingCountOverridesTheRuleUntilReset) {
    ThreadsVariable variable;
    variable.set("1");
    set_resample_threads_for_testing(5);
    EXPECT_EQ(resample_threads(10, 100), 5);
    EXPECT_EQ(resample_threads(10, 3), 3);
    set_resample_threads_for_testing(0);
    EXPECT_EQ(resample_threads(40'000'000, 100), 1);
}

}  // namespace
}  // namespace skewtrim
