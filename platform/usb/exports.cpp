// The exports of libPipewell.so: the eight link operations over libusb. Each
// catches everything, so no exception leaves the library.

#include "platform/usb/Pipewell.h"
#include "kit/export.h"
#include "platform/usb/usb_link.h"

namespace {

pipewell::UsbLink& usb() {
    return pipewell::UsbLink::instance();
}

}  // namespace

KIT_EXPORT int OpenDevice(void) {
    return kit::fenced(-1, [] { return usb().open(); });
}

KIT_EXPORT int uRead(int handle, int pipe, uint8_t* buf, int count) {
    return kit::fenced(-1, [&] { return usb().read(handle, pipe, buf, count); });
}

KIT_EXPORT int uWrite(int handle, int pipe, const uint8_t* buf, int count) {
    return kit::fenced(-1, [&] { return usb().write(handle, pipe, buf, count); });
}

KIT_EXPORT int GetSpecStatus(int handle, uint8_t* buf, int count, int* delivered) {
    return kit::fenced(0, [&] { return usb().status(handle, buf, count, delivered); });
}

KIT_EXPORT int CloseDevice(int handle) {
    return kit::fenced(0, [&] { return usb().close(handle); });
}

KIT_EXPORT int SetUSBTimeouts(int handle, int first, int second) {
    return kit::fenced(0, [&] { return usb().set_timeouts(handle, first, second); });
}

KIT_EXPORT int SendSpecCommand(int handle, int code) {
    return kit::fenced(0, [&] { return usb().special_command(handle, code); });
}

KIT_EXPORT int ResetPipes(int handle, int pipe) {
    return kit::fenced(0, [&] { return usb().reset_pipe(handle, pipe); });
}
