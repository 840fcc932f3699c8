// Bisection in the generated pattern tables.
#include "barcode/pdf417/codeword_tables.h"

namespace pdf417 {

namespace {

// 0, 1 or 2 for the clusters 0, 3 and 6; -1 for any other.
int table_index(int cluster) {
    return cluster == 0 ? 0 : cluster == 3 ? 1 : cluster == 6 ? 2 : -1;
}

}  // namespace

const CodewordEntry* cluster_table(int cluster) {
    static const CodewordEntry* const tables[] = {kCluster0, kCluster3, kCluster6};
    const int i = table_index(cluster);
    return i < 0 ? nullptr : tables[i];
}

const int32_t* cluster_widths(int cluster) {
    static const int32_t* const widths[] = {kCluster0Widths, kCluster3Widths, kCluster6Widths};
    const int i = table_index(cluster);
    return i < 0 ? nullptr : widths[i];
}

int lookup_codeword(int cluster, int32_t key) {
    const CodewordEntry* table = cluster_table(cluster);
    if (!table) return -1;
    int lo = 0, hi = 928;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        if (table[mid].key == key) return table[mid].value;
        if (table[mid].key < key)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return -1;
}

}  // namespace pdf417
