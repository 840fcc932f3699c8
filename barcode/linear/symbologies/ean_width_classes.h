#pragma once
// EAN/UPC pair digits (1/7, 2/8) on lines by local contrast on salted paper: a local threshold
// starves wide bars more than narrow ones, so that no single ink gain tells a 7's bars from a
// 1's. The line's own digits that their edge-to-edge sums decide show how wide it draws narrow
// (one-module) and wide bars; a pair digit is the one whose bars those widths predict.

#include <cstddef>
#include <vector>

#include "barcode/linear/symbologies/ean_digits.h"

namespace stripescan {

// The module (run units) of each half of a symbol: digits before `leftDigits` take `left`, the
// others `right`.
struct HalfModules {
    double left = 0.0;
    double right = 0.0;
    std::size_t leftDigits = 0;
    double at(std::size_t digit) const { return digit < leftDigits ? left : right; }
};

// Mean excess (modules, measured minus printed) of the line's narrow and wide bars, over the
// digits of `read` that are no 1, 2, 7 or 8 (their sums decide them), on the module of their
// half. `narrowSeen` and `wideSeen` count the bars measured.
struct BarWidthClasses {
    double narrow = 0.0;
    double wide = 0.0;
    int narrowSeen = 0;
    int wideSeen = 0;
};
BarWidthClasses bar_width_classes(const RunList& runs, const std::vector<ReadDigit>& read,
                                  const HalfModules& modules);

// The digit of the pair (low, high: 1 and 7 or 2 and 8) in `set` whose bars, widened by the
// classes, lie nearest the 4 runs from i (on `module`, run units): every bar of it within
// kClassFit modules and the other digit's worst bar at least kClassMargin modules further off.
// -1 when neither stands so clear, or when the classes saw no narrow or no wide bar.
int pair_digit_by_classes(const RunList& runs, int i, EanSet set, double module, int low, int high,
                          const BarWidthClasses& classes);

// On a line by local contrast: every 1, 2, 7 and 8 of `read`, and every digit left open (digit
// -1, its pair the next of `open`, in order), becomes the digit of its pair that the line's own
// narrow and wide bars predict (pair_digit_by_classes). False when some such digit stands clear
// of neither, or `open` does not match the open digits.
bool settle_pairs_by_classes(const RunList& runs, std::vector<ReadDigit>& read,
                             const std::vector<DigitPair>& open, const HalfModules& modules);

// The same for a line whose digits are all read: each 1, 2, 7 and 8 becomes the digit of its
// pair that the classes predict, or -1 where neither stands clear.
void decide_pairs_by_classes(const RunList& runs, std::vector<ReadDigit>& read, const HalfModules& modules);

}  // namespace stripescan
