// Firmware: the version query and the firmware file itself, which arrives
// as one transfer and restarts the device when it checks out.

#include <cstring>

#include "emulator/command_table.h"
#include "emulator/device.h"
#include "emulator/firmware_image.h"

namespace emu {
namespace {

constexpr std::size_t kVersionReplyBytes = 15;
constexpr char kVersionPrefix[] = "RMX7KP/";
constexpr char kVersionSuffix[] = "/E";

// 1B 49 -> "RMX7KP/" + the 6-character version + "/E" (15 bytes).
bool firmware_version(Device& device, const Command&) {
    std::string text = kVersionPrefix + device.firmwareVersion + kVersionSuffix;
    text.resize(kVersionReplyBytes, ' ');
    device.set_reply(std::vector<std::uint8_t>(text.begin(), text.end()));
    return true;
}

}  // namespace

bool take_firmware_file(Device& device, const std::uint8_t* bytes, std::size_t count, std::int64_t now) {
    if (scrambled_start(bytes, count) < 0) return false;
    std::vector<std::uint8_t> image;
    std::string version;
    if (!unpack_firmware(bytes, count, image, version)) {
        device.commandError = true;  // refused; the old firmware keeps running
        return true;
    }
    device.firmwareVersion = version;
    device.save_flash();
    device.restart_device(now, kRestartMs);
    return true;
}

void register_firmware_commands(CommandTable& table) {
    table.add({0x1B, 0x49, 2, false, "firmware version", firmware_version});
}

}  // namespace emu
