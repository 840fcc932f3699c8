#include "barcode/pdf417/codeword_tables.h"

#include <gtest/gtest.h>

#include <set>

using namespace pdf417;

TEST(CodewordTables, EachClusterHoldsEveryValueOnceSortedByKey) {
    for (int cluster : {0, 3, 6}) {
        const CodewordEntry* t = cluster_table(cluster);
        ASSERT_NE(t, nullptr);
        std::set<int> values;
        for (int i = 0; i < 929; ++i) {
            values.insert(t[i].value);
            if (i) {
                EXPECT_LT(t[i - 1].key, t[i].key);
            }
            // Rebuild the widths from the key: t1..t6 with e1 + ... + e8 = 17 and the cluster rule.
            int digits[6], k = t[i].key;
            for (int d = 5; d >= 0; --d, k /= 10) digits[d] = k % 10;
            int bars = digits[0] - digits[1] + digits[4] - digits[5];  // e1 - e3 + e5 - e7
            EXPECT_EQ(((bars % 9) + 9) % 9, cluster);
            EXPECT_EQ(lookup_codeword(cluster, t[i].key), t[i].value);
        }
        EXPECT_EQ(values.size(), 929u);
        EXPECT_EQ(*values.begin(), 0);
        EXPECT_EQ(*values.rbegin(), 928);
    }
    EXPECT_EQ(cluster_table(1), nullptr);
    EXPECT_EQ(lookup_codeword(3, 999999), -1);
    EXPECT_EQ(lookup_codeword(4, kCluster0[0].key), -1);
}

TEST(CodewordTables, KnownPatterns) {
    // Cluster 0, value 0: 3 1 1 1 1 1 3 6 -> t = 4 2 2 2 2 4
    EXPECT_EQ(lookup_codeword(0, 422224), 0);
}
