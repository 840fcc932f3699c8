#pragma once
// The scan-line search: parallel lines over the picture, candidate places where a start or stop
// pattern begins, bar tracing, the fan of lines across the symbol at right angles to its bars,
// decoding, the corners, and erasing each found symbol from the working copy.

#include <vector>

#include "barcode/linear/image.h"
#include "barcode/linear/symbology.h"

namespace stripescan {

constexpr int kMinSizeUnit = STRIPESCAN_MIN_SIZE;  // pixels: the smallest size unit a request may ask for

struct ActiveDecoder {
    const Symbology* symbology = nullptr;
    ReadOptions options;
};

struct SearchSettings {
    std::vector<ActiveDecoder> decoders;  // ascending symbology number
    int sizeUnit = kMinSizeUnit;          // S: line spacing, fan width
    int lineNoise = 0;                    // noise merge applied to every scan line
    // The paper is salted with lone dots, as a local threshold leaves it (decode_bitmap): thin
    // bars there come out dotted at any module, not only under kContrastModule.
    bool saltedPaper = false;
};

struct FoundSymbol {
    Decoded decoded;
    Point corners[4];  // P0..P3
    Point direction;   // reading direction, y >= 0
};

// One pass over `work` (changed: every found symbol is filled white). The vertical pass reads
// down columns; its results are given in the picture's own coordinates.
// `scratch` holds the transposed picture of the vertical pass; it is reused from call to call.
void search_pass(Image& work, const SearchSettings& settings, bool vertical, std::vector<FoundSymbol>& found,
                 std::vector<std::uint8_t>& scratch);

}  // namespace stripescan
