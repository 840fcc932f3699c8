// libFuzzer target: the whole reader on small images built from the input, with and without
// the symbol's outline (stackread_ex's path).
// Byte 0 picks the layout: raw packed rows, or rows painted from run lengths and repeated
// in bands (bar-like structure that reaches the pattern and codeword stages more often).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "barcode/pdf417/Stackread.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) return 0;
    const int mode = data[0] & 1;
    const int width = 1 + ((data[1] << 8 | data[2]) % 640);
    const int height = 1 + data[3] % 160;
    const int noise = data[4] % 4;
    const bool outline = (data[4] & 4) != 0;
    data += 5;
    size -= 5;
    const int stride = width / 8;
    std::vector<uint8_t> rows(static_cast<size_t>(stride) * height + 1, 0xFF);
    if (mode == 0) {
        for (size_t i = 0; i + 1 < rows.size() && i < size; ++i) rows[i] = data[i];
    } else if (size > 0) {
        size_t k = 0;
        int band = 1 + data[0] % 12;
        for (int y = 0; y < height; ++y) {
            if (y % band == 0 && y > 0) k += 1 + data[k % size] % 7;
            size_t run = k;
            bool dark = false;
            for (int x = 0; x < stride * 8;) {
                int w = 1 + data[run++ % size] % 24;
                for (int i = 0; i < w && x < stride * 8; ++i, ++x)
                    if (dark)
                        rows[static_cast<size_t>(y) * stride + x / 8] &=
                            static_cast<uint8_t>(~(0x80 >> (x % 8)));
                dark = !dark;
            }
        }
    }
    std::vector<uint8_t> out(STACKREAD_MAX_OUTPUT + 1, 0);
    int length = -1;
    StackreadSymbol symbol;
    symbol.rows = -1;
    const int r =
        stackread_ex(rows.data(), width, height, out.data(), &length, noise, outline ? &symbol : nullptr);
    if (r == STACKREAD_OK && (length < 0 || length > STACKREAD_MAX_OUTPUT)) __builtin_trap();
    if (out[STACKREAD_MAX_OUTPUT] != 0) __builtin_trap();
    if (outline && r != STACKREAD_OK && symbol.rows != -1) __builtin_trap();  // written on success only
    if (outline && r == STACKREAD_OK &&
        (symbol.rows < 3 || symbol.rows > 90 || symbol.columns < 1 || symbol.columns > 30 ||
         symbol.level < 0 || symbol.level > 8 || symbol.reserved != 0))
        __builtin_trap();
    return 0;
}
