// The library's C exports: argument checks happen in the reader; nothing
// thrown inside crosses this boundary.

#include "kit/export.h"
#include "marks/handwritten/Inkmark.h"
#include "marks/handwritten/reader.h"

namespace {

int front_end(const uint8_t* image, int* selector, int flip, int width, int height, int scanMode,
              char* result, inkmark::ResultStyle style) {
    return kit::fenced(0, [&] {
        return inkmark::read_raw_sheet(image, selector, flip, width, height, scanMode, result, style);
    });
}

}  // namespace

KIT_EXPORT int OMRead(const uint8_t* image, int* selector, int flip, int width, int height, int scanMode,
                      char* result) {
    return front_end(image, selector, flip, width, height, scanMode, result, inkmark::ResultStyle::Plain);
}

KIT_EXPORT int OMReadEx(const uint8_t* image, int* selector, int flip, int width, int height, int scanMode,
                        char* result) {
    return front_end(image, selector, flip, width, height, scanMode, result, inkmark::ResultStyle::Extended);
}

KIT_EXPORT int OMRead_Reliability(const uint8_t* image, int* selector, int flip, int width, int height,
                                  int scanMode, char* result) {
    return front_end(image, selector, flip, width, height, scanMode, result,
                     inkmark::ResultStyle::Reliability);
}

KIT_EXPORT int image_decode_OMR(Bitmap* bitmap, int* selector, int flip, int scanMode, int straighten,
                                OmrResultSet* set) {
    return kit::fenced(0, [&] {
        return inkmark::decode_sheet(bitmap, selector, flip, scanMode, straighten, set,
                                     inkmark::library_state().style);
    });
}

KIT_EXPORT int OMReadLayout(MarkLayout* layout) {
    return kit::fenced(0, [&] { return inkmark::read_layout(layout); });
}
