// Cells that no line decoded, read from the darkness profile summed over the lines that crossed
// them. The oracle is the pattern list (the generated tables): profiles are drawn from a
// pattern's element widths, spoilt on some lines, and must read back as that pattern or not at
// all.
#include <gtest/gtest.h>

#include <vector>

#include "barcode/pdf417/codeword_tables.h"
#include "barcode/pdf417/symbol_reader.h"
#include "barcode/pdf417/workspace.h"

using namespace pdf417;

namespace {

constexpr int kBinsPerModule = kProfileBins / 17;

// The element widths (modules) of a table key: pair sums t1..t6 fix every width once the first
// is chosen; the first is the one that gives 8 widths of 1 to 6 modules summing to 17.
std::vector<int> widths_of(int32_t key) {
    int t[6];
    for (int i = 5; i >= 0; --i, key /= 10) t[i] = key % 10;
    for (int first = 1; first <= 6; ++first) {
        std::vector<int> e{first};
        int sum = first;
        bool ok = true;
        for (int i = 0; i < 6 && ok; ++i) {
            e.push_back(t[i] - e.back());
            sum += e.back();
            ok = e.back() >= 1 && e.back() <= 6;
        }
        e.push_back(17 - sum);
        if (ok && e.back() >= 1 && e.back() <= 6) return e;
    }
    return {};
}

// One line's darkness over the cell: 1 in bars, 0 in spaces, the whole drawn `shift` bins late
// (the bins beyond the codeword are the next codeword's first bar).
std::vector<float> line_profile(const std::vector<int>& e, int shift = 0) {
    std::vector<float> bins;
    for (std::size_t k = 0; k < e.size(); ++k)
        for (int b = 0; b < e[k] * kBinsPerModule; ++b) bins.push_back(k % 2 == 0 ? 1.0f : 0.0f);
    bins.erase(bins.begin(), bins.begin() + shift);
    while (static_cast<int>(bins.size()) < kProfileBins) bins.push_back(1.0f);
    return bins;
}

// Adds `lines` to the profile of start-side cell (0, 2), the only cell of a 1 x 1 symbol.
void add_lines(Workspace& ws, const std::vector<std::vector<float>>& lines) {
    Cell& cell = ws.startSide.cell[0][2];
    cell.profile = static_cast<int16_t>(ws.profileCount++);
    for (int b = 0; b < kProfileBins; ++b) ws.profile[cell.profile][b] = 0;
    for (const auto& line : lines) {
        for (int b = 0; b < kProfileBins; ++b)
            ws.profile[cell.profile][b] += line[static_cast<std::size_t>(b)];
        ++cell.profiles;
    }
}

// The codeword the merge reads for that cell, or -1 for an erasure.
int merged(Workspace& ws) {
    const SymbolShape shape{1, 1, 0};
    return merge_grids(ws, shape) == 0 ? ws.codewords[0] : -1;
}

}  // namespace

TEST(CellProfile, ProfilesOfEveryFewthPatternReadBackEvenAQuarterModuleOff) {
    const CodewordEntry* table = cluster_table(0);
    for (int i = 0; i < 929; i += 7) {
        const std::vector<int> e = widths_of(table[i].key);
        ASSERT_EQ(e.size(), 8u) << table[i].key;
        Workspace& ws = workspace();
        ws.clear();
        add_lines(ws, {line_profile(e), line_profile(e)});
        EXPECT_EQ(merged(ws), table[i].value) << "key " << table[i].key;
        ws.clear();
        add_lines(ws, {line_profile(e, 1), line_profile(e, 1)});
        EXPECT_EQ(merged(ws), table[i].value) << "a bin late, key " << table[i].key;
    }
}

TEST(CellProfile, ANarrowSpaceClosedOnOneLineOfThreeStillReads) {
    const CodewordEntry* table = cluster_table(0);
    int tried = 0;
    for (int i = 3; i < 929; i += 11) {
        const std::vector<int> e = widths_of(table[i].key);
        int space = -1;  // the first one-module space
        for (int k = 1; k < 7 && space < 0; k += 2)
            if (e[static_cast<std::size_t>(k)] == 1) space = k;
        if (space < 0) continue;
        ++tried;
        std::vector<float> closed = line_profile(e);
        int start = 0;
        for (int k = 0; k < space; ++k) start += e[static_cast<std::size_t>(k)] * kBinsPerModule;
        for (int b = start; b < start + kBinsPerModule; ++b) closed[static_cast<std::size_t>(b)] = 1.0f;
        Workspace& ws = workspace();
        ws.clear();
        add_lines(ws, {line_profile(e), closed, line_profile(e)});
        EXPECT_EQ(merged(ws), table[i].value) << "key " << table[i].key;
        // Closed on two lines of three, the space is gone from the mean: no codeword is guessed
        // from 7 elements.
        ws.clear();
        add_lines(ws, {closed, closed, line_profile(e)});
        EXPECT_EQ(merged(ws), -1) << "key " << table[i].key;
    }
    EXPECT_GT(tried, 20);
}

TEST(CellProfile, OneLineOrAProfileWithoutACodewordsShapeStaysAnErasure) {
    const std::vector<int> e = widths_of(cluster_table(0)[100].key);
    Workspace& ws = workspace();
    ws.clear();
    add_lines(ws, {line_profile(e)});
    EXPECT_EQ(merged(ws), -1) << "one line";
    // Bars and spaces of one bin each: far more than 8 elements.
    std::vector<float> stripes(kProfileBins);
    for (int b = 0; b < kProfileBins; ++b) stripes[static_cast<std::size_t>(b)] = b % 2 ? 0.0f : 1.0f;
    ws.clear();
    add_lines(ws, {stripes, stripes});
    EXPECT_EQ(merged(ws), -1) << "stripes";
    // A pattern of another cluster than the row's is not read into the row.
    const std::vector<int> other = widths_of(cluster_table(3)[100].key);
    ws.clear();
    add_lines(ws, {line_profile(other), line_profile(other)});
    EXPECT_EQ(merged(ws), -1) << "cluster 3 in row 1";
}

TEST(CellProfile, ACellReadFromItsProfileIsAsWeakAsOneReading) {
    // The retry after an uncorrectable sequence erases the weakest codewords first; a profile
    // reading must be among them, never held as firmly as a confirmed one.
    const CodewordEntry* table = cluster_table(0);
    const std::vector<int> e = widths_of(table[200].key);
    Workspace& ws = workspace();
    ws.clear();
    add_lines(ws, {line_profile(e), line_profile(e), line_profile(e)});
    ASSERT_EQ(merged(ws), table[200].value);
    EXPECT_EQ(ws.support[0], 1);
}
