// Reading what the exact rules refuse: codewords by the nearest valid pattern, and start and stop
// patterns by their pair sums. The oracle is the pattern list itself (the generated tables).
#include <gtest/gtest.h>

#include <random>

#include "barcode/pdf417/codeword_reader.h"
#include "barcode/pdf417/codeword_tables.h"
#include "barcode/pdf417/patterns.h"

using namespace pdf417;

namespace {

// The pair sums t1..t6 of a table key.
void key_sums(int32_t key, double t[6]) {
    for (int i = 5; i >= 0; --i, key /= 10) t[i] = key % 10;
}

}  // namespace

TEST(NearestCodeword, EveryPatternIsItsOwnNearestAndSmallNoiseKeepsIt) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> noise(-0.12, 0.12);
    for (int cluster : {0, 3, 6}) {
        const CodewordEntry* table = cluster_table(cluster);
        for (int i = 0; i < 929; ++i) {
            double t[6];
            key_sums(table[i].key, t);
            Codeword cw = nearest_codeword(t, cluster);
            ASSERT_EQ(cw.value, table[i].value) << "cluster " << cluster << " key " << table[i].key;
            ASSERT_EQ(cw.cluster, cluster);
            for (double& v : t) v += noise(rng);
            cw = nearest_codeword(t, -1);
            ASSERT_EQ(cw.value, table[i].value)
                << "with noise, cluster " << cluster << " key " << table[i].key;
        }
    }
}

TEST(NearestCodeword, AmbiguousOrFarSumsAreNoCodeword) {
    // Halfway between two patterns of the table, and far from every pattern: nothing is guessed.
    int ambiguous = 0, far = 0;
    for (int cluster : {0, 3, 6}) {
        const CodewordEntry* table = cluster_table(cluster);
        for (int i = 0; i < 929; i += 5) {
            double t[6];
            key_sums(table[i].key, t);
            // t3 and t4 leave the cluster unchanged: move t3 half a module towards its neighbour.
            double half[6] = {t[0], t[1], t[2] + 0.5, t[3], t[4], t[5]};
            int32_t neighbour = table[i].key + 1000;  // t3 + 1
            if (lookup_codeword(cluster, neighbour) >= 0) {
                EXPECT_EQ(nearest_codeword(half, -1).value, -1) << "key " << table[i].key;
                ++ambiguous;
            }
            double off[6] = {t[0] + 0.45, t[1] - 0.45, t[2] + 0.45, t[3] - 0.45, t[4] + 0.45, t[5] - 0.45};
            const Codeword cw = nearest_codeword(off, -1);
            EXPECT_TRUE(cw.value < 0) << "key " << table[i].key << " read as " << cw.value;
            ++far;
        }
    }
    EXPECT_GT(ambiguous, 50);
    EXPECT_GT(far, 500);
}

TEST(NearestCodeword, APatternOfAnotherClusterIsNotTakenForTheRowsCluster) {
    const CodewordEntry* table = cluster_table(3);
    for (int i = 0; i < 929; i += 11) {
        double t[6];
        key_sums(table[i].key, t);
        EXPECT_EQ(nearest_codeword(t, 0).value, -1);
        EXPECT_EQ(nearest_codeword(t, 6).value, -1);
        EXPECT_EQ(nearest_codeword(t, 3).value, table[i].value);
    }
}

TEST(NearestCodeword, PairSumsAreNormalisedToSeventeenModules) {
    // A pattern drawn at 3 px per module with every bar one pixel wider: the pair sums stay whole.
    const int modules[8] = {3, 1, 1, 2, 5, 1, 2, 2};
    int e[8];
    for (int i = 0; i < 8; ++i) e[i] = 3 * modules[i] + (i % 2 == 0 ? 1 : -1);
    double t[6];
    ASSERT_TRUE(pair_sums(e, t));
    for (int i = 0; i < 6; ++i) EXPECT_DOUBLE_EQ(t[i], modules[i] + modules[i + 1]);
    const int zero[8] = {};
    EXPECT_FALSE(pair_sums(zero, t));
}

TEST(PatternPairs, PrintGainThatBreaksTheElementWindowsStillGivesThePattern) {
    // Start pattern at 3 px per module, every bar 2 px wider: 1-module spaces are 1 px, the
    // widest bar 26 px, beyond the 20x window of the element test.
    const int startModules[8] = {8, 1, 1, 1, 1, 1, 1, 3};
    std::vector<int> w{10};
    for (int i = 0; i < 8; ++i) w.push_back(3 * startModules[i] + (i % 2 == 0 ? 2 : -2));
    w.push_back(10);
    const int n = static_cast<int>(w.size());
    EXPECT_TRUE(matches_pattern(w.data(), n, 1, PatternKind::Start, PatternWindows::Search));
    EXPECT_FALSE(matches_pattern(w.data(), n, 1, PatternKind::Start, PatternWindows::Orientation));
    EXPECT_TRUE(matches_pattern(w.data(), n, 1, PatternKind::Start, PatternWindows::OrientationPairs));
    // The same widths as a stop pattern, or with a 1-module space grown to 3 modules, are not.
    EXPECT_FALSE(matches_pattern(w.data(), n, 1, PatternKind::Stop, PatternWindows::Search));
    w[4] += 6;
    EXPECT_FALSE(matches_pattern(w.data(), n, 1, PatternKind::Start, PatternWindows::Search));

    // Stop pattern (7 1 1 3 1 1 1 2 1) starved by 1 px, read backwards.
    const int stopModules[9] = {7, 1, 1, 3, 1, 1, 1, 2, 1};
    std::vector<int> s{10};
    for (int i = 8; i >= 0; --i) s.push_back(3 * stopModules[i] + (i % 2 == 0 ? -1 : 1));
    s.push_back(10);
    EXPECT_TRUE(matches_pattern(s.data(), static_cast<int>(s.size()), 9, PatternKind::ReversedStop,
                                PatternWindows::Search));
}
