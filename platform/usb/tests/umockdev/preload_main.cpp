// Runs the tests under umockdev's preload library, which redirects /sys, /dev
// and the device nodes' ioctls into the testbed; plain ctest or a shell may
// start the program without it.

#include <gtest/gtest.h>

#include <cstdlib>

#include "preload.h"

int main(int argc, char** argv) {
    usbtest::run_under_umockdev(argv);
    if (std::getenv("USBTEST_UNDER_UMOCKDEV") == nullptr) return 1;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
