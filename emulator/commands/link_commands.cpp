// Commands of the command exchange itself: the settings bracket, the persist
// prefix, fetching a prepared reply, clearing error indications and reset.

#include "emulator/command_table.h"
#include "emulator/device.h"

namespace emu {
namespace {

// The settings bracket is accepted and changes nothing the device reports.
bool bracket_open(Device&, const Command&) {
    return true;
}

bool bracket_close(Device&, const Command&) {
    return true;
}

// 03 CC 33 33 CC: the next command may store its setting in flash.
bool persist_prefix(Device& device, const Command& c) {
    if (c[2] != 0x33 || c[3] != 0x33 || c[4] != 0xCC) return false;
    device.persistArmed = true;
    return true;
}

// 1B 4B: moves a prepared reply onto the reply pipe. Without a ready reply
// the pipe is emptied, so no stale bytes can be mistaken for an answer.
bool fetch_reply(Device& device, const Command& c) {
    if (!device.pending || c.now < device.pending->readyAt) {
        device.set_reply({});
        return false;
    }
    device.set_reply(std::move(device.pending->bytes));
    device.pending.reset();
    return true;
}

// 1B 46: clears the error indications that are not physical: a fake jam, the
// error state, a print paper error (the command error clears as it succeeds).
bool correct_jam(Device& device, const Command&) {
    device.cond.fakeJam = false;
    device.cond.statusError = false;
    device.printPaperError = false;
    return true;
}

// 1B 40: the device restarts; the link drops and comes back.
bool reset_device(Device& device, const Command& c) {
    device.restart_device(c.now, kRestartMs);
    return true;
}

}  // namespace

void register_link_commands(CommandTable& table) {
    table.add({0x1B, 0x4A, 2, false, "settings bracket open", bracket_open});
    table.add({0x1A, 0x53, 2, false, "settings bracket close", bracket_close});
    table.add({0x03, 0xCC, 5, false, "persist prefix", persist_prefix});
    table.add({0x1B, 0x4B, 2, false, "fetch reply", fetch_reply});
    table.add({0x1B, 0x46, 2, false, "clear jam indication", correct_jam});
    table.add({0x1B, 0x40, 2, false, "reset", reset_device});
}

}  // namespace emu
