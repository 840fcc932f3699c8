#include "barcode/pdf417/hollow_bars.h"

#include <algorithm>
#include <cstdlib>

#include "barcode/pdf417/patterns.h"

namespace pdf417 {
namespace {

constexpr int kHollowRimShare = 5;              // tenths of the wider rim the two rims may differ by
constexpr int kMinWidestBar = 7;                // pixels: the stop pattern's bar at one pixel per module
constexpr int kPatternReach = 8;                // elements a pattern spans beyond its widest bar
constexpr int kWindow = 2 * kPatternReach + 1;  // elements around the merged bar that are tested

}  // namespace

bool hollow_pattern_bar(const int* widths, int count, int i, PatternWindows windows) {
    if (i < 1 || i + 2 >= count || i % 2 == 0) return false;
    const int a = widths[i], hole = widths[i + 1], c = widths[i + 2];
    if (std::min(a, c) < kMinHollowRim || 10 * std::abs(a - c) > kHollowRimShare * std::max(a, c) ||
        hole > 2 * (a + c))
        return false;
    // Cheap necessary conditions first: the widest bar of a pattern is at least kMinWidestBar
    // pixels; by the orientation windows the two one-module elements beside it (after it
    // forward, before it reversed) each lie between a sixteenth and a fifth of it.
    const int merged = a + hole + c;
    if (merged < kMinWidestBar) return false;
    if (windows == PatternWindows::Orientation) {
        auto module = [merged](int e) { return 5 * e <= merged && merged <= 16 * e; };
        const bool forward = i + 4 < count && module(widths[i + 3]) && module(widths[i + 4]);
        const bool reversed = i >= 2 && module(widths[i - 1]) && module(widths[i - 2]);
        if (!forward && !reversed) return false;
    }
    // The elements a pattern around the merged bar can reach, with the three taken as one.
    int local[kWindow];
    int n = 0;
    const int first = std::max(0, i - kPatternReach);
    for (int k = first; k < i; ++k) local[n++] = widths[k];
    const int at = n;
    local[n++] = merged;
    for (int k = i + 3; k < count && n < kWindow; ++k) local[n++] = widths[k];
    for (int k = 0; k < 4; ++k)
        if (matches_pattern(local, n, at, static_cast<PatternKind>(k), windows)) return true;
    return false;
}

int close_hollow_bars(ElementList& list) {
    // The bars are found on the list as it was, then merged.
    bool hollow[kMaxElements] = {};
    int merged = 0;
    for (int k = 1; k + 2 < list.count; k += 2) {
        if (!hollow_pattern_bar(list.width, list.count, k, PatternWindows::Search)) continue;
        hollow[k] = true;
        ++merged;
        k += 2;  // the far rim is not the near rim of another
    }
    if (merged == 0) return 0;
    int out = 0;
    for (int k = 0; k < list.count;) {
        if (hollow[k]) {
            list.width[out++] = list.width[k] + list.width[k + 1] + list.width[k + 2];
            k += 3;
        } else {
            list.width[out++] = list.width[k++];
        }
    }
    list.count = out;
    return merged;
}

}  // namespace pdf417
