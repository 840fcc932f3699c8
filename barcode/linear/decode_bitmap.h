#pragma once
// The decoder call behind the Stripescan export: request table, working copy, passes, results.

#include "barcode/linear/Stripescan.h"

namespace stripescan {

// Searches `bitmap` for the symbologies of `request` and fills `list` (cleared first). Answers 1
// when the search ran to its end and 0 when memory ran out. The arguments are known to be present.
int decode_bitmap(Bitmap& bitmap, const DecodeRequest& request, BarcodeResultList& list);

// Releases every text and the array of `list` and clears it.
void free_results(BarcodeResultList& list);

}  // namespace stripescan
