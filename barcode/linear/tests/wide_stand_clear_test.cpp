// Elements judged against the narrow and wide means of their colour over a read symbol: a line
// by local contrast keeps thin bars but not their widths, and a reading whose element lies
// near the middle of its colour is no reading.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "barcode/linear/symbologies/colour_split.h"

namespace stripescan {
namespace {

// Runs of the element classes of `patterns` (bar first, '1' narrow, '2' wide), a narrow space
// between them as between Code 39 characters: bars narrow 10 and wide 26 units, spaces narrow 15 and wide 30
// (a local threshold thins bars and widens spaces).
RunList runs_of(const std::vector<std::string>& patterns) {
    RunList list;
    list.unit = 1;
    for (const std::string& p : patterns) {
        if (!list.runs.empty()) list.runs.push_back(stripescan::Run{0, 0, 15, kWhite});
        for (std::size_t e = 0; e < p.size(); ++e) {
            const bool bar = list.runs.size() % 2 == 0;
            const bool wide = p[e] == '2';
            const int length = bar ? (wide ? 26 : 10) : (wide ? 30 : 15);
            list.runs.push_back(stripescan::Run{0, 0, length, bar ? kBlack : kWhite});
        }
    }
    return list;
}

std::vector<ReadCharacter> read_as(const std::vector<const char*>& patterns) {
    std::vector<ReadCharacter> read;
    int at = 0;
    for (const char* p : patterns) {
        read.push_back(ReadCharacter{at, 1, p});
        at += static_cast<int>(std::string(p).size()) + 1;
    }
    return read;
}

TEST(ElementsStandClear, EveryElementOnItsSideOfItsColourIsClear) {
    // Code 39 "*7*": each colour's widths differ, but every element is at its own class mean.
    const RunList runs = runs_of({"121121211", "111211212", "121121211"});
    EXPECT_TRUE(elements_stand_clear(runs, read_as({"121121211", "111211212", "121121211"})));
    // The same runs read as another pattern put elements far from their classes.
    EXPECT_FALSE(elements_stand_clear(runs, read_as({"121121211", "111212121", "121121211"})));
}

TEST(ElementsStandClear, AnElementNearTheMiddleOfItsColourIsInDoubt) {
    for (const auto& [element, length] : {std::pair{6, 18},     // a wide bar thinned to the middle
                                          std::pair{5, 22},     // a narrow space widened to the middle
                                          std::pair{3, 21}}) {  // a wide space narrowed
        RunList runs = runs_of({"121121211", "111211212", "121121211"});
        runs.runs[static_cast<std::size_t>(10 + element)].length = length;
        EXPECT_FALSE(elements_stand_clear(runs, read_as({"121121211", "111211212", "121121211"})))
            << "element " << element << " at " << length;
    }
    // A little off its mean is still clear.
    RunList runs = runs_of({"121121211", "111211212", "121121211"});
    runs.runs[10 + 6].length = 24;
    EXPECT_TRUE(elements_stand_clear(runs, read_as({"121121211", "111211212", "121121211"})));
}

TEST(ElementsStandClear, InterleavedDigitsAreReadEveryOtherRun) {
    // One 2 of 5 pair: "3" in the bars (22111), "8" in the spaces (21121).
    RunList runs;
    runs.unit = 1;
    const std::string bars = "22111", spaces = "21121";
    for (int k = 0; k < 5; ++k) {
        runs.runs.push_back(stripescan::Run{0, 0, bars[k] == '2' ? 26 : 10, kBlack});
        runs.runs.push_back(stripescan::Run{0, 0, spaces[k] == '2' ? 30 : 15, kWhite});
    }
    EXPECT_TRUE(elements_stand_clear(runs, {ReadCharacter{0, 2, "22111"}, ReadCharacter{1, 2, "21121"}}));
    EXPECT_FALSE(elements_stand_clear(runs, {ReadCharacter{0, 2, "21211"}, ReadCharacter{1, 2, "21121"}}));
}

TEST(ElementsStandClear, ReadingsThatCannotBeJudgedAreRefused) {
    const RunList runs = runs_of({"121121211"});
    // Past the end of the runs.
    EXPECT_FALSE(elements_stand_clear(runs, {ReadCharacter{5, 1, "121121211"}}));
    // No wide bar among the elements read: the bars have no class means.
    EXPECT_FALSE(elements_stand_clear(runs, {ReadCharacter{0, 1, "12111"}}));
    EXPECT_FALSE(elements_stand_clear(runs, {}));
    EXPECT_FALSE(elements_stand_clear(runs, {ReadCharacter{0, 1, nullptr}}));
}

}  // namespace
}  // namespace stripescan
