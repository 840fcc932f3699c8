#pragma once
// A lock that its holder may take again: the port layer runs link recovery,
// which itself takes the lock, while already holding it.

#include <mutex>

namespace platform {

class ReentrantLock {
public:
    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }
    bool try_lock() { return mutex_.try_lock(); }

private:
    std::recursive_mutex mutex_;
};

using LockGuard = std::lock_guard<ReentrantLock>;

}  // namespace platform
