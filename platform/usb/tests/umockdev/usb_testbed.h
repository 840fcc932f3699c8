#pragma once
// A umockdev testbed holding USB devices: their sysfs entries (ids, bus and
// device numbers, the raw descriptors libusb reads), their device nodes, and
// an EmulatedUsbDevice attached to each node. Plugging and unplugging send
// the uevents libusb's hotplug monitor follows.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

struct _UMockdevTestbed;

namespace usbtest {

class EmulatedUsbDevice;

// Raw descriptors as sysfs shows them: device, configuration, interfaces, endpoints.
struct Endpoint {
    std::uint8_t address = 0;
    std::uint8_t attributes = 0;  // transfer type
    std::uint16_t maxPacket = 512;
};
std::vector<std::uint8_t> descriptors(std::uint16_t vendor, std::uint16_t product,
                                      std::uint8_t interfaceClass, const std::vector<Endpoint>& endpoints);

// The scanner's layout: a vendor-specific interface with the command
// endpoint (bulk OUT 0x01), the reply endpoint (bulk IN 0x81), an interrupt
// IN endpoint (0x82) and the image endpoint (bulk IN 0x83), pipes 0 to 3.
std::vector<std::uint8_t> scanner_descriptors(std::uint16_t vendor, std::uint16_t product);

class UsbTestbed {
public:
    UsbTestbed();
    ~UsbTestbed();
    UsbTestbed(const UsbTestbed&) = delete;
    UsbTestbed& operator=(const UsbTestbed&) = delete;

    struct Plugged {
        std::string sysfs;  // testbed sysfs path
        std::string node;   // /dev/bus/usb/BBB/DDD
    };

    // Adds a device at bus 1, `address`, served by `device`.
    Plugged plug(int address, std::uint16_t vendor, std::uint16_t product,
                 const std::vector<std::uint8_t>& rawDescriptors, EmulatedUsbDevice& device);
    // Takes it off the bus (uevent "remove", sysfs entry and node gone).
    void unplug(const Plugged& plugged);
    // Permission bits of the device node as the file system holds them.
    void set_node_mode(const Plugged& plugged, mode_t mode);

private:
    _UMockdevTestbed* testbed_ = nullptr;
    std::string root_;
};

// While alive, file permissions bind this process even when it runs as
// root (the capabilities that bypass them are lowered, then raised again).
class PermissionsEnforced {
public:
    PermissionsEnforced();
    ~PermissionsEnforced();
    PermissionsEnforced(const PermissionsEnforced&) = delete;
    PermissionsEnforced& operator=(const PermissionsEnforced&) = delete;

private:
    bool lowered_ = false;
};

}  // namespace usbtest
