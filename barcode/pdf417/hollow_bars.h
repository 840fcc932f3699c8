// Wide pattern bars left hollow by a local threshold whose window is narrower than the bar: the
// start pattern's 8-module bar and the stop pattern's 7-module bar come out as a dark rim on each
// side with light inside. Along a line that is a bar, a space and a bar of like widths; taken as
// one bar only where the whole start or stop pattern then fits around it.
#pragma once

#include "barcode/pdf417/patterns.h"
#include "barcode/pdf417/scan_line.h"

namespace pdf417 {

constexpr int kMinHollowRim = 4;  // pixels of dark on each side of the hollow (windows of 15 px or more)

// True when the dark element `i` of widths[0..count-1], the light element after it and the dark
// one after that (rims within kHollowRimShare of each other, each at least kMinHollowRim pixels,
// the light no wider than twice both rims) form, taken as one bar, the widest bar of a start or
// stop pattern, forward or reversed, by `windows`.
bool hollow_pattern_bar(const int* widths, int count, int i, PatternWindows windows);

// Merges every hollow pattern bar of `list` (by the search windows) into one dark element, in
// place. Returns how many were merged.
int close_hollow_bars(ElementList& list);

}  // namespace pdf417
