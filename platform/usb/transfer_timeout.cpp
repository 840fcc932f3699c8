#include "platform/usb/transfer_timeout.h"

namespace pipewell {

unsigned transfer_timeout(int requestedMs, int count) {
    const long base = requestedMs < kMinTimeoutMs ? kMinTimeoutMs : requestedMs;
    const long extra = count > 0 ? count / kBytesPerExtraMs : 0;
    return static_cast<unsigned>(base + extra);
}

}  // namespace pipewell
