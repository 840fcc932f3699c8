// Stored bitmaps: download (header, then the BMP file in the following
// transfer), count and name queries answered through 1B 4B, erasing.

#include <algorithm>

#include "emulator/command_table.h"
#include "emulator/device.h"

namespace emu {
namespace {

constexpr std::size_t kMonoPixelOffset = 62;
constexpr int kMaxBitmapWidth = 256;
constexpr int kMaxBitmapHeight = 2376;
constexpr std::size_t kMaxNameBytes = 8;
constexpr std::size_t kNameReplyBytes = 10;

int area_of_letter(std::uint8_t letter) {
    return letter == 'A' ? 0 : letter == 'B' ? 1 : -1;
}

std::uint8_t letter_of_area(int area) {
    return area == 0 ? 'A' : 'B';
}

// 1B 4A 1A 69 area side name 0D (the bracket open arrives as its own command).
bool download_header(Device& device, const Command& c) {
    const int area = area_of_letter(c[2]);
    const std::uint8_t side = c[3];
    const std::size_t nameLength = c.length - 5;
    if (area < 0 || (side != 'B' && side != 'b') || nameLength < 1 || nameLength > kMaxNameBytes)
        return false;
    device.download = Download{};
    device.download.active = true;
    device.download.area = area;
    device.download.side = static_cast<char>(side);
    device.download.name.assign(c.bytes + 4, c.bytes + 4 + nameLength);
    return true;
}

// Checks the received file and stores it; false refuses it.
bool store_download(Device& device, std::int64_t now) {
    Download& d = device.download;
    BmpHeader header;
    GreyImage picture;
    if (!read_bmp_header(d.data.data(), d.data.size(), header) || header.pixelOffset != kMonoPixelOffset ||
        header.bitCount != 1 || header.width < 1 || header.width > kMaxBitmapWidth || header.height < 1 ||
        header.height > kMaxBitmapHeight || !decode_bmp(d.data.data(), d.data.size(), picture))
        return false;
    StorageArea& area = device.areas[static_cast<std::size_t>(d.area)];
    auto same = std::find_if(area.bitmaps.begin(), area.bitmaps.end(),
                             [&](const StoredBitmap& b) { return b.name == d.name; });
    const std::size_t freed = same != area.bitmaps.end() ? same->file.size() : 0;
    if (d.data.size() > area.free_bytes() + freed) return false;
    if (same == area.bitmaps.end() && area.bitmaps.size() >= static_cast<std::size_t>(kMaxStoredBitmaps))
        return false;
    StoredBitmap bitmap;
    bitmap.side = d.side;
    bitmap.name = d.name;
    bitmap.file = std::move(d.data);
    if (same != area.bitmaps.end())
        *same = std::move(bitmap);  // a name is stored once per area
    else
        area.bitmaps.push_back(std::move(bitmap));
    if (d.area == 1) {
        device.save_flash();
        device.keep_busy(now, kFlashWriteMs);
    } else {
        device.keep_busy(now, kRamWriteMs);
    }
    return true;
}

// 1A 6B letter: prepares count and free memory of an area.
bool bitmap_count(Device& device, const Command& c) {
    const int area = area_of_letter(c[2]);
    if (area < 0) return false;
    const StorageArea& a = device.areas[static_cast<std::size_t>(area)];
    const auto freeBytes = static_cast<std::uint32_t>(a.free_bytes());
    device.set_pending_reply(
        {letter_of_area(area), static_cast<std::uint8_t>(a.bitmaps.size()),
         static_cast<std::uint8_t>(freeBytes), static_cast<std::uint8_t>(freeBytes >> 8),
         static_cast<std::uint8_t>(freeBytes >> 16), static_cast<std::uint8_t>(freeBytes >> 24)},
        c.now);
    return true;
}

// 1A 6C letter index: prepares letter, side and the name padded with FF.
bool bitmap_name(Device& device, const Command& c) {
    const int area = area_of_letter(c[2]);
    const int index = c[3];
    if (area < 0 || index >= kMaxStoredBitmaps) return false;
    const StorageArea& a = device.areas[static_cast<std::size_t>(area)];
    std::vector<std::uint8_t> reply(kNameReplyBytes, 0xFF);
    reply[0] = letter_of_area(area);
    if (static_cast<std::size_t>(index) < a.bitmaps.size()) {
        const StoredBitmap& bitmap = a.bitmaps[static_cast<std::size_t>(index)];
        reply[1] = static_cast<std::uint8_t>(bitmap.side);
        std::copy(bitmap.name.begin(), bitmap.name.end(), reply.begin() + 2);
    }
    device.set_pending_reply(std::move(reply), c.now);
    return true;
}

bool erase_flash(Device& device, const Command& c) {
    if (device.busy(c.now)) return false;
    device.areas[1].bitmaps.clear();
    device.save_flash();
    device.keep_busy(c.now, kFlashEraseMs);
    return true;
}

bool erase_ram(Device& device, const Command& c) {
    if (device.busy(c.now)) return false;
    device.areas[0].bitmaps.clear();
    device.keep_busy(c.now, kRamEraseMs);
    return true;
}

}  // namespace

std::size_t continue_download(Device& device, const std::uint8_t* bytes, std::size_t count,
                              std::int64_t now) {
    Download& d = device.download;
    if (d.data.empty() && (count < 2 || bytes[0] != 'B' || bytes[1] != 'M')) {
        // Not a bitmap file: the download is abandoned, the bytes are commands.
        d = Download{};
        device.commandError = true;
        return 0;
    }
    std::size_t wanted = count;
    if (d.data.size() + count >= 6) {
        std::uint8_t head[6];
        for (std::size_t i = 0; i < 6; ++i)
            head[i] = i < d.data.size() ? d.data[i] : bytes[i - d.data.size()];
        const std::size_t fileSize =
            head[2] | (head[3] << 8) | (head[4] << 16) | (static_cast<std::size_t>(head[5]) << 24);
        if (fileSize < kMonoPixelOffset || fileSize > kFlashBytes) {
            d = Download{};
            device.commandError = true;
            return count;  // the whole transfer was a refused file
        }
        wanted = std::min(count, fileSize - d.data.size());
    }
    d.data.insert(d.data.end(), bytes, bytes + wanted);
    if (d.data.size() >= 6 && d.data.size() == (d.data[2] | (d.data[3] << 8) | (d.data[4] << 16) |
                                                (static_cast<std::size_t>(d.data[5]) << 24))) {
        device.commandError = !store_download(device, now);
        device.download = Download{};
    }
    return wanted;
}

void register_storage_commands(CommandTable& table) {
    table.add({0x1A, 0x69, 4, true, "download header", download_header});
    table.add({0x1A, 0x6B, 3, false, "bitmap count", bitmap_count});
    table.add({0x1A, 0x6C, 4, false, "bitmap name", bitmap_name});
    table.add({0x1A, 0x6A, 2, false, "erase flash bitmaps", erase_flash});
    table.add({0x1A, 0x68, 2, false, "erase RAM bitmaps", erase_ram});
}

}  // namespace emu
