/* read_marks: reads a mark sheet from a BMP file through the recognition dispatcher, as the
 * demo does with a scanned picture: handwritten marks by the forms of FormatFile.txt (or
 * $FMTFILEPATH), printed marks by FormatFileSP.txt (or $FMTFILESPPATH).
 *
 *   cc read_marks.c $(pkg-config --cflags --libs decode Skewtrim) -o read_marks
 *   FMTFILEPATH=forms.txt ./read_marks sheet.bmp handwritten 8
 *
 * The last argument is the lines per millimetre the sheet was scanned at (4 or 8; a BMP file
 * saved by the device library says it in its vertical resolution).
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "Decode.h"
#include "Skewtrim.h"

enum { BLACK_BELOW = 128 }; /* grey level under which a pixel is black */

int main(int argc, char** argv) {
    if (argc != 4 || (strcmp(argv[2], "handwritten") != 0 && strcmp(argv[2], "printed") != 0)) {
        fprintf(stderr, "usage: %s SHEET.bmp handwritten|printed 4|8\n", argv[0]);
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
    /* Decode takes the picture as the device delivers it: the top row first, rows of a whole
     * number of bytes (the pixels past the width left white). */
    const int rowBytes = (bw.width + 7) / 8;
    unsigned char* rows = malloc((size_t)rowBytes * (size_t)bw.height);
    if (rows == NULL) return 2;
    for (int y = 0; y < bw.height; ++y) {
        unsigned char* row = rows + (size_t)y * rowBytes;
        memcpy(row, bw.rows[bw.height - 1 - y], (size_t)rowBytes);
        if (bw.width % 8) row[rowBytes - 1] |= (unsigned char)(0xFF >> (bw.width % 8));
    }
    int kind = strcmp(argv[2], "printed") == 0 ? DECODE_KIND_PRINTED_MARKS : DECODE_KIND_HANDWRITTEN_MARKS;
    int linesPerMm = atoi(argv[3]);
    char text[DECODE_TEXT_CAPACITY];
    const int ok = Decode(rows, rowBytes * 8, bw.height, &kind, &linesPerMm, text);
    if (ok) {
        /* "count,row,row,...": one line per row of cells. */
        const char* comma = strchr(text, ',');
        printf("%.*s cells\n", comma ? (int)(comma - text) : (int)strlen(text), text);
        for (const char* p = comma; p != NULL && *p != '\0';) {
            const char* next = strchr(p + 1, ',');
            const int n = next ? (int)(next - p - 1) : (int)strlen(p + 1);
            printf("%.*s\n", n, p + 1);
            p = next;
        }
    } else {
        fprintf(stderr, "%s: no form of the format file fits\n", argv[1]);
    }
    free(rows);
    Bitmap_Done(&bw);
    Bitmap_Done(&picture);
    return ok ? 0 : 1;
}
