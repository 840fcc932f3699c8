#pragma once
// The EAN/UPC digit sets shared by EAN-13, EAN-8 and UPC-E: set A (odd parity), set B (even
// parity) and set C (right half), keyed by the EAN digit key; and the EAN check digit.

#include <array>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "barcode/linear/keys.h"

namespace stripescan {

// A digit is 4 elements of 7 modules.
constexpr int kEanDigitElements = 4;
constexpr int kEanDigitModules = 7;
// The guards: bar, space, bar of one module each at both ends (width-sum key 22), five elements
// in the centre, and UPC-E's end guard of six single modules beginning with a space.
constexpr int kEanGuardElements = 3;
constexpr int kEanGuardModules = 3;
constexpr std::uint64_t kEanGuardKey = 22;
constexpr int kEanCentreGuardElements = 5;
constexpr int kUpcEEndGuardElements = 6;
constexpr int kUpcEEndGuardModules = 6;
constexpr std::uint64_t kUpcEEndGuardKey = 22222;

// The digit of the 4 runs from i in `set`, or -1; `ink_gain` as for ean_digit_key.
int read_ean_digit(const RunList& runs, int i, EanSet set, int inkGain = 0);

// True when each of `count` digits from run `first` (4 runs each) is as wide as the others: within
// kEanDigitWidthTolerance of their mean. Every digit is 7 modules, and ink does not move a
// digit's width (it runs from one edge of a colour to the next of that colour), so a digit
// of 6 or 8 modules is a damaged symbol read out of step, not a digit.
bool ean_digit_widths_even(const RunList& runs, int first, int count);

// How much wider the bars of a symbol print than its spaces (length units, negative when ink
// is starved): mean bar minus mean space over guard elements, which are all one module wide.
// `guards` lists (first run, run count) of each guard. 0 when the guards hold no bar or space.
int ean_ink_gain(const RunList& runs, std::initializer_list<std::pair<int, int>> guards);

// The digit whose pattern lies nearest to the edges of the 4 runs from i, among the sets in
// `sets`, on a grid of `module` length units (the module of the digits around it, measured
// over many of them, which pixel rounding moves far less than one digit's own width); each
// edge is first moved by half the `ink_gain`. The second chance for digits whose key fails
// when modules are one or two pixels wide. Answers the digit and its set, or a digit -1 when
// the best pattern leaves an edge more than 0.45 module off or another pattern (another
// digit, or the same digit in the other set) fits within 0.25 module of it.
struct NearestDigit {
    int digit = -1;
    EanSet set = EanSet::A;
};
NearestDigit nearest_ean_digit(const RunList& runs, int i, std::initializer_list<EanSet> sets, double module,
                               double inkGain);

// The digit of the 4 runs from i in the first of `sets` that has it: by its key (read_ean_digit)
// and, when no key reads, by the nearest pattern (nearest_ean_digit, on the grid of `module`
// length units). With modules narrower than kTrustedGainModule pixels the nearest pattern
// comes first: there the keys' sums of whole pixels fall on a bound between two digits
// often, the edges measured against the module of many digits much less. A digit -1 when
// neither reads.
NearestDigit read_ean_digit_in(const RunList& runs, int i, std::initializer_list<EanSet> sets, double module,
                               int inkGain);

// The guards' ink gain (ean_ink_gain) as the digits may use it, for digits of `module` length
// units (`unit` per pixel): 0 when it is a pixel or less and the modules are narrower than
// kTrustedGainModule pixels. There the rounding of the few one-module guard elements to
// whole pixels alone makes bars a pixel wider or narrower than spaces, and taking that for ink
// would tip digit 7 into 1 and 8 into 2.
constexpr double kTrustedGainModule = 2.5;
int trusted_ink_gain(int inkGain, double module, int unit);

// The two digits a digit may be when its edge-to-edge sums name one of the pairs 1/7 or 2/8
// firmly (each sum within kFirmSumModules of whole modules) but its bars cannot tell which of
// the two (read_ean_digit_in found none). Such a digit is an erasure that only the check digit
// may settle, and only as the symbol's one erasure and when exactly one of the two passes.
// `first` -1 when the sums name no pair (or not firmly) in any of `sets`.
struct DigitPair {
    int first = -1;
    int second = -1;
    EanSet set = EanSet::A;
};
DigitPair ean_digit_pair(const RunList& runs, int i, std::initializer_list<EanSet> sets);

// The digit of the 4 runs from i read with the symbol's gain (from its guards), kept only
// where the gain around it (local_ink_gains) does not name the other digit of its pair: light
// or a local threshold that changes along the symbol may tip 1 into 7 or 2 into 8 either way,
// so a digit the two gains read differently is in doubt (with modules of kTrustedGainModule
// pixels or more; narrower ones round the local gain to whole pixels). A digit -1 when it does not read or
// is in doubt; `pair` then holds the two digits it may be when the doubt is between a pair, or
// ean_digit_pair's when it did not read (the erasure that only the check may settle; `first`
// -1 when there is none).
NearestDigit read_ean_digit_either(const RunList& runs, int i, std::initializer_list<EanSet> sets,
                                   double module, int symbolGain, int localGain, DigitPair& pair);

// True when digit `digit` (1, 2, 7 or 8) of `set`, the 4 runs from i, is told from the other
// digit of its pair firmly: its two bars, less `inkGain` (length units, as for ean_digit_key),
// lie within kFirmBarModules of the digit's own bars, in modules of the digit's own width. The
// two digits' bars differ by 2 modules, so a firm digit misread needs an error of over 1.5
// modules. False for other digits and when the runs are not there.
constexpr double kFirmBarModules = 0.5;
bool ean_pair_digit_firm(const RunList& runs, int i, EanSet set, int digit, int inkGain);

// A digit as read: its first run, set, the gain around it (local_ink_gains, as trusted) and
// its value (-1 for an erasure).
struct ReadDigit {
    int first = 0;
    EanSet set = EanSet::A;
    int localGain = 0;
    int digit = -1;
};

// True when every digit of `read` but the one at `skip` (-1: none) that is a 1, 2, 7 or 8 is
// firm (ean_pair_digit_firm) both with the symbol's gain `symbolGain` and with its own local
// gain.
bool pair_digits_firm(const RunList& runs, const std::vector<ReadDigit>& read, int symbolGain, int skip);

// Where a digit lies: its first run, and whether it is a right-half digit (set C) or a left one
// (set A or B).
struct DigitPlace {
    int first = 0;
    bool right = false;
};

// The ink gain (length units, as for ean_digit_key) at each digit of `digits`, judged from the
// digits around it. Light falling across a photo, or a local threshold, widens the bars of
// one part of a symbol and narrows those of another, so one gain for the whole symbol tips
// 1 into 7 or 2 into 8 where the local gain differs. A digit whose two edge-to-edge sums alone
// decide it (all but 1, 2, 7 and 8, which ink does not move) shows the local gain: its bars
// against their nominal modules. Each digit gets the mean of the digits so decided within
// kGainReach places on either side (itself excluded; those of its own half of the symbol when
// there are any), scaled to its own width; `fallback` where none is.
std::vector<int> local_ink_gains(const RunList& runs, const std::vector<DigitPlace>& digits, int fallback);

// Mean module of `count` runs from `first` that span `modules` modules, length units; 0 when
// the runs are not there.
double span_module(const RunList& runs, int first, int count, int modules);

// How much wider the two bars of digit `digit` of `set` (the 4 runs from i) are than the
// digit's nominal bars, in modules of the digit's own width (7 modules from edge to edge of a
// colour, which ink does not move): the ink gain the digit shows. NaN when the runs are not there.
double ean_bar_excess(const RunList& runs, int i, EanSet set, int digit);

// True when the line's 1s, 2s, 7s and 8s may have tipped into their partners in a way the
// check digit cannot see. Each digit's bars against its nominal bars (ean_bar_excess) show the
// ink gain; the digits other than 1, 2, 7 and 8, which their edge-to-edge sums decide whatever
// the ink, show the line's gain (their mean; `fallbackGain` modules, the guards' gain, when
// there is none). A pair digit whose bars stand more than kPairLeanModules off that gain
// towards its partner's bars leans (the two differ by 2 modules of bar; where modules are under
// 2.2 pixels, a pixel of whole-pixel rounding is allowed instead); so does one whose bars
// stand more than kPairAwayModules off on the other side, which fit neither reading well. Where
// fewer than three digits give the line's gain, a pair digit leaning towards its partner against
// the guards' gain (`fallbackGain`) leans too. When some set of
// leaning digits, each read as its partner, still passes `passes` (the digits' values in the order of
// `read`), both texts are possible: a local threshold that starves or thickens the bars of a few digits alike
// tips several of them at once, and changes of 6 at places of suitable weights cancel in the check. `values`
// are the digits read (erasures settled), in the order of `read`. `expectedExcess`, when given,
// holds each digit's own expected bar excess (as the darkness around it gives it,
// settle_pairs_by_darkness) in place of the line's gain.
constexpr double kPairLeanModules = 0.45;
constexpr double kPairAwayModules = 1.0;
bool pair_digits_may_tip(const RunList& runs, const std::vector<ReadDigit>& read,
                         const std::vector<int>& values, double fallbackGain,
                         const std::function<bool(const std::vector<int>&)>& passes,
                         const std::vector<double>* expectedExcess = nullptr);

// Erasures (digits known only by their pair, 1/7 or 2/8) the check digit may settle in one
// symbol, and places in doubt in all (the erasure and the 1s, 2s, 7s and 8s read by their bars
// that no other line confirmed). Each erasure takes the place of a check: with two at places of
// different weights, four choices move the sum four ways, and a line whose other digits are
// wrong finds exactly one that passes four times in ten (a UPC-E with dashed bars, read the
// same wrong way by three lines, did).
constexpr std::size_t kMostCheckedErasures = 1;
constexpr std::size_t kMostDoubtfulDigits = 4;

// Settles the digits of `text` at `places` (indexes into `text`) by `passes` (the whole text):
// each may be either digit of its pair in `pairs` (an erasure's two candidates, or a pair digit
// as read and its partner). True, with the digits written in, when exactly one choice passes.
// A digit and its partner differ by 6, which moves the check sum by 6 or 8 (mod 10) as its
// place weighs 1 or 3: where two choices give the same sum (two pair digits of one weight
// changed opposite ways, as a local threshold that starves the bars of one and thickens
// another does), the one that passes has a twin that passes too, and the text is refused. If
// the digits outside `places` are right, the one choice that passes is the symbol. False with
// more than kMostDoubtfulDigits places.
bool settle_by_check(std::string& text, const std::vector<std::size_t>& places,
                     const std::vector<DigitPair>& pairs,
                     const std::function<bool(const std::string&)>& passes);

// The other digit of the pair of a 1, 2, 7 or 8 (they share their edge-to-edge sums); -1 for others.
int pair_partner(int digit);

// Settles the erasures of `text` at `places` (their candidates in `pairs`) by settle_by_check,
// together with every 1, 2, 7 or 8 of `text` from `lead` on (`read`: the same digits as read)
// that no earlier line `confirmed`. The one choice that passes must keep as read each of those
// digits that this line's bars tell from its partner firmly (ean_pair_digit_firm, both with the
// symbol's gain `symbolGain` and with its own local gain): a knocked-out bar read a 3 as a 5,
// and a firm 8 beside an erasure turned into the 2 that undid the 5 in the check. Such a digit
// still counts among the choices, so that a twin that passes too refuses the text.
bool settle_with_pair_digits(const RunList& runs, std::string& text, std::size_t lead,
                             const std::vector<ReadDigit>& read, int symbolGain,
                             const std::vector<bool>& confirmed, std::vector<std::size_t> places,
                             std::vector<DigitPair> pairs,
                             const std::function<bool(const std::string&)>& passes);

// The weight (3 or 1) of the digit at `place` of `count` digits (check digit last) in the
// check digit's sum; the check digit itself counts 1.
int ean_check_weight(std::size_t count, std::size_t place);

// True when the last digit of `digits` is the check digit of the others.
bool ean_check_ok(const std::string& digits);

// The 7 modules of digit `digit` (0-9) of `set` in the order the symbol shows them, left to
// right: 1 for bar, 0 for space.
std::array<char, kEanDigitModules> ean_digit_modules(EanSet set, int digit);

// The key of a published 4-element digit pattern such as "3211" in `set`.
std::uint64_t ean_pattern_key(const char* widths, EanSet set);

}  // namespace stripescan
