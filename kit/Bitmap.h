/* The Bitmap record shared by libSkewtrim, libInkmark, libTypemark and libStripescan.
 *
 * Seven fields in this order, natural alignment:
 *   width     pixels per row, valid when > 0
 *   height    number of rows, valid when > 0
 *   bitCount  bits per pixel: 1, 8 or 24
 *   imageSize bytes of pixel data, height x stride
 *   stride    bytes per row: unpadded (width x bitCount + 7) / 8, or padded to a multiple of 4
 *   rows      height pointers, rows[i] is the first byte of row i (rows[0] == bits)
 *   bits      the pixel block, rows one after another, row 0 first
 * 24-bit pixels are blue, green, red; 8-bit pixels are grey levels (0 black, 255 white);
 * 1-bit pixels are packed most significant bit first with bit value 1 light and 0 dark.
 *
 * A record is released by the library that filled it (Bitmap_Done of libSkewtrim,
 * FreeBitmap of libStripescan); the mark readers only read the records they are given. */
#ifndef TICKETKIT_BITMAP_RECORD
#define TICKETKIT_BITMAP_RECORD

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct Bitmap { /* imaging, marks, linear barcodes */
    int32_t width, height, bitCount, imageSize, stride;
    uint8_t** rows;
    uint8_t* bits;
} Bitmap;

#ifdef __cplusplus
}
#endif

#endif /* TICKETKIT_BITMAP_RECORD */
