/* straighten: finds the ticket on the scanner background of a BMP file, turns it upright,
 * cuts it out and saves it.
 *
 *   cc straighten.c $(pkg-config --cflags --libs Skewtrim) -o straighten
 *   ./straighten scan.bmp upright.bmp
 */
#include <stdio.h>

#include "Skewtrim.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s IN.bmp OUT.bmp\n", argv[0]);
        return 2;
    }
    Bitmap scan, upright;
    Bitmap_Init(&scan);
    Bitmap_Init(&upright);
    int code = ReadBitmapFromFile(&scan, argv[1]);
    if (code != SKEWTRIM_OK) {
        fprintf(stderr, "%s: cannot read the picture (code %d)\n", argv[1], code);
        return 2;
    }
    /* Bicubic (1-bit pictures are always resampled nearest); the library measures the
     * background's level; paper is brighter than it. */
    code =
        ImageSkewtrim(&scan, SKEWTRIM_MODE_BICUBIC, SKEWTRIM_LEVEL_MEASURE, SKEWTRIM_RULE_BRIGHTER, &upright);
    if (code != SKEWTRIM_OK) {
        fprintf(stderr, "%s: no ticket found to straighten (code %d)\n", argv[1], code);
        Bitmap_Done(&scan);
        return 1;
    }
    code = SaveBitmapToFile(&upright, argv[2]);
    printf("%s: %d x %d -> %s: %d x %d, %d bits\n", argv[1], scan.width, scan.height, argv[2], upright.width,
           upright.height, upright.bitCount);
    Bitmap_Done(&upright);
    Bitmap_Done(&scan);
    if (code != SKEWTRIM_OK) {
        fprintf(stderr, "%s: cannot write (code %d)\n", argv[2], code);
        return 2;
    }
    return 0;
}
