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

// Where a decoded symbol lies and its shape.
struct SymbolInfo {
    int32_t corners[8] = {};  // P0..P3 as x, y pairs in image pixels (see symbol_outline.h)
    int rows = 0;
    int columns = 0;  // data columns
    int level = 0;    // error-correction level
};

// Decodes the symbol in the image into out[0 .. capacity-1]; *length receives the byte count on
// success only, and so does *info when it is not null.
int decode_image(const uint8_t* rows, int width, int height, uint8_t* out, int capacity, int* length,
                 int noise, SymbolInfo* info = nullptr);

// Corrects `codewords` (n values, `erasureCount` erased positions) with error-correction level
// `level` and decodes the data into out[0 .. capacity-1]. Returns kDecoded, kUncorrectable,
// or kUnusable when the arguments describe no symbol or the data would not fit.
int decode_codewords(int* codewords, int n, int level, const int* erasures, int erasureCount, uint8_t* out,
                     int capacity, int* length);

}  // namespace pdf417
