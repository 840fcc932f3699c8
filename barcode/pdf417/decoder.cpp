#include "decoder.h"

#include "data_decoding.h"
#include "error_correction.h"
#include "image_view.h"
#include "locate.h"
#include "symbol_reader.h"
#include "workspace.h"

namespace pdf417 {

int decode_codewords(int *codewords, int n, int level, const int *erasures, int erasureCount, uint8_t *out,
                     int capacity, int *length) {
    if (level < 0 || level > 8 || n < 1 || n > kMaxCodewords || capacity < 0) return kUnusable;
    const int checkCount = 2 << level;
    if (checkCount >= n) return kUnusable;
    if (!correct_errors(codewords, n, checkCount, erasures, erasureCount)) return kUncorrectable;
    ByteSink sink{out, capacity};
    decode_data(codewords, data_length(codewords, n - checkCount), sink);
    if (sink.overflow) return kUnusable;
    *length = sink.length;
    return kDecoded;
}

int decode_image(const uint8_t *rows, int width, int height, uint8_t *out, int capacity, int *length,
                 int noise) {
    if (width < 1 || height < 1 || !rows) return kBadSize;
    if (noise < 0) noise = 0;
    Workspace &ws = workspace();
    ws.clear();
    const ImageView image(rows, width, height);

    Orientation orientation = Orientation::Rows;
    SkewResult skew;
    Band band = band_search(image, Edge::Left, 3, 0);
    if (band.found) skew = measure_skew(image, Orientation::Rows, band, noise, ws);
    if (!skew.accepted) {
        orientation = Orientation::Columns;
        band = band_search(image, Edge::Top, 0, 3);
        if (band.found) skew = measure_skew(image, Orientation::Columns, band, noise, ws);
    }
    if (!skew.accepted) return kNotFound;

    if (!read_symbol_lines(image, orientation, skew, noise, ws)) return kUnusable;
    SymbolShape shape;
    if (!shape_from_votes(ws, shape)) return kUnusable;
    const int erasureCount = merge_grids(ws, shape);
    return decode_codewords(ws.codewords, shape.rows * shape.columns, shape.level, ws.erasures, erasureCount,
                            out, capacity, length);
}

}  // namespace pdf417
