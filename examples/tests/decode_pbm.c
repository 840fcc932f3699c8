/* Test program: a sheet in a binary PBM file (P4) read through libdecode alone, so that the mark
 * reader it binds must find libSkewtrim by itself.
 *   decode_pbm SHEET.pbm KIND LINES_PER_MM   (prints the text; exit 0 when something was read) */
#include <stdio.h>
#include <stdlib.h>

#include "Decode.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    FILE* f = fopen(argv[1], "rb");
    int width = 0, height = 0;
    if (f == NULL || fscanf(f, "P4 %d %d", &width, &height) != 2 || fgetc(f) == EOF || width % 8 != 0 ||
        width <= 0 || height <= 0)
        return 2;
    const size_t size = (size_t)width / 8 * (size_t)height;
    unsigned char* rows = malloc(size);
    if (rows == NULL || fread(rows, 1, size, f) != size) return 2;
    fclose(f);
    for (size_t i = 0; i < size; ++i) rows[i] = (unsigned char)~rows[i]; /* PBM: 1 is black */
    int kind = atoi(argv[2]), out = atoi(argv[3]);
    char text[DECODE_TEXT_CAPACITY];
    const int ok = Decode(rows, width, height, &kind, &out, text);
    printf("%s\n", ok ? text : "");
    free(rows);
    return ok ? 0 : 1;
}
