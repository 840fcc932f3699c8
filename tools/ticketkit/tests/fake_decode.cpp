// A stand-in libdecode.so with the dispatcher's signature. It reads nothing:
// it reports what it was handed, so that tests can see the picture the
// command line built (size, first dark dot, lines per millimetre, kind).
// A picture without a dark dot reads as nothing (0), like a blank ticket.

#include <cstdint>
#include <cstdio>
#include <cstring>

extern "C" __attribute__((visibility("default"))) int Decode(uint8_t* image, int widthPixels, int heightLines,
                                                             int* kind, int* out, char* text1024) {
    if (image == nullptr || kind == nullptr || out == nullptr || text1024 == nullptr || widthPixels <= 0 ||
        widthPixels % 8 != 0 || heightLines <= 0)
        return 0;
    const int rowBytes = widthPixels / 8;
    for (int y = 0; y < heightLines; ++y) {
        for (int x = 0; x < widthPixels; ++x) {
            if ((image[y * rowBytes + x / 8] >> (7 - x % 8)) & 1) continue;
            if (*kind == 1) {
                std::snprintf(text1024, 1024, "Code 128: dark %d,%d size %dx%d lpm %d\n", x, y, widthPixels,
                              heightLines, *out);
            } else {
                std::snprintf(text1024, 1024, "0002,k%d lpm %d,%d %d", *kind, *out, x, y);
            }
            *out = 1;
            return 1;
        }
    }
    *out = 0;
    return 0;
}

extern "C" __attribute__((visibility("default"))) int GetDecodeVersion(char* text) {
    std::strcpy(text, "test double");
    return 1;
}
