#include "barcode/pdf417/dot_filter.h"

#include <cstddef>

namespace pdf417 {
namespace {

// Bitwise majority of three bytes: a bit is set when at least two of the three have it. The
// same for dark and light bits, so the packed rows are filtered as they are.
uint8_t majority(uint8_t a, uint8_t b, uint8_t c) {
    return static_cast<uint8_t>((a & b) | (a & c) | (b & c));
}

// A bit set when any of the three has it: a light pixel wins.
uint8_t light_wins(uint8_t a, uint8_t b, uint8_t c) {
    return static_cast<uint8_t>(a | b | c);
}

// The copy of `image` in which every pixel is `rule` of itself and its two neighbours along the
// bars, into `out` (see filter_specks).
template <class Rule>
ImageView filter_along_bars(const ImageView& image, SpeckAxis axis, std::vector<uint8_t>& out, Rule rule) {
    const std::size_t stride = static_cast<std::size_t>(image.stride);
    const std::size_t height = static_cast<std::size_t>(image.height);
    out.resize(stride * height);
    if (out.empty()) return ImageView(out.data(), image.stride * 8, image.height);
    const uint8_t* in = image.rows;
    if (axis == SpeckAxis::Vertical) {
        for (std::size_t y = 0; y < height; ++y) {
            const uint8_t* above = in + (y > 0 ? y - 1 : y) * stride;
            const uint8_t* row = in + y * stride;
            const uint8_t* below = in + (y + 1 < height ? y + 1 : y) * stride;
            uint8_t* target = out.data() + y * stride;
            for (std::size_t i = 0; i < stride; ++i) target[i] = rule(above[i], row[i], below[i]);
        }
    } else {
        for (std::size_t y = 0; y < height; ++y) {
            const uint8_t* row = in + y * stride;
            uint8_t* target = out.data() + y * stride;
            for (std::size_t i = 0; i < stride; ++i) {
                // Pixels are packed most significant bit first: the left neighbour of every bit
                // is the row shifted right by one, the first bit's from the byte before (or its
                // own at the row's start), and the right neighbour likewise.
                const uint8_t b = row[i];
                const uint8_t before =
                    i > 0 ? static_cast<uint8_t>(row[i - 1] << 7) : static_cast<uint8_t>(b & 0x80);
                const uint8_t after =
                    i + 1 < stride ? static_cast<uint8_t>(row[i + 1] >> 7) : static_cast<uint8_t>(b & 0x01);
                const uint8_t left = static_cast<uint8_t>((b >> 1) | before);
                const uint8_t right = static_cast<uint8_t>((b << 1) | after);
                target[i] = rule(left, b, right);
            }
        }
    }
    return ImageView(out.data(), image.stride * 8, image.height);
}

}  // namespace

ImageView filter_specks(const ImageView& image, SpeckAxis axis, std::vector<uint8_t>& out) {
    return filter_along_bars(image, axis, out, majority);
}

ImageView open_spaces(const ImageView& image, SpeckAxis axis, std::vector<uint8_t>& out) {
    return filter_along_bars(image, axis, out, light_wins);
}

}  // namespace pdf417
