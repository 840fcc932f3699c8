// Printing on a held ticket: the print buffer, text and stored pictures, the
// print run, the printed output, and the paper error.

#include <cstdlib>
#include <filesystem>
#include <string>

#include "emulator/tests/emulator_fixture.h"

namespace emutest {
namespace {

class PrintTest : public EmulatorTest {
protected:
    void SetUp() override {
        EmulatorTest::SetUp();
        Bytes ticket = white_ticket(400, 480);  // 50 x 60 mm
        ASSERT_EQ(Emu_InsertTicketPixels(ticket.data(), 400, 480, 8), 1);
        // Scan with "print" as the action after the scan: the ticket waits at the head.
        command({0x1A, 0x45, 0x01, 0x00});
        Emu_AdvanceTime(10000);
        while (pending_bytes() > 0) read(3, static_cast<int>(pending_bytes()));
        Emu_AdvanceTime(5000);
        ASSERT_TRUE(bit(status(), 1, 3));
    }

    Bytes last_print(int& width, int& height) {
        EXPECT_EQ(Emu_GetLastPrint(nullptr, 0, &width, &height), 1);
        Bytes pixels(static_cast<std::size_t>(width) * height);
        EXPECT_EQ(Emu_GetLastPrint(pixels.data(), static_cast<int>(pixels.size()), &width, &height), 1);
        return pixels;
    }

    void run_print(int after) {
        command({0x1A, 0x4A, 0x01, static_cast<std::uint8_t>(after)});
        EXPECT_TRUE(bit(status(), 1, 5));  // printing
        Emu_AdvanceTime(10000);
    }
};

// Bounding box of the inked dots (level below 255).
struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};
Box ink_box(const Bytes& pixels, int width, int height) {
    Box b;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (pixels[static_cast<std::size_t>(y) * width + x] < 255) {
                b.left = std::min(b.left, x);
                b.right = std::max(b.right, x);
                b.top = std::min(b.top, y);
                b.bottom = std::max(b.bottom, y);
            }
    return b;
}

TEST_F(PrintTest, TextIsPrintedWhereAndHowLargeItWasAsked) {
    command({0x1A, 0x47, 40, 0});  // 40 mm
    EXPECT_TRUE(bit(status(), 1, 5));
    command({0x1B, 0x4A});
    command({0x1A, 0x49, 0, 2, 10, 0, '0', 1, 'H', 'I', 0x0D});  // byte font, size 1: 12 x 16 cells
    command({0x1A, 0x53});
    run_print(0);
    auto s = status();
    EXPECT_FALSE(bit(s, 1, 5));
    EXPECT_TRUE(bit(s, 0, 7));  // print done
    EXPECT_TRUE(bit(s, 1, 3));  // stop: still held

    int width = 0, height = 0;
    const Bytes print = last_print(width, height);
    EXPECT_EQ(width, 256);
    EXPECT_EQ(height, 320);
    const Box b = ink_box(print, width, height);
    // Text box at (16, 80), two cells of 12 x 16 dots; the glyphs use 5 x 7 of 6 x 8.
    EXPECT_EQ(b.left, 16);
    EXPECT_EQ(b.top, 80);
    EXPECT_LE(b.right, 16 + 24 - 1);
    EXPECT_EQ(b.bottom, 80 + 14 - 1);
    // 'H' has its left stem inked from top to bottom.
    for (int y = 80; y < 94; ++y) EXPECT_LT(print[static_cast<std::size_t>(y) * width + 16], 255);
}

TEST_F(PrintTest, RotatedTextTurnsItsBox) {
    command({0x1A, 0x47, 40, 0});
    command({0x1A, 0x49, 1, 4, 5, 0, '9', 0, 'A', 'B', 'C', 0x0D});  // Courier 0: 9 x 16, 90 degrees
    run_print(0);
    int width = 0, height = 0;
    const Bytes print = last_print(width, height);
    const Box b = ink_box(print, width, height);
    EXPECT_GE(b.left, 32);
    EXPECT_GE(b.top, 40);
    EXPECT_LT(b.right - b.left, 16);  // the box stands upright: narrow ...
    EXPECT_GT(b.bottom - b.top, 20);  // ... and tall
}

TEST_F(PrintTest, FontsAndPlacementsAreChecked) {
    command({0x1A, 0x47, 40, 0});
    write({0x1A, 0x49, 0, 0, 0, 0, 'P', 7, 'A', 0x0D});
    EXPECT_TRUE(command_error());
    write({0x1A, 0x49, 0, 0, 0, 0, '9', 8, 'A', 0x0D});
    EXPECT_TRUE(command_error());
    command({0x1A, 0x49, 0, 0, 0, 0, '0', 8, 'A', 0x0D});
    command({0x1A, 0x49, 3, 32, 0x29, 0x01, 'P', 18, 'A', 0x0D});
    write({0x1A, 0x49, 4, 0, 0, 0, '0', 0, 'A', 0x0D});
    EXPECT_TRUE(command_error());
    write({0x1A, 0x49, 0, 33, 0, 0, '0', 0, 'A', 0x0D});
    EXPECT_TRUE(command_error());
    write({0x1A, 0x48, 0, 0, 0, 'N', 'O', 'N', 'E', 0x0D});  // no such picture
    EXPECT_TRUE(command_error());
}

TEST_F(PrintTest, StoredPictureIsPrintedDotForDot) {
    // A 16 x 16 picture: a black frame one dot wide.
    Bytes rows(2 * 16, 0xFF);
    rows[0] = rows[1] = rows[30] = rows[31] = 0x00;
    for (int y = 1; y < 15; ++y) {
        rows[static_cast<std::size_t>(2 * y)] = 0x7F;
        rows[static_cast<std::size_t>(2 * y + 1)] = 0xFE;
    }
    const Bytes file = mono_bmp(16, 16, rows);
    command({0x1B, 0x4A, 0x1A, 0x69, 'A', 'B', 'F', 'R', 'A', 'M', 'E', 0x0D});
    command(file);
    command({0x1A, 0x53});
    Emu_AdvanceTime(100);  // the RAM write

    command({0x1A, 0x47, 20, 0});
    command({0x1B, 0x4A});
    command({0x1A, 0x48, 3, 2, 0, 'F', 'R', 'A', 'M', 'E', 0x0D});
    command({0x1A, 0x53});
    run_print(1);
    int width = 0, height = 0;
    const Bytes print = last_print(width, height);
    ASSERT_EQ(print.size(), 256u * 160u);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const bool frame = x == 0 || y == 0 || x == 15 || y == 15;
            EXPECT_EQ(print[static_cast<std::size_t>(16 + y) * width + 24 + x] < 255, frame) << x << "," << y;
        }
    }
    // Out paper after the print: the ticket leaves the device.
    int out = 0;
    Emu_GetPaperPosition(nullptr, nullptr, &out, nullptr);
    EXPECT_EQ(out, 1);
    EXPECT_TRUE(bit(status(), 1, 1));
}

TEST_F(PrintTest, DarknessSetsTheInkLevel) {
    command({0x1A, 0x46, 0, 0});
    command({0x1A, 0x47, 10, 0});
    command({0x1A, 0x49, 0, 0, 0, 0, '0', 0, 'I', 0x0D});
    run_print(0);
    int width = 0, height = 0;
    Bytes light = last_print(width, height);
    command({0x1A, 0x46, 255, 0});
    command({0x1A, 0x47, 10, 0});
    command({0x1A, 0x49, 0, 0, 0, 0, '0', 0, 'I', 0x0D});
    run_print(0);
    Bytes dark = last_print(width, height);
    const std::uint8_t lightInk = *std::min_element(light.begin(), light.end());
    const std::uint8_t darkInk = *std::min_element(dark.begin(), dark.end());
    EXPECT_EQ(darkInk, 0);
    EXPECT_GT(lightInk, 150);
    EXPECT_LT(lightInk, 255);
}

TEST_F(PrintTest, PrintedTicketIsWrittenToThePrintFolder) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("emu-print-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    ::setenv("EMULATOR_PRINT_DIR", folder.c_str(), 1);
    SetUp();  // power-on reads the folder name
    ::unsetenv("EMULATOR_PRINT_DIR");
    command({0x1A, 0x47, 10, 0});
    command({0x1A, 0x49, 0, 0, 0, 0, '0', 2, 'X', 0x0D});
    run_print(0);
    char path[512] = {};
    ASSERT_EQ(Emu_GetLastPrintFile(path, sizeof path), 1);
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(fs::path(path).parent_path(), folder);
    // The printed ticket is the 50 x 60 mm ticket as a grey BMP with the print on it.
    EXPECT_EQ(fs::file_size(path), 1078u + 400u * 480u);
    int width = 0, height = 0;
    ASSERT_EQ(Emu_GetLastPrintedTicket(nullptr, 0, &width, &height), 1);
    EXPECT_EQ(width, 400);
    EXPECT_EQ(height, 480);
    fs::remove_all(folder);
}

TEST_F(PrintTest, NoPaperAtTheHeadStopsWithAPaperError) {
    command({0x1A, 0x47, 10, 0});
    Emu_RemoveTicket();
    EXPECT_TRUE(bit(status(), 1, 5));  // the job is still pending
    command({0x1A, 0x4A, 0x01, 0x01});
    auto s = status();
    EXPECT_TRUE(bit(s, 0, 6));
    EXPECT_FALSE(bit(s, 1, 5));
    EXPECT_FALSE(bit(s, 0, 7));
    command({0x1B, 0x46});
    EXPECT_FALSE(bit(status(), 0, 6));
}

TEST_F(PrintTest, JobLongerThanTheTicketRunsOutOfPaper) {
    command({0x1A, 0x47, 80, 0});  // 80 mm on a 60 mm ticket
    command({0x1A, 0x49, 0, 0, 70, 0, '0', 0, 'Z', 0x0D});
    command({0x1A, 0x4A, 0x01, 0x01});
    Emu_AdvanceTime(10000);
    const auto s = status();
    EXPECT_TRUE(bit(s, 0, 6));   // paper error
    EXPECT_FALSE(bit(s, 0, 7));  // not done
    EXPECT_FALSE(bit(s, 1, 5));
    EXPECT_TRUE(bit(s, 1, 3));  // not ejected: the ticket is held
}

TEST_F(PrintTest, RefusedStartDropsTheJobAndNeedsAHeldTicket) {
    command({0x1A, 0x47, 10, 0});
    Emu_SetCondition(EMU_COND_HEAD_HOT, 1);
    write({0x1A, 0x4A, 0x01, 0x00});
    auto s = status();
    EXPECT_TRUE(bit(s, 0, 5));
    EXPECT_FALSE(bit(s, 1, 5));  // no print stays pending forever
    Emu_SetCondition(EMU_COND_HEAD_HOT, 0);
    write({0x1A, 0x4A, 0x01, 0x00});  // no job
    EXPECT_TRUE(command_error());
    write({0x1A, 0x47, 0x2A, 0x01});  // 298 mm
    EXPECT_TRUE(command_error());
    command({0x1A, 0x4B, 0x00, 0x00});  // eject
    Emu_AdvanceTime(5000);
    write({0x1A, 0x47, 10, 0});  // nothing held
    EXPECT_TRUE(command_error());
}

TEST_F(PrintTest, FeedingMovesTheTicketAndReportsItsPosition) {
    command({0x1B, 0x44});
    EXPECT_EQ(read(1, 4), (Bytes{1, 0, 60, 0}));
    command({0x1A, 0x4B, 0x01, 30});  // back 30 mm
    EXPECT_TRUE(bit(status(), 1, 6));
    Emu_AdvanceTime(1000);
    EXPECT_FALSE(bit(status(), 1, 6));
    command({0x1B, 0x44});
    EXPECT_EQ(read(1, 4), (Bytes{0, 0, 30, 0}));
    command({0x1A, 0x4B, 0x01, 0x00});  // all the way back out of the entry
    Emu_AdvanceTime(1000);
    int location = -1, back = 0;
    Emu_GetPaperPosition(&location, nullptr, nullptr, &back);
    EXPECT_EQ(location, EMU_PAPER_NONE);
    EXPECT_EQ(back, 1);
    command({0x1B, 0x44});
    EXPECT_EQ(read(1, 4), (Bytes{0, 0, 0, 0}));
}

TEST_F(PrintTest, JamWhileFeedingNeedsTheTicketTakenOut) {
    Emu_SetCondition(EMU_COND_JAM_ON_NEXT_MOVE, 1);
    command({0x1A, 0x4B, 0x00, 0x00});
    Emu_AdvanceTime(5000);
    auto s = status();
    EXPECT_TRUE(bit(s, 0, 3));
    EXPECT_TRUE(bit(s, 1, 7));
    write({0x1A, 0x4B, 0x00, 0x00});
    EXPECT_TRUE(command_error());
    Emu_RemoveTicket();
    s = status();
    EXPECT_FALSE(bit(s, 0, 3) || bit(s, 1, 7));
}

}  // namespace
}  // namespace emutest
