#pragma once
// EAN/UPC pair digits under a local (adaptive) threshold. Such a threshold sets each pixel against
// the mean grey of a window around it: where the symbol is dark over the window (an 8 or a 7 of
// set A beside a 6 or a 3, ten of fourteen modules bar) the threshold falls towards the ink and
// every bar comes out thinner, on blurred photos by more than a module of bar per digit; where
// the symbol is light its bars come out full or thicker. A dense 8 or 7 then reads as its light
// partner, 2 or 1 (the two share their edge-to-edge sums and differ by two modules of bar), and
// neither the line's gain nor the mean gain of the digits around it tells them apart: those
// digits are lighter than it. The thinning follows the darkness of the window, though, and every
// digit shows it: each choice of the line's pair digits gives each digit a darkness and a bar
// excess, and the choice that is the symbol puts them on one line.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "barcode/linear/symbologies/ean_digits.h"

namespace stripescan {

// Where the guards of a symbol stand among its digits: the centre guard (01010) before digit
// `centreBefore` (-1: none, as on UPC-E), and the modules of the end guard ("101", or UPC-E's
// "010101"). Every symbol starts with the guard 101.
struct DarkWindowLayout {
    int centreBefore = -1;
    std::string endGuard = "101";
};

// The digits of a line settled by the darkness around them, in the order of the digits read, and
// the bar excess (modules, as ean_bar_excess) the darkness gives each of them.
struct DarkWindowReading {
    std::vector<int> values;
    std::vector<double> expectedExcess;
};

// Modules on either side of a digit that its window takes in besides the digit's own seven:
// about the 25 px window of the common adaptive thresholds at 2-3 px modules.
constexpr int kDarkWindowReach = 3;
// Bar excess (modules per digit) that a window all bar takes from the bars against one all space,
// at least, for the darkness to count: a plain (global) threshold shows none, and its pair digits
// are the bars' own business.
constexpr double kLeastDarkThinning = 1.0;
// And at most this: a line so steep takes a 2 for an 8 as readily as the 8 (an 8 moves its
// window's darkness by 2 modules in 13 and its own bars by 2 modules), and no choice is told.
constexpr double kMostDarkThinning = 8.0;
// Root mean square distance of the digits' bar excess from the darkness's line, in modules, at most.
constexpr double kMostDarkResidual = 0.4;
// Share of the spread of the digits' bar excess that the darkness must explain, at least: on a
// line that no threshold thinned by darkness, one digit drawn between its pair's widths is no
// thinning, whichever digit of the pair the fit makes of it.
constexpr double kLeastDarkShare = 0.6;
// Every other choice that passes, and the line's digits as read, must leave this many times the
// squared distances of the one taken.
constexpr double kDarkChoiceMargin = 2.0;
// Pair digits and erasures a line may hold for the choices to be tried (2 to the power of them).
constexpr std::size_t kMostDarkChoices = 8;

// Settles every 1, 2, 7 and 8 of `read` and every erasure (digit -1; its two candidates in
// `pairs` at the same index, `first` -1 elsewhere) by the darkness of the windows around the
// digits: for each choice of their digits the bar excess of every digit (ean_bar_excess) is
// fitted to the share of bar in its window (the digit, kDarkWindowReach modules on either side,
// guards and quiet zones as they are), and the choice with the least squared distance is taken
// when it passes `passes` (the digits' values in the order of `read`), the fit thins bars where
// the window is dark by kLeastDarkThinning to kMostDarkThinning, lies within kMostDarkResidual,
// explains kLeastDarkShare of the spread of the excess, and leaves
// every other choice that passes, and the digits as read, kDarkChoiceMargin times further.
// Nothing when it does not, or when a digit's runs are not there.
std::optional<DarkWindowReading> settle_pairs_by_darkness(
    const RunList& runs, const std::vector<ReadDigit>& read, const std::vector<DigitPair>& pairs,
    const DarkWindowLayout& layout, const std::function<bool(const std::vector<int>&)>& passes);

// settle_pairs_by_darkness for a line's `text`: its digits from `lead` on are those of `read`,
// '?' at the erasures (places among `read` in `erasures`, their candidates in `pairs`); a digit
// an earlier line settled counts as read. `passes` takes the whole text. The text takes the
// settled digits when they are found.
std::optional<DarkWindowReading> settle_by_darkness(const RunList& runs, const std::vector<ReadDigit>& read,
                                                    const std::vector<int>& erasures,
                                                    const std::vector<DigitPair>& pairs, std::string& text,
                                                    std::size_t lead, const DarkWindowLayout& layout,
                                                    const std::function<bool(const std::string&)>& passes);

}  // namespace stripescan
