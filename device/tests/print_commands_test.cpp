// Printing and paper handling: exact command bytes, font and position
// checks, and the status-driven print, buffer and feed loops.

#include "device/tests/kestrom_fixture.h"

namespace kestrom_test {
namespace {

using Writes = std::vector<Bytes>;

class PrintCommands : public KestromTest {
protected:
    void SetUp() override {
        KestromTest::SetUp();
        open_port();
    }
};

TEST_F(PrintCommands, Darkness) {
    EXPECT_EQ(SetPrintDarkness(256, 0), 0);
    EXPECT_EQ(SetPrintDarkness(-1, 0), 0);
    EXPECT_EQ(SetPrintDarkness(5, 2), 0);
    EXPECT_TRUE(link().calls.empty());
    EXPECT_EQ(SetPrintDarkness(200, 0), 1);
    EXPECT_EQ(SetPrintDarkness(7, 1), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1A, 0x46, 0xC8, 0x00}), bytes({0x03, 0xCC, 0x33, 0x33, 0xCC}),
                                bytes({0x1A, 0x46, 0x07, 0x01})}));
}

TEST_F(PrintCommands, CharacterPositionBytesAndChecks) {
    device_status(StatusBits().waiting().printing());
    EXPECT_EQ(SetCharPrintPosition(0, 0, 300, 48, 0, "A"), 0);
    EXPECT_EQ(SetCharPrintPosition(4, 0, 0, 48, 0, "A"), 0);
    EXPECT_EQ(SetCharPrintPosition(0, 33, 0, 48, 0, "A"), 0);
    EXPECT_EQ(SetCharPrintPosition(0, 0, 0, 'P', 7, "A"), 0);
    EXPECT_EQ(SetCharPrintPosition(0, 0, 0, '9', 8, "A"), 0);
    EXPECT_EQ(SetCharPrintPosition(0, 0, 0, 'X', 1, "A"), 0);
    EXPECT_EQ(SetCharPrintPosition(0, 0, 0, '0', 8, nullptr), 0);
    EXPECT_TRUE(link().calls.empty());

    EXPECT_EQ(SetCharPrintPosition(1, 10, 256, 80, 10, "AB"), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1B, 0x4A}),
                                bytes({0x1A, 0x49, 0x01, 0x0A, 0x00, 0x01, 0x50, 0x0A, 0x41, 0x42, 0x0D}),
                                bytes({0x1A, 0x53})}));
    for (int size : {6, 8, 10, 12, 14, 18}) EXPECT_EQ(SetCharPrintPosition(0, 0, 0, 'P', size, "x"), 1);
    for (int size = 0; size <= 8; ++size) EXPECT_EQ(SetCharPrintPosition(3, 32, 297, '0', size, ""), 1);
    for (int size = 0; size <= 7; ++size) EXPECT_EQ(SetCharPrintPosition(2, 0, 0, '9', size, "y"), 1);
}

TEST_F(PrintCommands, RejectedPlacementIsClearedAndFails) {
    device_status(StatusBits().waiting().printing().command_error());
    EXPECT_EQ(SetCharPrintPosition(0, 0, 0, '0', 1, "A"), 0);
    EXPECT_EQ(writes(), (Writes{bytes({0x1B, 0x4A}), bytes({0x1A, 0x49, 0, 0, 0, 0, '0', 1, 'A', 0x0D}),
                                bytes({0x1B, 0x46}), bytes({0x1A, 0x53})}));

    // A failed query after the placement fails it too; the bracket is closed.
    link().calls.clear();
    link().status.clear();
    EXPECT_EQ(SetPicPrintPosition(0, 0, "LOGO"), 0);
    EXPECT_EQ(writes().back(), bytes({0x1A, 0x53}));
}

TEST_F(PrintCommands, PicturePosition) {
    EXPECT_EQ(SetPicPrintPosition(0, 0, "ABCDEFGHI"), 0);
    EXPECT_EQ(SetPicPrintPosition(33, 0, "A"), 0);
    EXPECT_EQ(SetPicPrintPosition(0, 298, "A"), 0);
    EXPECT_EQ(SetPicPrintPosition(0, 0, nullptr), 0);
    EXPECT_TRUE(link().calls.empty());
    device_status(StatusBits().waiting().printing());
    EXPECT_EQ(SetPicPrintPosition(32, 0x123, "ABCDEFGH"), 1);
    EXPECT_EQ(writes(),
              (Writes{bytes({0x1B, 0x4A}),
                      bytes({0x1A, 0x48, 0x20, 0x23, 0x01, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 0x0D}),
                      bytes({0x1A, 0x53})}));
}

TEST_F(PrintCommands, PrintBufferWaitsForThePrintState) {
    device_status(StatusBits().idle());
    EXPECT_EQ(SetPrintBuffer(100), 0);  // not waiting
    device_status(StatusBits().waiting().status_error());
    EXPECT_EQ(SetPrintBuffer(100), 0);
    device_status(StatusBits().waiting());
    EXPECT_EQ(SetPrintBuffer(298), 0);
    EXPECT_TRUE(writes().empty());

    queue_query(StatusBits().waiting());  // the check
    queue_query(StatusBits().waiting());
    queue_query(StatusBits().waiting().status_error().jam());  // jam: cleared, go on
    queue_query(StatusBits().waiting());                       // CorrectFakeJamError's query
    device_status(StatusBits().waiting().printing());
    pauses.clear();
    EXPECT_EQ(SetPrintBuffer(0x10A), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1A, 0x47, 0x0A, 0x01}), bytes({0x1B, 0x46})}));
    EXPECT_EQ(pauses, (std::vector<int>{50, 50, 50, 50}));

    // Never printing: ten polls, then 0.
    link().calls.clear();
    pauses.clear();
    device_status(StatusBits().waiting());
    EXPECT_EQ(SetPrintBuffer(50), 0);
    EXPECT_EQ(link().calls_of("GetSpecStatus").size(), 2u * 11);
    // An error state without a jam ends at once; so does a command error.
    queue_query(StatusBits().waiting());
    device_status(StatusBits().waiting().status_error());
    EXPECT_EQ(SetPrintBuffer(50), 0);
    queue_query(StatusBits().waiting());
    device_status(StatusBits().waiting().command_error());
    EXPECT_EQ(SetPrintBuffer(50), 0);
}

TEST_F(PrintCommands, StartPrintOutcomes) {
    EXPECT_EQ(StartPrint(2, 0), 0);
    EXPECT_EQ(StartPrint(1, 2), 0);
    device_status(StatusBits().waiting());
    EXPECT_EQ(StartPrint(1, 1), 0);  // not in the print state: nothing sent
    EXPECT_TRUE(writes().empty());

    queue_query(StatusBits().printing());
    queue_query(StatusBits().printing());
    queue_query(StatusBits().printing());
    queue_query(StatusBits().idle());
    device_status(StatusBits().idle().print_done());
    pauses.clear();
    EXPECT_EQ(StartPrint(1, 1), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1A, 0x4A, 0x01, 0x01})}));
    EXPECT_EQ(pauses, (std::vector<int>{300, 50, 50}));

    // Printed but not confirmed.
    queue_query(StatusBits().printing());
    device_status(StatusBits().idle());
    EXPECT_EQ(StartPrint(0, 0), 0);

    // Paper error (KESTROM_PRINT_PAPER_ERROR), with the jam cleared first.
    link().calls.clear();
    queue_query(StatusBits().printing());
    queue_query(StatusBits().printing().paper_error().jam());
    device_status(StatusBits().waiting());
    EXPECT_EQ(StartPrint(1, 0), 2);
    EXPECT_EQ(writes(), (Writes{bytes({0x1A, 0x4A, 0x01, 0x00}), bytes({0x1B, 0x46})}));
    queue_query(StatusBits().printing());
    device_status(StatusBits().printing().paper_error());
    EXPECT_EQ(StartPrint(1, 0), 2);
}

TEST_F(PrintCommands, PaperPosition) {
    int passed = -1, distance = -1;
    queue_reply(bytes({0x01, 0xFF, 0x34, 0x12}));
    EXPECT_EQ(GetPaperPosition(&passed, &distance), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1B, 0x44})}));
    EXPECT_EQ(passed, 1);
    EXPECT_EQ(distance, 0x1234);
    EXPECT_EQ(GetPaperPosition(&passed, nullptr), 0);
    queue_reply(bytes({1, 2, 3}));
    EXPECT_EQ(GetPaperPosition(&passed, &distance), 0);
}

TEST_F(PrintCommands, FeedPaper) {
    EXPECT_EQ(StartFeedPaper(2, 0), 0);
    EXPECT_EQ(StartFeedPaper(0, 256), 0);
    device_status(StatusBits().scanning());
    EXPECT_EQ(StartFeedPaper(0, 0), 0);  // neither idle nor waiting
    EXPECT_TRUE(writes().empty());

    queue_query(StatusBits().waiting());
    queue_query(StatusBits().feeding());
    device_status(StatusBits().idle());
    pauses.clear();
    EXPECT_EQ(StartFeedPaper(0, 0x80), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1A, 0x4B, 0x00, 0x80})}));
    EXPECT_EQ(pauses, (std::vector<int>{50, 50}));

    // Backwards polls every 30 ms; a device that never stops feeding still counts as done.
    link().calls.clear();
    pauses.clear();
    queue_query(StatusBits().idle());
    device_status(StatusBits().feeding());
    EXPECT_EQ(StartFeedPaper(1, 0), 1);
    EXPECT_EQ(pauses, std::vector<int>(100, 30));

    queue_query(StatusBits().idle());
    device_status(StatusBits().feeding().status_error());
    EXPECT_EQ(StartFeedPaper(1, 0), 0);
}

TEST_F(PrintCommands, CorrectFakeJamError) {
    device_status(StatusBits().idle());
    EXPECT_EQ(CorrectFakeJamError(), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1B, 0x46})}));
    device_status(StatusBits().idle().jam());
    EXPECT_EQ(CorrectFakeJamError(), 0);
    device_status(StatusBits().status_error());
    EXPECT_EQ(CorrectFakeJamError(), 0);
}

TEST_F(PrintCommands, HeadModeAndDetectTime) {
    EXPECT_EQ(SetPrinterHeadMode(4, 0), 0);
    EXPECT_EQ(SetPrinterHeadMode(0, 2), 0);
    EXPECT_EQ(SetDetectPaperTime(101), 0);
    EXPECT_TRUE(link().calls.empty());
    device_status(StatusBits().scanning());
    EXPECT_EQ(SetPrinterHeadMode(1, 0), 0);
    device_status(StatusBits().waiting());
    EXPECT_EQ(SetDetectPaperTime(10), 0);  // needs idle
    EXPECT_TRUE(writes().empty());

    EXPECT_EQ(SetPrinterHeadMode(3, 1), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1B, 0x4A}), bytes({0x03, 0xCC, 0x33, 0x33, 0xCC}),
                                bytes({0x1A, 0x86, 0x03, 0x01}), bytes({0x1A, 0x53})}));
    link().calls.clear();
    device_status(StatusBits().idle());
    EXPECT_EQ(SetDetectPaperTime(100), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1B, 0x4A}), bytes({0x1A, 0x88, 0x64, 0x00}), bytes({0x1A, 0x53})}));

    link().calls.clear();
    link().writeResults = {2, 0};
    link().resetPipeResults = {0};
    EXPECT_EQ(SetPrinterHeadMode(2, 0), 0);
    EXPECT_EQ(writes().back(), bytes({0x1A, 0x53}));
}

}  // namespace
}  // namespace kestrom_test
