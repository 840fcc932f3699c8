// The device library unloads its link library at every port close and loads
// it again at the next open; the emulated device must keep its state across
// that, as hardware would. This program loads the emulator only at run time.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/dynamic_library.h"

namespace {

TEST(ReloadTest, DeviceStateOutlivesUnloadingTheLibrary) {
    std::vector<std::uint8_t> ticket(64 * 400, 255);
    {
        platform::DynamicLibrary library;
        ASSERT_TRUE(library.open(EMULATOR_PATH)) << library.error();
        auto reset = library.resolve<int (*)(int)>("Emu_Reset");
        auto insert = library.resolve<int (*)(const std::uint8_t*, int, int, int)>("Emu_InsertTicketPixels");
        ASSERT_TRUE(reset && insert);
        ASSERT_EQ(reset(1), 1);
        ASSERT_EQ(insert(ticket.data(), 64, 400, 8), 1);
    }
    platform::DynamicLibrary library;
    ASSERT_TRUE(library.open(EMULATOR_PATH)) << library.error();
    auto status = library.resolve<int (*)(std::uint8_t*)>("Emu_GetStatus");
    ASSERT_TRUE(status);
    std::uint8_t s[8] = {};
    ASSERT_EQ(status(s), 1);
    EXPECT_TRUE(s[3] & 0x80) << "the inserted ticket was lost";
}

}  // namespace
