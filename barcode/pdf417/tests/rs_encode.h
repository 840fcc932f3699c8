// Test helper: the error-correction codewords of a data sequence, computed the encoder's way
// (remainder by the generator polynomial with roots 3^1 .. 3^N, negated).
#pragma once

#include <cstddef>
#include <vector>

namespace stackread_test {

inline int mulmod(int a, int b) {
    return static_cast<int>(static_cast<long>(a) * b % 929);
}

inline std::vector<int> with_check_codewords(std::vector<int> data, int checkCount) {
    // Generator coefficients, highest power first.
    std::vector<int> g{1};
    int root = 1;
    for (int i = 1; i <= checkCount; ++i) {
        root = mulmod(root, 3);
        std::vector<int> next(g.size() + 1, 0);
        for (std::size_t k = 0; k < g.size(); ++k) {
            next[k] = (next[k] + g[k]) % 929;
            next[k + 1] = (next[k + 1] + 929 - mulmod(g[k], root)) % 929;
        }
        g = next;
    }
    std::vector<int> rem(checkCount, 0);
    for (int d : data) {
        int factor = (d + rem[0]) % 929;
        for (int k = 0; k < checkCount - 1; ++k) rem[k] = (rem[k + 1] + 929 - mulmod(factor, g[k + 1])) % 929;
        rem[checkCount - 1] = (929 - mulmod(factor, g[checkCount])) % 929;
    }
    for (int r : rem) data.push_back((929 - r) % 929);
    return data;
}

}  // namespace stackread_test
