// The exported C interface of libSkewtrim.so: argument checks and a catch-all
// around the library's internals; no exception leaves an export.

#include "imaging/Skewtrim.h"
#include "imaging/bitmap.h"
#include "imaging/bmp_file.h"
#include "imaging/colour.h"
#include "imaging/rotate.h"
#include "imaging/straighten.h"

#include <new>

#define SKEWTRIM_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Runs `body`, answering `onFailure` for any exception (out of memory included).
template <typename Body>
int guarded(int onFailure, Body body) noexcept {
    try {
        return body();
    } catch (...) {
        return onFailure;
    }
}

}  // namespace

SKEWTRIM_EXPORT int Bitmap_New(Bitmap* out, int width, int height, int bitCount, int padded) {
    return guarded(skewtrim::kOutOfMemory,
                   [&] { return skewtrim::bitmap_new(out, width, height, bitCount, padded != 0); });
}

SKEWTRIM_EXPORT int Bitmap_Init(Bitmap* bmp) {
    return guarded(skewtrim::kInvalidArgument, [&] { return skewtrim::bitmap_init(bmp); });
}

SKEWTRIM_EXPORT int Bitmap_Done(Bitmap* bmp) {
    return guarded(skewtrim::kInvalidArgument, [&] { return skewtrim::bitmap_done(bmp); });
}

SKEWTRIM_EXPORT int Bitmap_Copy(const Bitmap* src, Bitmap* dst) {
    return guarded(skewtrim::kOutOfMemory, [&] { return skewtrim::bitmap_copy(src, dst); });
}

SKEWTRIM_EXPORT int Bitmap_Check(const Bitmap* bmp) {
    return guarded(skewtrim::kInvalidArgument, [&] { return skewtrim::bitmap_check(bmp); });
}

SKEWTRIM_EXPORT int ReadBitmapFromFile(Bitmap* out, const char* path) {
    return guarded(skewtrim::kOutOfMemory, [&] { return skewtrim::read_bitmap_file(out, path); });
}

SKEWTRIM_EXPORT int SaveBitmapToFile(const Bitmap* bmp, const char* path) {
    return guarded(skewtrim::kWriteError, [&] { return skewtrim::save_bitmap_file(bmp, path); });
}

SKEWTRIM_EXPORT int SaveBmpToFile(const Bitmap* bmp, const char* path) {
    return guarded(0, [&] { return skewtrim::save_bitmap_file(bmp, path) == skewtrim::kOk ? 1 : 0; });
}

SKEWTRIM_EXPORT int GetBWBitmap(const Bitmap* src, Bitmap* dst, int threshold) {
    return guarded(skewtrim::kOutOfMemory, [&] { return skewtrim::to_black_white(src, dst, threshold); });
}

SKEWTRIM_EXPORT int GetGrayBitmap(const Bitmap* src, Bitmap* dst) {
    return guarded(skewtrim::kOutOfMemory, [&] { return skewtrim::to_grey(src, dst); });
}

SKEWTRIM_EXPORT int GetColorBitmap(const Bitmap* src, Bitmap* dst) {
    return guarded(skewtrim::kOutOfMemory, [&] { return skewtrim::to_colour(src, dst); });
}

SKEWTRIM_EXPORT int imageRotate(const Bitmap* src, Bitmap* dst, double angle) {
    return guarded(skewtrim::kOutOfMemory, [&] { return skewtrim::rotate_bitmap(src, dst, angle); });
}

SKEWTRIM_EXPORT int RotatePicSP(uint8_t* pixels, int* width, int* height, int bitCount, int angle) {
    return guarded(skewtrim::kOutOfMemory,
                   [&] { return skewtrim::rotate_buffer(pixels, width, height, bitCount, angle); });
}

SKEWTRIM_EXPORT int Skewtrim(uint8_t* pixels, int* width, int* height, int bitCount, int mode, int level) {
    return guarded(0, [&] { return skewtrim::straighten_buffer(pixels, width, height, bitCount, mode, level); });
}

SKEWTRIM_EXPORT int SkewtrimEx(uint8_t* pixels, int* width, int* height, int bitCount, int mode) {
    return guarded(0, [&] { return skewtrim::straighten_buffer(pixels, width, height, bitCount, mode, 0); });
}

SKEWTRIM_EXPORT int ImageSkewtrim(const Bitmap* src, int mode, int level, int rule, Bitmap* dst) {
    return guarded(skewtrim::kOutOfMemory, [&] { return skewtrim::straighten(src, mode, level, rule, dst); });
}
