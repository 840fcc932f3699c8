#pragma once
// BMP files and Bitmap records of the toolbox exports.

#include "barcode/linear/Stripescan.h"

namespace stripescan {

// Reads a 1-bit BMP file into `out` with 0 = black; STRIPESCAN_OK, or STRIPESCAN_FAILED with
// the record cleared.
int read_bitmap_file(Bitmap& out, const char* path);

// Writes a 1-, 8- or 24-bit record as a bottom-up BMP file; STRIPESCAN_OK when every byte was
// written.
int save_bitmap_file(const Bitmap& bitmap, const char* path);

// Releases the pixel block and row table and clears the record.
void free_bitmap(Bitmap& bitmap);

}  // namespace stripescan
