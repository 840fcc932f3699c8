// The library's C exports: nothing thrown inside crosses this boundary.

#include <cstring>

#include "decode/Decode.h"
#include "decode/dispatcher.h"
#include "kit/export.h"

KIT_EXPORT int Decode(uint8_t* image, int widthPixels, int heightLines, int* kind, int* out, char* text1024) {
    const int result = kit::fenced(-1, [&] {
        return decode::process_dispatcher().decode(image, widthPixels, heightLines, kind, out, text1024);
    });
    if (result >= 0) return result;
    // Something was thrown: no text and no count, as for a page that reads nothing.
    if (text1024 != nullptr) text1024[0] = '\0';
    if (out != nullptr) *out = 0;
    return 0;
}

KIT_EXPORT int GetDecodeVersion(char* text) {
    if (text == nullptr) return 0;
    const char* v = decode::version_text();
    const std::size_t n = std::strlen(v);
    if (n >= DECODE_VERSION_CAPACITY) return 0;
    std::memcpy(text, v, n + 1);
    return 1;
}
