// Read-only view of the caller's packed 1-bit rows (width / 8 bytes per row, 0 = dark).
#pragma once

#include <cstddef>
#include <cstdint>

namespace pdf417 {

struct ImageView {
    const uint8_t* rows = nullptr;
    int width = 0;  // pixels that can be read in a row: (width / 8) * 8
    int height = 0;
    int stride = 0;  // bytes per row

    ImageView(const uint8_t* r, int w, int h) : rows(r), width((w / 8) * 8), height(h), stride(w / 8) {}

    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    // Only for positions inside the image.
    bool dark(int x, int y) const {
        return !(rows[static_cast<size_t>(y) * static_cast<size_t>(stride) + static_cast<size_t>(x >> 3)] &
                 (0x80 >> (x & 7)));
    }
};

}  // namespace pdf417
