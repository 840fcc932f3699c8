// Reads one codeword from 8 consecutive elements (bar first).
#pragma once

namespace pdf417 {

struct Codeword {
    int value = -1;    // 0..928, or -1 when the elements form no codeword
    int cluster = -1;  // 0, 3 or 6
    int width = 0;     // sum of the 8 element widths in pixels
};

// e[0..7] are the element widths in symbol order.
Codeword read_codeword(const int* e);

}  // namespace pdf417
