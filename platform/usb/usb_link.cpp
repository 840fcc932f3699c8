#include "platform/usb/usb_link.h"

#include <libusb.h>

#include <algorithm>
#include <cstdio>

#include "platform/files.h"
#include "platform/usb/failure_reason.h"
#include "platform/usb/transfer_timeout.h"

namespace pipewell {
namespace {

constexpr int kPipeCount = 4;

std::string hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", digits, value);
    return text;
}

// Decimal text. Not std::to_string: its digit table is a unique symbol, which
// would keep the library from ever being unloaded (and the device claimed).
std::string number(long value) {
    char text[24];
    std::snprintf(text, sizeof text, "%ld", value);
    return text;
}

DeviceInfo describe(libusb_device* device) {
    DeviceInfo info;
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) != 0) return info;
    info.vendor = descriptor.idVendor;
    info.product = descriptor.idProduct;
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != 0 &&
        libusb_get_config_descriptor(device, 0, &config) != 0)
        return info;
    for (int i = 0; i < config->bNumInterfaces; ++i) {
        const libusb_interface& iface = config->interface[i];
        for (int a = 0; a < iface.num_altsetting; ++a) {
            const libusb_interface_descriptor& alt = iface.altsetting[a];
            InterfaceInfo entry;
            entry.number = alt.bInterfaceNumber;
            entry.alternate = alt.bAlternateSetting;
            entry.interfaceClass = alt.bInterfaceClass;
            for (int e = 0; e < alt.bNumEndpoints; ++e)
                entry.endpoints.push_back({alt.endpoint[e].bEndpointAddress, alt.endpoint[e].bmAttributes});
            info.interfaces.push_back(std::move(entry));
        }
    }
    libusb_free_config_descriptor(config);
    return info;
}

}  // namespace

UsbLink& UsbLink::instance() {
    static UsbLink link;
    return link;
}

UsbLink::~UsbLink() {
    links_.clear();
    drop_device_handle();
    forget_device();
    if (context_ != nullptr) libusb_exit(context_);
}

std::string UsbLink::last_error() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastError_;
}

void UsbLink::fail(std::string reason) {
    report(reason);
    lastError_ = std::move(reason);
}

std::string UsbLink::device_name() const {
    return hex(matched_.vendor, 4) + ":" + hex(matched_.product, 4) + " at bus " + number(bus_) +
           " address " + number(address_);
}

bool UsbLink::ensure_context() {
    if (context_ != nullptr) return true;
    if (contextFailed_) {
        fail("libusb could not be initialised");
        return false;
    }
    const int r = libusb_init(&context_);
    if (r != 0) {
        context_ = nullptr;
        contextFailed_ = true;  // no USB support here; do not retry every open
        fail("libusb_init: " + describe_libusb(r));
        return false;
    }
    return true;
}

// libusb_exit joins libusb's event thread. Done here, in a plain call, it
// cannot meet the loader's lock that an unload holds while our destructor
// runs (a thread handling a hotplug event may be waiting for that lock, e.g.
// in an LD_PRELOAD interposer's dlsym).
void UsbLink::release_idle_context() {
    if (open_ != nullptr || context_ == nullptr) return;
    forget_device();
    libusb_exit(context_);
    context_ = nullptr;
}

void UsbLink::forget_device() {
    if (device_ != nullptr) libusb_unref_device(device_);
    device_ = nullptr;
    interface_ = InterfaceInfo{};
}

void UsbLink::drop_device_handle() {
    if (open_ != nullptr) {
        libusb_release_interface(open_, interface_.number);
        libusb_close(open_);
        open_ = nullptr;
    }
    ++generation_;
}

bool UsbLink::find_device() {
    if (device_ != nullptr) return true;
    std::optional<UsbId> id;
    if (const auto text = platform::environment("PIPEWELL_USB_ID")) {
        id = parse_usb_id(*text);
        if (!id) {  // a wrong id must not silently pick another device
            fail("PIPEWELL_USB_ID=\"" + *text + "\" is not of the form vvvv:pppp (hexadecimal ids)");
            return false;
        }
    }
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context_, &list);
    if (count < 0) {
        fail("listing the USB devices: " + describe_libusb(static_cast<int>(count)));
        return false;
    }
    std::vector<DeviceInfo> infos;
    infos.reserve(static_cast<std::size_t>(count));
    for (ssize_t i = 0; i < count; ++i) infos.push_back(describe(list[i]));
    if (const auto match = choose_device(infos, id)) {
        device_ = libusb_ref_device(list[match->device]);
        interface_ = infos[match->device].interfaces[match->interface];
        matched_ = infos[match->device];
        bus_ = libusb_get_bus_number(device_);
        address_ = libusb_get_device_address(device_);
    }
    libusb_free_device_list(list, 1);
    if (device_ != nullptr) return true;
    if (id) {
        fail("no attached USB device with id " + hex(id->vendor, 4) + ":" + hex(id->product, 4) +
             " (PIPEWELL_USB_ID) has an interface with a bulk OUT endpoint; " + number(count) +
             " devices attached");
    } else {
        fail("no attached USB device has a vendor-specific interface with a bulk OUT and two IN endpoints; " +
             number(count) + " devices attached");
    }
    return false;
}

bool UsbLink::ensure_open_device() {
    if (open_ != nullptr) return true;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!find_device()) return false;
        libusb_device_handle* device = nullptr;
        const int r = libusb_open(device_, &device);
        if (r != 0) fail("opening USB device " + device_name() + ": " + describe_libusb(r));
        if (r == LIBUSB_ERROR_NO_DEVICE || r == LIBUSB_ERROR_NOT_FOUND) {
            forget_device();  // unplugged or re-enumerated: look once more
            continue;
        }
        if (r != 0) return false;
        libusb_set_auto_detach_kernel_driver(device, 1);
        const int claimed = libusb_claim_interface(device, interface_.number);
        if (claimed != 0) {
            fail("claiming interface " + number(interface_.number) + " of USB device " + device_name() +
                 ": " + describe_libusb(claimed));
            libusb_close(device);
            return false;
        }
        if (interface_.alternate != 0) {
            const int set = libusb_set_interface_alt_setting(device, interface_.number, interface_.alternate);
            if (set != 0) {
                fail("selecting alternate setting " + number(interface_.alternate) + " of interface " +
                     number(interface_.number) + ": " + describe_libusb(set));
                libusb_release_interface(device, interface_.number);
                libusb_close(device);
                return false;
            }
        }
        open_ = device;
        return true;
    }
    return false;
}

UsbLink::OpenLink* UsbLink::link(int handle) {
    const auto it = links_.find(handle);
    if (it == links_.end() || open_ == nullptr || it->second.generation != generation_) return nullptr;
    return &it->second;
}

const EndpointInfo* UsbLink::endpoint(int pipe) const {
    if (pipe < 0 || pipe >= kPipeCount || static_cast<std::size_t>(pipe) >= interface_.endpoints.size())
        return nullptr;
    return &interface_.endpoints[static_cast<std::size_t>(pipe)];
}

UsbLink::OpenLink* UsbLink::checked_link(int handle) {
    OpenLink* l = link(handle);
    if (l != nullptr) return l;
    const auto it = links_.find(handle);
    if (it != links_.end() && it->second.generation != generation_ && !lostReason_.empty())
        fail("link handle " + number(handle) + " died with its device: " + lostReason_);
    else
        fail("link handle " + number(handle) + " is not open (closed, or the device went away or was reset)");
    return nullptr;
}

void UsbLink::lose_device(const std::string& why) {
    lostReason_ = why;
    drop_device_handle();
    forget_device();
}

const EndpointInfo* UsbLink::checked_endpoint(int pipe, bool in) {
    const EndpointInfo* e = endpoint(pipe);
    if (e == nullptr) {
        fail("pipe " + number(pipe) + " does not exist: interface " + number(interface_.number) + " has " +
             number(interface_.endpoints.size()) + " endpoints");
    } else if (e->is_in() != in) {
        fail("pipe " + number(pipe) + " (endpoint 0x" + hex(e->address, 2) + ") cannot be " +
             (in ? "read" : "written"));
        return nullptr;
    }
    return e;
}

int UsbLink::open() {
    std::lock_guard<std::mutex> lock(mutex_);
    lastError_.clear();
    if (!ensure_context() || !ensure_open_device()) {
        release_idle_context();
        return -1;
    }
    while (links_.count(nextHandle_) != 0 || nextHandle_ <= 0)
        nextHandle_ = nextHandle_ <= 0 ? 1 : nextHandle_ + 1;
    const int handle = nextHandle_++;
    OpenLink entry;
    entry.generation = generation_;
    links_[handle] = entry;
    return handle;
}

int UsbLink::close(int handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    lastError_.clear();
    if (links_.erase(handle) != 0) return 1;
    fail("link handle " + number(handle) + " is not open");
    return 0;
}

int UsbLink::transfer(const EndpointInfo& e, int pipe, std::uint8_t* buffer, int count, int timeoutMs) {
    int moved = 0;
    int r = 0;
    const unsigned timeout = transfer_timeout(timeoutMs, count);
    if (e.transfer_type() == kTransferInterrupt)
        r = libusb_interrupt_transfer(open_, e.address, buffer, count, &moved, timeout);
    else
        r = libusb_bulk_transfer(open_, e.address, buffer, count, &moved, timeout);
    if (r != 0) {
        fail(std::string(e.is_in() ? "reading " : "writing ") + number(count) + " bytes on pipe " +
             number(pipe) + " (endpoint 0x" + hex(e.address, 2) + ", " + number(timeout) +
             " ms): " + describe_libusb(r) + "; " + number(moved) + " bytes moved");
    }
    if (r == 0 || r == LIBUSB_ERROR_TIMEOUT || r == LIBUSB_ERROR_OVERFLOW) return moved;
    if (r == LIBUSB_ERROR_NO_DEVICE) lose_device(lastError_);  // unplugged: the next open searches again
    return moved > 0 ? moved : -1;
}

int UsbLink::write(int handle, int pipe, const std::uint8_t* buffer, int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    lastError_.clear();
    OpenLink* l = checked_link(handle);
    const EndpointInfo* e = l != nullptr ? checked_endpoint(pipe, false) : nullptr;
    if (e == nullptr) return -1;
    if (buffer == nullptr || count <= 0) {
        fail("uWrite: no buffer or a count below 1");
        return -1;
    }
    // libusb takes a non-const buffer for both directions; an OUT transfer only reads it.
    return transfer(*e, pipe, const_cast<std::uint8_t*>(buffer), count, l->writeTimeoutMs);
}

int UsbLink::read(int handle, int pipe, std::uint8_t* buffer, int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    lastError_.clear();
    OpenLink* l = checked_link(handle);
    const EndpointInfo* e = l != nullptr ? checked_endpoint(pipe, true) : nullptr;
    if (e == nullptr) return -1;
    if (buffer == nullptr || count <= 0) {
        fail("uRead: no buffer or a count below 1");
        return -1;
    }
    return transfer(*e, pipe, buffer, count, l->readTimeoutMs);
}

int UsbLink::status(int handle, std::uint8_t* buffer, int count, int* delivered) {
    std::lock_guard<std::mutex> lock(mutex_);
    lastError_.clear();
    if (delivered != nullptr) *delivered = 0;
    OpenLink* l = checked_link(handle);
    if (l == nullptr) return 0;
    if (buffer == nullptr || count <= 0 || count > 0xFFFF) {
        fail("GetSpecStatus: no buffer or a count outside 1..65535");
        return 0;
    }
    const int r = libusb_control_transfer(
        open_, kStatusRequestType, kStatusRequest, 0, static_cast<std::uint16_t>(interface_.number), buffer,
        static_cast<std::uint16_t>(count), transfer_timeout(l->writeTimeoutMs, count));
    if (r < 0) {
        fail("status request on interface " + number(interface_.number) + ": " + describe_libusb(r));
        if (r == LIBUSB_ERROR_NO_DEVICE) lose_device(lastError_);
        return 0;
    }
    if (r < count) fail("status request: " + number(r) + " of " + number(count) + " bytes");
    if (delivered != nullptr) *delivered = r;
    return 1;
}

int UsbLink::set_timeouts(int handle, int first, int second) {
    std::lock_guard<std::mutex> lock(mutex_);
    lastError_.clear();
    OpenLink* l = checked_link(handle);
    if (l == nullptr) return 0;
    l->writeTimeoutMs = first;
    l->readTimeoutMs = second;
    return 1;
}

int UsbLink::special_command(int handle, int code) {
    std::lock_guard<std::mutex> lock(mutex_);
    lastError_.clear();
    OpenLink* l = checked_link(handle);
    if (l == nullptr) return 0;
    if (code != kResetUsbDevice) {
        fail("SendSpecCommand: code " + number(code) + " is not supported (only 192, RESET_USB_DEVICE)");
        return 0;
    }
    const int r = libusb_reset_device(open_);
    if (r == LIBUSB_ERROR_NOT_FOUND || r == LIBUSB_ERROR_NO_DEVICE) {
        // The device came back as a new device: find it again at the next open.
        lose_device("the port reset brought it back as a new device (" + std::string(libusb_error_name(r)) +
                    ")");
        return 1;
    }
    if (r != 0) fail("resetting USB device " + device_name() + ": " + describe_libusb(r));
    return r == 0 ? 1 : 0;
}

int UsbLink::reset_pipe(int handle, int pipe) {
    std::lock_guard<std::mutex> lock(mutex_);
    lastError_.clear();
    OpenLink* l = checked_link(handle);
    if (l == nullptr) return 0;
    const EndpointInfo* e = endpoint(pipe);
    if (e == nullptr) {
        fail("pipe " + number(pipe) + " does not exist");
        return 0;
    }
    const int r = libusb_clear_halt(open_, e->address);
    if (r != 0) {
        fail("clearing the halt of pipe " + number(pipe) + " (endpoint 0x" + hex(e->address, 2) +
             "): " + describe_libusb(r));
    }
    return r == 0 ? 1 : 0;
}

}  // namespace pipewell
