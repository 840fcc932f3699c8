// A stand-in for the bitmap library, loaded by file path in the layout tests:
// Skewtrim and SkewtrimEx leave the picture as it is and succeed. Built once
// without SkewtrimMap and once with a SkewtrimMap that answers one column more
// than the straightening gives.

#include <cstdint>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_EXPORT int Skewtrim(std::uint8_t*, int*, int*, int, int, int) {
    return 1;
}

FAKE_EXPORT int SkewtrimEx(std::uint8_t*, int*, int*, int, int) {
    return 1;
}

#ifdef FAKE_WRONG_MAP
FAKE_EXPORT int SkewtrimMap(const std::uint8_t*, int width, int height, int, int, double* map, int* outWidth,
                            int* outHeight) {
    const double identity[6] = {1, 0, 0, 0, 1, 0};
    for (int i = 0; i < 6; ++i) map[i] = identity[i];
    *outWidth = width + 1;
    *outHeight = height;
    return 1;
}
#endif
