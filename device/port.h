#pragma once
// The port layer: the one connection of the process to the scanner-printer,
// the single transfers over the USB link with link recovery, and the small
// command helpers every export is built from.

#include <cstdint>
#include <initializer_list>

#include "device/device_status.h"

namespace kestrom {

// Link pipes.
inline constexpr int kCommandPipe = 0;
inline constexpr int kReplyPipe = 1;
inline constexpr int kImagePipe = 3;

// Link timeouts (ms) for normal work and during a liveness probe.
inline constexpr int kTimeoutFirst = 50;
inline constexpr int kTimeoutSecond = 200;
inline constexpr int kProbeTimeout = 1;

inline constexpr int kReadAttempts = 4;
inline constexpr int kResetUsbDevice = 192;  // SendSpecCommand code
inline constexpr int kRecoveryPipePauseMs = 50;
inline constexpr int kRecoveryResetPauseMs = 1600;
inline constexpr int kSettleMs = 50;
inline constexpr int kProbePollMs = 200;
inline constexpr int kProbeDefaultTries = 10;

// Connection. open_port answers the link's non-zero acceptance of the
// timeouts on success, 0 on failure; open on an open connection reopens.
int open_port();
void close_port();
bool port_open();

// Single transfers (1 = success, 0 = failure); each holds the port lock,
// reopens the link handle first and, with `recovery`, runs link recovery
// after a failure.
int raw_write(const std::uint8_t* buffer, int length, bool recovery);
int reply_read(int count, std::uint8_t* buffer, int* received, bool recovery);
int status_read(int count, std::uint8_t* buffer, int* received, bool recovery);
int bulk_read(std::uint32_t count, std::uint8_t* buffer, int* received, bool recovery);

// Status read of 8 bytes with recovery, decoded. Fails on an all-zero status.
int query_status(DeviceStatus& status);

// A command: raw write with recovery of the given bytes.
int send(std::initializer_list<std::uint8_t> bytes);

// A query command: send, settle, reply read (with recovery) of exactly
// `count` bytes into `reply`.
int request(std::initializer_list<std::uint8_t> bytes, std::uint8_t* reply, int count);

// Settings bracket 1B 4A ... 1A 53 (results ignored).
void bracket_open();
void bracket_close();

// 03 CC 33 33 CC, then settle; 1 when the write succeeded. Sent before a
// setting is stored in the device's flash.
int persist_prefix();

// 1A 6B 42, wait for replyReady, 1B 4B and a 6-byte reply starting with 'B'.
int liveness_probe(int attempts);

void pause_ms(int ms);
inline void settle() {
    pause_ms(kSettleMs);
}

// Vertical pixels per metre of the last StartScan (0 before any).
int vertical_pixels_per_metre();
void set_vertical_pixels_per_metre(int value);

}  // namespace kestrom
