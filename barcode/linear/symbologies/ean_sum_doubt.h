#pragma once
// EAN/UPC lines whose edge-to-edge sums lie near half-way between whole modules. A digit is read
// by its two sums rounded to whole modules; where a sum lies near the middle, the same bars read
// the other way give another digit, of the other set (the two sets' sums differ in parity).
// UPC-E and EAN-13 carry their check in the sets, so a few such digits read the other way may
// change the digits and the sets together and still pass: a local threshold left the bars of a
// UPC-E "06084561" so that two lines read "06020503" (two digits whose sums lay near the middle,
// and a 2 for an 8 that the line's misread digits then predicted).

#include <functional>
#include <vector>

#include "barcode/linear/symbologies/ean_digits.h"
#include "barcode/linear/symbologies/ean_width_classes.h"

namespace stripescan {

// A sum further than this from whole modules (on the digit's own width of 7) may be either of
// the two whole numbers beside it.
constexpr double kDoubtfulSumModules = 0.3;

// The readings other than `read` of the 4 runs from i (a digit of one of `sets`) that its sums
// give when each sum further than kDoubtfulSumModules from whole modules goes the other way
// (both digits of a pair, 1/7 or 2/8, whose bars would then have to decide). Empty when no
// sum is in doubt or the runs are not there.
std::vector<NearestDigit> doubtful_sum_readings(const RunList& runs, int i, const std::vector<EanSet>& sets,
                                                const NearestDigit& read);

// True when the digits `read` of a line (all decided; `setsAt(k)` the sets the digit at k may be
// of) may be read another way that `passes` too: every digit whose sums are in doubt may take
// one of its other readings (doubtful_sum_readings), and the 1s, 2s, 7s and 8s are then decided
// again by the line's width classes (`modules` per half), since those come from the digits the
// sums decided; a pair they leave open may be either digit. A way that the classes decide back
// into the digits and sets as read is no other reading. Also true when there are too many ways
// to try or a digit is undecided.
bool sums_may_tip(const RunList& runs, const std::vector<ReadDigit>& read,
                  const std::function<std::vector<EanSet>(std::size_t)>& setsAt, const HalfModules& modules,
                  const std::function<bool(const std::vector<ReadDigit>&)>& passes);

}  // namespace stripescan
