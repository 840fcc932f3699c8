// Scan settings, starting and aborting a scan, and the status export.

#include "device/Kestrom.h"
#include "device/operations.h"
#include "device/port.h"
#include "kit/bytes.h"

namespace kestrom {
namespace {

inline constexpr int kMaxScanWidthMm = KESTROM_MAX_SCAN_WIDTH_MM;
inline constexpr int kMaxLengthMm = KESTROM_MAX_LENGTH_MM;
inline constexpr int kPixelsPerMetre4 = 3938;  // 4 lines per millimetre
inline constexpr int kPixelsPerMetre8 = 7875;  // 8 lines per millimetre
inline constexpr int kIdleWaitPollMs = 20;

// A setting that may go to flash: the persist prefix first when save = 1.
int send_setting(std::uint8_t opcode, int value, int save) {
    if (save == 1 && !persist_prefix()) return 0;
    if (!send({0x1A, opcode, kit::low_byte(value), kit::low_byte(save)})) return 0;
    settle();
    return 1;
}

// A setting inside the settings bracket; the result is the command write's.
template <typename Write>
int bracketed(int save, Write write) {
    bracket_open();
    if (save == 1 && !persist_prefix()) {
        bracket_close();
        return 0;
    }
    const int written = write();
    settle();
    bracket_close();
    return written;
}

}  // namespace

int set_scan_width(int border, int width) {
    if (border < 0 || border > kMaxScanWidthMm || width < 0 || width > kMaxScanWidthMm ||
        border + width > kMaxScanWidthMm)
        return 0;
    return bracketed(0, [&] { return send({0x1A, 0x40, kit::low_byte(border), kit::low_byte(width)}); });
}

int set_scan_height(int height) {
    if (height < 0 || height > kMaxLengthMm) return 0;
    if (!send({0x1A, 0x41, kit::low_byte(height), kit::high_byte(height)})) return 0;
    settle();
    return 1;
}

int set_scan_picture_type(int type, int save) {
    if (!is_flag(type) || !is_flag(save)) return 0;
    return send_setting(0x42, type, save);
}

int set_scan_dpi(int linesPerMm, int save) {
    if ((linesPerMm != 4 && linesPerMm != 8) || !is_flag(save)) return 0;
    return bracketed(save, [&] {
        return send({0x1A, 0x43, kit::low_byte(linesPerMm), kit::low_byte(save)});
    });
}

int set_scan_mode(int lockScan, int save) {
    if (!is_flag(lockScan) || !is_flag(save)) return 0;
    return send_setting(0x44, lockScan, save);
}

int set_threshold_method(int method, int value1, int value2, int save) {
    if (method != 0 || value1 < 0 || value1 > 255 || value2 < 0 || value2 > 255 || !is_flag(save)) return 0;
    return bracketed(save, [&] {
        return send({0x1A, 0x75, 0x00, kit::low_byte(value1), kit::low_byte(value2), kit::low_byte(save)});
    });
}

int get_threshold_method(int* method, int* value1, int* value2) {
    if (!method || !value1 || !value2) return 0;
    std::uint8_t r[5] = {};
    if (!request({0x1B, 0x53}, r, 5)) return 0;
    *method = r[0];
    *value1 = r[0] == 0 ? r[1] : r[3];
    *value2 = r[0] == 0 ? r[2] : r[4];
    return 1;
}

int get_scan_area(int* border, int* width, int* height) {
    if (!border || !width || !height) return 0;
    std::uint8_t r[4] = {};
    if (!request({0x1B, 0x42}, r, 4)) return 0;
    *border = r[0];
    *width = r[1];
    *height = r[2] + 256 * r[3];
    return 1;
}

int start_scan(int action) {
    if (action < KESTROM_AFTER_SCAN_STOP || action > KESTROM_AFTER_SCAN_EJECT) return 0;
    DeviceStatus s;
    if (!query_status(s)) return 0;
    if (s.waiting) {
        // A document is held: only a plain rescan of the whole ticket is allowed.
        int border = 0, width = 0, height = 0;
        if (!get_scan_area(&border, &width, &height) || action != KESTROM_AFTER_SCAN_STOP || height != 0)
            return 0;
        if (!send({0x1A, 0x87})) return 0;
        for (;;) {
            if (!query_status(s) || s.commandError) return 0;
            if (s.scannerIdle) break;
            pause_ms(kIdleWaitPollMs);
        }
    } else if (!s.scannerIdle) {
        return 0;
    }
    set_vertical_pixels_per_metre(s.scanLinesPerMm == 4   ? kPixelsPerMetre4
                                  : s.scanLinesPerMm == 8 ? kPixelsPerMetre8
                                                          : 0);
    if (!send({0x1A, 0x45, kit::low_byte(action), 0x00})) return 0;
    settle();
    return 1;
}

int abort_scan() {
    if (!send({0x1B, 0x41})) return 0;
    settle();
    return 1;
}

int get_status(std::int32_t* status22) {
    if (!status22) return 0;
    DeviceStatus s;
    if (!query_status(s)) return 0;
    copy_public_fields(s, status22);
    return 1;
}

}  // namespace kestrom
