// The exports of libPipewell.so: the eight link operations over libusb and the
// reason of the last failure. Each catches everything, so no exception leaves
// the library.

#include <cstring>
#include <string>

#include "kit/export.h"
#include "platform/usb/Pipewell.h"
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

KIT_EXPORT int PipewellLastError(char* text, int capacity) {
    return kit::fenced(0, [&] {
        const std::string reason = usb().last_error();
        if (text != nullptr && capacity > 0) {
            const std::size_t copied = reason.size() < static_cast<std::size_t>(capacity)
                                           ? reason.size()
                                           : static_cast<std::size_t>(capacity) - 1;
            std::memcpy(text, reason.data(), copied);
            text[copied] = '\0';
        }
        return static_cast<int>(reason.size());
    });
}
