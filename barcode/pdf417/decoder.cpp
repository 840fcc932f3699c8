#include "barcode/pdf417/decoder.h"

#include <cmath>

#include "barcode/pdf417/data_decoding.h"
#include "barcode/pdf417/error_correction.h"
#include "barcode/pdf417/image_view.h"
#include "barcode/pdf417/locate.h"
#include "barcode/pdf417/symbol_outline.h"
#include "barcode/pdf417/symbol_reader.h"
#include "barcode/pdf417/workspace.h"

namespace pdf417 {
namespace {
constexpr int kRetryCount = 12;            // turned readings after an uncorrectable one
constexpr double kRetryStepDegrees = 0.1;  // 0.1, -0.1, 0.2, -0.2 ... 0.6, -0.6 degrees
constexpr double kTurnedLength = 4096.0;   // length of a turned scan direction vector
}  // namespace

int decode_codewords(int* codewords, int n, int level, const int* erasures, int erasureCount, uint8_t* out,
                     int capacity, int* length) {
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

namespace {

// Lines, votes, grids and correction for one scan direction.
int read_and_decode(const ImageView& image, Orientation orientation, const SkewResult& skew, int noise,
                    Workspace& ws, uint8_t* out, int capacity, int* length, SymbolShape& shape) {
    if (!read_symbol_lines(image, orientation, skew, noise, ws)) return kUnusable;
    if (!shape_from_votes(ws, shape)) return kUnusable;
    const int erasureCount = merge_grids(ws, shape);
    return decode_codewords(ws.codewords, shape.rows * shape.columns, shape.level, ws.erasures, erasureCount,
                            out, capacity, length);
}

// The scan direction turned by `degrees`, as a long vector.
SkewResult turn_direction(const SkewResult& skew, double degrees) {
    SkewResult turned = skew;
    const double a =
        std::atan2(static_cast<double>(skew.dy), static_cast<double>(skew.dx)) + degrees * M_PI / 180.0;
    turned.dx = static_cast<int>(std::lround(kTurnedLength * std::cos(a)));
    turned.dy = static_cast<int>(std::lround(kTurnedLength * std::sin(a)));
    return turned;
}

}  // namespace

int decode_image(const uint8_t* rows, int width, int height, uint8_t* out, int capacity, int* length,
                 int noise, SymbolInfo* info) {
    if (width < 1 || height < 1 || !rows) return kBadSize;
    if (noise < 0) noise = 0;
    Workspace& ws = workspace();
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

    SymbolShape shape;
    int result = read_and_decode(image, orientation, skew, noise, ws, out, capacity, length, shape);
    // The direction of long, short symbols is known only to a few tenths of a degree from the
    // pattern edge; lines that drift across rows leave too many cells empty. Read again along
    // slightly turned directions before giving up.
    for (int k = 0; k < kRetryCount && result == kUncorrectable; ++k) {
        const int turn = (k / 2 + 1) * (k % 2 ? -1 : 1);
        SkewResult turned = turn_direction(skew, turn * kRetryStepDegrees);
        ws.clear_reading();
        int retry = read_and_decode(image, orientation, turned, noise, ws, out, capacity, length, shape);
        if (retry == kDecoded) result = retry;
    }
    if (result == kDecoded && info) {
        SymbolInfo found;
        found.rows = shape.rows;
        found.columns = shape.columns;
        found.level = shape.level;
        symbol_corners(ws, shape.rows, shape.columns, found.corners);
        *info = found;
    }
    return result;
}

}  // namespace pdf417
