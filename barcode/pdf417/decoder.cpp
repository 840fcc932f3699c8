#include "barcode/pdf417/decoder.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "barcode/common/halftone.h"
#include "barcode/pdf417/data_decoding.h"
#include "barcode/pdf417/dot_filter.h"
#include "barcode/pdf417/error_correction.h"
#include "barcode/pdf417/image_view.h"
#include "barcode/pdf417/locate.h"
#include "barcode/pdf417/row_sampling.h"
#include "barcode/pdf417/symbol_outline.h"
#include "barcode/pdf417/symbol_reader.h"
#include "barcode/pdf417/workspace.h"

namespace pdf417 {
namespace {
constexpr int kRetryCount = 12;             // turned readings after an uncorrectable one
constexpr double kRetryStepDegrees = 0.1;   // 0.1, -0.1, 0.2, -0.2 ... 0.6, -0.6 degrees
constexpr double kTurnedLength = 4096.0;    // length of a turned scan direction vector
constexpr int kMinSecondTryMatches = 8;     // matches of the first orientation try that earn a second
constexpr int kMinSecondTryChain = 2;       // band-search lines (10 px apart) in a run that earn it too
constexpr int kWeakSupport = 1;             // readings for (less against) a codeword erased on a retry
constexpr int kSpareChecks = 3;             // check codewords the retry leaves beyond erasures and errors
constexpr int kMinSecondLookMatches = 8;    // pattern matches on a page that earn it a filtered look
constexpr int kMinHollowChain = 5;          // band-search lines in a run with a hollow pattern bar: a look
constexpr int kMinSpeckledHollowChain = 2;  // the same that earn a speck-filtered look first
constexpr int kMinFineHollowChain = 2;      // lines 3 px apart in a run through such a line: a look too
constexpr int kPadCodeword = 900;           // fills the data region past the length descriptor
constexpr int kSampledSpareChecks = 2;      // check codewords a reading from the rows' middles leaves unused
constexpr int kMinPairHollowChain = 5;      // the same band-search lines by the pattern's pair sums: a look
constexpr int kMinFinePairHollowChain = 4;  // lines 3 px apart meeting it either way, through one such line
}  // namespace

namespace {

// Whether the corrected data region codewords[0 .. dataRegion-1] agrees with its length
// descriptor (codewords[0], the data codewords it counts itself among): at least 1, at most the
// region, and every codeword past it the pad codeword. A reading that took the wrong number of
// rows or columns can still correct (unread cells appended at the end are a valid sequence), but
// then the check codewords it took for data are not pads.
bool fits_length_descriptor(const int* codewords, int dataRegion) {
    const int descriptor = codewords[0];
    if (descriptor < 1 || descriptor > dataRegion) return false;
    for (int i = descriptor; i < dataRegion; ++i)
        if (codewords[i] != kPadCodeword) return false;
    return true;
}

}  // namespace

int decode_codewords(int* codewords, int n, int level, const int* erasures, int erasureCount, uint8_t* out,
                     int capacity, int* length) {
    if (level < 0 || level > 8 || n < 1 || n > kMaxCodewords || capacity < 0) return kUnusable;
    const int checkCount = 2 << level;
    if (checkCount >= n) return kUnusable;
    if (!correct_errors(codewords, n, checkCount, erasures, erasureCount)) return kUncorrectable;
    if (!fits_length_descriptor(codewords, n - checkCount)) return kUncorrectable;
    ByteSink sink{out, capacity};
    decode_data(codewords, data_length(codewords, codewords[0]), sink);
    if (sink.overflow) return kUnusable;
    *length = sink.length;
    return kDecoded;
}

namespace {

// After an uncorrectable reading: the codewords read most weakly (one reading, or barely more
// readings than against) are erased as well, the weakest first, as many as the correction can
// take with no error left (then with room for one error), and the sequence is corrected again.
// Two erasures cost what one error does, so a few doubtful codewords that are wrong no longer
// sink the symbol; the correction still keeps its spare check codewords, so this cannot turn an
// unreadable symbol into a wrong text any more than a reading with those erasures could.
int decode_with_weak_erasures(Workspace& ws, int n, int level, int erasureCount, uint8_t* out, int capacity,
                              int* length, int* used = nullptr) {
    const int checkCount = 2 << level;
    int* weak = ws.weakOrder;
    int weakCount = 0;
    for (int i = 0; i < n; ++i)
        if (ws.support[i] > 0 && ws.support[i] <= kWeakSupport) weak[weakCount++] = i;
    if (weakCount == 0) return kUncorrectable;
    std::stable_sort(weak, weak + weakCount, [&ws](int x, int y) { return ws.support[x] < ws.support[y]; });
    for (int spareErrors = 0; spareErrors <= 1; ++spareErrors) {
        const int room = checkCount - kSpareChecks - 2 * spareErrors - erasureCount;
        if (room <= 0) break;
        const int extra = std::min(room, weakCount);
        if (erasureCount + extra > kMaxErasures) break;
        std::copy(ws.readCodewords, ws.readCodewords + n, ws.codewords);
        int* erasures = ws.erasures;
        for (int k = 0; k < extra; ++k) erasures[erasureCount + k] = weak[k];
        const int r =
            decode_codewords(ws.codewords, n, level, erasures, erasureCount + extra, out, capacity, length);
        if (used) *used = erasureCount + extra;
        if (r != kUncorrectable) return r;
        if (extra == weakCount) break;  // the next attempt would erase no more
    }
    return kUncorrectable;
}

// While grey copies of a halftone page are read: each copy places some edges better than the
// others, so the codewords one reading read go into ws.pool (a value read differently by two
// readings is dropped there), and the erasures of this reading that the pool holds are filled
// from it, as single (weak) readings that the retry may erase again. Only readings of the same
// shape meet. Returns the erasures left. The correction still checks the sequence with its spare
// check codewords, so a pooled codeword that is wrong is one more error, never a text by itself.
int pool_readings(Workspace& ws, const SymbolShape& shape, int n, int erasureCount) {
    Workspace::Pool& pool = ws.pool;
    if (pool.rows != shape.rows || pool.columns != shape.columns || pool.level != shape.level) {
        pool.rows = shape.rows;
        pool.columns = shape.columns;
        pool.level = shape.level;
        std::fill(pool.state, pool.state + n, Workspace::Pool::kUnknown);
    }
    bool erased[kMaxCodewords] = {};
    for (int k = 0; k < erasureCount; ++k) erased[ws.erasures[k]] = true;
    int left = 0;
    for (int i = 0; i < n; ++i) {
        uint8_t& state = pool.state[i];
        if (!erased[i]) {
            if (state == Workspace::Pool::kUnknown) {
                state = Workspace::Pool::kKnown;
                pool.value[i] = ws.codewords[i];
            } else if (state == Workspace::Pool::kKnown && pool.value[i] != ws.codewords[i]) {
                state = Workspace::Pool::kConflict;
            }
        } else if (state == Workspace::Pool::kKnown) {
            ws.codewords[i] = pool.value[i];
            ws.support[i] = 1;
        } else {
            ws.erasures[left++] = i;
        }
    }
    return left;
}

// Whether the corrected ws.codewords (n, level) changed so few of ws.readCodewords, beside the
// `erasureCount` erasures listed in ws.erasures, that kSampledSpareChecks check codewords were
// left unused: 2 per error, 1 per erasure.
bool leaves_margin(const Workspace& ws, int n, int level, int erasureCount) {
    bool erased[kMaxCodewords] = {};
    for (int k = 0; k < erasureCount; ++k) erased[ws.erasures[k]] = true;
    int errors = 0;
    for (int i = 0; i < n; ++i) errors += !erased[i] && ws.codewords[i] != ws.readCodewords[i];
    return 2 * errors + erasureCount <= (2 << level) - kSampledSpareChecks;
}

// After the lines of a reading from both sides did not correct: the codewords read again from
// each row's own middle (sample_rows), corrected as the lines' reading was (then with the weak
// readings erased), and taken only where the correction left kSampledSpareChecks check codewords
// unused. The cells only the lines read are first checked against their profiles; when that
// reading does not correct, the lines' values are kept as they were and it is corrected again
// (under a local threshold the profiles fit less well than the lines read).
int decode_sampled_rows(const ImageView& image, Workspace& ws, const SymbolShape& shape, int erasureCount,
                        uint8_t* out, int capacity, int* length) {
    const int n = shape.rows * shape.columns;
    int readCodewords[kMaxCodewords], support[kMaxCodewords], erasures[kMaxErasures];
    std::copy(ws.readCodewords, ws.readCodewords + n, readCodewords);
    std::copy(ws.support, ws.support + n, support);
    std::copy(ws.erasures, ws.erasures + erasureCount, erasures);
    int result = kUncorrectable;
    for (const bool checkLineCells : {true, false}) {
        std::copy(readCodewords, readCodewords + n, ws.readCodewords);
        std::copy(support, support + n, ws.support);
        std::copy(erasures, erasures + erasureCount, ws.erasures);
        std::copy(ws.readCodewords, ws.readCodewords + n, ws.codewords);
        const int sampled = sample_rows(image, ws, shape, erasureCount, checkLineCells);
        if (sampled < 0) return kUncorrectable;
        result = decode_codewords(ws.codewords, n, shape.level, ws.erasures, sampled, out, capacity, length);
        int used = sampled;
        if (result == kUncorrectable)
            result = decode_with_weak_erasures(ws, n, shape.level, sampled, out, capacity, length, &used);
        if (result == kDecoded && !leaves_margin(ws, n, shape.level, used)) result = kUncorrectable;
        if (result != kUncorrectable) return result;
    }
    return result;
}

// Lines, votes, grids and correction for one scan direction; with `sampleRows`, a reading from
// both sides that did not correct is read again from its rows' middles.
int read_and_decode(const ImageView& image, Orientation orientation, const SkewResult& skew, int noise,
                    Workspace& ws, uint8_t* out, int capacity, int* length, SymbolShape& shape,
                    bool bothSides, bool sampleRows = false) {
    if (!read_symbol_lines(image, orientation, skew, noise, ws, bothSides)) return kUnusable;
    if (!shape_from_votes(ws, shape)) return kUnusable;
    int erasureCount = merge_grids(ws, shape);
    const int n = shape.rows * shape.columns;
    if (ws.pool.pooling) erasureCount = pool_readings(ws, shape, n, erasureCount);
    std::copy(ws.codewords, ws.codewords + n, ws.readCodewords);
    const int result =
        decode_codewords(ws.codewords, n, shape.level, ws.erasures, erasureCount, out, capacity, length);
    if (result != kUncorrectable) return result;
    const int weak = decode_with_weak_erasures(ws, n, shape.level, erasureCount, out, capacity, length);
    if (weak != kUncorrectable || !sampleRows) return weak;
    return decode_sampled_rows(image, ws, shape, erasureCount, out, capacity, length);
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

namespace {

// Whether an orientation whose first try met `matches` along the pattern edge in `band` is
// measured again with the pair-sum test.
bool earns_second_try(int matches, const Band& band) {
    return matches >= kMinSecondTryMatches || band.chain >= kMinSecondTryChain;
}

// What one look at a page found, for deciding on a second look.
struct Look {
    int result = kNotFound;
    Orientation orientation = Orientation::Rows;
    int matches = 0;      // pattern matches of the first orientation tries
    int pairMatches = 0;  // pattern matches of the pair-sum tries (0 when none ran)
    int hollowChain = 0;  // band-search lines in a run that met a pattern only with a hollow bar closed
    Orientation hollowOrientation = Orientation::Rows;  // the lines that gave hollowChain
    int hollowAlong = 0;                                // and the last line of their run
    int pairHollowChain = 0;  // the same by the pattern's pair sums (see Band::pairHollowChain)
    Orientation pairHollowOrientation = Orientation::Rows;  // the lines that gave pairHollowChain
    int pairHollowAlong = 0;                                // and the last line of their run
};

// Locates, reads and decodes the symbol in `image` (one look).
Look decode_view(const ImageView& image, uint8_t* out, int capacity, int* length, int noise,
                 SymbolInfo* info) {
    Look look;
    Workspace& ws = workspace();
    ws.clear();

    // Rows, then columns; when both are rejected, both again with the pair-sum pattern test that
    // heavy print gain still passes (kept for a second try: on clean symbols its extra matches
    // at the pattern's corners make the edge fit a little worse). The second try is earned by
    // matches of the first, or by a band whose lines met the pattern by its pair sums: under
    // strong ink spread the one-module spaces of the pattern are a pixel wide, and the windows of
    // the first try meet nothing at all.
    Orientation orientation = Orientation::Rows;
    SkewResult skew;
    const Band rowBand = band_search(image, Edge::Left, 3, 0, !ws.closeHollow);
    Band columnBand;
    bool columnBandKnown = false;
    int firstMatches[2] = {0, 0};
    SkewResult looseSkew[2];  // directions from short edges of few matches, for a last try
    for (PatternWindows windows : {PatternWindows::Orientation, PatternWindows::OrientationPairs}) {
        const bool second = windows == PatternWindows::OrientationPairs;
        orientation = Orientation::Rows;
        if (rowBand.found && (!second || earns_second_try(firstMatches[0], rowBand))) {
            skew = measure_skew(image, Orientation::Rows, rowBand, noise, ws, windows,
                                second ? nullptr : &looseSkew[0]);
            if (!second) firstMatches[0] = skew.matches;
            if (second) look.pairMatches += skew.matches;
        }
        if (skew.accepted) break;
        orientation = Orientation::Columns;
        if (!columnBandKnown) {
            columnBand = band_search(image, Edge::Top, 0, 3, !ws.closeHollow);
            columnBandKnown = true;
        }
        if (columnBand.found && (!second || earns_second_try(firstMatches[1], columnBand))) {
            skew = measure_skew(image, Orientation::Columns, columnBand, noise, ws, windows,
                                second ? nullptr : &looseSkew[1]);
            if (!second) firstMatches[1] = skew.matches;
            if (second) look.pairMatches += skew.matches;
        }
        if (skew.accepted) break;
    }
    // A short symbol whose start and stop edges met few lines (salt or blur broke the pattern on
    // the others), in the first orientation whose edges gave such a direction.
    for (int k = 0; k < 2 && !skew.accepted; ++k) {
        if (!looseSkew[k].accepted) continue;
        orientation = k == 0 ? Orientation::Rows : Orientation::Columns;
        skew = looseSkew[k];
    }
    look.matches = firstMatches[0] + firstMatches[1];
    look.hollowChain = rowBand.hollowChain;
    look.hollowAlong = rowBand.hollowAlong;
    look.pairHollowChain = rowBand.pairHollowChain;
    look.pairHollowAlong = rowBand.pairHollowAlong;
    if (columnBandKnown && columnBand.pairHollowChain > look.pairHollowChain) {
        look.pairHollowChain = columnBand.pairHollowChain;
        look.pairHollowAlong = columnBand.pairHollowAlong;
        look.pairHollowOrientation = Orientation::Columns;
    }
    if (columnBandKnown && columnBand.hollowChain > look.hollowChain) {
        look.hollowChain = columnBand.hollowChain;
        look.hollowAlong = columnBand.hollowAlong;
        look.hollowOrientation = Orientation::Columns;
    }
    look.orientation = orientation;
    if (!skew.accepted) return look;

    SymbolShape shape;
    int result = read_and_decode(image, orientation, skew, noise, ws, out, capacity, length, shape, false);
    // Lines read from one side only are enough for a clean symbol; when they are not, every line
    // is read again from both its start and its stop pattern.
    if (result == kUncorrectable || result == kUnusable) {
        ws.clear_reading();
        result =
            read_and_decode(image, orientation, skew, noise, ws, out, capacity, length, shape, true, true);
    }
    // The direction of long, short symbols is known only to a few tenths of a degree from the
    // pattern edge; lines that drift across rows leave too many cells empty. Read again along
    // slightly turned directions before giving up.
    for (int k = 0; k < kRetryCount && result == kUncorrectable; ++k) {
        const int turn = (k / 2 + 1) * (k % 2 ? -1 : 1);
        SkewResult turned = turn_direction(skew, turn * kRetryStepDegrees);
        ws.clear_reading();
        int retry =
            read_and_decode(image, orientation, turned, noise, ws, out, capacity, length, shape, true);
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
    look.result = result;
    return look;
}

// Looks at a grey copy of a halftone page, cut again to 1 bit, then (when it met enough pattern
// matches) at that copy with its specks filtered out along the bars. Returns the first look, its
// result kDecoded when either look decoded.
Look look_with_specks(const std::vector<uint8_t>& copy, int width, int height, uint8_t* out, int capacity,
                      int* length, int noise, SymbolInfo* info) {
    Workspace& ws = workspace();
    const ImageView view(copy.data(), width, height);
    Look look = decode_view(view, out, capacity, length, noise, info);
    if (look.result == kDecoded || look.matches < kMinSecondLookMatches) return look;
    const SpeckAxis axis =
        look.orientation == Orientation::Columns ? SpeckAxis::Horizontal : SpeckAxis::Vertical;
    if (decode_view(filter_specks(view, axis, ws.filtered), out, capacity, length, noise, info).result ==
        kDecoded)
        look.result = kDecoded;
    return look;
}

// Whether `view`, whose look met a hollow pattern bar (see look_closing_hollow) on
// look.hollowChain band-search lines in a run, earns a look with hollow bars closed: on
// kMinHollowChain lines 10 px apart, or, counted again once one was seen, on
// kMinFineHollowChain lines 3 px apart. A symbol of a few rows crosses only 4 or 5 of the
// band-search lines, and its top and bottom rows, where the threshold's window takes in the
// paper around it, show the bar whole. Salt on the rims and blur that starves the one-module
// bars beside the hollow one hide it from the narrower windows on all but one of those lines:
// counted again with the lines on which the merged bar fits the pattern by its pair sums too,
// kMinFinePairHollowChain lines 3 px apart earn the look (from a band-search line that met it
// either way).
bool earns_hollow_look(const ImageView& view, const Look& look) {
    if (look.hollowChain >= kMinHollowChain || look.pairHollowChain >= kMinPairHollowChain) return true;
    auto fineRun = [&view](Orientation orientation, int along, bool pairs) {
        return orientation == Orientation::Rows ? hollow_run_near(view, Edge::Left, 3, 0, along, pairs)
                                                : hollow_run_near(view, Edge::Top, 0, 3, along, pairs);
    };
    if (look.hollowChain >= 1 &&
        fineRun(look.hollowOrientation, look.hollowAlong, false) >= kMinFineHollowChain)
        return true;
    // The lines counted with the pair sums too only where a band-search line met the bar so.
    if (look.pairHollowChain < 1) return false;
    if (look.hollowChain >= 1 &&
        fineRun(look.hollowOrientation, look.hollowAlong, true) >= kMinFinePairHollowChain)
        return true;
    const bool sameLine = look.hollowChain >= 1 && look.hollowOrientation == look.pairHollowOrientation &&
                          look.hollowAlong == look.pairHollowAlong;
    return !sameLine &&
           fineRun(look.pairHollowOrientation, look.pairHollowAlong, true) >= kMinFinePairHollowChain;
}

// Lines met the pattern only with a hollow wide bar (a local threshold whose window is narrower
// than the bar) taken as one: a look at `view` with every line so closed. Returns its result.
int look_closing_hollow(const ImageView& view, uint8_t* out, int capacity, int* length, int noise,
                        SymbolInfo* info) {
    Workspace& ws = workspace();
    ws.closeHollow = true;
    const int result = decode_view(view, out, capacity, length, noise, info).result;
    ws.closeHollow = false;
    return result;
}

}  // namespace

int decode_image(const uint8_t* rows, int width, int height, uint8_t* out, int capacity, int* length,
                 int noise, SymbolInfo* info) {
    if (width < 1 || height < 1 || !rows) return kBadSize;
    if (noise < 0) noise = 0;
    const ImageView image(rows, width, height);
    Workspace& ws = workspace();
    ws.pool.pooling = false;
    const Look first = decode_view(image, out, capacity, length, noise, info);
    if (first.result == kDecoded) return first.result;
    // A dithered page (grey paper scattered with lone dots, bar edges frayed into a fringe that
    // no line reads) is looked at again smoothed: over 3 x 3 pixels, then over 5 x 5, which also
    // evens out the patterns of ordered dithering.
    if (barcode::looks_dithered(barcode::lone_pixel_share(rows, image.width, height, image.stride))) {
        // An ordered dither repeats a pattern of thresholds: averaged over one period along the
        // bars (and a few pixels across) it gives back the grey, which is cut at half. Bars run
        // down the columns of a symbol read along rows: that way first, unless columns were seen.
        const int period = barcode::ordered_period(rows, image.width, height, image.stride);
        ws.pool.pooling = true;
        ws.pool.rows = 0;
        if (period > 0) {
            const bool columnsFirst = first.orientation == Orientation::Columns && first.matches > 0;
            for (const bool upright : {!columnsFirst, columnsFirst}) {
                barcode::descreen_ordered(rows, image.width, height, image.stride, period, upright,
                                          ws.smoothed);
                const Look look =
                    look_with_specks(ws.smoothed, width, height, out, capacity, length, noise, info);
                if (look.result == kDecoded) {
                    ws.pool.pooling = false;
                    return kDecoded;
                }
            }
            // Edges between the few columns whose thresholds lie near half are known only to a
            // couple of pixels; the grey of 2 x 2 blocks places some of them otherwise.
            barcode::descreen_blocks(rows, image.width, height, image.stride, ws.smoothed);
            if (look_with_specks(ws.smoothed, width, height, out, capacity, length, noise, info).result ==
                kDecoded) {
                ws.pool.pooling = false;
                return kDecoded;
            }
        }
        for (int reach = 1; reach <= 2; ++reach) {
            barcode::smooth_halftone(rows, image.width, height, image.stride, ws.smoothed, reach);
            const ImageView smoothed(ws.smoothed.data(), width, height);
            const Look look = decode_view(smoothed, out, capacity, length, noise, info);
            if (look.result == kDecoded) {
                ws.pool.pooling = false;
                return look.result;
            }
        }
        ws.pool.pooling = false;
    }
    const SpeckAxis axis =
        first.orientation == Orientation::Columns ? SpeckAxis::Horizontal : SpeckAxis::Vertical;
    if (first.matches >= kMinSecondLookMatches || first.hollowChain >= kMinSpeckledHollowChain) {
        // A second look at the page with its specks filtered out along the bars; the bars run
        // across the orientation that was measured (rows first when nothing was). Earned by
        // pattern matches, or by a few lines that would meet the pattern with a hollow bar closed
        // (salt on the rims hides it on the others).
        const ImageView filtered = filter_specks(image, axis, ws.filtered);
        const Look second = decode_view(filtered, out, capacity, length, noise, info);
        if (second.result == kDecoded) return kDecoded;
        // Salt on the rims of hollow bars hides them on many lines of the page itself.
        if (earns_hollow_look(filtered, second) &&
            look_closing_hollow(filtered, out, capacity, length, noise, info) == kDecoded)
            return kDecoded;
    }
    if (first.pairMatches >= kMinSecondLookMatches) {
        // The pattern was met by its pair sums: ink spread that leaves one-module spaces a pixel
        // wide closes some of them on some lines. A look at the page with every space that is
        // open on a neighbouring line along the bars opened.
        const ImageView opened = open_spaces(image, axis, ws.filtered);
        if (decode_view(opened, out, capacity, length, noise, info).result == kDecoded) return kDecoded;
    }
    if (earns_hollow_look(image, first) &&
        look_closing_hollow(image, out, capacity, length, noise, info) == kDecoded)
        return kDecoded;
    return first.result;
}

}  // namespace pdf417
