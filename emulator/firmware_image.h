#pragma once
// Firmware files: the device name twice in plain text, then Intel HEX records
// scrambled with a 4-byte key. The device checks every record before it
// accepts a file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace emu {

constexpr const char* kDeviceName = "TQ-RMX7KP";
constexpr std::uint8_t kFirmwareKey[4] = {0x5A, 0xC3, 0x3C, 0xA5};

// Offset of the first scrambled byte (3 bytes after the end of the second
// occurrence of the device name), or -1 when the name is not there twice.
long scrambled_start(const std::uint8_t* data, std::size_t size);

// Descrambles and checks the records; on success `image` holds the data
// bytes in file order and `version` the 6 characters that follow
// "MainFirmware:" and one more character. False for any bad record, a file
// without data or without a version.
bool unpack_firmware(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& image,
                     std::string& version);

}  // namespace emu
