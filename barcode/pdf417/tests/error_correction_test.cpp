#include "barcode/pdf417/error_correction.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "barcode/pdf417/decoder.h"
#include "barcode/pdf417/tests/rs_encode.h"

using pdf417::correct_errors;
using stackread_test::with_check_codewords;

namespace {

std::vector<int> random_symbol(std::mt19937& rng, int dataCount, int checkCount) {
    std::uniform_int_distribution<int> value(0, 899);
    std::vector<int> data(dataCount);
    data[0] = dataCount;
    for (int i = 1; i < dataCount; ++i) data[i] = value(rng);
    return with_check_codewords(data, checkCount);
}

std::vector<int> distinct_positions(std::mt19937& rng, int n, int count) {
    std::set<int> picked;
    std::uniform_int_distribution<int> pos(0, n - 1);
    while (static_cast<int>(picked.size()) < count) picked.insert(pos(rng));
    return {picked.begin(), picked.end()};
}

bool run(std::vector<int>& cw, int checkCount, const std::vector<int>& erasures) {
    return correct_errors(cw.data(), static_cast<int>(cw.size()), checkCount, erasures.data(),
                          static_cast<int>(erasures.size()));
}

}  // namespace

TEST(ErrorCorrection, CleanSequencePassesUnchanged) {
    std::mt19937 rng(1);
    for (int level = 0; level <= 8; ++level) {
        int checkCount = 2 << level;
        auto cw = random_symbol(rng, 928 - checkCount - 30 * level, checkCount);
        auto original = cw;
        EXPECT_TRUE(run(cw, checkCount, {})) << "level " << level;
        EXPECT_EQ(cw, original);
    }
}

TEST(ErrorCorrection, ThreeErasuresAndOneErrorWithEightCheckCodewords) {
    std::mt19937 rng(2);
    auto cw = random_symbol(rng, 20, 8);
    auto original = cw;
    cw[3] = 17;
    cw[9] = 0;
    cw[20] = 500;
    cw[14] = (cw[14] + 77) % 929;  // the error
    EXPECT_TRUE(run(cw, 8, {3, 9, 20}));
    EXPECT_EQ(cw, original);
}

TEST(ErrorCorrection, TwoErasuresAndTwoErrorsWithEightCheckCodewordsAreRefused) {
    std::mt19937 rng(3);
    auto cw = random_symbol(rng, 20, 8);
    cw[1] = 5;
    cw[2] = 6;
    cw[10] = (cw[10] + 1) % 929;
    cw[11] = (cw[11] + 1) % 929;
    EXPECT_FALSE(run(cw, 8, {1, 2}));
}

TEST(ErrorCorrection, LevelZeroOnlyDetects) {
    std::mt19937 rng(4);
    auto cw = random_symbol(rng, 10, 2);
    cw[4] = (cw[4] + 1) % 929;
    EXPECT_FALSE(run(cw, 2, {}));
    auto clean = random_symbol(rng, 10, 2);
    EXPECT_FALSE(run(clean, 2, {5}));  // no erasure can be filled at level 0
}

TEST(ErrorCorrection, RandomDamageWithinCapacityIsRepairedExactly) {
    std::mt19937 rng(5);
    for (int trial = 0; trial < 60; ++trial) {
        int level = 1 + trial % 6;
        int checkCount = 2 << level;
        int n = std::min(928, checkCount + 10 + trial * 7);
        auto cw = random_symbol(rng, n - checkCount, checkCount);
        auto original = cw;
        int budget = checkCount - 3;
        int errors = std::uniform_int_distribution<int>(0, budget / 2)(rng);
        int erasureCount = std::uniform_int_distribution<int>(0, budget - 2 * errors)(rng);
        if (errors < 4 && erasureCount + 2 * errors > checkCount - 3) erasureCount = 0;
        auto positions = distinct_positions(rng, n, errors + erasureCount);
        std::vector<int> erasures(positions.begin(), positions.begin() + erasureCount);
        for (int p : erasures) cw[p] = 0;
        for (int i = erasureCount; i < errors + erasureCount; ++i)
            cw[positions[i]] = (cw[positions[i]] + 1 + trial) % 929;
        ASSERT_TRUE(run(cw, checkCount, erasures))
            << "trial " << trial << " errors " << errors << " erasures " << erasureCount;
        EXPECT_EQ(cw, original) << "trial " << trial;
    }
}

TEST(ErrorCorrection, DamageBeyondCapacityNeverYieldsAnInvalidSequence) {
    // Either refused, or (rarely, a different code word) a sequence with zero syndromes.
    std::mt19937 rng(6);
    int refused = 0;
    for (int trial = 0; trial < 40; ++trial) {
        int checkCount = 16;
        auto cw = random_symbol(rng, 40, checkCount);
        auto original = cw;
        for (int p : distinct_positions(rng, 56, 9 + trial % 10)) cw[p] = (cw[p] + 5) % 929;
        if (!run(cw, checkCount, {})) {
            ++refused;
            continue;
        }
        std::vector<int> again = cw;
        EXPECT_TRUE(run(again, checkCount, {}));
        EXPECT_EQ(again, cw);
    }
    EXPECT_GT(refused, 30);
}

TEST(ErrorCorrection, TooManyErasuresAreRefusedEvenWhenAllValuesVanish) {
    std::vector<int> zeros(30, 0);
    std::vector<int> erasures;
    for (int i = 0; i < 20; ++i) erasures.push_back(i);
    EXPECT_FALSE(run(zeros, 16, erasures));
}

TEST(ErrorCorrection, RejectsImpossibleArguments) {
    std::vector<int> cw(10, 0);
    EXPECT_FALSE(correct_errors(cw.data(), 10, 1, nullptr, 0));
    EXPECT_FALSE(correct_errors(cw.data(), 10, 10, nullptr, 0));
    EXPECT_FALSE(correct_errors(cw.data(), 0, 2, nullptr, 0));
    EXPECT_FALSE(correct_errors(cw.data(), 929, 2, nullptr, 0));
    // Out-of-range and repeated erasure positions are ignored rather than trusted.
    std::vector<int> zeros(12, 0);
    std::vector<int> odd{-1, 40, 12, 3, 3};
    EXPECT_TRUE(correct_errors(zeros.data(), 12, 8, odd.data(), 5));
}

TEST(CodewordSequence, CorrectsThenDecodesAndRefusesWhatIsNoSymbol) {
    // "AB" in text compaction, level 1, one codeword erased and repaired.
    auto cw = with_check_codewords({2, 1}, 4);
    std::vector<int> erased{1};
    cw[1] = 0;
    uint8_t out[8] = {};
    int length = -1;
    EXPECT_EQ(pdf417::decode_codewords(cw.data(), static_cast<int>(cw.size()), 1, erased.data(), 1, out, 8,
                                       &length),
              pdf417::kDecoded);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(std::string(out, out + 2), "AB");

    length = -1;
    EXPECT_EQ(pdf417::decode_codewords(cw.data(), 6, 9, nullptr, 0, out, 8, &length), pdf417::kUnusable);
    EXPECT_EQ(pdf417::decode_codewords(cw.data(), 4, 1, nullptr, 0, out, 8, &length), pdf417::kUnusable)
        << "no data codewords besides the check codewords";
    cw[0] = 3;  // damage beyond level 1
    cw[1] = 7;
    EXPECT_EQ(pdf417::decode_codewords(cw.data(), 6, 1, nullptr, 0, out, 8, &length), pdf417::kUncorrectable);
    EXPECT_EQ(length, -1) << "the length is left alone on failure";

    // Output that would not fit is refused rather than cut short.
    auto digits = with_check_codewords({4, 902, 124, 745}, 4);  // "12345"
    EXPECT_EQ(pdf417::decode_codewords(digits.data(), 8, 1, nullptr, 0, out, 4, &length), pdf417::kUnusable);
    EXPECT_EQ(pdf417::decode_codewords(digits.data(), 8, 1, nullptr, 0, out, 5, &length), pdf417::kDecoded);
    EXPECT_EQ(std::string(out, out + length), "12345");
}

TEST(CodewordSequence, AReadingWithCellsAppendedIsRefusedByItsLengthDescriptor) {
    // "ABCD" padded to 6 data codewords, level 1. Unread cells appended at the end (a row too
    // many) still correct, as zeros: the descriptor then no longer ends the data before pads.
    auto cw = with_check_codewords({3, 1, 63, 900, 900, 900}, 4);
    uint8_t out[16] = {};
    int length = -1;
    ASSERT_EQ(pdf417::decode_codewords(cw.data(), 10, 1, nullptr, 0, out, 16, &length), pdf417::kDecoded);
    EXPECT_EQ(std::string(out, out + length), "ABCD");
    auto longer = cw;
    longer.resize(13, 0);
    std::vector<int> erased{10, 11, 12};
    length = -1;
    EXPECT_EQ(pdf417::decode_codewords(longer.data(), 13, 1, erased.data(), 3, out, 16, &length),
              pdf417::kUncorrectable);
    EXPECT_EQ(length, -1);
    // A descriptor pointing past the data region, or at nothing, is no symbol either.
    for (int descriptor : {0, 7}) {
        auto bad = with_check_codewords({descriptor, 1, 63, 900, 900, 900}, 4);
        EXPECT_EQ(pdf417::decode_codewords(bad.data(), 10, 1, nullptr, 0, out, 16, &length),
                  pdf417::kUncorrectable)
            << descriptor;
    }
}
