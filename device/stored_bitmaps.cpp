// Bitmaps stored in the device for printing: download, count, names, erase.
// Area 0 is the RAM area ('A'), area 1 the flash area ('B').

#include <cstring>
#include <vector>

#include "device/Kestrom.h"
#include "device/bmp_writer.h"
#include "device/operations.h"
#include "device/port.h"
#include "kit/bmp_header.h"
#include "kit/bytes.h"
#include "platform/files.h"

namespace kestrom {
namespace {

inline constexpr int kMaxName = KESTROM_MAX_NAME_CHARS;
inline constexpr int kMaxWidth = KESTROM_MAX_BITMAP_WIDTH;
inline constexpr int kMaxHeight = KESTROM_MAX_BITMAP_HEIGHT;
inline constexpr int kMaxIndex = KESTROM_MAX_BITMAP_INDEX;
inline constexpr int kReplyPollMs = 50;
inline constexpr int kProbeTries = 20;
inline constexpr int kFlashSettleMs = 2000;
inline constexpr int kRamSettleMs = 50;
inline constexpr int kRamSettleExMs = 200;
inline constexpr int kAfterCloseExMs = 200;
inline constexpr int kEraseFlashMs = 4000;
inline constexpr int kEraseRamMs = 200;

std::uint8_t area_letter(int area) {
    return area == 0 ? 'A' : 'B';
}

// The status query of a storage command, clearing a jam or command error
// once when the device is neither idle nor waiting.
bool ready_for_storage() {
    DeviceStatus s;
    if (!query_status(s)) return false;
    if (s.scannerIdle || s.waiting) return true;
    if (s.passageJam || s.commandError) correct_fake_jam_error();
    return query_status(s) && (s.scannerIdle || s.waiting);
}

// The download header: 1B 4A 1A 69, area letter, side letter, name, 0D.
std::vector<std::uint8_t> download_header(int area, int side, const char* name, std::size_t length) {
    std::vector<std::uint8_t> header = {
        0x1B, 0x4A, 0x1A, 0x69, area_letter(area), static_cast<std::uint8_t>(side == 0 ? 'B' : 'b')};
    header.insert(header.end(), name, name + length);
    header.push_back(0x0D);
    return header;
}

// Header then the BMP in one write each; then the device stores it and must
// answer the probe and count one more bitmap. Caller sends 1A 53 on failure.
int send_download(int area, int side, const char* name, const std::vector<std::uint8_t>& bmp, int countBefore,
                  int settleMs, int afterCloseMs) {
    const std::size_t length = std::strlen(name);
    if (length < 1 || length > kMaxName) return 0;
    const std::vector<std::uint8_t> header = download_header(area, side, name, length);
    if (!raw_write(header.data(), static_cast<int>(header.size()), true)) return 0;
    if (!raw_write(bmp.data(), static_cast<int>(bmp.size()), true)) return 0;
    pause_ms(settleMs);
    bracket_close();
    pause_ms(afterCloseMs);
    if (!liveness_probe(kProbeTries)) return 0;
    int countAfter = 0, freeBytes = 0;
    return get_bmp_number(area, &countAfter, &freeBytes) && countAfter == countBefore + 1 ? 1 : 0;
}

// Checks the stored-bitmap form of a BMP file: pixel data at 62, width
// 1..256, height 1..2376, and room for it in the device.
bool acceptable_bmp(const std::vector<std::uint8_t>& file, int freeBytes) {
    kit::bmp::Header header;
    if (file.size() < kit::bmp::kFileHeaderBytes + kit::bmp::kInfoHeaderBytes ||
        !kit::bmp::decode_file_header(file.data(), header))
        return false;
    if (header.pixelOffset != kBwPixelOffset) return false;
    kit::bmp::decode_info_header(file.data() + kit::bmp::kFileHeaderBytes, header);
    const std::int32_t width = header.width;
    const std::int32_t height = header.height;
    if (height < 1 || height > kMaxHeight || width < 1 || width > kMaxWidth) return false;
    return static_cast<std::int64_t>(file.size()) <=
           static_cast<std::int64_t>(static_cast<std::uint32_t>(freeBytes));
}

int erase(std::uint8_t opcode, int pauseMs) {
    DeviceStatus s;
    if (!query_status(s) || !(s.scannerIdle == 1 || s.waiting == 1)) return 0;
    if (!send({0x1A, opcode})) return 0;
    pause_ms(pauseMs);
    return liveness_probe(kProbeTries);
}

}  // namespace

int get_bmp_number(int area, int* count, int* freeBytes) {
    if (!is_flag(area) || !count || !freeBytes) return 0;
    if (!ready_for_storage()) return 0;
    const std::uint8_t letter = area_letter(area);
    if (!send({0x1A, 0x6B, letter})) return 0;
    DeviceStatus s;
    if (!query_status(s)) return 0;
    for (;;) {
        pause_ms(kReplyPollMs);
        if (s.replyReady) break;
        if (!query_status(s)) return 0;
    }
    std::uint8_t r[6] = {};
    if (!request({0x1B, 0x4B}, r, 6) || r[0] != letter) return 0;
    *count = r[1];
    *freeBytes = static_cast<std::int32_t>(kit::get_le32(&r[2]));
    return 1;
}

int get_bmp_name(int area, int index, std::uint8_t* buffer) {
    if (!is_flag(area) || index < 0 || index > kMaxIndex || !buffer) return 0;
    if (!ready_for_storage()) return 0;
    if (!send({0x1A, 0x6C, area_letter(area), static_cast<std::uint8_t>(index)})) return 0;
    settle();
    DeviceStatus s;
    do {
        if (!query_status(s)) return 0;
        pause_ms(kReplyPollMs);
    } while (!s.replyReady);
    std::uint8_t r[10] = {};
    if (!request({0x1B, 0x4B}, r, 10)) return 0;
    for (int i = 0; i < 10 && r[i] != 0xFF; ++i) buffer[i] = r[i];
    return 1;
}

int download_picture(int area, int side, const char* name, const char* bmpFilePath) {
    if (!port_open() || !name || !bmpFilePath || !is_flag(area) || !is_flag(side)) return 0;
    int countBefore = 0, freeBytes = 0;
    if (!get_bmp_number(area, &countBefore, &freeBytes)) {
        bracket_close();
        return 0;
    }
    const auto file = platform::read_file(bmpFilePath);
    int result = 0;
    if (file && acceptable_bmp(*file, freeBytes)) {
        result = send_download(area, side, name, *file, countBefore,
                               area == 0 ? kRamSettleMs : kFlashSettleMs, kSettleMs);
    }
    if (!result) bracket_close();
    return result;
}

int download_picture_ex(int area, int side, const char* name, int width, int height, int bitsPerPixel,
                        const std::uint8_t* pixels) {
    if (!port_open() || !is_flag(area) || !is_flag(side) || !name || bitsPerPixel != 1 || width < 1 ||
        width > kMaxWidth || height < 1 || height > kMaxHeight || !pixels)
        return 0;
    int countBefore = 0, freeBytes = 0;
    if (!get_bmp_number(area, &countBefore, &freeBytes)) return 0;

    // A black-and-white BMP whose stored rows are the given rows in order,
    // so the first row given ends up at the bottom of the image.
    const std::uint32_t stride = (static_cast<std::uint32_t>(width) + 31) / 32 * 4;
    const std::size_t rowBytes = (static_cast<std::size_t>(width) + 7) / 8;
    std::vector<std::uint8_t> bmp = bmp_headers(false, stride, static_cast<std::uint32_t>(height), width);
    const std::size_t pixelStart = bmp.size();
    bmp.resize(pixelStart + static_cast<std::size_t>(stride) * static_cast<std::size_t>(height), 0);
    for (int i = 0; i < height; ++i) {
        std::memcpy(&bmp[pixelStart + static_cast<std::size_t>(i) * stride],
                    pixels + static_cast<std::size_t>(i) * rowBytes, rowBytes);
    }

    const int result = send_download(area, side, name, bmp, countBefore,
                                     area == 0 ? kRamSettleExMs : kFlashSettleMs, kAfterCloseExMs);
    if (!result) bracket_close();
    return result;
}

int erase_bmp_in_flash() {
    return erase(0x6A, kEraseFlashMs);
}
int erase_bmp_in_ram() {
    return erase(0x68, kEraseRamMs);
}

}  // namespace kestrom
