/* libStripescan.so: reads one-dimensional barcodes from 1-bit images: Code 128 (and GS1-128),
 * Code 93, EAN-13 (and UPC-A), EAN-8, UPC-E, Code 39, Codabar and Interleaved 2 of 5, at any
 * skew, in a Bitmap record; besides, a small toolbox of 1-bit BMP files and polygon drawing.
 *
 * Pixels: in a Bitmap of bitCount 1, pixel x of row y is bit (0x80 >> (x % 8)) of byte
 * rows[y][x / 8]; bit value 0 is black (bar), 1 is white (space, paper). Rows are used in
 * storage order (row 0 first, y grows with the row index); coordinates are (x, y) = (column,
 * row index).
 *
 * Results: every export answers STRIPESCAN_OK (1) or STRIPESCAN_FAILED (0); there are no
 * other codes and no error detail.
 *
 * Threads: Stripescan keeps per-call state in the library; calls of Stripescan must not
 * overlap (callers on several threads serialise them). The file and bitmap exports keep no
 * state and may run at the same time on different records. */
#ifndef TICKETKIT_STRIPESCAN_H
#define TICKETKIT_STRIPESCAN_H

#include <stdint.h>

#include "kit/Bitmap.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct SymbologySetting {
    int32_t symbology;       /* one of the STRIPESCAN_ symbology numbers below; other numbers
                                select nothing */
    int32_t minElementWidth; /* 0 .. STRIPESCAN_MAX_ELEMENT_WIDTH pixels: when above 0, runs of
                                this width or narrower are merged into their neighbours before
                                decoding (a noise filter). The first entry's value also applies
                                to every scan line of the search. Negative: no merge. Above
                                the maximum: Stripescan answers STRIPESCAN_FAILED. */
    int32_t verifyCheck;     /* 1: Code 39 must end in a valid mod-43 check character, and
                                Interleaved 2 of 5 in a valid modulo-10 check digit (weights 3
                                and 1 from the right, as ITF-14); any other value: no check.
                                2 of 5 has no check of its own, so a symbol cut short can read
                                as a shorter valid one; verify where the codes carry a check
                                digit */
    int32_t sendCheck;       /* non-zero: keep the check character(s) at the end of the text
                                (Code 128, Code 93, EAN/UPC, and Code 39 and Interleaved 2 of
                                5 when verified; a verified 2 of 5 text without its check
                                digit has an odd length) */
    int32_t plainCode39;     /* 1: Code 39 text as read; any other value: full-ASCII pairs such
                                as "+A" are expanded ("a") */
    int32_t eraseFound;      /* non-zero: every symbol of this symbology that is found is filled
                                white in the caller's Bitmap (its corner quadrilateral) */
} SymbologySetting;

/* Symbology numbers (SymbologySetting.symbology, BarcodeResult.symbology). */
#define STRIPESCAN_CODE128 1
#define STRIPESCAN_CODE93 2
#define STRIPESCAN_EAN13 3
#define STRIPESCAN_EAN8 4
#define STRIPESCAN_UPCE 5
#define STRIPESCAN_CODE39 6
#define STRIPESCAN_CODABAR 7
#define STRIPESCAN_ITF 8 /* Interleaved 2 of 5 */
#define STRIPESCAN_GS1_128                                                 \
    9 /* read by the Code 128 reader; reported for a Code 128 symbol whose \
         text begins with FNC1, and only when 9 itself was requested.      \
         Requested without 1, Code 128 runs with entry 9's setting and     \
         a symbol without FNC1 is reported as 1. */
#define STRIPESCAN_UPCA                                                  \
    10 /* read by the EAN-13 reader; reported for an EAN-13 symbol whose \
          first digit is 0, and only when 10 itself was requested.       \
          Requested without 3, EAN-13 runs with entry 10's setting and   \
          other symbols are reported as 3. */

/* DecodeRequest.directions bits; other bits are ignored. */
#define STRIPESCAN_HORIZONTAL 1 /* scan lines along rows: bars upright to about 45 degrees */
#define STRIPESCAN_VERTICAL 2   /* scan lines down columns: bars lying to about 45 degrees */
#define STRIPESCAN_BOTH_DIRECTIONS 3

/* Bounds of the request fields. */
#define STRIPESCAN_MIN_SIZE 8            /* minSize below this is taken as this */
#define STRIPESCAN_MAX_MIN_SIZE 4096     /* minSize above this: STRIPESCAN_FAILED */
#define STRIPESCAN_MAX_ELEMENT_WIDTH 255 /* minElementWidth above this: STRIPESCAN_FAILED */
#define STRIPESCAN_MAX_SETTINGS 256      /* settingCount above this: STRIPESCAN_FAILED */

/* Results. */
#define STRIPESCAN_OK 1
#define STRIPESCAN_FAILED 0
#define STRIPESCAN_RESULT_GROWTH 16 /* the result array grows by this many entries at a time */

typedef struct DecodeRequest {
    SymbologySetting* settings; /* settingCount entries, owned by the caller; if a number occurs
                                   twice, the later entry's setting is used */
    int32_t settingCount;       /* 1 .. STRIPESCAN_MAX_SETTINGS */
    int32_t reserved;           /* not read */
    int32_t directions;         /* STRIPESCAN_HORIZONTAL and/or STRIPESCAN_VERTICAL */
    int32_t minSize;            /* size unit S in pixels, STRIPESCAN_MIN_SIZE ..
                                   STRIPESCAN_MAX_MIN_SIZE: scan lines every 2S rows (3S
                                   columns); smaller symbols may be missed */
} DecodeRequest;

typedef struct BarcodeResult {
    int32_t symbology;          /* STRIPESCAN_ number */
    uint8_t* text;              /* the decoded bytes, allocated by the library and released by
                                   FreeBarcodeResultMem; a zero byte follows them (not counted),
                                   but the text itself may hold zero bytes (Code 39 "%U"), and
                                   GS1-128's FNC1 inside the text is the byte 0x80 */
    int32_t length;             /* bytes of text */
    int32_t fnc2Seen;           /* 1 when a Code 128 FNC2 was read, else 0 */
    int32_t corners[8];         /* P0.x P0.y P1.x P1.y P2.x P2.y P3.x P3.y: P0 the corner with
                                   the largest y, P2 the smallest y, P1 and P3 the middle two by
                                   x; for upright bars P0 = (right, bottom), P1 = (left,
                                   bottom), P2 = (left, top), P3 = (right, top) */
    int32_t scanDirX, scanDirY; /* reading direction, at right angles to the bars, scanDirY >= 0:
                                   (1, 0) for a symbol read along rows, (0, 1) down columns */
} BarcodeResult;

typedef struct BarcodeResultList {
    BarcodeResult* results; /* count entries in use of capacity allocated */
    int32_t count, capacity;
} BarcodeResultList;

/* Searches the 1-bit `bitmap` for the symbologies of `request` and fills `list`.
 * bitmap: width, height, stride and bits must be valid (imageSize >= stride x height); rows is
 *   not read (a row table is built from bits and stride) and is given back unchanged. The
 *   pixels are not changed, except that symbols of a symbology with eraseFound are filled white.
 * list: cleared first (all fields 0; what it held before is NOT released: call
 *   FreeBarcodeResultMem first), then one entry per symbol found, in the order found.
 * Answers STRIPESCAN_FAILED, touching nothing, when bitmap, request, list or request->settings
 * is missing, or a request field is outside its bounds above; STRIPESCAN_FAILED with the
 * results found so far when memory ran out. Otherwise STRIPESCAN_OK, whether or not anything
 * was found: a request the library cannot serve (a Bitmap whose bitCount is not 1 or whose
 * sizes are not positive, no symbology number 1 to 10 in settings, or directions without
 * either bit) also answers STRIPESCAN_OK with an empty list, so check those before calling
 * when the difference matters. */
int Stripescan(Bitmap* bitmap, DecodeRequest* request, BarcodeResultList* list);

/* Releases every text and the result array of `list` and sets its three fields to 0. Answers
 * STRIPESCAN_OK, also for an empty list; a null list is left alone. */
int FreeBarcodeResultMem(BarcodeResultList* list);

/* Draws a closed polygon in black (bit 0) into a 1-bit `bitmap`: the segments point 0 to 1,
 * 1 to 2, ..., and the last back to point 0. points: `count` (x, y) pairs, count >= 1.
 * Answers STRIPESCAN_FAILED, drawing nothing, when a point lies outside 0 <= x < width,
 * 0 <= y < height, the bitmap is not a usable 1-bit record or an argument is missing; else
 * STRIPESCAN_OK. */
int DrawPolygon(Bitmap* bitmap, const int32_t* points /* x,y pairs */, int count);

/* Reads a 1-bit BMP file into `bitmap`, which is cleared first: bits and rows are allocated by
 * the library (release them with FreeBitmap), stride is the padded BMP row length, and the
 * polarity is brought to 0 = black. A top-down file keeps its rows in file order. Answers
 * STRIPESCAN_FAILED, with the record all zeros, for a missing or unreadable file, one that is
 * not a 1-bit BMP, or a truncated one. */
int ReadBimapFromFile(Bitmap* bitmap, const char* path);

/* Writes `bitmap` (bitCount 1, 8 or 24) as a bottom-up BMP file at `path` (created or
 * truncated); row 0 is stored first. Answers STRIPESCAN_FAILED when the file cannot be written
 * completely (a partial file may stay) or bitCount is another value. */
int SaveBimapToFile(const Bitmap* bitmap, const char* path);

/* Releases bits and rows of a Bitmap filled by ReadBimapFromFile and sets all seven fields to
 * 0. Answers STRIPESCAN_OK. */
int FreeBitmap(Bitmap* bitmap);

#ifdef __cplusplus
}
#endif

#endif
