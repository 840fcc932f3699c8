/* Inkmark: the handwritten mark reader. Reads pencil or pen marks in the answer
 * cells of a scanned sheet laid out by the forms of a text format file
 * ("FormatFile.txt", or the file named by the environment variable FMTFILEPATH).
 * Every export returns 1 on success and 0 on failure. Calls must not overlap. */
#ifndef TICKETKIT_INKMARK_H
#define TICKETKIT_INKMARK_H

#include <stdint.h>

#include "kit/Bitmap.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct OmrResultBlock {
    int32_t length, capacity;
    char *text;
} OmrResultBlock;

typedef struct OmrResultSet {
    int32_t resultCount, levelCount;
    int32_t *levels;
    OmrResultBlock *blocks;
} OmrResultSet;

int OMRead(const uint8_t *image, int *selector, int flip, int width, int height, int scanMode, char *result);
int OMReadEx(const uint8_t *image, int *selector, int flip, int width, int height, int scanMode, char *result);
int OMRead_Reliability(const uint8_t *image, int *selector, int flip, int width, int height, int scanMode,
                       char *result);
int image_decode_OMR(Bitmap *bitmap, int *selector, int flip, int scanMode, int straighten, OmrResultSet *set);

#ifdef __cplusplus
}
#endif

#endif
