#include "device/tests/link_double.h"

#include <algorithm>
#include <cstring>

#define DOUBLE_EXPORT extern "C" __attribute__((visibility("default")))

using linkdouble::Call;

namespace {

linkdouble::LinkDouble& self() {
    static linkdouble::LinkDouble instance;
    return instance;
}

int next(std::deque<int>& script, int fallback) {
    if (script.empty()) return fallback;
    const int v = script.front();
    script.pop_front();
    return v;
}

}  // namespace

DOUBLE_EXPORT linkdouble::LinkDouble* link_double() {
    return &self();
}

DOUBLE_EXPORT int OpenDevice(void) {
    auto& d = self();
    std::lock_guard<std::recursive_mutex> guard(d.mutex);
    const int r = next(d.openResults, d.handle);
    d.calls.push_back(Call{"OpenDevice", 0, 0, 0, r, {}});
    return r;
}

DOUBLE_EXPORT int CloseDevice(int handle) {
    auto& d = self();
    std::lock_guard<std::recursive_mutex> guard(d.mutex);
    d.calls.push_back(Call{"CloseDevice", handle, 0, 0, 0, {}});
    return 0;
}

DOUBLE_EXPORT int uWrite(int handle, int pipe, const uint8_t* buf, int count) {
    auto& d = self();
    std::lock_guard<std::recursive_mutex> guard(d.mutex);
    std::vector<uint8_t> bytes;
    if (buf && count > 0) bytes.assign(buf, buf + count);
    const int r = next(d.writeResults, count);
    d.calls.push_back(Call{"uWrite", handle, pipe, count, r, bytes});
    if (d.onWrite) d.onWrite(bytes);
    return r;
}

DOUBLE_EXPORT int uRead(int handle, int pipe, uint8_t* buf, int count) {
    auto& d = self();
    std::lock_guard<std::recursive_mutex> guard(d.mutex);
    int r = 0;
    std::vector<uint8_t> delivered;
    if (pipe >= 0 && pipe < 4 && !d.reads[pipe].empty()) {
        linkdouble::ReadStep step = std::move(d.reads[pipe].front());
        d.reads[pipe].pop_front();
        const int n = std::min<int>(count, static_cast<int>(step.data.size()));
        if (n > 0) std::memcpy(buf, step.data.data(), static_cast<size_t>(n));
        delivered.assign(step.data.begin(), step.data.begin() + std::max(n, 0));
        r = step.result == linkdouble::kDeliverAll ? n : step.result;
    }
    d.calls.push_back(Call{"uRead", handle, pipe, count, r, std::move(delivered)});
    return r;
}

DOUBLE_EXPORT int GetSpecStatus(int handle, uint8_t* buf, int count, int* delivered) {
    auto& d = self();
    std::lock_guard<std::recursive_mutex> guard(d.mutex);
    linkdouble::StatusStep step;
    if (!d.statuses.empty()) {
        step = d.statuses.front();
        d.statuses.pop_front();
    } else if (!d.status.empty()) {
        step.data = d.status;
    } else {
        step.result = 0;
        step.delivered = 0;
    }
    const int n = std::min<int>(count, static_cast<int>(step.data.size()));
    if (n > 0) std::memcpy(buf, step.data.data(), static_cast<size_t>(n));
    *delivered = step.delivered < 0 ? static_cast<int>(step.data.size()) : step.delivered;
    d.calls.push_back(Call{"GetSpecStatus", handle, 0, count, step.result, step.data});
    return step.result;
}

DOUBLE_EXPORT int SetUSBTimeouts(int handle, int first, int second) {
    auto& d = self();
    std::lock_guard<std::recursive_mutex> guard(d.mutex);
    const int r = next(d.timeoutResults, d.otherResult);
    d.calls.push_back(Call{"SetUSBTimeouts", handle, first, second, r, {}});
    return r;
}

DOUBLE_EXPORT int SendSpecCommand(int handle, int code) {
    auto& d = self();
    std::lock_guard<std::recursive_mutex> guard(d.mutex);
    const int r = next(d.specCommandResults, d.otherResult);
    d.calls.push_back(Call{"SendSpecCommand", handle, code, 0, r, {}});
    return r;
}

#ifndef LINK_DOUBLE_WITHOUT_RESET_PIPES
DOUBLE_EXPORT int ResetPipes(int handle, int pipe) {
    auto& d = self();
    std::lock_guard<std::recursive_mutex> guard(d.mutex);
    const int r = next(d.resetPipeResults, d.otherResult);
    d.calls.push_back(Call{"ResetPipes", handle, pipe, 0, r, {}});
    return r;
}
#endif
