#pragma once
// Run-length rows and the noise merge shared by the linear and the PDF417 readers.

#include <cstddef>
#include <cstdint>

namespace barcode {

// Cuts one packed 1-bit row (most significant bit first, bit 1 = white) into runs of equal
// colour, from column `from` to the row's end at `width`. Writes the run lengths in pixels, in
// order, into `lengths` (at most `capacity` of them; a row with more runs is cut after the
// `capacity`-th) and whether the first run is dark into `first_dark`. Colours alternate from
// there. Answers the number of runs written: 0 when `from` is outside [0, width) or capacity < 1.
int row_run_lengths(const std::uint8_t* row, int width, int from, int* lengths, int capacity,
                    bool& firstDark);

// Noise merge: walking from the second run to the second-last, a run of `width` length units or
// less is swallowed together with the run after it by the last run kept before it (their lengths
// are added to it); longer runs stay. The first run always stays, the last unless it was
// swallowed. `length_of(run)` gives a reference to a run's length. Works in place and answers
// the new number of runs; `width` <= 0 or fewer than three runs leave the list as it is.
template <class Run, class LengthOf>
std::size_t merge_narrow_runs(Run* runs, std::size_t count, long long width, LengthOf lengthOf) {
    if (width <= 0 || count < 3) return count;
    std::size_t kept = 1;
    std::size_t i = 1;
    while (i + 1 < count) {
        if (lengthOf(runs[i]) > width) {
            runs[kept++] = runs[i];
            ++i;
        } else {
            lengthOf(runs[kept - 1]) += lengthOf(runs[i]) + lengthOf(runs[i + 1]);
            i += 2;
        }
    }
    if (i + 1 == count) runs[kept++] = runs[count - 1];
    return kept;
}

}  // namespace barcode
