#include "emulated_usb_device.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

#include "usb_function.h"

namespace usbtest {
namespace {

constexpr std::uint8_t kDirectionIn = 0x80;
constexpr int kSetupBytes = 8;
// usbdevfs capabilities the handler claims, those of an xHCI host: one URB
// carries a whole bulk transfer of any length.
constexpr std::uint32_t kCapabilities =
    USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_BULK_SCATTER_GATHER;

// The client memory `size` bytes at the address in `arg`; null on failure.
UMockdevIoctlData* pointee(UMockdevIoctlData* arg, std::size_t size) {
    GError* error = nullptr;
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, size, &error);
    if (error != nullptr) g_error_free(error);
    return data;
}

template <typename T>
T read_at(const UMockdevIoctlData* data, std::size_t offset) {
    T value{};
    if (data != nullptr && offset + sizeof(T) <= static_cast<std::size_t>(data->data_len))
        std::memcpy(&value, data->data + offset, sizeof(T));
    return value;
}

template <typename T>
void write_at(UMockdevIoctlData* data, std::size_t offset, T value) {
    umockdev_ioctl_data_update(data, offset, reinterpret_cast<guint8*>(&value), sizeof(T));
}

const char* request_name(unsigned long request) {
    switch (request) {
        case USBDEVFS_CONTROL:
            return "CONTROL";
        case USBDEVFS_BULK:
            return "BULK";
        case USBDEVFS_GETDRIVER:
            return "GETDRIVER";
        case USBDEVFS_CONNECTINFO:
            return "CONNECTINFO";
        case USBDEVFS_SETCONFIGURATION:
            return "SETCONFIGURATION";
        case USBDEVFS_ALLOC_STREAMS:
            return "ALLOC_STREAMS";
        case USBDEVFS_GET_SPEED:
            return "GET_SPEED";
        default:
            return "other";
    }
}

}  // namespace

struct EmulatedUsbDevice::Urb {
    UMockdevIoctlData* record = nullptr;  // the client's struct usbdevfs_urb
    UMockdevIoctlData* buffer = nullptr;  // its buffer
    std::uint8_t type = 0;
    std::uint8_t endpoint = 0;
    int length = 0;
    int actual = 0;
    unsigned long address = 0;  // where the client keeps it

    ~Urb() {
        if (buffer != nullptr) g_object_unref(buffer);
        if (record != nullptr) g_object_unref(record);
    }
};

EmulatedUsbDevice::EmulatedUsbDevice(UsbFunction& function) : function_(function) {
    handler_ = umockdev_ioctl_base_new();
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&EmulatedUsbDevice::on_ioctl), this);
}

EmulatedUsbDevice::~EmulatedUsbDevice() {
    g_signal_handlers_disconnect_by_data(handler_, this);
    g_object_unref(handler_);
}

void EmulatedUsbDevice::set_interface_busy(bool busy) {
    std::lock_guard<std::mutex> lock(mutex_);
    busy_ = busy;
}

void EmulatedUsbDevice::halt(std::uint8_t endpoint) {
    std::lock_guard<std::mutex> lock(mutex_);
    halted_[endpoint] = true;
}

void EmulatedUsbDevice::stop_after(std::uint8_t endpoint, int bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    stopAfter_[endpoint] = bytes;
}

void EmulatedUsbDevice::unplug_during(std::uint8_t endpoint, int bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    unplugAfter_[endpoint] = bytes;
}

void EmulatedUsbDevice::unplug() {
    std::lock_guard<std::mutex> lock(mutex_);
    drop_off_bus();
}

bool EmulatedUsbDevice::plugged() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return plugged_;
}

EmulatedUsbDevice::Counters EmulatedUsbDevice::counters() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return counters_;
}

std::vector<std::string> EmulatedUsbDevice::unserved() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return unserved_;
}

void EmulatedUsbDevice::drop_off_bus() {
    plugged_ = false;
    while (!pending_.empty()) {
        auto urb = std::move(pending_.front());
        pending_.pop_front();
        complete(std::move(urb), -ESHUTDOWN);
    }
}

// Runs on umockdev's ioctl thread for every ioctl on the device node.
int EmulatedUsbDevice::on_ioctl(_UMockdevIoctlBase*, _UMockdevIoctlClient* client, void* self) {
    auto* device = static_cast<EmulatedUsbDevice*>(self);
    const int error = device->serve(client);
    umockdev_ioctl_client_complete(client, error == 0 ? 0 : -1, error);
    return TRUE;
}

// One usbdevfs request; the errno it fails with, 0 on success.
int EmulatedUsbDevice::serve(_UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::lock_guard<std::mutex> lock(mutex_);
    if (request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY) return reap(arg);
    if (!plugged_) return ENODEV;
    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData* caps = pointee(arg, sizeof(std::uint32_t));
            if (caps == nullptr) return EFAULT;
            write_at<std::uint32_t>(caps, 0, kCapabilities);
            g_object_unref(caps);
            return 0;
        }
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_DISCONNECT_CLAIM:
            if (busy_) return EBUSY;
            ++counters_.claims;
            return 0;
        case USBDEVFS_RELEASEINTERFACE:
            ++counters_.releases;
            return 0;
        case USBDEVFS_SETINTERFACE:
            return 0;
        case USBDEVFS_IOCTL:
            return ENODATA;  // no kernel driver to detach or attach
        case USBDEVFS_GETDRIVER:
            return ENODATA;
        case USBDEVFS_SUBMITURB:
            return submit(arg);
        case USBDEVFS_DISCARDURB:
            return discard(arg);
        case USBDEVFS_CLEAR_HALT: {
            UMockdevIoctlData* data = pointee(arg, sizeof(unsigned int));
            if (data == nullptr) return EFAULT;
            const auto endpoint = static_cast<std::uint8_t>(read_at<unsigned int>(data, 0));
            g_object_unref(data);
            ++counters_.clearHalts[endpoint];
            halted_[endpoint] = false;
            return function_.clear_halt(endpoint) ? 0 : EPROTO;
        }
        case USBDEVFS_RESET:
            ++counters_.resets;
            if (function_.port_reset()) return 0;
            drop_off_bus();
            return ENODEV;
        default:
            unserved_.emplace_back(request_name(request));
            return ENOTTY;
    }
}

// A submitted URB: OUT and control transfers complete at once, an IN
// transfer when the function has data (else it waits for a discard). The
// errno to fail the submission with, 0 when it was taken.
int EmulatedUsbDevice::submit(_UMockdevIoctlData* arg) {
    auto urb = std::make_unique<Urb>();
    urb->record = pointee(arg, sizeof(usbdevfs_urb));
    if (urb->record == nullptr) return EFAULT;
    urb->address = urb->record->client_addr;
    urb->type = read_at<std::uint8_t>(urb->record, offsetof(usbdevfs_urb, type));
    urb->endpoint = read_at<std::uint8_t>(urb->record, offsetof(usbdevfs_urb, endpoint));
    urb->length = read_at<int>(urb->record, offsetof(usbdevfs_urb, buffer_length));
    if (urb->length < 0) return EINVAL;
    if (urb->length > 0) {
        GError* error = nullptr;
        urb->buffer = umockdev_ioctl_data_resolve(urb->record, offsetof(usbdevfs_urb, buffer),
                                                  static_cast<gsize>(urb->length), &error);
        if (error != nullptr) g_error_free(error);
        if (urb->buffer == nullptr) return EFAULT;
    }

    if (urb->type == USBDEVFS_URB_TYPE_CONTROL) return control(std::move(urb));
    if (urb->type != USBDEVFS_URB_TYPE_BULK && urb->type != USBDEVFS_URB_TYPE_INTERRUPT) return EINVAL;

    ++counters_.transfers[urb->endpoint];
    if (halted_[urb->endpoint]) {
        complete(std::move(urb), -EPIPE);
        return 0;
    }
    if ((urb->endpoint & kDirectionIn) == 0) {
        const int n =
            function_.out(urb->endpoint, urb->buffer != nullptr ? urb->buffer->data : nullptr, urb->length);
        urb->actual = n > 0 ? n : 0;
        counters_.bytes[urb->endpoint] += urb->actual;
        complete(std::move(urb), n < 0 ? -EPROTO : 0);
        return 0;
    }
    counters_.largestIn = std::max(counters_.largestIn, urb->length);
    int status = 0;
    bool leaves = false;
    if (run_in(*urb, &status, &leaves)) {
        complete(std::move(urb), status);
    } else {
        pending_.push_back(std::move(urb));
    }
    if (leaves) drop_off_bus();
    return 0;
}

// A control URB: the setup packet leads its buffer, IN data follows it. The
// function answers IN requests; OUT requests stall. The errno to fail with.
int EmulatedUsbDevice::control(std::unique_ptr<Urb> urb) {
    ++counters_.controlRequests;
    if (urb->length < kSetupBytes) return EINVAL;
    const std::uint8_t* setup = urb->buffer->data;
    const auto value = static_cast<std::uint16_t>(setup[2] | setup[3] << 8);
    const auto index = static_cast<std::uint16_t>(setup[4] | setup[5] << 8);
    const int wanted = std::min(setup[6] | setup[7] << 8, urb->length - kSetupBytes);
    if ((setup[0] & kDirectionIn) == 0) {
        complete(std::move(urb), -EPIPE);
        return 0;
    }
    std::vector<std::uint8_t> answer(static_cast<std::size_t>(wanted) + 1);
    const int n = function_.control_in(setup[0], setup[1], value, index, answer.data(), wanted);
    if (n < 0) {
        complete(std::move(urb), -EPIPE);
        return 0;
    }
    urb->actual = std::min(n, wanted);
    if (urb->actual > 0) umockdev_ioctl_data_update(urb->buffer, kSetupBytes, answer.data(), urb->actual);
    complete(std::move(urb), 0);
    return 0;
}

// Fills an IN URB from the function; true when it is finished, with its
// status. A transfer that got bytes completes (a short packet ends it); one
// that got none stays pending, as does one a fault holds open. `leaves` is
// set when the device drops off the bus during it.
bool EmulatedUsbDevice::run_in(Urb& urb, int* status, bool* leaves) {
    int limit = urb.length;
    const auto stop = stopAfter_.find(urb.endpoint);
    const auto unplug = unplugAfter_.find(urb.endpoint);
    if (stop != stopAfter_.end()) limit = std::min(limit, stop->second);
    if (unplug != unplugAfter_.end()) limit = std::min(limit, unplug->second);

    std::vector<std::uint8_t> data(static_cast<std::size_t>(limit) + 1);
    const int n = limit > 0 ? function_.in(urb.endpoint, data.data(), limit) : 0;
    if (n > 0) {
        umockdev_ioctl_data_update(urb.buffer, 0, data.data(), n);
        counters_.bytes[urb.endpoint] += n;
        urb.actual = n;
    }
    if (unplug != unplugAfter_.end()) {
        unplugAfter_.erase(unplug);
        *status = -ESHUTDOWN;
        *leaves = true;
        return true;
    }
    if (stop != stopAfter_.end()) {
        stopAfter_.erase(stop);
        return false;
    }
    *status = n < 0 ? -EPROTO : 0;
    return n != 0;
}

// Moves a finished URB to the reap queue with its status and length.
void EmulatedUsbDevice::complete(std::unique_ptr<Urb> urb, int status) {
    write_at<int>(urb->record, offsetof(usbdevfs_urb, status), status);
    write_at<int>(urb->record, offsetof(usbdevfs_urb, actual_length), urb->actual);
    done_.push_back(std::move(urb));
}

// Hands the oldest finished URB back: the client's pointer is set to it.
int EmulatedUsbDevice::reap(_UMockdevIoctlData* arg) {
    ++counters_.reaps;
    if (done_.empty()) return plugged_ ? EAGAIN : ENODEV;
    UMockdevIoctlData* slot = pointee(arg, sizeof(void*));
    if (slot == nullptr) return EFAULT;
    std::unique_ptr<Urb> urb = std::move(done_.front());
    done_.pop_front();
    umockdev_ioctl_data_set_ptr(slot, 0, urb->record);
    g_object_unref(slot);
    return 0;
}

// The host gave up on a URB (its timeout ran out): it ends with ENOENT and
// what arrived before.
int EmulatedUsbDevice::discard(_UMockdevIoctlData* arg) {
    const unsigned long address = read_at<unsigned long>(arg, 0);
    const auto it = std::find_if(pending_.begin(), pending_.end(),
                                 [address](const std::unique_ptr<Urb>& u) { return u->address == address; });
    if (it == pending_.end()) return EINVAL;  // finished already: reap it
    ++counters_.discards;
    std::unique_ptr<Urb> urb = std::move(*it);
    pending_.erase(it);
    complete(std::move(urb), -ENOENT);
    return 0;
}

}  // namespace usbtest
