// The library's C exports: nothing thrown inside crosses this boundary.

#include <cstring>
#include <new>

#include "decode/Decode.h"
#include "decode/dispatcher.h"

#define DECODE_EXPORT extern "C" __attribute__((visibility("default")))

DECODE_EXPORT int Decode(uint8_t* image, int widthPixels, int heightLines, int* kind, int* out, char* text1024) {
    try {
        return decode::process_dispatcher().decode(image, widthPixels, heightLines, kind, out, text1024);
    } catch (...) {
        if (text1024 != nullptr) text1024[0] = '\0';
        if (out != nullptr) *out = 0;
        return 0;
    }
}

DECODE_EXPORT int GetDecodeVersion(char* text) {
    if (text == nullptr) return 0;
    const char* v = decode::version_text();
    const std::size_t n = std::strlen(v);
    if (n >= DECODE_VERSION_CAPACITY) return 0;
    std::memcpy(text, v, n + 1);
    return 1;
}
