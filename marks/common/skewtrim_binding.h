#pragma once
// Run-time binding of the straightening library "Skewtrim.dll" for the mark
// readers: loaded by name for one read, its exports resolved by name, and
// released when the binding goes out of scope.

#include <cstdint>
#include <string_view>

#include "marks/common/image.h"
#include "platform/dynamic_library.h"

namespace marks {

using SkewtrimFn = int (*)(std::uint8_t* pixels, int* width, int* height, int bitCount, int mode, int level);
using SkewtrimExFn = int (*)(std::uint8_t* pixels, int* width, int* height, int bitCount, int mode);
using RotatePicSPFn = int (*)(std::uint8_t* pixels, int* width, int* height, int bitCount, int angle);
// Where straightening takes each output pixel from (an addition the readers use only to report
// their layout; see Skewtrim.h).
using SkewtrimMapFn = int (*)(const std::uint8_t* pixels, int width, int height, int bitCount, int level,
                              double* map, int* outWidth, int* outHeight);
// The record is a Bitmap; it is never passed by the readers.
using SaveBmpToFileFn = int (*)(const void* bitmap, const char* path);

inline constexpr std::string_view kSkewtrimLibrary = "Skewtrim.dll";

class SkewtrimBinding {
public:
    // Loads the library (logical name or file path) and resolves the four
    // exports; false when the library cannot be loaded. Missing exports are
    // left null: check the ones the reader needs.
    bool open(std::string_view name = kSkewtrimLibrary);
    void close();

    SkewtrimFn skewtrim = nullptr;
    SkewtrimExFn skewtrimEx = nullptr;
    RotatePicSPFn rotatePicSP = nullptr;
    SaveBmpToFileFn saveBmpToFile = nullptr;
    SkewtrimMapFn skewtrimMap = nullptr;  // optional: a read never fails for want of it

private:
    platform::DynamicLibrary library_;
};

// Straightens `image` in place through `fn` (Skewtrim with mode and level),
// first giving the pixel block room for twice the image, since the call does
// not know the block's size; then recomputes stride, imageSize and the rows.
// False when the call reports failure, memory runs out or the reported size
// does not fit the block.
bool skewtrim_in_place(Image& image, SkewtrimFn fn, int mode, int level);

// The same through SkewtrimEx (measured level).
bool skewtrim_ex_in_place(Image& image, SkewtrimExFn fn, int mode);

// Turns `image` by `angle` degrees through RotatePicSP, first enlarging the
// pixel block to at least width x ((height x bitCount + 7) / 8) + 1024 bytes
// and the row table to width entries; then recomputes the layout.
bool rotate_in_place(Image& image, RotatePicSPFn fn, int angle);

}  // namespace marks
