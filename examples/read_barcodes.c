/* read_barcodes: reads every linear barcode (Code 128, Code 93, EAN-13, UPC-A, EAN-8, UPC-E,
 * Code 39, Codabar, Interleaved 2 of 5) on a 1-bit BMP file, at any angle.
 *
 *   cc read_barcodes.c $(pkg-config --cflags --libs Stripescan) -o read_barcodes
 *   ./read_barcodes ticket.bmp
 */
#include <stdio.h>

#include "Stripescan.h"

static const char* name_of(int symbology) {
    switch (symbology) {
        case STRIPESCAN_CODE128:
            return "Code 128";
        case STRIPESCAN_CODE93:
            return "Code 93";
        case STRIPESCAN_EAN13:
            return "EAN-13";
        case STRIPESCAN_EAN8:
            return "EAN-8";
        case STRIPESCAN_UPCE:
            return "UPC-E";
        case STRIPESCAN_CODE39:
            return "Code 39";
        case STRIPESCAN_CODABAR:
            return "Codabar";
        case STRIPESCAN_ITF:
            return "Interleaved 2 of 5";
        case STRIPESCAN_GS1_128:
            return "GS1-128";
        case STRIPESCAN_UPCA:
            return "UPC-A";
        default:
            return "?";
    }
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s TICKET.bmp\n", argv[0]);
        return 2;
    }
    Bitmap page = {0};
    if (ReadBimapFromFile(&page, argv[1]) != STRIPESCAN_OK) {
        fprintf(stderr, "%s: not a 1-bit BMP file\n", argv[1]);
        return 2;
    }
    /* One setting per symbology: number, noise width, verify check, keep check, plain Code 39,
     * erase when found. EAN and UPC keep their check digit. */
    SymbologySetting settings[] = {{STRIPESCAN_CODE128, 0, 0, 0, 0, 0}, {STRIPESCAN_CODE93, 0, 0, 0, 0, 0},
                                   {STRIPESCAN_EAN13, 0, 0, 1, 0, 0},   {STRIPESCAN_UPCA, 0, 0, 1, 0, 0},
                                   {STRIPESCAN_EAN8, 0, 0, 1, 0, 0},    {STRIPESCAN_UPCE, 0, 0, 1, 0, 0},
                                   {STRIPESCAN_CODE39, 0, 0, 0, 1, 0},  {STRIPESCAN_CODABAR, 0, 0, 0, 0, 0},
                                   {STRIPESCAN_ITF, 0, 0, 0, 0, 0}};
    DecodeRequest request = {settings, (int32_t)(sizeof settings / sizeof settings[0]), 0,
                             STRIPESCAN_BOTH_DIRECTIONS,
                             STRIPESCAN_MIN_SIZE /* smallest size unit, pixels */};
    BarcodeResultList found = {0};
    if (Stripescan(&page, &request, &found) != STRIPESCAN_OK) {
        fprintf(stderr, "%s: out of memory\n", argv[1]);
        FreeBitmap(&page);
        return 2;
    }
    for (int i = 0; i < found.count; ++i) {
        const BarcodeResult* r = &found.results[i];
        printf("%s: %.*s  at (%d,%d) (%d,%d) (%d,%d) (%d,%d)\n", name_of(r->symbology), r->length,
               (const char*)r->text, r->corners[0], r->corners[1], r->corners[2], r->corners[3],
               r->corners[4], r->corners[5], r->corners[6], r->corners[7]);
    }
    const int count = found.count;
    FreeBarcodeResultMem(&found);
    FreeBitmap(&page);
    return count > 0 ? 0 : 1;
}
