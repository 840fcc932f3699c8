// Character readings on widths measured from photo-like pages: ink gain that drifts along a
// symbol, and the one character per symbol that only its check may settle. The run lists are
// built from the published element widths, so every width and edge is known exactly.

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

constexpr int kUnit = 8;           // length units per pixel, as band runs measure
constexpr double kModulePx = 3.0;  // pixels per module
constexpr double kQuietModules = 12;

// A symbol as element widths in modules, bar first, with a quiet zone on either side.
struct Drawn {
    std::vector<double> modules;
};

// Runs of the widths in `drawn` (modules, bar first). `gain(x)` is how much wider than drawn a
// bar prints at x modules from the symbol's start (in modules, negative when starved): each bar
// edge moves out by half of it and the spaces lose what the bars gain.
RunList runs_of(
    const Drawn& drawn, const std::function<double(double)>& gain = [](double) { return 0.0; }) {
    std::vector<double> edges{0};
    for (double w : drawn.modules) edges.push_back(edges.back() + w);
    std::vector<double> moved(edges.size());
    for (std::size_t e = 0; e < edges.size(); ++e) {
        // Even edges lead a bar, odd edges end one.
        const double half = gain(edges[e]) / 2;
        moved[e] = edges[e] + (e % 2 == 0 ? -half : half);
    }
    RunList list;
    list.unit = kUnit;
    const double pixel = kModulePx * kUnit;  // units per module
    list.runs.push_back(Run{0, 0, static_cast<int>(std::lround(kQuietModules * pixel)), kWhite});
    for (std::size_t e = 1; e < moved.size(); ++e) {
        const int length = std::max(1, static_cast<int>(std::lround((moved[e] - moved[e - 1]) * pixel)));
        list.runs.push_back(Run{0, 0, length, e % 2 == 1 ? kBlack : kWhite});
    }
    list.runs.push_back(Run{0, 0, static_cast<int>(std::lround(kQuietModules * pixel)), kWhite});
    return list;
}

void append(Drawn& drawn, const char* widths) {
    for (const char* p = widths; *p; ++p) drawn.modules.push_back(*p - '0');
}

// EAN-13 from its 13 digits with the published digit sets and parity patterns. The digits at
// the places in `halfway` (1..12) are drawn halfway between their own pattern and their pair's
// (1 and 7, 2 and 8 share their edge-to-edge sums): their bars then tell nothing.
Drawn ean13(const std::string& digits, std::initializer_list<int> halfway = {}) {
    static const char* const setA[10] = {"3211", "2221", "2122", "1411", "1132",
                                         "1231", "1114", "1312", "1213", "3112"};
    static const char* const parity[10] = {"AAAAAA", "AABABB", "AABBAB", "AABBBA", "ABAABB",
                                           "ABBAAB", "ABBBAA", "ABABAB", "ABABBA", "ABBABA"};
    static const int partner[10] = {-1, 7, 8, -1, -1, -1, -1, 1, 2, -1};
    auto widths = [&](int k, int digit) {
        std::string w = setA[digit];
        // Set B is set A backwards; the right half (set C) has set A's widths, bar first.
        if (k <= 6 && parity[digits[0] - '0'][k - 1] == 'B') w = std::string(w.rbegin(), w.rend());
        return w;
    };
    Drawn d;
    append(d, "111");
    for (int k = 1; k <= 12; ++k) {
        if (k == 7) append(d, "11111");
        const int digit = digits[static_cast<std::size_t>(k)] - '0';
        const std::string own = widths(k, digit);
        const bool half = std::find(halfway.begin(), halfway.end(), k) != halfway.end();
        for (int e = 0; e < 4; ++e) {
            double w = own[static_cast<std::size_t>(e)] - '0';
            if (half) w = (w + (widths(k, partner[digit])[static_cast<std::size_t>(e)] - '0')) / 2;
            d.modules.push_back(w);
        }
    }
    append(d, "111");
    return d;
}

std::string read_symbol(int number, const RunList& runs, int sendCheck = 1) {
    return read_runs(number, runs, sendCheck);
}

TEST(InkDrift, EanDigitsReadWhereTheGainChangesAlongTheSymbol) {
    // Starved ink on the left, spread ink on the right (a photo lit from one side, a local
    // threshold): one gain for the whole symbol tips 1 into 7 or 2 into 8 on one side.
    auto drift = [](double x) { return x < 47 ? -0.3 : 0.7; };
    auto reversed = [](double x) { return x < 47 ? 0.7 : -0.3; };
    auto ramp = [](double x) { return -0.3 + x / 95.0; };
    // One digit of a pair on the spread side: it reads, if in doubt as the one erasure.
    for (const std::string text : {"5903456034573", "5903456039516"}) {
        EXPECT_EQ(read_symbol(kEan13, runs_of(ean13(text), drift)), text);
        EXPECT_EQ(read_symbol(kEan13, runs_of(ean13(text), ramp)), text);
    }
    // Many: the symbol may go unread, but never reads as another.
    for (const std::string text : {"5901234123457", "4006381333931"}) {
        for (const auto& gain :
             {std::function<double(double)>(drift), std::function<double(double)>(reversed),
              std::function<double(double)>(ramp)}) {
            const std::string read = read_symbol(kEan13, runs_of(ean13(text), gain));
            EXPECT_TRUE(read == text || read == "(none)") << read << " for " << text;
        }
    }
}

TEST(InkDrift, LocalGainsComeFromTheDigitsThatSumsDecide) {
    // Digits 3, 4 and 5 of the right half are decided by their sums; the gain they show (of
    // their two bars together) is the one drawn, and the 1, 2 and 7 among them get it too;
    // the left half keeps its own.
    const std::string text = "5901234123457";
    const RunList runs = runs_of(ean13(text), [](double x) { return x < 47 ? 0.0 : 0.5; });
    std::vector<DigitPlace> places;
    for (int k = 0; k < 12; ++k) places.push_back(DigitPlace{1 + 3 + 4 * k + (k >= 6 ? 5 : 0), k >= 6});
    const std::vector<int> gains = local_ink_gains(runs, places, -999);
    const double unitsPerModule = kModulePx * kUnit;
    for (int k = 9; k < 12; ++k)
        EXPECT_NEAR(gains[static_cast<std::size_t>(k)] / unitsPerModule, 1.0, 0.06) << k;
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(gains[static_cast<std::size_t>(k)] / unitsPerModule, 0.0, 0.06) << k;
}

TEST(Erasure, OneEanDigitBetweenItsPairIsSettledByTheCheckDigit) {
    // Texts with a single 1, 2, 7 or 8 after the first digit: left half (3) and right (11).
    for (const auto& [text, k] : std::vector<std::pair<std::string, int>>{
             {"5901456034500", 3}, {"5908456034509", 3}, {"5903456034573", 11}, {"5903456039516", 11}}) {
        EXPECT_EQ(read_symbol(kEan13, runs_of(ean13(text, {k}))), text) << text;
    }
    // Two such digits are two unknowns for one check digit: no reading.
    EXPECT_EQ(read_symbol(kEan13, runs_of(ean13("5901234123457", {3, 8}))), "(none)");
    // Nor one, when other digits were told from their pair by their bars: a 7 read as 1 at a
    // place of the erasure's weight would pass the check with the wrong candidate.
    EXPECT_EQ(read_symbol(kEan13, runs_of(ean13("5901234123457", {8}))), "(none)");
    // A symbol whose check digit fits neither candidate reads as nothing, never as a guess.
    EXPECT_EQ(read_symbol(kEan13, runs_of(ean13("5903456034570", {11}))), "(none)");
}

// Code 128 (set B) of `values` after Start B, with its check value and the stop pattern; the
// character at `ambiguous` (index into values, -1: none) is drawn halfway to `other`.
RunList code128(const std::vector<int>& values, int ambiguous = -1, const char* other = nullptr) {
    static const std::vector<std::string> patterns = {
        "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212",
        "221213", "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221",
        "223211", "221132", "221231", "213212", "223112", "312131", "311222", "321122", "321221",
        "312212", "322112", "322211", "212123", "212321", "232121", "111323", "131123", "131321"};
    Drawn d;
    append(d, "211214");  // Start B
    int sum = 104;
    for (std::size_t k = 0; k < values.size(); ++k) sum += static_cast<int>(k + 1) * values[k];
    std::vector<int> all = values;
    all.push_back(sum % 103);
    for (std::size_t k = 0; k < all.size(); ++k) {
        const std::string& p = patterns.at(static_cast<std::size_t>(all[k]));
        for (int e = 0; e < 6; ++e) {
            double w = p[static_cast<std::size_t>(e)] - '0';
            if (static_cast<int>(k) == ambiguous) w = (w + (other[e] - '0')) / 2;
            d.modules.push_back(w);
        }
    }
    append(d, "2331112");
    return runs_of(d);
}

TEST(Erasure, OneCode128CharacterBetweenTwoPatternsIsSettledByTheCheck) {
    // "BB" is 34, 34 (check value 0); the second 34 (131123) drawn halfway to 1 (222122):
    // neither its key nor the nearest pattern can tell the two apart.
    const RunList runs = code128({34, 34}, 1, "222122");
    const int at = 1 + 6 + 6;  // quiet zone, start, first character
    const char* const pair[2] = {"131123", "222122"};
    EXPECT_EQ(nearest_value(runs, at, 6, kModulePx * kUnit, pair, 2), -1);
    EXPECT_EQ(read_symbol(kCode128, runs, 0), "BB");
    EXPECT_EQ(read_symbol(kCode128, code128({34, 34}), 0), "BB");
    // Both characters so drawn: two unknowns for one check, no reading.
    RunList two = code128({34, 34}, 0, "222122");
    for (int k = at; k < at + 6; ++k)
        two.runs[static_cast<std::size_t>(k)] = runs.runs[static_cast<std::size_t>(k)];
    EXPECT_EQ(read_symbol(kCode128, two, 0), "(none)");
}

}  // namespace
}  // namespace stripescan
