/* Typemark: reads a block of printed marks (a grid of small printed rectangles) from a
 * 1-bit scan, laid out by the forms of "FormatFileSP.txt" (or the file named by the
 * environment variable FMTFILESPPATH). Both exports return 1 on success and 0 on failure.
 * Calls must be serialised by the caller: the reading state is library-wide. */
#ifndef TICKETKIT_TYPEMARK_H
#define TICKETKIT_TYPEMARK_H

#include <stdint.h>

#include "kit/Bitmap.h"

#ifdef __cplusplus
extern "C" {
#endif

/* image: height rows of (width + 7) / 8 bytes, 1 bit per pixel, 1 = light, 0 = dark.
 * selector: 0 tries every form in file order and receives the 1-based number of the form
 * that fitted; N > 0 tries only the N-th form and is set to 0 on success.
 * flip: 0 copies the rows as given, 1 in reverse order; the reader takes the last stored
 * row as the top of the sheet (rows as the scanner delivers them, top line first, are
 * passed with flip 1). scanMode: 1 to 4 (8 dots per mm for 1 and 2, 12 for 3 and 4; lines
 * doubled in mode 1 and tripled in mode 3). result: receives four digits of
 * rows x columns, then one "," and a '0'/'1' per column (first to last) for every row of
 * the form from its last (bottom) row up to its first, then a zero byte: exactly
 * 4 + rows x (columns + 1) + 1 bytes, in whichever of the four ways the sheet was fed. */
int OMReadSP(const uint8_t* image, int* selector, int flip, int width, int height, int scanMode,
             char* result);

/* The same reading on a 1-bit Bitmap; straighten 1 straightens the sheet first. */
int image_decode_OMRSP(Bitmap* bitmap, int straighten, int flip, int scanMode, int* selector, char* result);

#ifdef __cplusplus
}
#endif

#endif
