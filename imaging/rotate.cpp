#include "imaging/rotate.h"

#include <cstring>

#include "imaging/bitmap.h"

namespace skewtrim {

namespace {

// Destination (column, row) of source pixel (x, y) for a quarter-turn angle.
struct Mapping {
    int angle, w, h;
    void operator()(int x, int y, int& dx, int& dy) const {
        switch (angle) {
            case 90:
                dx = y;
                dy = w - 1 - x;
                break;
            case 180:
                dx = w - 1 - x;
                dy = h - 1 - y;
                break;
            default:
                dx = h - 1 - y;
                dy = x;
                break;  // 270
        }
    }
};

}  // namespace

int rotate_bitmap(const Bitmap* src, Bitmap* dst, double angle) {
    if (src == nullptr || dst == nullptr) {
        return kInvalidArgument;
    }
    if (angle != 0.0 && angle != 90.0 && angle != 180.0 && angle != 270.0) {
        return kInvalidArgument;
    }
    if (int code = bitmap_check(src); code != kOk) {
        return code;
    }
    if (angle == 0.0) {
        return bitmap_copy(src, dst);
    }
    const int turn = static_cast<int>(angle);
    const int w = src->width;
    const int h = src->height;
    const bool quarter = turn != 180;
    Bitmap out{};
    if (int code = bitmap_new(&out, quarter ? h : w, quarter ? w : h, src->bitCount, false); code != kOk) {
        return code;
    }
    const Mapping map{turn, w, h};
    const int bytes = src->bitCount / 8;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* in = src->rows[y];
        for (int x = 0; x < w; ++x) {
            int dx = 0;
            int dy = 0;
            map(x, y, dx, dy);
            if (src->bitCount == 1) {
                put_bit(out.rows[dy], dx, bit_at(in, x));
            } else {
                std::memcpy(out.rows[dy] + dx * bytes, in + x * bytes, static_cast<std::size_t>(bytes));
            }
        }
    }
    *dst = out;
    return kOk;
}

int rotate_buffer(std::uint8_t* pixels, int* width, int* height, int bitCount, int angle) {
    if (pixels == nullptr || width == nullptr || height == nullptr || *width <= 0 || *height <= 0 ||
        (angle != 0 && angle != 90 && angle != 180 && angle != 270) || !valid_depth(bitCount)) {
        return kInvalidArgument;
    }
    BitmapGuard in;
    if (int code = bitmap_new(in.get(), *width, *height, bitCount, false); code != kOk) {
        return code;
    }
    std::memcpy(in->bits, pixels, static_cast<std::size_t>(in->imageSize));
    BitmapGuard out;
    if (int code = rotate_bitmap(in.get(), out.get(), angle); code != kOk) {
        return code;
    }
    std::memcpy(pixels, out->bits, static_cast<std::size_t>(out->imageSize));
    *width = out->width;
    *height = out->height;
    return kOk;
}

}  // namespace skewtrim
