// The emulator's building blocks on their own: BMP reading and writing, the
// firmware file check, the flash image, the command table, the fault list.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "emulator/ScannerEmulator.h"
#include "emulator/bmp_file.h"
#include "emulator/command_table.h"
#include "emulator/faults.h"
#include "emulator/firmware_image.h"
#include "emulator/flash_store.h"

namespace emu {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A BMP with the given depth, palette entries and pixel rows as stored in the file.
Bytes bmp(int width, int height, int bits, const Bytes& palette, const Bytes& storedRows) {
    Bytes out = {'B', 'M'};
    const auto offset = static_cast<std::uint32_t>(54 + palette.size());
    put32(out, offset + static_cast<std::uint32_t>(storedRows.size()));
    put32(out, 0);
    put32(out, offset);
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(width));
    put32(out, static_cast<std::uint32_t>(height));
    out.insert(out.end(), {1, 0, static_cast<std::uint8_t>(bits), 0});
    put32(out, 0);
    put32(out, static_cast<std::uint32_t>(storedRows.size()));
    put32(out, 0);
    put32(out, 0);
    put32(out, static_cast<std::uint32_t>(palette.size() / 4));
    put32(out, 0);
    out.insert(out.end(), palette.begin(), palette.end());
    out.insert(out.end(), storedRows.begin(), storedRows.end());
    return out;
}

TEST(BmpFileTest, ReadsEveryDepthBottomUpAndTopDown) {
    GreyImage image;
    // 24-bit 2 x 2, bottom-up: stored bottom row first (blue, green, red).
    const Bytes rows24 = {0, 0, 255, 255, 255, 255, 0, 0, /* bottom: red, white */
                          0, 0, 0,   0,   255, 0,   0, 0 /* top: black, green */};
    ASSERT_TRUE(decode_bmp(bmp(2, 2, 24, {}, rows24).data(), 69, image) == false);  // cut short
    const Bytes file24 = bmp(2, 2, 24, {}, rows24);
    ASSERT_TRUE(decode_bmp(file24.data(), file24.size(), image));
    EXPECT_EQ(image.at(0, 0), 0);
    EXPECT_EQ(image.at(1, 0), 150);  // green luminance 0.587
    EXPECT_EQ(image.at(0, 1), 76);   // red 0.299
    EXPECT_EQ(image.at(1, 1), 255);

    // 8-bit with a two-entry palette, top-down (negative height).
    Bytes file8 = bmp(3, 1, 8, {0, 0, 0, 0, 200, 200, 200, 0}, {1, 0, 1, 0});
    file8[22] = 0xFF;
    file8[23] = 0xFF;
    file8[24] = 0xFF;
    file8[25] = 0xFF;  // height -1
    ASSERT_TRUE(decode_bmp(file8.data(), file8.size(), image));
    EXPECT_EQ(image.height, 1);
    EXPECT_EQ(image.pixels, (Bytes{200, 0, 200}));

    // 4-bit and 1-bit.
    Bytes palette16(64, 0);
    palette16[4 * 15] = palette16[4 * 15 + 1] = palette16[4 * 15 + 2] = 255;
    const Bytes file4 = bmp(3, 1, 4, palette16, {0xF0, 0xF0, 0, 0});
    ASSERT_TRUE(decode_bmp(file4.data(), file4.size(), image));
    EXPECT_EQ(image.pixels, (Bytes{255, 0, 255}));
    const Bytes file1 = bmp(10, 1, 1, {0, 0, 0, 0, 255, 255, 255, 0}, {0xA0, 0x40, 0, 0});
    ASSERT_TRUE(decode_bmp(file1.data(), file1.size(), image));
    EXPECT_EQ(image.pixels, (Bytes{255, 0, 255, 0, 0, 0, 0, 0, 0, 255}));
}

TEST(BmpFileTest, RefusesMalformedFiles) {
    GreyImage image;
    const Bytes good = bmp(2, 1, 24, {}, {1, 2, 3, 4, 5, 6, 0, 0});
    ASSERT_TRUE(decode_bmp(good.data(), good.size(), image));
    auto broken = [&](std::size_t at, std::uint8_t value) {
        Bytes b = good;
        b[at] = value;
        return b;
    };
    for (const Bytes& b : {broken(0, 'X'), broken(28, 16), broken(30, 1), broken(18, 0), broken(10, 200),
                           broken(21, 0x7F) /* width 2^31 */, Bytes(good.begin(), good.end() - 1)}) {
        EXPECT_FALSE(decode_bmp(b.data(), b.size(), image));
    }
    EXPECT_FALSE(decode_bmp(nullptr, 0, image));
}

TEST(BmpFileTest, WrittenFilesReadBack) {
    GreyImage image;
    image.width = 5;
    image.height = 3;
    for (int i = 0; i < 15; ++i) image.pixels.push_back(static_cast<std::uint8_t>(i * 17));
    const Bytes grey = encode_grey_bmp(image, 8000);
    EXPECT_EQ(grey.size(), 1078u + 8u * 3u);
    GreyImage back;
    ASSERT_TRUE(decode_bmp(grey.data(), grey.size(), back));
    EXPECT_EQ(back.pixels, image.pixels);

    // 9 x 2 one-bit: two bytes per given row.
    const Bytes mono = encode_mono_bmp(Bytes{0x0F, 0x80, 0xF0, 0x00}.data(), 2, 9, 2, 0);
    EXPECT_EQ(mono.size(), 62u + 8u);
    ASSERT_TRUE(decode_bmp(mono.data(), mono.size(), back));
    EXPECT_EQ(back.pixels, (Bytes{0, 0, 0, 0, 255, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 0, 0, 0}));
}

std::string hex_line(std::uint8_t type, std::uint16_t address, const std::string& data) {
    char cell[16];
    unsigned sum = static_cast<unsigned>(data.size() + (address >> 8) + (address & 0xFF) + type);
    std::snprintf(cell, sizeof cell, ":%02X%04X%02X", static_cast<unsigned>(data.size()), address, type);
    std::string line = cell;
    for (unsigned char c : data) {
        std::snprintf(cell, sizeof cell, "%02X", c);
        line += cell;
        sum += c;
    }
    std::snprintf(cell, sizeof cell, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return line + cell;
}

Bytes scramble(const std::string& head, const std::string& text) {
    Bytes out(head.begin(), head.end());
    for (std::size_t i = 0; i < text.size(); ++i)
        out.push_back(static_cast<std::uint8_t>(text[i]) ^ kFirmwareKey[i % 4]);
    return out;
}

TEST(FirmwareImageTest, FindsTheScrambledPartAfterTheSecondName) {
    const std::string head = "xxTQ-RMX7KPyyTQ-RMX7KP\r\n\x01";
    const Bytes file =
        scramble(head, hex_line(0, 0, "abcMainFirmware:V1") + "\n" + hex_line(4, 0, "\x01\x02") + "\r\n" +
                           hex_line(0, 18, "23456zz") + "\r\n" + hex_line(1, 0, ""));
    EXPECT_EQ(scrambled_start(file.data(), file.size()), static_cast<long>(head.size()));
    Bytes image;
    std::string version;
    ASSERT_TRUE(unpack_firmware(file.data(), file.size(), image, version));
    EXPECT_EQ(version, "123456");
    EXPECT_EQ(image.size(), 18u + 7u);  // the type 04 record carries no image bytes

    // The name once, or right at the end, is no firmware file.
    const std::string once = "TQ-RMX7KP and TQ-RMX7K";
    EXPECT_EQ(scrambled_start(reinterpret_cast<const std::uint8_t*>(once.data()), once.size()), -1);
    const std::string tail = "TQ-RMX7KPTQ-RMX7KP";
    EXPECT_FALSE(
        unpack_firmware(reinterpret_cast<const std::uint8_t*>(tail.data()), tail.size(), image, version));
}

TEST(FirmwareImageTest, RefusesBadRecordsAndMissingVersions) {
    const std::string head = "TQ-RMX7KP TQ-RMX7KP\r\n\x01";
    Bytes image;
    std::string version;
    std::string good = hex_line(0, 0, "MainFirmware:V654321");
    Bytes file = scramble(head, good + "\r\n");
    EXPECT_TRUE(unpack_firmware(file.data(), file.size(), image, version));
    std::string bad = good;
    bad[bad.size() - 1] = bad[bad.size() - 1] == '0' ? '1' : '0';  // checksum
    file = scramble(head, bad + "\r\n");
    EXPECT_FALSE(unpack_firmware(file.data(), file.size(), image, version));
    file = scramble(head, hex_line(0, 0, "MainFirmware:V65432") + "\r\n");  // one short
    EXPECT_FALSE(unpack_firmware(file.data(), file.size(), image, version));
    file = scramble(head, hex_line(0, 0, "no marker here") + "\r\n");
    EXPECT_FALSE(unpack_firmware(file.data(), file.size(), image, version));
    file = scramble(head, "garbage\r\n");
    EXPECT_FALSE(unpack_firmware(file.data(), file.size(), image, version));
    file = scramble(head, hex_line(1, 0, "") + "\r\n");  // no data at all
    EXPECT_FALSE(unpack_firmware(file.data(), file.size(), image, version));
}

TEST(FlashStoreTest, RoundTripAndDamage) {
    FlashImage image;
    image.fixed.linesPerMm = 4;
    image.fixed.darkness = 201;
    image.firmwareVersion = "240101";
    image.bitmaps.push_back({'b', "LOGO", Bytes(100, 7)});
    const Bytes bytes = encode_flash(image);
    FlashImage back;
    ASSERT_TRUE(decode_flash(bytes, back));
    EXPECT_EQ(back.fixed.linesPerMm, 4);
    EXPECT_EQ(back.fixed.darkness, 201);
    EXPECT_EQ(back.firmwareVersion, "240101");
    ASSERT_EQ(back.bitmaps.size(), 1u);
    EXPECT_EQ(back.bitmaps[0].side, 'b');
    EXPECT_EQ(back.bitmaps[0].name, "LOGO");
    EXPECT_EQ(back.bitmaps[0].file, Bytes(100, 7));
    // Every cut of the file is refused and leaves the target untouched.
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        FlashImage target;
        target.firmwareVersion = "keep";
        EXPECT_FALSE(decode_flash(Bytes(bytes.begin(), bytes.begin() + static_cast<long>(n)), target));
        EXPECT_EQ(target.firmwareVersion, "keep");
    }
    Bytes longer = bytes;
    longer.push_back(0);
    EXPECT_FALSE(decode_flash(longer, back));
}

TEST(CommandTableTest, EveryCommandIsRegisteredOnceWithAHandler) {
    const CommandTable& table = command_table();
    EXPECT_GE(table.size(), 35u);
    const std::uint8_t leads[] = {0x1A, 0x1B, 0x03};
    std::set<int> seen;
    int found = 0;
    for (std::uint8_t lead : leads) {
        for (int op = 0; op < 256; ++op) {
            const CommandSpec* spec = table.find(lead, static_cast<std::uint8_t>(op));
            if (spec == nullptr) continue;
            ++found;
            EXPECT_NE(spec->handler, nullptr);
            EXPECT_GE(spec->length, 2u);
        }
    }
    EXPECT_EQ(static_cast<std::size_t>(found), table.size());  // no duplicates hidden behind the first
}

TEST(FaultsTest, SkipCountAndPipeFilter) {
    Faults faults;
    faults.arm(EMU_FAULT_READ_FAIL, 3, 1, 2);
    EXPECT_FALSE(faults.fires(EMU_FAULT_READ_FAIL, 1));  // other pipe: not even counted
    EXPECT_FALSE(faults.fires(EMU_FAULT_READ_FAIL, 3));  // skipped
    EXPECT_TRUE(faults.fires(EMU_FAULT_READ_FAIL, 3));
    EXPECT_TRUE(faults.fires(EMU_FAULT_READ_FAIL, 3));
    EXPECT_FALSE(faults.fires(EMU_FAULT_READ_FAIL, 3));  // used up
    faults.arm(EMU_FAULT_WRITE_FAIL, -1, 0, -1);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(faults.fires(EMU_FAULT_WRITE_FAIL, i % 2));
    EXPECT_FALSE(faults.fires(EMU_FAULT_STATUS_FAIL));
    faults.clear();
    EXPECT_FALSE(faults.fires(EMU_FAULT_WRITE_FAIL, 0));
}

}  // namespace
}  // namespace emu
