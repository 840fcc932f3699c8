// Edge-to-similar-edge reading: t(i) = 17 (e(i) + e(i+1)) / S to the nearer integer, which
// stays right when every bar grows or shrinks by the same amount (print gain).
#include "codeword_reader.h"

#include "codeword_tables.h"

namespace pdf417 {

Codeword read_codeword(const int *e) {
    Codeword cw;
    long s = 0;
    for (int i = 0; i < 8; ++i) s += e[i];
    cw.width = static_cast<int>(s);
    if (s <= 0) return cw;
    int t[6];
    int key = 0;
    for (int i = 0; i < 6; ++i) {
        t[i] = static_cast<int>((s + 34L * (e[i] + e[i + 1])) / (2 * s));
        if (t[i] < 1 || t[i] > 9) return cw;
        key = key * 10 + t[i];
    }
    int cluster = ((t[0] - t[1] + t[4] - t[5]) % 9 + 9) % 9;
    if (cluster != 0 && cluster != 3 && cluster != 6) return cw;
    int value = lookup_codeword(cluster, key);
    if (value < 0) return cw;
    cw.value = value;
    cw.cluster = cluster;
    return cw;
}

}  // namespace pdf417
