#pragma once
// The device's command set as a table: each command is a lead byte, an
// opcode, a length (fixed, or a fixed head followed by bytes up to a 0D
// terminator) and one handler. Subjects register their commands from their
// own files under commands/; adding a command is one row there.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace emu {

class Device;
struct Settings;

// One complete command as received, with the device clock at its arrival.
struct Command {
    const std::uint8_t* bytes = nullptr;
    std::size_t length = 0;
    std::int64_t now = 0;
    std::uint8_t operator[](std::size_t i) const { return bytes[i]; }
};

// Carries out the command; false rejects it (the device shows commandError).
using CommandHandler = bool (*)(Device& device, const Command& command);

struct CommandSpec {
    std::uint8_t lead = 0;
    std::uint8_t opcode = 0;
    std::size_t length = 0;   // total bytes, or the head before the text when terminated
    bool terminated = false;  // head, then bytes up to and including 0D
    const char* name = "";
    CommandHandler handler = nullptr;
};

class CommandTable {
public:
    void add(const CommandSpec& spec) { specs_.push_back(spec); }
    const CommandSpec* find(std::uint8_t lead, std::uint8_t opcode) const;
    std::size_t size() const { return specs_.size(); }

private:
    std::vector<CommandSpec> specs_;
};

// The table of the device, built once.
const CommandTable& command_table();

// Splits the bytes of one write into commands and runs them. A byte sequence
// that is no known command, or a command cut short, is rejected together with
// the rest of the write.
void run_commands(Device& device, const std::uint8_t* bytes, std::size_t count, std::int64_t now);

// Registration, one per subject (commands/*.cpp).
void register_link_commands(CommandTable& table);
void register_scan_commands(CommandTable& table);
void register_print_commands(CommandTable& table);
void register_paper_commands(CommandTable& table);
void register_storage_commands(CommandTable& table);
void register_calibration_commands(CommandTable& table);
void register_firmware_commands(CommandTable& table);

// Helpers shared by the handlers.
// A save type byte: 0 keeps the setting in RAM; 1 stores it in flash and
// needs the persist prefix right before the command.
bool save_type_valid(const Device& device, int save);
// After a setting with save type 1: its fixed copy follows and flash is written.
void store_fixed_setting(Device& device, int save, int Settings::*field);
// A number sent low byte first.
int low_high(const Command& command, std::size_t at);

// Bytes of a download or firmware file that belong to no command.
// Returns how many bytes of `bytes` the storage subject consumed.
std::size_t continue_download(Device& device, const std::uint8_t* bytes, std::size_t count, std::int64_t now);
// True when the bytes are a firmware file (the device name twice); handles it.
bool take_firmware_file(Device& device, const std::uint8_t* bytes, std::size_t count, std::int64_t now);

}  // namespace emu
