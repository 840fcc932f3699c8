// Scan settings and the start of a scan: exact command bytes, argument checks
// before any transfer, reply parsing and the status-driven decisions.

#include "device/tests/kestrom_fixture.h"

namespace kestrom_test {
namespace {

using Writes = std::vector<Bytes>;

class ScanCommands : public KestromTest {
protected:
    void SetUp() override {
        KestromTest::SetUp();
        open_port();
    }
};

TEST_F(ScanCommands, ScanWidthInsideTheSettingsBracket) {
    EXPECT_EQ(SetScanWidth(100, 117), 0);
    EXPECT_EQ(SetScanWidth(-1, 10), 0);
    EXPECT_EQ(SetScanWidth(0, 217), 0);
    EXPECT_TRUE(link().calls.empty());
    EXPECT_EQ(SetScanWidth(0, 216), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1B, 0x4A}), bytes({0x1A, 0x40, 0x00, 0xD8}), bytes({0x1A, 0x53})}));
    EXPECT_EQ(pauses, (std::vector<int>{50}));

    // A failed setting write still closes the bracket and answers 0.
    link().calls.clear();
    link().writeResults = {2, 0};
    link().resetPipeResults = {0};
    EXPECT_EQ(SetScanWidth(10, 100), 0);
    EXPECT_EQ(writes().back(), bytes({0x1A, 0x53}));
}

TEST_F(ScanCommands, ScanHeightLowByteFirst) {
    EXPECT_EQ(SetScanHeight(298), 0);
    EXPECT_EQ(SetScanHeight(-1), 0);
    EXPECT_EQ(SetScanHeight(297), 1);
    EXPECT_EQ(SetScanHeight(0), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1A, 0x41, 0x29, 0x01}), bytes({0x1A, 0x41, 0x00, 0x00})}));
    link().writeResults = {0};
    link().resetPipeResults = {0};
    EXPECT_EQ(SetScanHeight(5), 0);
}

TEST_F(ScanCommands, SettingsWithASaveTypeSendThePersistPrefixForFlash) {
    EXPECT_EQ(SetScanPictureType(2, 0), 0);
    EXPECT_EQ(SetScanPictureType(0, 2), 0);
    EXPECT_EQ(SetScanMode(2, 0), 0);
    EXPECT_EQ(SetScanDPI(6, 0), 0);
    EXPECT_EQ(SetScanDPI(8, 2), 0);
    EXPECT_TRUE(link().calls.empty());

    EXPECT_EQ(SetScanPictureType(1, 0), 1);
    EXPECT_EQ(SetScanPictureType(0, 1), 1);
    EXPECT_EQ(SetScanMode(1, 1), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1A, 0x42, 0x01, 0x00}), bytes({0x03, 0xCC, 0x33, 0x33, 0xCC}),
                                bytes({0x1A, 0x42, 0x00, 0x01}), bytes({0x03, 0xCC, 0x33, 0x33, 0xCC}),
                                bytes({0x1A, 0x44, 0x01, 0x01})}));

    link().calls.clear();
    EXPECT_EQ(SetScanDPI(8, 1), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1B, 0x4A}), bytes({0x03, 0xCC, 0x33, 0x33, 0xCC}),
                                bytes({0x1A, 0x43, 0x08, 0x01}), bytes({0x1A, 0x53})}));
    link().calls.clear();
    EXPECT_EQ(SetScanDPI(4, 0), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1B, 0x4A}), bytes({0x1A, 0x43, 0x04, 0x00}), bytes({0x1A, 0x53})}));
}

TEST_F(ScanCommands, FailedPersistPrefixStopsTheSetting) {
    link().writeResults = {0};
    link().resetPipeResults = {0};
    EXPECT_EQ(SetScanPictureType(1, 1), 0);
    EXPECT_EQ(writes().size(), 1u);

    link().calls.clear();
    link().writeResults = {2, 0};  // bracket open, prefix
    link().resetPipeResults = {0};
    EXPECT_EQ(SetScanDPI(8, 1), 0);
    EXPECT_EQ(writes().size(), 3u);
    EXPECT_EQ(writes().back(), bytes({0x1A, 0x53}));
}

TEST_F(ScanCommands, ThresholdMethod) {
    EXPECT_EQ(SetThresholdMethord(1, 10, 20, 0), 0);
    EXPECT_EQ(SetThresholdMethord(0, 256, 20, 0), 0);
    EXPECT_EQ(SetThresholdMethord(0, 10, -1, 0), 0);
    EXPECT_TRUE(link().calls.empty());
    EXPECT_EQ(SetThresholdMethord(0, 0x80, 0x90, 1), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1B, 0x4A}), bytes({0x03, 0xCC, 0x33, 0x33, 0xCC}),
                                bytes({0x1A, 0x75, 0x00, 0x80, 0x90, 0x01}), bytes({0x1A, 0x53})}));

    link().calls.clear();
    int method = -1, v1 = -1, v2 = -1;
    queue_reply(bytes({0x01, 0x10, 0x20, 0x30, 0x40}));
    EXPECT_EQ(GetThresholdMethord(&method, &v1, &v2), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1B, 0x53})}));
    EXPECT_EQ(link().calls_of("uRead")[0].arg2, 5);
    EXPECT_EQ(method, 1);
    EXPECT_EQ(v1, 0x30);
    EXPECT_EQ(v2, 0x40);
    queue_reply(bytes({0x00, 0x10, 0x20, 0x30, 0x40}));
    EXPECT_EQ(GetThresholdMethord(&method, &v1, &v2), 1);
    EXPECT_EQ(method, 0);
    EXPECT_EQ(v1, 0x10);
    EXPECT_EQ(v2, 0x20);
    queue_reply(bytes({0x00, 0x10, 0x20, 0x30}));  // short reply
    EXPECT_EQ(GetThresholdMethord(&method, &v1, &v2), 0);
    EXPECT_EQ(GetThresholdMethord(nullptr, &v1, &v2), 0);
}

TEST_F(ScanCommands, ScanAreaReply) {
    int border = -1, width = -1, height = -1;
    queue_reply(bytes({0x05, 0xD3, 0x29, 0x01}));
    EXPECT_EQ(GetScanArea(&border, &width, &height), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1B, 0x42})}));
    EXPECT_EQ(border, 5);
    EXPECT_EQ(width, 0xD3);
    EXPECT_EQ(height, 297);
    EXPECT_EQ(pauses, (std::vector<int>{50}));
    EXPECT_EQ(GetScanArea(&border, &width, nullptr), 0);
}

TEST_F(ScanCommands, StartScanFromIdle) {
    EXPECT_EQ(StartScan(3), 0);
    EXPECT_EQ(StartScan(-1), 0);
    EXPECT_TRUE(link().calls.empty());
    device_status(StatusBits().idle().eight_lines());
    EXPECT_EQ(StartScan(2), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1A, 0x45, 0x02, 0x00})}));

    link().calls.clear();
    device_status(StatusBits().scanning());
    EXPECT_EQ(StartScan(0), 0);
    EXPECT_TRUE(writes().empty());
}

TEST_F(ScanCommands, StartScanWithAHeldDocumentRescansItWhole) {
    queue_status(StatusBits().waiting());
    queue_status(StatusBits().waiting());
    queue_reply(bytes({0, 216, 0, 0}));
    // Waits for idle after 1A 87, polling every 20 ms.
    for (int i = 0; i < 3; ++i) {
        queue_status(StatusBits().waiting());
        queue_status(StatusBits().waiting());
    }
    device_status(StatusBits().idle());
    EXPECT_EQ(StartScan(0), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1B, 0x42}), bytes({0x1A, 0x87}), bytes({0x1A, 0x45, 0x00, 0x00})}));
    EXPECT_EQ(pauses, (std::vector<int>{50, 20, 20, 20, 50}));

    // Any other action, or a set height, is refused while a document is held.
    link().calls.clear();
    device_status(StatusBits().waiting());
    queue_reply(bytes({0, 216, 0, 0}));
    EXPECT_EQ(StartScan(2), 0);
    queue_reply(bytes({0, 216, 10, 0}));
    EXPECT_EQ(StartScan(0), 0);
    EXPECT_EQ(writes(), (Writes{bytes({0x1B, 0x42}), bytes({0x1B, 0x42})}));

    // A command error during the wait ends it.
    link().calls.clear();
    queue_reply(bytes({0, 216, 0, 0}));
    queue_status(StatusBits().waiting());
    queue_status(StatusBits().waiting());
    device_status(StatusBits().waiting().command_error());
    EXPECT_EQ(StartScan(0), 0);
    EXPECT_EQ(writes().back(), bytes({0x1A, 0x87}));
}

TEST_F(ScanCommands, AbortScan) {
    EXPECT_EQ(AbortScan(), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1B, 0x41})}));
    CloseUSBPort();
    EXPECT_EQ(AbortScan(), 0);
}

}  // namespace
}  // namespace kestrom_test
