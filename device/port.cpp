#include "device/port.h"

#include <atomic>
#include <string>
#include <vector>

#include "device/link_library.h"
#include "device/run_log.h"
#include "platform/dynamic_library.h"
#include "platform/reentrant_lock.h"
#include "platform/sleep.h"

namespace kestrom {
namespace {

inline constexpr int kNoHandle = -1;

// The one connection of the process.
struct Port {
    // Serialises single transfers, open and close. It lives as long as the
    // process, so a transfer that saw the connection open never takes a lock
    // that a concurrent close has destroyed; transfers re-check `open` under it.
    platform::ReentrantLock lock;
    std::atomic<bool> open{false};
    platform::DynamicLibrary library;  // guarded by lock
    LinkOperations ops;                // guarded by lock
    int handle = kNoHandle;            // guarded by lock
    std::atomic<int> verticalPixelsPerMetre{0};
};

Port& port() {
    static Port instance;
    return instance;
}

unsigned long long address(const void* p) {
    return static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(p));
}

// Logs the link library's reason for its last failure, when it gives one.
// Caller holds the lock.
void log_link_reason(const Port& p) {
    if (!run_log_on()) return;
    const std::string reason = link_failure_reason(p.ops);
    if (!reason.empty()) log_line("\tlink: %s", reason.c_str());
}

// Releases the handle and the link library. Caller holds the lock.
void release_link(Port& p) {
    if (p.handle != kNoHandle && p.ops.closeDevice) p.ops.closeDevice(p.handle);
    p.handle = kNoHandle;
    p.ops = LinkOperations{};
    p.library.close();
    p.open.store(false);
}

// Closes the held handle and opens the link anew; false when OpenDevice fails.
// Caller holds the lock.
bool reopen_link(Port& p) {
    if (p.handle != kNoHandle) {
        p.ops.closeDevice(p.handle);
        p.handle = kNoHandle;
    }
    p.handle = p.ops.openDevice();
    if (p.handle == kNoHandle) log_link_reason(p);
    return p.handle != kNoHandle;
}

// Resets the four pipes and then the device, reopening the handle between
// steps; its outcome is not used. Caller holds the lock.
void recover_link(Port& p) {
    if (p.handle != 0) {
        bool pipesReset = true;
        for (int pipe = 0; pipe <= 3; ++pipe) {
            const int r = p.ops.resetPipes(p.handle, pipe);
            log_line("\tf_ResetPipes(udev, %d) = %d", pipe, r);
            if (r == 0) {
                log_link_reason(p);
                pipesReset = false;
                break;
            }
            pause_ms(kRecoveryPipePauseMs);
            if (!reopen_link(p)) {
                pipesReset = false;
                break;
            }
        }
        if (pipesReset) {
            const int r = p.ops.sendSpecCommand(p.handle, kResetUsbDevice);
            log_line("\tf_SendSpecCommand(udev, RESET_USB_DEVICE) = %d", r);
            if (r == 0) log_link_reason(p);
            if (r != 0) {
                pause_ms(kRecoveryResetPauseMs);
                reopen_link(p);
            }
        }
    }
    log_line("\n");
}

// Reply read and bulk read: up to four attempts over one pipe.
int pipe_read(const char* name, int pipe, long count, std::uint8_t* buffer, int* received, bool recovery) {
    Port& p = port();
    if (!p.open.load()) return 0;
    platform::LockGuard guard(p.lock);
    if (!p.open.load()) return 0;
    log_line("%s(0x%08lx, 0x%08llx, 0x%08llx)", name, static_cast<unsigned long>(count), address(buffer),
             address(received));
    if (count <= 0 || !buffer || !received) return 0;
    if (!reopen_link(p)) return 0;
    *received = 0;
    long remaining = count;
    for (int attempt = 1; attempt <= kReadAttempts && remaining > 0; ++attempt) {
        std::uint8_t* target = buffer + *received;
        int n = p.ops.read(p.handle, pipe, target, static_cast<int>(remaining));
        if (n > remaining) n = static_cast<int>(remaining);  // never count more than asked
        if (run_log_on()) {
            log_line("\tRead time:%d; need to read:%ld; have read %d; data:%s", attempt, remaining, n,
                     hex_dump(target, n).c_str());
        }
        if (n > 0) {
            *received += n;
            remaining -= n;
        }
    }
    if (remaining == 0) {
        log_line("\t%s bytes %d successful\n", name, *received);
        return 1;
    }
    log_line("\t%s failed. need to read %ld but have read %d, reset usb!", name, count, *received);
    log_link_reason(p);
    if (recovery) recover_link(p);
    return 0;
}

}  // namespace

bool port_open() {
    return port().open.load();
}

int open_port() {
    Port& p = port();
    platform::LockGuard guard(p.lock);
    if (p.open.load()) release_link(p);
    set_run_log(decide_run_log());
    std::string reason;
    if (load_link(p.library, p.ops, &reason)) {
        p.handle = p.ops.openDevice();
        if (p.handle != kNoHandle) {
            const int accepted = p.ops.setTimeouts(p.handle, kTimeoutFirst, kTimeoutSecond);
            if (accepted != 0) {
                p.open.store(true);
                return accepted;
            }
            log_line("OpenUSBPort failed: SetUSBTimeouts(udev, %d, %d) = 0", kTimeoutFirst, kTimeoutSecond);
        } else {
            log_line("OpenUSBPort failed: OpenDevice() = -1");
        }
        log_link_reason(p);
    } else {
        log_line("OpenUSBPort failed: %s", reason.c_str());
    }
    release_link(p);
    return 0;
}

void close_port() {
    Port& p = port();
    if (!p.open.load()) return;
    platform::LockGuard guard(p.lock);
    if (p.open.load()) release_link(p);
}

int raw_write(const std::uint8_t* buffer, int length, bool recovery) {
    Port& p = port();
    if (!p.open.load()) return 0;
    platform::LockGuard guard(p.lock);
    if (!p.open.load()) return 0;
    if (run_log_on()) {
        log_line("WritePort(0x%08llx, 0x%08x) data:%s", address(buffer), static_cast<unsigned>(length),
                 hex_dump(buffer, length).c_str());
    }
    if (!buffer || length <= 0) return 0;
    if (!reopen_link(p)) return 0;
    const int n = p.ops.write(p.handle, kCommandPipe, buffer, length);
    log_line("\tWrite time:%d; need to write:%d; have write %d", 1, length, n);
    if (n == length) {
        log_line("\tWritePort bytes %d successful\n", length);
        return 1;
    }
    log_line("\tWritePort failed. need to write %d but have wrte %d, reset usb!", length, n);
    log_link_reason(p);
    if (recovery) recover_link(p);
    return 0;
}

int reply_read(int count, std::uint8_t* buffer, int* received, bool recovery) {
    return pipe_read("ReadPort2", kReplyPipe, count, buffer, received, recovery);
}

int bulk_read(std::uint32_t count, std::uint8_t* buffer, int* received, bool recovery) {
    // Counts beyond what one link read can carry are refused as well as 0.
    if (count > 0x7fffffffu) return 0;
    return pipe_read("ReadPort4", kImagePipe, static_cast<long>(count), buffer, received, recovery);
}

int status_read(int count, std::uint8_t* buffer, int* received, bool recovery) {
    Port& p = port();
    if (!p.open.load()) return 0;
    platform::LockGuard guard(p.lock);
    if (!p.open.load()) return 0;
    log_line("ReadPort3(0x%08x, 0x%08llx, 0x%08llx)", static_cast<unsigned>(count), address(buffer),
             address(received));
    if (count <= 0 || !buffer || !received) return 0;
    if (!reopen_link(p)) return 0;
    *received = 0;
    int result = 0;
    // The device answers the second of two back-to-back requests.
    for (int attempt = 0; attempt < 2; ++attempt) {
        result = p.ops.getSpecStatus(p.handle, buffer, count, received);
        if (run_log_on()) {
            const int shown = *received < count ? *received : count;
            log_line("\tRead time:%d; need to read:%d; have read %d; data:%s", attempt, count, *received,
                     hex_dump(buffer, shown).c_str());
        }
    }
    if (result != 0 && *received == count) {
        log_line("\tReadPort3 bytes %d successful\n", count);
        return 1;
    }
    log_line("\tReadPort3 failed. need to read %d but have read %d, reset usb!", count, *received);
    log_link_reason(p);
    if (recovery) recover_link(p);
    return 0;
}

int query_status(DeviceStatus& status) {
    std::uint8_t bytes[kStatusBytes] = {};
    int received = 0;
    if (!status_read(kStatusBytes, bytes, &received, true)) return 0;
    bool allZero = true;
    for (std::uint8_t b : bytes) allZero = allZero && b == 0;
    if (allZero) return 0;
    status = decode_status(bytes);
    return 1;
}

int send(std::initializer_list<std::uint8_t> bytes) {
    return raw_write(bytes.begin(), static_cast<int>(bytes.size()), true);
}

int request(std::initializer_list<std::uint8_t> bytes, std::uint8_t* reply, int count) {
    if (!send(bytes)) return 0;
    settle();
    int received = 0;
    return reply_read(count, reply, &received, true) && received == count ? 1 : 0;
}

void bracket_open() {
    send({0x1B, 0x4A});
}
void bracket_close() {
    send({0x1A, 0x53});
}

int persist_prefix() {
    const int ok = send({0x03, 0xCC, 0x33, 0x33, 0xCC});
    settle();
    return ok;
}

int liveness_probe(int attempts) {
    Port& p = port();
    if (!p.open.load()) return 0;
    const int tries = attempts > 0 ? attempts : kProbeDefaultTries;
    auto setTimeouts = [&p](int first, int second) {
        platform::LockGuard guard(p.lock);
        if (p.open.load()) p.ops.setTimeouts(p.handle, first, second);
    };
    setTimeouts(kProbeTimeout, kProbeTimeout);

    int result = 0;
    static constexpr std::uint8_t kAsk[] = {0x1A, 0x6B, 0x42};
    if (raw_write(kAsk, sizeof kAsk, false)) {
        bool anyRead = false;
        bool ready = false;
        for (int i = 0; i < tries; ++i) {
            std::uint8_t bytes[kStatusBytes] = {};
            int received = 0;
            if (!status_read(kStatusBytes, bytes, &received, false)) continue;
            anyRead = true;
            ready = decode_status(bytes).replyReady != 0;
            if (ready) break;
            pause_ms(kProbePollMs);
        }
        // Without any status read the reply itself decides.
        if (ready || !anyRead) {
            static constexpr std::uint8_t kFetch[] = {0x1B, 0x4B};
            if (raw_write(kFetch, sizeof kFetch, false)) {
                settle();
                std::uint8_t reply[6] = {};
                int received = 0;
                result = reply_read(6, reply, &received, false) && received == 6 && reply[0] == 0x42 ? 1 : 0;
            }
        }
    }
    setTimeouts(kTimeoutFirst, kTimeoutSecond);
    return result;
}

void pause_ms(int ms) {
    platform::sleep_ms(ms);
}

int vertical_pixels_per_metre() {
    return port().verticalPixelsPerMetre.load();
}
void set_vertical_pixels_per_metre(int value) {
    port().verticalPixelsPerMetre.store(value);
}

}  // namespace kestrom
