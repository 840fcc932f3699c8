// EAN and UPC-E lines whose 1s, 2s, 7s and 8s may have tipped into their partners together
// (bars starved or thickened by a local threshold) in a way the check digit cannot see. The run
// lists are drawn from the published digit patterns; the texts carry check digits worked out by
// hand from the published rule (weights 3 and 1 from the right).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "barcode/linear/line_decode.h"
#include "barcode/linear/symbologies/ean_digits.h"
#include "barcode/linear/symbology.h"
#include "barcode/linear/tests/read_runs.h"

namespace stripescan {
namespace {

constexpr int kUnit = 8;  // length units per pixel, as band runs measure
constexpr double kQuietModules = 12;

const char* const kSetA[10] = {"3211", "2221", "2122", "1411", "1132",
                               "1231", "1114", "1312", "1213", "3112"};

// One element: its width in modules and the bar gain (modules) of the digit it belongs to.
struct Element {
    double modules;
    double gain;
};

// Runs between two quiet zones at `modulePx` pixels per module: each bar widened by its
// element's gain (half on either edge; the spaces beside it lose it).
RunList runs_of(const std::vector<Element>& elements, double modulePx) {
    std::vector<double> edges{0};
    for (const Element& e : elements) edges.push_back(edges.back() + e.modules);
    for (std::size_t e = 0; e + 1 < edges.size(); e += 2) {
        const double g = elements[e].gain / 2;
        edges[e] -= g;
        edges[e + 1] += g;
    }
    return runs_from_edges(edges, modulePx, kUnit, kQuietModules);
}

void add_guard(std::vector<Element>& elements, int count, double gain) {
    for (int k = 0; k < count; ++k) elements.push_back(Element{1, gain});
}

// A digit's widths in set A, or backwards (set B); the right half uses set A's widths bar first.
void add_digit(std::vector<Element>& elements, int digit, bool backwards, double gain) {
    std::string w = kSetA[digit];
    if (backwards) std::reverse(w.begin(), w.end());
    for (char c : w) elements.push_back(Element{static_cast<double>(c - '0'), gain});
}

// EAN-8 of its eight digits as `printed`; digit k (0..7) and its bars' gain `gain(k)`; the guards
// take `guardGain`.
std::vector<Element> ean8(const std::string& printed, const std::function<double(int)>& gain,
                          double guardGain) {
    std::vector<Element> m;
    add_guard(m, 3, guardGain);
    for (int k = 0; k < 8; ++k) {
        if (k == 4) add_guard(m, 5, guardGain);
        add_digit(m, printed[static_cast<std::size_t>(k)] - '0', false, gain(k));
    }
    add_guard(m, 3, guardGain);
    return m;
}

// UPC-E of its eight digits (number system 0, six digits, check) as `printed`; gains as for ean8.
std::vector<Element> upce(const std::string& printed, const std::function<double(int)>& gain,
                          double guardGain) {
    static const char* const parity[10] = {"BBBAAA", "BBABAA", "BBAABA", "BBAAAB", "BABBAA",
                                           "BAABBA", "BAAABB", "BABABA", "BABAAB", "BAABAB"};
    std::vector<Element> m;
    add_guard(m, 3, guardGain);
    for (int k = 1; k <= 6; ++k)
        add_digit(m, printed[static_cast<std::size_t>(k)] - '0', parity[printed[7] - '0'][k - 1] == 'B',
                  gain(k));
    add_guard(m, 6, guardGain);
    return m;
}

std::string read(int number, const RunList& runs) {
    return read_runs(number, runs);
}

TEST(EanTipped, PairDigitsThatTippedTogetherAgainstTheLineGainAreNoReading) {
    // 2878 3275 printed, its 8, 7 and 8 starved until their bars look like a 2, a 1 and a 2
    // (2212 3275 passes the check too: -6, -18 and -6 cancel), while each bar of the 3, the 5
    // and the guards prints 0.3 module narrow. The tipped digits' bars stand 0.6 module off
    // the line's gain, nearer their own reading than their partners' (1.4 off).
    const auto starved = [](int k) { return k == 1 || k == 2 || k == 3 ? 0.0 : -0.3; };
    EXPECT_EQ(read(kEan8, runs_of(ean8("22123275", starved, -0.3), 2.0)), "(none)");
    EXPECT_EQ(read(kEan8, runs_of(ean8("22123275", starved, -0.3), 3.0)), "(none)");
    // The same bars with the whole line starved alike read as printed: nothing leans.
    const auto even = [](int) { return -0.3; };
    EXPECT_EQ(read(kEan8, runs_of(ean8("22123275", even, -0.3), 2.0)), "22123275");
    EXPECT_EQ(read(kEan8, runs_of(ean8("28783275", even, -0.3), 3.0)), "28783275");
    // Clean, both texts read.
    const auto clean = [](int) { return 0.0; };
    EXPECT_EQ(read(kEan8, runs_of(ean8("22123275", clean, 0), 2.0)), "22123275");
    EXPECT_EQ(read(kEan8, runs_of(ean8("28783275", clean, 0), 2.0)), "28783275");
}

TEST(EanTipped, LeaningDigitsWhosePartnersFailTheCheckStillRead) {
    // One leaning digit alone moves the check sum by 6 or 18, never by a multiple of 10: the
    // check digit sees it. 2878 3275 with only its 7's bars 0.3 module wider each.
    const auto one = [](int k) { return k == 2 ? 0.3 : 0.0; };
    EXPECT_EQ(read(kEan8, runs_of(ean8("28783275", one, 0), 3.0)), "28783275");
    // Two leaning digits at places of different weights (1 and 3 moved by 6: 24, no multiple of 10).
    const auto two = [](int k) { return k == 1 || k == 2 ? 0.3 : 0.0; };
    EXPECT_EQ(read(kEan8, runs_of(ean8("28783275", two, 0), 3.0)), "28783275");
}

TEST(EanTipped, UpcEDigitsTippedInOppositeWaysAtPlacesOfOneWeightAreNoReading) {
    // 067516 9 2 stands for the UPC-A digits 06751600009 2, where its 7 and 1 both weigh 3: a 7
    // read as 1 and a 1 read as 7 cancel. Drawn with the 7's bars 0.6 module wider each and
    // the 1's 0.6 narrower, each 1.2 modules off the rest away from its partner: bars that fit
    // neither reading well are doubt too.
    const auto opposite = [](int k) { return k == 2 ? 0.6 : k == 4 ? -0.6 : 0.0; };
    EXPECT_EQ(read(kUpcE, runs_of(upce("06751692", opposite, 0), 3.0)), "(none)");
    // 0.8 module away from the partner is still far nearer the digit's own reading.
    const auto slight = [](int k) { return k == 2 ? 0.4 : k == 4 ? -0.4 : 0.0; };
    EXPECT_EQ(read(kUpcE, runs_of(upce("06751692", slight, 0), 3.0)), "06751692");
    const auto clean = [](int) { return 0.0; };
    EXPECT_EQ(read(kUpcE, runs_of(upce("06751692", clean, 0), 3.0)), "06751692");
}

TEST(EanTipped, ASetOfFlipsIsRefusedOnlyWhenItPassesTheCheck) {
    // pair_digits_may_tip on its own: digits 2 2 1 2 3 2 7 5 of 2212 3275, drawn clean, with a
    // line gain given: no digit leans and nothing is refused whatever the check says.
    const auto clean = [](int) { return 0.0; };
    const RunList runs = runs_of(ean8("22123275", clean, 0), 3.0);
    std::vector<ReadDigit> read;
    std::vector<int> values;
    const std::string text = "22123275";
    int at = 1 + 3;
    for (int k = 0; k < 8; ++k) {
        if (k == 4) at += 5;
        read.push_back(
            ReadDigit{at, k < 4 ? EanSet::A : EanSet::C, 0, text[static_cast<std::size_t>(k)] - '0'});
        values.push_back(text[static_cast<std::size_t>(k)] - '0');
        at += 4;
    }
    auto passes = [](const std::vector<int>& v) {
        std::string t;
        for (int d : v) t.push_back(static_cast<char>('0' + d));
        return ean_check_ok(t);
    };
    auto always = [](const std::vector<int>&) { return true; };
    EXPECT_FALSE(pair_digits_may_tip(runs, read, values, 0.0, passes));
    EXPECT_FALSE(pair_digits_may_tip(runs, read, values, 0.0, always));
    // The bars of its 3 and 5 0.35 module narrower each: every 1 and 2 leans 0.7 module
    // towards its partner now; flipping the first three gives 2878 3275, which passes.
    const auto thin = [](int k) { return k == 4 || k == 7 ? -0.35 : 0.0; };
    const RunList leaning = runs_of(ean8("22123275", thin, 0), 3.0);
    EXPECT_TRUE(pair_digits_may_tip(leaning, read, values, 0.0, passes));
    auto never = [](const std::vector<int>&) { return false; };
    EXPECT_FALSE(pair_digits_may_tip(leaning, read, values, 0.0, never));
}

// Per-bar gains (modules) that a local threshold gave the digits of a blurred EAN-8 photo at
// 2.9 px modules, "4871 1388" printed: the dense 8 and 7 of set A (ten of their fourteen modules
// bar) lost 0.7 module on each bar, the light right half none.
double dark_window_gain(int k) {
    static const double gains[8] = {-0.12, -0.7, -0.68, -0.25, -0.26, 0.0, 0.0, 0.05};
    return gains[k];
}

TEST(EanDarkWindow, DenseDigitsStarvedByTheirDarkWindowReadAsPrinted) {
    // Their bars read as a 2 and a 1 (4211 1388 fails the check); the other digits show how
    // the thinning follows the darkness around each digit, and 4871 1388 fits it.
    EXPECT_EQ(read(kEan8, runs_of(ean8("48711388", dark_window_gain, -0.1), 2.9)), "48711388");
    EXPECT_EQ(read(kEan8, runs_of(ean8("48711388", dark_window_gain, -0.1), 3.5)), "48711388");
}

TEST(EanDarkWindow, AWrongDigitBesideThinnedOnesIsNoReading) {
    // The same thinning over 4871 1588 printed (a 5 where the check wants a 3; drawn as a
    // damaged symbol would read): 4871 7588 passes, a 1 of set C read as a 7, but its bars
    // would then stand 2 modules off the darkness's line. Nothing passes that fits.
    EXPECT_EQ(read(kEan8, runs_of(ean8("48711588", dark_window_gain, -0.1), 2.9)), "(none)");
    // An even line whose check fails: the darkness does not move its bars, nothing is settled.
    const auto even = [](int) { return -0.2; };
    EXPECT_EQ(read(kEan8, runs_of(ean8("42111388", even, -0.2), 2.9)), "(none)");
}

}  // namespace
}  // namespace stripescan
