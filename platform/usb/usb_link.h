#pragma once
// The real link over libusb-1.0. One context, the matched device and one
// opened device handle with the command interface claimed are kept while the
// device is there: the device library closes and reopens its link handle
// around every single transfer, and claiming and releasing the interface each
// time would reset the interface on the device many times a second. An open
// that finds no device to claim lets the context (and libusb's event thread)
// go at once, so the library is left idle for an unload. A link handle
// is a token for that device handle; tokens die when the device handle is
// dropped (the device went away or came back as a new device after a port
// reset). All functions are thread-safe.

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/usb/device_match.h"

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;

namespace pipewell {

constexpr int kDefaultTimeoutMs = 1000;
constexpr std::uint8_t kStatusRequestType = 0xC1;  // device-to-host, vendor, interface
constexpr std::uint8_t kStatusRequest = 0x01;
constexpr int kResetUsbDevice = 0xC0;

class UsbLink {
public:
    static UsbLink& instance();

    int open();
    int close(int handle);
    int write(int handle, int pipe, const std::uint8_t* buffer, int count);
    int read(int handle, int pipe, std::uint8_t* buffer, int count);
    int status(int handle, std::uint8_t* buffer, int count, int* delivered);
    int set_timeouts(int handle, int first, int second);
    int special_command(int handle, int code);
    int reset_pipe(int handle, int pipe);

    // Why the most recent operation failed or fell short (a timeout, a short
    // transfer, no device); empty when it went through.
    std::string last_error();

private:
    UsbLink() = default;
    ~UsbLink();

    struct OpenLink {
        int generation = 0;                      // of the device handle it was opened on
        int writeTimeoutMs = kDefaultTimeoutMs;  // writes and the status request
        int readTimeoutMs = kDefaultTimeoutMs;
    };

    bool ensure_context();
    bool find_device();         // enumerates the bus once and keeps the match
    bool ensure_open_device();  // opens the matched device and claims the interface
    void drop_device_handle();  // releases and closes it; the next open searches again
    void forget_device();
    void release_idle_context();               // after a failed open: no device handle, no context
    void lose_device(const std::string& why);  // drops handle and match, keeping why for dead handles
    OpenLink* link(int handle);
    const EndpointInfo* endpoint(int pipe) const;
    int transfer(const EndpointInfo& endpoint, int pipe, std::uint8_t* buffer, int count, int timeoutMs);
    OpenLink* checked_link(int handle);  // link(), with the reason recorded when it fails
    const EndpointInfo* checked_endpoint(int pipe, bool in);
    void fail(std::string reason);    // records (and with PIPEWELL_DEBUG prints) a reason
    std::string device_name() const;  // "vvvv:pppp at bus B address A"

    std::mutex mutex_;  // guards everything below
    libusb_context* context_ = nullptr;
    bool contextFailed_ = false;
    libusb_device* device_ = nullptr;       // referenced while matched
    libusb_device_handle* open_ = nullptr;  // the device opened, interface claimed
    int generation_ = 0;                    // bumps whenever open_ is dropped
    InterfaceInfo interface_;
    DeviceInfo matched_;  // ids of device_, for messages
    int bus_ = 0;
    int address_ = 0;
    std::string lastError_;
    std::string lostReason_;  // why the last device handle was dropped
    std::map<int, OpenLink> links_;
    int nextHandle_ = 1;
};

}  // namespace pipewell
