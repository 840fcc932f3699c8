#pragma once
// A view of a 1-bit picture as the decoder reads it: row y starts at bits + y * stride,
// pixel x is bit 0x80 >> (x % 8) of byte x / 8, and bit value 0 is black (bar).

#include <cstdint>

namespace stripescan {

struct Point {
    int x = 0;
    int y = 0;
};

struct Image {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::uint8_t* bits = nullptr;

    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    bool black(int x, int y) const {
        return ((bits[static_cast<std::int64_t>(y) * stride + (x >> 3)] >> (7 - (x & 7))) & 1) == 0;
    }
    void set(int x, int y, bool white) {
        std::uint8_t& byte = bits[static_cast<std::int64_t>(y) * stride + (x >> 3)];
        const std::uint8_t mask = static_cast<std::uint8_t>(0x80u >> (x & 7));
        byte = white ? static_cast<std::uint8_t>(byte | mask) : static_cast<std::uint8_t>(byte & ~mask);
    }
    std::uint8_t* row(int y) const { return bits + static_cast<std::int64_t>(y) * stride; }
};

}  // namespace stripescan
