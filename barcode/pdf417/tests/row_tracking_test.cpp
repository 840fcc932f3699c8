// Which row a codeword of a given cluster belongs to, seen from the row a line is in.
#include <gtest/gtest.h>

#include "barcode/pdf417/symbol_reader.h"

namespace pdf417 {
namespace {

TEST(RowTracking, RowsCycleThroughTheThreeClusters) {
    EXPECT_EQ(row_cluster(1), 0);
    EXPECT_EQ(row_cluster(2), 3);
    EXPECT_EQ(row_cluster(3), 6);
    EXPECT_EQ(row_cluster(4), 0);
    EXPECT_EQ(row_cluster(90), 6);
}

TEST(RowTracking, EachClusterNamesOneOfTheRowAboveTheRowAndTheRowBelow) {
    for (int row = 1; row <= 90; ++row) {
        EXPECT_EQ(neighbour_row(row, row_cluster(row)), row);
        EXPECT_EQ(neighbour_row(row, row_cluster(row + 1)), row + 1);
        if (row > 1) {
            EXPECT_EQ(neighbour_row(row, row_cluster(row - 1)), row - 1);
        }
    }
    // Above the first row there is none: the caller gets row 0 and must not place it.
    EXPECT_EQ(neighbour_row(1, 6), 0);
}

TEST(RowTracking, ClustersOutsideZeroThreeAndSixNameNoRow) {
    for (int cluster : {-1, 1, 2, 4, 5, 7, 8, 9}) EXPECT_EQ(neighbour_row(5, cluster), -1) << cluster;
}

}  // namespace
}  // namespace pdf417
