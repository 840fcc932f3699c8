// The link without a scanner attached: every operation answers its failure
// value and nothing crashes.

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/usb/Pipewell.h"

namespace {

class NoDeviceTest : public ::testing::Test {
protected:
    void TearDown() override { ::unsetenv("PIPEWELL_USB_ID"); }
};

TEST_F(NoDeviceTest, OpenFailsForAnAbsentOrMalformedId) {
    ::setenv("PIPEWELL_USB_ID", "ffff:fffe", 1);
    EXPECT_EQ(OpenDevice(), -1);
    EXPECT_EQ(OpenDevice(), -1);  // and again, without trouble
    ::setenv("PIPEWELL_USB_ID", "scanner", 1);
    EXPECT_EQ(OpenDevice(), -1);
}

TEST_F(NoDeviceTest, OperationsOnAHandleThatWasNeverOpened) {
    uint8_t buffer[8] = {};
    int delivered = -5;
    for (int handle : {-1, 0, 1, 12345}) {
        EXPECT_EQ(uWrite(handle, 0, buffer, 2), -1);
        EXPECT_EQ(uRead(handle, 1, buffer, 4), -1);
        EXPECT_EQ(GetSpecStatus(handle, buffer, 8, &delivered), 0);
        EXPECT_EQ(delivered, 0);
        EXPECT_EQ(SetUSBTimeouts(handle, 50, 200), 0);
        EXPECT_EQ(SendSpecCommand(handle, 192), 0);
        EXPECT_EQ(ResetPipes(handle, 0), 0);
        EXPECT_EQ(CloseDevice(handle), 0);
    }
    EXPECT_EQ(uRead(1, 1, nullptr, 4), -1);
    EXPECT_EQ(GetSpecStatus(1, nullptr, 8, nullptr), 0);
}

}  // namespace
