// The exported entry points: argument checks, no exception across the boundary.

#include <cstring>

#include "marks/printed/Typemark.h"
#include "marks/printed/reader.h"

#define TYPEMARK_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

int deliver(const std::optional<std::string>& text, char* result) {
    if (!text) return 0;
    std::memcpy(result, text->c_str(), text->size() + 1);
    return 1;
}

}  // namespace

TYPEMARK_EXPORT int OMReadSP(const uint8_t* image, int* selector, int flip, int width, int height,
                             int scanMode, char* result) {
    try {
        if (image == nullptr || selector == nullptr || result == nullptr || width <= 0 || height <= 0)
            return 0;
        typemark::ReadRequest rq;
        rq.pixels = image;
        rq.stride = (static_cast<std::size_t>(width) + 7) / 8;
        rq.width = width;
        rq.height = height;
        rq.straighten = 1;
        rq.flip = flip;
        rq.scanMode = scanMode;
        rq.selector = selector;
        return deliver(typemark::read_printed_marks(rq), result);
    } catch (...) {
        return 0;
    }
}

TYPEMARK_EXPORT int image_decode_OMRSP(Bitmap* bitmap, int straighten, int flip, int scanMode,
                                       int* selector, char* result) {
    try {
        if (bitmap == nullptr || selector == nullptr || result == nullptr) return 0;
        if (bitmap->bitCount != 1 || bitmap->width <= 0 || bitmap->height <= 0 || bitmap->bits == nullptr)
            return 0;
        if (static_cast<long long>(bitmap->stride) < (static_cast<long long>(bitmap->width) + 7) / 8) return 0;
        typemark::ReadRequest rq;
        rq.pixels = bitmap->bits;
        rq.stride = static_cast<std::size_t>(bitmap->stride);
        rq.width = bitmap->width;
        rq.height = bitmap->height;
        rq.straighten = straighten;
        rq.flip = flip;
        rq.scanMode = scanMode;
        rq.selector = selector;
        return deliver(typemark::read_printed_marks(rq), result);
    } catch (...) {
        return 0;
    }
}
