// Exact reading, edge to similar edge: t(i) = 17 (e(i) + e(i+1)) / S to the nearer integer, which
// stays right when every bar grows or shrinks by the same amount (print gain).
//
// At two or three pixels per module a pair sum is often one pixel off and lands near the
// middle between two module counts. Such a pair is read both ways: the codeword is taken only
// when exactly one of the readings is a codeword of the tables, so a near-tie is never turned
// into a confident wrong value.
//
// Nearest reading, for codewords the exact reading cannot take (blur, a pixel lost or gained at
// small modules): the valid pattern nearest to the measured pair sums, taken only with a clear
// margin over every other pattern; an ambiguous codeword stays unread, so that it becomes an
// erasure rather than an error.
#include "barcode/pdf417/codeword_reader.h"

#include <cmath>
#include <cstdlib>

#include "barcode/pdf417/codeword_tables.h"

namespace pdf417 {
namespace {

constexpr double kTieBand = 0.25;  // pairs within this many modules of a half are read both ways
constexpr int kMaxTies = 4;        // more near-ties than this: no codeword

// The codeword of t[0..5], or -1; its cluster in *cluster.
int lookup(const int* t, int* cluster) {
    int key = 0;
    for (int i = 0; i < 6; ++i) {
        if (t[i] < 1 || t[i] > 9) return -1;
        key = key * 10 + t[i];
    }
    int c = ((t[0] - t[1] + t[4] - t[5]) % 9 + 9) % 9;
    if (c != 0 && c != 3 && c != 6) return -1;
    *cluster = c;
    return lookup_codeword(c, key);
}

}  // namespace

Codeword read_codeword(const int* e) {
    Codeword cw;
    long s = 0;
    for (int i = 0; i < 8; ++i) s += e[i];
    cw.width = static_cast<int>(s);
    if (s <= 0) return cw;
    int t[6], alt[6], ties[6];
    int tieCount = 0;
    for (int i = 0; i < 6; ++i) {
        const long pair = e[i] + e[i + 1];
        t[i] = static_cast<int>((s + 34L * pair) / (2 * s));
        // Position of 17 pair / S between t - 0.5 and t + 0.5.
        const double exact = 17.0 * static_cast<double>(pair) / static_cast<double>(s);
        const double offset = exact - t[i];
        alt[i] = offset >= 0 ? t[i] + 1 : t[i] - 1;
        if (offset >= 0.5 - kTieBand || offset <= -(0.5 - kTieBand)) ties[tieCount++] = i;
    }
    if (tieCount > kMaxTies) return cw;

    int found = 0, value = -1, cluster = -1;
    for (int mask = 0; mask < (1 << tieCount); ++mask) {
        int trial[6];
        for (int i = 0; i < 6; ++i) trial[i] = t[i];
        for (int k = 0; k < tieCount; ++k)
            if (mask & (1 << k)) trial[ties[k]] = alt[ties[k]];
        int c = -1;
        int v = lookup(trial, &c);
        if (v < 0) continue;
        if (++found > 1) return cw;
        value = v;
        cluster = c;
    }
    if (found == 1) {
        cw.value = value;
        cw.cluster = cluster;
    }
    return cw;
}

bool pair_sums(const int* e, double t[6]) {
    long s = 0;
    for (int i = 0; i < 8; ++i) s += e[i];
    if (s <= 0) return false;
    for (int i = 0; i < 6; ++i) t[i] = 17.0 * static_cast<double>(e[i] + e[i + 1]) / static_cast<double>(s);
    return true;
}

// Every pattern whose pair sums differ from `t` by less than one module in each place is one of
// the 64 combinations of the nearer and the next whole number of each sum; any other pattern
// differs by at least one module in some place, so lies at a squared distance of 1 or more.
Codeword nearest_codeword(const double t[6], int cluster) {
    constexpr double kOutsideDistance = 1.0;
    Codeword cw;
    int nearer[6], next[6];
    for (int i = 0; i < 6; ++i) {
        if (!(t[i] > 0.0 && t[i] < 17.0)) return cw;
        nearer[i] = static_cast<int>(std::lround(t[i]));
        next[i] = t[i] >= nearer[i] ? nearer[i] + 1 : nearer[i] - 1;
    }
    double best = kOutsideDistance, second = kOutsideDistance;
    int bestValue = -1, bestCluster = -1;
    for (int mask = 0; mask < 64; ++mask) {
        int trial[6];
        double d = 0;
        for (int i = 0; i < 6; ++i) {
            trial[i] = (mask >> i) & 1 ? next[i] : nearer[i];
            d += (t[i] - trial[i]) * (t[i] - trial[i]);
        }
        if (d >= second) continue;
        int c = -1;
        const int v = lookup(trial, &c);
        if (v < 0) continue;
        if (d < best) {
            second = best;
            best = d;
            bestValue = v;
            bestCluster = c;
        } else {
            second = d;
        }
    }
    if (bestValue < 0 || best > kNearestMaxDistance || second - best < kNearestMargin) return cw;
    if ((cluster == 0 || cluster == 3 || cluster == 6) && bestCluster != cluster) return cw;
    cw.value = bestValue;
    cw.cluster = bestCluster;
    return cw;
}

}  // namespace pdf417
