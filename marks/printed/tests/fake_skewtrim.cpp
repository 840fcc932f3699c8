// A stand-in for the bitmap library, loaded by file path in the reader's tests:
// SkewtrimEx leaves the image as it is (or fails on request) and SkewtrimMap says so with
// the identity map, RotatePicSP turns a
// 1-bit image by 90 degrees exactly as the real library does (or replaces it with an
// image the test supplies), SaveBmpToFile does nothing. Calls are counted.

#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/Skewtrim.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
int gStraightenCalls = 0;
int gRotateCalls = 0;
int gFailStraighten = 0;
std::vector<std::uint8_t> gTurned;
int gTurnedWidth = 0, gTurnedHeight = 0;
}  // namespace

FAKE_EXPORT void FakeReset() {
    gStraightenCalls = gRotateCalls = gFailStraighten = 0;
    gTurned.clear();
    gTurnedWidth = gTurnedHeight = 0;
}
FAKE_EXPORT int FakeStraightenCalls() {
    return gStraightenCalls;
}
FAKE_EXPORT int FakeRotateCalls() {
    return gRotateCalls;
}
FAKE_EXPORT void FakeFailStraighten(int fail) {
    gFailStraighten = fail;
}
// The next quarter turn writes this image (unpadded 1-bit rows) instead of turning.
FAKE_EXPORT void FakeSetTurnedImage(const std::uint8_t* rows, int width, int height) {
    gTurned.assign(rows, rows + static_cast<std::size_t>((width + 7) / 8) * static_cast<std::size_t>(height));
    gTurnedWidth = width;
    gTurnedHeight = height;
}

FAKE_EXPORT int SkewtrimEx(std::uint8_t* pixels, int* width, int* height, int bitCount, int mode) {
    ++gStraightenCalls;
    if (pixels == nullptr || width == nullptr || height == nullptr || bitCount != 1 ||
        mode != SKEWTRIM_MODE_BILINEAR)
        return 0;
    return gFailStraighten ? 0 : 1;
}

#ifndef FAKE_WITHOUT_ROTATE
FAKE_EXPORT int RotatePicSP(std::uint8_t* pixels, int* width, int* height, int bitCount, int angle) {
    ++gRotateCalls;
    if (pixels == nullptr || width == nullptr || height == nullptr || bitCount != 1 || angle != 90)
        return SKEWTRIM_INVALID_ARGUMENT;
    const int w = *width, h = *height;
    if (!gTurned.empty()) {
        // Writes as many bytes as a real turn of this image would, then the test's image.
        std::memset(pixels, 0xFF, static_cast<std::size_t>(w) * static_cast<std::size_t>((h + 7) / 8));
        std::memcpy(pixels, gTurned.data(), gTurned.size());
        *width = gTurnedWidth;
        *height = gTurnedHeight;
        return SKEWTRIM_OK;
    }
    const int srcStride = (w + 7) / 8, dstStride = (h + 7) / 8;
    std::vector<std::uint8_t> src(pixels,
                                  pixels + static_cast<std::size_t>(srcStride) * static_cast<std::size_t>(h));
    // Source (x, y) goes to column y of row w - 1 - x.
    std::memset(pixels, 0xFF, static_cast<std::size_t>(dstStride) * static_cast<std::size_t>(w));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool light =
                (src[static_cast<std::size_t>(y * srcStride + x / 8)] & (0x80 >> (x % 8))) != 0;
            std::uint8_t& b = pixels[static_cast<std::size_t>((w - 1 - x) * dstStride + y / 8)];
            const auto mask = static_cast<std::uint8_t>(0x80 >> (y % 8));
            b = light ? static_cast<std::uint8_t>(b | mask) : static_cast<std::uint8_t>(b & ~mask);
        }
    }
    *width = h;
    *height = w;
    return SKEWTRIM_OK;
}
#endif

#ifndef FAKE_WITHOUT_MAP
FAKE_EXPORT int SkewtrimMap(const std::uint8_t* pixels, int width, int height, int bitCount, int, double* map,
                            int* outWidth, int* outHeight) {
    if (pixels == nullptr || map == nullptr || bitCount != 1 || gFailStraighten) return 0;
    const double identity[6] = {1, 0, 0, 0, 1, 0};
    std::memcpy(map, identity, sizeof identity);
    *outWidth = width;
    *outHeight = height;
    return 1;
}
#endif

FAKE_EXPORT int SaveBmpToFile(const Bitmap*, const char*) {
    return 0;
}
