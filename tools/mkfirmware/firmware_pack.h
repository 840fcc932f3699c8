#pragma once
// Building TQ-RMX7KP firmware update files: Intel HEX records of the image,
// scrambled with the 4-byte key after a preamble that names the device twice.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mkfirmware {

inline constexpr std::uint8_t kKey[4] = {0x5A, 0xC3, 0x3C, 0xA5};
inline constexpr char kPreamble[] = "TQ-RMX7KP firmware update\r\nTQ-RMX7KP";
inline constexpr char kGap[3] = {'\r', '\n', '\0'};  // skipped by the reader
inline constexpr char kVersionMarker[] = "MainFirmware:";
inline constexpr std::size_t kMaxRecordData = 32;  // keeps each line short of 127 characters

// One Intel HEX record line (without line end), upper-case hex.
std::string hex_record(std::uint8_t type, std::uint16_t address, const std::uint8_t* data, std::size_t count);

// Data records of `image` placed at `base` (at most `recordBytes` each, an
// even number), with extended linear address records where the upper 16
// address bits change, and the end record.
std::vector<std::string> records_of_image(const std::vector<std::uint8_t>& image, std::size_t recordBytes,
                                          std::uint32_t base = 0);

// The record lines of an Intel HEX text, checked; nothing (and `error`) when
// a line is not a valid record. The end record and anything after it are
// dropped. `end` receives the address just past the highest data byte.
std::optional<std::vector<std::string>> records_of_hex(const std::string& text, std::string& error,
                                                       std::uint32_t& end);

// The version block "MainFirmware:V<version>" that the reader finds.
std::vector<std::uint8_t> version_block(const std::string& version);

// The update file: preamble, gap and the scrambled record lines, each
// ended by CR LF.
std::vector<std::uint8_t> pack(const std::vector<std::string>& records);

}  // namespace mkfirmware
