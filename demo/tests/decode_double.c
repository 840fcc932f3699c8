/* A recognition dispatcher that answers a fixed text per recognition kind, so
 * the dialog's workflows can be followed end to end without the real readers.
 * Built without GetDecodeVersion (NO_VERSION) for the binding tests. */
#include <stdint.h>
#include <string.h>

#define EXPORT __attribute__((visibility("default")))

EXPORT int Decode(uint8_t* image, int widthPixels, int heightLines, int* kind, int* out, char* text1024) {
    if (!image || widthPixels <= 0 || heightLines <= 0 || !kind || !out || !text1024) return 0;
    const char* text = 0;
    switch (*kind) {
        case 0:
            text = "4,AB,CD";
            break;
        case 1:
            text = "Code 128: DOUBLE-1\n";
            break;
        case 2:
            text = "2,X,Y";
            break;
        case 5:
            text = "2,\x01\xff";
            break;
        default:
            return 0;
    }
    strcpy(text1024, text);
    *out = *kind == 1 ? 1 : 2;
    return 1;
}

#ifndef NO_VERSION
EXPORT int GetDecodeVersion(char* text) {
    if (!text) return 0;
    strcpy(text, "decode double 1.0");
    return 1;
}
#endif
