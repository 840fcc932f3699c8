// Reads one codeword from 8 consecutive elements (bar first).
#pragma once

namespace pdf417 {

struct Codeword {
    int value = -1;    // 0..928, or -1 when the elements form no codeword
    int cluster = -1;  // 0, 3 or 6
    int width = 0;     // sum of the 8 element widths in pixels
};

// e[0..7] are the element widths in symbol order. Exact reading: every pair sum rounded to whole
// modules must give a pattern of the tables (near-ties are tried both ways, see the .cpp).
Codeword read_codeword(const int* e);

// The six pair sums of e[0..7] normalised to a 17-module codeword: t[i] = 17 (e[i] + e[i+1]) / S
// (modules, not rounded). False when the widths sum to 0 or less.
bool pair_sums(const int* e, double t[6]);

// The valid pattern nearest to the pair sums `t` (squared distance in modules, summed over the
// six sums). Taken only when it lies within kNearestMaxDistance, every other pattern lies at
// least kNearestMargin further, and, when `cluster` is 0, 3 or 6, it belongs to that cluster
// (a pattern of another cluster that is nearer or too close makes it no codeword, so a line
// that strays into the next row is not read as this one). Otherwise value -1. `width` is left 0.
Codeword nearest_codeword(const double t[6], int cluster);

constexpr double kNearestMaxDistance = 0.7;  // modules squared
constexpr double kNearestMargin = 0.3;       // modules squared

}  // namespace pdf417
