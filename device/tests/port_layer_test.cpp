// The port layer: opening and closing, single transfers with the link reopen
// around each, the read attempts, the doubled status read, link recovery,
// status decoding and the liveness probe.

#include "device/device_status.h"
#include "device/link_library.h"
#include "device/port.h"
#include "device/tests/kestrom_fixture.h"

namespace kestrom_test {
namespace {

using Names = std::vector<std::string>;

class PortLayer : public KestromTest {};

TEST_F(PortLayer, OpenLoadsTheLinkOpensTheDeviceAndSetsTimeouts) {
    link().timeoutResults = {5};
    EXPECT_EQ(OpenUSBPort(), 5);  // the acceptance value of the timeouts
    EXPECT_EQ(link().op_names(), (Names{"OpenDevice", "SetUSBTimeouts"}));
    const auto timeouts = link().calls_of("SetUSBTimeouts");
    EXPECT_EQ(timeouts[0].handle, 7);
    EXPECT_EQ(timeouts[0].arg1, 50);
    EXPECT_EQ(timeouts[0].arg2, 200);

    CloseUSBPort();
    EXPECT_EQ(link().op_names().back(), "CloseDevice");
    EXPECT_EQ(WritePort(bytes({0x1B, 0x41}).data(), 2), 0);
    EXPECT_EQ(link().calls_of("uWrite").size(), 0u);
    CloseUSBPort();  // closing twice is harmless
}

TEST_F(PortLayer, OpenTwiceLeavesExactlyOneConnection) {
    ASSERT_NE(OpenUSBPort(), 0);
    ASSERT_NE(OpenUSBPort(), 0);
    EXPECT_EQ(link().op_names(),
              (Names{"OpenDevice", "SetUSBTimeouts", "CloseDevice", "OpenDevice", "SetUSBTimeouts"}));
    link().calls.clear();
    CloseUSBPort();
    EXPECT_EQ(link().op_names(), (Names{"CloseDevice"}));
}

TEST_F(PortLayer, OpenFailsAndHoldsNothingWhenTheLinkRefuses) {
    link().openResults = {-1};
    EXPECT_EQ(OpenUSBPort(), 0);
    EXPECT_EQ(link().op_names(), (Names{"OpenDevice"}));

    link().calls.clear();
    link().timeoutResults = {0};
    EXPECT_EQ(OpenUSBPort(), 0);
    EXPECT_EQ(link().op_names(), (Names{"OpenDevice", "SetUSBTimeouts", "CloseDevice"}));
    EXPECT_EQ(WritePort(bytes({1}).data(), 1), 0);

    ::setenv("PIPEWELL_LIBRARY", LINK_DOUBLE_INCOMPLETE_PATH, 1);
    EXPECT_EQ(OpenUSBPort(), 0);  // ResetPipes missing
    ::setenv("PIPEWELL_LIBRARY", "/nonexistent/libNothing.so", 1);
    EXPECT_EQ(OpenUSBPort(), 0);
}

TEST_F(PortLayer, LinkLibraryIsPipewellUnlessTheVariableNamesAnother) {
    EXPECT_EQ(kestrom::link_library_file(), LINK_DOUBLE_PATH);
    ::setenv("PIPEWELL_LIBRARY", "", 1);
    EXPECT_EQ(kestrom::link_library_file(), "Pipewell.dll");
    ::unsetenv("PIPEWELL_LIBRARY");
    EXPECT_EQ(kestrom::link_library_file(), "Pipewell.dll");
}

TEST_F(PortLayer, WriteReopensTheLinkAroundEveryTransfer) {
    open_port();
    link().handle = 9;
    EXPECT_EQ(WritePort(bytes({0x1B, 0x41}).data(), 2), 1);
    EXPECT_EQ(WritePort(bytes({0x1A, 0x53}).data(), 2), 1);
    EXPECT_EQ(link().op_names(),
              (Names{"CloseDevice", "OpenDevice", "uWrite", "CloseDevice", "OpenDevice", "uWrite"}));
    const auto calls = link().calls;
    EXPECT_EQ(calls[0].handle, 7);
    EXPECT_EQ(calls[2].handle, 9);
    EXPECT_EQ(calls[2].arg1, 0);  // command pipe
    EXPECT_EQ(calls[3].handle, 9);
    EXPECT_EQ(writes(), (std::vector<Bytes>{bytes({0x1B, 0x41}), bytes({0x1A, 0x53})}));
}

TEST_F(PortLayer, BadWriteArgumentsNeverReachTheLink) {
    open_port();
    EXPECT_EQ(WritePort(nullptr, 5), 0);
    EXPECT_EQ(WritePort(bytes({1}).data(), 0), 0);
    EXPECT_EQ(WritePort(bytes({1}).data(), -4), 0);
    EXPECT_TRUE(link().calls.empty());
}

TEST_F(PortLayer, ShortWriteRunsTheFullRecoverySequenceOnce) {
    open_port();
    link().writeResults = {1};
    EXPECT_EQ(WritePort(bytes({0x1B, 0x41}).data(), 2), 0);
    EXPECT_EQ(link().op_names(), (Names{"CloseDevice", "OpenDevice", "uWrite", "ResetPipes", "CloseDevice",
                                        "OpenDevice", "ResetPipes", "CloseDevice", "OpenDevice", "ResetPipes",
                                        "CloseDevice", "OpenDevice", "ResetPipes", "CloseDevice",
                                        "OpenDevice", "SendSpecCommand", "CloseDevice", "OpenDevice"}));
    const auto resets = link().calls_of("ResetPipes");
    for (int pipe = 0; pipe < 4; ++pipe) EXPECT_EQ(resets[static_cast<size_t>(pipe)].arg1, pipe);
    EXPECT_EQ(link().calls_of("SendSpecCommand")[0].arg1, 192);
    EXPECT_EQ(pauses, (std::vector<int>{50, 50, 50, 50, 1600}));
    EXPECT_EQ(link().calls_of("uWrite").size(), 1u);  // never retried
}

TEST_F(PortLayer, RecoveryStopsAtTheFirstRefusedPipeOrFailedReopen) {
    open_port();
    link().writeResults = {0};
    link().resetPipeResults = {1, 1, 0};
    EXPECT_EQ(WritePort(bytes({1, 2}).data(), 2), 0);
    EXPECT_EQ(link().calls_of("ResetPipes").size(), 3u);
    EXPECT_TRUE(link().calls_of("SendSpecCommand").empty());
    EXPECT_EQ(pauses, (std::vector<int>{50, 50}));

    link().calls.clear();
    pauses.clear();
    link().writeResults = {0};
    link().openResults = {7, -1};  // the transfer's reopen, then recovery's first
    EXPECT_EQ(WritePort(bytes({1, 2}).data(), 2), 0);
    EXPECT_EQ(link().calls_of("ResetPipes").size(), 1u);
    EXPECT_TRUE(link().calls_of("SendSpecCommand").empty());

    // The next transfer opens afresh without closing a handle it does not hold.
    link().calls.clear();
    EXPECT_EQ(WritePort(bytes({1, 2}).data(), 2), 1);
    EXPECT_EQ(link().op_names(), (Names{"OpenDevice", "uWrite"}));
}

TEST_F(PortLayer, RefusedDeviceResetSkipsTheLongPauseAndHandleZeroSkipsRecovery) {
    open_port();
    link().writeResults = {0};
    link().specCommandResults = {0};
    EXPECT_EQ(WritePort(bytes({1}).data(), 1), 0);
    EXPECT_EQ(pauses, (std::vector<int>{50, 50, 50, 50}));
    EXPECT_EQ(link().op_names().back(), "SendSpecCommand");

    link().calls.clear();
    link().handle = 0;
    link().writeResults = {0};
    EXPECT_EQ(WritePort(bytes({1}).data(), 1), 0);
    EXPECT_EQ(link().op_names(), (Names{"CloseDevice", "OpenDevice", "uWrite"}));
}

TEST_F(PortLayer, ReopenFailureFailsTheTransferWithoutRecovery) {
    open_port();
    link().openResults = {-1};
    EXPECT_EQ(WritePort(bytes({1}).data(), 1), 0);
    EXPECT_EQ(link().op_names(), (Names{"CloseDevice", "OpenDevice"}));
}

TEST_F(PortLayer, ReplyReadGathersUpToFourAttempts) {
    open_port();
    link().reads[1] = {{bytes({0x11})}, {{}, 0}, {bytes({0x22, 0x33})}, {bytes({0x44})}};
    std::uint8_t buffer[4] = {};
    int received = -1;
    EXPECT_EQ(kestrom::reply_read(4, buffer, &received, true), 1);
    EXPECT_EQ(received, 4);
    EXPECT_EQ(Bytes(buffer, buffer + 4), bytes({0x11, 0x22, 0x33, 0x44}));
    const auto reads = link().calls_of("uRead");
    ASSERT_EQ(reads.size(), 4u);
    EXPECT_EQ(reads[0].arg1, 1);
    EXPECT_EQ(reads[0].arg2, 4);
    EXPECT_EQ(reads[1].arg2, 3);  // what is still missing
    EXPECT_EQ(reads[2].arg2, 3);
    EXPECT_EQ(reads[3].arg2, 1);
    EXPECT_TRUE(pauses.empty());  // no pause between attempts
}

TEST_F(PortLayer, ShortReplyReadRecoversOnlyWhenAsked) {
    open_port();
    link().reads[1] = {{bytes({1, 2, 3})}};
    std::uint8_t buffer[4] = {};
    int received = 0;
    EXPECT_EQ(kestrom::reply_read(4, buffer, &received, true), 0);
    EXPECT_EQ(received, 3);
    EXPECT_EQ(link().calls_of("uRead").size(), 4u);
    EXPECT_EQ(link().calls_of("ResetPipes").size(), 4u);

    link().calls.clear();
    link().reads[1] = {{bytes({1, 2, 3})}};
    EXPECT_EQ(kestrom::reply_read(4, buffer, &received, false), 0);
    EXPECT_EQ(link().calls_of("uRead").size(), 4u);
    EXPECT_TRUE(link().calls_of("ResetPipes").empty());

    link().calls.clear();
    EXPECT_EQ(kestrom::reply_read(0, buffer, &received, true), 0);
    EXPECT_EQ(kestrom::reply_read(4, nullptr, &received, true), 0);
    EXPECT_EQ(kestrom::reply_read(4, buffer, nullptr, true), 0);
    EXPECT_EQ(kestrom::bulk_read(0, buffer, &received, true), 0);
    EXPECT_TRUE(link().calls.empty());
}

TEST_F(PortLayer, BulkReadUsesTheImagePipe) {
    open_port();
    link().reads[3] = {{Bytes(100, 0xAB)}};
    Bytes buffer(100);
    int received = 0;
    EXPECT_EQ(kestrom::bulk_read(100, buffer.data(), &received, true), 1);
    EXPECT_EQ(received, 100);
    EXPECT_EQ(link().calls_of("uRead")[0].arg1, 3);
}

TEST_F(PortLayer, StatusReadAsksTwiceAndTrustsTheSecondAnswer) {
    open_port();
    const Bytes second = StatusBits().idle().bytes();
    link().statuses = {{Bytes(8, 0xEE), 0, 0}, {second, 1, 8}};
    std::uint8_t buffer[8] = {};
    int received = 0;
    EXPECT_EQ(kestrom::status_read(8, buffer, &received, true), 1);
    EXPECT_EQ(Bytes(buffer, buffer + 8), second);
    EXPECT_EQ(link().op_names(), (Names{"CloseDevice", "OpenDevice", "GetSpecStatus", "GetSpecStatus"}));

    // A good first answer does not save a failed second one.
    link().calls.clear();
    link().statuses = {{second, 1, 8}, {second, 0, 8}};
    EXPECT_EQ(kestrom::status_read(8, buffer, &received, true), 0);
    EXPECT_EQ(link().calls_of("ResetPipes").size(), 4u);

    link().statuses = {{second, 1, 8}, {second, 1, 7}};  // short count
    EXPECT_EQ(kestrom::status_read(8, buffer, &received, false), 0);
}

TEST_F(PortLayer, StatusQueryDecodesEveryFieldAndRefusesAllZero) {
    open_port();
    const Bytes all = bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x78, 0x56, 0x34, 0x12});
    link().statuses = {{all}, {all}};
    std::int32_t fields[22];
    EXPECT_EQ(GetBSStatus(fields), 1);
    for (int i = 0; i < 22; ++i) {
        EXPECT_EQ(fields[i], i == 13 ? 8 : 1) << "field " << i;
    }

    link().status = Bytes(8, 0);
    std::fill(fields, fields + 22, -5);
    EXPECT_EQ(GetBSStatus(fields), 0);
    EXPECT_EQ(fields[0], -5);
    EXPECT_EQ(GetBSStatus(nullptr), 0);
}

TEST_F(PortLayer, EachStatusBitLandsInItsOwnField) {
    struct Case {
        int byte, bit, field;
    };
    const Case cases[] = {{0, 1, 0},  {0, 2, 1},  {0, 3, 2},  {0, 5, 3},  {0, 6, 4},  {0, 7, 5},
                          {1, 1, 6},  {1, 2, 7},  {1, 3, 8},  {1, 5, 9},  {1, 6, 10}, {1, 7, 11},
                          {2, 1, 12}, {2, 6, 14}, {2, 7, 15}, {3, 7, 16}, {3, 3, 17}, {3, 2, 18},
                          {3, 4, 19}, {3, 0, 20}, {2, 0, 21}, {3, 5, 23}, {3, 6, 24}, {2, 2, 25}};
    for (const Case& c : cases) {
        std::uint8_t raw[8] = {};
        raw[c.byte] = static_cast<std::uint8_t>(1u << c.bit);
        const kestrom::DeviceStatus s = kestrom::decode_status(raw);
        const auto* field = reinterpret_cast<const std::int32_t*>(&s);
        for (int f = 0; f < 26; ++f) {
            const int expected = f == c.field ? 1 : f == 13 ? 4 : 0;
            EXPECT_EQ(field[f], expected) << "byte " << c.byte << " bit " << c.bit << " field " << f;
        }
    }
    std::uint8_t ignored[8] = {0x11, 0x11, 0x30, 0x02, 0, 0, 0, 0};  // bits no field reads
    const kestrom::DeviceStatus s = kestrom::decode_status(ignored);
    EXPECT_EQ(s.scanLinesPerMm, 4);
    EXPECT_EQ(s.haveData + s.printing + s.headHot + s.scannerIdle + s.paperSensorA, 0);
    std::uint8_t pending[8] = {0, 0, 0, 0, 0x00, 0x00, 0xA0, 0x00};
    EXPECT_EQ(kestrom::decode_status(pending).pendingBytes, 0xA00000);
}

TEST_F(PortLayer, LivenessProbeExchange) {
    open_port();
    link().statuses = {{StatusBits().idle().bytes()},
                       {StatusBits().idle().bytes()},
                       {StatusBits().idle().reply_ready().bytes()},
                       {StatusBits().idle().reply_ready().bytes()}};
    queue_reply(bytes({'B', 0, 0, 0, 0, 0}));
    EXPECT_EQ(kestrom::liveness_probe(3), 1);
    EXPECT_EQ(writes(), (std::vector<Bytes>{bytes({0x1A, 0x6B, 0x42}), bytes({0x1B, 0x4B})}));
    const auto timeouts = link().calls_of("SetUSBTimeouts");
    ASSERT_EQ(timeouts.size(), 2u);
    EXPECT_EQ(timeouts[0].arg1, 1);
    EXPECT_EQ(timeouts[0].arg2, 1);
    EXPECT_EQ(timeouts[1].arg1, 50);
    EXPECT_EQ(timeouts[1].arg2, 200);
    EXPECT_EQ(pauses, (std::vector<int>{200, 50}));
    EXPECT_EQ(link().calls_of("uRead")[0].arg2, 6);
}

TEST_F(PortLayer, LivenessProbeFailures) {
    open_port();
    // Never ready: 10 tries by default, then no fetch.
    device_status(StatusBits().idle());
    EXPECT_EQ(kestrom::liveness_probe(0), 0);
    EXPECT_EQ(link().calls_of("GetSpecStatus").size(), 20u);
    EXPECT_EQ(writes().size(), 1u);
    EXPECT_EQ(link().calls_of("SetUSBTimeouts").back().arg1, 50);
    EXPECT_TRUE(link().calls_of("ResetPipes").empty());  // recovery stays off

    // Ready, but the reply does not start with 'B'.
    link().calls.clear();
    device_status(StatusBits().idle().reply_ready());
    queue_reply(bytes({'A', 0, 0, 0, 0, 0}));
    EXPECT_EQ(kestrom::liveness_probe(1), 0);

    // The question is not written: no status reads at all.
    link().calls.clear();
    link().writeResults = {0};
    EXPECT_EQ(kestrom::liveness_probe(5), 0);
    EXPECT_TRUE(link().calls_of("GetSpecStatus").empty());
    EXPECT_EQ(link().calls_of("SetUSBTimeouts").size(), 2u);
}

TEST_F(PortLayer, PersistPrefixAndSettingsBracketBytes) {
    open_port();
    EXPECT_EQ(kestrom::persist_prefix(), 1);
    kestrom::bracket_open();
    kestrom::bracket_close();
    EXPECT_EQ(writes(), (std::vector<Bytes>{bytes({0x03, 0xCC, 0x33, 0x33, 0xCC}), bytes({0x1B, 0x4A}),
                                            bytes({0x1A, 0x53})}));
    EXPECT_EQ(pauses, (std::vector<int>{50}));
    link().writeResults = {2};
    EXPECT_EQ(kestrom::persist_prefix(), 0);
}

}  // namespace
}  // namespace kestrom_test
