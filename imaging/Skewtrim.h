/* libSkewtrim.so: the bitmap record, BMP files, colour reduction, right-angle
 * rotation, and straightening and cropping of scanned tickets.
 * Record-based exports return a result code (0 = success); Skewtrim,
 * SkewtrimEx and SaveBmpToFile return 1 for success and 0 for failure. */
#ifndef TICKETKIT_SKEWTRIM_H
#define TICKETKIT_SKEWTRIM_H

#include <stdint.h>

#include "kit/Bitmap.h"

#ifdef __cplusplus
extern "C" {
#endif

int  Bitmap_New(Bitmap *out, int width, int height, int bitCount, int padded);
int  Bitmap_Init(Bitmap *bmp);
int  Bitmap_Done(Bitmap *bmp);
int  Bitmap_Copy(const Bitmap *src, Bitmap *dst);
int  Bitmap_Check(const Bitmap *bmp);
int  ReadBitmapFromFile(Bitmap *out, const char *path);
int  SaveBitmapToFile(const Bitmap *bmp, const char *path);
int  SaveBmpToFile(const Bitmap *bmp, const char *path);
int  GetBWBitmap(const Bitmap *src, Bitmap *dst, int threshold);
int  GetGrayBitmap(const Bitmap *src, Bitmap *dst);
int  GetColorBitmap(const Bitmap *src, Bitmap *dst);
int  imageRotate(const Bitmap *src, Bitmap *dst, double angle);
int  RotatePicSP(uint8_t *pixels, int *width, int *height, int bitCount, int angle);
int  Skewtrim(uint8_t *pixels, int *width, int *height, int bitCount, int mode, int level);
int  SkewtrimEx(uint8_t *pixels, int *width, int *height, int bitCount, int mode);
int  ImageSkewtrim(const Bitmap *src, int mode, int level, int rule, Bitmap *dst);

#ifdef __cplusplus
}
#endif

#endif /* TICKETKIT_SKEWTRIM_H */
