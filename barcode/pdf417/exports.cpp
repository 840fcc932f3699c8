// The library's exports: argument checks and a catch-all around the decoder.
#include "barcode/pdf417/Stackread.h"
#include "barcode/pdf417/decoder.h"
#include "kit/export.h"

static_assert(pdf417::kMaxOutput == STACKREAD_MAX_OUTPUT, "the header states the largest output");

extern "C" {
KIT_VISIBLE int nStackread = 0;
}

KIT_EXPORT int fnStackread(void) {
    return 42;
}

CStackread::CStackread() : value(0) {}

CStackread& CStackread::operator=(const CStackread& other) {
    value = other.value;
    return *this;
}

KIT_EXPORT int stackread(const uint8_t* rows, int width, int height, uint8_t* out, int* outLength,
                         int noise) {
    if (width < 1 || height < 1 || !rows || !out || !outLength) return STACKREAD_BAD_SIZE;
    return kit::fenced(STACKREAD_UNUSABLE, [&] {
        return pdf417::decode_image(rows, width, height, out, STACKREAD_MAX_OUTPUT, outLength, noise);
    });
}

KIT_EXPORT int stackread_ex(const uint8_t* rows, int width, int height, uint8_t* out, int* outLength,
                            int noise, StackreadSymbol* symbol) {
    if (width < 1 || height < 1 || !rows || !out || !outLength) return STACKREAD_BAD_SIZE;
    return kit::fenced(STACKREAD_UNUSABLE, [&] {
        pdf417::SymbolInfo info;
        const int r =
            pdf417::decode_image(rows, width, height, out, STACKREAD_MAX_OUTPUT, outLength, noise, &info);
        if (r == STACKREAD_OK && symbol) {
            StackreadSymbol placed{};
            for (int i = 0; i < 8; ++i) placed.corners[i] = info.corners[i];
            placed.rows = info.rows;
            placed.columns = info.columns;
            placed.level = info.level;
            placed.reserved = 0;
            *symbol = placed;
        }
        return r;
    });
}
