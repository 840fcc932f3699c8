#include "device/run_log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>
#include <new>

#include "platform/files.h"
#include "platform/local_time.h"

namespace kestrom {
namespace {

struct RunLogState {
    std::mutex mutex;  // guards counter, rollover and the file writes
    std::atomic<bool> on{false};
    unsigned counter = 0;  // never reset within a process
    std::int64_t rolloverBytes = kLogRolloverBytes;
};

RunLogState& state() {
    static RunLogState instance;
    return instance;
}

// Opens the current log file, rolling over to the next number when the
// current one has grown past the threshold. Caller holds the mutex.
std::FILE* open_current_file(RunLogState& log) {
    std::string name = log_file_name(log.counter);
    if (platform::file_exists(name) && platform::file_size(name) > log.rolloverBytes) {
        ++log.counter;
        name = log_file_name(log.counter);
        return std::fopen(name.c_str(), "wb");
    }
    return std::fopen(name.c_str(), "ab");
}

}  // namespace

bool decide_run_log() {
    std::FILE* probe = std::fopen(kLogSwitchFile, "rb");
    if (!probe) return false;
    std::fclose(probe);
    return platform::is_directory(kLogFolder) || platform::create_directory(kLogFolder);
}

void set_run_log(bool on) {
    state().on.store(on);
}
bool run_log_on() {
    return state().on.load();
}

std::string log_file_name(unsigned counter) {
    return std::string(kLogFolder) + "/" + kLogTag + "_" + std::to_string(counter % kLogFileCount + 1) +
           ".log";
}

void log_line(const char* format, ...) {
    RunLogState& log = state();
    if (!log.on.load() || !format) return;
    std::lock_guard<std::mutex> guard(log.mutex);
    std::FILE* file = open_current_file(log);
    if (!file) return;
    std::string line = platform::format_local_time("%Y-%m-%d %X ");
    if (line.size() > 128) line.resize(128);
    std::unique_ptr<char[]> message(new (std::nothrow) char[kLogMessageBytes]);
    if (!message) {
        std::fclose(file);
        return;
    }
    va_list args;
    va_start(args, format);
    std::vsnprintf(message.get(), kLogMessageBytes, format, args);
    va_end(args);
    line += message.get();
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), file);
    std::fclose(file);
}

std::string hex_dump(const std::uint8_t* data, long count) {
    if (!run_log_on() || !data || count <= 0) return {};
    const long shown = count < kHexDumpBytes ? count : kHexDumpBytes;
    std::string text;
    text.reserve(static_cast<std::size_t>(shown) * 3);
    char cell[4];
    for (long i = 0; i < shown; ++i) {
        std::snprintf(cell, sizeof cell, "%02x ", data[i]);
        text += cell;
    }
    return text;
}

void set_log_rollover_bytes(std::int64_t bytes) {
    std::lock_guard<std::mutex> guard(state().mutex);
    state().rolloverBytes = bytes;
}

unsigned log_file_counter() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().counter;
}

void set_log_file_counter(unsigned counter) {
    std::lock_guard<std::mutex> guard(state().mutex);
    state().counter = counter;
}

}  // namespace kestrom
