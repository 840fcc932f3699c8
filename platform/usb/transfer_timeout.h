#pragma once
// How long a transfer may take.

namespace pipewell {

// Timeouts. The device library asks for very short ones (1 ms while it
// probes the device, 50 ms for writes) and sends whole files in one write, so
// the link never waits less than kMinTimeoutMs for anything and adds
// 1 ms per kBytesPerExtraMs bytes of a transfer on top.
constexpr int kMinTimeoutMs = 20;
constexpr int kBytesPerExtraMs = 64;

// The timeout in milliseconds for moving `count` bytes when `requestedMs` was set.
unsigned transfer_timeout(int requestedMs, int count);

}  // namespace pipewell
