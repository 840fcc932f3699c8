// The SANE entry points' logic over libKestrom.

#include "sane/backend.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "sane/debug.h"

namespace tqsane {

Backend& backend() {
    static Backend instance;
    return instance;
}

SANE_Status Backend::init(SANE_Int* version) {
    if (version) *version = SANE_VERSION_CODE(SANE_CURRENT_MAJOR, 0, kBackendBuild);
    if (initialised_) exit();
    initialised_ = true;
    // Without the device library there is simply no device to offer.
    if (!api_.bind()) debug(1, "cannot bind libKestrom.so: %s", api_.error().c_str());
    describe_device();
    return SANE_STATUS_GOOD;
}

void Backend::exit() {
    if (handle_) close(handle_.get());
    api_.unbind();
    deviceFound_ = false;
    initialised_ = false;
}

void Backend::describe_device() {
    // PIPEWELL_LIBRARY puts another link (the software scanner-printer) in
    // place of the USB one; say so in the device's name.
    const char* link = std::getenv("PIPEWELL_LIBRARY");
    const bool replaced = link && *link;
    deviceName_ = replaced ? "emulator" : "usb";
    vendor_ = "TQ";
    model_ = replaced ? "RMX7KP (software scanner-printer)" : "RMX7KP ticket scanner-printer";
    type_ = "sheetfed scanner";
    device_.name = deviceName_.c_str();
    device_.vendor = vendor_.c_str();
    device_.model = model_.c_str();
    device_.type = type_.c_str();
}

bool Backend::probe() {
    if (!api_.bound()) return false;
    if (handle_) return true;  // open right now
    Status s{};
    const bool found = api_.OpenUSBPort() != 0 && api_.status(s);
    api_.CloseUSBPort();
    debug(2, found ? "device found" : "no device answers");
    return found;
}

SANE_Status Backend::get_devices(const SANE_Device*** list) {
    if (!list) return SANE_STATUS_INVAL;
    deviceFound_ = probe();
    deviceList_[0] = deviceFound_ ? &device_ : nullptr;
    deviceList_[1] = nullptr;
    *list = deviceList_;
    return SANE_STATUS_GOOD;
}

SANE_Status Backend::open(const char* name, Handle** handle) {
    if (!handle) return SANE_STATUS_INVAL;
    *handle = nullptr;
    const std::string_view wanted = name ? name : "";
    if (!wanted.empty() && wanted != deviceName_) return SANE_STATUS_INVAL;
    if (handle_) return SANE_STATUS_DEVICE_BUSY;
    if (!api_.bound()) return SANE_STATUS_IO_ERROR;
    if (api_.OpenUSBPort() == 0) {
        debug(1, "OpenUSBPort failed");
        return SANE_STATUS_IO_ERROR;
    }
    handle_ = std::make_unique<Handle>();
    *handle = handle_.get();
    return SANE_STATUS_GOOD;
}

void Backend::close(Handle* h) {
    if (!owns(h)) return;
    api_.CloseUSBPort();
    handle_.reset();
}

SANE_Status Backend::control_option(Handle* h, SANE_Int option, SANE_Action action, void* value,
                                    SANE_Int* info) {
    if (!owns(h)) return SANE_STATUS_INVAL;
    if (info) *info = 0;
    switch (action) {
        case SANE_ACTION_GET_VALUE:
            return h->options.get(option, value);
        case SANE_ACTION_SET_VALUE:
            if (h->framePending) return SANE_STATUS_DEVICE_BUSY;
            return h->options.set(option, value, info);
        case SANE_ACTION_SET_AUTO:
            if (h->framePending) return SANE_STATUS_DEVICE_BUSY;
            return h->options.set_auto(option, info);
    }
    return SANE_STATUS_INVAL;
}

SANE_Status Backend::get_parameters(Handle* h, SANE_Parameters* params) {
    if (!owns(h) || !params) return SANE_STATUS_INVAL;
    *params = h->options.parameters();
    if (h->framePending) {
        // The scanned picture is complete already: give its true size.
        params->depth = h->picture.depth;
        params->bytes_per_line = h->picture.lineBytes;
        params->pixels_per_line = h->picture.depth == 1 ? h->picture.lineBytes * 8 : h->picture.lineBytes;
        params->lines = h->picture.lines;
    }
    return SANE_STATUS_GOOD;
}

SANE_Status Backend::start(Handle* h) {
    if (!owns(h)) return SANE_STATUS_INVAL;
    h->cancelRequested.store(false);
    h->framePending = false;
    h->readOffset = 0;
    const SANE_Status st = scan_ticket(api_, h->options.settings(), h->cancelRequested, h->picture);
    if (st != SANE_STATUS_GOOD) {
        h->picture = Picture{};
        return st;
    }
    h->framePending = true;
    return SANE_STATUS_GOOD;
}

SANE_Status Backend::read(Handle* h, SANE_Byte* data, SANE_Int maxLength, SANE_Int* length) {
    if (length) *length = 0;
    if (!owns(h) || !data || !length || maxLength < 0) return SANE_STATUS_INVAL;
    if (h->cancelRequested.load()) {
        h->framePending = false;
        h->picture = Picture{};
        return SANE_STATUS_CANCELLED;
    }
    if (!h->framePending) return SANE_STATUS_EOF;
    const std::size_t left = h->picture.bytes.size() - h->readOffset;
    if (left == 0) {
        h->framePending = false;
        h->picture = Picture{};
        return SANE_STATUS_EOF;
    }
    const std::size_t n = std::min(left, static_cast<std::size_t>(maxLength));
    std::memcpy(data, h->picture.bytes.data() + h->readOffset, n);
    h->readOffset += n;
    *length = static_cast<SANE_Int>(n);
    return SANE_STATUS_GOOD;
}

void Backend::cancel(Handle* h) {
    // Only an atomic store: frontends call this from signal handlers. The
    // scan in progress, or the next read, acts on it.
    if (owns(h)) h->cancelRequested.store(true);
}

}  // namespace tqsane
