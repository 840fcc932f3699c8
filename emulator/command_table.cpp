#include "emulator/command_table.h"

#include "emulator/device.h"

namespace emu {
namespace {

constexpr std::uint8_t kTerminator = 0x0D;
constexpr std::uint8_t kPersistLead = 0x03;  // the persist prefix 03 CC 33 33 CC

CommandTable build_table() {
    CommandTable table;
    register_link_commands(table);
    register_scan_commands(table);
    register_print_commands(table);
    register_paper_commands(table);
    register_storage_commands(table);
    register_calibration_commands(table);
    register_firmware_commands(table);
    return table;
}

}  // namespace

const CommandSpec* CommandTable::find(std::uint8_t lead, std::uint8_t opcode) const {
    for (const CommandSpec& spec : specs_) {
        if (spec.lead == lead && spec.opcode == opcode) return &spec;
    }
    return nullptr;
}

const CommandTable& command_table() {
    static const CommandTable table = build_table();
    return table;
}

void run_commands(Device& device, const std::uint8_t* bytes, std::size_t count, std::int64_t now) {
    const CommandTable& table = command_table();
    std::size_t pos = 0;
    while (pos < count) {
        if (device.download.active) {
            pos += continue_download(device, bytes + pos, count - pos, now);
            continue;
        }
        const CommandSpec* spec = count - pos >= 2 ? table.find(bytes[pos], bytes[pos + 1]) : nullptr;
        std::size_t length = 0;
        if (spec != nullptr) {
            if (!spec->terminated) {
                length = spec->length;
            } else {
                for (std::size_t i = pos + spec->length; i < count; ++i) {
                    if (bytes[i] == kTerminator) {
                        length = i + 1 - pos;
                        break;
                    }
                }
            }
        }
        if (spec == nullptr || length == 0 || length > count - pos) {
            // Unknown or cut short: the device drops the rest of the transfer.
            device.commandError = true;
            device.persistArmed = false;
            return;
        }
        const bool wasPrefix = bytes[pos] == kPersistLead;
        const Command command{bytes + pos, length, now};
        device.commandError = !spec->handler(device, command);
        if (!wasPrefix) device.persistArmed = false;
        pos += length;
    }
}

bool save_type_valid(const Device& device, int save) {
    if (save == 0) return true;
    return save == 1 && device.persistArmed;
}

void store_fixed_setting(Device& device, int save, int Settings::*field) {
    if (save != 1) return;
    device.fixedSettings.*field = device.settings.*field;
    device.save_flash();
}

int low_high(const Command& command, std::size_t at) {
    return command[at] | (command[at + 1] << 8);
}

}  // namespace emu
