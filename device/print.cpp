// Printing and paper handling.

#include <cstring>
#include <vector>

#include "device/Kestrom.h"
#include "device/operations.h"
#include "device/port.h"
#include "kit/bytes.h"

namespace kestrom {
namespace {

inline constexpr int kMaxLengthMm = KESTROM_MAX_LENGTH_MM;
inline constexpr int kMaxHorizontalPosition = KESTROM_MAX_PRINT_COLUMN;
inline constexpr int kMaxPictureName = KESTROM_MAX_NAME_CHARS;
inline constexpr int kPrintBufferPolls = 10;
inline constexpr int kPrintFirstPollMs = 300;
inline constexpr int kPrintPollMs = 50;
inline constexpr int kFeedPolls = 100;
inline constexpr int kFeedForwardPollMs = 50;
inline constexpr int kFeedBackPollMs = 30;
inline constexpr int kMaxDetectTime = 100;

// Whether a text font (KESTROM_FONT_*) takes this size.
bool font_accepts(int font, int size) {
    switch (font) {
        case KESTROM_FONT_BYTE:
            return size >= 0 && size <= KESTROM_FONT_BYTE_MAX_SIZE;
        case KESTROM_FONT_COURIER:
            return size >= 0 && size <= KESTROM_FONT_COURIER_MAX_SIZE;
        case KESTROM_FONT_ASD:
            return size == 6 || size == 8 || size == 10 || size == 12 || size == 14 || size == 18;
        default:
            return false;
    }
}

bool idle_or_waiting(const DeviceStatus& s) {
    return s.scannerIdle == 1 || s.waiting == 1;
}

// Sends a placement command inside the settings bracket and checks that the
// device accepted it; a rejection is cleared with CorrectFakeJamError.
int place(const std::vector<std::uint8_t>& command) {
    bracket_open();
    int result = 0;
    if (raw_write(command.data(), static_cast<int>(command.size()), true)) {
        settle();
        DeviceStatus s;
        if (query_status(s)) {
            result = 1;
            if (s.commandError == 1) {
                correct_fake_jam_error();
                result = 0;
            }
        }
    }
    bracket_close();
    return result;
}

void append_text(std::vector<std::uint8_t>& out, const char* text) {
    const std::size_t n = std::strlen(text);
    out.insert(out.end(), text, text + n);
    out.push_back(0x0D);
}

}  // namespace

int set_print_darkness(int darkness, int save) {
    if (darkness < 0 || darkness > 255 || !is_flag(save)) return 0;
    if (save == 1 && !persist_prefix()) return 0;
    if (!send({0x1A, 0x46, kit::low_byte(darkness), kit::low_byte(save)})) return 0;
    settle();
    return 1;
}

int set_print_buffer(int height) {
    DeviceStatus s;
    if (!query_status(s) || !s.waiting || s.statusError) return 0;
    if (height < 0 || height > kMaxLengthMm) return 0;
    if (!send({0x1A, 0x47, kit::low_byte(height), kit::high_byte(height)})) return 0;
    settle();
    for (int poll = 0; poll < kPrintBufferPolls; ++poll) {
        if (!query_status(s) || s.commandError == 1) return 0;
        if (s.statusError) {
            if (!s.passageJam) return 0;
            correct_fake_jam_error();
        }
        if (s.printing == 1) return 1;
        pause_ms(kPrintPollMs);
    }
    return 0;
}

int set_char_print_position(int angle, int hor, int ver, int font, int size, const char* text) {
    if (angle < 0 || angle > 3 || hor < 0 || hor > kMaxHorizontalPosition || ver < 0 || ver > kMaxLengthMm ||
        !font_accepts(font, size) || !text)
        return 0;
    std::vector<std::uint8_t> command = {0x1A,
                                         0x49,
                                         kit::low_byte(angle),
                                         kit::low_byte(hor),
                                         kit::low_byte(ver),
                                         kit::high_byte(ver),
                                         kit::low_byte(font),
                                         kit::low_byte(size)};
    append_text(command, text);
    return place(command);
}

int set_pic_print_position(int hor, int ver, const char* name) {
    if (hor < 0 || hor > kMaxHorizontalPosition || ver < 0 || ver > kMaxLengthMm || !name ||
        std::strlen(name) > kMaxPictureName)
        return 0;
    std::vector<std::uint8_t> command = {0x1A, 0x48, kit::low_byte(hor), kit::low_byte(ver),
                                         kit::high_byte(ver)};
    append_text(command, name);
    return place(command);
}

int start_print(int mode, int after) {
    if (!is_flag(mode) || !is_flag(after)) return 0;
    DeviceStatus s;
    if (!query_status(s) || !s.printing) return 0;
    if (!send({0x1A, 0x4A, kit::low_byte(mode), kit::low_byte(after)})) return 0;
    for (int poll = 0;; ++poll) {
        pause_ms(poll == 0 ? kPrintFirstPollMs : kPrintPollMs);
        if (!query_status(s)) return 0;
        if (s.printPaperError) {
            if (s.passageJam || s.commandError) correct_fake_jam_error();
            return KESTROM_PRINT_PAPER_ERROR;
        }
        if (!s.printing) break;
    }
    if (!query_status(s)) return 0;
    return s.printDone ? 1 : 0;
}

int get_paper_position(int* passed, int* distance) {
    if (!passed || !distance) return 0;
    std::uint8_t r[4] = {};
    if (!request({0x1B, 0x44}, r, 4)) return 0;
    *passed = r[0];
    *distance = r[2] + 256 * r[3];
    return 1;
}

int start_feed_paper(int direction, int length) {
    if (!is_flag(direction) || length < 0 || length > 255) return 0;
    DeviceStatus s;
    if (!query_status(s) || !idle_or_waiting(s)) return 0;
    if (!send({0x1A, 0x4B, kit::low_byte(direction), kit::low_byte(length)})) return 0;
    for (int poll = 0; poll < kFeedPolls; ++poll) {
        pause_ms(direction == 0 ? kFeedForwardPollMs : kFeedBackPollMs);
        if (!query_status(s) || s.statusError == 1) return 0;
        if (!s.feedingPaper) return 1;
    }
    return 1;  // still feeding after the last poll counts as done
}

int correct_fake_jam_error() {
    if (!send({0x1B, 0x46})) return 0;
    settle();
    DeviceStatus s;
    return query_status(s) && !s.statusError && !s.passageJam ? 1 : 0;
}

int set_printer_head_mode(int mode, int save) {
    if (mode < 0 || mode > 3 || !is_flag(save)) return 0;
    DeviceStatus s;
    if (!query_status(s) || !idle_or_waiting(s)) return 0;
    bracket_open();
    if (save == 1 && !persist_prefix()) {
        bracket_close();
        return 0;
    }
    settle();
    const int written = send({0x1A, 0x86, kit::low_byte(mode), kit::low_byte(save)});
    if (written) settle();
    bracket_close();
    return written;
}

int set_detect_paper_time(int time) {
    if (time < 0 || time > kMaxDetectTime) return 0;
    DeviceStatus s;
    if (!query_status(s) || s.scannerIdle != 1) return 0;
    bracket_open();
    const int written = send({0x1A, 0x88, kit::low_byte(time), 0x00});
    if (written) settle();
    bracket_close();
    return written;
}

}  // namespace kestrom
