#pragma once
// What sits behind an emulated USB device: the function that answers its
// endpoints. The usbdevfs handler calls these from umockdev's ioctl thread,
// one call at a time per device.

#include <cstdint>

namespace usbtest {

class UsbFunction {
public:
    virtual ~UsbFunction() = default;

    // Bytes the host sent on an OUT endpoint; the count the function took,
    // or -1 when it refused them (the transfer fails with a protocol error).
    virtual int out(std::uint8_t endpoint, const std::uint8_t* data, int count) = 0;

    // Up to `count` bytes for an IN endpoint; 0 when it has none now (the
    // transfer stays pending, as a device that NAKs), -1 on a protocol error.
    virtual int in(std::uint8_t endpoint, std::uint8_t* data, int count) = 0;

    // A control-IN request (setup packet fields) answered into `data`; the
    // byte count, or -1 to stall the request.
    virtual int control_in(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                           std::uint16_t index, std::uint8_t* data, int count) = 0;

    // The host cleared a halt on `endpoint`; false fails the request.
    virtual bool clear_halt(std::uint8_t endpoint) = 0;

    // The host reset the port; false makes the device drop off the bus.
    virtual bool port_reset() = 0;
};

}  // namespace usbtest
