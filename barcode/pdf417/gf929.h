// Arithmetic in the prime field of 929 elements (primitive element 3), and polynomials over it.
#pragma once

#include <cstdint>

namespace pdf417 {

constexpr int kFieldSize = 929;

// Tables of the powers of 3 (exp[i] = 3^i, i = 0..927, exp[928] = 1) and their logarithms.
struct Gf929 {
    int16_t exp[kFieldSize];
    int16_t log[kFieldSize];  // log[0] is unused
    Gf929();
};
const Gf929& gf();

inline int gf_add(int a, int b) {
    return (a + b) % kFieldSize;
}
inline int gf_sub(int a, int b) {
    return (a - b + kFieldSize) % kFieldSize;
}
inline int gf_mul(int a, int b) {
    if (a == 0 || b == 0) return 0;
    return gf().exp[(gf().log[a] + gf().log[b]) % (kFieldSize - 1)];
}
// a must be non-zero.
inline int gf_inv(int a) {
    return gf().exp[(kFieldSize - 1 - gf().log[a]) % (kFieldSize - 1)];
}
// 3^e for any integer e.
inline int gf_pow3(long e) {
    long r = e % (kFieldSize - 1);
    if (r < 0) r += kFieldSize - 1;
    return gf().exp[r];
}

// Polynomial with coefficients c[0] (constant) .. c[degree], fixed capacity.
struct Poly {
    static constexpr int kCapacity = 1030;
    int degree = 0;
    int16_t c[kCapacity] = {};
    int eval(int x) const;  // Horner's rule
};

}  // namespace pdf417
