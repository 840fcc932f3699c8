#pragma once
// Uncompressed Windows BMP files: 1, 8 and 24 bits per pixel.

#include "imaging/Skewtrim.h"

namespace skewtrim {

// Reads a BMP file into a new padded record, rows in file order (a bottom-up
// file gives its bottom row as row 0; a top-down file its top row). The palette
// is not read: 8-bit indices are grey levels. `out` is written only on success.
// Codes: 1 missing argument or size not positive, 2 cannot open, 3 not "BM" or
// shorter than its pixel data, 4 depth not 1/8/24, 5 out of memory (or a pixel
// block too large for the record), 8 file ends inside a header.
int read_bitmap_file(Bitmap* out, const char* path);

// Writes a record as a bottom-up BMP with a grey (8 bit) or black/white (1 bit)
// palette, rows padded to 4 bytes. Codes: 1 missing argument, the check code of
// the record, 6 cannot create, 7 write error (the partial file stays).
int save_bitmap_file(const Bitmap* bmp, const char* path);

}  // namespace skewtrim
