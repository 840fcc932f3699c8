#include "imaging/colour.h"

#include "imaging/bitmap.h"

namespace skewtrim {

namespace {

// round(v x weight / 1000 x 1024) half up, in exact integer arithmetic;
// `milliWeight` is the weight in thousandths (299, 587, 114).
constexpr Table256 make_luma(std::int64_t milliWeight) {
    Table256 t{};
    for (int v = 0; v < 256; ++v) {
        t[static_cast<std::size_t>(v)] = static_cast<std::int32_t>((v * milliWeight * 1024 + 500) / 1000);
    }
    return t;
}

constexpr Table256 kLumaRed = make_luma(299);
constexpr Table256 kLumaGreen = make_luma(587);
constexpr Table256 kLumaBlue = make_luma(114);

constexpr Table256 kTone = {
    0,   0,   1,   1,   1,   1,   2,   2,   3,   3,   3,   4,   3,   4,   4,   4,   5,   4,   5,   6,
    7,   7,   7,   7,   8,   9,   10,  9,   10,  10,  12,  12,  13,  13,  14,  14,  15,  15,  16,  16,
    17,  17,  19,  19,  20,  21,  21,  21,  23,  23,  24,  25,  25,  26,  27,  27,  28,  29,  30,  30,
    31,  32,  33,  34,  34,  35,  36,  36,  38,  38,  39,  40,  41,  41,  42,  43,  44,  44,  45,  46,
    47,  48,  49,  50,  51,  51,  53,  53,  54,  56,  57,  57,  58,  59,  59,  60,  62,  63,  64,  64,
    65,  66,  68,  68,  69,  70,  71,  72,  74,  74,  75,  76,  78,  78,  79,  80,  81,  82,  83,  84,
    85,  87,  87,  89,  90,  91,  91,  92,  94,  95,  96,  97,  98,  99,  100, 101, 102, 104, 105, 105,
    107, 108, 109, 110, 112, 112, 113, 114, 116, 117, 118, 119, 120, 121, 123, 123, 125, 126, 127, 128,
    130, 131, 132, 133, 135, 135, 137, 137, 139, 140, 141, 142, 144, 145, 146, 147, 149, 150, 151, 153,
    154, 155, 156, 157, 159, 160, 161, 162, 164, 164, 166, 168, 168, 170, 172, 173, 174, 176, 177, 178,
    179, 180, 182, 183, 185, 186, 186, 188, 190, 191, 192, 194, 194, 196, 198, 199, 200, 202, 203, 204,
    206, 207, 208, 209, 212, 213, 214, 215, 217, 218, 220, 220, 222, 223, 225, 226, 228, 229, 230, 232,
    233, 235, 236, 238, 239, 241, 242, 244, 245, 247, 248, 249, 250, 252, 254, 255,
};

// Common frame of the three conversions: argument checks, copy when the depth
// already matches, a new record padded like the source, then `convert(src, out)`.
template <typename Convert>
int convert_depth(const Bitmap* src, Bitmap* dst, int targetDepth, Convert convert) {
    if (src == nullptr || dst == nullptr) {
        return kInvalidArgument;
    }
    if (int code = bitmap_check(src); code != kOk) {
        return code;
    }
    if (src->bitCount == targetDepth) {
        return bitmap_copy(src, dst);
    }
    Bitmap out{};
    if (int code = bitmap_new(&out, src->width, src->height, targetDepth, derives_padded(*src));
        code != kOk) {
        return code;
    }
    convert(*src, out);
    *dst = out;
    return kOk;
}

}  // namespace

const Table256& luma_red() {
    return kLumaRed;
}
const Table256& luma_green() {
    return kLumaGreen;
}
const Table256& luma_blue() {
    return kLumaBlue;
}
const Table256& tone() {
    return kTone;
}

int to_black_white(const Bitmap* src, Bitmap* dst, int threshold) {
    const int low = threshold & 0xFF;
    return convert_depth(src, dst, 1, [low](const Bitmap& s, Bitmap& out) {
        for (int y = 0; y < s.height; ++y) {
            const std::uint8_t* in = s.rows[y];
            std::uint8_t* row = out.rows[y];
            for (int x = 0; x < s.width; ++x) {
                const int grey = s.bitCount == 8 ? in[x] : grey_of_bgr(in + 3 * x);
                put_bit(row, x, grey > low);
            }
        }
    });
}

int to_grey(const Bitmap* src, Bitmap* dst) {
    return convert_depth(src, dst, 8, [](const Bitmap& s, Bitmap& out) {
        for (int y = 0; y < s.height; ++y) {
            const std::uint8_t* in = s.rows[y];
            std::uint8_t* row = out.rows[y];
            for (int x = 0; x < s.width; ++x) {
                row[x] = static_cast<std::uint8_t>(s.bitCount == 1 ? (bit_at(in, x) ? 255 : 0)
                                                                   : grey_of_bgr(in + 3 * x));
            }
        }
    });
}

int to_colour(const Bitmap* src, Bitmap* dst) {
    return convert_depth(src, dst, 24, [](const Bitmap& s, Bitmap& out) {
        for (int y = 0; y < s.height; ++y) {
            const std::uint8_t* in = s.rows[y];
            std::uint8_t* row = out.rows[y];
            for (int x = 0; x < s.width; ++x) {
                const std::uint8_t v = s.bitCount == 1 ? (bit_at(in, x) ? 255 : 0) : in[x];
                row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = v;
            }
        }
    });
}

}  // namespace skewtrim
