#pragma once
// The flash image kept in EMULATOR_STATE_DIR: fixed settings, firmware
// version and the area-1 bitmaps, in one small binary file.

#include <string>

#include "emulator/device.h"

namespace emu {

constexpr const char* kFlashFileName = "TQ-RMX7KP-flash.bin";
constexpr const char* kFactoryFirmwareVersion = "100317";

struct FlashImage {
    Settings fixed;
    std::string firmwareVersion = kFactoryFirmwareVersion;
    std::vector<StoredBitmap> bitmaps;
};

std::vector<std::uint8_t> encode_flash(const FlashImage& image);
// False (and `image` untouched) for a damaged or foreign file.
bool decode_flash(const std::vector<std::uint8_t>& bytes, FlashImage& image);

std::string flash_path(const std::string& stateDir);
bool load_flash(const std::string& stateDir, FlashImage& image);
bool store_flash(const std::string& stateDir, const FlashImage& image);

}  // namespace emu
