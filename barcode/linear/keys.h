#pragma once
// Lookup keys that classify a group of runs: the width-sum key (sums of neighbouring widths in
// modules), the element-width key, the EAN digit key and the narrow/wide key.

#include <cstdint>
#include <optional>

#include "barcode/linear/runs.h"

namespace stripescan {

struct Key {
    std::uint64_t value = 0;
    int unit = 0;        // module width (width-sum) or narrow width (narrow/wide), pixels
    double exact = 0.0;  // the same, unrounded
};

// k runs from i whose widths add up to `modules` modules: each sum of two neighbours in modules
// (2 to 7) as one decimal digit, first pair first. Nothing when a sum is out of range.
std::optional<Key> width_sum_key(const RunList& runs, int i, int k, int modules);

// Each width rounded to whole modules of `module` pixels (1 to 7), the sums of neighbours as
// digits. The second chance for characters whose width-sum key is not in the table.
std::optional<std::uint64_t> element_width_key(const RunList& runs, int i, int k, int module);

enum class EanSet { A, B, C };

// The three-digit key of the EAN digit of 4 runs from i in character set A, B or C. The two
// edge-to-edge sums decide the digit except for 1/7 and 2/8, which are told apart by the width
// of their two bars after taking off `ink_gain` (how much wider the symbol's bars print than
// its spaces, length units). Nothing when a sum is out of range or, for those pairs, when the
// bars lie within 0.3 module of the middle between the two readings.
std::optional<std::uint64_t> ean_digit_key(const RunList& runs, int i, EanSet set, int inkGain = 0);

// How a narrow/wide key treats ink: the widths as printed, or with the ink gain taken off (bars
// print wider or narrower than spaces of the same modules when the head spreads or starves
// ink; the gain is the narrowest bar less the narrowest space). A compensated key is only
// given when the gain is between a quarter and one narrow width; otherwise the printed key is
// the one to use. Readers take a character only when the two keys do not name two different
// characters; the search's pattern trigger uses the printed key only.
enum class Ink { AsPrinted, Compensated };

// n runs from i of which `wide` are expected wide: digits 1 (narrow) and 2 (wide). Within the
// nominal ratios (1.5 to 3.5) the wide and narrow averages decide; outside them the element's
// own widths must split clearly into exactly `wide` wide and the others narrow (largest gap,
// each side tighter than the gap, wide at most 5 narrow on average), else nothing.
std::optional<Key> narrow_wide_key(const RunList& runs, int i, int n, int wide, Ink ink = Ink::AsPrinted);

// The same n runs by their own split alone (as printed): exactly `wide` of them must stand
// clearly apart from the others. For characters whose count of wide elements differs from
// their symbology's usual one (Codabar's letters and ":/.+"), where the averages of the
// usual count would make a narrow element wide.
std::optional<Key> narrow_wide_split_key(const RunList& runs, int i, int n, int wide);

}  // namespace stripescan
