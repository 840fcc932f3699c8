#pragma once
// The bitmap library the reader straightens and turns its working image with.

#include <cstdint>
#include <string>

#include "platform/dynamic_library.h"

namespace typemark {

using SkewtrimExFn = int (*)(std::uint8_t* pixels, int* width, int* height, int bitCount, int mode);
using RotatePicSPFn = int (*)(std::uint8_t* pixels, int* width, int* height, int bitCount, int angle);
using SaveBmpToFileFn = int (*)(const void* bitmap, const char* path);

// Loaded for one read and released when it ends.
class SkewtrimBinding {
public:
    // Opens the library (a logical name such as "Skewtrim.dll" or a file path) and finds
    // SkewtrimEx, RotatePicSP and SaveBmpToFile; false when any is missing.
    bool bind(const std::string& library);

    SkewtrimExFn skewtrimEx = nullptr;
    RotatePicSPFn rotatePicSP = nullptr;
    SaveBmpToFileFn saveBmpToFile = nullptr;

private:
    platform::DynamicLibrary library_;
};

}  // namespace typemark
