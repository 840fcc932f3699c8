#pragma once
// The three operations every symbology offers the search: find a start or stop pattern at a
// run, confirm the quiet zone before it, and decode a whole symbol from the runs of one line.

#include <optional>

#include "barcode/linear/keys.h"
#include "barcode/linear/symbology.h"

namespace stripescan {

struct PatternHit {
    int elements = 0;
    bool start = false;      // a start pattern (else a stop pattern)
    bool backwards = false;  // matched the pattern's reversed key
    double module = 0.0;     // module or narrow width along the scan line, pixels
};

// How find_pattern takes a width-sum start or stop pattern whose key misses by the rounding of
// one- and two-pixel modules: never, when its edges fit the pattern and a quiet zone precedes
// it (the search's scan lines), or whenever its edges fit (a fan line across a bar already
// found, where the pattern is expected).
enum class PatternFit { KeysOnly, AfterQuietZone, Always };

// Does a start or stop pattern of `symbology`, read either way, begin at run p?
std::optional<PatternHit> find_pattern(const Symbology& symbology, const RunList& runs, int p,
                                       PatternFit fit = PatternFit::KeysOnly);

// The key of the pattern's runs from i measured as the pattern expects it; narrow/wide
// patterns as printed or with the ink gain taken off (see narrow_wide_key).
std::optional<Key> pattern_key(const Symbology& symbology, const Pattern& pattern, const RunList& runs, int i,
                               Ink ink = Ink::AsPrinted);

// Where a decoded symbol lies on its line, in the line's own run order.
struct LineSymbol {
    int first = 0;
    int last = 0;
    bool backwards = false;
    double module = 0.0;
};

// Searches the runs of one line for the start and end of a symbol, reads its characters, checks
// and converts them. `quiet_width` is set to the trailing quiet zone of the last end pattern
// found. False when no whole symbol decodes.
bool decode_line(const Symbology& symbology, const ReadOptions& options, const RunList& line,
                 double& quietWidth, Decoded& out, LineSymbol& where);

}  // namespace stripescan
