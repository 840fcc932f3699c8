#include "usb_testbed.h"

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <umockdev.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

#include "emulated_usb_device.h"

namespace usbtest {
namespace {

constexpr std::uint8_t kDeviceDescriptorType = 1;
constexpr std::uint8_t kConfigDescriptorType = 2;
constexpr std::uint8_t kInterfaceDescriptorType = 4;
constexpr std::uint8_t kEndpointDescriptorType = 5;
constexpr std::uint8_t kDeviceDescriptorBytes = 18;
constexpr std::uint8_t kConfigDescriptorBytes = 9;
constexpr std::uint8_t kInterfaceDescriptorBytes = 9;
constexpr std::uint8_t kEndpointDescriptorBytes = 7;
constexpr int kBus = 1;
constexpr int kUsbDeviceMajor = 189;  // character major of usbdevfs nodes

void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

std::string three_digits(int n) {
    char text[8];
    std::snprintf(text, sizeof text, "%03d", n);
    return text;
}

std::string hex4(std::uint16_t v) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", v);
    return text;
}

// The capability sets of this process (version 3: two 32-bit words).
bool capabilities(__user_cap_data_struct (&data)[2]) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(SYS_capget, &header, data) == 0;
}

bool set_capabilities(__user_cap_data_struct (&data)[2]) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(SYS_capset, &header, data) == 0;
}

constexpr unsigned kBypassBits = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);

}  // namespace

std::vector<std::uint8_t> descriptors(std::uint16_t vendor, std::uint16_t product,
                                      std::uint8_t interfaceClass, const std::vector<Endpoint>& endpoints) {
    std::vector<std::uint8_t> d = {kDeviceDescriptorBytes, kDeviceDescriptorType, 0x00, 0x02, 0, 0, 0, 64};
    put16(d, vendor);
    put16(d, product);
    d.insert(d.end(), {0x00, 0x01, 0, 0, 0, 1});  // bcdDevice 1.00, no strings, one configuration
    const auto total = static_cast<std::uint16_t>(kConfigDescriptorBytes + kInterfaceDescriptorBytes +
                                                  kEndpointDescriptorBytes * endpoints.size());
    d.insert(d.end(), {kConfigDescriptorBytes, kConfigDescriptorType});
    put16(d, total);
    d.insert(d.end(), {1, 1, 0, 0x80, 50});  // one interface, configuration 1, bus powered, 100 mA
    d.insert(d.end(), {kInterfaceDescriptorBytes, kInterfaceDescriptorType, 0, 0,
                       static_cast<std::uint8_t>(endpoints.size()), interfaceClass, 0, 0, 0});
    for (const Endpoint& e : endpoints) {
        d.insert(d.end(), {kEndpointDescriptorBytes, kEndpointDescriptorType, e.address, e.attributes});
        put16(d, e.maxPacket);
        d.push_back(e.attributes == 3 ? 10 : 0);  // interrupt interval
    }
    return d;
}

std::vector<std::uint8_t> scanner_descriptors(std::uint16_t vendor, std::uint16_t product) {
    return descriptors(vendor, product, 0xFF, {{0x01, 2, 512}, {0x81, 2, 512}, {0x82, 3, 8}, {0x83, 2, 512}});
}

UsbTestbed::UsbTestbed() {
    testbed_ = umockdev_testbed_new();
    gchar* root = umockdev_testbed_get_root_dir(testbed_);
    root_ = root;
    g_free(root);
}

UsbTestbed::~UsbTestbed() {
    g_object_unref(testbed_);
}

UsbTestbed::Plugged UsbTestbed::plug(int address, std::uint16_t vendor, std::uint16_t product,
                                     const std::vector<std::uint8_t>& rawDescriptors,
                                     EmulatedUsbDevice& device) {
    const std::string name =
        "usb" + std::to_string(kBus) + "/" + std::to_string(kBus) + "-" + std::to_string(address);
    const std::string relativeNode = "bus/usb/" + three_digits(kBus) + "/" + three_digits(address);
    const std::string majorMinor = std::to_string(kUsbDeviceMajor) + ":" + std::to_string(address);
    gchar* sysfs = umockdev_testbed_add_device(
        testbed_, "usb", name.c_str(), nullptr, "busnum", std::to_string(kBus).c_str(), "devnum",
        std::to_string(address).c_str(), "idVendor", hex4(vendor).c_str(), "idProduct", hex4(product).c_str(),
        "speed", "480", "bConfigurationValue", "1", "bNumConfigurations", "1", "dev", majorMinor.c_str(),
        nullptr, "DEVTYPE", "usb_device", "DEVNAME", relativeNode.c_str(), "BUSNUM",
        three_digits(kBus).c_str(), "DEVNUM", three_digits(address).c_str(), "PRODUCT",
        (hex4(vendor) + "/" + hex4(product) + "/100").c_str(), nullptr);
    if (sysfs == nullptr) throw std::runtime_error("umockdev refused the device " + name);
    Plugged plugged{sysfs, "/dev/" + relativeNode};
    g_free(sysfs);
    umockdev_testbed_set_attribute_binary(testbed_, plugged.sysfs.c_str(), "descriptors",
                                          const_cast<guint8*>(rawDescriptors.data()),
                                          static_cast<gint>(rawDescriptors.size()));
    // The node libusb opens: a plain file in the testbed; its ioctls go to the handler.
    const std::string file = root_ + plugged.node;
    g_mkdir_with_parents(file.substr(0, file.rfind('/')).c_str(), 0755);
    if (!g_file_set_contents(file.c_str(), "", 0, nullptr)) throw std::runtime_error("cannot create " + file);
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed_, plugged.node.c_str(), device.handler(), &error)) {
        const std::string message = error != nullptr ? error->message : "unknown";
        if (error != nullptr) g_error_free(error);
        throw std::runtime_error("cannot attach the ioctl handler: " + message);
    }
    // Announced once complete, so that a running libusb enumerates it whole.
    umockdev_testbed_uevent(testbed_, plugged.sysfs.c_str(), "add");
    return plugged;
}

void UsbTestbed::unplug(const Plugged& plugged) {
    umockdev_testbed_uevent(testbed_, plugged.sysfs.c_str(), "remove");
    umockdev_testbed_detach_ioctl(testbed_, plugged.node.c_str(), nullptr);
    umockdev_testbed_remove_device(testbed_, plugged.sysfs.c_str());
    ::unlink((root_ + plugged.node).c_str());
}

void UsbTestbed::set_node_mode(const Plugged& plugged, mode_t mode) {
    ::chmod((root_ + plugged.node).c_str(), mode);
}

PermissionsEnforced::PermissionsEnforced() {
    __user_cap_data_struct data[2] = {};
    if (!capabilities(data) || (data[0].effective & kBypassBits) == 0) return;
    data[0].effective &= ~kBypassBits;
    lowered_ = set_capabilities(data);
}

PermissionsEnforced::~PermissionsEnforced() {
    if (!lowered_) return;
    __user_cap_data_struct data[2] = {};
    if (!capabilities(data)) return;
    data[0].effective |= kBypassBits & data[0].permitted;
    set_capabilities(data);
}

}  // namespace usbtest
