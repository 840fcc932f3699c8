// Paper position and feeding.

#include <cmath>

#include "emulator/command_table.h"
#include "emulator/device.h"

namespace emu {
namespace {

// 1B 44 -> passed (leading edge beyond the print head), 0, distance low,
// distance high (leading edge from the entry, mm).
bool paper_position(Device& device, const Command&) {
    std::uint8_t passed = 0;
    int distance = 0;
    if (device.ticket) {
        passed = device.ticket->leadMm >= kPrintHeadMm ? 1 : 0;
        distance = static_cast<int>(std::lround(std::max(0.0, device.ticket->leadMm)));
    }
    device.set_reply({passed, 0, static_cast<std::uint8_t>(distance & 0xFF),
                      static_cast<std::uint8_t>((distance >> 8) & 0xFF)});
    return true;
}

// 1A 4B direction length: forward (0) out of the front or back (1) out of the
// entry; length 0 moves the ticket all the way out, else length mm.
bool feed_paper(Device& device, const Command& c) {
    const int direction = c[2];
    const int length = c[3];
    if (direction > 1) return false;
    if ((device.phase != Phase::Idle && device.phase != Phase::Held) || device.busy(c.now) ||
        device.jammed() || device.cond.coverOpen)
        return false;
    if (!device.ticket) return true;
    double target = device.ticket->leadMm;
    if (direction == 0)
        target = length == 0 ? kExitMm + device.ticket->length_mm() : target + length;
    else
        target = length == 0 ? 0.0 : std::max(0.0, target - length);
    device.print = PrintJob{};
    device.start_motion(MotionKind::Feed, target, kFeedMmPerMs, c.now);
    return true;
}

}  // namespace

void register_paper_commands(CommandTable& table) {
    table.add({0x1B, 0x44, 2, false, "paper position", paper_position});
    table.add({0x1A, 0x4B, 4, false, "feed paper", feed_paper});
}

}  // namespace emu
