#include "platform/usb/failure_reason.h"

#include <libusb.h>

#include <cstdio>

#include "platform/files.h"

namespace pipewell {
namespace {

// What a user can do about the results that have a usual cause.
const char* hint(int code) {
    switch (code) {
        case LIBUSB_ERROR_ACCESS:
            return "no permission to open the device; install the udev rule 60-tq-rmx7kp.rules "
                   "and join the group plugdev";
        case LIBUSB_ERROR_BUSY:
            return "another program or a kernel driver holds the interface";
        case LIBUSB_ERROR_NO_DEVICE:
            return "the device is no longer attached";
        case LIBUSB_ERROR_NOT_FOUND:
            return "the device or its interface was not found";
        case LIBUSB_ERROR_PIPE:
            return "the endpoint stalled";
        case LIBUSB_ERROR_TIMEOUT:
            return "the device did not answer in time";
        default:
            return "";
    }
}

}  // namespace

std::string describe_libusb(int code) {
    std::string text = libusb_error_name(code);
    text += " (";
    text += libusb_strerror(code);
    text += ")";
    const char* advice = hint(code);
    if (*advice != '\0') {
        text += ": ";
        text += advice;
    }
    return text;
}

bool debug_enabled() {
    const auto value = platform::environment(kDebugVariable);
    return value && !value->empty() && *value != "0";
}

void report(const std::string& reason) {
    if (debug_enabled()) std::fprintf(stderr, "pipewell: %s\n", reason.c_str());
}

}  // namespace pipewell
