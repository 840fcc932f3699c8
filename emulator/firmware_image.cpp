#include "emulator/firmware_image.h"

#include <algorithm>
#include <cstring>

namespace emu {
namespace {

constexpr std::size_t kNameLength = 9;
constexpr std::size_t kGapAfterName = 3;
constexpr char kVersionMarker[] = "MainFirmware:";
constexpr std::size_t kVersionSkip = 14;  // marker and one character
constexpr std::size_t kVersionLength = 6;
constexpr std::uint8_t kEndByte1 = 0xFF;
constexpr std::uint8_t kEndByte2 = 0x1B;

int hex_value(std::uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// One record line (without line end); appends data records to `image`.
// Returns false for a malformed line; sets `end` on an end-of-file record.
bool take_record(const std::string& line, std::vector<std::uint8_t>& image, bool& sawData, bool& end) {
    if (line.size() < 11 || line[0] != ':' || (line.size() - 1) % 2 != 0) return false;
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 1; i + 1 < line.size(); i += 2) {
        const int high = hex_value(static_cast<std::uint8_t>(line[i]));
        const int low = hex_value(static_cast<std::uint8_t>(line[i + 1]));
        if (high < 0 || low < 0) return false;
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    const std::size_t count = bytes[0];
    if (bytes.size() != count + 5) return false;
    std::uint8_t sum = 0;
    for (std::uint8_t b : bytes) sum = static_cast<std::uint8_t>(sum + b);
    if (sum != 0) return false;
    const std::uint8_t type = bytes[3];
    if (type == 0x00 && count > 0) {
        image.insert(image.end(), bytes.begin() + 4, bytes.begin() + 4 + static_cast<long>(count));
        sawData = true;
    } else if (type == 0x01) {
        end = true;
    }
    return true;
}

}  // namespace

long scrambled_start(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < kNameLength) return -1;
    int seen = 0;
    for (std::size_t i = 0; i + kNameLength <= size; ++i) {
        if (std::memcmp(data + i, kDeviceName, kNameLength) == 0 && ++seen == 2)
            return static_cast<long>(i + kNameLength + kGapAfterName);
    }
    return -1;
}

bool unpack_firmware(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& image,
                     std::string& version) {
    const long start = scrambled_start(data, size);
    if (start < 0 || static_cast<std::size_t>(start) >= size) return false;
    image.clear();
    bool sawData = false, end = false;
    std::string line;
    std::size_t keyIndex = 0;
    for (std::size_t i = static_cast<std::size_t>(start); i < size && !end; ++i) {
        const auto c = static_cast<std::uint8_t>(data[i] ^ kFirmwareKey[keyIndex]);
        keyIndex = (keyIndex + 1) % 4;
        if (c == kEndByte1 || c == kEndByte2) break;
        if (c == '\r' || c == '\n') {
            if (!line.empty() && !take_record(line, image, sawData, end)) return false;
            line.clear();
            continue;
        }
        if (line.size() >= 600) return false;
        line.push_back(static_cast<char>(c));
    }
    if (!end && !line.empty() && !take_record(line, image, sawData, end)) return false;
    if (!sawData) return false;
    const std::size_t markerLength = std::strlen(kVersionMarker);
    const auto found = std::search(image.begin(), image.end(), kVersionMarker, kVersionMarker + markerLength);
    if (found == image.end()) return false;
    const auto at = static_cast<std::size_t>(found - image.begin());
    if (at + kVersionSkip + kVersionLength > image.size()) return false;
    version.assign(image.begin() + static_cast<long>(at + kVersionSkip),
                   image.begin() + static_cast<long>(at + kVersionSkip + kVersionLength));
    return true;
}

}  // namespace emu
