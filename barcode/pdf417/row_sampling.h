// A second look at the codewords of a located symbol whose lines did not correct: each row
// sampled along its own middle, placed by the pattern edges and the rows the lines saw there.
#pragma once

#include "barcode/pdf417/image_view.h"
#include "barcode/pdf417/symbol_reader.h"
#include "barcode/pdf417/workspace.h"

namespace pdf417 {

// Reads every codeword of `shape` again from grey profiles sampled along the middle of its row:
// rows placed on each side by the lines' edge samples (the row their indicator named), so a row
// that runs at an angle to the scan lines (shear, perspective) is followed, and the darkness
// averaged over a few points along the bars. A cell read so (nearest pattern of its row's
// cluster, with a margin, agreed by every sampled line that reads it) fills an erasure of
// ws.readCodewords as a single reading; a weak line reading (support 1 or less) that it
// contradicts is erased. The cells still erased (and, with `checkLineCells`, those only the lines
// read) are then matched by their whole darkness profile (match_profile): the first filled, the
// second corrected or erased where the profile disagrees. Updates ws.readCodewords, ws.codewords, ws.support
// and ws.erasures (whose first `erasureCount` entries are the reading's erasures). Returns the new erasure
// count, or -1 when the edge samples do not place the rows on both sides.
int sample_rows(const ImageView& image, Workspace& ws, const SymbolShape& shape, int erasureCount,
                bool checkLineCells);

}  // namespace pdf417
