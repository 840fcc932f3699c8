// EAN/UPC digits that one line of a fan cannot tell from their pair, settled by the digits the
// earlier lines of the same fan read firmly; and a local-threshold photo whose extent once
// stopped at a dotted row, so that the symbol was reported twice. The run lists are drawn from
// the published digit patterns; check digits were worked out by hand (weights 3 and 1 from the
// right).

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "barcode/linear/bitmap_io.h"
#include "barcode/linear/decode_bitmap.h"
#include "barcode/linear/symbologies/ean_lines.h"
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

// Element edges of a symbol: guards of single modules, digits by their set A widths (read
// backwards for set B; set C prints set A's widths bar first). Digits whose place (0 = first
// digit drawn) is in `halfway` lie halfway between their own widths and their pair's, where no
// line can tell which of the two they are.
struct Drawing {
    std::vector<double> edges{0};
    void guard(int count) {
        for (int k = 0; k < count; ++k) edges.push_back(edges.back() + 1);
    }
    void digit(int d, bool backwards, bool halfway) {
        auto widths = [&](int v) {
            std::string w = kSetA[v];
            if (backwards) std::reverse(w.begin(), w.end());
            return w;
        };
        for (std::size_t e = 0; e < 4; ++e) {
            double w = widths(d)[e] - '0';
            if (halfway) w = (w + (widths(kPartner[d])[e] - '0')) / 2;
            edges.push_back(edges.back() + w);
        }
    }
    RunList runs() const { return runs_from_edges(edges, kModulePx, kUnit, kQuietModules); }
};

bool listed(std::initializer_list<int> places, int k) {
    return std::find(places.begin(), places.end(), k) != places.end();
}

// EAN-8 of its 8 digits: four in set A, the centre guard, four in set C.
RunList ean8(const std::string& text, std::initializer_list<int> halfway = {}) {
    Drawing d;
    d.guard(3);
    for (int k = 0; k < 8; ++k) {
        if (k == 4) d.guard(5);
        d.digit(text[static_cast<std::size_t>(k)] - '0', false, listed(halfway, k));
    }
    d.guard(3);
    return d.runs();
}

// UPC-E of its eight digits (number system 0, six digits, check); places 0..5 of the six.
RunList upce(const std::string& text, std::initializer_list<int> halfway = {}) {
    static const char* const parity[10] = {"BBBAAA", "BBABAA", "BBAABA", "BBAAAB", "BABBAA",
                                           "BAABBA", "BAAABB", "BABABA", "BABAAB", "BAABAB"};
    Drawing d;
    d.guard(3);
    for (int k = 0; k < 6; ++k)
        d.digit(text[static_cast<std::size_t>(k) + 1] - '0', parity[text[7] - '0'][k] == 'B',
                listed(halfway, k));
    d.guard(6);
    return d.runs();
}

// The lines of one fan, read one after the other.
struct Fan {
    EanFanLines lines;
    std::string read(int number, const RunList& runs, bool contrastLine = false) {
        return read_runs(number, runs, 1, contrastLine, &lines);
    }
};

TEST(EanFanLines, AnErasureIsSettledByTheDigitAnEarlierLineReadFirmly) {
    // 7031456 4: the 7 (weight 3) and the 1 (weight 1) both in doubt; of their four choices only
    // the text passes, but two erasures are more than the check settles alone; with a line that
    // read the 1 settling it, the check settles the 7.
    const std::string text = "70314564";
    Fan alone;
    EXPECT_EQ(alone.read(kEan8, ean8(text, {0, 3})), "(none)");
    Fan fan;
    EXPECT_EQ(fan.read(kEan8, ean8(text, {0})), text);
    EXPECT_EQ(fan.read(kEan8, ean8(text, {0, 3})), text);
    // 7013456 8: the 7 and the 1 stand at places of one weight, and 7 -> 1 with 1 -> 7 passes as
    // well: the check settles neither; a line that read both firmly does.
    const std::string tied = "70134568";
    EXPECT_EQ(alone.read(kEan8, ean8(tied, {0, 2})), "(none)");
    Fan tiedFan;
    EXPECT_EQ(tiedFan.read(kEan8, ean8(tied)), tied);
    EXPECT_EQ(tiedFan.read(kEan8, ean8(tied, {0, 2})), tied);
    // UPC-E 0317496 8: the 1 and the 7 in doubt, then also settled by a line that read the 7.
    Fan upcFan;
    EXPECT_EQ(upcFan.read(kUpcE, upce("03174968", {1})), "03174968");
    EXPECT_EQ(upcFan.read(kUpcE, upce("03174968", {1, 2})), "03174968");
}

TEST(EanFanLines, OnlyLinesOfTheSameSymbolThatPassTheirCheckVouch) {
    const std::string text = "70134568";
    // A line of another symbol (one digit and the check digit differ) reads the 7 and the 1 too.
    Fan other;
    EXPECT_EQ(other.read(kEan8, ean8("70134667")), "70134667");
    EXPECT_EQ(other.read(kEan8, ean8(text, {0, 2})), "(none)");
    // A line that read the 1 as a 7 fails its check and is not kept: it cannot stand against
    // the line that read it right, nor settle it wrong alone.
    Fan wrong;
    EXPECT_EQ(wrong.read(kEan8, ean8("70734568")), "(none)");
    EXPECT_EQ(wrong.lines.size(), 0u);
    EXPECT_EQ(wrong.read(kEan8, ean8(text, {0, 2})), "(none)");
    EXPECT_EQ(wrong.read(kEan8, ean8(text)), text);
    EXPECT_EQ(wrong.read(kEan8, ean8(text, {0, 2})), text);
    // Lines whose edges follow the local contrast hold no erasure, whatever the fan read.
    EXPECT_EQ(wrong.read(kEan8, ean8(text, {2}), true), "(none)");
}

TEST(EanFanLines, ConflictingFirmReadingsSettleNothing) {
    // Two kept lines, each passing its check, read place 3 as 1 and as 7 (their check digits
    // differ too, where a line in doubt at 3 and at the check digit agrees with both).
    EanFanLines lines;
    auto line = [](std::vector<int> values) {
        EanLineDigits l;
        l.symbology = kEan8;
        l.values = values;
        l.firm.assign(values.size(), true);
        l.sets.assign(values.size(), EanSet::A);
        return l;
    };
    lines.add(line({7, 0, 3, 1, 4, 5, 6, 4}));
    EXPECT_EQ(lines.settled(line({7, 0, 3, -1, 4, 5, 6, -1}))[3], 1);
    lines.add(line({7, 0, 3, 7, 4, 5, 6, 7}));
    EXPECT_EQ(lines.settled(line({7, 0, 3, -1, 4, 5, 6, -1}))[3], -1);
    // A reading that is not firm settles nothing.
    EanFanLines loose;
    EanLineDigits l = line({7, 0, 3, 1, 4, 5, 6, 4});
    l.firm[3] = false;
    loose.add(l);
    EXPECT_EQ(loose.settled(line({7, 0, 3, -1, 4, 5, 6, 4}))[3], -1);
}

TEST(EanFanLines, APairDigitConfirmedByAnEarlierLineNoLongerRefusesTheErasure) {
    // 7314562 2: the 7 in doubt shares weight 3 with the 1 and the 2, so the check alone may not
    // settle it; once an earlier line read the 1 and the 2 the same, firmly, it may.
    const std::string text = "73145622";
    Fan alone;
    EXPECT_EQ(alone.read(kEan8, ean8(text, {0})), "(none)");
    Fan fan;
    EXPECT_EQ(fan.read(kEan8, ean8(text)), text);
    EXPECT_EQ(fan.read(kEan8, ean8(text, {0})), text);
    // A line that itself was in doubt at the 1 confirms nothing there.
    Fan doubt;
    EXPECT_EQ(doubt.read(kEan8, ean8(text, {0, 2})), "(none)");
    EXPECT_EQ(doubt.read(kEan8, ean8(text, {0})), "(none)");
}

TEST(EanPhotoPages, ALocalThresholdPhotoWithDottedRowsIsReportedOnce) {
    Bitmap bitmap{};
    ASSERT_EQ(read_bitmap_file(bitmap, STRIPESCAN_TEST_DATA "/ean8-photo-twice.bmp"), STRIPESCAN_OK);
    SymbologySetting settings[8] = {};
    for (int s = 0; s < 8; ++s) settings[s].symbology = s + 1;
    const DecodeRequest request{settings, 8, 0, STRIPESCAN_BOTH_DIRECTIONS, STRIPESCAN_MIN_SIZE};
    BarcodeResultList list{};
    EXPECT_EQ(decode_bitmap(bitmap, request, list), STRIPESCAN_OK);
    ASSERT_EQ(list.count, 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(list.results[0].text),
                          static_cast<std::size_t>(list.results[0].length)),
              "7134518");
    free_results(list);
    free_bitmap(bitmap);
}

}  // namespace
}  // namespace stripescan
