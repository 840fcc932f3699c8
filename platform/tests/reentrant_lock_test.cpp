#include "platform/reentrant_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(ReentrantLock, HolderTakesItAgainOthersWait) {
    platform::ReentrantLock lock;
    std::atomic<bool> otherGotIt{false};
    {
        platform::LockGuard outer(lock);
        platform::LockGuard inner(lock);  // recovery inside a held transfer
        std::thread other([&] {
            otherGotIt = lock.try_lock();
            if (otherGotIt) lock.unlock();
        });
        other.join();
        EXPECT_FALSE(otherGotIt.load());
    }
    std::thread other([&] {
        otherGotIt = lock.try_lock();
        if (otherGotIt) lock.unlock();
    });
    other.join();
    EXPECT_TRUE(otherGotIt.load());
}

TEST(ReentrantLock, SerialisesCounters) {
    platform::ReentrantLock lock;
    long counter = 0;
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            platform::LockGuard g(lock);
            platform::LockGuard again(lock);
            ++counter;
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 40000);
}

}  // namespace
