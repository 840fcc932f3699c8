// The exported C interface of libSkewtrim.so: argument checks and a catch-all
// around the library's internals; no exception leaves an export.

#include "imaging/Skewtrim.h"
#include "imaging/bitmap.h"
#include "imaging/bmp_file.h"
#include "imaging/colour.h"
#include "imaging/rotate.h"
#include "imaging/straighten.h"
#include "kit/export.h"

KIT_EXPORT int Bitmap_New(Bitmap* out, int width, int height, int bitCount, int padded) {
    return kit::fenced(skewtrim::kOutOfMemory,
                       [&] { return skewtrim::bitmap_new(out, width, height, bitCount, padded != 0); });
}

KIT_EXPORT int Bitmap_Init(Bitmap* bmp) {
    return kit::fenced(skewtrim::kInvalidArgument, [&] { return skewtrim::bitmap_init(bmp); });
}

KIT_EXPORT int Bitmap_Done(Bitmap* bmp) {
    return kit::fenced(skewtrim::kInvalidArgument, [&] { return skewtrim::bitmap_done(bmp); });
}

KIT_EXPORT int Bitmap_Copy(const Bitmap* src, Bitmap* dst) {
    return kit::fenced(skewtrim::kOutOfMemory, [&] { return skewtrim::bitmap_copy(src, dst); });
}

KIT_EXPORT int Bitmap_Check(const Bitmap* bmp) {
    return kit::fenced(skewtrim::kInvalidArgument, [&] { return skewtrim::bitmap_check(bmp); });
}

KIT_EXPORT int ReadBitmapFromFile(Bitmap* out, const char* path) {
    return kit::fenced(skewtrim::kOutOfMemory, [&] { return skewtrim::read_bitmap_file(out, path); });
}

KIT_EXPORT int SaveBitmapToFile(const Bitmap* bmp, const char* path) {
    return kit::fenced(skewtrim::kWriteError, [&] { return skewtrim::save_bitmap_file(bmp, path); });
}

KIT_EXPORT int SaveBmpToFile(const Bitmap* bmp, const char* path) {
    return kit::fenced(0, [&] { return skewtrim::save_bitmap_file(bmp, path) == skewtrim::kOk ? 1 : 0; });
}

KIT_EXPORT int GetBWBitmap(const Bitmap* src, Bitmap* dst, int threshold) {
    return kit::fenced(skewtrim::kOutOfMemory, [&] { return skewtrim::to_black_white(src, dst, threshold); });
}

KIT_EXPORT int GetGrayBitmap(const Bitmap* src, Bitmap* dst) {
    return kit::fenced(skewtrim::kOutOfMemory, [&] { return skewtrim::to_grey(src, dst); });
}

KIT_EXPORT int GetColorBitmap(const Bitmap* src, Bitmap* dst) {
    return kit::fenced(skewtrim::kOutOfMemory, [&] { return skewtrim::to_colour(src, dst); });
}

KIT_EXPORT int imageRotate(const Bitmap* src, Bitmap* dst, double angle) {
    return kit::fenced(skewtrim::kOutOfMemory, [&] { return skewtrim::rotate_bitmap(src, dst, angle); });
}

KIT_EXPORT int RotatePicSP(uint8_t* pixels, int* width, int* height, int bitCount, int angle) {
    return kit::fenced(skewtrim::kOutOfMemory,
                       [&] { return skewtrim::rotate_buffer(pixels, width, height, bitCount, angle); });
}

KIT_EXPORT int Skewtrim(uint8_t* pixels, int* width, int* height, int bitCount, int mode, int level) {
    return kit::fenced(
        0, [&] { return skewtrim::straighten_buffer(pixels, width, height, bitCount, mode, level); });
}

KIT_EXPORT int SkewtrimEx(uint8_t* pixels, int* width, int* height, int bitCount, int mode) {
    return kit::fenced(0,
                       [&] { return skewtrim::straighten_buffer(pixels, width, height, bitCount, mode, 0); });
}

KIT_EXPORT int SkewtrimMap(const uint8_t* pixels, int width, int height, int bitCount, int level, double* map,
                           int* outWidth, int* outHeight) {
    return kit::fenced(0, [&] {
        return skewtrim::straighten_map(pixels, width, height, bitCount, level, map, outWidth, outHeight);
    });
}

KIT_EXPORT int ImageSkewtrim(const Bitmap* src, int mode, int level, int rule, Bitmap* dst) {
    return kit::fenced(skewtrim::kOutOfMemory,
                       [&] { return skewtrim::straighten(src, mode, level, rule, dst); });
}
