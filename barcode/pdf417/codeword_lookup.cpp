// Bisection in the generated pattern tables.
#include "barcode/pdf417/codeword_tables.h"

namespace pdf417 {

const CodewordEntry* cluster_table(int cluster) {
    switch (cluster) {
        case 0:
            return kCluster0;
        case 3:
            return kCluster3;
        case 6:
            return kCluster6;
        default:
            return nullptr;
    }
}

const int32_t* cluster_widths(int cluster) {
    switch (cluster) {
        case 0:
            return kCluster0Widths;
        case 3:
            return kCluster3Widths;
        case 6:
            return kCluster6Widths;
        default:
            return nullptr;
    }
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
