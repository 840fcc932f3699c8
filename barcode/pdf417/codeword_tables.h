// Lookup tables of the 929 codeword patterns of each cluster (0, 3, 6), generated at build time.
#pragma once

#include <cstdint>

namespace pdf417 {

// One pattern: key = t1 t2 t3 t4 t5 t6 as a six-digit decimal number, where t(i) is the width
// of element i plus element i + 1 in modules; value = the codeword 0..928.
struct CodewordEntry {
    int32_t key;
    int16_t value;
};

// Sorted by key.
extern const CodewordEntry kCluster0[929];
extern const CodewordEntry kCluster3[929];
extern const CodewordEntry kCluster6[929];

// In the order of the tables above: the pattern's element widths e1..e8 in modules (bar first)
// as an eight-digit decimal number.
extern const int32_t kCluster0Widths[929];
extern const int32_t kCluster3Widths[929];
extern const int32_t kCluster6Widths[929];

// The table of cluster 0, 3 or 6; nullptr for any other cluster.
const CodewordEntry* cluster_table(int cluster);

// The widths table of cluster 0, 3 or 6; nullptr for any other cluster.
const int32_t* cluster_widths(int cluster);

// The codeword value of `key` in `cluster`, or -1 when the cluster has no such pattern.
int lookup_codeword(int cluster, int32_t key);

}  // namespace pdf417
