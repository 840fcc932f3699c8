#include "imaging/straighten.h"

#include <cmath>
#include <cstring>
#include <new>

#include "imaging/bitmap.h"
#include "imaging/outline.h"
#include "imaging/resample.h"

namespace skewtrim {

int straighten(const Bitmap* src, int mode, int level, int rule, Bitmap* dst) {
    if (src == nullptr || dst == nullptr || level < 0 || level > 255 || mode < kBicubic || mode > kNearest ||
        (rule != SKEWTRIM_RULE_BRIGHTER && rule != SKEWTRIM_RULE_OUTSIDE)) {
        return kInvalidArgument;
    }
    if (int code = bitmap_check(src); code != kOk) {
        return code;
    }
    try {
        StraightenPlan plan;
        if (int code = measure_paper(*src, level, rule, plan); code != kOk) {
            return code;
        }
        return resample(src, plan, mode, kFillColour.data(), dst);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}

int straighten_buffer(std::uint8_t* pixels, int* width, int* height, int bitCount, int mode, int level) {
    if (pixels == nullptr || width == nullptr || height == nullptr || *width <= 0 || *height <= 0 ||
        !valid_depth(bitCount) || mode < kBicubic || mode > kNearest) {
        return 0;
    }
    BitmapGuard in;
    if (bitmap_new(in.get(), *width, *height, bitCount, false) != kOk) {
        return 0;
    }
    std::memcpy(in->bits, pixels, static_cast<size_t>(in->imageSize));
    BitmapGuard out;
    if (straighten(in.get(), mode, level & 0xFF, 1, out.get()) != kOk) {
        return 0;
    }
    return write_back(*out, in->imageSize, pixels, width, height) ? 1 : 0;
}

int straighten_map(const std::uint8_t* pixels, int width, int height, int bitCount, int level, double* map,
                   int* outWidth, int* outHeight) {
    if (pixels == nullptr || map == nullptr || outWidth == nullptr || outHeight == nullptr || width <= 0 ||
        height <= 0 || !valid_depth(bitCount)) {
        return 0;
    }
    BitmapGuard in;
    if (bitmap_new(in.get(), width, height, bitCount, false) != kOk) {
        return 0;
    }
    std::memcpy(in->bits, pixels, static_cast<size_t>(in->imageSize));
    try {
        StraightenPlan plan;
        if (measure_paper(*in, level & 0xFF, SKEWTRIM_RULE_BRIGHTER, plan) != kOk) {
            return 0;
        }
        if (unpadded_row_bytes(plan.width, bitCount) * plan.height > in->imageSize) {
            return 0;  // straighten_buffer refuses a result larger than the picture
        }
        // Output (i, j) sits at u = i - (W-1)/2, v = j - (H-1)/2 from the paper centre and comes
        // from x = cx + u cos + v sin, y = cy + v cos - u sin.
        const double c = std::cos(plan.theta);
        const double s = std::sin(plan.theta);
        const double hu = (plan.width - 1) / 2;
        const double hv = (plan.height - 1) / 2;
        map[0] = c;
        map[1] = s;
        map[2] = plan.cx - hu * c - hv * s;
        map[3] = -s;
        map[4] = c;
        map[5] = plan.cy - hv * c + hu * s;
        *outWidth = plan.width;
        *outHeight = plan.height;
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

bool write_back(const Bitmap& result, std::int64_t capacity, std::uint8_t* pixels, int* width, int* height) {
    const std::int64_t bytes = unpadded_row_bytes(result.width, result.bitCount) * result.height;
    if (bytes > capacity) {
        return false;  // would overrun a buffer that is only known to hold the input
    }
    for (int y = 0; y < result.height; ++y) {
        const std::int64_t row = unpadded_row_bytes(result.width, result.bitCount);
        std::memcpy(pixels + y * row, result.rows[y], static_cast<size_t>(row));
    }
    *width = result.width;
    *height = result.height;
    return true;
}

}  // namespace skewtrim
