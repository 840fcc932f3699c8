// Test support: a white 1-bit picture in the library's own Image form, with black rectangles and
// white pixels drawn on it.
#pragma once

#include <cstdint>
#include <vector>

#include "barcode/linear/image.h"

namespace stripescan {

struct Canvas {
    Canvas(int w, int h)
        : image{w, h, (w + 7) / 8, nullptr}, bytes(static_cast<std::size_t>((w + 7) / 8) * h + 16, 0xFF) {
        image.bits = bytes.data();
    }
    // `image` points into `bytes`: a copy points into its own.
    Canvas(const Canvas& other) : image(other.image), bytes(other.bytes) { image.bits = bytes.data(); }
    Canvas& operator=(const Canvas&) = delete;
    // Blackens the rectangle with corners (x0, y0) and (x1, y1), both included.
    void black(int x0, int y0, int x1, int y1) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) image.set(x, y, false);
    }
    void white(int x, int y) { image.set(x, y, true); }
    Image image;
    std::vector<std::uint8_t> bytes;
};

}  // namespace stripescan
