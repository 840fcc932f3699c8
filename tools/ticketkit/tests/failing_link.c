/* A USB link library that finds no device and says why, as the real link
 * does when the device node may not be opened. */
#include <stdint.h>
#include <string.h>

#define LINK_EXPORT __attribute__((visibility("default")))

static const char kReason[] = "LIBUSB_ERROR_ACCESS opening the scanner (no permission on the device node)";

LINK_EXPORT int OpenDevice(void) {
    return -1;
}
LINK_EXPORT int CloseDevice(int handle) {
    (void)handle;
    return 0;
}
LINK_EXPORT int SetUSBTimeouts(int handle, int first, int second) {
    (void)handle;
    (void)first;
    (void)second;
    return 0;
}
LINK_EXPORT int uWrite(int handle, int pipe, const uint8_t* buf, int count) {
    (void)handle;
    (void)pipe;
    (void)buf;
    (void)count;
    return -1;
}
LINK_EXPORT int uRead(int handle, int pipe, uint8_t* buf, int count) {
    (void)handle;
    (void)pipe;
    (void)buf;
    (void)count;
    return -1;
}
LINK_EXPORT int GetSpecStatus(int handle, uint8_t* buf, int count, int* delivered) {
    (void)handle;
    (void)buf;
    (void)count;
    if (delivered) *delivered = 0;
    return 0;
}
LINK_EXPORT int SendSpecCommand(int handle, int code) {
    (void)handle;
    (void)code;
    return 0;
}
LINK_EXPORT int ResetPipes(int handle, int pipe) {
    (void)handle;
    (void)pipe;
    return 0;
}

/* Copies at most capacity - 1 bytes and a terminating zero; the whole length. */
LINK_EXPORT int PipewellLastError(char* text, int capacity) {
    const int length = (int)strlen(kReason);
    if (text != NULL && capacity >= 1) {
        const int n = length < capacity - 1 ? length : capacity - 1;
        memcpy(text, kReason, (size_t)n);
        text[n] = '\0';
    }
    return length;
}
