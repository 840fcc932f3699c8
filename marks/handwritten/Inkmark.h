/* Inkmark: the handwritten mark reader. Reads pencil or pen marks in the answer cells of a
 * scanned sheet laid out by the forms of a text format file ("FormatFile.txt" in the current
 * directory, or the file named by the environment variable FMTFILEPATH). The sheet is brought
 * to 200 dots per inch, straightened through "Skewtrim.dll" (loaded by name on every read),
 * its timing marks found, and the first form that fits is measured.
 *
 * Results: every export returns 1 on success and 0 on any failure (bad argument, no format
 * file or no fitting form, Skewtrim missing or failing, a result that does not fit its block).
 * Threads: the working state is library-wide; calls must not overlap.
 * Ownership: the caller owns the image, the record and every buffer; nothing is allocated for
 * the caller. */
#ifndef TICKETKIT_INKMARK_H
#define TICKETKIT_INKMARK_H

#include <stdint.h>

#include "kit/Bitmap.h"
#include "kit/MarkLayout.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Scan modes: the resolution the sheet was scanned at and how its lines were repeated. */
#define INKMARK_SCAN_8DPM_DOUBLED 1  /* 8 dots/mm, each line doubled along the sheet */
#define INKMARK_SCAN_8DPM 2          /* 8 dots/mm */
#define INKMARK_SCAN_12DPM_TRIPLED 3 /* 12 dots/mm, lines tripled */
#define INKMARK_SCAN_12DPM 4         /* 12 dots/mm */
#define INKMARK_SCAN_12DPM_DOUBLED 5 /* 12 dots/mm, lines doubled */

/* Row order of the image (flip). */
#define INKMARK_ROWS_AS_GIVEN 0 /* rows are used in the order given */
#define INKMARK_ROWS_REVERSED 1 /* rows are used from the last one up */

/* Selector on entry to image_decode_OMR: which forms are tried. */
#define INKMARK_FORMS_ONE_RATIO 0  /* forms that give one threshold ratio */
#define INKMARK_FORMS_TWO_RATIOS 1 /* forms that give two */

/* Cell state digits of the plain text ('0' + state). */
#define INKMARK_CELL_EMPTY 0
#define INKMARK_CELL_MARKED 1
#define INKMARK_CELL_DOUBTFUL 2

#define INKMARK_MAX_LEVELS 16      /* threshold levels of one OmrResultSet */
#define INKMARK_RESULT_BYTES 10240 /* the block the front ends read into */
#define INKMARK_FRONT_END_LEVEL 90 /* the one grey level the front ends use */

/* One result text: `capacity` (> 0) bytes at `text` given by the caller; `length` receives
 * the number of bytes written. The text is not zero-terminated, except the reliability text,
 * whose terminating zero `length` counts. */
typedef struct OmrResultBlock {
    int32_t length, capacity;
    char* text;
} OmrResultBlock;

/* The results of image_decode_OMR: `levelCount` (1..INKMARK_MAX_LEVELS) grey levels at
 * `levels` (a grey pixel is dark when its value is at most the level; levels[0] also
 * straightens and reduces an 8-bit sheet to 1 bit) and as many blocks at `blocks`.
 * `resultCount` receives the number of blocks written: levelCount for an 8-bit sheet, 1 for a
 * 1-bit sheet. */
typedef struct OmrResultSet {
    int32_t resultCount, levelCount;
    int32_t* levels;
    OmrResultBlock* blocks;
} OmrResultSet;

/* The front ends, for a raw 1-bit scan: `height` rows of (width + 7) / 8 bytes at `image`,
 * no padding, bit 1 light; width and height in pixels, > 0. `flip` INKMARK_ROWS_*, `scanMode`
 * INKMARK_SCAN_*. `selector` is in and out as for image_decode_OMR. On success the result
 * text is copied to `result`, which must hold INKMARK_RESULT_BYTES bytes (a text is never
 * longer); on failure `result` is untouched. They read with the one level
 * INKMARK_FRONT_END_LEVEL and straighten the sheet first.
 *
 * OMRead's plain text: four digits of the form's cell count; with code slots a "," and one
 * '0'/'1' per slot; then a "," and the cells' state digits for every grid row (one "," before
 * all cells of a list).
 * OMReadEx's extended text: the same with each cell's fill as two digits (ratio x 100, at most
 * 99) in place of its state, then ";" and a second part.
 * OMRead_Reliability's text: four digits, then per grid row a "," and one raw byte 0..255 per
 * cell (the byte may equal ','; read by position), then a zero byte. */
int OMRead(const uint8_t* image, int* selector, int flip, int width, int height, int scanMode, char* result);
int OMReadEx(const uint8_t* image, int* selector, int flip, int width, int height, int scanMode,
             char* result);
int OMRead_Reliability(const uint8_t* image, int* selector, int flip, int width, int height, int scanMode,
                       char* result);

/* The core, on a Bitmap of 1 or 8 bits per pixel (width, height and stride > 0, rows and bits
 * present; 1-bit: 1 light; 8-bit: grey, 0 black); the record is only read. `selector` points
 * to INKMARK_FORMS_* on entry and receives the 1-based number, in file order, of the form that
 * fitted. `flip` INKMARK_ROWS_*, `scanMode` INKMARK_SCAN_*; `straighten` 1 straightens through
 * Skewtrim, any other value skips it. The text style is the one of the last front end called
 * (plain before any). */
int image_decode_OMR(Bitmap* bitmap, int* selector, int flip, int scanMode, int straighten,
                     OmrResultSet* set);

/* The layout of the last successful read of any of the exports above: the fitted form, every
 * cell and every timing mark it was fitted by, in pixels of the picture exactly as that read was
 * given it (the raw rows of a front end, the Bitmap's rows for image_decode_OMR; see
 * kit/MarkLayout.h), whatever flip, scan mode and straightening the read used.
 *
 * The caller sets layout->cells / cellCapacity and layout->guides / guideCapacity (a null array
 * with capacity 0 asks for the counts only). Filled: `form` (the same 1-based number the read
 * gave in its selector); `orientation` (MARK_ORIENTATION_*: where the form's top edge points in
 * the picture, its first stored row at the top); `levelCount` (the read's result blocks: its
 * levels for an 8-bit sheet, 1 for a 1-bit one); `rows` x `columns` (the answer grid; a cell
 * list counts as one row); `cellCount` cells: first the answer cells in the order of the result
 * text (MARK_CELL_ANSWER, row and column in the grid, or row 0 and the list position), then the
 * code slots (MARK_CELL_CODE_SLOT, row 0, column = slot, marked when a timing mark lies in the
 * slot, the ratio being that mark's fill); each with its box, MARK_STATE_* and dark fraction per
 * level; `guideCount` guides: the timing marks the form was fitted by (MARK_GUIDE_TIMING, index
 * along the track from the form's top or left), the locating track first.
 *
 * Returns 1 when a layout exists and every cell and guide was written. 0 when `layout` is null;
 * when there was no successful read since the library was loaded, or the last read failed, or
 * the straightening library could not say where it moved the pixels (all counts 0); or when a
 * capacity is too small or its array null: then every scalar field is set, nothing is written to
 * the arrays, and the caller can size them and call again. Never writes past a capacity.
 * After a straightened read, the first call with a layout loads "Skewtrim.dll" once more to learn
 * where the straightening moved the pixels (about as long as finding the paper takes), so that
 * the reads themselves pay nothing for the layout; later calls only copy. Calls must not overlap
 * the reads. */
int OMReadLayout(MarkLayout* layout);

#ifdef __cplusplus
}
#endif

#endif
