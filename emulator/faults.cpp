#include "emulator/faults.h"

namespace emu {

void Faults::arm(EmuFault fault, int pipe, int skip, int count) {
    armed_.push_back(Armed{fault, pipe < 0 ? -1 : pipe, skip < 0 ? 0 : skip, count});
}

bool Faults::fires(EmuFault fault, int pipe) {
    bool fired = false;
    for (Armed& armed : armed_) {
        if (armed.fault != fault || armed.count == 0) continue;
        if (armed.pipe >= 0 && pipe >= 0 && armed.pipe != pipe) continue;
        if (armed.skip > 0) {
            --armed.skip;
            continue;
        }
        if (armed.count > 0) --armed.count;
        fired = true;
    }
    return fired;
}

bool Faults::active(EmuFault fault) const {
    for (const Armed& armed : armed_) {
        if (armed.fault == fault && armed.count != 0 && armed.skip == 0) return true;
    }
    return false;
}

}  // namespace emu
