// Narrow and wide judged per colour, on run lists built from the published element widths: bars
// and spaces that a local threshold widens or thins by different amounts, ink that drifts along
// a symbol and differs next to its quiet zones, and characters that no pattern fits clearly.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "barcode/linear/line_decode.h"
#include "barcode/linear/symbologies/colour_split.h"
#include "barcode/linear/symbology.h"

namespace stripescan {
namespace {

constexpr int kNarrow = 10;       // length units of a narrow element as drawn
constexpr int kQuietUnits = 200;  // white before and after the symbol

// Codabar characters of the published table, bar first (1 narrow, 2 wide).
const char* codabar(char c) {
    static const std::string characters = "0123456789-$:/.+ABCD";
    static const char* patterns[20] = {"1111122", "1111221", "1112112", "2211111", "1121121",
                                       "2111121", "1211112", "1211211", "1221111", "2112111",
                                       "1112211", "1122111", "2111212", "2121112", "2121211",
                                       "1121212", "1122121", "1212112", "1112122", "1112221"};
    return patterns[characters.find(c)];
}

// The runs of `text` in Codabar with wide elements `ratio` narrow ones: quiet zones, characters
// separated by a narrow gap. `ink(k, bar, wide)` is added to the k-th character's elements
// (units; the gap takes the space's share of the character before).
RunList codabar_runs(
    const std::string& text, double ratio,
    const std::function<int(int, bool, bool)>& ink = [](int, bool, bool) { return 0; }) {
    RunList list;
    list.unit = 1;
    list.runs.push_back(stripescan::Run{0, 0, kQuietUnits, kWhite});
    for (std::size_t k = 0; k < text.size(); ++k) {
        const char* p = codabar(text[k]);
        for (int e = 0; e < 7; ++e) {
            const bool bar = e % 2 == 0;
            const bool wide = p[e] == '2';
            const int drawn = wide ? static_cast<int>(kNarrow * ratio) : kNarrow;
            list.runs.push_back(
                Run{0, 0, drawn + ink(static_cast<int>(k), bar, wide), bar ? kBlack : kWhite});
        }
        if (k + 1 < text.size())
            list.runs.push_back(
                stripescan::Run{0, 0, kNarrow + ink(static_cast<int>(k), false, false), kWhite});
    }
    list.runs.push_back(stripescan::Run{0, 0, kQuietUnits, kWhite});
    return list;
}

ReadOutcome read_codabar(const RunList& runs, Decoded& out) {
    const Symbology* s = find_symbology(kCodabar);
    return s->read(SymbolCursor(runs, 1, runs.size() - 2), *s, ReadOptions{}, out);
}

TEST(ColourSplit, BarsAndSpacesAreSplitEachOnTheirOwnWidths) {
    // Bars thinned by 4 units and spaces widened by 4: a narrow space (14) is as wide as a wide
    // bar (21 - 4 = 17 is wide, 10 - 4 = 6 narrow); across colours no single split exists.
    const RunList runs = codabar_runs("A0123456789B", 2.5, [](int, bool bar, bool) { return bar ? -4 : 4; });
    const auto split = colour_split(runs, 1, runs.size() - 2, 7, 1);
    ASSERT_TRUE(split.has_value());
    EXPECT_NEAR(split->narrow[1], 6, 0.01);
    EXPECT_NEAR(split->wide[1], 21, 0.01);
    EXPECT_NEAR(split->narrow[0], 14, 0.01);
    EXPECT_NEAR(split->wide[0], 29, 0.01);

    // A colour whose widths are all alike has no split.
    RunList flat;
    for (int k = 0; k < 15; ++k)
        flat.runs.push_back(stripescan::Run{0, 0, 10 + k % 2, k % 2 == 0 ? kBlack : kWhite});
    EXPECT_FALSE(colour_split(flat, 0, flat.size(), 7, 1).has_value());
}

TEST(ColourSplit, EachCharacterIsTheClearlyNearestPatternOrNothing) {
    const char* patterns[3] = {"1111122", "1111221", "1112112"};
    ColourSplit split;
    split.narrow[0] = split.narrow[1] = 10;
    split.wide[0] = split.wide[1] = 30;
    auto runsOf = [](std::initializer_list<int> widths) {
        RunList r;
        bool bar = true;
        for (int w : widths) {
            r.runs.push_back(stripescan::Run{0, 0, w, bar ? kBlack : kWhite});
            bar = !bar;
        }
        return r;
    };
    // Every element off by up to 0.3 of the narrow-to-wide distance still reads.
    EXPECT_EQ(nearest_colour_pattern(runsOf({14, 8, 12, 16, 10, 24, 26}), 0, 7, split, patterns, 0, 3), 0);
    EXPECT_EQ(nearest_colour_pattern(runsOf({10, 10, 10, 26, 14, 10, 30}), 0, 7, split, patterns, 0, 3), 2);
    // Two elements half way between narrow and wide: two patterns fit alike, no reading.
    EXPECT_EQ(nearest_colour_pattern(runsOf({10, 10, 10, 10, 20, 30, 20}), 0, 7, split, patterns, 0, 3), -1);
    // An element far from both of its classes: nothing fits.
    EXPECT_EQ(nearest_colour_pattern(runsOf({10, 10, 10, 10, 10, 60, 30}), 0, 7, split, patterns, 0, 3), -1);
    // Only the patterns from `from` to `to` are candidates.
    EXPECT_EQ(nearest_colour_pattern(runsOf({10, 10, 10, 10, 10, 30, 30}), 0, 7, split, patterns, 1, 3), -1);
}

TEST(ColourSplit, ACharacterWhoseOwnWidthsSplitClearlyIsJudgedByThem) {
    // The start letter next to the quiet zone prints its bars 6 units thicker than the
    // characters beside it: a narrow bar (16) lies past the middle of the symbol's split.
    const RunList runs =
        codabar_runs("D0123456789A", 2.5, [](int k, bool bar, bool) { return bar ? (k == 0 ? 2 : -4) : 4; });
    const auto around = colour_split(runs, 1, runs.size() - 2, 7, 1);
    ASSERT_TRUE(around.has_value());
    const ColourSplit own = character_split(runs, 1, 7, *around);
    EXPECT_NEAR(own.narrow[1], 12, 0.01);  // its own bars: 12, 12, 27, 12
    EXPECT_NEAR(own.wide[1], 27, 0.01);
    // Spaces of a ":" are all narrow: no split of their own, the widths around stand.
    const RunList colon = codabar_runs("A:B", 2.5);
    const ColourSplit kept = character_split(colon, 9, 7, *around);
    EXPECT_EQ(kept.narrow[0], around->narrow[0]);
    EXPECT_EQ(kept.wide[0], around->wide[0]);
}

TEST(CodabarByColour, InkThatDiffersByColourAndDriftsReadsWithASecondLineAsked) {
    // Bars thin and spaces wide in the middle, bars thick at the two ends: as printed and with
    // one gain for the whole symbol the keys fail; by colour the text is read, and the reading
    // waits for a second line.
    const std::string text = "C0123456789-$:/.+D";
    const int last = static_cast<int>(text.size()) - 1;
    const RunList runs = codabar_runs(text, 2.5, [last](int k, bool bar, bool wide) {
        const int edge = (k == 0 || k == last) ? 7 : 0;
        return bar ? -6 + edge + (wide ? 2 : 0) : 6 - edge;
    });
    Decoded out;
    ASSERT_EQ(read_codabar(runs, out), ReadOutcome::Read);
    EXPECT_EQ(out.text, text);
    EXPECT_TRUE(out.needsSecondLine);

    // The same symbol printed clean is read by its keys and needs no second line.
    Decoded clean;
    ASSERT_EQ(read_codabar(codabar_runs(text, 2.5), clean), ReadOutcome::Read);
    EXPECT_EQ(clean.text, text);
    EXPECT_FALSE(clean.needsSecondLine);
}

TEST(CodabarByColour, ACharacterInDoubtOrALetterInsideIsNoReading) {
    // One wide space of the "5" thinned to half way: the character fits two patterns alike.
    const RunList doubt = codabar_runs("A0123456789B", 2.5, [](int k, bool bar, bool wide) {
        if (k == 6 && !bar && wide) return -8;
        return bar ? -4 : 4;
    });
    Decoded out;
    EXPECT_EQ(read_codabar(doubt, out), ReadOutcome::Rejected);
    // A letter inside the symbol.
    const RunList letter = codabar_runs("A01C23B", 2.5, [](int, bool bar, bool) { return bar ? -4 : 4; });
    EXPECT_EQ(read_codabar(letter, out), ReadOutcome::Rejected);
}

// The runs of 2 of 5 digits (pairs) with every bar `spread` units wider and every space as much
// narrower, wide elements three narrow ones.
RunList interleaved_runs(const std::string& digits, int spread) {
    static const char* patterns[10] = {"11221", "21112", "12112", "22111", "11212",
                                       "21211", "12211", "11122", "21121", "12121"};
    RunList list;
    list.runs.push_back(stripescan::Run{0, 0, kQuietUnits, kWhite});
    auto add = [&](int modules, bool bar) {
        list.runs.push_back(
            stripescan::Run{0, 0, modules * kNarrow + (bar ? spread : -spread), bar ? kBlack : kWhite});
    };
    for (int k = 0; k < 4; ++k) add(1, k % 2 == 0);
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        const char* a = patterns[digits[i] - '0'];
        const char* b = patterns[digits[i + 1] - '0'];
        for (int e = 0; e < 5; ++e) {
            add(a[e] == '2' ? 3 : 1, true);
            add(b[e] == '2' ? 3 : 1, false);
        }
    }
    add(3, true);
    add(1, false);
    add(1, true);
    list.runs.push_back(stripescan::Run{0, 0, kQuietUnits, kWhite});
    return list;
}

TEST(InterleavedSpread, AStartSpreadByTwoFifthsOfANarrowIsFoundOnlyWhereADigitPairFollows) {
    // Bars 14 units and narrow spaces 6: the printed key of the four narrow elements fails.
    const Symbology& itf = *find_symbology(kInterleaved2of5);
    const RunList spread = interleaved_runs("1234567890", 4);
    EXPECT_TRUE(find_pattern(itf, spread, 1, PatternFit::AfterQuietZone).has_value());
    // Met from the other end: the stop, read backwards.
    RunList backwards = spread;
    int first = 0, last = backwards.size() - 1;
    reverse_runs(backwards, first, last);
    EXPECT_TRUE(find_pattern(itf, backwards, 1, PatternFit::AfterQuietZone).has_value());
    // The same four elements followed by bars of other widths (another symbol's bars).
    RunList alone = spread;
    for (int k = 5; k < 15; ++k) alone.runs[static_cast<std::size_t>(k)].length = 10 + 3 * (k % 4);
    EXPECT_FALSE(find_pattern(itf, alone, 1, PatternFit::AfterQuietZone).has_value());
    // The whole line reads.
    Decoded out;
    LineSymbol where;
    double quiet = 0;
    ASSERT_TRUE(decode_line(itf, ReadOptions{}, spread, quiet, out, where));
    EXPECT_EQ(out.text, "1234567890");
}

TEST(InterleavedByColour, AThinnedNarrowBarReadsWithASecondLineAsked) {
    // Bars 14 and 34 units, spaces 6 and 26; the second bar of the first digit ("1", 21112)
    // thinned to 4, as a local threshold eats thin bars: the digit's own widths no longer split
    // tighter on either side than across the gap, so its key fails. Judged against the pairs
    // around (and its own clear split), the thin bar is narrow.
    RunList runs = interleaved_runs("1234567890", 4);
    runs.runs[7].length = 4;
    const Symbology& itf = *find_symbology(kInterleaved2of5);
    Decoded out;
    ASSERT_EQ(itf.read(SymbolCursor(runs, 1, runs.size() - 2), itf, ReadOptions{}, out), ReadOutcome::Read);
    EXPECT_EQ(out.text, "1234567890");
    EXPECT_TRUE(out.needsSecondLine);
    // A narrow and a wide space of one digit printed alike: two patterns fit, no reading.
    RunList doubt = interleaved_runs("1234567890", 4);
    doubt.runs[6].length = 16;  // the spaces of "2" (12112): its first, narrow, widened
    doubt.runs[8].length = 16;  // and its second, wide, narrowed to the same width
    EXPECT_EQ(itf.read(SymbolCursor(doubt, 1, doubt.size() - 2), itf, ReadOptions{}, out),
              ReadOutcome::Rejected);
}

// The runs of a Code 39 start "*", an "A" and the stop, narrow 10 and wide 25 units, with bars
// `bars` units wider and spaces as much narrower, and the first bar `first` units wider still.
RunList code39_runs(int bars, int first) {
    const char* star = "121121211";
    const char* a = "211112112";
    RunList list;
    list.runs.push_back(stripescan::Run{0, 0, kQuietUnits, kWhite});
    for (const char* p : {star, a, star}) {
        if (p != star || list.size() > 1) list.runs.push_back(stripescan::Run{0, 0, 10 - bars, kWhite});
        for (int e = 0; e < 9; ++e) {
            const bool bar = e % 2 == 0;
            list.runs.push_back(
                stripescan::Run{0, 0, (p[e] == '2' ? 25 : 10) + (bar ? bars : -bars), bar ? kBlack : kWhite});
        }
    }
    list.runs.push_back(stripescan::Run{0, 0, kQuietUnits, kWhite});
    list.runs[1].length += first;
    return list;
}

TEST(Code39ByColour, AStartWhoseFirstBarTookMoreInkIsFoundAfterAQuietZone) {
    // Bars thinned by 8 units and spaces widened by 8: narrow spaces (18) print wider than wide
    // bars (17), so neither key reads the start; by colour it reads. The first bar, next to the
    // white, prints 6 units thicker (8), still nearer the narrow bars than the wide ones.
    const Symbology& code39 = *find_symbology(kCode39);
    const RunList runs = code39_runs(-8, 6);
    EXPECT_TRUE(find_pattern(code39, runs, 1, PatternFit::AfterQuietZone).has_value());
    // Without the quiet zone before it, the same runs are no start.
    RunList inside = runs;
    inside.runs[0].length = 20;
    EXPECT_FALSE(find_pattern(code39, inside, 1, PatternFit::AfterQuietZone).has_value());
    // A first bar nearer the wide bars (17) than the narrow ones (2) but still under them is
    // taken: a local threshold prints the bar next to the quiet zone that much thicker, and no
    // other character differs from the start in that bar alone. One as wide as the wide bars or
    // wider is no narrow bar.
    EXPECT_TRUE(find_pattern(code39, code39_runs(-8, 12), 1, PatternFit::AfterQuietZone).has_value());
    EXPECT_FALSE(find_pattern(code39, code39_runs(-8, 16), 1, PatternFit::AfterQuietZone).has_value());
}

}  // namespace
}  // namespace stripescan
