#pragma once
// Choosing the scanner among the attached USB devices, over plain descriptor
// data so that the rules can be checked without hardware.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace pipewell {

constexpr std::uint8_t kVendorSpecificClass = 0xFF;
constexpr std::uint8_t kDirectionIn = 0x80;  // endpoint address bit 7
constexpr std::uint8_t kTransferTypeMask = 0x03;
constexpr std::uint8_t kTransferBulk = 0x02;
constexpr std::uint8_t kTransferInterrupt = 0x03;

struct EndpointInfo {
    std::uint8_t address = 0;     // bEndpointAddress
    std::uint8_t attributes = 0;  // bmAttributes (transfer type in bits 0..1)

    bool is_in() const { return (address & kDirectionIn) != 0; }
    std::uint8_t transfer_type() const { return attributes & kTransferTypeMask; }
};

struct InterfaceInfo {
    std::uint8_t number = 0;     // bInterfaceNumber
    std::uint8_t alternate = 0;  // bAlternateSetting
    std::uint8_t interfaceClass = 0;
    std::vector<EndpointInfo> endpoints;  // in descriptor order
};

struct DeviceInfo {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::vector<InterfaceInfo> interfaces;  // of the active configuration
};

struct UsbId {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
};

// "vvvv:pppp" with 1 to 4 hexadecimal digits on each side (upper or lower
// case, surrounding blanks allowed); nothing for any other text.
std::optional<UsbId> parse_usb_id(std::string_view text);

// A vendor-specific interface with a bulk OUT endpoint and at least two IN
// endpoints: the scanner's command interface.
bool interface_fits(const InterfaceInfo& interface);

struct Match {
    std::size_t device = 0;     // index into the list
    std::size_t interface = 0;  // index into that device's interfaces
};

// With an id: the first device with that id, on its first fitting interface,
// else its first interface with a bulk OUT endpoint. Without an id: the first
// device that has a fitting interface. Nothing when no device qualifies.
std::optional<Match> choose_device(const std::vector<DeviceInfo>& devices, std::optional<UsbId> id);

}  // namespace pipewell
