/* Typemark: reads a block of printed marks (a grid of small printed rectangles) from a
 * 1-bit scan, laid out by the forms of "FormatFileSP.txt" (or the file named by the
 * environment variable FMTFILESPPATH). Both exports return 1 on success and 0 on failure.
 * Calls must be serialised by the caller: the reading state is library-wide. */
#ifndef TICKETKIT_TYPEMARK_H
#define TICKETKIT_TYPEMARK_H

#include <stdint.h>

#include "kit/Bitmap.h"
#include "kit/MarkLayout.h"

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

/* Where the last successful read (OMReadSP or image_decode_OMRSP) found the block, in pixels
 * of the picture that read was given (see kit/MarkLayout.h for the coordinates):
 * - form: the 1-based number of the form that fitted, whatever the selector asked;
 *   rows, columns: its grid as printed; levelCount 1.
 * - orientation: where the form's top pointed in the picture, MARK_ORIENTATION_*.
 * - cells: every position of the grid, printed or blank, row by row from the form's top row,
 *   each from its first column; kind MARK_CELL_ANSWER; state[0] MARK_STATE_MARKED for a
 *   printed mark and MARK_STATE_EMPTY for a blank position (a read never leaves one
 *   doubtful). A printed cell's box is its mark's outline; a blank cell's is a mark-sized box
 *   where its column and row put it. ratio[0] is the dark fraction of that box on the
 *   straightened sheet; the reader itself decides by whether a mark of the form's size lies
 *   within 1 mm of the position.
 * - guides: MARK_GUIDE_ANCHOR boxes of the marks the block was anchored on: first those of
 *   the full row (flags U or D) by column, index the column; then the first or last mark of
 *   every row (flags L or R) from the top row down, index the row.
 * The first call after a read binds "Skewtrim.dll" once more (as a read does) and asks its
 * SkewtrimMap where the straightening took the pixels from; later calls hand out the same.
 * Set layout->cells/cellCapacity and guides/guideCapacity first; a null array with capacity
 * 0 asks for the counts only. Returns 1 when a layout exists and every cell and guide was
 * written. Returns 0 when layout is null; when no read succeeded since the library was loaded
 * or the last read failed (counts 0); when that read straightened the picture through a
 * bitmap library that cannot say how (a library without SkewtrimMap), or was too large
 * (over 32 MiB once its lines were repeated) to keep a copy of (counts 0); or when a
 * capacity is too small: then the counts and every other field are still set, the array that
 * fits is written and nothing is written past a capacity. */
int OMReadLayoutSP(MarkLayout* layout);

#ifdef __cplusplus
}
#endif

#endif
