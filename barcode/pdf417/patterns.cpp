// Each pattern element is compared with the widest bar b (8 modules in the start pattern,
// 7 in the stop pattern): an element of m modules passes when lo * e <= b <= hi * e.
#include "barcode/pdf417/patterns.h"

#include <cmath>
#include <cstdlib>

namespace pdf417 {
namespace {

constexpr int kStartModules[8] = {8, 1, 1, 1, 1, 1, 1, 3};
constexpr int kStopModules[9] = {7, 1, 1, 3, 1, 1, 1, 2, 1};
constexpr int kMinReferencePixels = 7;  // the stop pattern's widest bar at one pixel per module

// Windows in tenths, indexed by the element's module count (1, 2, 3).
struct Window {
    int lo[4];
    int hi[4];
};
// Start pattern: 1-module 5..20 (search) or 5..16 (orientation); 3-module 2..5 or 2..4.
constexpr Window kStartSearch{{0, 50, 0, 20}, {0, 200, 0, 50}};
constexpr Window kStartOrientation{{0, 50, 0, 20}, {0, 160, 0, 40}};
// Stop pattern: 1-module 5..18 or 5..15; 3-module 1.5..4; 2-module 2.5..6 or 2.5..7.
constexpr Window kStopSearch{{0, 50, 25, 15}, {0, 180, 60, 40}};
constexpr Window kStopOrientation{{0, 50, 25, 15}, {0, 150, 70, 40}};

// Second test, for print gain and blur: every bar grows (or shrinks) by about the same amount,
// so the sums of neighbouring elements keep their module counts when single elements do not
// (a 1-module space of a 2-pixel module may be printed 1 pixel wide). The first 8 elements of
// either pattern are 17 modules wide; each of their 7 pair sums, scaled to 17 modules, must lie
// within kPairTolerance of the pattern's.
constexpr double kPairTolerance = 0.7;                 // modules
constexpr int kStartPairs[7] = {9, 2, 2, 2, 2, 2, 4};  // 8+1, 1+1, ..., 1+3
constexpr int kStopPairs[7] = {8, 2, 4, 4, 2, 2, 3};   // 7+1, 1+1, 1+3, ..., 1+2

bool pairs_fit(const int* widths, int index, int step, const int* pairs) {
    long s = 0;
    for (int k = 0; k < 8; ++k) s += widths[index + step * k];
    if (s <= 0) return false;
    // |17 pair / s - module pair| <= tolerance, in whole numbers.
    const long limit = std::lround(kPairTolerance * 10.0 * static_cast<double>(s));
    for (int k = 0; k < 7; ++k) {
        const long pair = widths[index + step * k] + widths[index + step * (k + 1)];
        if (10 * std::labs(17 * pair - pairs[k] * s) > limit) return false;
    }
    return true;
}

bool fits(int b, int e, int modules, const Window& w) {
    long lo = static_cast<long>(w.lo[modules]) * e, hi = static_cast<long>(w.hi[modules]) * e;
    long b10 = 10L * b;
    return lo <= b10 && b10 <= hi;
}

}  // namespace

int pattern_length(PatternKind kind) {
    return (kind == PatternKind::Start || kind == PatternKind::ReversedStart) ? 8 : 9;
}

int pattern_first_element(int index, PatternKind kind) {
    return is_reversed(kind) ? index - (pattern_length(kind) - 1) : index;
}

bool matches_pattern(const int* widths, int count, int index, PatternKind kind, PatternWindows windows) {
    const bool start = kind == PatternKind::Start || kind == PatternKind::ReversedStart;
    const int length = pattern_length(kind);
    const int step = is_reversed(kind) ? -1 : 1;
    const int last = index + step * (length - 1);
    if (index < 0 || index >= count || last < 0 || last >= count) return false;

    const int b = widths[index];
    const bool pairs = windows != PatternWindows::Orientation;
    if (windows == PatternWindows::OrientationPairs) windows = PatternWindows::Orientation;
    if (start && windows == PatternWindows::Orientation) {
        if (b <= kMinReferencePixels) return false;
    } else if (b < kMinReferencePixels) {
        return false;
    }
    const int* modules = start ? kStartModules : kStopModules;
    const Window& w = start ? (windows == PatternWindows::Search ? kStartSearch : kStartOrientation)
                            : (windows == PatternWindows::Search ? kStopSearch : kStopOrientation);
    bool each = true;
    for (int k = 1; k < length && each; ++k) each = fits(b, widths[index + step * k], modules[k], w);
    return each || (pairs && pairs_fit(widths, index, step, start ? kStartPairs : kStopPairs));
}

}  // namespace pdf417
