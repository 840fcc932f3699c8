// The lookup keys that classify groups of runs.

#include "barcode/linear/keys.h"

#include <gtest/gtest.h>

#include "barcode/linear/symbologies/ean_digits.h"
#include "barcode/linear/symbology.h"

namespace stripescan {
namespace {

RunList widths(std::initializer_list<int> w, int scale = 1) {
    RunList runs;
    std::uint8_t color = kBlack;
    for (int v : w) {
        runs.runs.push_back(stripescan::Run{0, 0, v * scale, color});
        color = color == kBlack ? kWhite : kBlack;
    }
    return runs;
}

TEST(WidthSumKey, SumsOfNeighboursInModulesAtAnyScale) {
    for (int scale : {1, 2, 3, 7}) {
        const auto startA = width_sum_key(widths({2, 1, 1, 4, 1, 2}, scale), 0, 6, 11);
        ASSERT_TRUE(startA);
        EXPECT_EQ(startA->value, 32553u);
        EXPECT_EQ(startA->unit, scale);
        const auto stop = width_sum_key(widths({2, 3, 3, 1, 1, 1, 2}, scale), 0, 7, 13);
        ASSERT_TRUE(stop);
        EXPECT_EQ(stop->value, 564223u);
    }
}

TEST(WidthSumKey, ToleratesHalfAModuleOnEachPairSum) {
    // Start B 2 1 1 2 1 4 at 4 pixels per module, edges moved by up to 1.5 pixels.
    const auto key = width_sum_key(widths({9, 3, 5, 7, 5, 15}), 0, 6, 11);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->value, 32335u);
}

TEST(WidthSumKey, NoKeyForPairsOutsideTwoToSevenModules) {
    EXPECT_FALSE(width_sum_key(widths({1, 1, 1, 1, 1, 30}), 0, 6, 11));  // a huge last pair
    EXPECT_FALSE(width_sum_key(widths({2, 1, 1}), 1, 3, 3));             // runs missing
    EXPECT_FALSE(width_sum_key(widths({2, 1, 1}), 0, 3, 0));
}

TEST(WidthSumKey, ExactBoundsAreSettledByTheRoundedModule) {
    // W = 12 over M = 4: v = 10 * s * 4 = 120 for s = 3 equals... pick s with v = 25W exactly:
    // widths 3 2 3 4 (W 12, M 4): pair 3 + 2 = 5, v = 200, 25W = 300 no; use M = 6: v = 300.
    const auto key = width_sum_key(widths({3, 2, 3, 4}), 0, 4, 6);
    ASSERT_TRUE(key);
    // m = 2; t = 50 for the first pair: below 55m = 110 ... below 25m = 50? no, 50 < 50 is false,
    // below 35m = 70 gives 3.
    EXPECT_EQ(key->value / 100, 3u);
}

TEST(ElementWidthKey, RoundsEachWidthThenSumsNeighbours) {
    const auto key = element_width_key(widths({4, 2, 2, 8, 2, 4}), 0, 6, 2);
    ASSERT_TRUE(key);
    EXPECT_EQ(*key, 32553u);
    EXPECT_FALSE(element_width_key(widths({0, 2, 2, 8, 2, 4}), 0, 6, 2));   // below half a module
    EXPECT_FALSE(element_width_key(widths({16, 2, 2, 8, 2, 4}), 0, 6, 2));  // eight modules
}

TEST(EanDigitKey, ThirdDigitSeparatesOneFromSevenAndTwoFromEight) {
    // Set A: 1 = 2221 (key 341), 7 = 1312 (key 347), 2 = 2122 (432), 8 = 1213 (438).
    EXPECT_EQ(*ean_digit_key(widths({2, 2, 2, 1}, 3), 0, EanSet::A), 341u);
    EXPECT_EQ(*ean_digit_key(widths({1, 3, 1, 2}, 3), 0, EanSet::A), 347u);
    EXPECT_EQ(*ean_digit_key(widths({2, 1, 2, 2}, 3), 0, EanSet::A), 432u);
    EXPECT_EQ(*ean_digit_key(widths({1, 2, 1, 3}, 3), 0, EanSet::A), 438u);
    // Set C reads the same widths bar first: 0 = 3211 gives 530.
    EXPECT_EQ(*ean_digit_key(widths({3, 2, 1, 1}, 2), 0, EanSet::C), 530u);
    EXPECT_FALSE(ean_digit_key(widths({6, 1, 0, 0}), 0, EanSet::A));
}

TEST(EanDigitKey, InkGainIsTakenOffTheBarsAndNearTiesAreNotGuessed) {
    // Set A digit 7 (space 1, bar 3, space 1, bar 2 at 3 px) printed with starved ink: each bar
    // 2 px narrower, each space 2 px wider. Read as printed the bars look like a 1.
    const RunList starved = widths({3 + 2, 9 - 2, 3 + 2, 6 - 2});
    EXPECT_EQ(*ean_digit_key(starved, 0, EanSet::A), 341u);
    EXPECT_EQ(*ean_digit_key(starved, 0, EanSet::A, -4), 347u);  // bars known to print 4 px short
    // Bars of exactly four modules lie between 1 (three) and 7 (five): neither is guessed.
    EXPECT_FALSE(ean_digit_key(widths({9, 15, 9, 9}), 0, EanSet::A));
    // Digit 1 in set C (bar 2, space 2, bar 2, space 1 at 3 px) with ink spread by 2 px a bar.
    const RunList spread = widths({6 + 2, 6 - 2, 6 + 2, 3 - 2});
    EXPECT_EQ(*ean_digit_key(spread, 0, EanSet::C, 4), 441u);
    EXPECT_EQ(*ean_digit_key(widths({2, 2, 2, 1}, 3), 0, EanSet::A, 0), 341u);  // no gain, no change
}

TEST(EanDigitWidths, ADigitAModuleShortOrLongIsADamagedSymbolReadOutOfStep) {
    // Six digits of 7 modules at 2 px, then one of them a module longer or shorter.
    auto half = [](std::initializer_list<int> oddDigit) {
        std::vector<int> w;
        for (int d = 0; d < 6; ++d) {
            if (d == 3)
                w.insert(w.end(), oddDigit);
            else
                w.insert(w.end(), {3, 2, 1, 1});
        }
        RunList runs;
        std::uint8_t color = kBlack;
        for (int v : w) {
            runs.runs.push_back(stripescan::Run{0, 0, 2 * v, color});
            color = color == kBlack ? kWhite : kBlack;
        }
        return runs;
    };
    EXPECT_TRUE(ean_digit_widths_even(half({1, 1, 3, 2}), 0, 6));
    EXPECT_FALSE(ean_digit_widths_even(half({2, 2, 3, 1}), 0, 6));  // 8 modules
    EXPECT_FALSE(ean_digit_widths_even(half({1, 1, 3, 1}), 0, 6));  // 6 modules
    EXPECT_FALSE(ean_digit_widths_even(half({1, 1, 3, 2}), 0, 7));  // runs missing
}

TEST(NarrowWideKey, ClassifiesByTheWideAndNarrowAverages) {
    const auto q = narrow_wide_key(widths({3, 3, 3, 3, 3, 3, 7, 7, 7}), 0, 9, 3);
    ASSERT_TRUE(q);
    EXPECT_EQ(q->value, 111111222u);
    EXPECT_EQ(q->unit, 3);
    // An Interleaved 2 of 5 start: all narrow.
    EXPECT_EQ(narrow_wide_key(widths({4, 4, 5, 4}), 0, 4, 0)->value, 1111u);
    // All narrow but one twice as wide: no key.
    EXPECT_FALSE(narrow_wide_key(widths({4, 4, 9, 4}), 0, 4, 0));
}

TEST(NarrowWideKey, OutsideTheNominalRatiosTheElementsOwnSplitDecides) {
    EXPECT_TRUE(narrow_wide_key(widths({10, 10, 10, 10, 10, 10, 35, 35, 35}), 0, 9, 3));
    // Wide elements 3.6 to 5 narrow ones split clearly from the narrow ones: read by the gap.
    EXPECT_EQ(narrow_wide_key(widths({10, 10, 10, 36, 10, 10, 36, 10, 36}), 0, 9, 3)->value, 111211212u);
    EXPECT_EQ(narrow_wide_key(widths({3, 3, 3, 11, 3, 3, 11}), 0, 7, 2)->value, 1112112u);
    // Three wide where two are expected: the structure does not hold.
    EXPECT_FALSE(narrow_wide_key(widths({3, 3, 11, 10, 3, 11, 3}), 0, 7, 2));
    EXPECT_EQ(narrow_wide_key(widths({11, 3, 3}), 0, 3, 1)->value, 211u);  // a 2 of 5 stop
    // Beyond five narrow widths no printer means a wide element.
    EXPECT_FALSE(narrow_wide_key(widths({10, 10, 10, 10, 10, 10, 51, 51, 51}), 0, 9, 3));
    // Too close: below one and a half.
    EXPECT_FALSE(narrow_wide_key(widths({10, 10, 10, 10, 10, 10, 14, 14, 14}), 0, 9, 3));
    // Just above one and a half: taken as two.
    EXPECT_EQ(narrow_wide_key(widths({10, 10, 10, 10, 10, 10, 16, 16, 16}), 0, 9, 3)->value, 111111222u);
}

TEST(NarrowWideKey, ASplitThatIsNotClearOrNotAtTheExpectedCountGivesNoKey) {
    // The largest gap leaves two wide where three are expected.
    EXPECT_FALSE(narrow_wide_key(widths({10, 10, 10, 10, 10, 20, 50, 50, 10}), 0, 9, 3));
    EXPECT_FALSE(narrow_wide_key(widths({10, 10, 10, 10, 10, 10, 60, 30, 60}), 0, 9, 3));
    // Narrow widths so uneven that the wide ones stand more than five narrow ones apart.
    EXPECT_FALSE(narrow_wide_key(widths({4, 10, 4, 10, 4, 40, 40, 40, 4}), 0, 9, 3));
}

TEST(NearestPattern, EanDigitsOfOneAndAHalfPixelModulesAreReadByTheirEdgesOrNotAtAll) {
    // Digit 3 in set B (1 1 4 1 modules) rounded to whole pixels at 1.5 px: its sums fall on a
    // key bound, its edges still lie near the pattern's.
    const NearestDigit three = nearest_ean_digit(widths({1, 2, 6, 1}), 0, {EanSet::A, EanSet::B}, 1.5, 0);
    EXPECT_EQ(three.digit, 3);
    EXPECT_EQ(three.set, EanSet::B);
    // Two readings equally near (2 in set A and in set B: the parity is not known): none.
    EXPECT_EQ(nearest_ean_digit(widths({3, 2, 2, 3}), 0, {EanSet::A, EanSet::B}, 1.5, 0).digit, -1);
    // A runner-up closer than the margin (2 in set A, 1 in set B): none.
    EXPECT_EQ(nearest_ean_digit(widths({2, 2, 3, 3}), 0, {EanSet::A, EanSet::B}, 1.5, 0).digit, -1);
}

TEST(NearestPattern, GuardsAPixelApartAtSmallModulesAreRoundingNotInk) {
    // Eighths of a pixel: a pixel of gain at 1.5 px modules is dropped, at 3 px it is ink.
    EXPECT_EQ(trusted_ink_gain(8, 12.0, 8), 0);
    EXPECT_EQ(trusted_ink_gain(-8, 12.0, 8), 0);
    EXPECT_EQ(trusted_ink_gain(8, 24.0, 8), 8);
    EXPECT_EQ(trusted_ink_gain(16, 12.0, 8), 16);
}

TEST(NearestPattern, BarsWidenedAlikeDoNotMoveTheNearestCharacter) {
    const char* const patterns[] = {"131112", "111213", "111312", "121113"};
    // "131112" at 3 px modules with every bar two pixels wider.
    EXPECT_EQ(nearest_value(widths({5, 7, 5, 1, 5, 4}), 0, 6, 3.0, patterns, 4), 0);
    // "111213" as printed, and the same a third of a module off on one edge.
    EXPECT_EQ(nearest_value(widths({3, 3, 3, 6, 3, 9}), 0, 6, 3.0, patterns, 4), 1);
    EXPECT_EQ(nearest_value(widths({3, 4, 2, 6, 3, 9}), 0, 6, 3.0, patterns, 4), 1);
    // Half way between two patterns: none.
    EXPECT_EQ(nearest_value(widths({3, 3, 3, 8, 3, 7}), 0, 6, 3.0, patterns, 4), -1);
}

}  // namespace
}  // namespace stripescan
