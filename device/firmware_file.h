#pragma once
// Firmware update files: a plain-text preamble naming the device at least
// twice, then Intel HEX records scrambled with a repeating 4-byte key.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrom {

inline constexpr char kDeviceName[] = "TQ-RMX7KP";
inline constexpr std::size_t kDeviceNameLength = sizeof kDeviceName - 1;
inline constexpr std::size_t kScrambleGap = 3;  // bytes between the second name and the records
inline constexpr char kVersionMarker[] = "MainFirmware:";
inline constexpr std::size_t kVersionOffset = 14;  // from the marker's start to the version
inline constexpr std::size_t kVersionLength = 6;
inline constexpr std::size_t kMaxRecordLine = 127;

// The firmware image carried by the data records of a firmware file, or
// nothing when the file has no second device name or no data record.
std::optional<std::vector<std::uint8_t>> firmware_image(const std::vector<std::uint8_t>& file);

// The 6-character version that follows "MainFirmware:" and one character.
std::optional<std::string> firmware_version(const std::vector<std::uint8_t>& image);

}  // namespace kestrom
