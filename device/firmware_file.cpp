#include "device/firmware_file.h"

#include <algorithm>
#include <array>

namespace kestrom {
namespace {

// The key is assembled from parts at run time; only the first four bytes scramble.
std::array<std::uint8_t, 4> scramble_key() {
    const std::uint8_t parts[6] = {0x2D, 0x61, 0x1E, 0x52, 0x0F, 0x3C};
    std::array<std::uint8_t, 6> key{};
    for (int i = 0; i < 6; ++i) key[i] = static_cast<std::uint8_t>(parts[i] * 2 + (i & 1));
    return {key[0], key[1], key[2], key[3]};
}

int hex_value(std::uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Start of the second occurrence of the device name (start positions up to
// size - 9, so the name lies wholly inside the file), or npos.
std::size_t second_device_name(const std::vector<std::uint8_t>& file) {
    if (file.size() < kDeviceNameLength) return std::string::npos;
    int seen = 0;
    for (std::size_t at = 0; at + kDeviceNameLength <= file.size(); ++at) {
        if (std::equal(kDeviceName, kDeviceName + kDeviceNameLength,
                       file.begin() + static_cast<std::ptrdiff_t>(at)) &&
            ++seen == 2)
            return at;
    }
    return std::string::npos;
}

// Decodes one record line into its bytes (count, address, type, data,
// checksum); nothing when it is not a record or its checksum fails.
std::optional<std::vector<std::uint8_t>> parse_record(const std::vector<std::uint8_t>& line) {
    if (line.empty() || line[0] != ':') return std::nullopt;
    auto byteAt = [&line](std::size_t index) -> int {
        const std::size_t at = 1 + 2 * index;
        if (at + 1 >= line.size()) return -1;
        const int hi = hex_value(line[at]), lo = hex_value(line[at + 1]);
        return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
    };
    const int count = byteAt(0);
    if (count < 0) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    std::uint8_t sum = 0;
    for (int i = 0; i < count + 5; ++i) {
        const int b = byteAt(static_cast<std::size_t>(i));
        if (b < 0) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(b));
        sum = static_cast<std::uint8_t>(sum + b);
    }
    if (sum != 0) return std::nullopt;
    return bytes;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> firmware_image(const std::vector<std::uint8_t>& file) {
    const std::size_t name = second_device_name(file);
    if (name == std::string::npos) return std::nullopt;
    const std::size_t start = name + kDeviceNameLength + kScrambleGap;
    const std::array<std::uint8_t, 4> key = scramble_key();

    std::vector<std::uint8_t> image;
    bool anyData = false;
    std::vector<std::uint8_t> line;
    bool inLine = false;
    for (std::size_t at = start, k = 0; at < file.size(); ++at, ++k) {
        const std::uint8_t c = file[at] ^ key[k % 4];
        if (c == 0xFF || c == 0x1B) break;
        if (c == '\r' || c == '\n') {
            if (!inLine) continue;  // line ends between records
            inLine = false;
            const auto record = parse_record(line);
            line.clear();
            if (!record) break;
            const std::uint8_t count = (*record)[0];
            if ((*record)[3] == 0x00 && count > 0) {
                // Data bytes go over in pairs: an odd count carries the checksum along.
                const std::size_t copied = (count + 1u) / 2u * 2u;
                image.insert(image.end(), record->begin() + 4,
                             record->begin() + 4 + static_cast<std::ptrdiff_t>(copied));
                anyData = true;
            }
            continue;
        }
        if (line.size() >= kMaxRecordLine) break;  // longer than any record line may be
        line.push_back(c);
        inLine = true;
    }
    if (!anyData) return std::nullopt;
    return image;
}

std::optional<std::string> firmware_version(const std::vector<std::uint8_t>& image) {
    const std::size_t markerLength = sizeof kVersionMarker - 1;
    const auto found = std::search(image.begin(), image.end(), kVersionMarker, kVersionMarker + markerLength);
    if (found == image.end()) return std::nullopt;
    const auto at = static_cast<std::size_t>(found - image.begin());
    if (image.size() - at < kVersionOffset + kVersionLength) return std::nullopt;
    return std::string(image.begin() + static_cast<std::ptrdiff_t>(at + kVersionOffset),
                       image.begin() + static_cast<std::ptrdiff_t>(at + kVersionOffset + kVersionLength));
}

}  // namespace kestrom
