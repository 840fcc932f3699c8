#pragma once
// A USB device as the kernel's usbdevfs shows it to libusb: an umockdev ioctl
// handler that serves the requests libusb makes on the device node (claim and
// release, submitted and reaped URBs, discards at a timeout, clear halt, port
// reset, capabilities) from a UsbFunction. Faults a test may arm: a busy
// interface, a halted endpoint, an IN transfer that stops after some bytes,
// and the device dropping off the bus in the middle of a transfer.

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct _UMockdevIoctlBase;
struct _UMockdevIoctlClient;
struct _UMockdevIoctlData;

namespace usbtest {

class UsbFunction;

class EmulatedUsbDevice {
public:
    explicit EmulatedUsbDevice(UsbFunction& function);
    ~EmulatedUsbDevice();
    EmulatedUsbDevice(const EmulatedUsbDevice&) = delete;
    EmulatedUsbDevice& operator=(const EmulatedUsbDevice&) = delete;

    // The umockdev handler object to attach to the device node.
    _UMockdevIoctlBase* handler() const { return handler_; }

    // ---- faults ----------------------------------------------------------
    // Another holder has the interface: claims fail with EBUSY.
    void set_interface_busy(bool busy);
    // The endpoint halts: its transfers fail with a stall until a clear halt.
    void halt(std::uint8_t endpoint);
    // The next IN transfer on the endpoint delivers at most `bytes` and then
    // gets nothing more (the host's timeout ends it).
    void stop_after(std::uint8_t endpoint, int bytes);
    // The next IN transfer on the endpoint delivers at most `bytes` and then
    // the device leaves the bus; every later request fails with ENODEV.
    void unplug_during(std::uint8_t endpoint, int bytes);
    // Leaves the bus now (pending transfers end with ESHUTDOWN).
    void unplug();
    bool plugged() const;

    // ---- what the host did ------------------------------------------------
    struct Counters {
        int claims = 0;
        int releases = 0;
        int controlRequests = 0;
        int discards = 0;
        int reaps = 0;  // REAPURB(NDELAY) requests, answered or not
        int resets = 0;
        std::map<int, int> clearHalts;  // endpoint -> count
        std::map<int, int> transfers;   // endpoint -> submitted bulk/interrupt URBs
        std::map<int, long> bytes;      // endpoint -> bytes moved
        int largestIn = 0;              // largest IN transfer asked for, bytes
    };
    Counters counters() const;
    // Names of the usbdevfs requests seen that the handler does not serve.
    std::vector<std::string> unserved() const;

private:
    struct Urb;

    static int on_ioctl(_UMockdevIoctlBase* base, _UMockdevIoctlClient* client, void* self);
    int serve(_UMockdevIoctlClient* client);  // the errno to fail with, 0 on success
    int submit(_UMockdevIoctlData* arg);
    int control(std::unique_ptr<Urb> urb);
    int reap(_UMockdevIoctlData* arg);
    int discard(_UMockdevIoctlData* arg);
    bool run_in(Urb& urb, int* status, bool* leaves);
    void complete(std::unique_ptr<Urb> urb, int status);
    void drop_off_bus();  // caller holds mutex_

    UsbFunction& function_;
    _UMockdevIoctlBase* handler_ = nullptr;
    mutable std::mutex mutex_;  // guards everything below
    std::deque<std::unique_ptr<Urb>> pending_;
    std::deque<std::unique_ptr<Urb>> done_;
    bool plugged_ = true;
    bool busy_ = false;
    std::map<int, bool> halted_;
    std::map<int, int> stopAfter_;
    std::map<int, int> unplugAfter_;
    Counters counters_;
    std::vector<std::string> unserved_;
};

}  // namespace usbtest
