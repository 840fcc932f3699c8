// The symbology tables: keys derived from the published bar/space patterns.

#include "barcode/linear/symbology.h"

#include <gtest/gtest.h>

#include "barcode/linear/line_decode.h"
#include "barcode/linear/symbologies/ean_digits.h"

namespace stripescan {

bool code128_table_is_unique();
bool code93_table_is_unique();
bool code39_table_is_unique();
bool codabar_table_is_unique();

namespace {

TEST(Tables, EveryCharacterHasItsOwnKey) {
    EXPECT_TRUE(code128_table_is_unique());
    EXPECT_TRUE(code93_table_is_unique());
    EXPECT_TRUE(code39_table_is_unique());
    EXPECT_TRUE(codabar_table_is_unique());
}

TEST(Tables, StartAndStopKeys) {
    const Symbology& c128 = *find_symbology(1);
    ASSERT_EQ(c128.starts.size(), 3u);
    EXPECT_EQ(c128.starts[0].forward, 32553u);
    EXPECT_EQ(c128.starts[0].reversed, 35523u);
    EXPECT_EQ(c128.starts[1].forward, 32335u);
    EXPECT_EQ(c128.starts[1].reversed, 53323u);
    EXPECT_EQ(c128.starts[2].forward, 32355u);
    EXPECT_EQ(c128.starts[2].reversed, 55323u);
    EXPECT_EQ(c128.stops[0].forward, 564223u);
    EXPECT_EQ(c128.stops[0].reversed, 322465u);
    const Symbology& c93 = *find_symbology(2);
    EXPECT_EQ(c93.starts[0].forward, 22255u);
    EXPECT_EQ(c93.starts[0].reversed, 55222u);
    EXPECT_EQ(c93.stops[0].forward, 222552u);
    EXPECT_EQ(c93.stops[0].reversed, 255222u);
    EXPECT_EQ(find_symbology(6)->starts[0].forward, 121121211u);
    EXPECT_EQ(find_symbology(6)->starts[0].reversed, 112121121u);
    const Symbology& codabar = *find_symbology(7);
    const std::uint64_t forward[4] = {1122121, 1212112, 1112122, 1112221};
    const std::uint64_t reversed[4] = {1212211, 2112121, 2212111, 1222111};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(codabar.starts[i].forward, forward[i]);
        EXPECT_EQ(codabar.starts[i].reversed, reversed[i]);
    }
    EXPECT_EQ(find_symbology(8)->stops[0].forward, 211u);
    EXPECT_EQ(find_symbology(8)->stops[0].reversed, 112u);
    EXPECT_EQ(find_symbology(0), nullptr);
    EXPECT_EQ(find_symbology(9), nullptr);
}

TEST(Tables, EanDigitKeysMatchThePublishedSets) {
    const char* setA[10] = {"3211", "2221", "2122", "1411", "1132", "1231", "1114", "1312", "1213", "3112"};
    const std::uint64_t keysA[10] = {230, 341, 432, 250, 540, 450, 520, 347, 438, 320};
    const std::uint64_t keysBc[10] = {530, 441, 332, 550, 240, 350, 220, 447, 338, 420};
    for (int d = 0; d < 10; ++d) {
        EXPECT_EQ(ean_pattern_key(setA[d], EanSet::A), keysA[d]) << d;
        EXPECT_EQ(ean_pattern_key(setA[d], EanSet::C), keysBc[d]) << d;
        const std::string b(setA[d]);
        EXPECT_EQ(ean_pattern_key(std::string(b.rbegin(), b.rend()).c_str(), EanSet::B), keysBc[d]) << d;
    }
}

TEST(Tables, EanCheckDigit) {
    EXPECT_TRUE(ean_check_ok("4006381333931"));
    EXPECT_FALSE(ean_check_ok("4006381333932"));
    EXPECT_TRUE(ean_check_ok("96385074"));
    // UPC-E 0 1 2 3 4 5 with last digit 3... expands to 0 1 2 3 0 0 0 0 0 4 5 c.
    EXPECT_TRUE(ean_check_ok("012300000451"));
    EXPECT_FALSE(ean_check_ok("012300000457"));
}

RunList runs_of(const std::string& widths, int scale, bool quiet = true) {
    RunList runs;
    std::uint8_t color = kWhite;
    if (quiet) runs.runs.push_back(stripescan::Run{0, 0, 20 * scale, kWhite});
    color = kBlack;
    for (char c : widths) {
        runs.runs.push_back(stripescan::Run{0, 0, (c - '0') * scale, color});
        color = color == kBlack ? kWhite : kBlack;
    }
    if (quiet) runs.runs.push_back(stripescan::Run{0, 0, 20 * scale, color});
    return runs;
}

ReadOptions options_for(int symbology) {
    ReadOptions o;
    o.setting.symbology = symbology;
    o.requestedItself[static_cast<std::size_t>(symbology)] = true;
    return o;
}

std::string reversed(const std::string& s) {
    return std::string(s.rbegin(), s.rend());
}

TEST(LineDecode, Code128SetCReadsTheSameBothWays) {
    // Start C, 12, 34, check (105 + 12 + 2 x 34) mod 103 = 82, stop.
    const std::string symbol = std::string("211232") + "112232" + "131123" + "121241" + "2331112";
    for (const std::string& widths : {symbol, reversed(symbol)}) {
        for (int scale : {2, 3, 5}) {
            double quiet = 0;
            Decoded out;
            LineSymbol where;
            ASSERT_TRUE(
                decode_line(*find_symbology(1), options_for(1), runs_of(widths, scale), quiet, out, where));
            EXPECT_EQ(out.text, "1234");
            EXPECT_EQ(out.symbology, 1);
            EXPECT_EQ(where.first, 1);
            EXPECT_EQ(where.last, 31);
            EXPECT_EQ(where.backwards, widths != symbol);
            EXPECT_DOUBLE_EQ(quiet, 10.0 * scale);
        }
    }
}

TEST(LineDecode, Code128WrongCheckValueIsRejected) {
    const std::string symbol = std::string("211232") + "112232" + "131123" + "121142" + "2331112";  // 81
    double quiet = 0;
    Decoded out;
    LineSymbol where;
    EXPECT_FALSE(decode_line(*find_symbology(1), options_for(1), runs_of(symbol, 3), quiet, out, where));
}

TEST(LineDecode, Code128NeedsItsQuietZones) {
    const std::string symbol = std::string("211232") + "112232" + "131123" + "121241" + "2331112";
    RunList runs = runs_of(symbol, 3);
    // Bars right before the start: the run before it is far shorter than ten modules.
    RunList crowded;
    for (const char* w : {"3", "3", "3", "3", "3"})
        crowded.runs.push_back(stripescan::Run{0, 0, (w[0] - '0'), kBlack});
    for (std::size_t i = 0; i < crowded.runs.size(); ++i) crowded.runs[i].color = i % 2 ? kWhite : kBlack;
    crowded.runs.push_back(stripescan::Run{0, 0, 6, kWhite});
    for (std::size_t i = 1; i < runs.runs.size(); ++i) crowded.runs.push_back(runs.runs[i]);
    double quiet = 0;
    Decoded out;
    LineSymbol where;
    EXPECT_FALSE(decode_line(*find_symbology(1), options_for(1), crowded, quiet, out, where));
}

TEST(LineDecode, UpcEParityGivesTheCheckDigit) {
    // 1 2 3 4 5 3 with check digit 1: parity 221211 (set A = 1 odd, set B = 2 even).
    const char* setA[10] = {"3211", "2221", "2122", "1411", "1132", "1231", "1114", "1312", "1213", "3112"};
    const std::string digits = "123453";
    const std::string parity = "221211";
    std::string widths = "111";
    for (int i = 0; i < 6; ++i) {
        const std::string a = setA[digits[i] - '0'];
        widths += parity[i] == '1' ? a : reversed(a);
    }
    widths += "111111";
    // 33 elements, bar first and last: upside down the end guard comes first.
    for (const std::string& w : {widths, reversed(widths)}) {
        const RunList runs = runs_of(w, 3);
        double quiet = 0;
        Decoded out;
        LineSymbol where;
        ASSERT_TRUE(decode_line(*find_symbology(5), options_for(5), runs, quiet, out, where));
        EXPECT_EQ(out.text, "01234531");
    }
}

TEST(LineDecode, InterleavedTwoOfFiveGivesEvenDigitCounts) {
    const char* digits[10] = {"11221", "21112", "12112", "22111", "11212",
                              "21211", "12211", "11122", "21121", "12121"};
    // Pair 4 7: bars from 4, spaces from 7.
    std::string widths = "1111";
    for (int i = 0; i < 5; ++i) {
        widths.push_back(digits[4][i]);
        widths.push_back(digits[7][i]);
    }
    widths += "211";
    std::string wide;
    for (char c : widths) wide.push_back(c == '2' ? '3' : c);  // wide = three narrow
    double quiet = 0;
    Decoded out;
    LineSymbol where;
    ASSERT_TRUE(decode_line(*find_symbology(8), options_for(8), runs_of(wide, 2), quiet, out, where));
    EXPECT_EQ(out.text, "47");
    ASSERT_TRUE(
        decode_line(*find_symbology(8), options_for(8), runs_of(reversed(wide), 2), quiet, out, where));
    EXPECT_EQ(out.text, "47");
}

}  // namespace
}  // namespace stripescan

namespace stripescan {
namespace {

// A Codabar line: the characters' patterns (1 narrow, 2 wide) joined by narrow gaps, in pixels
// of 4 per narrow and 10 per wide element, then one element set to `doubtful` pixels.
RunList codabar_line(const std::vector<std::string>& characters, int doubtfulAt, int doubtful) {
    std::string widths;
    for (const std::string& c : characters) widths += (widths.empty() ? "" : "1") + c;
    RunList runs = runs_of(widths, 1);
    for (std::size_t k = 1; k + 1 < runs.runs.size(); ++k)
        runs.runs[k].length = runs.runs[k].length == 2 ? 10 : 4;
    if (doubtfulAt > 0) runs.runs[static_cast<std::size_t>(doubtfulAt)].length = doubtful;
    return runs;
}

TEST(LineDecode, CodabarRefusesAnElementHalfwayBetweenNarrowAndWide) {
    // A, "+", "1", B. The "+" has three wide elements where digits have two: an element thinned
    // halfway (7 px between 4 and 10) leaves no telling which, so nothing is read; a pixel off
    // its class is still read.
    const std::vector<std::string> symbol = {"1122121", "1121212", "1111221", "1212112"};
    double quiet = 0;
    Decoded out;
    LineSymbol where;
    ASSERT_TRUE(
        decode_line(*find_symbology(7), options_for(7), codabar_line(symbol, 0, 0), quiet, out, where));
    EXPECT_EQ(out.text, "A+1B");
    const int plusLastWide = 1 + 8 + 6;  // quiet run, A and its gap, then the "+": element 7 is wide
    ASSERT_TRUE(decode_line(*find_symbology(7), options_for(7), codabar_line(symbol, plusLastWide, 9), quiet,
                            out, where));
    EXPECT_EQ(out.text, "A+1B");
    EXPECT_FALSE(decode_line(*find_symbology(7), options_for(7), codabar_line(symbol, plusLastWide, 7), quiet,
                             out, where));
}

}  // namespace
}  // namespace stripescan
