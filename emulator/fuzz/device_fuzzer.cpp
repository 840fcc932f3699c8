// Feeds arbitrary transfers to the emulated device (commands, reads of both
// pipes, status requests, time passing), and arbitrary files to its BMP,
// firmware and flash readers. Nothing may crash or read out of bounds.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "emulator/bmp_file.h"
#include "emulator/device.h"
#include "emulator/firmware_image.h"
#include "emulator/flash_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace emu;
    GreyImage image;
    decode_bmp(data, size, image);
    std::vector<std::uint8_t> firmware;
    std::string version;
    unpack_firmware(data, size, firmware, version);
    FlashImage flash;
    decode_flash(std::vector<std::uint8_t>(data, data + size), flash);

    Device device;
    std::int64_t now = 0;
    device.power_on(now, false);
    GreyImage ticket;
    ticket.width = 64;
    ticket.height = 96;
    ticket.pixels.assign(64 * 96, 200);
    device.insert_ticket(ticket, now);
    std::uint8_t buffer[512];
    std::size_t pos = 0;
    while (pos < size) {
        const std::uint8_t op = data[pos++];
        const std::size_t n = pos < size ? data[pos++] % 64 : 0;
        switch (op % 5) {
            case 0: {
                const std::size_t take = std::min(n, size - pos);
                device.receive(data + pos, take, now);
                pos += take;
                break;
            }
            case 1:
                device.read_reply(buffer, static_cast<int>(n * 8));
                break;
            case 2:
                device.read_bulk(buffer, static_cast<int>(n * 8));
                break;
            case 3:
                device.status(now);
                break;
            default:
                now += static_cast<std::int64_t>(n) * 50;
                break;
        }
        device.update(now);
    }
    return 0;
}
