/* libSkewtrim.so: the Bitmap record (kit/Bitmap.h), BMP files, colour reduction, right-angle
 * rotation, and straightening and cropping of scanned tickets.
 *
 * Results: the record-based exports return a SKEWTRIM_ code (SKEWTRIM_OK = 0 is success);
 * Skewtrim, SkewtrimEx and SaveBmpToFile return 1 for success and 0 for failure; RotatePicSP
 * returns a SKEWTRIM_ code.
 * Threads: no state is kept between calls; calls on different records may run at once.
 * Straightening an output of 800 000 pixels or more splits its rows across threads inside
 * the call (one per 400 000 output pixels, at most the processor's hardware threads and at
 * most 4; the environment variable SKEWTRIM_THREADS, a whole number from 1 up, sets that
 * limit instead, 1 keeping every call on the calling thread). The result is the same bytes
 * with any number of threads.
 * Ownership: a record filled by this library (Bitmap_New, Bitmap_Copy, ReadBitmapFromFile,
 * the conversions, rotation and ImageSkewtrim) belongs to the caller and is released with
 * Bitmap_Done. No export releases what a destination record held before: pass an empty one
 * (Bitmap_Init) or its buffers leak.
 * Pixels: 1 bit per pixel with bit 1 white (paper); 8 bits grey, 0 black; 24 bits blue,
 * green, red. Row 0 is the first row of the record, which is the bottom row of an ordinary
 * BMP file. */
#ifndef TICKETKIT_SKEWTRIM_H
#define TICKETKIT_SKEWTRIM_H

#include <stdint.h>

#include "kit/Bitmap.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes of the record-based exports. */
#define SKEWTRIM_OK 0
#define SKEWTRIM_INVALID_ARGUMENT 1 /* missing pointer, size not positive, bad depth, angle or mode */
#define SKEWTRIM_CANNOT_OPEN 2      /* file cannot be opened for reading */
#define SKEWTRIM_NOT_BMP 3          /* no "BM" signature, or shorter than its pixel data */
#define SKEWTRIM_UNSUPPORTED                                                                 \
    4                                 /* BMP depth not 1/8/24, compressed (RLE) pixels or an \
                                         information header under 40 bytes; also Bitmap_Copy \
                                         without a destination */
#define SKEWTRIM_OUT_OF_MEMORY 5      /* also a pixel block too large for the record */
#define SKEWTRIM_CANNOT_CREATE 6      /* file cannot be created for writing */
#define SKEWTRIM_WRITE_ERROR 7        /* the partial file stays */
#define SKEWTRIM_READ_ERROR 8         /* the file ends inside a header */
#define SKEWTRIM_NO_PAPER 9           /* no paper found, or no plausible rectangle */
#define SKEWTRIM_DEGENERATE_FIT 10    /* an edge's halves share one mean point */
#define SKEWTRIM_SIDE_WITHOUT_RUNS 11 /* a paper side has no edge runs near its line */
#define SKEWTRIM_INVALID_RECORD 12    /* Bitmap_Check refuses the record */

/* Resampling modes of the straightening (1-bit pictures always take the nearest pixel). */
#define SKEWTRIM_MODE_BICUBIC 1
#define SKEWTRIM_MODE_BILINEAR 2
#define SKEWTRIM_MODE_NEAREST 3

/* Paper rules of ImageSkewtrim: how the level tells paper from the scanner background. */
#define SKEWTRIM_RULE_BRIGHTER 1  /* paper is brighter than the level */
#define SKEWTRIM_RULE_OUTSIDE 255 /* paper is outside the level +-9 background band */
#define SKEWTRIM_LEVEL_MEASURE 0  /* measure the background level from the picture */

/* ---- The record ---------------------------------------------------------------------- */

/* A new record of width x height pixels (> 0) at bitCount 1, 8 or 24; rows padded to 4 bytes
 * when `padded` is non-zero, else (width x bitCount + 7) / 8 bytes. Pixels are not set. `out`
 * is written only on success. SKEWTRIM_OK, _INVALID_ARGUMENT or _OUT_OF_MEMORY. */
int Bitmap_New(Bitmap* out, int width, int height, int bitCount, int padded);
/* Sets every field to zero without releasing anything. SKEWTRIM_OK or _INVALID_ARGUMENT. */
int Bitmap_Init(Bitmap* bmp);
/* Releases the record's buffers and zeroes it; harmless on an empty record. */
int Bitmap_Done(Bitmap* bmp);
/* A new record with the source's size, depth and row length and a copy of its pixels.
 * SKEWTRIM_UNSUPPORTED when `dst` is missing, else the Bitmap_Check code of `src`, else the
 * Bitmap_New code. */
int Bitmap_Copy(const Bitmap* src, Bitmap* dst);
/* SKEWTRIM_INVALID_ARGUMENT for a missing record, SKEWTRIM_INVALID_RECORD when a size, the
 * depth, stride, rows or bits is missing or out of range, else SKEWTRIM_OK. */
int Bitmap_Check(const Bitmap* bmp);

/* ---- BMP files ----------------------------------------------------------------------- */

/* Reads an uncompressed 1-, 8- or 24-bit BMP file into a new padded record, rows in file
 * order (a top-down file keeps its top row as row 0). 8-bit indices are taken as grey levels
 * whatever the palette holds; a 1-bit file whose palette puts white first is inverted so that
 * bit 1 stays white. `out` is written only on success. */
int ReadBitmapFromFile(Bitmap* out, const char* path);
/* Writes the record as a bottom-up BMP file (row 0 stored first) with a grey or black, white
 * palette, rows padded to 4 bytes. */
int SaveBitmapToFile(const Bitmap* bmp, const char* path);
/* SaveBitmapToFile as 1 (written) or 0 (any failure). */
int SaveBmpToFile(const Bitmap* bmp, const char* path);

/* ---- Colour reduction (dst receives a new record; a source already at the target depth is
 * copied) ---------------------------------------------------------------------------- */

/* To 1 bit: a pixel is white when its grey value is above `threshold` (low byte, 0..255). */
int GetBWBitmap(const Bitmap* src, Bitmap* dst, int threshold);
/* To 8-bit grey. */
int GetGrayBitmap(const Bitmap* src, Bitmap* dst);
/* To 24-bit colour. */
int GetColorBitmap(const Bitmap* src, Bitmap* dst);

/* ---- Rotation -------------------------------------------------------------------------- */

/* Turns the record by `angle` degrees: 0, 90, 180 or 270 exactly (anything else is
 * SKEWTRIM_INVALID_ARGUMENT); 0 is a copy. */
int imageRotate(const Bitmap* src, Bitmap* dst, double angle);
/* Turns `*height` unpadded rows of `*width` pixels at `pixels` by 0, 90, 180 or 270 degrees in
 * place and stores the new sizes; a SKEWTRIM_ code, buffer and sizes unchanged on failure. A
 * 1-bit quarter turn can need more bytes: provide ((height + 7) / 8) x width. */
int RotatePicSP(uint8_t* pixels, int* width, int* height, int bitCount, int angle);

/* ---- Straightening ------------------------------------------------------------------- */

/* Finds the paper in `*height` unpadded rows of `*width` pixels at `pixels` (bitCount 1, 8 or
 * 24), turns it upright, crops it and writes it back over `pixels` with its new sizes.
 * `mode` SKEWTRIM_MODE_*; `level` 0..255 (low byte; SKEWTRIM_LEVEL_MEASURE measures it), paper
 * brighter than the level. 1 when written back; 0 on any failure (nothing changed), also when
 * the result would need more bytes than the picture had. */
int Skewtrim(uint8_t* pixels, int* width, int* height, int bitCount, int mode, int level);
/* Skewtrim with the level measured. */
int SkewtrimEx(uint8_t* pixels, int* width, int* height, int bitCount, int mode);
/* Where Skewtrim(pixels, &width, &height, bitCount, mode, level) would take its output from,
 * without changing anything: `height` unpadded rows of `width` pixels at `pixels` (only read)
 * are measured as Skewtrim measures them, and `map` (six doubles) receives the affine map from
 * an output pixel (i, j) to its source point (x, y) in the picture given, rows as stored:
 *   x = map[0] * i + map[1] * j + map[2],   y = map[3] * i + map[4] * j + map[5];
 * `*outWidth` and `*outHeight` receive the size Skewtrim would write. The mode only chooses how
 * pixels are blended, so it is not needed here. 1 exactly when Skewtrim would succeed on the
 * same picture and level; 0 otherwise (nothing written). For callers that must relate what
 * they found on the straightened picture to the picture they were given. */
int SkewtrimMap(const uint8_t* pixels, int width, int height, int bitCount, int level, double* map,
                int* outWidth, int* outHeight);
/* The straightening on a record: `mode` SKEWTRIM_MODE_*, `level` 0..255, `rule`
 * SKEWTRIM_RULE_*. `dst` receives a new unpadded record of the source's depth. A SKEWTRIM_
 * code (_NO_PAPER, _DEGENERATE_FIT and _SIDE_WITHOUT_RUNS when the paper is not found). */
int ImageSkewtrim(const Bitmap* src, int mode, int level, int rule, Bitmap* dst);

#ifdef __cplusplus
}
#endif

#endif /* TICKETKIT_SKEWTRIM_H */
