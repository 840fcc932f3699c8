// The whole decoding of one image, and of one codeword sequence.
#pragma once

#include <cstdint>

namespace pdf417 {

enum Result : int {
    kDecoded = 1,
    kUnusable = -1,
    kUncorrectable = -2,
    kNotFound = -3,
    kBadSize = -6,
};

// The most bytes one symbol decodes to: 924 data codewords after the numeric latch give 61 groups
// of 15 codewords (44 digits each) and one group of 9 (26 digits).
constexpr int kMaxOutput = 2710;

// Decodes the symbol in the image into out[0 .. capacity-1]; *length receives the byte count on
// success only.
int decode_image(const uint8_t* rows, int width, int height, uint8_t* out, int capacity, int* length,
                 int noise);

// Corrects `codewords` (n values, `erasureCount` erased positions) with error-correction level
// `level` and decodes the data into out[0 .. capacity-1]. Returns kDecoded, kUncorrectable,
// or kUnusable when the arguments describe no symbol or the data would not fit.
int decode_codewords(int* codewords, int n, int level, const int* erasures, int erasureCount, uint8_t* out,
                     int capacity, int* length);

}  // namespace pdf417
