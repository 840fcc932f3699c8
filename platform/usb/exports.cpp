// The exports of libPipewell.so: the eight link operations over libusb and the
// reason of the last failure. Each catches everything, so no exception leaves
// the library.

#include <cstring>
#include <string>

#include "platform/usb/Pipewell.h"
#include "platform/usb/usb_link.h"

#define PIPEWELL_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

pipewell::UsbLink& usb() {
    return pipewell::UsbLink::instance();
}

template <typename Fn>
int guarded(int failure, Fn&& fn) noexcept {
    try {
        return fn();
    } catch (...) {
        return failure;
    }
}

}  // namespace

PIPEWELL_EXPORT int OpenDevice(void) {
    return guarded(-1, [] { return usb().open(); });
}

PIPEWELL_EXPORT int uRead(int handle, int pipe, uint8_t* buf, int count) {
    return guarded(-1, [&] { return usb().read(handle, pipe, buf, count); });
}

PIPEWELL_EXPORT int uWrite(int handle, int pipe, const uint8_t* buf, int count) {
    return guarded(-1, [&] { return usb().write(handle, pipe, buf, count); });
}

PIPEWELL_EXPORT int GetSpecStatus(int handle, uint8_t* buf, int count, int* delivered) {
    return guarded(0, [&] { return usb().status(handle, buf, count, delivered); });
}

PIPEWELL_EXPORT int CloseDevice(int handle) {
    return guarded(0, [&] { return usb().close(handle); });
}

PIPEWELL_EXPORT int SetUSBTimeouts(int handle, int first, int second) {
    return guarded(0, [&] { return usb().set_timeouts(handle, first, second); });
}

PIPEWELL_EXPORT int SendSpecCommand(int handle, int code) {
    return guarded(0, [&] { return usb().special_command(handle, code); });
}

PIPEWELL_EXPORT int ResetPipes(int handle, int pipe) {
    return guarded(0, [&] { return usb().reset_pipe(handle, pipe); });
}

PIPEWELL_EXPORT int PipewellLastError(char* text, int capacity) {
    return guarded(0, [&] {
        const std::string reason = usb().last_error();
        if (text != nullptr && capacity > 0) {
            const std::size_t copied = reason.size() < static_cast<std::size_t>(capacity) ? reason.size()
                                                                                         : static_cast<std::size_t>(capacity) - 1;
            std::memcpy(text, reason.data(), copied);
            text[copied] = '\0';
        }
        return static_cast<int>(reason.size());
    });
}
