// The link operations, the status, the command exchange basics, the journal
// and injected faults.

#include <atomic>
#include <set>
#include <thread>

#include "emulator/tests/emulator_fixture.h"

namespace emutest {
namespace {

using LinkTest = EmulatorTest;

TEST_F(LinkTest, PowerOnStatusShowsAnIdleScannerWithoutPaper) {
    const auto s = status();
    EXPECT_TRUE(bit(s, 1, 1));  // scanner idle
    EXPECT_FALSE(bit(s, 1, 2) || bit(s, 1, 3) || bit(s, 1, 7));
    EXPECT_FALSE(bit(s, 3, 7) || bit(s, 3, 3) || bit(s, 3, 2));  // no paper
    EXPECT_TRUE(bit(s, 2, 3));                                   // 8 lines per mm out of the factory
    EXPECT_EQ(pending_bytes(), 0u);
}

TEST_F(LinkTest, HandlesOpenAndCloseManyTimes) {
    for (int i = 0; i < 200; ++i) {
        const int h = OpenDevice();
        ASSERT_GT(h, 0);
        EXPECT_EQ(SetUSBTimeouts(h, 50, 200), 1);
        EXPECT_EQ(CloseDevice(h), 1);
        EXPECT_EQ(CloseDevice(h), 0);  // already closed
        std::uint8_t b[8];
        int got = 0;
        EXPECT_EQ(GetSpecStatus(h, b, 8, &got), 0);  // a closed handle is dead
    }
}

TEST_F(LinkTest, LivenessProbeAnswersWithTheFlashAreaLetter) {
    EXPECT_EQ(SetUSBTimeouts(handle, 1, 1), 1);
    const Bytes reply = fetched_reply({0x1A, 0x6B, 0x42}, 6);
    ASSERT_EQ(reply.size(), 6u);
    EXPECT_EQ(reply[0], 'B');
    EXPECT_EQ(reply[1], 0);  // no bitmaps
    EXPECT_EQ(reply[2] | (reply[3] << 8) | (reply[4] << 16) | (reply[5] << 24), 1024 * 1024);
    EXPECT_FALSE(bit(status(), 3, 6));  // the reply was taken
}

TEST_F(LinkTest, FetchWithoutPreparedReplyIsRefusedAndLeavesNoStaleBytes) {
    command({0x1B, 0x42});  // scan area reply, left unread
    write({0x1B, 0x4B});
    EXPECT_TRUE(command_error());
    EXPECT_TRUE(read(1, 4).empty());
}

TEST_F(LinkTest, UnknownCommandsAndCutCommandsSetCommandError) {
    write({0x1A, 0x99});
    EXPECT_TRUE(command_error());
    command({0x1B, 0x46});  // cleared
    EXPECT_FALSE(command_error());
    write({0x1A, 0x40, 0x00});  // one byte short
    EXPECT_TRUE(command_error());
    write({0x1A, 0x49, 0, 0, 0, 0, '0', 0, 'A'});  // text without its 0D
    EXPECT_TRUE(command_error());
    command({0x1A, 0x53});  // an accepted command clears it again
}

TEST_F(LinkTest, ScanSettingsAreReadBackAndChecked) {
    command({0x1B, 0x4A});
    command({0x1A, 0x40, 0x00, 0xD8});
    command({0x1A, 0x53});
    command({0x1A, 0x41, 0x29, 0x01});
    command({0x1B, 0x42});
    EXPECT_EQ(read(1, 4), (Bytes{0x00, 0xD8, 0x29, 0x01}));

    write({0x1A, 0x40, 100, 117});  // 217 mm is wider than the passage
    EXPECT_TRUE(command_error());
    write({0x1A, 0x41, 0x2A, 0x01});  // 298 mm
    EXPECT_TRUE(command_error());
    write({0x1A, 0x43, 6, 0});
    EXPECT_TRUE(command_error());

    command({0x1A, 0x75, 0x00, 0x30, 0x40, 0x00});
    command({0x1B, 0x53});
    EXPECT_EQ(read(1, 5), (Bytes{0x00, 0x30, 0x40, 0x30, 0x40}));
    write({0x1A, 0x75, 0x01, 0x30, 0x40, 0x00});
    EXPECT_TRUE(command_error());
}

TEST_F(LinkTest, SavingToFlashNeedsThePersistPrefixAndSurvivesAReset) {
    write({0x1A, 0x43, 4, 1});  // save without the prefix
    EXPECT_TRUE(command_error());
    EXPECT_TRUE(bit(status(), 2, 3));

    command({0x1A, 0x42, 1, 0});  // grey, casual
    command({0x1B, 0x4A});
    command({0x03, 0xCC, 0x33, 0x33, 0xCC});
    command({0x1A, 0x43, 4, 1});  // 4 lines/mm, fixed
    command({0x1A, 0x53});
    auto s = status();
    EXPECT_FALSE(bit(s, 2, 3));
    EXPECT_TRUE(bit(s, 2, 6));

    // The prefix covers only the command right after it.
    command({0x03, 0xCC, 0x33, 0x33, 0xCC});
    command({0x1A, 0x53});
    write({0x1A, 0x44, 1, 1});
    EXPECT_TRUE(command_error());

    write({0x1B, 0x40});  // reset: casual settings are lost, fixed ones stay
    EXPECT_EQ(OpenDevice(), -1);
    Emu_AdvanceTime(3000);
    CloseDevice(handle);
    handle = OpenDevice();
    ASSERT_GT(handle, 0);
    s = status();
    EXPECT_FALSE(bit(s, 2, 3));  // still 4 lines/mm
    EXPECT_FALSE(bit(s, 2, 6));  // back to black-and-white
}

TEST_F(LinkTest, ResetDropsTheLinkUntilTheDeviceHasRestarted) {
    write({0x1B, 0x40});
    std::uint8_t b[8];
    int got = 0;
    EXPECT_EQ(GetSpecStatus(handle, b, 8, &got), 0);  // the old handle died
    EXPECT_EQ(OpenDevice(), -1);
    Emu_AdvanceTime(1000);
    EXPECT_EQ(OpenDevice(), -1);
    Emu_AdvanceTime(2000);
    CloseDevice(handle);
    handle = OpenDevice();
    EXPECT_GT(handle, 0);
    EXPECT_TRUE(bit(status(), 1, 1));
}

TEST_F(LinkTest, JournalRecordsEveryOperationWithItsBytes) {
    Emu_JournalClear();
    command({0x1A, 0x41, 0x10, 0x00});
    ASSERT_GE(Emu_JournalCount(), 2);
    EmuJournalEntry e{};
    std::uint8_t bytes[8] = {};
    ASSERT_EQ(Emu_JournalEntry(0, &e, bytes, 8), 1);
    EXPECT_EQ(e.operation, EMU_OP_WRITE);
    EXPECT_EQ(e.handle, handle);
    EXPECT_EQ(e.pipe, 0);
    EXPECT_EQ(e.argument, 4);
    EXPECT_EQ(e.result, 4);
    EXPECT_EQ(e.length, 4);
    EXPECT_EQ(Bytes(bytes, bytes + 4), (Bytes{0x1A, 0x41, 0x10, 0x00}));
    ASSERT_EQ(Emu_JournalEntry(1, &e, nullptr, 0), 1);
    EXPECT_EQ(e.operation, EMU_OP_STATUS);
    EXPECT_EQ(e.length, 8);
    EXPECT_EQ(Emu_JournalEntry(Emu_JournalCount(), &e, nullptr, 0), 0);

    std::uint8_t all[16];
    EXPECT_EQ(Emu_JournalWritten(all, 16), 4);
    EXPECT_EQ(Emu_JournalMaxConcurrency(), 1);
    Emu_JournalClear();
    EXPECT_EQ(Emu_JournalCount(), 0);
}

TEST_F(LinkTest, AnEmptyJournalAndEntriesWithoutBytesCopyNothing) {
    // Run under UBSan: copying from an empty journal must not touch a null buffer.
    Emu_JournalClear();
    std::uint8_t all[4] = {7, 7, 7, 7};
    EXPECT_EQ(Emu_JournalWritten(all, 4), 0);
    EXPECT_EQ(all[0], 7);

    CloseDevice(handle);
    handle = OpenDevice();
    ASSERT_GT(handle, 0);
    EmuJournalEntry e{};
    ASSERT_EQ(Emu_JournalEntry(0, &e, all, 4), 1);  // the close carries no bytes
    EXPECT_EQ(e.operation, EMU_OP_CLOSE);
    EXPECT_EQ(e.length, 0);
    EXPECT_EQ(all[0], 7);
}

TEST_F(LinkTest, JournalNoticesOverlappingCallsFromTwoThreads) {
    // Unserialised callers overlap inside the emulator; the journal must say
    // so, or a test that expects serialised transfers would prove nothing.
    Emu_JournalClear();
    std::atomic<bool> stop{false};
    auto hammer = [&] {
        std::uint8_t b[8];
        int got = 0;
        for (int i = 0; i < 200000 && !stop; ++i) {
            GetSpecStatus(handle, b, 8, &got);
            if (Emu_JournalMaxConcurrency() >= 2) stop = true;
        }
    };
    std::thread a(hammer), b(hammer);
    a.join();
    b.join();
    EXPECT_GE(Emu_JournalMaxConcurrency(), 2);
    bool flagged = false;
    std::set<int> threads;
    EmuJournalEntry e{};
    for (int i = 0; i < Emu_JournalCount(); ++i) {
        Emu_JournalEntry(i, &e, nullptr, 0);
        flagged = flagged || e.overlapped;
        threads.insert(e.thread);
    }
    EXPECT_TRUE(flagged);
    EXPECT_EQ(threads.size(), 2u);
    Emu_JournalClear();
}

TEST_F(LinkTest, InjectedWriteFaults) {
    ASSERT_EQ(Emu_InjectFault(EMU_FAULT_WRITE_FAIL, -1, 1, 1), 1);
    EXPECT_EQ(write({0x1A, 0x41, 0x05, 0x00}), 4);   // skipped
    EXPECT_EQ(write({0x1A, 0x41, 0x06, 0x00}), -1);  // fails, device sees nothing
    EXPECT_EQ(write({0x1A, 0x41, 0x07, 0x00}), 4);
    command({0x1B, 0x42});
    EXPECT_EQ(read(1, 4)[2], 7);

    Emu_InjectFault(EMU_FAULT_WRITE_SHORT, -1, 0, 1);
    EXPECT_EQ(write({0x1A, 0x41, 0x08, 0x00}), 3);
    EXPECT_TRUE(command_error());  // the device saw a cut command
}

TEST_F(LinkTest, InjectedReadFaultsOnOnePipe) {
    Emu_InjectFault(EMU_FAULT_READ_SHORT, 1, 0, -1);
    command({0x1B, 0x42});
    // Every read delivers at most one byte less than asked: 3, then 0 of the last byte.
    EXPECT_EQ(read(1, 4).size(), 3u);
    EXPECT_EQ(read(1, 1).size(), 0u);
    EXPECT_EQ(read(1, 2).size(), 1u);
    Emu_ClearFaults();
    Emu_InjectFault(EMU_FAULT_READ_FAIL, 3, 0, 1);
    std::uint8_t b[4];
    EXPECT_EQ(uRead(handle, 1, b, 4), 0);  // other pipe unaffected (nothing queued)
    EXPECT_EQ(uRead(handle, 3, b, 4), -1);
    EXPECT_EQ(uRead(handle, 3, b, 4), 0);
}

TEST_F(LinkTest, InjectedStatusFaults) {
    std::uint8_t b[8];
    int got = -1;
    Emu_InjectFault(EMU_FAULT_STATUS_FAIL, -1, 0, 1);
    EXPECT_EQ(GetSpecStatus(handle, b, 8, &got), 0);
    EXPECT_EQ(got, 0);
    Emu_InjectFault(EMU_FAULT_STATUS_SHORT, -1, 0, 1);
    EXPECT_NE(GetSpecStatus(handle, b, 8, &got), 0);
    EXPECT_EQ(got, 4);
    Emu_InjectFault(EMU_FAULT_STATUS_ZERO, -1, 0, 1);
    EXPECT_NE(GetSpecStatus(handle, b, 8, &got), 0);
    EXPECT_EQ(got, 8);
    EXPECT_EQ(Bytes(b, b + 8), Bytes(8, 0));
    EXPECT_NE(status()[1], 0);  // one-shot faults are used up
}

TEST_F(LinkTest, ALinkThatStopsAnsweringStillOpens) {
    Emu_InjectFault(EMU_FAULT_NO_ANSWER, -1, 0, -1);
    const int h = OpenDevice();
    EXPECT_GT(h, 0);
    std::uint8_t b[8];
    int got = 0;
    EXPECT_EQ(uWrite(h, 0, b, 2), 0);
    EXPECT_EQ(uRead(h, 1, b, 2), 0);
    EXPECT_EQ(GetSpecStatus(h, b, 8, &got), 0);
    EXPECT_EQ(ResetPipes(h, 0), 0);
    EXPECT_EQ(SendSpecCommand(h, 192), 0);
    CloseDevice(h);
    Emu_ClearFaults();
    EXPECT_EQ(ResetPipes(handle, 3), 1);
    EXPECT_EQ(ResetPipes(handle, 4), 0);
    EXPECT_EQ(SendSpecCommand(handle, 191), 0);
    EXPECT_EQ(SendSpecCommand(handle, 192), 1);
    EXPECT_EQ(GetSpecStatus(handle, b, 8, &got), 0);  // the port reset ended the handle
}

TEST_F(LinkTest, OpenAndTimeoutFaults) {
    Emu_InjectFault(EMU_FAULT_OPEN_FAIL, -1, 0, 2);
    EXPECT_EQ(OpenDevice(), -1);
    EXPECT_EQ(OpenDevice(), -1);
    const int h = OpenDevice();
    EXPECT_GT(h, 0);
    Emu_InjectFault(EMU_FAULT_TIMEOUTS_FAIL, -1, 0, 1);
    EXPECT_EQ(SetUSBTimeouts(h, 50, 200), 0);
    EXPECT_EQ(SetUSBTimeouts(h, 50, 200), 1);
    CloseDevice(h);
}

TEST_F(LinkTest, ConditionsShowInTheirStatusBits) {
    struct Case {
        int condition;
        int byte;
        int bit;
    };
    const Case cases[] = {{EMU_COND_HEAD_HOT, 0, 1}, {EMU_COND_COVER_OPEN, 0, 2},
                          {EMU_COND_FAKE_JAM, 0, 3}, {EMU_COND_STATUS_ERROR, 1, 7},
                          {EMU_COND_BIT_3_0, 3, 0},  {EMU_COND_BIT_3_4, 3, 4},
                          {EMU_COND_BIT_3_5, 3, 5},  {EMU_COND_BIT_2_0, 2, 0}};
    for (const Case& c : cases) {
        ASSERT_EQ(Emu_SetCondition(c.condition, 1), 1);
        EXPECT_TRUE(bit(status(), c.byte, c.bit)) << c.condition;
        Emu_SetCondition(c.condition, 0);
        EXPECT_FALSE(bit(status(), c.byte, c.bit)) << c.condition;
    }
    EXPECT_EQ(Emu_SetCondition(99, 1), 0);

    Emu_SetCondition(EMU_COND_FAKE_JAM, 1);
    EXPECT_TRUE(bit(status(), 1, 7));
    EXPECT_FALSE(bit(status(), 1, 1));  // not idle while jammed
    command({0x1B, 0x46});
    EXPECT_FALSE(bit(status(), 0, 3));
    Emu_SetCondition(EMU_COND_REAL_JAM, 1);
    command({0x1B, 0x46});
    EXPECT_TRUE(bit(status(), 0, 3));  // a real jam stays
}

}  // namespace
}  // namespace emutest
