// The print job: darkness, the print buffer, text and picture placements,
// starting the print; print head mode and paper-detect time.

#include "emulator/command_table.h"
#include "emulator/device.h"
#include "emulator/print_job.h"

namespace emu {
namespace {

constexpr int kMaxVerticalMm = 297;
constexpr int kMaxHorizontalMm = 32;
constexpr std::size_t kMaxNameBytes = 8;

bool set_darkness(Device& device, const Command& c) {
    if (!save_type_valid(device, c[3])) return false;
    device.settings.darkness = c[2];
    store_fixed_setting(device, c[3], &Settings::darkness);
    return true;
}

// 1A 47 height-low height-high: opens a print job on the held ticket.
bool set_print_buffer(Device& device, const Command& c) {
    const int height = low_high(c, 2);
    if (height > kMaxVerticalMm) return false;
    if (device.phase != Phase::Held || !device.ticket || device.jammed() || device.print.running)
        return false;
    device.print = PrintJob{};
    device.print.open = true;
    device.print.heightMm = height;
    device.printDone = false;
    device.printPaperError = false;
    return true;
}

bool job_accepts_items(const Device& device) {
    return device.print.open && !device.print.running;
}

// 1A 49 angle hor ver-low ver-high font size text 0D.
bool place_text(Device& device, const Command& c) {
    if (!job_accepts_items(device)) return false;
    PrintItem item;
    item.isText = true;
    item.angle = c[2];
    item.hor = c[3];
    item.ver = low_high(c, 4);
    item.font = c[6];
    item.size = c[7];
    if (item.angle > 3 || item.hor > kMaxHorizontalMm || item.ver > kMaxVerticalMm ||
        !font_size_valid(item.font, item.size))
        return false;
    item.text.assign(c.bytes + 8, c.bytes + c.length - 1);
    device.print.items.push_back(std::move(item));
    return true;
}

// 1A 48 hor ver-low ver-high name 0D: a stored picture by name.
bool place_picture(Device& device, const Command& c) {
    if (!job_accepts_items(device)) return false;
    PrintItem item;
    item.isText = false;
    item.hor = c[2];
    item.ver = low_high(c, 3);
    item.text.assign(c.bytes + 5, c.bytes + c.length - 1);
    if (item.hor > kMaxHorizontalMm || item.ver > kMaxVerticalMm || item.text.empty() ||
        item.text.size() > kMaxNameBytes || device.find_bitmap(item.text) == nullptr)
        return false;
    device.print.items.push_back(std::move(item));
    return true;
}

// 1A 4A mode after: runs the job. A refused start drops the job, so the
// printing indication never stays on for a job that cannot run.
bool start_print(Device& device, const Command& c) {
    if (!job_accepts_items(device)) return false;
    if (c[2] > 1 || c[3] > 1 || device.cond.headHot || device.cond.coverOpen || device.jammed() ||
        device.busy(c.now)) {
        device.print = PrintJob{};
        return false;
    }
    if (!device.ticket || device.cond.noPaperAtHead) {
        device.print = PrintJob{};
        device.printPaperError = true;
        return true;
    }
    device.print.running = true;
    device.print.after = c[3];
    const double paperMm = device.ticket->length_mm();
    double heightMm = device.print.heightMm;
    if (heightMm <= 0) heightMm = paperMm;
    // Longer than the ticket: the head prints to the trailing edge, then
    // stops with a paper error.
    device.print.runsOut = heightMm > paperMm + 0.5;
    if (device.print.runsOut) heightMm = paperMm;
    device.ticket->leadMm = kPrintHeadMm;  // the head starts at the leading edge
    device.start_motion(MotionKind::Print, kPrintHeadMm + heightMm, kPrintMmPerMs, c.now);
    return true;
}

bool set_head_mode(Device& device, const Command& c) {
    if (c[2] > 3 || !save_type_valid(device, c[3])) return false;
    device.settings.headMode = c[2];
    store_fixed_setting(device, c[3], &Settings::headMode);
    return true;
}

bool set_detect_time(Device& device, const Command& c) {
    if (c[2] > 100 || c[3] != 0) return false;
    device.settings.detectTime = c[2];
    return true;
}

}  // namespace

void register_print_commands(CommandTable& table) {
    table.add({0x1A, 0x46, 4, false, "print darkness", set_darkness});
    table.add({0x1A, 0x47, 4, false, "print buffer", set_print_buffer});
    table.add({0x1A, 0x49, 8, true, "text position", place_text});
    table.add({0x1A, 0x48, 5, true, "picture position", place_picture});
    table.add({0x1A, 0x4A, 4, false, "start print", start_print});
    table.add({0x1A, 0x86, 4, false, "print head mode", set_head_mode});
    table.add({0x1A, 0x88, 4, false, "paper detect time", set_detect_time});
}

}  // namespace emu
