// Start and stop pattern tests on an element list.
#pragma once

namespace pdf417 {

enum class PatternKind { Start = 0, Stop = 1, ReversedStart = 2, ReversedStop = 3 };

// The ratio windows of a test: reference bar b against each other element e.
enum class PatternWindows {
    Search,       // band search and reading
    Orientation,  // orientation and skew measurement
    // orientation and skew measurement on a second try, after both orientations were rejected:
    // the orientation windows, or the pair sums of the search (for heavy print gain)
    OrientationPairs,
};

// True when the pattern of `kind` sits at dark element `index` of widths[0..count-1] (each
// element within its window against the widest bar, or, for Search and OrientationPairs, every
// pair sum of the first 8 elements within 0.7 module of the pattern's): for the forward kinds the pattern
// starts at `index` (its widest bar), for the reversed kinds it ends there. Patterns that do not fit inside
// the list are never matched.
bool matches_pattern(const int* widths, int count, int index, PatternKind kind, PatternWindows windows);

// Index of the pattern's first element in line order.
int pattern_first_element(int index, PatternKind kind);

// Number of elements of the pattern: 8 for start, 9 for stop.
int pattern_length(PatternKind kind);

inline bool is_reversed(PatternKind kind) {
    return kind == PatternKind::ReversedStart || kind == PatternKind::ReversedStop;
}

}  // namespace pdf417
