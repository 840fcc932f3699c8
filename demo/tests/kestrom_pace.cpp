// The device library built a second time for the dialog's tests, with one
// more export: its pauses can be shortened by the same factor as the software
// device's clock, so a test follows the real library at a faster pace.

#include <chrono>
#include <thread>

#include "platform/sleep.h"

// lapse > 1: every pause of the library lasts ms / lapse real milliseconds;
// otherwise pauses are real again.
extern "C" __attribute__((visibility("default"))) int TellerdeskTest_PaceDevice(int lapse) {
    if (lapse > 1) {
        platform::set_sleep_observer([lapse](int ms) {
            if (ms > 0) std::this_thread::sleep_for(std::chrono::microseconds(ms * 1000LL / lapse));
        });
    } else {
        platform::set_sleep_observer({});
    }
    return 1;
}
