/* libdecode: the recognition dispatcher. One call turns a black-and-white ticket picture, as the
 * device library's ReadPictureData leaves it, into text: the barcodes on it, or the marks of a
 * handwritten or printed mark sheet.
 *
 * The dispatcher links none of the readers. It binds them by name at run time, the way the kit
 * does ("Inkmark.dll" -> libInkmark.so, found by the dynamic loader: LD_LIBRARY_PATH, this
 * library's own folder, the system folders): libInkmark (kinds 0 and 5), libTypemark (kind 2),
 * libStripescan and libStackread (kind 1, both needed). A reader that cannot be bound fails only
 * the kinds that need it, with 0; it is looked for again on the next call of such a kind. The
 * mark readers in turn bind libSkewtrim and read their format files from FMTFILEPATH and
 * FMTFILESPPATH (else FormatFile.txt / FormatFileSP.txt in the current directory).
 *
 * Threads: the readers keep process-wide state, so Decode serialises its own calls; any number
 * of threads may call it. Calls that go to the readers directly, outside Decode, are not
 * serialised with it. */
#ifndef TICKETKIT_DECODE_H
#define TICKETKIT_DECODE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Recognition kinds (*kind of Decode), the numbers the demo's scan types pass. */
#define DECODE_KIND_HANDWRITTEN_MARKS 0             /* OMRead: state digits per cell */
#define DECODE_KIND_BARCODES 1                      /* eight linear symbologies and PDF417 */
#define DECODE_KIND_PRINTED_MARKS 2                 /* OMReadSP: '0'/'1' per cell */
#define DECODE_KIND_HANDWRITTEN_MARKS_RELIABILITY 5 /* OMRead_Reliability: one byte per cell */

/* Lines per millimetre along the picture (*out on entry). 0 asks for the demo dialog's preset
 * for the kind: 8 for barcodes, 4 for the three mark kinds. Across, the scanner always samples
 * 8 dots per millimetre. */
#define DECODE_LINES_PER_MM_PRESET 0
#define DECODE_LINES_PER_MM_LOW 4  /* "100 DPI" scans */
#define DECODE_LINES_PER_MM_HIGH 8 /* "200 DPI" scans */

/* The text buffer Decode fills: this many bytes, the last one always the terminator. */
#define DECODE_TEXT_CAPACITY 1024

/* A text that did not fit ends with these seven bytes (see "Cut texts" below). */
#define DECODE_CUT_MARK "\n(cut)\n"

/* The buffer GetDecodeVersion fills needs at most this many bytes, terminator included. */
#define DECODE_VERSION_CAPACITY 32

/* Decode: recognises one picture.
 *
 * image: heightLines rows of widthPixels / 8 bytes each, one after another with no padding, the
 *   ticket's top row first, 8 pixels per byte with the most significant bit leftmost; bit 1 is
 *   white (paper), 0 black. Read only; the caller keeps ownership. Null gives 0.
 * widthPixels: pixels per row, a positive multiple of 8 (lineBytes x 8 of ReadPictureData), at
 *   most 32768. Anything else gives 0.
 * heightLines: rows, 1 to 1048576; the picture may hold at most 64 MiB. Anything else gives 0.
 * kind: in, one of the DECODE_KIND_ values; any other value gives 0. Not changed.
 * out: in, the lines per millimetre along the picture: 0 (the preset for the kind), 4 or 8; any
 *   other value gives 0. Out, on every return: the number of symbols read (barcodes) or of
 *   result blocks (marks: 1 on success); 0 when the call fails. Null gives 0.
 * text1024: a buffer of DECODE_TEXT_CAPACITY bytes. On success it holds the result text, zero
 *   terminated; on failure it holds the empty text. Never more than 1,023 bytes plus the
 *   terminator are written. Null gives 0.
 *
 * Returns 1 when something was read, 0 otherwise: a blank page or nothing recognised, the
 * reader library the kind needs cannot be bound, no form of the format file fits, or a bad
 * argument.
 *
 * How the picture is described to the readers: the device's rows come top row first, so the
 * mark readers get flip 1 (they take the last stored row as the top of the sheet); scan mode 1
 * (8 dots/mm across, each line doubled) for 4 lines/mm and scan mode 2 (8 dots/mm both ways) for
 * 8 lines/mm. For barcodes a 4 lines/mm picture is first stretched to square pixels by doubling
 * every row, so that symbols read alike in both directions and PDF417 rows keep their height.
 *
 * Barcode text (kind 1): one line per symbol, "<symbology name>: <text>\n", the linear symbols
 * in the order the linear reader found them, then the PDF417 symbol (at most one per picture).
 * Names: "Code 128" (GS1-128 included), "Code 93", "EAN-13", "UPC-A", "EAN-8", "UPC-E",
 * "Code 39", "Codabar", "Interleaved 2 of 5", "PDF417". EAN-13, EAN-8, UPC-A and UPC-E texts
 * carry all their digits, check digit included (UPC-A its 12); Code 128 and Code 93 carry no
 * check characters; Code 39 text is given as printed, without full-ASCII expansion and with any
 * check character it holds; Codabar text keeps its start and stop letters. The bytes 0, 10 and 13, which
 * would end the text or a line, are written as '?' inside a symbol's text; every other byte is kept.
 *
 * Mark text (kinds 0, 2, 5): the form the demo dialog formats: a decimal count, then for each
 * line of cells a "," followed by the line's cells. The count is the number of cell characters
 * that follow (every byte after the count that is not a line's ","), so a dialog that shows as
 * many characters as the count says shows every cell. Lines and cells come in the readers'
 * order:
 *   kind 0: "1" marked, "0" unmarked, "2" doubtful; a grid gives one line per row in the
 *     form's order, a cell list one line; a form with code slots first gives a line with one
 *     "1"/"0" per slot, and the count includes those characters.
 *     Example: an 8 x 6 sheet reads "48,100000,010000,001000,000100,000010,000001,100001,000000".
 *   kind 2: "1" printed, "0" empty; the rows of the block from its last (bottom) row up, each
 *     from its first column, whichever way the sheet was fed. Example: "6,011,101".
 *   kind 5: one byte per grid cell, the cell's darkness as a percentage of a marked cell's
 *     (100 = exactly as dark as the marked ratio, up to 255). The values 0 and 44 (",") cannot
 *     travel in this text, so they are written as 1 and 45; read the cells by position (the
 *     count and each line's ","), not by searching for ",". A cell-list form gives only "0".
 * The demo dialog shows the count as "Block num:" and each "," as a line break: for kind 5 it
 * writes every byte as three decimal digits.
 *
 * Cut texts: a result longer than 1,023 bytes is cut. The text then holds the start of the full
 * result followed by DECODE_CUT_MARK ("\n(cut)\n"); a complete text never ends that way.
 * Barcodes: the last symbol line before the mark may be partial; lines after it are lost;
 * *out still counts every symbol read. Marks: the count says how many cell characters were
 * kept, so the kept cells stay readable by position. */
int Decode(uint8_t* image, int widthPixels, int heightLines, int* kind, int* out, char* text1024);

/* GetDecodeVersion: writes the dispatcher's version text ("libdecode 0.1.0"), zero terminated,
 * at most DECODE_VERSION_CAPACITY bytes, into text. Returns 1; 0 (nothing written) when text is
 * null. */
int GetDecodeVersion(char* text);

#ifdef __cplusplus
}
#endif

#endif
