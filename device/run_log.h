#pragma once
// The optional run log: one line per event, time stamp first, into
// scanner_log/TQ-RMX7KP_<n>.log with n = 1..20, rolling over at 20 MiB.

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrom {

inline constexpr const char* kLogSwitchFile = "recode_run_log.ini";
inline constexpr const char* kLogFolder = "scanner_log";
inline constexpr const char* kLogTag = "TQ-RMX7KP";
inline constexpr int kLogFileCount = 20;
inline constexpr std::int64_t kLogRolloverBytes = 20971520;  // 20 MiB
inline constexpr std::size_t kLogMessageBytes = 524288;
inline constexpr int kHexDumpBytes = 64;

// Decides whether the run log is on: the switch file can be opened in the
// current directory and the log folder exists or can be created.
bool decide_run_log();

// Switches logging on or off (the port sets it at every open).
void set_run_log(bool on);
bool run_log_on();

// Appends one line "<%Y-%m-%d %X ><message>\n" to the current log file when
// the log is on. Log problems are swallowed.
void log_line(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "%02x " for each of the first 64 bytes; empty unless the log is on and
// data is present with a positive count.
std::string hex_dump(const std::uint8_t* data, long count);

// The file name for a counter value: scanner_log/TQ-RMX7KP_<(counter % 20) + 1>.log.
std::string log_file_name(unsigned counter);

// Test seams: the size above which the current file rolls over, and the
// process-wide file counter.
void set_log_rollover_bytes(std::int64_t bytes);
unsigned log_file_counter();
void set_log_file_counter(unsigned counter);

}  // namespace kestrom
