#include "platform/sleep.h"

#include <chrono>
#include <mutex>
#include <thread>

namespace platform {
namespace {

struct SleepSeam {
    std::mutex mutex;  // guards observer
    SleepObserver observer;
};

SleepSeam& seam() {
    static SleepSeam instance;
    return instance;
}

}  // namespace

void sleep_ms(int ms) {
    SleepObserver observer;
    {
        std::lock_guard<std::mutex> guard(seam().mutex);
        observer = seam().observer;
    }
    if (observer) {
        observer(ms);
        return;
    }
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void set_sleep_observer(SleepObserver observer) {
    std::lock_guard<std::mutex> guard(seam().mutex);
    seam().observer = std::move(observer);
}

}  // namespace platform
