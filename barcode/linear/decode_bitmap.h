#pragma once
// The decoder call behind the Stripescan export: request table, working copy, passes, results.

#include "barcode/linear/Stripescan.h"

namespace stripescan {

// Searches `bitmap` for the symbologies of `request` and fills `list` (cleared first). Answers
// STRIPESCAN_OK when the search ran to its end and STRIPESCAN_FAILED when memory ran out or,
// leaving `list` untouched, when a request field is outside the bounds of Stripescan.h. The
// three records are known to be present.
int decode_bitmap(Bitmap& bitmap, const DecodeRequest& request, BarcodeResultList& list);

// Releases every text and the array of `list` and clears it.
void free_results(BarcodeResultList& list);

}  // namespace stripescan
