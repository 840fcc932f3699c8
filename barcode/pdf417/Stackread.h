/* Stackread: reads one PDF417 symbol from a 1-bit image held in memory.
 *
 * Image rows are packed, most significant bit first, width / 8 bytes per row (integer
 * division, no padding between rows), row 0 first; bit value 0 is dark, 1 is light.
 * Only the first (width / 8) * 8 pixels of each row are looked at.
 *
 * Calls share process-wide working storage: callers on several threads must serialise them.
 */
#ifndef TICKETKIT_STACKREAD_H
#define TICKETKIT_STACKREAD_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The largest number of bytes one symbol can decode to (928 codewords, numeric compaction).
 * The output buffer given to stackread must hold at least this many bytes; no more are ever
 * written. */
#define STACKREAD_MAX_OUTPUT 2710

/* Result codes of stackread. */
#define STACKREAD_OK 1
#define STACKREAD_UNUSABLE (-1)      /* symbol seen, but its structure is not usable */
#define STACKREAD_UNCORRECTABLE (-2) /* more errors than the error correction repairs */
#define STACKREAD_NOT_FOUND (-3)     /* no symbol found in either orientation */
#define STACKREAD_BAD_SIZE (-6)      /* width or height below 1 (or a null pointer) */

/* Decodes the symbol in `rows` (width x height pixels, both at least 1; height rows of width / 8
 * bytes, owned by the caller and only read) into `out` (owned by the caller, at least
 * STACKREAD_MAX_OUTPUT bytes; the text is not zero-terminated and may hold any byte) and stores
 * the byte count in *outLength, only on STACKREAD_OK. Elements of `noise` pixels or fewer are
 * merged into their neighbours before reading (0 or less merges nothing; a few pixels is
 * typical). The symbol may lie in any of the four quarter turns and be skewed by up to about
 * 20 degrees. Returns one of the STACKREAD_ codes above; nothing is allocated that outlives
 * the call. */
int stackread(const uint8_t* rows, int width, int height, uint8_t* out, int* outLength, int noise);

/* Where the symbol read by stackread_ex lies, in pixels of the image given to it (x along a row,
 * y the row index as stored, both counted from 0). The corners are those of the symbol itself
 * (its bars, not its quiet zone), rounded to whole pixels: the outline of the scan lines'
 * pattern edges fitted across every row read, so they hold within a module or two even where a
 * corner of the symbol is damaged. */
typedef struct StackreadSymbol {
    int32_t corners[8]; /* P0.x P0.y P1.x P1.y P2.x P2.y P3.x P3.y, pixels of the image (x along a
                           row, y the row index as stored): P0 the outer corner of the start pattern
                           on the symbol's first row, P1 the outer corner of the stop pattern on
                           that row, P2 the stop pattern's on the last row, P3 the start pattern's */
    int32_t rows;       /* rows of the symbol, 3 .. 90 */
    int32_t columns;    /* data columns, 1 .. 30 */
    int32_t level;      /* error-correction level, 0 .. 8 */
    int32_t reserved;   /* 0 */
} StackreadSymbol;

/* stackread, and on STACKREAD_OK also where the symbol lies; `symbol` may be null.
 * Arguments, results and the image convention are those of stackread; *symbol (owned by the
 * caller) is written only on STACKREAD_OK, whole, and is left untouched otherwise. For an
 * upright symbol P0 is its top-left corner and the corners run clockwise; turned symbols keep
 * the same order on the symbol, so P0 -> P1 is the reading direction of its rows. */
int stackread_ex(const uint8_t* rows, int width, int height, uint8_t* out, int* outLength, int noise,
                 StackreadSymbol* symbol);

/* Small exports kept for callers that bind them; they take no part in decoding.
 * fnStackread returns 42; nStackread is 0. */
int fnStackread(void);
extern int nStackread;

#ifdef __cplusplus
}

/* A trivial class kept for callers that bind it. */
class __attribute__((visibility("default"))) CStackread {
public:
    CStackread();
    CStackread& operator=(const CStackread& other);
    int32_t value;
};
#endif

#endif
