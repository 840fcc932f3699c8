#pragma once
// Uncompressed Windows BMP files: 1, 8 and 24 bits per pixel.

#include "imaging/Skewtrim.h"

namespace skewtrim {

// Reads a BMP file into a new padded record, rows in file order (a bottom-up
// file gives its bottom row as row 0; a top-down file its top row). 8-bit
// indices are grey levels whatever the palette holds; a 1-bit file whose
// palette puts white first is inverted so that 1 stays white. The palette is
// looked for after the information header, whatever size that declares.
// `out` is written only on success. Codes: kInvalidArgument (missing argument,
// size not positive), kCannotOpen, kNotBmp (not "BM", or shorter than its pixel
// data), kUnsupportedDepth (depth not 1/8/24, compressed pixels, or an
// information header under 40 bytes), kOutOfMemory (also a pixel block too
// large for the record), kReadError (the file ends inside a header).
int read_bitmap_file(Bitmap* out, const char* path);

// Writes a record as a bottom-up BMP with a grey (8 bit) or black/white (1 bit)
// palette, rows padded to 4 bytes. Codes: kInvalidArgument (missing argument),
// the check code of the record, kCannotCreate, kWriteError (the partial file
// stays).
int save_bitmap_file(const Bitmap* bmp, const char* path);

}  // namespace skewtrim
