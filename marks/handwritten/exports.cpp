// The library's C exports: argument checks happen in the reader; nothing
// thrown inside crosses this boundary.

#include "marks/handwritten/Inkmark.h"
#include "marks/handwritten/reader.h"

#define INKMARK_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

int front_end(const uint8_t* image, int* selector, int flip, int width, int height, int scanMode, char* result,
              inkmark::ResultStyle style) {
    try {
        return inkmark::read_raw_sheet(image, selector, flip, width, height, scanMode, result, style);
    } catch (...) {
        return 0;
    }
}

}  // namespace

INKMARK_EXPORT int OMRead(const uint8_t* image, int* selector, int flip, int width, int height, int scanMode,
                          char* result) {
    return front_end(image, selector, flip, width, height, scanMode, result, inkmark::ResultStyle::kPlain);
}

INKMARK_EXPORT int OMReadEx(const uint8_t* image, int* selector, int flip, int width, int height, int scanMode,
                            char* result) {
    return front_end(image, selector, flip, width, height, scanMode, result, inkmark::ResultStyle::kExtended);
}

INKMARK_EXPORT int OMRead_Reliability(const uint8_t* image, int* selector, int flip, int width, int height,
                                      int scanMode, char* result) {
    return front_end(image, selector, flip, width, height, scanMode, result, inkmark::ResultStyle::kReliability);
}

INKMARK_EXPORT int image_decode_OMR(Bitmap* bitmap, int* selector, int flip, int scanMode, int straighten,
                                    OmrResultSet* set) {
    try {
        return inkmark::decode_sheet(bitmap, selector, flip, scanMode, straighten, set,
                                     inkmark::library_state().style);
    } catch (...) {
        return 0;
    }
}
