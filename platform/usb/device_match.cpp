#include "platform/usb/device_match.h"

namespace pipewell {
namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::uint16_t> parse_hex16(std::string_view text) {
    if (text.empty() || text.size() > 4) return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        const int d = hex_digit(c);
        if (d < 0) return std::nullopt;
        value = value * 16 + static_cast<unsigned>(d);
    }
    return static_cast<std::uint16_t>(value);
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

bool has_bulk_out(const InterfaceInfo& interface) {
    for (const EndpointInfo& e : interface.endpoints) {
        if (!e.is_in() && e.transfer_type() == kTransferBulk) return true;
    }
    return false;
}

}  // namespace

std::optional<UsbId> parse_usb_id(std::string_view text) {
    text = trim(text);
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const auto vendor = parse_hex16(text.substr(0, colon));
    const auto product = parse_hex16(text.substr(colon + 1));
    if (!vendor || !product) return std::nullopt;
    return UsbId{*vendor, *product};
}

bool interface_fits(const InterfaceInfo& interface) {
    if (interface.interfaceClass != kVendorSpecificClass || !has_bulk_out(interface)) return false;
    int inEndpoints = 0;
    for (const EndpointInfo& e : interface.endpoints) inEndpoints += e.is_in() ? 1 : 0;
    return inEndpoints >= 2;
}

std::optional<Match> choose_device(const std::vector<DeviceInfo>& devices, std::optional<UsbId> id) {
    for (std::size_t d = 0; d < devices.size(); ++d) {
        const DeviceInfo& device = devices[d];
        if (id && (device.vendor != id->vendor || device.product != id->product)) continue;
        for (std::size_t i = 0; i < device.interfaces.size(); ++i) {
            if (interface_fits(device.interfaces[i])) return Match{d, i};
        }
        if (id) {
            for (std::size_t i = 0; i < device.interfaces.size(); ++i) {
                if (has_bulk_out(device.interfaces[i])) return Match{d, i};
            }
            // This one cannot carry the link; another with the same id may.
        }
    }
    return std::nullopt;
}

}  // namespace pipewell
