// EAN and UPC-E digits that only the check digit may settle, and the strict reading of lines
// whose edges follow the local contrast. The run lists are drawn from the published digit
// patterns, so every width is known exactly; the expected texts carry check digits worked out
// by hand from the published rule (weights 3 and 1 from the right).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <utility>
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

const char* const kSetA[10] = {"3211", "2221", "2122", "1411", "1132",
                               "1231", "1114", "1312", "1213", "3112"};
const int kPartner[10] = {-1, 7, 8, -1, -1, -1, -1, 1, 2, -1};

// Runs of element widths in modules (bar first) between two quiet zones. `gain(x)` widens a bar
// whose leading edge lies x modules from the start by that many modules (the spaces lose it).
// `modulePx`: pixels per module.
RunList runs_of(
    const std::vector<double>& modules,
    const std::function<double(double)>& gain = [](double) { return 0.0; }, double modulePx = kModulePx) {
    std::vector<double> edges{0};
    for (double w : modules) edges.push_back(edges.back() + w);
    for (std::size_t e = 0; e + 1 < edges.size(); e += 2) {
        const double g = gain(edges[e]) / 2;
        edges[e] -= g;
        edges[e + 1] += g;
    }
    return runs_from_edges(edges, modulePx, kUnit, kQuietModules);
}

// Appends the widths of `digit` in set A, or backwards (set B), or halfway to its pair's.
void add_digit(std::vector<double>& modules, int digit, bool backwards, bool halfway) {
    auto widths = [&](int d) {
        std::string w = kSetA[d];
        if (backwards) std::reverse(w.begin(), w.end());
        return w;
    };
    const std::string own = widths(digit);
    for (int e = 0; e < 4; ++e) {
        double w = own[static_cast<std::size_t>(e)] - '0';
        if (halfway) w = (w + (widths(kPartner[digit])[static_cast<std::size_t>(e)] - '0')) / 2;
        modules.push_back(w);
    }
}

void add_guard(std::vector<double>& modules, int count) {
    for (int k = 0; k < count; ++k) modules.push_back(1);
}

// EAN-13 of its 13 digits; digits at the places in `halfway` (1..12) lie between their pair.
std::vector<double> ean13(const std::string& digits, std::initializer_list<int> halfway = {}) {
    static const char* const parity[10] = {"AAAAAA", "AABABB", "AABBAB", "AABBBA", "ABAABB",
                                           "ABBAAB", "ABBBAA", "ABABAB", "ABABBA", "ABBABA"};
    std::vector<double> m;
    add_guard(m, 3);
    for (int k = 1; k <= 12; ++k) {
        if (k == 7) add_guard(m, 5);
        const bool b = k <= 6 && parity[digits[0] - '0'][k - 1] == 'B';
        add_digit(m, digits[static_cast<std::size_t>(k)] - '0', b,
                  std::find(halfway.begin(), halfway.end(), k) != halfway.end());
    }
    add_guard(m, 3);
    return m;
}

// UPC-E of its eight digits (number system 0, six digits, check); places 1..6 in `halfway`.
std::vector<double> upce(const std::string& text, std::initializer_list<int> halfway = {}) {
    // Set of each digit by the check digit: 'A' odd parity, 'B' even.
    static const char* const parity[10] = {"BBBAAA", "BBABAA", "BBAABA", "BBAAAB", "BABBAA",
                                           "BAABBA", "BAAABB", "BABABA", "BABAAB", "BAABAB"};
    std::vector<double> m;
    add_guard(m, 3);
    for (int k = 1; k <= 6; ++k)
        add_digit(m, text[static_cast<std::size_t>(k)] - '0', parity[text[7] - '0'][k - 1] == 'B',
                  std::find(halfway.begin(), halfway.end(), k) != halfway.end());
    add_guard(m, 6);  // space first: the last bar ends the symbol
    return m;
}

std::string read(int number, const RunList& runs, bool contrastLine = false) {
    return read_runs(number, runs, 1, contrastLine);
}

TEST(EanErasure, UpcEDigitBetweenItsPairIsSettledAmongTheFirstFive) {
    // The clean symbols read; then the pair digit drawn halfway: a 7 alone, and a 1 and a 7 that
    // stand at places of different weights in the UPC-A digits (0317490000 68), either in doubt.
    for (const auto& [text, place] :
         std::vector<std::pair<std::string, int>>{{"03457962", 4}, {"03174968", 2}, {"03174968", 3}}) {
        EXPECT_EQ(read(kUpcE, runs_of(upce(text))), text);
        EXPECT_EQ(read(kUpcE, runs_of(upce(text, {place}))), text) << text << " at " << place;
    }
}

TEST(EanErasure, UpcEDigitsInDoubtAreSettledOnlyWhereOneChoicePasses) {
    // With a digit drawn halfway, every 1, 2, 7 and 8 of a single line is in doubt too; the
    // check settles them where exactly one choice of all their digits passes.
    // A 7 and a 1 at places of the same weight (0374190000 62): 0314790000 62 passes as well.
    EXPECT_EQ(read(kUpcE, runs_of(upce("03741962"))), "03741962");
    EXPECT_EQ(read(kUpcE, runs_of(upce("03741962", {2}))), "(none)");
    // The sixth digit places the others: it is never the erasure.
    EXPECT_EQ(read(kUpcE, runs_of(upce("03456972", {6}))), "(none)");
    // A sixth 1 in doubt beside the erasure: read as 7 it moves the others (03510000796 3
    // becomes 03579600007 3), and of the four choices only the text passes.
    EXPECT_EQ(read(kUpcE, runs_of(upce("03579613", {3}))), "03579613");
    // A sixth 2 beside the erasure that, read as 8, gives 0616558 1, which passes too: refused.
    EXPECT_EQ(read(kUpcE, runs_of(upce("06165521"))), "06165521");
    EXPECT_EQ(read(kUpcE, runs_of(upce("06165521", {2}))), "(none)");
    // Two erasures are more than the check settles, even at places of different weights where
    // one choice of eight passes: a line whose other digits are wrong then passes four times
    // in ten (a dashed UPC-E read "07154492" for "01150391" that way).
    EXPECT_EQ(read(kUpcE, runs_of(upce("03174968", {2, 3}))), "(none)");
    // Two erasures of one weight, a 1 and an 8 (0341680000 53): 0347620000 53 passes as well.
    EXPECT_EQ(read(kUpcE, runs_of(upce("03416853"))), "03416853");
    EXPECT_EQ(read(kUpcE, runs_of(upce("03416853", {3, 5}))), "(none)");
    EXPECT_EQ(read(kUpcE, runs_of(upce("03178461"))), "03178461");
    EXPECT_EQ(read(kUpcE, runs_of(upce("03178461", {2, 3, 4}))), "(none)");
}

TEST(EanErasure, EanPairDigitsAtTheOtherWeightNoLongerBlockTheErasure) {
    // The 7 (weight 3) in doubt beside the check digit 2 (weight 1), and the other way round.
    EXPECT_EQ(read(kEan13, runs_of(ean13("5907456034502", {3}))), "5907456034502");
    EXPECT_EQ(read(kEan13, runs_of(ean13("5907456034502", {12}))), "5907456034502");
    // Two erasures of different weights (the 7 and the check digit 2): four choices, one passes,
    // but two erasures are more than the check settles.
    EXPECT_EQ(read(kEan13, runs_of(ean13("5907456034502", {3, 12}))), "(none)");
    // A 1 at the weight of the 7 in doubt: 5901456734509 passes as well, so neither is read,
    // nor with the 1 in doubt too.
    EXPECT_EQ(read(kEan13, runs_of(ean13("5907456134509"))), "5907456134509");
    EXPECT_EQ(read(kEan13, runs_of(ean13("5907456134509", {3}))), "(none)");
    EXPECT_EQ(read(kEan13, runs_of(ean13("5907456134509", {3, 7}))), "(none)");
    // Five digits in doubt (the 2 drawn halfway and four more 1s and 2s) are more than the
    // check settles.
    EXPECT_EQ(read(kEan13, runs_of(ean13("5901234123457", {4}))), "(none)");
    // Every place of a valid text, moved by 6: the weights must say which places the check
    // digit sees 6 apart (weight 1: sum moves by 6) and which 8 apart (weight 3).
    const std::string text = "5907456034502";
    for (std::size_t k = 1; k < text.size(); ++k) {
        std::string moved = text;
        moved[k] = static_cast<char>('0' + (text[k] - '0' + 6) % 10);
        std::string fixed = moved;
        int undone = -1;
        for (int d = 0; d < 10; ++d) {
            fixed.back() = static_cast<char>('0' + d);
            if (ean_check_ok(fixed)) undone = (d - (text.back() - '0') + 10) % 10;
        }
        if (k + 1 == text.size()) continue;
        EXPECT_EQ(undone, ean_check_weight(text.size(), k) == 3 ? 2 : 4) << k;
    }
}

TEST(EanErasure, AFirmPairDigitIsNeverTurnedToUndoAnotherDigitMisread) {
    // The 1 at place 8 in doubt beside a firm 2 at place 5: of the four choices only the text
    // passes, and it keeps the 2.
    EXPECT_EQ(read(kEan13, runs_of(ean13("3663425910605", {8}))), "3663425910605");
    // The same bars with the 4 at place 4 drawn as a 0 (a knocked-out bar misreads a digit that
    // way): the one choice that passes, 3663085970605, turns the firm 2 into an 8 to undo the 0.
    EXPECT_EQ(read(kEan13, runs_of(ean13("3663025910605", {8}))), "(none)");
}

TEST(EanErasure, ContrastLinesNeedFirmPairDigitsAndNoErasure) {
    // A 1 whose bars print 0.5 module wide each (no other digit shows that gain): its key
    // still reads it, but a whole module off its own bars is not firm.
    const std::string text = "5901456034500";
    const std::vector<double> drawn = ean13(text);
    // Digit 3 (the 1) starts at module 3 + 2 * 7.
    auto spreadOne = [](double x) { return x >= 17 && x < 24 ? 0.5 : 0.0; };
    EXPECT_EQ(read(kEan13, runs_of(drawn, spreadOne)), text);
    EXPECT_EQ(read(kEan13, runs_of(drawn, spreadOne), true), "(none)");
    // Clean, it reads on such a line too; a digit in doubt does not.
    EXPECT_EQ(read(kEan13, runs_of(drawn), true), text);
    EXPECT_EQ(read(kEan13, runs_of(ean13(text, {3})), true), "(none)");
    EXPECT_EQ(read(kUpcE, runs_of(upce("03457962")), true), "03457962");
    EXPECT_EQ(read(kUpcE, runs_of(upce("03457962", {4})), true), "(none)");
}

TEST(EanErasure, ContrastLinesTellPairDigitsByTheLinesOwnNarrowAndWideBars) {
    // A local threshold starves wide bars and keeps narrow ones: every bar of two modules or
    // more loses `starve` modules. No single gain reads the 1s, 2s, 7s and 8s then, but the
    // line's other digits show how wide it draws each kind of bar.
    auto starved = [](const std::vector<double>& drawn, double starve) {
        std::vector<std::pair<double, double>> wide;  // leading edge of each wide bar, its loss
        double x = 0;
        for (std::size_t e = 0; e < drawn.size(); ++e) {
            if (e % 2 == 0 && drawn[e] >= 2) wide.emplace_back(x, -starve);
            x += drawn[e];
        }
        return runs_of(drawn, [wide](double at) {
            for (const auto& [edge, loss] : wide)
                if (std::fabs(edge - at) < 1e-9) return loss;
            return 0.0;
        });
    };
    for (const std::string text : {"5907456034502", "4006381333931", "8712345678906"}) {
        EXPECT_EQ(read(kEan13, starved(ean13(text), 0.45), true), text) << text;
        // Starved by a whole module, a bar of two modules prints as one: the line reads nothing.
        EXPECT_EQ(read(kEan13, starved(ean13(text), 1.0), true), "(none)") << text;
    }
    EXPECT_EQ(read(kUpcE, starved(upce("03174968"), 0.45), true), "03174968");
    // A pair digit drawn halfway is still read by neither.
    EXPECT_EQ(read(kUpcE, starved(upce("03174968", {3}), 0.45), true), "(none)");
}

TEST(EanErasure, FirmPairDigitsByTheirBarsLessTheGain) {
    // Digit 1 as the right half prints it (set C, bar first: 2221), at 3 px modules: its bars
    // are 2 and 2 modules, a 7's would be 1 and 1.
    const RunList runs = runs_of({2, 2, 2, 1});
    EXPECT_TRUE(ean_pair_digit_firm(runs, 1, EanSet::C, 1, 0));
    EXPECT_FALSE(ean_pair_digit_firm(runs, 1, EanSet::C, 7, 0));
    EXPECT_FALSE(ean_pair_digit_firm(runs, 1, EanSet::C, 3, 0));
    // Bars spread by 0.4 module each: firm only with that gain (2 x 0.4 module) taken off.
    const RunList spread = runs_of({2, 2, 2, 1}, [](double) { return 0.4; });
    const int gain = static_cast<int>(std::lround(0.8 * kModulePx * kUnit));
    EXPECT_FALSE(ean_pair_digit_firm(spread, 1, EanSet::C, 1, 0));
    EXPECT_TRUE(ean_pair_digit_firm(spread, 1, EanSet::C, 1, gain));
}

}  // namespace
}  // namespace stripescan

namespace stripescan {
namespace {

TEST(EanErasure, UpcESixthPairDigitMustReadTheSameWithTheGainAroundIt) {
    // 034569 72 at 2 px modules, where digits are read without the local gain: the sixth digit
    // is a 7 in set A (1312) drawn with thin bars (4.5 modules for 5), which alone still reads 7.
    // Where its neighbours 6 and 9 print their bars 0.6 module wide each, the gain around it
    // reads those bars as a 1: read 6 off, the sixth digit would move the others and pass the
    // check by chance, so the symbol is not read.
    auto sixth = [](double neighbourSpread) {
        std::vector<double> m = upce("03456972");
        const std::initializer_list<double> thin = {1.25, 2.75, 1.25, 1.75};
        std::copy(thin.begin(), thin.end(), m.begin() + 3 + 5 * 4);
        return runs_of(
            m, [neighbourSpread](double x) { return x >= 24 && x < 38 ? neighbourSpread : 0.0; }, 2.0);
    };
    EXPECT_EQ(read(kUpcE, sixth(0.0)), "03456972");
    EXPECT_EQ(read(kUpcE, sixth(0.6)), "(none)");
    // A sixth digit that is no pair digit needs nothing more: 0345796 2 ends in 6.
    EXPECT_EQ(read(kUpcE, runs_of(
                              upce("03457962"), [](double x) { return x >= 24 && x < 38 ? 0.6 : 0.0; }, 2.0)),
              "03457962");
}

}  // namespace
}  // namespace stripescan
