// Errors-and-erasures decoding: syndromes, erasure locator, Forney syndromes,
// Berlekamp-Massey for the error locator, Chien search and Forney's error values.
#include "barcode/pdf417/error_correction.h"

#include <algorithm>

#include "barcode/pdf417/gf929.h"

namespace pdf417 {
namespace {

// S(i) = C(3^i), i = 1..N, stored at s[i - 1]; true when all are zero.
bool syndromes(const int* cw, int n, int checkCount, int* s) {
    bool zero = true;
    for (int i = 1; i <= checkCount; ++i) {
        int x = gf_pow3(i), v = 0;
        for (int k = 0; k < n; ++k) v = gf_add(gf_mul(v, x), cw[k]);
        s[i - 1] = v;
        if (v) zero = false;
    }
    return zero;
}

void multiply(const Poly& a, const Poly& b, Poly& out, int maxDegree) {
    Poly r;
    r.degree = std::min(a.degree + b.degree, maxDegree);
    for (int i = 0; i <= a.degree; ++i) {
        if (!a.c[i]) continue;
        for (int j = 0; j <= b.degree && i + j <= r.degree; ++j)
            r.c[i + j] = static_cast<int16_t>(gf_add(r.c[i + j], gf_mul(a.c[i], b.c[j])));
    }
    out = r;
}

void trim(Poly& p) {
    while (p.degree > 0 && p.c[p.degree] == 0) --p.degree;
}

// Berlekamp-Massey over t[0..count-1]; returns the connection polynomial and, in `length`,
// the register length (the number of errors it claims).
Poly berlekamp_massey(const int* t, int count, int& length) {
    Poly c, b;
    c.c[0] = 1;
    b.c[0] = 1;
    int l = 0, m = 1, bd = 1;
    for (int k = 0; k < count; ++k) {
        int d = t[k];
        for (int i = 1; i <= l && i <= c.degree; ++i) d = gf_add(d, gf_mul(c.c[i], t[k - i]));
        if (d == 0) {
            ++m;
            continue;
        }
        int coef = gf_mul(d, gf_inv(bd));
        Poly next = c;
        int top = std::min(b.degree + m, Poly::kCapacity - 1);
        if (top > next.degree) {
            for (int i = next.degree + 1; i <= top; ++i) next.c[i] = 0;
            next.degree = top;
        }
        for (int i = 0; i <= b.degree && i + m < Poly::kCapacity; ++i)
            next.c[i + m] = static_cast<int16_t>(gf_sub(next.c[i + m], gf_mul(coef, b.c[i])));
        if (2 * l <= k) {
            b = c;
            l = k + 1 - l;
            bd = d;
            m = 1;
        } else {
            ++m;
        }
        c = next;
    }
    trim(c);
    length = l;
    return c;
}

}  // namespace

bool correct_errors(int* cw, int n, int checkCount, const int* erasures, int erasureCount) {
    if (n <= 0 || n > kMaxCodewords || checkCount < 2 || checkCount > kMaxCheckCodewords || checkCount >= n)
        return false;
    for (int k = 0; k < n; ++k)
        if (cw[k] < 0 || cw[k] >= kFieldSize) cw[k] = 0;

    // Unique, in-range erasures only; each is set to 0.
    int erased[kMaxCodewords];
    int m = 0;
    bool seen[kMaxCodewords] = {};
    for (int i = 0; i < erasureCount; ++i) {
        int p = erasures[i];
        if (p < 0 || p >= n || seen[p]) continue;
        seen[p] = true;
        erased[m++] = p;
        cw[p] = 0;
    }

    // More erasures than the code can fill are beyond repair even when the syndromes vanish.
    if (m > checkCount - 2) return false;
    if (checkCount > 2 && m > checkCount - 3) return false;

    int s[kMaxCheckCodewords];
    if (syndromes(cw, n, checkCount, s)) return true;

    // Erasure locator: product of (1 - 3^(n - 1 - p) x).
    Poly gamma;
    gamma.c[0] = 1;
    for (int i = 0; i < m; ++i) {
        Poly f;
        f.degree = 1;
        f.c[0] = 1;
        f.c[1] = static_cast<int16_t>(gf_sub(0, gf_pow3(n - 1 - erased[i])));
        multiply(gamma, f, gamma, Poly::kCapacity - 1);
    }

    // Forney syndromes: coefficients M .. N-1 of gamma(x) * S(x).
    Poly sp;
    sp.degree = checkCount - 1;
    for (int i = 0; i < checkCount; ++i) sp.c[i] = static_cast<int16_t>(s[i]);
    Poly xi;
    multiply(gamma, sp, xi, checkCount - 1);
    int t[kMaxCheckCodewords];
    int tc = checkCount - m;
    for (int j = 0; j < tc; ++j) t[j] = (m + j <= xi.degree) ? xi.c[m + j] : 0;

    int e = 0;
    Poly sigma = berlekamp_massey(t, tc, e);
    if (sigma.degree != e) return false;
    if (m + 2 * e > checkCount - 2) return false;
    if (checkCount > 2 && m + 2 * e > checkCount - 3 && e < 4) return false;

    Poly lambda;
    multiply(gamma, sigma, lambda, Poly::kCapacity - 1);
    trim(lambda);
    if (lambda.degree == 0) return false;  // non-zero syndromes but nothing to locate

    // Chien search over the n positions.
    int positions[kMaxCodewords];
    int found = 0;
    for (int p = 0; p < n && found <= lambda.degree; ++p) {
        int xinv = gf_pow3(928 - (n - 1 - p));
        if (lambda.eval(xinv) == 0) positions[found++] = p;
    }
    if (found != lambda.degree) return false;

    // Error evaluator omega = S(x) lambda(x) mod x^N; formal derivative of lambda.
    Poly omega;
    multiply(sp, lambda, omega, checkCount - 1);
    Poly deriv;
    deriv.degree = std::max(lambda.degree - 1, 0);
    for (int i = 1; i <= lambda.degree; ++i)
        deriv.c[i - 1] = static_cast<int16_t>(gf_mul(i % kFieldSize, lambda.c[i]));

    for (int i = 0; i < found; ++i) {
        int p = positions[i];
        int xinv = gf_pow3(928 - (n - 1 - p));
        int den = deriv.eval(xinv);
        if (den == 0) return false;
        int value = gf_sub(0, gf_mul(omega.eval(xinv), gf_inv(den)));
        cw[p] = gf_sub(cw[p], value);
    }

    // The corrected sequence must be a code word.
    return syndromes(cw, n, checkCount, s);
}

}  // namespace pdf417
