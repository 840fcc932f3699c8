#pragma once
// A scripted stand-in for the USB link library: it records every call of the
// eight link operations and answers from scripts the test fills. The test
// program reaches the same instance through link_double() after opening the
// library file itself.

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

namespace linkdouble {

// One recorded call. `bytes` holds what was written (uWrite) or delivered
// (uRead, GetSpecStatus).
struct Call {
    std::string op;
    int handle = 0;
    int arg1 = 0;  // pipe, first timeout, command code
    int arg2 = 0;  // byte count, second timeout
    int result = 0;
    std::vector<std::uint8_t> bytes;
};

// A scripted read: deliver `data` and answer `result` (kDeliverAll = the
// number of bytes copied).
inline constexpr int kDeliverAll = -1000000;
struct ReadStep {
    std::vector<std::uint8_t> data;
    int result = kDeliverAll;
};

struct StatusStep {
    std::vector<std::uint8_t> data;  // copied to the buffer
    int result = 1;
    int delivered = -1;  // -1: data.size()
};

struct LinkDouble {
    std::recursive_mutex mutex;
    std::vector<Call> calls;

    // Scripts, consumed front first. When empty: OpenDevice answers
    // `handle`, uWrite the full count, uRead 0, GetSpecStatus the sticky
    // `status` (if set, else 0), the others `otherResult`.
    std::deque<int> openResults;
    std::deque<int> writeResults;
    std::deque<ReadStep> reads[4];
    std::deque<StatusStep> statuses;
    std::deque<int> timeoutResults;
    std::deque<int> resetPipeResults;
    std::deque<int> specCommandResults;
    int handle = 7;
    std::vector<std::uint8_t> status;  // sticky status bytes, answered when the script is empty
    int otherResult = 1;

    // Optional reaction to every write (after it is recorded), e.g. to queue
    // the reply of a command.
    std::function<void(const std::vector<std::uint8_t>&)> onWrite;

    void reset();
    // Calls of one operation only / just the written byte strings.
    std::vector<Call> calls_of(const std::string& op);
    std::vector<std::vector<std::uint8_t>> writes();
    std::vector<std::string> op_names();
};

inline void LinkDouble::reset() {
    std::lock_guard<std::recursive_mutex> guard(mutex);
    calls.clear();
    openResults.clear();
    writeResults.clear();
    for (auto& r : reads) r.clear();
    statuses.clear();
    timeoutResults.clear();
    resetPipeResults.clear();
    specCommandResults.clear();
    handle = 7;
    status.clear();
    otherResult = 1;
    onWrite = nullptr;
}

inline std::vector<Call> LinkDouble::calls_of(const std::string& op) {
    std::lock_guard<std::recursive_mutex> guard(mutex);
    std::vector<Call> out;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(out),
                 [&op](const Call& c) { return c.op == op; });
    return out;
}

inline std::vector<std::vector<std::uint8_t>> LinkDouble::writes() {
    std::vector<std::vector<std::uint8_t>> out;
    for (const Call& c : calls_of("uWrite")) out.push_back(c.bytes);
    return out;
}

inline std::vector<std::string> LinkDouble::op_names() {
    std::lock_guard<std::recursive_mutex> guard(mutex);
    std::vector<std::string> out;
    for (const Call& c : calls) out.push_back(c.op);
    return out;
}

}  // namespace linkdouble

extern "C" linkdouble::LinkDouble* link_double();
