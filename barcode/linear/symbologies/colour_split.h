#pragma once
// Narrow and wide decided per colour over a whole narrow/wide symbol. Photos reduced to one bit
// by a local threshold thin the bars and widen the spaces (or the reverse) by amounts that
// differ between narrow and wide elements, so a narrow space may come out as wide as a wide
// bar: the two colours are judged apart, each against its own narrow and wide widths.

#include <optional>
#include <string>
#include <vector>

#include "barcode/linear/runs.h"

namespace stripescan {

// The narrow and wide mean widths (length units) of the bars and of the spaces of one symbol.
struct ColourSplit {
    double narrow[2] = {};  // [0] spaces, [1] bars
    double wide[2] = {};
};

// The split of the character elements of runs[first .. first + size - 1]: characters of
// `elements` runs, each followed by `gap` runs that are not counted (the gaps between
// characters may be of any width). Per colour the sorted widths are cut where the two groups
// stand furthest apart (largest between-group variance). Nothing when a colour shows no narrow
// and wide group, or the wide mean is under kColourMinRatio times the narrow mean.
constexpr double kColourMinRatio = 1.5;
std::optional<ColourSplit> colour_split(const RunList& runs, int first, int size, int elements, int gap);

// The same split over the characters around character c only (2 reach + 1 of them, shifted to
// stay within the symbol's `characters`): a local threshold thickens the bars next to the white
// around a symbol and thins them inside it, so the widths drift along the symbol. Falls back to
// the whole symbol's split when the characters around show no clear split.
std::optional<ColourSplit> local_colour_split(const RunList& runs, int first, int characters, int elements,
                                              int gap, int c, int reach);

// The split of one character of n runs from i: per colour its own widths where they split
// clearly (the means kColourMinRatio apart, the narrowest wide width kOwnSplitEdges times the
// widest narrow one), else the split `around` it. The ink at the ends of a symbol, next to its quiet zones,
// differs from that of the characters beside them; a colour that shows only narrow (or only
// wide) elements in a character keeps the widths around.
ColourSplit character_split(const RunList& runs, int i, int n, const ColourSplit& around);

// The index in patterns[from .. to - 1] (element widths such as "1121121", 1 narrow and 2 wide,
// first run first) that fits the n runs from i best against `split`. An element's misfit is how
// far its width lies from the mean of the class the pattern gives it, as a share of its colour's
// narrow-to-wide distance; a pattern's misfit is its worst element's. -1 when the best misfit
// exceeds kColourFit or another pattern comes within kColourMargin of it.
constexpr double kColourFit = 0.65;
constexpr double kColourMargin = 0.3;
int nearest_colour_pattern(const RunList& runs, int i, int n, const ColourSplit& split,
                           const char* const* patterns, int from, int to);

// Whether the n runs from i (n at most 16) show `pattern` (element widths such as "121121211",
// first run first) by colour: per colour, every element the pattern makes wide is at least
// kOwnSplitEdges times as wide as every one it makes narrow. The element at `loose` (-1: none)
// borders a quiet zone, where a local threshold prints it thicker or thinner than the others: it
// need only stay short of the other class's mean (a narrow one under the wide mean, a wide one
// over the narrow mean).
constexpr double kOwnSplitEdges = 1.25;
bool shows_pattern_by_colour(const RunList& runs, int i, int n, const char* pattern, int loose);

// One read character for elements_stand_clear: its runs are first, first + stride, ...
// (`pattern` gives their count and classes: '1' narrow, '2' wide).
struct ReadCharacter {
    int first = 0;
    int stride = 1;
    const char* pattern = nullptr;
};

// Whether every element of the read `characters` stands clearly on its side against the narrow
// and wide means of its colour over all of them: a narrow one at most kClearNarrowAtMost and a
// wide one at least kClearWideAtLeast of the way from the narrow to the wide mean. A line whose
// edges follow the local contrast shows thin bars that a threshold of one half loses, but it
// leaves their widths as the picture gave them; a wide bar thinned to the middle then reads as a
// neighbouring pattern by the keys. False when an element is in doubt, lies outside the runs,
// or a colour shows no narrow and wide elements. The elements of `judged` (a symbol's start and
// stop, say) must stand clear in the same way, but take no part in the means.
// An element marked kLooseElement in a pattern (the bar next to a quiet zone) is neither judged
// nor counted.
constexpr char kLooseElement = '0';
constexpr double kClearNarrowAtMost = 0.4;
constexpr double kClearWideAtLeast = 0.6;
bool elements_stand_clear(const RunList& runs, const std::vector<ReadCharacter>& characters,
                          const std::vector<ReadCharacter>& judged = {});

// Whether every gap between the characters of runs[first .. first + size - 1] (characters of
// `elements` runs, each followed by `gap` runs) is nearer the narrow spaces' mean than the wide
// ones' (colour_split over the whole symbol). A character boundary read one element off leaves a
// wide space, or a bar, where a gap stands. False when the widths show no split.
bool gaps_stay_narrow(const RunList& runs, int first, int size, int elements, int gap);

}  // namespace stripescan
