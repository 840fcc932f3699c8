/* libStripescan.so: reads one-dimensional barcodes from 1-bit images.
 * Bit value 0 is black (bar), 1 is white (space). Results are 1 for success, 0 for failure. */
#ifndef TICKETKIT_STRIPESCAN_H
#define TICKETKIT_STRIPESCAN_H

#include <stdint.h>

#include "kit/Bitmap.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct SymbologySetting {
    int32_t symbology, minElementWidth, verifyCheck, sendCheck, plainCode39, eraseFound;
} SymbologySetting;

typedef struct DecodeRequest {
    SymbologySetting *settings;
    int32_t settingCount;
    int32_t reserved;
    int32_t directions;
    int32_t minSize;
} DecodeRequest;

typedef struct BarcodeResult {
    int32_t symbology;
    uint8_t *text;
    int32_t length;
    int32_t fnc2Seen;
    int32_t corners[8];            /* P0.x P0.y P1.x P1.y P2.x P2.y P3.x P3.y */
    int32_t scanDirX, scanDirY;
} BarcodeResult;

typedef struct BarcodeResultList {
    BarcodeResult *results;
    int32_t count, capacity;
} BarcodeResultList;

int Stripescan(Bitmap *bitmap, DecodeRequest *request, BarcodeResultList *list);
int FreeBarcodeResultMem(BarcodeResultList *list);
int DrawPolygon(Bitmap *bitmap, const int32_t *points /* x,y pairs */, int count);
int ReadBimapFromFile(Bitmap *bitmap, const char *path);
int SaveBimapToFile(const Bitmap *bitmap, const char *path);
int FreeBitmap(Bitmap *bitmap);

#ifdef __cplusplus
}
#endif

#endif
