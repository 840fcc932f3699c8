/* read_pdf417: reads one PDF417 symbol from a BMP file (any depth: grey and colour pictures are
 * reduced to black and white first).
 *
 *   cc read_pdf417.c $(pkg-config --cflags --libs Stackread Skewtrim) -o read_pdf417
 *   ./read_pdf417 ticket.bmp
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "Skewtrim.h"
#include "Stackread.h"

enum { BLACK_BELOW = 128 }; /* grey level under which a pixel is black */

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s TICKET.bmp\n", argv[0]);
        return 2;
    }
    Bitmap picture, bw;
    Bitmap_Init(&picture);
    Bitmap_Init(&bw);
    if (ReadBitmapFromFile(&picture, argv[1]) != SKEWTRIM_OK ||
        GetBWBitmap(&picture, &bw, BLACK_BELOW) != SKEWTRIM_OK) {
        fprintf(stderr, "%s: cannot read the picture\n", argv[1]);
        Bitmap_Done(&picture);
        return 2;
    }
    /* stackread wants rows of width / 8 bytes without padding, bit 1 light, the top row first;
     * the record keeps the bottom row of the file first. */
    const int rowBytes = bw.width / 8;
    unsigned char* rows = malloc((size_t)rowBytes * (size_t)bw.height + 1);
    unsigned char* text = malloc(STACKREAD_MAX_OUTPUT + 1);
    int result = STACKREAD_NOT_FOUND, length = 0;
    if (rows != NULL && text != NULL) {
        for (int y = 0; y < bw.height; ++y)
            memcpy(rows + (size_t)y * rowBytes, bw.rows[bw.height - 1 - y], (size_t)rowBytes);
        result = stackread(rows, bw.width, bw.height, text, &length, 0);
    }
    if (result == STACKREAD_OK)
        printf("PDF417: %.*s\n", length, (const char*)text);
    else
        fprintf(stderr, "%s: no PDF417 symbol read (%d)\n", argv[1], result);
    free(text);
    free(rows);
    Bitmap_Done(&bw);
    Bitmap_Done(&picture);
    return result == STACKREAD_OK ? 0 : 1;
}
