// ReadPictureData: pulls the scanned picture over the image pipe into the
// caller's buffer, drops the device's 4 leading lines and marks the end of
// the picture with a filler.

#include <cstring>

#include "device/Kestrom.h"
#include "device/operations.h"
#include "device/port.h"

namespace kestrom {
namespace {

inline constexpr std::uint32_t kPictureBufferBytes = KESTROM_PICTURE_BUFFER_BYTES;  // the caller's minimum
inline constexpr std::uint32_t kBulkChunkBytes = 65536;
inline constexpr int kLeadingLines = 4;
inline constexpr int kEndOfScanPolls = 51;
inline constexpr int kEndOfScanPollMs = 100;
inline constexpr char kFillerKey[] = "tolvarinquesmadrekoplunavetrisbolmentagrufolin";
inline constexpr std::uint32_t kFillerKeyLength = sizeof kFillerKey - 1;
static_assert(kFillerKeyLength == 46);

// Reads `count` bytes to `target` in bulk reads of at most 64 KiB; 0 on any
// failed read.
int read_batch(std::uint8_t* target, std::uint32_t count) {
    std::uint32_t done = 0;
    while (count - done >= kBulkChunkBytes) {
        int received = 0;
        if (!bulk_read(kBulkChunkBytes, target + done, &received, true)) return 0;
        done += static_cast<std::uint32_t>(received);
    }
    if (count > done) {
        int received = 0;
        if (!bulk_read(count - done, target + done, &received, true)) return 0;
        done += static_cast<std::uint32_t>(received);
    }
    return 1;
}

// Writes (N mod 50) + 50 filler bytes after the N picture bytes, but never
// past the end of the caller's buffer.
void write_filler(std::uint8_t* buffer, std::uint32_t pictureBytes) {
    const std::uint32_t wanted = pictureBytes % 50 + 50;
    const std::uint32_t room = kPictureBufferBytes - pictureBytes;
    const std::uint32_t count = wanted < room ? wanted : room;
    for (std::uint32_t k = 0; k < count; ++k) {
        const auto c =
            static_cast<std::uint32_t>(static_cast<unsigned char>(kFillerKey[k % kFillerKeyLength]));
        buffer[pictureBytes + k] = static_cast<std::uint8_t>(pictureBytes % c);
    }
}

}  // namespace

// Reads the scanned picture into `buffer` (at least 10,485,760 bytes): the
// announced pending bytes batch by batch until the device marks the end, then
// waits up to 51 polls 100 ms apart for scanning to stop. Returns 1 with the
// picture less its 4 leading lines and the filler after it; 0 on a device
// error, a failed transfer, a picture that would fill the buffer, or a scan
// that does not end.
int read_picture_data(std::uint8_t* buffer, int* lineBytes, int* lines, int* pictureType, int* linesPerMm) {
    if (!buffer || !lineBytes || !lines || !pictureType || !linesPerMm) return 0;
    int border = 0, width = 0, height = 0;
    if (!get_scan_area(&border, &width, &height)) return 0;
    DeviceStatus s;
    if (!query_status(s)) return 0;

    *lines = 0;
    *pictureType = s.grayPicture;
    *linesPerMm = s.scanLinesPerMm;
    *lineBytes = s.grayPicture == 1 ? width * 8 : width;
    if (*lineBytes <= 0) return 0;  // a scan width of 0 has no lines

    if (s.statusError) {
        if (s.passageJam || s.commandError) correct_fake_jam_error();
        if (!query_status(s) || s.statusError) return 0;
    }
    if (!s.haveData) return 0;

    const auto bytesPerLine = static_cast<std::uint32_t>(*lineBytes);
    std::uint32_t total = 0;
    bool scanEnded = false;
    while (!scanEnded) {
        for (;;) {
            if (s.statusError) return 0;
            const auto pending = static_cast<std::uint32_t>(s.pendingBytes);
            if (pending > 0) {
                if (static_cast<std::uint64_t>(total) + pending >= kPictureBufferBytes) return 0;
                if (!read_batch(buffer + total, pending)) return 0;
                total += pending;
                *lines += static_cast<int>(pending / bytesPerLine);
            }
            if (pending == 0 && !s.haveData && !s.scanning) break;
            if (s.scanComplete) break;
            if (!query_status(s)) return 0;
        }

        // Wait for the end of scanning. Bytes the device still announces
        // here belong to this picture: go back and read them rather than
        // end without them or give the ticket up as a scan that never ends.
        bool moreData = false;
        for (int poll = 0; poll < kEndOfScanPolls && !scanEnded; ++poll) {
            if (!query_status(s)) return 0;
            moreData = s.pendingBytes != 0;
            if (moreData) break;
            pause_ms(kEndOfScanPollMs);
            scanEnded = !s.scanning;
        }
        if (!scanEnded && !moreData) return 0;
    }

    if (*lines < kLeadingLines) return 0;  // nothing left after the leading lines
    const std::uint32_t kept = static_cast<std::uint32_t>(*lines - kLeadingLines) * bytesPerLine;
    std::memmove(buffer, buffer + kLeadingLines * bytesPerLine, kept);
    *lines -= kLeadingLines;

    write_filler(buffer, kept);
    return 1;
}

}  // namespace kestrom
