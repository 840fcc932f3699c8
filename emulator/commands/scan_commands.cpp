// Scan settings, starting and aborting a scan, and re-scanning a held ticket.

#include "emulator/command_table.h"
#include "emulator/device.h"
#include "emulator/scan_render.h"

namespace emu {
namespace {

constexpr int kMaxWidthMm = 216;
constexpr int kMaxHeightMm = 297;

bool set_scan_width(Device& device, const Command& c) {
    const int border = c[2], width = c[3];
    if (border > kMaxWidthMm || width > kMaxWidthMm || border + width > kMaxWidthMm) return false;
    device.settings.border = border;
    device.settings.width = width;
    return true;
}

bool set_scan_height(Device& device, const Command& c) {
    const int height = low_high(c, 2);
    if (height > kMaxHeightMm) return false;
    device.settings.height = height;
    return true;
}

bool set_picture_type(Device& device, const Command& c) {
    if (c[2] > 1 || !save_type_valid(device, c[3])) return false;
    device.settings.pictureType = c[2];
    store_fixed_setting(device, c[3], &Settings::pictureType);
    return true;
}

bool set_lines_per_mm(Device& device, const Command& c) {
    if ((c[2] != 4 && c[2] != 8) || !save_type_valid(device, c[3])) return false;
    device.settings.linesPerMm = c[2];
    store_fixed_setting(device, c[3], &Settings::linesPerMm);
    return true;
}

bool set_scan_mode(Device& device, const Command& c) {
    if (c[2] > 1 || !save_type_valid(device, c[3])) return false;
    device.settings.lockScan = c[2];
    store_fixed_setting(device, c[3], &Settings::lockScan);
    return true;
}

bool set_threshold(Device& device, const Command& c) {
    if (c[2] != 0 || !save_type_valid(device, c[5])) return false;
    device.settings.thresholdMethod = 0;
    device.settings.threshold1 = c[3];
    device.settings.threshold2 = c[4];
    store_fixed_setting(device, c[5], &Settings::threshold1);
    store_fixed_setting(device, c[5], &Settings::threshold2);
    return true;
}

// 1B 53 -> method, value1, value2, and the same pair again.
bool get_threshold(Device& device, const Command&) {
    const auto v1 = static_cast<std::uint8_t>(device.settings.threshold1);
    const auto v2 = static_cast<std::uint8_t>(device.settings.threshold2);
    device.set_reply({static_cast<std::uint8_t>(device.settings.thresholdMethod), v1, v2, v1, v2});
    return true;
}

// 1B 42 -> border, width, height low, height high.
bool get_scan_area(Device& device, const Command&) {
    const Settings& s = device.settings;
    device.set_reply({static_cast<std::uint8_t>(s.border), static_cast<std::uint8_t>(s.width),
                      static_cast<std::uint8_t>(s.height & 0xFF), static_cast<std::uint8_t>(s.height >> 8)});
    return true;
}

// 1A 45 action 00: scans the ticket resting at the entry.
bool start_scan(Device& device, const Command& c) {
    const int action = c[2];
    if (action > 2 || c[3] != 0) return false;
    if (device.phase != Phase::Idle || !device.ticket || device.busy(c.now) || device.jammed() ||
        device.cond.coverOpen || device.cisActive)
        return false;
    if (device.settings.width == 0) return false;  // a window of no width: nothing to scan
    ScanJob job;
    render_scan(&*device.ticket, device.settings, job);
    job.active = true;
    job.action = action;
    job.start = c.now;
    job.msPerLine = 1.0 / (kScanMmPerMs * job.linesPerMm);
    if (device.cond.jamOnNextMove) {
        device.cond.jamOnNextMove = false;
        job.jamAtLine = job.totalLines / 2;
    }
    device.scan = std::move(job);
    device.scanCompleteFlag = false;
    device.printDone = false;
    device.print = PrintJob{};
    device.ticket->leadMm = kCisMm;
    device.phase = Phase::Scanning;
    return true;
}

// 1B 41: stops the scan; undelivered lines are dropped, the ticket is held.
bool abort_scan(Device& device, const Command&) {
    if (device.phase == Phase::Scanning) {
        device.scan = ScanJob{};
        device.phase = device.ticket ? Phase::Held : Phase::Idle;
    }
    return true;
}

// 1A 87: takes a held ticket back to the entry so it can be scanned again.
bool rescan_held(Device& device, const Command& c) {
    if (device.phase != Phase::Held || !device.ticket || device.jammed() || device.cond.coverOpen)
        return false;
    device.print = PrintJob{};
    device.start_motion(MotionKind::Return, kInsertLeadMm, kFeedMmPerMs, c.now);
    return true;
}

}  // namespace

void register_scan_commands(CommandTable& table) {
    table.add({0x1A, 0x40, 4, false, "scan width", set_scan_width});
    table.add({0x1A, 0x41, 4, false, "scan height", set_scan_height});
    table.add({0x1A, 0x42, 4, false, "picture type", set_picture_type});
    table.add({0x1A, 0x43, 4, false, "scan lines per mm", set_lines_per_mm});
    table.add({0x1A, 0x44, 4, false, "scan mode", set_scan_mode});
    table.add({0x1A, 0x75, 6, false, "threshold", set_threshold});
    table.add({0x1B, 0x53, 2, false, "get threshold", get_threshold});
    table.add({0x1B, 0x42, 2, false, "get scan area", get_scan_area});
    table.add({0x1A, 0x45, 4, false, "start scan", start_scan});
    table.add({0x1B, 0x41, 2, false, "abort scan", abort_scan});
    table.add({0x1A, 0x87, 2, false, "rescan held ticket", rescan_held});
}

}  // namespace emu
