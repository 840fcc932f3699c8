// Stored bitmaps in RAM and flash (kept across power cycles in the state
// folder), calibration, and firmware update.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "emulator/tests/emulator_fixture.h"

namespace emutest {
namespace {

namespace fs = std::filesystem;

class StorageTest : public EmulatorTest {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("emu-state-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        ::setenv("EMULATOR_STATE_DIR", folder.c_str(), 1);
        EmulatorTest::SetUp();
    }
    void TearDown() override {
        EmulatorTest::TearDown();
        ::unsetenv("EMULATOR_STATE_DIR");
        Emu_Reset(1);
        fs::remove_all(folder);
    }

    // Power cycle, keeping flash.
    void power_cycle() {
        CloseDevice(handle);
        Emu_Reset(0);
        handle = OpenDevice();
        ASSERT_GT(handle, 0);
    }

    void download(char area, char side, const std::string& name, const Bytes& file) {
        Bytes header = {
            0x1B, 0x4A, 0x1A, 0x69, static_cast<std::uint8_t>(area), static_cast<std::uint8_t>(side)};
        header.insert(header.end(), name.begin(), name.end());
        header.push_back(0x0D);
        command(header);
        ASSERT_EQ(write(file), static_cast<int>(file.size()));
        command({0x1A, 0x53});
        Emu_AdvanceTime(2000);
    }

    // count and free bytes of an area
    std::pair<int, std::uint32_t> count(char area) {
        const Bytes r = fetched_reply({0x1A, 0x6B, static_cast<std::uint8_t>(area)}, 6);
        EXPECT_EQ(r.size(), 6u);
        if (r.size() != 6) return {-1, 0};
        EXPECT_EQ(r[0], area);
        return {r[1], r[2] | (r[3] << 8) | (r[4] << 16) | (static_cast<std::uint32_t>(r[5]) << 24)};
    }

    Bytes name_reply(char area, int index) {
        return fetched_reply({0x1A, 0x6C, static_cast<std::uint8_t>(area), static_cast<std::uint8_t>(index)},
                             10);
    }

    static Bytes picture(int width, int height) {
        return mono_bmp(width, height, Bytes(static_cast<std::size_t>((width + 7) / 8) * height, 0xAA));
    }

    fs::path folder;
};

TEST_F(StorageTest, DownloadsCountNamesAndFreeMemory) {
    const Bytes logo = picture(64, 32);
    download('A', 'B', "LOGO", logo);
    download('B', 'b', "SEAL1234", picture(256, 10));
    auto ram = count('A');
    EXPECT_EQ(ram.first, 1);
    EXPECT_EQ(ram.second, 256u * 1024u - logo.size());
    EXPECT_EQ(count('B').first, 1);

    EXPECT_EQ(name_reply('A', 0), (Bytes{'A', 'B', 'L', 'O', 'G', 'O', 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(name_reply('B', 0), (Bytes{'B', 'b', 'S', 'E', 'A', 'L', '1', '2', '3', '4'}));
    EXPECT_EQ(name_reply('A', 1), (Bytes{'A', 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    write({0x1A, 0x6C, 'A', 128});
    EXPECT_TRUE(command_error());

    // The same name again replaces the bitmap.
    download('A', 'B', "LOGO", picture(8, 8));
    EXPECT_EQ(count('A').first, 1);
}

TEST_F(StorageTest, RefusedFiles) {
    // Grey picture (offset 1078), too wide, too tall, not a BMP at all.
    Bytes grey = picture(8, 8);
    grey[10] = 0x36;
    grey[11] = 0x04;
    for (const Bytes& file : {grey, picture(257, 1), picture(8, 2377)}) {
        command({0x1B, 0x4A, 0x1A, 0x69, 'A', 'B', 'X', 0x0D});
        write(file);
        EXPECT_TRUE(command_error());
    }
    command({0x1B, 0x4A, 0x1A, 0x69, 'A', 'B', 'X', 0x0D});
    write({0x1A, 0x53});  // the file never came: the bytes are a command again
    EXPECT_FALSE(command_error());
    write({0x1B, 0x4A, 0x1A, 0x69, 'A', 'B', 'N', 'I', 'N', 'E', 'C', 'H', 'A', 'R', 'S', 0x0D});
    EXPECT_TRUE(command_error());
    write({0x1B, 0x4A, 0x1A, 0x69, 'C', 'B', 'X', 0x0D});
    EXPECT_TRUE(command_error());
    EXPECT_EQ(count('A').first, 0);
}

TEST_F(StorageTest, FileInSeveralTransfersIsPutTogether) {
    const Bytes file = picture(40, 40);
    command({0x1B, 0x4A, 0x1A, 0x69, 'A', 'B', 'P', 0x0D});
    for (std::size_t at = 0; at < file.size(); at += 50) {
        const std::size_t n = std::min<std::size_t>(50, file.size() - at);
        ASSERT_EQ(uWrite(handle, 0, file.data() + at, static_cast<int>(n)), static_cast<int>(n));
    }
    Emu_AdvanceTime(100);
    EXPECT_EQ(count('A').first, 1);
}

TEST_F(StorageTest, FlashSurvivesPowerCyclesAndRamDoesNot) {
    download('A', 'B', "RAM", picture(16, 16));
    download('B', 'B', "FLASH", picture(16, 16));
    command({0x1B, 0x4A});
    command({0x03, 0xCC, 0x33, 0x33, 0xCC});
    command({0x1A, 0x86, 2, 1});  // head mode, fixed
    command({0x1A, 0x53});
    EXPECT_TRUE(fs::exists(folder / "TQ-RMX7KP-flash.bin"));

    power_cycle();
    EXPECT_EQ(count('A').first, 0);
    EXPECT_EQ(count('B').first, 1);
    EXPECT_EQ(name_reply('B', 0)[2], 'F');
    EXPECT_EQ(Emu_StoredBitmapCount(1), 1);

    command({0x1A, 0x6A});  // erase flash: busy for a while, then the probe answers
    command({0x1A, 0x6B, 0x42});
    EXPECT_FALSE(bit(status(), 3, 6));
    EXPECT_FALSE(bit(status(), 1, 1));
    Emu_AdvanceTime(4000);
    EXPECT_TRUE(bit(status(), 3, 6));
    EXPECT_TRUE(bit(status(), 1, 1));
    power_cycle();
    EXPECT_EQ(count('B').first, 0);

    // A damaged flash file gives a factory flash, not a crash.
    FILE* f = std::fopen((folder / "TQ-RMX7KP-flash.bin").c_str(), "wb");
    std::fputs("TQFL garbage", f);
    std::fclose(f);
    power_cycle();
    EXPECT_EQ(count('B').first, 0);
}

TEST_F(StorageTest, EraseRam) {
    download('A', 'B', "ONE", picture(16, 16));
    download('A', 'B', "TWO", picture(16, 16));
    EXPECT_EQ(count('A').first, 2);
    command({0x1A, 0x68});
    Emu_AdvanceTime(200);
    EXPECT_EQ(count('A').first, 0);
}

TEST_F(StorageTest, CisCalibrationReportsProgressAndEnds) {
    command({0x1A, 0x4C});
    command({0x1B, 0x45});
    Bytes r = read(1, 8);
    ASSERT_EQ(r.size(), 8u);
    EXPECT_EQ(r[7], 0);
    Emu_AdvanceTime(1500);
    command({0x1B, 0x45});
    r = read(1, 8);
    EXPECT_EQ(r[7], 0);
    EXPECT_GE(r[0], 40);
    EXPECT_LT(r[0], 60);
    Emu_AdvanceTime(2000);
    command({0x1B, 0x45});
    r = read(1, 8);
    EXPECT_EQ(r[0], 100);
    EXPECT_EQ(r[7], 1);
    command({0x1A, 0x4E});

    Emu_SetCondition(EMU_COND_CALIBRATION_FAILS, 1);
    command({0x1A, 0x4C});
    Emu_AdvanceTime(4000);
    command({0x1B, 0x45});
    EXPECT_EQ(read(1, 8)[7], 2);
    write({0x1A, 0x4E});
    EXPECT_TRUE(command_error());
    EXPECT_TRUE(bit(status(), 1, 1));  // the failed calibration does not leave the device busy
}

TEST_F(StorageTest, SensorCalibrationValues) {
    command({0x03, 0xCC, 0x33, 0x33, 0xCC});
    command({0x1A, 0x6F, 0x01, 0x01});
    command({0x1A, 0x55});
    EXPECT_FALSE(bit(status(), 1, 1));
    Emu_AdvanceTime(6000);
    command({0x1B, 0x4C});
    Bytes r = read(1, 32);
    ASSERT_EQ(r.size(), 32u);
    for (int i = 0; i < 8; ++i) {
        EXPECT_GE(r[static_cast<std::size_t>(i)], 1);
        EXPECT_LE(r[static_cast<std::size_t>(i)], 254);
    }
    Emu_SetCondition(EMU_COND_BAD_SENSOR, 1);
    command({0x1A, 0x55});
    Emu_AdvanceTime(6000);
    command({0x1B, 0x4C});
    r = read(1, 32);
    EXPECT_EQ(*std::min_element(r.begin(), r.begin() + 8), 0);
}

// The operator's calibration: a sheet pushed in by hand past the print head
// covers both paper sensors and the head while the device stays idle, and both
// calibrations run with it in place; a ticket the device fed and holds is not
// idle, and the calibrations are refused as before.
TEST_F(StorageTest, CalibrationsRunWithASheetPushedInByHandButNotWithAHeldTicket) {
    ASSERT_EQ(Emu_InsertTicketPixels(white_ticket(640, 800).data(), 640, 800, 8), 1);  // 80 x 100 mm
    ASSERT_EQ(Emu_PushTicket(70), 1);
    auto s = status();
    EXPECT_TRUE(bit(s, 1, 1));   // idle
    EXPECT_FALSE(bit(s, 1, 3));  // not waiting: the device has not taken it
    EXPECT_TRUE(bit(s, 3, 7));   // sensor A
    EXPECT_TRUE(bit(s, 3, 3));   // sensor B
    EXPECT_TRUE(bit(s, 3, 2));   // print head
    int location = 0, lead = 0;
    ASSERT_EQ(Emu_GetPaperPosition(&location, &lead, nullptr, nullptr), 1);
    EXPECT_EQ(location, EMU_PAPER_INSIDE);
    EXPECT_EQ(lead, 70);

    command({0x1A, 0x4C});
    Emu_AdvanceTime(3500);
    command({0x1B, 0x45});
    EXPECT_EQ(read(1, 8), (Bytes{100, 0, 0, 0, 0, 0, 0, 1}));
    command({0x1A, 0x4E});
    command({0x03, 0xCC, 0x33, 0x33, 0xCC});
    command({0x1A, 0x6F, 0x01, 0x01});
    command({0x1A, 0x55});
    Emu_AdvanceTime(6000);
    command({0x1B, 0x4C});
    EXPECT_EQ(read(1, 32).size(), 32u);
    EXPECT_TRUE(bit(status(), 3, 2));  // the sheet has not moved

    // A device reset leaves the operator's sheet where it is, the device idle.
    ASSERT_EQ(write({0x1B, 0x40}), 2);
    Emu_AdvanceTime(3000);
    CloseDevice(handle);
    handle = OpenDevice();
    ASSERT_GT(handle, 0);
    EXPECT_TRUE(bit(status(), 1, 1));
    EXPECT_TRUE(bit(status(), 3, 2));

    // A feed takes the sheet over; the device then holds it and refuses.
    command({0x1A, 0x4B, 0x00, 0x05});
    Emu_AdvanceTime(100);
    s = status();
    EXPECT_TRUE(bit(s, 1, 3));
    EXPECT_FALSE(bit(s, 1, 1));
    EXPECT_TRUE(bit(s, 3, 2));
    write({0x1A, 0x4C});
    EXPECT_TRUE(command_error());
    write({0x1A, 0x55});
    EXPECT_TRUE(command_error());
}

TEST_F(StorageTest, OnlyAnIdleTicketAtTheEntryCanBePushedInWithinThePassage) {
    EXPECT_EQ(Emu_PushTicket(60), 0);  // no ticket
    ASSERT_EQ(Emu_InsertTicketPixels(white_ticket(640, 800).data(), 640, 800, 8), 1);
    EXPECT_EQ(Emu_PushTicket(19), 0);
    EXPECT_EQ(Emu_PushTicket(111), 0);
    command({0x1A, 0x45, 0x00, 0x00});  // scanning: the rollers have it
    EXPECT_EQ(Emu_PushTicket(60), 0);
}

// A firmware file as the kit's packer makes it: a plain header with the
// device name twice, 3 bytes, then Intel HEX lines scrambled with the key.
Bytes firmware_file(const std::string& version, bool badChecksum) {
    const std::string image = std::string(40, '\x11') + "MainFirmware:V" + version + std::string(30, '\x22');
    std::string text;
    char line[80];
    for (std::size_t at = 0; at < image.size(); at += 16) {
        const std::size_t n = std::min<std::size_t>(16, image.size() - at);
        unsigned sum = static_cast<unsigned>(n + (at >> 8) + (at & 0xFF));
        std::snprintf(line, sizeof line, ":%02X%04X00", static_cast<unsigned>(n), static_cast<unsigned>(at));
        text += line;
        for (std::size_t i = 0; i < n; ++i) {
            const auto b = static_cast<std::uint8_t>(image[at + i]);
            sum += b;
            std::snprintf(line, sizeof line, "%02x", b);
            text += line;
        }
        std::snprintf(line, sizeof line, "%02X\r\n", (0x100 - (sum & 0xFF) + (badChecksum ? 1 : 0)) & 0xFF);
        text += line;
    }
    text += ":00000001FF\r\n";
    const std::string head = "JKFW TQ-RMX7KP firmware for TQ-RMX7KP";
    Bytes file(head.begin(), head.end());
    file.insert(file.end(), {0x0D, 0x0A, 0x00});
    const std::uint8_t key[4] = {0x5A, 0xC3, 0x3C, 0xA5};
    for (std::size_t i = 0; i < text.size(); ++i)
        file.push_back(static_cast<std::uint8_t>(text[i]) ^ key[i % 4]);
    return file;
}

TEST_F(StorageTest, FirmwareUpdateRestartsWithTheNewVersion) {
    command({0x1B, 0x49});
    Bytes r = read(1, 15);
    EXPECT_EQ(std::string(r.begin(), r.end()), "RMX7KP/100317/E");

    const Bytes file = firmware_file("240517", false);
    ASSERT_EQ(write(file), static_cast<int>(file.size()));
    EXPECT_EQ(OpenDevice(), -1);  // restarting
    Emu_AdvanceTime(3000);
    power_cycle();  // and the version is kept in flash
    command({0x1B, 0x49});
    r = read(1, 15);
    EXPECT_EQ(std::string(r.begin(), r.end()), "RMX7KP/240517/E");
    char version[7];
    Emu_GetFirmwareVersion(version);
    EXPECT_STREQ(version, "240517");
}

TEST_F(StorageTest, DamagedFirmwareIsRefused) {
    const Bytes bad = firmware_file("999999", true);
    ASSERT_EQ(write(bad), static_cast<int>(bad.size()));
    EXPECT_TRUE(command_error());
    char version[7];
    Emu_GetFirmwareVersion(version);
    EXPECT_STREQ(version, "100317");
    // The device name only once: not a firmware file, so commands that do not parse.
    Bytes once = firmware_file("111111", false);
    once[5] = 'X';
    write(once);
    EXPECT_TRUE(command_error());
    Emu_GetFirmwareVersion(version);
    EXPECT_STREQ(version, "100317");
}

}  // namespace
}  // namespace emutest
